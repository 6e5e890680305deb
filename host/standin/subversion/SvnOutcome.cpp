#include "subversion/SvnOutcome.h"

#include "subversion/SvnBackend.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"
#include "subversion/SvnSession.h"

#include "revisioncontrol/OperationScope.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

namespace standin::svn {

namespace {

// A refused login. "Not authorized" alone is also how path-based authorization denies an
// operation; only while the connection is being made does it mean the credentials.
bool IsAuthenticationFailure(const Error& error)
{
    return (error.Has(SVN_ERR_RA_NOT_AUTHORIZED) && error.Has(SVN_ERR_RA_CANNOT_CREATE_SESSION)) ||
           error.Has(SVN_ERR_AUTHN_FAILED) || error.Has(SVN_ERR_AUTHN_CREDS_UNAVAILABLE) ||
           error.Has(SVN_ERR_AUTHN_NO_PROVIDER);
}

bool IsUntrustedCertificate(const Error& error, const Client& client)
{
    return !client.UntrustedCertificate().Empty() &&
           (error.Has(SVN_ERR_RA_SERF_SSL_CERT_UNTRUSTED) || error.Has(SVN_ERR_AUTHN_NO_PROVIDER));
}

// The text of a refused server certificate: which checks failed, what it is, and how to trust it.
std::string CertificateText(const std::string& server, const ServerCertificate& certificate)
{
    return "The certificate of the server at " + server + " is not trusted: " + certificate.problems +
           ". Subject: " + certificate.subject + "; issuer: " + certificate.issuer +
           "; SHA-1 fingerprint: " + certificate.fingerprint + "; valid from " + certificate.validFrom + " until " +
           certificate.validUntil +
           ". To trust its authority, name the authority's certificate file in ssl-authority-files in the "
           "[global] section (or the server's group) of the 'servers' file of your Subversion configuration, "
           "or accept the certificate for this session when asked.\n";
}

// Another program in the working copy is no slow server, even when the deadline passed meanwhile:
// the result when it is one. A lock left by a client that died, or work an operation left
// unfinished (a full disk stops one half-way), marks the session for cleanup.
bool WorkingCopyInUse(Session& session, const Error& error, ServerResult& result)
{
    if (error.Has(SVN_ERR_CANCELLED) || Unwritable(error) ||
        !(error.Has(SVN_ERR_SQLITE_BUSY) || error.Has(SVN_ERR_WC_LOCKED) || error.Has(SVN_ERR_WC_CLEANUP_REQUIRED)))
        return false;
    const pid_t user = WorkingCopyUser(session);
    if (user > 0 || error.Has(SVN_ERR_SQLITE_BUSY)) {
        result = {ServerCode::kIOError, "The working copy " + session.workingCopy + " is in use by another program" +
                                            (user > 0 ? " (process " + std::to_string(user) + ")" : std::string()) +
                                            "; try again when it has finished: " + error.Text() + "\n"};
        return true;
    }
    session.staleWorkingCopyLock = true;
    return false;
}

// Only a connection that ended leaves a commit's outcome open; a server's refusal is an answer.
// Over HTTP the socket's own error comes through (a server killed while it ran the commit's hooks
// resets the connection). A commit ended by a refused connection is counted as open too.
bool ConnectionLost(const Error& error, const Call& call, const ServerResult& failure)
{
    return AnswerMayBeLost(call, error) || error.Has(APR_ECONNREFUSED) || failure.code == ServerCode::kCancelled;
}

// The server's own word that it refused a commit: an out-of-date file, a lock, a hook, a rule, a
// log message it will not take. Any other failure once the commit was being finalized may have
// come after the repository took it (a replica forwards the commit and can fail on the way back).
bool CommitRefused(const Error& error)
{
    for (const apr_status_t refusal :
         {SVN_ERR_FS_CONFLICT, SVN_ERR_FS_TXN_OUT_OF_DATE, SVN_ERR_RA_OUT_OF_DATE, SVN_ERR_WC_NOT_UP_TO_DATE,
          SVN_ERR_FS_ALREADY_EXISTS, SVN_ERR_REPOS_HOOK_FAILURE, SVN_ERR_FS_BAD_LOCK_TOKEN,
          SVN_ERR_FS_LOCK_OWNER_MISMATCH, SVN_ERR_FS_PATH_ALREADY_LOCKED, SVN_ERR_FS_NO_SUCH_LOCK,
          SVN_ERR_FS_LOCK_EXPIRED, SVN_ERR_RA_NOT_AUTHORIZED, SVN_ERR_AUTHZ_UNWRITABLE, SVN_ERR_AUTHZ_UNREADABLE,
          SVN_ERR_BAD_PROPERTY_VALUE})
        if (error.Has(refusal)) return true;
    return false;
}

// Another process that has the file open, or 0.
pid_t ProcessUsing(const std::string& file)
{
    std::error_code error;
    const pid_t self = getpid();
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid == self) continue;
        std::error_code denied;
        for (const auto& descriptor : std::filesystem::directory_iterator(process.path() / "fd", denied)) {
            std::error_code unreadable;
            if (std::filesystem::read_symlink(descriptor.path(), unreadable) == file) return pid;
        }
    }
    return 0;
}

} // namespace

