// DeadlineWatch: a thread that runs an action once a deadline has passed, unless the watch was
// armed again first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace standin::svn {

class DeadlineWatch {
public:
    using Clock = std::chrono::steady_clock;

    DeadlineWatch();
    ~DeadlineWatch();
    DeadlineWatch(const DeadlineWatch&) = delete;
    DeadlineWatch& operator=(const DeadlineWatch&) = delete;

    // Replaces what was armed before.
    void Arm(Clock::time_point deadline, std::function<void()> action);

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Clock::time_point m_deadline = Clock::time_point::max();
    std::function<void()> m_action;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace standin::svn
