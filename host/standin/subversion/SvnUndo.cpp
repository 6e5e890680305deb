#include "subversion/SvnUndo.h"

#include "subversion/SvnError.h"
#include "subversion/SvnLock.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"

#include "revisioncontrol/OperationScope.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace standin::svn {

namespace {

// Undoing what a failed or cancelled change did is not cancelled with it: it gets a short time of
// its own, past the user's Cancel and the operation's deadline.
class CleanupScope {
public:
    explicit CleanupScope(Client& client) : m_notCancelled(false), m_scope(m_notCancelled)
    {
        client.SetDeadline(std::chrono::steady_clock::now() + kCleanupTime);
    }

private:
    static constexpr std::chrono::seconds kCleanupTime{10};
    std::atomic<bool> m_notCancelled;
    OperationScope m_scope;
};

} // namespace

ServerResult UndoLocks(Session& session, const Call& call, const LockRequest& request, const ServerResult& failure)
{
    if (request.locked.empty() && request.unkept.empty()) return failure;
    const CleanupScope cleanup(*session.client);
    FileList stuck;
    std::string why;
    const auto tell = [&](const FileList& files, const Release& unlocked) {
        if (unlocked.outcome.Succeeded()) return;
        const FileList kept = unlocked.Kept(files);
        stuck.insert(stuck.end(), kept.begin(), kept.end());
        why += unlocked.outcome.text;
    };
    if (!request.locked.empty()) tell(request.locked, Unlock(session, call, request.locked, request.tokens));
    if (!request.unkept.empty())
        tell(request.unkept, ReleaseUnkept(session, call, request.unkept, request.unkeptTokens));
    if (stuck.empty()) return failure;
    return {ServerCode::kPartlyDone,
            failure.text + "These files were locked and could not be unlocked again:\n" + Lines(stuck) + why};
}

ServerResult UndoSchedules(Session& session, const Call& call, const FileList& scheduled, const ServerResult& failure,
                           bool keepFiles, const std::string& unsure)
{
    FileList targets = scheduled;
    const bool alsoUnsure = !unsure.empty() && std::find(scheduled.begin(), scheduled.end(), unsure) == scheduled.end();
    if (alsoUnsure) targets.push_back(unsure);
    if (targets.empty()) return failure;
    const CleanupScope cleanup(*session.client);
    Pool pool(session.client->PoolHandle());
    // Depth infinity: a folder scheduled here holds nothing versioned but what was scheduled with it.
    // Metadata only for additions: a file that replaced a deleted one keeps its new content.
    const Error reverted(svn_client_revert4(Client::Targets(targets, pool), svn_depth_infinity, nullptr, TRUE,
                                            keepFiles ? TRUE : FALSE, TRUE, session.client->Context(), pool));
    if (!reverted) return failure;
    std::string text = failure.text;
    if (!scheduled.empty())
        text += "These files and folders were scheduled and could not be unscheduled again:\n" + Lines(scheduled);
    if (alsoUnsure) text += "This file may be scheduled as well (its scheduling stopped midway):\n" + unsure + "\n";
    return {ServerCode::kPartlyDone, text + Failure(session, call, reverted).text};
}

} // namespace standin::svn
