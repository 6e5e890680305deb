// The operations of SvnBackend that change the working copy or the repository.
#include "SvnBackend.h"

#include "SubmitRecord.h"

#include "SvnBackend_Session.h"
#include "SvnError.h"
#include "SvnStatusWalk.h"

#include "OperationScope.h"
#include "WorkingCopyFence.h"

#include <svn_props.h>
#include <svn_string.h>

#include <filesystem>
#include <functional>
#include <set>

namespace standin {

namespace {

bool IsOpened(const svn::NodeInfo& node)
{
    return node.localLock.Held() || node.Added() || node.node == svn_wc_status_deleted ||
           node.node == svn_wc_status_modified || !node.changeList.empty();
}

bool IsVersioned(const svn::NodeInfo& node)
{
    return node.reported && node.versioned && node.node != svn_wc_status_unversioned;
}

// The server's reason for refusing one file's lock, said plainly when it is the path-based
// authorization.
std::string LockRefusal(const svn_error_t* error)
{
    const bool denied = svn_error_find_cause(const_cast<svn_error_t*>(error), SVN_ERR_RA_NOT_AUTHORIZED) ||
                        svn_error_find_cause(const_cast<svn_error_t*>(error), SVN_ERR_AUTHZ_UNWRITABLE);
    return (denied ? "access denied: " : "") + svn::Error::TextOf(error);
}

// Assets are files: a folder at an asset's path is refused before anything changes.
void RefuseFolders(const FileList& paths, std::string& refusals)
{
    std::error_code ignored;
    for (const std::string& path : paths)
        if (std::filesystem::is_directory(path, ignored))
            refusals += path + " - is a folder where a file was expected.\n";
}

// Undoing what a failed or cancelled change did is not cancelled with it: it gets a short time of
// its own, past the user's Cancel and the operation's deadline.
class CleanupScope {
public:
    explicit CleanupScope(svn::Client& client) : m_notCancelled(false), m_scope(m_notCancelled)
    {
        client.SetDeadline(std::chrono::steady_clock::now() + kCleanupTime);
    }

private:
    static constexpr std::chrono::seconds kCleanupTime{10};
    std::atomic<bool> m_notCancelled;
    OperationScope m_scope;
};

std::string Lines(const FileList& files)
{
    std::string lines;
    for (const std::string& file : files)
        lines += file + "\n";
    return lines;
}

} // namespace

bool SvnBackend::Prepare(SessionId id, const FileList& files, const std::string* changeList, Plan& plan,
                         ServerResult& result)
{
    plan.session = Enter(id, result);
    if (!plan.session || (changeList && !CheckChangeList(*plan.session, *changeList, result))) return false;
    if (plan.reachesServer) SettleLostSubmit(*plan.session);
    plan.paths = Canonical(*plan.session, files, plan.refusals);
    RefuseFolders(plan.paths, plan.refusals);
    plan.walk = svn::WalkStatus(*plan.session->client, plan.session->workingCopy, plan.paths, false);
    if (!plan.walk.error) return true;
    result = Failure(*plan.session, plan.walk.error);
    return false;
}

ServerResult SvnBackend::EditOnce(SessionId id, const FileList& files, const std::string& changeList)
{
    Plan plan;
    plan.reachesServer = true;
    ServerResult result;
    if (!Prepare(id, files, &changeList, plan, result)) return result;
    Session* session = plan.session;
    const FileList& paths = plan.paths;
    const svn::WalkResult& walk = plan.walk;
    std::string& refusals = plan.refusals;
    // A lock of this copy whose token an update through a replica dropped is still this copy's:
    // without its token the master would refuse it as someone else's.
    const svn::Error unlisted = LocksFromMaster(*session, paths, plan.walk.nodes);
    if (unlisted) return Failure(*session, unlisted);

    FileList toLock;
    FileList heldHere;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const svn::NodeInfo& node = walk.nodes[i];
        if (!IsVersioned(node))
            refusals += paths[i] + " - file(s) not in the repository.\n";
        else if (node.Added())
            refusals += paths[i] + " - is scheduled for addition.\n";
        else if (node.node == svn_wc_status_deleted)
            refusals += paths[i] + " - is scheduled for deletion.\n";
        else
            (node.localLock.Held() ? heldHere : toLock).push_back(paths[i]);
    }
    // A lock this copy holds may have been stolen or broken since; only the repository knows.
    if (refusals.empty() && !heldHere.empty()) {
        svn::WalkResult held = RemoteWalk(*session, heldHere);
        if (held.error) return Failure(*session, held.error);
        for (std::size_t i = 0; i < heldHere.size(); ++i)
            if (held.nodes[i].repositoryLock.token != held.nodes[i].localLock.token) toLock.push_back(heldHere[i]);
    }
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    if (toLock.empty()) return result;

