// Asking the services what a failure report needs (the states, the users holding the files, the
// files); FailureText turns the answers into words.
#include "CRevisionControlUIHelper.h"

#include "FailureText.h"
#include "HostServices.h"

#include "qor4/FileStatus.h"

#include <vector>

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
        FailureText::ForFailedQuery(result, errorString, message);
        details = report;
        return true;
    }

    const std::vector<qor4::QORHandle<qor4::IDbObject>> handles(objects.begin(), objects.end());
    const auto usersOf = [&](std::size_t object) -> FailureText::Users {
        std::list<std::string> holders;
        std::string usersReport;
        const qor4::qorResult found =
            dataControl->GetObjectUsers(handles[object], includeExternal, kDataControlContext, holders, usersReport);
        if (found != qor4::kResultOk) return std::nullopt;
        return holders;
    };
    const auto nameOf = [&](std::size_t object) {
        return dataControl->GetObjectName(handles[object], kDataControlContext);
    };
    const bool matched = FailureText::ForObjects(std::vector<qor4::StatusWord>(states.begin(), states.end()), statuses,
                                                 usersOf, nameOf, errorString, message);

    std::set<std::string> files;
    std::vector<std::set<std::string>> filesPerObject;
    dataControl->GetFiles(objects, includeExternal, kDataControlContext, false, files, filesPerObject);
    details = FailureText::FilesDetails(files);
    return matched;
}

bool CRevisionControlUIHelper::DescribeFilesFailure(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                                                    const qor4::IUserParameters* account,
                                                    const std::list<std::string>& files, std::uint32_t combinedStatus,
                                                    const StatusFlags& statuses, const std::string& errorString,
                                                    std::string& message)
{
    const auto users = [&]() -> FailureText::Users {
        std::list<std::string> holders;
        std::string report;
        if (fileVersionControl->GetUsers(account, files, holders, report, true) != qor4::kResultOk) return std::nullopt;
        return holders;
    };
    return FailureText::ForFiles(combinedStatus, statuses, users, errorString, message);
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
