#include "subversion/SvnOperation.h"

#include "subversion/ConnectionBreaker.h"

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
    std::vector<std::string> servers;
    // This process's sockets when the call began, taken only when another call was running then:
    // alone, every connection to the server is this call's. Of calls that overlap, the one that began
    // first may break the connections of the other.
    std::set<std::string> before;
    std::atomic<bool> deadlinePassed{false};

    void Break() const
    {
        for (const std::string& server : servers)
            BreakConnections(server, before);
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
    for (const std::string& server : m_state->servers) {
        const auto found = g_running.find(server);
        if (found != g_running.end()) g_running.erase(found);
    }
    m_state.reset();
}

void Operation::Watch(const std::vector<std::string>& servers, std::chrono::milliseconds deadline)
{
    Release();
    auto state = std::make_shared<State>();
    state->servers = servers;
    {
        std::lock_guard<std::mutex> lock(g_runningMutex);
        bool shared = false;
        for (const std::string& server : servers)
            shared = shared || g_running.count(server) != 0;
        if (shared) state->before = OwnSockets();
        for (const std::string& server : servers)
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