    // Subversion locks what it can and reports each refusal as a notification; all or nothing
    // here, so what this call did lock is released again when anything was refused.
    FileList locked;
    FileList refused;
    std::vector<std::string> reasons;
    ServerResult failure;
    bool unanswered = false;
    {
        svn::Client::NotifyScope scope(*session->client, [&](const svn_wc_notify_t& notify) {
            if (notify.action == svn_wc_notify_locked) {
                locked.push_back(notify.path);
            } else if (notify.action == svn_wc_notify_failed_lock) {
                refused.push_back(notify.path);
                reasons.push_back(LockRefusal(notify.err));
            }
        });
        ReleaseAbandonedLocks(*session);
        svn::Pool pool(session->client->PoolHandle());
        const svn::Error error(svn_client_lock(svn::Client::Targets(toLock, pool), session->LockComment().c_str(),
                                               FALSE, session->client->Context(), pool));
        unanswered = error && (error.Has(SVN_ERR_CANCELLED) || DeadlinePassed() || OperationScope::Cancelled());
        // A file locked now is no longer waiting for an earlier request of this copy.
        for (const std::string& path : locked)
            session->abandonedLocks.erase(path);
        if (error) failure = Failure(*session, error);
    }
    // A request abandoned before its answer came may still be carried out (a replica forwards it
    // to its master, which may be slow): such locks are released when they show up.
    if (unanswered) {
        FileList pending;
        for (const std::string& path : toLock)
            if (std::find(locked.begin(), locked.end(), path) == locked.end() &&
                std::find(refused.begin(), refused.end(), path) == refused.end())
                pending.push_back(path);
        const auto until = std::chrono::steady_clock::now() + kAbandonedLockWatch;
        for (const std::string& path : pending)
            session->abandonedLocks[path] = until;
        if (!pending.empty())
            failure.text += "The server may still lock these files after all; such locks are released at the next "
                            "operation that reaches it:\n" +
                            Lines(pending);
    }
    if (failure.Failed() || !refused.empty() || locked.size() != toLock.size()) {
        if (failure.Failed()) return UndoLocks(*session, locked, failure);
        refusals = DescribeRefusals(*session, refused, reasons);
        if (refusals.empty()) refusals = "Not every file could be locked.\n";
        return UndoLocks(*session, locked, {ServerCode::kFileStateRejected, refusals});
    }
    const ServerResult assigned = AssignChangeList(*session, locked, changeList);
    return assigned.Failed() ? UndoLocks(*session, locked, assigned) : assigned;
}

ServerResult SvnBackend::UndoLocks(Session& session, const FileList& locked, const ServerResult& failure)
{
    if (locked.empty()) return failure;
    const CleanupScope cleanup(*session.client);
    const ServerResult unlocked = Unlock(session, locked);
    if (unlocked.Succeeded()) return failure;
    return {ServerCode::kPartlyDone, failure.text + "These files were locked and could not be unlocked again:\n" +
                                         Lines(locked) + unlocked.text};
}

