#include "subversion/SvnLock.h"

#include "subversion/SvnBackend.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnStatusWalk.h"

#include "revisioncontrol/OperationScope.h"

#include <algorithm>
#include <chrono>

namespace standin::svn {

namespace {

// The server's reason for refusing one file's lock, said plainly when it is the path-based
// authorization.
std::string LockRefusal(const svn_error_t* error)
{
    const bool denied = svn_error_find_cause(const_cast<svn_error_t*>(error), SVN_ERR_RA_NOT_AUTHORIZED) ||
                        svn_error_find_cause(const_cast<svn_error_t*>(error), SVN_ERR_AUTHZ_UNWRITABLE);
    return (denied ? "access denied: " : "") + Error::TextOf(error);
}

// A request abandoned before its answer came may still be carried out (a replica forwards it to
// its master, which may be slow): such locks are released when they show up.
void WatchAbandoned(Session& session, const FileList& files, LockRequest& request)
{
    FileList pending;
    for (const std::string& path : files)
        if (std::find(request.locked.begin(), request.locked.end(), path) == request.locked.end() &&
            std::find(request.refused.begin(), request.refused.end(), path) == request.refused.end())
            pending.push_back(path);
    const auto until = std::chrono::steady_clock::now() + SvnBackend::kAbandonedLockWatch;
    for (const std::string& path : pending)
        session.abandonedLocks[path] = until;
    if (!pending.empty())
        request.failure.text += "The server may still lock these files after all; such locks are released at the "
                                "next operation that reaches it:\n" +
                                Lines(pending);
}

} // namespace

LockRequest Lock(Session& session, Call& call, const FileList& files)
{
    LockRequest request;
    bool unanswered = false;
    {
        Client::NotifyScope scope(*session.client, [&request](const svn_wc_notify_t& notify) {
            if (notify.action == svn_wc_notify_locked) {
                request.locked.push_back(notify.path);
            } else if (notify.action == svn_wc_notify_failed_lock) {
                request.refused.push_back(notify.path);
                request.reasons.push_back(LockRefusal(notify.err));
            }
        });
        ReleaseAbandonedLocks(session);
        Pool pool(session.client->PoolHandle());
        const Error error(svn_client_lock(Client::Targets(files, pool), session.LockComment().c_str(), FALSE,
                                          session.client->Context(), pool));
        unanswered = error && (error.Has(SVN_ERR_CANCELLED) || call.DeadlinePassed() || OperationScope::Cancelled());
        // A file locked now is no longer waiting for an earlier request of this copy.
        for (const std::string& path : request.locked)
            session.abandonedLocks.erase(path);
        if (error) request.failure = Failure(session, call, error);
    }
    if (unanswered) WatchAbandoned(session, files, request);
    return request;
}

ServerResult Unlock(Session& session, const Call& call, const FileList& files, bool ownLockWithoutToken)
{
    std::string refusals;
    Client::NotifyScope scope(*session.client, [&](const svn_wc_notify_t& notify) {
        if (notify.action == svn_wc_notify_failed_unlock)
            refusals += std::string(notify.path) + " - " + Error::TextOf(notify.err) + "\n";
    });
    Pool pool(session.client->PoolHandle());
    const Error error(svn_client_unlock(Client::Targets(files, pool), ownLockWithoutToken ? TRUE : FALSE,
                                        session.client->Context(), pool));
    if (error) return Failure(session, call, error);
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    return {};
}

std::string DescribeRefusals(Session& session, Call& call, const FileList& refused,
                             const std::vector<std::string>& reasons)
{
    // A lock of this user that this copy does not hold is not "another user's".
    WalkResult owners = RemoteWalk(session, call, refused);
    std::string lines;
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const NodeInfo* node = owners.error ? nullptr : &owners.nodes[i];
        if (node && node->repositoryLock.Held() && node->repositoryLock.owner == session.client->User() &&
            node->repositoryLock.token != node->localLock.token)
            lines += refused[i] + " - is locked by you (" + session.client->User() +
                     ") in another working copy; release the lock there, or break it.\n";
        else
            lines += refused[i] + " - " + reasons[i] + "\n";
    }
    return lines;
}

} // namespace standin::svn
