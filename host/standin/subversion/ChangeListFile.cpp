#include "ChangeListFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cctype>

namespace standin::svn {

namespace {
constexpr const char* kNextKey = "next";
constexpr const char* kPendingKey = "pending";
constexpr const char* kNumberKey = "number";
constexpr const char* kDescriptionKey = "description";
constexpr const char* kAdminFolder = "/.svn/";
} // namespace

ChangeListFile::ChangeListFile(const std::string& workingCopy) : m_path(workingCopy + kAdminFolder + kFileName) {}

long ChangeListFile::NumberOf(const std::string& changeList)
{
    if (changeList.empty() || changeList.size() > 9) return 0;
    for (char c : changeList)
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    return std::stol(changeList);
}

bool ChangeListFile::Read(long& next, std::map<long, std::string>& pending, std::string& error) const
{
    next = 1;
    pending.clear();
    QFile file(QString::fromStdString(m_path));
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = "Cannot read the changelists of the working copy: " + m_path;
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        error = "The changelist file of the working copy is damaged: " + m_path;
        return false;
    }
    const QJsonObject root = document.object();
    next = std::max<long>(1, root.value(kNextKey).toInteger(1));
    for (const QJsonValue& entry : root.value(kPendingKey).toArray()) {
        const QJsonObject changeList = entry.toObject();
        const long number = static_cast<long>(changeList.value(kNumberKey).toInteger());
        if (number > 0) pending[number] = changeList.value(kDescriptionKey).toString().toStdString();
    }
    return true;
}

bool ChangeListFile::Write(long next, const std::map<long, std::string>& pending, std::string& error) const
{
    QJsonArray entries;
    for (const auto& [number, description] : pending)
        entries.append(QJsonObject{{kNumberKey, static_cast<qint64>(number)},
                                   {kDescriptionKey, QString::fromStdString(description)}});
    const QJsonObject root{{kNextKey, static_cast<qint64>(next)}, {kPendingKey, entries}};
    QSaveFile file(QString::fromStdString(m_path));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit()) {
        error = "Cannot store the changelists of the working copy: " + m_path;
        return false;
    }
    return true;
}

bool ChangeListFile::Load(std::map<long, std::string>& pending, std::string& error) const
{
    long next = 1;
    return Read(next, pending, error);
}

bool ChangeListFile::Create(const std::string& description, long& number, std::string& error) const
{
    long next = 1;
    std::map<long, std::string> pending;
    if (!Read(next, pending, error)) return false;
    number = next;
    pending[number] = description;
    return Write(next + 1, pending, error);
}

bool ChangeListFile::Remove(long number, std::string& error) const
{
    long next = 1;
    std::map<long, std::string> pending;
    if (!Read(next, pending, error)) return false;
    pending.erase(number);
    return Write(next, pending, error);
}

} // namespace standin::svn
