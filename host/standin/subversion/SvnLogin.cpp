#include "subversion/SvnLogin.h"

#include "subversion/SubmitRecord.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnSettle.h"
#include "subversion/WorkingCopyId.h"

#include <svn_client.h>
#include <svn_dirent_uri.h>
#include <svn_path.h>
#include <svn_ra.h>
#include <svn_wc.h>

#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

namespace standin::svn {

namespace {

// Whether a program left the working copy locked: its root, or a folder of a submit in flight
// (where a commit or a check-out takes its lock).
bool LeftLocked(const Session& session)
{
    Client& client = *session.client;
    Pool pool(client.PoolHandle());
    std::vector<std::string> folders{session.workingCopy};
    SubmitRecord record;
    std::string damage;
    if (SubmitRecord::Load(session.workingCopy, record, damage))
        for (const std::string& file : record.files)
            folders.push_back(std::filesystem::path(session.workingCopy + "/" + file).parent_path().string());
    bool locked = false;
    for (const std::string& folder : folders) {
        svn_boolean_t here = FALSE;
        svn_boolean_t anyone = FALSE;
        const Error error(svn_wc_locked2(&here, &anyone, client.Context()->wc_ctx, folder.c_str(), pool));
        locked = locked || (!error && anyone);
    }
    return locked;
}

// A working copy left locked by a program that no longer runs is cleaned up (Subversion's cleanup,
// breaking its locks); one locked by a live program is left alone. Told in session.settled.
void CleanUpAfterDeadProgram(Session& session)
{
    if (!LeftLocked(session)) return;
    const pid_t user = WorkingCopyUser(session);
    if (user > 0) {
        session.settled += "The working copy " + session.workingCopy + " is locked by process " + std::to_string(user) +
                           ", which is still running; it was left as it is.\n";
        return;
    }
    const Error cleaned = session.CleanUp();
    session.settled +=
        cleaned ? "The working copy " + session.workingCopy +
                      " was left locked by a program that ended, and could not be cleaned up: " + cleaned.Text() + "\n"
                : "The working copy " + session.workingCopy +
                      " was left locked by a program that ended; it was cleaned up.\n";
}

// The session's client, or false with the failure when the configuration cannot be read.
bool CreateClient(Session& session, const Credentials& credentials, const LoginSettings& settings, LoginResult& failure)
{
    try {
        session.client =
            std::make_unique<Client>(credentials.user, credentials.password,
                                     Client::Settings{settings.configFolder, credentials.acceptedCertificates});
        return true;
    } catch (const std::runtime_error& unreadable) {
        failure.code = ServerCode::kLoginFailed;
        failure.text = std::string(unreadable.what()) + "\n";
        return false;
    }
}

} // namespace

Workspace FindWorkspace(Client& client, const std::string& path, const std::string& serverUrl)
{
    Workspace found;
    Pool pool(client.PoolHandle());
    const std::string workspace = NormalPath(path);
    const char* root = nullptr;
    const char* copyOf = nullptr;
    Error error;
    if (workspace.empty() || !std::filesystem::path(workspace).is_absolute())
        error = Error(svn_error_create(SVN_ERR_WC_NOT_WORKING_COPY, nullptr, "not an absolute path"));
    else if (!(error = Error(svn_client_get_wc_root(&root, workspace.c_str(), client.Context(), pool, pool))))
        error = Error(svn_client_url_from_path2(&copyOf, root, client.Context(), pool, pool));
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

LoginResult Login(Call& call, const Credentials& credentials, const LoginSettings& settings,
                  std::unique_ptr<Session>& opened)
{
    LoginResult result;
    auto session = std::make_unique<Session>();
    if (!CreateClient(*session, credentials, settings, result)) return result;
    Client& client = *session->client;
    client.GivePasswordTo(credentials.server);
    client.SetDeadline(std::chrono::steady_clock::now() + call.Deadline());
    call.Watch(credentials.server);
    Pool pool(client.PoolHandle());

    const Workspace found = FindWorkspace(client, credentials.workspace, credentials.server);
    if (!found.problem.empty()) {
        result.code = ServerCode::kLoginFailed;
        result.text = found.problem;
        return result;
    }
    // The connection, to the working copy's root, stays open for the session's own questions.
    client.Connections().BeginCall(!call.Running().Shared());
    client.Connections().SetLife(settings.connectionLife);
    Error error = client.Connections().Ask(found.url, [](svn_ra_session_t* connection, apr_pool_t* scratch) {
        svn_revnum_t head = 0;
        return svn_ra_get_latest_revnum(connection, &head, scratch);
    });
    if (error) return LoginFailure(call, error, client, found.server, credentials.user);

    session->user = credentials.user;
    session->server = found.server;
    session->workingCopy = found.root;
    session->rootUrl = found.url;
    session->copyId = WorkingCopyId::Of(found.root);
    if (!FindLockServer(*session, call, settings.lockServer, result)) return result;
    session->changeLists = std::make_unique<ChangeListFile>(session->workingCopy);
    session->expiresAt = std::chrono::steady_clock::now() + settings.lifetime;
    // A program that died in this working copy may have left it locked, and a submit this working
    // copy lost the answer of (or whose process died) is settled at login.
    CleanUpAfterDeadProgram(*session);
    SettleLostSubmit(*session, call);
    result.settled = std::exchange(session->settled, {});
    client.ClearDeadline();
    opened = std::move(session);
    return result;
}

} // namespace standin::svn
