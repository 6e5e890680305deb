#include "SvnBackend.h"

#include "ConnectionBreaker.h"
#include "DeadlineWatch.h"
#include "SubmitRecord.h"
#include "SvnBackend_Session.h"
#include "SvnError.h"
#include "SvnProbe.h"
#include "SvnStatusWalk.h"
#include "WorkingCopyId.h"

#include "OperationScope.h"

#include <svn_client.h>
#include <svn_dirent_uri.h>
#include <svn_path.h>
#include <svn_ra.h>
#include <svn_wc.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <unistd.h>

namespace standin {

namespace fs = qor4::FileStatus;

namespace {

bool IsInside(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// Already as Subversion spells it: no empty, "." or ".." folder on the way, no trailing slash.
bool IsPlain(std::string_view file)
{
    if (!file.empty() && file.back() == '/') return false;
    std::size_t slash = file.find('/');
    while (slash != std::string_view::npos) {
        const std::size_t next = file.find('/', slash + 1);
        if (next == std::string_view::npos) break;
        const std::string_view part = file.substr(slash + 1, next - slash - 1);
        if (part.empty() || part == "." || part == "..") return false;
        slash = next;
    }
    return true;
}

// The path as Subversion spells it; most paths already are, and are not parsed again.
std::string NormalPath(const std::string& file)
{
    return IsPlain(file) ? file : std::filesystem::path(file).lexically_normal().string();
}

// A refused login. "Not authorized" alone is also how path-based authorization denies an
// operation; only while the connection is being made does it mean the credentials.
bool IsAuthenticationFailure(const svn::Error& error)
{
    return (error.Has(SVN_ERR_RA_NOT_AUTHORIZED) && error.Has(SVN_ERR_RA_CANNOT_CREATE_SESSION)) ||
           error.Has(SVN_ERR_AUTHN_FAILED) || error.Has(SVN_ERR_AUTHN_CREDS_UNAVAILABLE) ||
           error.Has(SVN_ERR_AUTHN_NO_PROVIDER);
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

bool IsUntrustedCertificate(const svn::Error& error, const svn::Client& client)
{
    return !client.UntrustedCertificate().Empty() &&
           (error.Has(SVN_ERR_RA_SERF_SSL_CERT_UNTRUSTED) || error.Has(SVN_ERR_AUTHN_NO_PROVIDER));
}

// Another process that has the file open, or 0: a working copy's data base is open in every
// Subversion client that works in it.
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

std::string Seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

ServerResult Refused(std::int32_t code, const std::string& lines)
{
    return {code, lines};
}

} // namespace

SvnBackend::SvnBackend() : m_watch(std::make_unique<svn::DeadlineWatch>())
{
    svn::EnsureRuntime();
}

void SvnBackend::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_running) m_running->Break();
}

void SvnBackend::Watch(const std::string& server, const std::string& lockServer)
{
    std::vector<std::string> servers{server};
    if (!lockServer.empty() && lockServer != server) servers.push_back(lockServer);
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_running) m_running->Watch(servers, m_deadline);
}

bool SvnBackend::Answers(const std::string& server, std::chrono::milliseconds within)
{
    return svn::ServerAnswers(server, within, m_configFolder);
}

bool SvnBackend::DeadlinePassed()
{
    std::lock_guard<std::mutex> lock(m_runningMutex);
    return m_running && m_running->DeadlinePassed();
}

SvnBackend::~SvnBackend()
{
    // The watch's actions reach into the sessions: none may run once they begin to go.
    for (const auto& entry : m_sessions)
        m_watch->Disarm(entry.second->expiry);
}

