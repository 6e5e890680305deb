#include "subversion/SvnLock.h"

#include "subversion/LockTokens.h"
#include "subversion/SvnBackend.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnStatusWalk.h"

#include "revisioncontrol/OperationScope.h"

#include <svn_hash.h>
#include <svn_ra.h>

#include <apr_strings.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <unordered_set>

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
// its master, which may be slow; a frozen server takes what a kept connection wrote once it wakes):
// such locks are released when they show up.
void WatchAbandoned(Session& session, const FileList& files, LockRequest& request)
{
    FileList pending;
    for (const std::string& path : files)
        if (std::find(request.locked.begin(), request.locked.end(), path) == request.locked.end() &&
            std::find(request.refused.begin(), request.refused.end(), path) == request.refused.end() &&
            std::find(request.unkept.begin(), request.unkept.end(), path) == request.unkept.end())
            pending.push_back(path);
    const auto until = std::chrono::steady_clock::now() + SvnBackend::kAbandonedLockWatch;
    for (const std::string& path : pending)
        session.abandonedLocks[path] = until;
    if (!pending.empty())
        request.failure.text += "The server may still lock these files after all; such locks are released at the "
                                "next operation that reaches it:\n" +
                                Lines(pending);
}

// The server's answers to a request about several files.
struct Answers {
    Session& session;
    // The files asked about, by their path below the working copy's root: an answer naming any
    // other path is the server's to keep, never followed into the file system.
    std::set<std::string> asked;
    bool any = false;

    // The working-copy file an answer names; empty when it names none that was asked about.
    std::string FileOf(const char* path)
    {
        any = true;
        if (!path || asked.count(path) == 0) return {};
        return session.workingCopy + "/" + path;
    }
};

// A lock taken is kept in the working copy as Subversion's own client keeps it.
struct LockAnswers : Answers {
    LockRequest& request;
    // Why the first token could not be kept. The answers that follow are still read: each names a
    // lock granted that must be kept or released again.
    Error unkept;
};

svn_error_t* OnLockAnswer(void* baton, const char* path, svn_boolean_t, const svn_lock_t* lock, svn_error_t* refusal,
                          apr_pool_t*)
{
    auto& answers = *static_cast<LockAnswers*>(baton);
    const std::string file = answers.FileOf(path);
    if (file.empty()) return SVN_NO_ERROR;
    if (refusal || !lock) {
        answers.request.refused.push_back(file);
        answers.request.reasons.push_back(refusal ? LockRefusal(refusal) : std::string("no lock came back"));
        return SVN_NO_ERROR;
    }
    Error kept = KeepToken(*answers.session.client, file, *lock);
    if (kept) {
        answers.request.unkept.push_back(file);
        answers.request.unkeptTokens.emplace_back(lock->token ? lock->token : "");
        if (!answers.unkept) answers.unkept = std::move(kept);
        return SVN_NO_ERROR;
    }
    answers.request.locked.push_back(file);
    answers.request.tokens.emplace_back(lock->token ? lock->token : "");
    return SVN_NO_ERROR;
}

// The file's path below the working copy's root, as a request to the lock URL names it.
std::string Below(const Session& session, const std::string& file)
{
    return file.substr(session.workingCopy.size() + 1);
}

struct UnlockAnswers : Answers {
    std::string refusals;
    FileList released;
    bool dropTokens = true; // false for locks whose tokens this copy never kept
};

// The server holds no lock with the token given: someone broke the lock, or broke it and took the
// file. Either way nothing of this copy's is left on the server to release.
bool LockGone(const svn_error_t* refusal)
{
    return refusal && svn_error_find_cause(const_cast<svn_error_t*>(refusal), SVN_ERR_FS_NO_SUCH_LOCK);
}

svn_error_t* OnUnlockAnswer(void* baton, const char* path, svn_boolean_t, const svn_lock_t*, svn_error_t* refusal,
                            apr_pool_t*)
{
    auto& answers = *static_cast<UnlockAnswers*>(baton);
    const std::string file = answers.FileOf(path);
    if (file.empty()) return SVN_NO_ERROR;
    if (refusal && !LockGone(refusal))
        answers.refusals += file + " - " + Error::TextOf(refusal) + "\n";
    else
        answers.released.push_back(file);
    if (!answers.dropTokens) return SVN_NO_ERROR;
    // As Subversion's own client does: a lock the server kept (another owner's now, or a hook
    // refused its release) keeps its token; one it no longer has is forgotten here too.
    if (refusal &&
        (refusal->apr_err == SVN_ERR_FS_LOCK_OWNER_MISMATCH || refusal->apr_err == SVN_ERR_REPOS_HOOK_FAILURE))
        return SVN_NO_ERROR;
    return DropToken(*answers.session.client, file).Release();
}

} // namespace

FileList Release::Kept(const FileList& files) const
{
    // A set: a failed revert of many files would otherwise compare every pair.
    const std::unordered_set<std::string> gone(released.begin(), released.end());
    FileList kept;
    for (const std::string& file : files)
        if (gone.count(file) == 0) kept.push_back(file);
    return kept;
}

