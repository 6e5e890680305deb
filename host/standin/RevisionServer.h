// RevisionServer: the stand-in revision-control server behind the host's revision-control services.
//
// A small depot server kept in an SQLite data base, so that several host processes (for example two
// users of the demo) can share one depot: every operation reads its state from the data base inside
// one transaction and nothing is cached between operations. Files live in workspace folders on disk
// as real files whose read-only bit follows their state (read-only unless opened by their user).
//
// Paths. A file is named by its depot path: its path relative to the workspace root, with '/'
// separators ("chars/hero.qor"). Operations also accept an absolute path inside the current
// workspace's root and the spelled-out form "//depot/chars/hero.qor"; server texts always use the
// spelled-out form. Changelists are named by their number in decimal ("12"); "" is the default
// changelist.
//
// Sessions. Login opens a session that every server operation needs. Each instance acts for one
// session at a time (UseSession switches, so that one server can serve several accounts). An expired
// or missing session makes every server operation answer qor4::kResultSessionExpired (-34).
//
// Failures answer a negative code with a text in the manner of a real server, one line per file
// ("//depot/x.qor - file(s) not opened on this client.\n"). Mutating operations are all or
// nothing: when one file fails nothing changes, neither in the depot nor on disk.
//
// Single threaded: everything runs on the UI thread. A slow operation (SetSlow) waits through the
// installed qor4::ITimeOutDelegate, which runs a nested event loop.
#pragma once

#include "HostExport.h"
#include "qor4/FileStatus.h"
#include "qor4/qorResult.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qor4 {
class ITimeOutDelegate;
}

namespace standin {

using FileList = std::vector<std::string>;

// Result codes of the server besides qor4::kResultOk and qor4::kResultSessionExpired.
namespace ServerCode {
constexpr std::int32_t kFileStateRejected = -2; // a file's state forbids the operation
constexpr std::int32_t kLoginFailed = -3;       // unknown user, wrong password, server or workspace
constexpr std::int32_t kInvalidChangeList = -4; // unknown changelist, or not the user's
constexpr std::int32_t kCancelled = -5;         // the user abandoned a slow operation
constexpr std::int32_t kIOError = -6;           // a workspace file could not be read or changed
constexpr std::int32_t kDataBaseError = -7;     // the depot data base failed
constexpr std::int32_t kNothingToSubmit = -8;
} // namespace ServerCode

// Names of the server operations, as used by the call record, FailNext/FailAlways and SetSlow.
namespace ServerOp {
constexpr const char* kAll = "*"; // every operation (fault injection and slowness only)
constexpr const char* kLogin = "Login";
constexpr const char* kEdit = "Edit";
constexpr const char* kAdd = "Add";
constexpr const char* kDelete = "Delete";
constexpr const char* kRevert = "Revert";
constexpr const char* kMakeWritable = "MakeWritable";
constexpr const char* kSync = "Sync";
constexpr const char* kLock = "Lock";
constexpr const char* kStatus = "Status";
constexpr const char* kUsers = "Users";
constexpr const char* kCreateChangeList = "CreateChangeList";
constexpr const char* kPendingChangeLists = "PendingChangeLists";
constexpr const char* kChangeListDescription = "ChangeListDescription";
constexpr const char* kIsChangeListValid = "IsChangeListValid";
constexpr const char* kSubmit = "Submit";
} // namespace ServerOp

// Fixed texts tests and callers may rely on.
namespace ServerText {
constexpr const char* kSessionExpired = "Your session has expired, please login again.";
constexpr const char* kNotLoggedIn = "Your session was not opened, please login.";
constexpr const char* kInvalidPassword = "Password invalid or unset.\nInvalid password";
constexpr const char* kCancelled = "Operation cancelled by user";
} // namespace ServerText

struct ServerResult {
    std::int32_t code = qor4::kResultOk;
    std::string text; // empty on success; one line per problem, each ending in "\n", on failure