AddResult SvnBackend::AddOnce(SessionId id, const FileList& files, const std::string& changeList)
{
    AddResult result;
    Session* session = Enter(id, result);
    if (!session || !CheckChangeList(*session, changeList, result)) return result;
    std::string refusals;
    const FileList paths = Canonical(*session, files, refusals);
    RefuseFolders(paths, refusals);
    std::error_code ignored;
    for (const std::string& path : paths)
        if (!std::filesystem::exists(path, ignored)) refusals += path + " - file does not exist.\n";
    if (!refusals.empty()) return AddResult{{ServerCode::kFileStateRejected, refusals}, {}};

    // One add per file, as the API takes one path; svn:needs-lock comes with it from the client's
    // auto-props, so that new assets join the lock workflow from their first commit. A file that
    // is versioned already is left as it is. Every node scheduled here, parent folders included,
    // is noted, so that a failure can undo all of it.
    svn::Client& client = *session->client;
    svn::Pool pool(client.PoolHandle());
    FileList added;
    FileList scheduled;
    std::string unsure;
    svn::Error error;
    {
        svn::Client::NotifyScope scope(client, [&scheduled](const svn_wc_notify_t& notify) {
            if (notify.action == svn_wc_notify_add && notify.path) scheduled.push_back(notify.path);
        });
        for (const std::string& path : paths) {
            svn::Pool iteration(pool.Get());
            error = svn::Error(
                svn_client_add5(path.c_str(), svn_depth_empty, FALSE, TRUE, FALSE, TRUE, client.Context(), iteration));
            if (error.Has(SVN_ERR_ENTRY_EXISTS)) {
                error = svn::Error();
                continue;
            }
            if (error) {
                // An add can fail after it wrote the node (in its work queue): not notified, yet
                // scheduled. A working copy locked by another client is refused before any write.
                if (!error.Has(SVN_ERR_WC_LOCKED)) unsure = path;
                break;
            }
            added.push_back(path);
        }
    }
    if (error) return AddResult{UndoSchedules(*session, scheduled, Failure(*session, error), true, unsure), {}};
    const ServerResult assigned = AssignChangeList(*session, added, changeList);
    if (assigned.Failed()) return AddResult{UndoSchedules(*session, scheduled, assigned, true), {}};
    result.scheduled = std::move(added);
    return result;
}

ServerResult SvnBackend::UndoSchedules(Session& session, const FileList& scheduled, const ServerResult& failure,
                                       bool keepFiles, const std::string& unsure)
{
    FileList targets = scheduled;
    const bool alsoUnsure = !unsure.empty() && std::find(scheduled.begin(), scheduled.end(), unsure) == scheduled.end();
    if (alsoUnsure) targets.push_back(unsure);
    if (targets.empty()) return failure;
    const CleanupScope cleanup(*session.client);
    svn::Pool pool(session.client->PoolHandle());
    // Depth infinity: a folder scheduled here holds nothing versioned but what was scheduled with it.
    // Metadata only for additions: a file that replaced a deleted one keeps its new content.
    const svn::Error reverted(svn_client_revert4(svn::Client::Targets(targets, pool), svn_depth_infinity, nullptr, TRUE,
                                                 keepFiles ? TRUE : FALSE, TRUE, session.client->Context(), pool));
    if (!reverted) return failure;
    std::string text = failure.text;
    if (!scheduled.empty())
        text += "These files and folders were scheduled and could not be unscheduled again:\n" + Lines(scheduled);
    if (alsoUnsure) text += "This file may be scheduled as well (its scheduling stopped midway):\n" + unsure + "\n";
    return {ServerCode::kPartlyDone, text + Failure(session, reverted).text};
}

ServerResult SvnBackend::DeleteOnce(SessionId id, const FileList& files, const std::string& changeList)
{
    Plan plan;
    ServerResult result;
    if (!Prepare(id, files, &changeList, plan, result)) return result;
    Session* session = plan.session;
    const FileList& paths = plan.paths;
    const svn::WalkResult& walk = plan.walk;
    std::string& refusals = plan.refusals;

    FileList toDelete;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const svn::NodeInfo& node = walk.nodes[i];
        if (!IsVersioned(node))
            refusals += paths[i] + " - file(s) not in the repository.\n";
        else if (node.Added())
            refusals += paths[i] + " - is scheduled for addition; revert it instead.\n";
        else if (node.node != svn_wc_status_deleted)
            toDelete.push_back(paths[i]);
    }
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    if (toDelete.empty()) return result;

    svn::Pool pool(session->client->PoolHandle());
    // Without force: a file with local changes is refused rather than its changes lost.
    const svn::Error error(svn_client_delete4(svn::Client::Targets(toDelete, pool), FALSE, FALSE, nullptr, nullptr,
                                              nullptr, session->client->Context(), pool));
    if (error) return Failure(*session, error);
    const ServerResult assigned = AssignChangeList(*session, toDelete, changeList);
    return assigned.Failed() ? UndoSchedules(*session, toDelete, assigned, false) : assigned;
}

