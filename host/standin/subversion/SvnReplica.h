// Behind a replica (a remote office's write-through proxy): where the locks are kept, and waiting
// for a replica to catch up with its master.
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/SvnStatusWalk.h"

#include <functional>
#include <string>
#include <vector>

namespace standin::svn {

class Call;
struct Session;

// The master that keeps the locks for a session through a replica (configured: the one named, ""
// for the one the replica records), and the working copy's root there: both left "" when the
// server keeps its own locks; false with the failure when the master cannot be reached.
bool FindLockServer(Session& session, Call& call, const std::string& configured, LoginResult& failure);
// Releases the locks of abandoned lock requests that the server took after all (this user's,
// with no token here); quiet, as the caller's own work tells whether the server answers.
void ReleaseAbandonedLocks(Session& session);
// A status walk of files with the repository's state: locks from the lock server, and a replica
// behind its master waited for within SvnBackend::kReplicaPatience.
WalkResult RemoteWalk(Session& session, const Call& call, const FileList& files);
// Behind a replica: the master's locks into nodes (walked files, in order), and this copy's
// tokens that an update through the replica dropped given back. Nothing to do, and no error, for
// a server that keeps its own locks.
Error LocksFromMaster(Session& session, const FileList& files, std::vector<NodeInfo>& nodes);
// A lock of this user taken from this working copy whose token the copy lacks (an update through a
// replica dropped it, or the answer to the check-out was lost) gets its token back, unless an
// abandoned request is watched for it: that one is released instead. True when it was taken up.
bool AdoptOwnLock(Session& session, const std::string& file, NodeInfo& node);
// Runs attempt (which answers its error) again while it fails because a replica has not received
// a revision yet, within SvnBackend::kReplicaPatience and the call's deadline: false when the
// patience ran out with the replica still behind.
bool RetryWhileReplicaBehind(const Session& session, const Call& call, const std::function<const Error&()>& attempt);

} // namespace standin::svn
