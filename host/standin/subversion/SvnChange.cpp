#include "subversion/SvnChange.h"

#include "subversion/SvnChangeLists.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnSettle.h"

#include <filesystem>

namespace standin::svn {

namespace {

// Assets are files: a folder at an asset's path is refused before anything changes.
void RefuseFolders(const FileList& paths, std::string& refusals)
{
    std::error_code ignored;
    for (const std::string& path : paths)
        if (std::filesystem::is_directory(path, ignored))
            refusals += path + " - is a folder where a file was expected.\n";
}

} // namespace

bool Open(Session& session, const Call& call, const FileList& files, const Opening& opening, Plan& plan,
          ServerResult& result)
{
    if (opening.changeList && !CheckChangeList(session, *opening.changeList, result)) return false;
    if (opening.settle) SettleLostSubmit(session, call);
    plan.paths = session.Canonical(files, plan.refusals);
    RefuseFolders(plan.paths, plan.refusals);
    if (!opening.walk) return true;
    plan.walk = WalkStatus(*session.client, session.workingCopy, plan.paths, false);
    if (!plan.walk.error) return true;
    result = Failure(session, call, plan.walk.error);
    return false;
}

bool IsOpened(const NodeInfo& node)
{
    return node.localLock.Held() || node.Added() || node.node == svn_wc_status_deleted ||
           node.node == svn_wc_status_modified || !node.changeList.empty();
}

bool RefuseNew(const std::string& path, const NodeInfo& node, const char* whenAdded, std::string& refusals)
{
    if (!node.reported || !node.versioned)
        refusals += path + " - file(s) not in the repository.\n";
    else if (node.Added())
        refusals += path + whenAdded;
    else
        return false;
    return true;
}

} // namespace standin::svn
