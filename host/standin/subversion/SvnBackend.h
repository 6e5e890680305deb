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
// certificate, never as a refused password. A session keeps its connections to the server between
// operations, each for SetConnectionLife (2 minutes by default). Sessions last SetSessionLifetime (12 hours by
// default); after it, and as soon as the server rejects the password, every operation answers -34 until a new session
// is opened. The password is kept in memory only and wiped when its session ends (closed, replaced, expired, refused),
// with every pool of Subversion's that held a copy.
//
// The comment of a lock names the working copy by an id kept in its administrative area, never by
// its local path. A file whose name is not UTF-8 (which Subversion cannot convert) is left out of
// every walk, named in the host log, and reads as not in revision control.
//
// Behind a replica (a remote office's write-through proxy) data comes from the replica and locks
// from its master: the lock server is SetLockServer's URL, or the master the replica records as the
// source of its revisions. A replica that has not caught up with its master yet is waited for
// briefly, then told as behind, never as a missing file or a broken lock.
//
// Where the work is: this class finds the session and opens the call, then routes to one unit a
// command (SvnCommands.h: SvnEdit.cpp, SvnAdd.cpp, SvnDelete.cpp, SvnRevert.cpp, SvnStatus.cpp,
// SvnSubmit.cpp, SvnUpdate.cpp...; SvnChangeLists.h). A login is SvnLogin; its state svn::Session
// (SvnSession.h) and a call's deadline svn::Call (SvnCall.h). How failures read is SvnOutcome, what
// undoes a failed change SvnUndo; SvnReplica and SvnSettle are the replica's locks and the lost
// submit. KeptConnections (the client's connections kept between operations) carries lock requests
// (SvnLock, LockTokens), lock listings (SvnLockListing) and the log of repository changes
// (RepositoryChanges).
#pragma once

#include "framework/ThreadAffinity.h"
#include "revisioncontrol/RevisionBackend.h"
#include "revisioncontrol/ServerControl.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

namespace svn {
class Call;
class DeadlineWatch;
class Operation;
struct NodeInfo;
struct Session;
} // namespace svn

class HOST_API SvnBackend final : public RevisionBackend, public ServerControl {
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
    // How long a connection kept between operations is used: a new one logs in again, so that a
    // password or access rules changed on the server reach a running session within this time.
    static constexpr std::chrono::seconds kDefaultConnectionLife{120};

    SvnBackend();
    ~SvnBackend() override;
    SvnBackend(const SvnBackend&) = delete;
    SvnBackend& operator=(const SvnBackend&) = delete;

    // For sessions opened from now on.
    void SetSessionLifetime(std::chrono::milliseconds lifetime) { m_lifetime = lifetime; }
    // For the sessions open now and opened from now on.
    void SetConnectionLife(std::chrono::milliseconds life);
    // How long one operation may wait for the server before it is cancelled.
    void SetDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    // Subversion's configuration folder for sessions opened from now on; "" (the default) reads the
    // user's own, as Subversion's clients do. It is read, never written.
    void SetConfigurationFolder(const std::string& folder) { m_configFolder = folder; }
    // The URL of the server that keeps the locks (a replica's master), naming the same repository
    // root as the replica; "" (the default) takes the master a replica records, and the server
    // itself otherwise. For sessions opened from now on.
    void SetLockServer(const std::string& url) { m_lockServer = url; }

    // ServerControl, for the worker. Thread safe: breaks the running operation's connections to its
    // server.
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
    // One public call: its operation (deadline, connections) is the running one while it lives.
    class Call;
    // The live session, with its deadline armed for call; null (and the -34 result) otherwise.
    svn::Session* Enter(SessionId session, svn::Call& call, ServerResult& failure);
    // After a call the server left without an answer (deadline, Cancel): a change it took meanwhile
    // may still land, and the search for a lost submit counts its patience from now.
    void NoteSilence(SessionId session, svn::Call& call);
    // Runs work (a Result from an svn::Session& and an svn::Call&) in the live session, in one call.
    template <typename Result, typename Work> Result Route(SessionId session, Work work);
    // The same for a change: when it met a working copy left locked by a client that died, the
    // working copy is cleaned up and the change runs once more; what was settled during the call
    // (Session::settled) is moved into the result.
    template <typename Result, typename Work> Result RouteChange(SessionId session, Work work);
    // Destroys the clients of sessions that ended (expired, password refused): the client's
    // destructor wipes the password and every pool that held a copy. Called as each call ends.
    void CloseKeptConnections();
    void DropEndedClients();
    // On the deadline watch's thread, when the session's lifetime ends: the same for it, unless a
    // call runs (whose end does it).
    void DropExpiredClient(SessionId session);

    std::map<SessionId, std::unique_ptr<svn::Session>> m_sessions;
    SessionId m_nextSession = 1;
    std::chrono::milliseconds m_lifetime = kDefaultSessionLifetime;
    std::chrono::milliseconds m_connectionLife = kDefaultConnectionLife;
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
