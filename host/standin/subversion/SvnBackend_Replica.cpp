// SvnBackend behind a replica: where the locks are, and waiting for a replica to catch up.
#include "SvnBackend.h"

#include "SvnBackend_Session.h"
#include "SvnLockListing.h"

#include "OperationScope.h"

#include <svn_hash.h>
#include <svn_path.h>
#include <svn_props.h>
#include <svn_ra.h>

#include <apr_strings.h>

#include <thread>

namespace standin {

namespace {

// A URL a client elsewhere can reach: a replica made from a local path records file://.
bool IsServerUrl(const std::string& url)
{
    return url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0 || url.rfind("svn://", 0) == 0 ||
           url.rfind("svn+ssh://", 0) == 0;
}

} // namespace

bool SvnBackend::FindLockServer(Session& session, svn_ra_session_t* connection, const std::string& rootUrl,
                                LoginResult& failure)
{
    svn::Client& client = *session.client;
    svn::Pool pool(client.PoolHandle());
    std::string master = m_lockServer;
    if (master.empty()) {
        svn_string_t* source = nullptr;
        const svn::Error unreadable(svn_ra_rev_prop(connection, 0, SVNSYNC_PROP_FROM_URL, &source, pool));
        if (!unreadable && source && IsServerUrl(source->data)) master = source->data;
    }
    if (master.empty()) return true;

    const char* repositoryRoot = nullptr;
    svn::Error error(svn_ra_get_repos_root2(connection, &repositoryRoot, pool));
    const char* below = error ? nullptr : svn_uri_skip_ancestor(repositoryRoot, rootUrl.c_str(), pool);
    if (!error && !below)
        error = svn::Error(svn_error_createf(SVN_ERR_RA_ILLEGAL_URL, nullptr, "%s is not in the repository at %s",
                                             rootUrl.c_str(), repositoryRoot));
    std::string lockRoot;
    if (!error) {
        lockRoot = *below ? svn_path_url_add_component2(master.c_str(), below, pool) : master;
        // The master must answer now: without it no status through the replica would be true.
        Watch(session.server, master);
        svn_ra_session_t* toMaster = nullptr;
        svn_revnum_t head = 0;
        error = svn::Error(svn_client_open_ra_session2(&toMaster, lockRoot.c_str(), session.workingCopy.c_str(),
                                                       client.Context(), pool, pool));
        if (!error) error = svn::Error(svn_ra_get_latest_revnum(toMaster, &head, pool));
    }
    if (error) {
        failure.code = ServerCode::kLoginFailed;
        failure.accountChecked = true;
        failure.text = "Cannot reach " + master + ", the master of the replica at " + session.server +
                       " that keeps its locks: " + error.Text() + "\n";
        return false;
    }
    session.lockServer = master;
    session.lockRoot = lockRoot;
    return true;
}

void SvnBackend::ReleaseAbandonedLocks(Session& session)
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
    svn::Client& client = *session.client;
    svn::WalkResult walk = svn::WalkStatus(client, session.workingCopy, watched, true);
    if (!walk.error) walk.error = LocksFromMaster(session, watched, walk.nodes);
    if (walk.error) return;

    svn::Pool pool(client.PoolHandle());
    apr_hash_t* tokens = apr_hash_make(pool);
    for (std::size_t i = 0; i < watched.size(); ++i) {
        const svn::NodeInfo& node = walk.nodes[i];
        // Another user's lock, or one this copy holds: the abandoned request can no longer land.
        // Ours without a token here: it landed.
        const bool ours = node.repositoryLock.Held() && node.repositoryLock.owner == client.User();
        const bool heldHere = ours && node.repositoryLock.token == node.localLock.token;
        if ((node.repositoryLock.Held() && !ours) || heldHere) session.abandonedLocks.erase(watched[i]);
        if (!ours || heldHere) continue;
        const std::string relative = watched[i].substr(session.workingCopy.size() + 1);
        svn_hash_sets(tokens, apr_pstrdup(pool, relative.c_str()),
                      apr_pstrdup(pool, node.repositoryLock.token.c_str()));
    }
    if (apr_hash_count(tokens) == 0) return;
    const std::string& url = session.lockRoot.empty() ? session.rootUrl : session.lockRoot;
    svn_ra_session_t* connection = nullptr;
    svn::Error error(svn_client_open_ra_session2(&connection, url.c_str(), session.workingCopy.c_str(),
                                                 client.Context(), pool, pool));
    const svn_ra_lock_callback_t onUnlocked = [](void* baton, const char* path, svn_boolean_t, const svn_lock_t*,
                                                 svn_error_t* failed, apr_pool_t*) -> svn_error_t* {
        auto* released = static_cast<Session*>(baton);
        if (!failed) released->abandonedLocks.erase(released->workingCopy + "/" + path);
        return SVN_NO_ERROR;
    };
    if (!error) error = svn::Error(svn_ra_unlock(connection, tokens, FALSE, onUnlocked, &session, pool));
}

svn::WalkResult SvnBackend::RemoteWalk(Session& session, const FileList& files)
{
    ReleaseAbandonedLocks(session);
    const auto giveUp = std::chrono::steady_clock::now() + std::min(kReplicaPatience, m_deadline);
    svn::WalkResult walk;
    while (true) {
        walk = svn::WalkStatus(*session.client, session.workingCopy, files, true);
        // A working copy that has a revision the replica has not received yet (its own commit,
        // made through the master) cannot be compared until svnsync has brought it.
        const bool behind = !session.lockServer.empty() && walk.error.Has(SVN_ERR_FS_NO_SUCH_REVISION);
        if (!behind || OperationScope::Cancelled() || DeadlinePassed() ||
            std::chrono::steady_clock::now() + kReplicaRetryInterval > giveUp)
            break;
        std::this_thread::sleep_for(kReplicaRetryInterval);
    }
    if (!walk.error) walk.error = LocksFromMaster(session, files, walk.nodes);
    return walk;
}

svn::Error SvnBackend::LocksFromMaster(Session& session, const FileList& files, std::vector<svn::NodeInfo>& nodes)
{
    if (session.lockRoot.empty() || files.empty()) return {};
    svn::LockListing locks = svn::ListLocks(*session.client, session.lockRoot, session.workingCopy);
    if (locks.error) return std::move(locks.error);
    svn::ApplyLocks(locks, files, nodes);
    // An update through the replica (the user's own client, say) drops the tokens of locks the
    // replica does not know; a lock of this user taken from this working copy gets its token back.
    const std::string comment = session.LockComment();
    for (std::size_t i = 0; i < files.size(); ++i) {
        svn::NodeInfo& node = nodes[i];
        const svn::LockInfo& lock = node.repositoryLock;
        if (!lock.Held() || node.localLock.Held() || lock.owner != session.client->User() || lock.comment != comment ||
            session.abandonedLocks.count(files[i]) != 0)
            continue;
        std::string ignored;
        if (svn::AdoptLock(*session.client, files[i], lock, ignored)) node.localLock = lock;
    }
    return {};
}

} // namespace standin
