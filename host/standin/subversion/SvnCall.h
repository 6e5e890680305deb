// Call: one public call of the Subversion backend, as the work it runs sees it. Its operation
// (deadline, connections) is the one Interrupt breaks while the call lives.
#pragma once

#include "subversion/SvnOperation.h"

#include <chrono>
#include <mutex>
#include <string>

namespace standin::svn {

class Call {
public:
    // guard: the mutex under which another thread breaks the call's connections (Interrupt).
    Call(DeadlineWatch& watch, std::mutex& guard, std::chrono::milliseconds deadline);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // Arms the deadline, from now, against server (and the lock server, when another).
    void Watch(const std::string& server, const std::string& lockServer = std::string());
    bool DeadlinePassed() const;
    // How long the call may wait for its server.
    std::chrono::milliseconds Deadline() const { return m_deadline; }
    Operation& Running() { return m_operation; }

private:
    Operation m_operation;
    std::mutex& m_guard;
    std::chrono::milliseconds m_deadline;
};

} // namespace standin::svn