SvnBackend::Workspace SvnBackend::FindWorkspace(svn::Client& client, const std::string& path,
                                                const std::string& serverUrl)
{
    Workspace found;
    svn::Pool pool(client.PoolHandle());
    const std::string workspace = std::filesystem::path(path).lexically_normal().string();
    const char* root = nullptr;
    const char* copyOf = nullptr;
    svn::Error error;
    if (workspace.empty() || !std::filesystem::path(workspace).is_absolute())
        error = svn::Error(svn_error_create(SVN_ERR_WC_NOT_WORKING_COPY, nullptr, "not an absolute path"));
    else if (!(error = svn::Error(svn_client_get_wc_root(&root, workspace.c_str(), client.Context(), pool, pool))))
        error = svn::Error(svn_client_url_from_path2(&copyOf, root, client.Context(), pool, pool));
    if (error) {
        found.problem = "'" + path + "' is not a Subversion working copy: " + error.Text() + "\n";
        return found;
    }
    found.root = root;
    found.url = copyOf ? copyOf : "";
    found.server = svn_uri_is_canonical(serverUrl.c_str(), pool) || !svn_path_is_url(serverUrl.c_str())
                       ? serverUrl
                       : svn_uri_canonicalize(serverUrl.c_str(), pool);
    const std::string url = copyOf ? copyOf : "";
    if (!svn_path_is_url(found.server.c_str()) || !(url == found.server || IsInside(url, found.server)))
        found.problem = "The working copy '" + found.root + "' is a copy of " + url + ", not of '" + serverUrl + "'.\n";
    return found;
}

std::string SvnBackend::WorkspaceProblem(const std::string& workspace, const std::string& server)
{
    svn::EnsureRuntime();
    try {
        svn::Client client("", "");
        return FindWorkspace(client, workspace, server).problem;
    } catch (const std::runtime_error& unreadable) {
        return std::string(unreadable.what()) + "\n";
    }
}

LoginResult SvnBackend::OpenSession(const Credentials& credentials)
{
    const Call call(*this);
    LoginResult result;
    auto session = std::make_unique<Session>();
    try {
        session->client =
            std::make_unique<svn::Client>(credentials.user, credentials.password,
                                          svn::Client::Settings{m_configFolder, credentials.acceptedCertificates});
    } catch (const std::runtime_error& unreadable) {
        result.code = ServerCode::kLoginFailed;
        result.text = std::string(unreadable.what()) + "\n";
        return result;
    }
    svn::Client& client = *session->client;
    client.SetDeadline(std::chrono::steady_clock::now() + m_deadline);
    Watch(credentials.server);
    svn::Pool pool(client.PoolHandle());

    const Workspace found = FindWorkspace(client, credentials.workspace, credentials.server);
    if (!found.problem.empty()) {
        result.code = ServerCode::kLoginFailed;
        result.text = found.problem;
        return result;
    }

    svn_ra_session_t* connection = nullptr;
    svn_revnum_t head = 0;
    const std::string& server = found.server;
    svn::Error error(
        svn_client_open_ra_session2(&connection, server.c_str(), found.root.c_str(), client.Context(), pool, pool));
    if (!error) error = svn::Error(svn_ra_get_latest_revnum(connection, &head, pool));
    if (error) {
        result.code = ServerCode::kLoginFailed;
        result.accountChecked = true;
        if (OperationScope::Cancelled()) {
            result.code = ServerCode::kCancelled;
            result.text = std::string(ServerText::kCancelled) + "\n";
            result.unanswered = true;
        } else if (DeadlinePassed() || error.Has(SVN_ERR_CANCELLED)) {
            result.text =
                "The Subversion server at " + server + " did not answer within " + Seconds(m_deadline) + ".\n";
            result.unanswered = true;
        } else if (IsUntrustedCertificate(error, client)) {
            result.certificate = client.UntrustedCertificate();
            result.certificate.server = server;
            result.text = CertificateText(server, result.certificate);
        } else if (IsAuthenticationFailure(error))
            result.text = std::string(ServerText::kInvalidPassword) + " for user '" + credentials.user + "' at " +
                          server + " (" + error.Text() + ")\n";
        else
            result.text = "Cannot reach the Subversion server at " + server + ": " + error.Text() + "\n";
        return result;
    }

    session->user = credentials.user;
    session->server = server;
    session->workingCopy = found.root;
    session->rootUrl = found.url;
    session->copyId = svn::WorkingCopyId::Of(found.root);
    if (!FindLockServer(*session, connection, found.url, result)) return result;
    session->changeLists = std::make_unique<svn::ChangeListFile>(session->workingCopy);
    session->expiresAt = std::chrono::steady_clock::now() + m_lifetime;
    // A program that died in this working copy may have left it locked, and a submit this working
    // copy lost the answer of (or whose process died) is settled at login.
    CleanUpAfterDeadProgram(*session);
    SettleLostSubmit(*session);
    result.settled = std::exchange(session->settled, {});
    client.ClearDeadline();
    result.session = m_nextSession++;
    session->expiry = m_watch->Arm(session->expiresAt, [this, id = result.session] { DropExpiredClient(id); });
    m_sessions.emplace(result.session, std::move(session));
    return result;
}