    bool Succeeded() const { return code >= 0; }
    bool Failed() const { return code < 0; }
};

struct LoginResult : ServerResult {
    std::int64_t session = 0; // 0 on failure
};

struct StatusResult : ServerResult {
    std::vector<qor4::StatusWord> words;  // per file, in request order
    std::vector<std::string> changeLists; // per file: the changelist the current user opened it in, or ""
};

struct UsersResult : ServerResult {
    // Per file in request order, the other users holding it (opened, then locked when asked),
    // by name in byte order; a user holding several files appears once per file.
    std::vector<std::string> users;
};

struct ChangeListResult : ServerResult {
    std::string changeList; // the created or submitted changelist's number
};

struct ChangeListsResult : ServerResult {
    std::vector<std::string> changeLists; // ascending numbers
};

struct DescriptionResult : ServerResult {
    std::string description;
};

// One server operation as it was called (controls are not recorded).
struct ServerCall {
    std::string operation; // a ServerOp name
    std::vector<std::string> arguments;
};

class HOST_API RevisionServer {
public:
    // databasePath: an SQLite file shared by all instances that open it, or ":memory:" for a
    // private depot. The schema is created when missing. The server address defaults to
    // kDefaultServerAddress. Throws std::runtime_error when the data base cannot be opened; seeding
    // controls throw too (std::invalid_argument for a path outside every workspace).
    explicit RevisionServer(const QString& databasePath);
    ~RevisionServer();
    RevisionServer(const RevisionServer&) = delete;
    RevisionServer& operator=(const RevisionServer&) = delete;

    static constexpr const char* kDefaultServerAddress = "localhost:1666";

    // --- Sessions -------------------------------------------------------------------------------
    // Opens a session for user in workspace on server and makes it the current one. A user without
    // a password accepts any password. Failure texts: a rejected password contains exactly
    // "Invalid password"; an unknown user, server or workspace has its own text without it.
    LoginResult Login(const std::string& user, const std::string& password, const std::string& server,
                      const std::string& workspace);
    // Acts for an already opened session from now on (0: none). Does not check that it is alive.
    void UseSession(std::int64_t session);
    std::int64_t CurrentSession() const { return m_session; }
    // The user and workspace of the current session ("" when there is none).
    std::string CurrentUser() const;
    std::string CurrentWorkspace() const;
    // True when the session exists and has not expired.
    bool IsSessionAlive(std::int64_t session) const;

    // --- Server operations (need a live session; recorded; subject to faults and slowness) ------
    // Opens files for edit (check-out) and clears their read-only bit. Fails for files not in the
    // depot or not on the client, not at the head revision (sync first), locked by another user,
    // exclusive and opened by another user, opened for add or delete, or with an I/O error.
    // Files already opened for edit by the user stay as they are.
    ServerResult Edit(const FileList& files, const std::string& changeList);
    // Opens files that exist on disk and are not in the depot for add. The disk file is untouched.
    ServerResult Add(const FileList& files, const std::string& changeList);
    // Opens depot files for delete and removes them from disk (they may be gone already).
    ServerResult Delete(const FileList& files, const std::string& changeList);
    // Discards the user's opened state: an add is forgotten (the disk file stays), an edit or delete
    // gets the have revision's content back on disk, read-only. Releases the user's locks on them.
    ServerResult Revert(const FileList& files);
    // Clears the read-only bit of existing workspace files, without opening them.
    ServerResult MakeWritable(const FileList& files);
    // Brings files to the head revision on disk (read-only). Fails for files opened by the user.
    ServerResult Sync(const FileList& files);
    // Locks files the user has opened, so that other users cannot open or submit them.
    ServerResult Lock(const FileList& files);
    // Status words (qor4::FileStatus) and changelists of the files; never fails per file.
    StatusResult Status(const FileList& files);
    // The other users holding the files (opened, and locked when includeLocks); see UsersResult.
    UsersResult Users(const FileList& files, bool includeLocks);
    // Creates a pending changelist of the current user and workspace; numbers rise from 1 and are
    // shared by all users of the depot.
    ChangeListResult CreateChangeList(const std::string& description);
    // The current user's pending changelists in the current workspace, ascending.
    ChangeListsResult PendingChangeLists();
    // The description given at creation; "" for the default changelist.
    DescriptionResult ChangeListDescription(const std::string& changeList);
    // True for "" and for the current user's pending changelists in the current workspace, while
    // the session is alive.
    bool IsChangeListValid(const std::string& changeList);
    // Checks in the user's files opened in changeList. Fails when a file is not at the head
    // revision ("must sync/resolve") or locked by another user, or when there is nothing to submit.
    ChangeListResult Submit(const std::string& changeList);

