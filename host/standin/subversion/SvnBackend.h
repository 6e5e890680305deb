// SvnBackend: the revision-control backend over a Subversion working copy and its repository,
// through libsvn_client.
//
// The host's model maps onto Subversion's lock workflow: a check-out locks the files (a file with
// svn:needs-lock becomes writable), another user's lock is "checked out by other", a submit commits
// a changelist and releases its locks. Status words (qor4::FileStatus):
//   my lock in this working copy          kCheckedOut | kLockedByMe
//   a lock this working copy does not hold kCheckedOutByOther | kLockedByOther
//   scheduled for addition / deletion     kMarkedForAdd / kMarkedForDelete
//   newer in the repository               kNotAtHead
//   unversioned                           kNotInDepot
//   obstructed (cannot be read as a file) kIOError
// Every operation ends within SetDeadline (30 s by default): past it, the operation's connections
// to the server are broken off, so that even a server that accepted the connection and never
// answers cannot hold it. A server whose certificate is not trusted is told as that, with the
// certificate, never as a refused password. Sessions last SetSessionLifetime (12 hours by default); after it, and as
// soon as the server rejects the password, every operation answers -34 until a new session is opened. The password is
// kept in memory only and wiped when its session ends (closed, replaced, expired, refused), with every pool of
// Subversion's that held a copy.
//
// The comment of a lock names the working copy by an id kept in its administrative area, never by
// its local path. A file whose name is not UTF-8 (which Subversion cannot convert) is left out of
// every walk, named in the host log, and reads as not in revision control.
//
// Behind a replica (a remote office's write-through proxy) data comes from the replica and locks
// from its master: the lock server is SetLockServer's URL, or the master the replica records as the
// source of its revisions. A replica that has not caught up with its master yet is waited for
// briefly, then told as behind, never as a missing file or a broken lock.
#pragma once

#include "RevisionBackend.h"
#include "ThreadAffinity.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct svn_ra_session_t;

namespace standin {

namespace svn {
class Client;
class DeadlineWatch;
class Error;
class Operation;
struct NodeInfo;
struct WalkResult;
struct SubmitRecord;
} // namespace svn

class HOST_API SvnBackend final : public RevisionBackend {
public:
    static constexpr std::chrono::seconds kDefaultSessionLifetime{12 * 60 * 60};
    static constexpr std::chrono::milliseconds kDefaultDeadline{30 * 1000};
    // Status requests of at most this many files look at the working copy first.
    static constexpr std::size_t kLocalFirstLimit = 32;
    // How long a call waits for a replica behind its master to catch up, within its deadline.
    static constexpr std::chrono::milliseconds kReplicaPatience{5 * 1000};
    // How often a replica behind its master is asked again within that time.
    static constexpr std::chrono::milliseconds kReplicaRetryInterval{200};
    // How long a lock request abandoned without its answer may still land on the server (a
    // replica's proxy or a thawed server may deliver it late).
    static constexpr std::chrono::minutes kAbandonedLockWatch{10};

    SvnBackend();
    ~SvnBackend() override;
    SvnBackend(const SvnBackend&) = delete;
    SvnBackend& operator=(const SvnBackend&) = delete;

    // For sessions opened from now on.
    void SetSessionLifetime(std::chrono::milliseconds lifetime) { m_lifetime = lifetime; }
    // How long one operation may wait for the server before it is cancelled.
    void SetDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    // Subversion's configuration folder for sessions opened from now on; "" (the default) reads the
    // user's own, as Subversion's clients do. It is read, never written.
    void SetConfigurationFolder(const std::string& folder) { m_configFolder = folder; }
    // The URL of the server that keeps the locks (a replica's master), naming the same repository
    // root as the replica; "" (the default) takes the master a replica records, and the server
    // itself otherwise. For sessions opened from now on.
    void SetLockServer(const std::string& url) { m_lockServer = url; }

