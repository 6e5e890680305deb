// ProgressMark: when an operation last saw its server make progress (bytes moved, a notification).
// The client marks it on its own thread; the operation's deadline reads it on the watch's thread.
#pragma once

#include <atomic>
#include <chrono>

namespace standin::svn {

class ProgressMark {
public:
    using Clock = std::chrono::steady_clock;

    void Touch() { m_last.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
    Clock::time_point Last() const
    {
        return Clock::time_point(Clock::duration(m_last.load(std::memory_order_relaxed)));
    }

private:
    std::atomic<Clock::rep> m_last{Clock::now().time_since_epoch().count()};
};

} // namespace standin::svn