ServerResult SvnBackend::RevertOnce(SessionId id, const FileList& files)
{
    Plan plan;
    plan.reachesServer = true;
    ServerResult result;
    if (!Prepare(id, files, nullptr, plan, result)) return result;
    if (!plan.refusals.empty()) return {ServerCode::kFileStateRejected, plan.refusals};
    Session* session = plan.session;
    const FileList& paths = plan.paths;
    const svn::WalkResult& walk = plan.walk;
    // Without the tokens an update through a replica dropped, the master's locks would outlive a
    // revert that says it released them.
    ReleaseAbandonedLocks(*session);
    const svn::Error unlisted = LocksFromMaster(*session, paths, plan.walk.nodes);
    if (unlisted) return Failure(*session, unlisted);

    FileList toRevert;
    FileList toUnlock;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (IsOpened(walk.nodes[i])) toRevert.push_back(paths[i]);
        if (walk.nodes[i].localLock.Held()) toUnlock.push_back(paths[i]);
    }
    if (!toRevert.empty()) {
        svn::Pool pool(session->client->PoolHandle());
        const svn::Error error(svn_client_revert4(svn::Client::Targets(toRevert, pool), svn_depth_empty, nullptr, TRUE,
                                                  FALSE, TRUE, session->client->Context(), pool));
        if (error) return Failure(*session, error);
    }
    return toUnlock.empty() ? result : Unlock(*session, toUnlock);
}

ServerResult SvnBackend::MakeWritable(SessionId id, const FileList& files)
{
    const Call call(*this);
    ServerResult result;
    Session* session = Enter(id, result);
    if (!session) return result;
    std::string refusals;
    const FileList paths = Canonical(*session, files, refusals);
    RefuseFolders(paths, refusals);
    // A link Subversion versions may lead out of the working copy: its mode is not ours to change.
    const WorkingCopyFence fence(session->workingCopy);
    for (const std::string& file : paths) {
        const std::string refusal = fence.RefuseChange(file);
        if (!refusal.empty()) refusals += refusal + "\n";
    }
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    for (const std::string& file : paths) {
        std::error_code error;
        std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                     error);
        if (error) refusals += file + " - cannot be made writable: " + error.message() + "\n";
    }
    if (!refusals.empty()) return {ServerCode::kIOError, refusals};
    return result;
}

namespace {

struct CommitWatch {
    long revision = 0;       // from the commit callback: the commit landed
    bool finalizing = false; // the transaction was being committed when the call ended
};

svn_error_t* OnCommitted(const svn_commit_info_t* info, void* baton, apr_pool_t*)
{
    if (info && SVN_IS_VALID_REVNUM(info->revision)) static_cast<CommitWatch*>(baton)->revision = info->revision;
    return SVN_NO_ERROR;
}

// The oldest base revision in the tree: where a submit of new files only starts its history.
long TreeBase(const std::vector<svn::TreeNode>& nodes)
{
    long base = 0;
    for (const svn::TreeNode& node : nodes)
        if (node.info.revision >= 0 && (base == 0 || node.info.revision < base)) base = node.info.revision;
    return base;
}

std::string ChangeListName(const std::string& changeList)
{
    return changeList.empty() ? std::string("default") : changeList;
}

} // namespace