    // Progress is the business of the thread that runs the backend (WorkerBackend).
    void SetTimeOutDelegate(qor4::ITimeOutDelegate*) override {}
    // Thread safe: breaks the running operation's connections to its server.
    void Interrupt() override;
    bool Answers(const std::string& server, std::chrono::milliseconds within) override;

    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override;
    bool IsSessionOpen(SessionId session) override;
    ServerResult Edit(SessionId session, const FileList& files, const std::string& changeList) override;
    AddResult Add(SessionId session, const FileList& files, const std::string& changeList) override;
    ServerResult Delete(SessionId session, const FileList& files, const std::string& changeList) override;
    ServerResult Revert(SessionId session, const FileList& files) override;
    ServerResult MakeWritable(SessionId session, const FileList& files) override;
    StatusResult Status(SessionId session, const FileList& files, StatusScope scope) override;
    UsersResult Users(SessionId session, const FileList& files, bool includeLocks) override;
    ChangeListResult CreateChangeList(SessionId session, const std::string& description) override;
    ChangeListsResult PendingChangeLists(SessionId session) override;
    DescriptionResult ChangeListDescription(SessionId session, const std::string& changeList) override;
    bool IsChangeListValid(SessionId session, const std::string& changeList) override;
    ChangeListResult Submit(SessionId session, const std::string& changeList) override;
    UpdateResult Update(SessionId session, const FileList& files) override;

    // Needs no server: "" when workspace (an absolute path) is a working copy of the repository at
    // server, else the text that says what it is (naming the path and the URL it holds).
    static std::string WorkspaceProblem(const std::string& workspace, const std::string& server);

    // The status word of one walked file, as the table above says.
    static qor4::StatusWord WordOf(const svn::NodeInfo& node, bool remote);

private:
    struct Session;
    // A working copy found for a login: its root and the server's canonical URL, or the problem.
    struct Workspace {
        std::string root;
        std::string server;
        std::string url; // the root's URL
        std::string problem;
    };
    static Workspace FindWorkspace(svn::Client& client, const std::string& path, const std::string& serverUrl);
    // What a working-copy change starts from: the session, the files inside the working copy, their
    // local state, and the refusals of files outside it.
    struct Plan;
    // One public call: its operation (deadline, connections) is the running one while it lives.
    class Call;
    // Arms the running call's deadline, from now, against server (and the lock server, when another).
    void Watch(const std::string& server, const std::string& lockServer = std::string());
    // The master that keeps the locks for a session through a replica, and the working copy's root
    // there: both "" when the server keeps its own locks; false with the failure when the master
    // cannot be reached.
    bool FindLockServer(Session& session, svn_ra_session_t* connection, const std::string& rootUrl,
                        LoginResult& failure);
    // Releases the locks of abandoned lock requests that the server took after all (this user's,
    // with no token here); quiet, as the caller's own work tells whether the server answers.
    void ReleaseAbandonedLocks(Session& session);
    // A status walk of files with the repository's state: locks from the lock server, and a replica
    // behind its master waited for within kReplicaPatience.
    svn::WalkResult RemoteWalk(Session& session, const FileList& files);
    // Behind a replica: the master's locks into nodes (walked files, in order), and this copy's
    // tokens that an update through the replica dropped given back. Nothing to do, and no error,
    // for a server that keeps its own locks.
    svn::Error LocksFromMaster(Session& session, const FileList& files, std::vector<svn::NodeInfo>& nodes);
    // Whether the running call's deadline has passed.
    bool DeadlinePassed();
    // Destroys the clients of sessions that ended (expired, password refused): the client's
    // destructor wipes the password and every pool that held a copy. Called as each call ends.
    void DropEndedClients();
    // On the deadline watch's thread, when the session's lifetime ends: the same for it, unless a
    // call runs (whose end does it).
    void DropExpiredClient(SessionId session);
    // The live session, with the client's deadline armed; null (and the -34 result) otherwise.
    Session* Enter(SessionId session, ServerResult& failure);
    // Turns a failed call into a result; a refused password ends the session (-34).
    ServerResult Failure(Session& session, const svn::Error& error);
    // Canonical paths of the files; those outside the working copy are refused in refusals, and
    // kept (when given) tells which files were kept.
    FileList Canonical(const Session& session, const FileList& files, std::string& refusals,
                       std::vector<bool>* kept = nullptr) const;
    bool CheckChangeList(Session& session, const std::string& changeList, ServerResult& failure);
    // Enters the session, checks changeList (when given) and walks the files; false with the result
    // to answer when the change cannot go on.
    bool Prepare(SessionId session, const FileList& files, const std::string* changeList, Plan& plan,
                 ServerResult& result);
    ServerResult AssignChangeList(Session& session, const FileList& files, const std::string& changeList);
    // ownLockWithoutToken: the files are locked by this user, but this copy holds no token for them.
    ServerResult Unlock(Session& session, const FileList& files, bool ownLockWithoutToken = false);
    // After failure: releases the locks this operation took, or says which it could not release.
    ServerResult UndoLocks(Session& session, const FileList& locked, const ServerResult& failure);
    // After failure: unschedules what this operation scheduled (additions, deletions), or says what
    // is left. keepFiles: the files on disk stay as they are (an addition's undo); unsure: a path
    // whose scheduling failed midway, which may or may not be scheduled.
    ServerResult UndoSchedules(Session& session, const FileList& scheduled, const ServerResult& failure, bool keepFiles,
                               const std::string& unsure = std::string());
    // One line per refused file: the server's reason, or that the lock is this user's elsewhere.
    std::string DescribeRefusals(Session& session, const FileList& refused, const std::vector<std::string>& reasons);
    // Runs operation; when it met a working copy left locked by a client that died, cleans the
    // working copy up and runs it once more.
    template <typename Result> Result AfterCleanup(SessionId session, const std::function<Result()>& operation);
    ServerResult EditOnce(SessionId session, const FileList& files, const std::string& changeList);
    AddResult AddOnce(SessionId session, const FileList& files, const std::string& changeList);
    ServerResult DeleteOnce(SessionId session, const FileList& files, const std::string& changeList);
    ServerResult RevertOnce(SessionId session, const FileList& files);
    ChangeListResult SubmitOnce(SessionId session, const std::string& changeList);
    UpdateResult UpdateOnce(SessionId session, const FileList& files);

