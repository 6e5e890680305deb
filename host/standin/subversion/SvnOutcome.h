// How Subversion's errors read to the user: the one place where a failed call becomes a result
// code (ServerCode) and its text. The steps that undo a failed change are beside it (SvnUndo.h).
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <chrono>
#include <string>

#include <sys/types.h>

namespace standin::svn {

class Call;
class Client;
class Error;
struct Session;

// A duration as the user reads it: "2.5 s".
std::string Seconds(std::chrono::milliseconds duration);
// One file a line.
std::string Lines(const FileList& files);
// lines (each ending in "\n") as many whole ones as a message can hold, then how many were left out.
std::string CappedLines(const std::string& lines);
// Another process at work in the session's working copy, or 0: the working copy's data base is
// open in every Subversion client that works in it.
pid_t WorkingCopyUser(const Session& session);

// A login that could not reach its server: cancelled, unanswered, an untrusted certificate, a
// refused password, or an unreachable server.
LoginResult LoginFailure(const Call& call, const Error& error, const Client& client, const std::string& server,
                         const std::string& user);
// Whether a request that failed so may still have been carried out by the server: the connection
// ended on the way, or the call was cancelled or ran past its deadline. A server that refused the
// connection never had the request.
bool AnswerMayBeLost(const Call& call, const Error& error);
// Turns a failed call into a result; a refused password ends the session (-34), and a working
// copy left locked by a client that died is marked for cleanup (Session::staleWorkingCopyLock).
ServerResult Failure(Session& session, const Call& call, const Error& error);

// Whether the working copy's disk (or the user's quota on it) ran out of room.
bool DiskFull(const Error& error);
// Whether the working copy is on a read-only disk, or its data base is one the user may not write.
// Subversion calls such a working copy locked, but no clean-up can help.
bool Unwritable(const Error& error);

// What a failed commit means for the submit.
enum class CommitOutcome {
    kLanded,  // the revision was made; the working copy could not record it
    kUnknown, // the connection ended, or the server failed, while the transaction was being committed
    kRefused, // nothing was committed
};
// How a failed commit ended: the revision it made (0: none), whether the transaction was being
// committed when the call ended, and whether the repository's log was read since and holds no
// revision of it.
struct CommitEnd {
    long revision = 0;
    bool finalizing = false;
    bool absentFromLog = false;
};
// A failed commit of what ("changelist 4").
ServerResult FailedCommit(Session& session, const Call& call, const Error& error, const CommitEnd& end,
                          const std::string& what, CommitOutcome& outcome);

} // namespace standin::svn
