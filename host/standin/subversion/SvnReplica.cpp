#include "subversion/SvnReplica.h"

#include "subversion/RepositoryChanges.h"
#include "subversion/SvnBackend.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnLockListing.h"
#include "subversion/SvnSession.h"

#include "revisioncontrol/OperationScope.h"

#include <svn_hash.h>
#include <svn_path.h>
#include <svn_props.h>
#include <svn_ra.h>

#include <apr_strings.h>

#include <algorithm>
#include <thread>

namespace standin::svn {

namespace {

// A URL a client elsewhere can reach: a replica made from a local path records file://.
bool IsServerUrl(const std::string& url)
{
    return url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0 || url.rfind("svn://", 0) == 0 ||
           url.rfind("svn+ssh://", 0) == 0;
}

// The tokens (by path below the working copy) of the watched files whose abandoned lock request
// landed after all; watched files whose request can no longer land are no longer watched.
apr_hash_t* LandedLocks(Session& session, const FileList& watched, const std::vector<NodeInfo>& nodes, apr_pool_t* pool)
{
    apr_hash_t* tokens = apr_hash_make(pool);
    for (std::size_t i = 0; i < watched.size(); ++i) {
        const NodeInfo& node = nodes[i];
        // Another user's lock, or one this copy holds: the abandoned request can no longer land.
        // Ours without a token here: it landed.
        const bool ours = node.repositoryLock.Held() && node.repositoryLock.owner == session.client->User();
        const bool heldHere = ours && node.repositoryLock.token == node.localLock.token;
        if ((node.repositoryLock.Held() && !ours) || heldHere) session.abandonedLocks.erase(watched[i]);
        if (!ours || heldHere) continue;
        const std::string relative = watched[i].substr(session.workingCopy.size() + 1);
        svn_hash_sets(tokens, apr_pstrdup(pool, relative.c_str()),
                      apr_pstrdup(pool, node.repositoryLock.token.c_str()));
    }
    return tokens;
}

} // namespace

bool FindLockServer(Session& session, Call& call, const std::string& configured, LoginResult& failure)
{
    KeptConnections& connections = session.client->Connections();
    std::string master = configured;
    std::string repositoryRoot;
    Error error = connections.Ask(session.rootUrl, [&](svn_ra_session_t* connection, apr_pool_t* pool) -> svn_error_t* {
        const char* root = nullptr;
        SVN_ERR(svn_ra_get_repos_root2(connection, &root, pool));
        repositoryRoot = root;
        if (!master.empty()) return SVN_NO_ERROR;
        svn_string_t* source = nullptr;
        svn_error_clear(svn_ra_rev_prop(connection, 0, SVNSYNC_PROP_FROM_URL, &source, pool));
        if (source && IsServerUrl(source->data)) master = source->data;
        return SVN_NO_ERROR;
    });
    if (!error && master.empty()) return true;

    Pool pool(session.client->PoolHandle());
    const char* below = error ? nullptr : svn_uri_skip_ancestor(repositoryRoot.c_str(), session.rootUrl.c_str(), pool);
    if (!error && !below)
        error = Error(svn_error_createf(SVN_ERR_RA_ILLEGAL_URL, nullptr, "%s is not in the repository at %s",
                                        session.rootUrl.c_str(), repositoryRoot.c_str()));
    std::string lockRoot;
    if (!error) {
        lockRoot = *below ? svn_path_url_add_component2(master.c_str(), below, pool) : master;
        // The master must answer now: without it no status through the replica would be true.
        call.Watch(session.server, master);
        session.client->GivePasswordTo(master);
        error = connections.Ask(lockRoot, [](svn_ra_session_t* toMaster, apr_pool_t* scratch) -> svn_error_t* {
            svn_revnum_t head = 0;
            return svn_ra_get_latest_revnum(toMaster, &head, scratch);
        });
    }
    if (error) {
        failure.code = ServerCode::kLoginFailed;
        failure.accountChecked = true;
        const std::string unreachable =
            master.empty() ? session.server
                           : master + ", the master of the replica at " + session.server + " that keeps its locks";
        failure.text = "Cannot reach " + unreachable + ": " + error.Text() + "\n";
        return false;
    }
    session.lockServer = master;
    session.lockRoot = lockRoot;
    return true;
}

void ReleaseAbandonedLocks(Session& session)
{
    const auto now = std::chrono::steady_clock::now();
    FileList watched;
    for (auto entry = session.abandonedLocks.begin(); entry != session.abandonedLocks.end();) {
        if (entry->second < now) {
            entry = session.abandonedLocks.erase(entry);
        } else {
            watched.push_back(entry->first);
            ++entry;
        }
    }
    if (watched.empty()) return;
    Client& client = *session.client;
    WalkResult walk = WalkStatus(client, session.workingCopy, watched, true);
    if (!walk.error) walk.error = LocksFromMaster(session, watched, walk.nodes);
    if (walk.error) return;

    Pool pool(client.PoolHandle());
    apr_hash_t* tokens = LandedLocks(session, watched, walk.nodes, pool);
    if (apr_hash_count(tokens) == 0) return;
    const svn_ra_lock_callback_t onUnlocked = [](void* baton, const char* path, svn_boolean_t, const svn_lock_t*,
                                                 svn_error_t* failed, apr_pool_t*) -> svn_error_t* {
        auto* released = static_cast<Session*>(baton);
        if (!failed) released->abandonedLocks.erase(released->workingCopy + "/" + path);
        return SVN_NO_ERROR;
    };
    (void)client.Connections().Ask(session.LockUrl(),
                                   [&](svn_ra_session_t* connection, apr_pool_t* scratch) -> svn_error_t* {
                                       return svn_ra_unlock(connection, tokens, FALSE, onUnlocked, &session, scratch);
                                   });
}

bool RetryWhileReplicaBehind(const Session& session, const Call& call, const std::function<const Error&()>& attempt)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::min(SvnBackend::kReplicaPatience, call.Deadline());
    while (true) {
        const Error& error = attempt();
        if (session.lockServer.empty() || !error.Has(SVN_ERR_FS_NO_SUCH_REVISION)) return true;
        if (OperationScope::Cancelled() || call.DeadlinePassed() ||
            std::chrono::steady_clock::now() + SvnBackend::kReplicaRetryInterval > giveUp)
            return false;
        std::this_thread::sleep_for(SvnBackend::kReplicaRetryInterval);
    }
}

