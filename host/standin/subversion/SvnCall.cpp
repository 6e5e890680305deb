#include "subversion/SvnCall.h"

#include <vector>

namespace standin::svn {

Call::Call(DeadlineWatch& watch, std::mutex& guard, std::chrono::milliseconds deadline)
    : m_operation(watch), m_guard(guard), m_deadline(deadline)
{
}

void Call::Watch(const std::string& server, const std::string& lockServer)
{
    std::vector<std::string> servers{server};
    if (!lockServer.empty() && lockServer != server) servers.push_back(lockServer);
    std::lock_guard<std::mutex> lock(m_guard);
    m_operation.Watch(servers, m_deadline, m_progress, m_cap);
}

void Call::FollowProgress(std::shared_ptr<ProgressMark> progress)
{
    m_progress = std::move(progress);
    m_cap = DeadlineWatch::Clock::now() + Cap();
}

bool Call::CapPassed() const
{
    std::lock_guard<std::mutex> lock(m_guard);
    return m_operation.CapPassed() || DeadlineWatch::Clock::now() >= m_cap;
}

bool Call::DeadlinePassed() const
{
    std::lock_guard<std::mutex> lock(m_guard);
    return m_operation.DeadlinePassed();
}

} // namespace standin::svn
