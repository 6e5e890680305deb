#include "ServerDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <system_error>

namespace standin {

namespace fs = std::filesystem;

namespace {
constexpr fs::perms kWriteBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

fs::path ToPath(const QString& path)
{
    return fs::path(path.toStdU16String());
}
} // namespace

ServerDisk::Entry ServerDisk::Inspect(const QString& path)
{
    std::error_code error;
    return {path, fs::status(ToPath(path), error)};
}

bool ServerDisk::IsUnusable(const Entry& entry)
{
    return entry.Exists() &&
           (!entry.IsFile() || (entry.status.permissions() & fs::perms::owner_read) == fs::perms::none);
}

bool ServerDisk::IsReadOnly(const QString& path)
{
    return (Inspect(path).status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool ServerDisk::SetWritable(const Entry& entry, bool writable)
{
    if (!entry.Exists()) return false;
    const fs::perms current = entry.status.permissions();
    const fs::perms wanted = writable ? (current | fs::perms::owner_write) : (current & ~kWriteBits);
    if (wanted == current) return true;
    std::error_code error;
    fs::permissions(ToPath(entry.path), wanted, fs::perm_options::replace, error);
    return !error;
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
