// RevisionBackend: the one narrow interface between the stand-in's revision-control services
// (DataControl, FileVersionControl) and a revision-control server: the data operations only. The
// progress box, cancelling and probing a server belong to the worker thread that runs the backend
// (WorkerBackend, with ServerControl); decorators derive from ForwardingBackend.
//
// Files are absolute paths inside the session's working copy. Changelists are named by their
// number in decimal ("12"); "" is the default changelist. Every operation acts for one session,
// opened by OpenSession; an expired or unknown session answers qor4::kResultSessionExpired (-34).
// Failures answer a negative code with a text of one line per problem, each ending in "\n".
// Mutating operations are all or nothing: when one file fails nothing changes, and what could not
// be undone is said (ServerCode::kPartlyDone). No operation reports a success that did not happen.
#pragma once

#include "HostExport.h"
#include "qor4/FileStatus.h"
#include "qor4/qorResult.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace standin {

using FileList = std::vector<std::string>;
using SessionId = std::int64_t;

// Result codes besides qor4::kResultOk and qor4::kResultSessionExpired.
namespace ServerCode {
constexpr std::int32_t kFileStateRejected = -2; // a file's state forbids the operation
constexpr std::int32_t kLoginFailed = -3;       // wrong password, unknown server or working copy
constexpr std::int32_t kInvalidChangeList = -4; // unknown changelist, or not this working copy's
constexpr std::int32_t kCancelled = -5;         // the user abandoned a slow operation
constexpr std::int32_t kIOError = -6;           // a working-copy file could not be read or changed
constexpr std::int32_t kServerError = -7;       // the server or the working copy failed as a whole
constexpr std::int32_t kNothingToSubmit = -8;
// Part of the operation was done and could not be undone; the text says what was and what was not.
constexpr std::int32_t kPartlyDone = -13;
// The connection broke after the change was sent: whether the server took it is not known; the
// next status tells.
constexpr std::int32_t kOutcomeUnknown = -14;
} // namespace ServerCode

// Names of the operations, as the test kit's decorators use them (call records, faults, slowness).
namespace ServerOp {
constexpr const char* kAll = "*"; // every operation (faults and slowness only)
constexpr const char* kLogin = "Login";
constexpr const char* kEdit = "Edit";
constexpr const char* kAdd = "Add";
constexpr const char* kDelete = "Delete";
constexpr const char* kRevert = "Revert";
constexpr const char* kMakeWritable = "MakeWritable";
constexpr const char* kUpdate = "Update";
constexpr const char* kStatus = "Status";
constexpr const char* kUsers = "Users";
constexpr const char* kCreateChangeList = "CreateChangeList";
constexpr const char* kPendingChangeLists = "PendingChangeLists";
constexpr const char* kChangeListDescription = "ChangeListDescription";
constexpr const char* kIsChangeListValid = "IsChangeListValid";
constexpr const char* kSubmit = "Submit";
} // namespace ServerOp

// Fixed texts that callers may rely on.
namespace ServerText {
constexpr const char* kSessionExpired = "Your session has expired, please login again.";
constexpr const char* kNotLoggedIn = "Your session was not opened, please login.";
// What every refused login's text contains, as the host's contract asks.
constexpr const char* kInvalidPassword = "Invalid password";
constexpr const char* kCancelled = "Operation cancelled by user";
// Begins each host-log entry that tells what became of interrupted work (ServerResult::settled).
constexpr const char* kSettled = "After an interruption: ";
// A session text as the host writes it: the fixed text, then whose session it is and where, so that
// a user with several accounts knows which one wants the password ("... (alice at svn://host/repo)").
inline std::string OfSession(const char* text, const std::string& user, const std::string& server)
{
    return std::string(text) + " (" + user + " at " + server + ")";
}
} // namespace ServerText

struct ServerResult {
    ServerResult() = default;
    ServerResult(std::int32_t code, std::string text) : code(code), text(std::move(text)) {}

    std::int32_t code = qor4::kResultOk;
    std::string text; // empty on success; one line per problem, each ending in "\n", on failure
    // What became of an earlier submit whose answer was lost, settled during this call (one line per
    // submit, ending in "\n"); empty when nothing was settled. Told whatever this call's own outcome.
    std::string settled;

    bool Succeeded() const { return code >= 0; }
    bool Failed() const { return code < 0; }
};

// A server certificate the client did not trust, as the login that met it saw it.
struct ServerCertificate {
    std::string server;   // the URL the login went to
    std::string problems; // which checks failed, in words ("issued by an unknown authority")
    std::string subject;  // distinguished names, "CN=..., O=..."
    std::string issuer;
    std::string fingerprint; // SHA-1, hexadecimal pairs separated by ':'
    std::string validFrom;
    std::string validUntil;

    bool Empty() const { return fingerprint.empty(); }
};

struct AddResult : ServerResult {
    // On success: the files this call scheduled, now marked for add in its changelist, as the
    // backend spells them. Files it left as they were (versioned already) are not among them.
    FileList scheduled;
};