bool AnswerMayBeLost(const Call& call, const Error& error)
{
    if (error.Has(SVN_ERR_CANCELLED) || call.DeadlinePassed() || OperationScope::Cancelled()) return true;
    if (error.Has(APR_ECONNREFUSED)) return false;
    return error.Has(SVN_ERR_RA_SVN_CONNECTION_CLOSED) || error.Has(SVN_ERR_RA_SVN_IO_ERROR) ||
           error.Has(SVN_ERR_RA_DAV_CONN_TIMEOUT) || error.Has(SVN_ERR_RA_DAV_REQUEST_FAILED) ||
           error.Has(APR_ECONNRESET) || error.Has(APR_ECONNABORTED) || error.Has(APR_EPIPE) ||
           error.Has(APR_ETIMEDOUT) || error.Has(APR_EOF);
}

std::string Seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

std::string Lines(const FileList& files)
{
    std::string lines;
    for (const std::string& file : files)
        lines += file + "\n";
    return lines;
}

std::string CappedLines(const std::string& lines)
{
    // A hook may refuse every file of a large request at length: the message keeps whole lines up
    // to what a message box can show, and counts the rest.
    constexpr std::size_t kMostBytes = 16384;
    if (lines.size() <= kMostBytes) return lines;
    std::size_t kept = 0;
    for (std::size_t end = lines.find('\n'); end != std::string::npos && end < kMostBytes; end = lines.find('\n', kept))
        kept = end + 1;
    std::size_t left =
        static_cast<std::size_t>(std::count(lines.begin() + static_cast<std::ptrdiff_t>(kept), lines.end(), '\n'));
    if (lines.back() != '\n') ++left;
    return lines.substr(0, kept) + "... and " + std::to_string(left) + " more lines left out\n";
}

pid_t WorkingCopyUser(const Session& session)
{
    return ProcessUsing(session.workingCopy + "/.svn/wc.db");
}

LoginResult LoginFailure(const Call& call, const Error& error, const Client& client, const std::string& server,
                         const std::string& user)
{
    LoginResult result;
    result.code = ServerCode::kLoginFailed;
    result.accountChecked = true;
    if (OperationScope::Cancelled()) {
        result.code = ServerCode::kCancelled;
        result.text = std::string(ServerText::kCancelled) + "\n";
        result.unanswered = true;
    } else if (call.DeadlinePassed() || error.Has(SVN_ERR_CANCELLED)) {
        result.text =
            "The Subversion server at " + server + " did not answer within " + Seconds(call.Deadline()) + ".\n";
        result.unanswered = true;
    } else if (IsUntrustedCertificate(error, client)) {
        result.certificate = client.UntrustedCertificate();
        result.certificate.server = server;
        result.text = CertificateText(server, result.certificate);
    } else if (IsAuthenticationFailure(error))
        result.text = std::string(ServerText::kInvalidPassword) + " for user '" + user + "' at " + server + " (" +
                      error.Text() + ")\n";
    else
        result.text = "Cannot reach the Subversion server at " + server + ": " + error.Text() + "\n";
    return result;
}

