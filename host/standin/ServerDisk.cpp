#include "ServerDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace standin {

namespace {
constexpr QFileDevice::Permissions kWriteBits =
    QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions kUserWriteBits = QFileDevice::WriteOwner | QFileDevice::WriteUser;
} // namespace

bool ServerDisk::IsFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool ServerDisk::IsUnusable(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && (!info.isFile() || !info.isReadable());
}

bool ServerDisk::IsReadOnly(const QString& path)
{
    return !(QFile::permissions(path) & QFileDevice::WriteOwner);
}

bool ServerDisk::SetWritable(const QString& path, bool writable)
{
    const QFileDevice::Permissions current = QFile::permissions(path);
    return QFile::setPermissions(path, writable ? (current | kUserWriteBits) : (current & ~kWriteBits));
}

bool ServerDisk::WriteReadOnly(const QString& path, const std::string& content)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    if (QFileInfo::exists(path) && !SetWritable(path, true)) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const auto size = static_cast<qint64>(content.size());
    const bool written = file.write(content.data(), size) == size;
    file.close();
    return SetWritable(path, false) && written;
}

std::optional<std::string> ServerDisk::Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll().toStdString();
}

bool ServerDisk::Remove(const QString& path)
{
    return !QFileInfo::exists(path) || QFile::remove(path);
}

} // namespace standin
