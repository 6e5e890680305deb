// Call: one public call of the Subversion backend, as the work it runs sees it. Its operation
// (deadline, connections) is the one Interrupt breaks while the call lives.
#pragma once

#include "subversion/SvnOperation.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace standin::svn {

class Call {
public:
    // guard: the mutex under which another thread breaks the call's connections (Interrupt).
    Call(DeadlineWatch& watch, std::mutex& guard, std::chrono::milliseconds deadline);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // However long the server keeps showing progress, a call ends at this many deadlines.
    static constexpr int kCapInDeadlines = 20;

    // From now, the deadline follows progress (bytes, notifications) the client marks, up to the
    // cap; without it, the deadline is from now whatever the server shows.
    void FollowProgress(std::shared_ptr<ProgressMark> progress);
    // Arms the deadline, from now, against server (and the lock server, when another).
    void Watch(const std::string& server, const std::string& lockServer = std::string());
    bool DeadlinePassed() const;
    // The call ran into its cap (the server may still have been working).
    bool CapPassed() const;
    // How long the call may wait for its server to show progress.
    std::chrono::milliseconds Deadline() const { return m_deadline; }
    std::chrono::milliseconds Cap() const { return m_deadline * kCapInDeadlines; }
    Operation& Running() { return m_operation; }

private:
    Operation m_operation;
    std::mutex& m_guard;
    std::chrono::milliseconds m_deadline;
    std::shared_ptr<ProgressMark> m_progress;
    DeadlineWatch::Clock::time_point m_cap = DeadlineWatch::Clock::time_point::max();
};

} // namespace standin::svn