ServerResult Failure(Session& session, const Call& call, const Error& error)
{
    if (IsUntrustedCertificate(error, *session.client))
        return {ServerCode::kServerError, CertificateText(session.server, session.client->UntrustedCertificate())};
    if (IsAuthenticationFailure(error)) {
        session.rejected = true;
        session.client->WipePassword();
        return {qor4::kResultSessionExpired,
                ServerText::OfSession(ServerText::kSessionExpired, session.user, session.server) +
                    " The server refused the password: " + error.Text() + "\n"};
    }
    if (OperationScope::Cancelled()) return {ServerCode::kCancelled, std::string(ServerText::kCancelled) + "\n"};
    if (!session.lockServer.empty() && error.Has(SVN_ERR_FS_NO_SUCH_REVISION))
        return {ServerCode::kServerError, "The replica at " + session.server + " is behind its master at " +
                                              session.lockServer + " and did not catch up within " +
                                              Seconds(SvnBackend::kReplicaPatience) + "; try again in a moment.\n"};
    if (DiskFull(error))
        return {ServerCode::kIOError, "The disk that holds the working copy " + session.workingCopy +
                                          " is full; free some space and try again: " + error.Text() + "\n"};
    if (Unwritable(error))
        return {ServerCode::kIOError, "The working copy " + session.workingCopy +
                                          " cannot be written (a read-only disk, or no permission): " + error.Text() +
                                          "\n"};
    ServerResult inUse;
    if (WorkingCopyInUse(session, error, inUse)) return inUse;
    if ((error.Has(SVN_ERR_CANCELLED) || call.DeadlinePassed()) && call.CapPassed())
        return {ServerCode::kServerError, "The operation at the Subversion server " + session.server +
                                              " was still running after " + Seconds(call.Cap()) +
                                              ", the longest an operation may take; it was abandoned.\n"};
    if (error.Has(SVN_ERR_CANCELLED) || call.DeadlinePassed())
        return {ServerCode::kServerError, "The Subversion server at " + session.server + " did not answer within " +
                                              Seconds(call.Deadline()) + "; the operation was abandoned.\n"};
    if (error.Has(SVN_ERR_RA_CANNOT_CREATE_SESSION) || error.Has(SVN_ERR_RA_SVN_CONNECTION_CLOSED) ||
        error.Has(SVN_ERR_RA_SVN_IO_ERROR))
        return {ServerCode::kServerError,
                "Cannot reach the Subversion server at " + session.server + ": " + error.Text() + "\n"};
    if (error.Has(SVN_ERR_WC_LOCKED) || error.Has(SVN_ERR_WC_NOT_WORKING_COPY) || error.Has(SVN_ERR_WC_CORRUPT) ||
        error.Has(SVN_ERR_WC_PATH_NOT_FOUND) || error.Has(SVN_ERR_WC_UNSUPPORTED_FORMAT) ||
        error.Has(SVN_ERR_SQLITE_ERROR))
        return {ServerCode::kIOError,
                "The working copy " + session.workingCopy + " cannot be used: " + error.Text() + "\n"};
    return {ServerCode::kServerError, error.Text() + "\n"};
}

bool Unwritable(const Error& error)
{
    return error.Has(SVN_ERR_SQLITE_READONLY) || error.Has(APR_FROM_OS_ERROR(EROFS));
}

bool DiskFull(const Error& error)
{
    // SQLite's own "full" code (SQLITE_FULL, 13) reaches Subversion's error only in its message.
    constexpr const char* kSqliteFull = "sqlite[S13]";
    return error.Has(APR_FROM_OS_ERROR(ENOSPC)) || error.Has(APR_FROM_OS_ERROR(EDQUOT)) ||
           (error.Has(SVN_ERR_SQLITE_ERROR) && error.Text().find(kSqliteFull) != std::string::npos);
}

ServerResult FailedCommit(Session& session, const Call& call, const Error& error, const CommitEnd& end,
                          const std::string& what, CommitOutcome& outcome)
{
    const ServerResult failure = Failure(session, call, error);
    if (end.revision > 0) {
        outcome = CommitOutcome::kLanded;
        return {ServerCode::kPartlyDone, "Submitted " + what + " as revision " + std::to_string(end.revision) +
                                             ", but the working copy could not record it; the next operation "
                                             "that can does: " +
                                             failure.text};
    }
    const bool lost = ConnectionLost(error, call, failure);
    // A path another user deleted or moved is not found in the commit's transaction. So is the
    // transaction itself once it was committed, when a request cut off with its connection is sent
    // again, or when a replica answers after its master took the commit: only the log tells.
    const bool refused = CommitRefused(error) || (end.absentFromLog && error.Has(SVN_ERR_FS_NOT_FOUND));
    if (end.finalizing && (lost || !refused)) {
        outcome = CommitOutcome::kUnknown;
        const std::string how =
            lost ? "The connection to " + session.server + " ended" : "The server at " + session.server + " failed";
        return {ServerCode::kOutcomeUnknown, how + " while " + what +
                                                 " was being committed: whether the repository took it is not "
                                                 "known; the next status tells. " +
                                                 failure.text};
    }
    outcome = CommitOutcome::kRefused;
    return {failure.code, "Nothing was submitted from " + what + ": " + failure.text};
}

} // namespace standin::svn
