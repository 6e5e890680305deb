#include "FailureText.h"

#include <map>

namespace {

constexpr char kLineEnd[] = "\n";
constexpr char kCannotConnect[] = "Cannot connect to source control.\n";
constexpr char kUnknownServiceError[] = "Unknown error encountered.\n";
constexpr char kUnknownError[] = "Unknown error found\n";
constexpr char kIOModulePrefix[] = "Error reported by IO module: ";
constexpr char kUsersUnavailablePrefix[] = "Error found while trying to get the list of users for object ";
constexpr char kFilesUsersUnavailable[] = "Sorry cannot get the list of users\n";
constexpr char kFilesHeading[] = "Files:\n";

// Flag -> reason line; a flag listed without a line (or not listed) explains a failure silently.
const std::map<qor4::StatusWord, const char*>& ReasonTable()
{
    static const std::map<qor4::StatusWord, const char*> table = {
        {qor4::FileStatus::kCheckedOut, nullptr},
        {qor4::FileStatus::kCheckedOutByOther, "because the following users have checked out some of the files\n"},
        {qor4::FileStatus::kMarkedForAdd, "because some of the files are marked for add\n"},
        {qor4::FileStatus::kMarkedForAddByOther, "because the following users have marked for add some of the files\n"},
        {qor4::FileStatus::kMarkedForDelete, "because some of the files are marked for delete\n"},
        {qor4::FileStatus::kMarkedForDeleteByOther,
         "because the following users have marked for delete some of the files\n"},
        {qor4::FileStatus::kNotAtHead, "because some of the files are not at the head revision\n"},
        {qor4::FileStatus::kNotInDepot, "because some of the files are not in the database\n"},
        {qor4::FileStatus::kIOError, "because some of the files are causing a IO error\n"},
        {qor4::FileStatus::kLockedByOther, "because the following users have locked some of the files\n"},
    };
    return table;
}

void AppendReason(qor4::StatusWord flag, std::string& message)
{
    const auto& table = ReasonTable();
    const auto found = table.find(flag);
    if (found != table.end() && found->second) message += found->second;
}

// The flags whose explanation names the other users involved.
constexpr qor4::StatusWord kUserFlags = qor4::FileStatus::kCheckedOutByOther | qor4::FileStatus::kMarkedForAddByOther |
                                        qor4::FileStatus::kMarkedForDeleteByOther | qor4::FileStatus::kLockedByOther;

bool NamesUsers(qor4::StatusWord flags)
{
    return (flags & kUserFlags) != 0;
}

void AppendUnknownError(const std::string& errorString, std::string& message)
{
    message += kUnknownError;
    message += kIOModulePrefix + errorString + kLineEnd;
}

} // namespace

bool FailureText::ForObjects(const std::vector<qor4::StatusWord>& states, const StatusFlags& flags,
                             const std::function<Users(std::size_t)>& usersOf,
                             const std::function<std::string(std::size_t)>& nameOf, const std::string& errorString,
                             std::string& message)
{
    bool matched = false;
    std::set<std::string> users;
    for (const qor4::StatusWord flag : flags) {
        for (std::size_t object = 0; object < states.size(); ++object) {
            if ((states[object] & flag) == 0) continue;
            AppendReason(flag, message);
            matched = true;
            if (NamesUsers(flag)) {
                const Users holders = usersOf(object);
                if (holders && !holders->empty())
                    users.insert(holders->begin(), holders->end());
                else
                    users.insert(kUsersUnavailablePrefix + nameOf(object) + kLineEnd);
            }
            break;
        }
    }
    if (!matched) {
        AppendUnknownError(errorString, message);
    } else if (!users.empty()) {
        message += kLineEnd;
        for (const std::string& user : users)
            message += user + kLineEnd;
    }
    return matched;
}

bool FailureText::ForFiles(qor4::StatusWord combined, const StatusFlags& flags, const std::function<Users()>& users,
                           const std::string& errorString, std::string& message)
{
    bool matched = false;
    for (const qor4::StatusWord flag : flags) {
        if ((combined & flag) == 0) continue;
        AppendReason(flag, message);
        matched = true;
    }
    if (!matched) {
        AppendUnknownError(errorString, message);
        return false;
    }
    if (NamesUsers(combined)) {
        const Users holders = users();
        message += kLineEnd;
        if (holders && !holders->empty()) {
            for (const std::string& user : *holders)
                message += user + kLineEnd;
        } else {
            message += kFilesUsersUnavailable;
        }
    }
    return true;
}

void FailureText::ForFailedQuery(qor4::qorResult result, const std::string& errorString, std::string& message)
{
    message += result == qor4::kResultSessionExpired ? kCannotConnect : kUnknownServiceError;
    message += kIOModulePrefix + errorString + kLineEnd;
}

std::string FailureText::FilesDetails(const std::set<std::string>& files)
{
    std::string details = kFilesHeading;
    for (const std::string& file : files)
        details += file + kLineEnd;
    return details;
}