ChangeListResult SvnBackend::SubmitOnce(SessionId id, const std::string& changeList)
{
    ChangeListResult result;
    Session* session = Enter(id, result);
    if (!session || !CheckChangeList(*session, changeList, result)) return result;
    SettleLostSubmit(*session);
    const auto answer = [&changeList](std::int32_t code, const std::string& text, long revision = 0) {
        ChangeListResult failed;
        failed.code = code;
        failed.text = text;
        failed.changeList = changeList;
        failed.revision = revision;
        return failed;
    };
    const std::string what = "changelist " + ChangeListName(changeList);
    svn::SubmitRecord unsettled;
    std::string error;
    // A second commit now could be taken while the first one lands after all.
    if (svn::SubmitRecord::Load(session->workingCopy, unsettled, error))
        return answer(ServerCode::kFileStateRejected,
                      "Nothing was submitted from " + what +
                          ": the repository has not yet shown whether the earlier "
                          "submit of changelist " +
                          ChangeListName(unsettled.changeList) +
                          ", whose answer was lost, was taken; try again in a moment.\n");
    std::map<long, std::string> pending;
    if (!session->changeLists->Load(pending, error)) return answer(ServerCode::kIOError, error + "\n");
    const long number = svn::ChangeListFile::NumberOf(changeList);

    std::vector<svn::TreeNode> nodes;
    svn::Error walkError = svn::WalkTree(*session->client, session->workingCopy, nodes);
    if (walkError) {
        const ServerResult failure = Failure(*session, walkError);
        return answer(failure.code, failure.text);
    }
    FileList targets;
    std::vector<svn::NodeInfo> targetNodes;
    std::vector<const svn::TreeNode*> newFolders;
    for (const svn::TreeNode& node : nodes) {
        if (node.folder) {
            if (node.info.node == svn_wc_status_added) newFolders.push_back(&node);
            continue;
        }
        if (node.info.changeList != changeList || !IsOpened(node.info)) continue;
        targets.push_back(node.path);
        targetNodes.push_back(node.info);
    }
    // A new file's new folders are committed with it.
    FileList folders;
    for (const svn::TreeNode* folder : newFolders)
        for (const std::string& target : targets)
            if (target.compare(0, folder->path.size() + 1, folder->path + "/") == 0) {
                folders.push_back(folder->path);
                break;
            }
    if (targets.empty())
        return answer(ServerCode::kNothingToSubmit,
                      "No files to submit from changelist " + ChangeListName(changeList) + ".\n");

    // Behind a replica an update may have dropped this copy's tokens; the master's locks give them
    // back (no status against the replica needed). Its failure is the commit's to tell.
    (void)LocksFromMaster(*session, targets, targetNodes);

    svn::Client& client = *session->client;
    client.SetLogMessage(number ? pending[number] : std::string());
    svn::Pool pool(client.PoolHandle());
    FileList commitTargets = folders;
    commitTargets.insert(commitTargets.end(), targets.begin(), targets.end());
    // Recorded before the commit starts, so that a lost answer or a crash can be settled later.
    const svn::SubmitRecord record = RecordSubmit(*session, changeList, commitTargets, targetNodes, TreeBase(nodes));
    if (!record.Save(session->workingCopy, error))
        return answer(ServerCode::kIOError, "Nothing was submitted from " + what + ": " + error + "\n");
    apr_hash_t* revisionProperties = apr_hash_make(pool);
    apr_hash_set(revisionProperties, svn::SubmitRecord::kRevisionProperty, APR_HASH_KEY_STRING,
                 svn_string_create(record.id.c_str(), pool));
    CommitWatch watch;
    svn::Error commitError;
    {
        svn::Client::NotifyScope scope(client, [&watch](const svn_wc_notify_t& notify) {
            if (notify.action == svn_wc_notify_commit_finalizing) watch.finalizing = true;
        });
        commitError = svn::Error(svn_client_commit6(svn::Client::Targets(commitTargets, pool), svn_depth_empty, FALSE,
                                                    FALSE, TRUE, FALSE, FALSE, nullptr, revisionProperties,
                                                    &OnCommitted, &watch, client.Context(), pool));
    }
    if (!commitError || watch.revision > 0) svn::SubmitRecord::Remove(session->workingCopy);
    if (commitError) {
        const ServerResult failure = Failure(*session, commitError);
        if (watch.revision > 0)
            return answer(ServerCode::kPartlyDone,
                          "Submitted " + what + " as revision " + std::to_string(watch.revision) +
                              ", but the working copy could not record it: " + failure.text,
                          watch.revision);
        // Only a connection that ended leaves the outcome open; a server's refusal is an answer.
        // Over HTTP the socket's own error comes through (a server killed while it ran the
        // commit's hooks resets the connection).
        const bool connectionLost =
            commitError.Has(SVN_ERR_RA_SVN_CONNECTION_CLOSED) || commitError.Has(SVN_ERR_RA_SVN_IO_ERROR) ||
            commitError.Has(SVN_ERR_CANCELLED) || commitError.Has(SVN_ERR_RA_DAV_CONN_TIMEOUT) ||
            commitError.Has(SVN_ERR_RA_DAV_REQUEST_FAILED) || commitError.Has(APR_ECONNRESET) ||
            commitError.Has(APR_ECONNABORTED) || commitError.Has(APR_EPIPE) || commitError.Has(APR_ECONNREFUSED) ||
            commitError.Has(APR_ETIMEDOUT) || commitError.Has(APR_EOF) || DeadlinePassed() ||
            failure.code == ServerCode::kCancelled;
        if (watch.finalizing && connectionLost)
            return answer(ServerCode::kOutcomeUnknown,
                          "The connection to " + session->server + " ended while " + what +
                              " was being committed: whether the repository took it is not known; the next "
                              "status tells. " +
                              failure.text);
        svn::SubmitRecord::Remove(session->workingCopy);
        return answer(failure.code, "Nothing was submitted from " + what + ": " + failure.text);
    }
    result.changeList = changeList;
    result.revision = watch.revision;
    const std::string done = watch.revision > 0 ? "Submitted " + what + " as revision " + std::to_string(watch.revision)
                                                : "Nothing had changed in " + what + ", nothing was committed";

    // Files that had nothing to commit keep their lock and changelist through a commit. The
    // repository has the last word on the others: a commit drops this copy's lock tokens even when
    // the server could not release the locks, which then stay the user's with no token to match.
    FileList stillLocked;
    FileList orphaned;
    FileList stillListed;
    const bool landed = watch.revision > 0;
    svn::WalkResult after =
        landed ? RemoteWalk(*session, targets) : svn::WalkStatus(client, session->workingCopy, targets, false);
    if (after.error) {
        const ServerResult failure = Failure(*session, after.error);
        return answer(landed ? ServerCode::kPartlyDone : failure.code,
                      done + ", and whether its locks were released is not known: " + failure.text, watch.revision);
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const svn::NodeInfo& node = after.nodes[i];
        if (node.localLock.Held())
            stillLocked.push_back(targets[i]);
        else if (landed && node.repositoryLock.Held() && node.repositoryLock.owner == client.User())
            orphaned.push_back(targets[i]);
        if (!node.changeList.empty()) stillListed.push_back(targets[i]);
    }
    ServerResult unlocked = stillLocked.empty() ? ServerResult{} : Unlock(*session, stillLocked);
    if (unlocked.Succeeded() && !orphaned.empty()) unlocked = Unlock(*session, orphaned, true);
    if (unlocked.Failed()) {
        FileList locked = stillLocked;
        locked.insert(locked.end(), orphaned.begin(), orphaned.end());
        return answer(landed ? ServerCode::kPartlyDone : unlocked.code,
                      done + ", and these files are still locked:\n" + Lines(locked) + unlocked.text, watch.revision);
    }
    if (!stillListed.empty()) {
        const svn::Error unlisted(svn_client_remove_from_changelists(svn::Client::Targets(stillListed, pool),
                                                                     svn_depth_empty, nullptr, client.Context(), pool));
        if (unlisted)
            return answer(ServerCode::kPartlyDone,
                          done + " and its locks are released, but these files are still in the changelist:\n" +
                              Lines(stillListed) + Failure(*session, unlisted).text,
                          watch.revision);
    }
    if (number && !session->changeLists->Remove(number, error))
        return answer(ServerCode::kPartlyDone,
                      done + " and its locks are released, but " + what + " is still listed as pending: " + error +
                          "\n",
                      watch.revision);
    return result;
}

