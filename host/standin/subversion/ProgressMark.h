// ProgressMark: when an operation last saw its server make progress (bytes moved, a notification),
// and whether its deadline has passed. The client marks it on its own thread; the operation's
// deadline reads it, and ends it, on the watch's thread. Once ended it stays ended until the next
// operation restarts it: a call past its deadline sends nothing more, not even the abort of a
// commit that the server may still be taking.
#pragma once

#include <atomic>
#include <chrono>

namespace standin::svn {

class ProgressMark {
public:
    using Clock = std::chrono::steady_clock;

    void Restart()
    {
        m_ended = false;
        Touch();
    }
    void Touch() { m_last.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
    void End() { m_ended = true; }
    bool Ended() const { return m_ended; }
    Clock::time_point Last() const
    {
        return Clock::time_point(Clock::duration(m_last.load(std::memory_order_relaxed)));
    }

private:
    std::atomic<Clock::rep> m_last{Clock::now().time_since_epoch().count()};
    std::atomic<bool> m_ended{false};
};

} // namespace standin::svn
