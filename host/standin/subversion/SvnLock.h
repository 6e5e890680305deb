// Locking and unlocking files in the repository: the lock workflow's check-out and release.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <string>
#include <vector>

namespace standin::svn {

class Call;
struct Session;
struct WalkResult;

// What one lock request did. Subversion locks what it can and reports each refusal on its own.
struct LockRequest {
    FileList locked;
    std::vector<std::string> tokens; // per locked file, as the working copy now holds it
    FileList refused;
    std::vector<std::string> reasons; // per refused file
    // Granted by the server, but the working copy could not keep the token (another program held
    // its folder): the server's lock is this user's with no token here to use it.
    FileList unkept;
    std::vector<std::string> unkeptTokens;
    ServerResult failure; // the request as a whole failed
};
// Locks files, each at its base revision (revisions, in the same order), with the session's lock
// comment, over the session's kept connection to its lock server. A request whose answer never
// came (deadline, Cancel, a connection that ended) is watched for the locks it may still take
// (Session::abandonedLocks).
LockRequest Lock(Session& session, Call& call, const FileList& files, const std::vector<long>& revisions);
// What a release of locks did: the server may have released some before a failure ended the
// request, and those are not still locked.
struct Release {
    ServerResult outcome;
    FileList released; // including locks the server no longer had (broken, or broken and taken)

    // Those of files that were not released.
    FileList Kept(const FileList& files) const;
};
// Releases the locks this copy holds on files, whose tokens it passes (in the same order; an
// empty token: the copy holds none, a refusal), over the kept connection to the lock server once
// it answered in this call, and drops the tokens. A file gone from the disk keeps its lock.
Release Unlock(Session& session, const Call& call, const FileList& files, const std::vector<std::string>& tokens);
// Releases the locks of a request whose tokens this copy never kept (LockRequest::unkept); the
// working copy is not touched.
Release ReleaseUnkept(Session& session, const Call& call, const FileList& files,
                      const std::vector<std::string>& tokens);
// Releases locks of this user that this copy holds no token for: Subversion's client asks the
// server for the tokens first.
Release UnlockWithoutTokens(Session& session, const Call& call, const FileList& files);
// One line per refused file: the server's reason, or that the lock is this user's elsewhere, as
// the repository's status of the refused files (owners, in the same order) tells.
std::string DescribeRefusals(const Session& session, const FileList& refused, const std::vector<std::string>& reasons,
                             const WalkResult& owners);

} // namespace standin::svn
