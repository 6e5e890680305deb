#include "subversion/DeadlineWatch.h"

#include <algorithm>

namespace standin::svn {

DeadlineWatch::DeadlineWatch() : m_thread([this] { Loop(); }) {}

DeadlineWatch::~DeadlineWatch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

DeadlineWatch::Ticket DeadlineWatch::Arm(Clock::time_point deadline, std::function<void()> action)
{
    return Arm(deadline, Renewing([action = std::move(action)]() -> std::optional<Clock::time_point> {
                   action();
                   return std::nullopt;
               }));
}

DeadlineWatch::Ticket DeadlineWatch::Arm(Clock::time_point deadline, Renewing action)
{
    Ticket ticket = 0;
    bool sooner = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ticket = m_next++;
        m_armed.emplace(ticket, Entry{deadline, std::move(action)});
        sooner = deadline < m_wakeAt;
    }
    if (sooner) m_changed.notify_all();
    return ticket;
}

void DeadlineWatch::Disarm(Ticket ticket)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_armed.erase(ticket);
    if (m_firing == ticket) m_firingDisarmed = true;
    // An action that already started finishes before its operation may go on.
    m_changed.wait(lock, [&] { return m_firing != ticket; });
}

void DeadlineWatch::Loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (m_armed.empty()) {
            m_wakeAt = Clock::time_point::max();
            m_changed.wait(lock);
            continue;
        }
        const auto earliest = std::min_element(m_armed.begin(), m_armed.end(), [](const auto& a, const auto& b) {
            return a.second.deadline < b.second.deadline;
        });
        // A copy: the entry may be disarmed (erased) while this thread waits.
        const Clock::time_point deadline = earliest->second.deadline;
        if (Clock::now() < deadline) {
            m_wakeAt = deadline;
            m_changed.wait_until(lock, deadline);
            continue;
        }
        const Ticket ticket = earliest->first;
        Renewing action = std::move(earliest->second.action);
        m_armed.erase(earliest);
        m_firing = ticket;
        m_firingDisarmed = false;
        lock.unlock();
        const std::optional<Clock::time_point> again = action();
        lock.lock();
        if (again && !m_firingDisarmed) m_armed.emplace(ticket, Entry{*again, std::move(action)});
        m_firing = 0;
        m_changed.notify_all();
    }
}

} // namespace standin::svn
