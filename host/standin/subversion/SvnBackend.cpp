// The facade: each public call finds its session, opens a Call and routes to the command that
// does the work (SvnCommands.h, SvnChangeLists.h, SvnLogin.h).
#include "subversion/SvnBackend.h"

#include "subversion/DeadlineWatch.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnChangeLists.h"
#include "subversion/SvnCommands.h"
#include "subversion/SvnError.h"
#include "subversion/SvnLogin.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnProbe.h"
#include "subversion/SvnSession.h"

#include <ctime>
#include <stdexcept>
#include <utility>

namespace standin {

class SvnBackend::Call {
public:
    explicit Call(SvnBackend& backend)
        : m_backend(backend), m_sequence(backend.m_affinity, "Call"),
          m_call(*backend.m_watch, backend.m_runningMutex, backend.m_deadline)
    {
        std::lock_guard<std::mutex> lock(backend.m_runningMutex);
        backend.m_running = &m_call.Running();
    }
    ~Call()
    {
        // While this call still counts as running, so that the expiry watch leaves the clients alone.
        m_backend.DropEndedClients();
        // A connection broken off in the middle of a request may still hold it (a client that sends
        // it again on a new connection): none is kept past such a call.
        if (m_call.Running().Broken()) m_backend.CloseKeptConnections();
        std::lock_guard<std::mutex> lock(m_backend.m_runningMutex);
        m_backend.m_running = nullptr;
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    svn::Call& Context() { return m_call; }

private:
    SvnBackend& m_backend;
    ThreadAffinity::Scope m_sequence;
    svn::Call m_call;
};

SvnBackend::SvnBackend() : m_watch(std::make_unique<svn::DeadlineWatch>()) {}

SvnBackend::~SvnBackend()
{
    // The watch's actions reach into the sessions: none may run once they begin to go.
    for (const auto& entry : m_sessions)
        m_watch->Disarm(entry.second->expiry);
}

void SvnBackend::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_runningMutex);
    if (m_running) m_running->Break();
}

bool SvnBackend::Answers(const std::string& server, std::chrono::milliseconds within)
{
    return svn::ServerAnswers(server, within, m_configFolder);
}

std::string SvnBackend::WorkspaceProblem(const std::string& workspace, const std::string& server)
{
    try {
        svn::Client client("", "");
        return svn::FindWorkspace(client, workspace, server).problem;
    } catch (const std::runtime_error& unreadable) {
        return std::string(unreadable.what()) + "\n";
    }
}

qor4::StatusWord SvnBackend::WordOf(const svn::NodeInfo& node, bool remote)
{
    return svn::WordOf(node, remote);
}

LoginResult SvnBackend::OpenSession(const Credentials& credentials)
{
    Call call(*this);
    std::unique_ptr<svn::Session> session;
    LoginResult result =
        svn::Login(call.Context(), credentials, {m_configFolder, m_lockServer, m_lifetime, m_connectionLife}, session);
    if (!session) return result;
    result.session = m_nextSession++;
    session->expiry = m_watch->Arm(session->expiresAt, [this, id = result.session] { DropExpiredClient(id); });
    m_sessions.emplace(result.session, std::move(session));
    return result;
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

void SvnBackend::SetConnectionLife(std::chrono::milliseconds life)
{
    m_connectionLife = life;
    for (auto& entry : m_sessions)
        if (entry.second->client) entry.second->client->Connections().SetLife(life);
}

void SvnBackend::CloseKeptConnections()
{
    for (auto& entry : m_sessions)
        if (entry.second->client) entry.second->client->Connections().CloseAll();
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

svn::Session* SvnBackend::Enter(SessionId id, svn::Call& call, ServerResult& failure)
{
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end()) {
        failure = {qor4::kResultSessionExpired, std::string(ServerText::kNotLoggedIn) + "\n"};
        return nullptr;
    }
    svn::Session& session = *found->second;
    if (!session.Alive()) {
        // The client, its password and its connections' memory went with the session's life.
        session.client.reset();
        failure = {qor4::kResultSessionExpired,
                   ServerText::OfSession(ServerText::kSessionExpired, session.user, session.server) + "\n"};
        return nullptr;
    }
    session.Begin(call);
    return &session;
}

void SvnBackend::NoteSilence(SessionId id, svn::Call& call)
{
    if (!call.Running().DeadlinePassed() && !call.Running().Broken()) return;
    const auto found = m_sessions.find(id);
    if (found != m_sessions.end()) found->second->silentAt = std::time(nullptr);
}

template <typename Result, typename Work> Result SvnBackend::Route(SessionId id, Work work)
{
    Call call(*this);
    Result result;
    svn::Session* session = Enter(id, call.Context(), result);
    if (!session) return result;
    result = work(*session, call.Context());
    NoteSilence(id, call.Context());
    return result;
}

template <typename Result, typename Work> Result SvnBackend::RouteChange(SessionId id, Work work)
{
    Call call(*this);
    const auto once = [&] {
        Result result;
        svn::Session* session = Enter(id, call.Context(), result);
        if (!session) return result;
        session->staleWorkingCopyLock = false; // only a lock this attempt meets counts
        return work(*session, call.Context());
    };
    Result result = once();
    NoteSilence(id, call.Context());
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end()) return result;
    svn::Session& session = *found->second;
    if (session.staleWorkingCopyLock) {
        // A client that died while it worked left the working copy locked, or an operation left
        // work unfinished: clean up, and run the call again only if that stopped it before it
        // changed anything. A submit that landed before its tidy-up met the lock must not be sent
        // twice, nor its answer replaced.
        session.staleWorkingCopyLock = false;
        const bool changedNothing =
            result.Failed() && result.code != ServerCode::kPartlyDone && result.code != ServerCode::kOutcomeUnknown;
        const svn::Error cleaned = session.CleanUp();
        if (!cleaned && changedNothing) result = once();
        if (cleaned && changedNothing) {
            const ServerResult failure = svn::Failure(session, call.Context(), cleaned);
            result.code = failure.code;
            result.text = "Nothing was done: the working copy " + session.workingCopy +
                          " could not finish an earlier operation. " + failure.text;
        }
    }
    if (!session.settled.empty()) result.settled = std::exchange(session.settled, {});
    return result;
}

