// The tidy-up after a commit: files that had nothing to commit keep their lock and changelist
// through a commit; the repository has the last word on the others.
#include "subversion/SvnSubmit.h"

#include "subversion/SvnLock.h"
#include "subversion/SvnLockListing.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"

namespace standin::svn {

namespace {

// What a commit left on its files.
struct Leftovers {
    FileList stillLocked;                 // this copy still holds the lock
    std::vector<std::string> stillTokens; // their tokens
    // A commit drops this copy's lock tokens even when the server could not release the locks,
    // which then stay the user's with no token to match.
    FileList orphaned;
    FileList stillListed; // still in the changelist
};

// The leftovers of a commit of files; false with the walk's failure.
bool FindLeftovers(Session& session, Call& call, const FileList& files, bool landed, Leftovers& left,
                   ServerResult& failure)
{
    // The working copy tells which tokens it kept; one lock listing which locks the server kept.
    WalkResult after = WalkStatus(*session.client, session.workingCopy, files, false);
    if (!after.error && landed) {
        LockListing locks = ListLocks(*session.client, session.LockUrl(), session.workingCopy);
        if (locks.error)
            after.error = std::move(locks.error);
        else
            ApplyLocks(locks, files, after.nodes);
    }
    if (after.error) {
        failure = Failure(session, call, after.error);
        return false;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NodeInfo& node = after.nodes[i];
        if (node.localLock.Held()) {
            left.stillLocked.push_back(files[i]);
            left.stillTokens.push_back(node.localLock.token);
        } else if (landed && node.repositoryLock.Held() && node.repositoryLock.owner == session.client->User())
            left.orphaned.push_back(files[i]);
        if (!node.changeList.empty()) left.stillListed.push_back(files[i]);
    }
    return true;
}

// Releases the leftover locks: those this copy holds, then this user's that lost their token.
Release ReleaseLeftovers(Session& session, Call& call, const Leftovers& left)
{
    Release unlocked = left.stillLocked.empty() ? Release{} : Unlock(session, call, left.stillLocked, left.stillTokens);
    if (unlocked.outcome.Succeeded() && !left.orphaned.empty()) {
        Release orphans = UnlockWithoutTokens(session, call, left.orphaned);
        unlocked.outcome = orphans.outcome;
        unlocked.released.insert(unlocked.released.end(), orphans.released.begin(), orphans.released.end());
    }
    return unlocked;
}

} // namespace

ServerResult TidyUp(Session& session, Call& call, const FileList& files, long revision, const std::string& what,
                    long number)
{
    const bool landed = revision > 0;
    const std::string done = landed ? "Submitted " + what + " as revision " + std::to_string(revision)
                                    : "Nothing had changed in " + what + ", nothing was committed";
    Leftovers left;
    ServerResult failure;
    if (!FindLeftovers(session, call, files, landed, left, failure))
        return {landed ? ServerCode::kPartlyDone : failure.code,
                done + ", and whether its locks were released is not known: " + failure.text};
    const Release unlocked = ReleaseLeftovers(session, call, left);
    if (unlocked.outcome.Failed()) {
        FileList locked = left.stillLocked;
        locked.insert(locked.end(), left.orphaned.begin(), left.orphaned.end());
        return {landed ? ServerCode::kPartlyDone : unlocked.outcome.code,
                done + ", and these files are still locked:\n" + Lines(unlocked.Kept(locked)) + unlocked.outcome.text};
    }
    if (!left.stillListed.empty()) {
        Pool pool(session.client->PoolHandle());
        const Error unlisted(svn_client_remove_from_changelists(
            Client::Targets(left.stillListed, pool), svn_depth_empty, nullptr, session.client->Context(), pool));
        if (unlisted)
            return {ServerCode::kPartlyDone, done +
                                                 " and its locks are released, but these files are still in the "
                                                 "changelist:\n" +
                                                 Lines(left.stillListed) + Failure(session, call, unlisted).text};
    }
    std::string unlisted;
    if (number && !session.changeLists->Remove(number, unlisted))
        return {ServerCode::kPartlyDone,
                done + " and its locks are released, but " + what + " is still listed as pending: " + unlisted + "\n"};
    return {};
}

} // namespace standin::svn