void SvnBackend::CleanUpAfterDeadProgram(Session& session)
{
    svn::Client& client = *session.client;
    svn::Pool pool(client.PoolHandle());
    // The root and the folders of a submit in flight: where a commit or a check-out takes its lock.
    std::vector<std::string> folders{session.workingCopy};
    svn::SubmitRecord record;
    std::string damage;
    if (svn::SubmitRecord::Load(session.workingCopy, record, damage))
        for (const std::string& file : record.files)
            folders.push_back(std::filesystem::path(session.workingCopy + "/" + file).parent_path().string());
    bool locked = false;
    for (const std::string& folder : folders) {
        svn_boolean_t here = FALSE;
        svn_boolean_t anyone = FALSE;
        const svn::Error error(svn_wc_locked2(&here, &anyone, client.Context()->wc_ctx, folder.c_str(), pool));
        locked = locked || (!error && anyone);
    }
    if (!locked) return;
    const pid_t user = ProcessUsing(session.workingCopy + "/.svn/wc.db");
    if (user > 0) {
        session.settled += "The working copy " + session.workingCopy + " is locked by process " + std::to_string(user) +
                           ", which is still running; it was left as it is.\n";
        return;
    }
    const svn::Error cleaned(
        svn_client_cleanup2(session.workingCopy.c_str(), TRUE, FALSE, FALSE, FALSE, FALSE, client.Context(), pool));
    session.settled +=
        cleaned ? "The working copy " + session.workingCopy +
                      " was left locked by a program that ended, and could not be cleaned up: " + cleaned.Text() + "\n"
                : "The working copy " + session.workingCopy +
                      " was left locked by a program that ended; it was cleaned up.\n";
}

void SvnBackend::CloseSession(SessionId session)
{
    const Call call(*this);
    const auto found = m_sessions.find(session);
    if (found == m_sessions.end()) return;
    m_watch->Disarm(found->second->expiry);
    m_sessions.erase(found);
}

bool SvnBackend::IsSessionOpen(SessionId session)
{
    const auto found = m_sessions.find(session);
    return found != m_sessions.end() && found->second->Alive();
}

void SvnBackend::DropEndedClients()
{
    for (auto& entry : m_sessions)
        if (entry.second->client && !entry.second->Alive()) entry.second->client.reset();
}

void SvnBackend::DropExpiredClient(SessionId session)
{
    // Never waits: a call that holds the lock or runs ends the client itself as it ends.
    const std::unique_lock<std::mutex> lock(m_runningMutex, std::try_to_lock);
    if (!lock.owns_lock() || m_running) return;
    const auto found = m_sessions.find(session);
    if (found != m_sessions.end() && !found->second->Alive()) found->second->client.reset();
}

SvnBackend::Session* SvnBackend::Enter(SessionId id, ServerResult& failure)
{
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end()) {
        failure = {qor4::kResultSessionExpired, std::string(ServerText::kNotLoggedIn) + "\n"};
        return nullptr;
    }
    Session& session = *found->second;
    if (!session.Alive()) {
        // The client, its password and its connections' memory went with the session's life.
        session.client.reset();
        failure = {qor4::kResultSessionExpired,
                   ServerText::OfSession(ServerText::kSessionExpired, session.user, session.server) + "\n"};
        return nullptr;
    }
    session.client->SetDeadline(std::chrono::steady_clock::now() + m_deadline);
    Watch(session.server, session.lockServer);
    return &session;
}