ServerResult SvnBackend::Edit(SessionId id, const FileList& files, const std::string& changeList)
{
    return RouteChange<ServerResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Edit(session, call, files, changeList); });
}

AddResult SvnBackend::Add(SessionId id, const FileList& files, const std::string& changeList)
{
    return RouteChange<AddResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Add(session, call, files, changeList); });
}

ServerResult SvnBackend::Delete(SessionId id, const FileList& files, const std::string& changeList)
{
    return RouteChange<ServerResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Delete(session, call, files, changeList); });
}

ServerResult SvnBackend::Revert(SessionId id, const FileList& files)
{
    return RouteChange<ServerResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Revert(session, call, files); });
}

ChangeListResult SvnBackend::Submit(SessionId id, const std::string& changeList)
{
    return RouteChange<ChangeListResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Submit(session, call, changeList); });
}

UpdateResult SvnBackend::Update(SessionId id, const FileList& files)
{
    return RouteChange<UpdateResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Update(session, call, files); });
}

ServerResult SvnBackend::MakeWritable(SessionId id, const FileList& files)
{
    return Route<ServerResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::MakeWritable(session, call, files); });
}

StatusResult SvnBackend::Status(SessionId id, const FileList& files, StatusScope scope)
{
    const bool remote = scope == StatusScope::kWithRepository;
    return Route<StatusResult>(
        id, [&](svn::Session& session, svn::Call& call) { return svn::Status(session, call, files, remote); });
}

UsersResult SvnBackend::Users(SessionId id, const FileList& files, bool)
{
    return Route<UsersResult>(id,
                              [&](svn::Session& session, svn::Call& call) { return svn::Users(session, call, files); });
}

ChangeListResult SvnBackend::CreateChangeList(SessionId id, const std::string& description)
{
    return Route<ChangeListResult>(
        id, [&](svn::Session& session, svn::Call&) { return svn::CreateChangeList(session, description); });
}

ChangeListsResult SvnBackend::PendingChangeLists(SessionId id)
{
    return Route<ChangeListsResult>(id,
                                    [](svn::Session& session, svn::Call&) { return svn::PendingChangeLists(session); });
}

DescriptionResult SvnBackend::ChangeListDescription(SessionId id, const std::string& changeList)
{
    return Route<DescriptionResult>(
        id, [&](svn::Session& session, svn::Call&) { return svn::ChangeListDescription(session, changeList); });
}

bool SvnBackend::IsChangeListValid(SessionId id, const std::string& changeList)
{
    Call call(*this);
    ServerResult failure;
    svn::Session* session = Enter(id, call.Context(), failure);
    return session && svn::CheckChangeList(*session, changeList, failure);
}

} // namespace standin