Release UnlockWithoutTokens(Session& session, const Call& call, const FileList& files)
{
    std::string refusals;
    Release release;
    Client::NotifyScope scope(*session.client, [&](const svn_wc_notify_t& notify) {
        if (notify.action == svn_wc_notify_failed_unlock && !LockGone(notify.err))
            refusals += std::string(notify.path) + " - " + Error::TextOf(notify.err) + "\n";
        else if (notify.action == svn_wc_notify_unlocked || notify.action == svn_wc_notify_failed_unlock)
            release.released.emplace_back(notify.path);
    });
    Pool pool(session.client->PoolHandle());
    const Error error(svn_client_unlock(Client::Targets(files, pool), TRUE, session.client->Context(), pool));
    if (error)
        release.outcome = Failure(session, call, error);
    else if (!refusals.empty())
        release.outcome = {ServerCode::kFileStateRejected, CappedLines(refusals)};
    return release;
}

LockRequest Lock(Session& session, Call& call, const FileList& files, const std::vector<long>& revisions)
{
    LockRequest request;
    ReleaseAbandonedLocks(session);
    Client& client = *session.client;
    const std::string comment = session.LockComment();
    LockAnswers answers{{session, {}, false}, request, {}};
    for (const std::string& file : files)
        answers.asked.insert(Below(session, file));
    bool sent = false;
    const Error error = client.Connections().Ask(
        session.LockUrl(),
        [&](svn_ra_session_t* connection, apr_pool_t* pool) {
            sent = true;
            // Each file at its base revision: the server refuses a lock of a file changed since.
            apr_hash_t* targets = apr_hash_make(pool);
            for (std::size_t i = 0; i < files.size(); ++i) {
                auto* revision = static_cast<svn_revnum_t*>(apr_palloc(pool, sizeof(svn_revnum_t)));
                *revision = revisions[i];
                svn_hash_sets(targets, apr_pstrdup(pool, Below(session, files[i]).c_str()), revision);
            }
            return svn_ra_lock(connection, targets, comment.c_str(), FALSE, &OnLockAnswer, &answers, pool);
        },
        [&answers] { return !answers.any; });
    // A file locked now is no longer waiting for an earlier request of this copy.
    for (const std::string& path : request.locked)
        session.abandonedLocks.erase(path);
    if (error) {
        request.failure = Failure(session, call, error);
        // A request sent over a kept connection that had ended is sent again over a new one; that
        // one refused means the server went away, perhaps after it took the first.
        if (AnswerMayBeLost(call, error) || (sent && error.Has(APR_ECONNREFUSED)))
            WatchAbandoned(session, files, request);
    } else if (answers.unkept) {
        request.failure = Failure(session, call, answers.unkept);
    }
    return request;
}

namespace {

Release UnlockOnServer(Session& session, const Call& call, const FileList& files,
                       const std::vector<std::string>& tokens, bool dropTokens)
{
    UnlockAnswers answers{{session, {}, false}, {}, {}, dropTokens};
    Pool pool(session.client->PoolHandle());
    apr_hash_t* held = apr_hash_make(pool);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (tokens[i].empty()) {
            answers.refusals += files[i] + " - is not locked in this working copy\n";
            continue;
        }
        // Dropping the token of a file gone from the disk leaves the working copy needing a
        // clean-up that fails as long as the file is missing: its lock is kept instead.
        std::error_code unreadable;
        if (dropTokens && !std::filesystem::exists(std::filesystem::symlink_status(files[i], unreadable))) {
            answers.refusals += files[i] + " - is missing from the working copy, so it stays locked; get it "
                                           "again, or mark it for delete\n";
            continue;
        }
        const std::string below = Below(session, files[i]);
        answers.asked.insert(below);
        svn_hash_sets(held, apr_pstrdup(pool, below.c_str()), apr_pstrdup(pool, tokens[i].c_str()));
    }
    if (apr_hash_count(held) > 0) {
        const Error error = session.client->Connections().AskLive(
            session.LockUrl(),
            [&](svn_ra_session_t* connection, apr_pool_t* scratch) {
                return svn_ra_unlock(connection, held, FALSE, &OnUnlockAnswer, &answers, scratch);
            },
            [&answers] { return !answers.any; });
        if (error) return {Failure(session, call, error), std::move(answers.released)};
    }
    if (!answers.refusals.empty())
        return {{ServerCode::kFileStateRejected, CappedLines(answers.refusals)}, std::move(answers.released)};
    return {{}, std::move(answers.released)};
}

} // namespace

Release Unlock(Session& session, const Call& call, const FileList& files, const std::vector<std::string>& tokens)
{
    return UnlockOnServer(session, call, files, tokens, true);
}

Release ReleaseUnkept(Session& session, const Call& call, const FileList& files, const std::vector<std::string>& tokens)
{
    return UnlockOnServer(session, call, files, tokens, false);
}

std::string DescribeRefusals(const Session& session, const FileList& refused, const std::vector<std::string>& reasons,
                             const WalkResult& owners)
{
    // A lock of this user that this copy does not hold is not "another user's".
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
