// Check-out in the lock workflow: a file is checked out when this working copy holds its lock.
#include "subversion/SvnCommands.h"

#include "subversion/SvnChange.h"
#include "subversion/SvnChangeLists.h"
#include "subversion/SvnLock.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnUndo.h"

#include <unordered_map>

namespace standin::svn {

namespace {

// The files to lock: those this copy holds no lock of, and those whose lock was stolen or broken
// since; a refusal when any file cannot be checked out.
ServerResult FilesToLock(Session& session, Call& call, Plan& plan, FileList& toLock)
{
    FileList heldHere;
    for (std::size_t i = 0; i < plan.paths.size(); ++i) {
        const NodeInfo& node = plan.walk.nodes[i];
        if (RefuseNew(plan.paths[i], node, " - is scheduled for addition.\n", plan.refusals)) continue;
        if (node.node == svn_wc_status_deleted)
            plan.refusals += plan.paths[i] + " - is scheduled for deletion.\n";
        else if (node.node == svn_wc_status_missing)
            plan.refusals += plan.paths[i] + " - is missing from the working copy; get it again first.\n";
        else
            (node.localLock.Held() ? heldHere : toLock).push_back(plan.paths[i]);
    }
    // A lock this copy holds may have been stolen or broken since; only the repository knows.
    if (plan.refusals.empty() && !heldHere.empty()) {
        WalkResult held = RemoteWalk(session, call, heldHere);
        if (held.error) return Failure(session, call, held.error);
        for (std::size_t i = 0; i < heldHere.size(); ++i)
            if (held.nodes[i].repositoryLock.token != held.nodes[i].localLock.token) toLock.push_back(heldHere[i]);
    }
    if (!plan.refusals.empty()) return {ServerCode::kFileStateRejected, plan.refusals};
    return {};
}

// A refused file whose lock the server holds for this user with this copy's comment, but whose
// token never reached the copy, was locked by an earlier request of this copy whose answer was
// lost: the lock is this copy's, and its token is kept rather than the file told as locked elsewhere.
// owners: the repository's status of the refused files, kept in step with them.
void AdoptLostLocks(Session& session, LockRequest& request, WalkResult& owners)
{
    if (owners.error) return;
    FileList refused;
    std::vector<std::string> reasons;
    std::vector<NodeInfo> nodes;
    for (std::size_t i = 0; i < request.refused.size(); ++i) {
        const std::string& file = request.refused[i];
        NodeInfo& node = owners.nodes[i];
        if (AdoptOwnLock(session, file, node)) {
            request.locked.push_back(file);
            request.tokens.push_back(node.localLock.token);
        } else {
            refused.push_back(file);
            reasons.push_back(request.reasons[i]);
            nodes.push_back(node);
        }
    }
    request.refused = std::move(refused);
    request.reasons = std::move(reasons);
    owners.nodes = std::move(nodes);
}

} // namespace

ServerResult Edit(Session& session, Call& call, const FileList& files, const std::string& changeList)
{
    Plan plan;
    ServerResult result;
    if (!Open(session, call, files, Opening{&changeList, true, true}, plan, result)) return result;
    // A lock of this copy whose token an update through a replica dropped is still this copy's:
    // without its token the master would refuse it as someone else's.
    const Error unlisted = LocksFromMaster(session, plan.paths, plan.walk.nodes);
    if (unlisted) return Failure(session, call, unlisted);
    FileList toLock;
    const ServerResult refused = FilesToLock(session, call, plan, toLock);
    if (refused.Failed() || toLock.empty()) return refused;

    // Subversion locks what it can and reports each refusal as a notification; all or nothing
    // here, so what this call did lock is released again when anything was refused.
    std::unordered_map<std::string, long> bases;
    for (std::size_t i = 0; i < plan.paths.size(); ++i)
        bases.emplace(plan.paths[i], plan.walk.nodes[i].revision);
    std::vector<long> revisions;
    for (const std::string& path : toLock)
        revisions.push_back(bases[path]);
    LockRequest request = Lock(session, call, toLock, revisions);
    if (request.failure.Failed()) return UndoLocks(session, call, request, request.failure);
    WalkResult owners;
    if (!request.refused.empty()) {
        owners = RemoteWalk(session, call, request.refused);
        AdoptLostLocks(session, request, owners);
    }
    if (!request.refused.empty() || request.locked.size() != toLock.size()) {
        std::string refusals = CappedLines(DescribeRefusals(session, request.refused, request.reasons, owners));
        if (refusals.empty()) refusals = "Not every file could be locked.\n";
        return UndoLocks(session, call, request, {ServerCode::kFileStateRejected, refusals});
    }
    const ServerResult assigned = AssignChangeList(session, call, request.locked, changeList);
    return assigned.Failed() ? UndoLocks(session, call, request, assigned) : assigned;
}

} // namespace standin::svn