std::string SvnBackend::DescribeRefusals(Session& session, const FileList& refused,
                                         const std::vector<std::string>& reasons)
{
    // A lock of this user that this copy does not hold is not "another user's".
    svn::WalkResult owners = RemoteWalk(session, refused);
    std::string lines;
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const svn::NodeInfo* node = owners.error ? nullptr : &owners.nodes[i];
        if (node && node->repositoryLock.Held() && node->repositoryLock.owner == session.client->User() &&
            node->repositoryLock.token != node->localLock.token)
            lines += refused[i] + " - is locked by you (" + session.client->User() +
                     ") in another working copy; release the lock there, or break it.\n";
        else
            lines += refused[i] + " - " + reasons[i] + "\n";
    }
    return lines;
}

template <typename Result> Result SvnBackend::Told(SessionId id, Result result)
{
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end() || found->second->settled.empty()) return result;
    result.settled = std::move(found->second->settled);
    found->second->settled.clear();
    return result;
}

template <typename Result> Result SvnBackend::AfterCleanup(SessionId id, const std::function<Result()>& operation)
{
    const Call call(*this);
    Result result = operation();
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end() || !found->second->staleWorkingCopyLock) return Told(id, std::move(result));
    // A client that died while it worked left the working copy locked; clean up and go on.
    Session& session = *found->second;
    session.staleWorkingCopyLock = false;
    svn::Pool pool(session.client->PoolHandle());
    const svn::Error cleaned(svn_client_cleanup2(session.workingCopy.c_str(), TRUE, FALSE, FALSE, FALSE, FALSE,
                                                 session.client->Context(), pool));
    return Told(id, cleaned ? std::move(result) : operation());
}