WalkResult RemoteWalk(Session& session, const Call& call, const FileList& files)
{
    ReleaseAbandonedLocks(session);
    WalkResult walk;
    bool logged = true;
    // A working copy that has a revision the replica has not received yet (its own commit, made
    // through the master) cannot be compared until svnsync has brought it.
    RetryWhileReplicaBehind(session, call, [&]() -> const Error& {
        walk = WalkStatus(*session.client, session.workingCopy, files, false);
        if (!walk.error) logged = MarkRepositoryChanges(session, files, walk.nodes, walk.error);
        // Too far behind for a log: Subversion's status report of the tree, locks included.
        if (!walk.error && !logged) walk = WalkStatus(*session.client, session.workingCopy, files, true);
        return walk.error;
    });
    if (walk.error) return walk;
    if (!session.lockRoot.empty()) {
        walk.error = LocksFromMaster(session, files, walk.nodes);
    } else if (logged) {
        LockListing locks = ListLocks(*session.client, session.rootUrl, session.workingCopy);
        if (locks.error)
            walk.error = std::move(locks.error);
        else
            ApplyLocks(locks, files, walk.nodes);
    }
    return walk;
}

Error LocksFromMaster(Session& session, const FileList& files, std::vector<NodeInfo>& nodes)
{
    if (session.lockRoot.empty() || files.empty()) return {};
    LockListing locks = ListLocks(*session.client, session.lockRoot, session.workingCopy);
    if (locks.error) return std::move(locks.error);
    ApplyLocks(locks, files, nodes);
    // An update through the replica (the user's own client, say) drops the tokens of locks the
    // replica does not know.
    for (std::size_t i = 0; i < files.size(); ++i)
        AdoptOwnLock(session, files[i], nodes[i]);
    return {};
}

bool AdoptOwnLock(Session& session, const std::string& file, NodeInfo& node)
{
    const LockInfo& lock = node.repositoryLock;
    if (!lock.Held() || node.localLock.Held() || lock.owner != session.client->User() ||
        lock.comment != session.LockComment() || session.abandonedLocks.count(file) != 0)
        return false;
    std::string ignored;
    if (!AdoptLock(*session.client, file, lock, ignored)) return false;
    node.localLock = lock;
    return true;
}

} // namespace standin::svn
