// Turning the service's failure reports into readable messages: the reasons that apply, the users
// who hold the files, and the files involved.
#include "CRevisionControlUIHelper.h"

#include "HostServices.h"

#include "qor4/FileStatus.h"

#include <map>
#include <vector>

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

void AppendIOModuleLine(const std::string& errorString, std::string& message)
{
    message += kIOModulePrefix;
    message += errorString;
    message += kLineEnd;
}

} // namespace

bool CRevisionControlUIHelper::DescribeObjectsFailure(qor4::QORPtr<qor4::IDataControl> dataControl,
                                                      const DbObjectHandles& objects, bool includeExternal,
                                                      const StatusFlags& statuses, const std::string& errorString,
                                                      std::string& message, std::string& details)
{
    std::list<qor4::StatusWord> states;
    std::string report;
    const qor4::qorResult result =
        dataControl->GetAccessStates(objects, includeExternal, kDataControlContext, false, states, report);
    if (result != qor4::kResultOk) {
        message += result == qor4::kResultSessionExpired ? kCannotConnect : kUnknownServiceError;
        AppendIOModuleLine(errorString, message);
        details = report;
        return true;
    }

    bool matched = false;
    std::set<std::string> users;
    for (const qor4::StatusWord flag : statuses) {
        auto state = states.begin();
        for (auto object = objects.begin(); object != objects.end() && state != states.end(); ++object, ++state) {
            if ((*state & flag) == 0) continue;
            AppendReason(flag, message);
            matched = true;
            if (NamesUsers(flag)) {
                std::list<std::string> holders;
                std::string usersReport;
                const qor4::qorResult found =
                    dataControl->GetObjectUsers(*object, includeExternal, kDataControlContext, holders, usersReport);
                if (found == qor4::kResultOk && !holders.empty()) {
                    users.insert(holders.begin(), holders.end());
                } else {
                    users.insert(kUsersUnavailablePrefix + dataControl->GetObjectName(*object, kDataControlContext) +
                                 kLineEnd);
                }
            }
            break;
        }
    }

    if (!matched) {
        message += kUnknownError;
        AppendIOModuleLine(errorString, message);
    } else if (!users.empty()) {
        message += kLineEnd;
        for (const std::string& user : users)
            message += user + kLineEnd;
    }

    std::set<std::string> files;
    std::vector<std::set<std::string>> filesPerObject;
    dataControl->GetFiles(objects, includeExternal, kDataControlContext, false, files, filesPerObject);
    details = kFilesHeading;
    for (const std::string& file : files)
        details += file + kLineEnd;
    return matched;
}

bool CRevisionControlUIHelper::DescribeFilesFailure(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                                                    const qor4::IUserParameters* account,
                                                    const std::list<std::string>& files, std::uint32_t combinedStatus,
                                                    const StatusFlags& statuses, const std::string& errorString,
                                                    std::string& message)
{
    bool matched = false;
    for (const qor4::StatusWord flag : statuses) {
        if ((combinedStatus & flag) == 0) continue;
        AppendReason(flag, message);
        matched = true;
    }
    if (!matched) {
        message += kUnknownError;
        AppendIOModuleLine(errorString, message);
        return false;
    }

    if (NamesUsers(combinedStatus)) {
        std::list<std::string> holders;
        std::string report;
        const qor4::qorResult found = fileVersionControl->GetUsers(account, files, holders, report, true);
        std::string usersText;
        if (found == qor4::kResultOk && !holders.empty()) {
            for (const std::string& user : holders)
                usersText += user + kLineEnd;
        } else {
            usersText = kFilesUsersUnavailable;
        }
        message += kLineEnd;
        message += usersText;
    }
    return true;
}

qor4::qorResult
CRevisionControlUIHelper::GetCombinedFilesStatus(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                                                 const qor4::IUserParameters* account,
                                                 const std::list<std::string>& files, std::uint32_t& combinedStatus)
{
    combinedStatus = 0;
    std::vector<qor4::StatusWord> words;
    std::vector<std::string> changeLists;
    std::string report;
    const qor4::qorResult result =
        fileVersionControl->GetFilesStatus(account, files, words, changeLists, report, kFilesStatusFlags);
    if (result.Failed()) return result;
    for (const qor4::StatusWord word : words)
        combinedStatus |= word;
    return qor4::kResultOk;
}