ServerResult SvnBackend::Failure(Session& session, const svn::Error& error)
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
                                              Seconds(kReplicaPatience) + "; try again in a moment.\n"};
    // Another program in the working copy is no slow server, even when the deadline passed meanwhile.
    if (!error.Has(SVN_ERR_CANCELLED) && (error.Has(SVN_ERR_SQLITE_BUSY) || error.Has(SVN_ERR_WC_LOCKED))) {
        const pid_t user = ProcessUsing(session.workingCopy + "/.svn/wc.db");
        if (user > 0 || error.Has(SVN_ERR_SQLITE_BUSY))
            return {ServerCode::kIOError, "The working copy " + session.workingCopy + " is in use by another program" +
                                              (user > 0 ? " (process " + std::to_string(user) + ")" : std::string()) +
                                              "; try again when it has finished: " + error.Text() + "\n"};
        session.staleWorkingCopyLock = true;
    }
    if (error.Has(SVN_ERR_CANCELLED) || DeadlinePassed())
        return {ServerCode::kServerError, "The Subversion server at " + session.server + " did not answer within " +
                                              Seconds(m_deadline) + "; the operation was abandoned.\n"};
    if (error.Has(SVN_ERR_RA_CANNOT_CREATE_SESSION) || error.Has(SVN_ERR_RA_SVN_CONNECTION_CLOSED) ||
        error.Has(SVN_ERR_RA_SVN_IO_ERROR))
        return {ServerCode::kServerError,
                "Cannot reach the Subversion server at " + session.server + ": " + error.Text() + "\n"};
    if (error.Has(SVN_ERR_WC_LOCKED) || error.Has(SVN_ERR_WC_NOT_WORKING_COPY) || error.Has(SVN_ERR_WC_CORRUPT) ||
        error.Has(SVN_ERR_WC_PATH_NOT_FOUND) || error.Has(SVN_ERR_WC_UNSUPPORTED_FORMAT))
        return {ServerCode::kIOError,
                "The working copy " + session.workingCopy + " cannot be used: " + error.Text() + "\n"};
    return {ServerCode::kServerError, error.Text() + "\n"};
}

FileList SvnBackend::Canonical(const Session& session, const FileList& files, std::string& refusals,
                               std::vector<bool>* kept) const
{
    FileList canonical;
    canonical.reserve(files.size());
    if (kept) kept->assign(files.size(), false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string path = NormalPath(files[i]);
        if (IsInside(path, session.workingCopy)) {
            canonical.push_back(std::move(path));
            if (kept) (*kept)[i] = true;
        } else {
            refusals += files[i] + " - is not in the working copy " + session.workingCopy + "\n";
        }
    }
    return canonical;
}