ServerResult SvnBackend::Edit(SessionId id, const FileList& files, const std::string& changeList)
{
    return AfterCleanup<ServerResult>(id, [&] { return EditOnce(id, files, changeList); });
}

AddResult SvnBackend::Add(SessionId id, const FileList& files, const std::string& changeList)
{
    return AfterCleanup<AddResult>(id, [&] { return AddOnce(id, files, changeList); });
}

ServerResult SvnBackend::Delete(SessionId id, const FileList& files, const std::string& changeList)
{
    return AfterCleanup<ServerResult>(id, [&] { return DeleteOnce(id, files, changeList); });
}

ServerResult SvnBackend::Revert(SessionId id, const FileList& files)
{
    return AfterCleanup<ServerResult>(id, [&] { return RevertOnce(id, files); });
}

ChangeListResult SvnBackend::Submit(SessionId id, const std::string& changeList)
{
    return AfterCleanup<ChangeListResult>(id, [&] { return SubmitOnce(id, changeList); });
}

UpdateResult SvnBackend::Update(SessionId id, const FileList& files)
{
    return AfterCleanup<UpdateResult>(id, [&] { return UpdateOnce(id, files); });
}

ServerResult SvnBackend::AssignChangeList(Session& session, const FileList& files, const std::string& changeList)
{
    if (changeList.empty() || files.empty()) return {};
    svn::Pool pool(session.client->PoolHandle());
    const svn::Error error(svn_client_add_to_changelist(svn::Client::Targets(files, pool), changeList.c_str(),
                                                        svn_depth_empty, nullptr, session.client->Context(), pool));
    return error ? Failure(session, error) : ServerResult{};
}

ServerResult SvnBackend::Unlock(Session& session, const FileList& files, bool ownLockWithoutToken)
{
    std::string refusals;
    svn::Client::NotifyScope scope(*session.client, [&](const svn_wc_notify_t& notify) {
        if (notify.action == svn_wc_notify_failed_unlock)
            refusals += std::string(notify.path) + " - " + svn::Error::TextOf(notify.err) + "\n";
    });
    svn::Pool pool(session.client->PoolHandle());
    const svn::Error error(svn_client_unlock(svn::Client::Targets(files, pool), ownLockWithoutToken ? TRUE : FALSE,
                                             session.client->Context(), pool));
    if (error) return Failure(session, error);
    if (!refusals.empty()) return {ServerCode::kFileStateRejected, refusals};
    return {};
}

} // namespace standin
