// DeadlineWatch: a thread that runs each armed action once its deadline has passed, unless it was
// disarmed first. Each arming is its own: disarming one never touches another. An action may put
// its own deadline off by returning the next one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace standin::svn {

class DeadlineWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Ticket = std::uint64_t; // 0 is no ticket
    // Returns when to run again, or nothing when it is done.
    using Renewing = std::function<std::optional<Clock::time_point>()>;

    DeadlineWatch();
    ~DeadlineWatch();
    DeadlineWatch(const DeadlineWatch&) = delete;
    DeadlineWatch& operator=(const DeadlineWatch&) = delete;

    Ticket Arm(Clock::time_point deadline, std::function<void()> action);
    Ticket Arm(Clock::time_point deadline, Renewing action);
    // After Disarm returns, the ticket's action is not running and will not run. Unknown and fired
    // tickets are ignored.
    void Disarm(Ticket ticket);

private:
    struct Entry {
        Clock::time_point deadline;
        Renewing action;
    };
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<Ticket, Entry> m_armed;
    Ticket m_next = 1;
    Ticket m_firing = 0;           // the ticket whose action runs now
    bool m_firingDisarmed = false; // and it was disarmed meanwhile: not to be armed again
    // When the thread wakes by itself; an arming with a later deadline need not wake it (an
    // operation arms its deadline at every call).
    Clock::time_point m_wakeAt = Clock::time_point::max();
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace standin::svn
