// Adding files: scheduled for addition, with svn:needs-lock from the client's auto-props.
#include "subversion/SvnCommands.h"

#include "subversion/SvnChange.h"
#include "subversion/SvnChangeLists.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnUndo.h"

#include <filesystem>

namespace standin::svn {

namespace {

// What the adds did: the files added, every node scheduled (parent folders included), and the
// path whose add failed midway.
struct Additions {
    FileList added;
    FileList scheduled;
    std::string unsure;
};

// One add per file, as the API takes one path; a file that is versioned already is left as it is.
Error AddEach(Client& client, const FileList& paths, Additions& additions)
{
    Pool pool(client.PoolHandle());
    Client::NotifyScope scope(client, [&additions](const svn_wc_notify_t& notify) {
        if (notify.action == svn_wc_notify_add && notify.path) additions.scheduled.push_back(notify.path);
    });
    for (const std::string& path : paths) {
        Pool iteration(pool.Get());
        Error error(
            svn_client_add5(path.c_str(), svn_depth_empty, FALSE, TRUE, FALSE, TRUE, client.Context(), iteration));
        if (error.Has(SVN_ERR_ENTRY_EXISTS)) continue;
        if (error) {
            // An add can fail after it wrote the node (in its work queue): not notified, yet
            // scheduled. A working copy locked by another client is refused before any write.
            if (!error.Has(SVN_ERR_WC_LOCKED)) additions.unsure = path;
            return error;
        }
        additions.added.push_back(path);
    }
    return {};
}

} // namespace

AddResult Add(Session& session, Call& call, const FileList& files, const std::string& changeList)
{
    AddResult result;
    Plan plan;
    if (!Open(session, call, files, Opening{&changeList, false, false}, plan, result)) return result;
    std::error_code ignored;
    for (const std::string& path : plan.paths)
        if (!std::filesystem::exists(path, ignored)) plan.refusals += path + " - file does not exist.\n";
    if (!plan.refusals.empty()) return AddResult{{ServerCode::kFileStateRejected, plan.refusals}, {}};

    // svn:needs-lock comes with each add, so that new assets join the lock workflow from their
    // first commit. Every node scheduled here is noted, so that a failure can undo all of it.
    Additions additions;
    const Error error = AddEach(*session.client, plan.paths, additions);
    if (error)
        return AddResult{
            UndoSchedules(session, call, additions.scheduled, Failure(session, call, error), true, additions.unsure),
            {}};
    const ServerResult assigned = AssignChangeList(session, call, additions.added, changeList);
    if (assigned.Failed()) return AddResult{UndoSchedules(session, call, additions.scheduled, assigned, true), {}};
    result.scheduled = std::move(additions.added);
    return result;
}

} // namespace standin::svn
