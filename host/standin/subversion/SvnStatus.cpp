// Status and users: what the working copy and the repository say of each file.
#include "subversion/SvnCommands.h"

#include "subversion/SvnBackend.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnSettle.h"

#include <algorithm>
#include <utility>

namespace standin::svn {

namespace {

namespace fs = qor4::FileStatus;

// The walk of files (canonical, inside the working copy). New files have no repository state to
// ask for: a few of them (a new asset's) are answered by the working copy alone. A path someone
// else added meanwhile shows up at the commit.
WalkResult Walk(Session& session, const Call& call, const FileList& files, bool remote)
{
    if (remote && files.size() <= SvnBackend::kLocalFirstLimit) {
        WalkResult walk = WalkStatus(*session.client, session.workingCopy, files, false);
        const bool answered =
            !walk.error && std::all_of(walk.nodes.begin(), walk.nodes.end(), [](const NodeInfo& node) {
                return !node.reported || !node.versioned || node.Added();
            });
        if (answered) return walk;
    }
    return remote ? RemoteWalk(session, call, files) : WalkStatus(*session.client, session.workingCopy, files, false);
}

template <typename Result> void Fail(Session& session, const Call& call, const Error& error, Result& result)
{
    const ServerResult failure = Failure(session, call, error);
    result.code = failure.code;
    result.text = failure.text;
}

} // namespace

qor4::StatusWord WordOf(const NodeInfo& node, bool remote)
{
    // Subversion reports unversioned and ignored files, and a tree conflict's unversioned victim,
    // as not versioned.
    if (!node.reported || !node.versioned) return fs::kNotInDepot;
    qor4::StatusWord word = 0;
    if (node.Added()) word |= fs::kMarkedForAdd;
    if (node.node == svn_wc_status_deleted) word |= fs::kMarkedForDelete;
    if (node.node == svn_wc_status_obstructed) word |= fs::kIOError;
    // Remotely, the repository's lock decides: a local token for a stolen or broken lock is stale.
    const bool mine = node.localLock.Held() && (!remote || node.repositoryLock.token == node.localLock.token);
    if (mine)
        word |= fs::kCheckedOut | fs::kLockedByMe;
    else if (remote && node.repositoryLock.Held())
        word |= fs::kCheckedOutByOther | fs::kLockedByOther;
    if (remote && node.repositoryNode != svn_wc_status_none && node.repositoryNode != svn_wc_status_normal)
        word |= fs::kNotAtHead;
    return word;
}

StatusResult Status(Session& session, Call& call, const FileList& files, bool remote)
{
    StatusResult result;
    if (remote) {
        SettleLostSubmit(session, call);
        result.settled = std::exchange(session.settled, {});
    }
    // The host's paths are nearly always in Subversion's spelling and inside the working copy
    // already: then the request is walked as it is, with no copy of 100,000 names.
    const bool asGiven =
        std::all_of(files.begin(), files.end(), [&](const std::string& file) { return session.HoldsAsGiven(file); });
    std::string outside;
    std::vector<bool> kept;
    FileList canonical;
    if (!asGiven) canonical = session.Canonical(files, outside, &kept);
    WalkResult walk = Walk(session, call, asGiven ? files : canonical, remote);
    if (walk.error) {
        Fail(session, call, walk.error, result);
        return result;
    }
    // Files outside the working copy are unknown to the server; the rest come in request order.
    result.words.reserve(files.size());
    result.changeLists.reserve(files.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (asGiven || kept[i]) {
            result.words.push_back(WordOf(walk.nodes[next], remote));
            result.changeLists.push_back(std::move(walk.nodes[next].changeList));
            ++next;
        } else {
            result.words.push_back(fs::kNotInDepot);
            result.changeLists.emplace_back();
        }
    }
    return result;
}

UsersResult Users(Session& session, Call& call, const FileList& files)
{
    UsersResult result;
    SettleLostSubmit(session, call);
    result.settled = std::exchange(session.settled, {});
    std::string outside;
    const FileList inside = session.Canonical(files, outside);
    WalkResult walk = RemoteWalk(session, call, inside);
    if (walk.error) {
        Fail(session, call, walk.error, result);
        return result;
    }
    // In the lock workflow a file is held by its lock's owner.
    for (const NodeInfo& node : walk.nodes) {
        if (!node.repositoryLock.Held() || node.repositoryLock.token == node.localLock.token) continue;
        const bool mine = node.repositoryLock.owner == session.client->User();
        result.users.push_back(node.repositoryLock.owner + (mine ? " (in another working copy)" : ""));
    }
    return result;
}

} // namespace standin::svn
