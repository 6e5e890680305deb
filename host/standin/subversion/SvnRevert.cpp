// Reverting files: their changes undone, their scheduling dropped and their locks released.
#include "subversion/SvnCommands.h"

#include "subversion/SvnChange.h"
#include "subversion/SvnLock.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"

namespace standin::svn {

ServerResult Revert(Session& session, Call& call, const FileList& files)
{
    Plan plan;
    ServerResult result;
    if (!Open(session, call, files, Opening{nullptr, true, true}, plan, result)) return result;
    if (!plan.refusals.empty()) return {ServerCode::kFileStateRejected, plan.refusals};
    // Without the tokens an update through a replica dropped, the master's locks would outlive a
    // revert that says it released them.
    ReleaseAbandonedLocks(session);
    const Error unlisted = LocksFromMaster(session, plan.paths, plan.walk.nodes);
    if (unlisted) return Failure(session, call, unlisted);

    FileList toRevert;
    FileList toUnlock;
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < plan.paths.size(); ++i) {
        const NodeInfo& node = plan.walk.nodes[i];
        if (IsOpened(node)) toRevert.push_back(plan.paths[i]);
        if (node.localLock.Held()) {
            toUnlock.push_back(plan.paths[i]);
            tokens.push_back(node.localLock.token);
        }
    }
    if (!toRevert.empty()) {
        Pool pool(session.client->PoolHandle());
        const Error error(svn_client_revert4(Client::Targets(toRevert, pool), svn_depth_empty, nullptr, TRUE, FALSE,
                                             TRUE, session.client->Context(), pool));
        if (error) return Failure(session, call, error);
    }
    if (toUnlock.empty()) return result;
    const Release unlocked = Unlock(session, call, toUnlock, tokens);
    ServerResult told = unlocked.outcome;
    // The local undo is done before the server is asked: a failed release must not read as if
    // the changes were still there.
    if (told.Failed() && !toRevert.empty()) {
        const FileList kept = unlocked.Kept(toUnlock);
        told.text = "The changes to these files were undone:\n" + Lines(toRevert) +
                    (kept.empty() ? std::string() : "but these files are still locked:\n" + Lines(kept)) + told.text;
    }
    return told;
}

} // namespace standin::svn