struct LoginResult : ServerResult {
    SessionId session = 0; // 0 on failure
    // A login refused because the server's certificate is not trusted: the certificate, which the
    // user may accept for this session (Credentials::acceptedCertificates).
    ServerCertificate certificate;
    // On failure: the working copy is a copy of the server's repository, and only the connection
    // failed (the password refused, the server not reached). Such an account waits for a login.
    bool accountChecked = false;
    // On failure: the server gave no answer (the wait was cancelled, or it has not answered since a
    // cancel, or the deadline passed), which says nothing of the password: a session the account
    // already has goes on.
    bool unanswered = false;
};

struct StatusResult : ServerResult {
    std::vector<qor4::StatusWord> words;  // per file, in request order
    std::vector<std::string> changeLists; // per file: the changelist it is in, or ""
};

// What an update brought (absolute paths, in the order the client met them).
struct UpdateResult : ServerResult {
    long revision = 0;  // the revision the working copy (or the first file) was brought to
    FileList updated;   // added, deleted, changed or merged by the update
    FileList conflicts; // left in conflict, the local change and the repository's disagreeing: files, or a
                        // folder deleted on the server under a local change
};

struct UsersResult : ServerResult {
    // Per file in request order, the other users holding it; a user holding several files
    // appears once per file.
    std::vector<std::string> users;
};

struct ChangeListResult : ServerResult {
    std::string changeList; // the created or submitted changelist's number
    long revision = 0;      // Submit: the revision committed; 0 when nothing was committed
};

struct ChangeListsResult : ServerResult {
    std::vector<std::string> changeLists; // ascending numbers
};

struct DescriptionResult : ServerResult {
    std::string description;
};

// Where a status comes from: the working copy alone (what this copy holds: its locks, additions,
// deletions), or the working copy and the repository (other users' locks, newer revisions).
enum class StatusScope { kLocal, kWithRepository };

// What a session is opened with. server: a repository URL; workspace: the working copy's path.
struct Credentials {
    std::string user;
    std::string password;
    std::string server;
    std::string workspace;
    // SHA-1 fingerprints of server certificates the user accepted for this session, trusted
    // whatever checks they fail.
    std::vector<std::string> acceptedCertificates;
};

class HOST_API RevisionBackend {
public:
    virtual ~RevisionBackend() = default;

    // Authenticates against the server and checks that the working copy belongs to it. A refused
    // password's text contains ServerText::kInvalidPassword; an unreachable server's names its URL.
    virtual LoginResult OpenSession(const Credentials& credentials) = 0;
    // Ends the session and forgets its password. Unknown sessions are ignored.
    virtual void CloseSession(SessionId session) = 0;
    // Whether the session is open and has not expired, as far as this side knows without asking the
    // server (a password changed on the server shows only at the next operation).
    virtual bool IsSessionOpen(SessionId session) = 0;

    // Check-out: locks the files, which makes them writable. Files this working copy already
    // holds stay as they are; newly locked files join changeList.
    virtual ServerResult Edit(SessionId session, const FileList& files, const std::string& changeList) = 0;
    // Schedules the unversioned files for addition in changeList; versioned ones stay as they are.
    virtual AddResult Add(SessionId session, const FileList& files, const std::string& changeList) = 0;
    // Schedules the files for deletion in changeList and removes them from disk (they may be gone).
    virtual ServerResult Delete(SessionId session, const FileList& files, const std::string& changeList) = 0;
    // Discards the local changes of the files and releases this working copy's locks on them.
    virtual ServerResult Revert(SessionId session, const FileList& files) = 0;
    // Clears the read-only bit of existing files, without locking them.
    virtual ServerResult MakeWritable(SessionId session, const FileList& files) = 0;
    // Status words (qor4::FileStatus) and changelists of the files.
    virtual StatusResult Status(SessionId session, const FileList& files, StatusScope scope) = 0;
    // The other users holding the files (their lock owners).
    virtual UsersResult Users(SessionId session, const FileList& files, bool includeLocks) = 0;

    virtual ChangeListResult CreateChangeList(SessionId session, const std::string& description) = 0;
    virtual ChangeListsResult PendingChangeLists(SessionId session) = 0;
    virtual DescriptionResult ChangeListDescription(SessionId session, const std::string& changeList) = 0;
    // True for "" and for the working copy's pending changelists, while the session is alive.
    virtual bool IsChangeListValid(SessionId session, const std::string& changeList) = 0;
    // Commits changeList's files with its description as the log message, which releases their
    // locks; the changelist then is no longer pending. Locked files without changes are only
    // unlocked (revision 0). A commit that landed but whose locks or changelist could not be
    // released answers kPartlyDone naming the revision and what is left; a commit whose answer was
    // lost answers kOutcomeUnknown.
    virtual ChangeListResult Submit(SessionId session, const std::string& changeList) = 0;
    // Brings the files (none: the whole working copy) to the head revision; local changes are kept
    // and merged, a change that cannot be merged is left in conflict and listed, never resolved.
    virtual UpdateResult Update(SessionId session, const FileList& files) = 0;
};

} // namespace standin
