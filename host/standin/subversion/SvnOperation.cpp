#include "SvnOperation.h"

#include "ConnectionBreaker.h"

#include <atomic>
#include <mutex>
#include <set>

namespace standin::svn {

namespace {
// The servers of the calls running in this process, once per call.
std::mutex g_runningMutex;
std::multiset<std::string> g_running;
} // namespace

struct Operation::State {
    std::string server;
    std::set<std::string> before; // this process's connections to server when the call began
    std::atomic<bool> deadlinePassed{false};

    void Break() const
    {
        bool alone = true;
        {
            std::lock_guard<std::mutex> lock(g_runningMutex);
            alone = g_running.count(server) <= 1;
        }
        BreakConnections(server, alone ? std::set<std::string>() : before);
    }
};

Operation::Operation(DeadlineWatch& watch) : m_watch(watch) {}

Operation::~Operation()
{
    Release();
}

void Operation::Release()
{
    if (m_ticket) m_watch.Disarm(m_ticket);
    m_ticket = 0;
    if (!m_state) return;
    std::lock_guard<std::mutex> lock(g_runningMutex);
    const auto found = g_running.find(m_state->server);
    if (found != g_running.end()) g_running.erase(found);
}

void Operation::Watch(const std::string& server, std::chrono::milliseconds deadline)
{
    Release();
    auto state = std::make_shared<State>();
    state->server = server;
    state->before = ConnectionsTo(server);
    {
        std::lock_guard<std::mutex> lock(g_runningMutex);
        g_running.insert(server);
    }
    m_state = state;
    m_ticket = m_watch.Arm(DeadlineWatch::Clock::now() + deadline, [state] {
        state->deadlinePassed = true;
        state->Break();
    });
}

void Operation::Break() const
{
    if (m_state) m_state->Break();
}

bool Operation::DeadlinePassed() const
{
    return m_state && m_state->deadlinePassed;
}

} // namespace standin::svn