    // --- Seeding (controls: no session needed, not recorded) ------------------------------------
    void SetServerAddress(const std::string& address);
    std::string ServerAddress() const;
    void AddUser(const std::string& name, const std::string& password = "");
    // root: the absolute folder of the workspace's files. owner "": anyone may use it.
    void AddWorkspace(const std::string& name, const QString& root, const std::string& owner = "");
    QString WorkspaceRoot(const std::string& workspace) const;
    // Absolute path of a depot file in a workspace.
    QString LocalPath(const std::string& workspace, const std::string& depotPath) const;
    // A depot file at headRevision with no workspace having it (not on any client). Exclusive
    // files (the default, as binary assets) can be opened by one user at a time.
    void AddDepotFile(const std::string& depotPath, int headRevision = 1, const std::string& content = "",
                      bool exclusive = true);
    // Submits a new revision (1 for a new file) and puts it in the workspace, on disk and read-only.
    void CheckInWorkspaceFile(const std::string& workspace, const std::string& depotPath,
                              const std::string& content = "", bool exclusive = true);
    // Moves the head revision; a head above a workspace's have revision makes the file not at head.
    void SetHeadRevision(const std::string& depotPath, int headRevision);
    void SetExclusive(const std::string& depotPath, bool exclusive);
    // Marks the file as failing every disk access (status word gets kIOError).
    void SetIOError(const std::string& depotPath, bool failing);
    int HeadRevision(const std::string& depotPath) const;                               // 0: not in depot
    int HaveRevision(const std::string& workspace, const std::string& depotPath) const; // 0: not on client

    // --- Acting as other users (controls) -------------------------------------------------------
    // workspace "" means "<user>-ws". The depot must know the user (AddUser). The rules are lenient
    // so that tests can build any situation; they only refuse what cannot be represented.
    ServerResult OpenForEditAs(const std::string& user, const std::string& depotPath,
                               const std::string& changeList = "", const std::string& workspace = "");
    ServerResult MarkForAddAs(const std::string& user, const std::string& depotPath, const std::string& changeList = "",
                              const std::string& workspace = "");
    ServerResult MarkForDeleteAs(const std::string& user, const std::string& depotPath,
                                 const std::string& changeList = "", const std::string& workspace = "");
    ServerResult LockAs(const std::string& user, const std::string& depotPath, const std::string& workspace = "");
    // Another user submits a new revision of the file (adding it to the depot when new); that
    // user's opened state and lock on the file end.
    ServerResult SubmitAs(const std::string& user, const std::string& depotPath, const std::string& content = "");
    ChangeListResult CreateChangeListAs(const std::string& user, const std::string& description,
                                        const std::string& workspace = "");

    // --- Test controls ---------------------------------------------------------------------------
    // Expires the current session (in the data base, so every instance using it sees it).
    void ExpireSession();
    // Operation "*" (ServerOp::kAll) matches every operation. A matching call answers the code and
    // text without doing anything; FailNext matches once, FailAlways until ClearFaults.
    void FailNext(const std::string& operation, std::int32_t code, const std::string& text);
    void FailAlways(const std::string& operation, std::int32_t code, const std::string& text);
    void ClearFaults();
    // Makes operations take milliseconds (0 removes): the server waits through the delegate's
    // WaitForCompletion and calls NotifyCompletion when the time has passed; a cancelled wait
    // abandons the operation with ServerCode::kCancelled and ServerText::kCancelled.
    void SetSlow(const std::string& operation, int milliseconds);
    // The delegate slow operations wait through (not owned; null: they wait without one).
    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) { m_delegate = delegate; }
    qor4::ITimeOutDelegate* TimeOutDelegate() const { return m_delegate; }
    const std::vector<ServerCall>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

private:
    struct Fault {
        std::int32_t code = 0;
        std::string text;
        bool once = false;
    };
    class Impl;
    friend class Impl;

    // Records the call, then applies slowness and faults; a failure result ends the operation.
    ServerResult Enter(const char* operation, std::vector<std::string> arguments);

    std::unique_ptr<Impl> m_impl;
    std::int64_t m_session = 0;
    qor4::ITimeOutDelegate* m_delegate = nullptr;
    std::vector<ServerCall> m_calls;
    std::multimap<std::string, Fault> m_faults;
    std::map<std::string, int> m_slow;
};

} // namespace standin
