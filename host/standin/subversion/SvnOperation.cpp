#include "subversion/SvnOperation.h"

#include "subversion/ConnectionBreaker.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
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
    // The thread the call runs on: at the deadline, the socket it waits on is broken whatever
    // server it leads to, one the call did not name included (a repository's external).
    long thread = 0;
    bool shared = false;
    std::atomic<bool> deadlinePassed{false};
    std::atomic<bool> capPassed{false};
    std::atomic<bool> broken{false};
    std::shared_ptr<ProgressMark> progress;
    std::chrono::milliseconds idle{0};
    DeadlineWatch::Clock::time_point cap;

    // The next deadline while the server shows progress, else nothing: the deadline has passed.
    std::optional<DeadlineWatch::Clock::time_point> PutOff()
    {
        const auto now = DeadlineWatch::Clock::now();
        if (!progress) return std::nullopt;
        const auto next = progress->Last() + idle;
        if (next <= now) return std::nullopt;
        if (now >= cap) {
            capPassed = true;
            return std::nullopt;
        }
        return std::min(next, cap);
    }

    void Break()
    {
        broken = true;
        for (const std::string& server : servers)
            BreakConnections(server, before);
        BreakWaitingSocket(thread);
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

void Operation::Watch(const std::vector<std::string>& servers, std::chrono::milliseconds deadline,
                      std::shared_ptr<ProgressMark> progress, DeadlineWatch::Clock::time_point cap)
{
    Release();
    auto state = std::make_shared<State>();
    state->servers = servers;
    state->thread = CurrentThread();
    state->progress = std::move(progress);
    state->idle = deadline;
    state->cap = cap;
    {
        std::lock_guard<std::mutex> lock(g_runningMutex);
        bool shared = false;
        for (const std::string& server : servers)
            shared = shared || g_running.count(server) != 0;
        if (shared) state->before = OwnSockets();
        state->shared = shared;
        for (const std::string& server : servers)
            g_running.insert(server);
    }
    m_state = state;
    const auto first = std::min(DeadlineWatch::Clock::now() + deadline, cap);
    m_ticket = m_watch.Arm(first, DeadlineWatch::Renewing([state]() -> std::optional<DeadlineWatch::Clock::time_point> {
                               if (const auto later = state->PutOff()) return later;
                               state->deadlinePassed = true;
                               if (state->progress) state->progress->End();
                               state->Break();
                               return std::nullopt;
                           }));
}

void Operation::Break() const
{
    if (m_state) m_state->Break();
}

bool Operation::DeadlinePassed() const
{
    return m_state && m_state->deadlinePassed;
}

bool Operation::Broken() const
{
    return m_state && m_state->broken;
}

bool Operation::Shared() const
{
    return m_state && m_state->shared;
}

bool Operation::CapPassed() const
{
    return m_state && m_state->capPassed;
}

} // namespace standin::svn
