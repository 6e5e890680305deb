#include "subversion/ChangeListFile.h"

#include "framework/WholeFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace standin::svn {

namespace {
constexpr const char* kNextKey = "next";
constexpr const char* kPendingKey = "pending";
constexpr const char* kNumberKey = "number";
constexpr const char* kDescriptionKey = "description";
constexpr const char* kAdminFolder = "/.svn/";
constexpr const char* kLockSuffix = ".lock";
constexpr auto kLockPatience = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

bool IsWholeNumber(const QJsonValue& value)
{
    return value.isDouble() && value.toDouble() == static_cast<double>(value.toInteger());
}

// A number this class could have written: whole and within [lowest, highest].
bool IsNumberWithin(const QJsonValue& value, long lowest, long highest)
{
    return IsWholeNumber(value) && value.toInteger() >= lowest && value.toInteger() <= highest;
}
} // namespace

// An exclusive lock on the changelist file's lock file, which every process using the working copy
// takes before it reads the file to change it. The data file itself is replaced on every write, so
// it cannot carry the lock.
class ChangeListFile::Lock {
public:
    explicit Lock(const std::string& path, std::string& error)
    {
        m_descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_descriptor < 0) {
            error = "Cannot lock the changelists of the working copy (" + path + "): " + std::strerror(errno);
            return;
        }
        const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
        while (::flock(m_descriptor, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                error = "Cannot lock the changelists of the working copy (" + path + "): " + std::strerror(errno);
                return; // the destructor closes the descriptor
            }
            if (std::chrono::steady_clock::now() > giveUp) {
                error = "The changelists of the working copy are locked by another program (" + path + ")";
                return;
            }
            std::this_thread::sleep_for(kLockPoll);
        }
        m_held = true;
    }
    ~Lock() { Release(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    bool Held() const { return m_held; }

private:
    void Release()
    {
        if (m_descriptor < 0) return;
        if (m_held) ::flock(m_descriptor, LOCK_UN);
        ::close(m_descriptor);
        m_descriptor = -1;
        m_held = false;
    }

    int m_descriptor = -1;
    bool m_held = false;
};

ChangeListFile::ChangeListFile(const std::string& workingCopy) : m_path(workingCopy + kAdminFolder + kFileName) {}

long ChangeListFile::NumberOf(const std::string& changeList)
{
    if (changeList.empty() || changeList.size() > std::to_string(kLargestNumber).size()) return 0;
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
    // Anything but the file this class writes is damage to report, never a reason to start afresh:
    // starting afresh would hand out numbers again and lose descriptions.
    const auto damaged = [&](const std::string& why) {
        error = "The changelist file of the working copy is damaged (" + why + "): " + m_path;
        return false;
    };
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) return damaged(parseError.errorString().toStdString());
    if (!document.isObject()) return damaged("not a JSON object");
    const QJsonObject root = document.object();
    const QJsonValue nextValue = root.value(kNextKey);
    if (!IsNumberWithin(nextValue, 1, kLargestNumber))
        return damaged("\"next\" is not a number from 1 to " + std::to_string(kLargestNumber));
    if (!root.value(kPendingKey).isArray()) return damaged("\"pending\" is not a list");
    next = static_cast<long>(nextValue.toInteger());
    for (const QJsonValue& entry : root.value(kPendingKey).toArray()) {
        const QJsonObject changeList = entry.toObject();
        const QJsonValue number = changeList.value(kNumberKey);
        const QJsonValue description = changeList.value(kDescriptionKey);
        if (!entry.isObject() || !IsWholeNumber(number) || number.toInteger() < 1 || !description.isString())
            return damaged("a pending changelist is not a number with a description");
        if (number.toInteger() >= next)
            return damaged("changelist " + std::to_string(number.toInteger()) + " is not below \"next\"");
        const long value = static_cast<long>(number.toInteger());
        if (pending.count(value)) return damaged("changelist " + std::to_string(value) + " twice");
        pending[value] = description.toString().toStdString();
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
    const QString failure = ReplaceFileWhole(QString::fromStdString(m_path), QJsonDocument(root).toJson());
    if (!failure.isEmpty()) {
        error = "Cannot store the changelists of the working copy (" + failure.toStdString() + "): " + m_path;
        return false;
    }
    return true;
}

bool ChangeListFile::Load(std::map<long, std::string>& pending, std::string& error) const
{
    // Writers replace the file whole (ReplaceFileWhole renames), so a reader needs no lock.
    long next = 1;
    return Read(next, pending, error);
}

bool ChangeListFile::Create(const std::string& description, long& number, std::string& error) const
{
    const Lock lock(m_path + kLockSuffix, error);
    if (!lock.Held()) return false;
    long next = 1;
    std::map<long, std::string> pending;
    if (!Read(next, pending, error)) return false;
    if (next >= kLargestNumber) {
        error = "Every changelist number of the working copy is used: " + m_path;
        return false;
    }
    number = next;
    pending[number] = description;
    return Write(next + 1, pending, error);
}

bool ChangeListFile::Remove(long number, std::string& error) const
{
    const Lock lock(m_path + kLockSuffix, error);
    if (!lock.Held()) return false;
    long next = 1;
    std::map<long, std::string> pending;
    if (!Read(next, pending, error)) return false;
    pending.erase(number);
    return Write(next, pending, error);
}

} // namespace standin::svn
