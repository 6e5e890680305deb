#include "DeadlineWatch.h"

namespace standin::svn {

DeadlineWatch::DeadlineWatch() : m_thread([this] { Loop(); }) {}

DeadlineWatch::~DeadlineWatch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

void DeadlineWatch::Arm(Clock::time_point deadline, std::function<void()> action)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deadline = deadline;
        m_action = std::move(action);
    }
    m_changed.notify_one();
}

void DeadlineWatch::Loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (!m_action) {
            m_changed.wait(lock);
            continue;
        }
        if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_action &&
            Clock::now() >= m_deadline) {
            std::function<void()> action = std::move(m_action);
            m_action = nullptr;
            lock.unlock();
            action();
            lock.lock();
        }
    }
}

} // namespace standin::svn