qor4::StatusWord SvnBackend::WordOf(const svn::NodeInfo& node, bool remote)
{
    if (!node.reported || !node.versioned || node.node == svn_wc_status_unversioned ||
        node.node == svn_wc_status_ignored || node.node == svn_wc_status_none)
        return fs::kNotInDepot;
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

StatusResult SvnBackend::Status(SessionId id, const FileList& files, StatusScope scope)
{
    const Call call(*this);
    const bool remote = scope == StatusScope::kWithRepository;
    StatusResult result;
    Session* session = Enter(id, result);
    if (!session) return result;
    if (remote) {
        SettleLostSubmit(*session);
        result.settled = std::exchange(session->settled, {});
    }
    // The host's paths are nearly always in Subversion's spelling and inside the working copy
    // already: then the request is walked as it is, with no copy of 100,000 names.
    const bool asGiven = std::all_of(files.begin(), files.end(), [&](const std::string& file) {
        return IsPlain(file) && IsInside(file, session->workingCopy);
    });
    std::string outside;
    std::vector<bool> kept;
    FileList canonical;
    if (!asGiven) canonical = Canonical(*session, files, outside, &kept);
    const FileList& inside = asGiven ? files : canonical;
    svn::WalkResult walk;
    // New files have no repository state to ask for: a few of them (a new asset's) are answered by
    // the working copy alone. A path someone else added meanwhile shows up at the commit.
    bool answered = false;
    if (remote && inside.size() <= kLocalFirstLimit) {
        walk = svn::WalkStatus(*session->client, session->workingCopy, inside, false);
        answered = !walk.error && std::all_of(walk.nodes.begin(), walk.nodes.end(), [](const svn::NodeInfo& node) {
            return !node.reported || !node.versioned || node.Added();
        });
    }
    if (!answered)
        walk = remote ? RemoteWalk(*session, inside)
                      : svn::WalkStatus(*session->client, session->workingCopy, inside, false);
    if (walk.error) {
        const ServerResult failure = Failure(*session, walk.error);
        result.code = failure.code;
        result.text = failure.text;
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

UsersResult SvnBackend::Users(SessionId id, const FileList& files, bool)
{
    const Call call(*this);
    UsersResult result;
    Session* session = Enter(id, result);
    if (!session) return result;
    SettleLostSubmit(*session);
    result.settled = std::exchange(session->settled, {});
    std::string outside;
    const FileList inside = Canonical(*session, files, outside);
    svn::WalkResult walk = RemoteWalk(*session, inside);
    if (walk.error) {
        const ServerResult failure = Failure(*session, walk.error);
        result.code = failure.code;
        result.text = failure.text;
        return result;
    }
    // In the lock workflow a file is held by its lock's owner.
    for (const svn::NodeInfo& node : walk.nodes) {
        if (!node.repositoryLock.Held() || node.repositoryLock.token == node.localLock.token) continue;
        const bool mine = node.repositoryLock.owner == session->client->User();
        result.users.push_back(node.repositoryLock.owner + (mine ? " (in another working copy)" : ""));
    }
    return result;
}

ChangeListResult SvnBackend::CreateChangeList(SessionId id, const std::string& description)
{
    const Call call(*this);
    ChangeListResult result;
    Session* session = Enter(id, result);
    if (!session) return result;
    long number = 0;
    std::string error;
    if (!session->changeLists->Create(description, number, error)) return {{ServerCode::kIOError, error + "\n"}, ""};
    result.changeList = std::to_string(number);
    return result;
}

ChangeListsResult SvnBackend::PendingChangeLists(SessionId id)
{
    const Call call(*this);
    ChangeListsResult result;
    Session* session = Enter(id, result);
    if (!session) return result;
    std::map<long, std::string> pending;
    std::string error;
    if (!session->changeLists->Load(pending, error)) return {{ServerCode::kIOError, error + "\n"}, {}};
    for (const auto& entry : pending)
        result.changeLists.push_back(std::to_string(entry.first));
    return result;
}

DescriptionResult SvnBackend::ChangeListDescription(SessionId id, const std::string& changeList)
{
    const Call call(*this);
    DescriptionResult result;
    Session* session = Enter(id, result);
    if (!session || changeList.empty()) return result;
    std::map<long, std::string> pending;
    std::string error;
    if (!session->changeLists->Load(pending, error)) return {{ServerCode::kIOError, error + "\n"}, ""};
    const auto found = pending.find(svn::ChangeListFile::NumberOf(changeList));
    if (found == pending.end()) return {{ServerCode::kInvalidChangeList, "Change " + changeList + " unknown.\n"}, ""};
    result.description = found->second;
    return result;
}

bool SvnBackend::IsChangeListValid(SessionId id, const std::string& changeList)
{
    const Call call(*this);
    ServerResult failure;
    Session* session = Enter(id, failure);
    return session && CheckChangeList(*session, changeList, failure);
}

bool SvnBackend::CheckChangeList(Session& session, const std::string& changeList, ServerResult& failure)
{
    if (changeList.empty()) return true;
    std::map<long, std::string> pending;
    std::string error;
    if (!session.changeLists->Load(pending, error)) {
        failure = {ServerCode::kIOError, error + "\n"};
        return false;
    }
    if (pending.count(svn::ChangeListFile::NumberOf(changeList)) == 0) {
        failure = Refused(ServerCode::kInvalidChangeList, "Change " + changeList + " unknown.\n");
        return false;
    }
    return true;
}

} // namespace standin