    // At login: a working copy left locked by a program that no longer runs is cleaned up (Subversion's
    // cleanup, breaking its locks); one locked by a live program is left alone. Told in session.settled.
    void CleanUpAfterDeadProgram(Session& session);
    // A submit whose answer was lost, recorded in the working copy: looked for in the repository and,
    // when found or surely not coming, settled and told in session.settled. Quiet while the server
    // does not answer.
    void SettleLostSubmit(Session& session);
    // The record of a submit of targets (canonical paths, walked into nodes) about to start; treeBase
    // stands in for the base revision when every target is new.
    svn::SubmitRecord RecordSubmit(const Session& session, const std::string& changeList, const FileList& targets,
                                   const std::vector<svn::NodeInfo>& nodes, long treeBase);
    // The revision (0: none) that carries the record's identifier, since the record's base revision.
    svn::Error FindSubmit(Session& session, const svn::SubmitRecord& record, long& revision);
    // Brings the recorded files to the revision that took them and closes their changelist; the text
    // that tells it; empty while a replica has not received the revision yet.
    std::string Landed(Session& session, const svn::SubmitRecord& record, long revision);
    // Undoes the additions and deletions among paths (an added file stays on disk), deepest first.
    svn::Error UnscheduleLanded(Session& session, const FileList& paths);
    // Updates paths to revision: folders with all they hold, files alone. behind: a replica has not
    // received the revision within its patience (nothing was updated then).
    svn::Error UpdateTo(Session& session, const FileList& paths, long revision, bool& behind);
    // Releases the locks a landed commit held and drops their tokens (the files become read-only again).
    svn::Error DropReleasedLocks(Session& session, const FileList& paths);
    // The result, with what was settled during the call (Session::settled) moved into it.
    template <typename Result> Result Told(SessionId session, Result result);
    // How many deadlines a commit the server received may take before its absence from the log
    // means it never lands.
    static constexpr int kSettlePatienceFactor = 2;

    std::map<SessionId, std::unique_ptr<Session>> m_sessions;
    SessionId m_nextSession = 1;
    std::chrono::milliseconds m_lifetime = kDefaultSessionLifetime;
    std::chrono::milliseconds m_deadline = kDefaultDeadline;
    std::string m_configFolder;
    std::string m_lockServer;
    std::unique_ptr<svn::DeadlineWatch> m_watch;
    // One operation at a time, on the thread that runs it (the worker's); only Interrupt and Answers
    // come from other threads meanwhile.
    ThreadAffinity m_affinity{"SvnBackend"};
    // The running call's operation; Interrupt comes from another thread.
    std::mutex m_runningMutex;
    svn::Operation* m_running = nullptr;
};

} // namespace standin
