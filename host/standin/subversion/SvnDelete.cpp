// Deleting files: scheduled for deletion, to leave the repository with the next submit.
#include "subversion/SvnCommands.h"

#include "subversion/SvnChange.h"
#include "subversion/SvnChangeLists.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnUndo.h"

namespace standin::svn {

ServerResult Delete(Session& session, Call& call, const FileList& files, const std::string& changeList)
{
    Plan plan;
    ServerResult result;
    if (!Open(session, call, files, Opening{&changeList, false, true}, plan, result)) return result;
    FileList toDelete;
    for (std::size_t i = 0; i < plan.paths.size(); ++i) {
        const NodeInfo& node = plan.walk.nodes[i];
        if (RefuseNew(plan.paths[i], node, " - is scheduled for addition; revert it instead.\n", plan.refusals))
            continue;
        if (node.node != svn_wc_status_deleted) toDelete.push_back(plan.paths[i]);
    }
    if (!plan.refusals.empty()) return {ServerCode::kFileStateRejected, plan.refusals};
    if (toDelete.empty()) return result;

    Pool pool(session.client->PoolHandle());
    // Without force: a file with local changes is refused rather than its changes lost.
    const Error error(svn_client_delete4(Client::Targets(toDelete, pool), FALSE, FALSE, nullptr, nullptr, nullptr,
                                         session.client->Context(), pool));
    if (error) return Failure(session, call, error);
    const ServerResult assigned = AssignChangeList(session, call, toDelete, changeList);
    return assigned.Failed() ? UndoSchedules(session, call, toDelete, assigned, false) : assigned;
}

} // namespace standin::svn
