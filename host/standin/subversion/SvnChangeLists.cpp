#include "subversion/SvnChangeLists.h"

#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"

#include <map>

namespace standin::svn {

namespace {

ServerResult Unknown(const std::string& changeList)
{
    return {ServerCode::kInvalidChangeList, "Change " + changeList + " unknown.\n"};
}

} // namespace

bool CheckChangeList(Session& session, const std::string& changeList, ServerResult& failure)
{
    if (changeList.empty()) return true;
    std::map<long, std::string> pending;
    std::string error;
    if (!session.changeLists->Load(pending, error)) {
        failure = {ServerCode::kIOError, error + "\n"};
        return false;
    }
    if (pending.count(ChangeListFile::NumberOf(changeList)) == 0) {
        failure = Unknown(changeList);
        return false;
    }
    return true;
}

ServerResult AssignChangeList(Session& session, const Call& call, const FileList& files, const std::string& changeList)
{
    if (changeList.empty() || files.empty()) return {};
    Pool pool(session.client->PoolHandle());
    const Error error(svn_client_add_to_changelist(Client::Targets(files, pool), changeList.c_str(), svn_depth_empty,
                                                   nullptr, session.client->Context(), pool));
    return error ? Failure(session, call, error) : ServerResult{};
}

ChangeListResult CreateChangeList(Session& session, const std::string& description)
{
    long number = 0;
    std::string error;
    if (!session.changeLists->Create(description, number, error)) return {{ServerCode::kIOError, error + "\n"}, ""};
    ChangeListResult result;
    result.changeList = std::to_string(number);
    return result;
}

ChangeListsResult PendingChangeLists(Session& session)
{
    std::map<long, std::string> pending;
    std::string error;
    if (!session.changeLists->Load(pending, error)) return {{ServerCode::kIOError, error + "\n"}, {}};
    ChangeListsResult result;
    for (const auto& entry : pending)
        result.changeLists.push_back(std::to_string(entry.first));
    return result;
}

DescriptionResult ChangeListDescription(Session& session, const std::string& changeList)
{
    if (changeList.empty()) return {};
    std::map<long, std::string> pending;
    std::string error;
    if (!session.changeLists->Load(pending, error)) return {{ServerCode::kIOError, error + "\n"}, ""};
    const auto found = pending.find(ChangeListFile::NumberOf(changeList));
    if (found == pending.end()) return {Unknown(changeList), ""};
    DescriptionResult result;
    result.description = found->second;
    return result;
}

} // namespace standin::svn
