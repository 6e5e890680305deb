// DemoHost's simulations of server trouble (slow operations, an expired session, a frozen
// server, a changed password) and the connection the user makes and ends by hand.
#include "DemoHost.h"

#include "CZRRevisionControlPropertiesMgr.h"

#include "revisioncontrol/WorkerBackend.h"
#include "testkit/FaultyBackend.h"
#include "testkit/RepositoryServer.h"

#include <chrono>
#include <thread>

namespace demo {

namespace {

constexpr std::chrono::seconds kServerBackWithin{10};

// Operations that take a while when slow operations are switched on.
const char* const kSlowOperations[] = {standin::ServerOp::kEdit, standin::ServerOp::kAdd, standin::ServerOp::kDelete,
                                       standin::ServerOp::kRevert, standin::ServerOp::kMakeWritable};

} // namespace

void DemoHost::SetSlowOperations(bool slow)
{
    m_slow = slow;
    if (slow || m_host->Faults()->Plugged()) {
        const std::shared_ptr<standin::FaultyBackend> faults = m_host->Faults()->Faults();
        for (const char* operation : kSlowOperations)
            faults->SetSlow(operation, slow ? kSlowOperationMs : 0);
    }
    EndIdleSimulations();
}

void DemoHost::ExpireSession()
{
    const standin::SessionId session = Session();
    if (!session) return;
    m_expiredSession = session;
    m_host->Faults()->Faults()->ExpireSession(session);
}

void DemoHost::EndIdleSimulations()
{
    // An expired session the data control left may still be asked for (a background refresh):
    // without the decorator the Subversion backend answers it as a closed one, -34 all the same.
    if (!m_slow && m_expiredSession == 0) m_host->Faults()->Unplug();
}

void DemoHost::Disconnect()
{
    if (const standin::SessionId session = Session()) m_session->Backend().CloseSession(session);
    m_properties->SetAccountProperties(m_user, ServerUrl(), Workspace());
}

ConnectResult DemoHost::Connect(const std::string& password)
{
    const standin::ModelSession::LoginOutcome login = m_session->Login(m_user, password, ServerUrl(), Workspace());
    return {login.Succeeded(), login.message};
}

bool DemoHost::FreezeServer(bool frozen)
{
    if (!m_server || !m_server->Running() || !m_server->Freeze(frozen)) return false;
    // A Cancel in front of the stopped server makes the host wait for it to answer again.
    const standin::WorkerBackend* worker = &m_session->Worker();
    const auto giveUp = std::chrono::steady_clock::now() + kServerBackWithin;
    while (!frozen && worker && worker->WaitingForServer() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return frozen || !worker || !worker->WaitingForServer();
}

bool DemoHost::ChangeServerPassword(const std::string& password)
{
    // A connection that logged in before the change stays logged in; restarting the server ends
    // them, as an administrator who changes a password to shut a session out does.
    std::string error;
    return m_server && m_server->SetPassword(m_user, password) && m_server->Restart(error);
}

} // namespace demo
