// Operation: one call of the Subversion backend against its server, with a deadline of its own.
//
// The deadline is armed on a watch shared by the backend's calls and disarmed when the call ends,
// so it fires only while its call runs. Firing, or the user's Cancel, breaks the connections the
// call may own: every connection of this process to its servers when no other call of the process
// talked to one of them as it began, else only those opened after it began. A call has one server,
// or two behind a replica (the replica for data, its master for locks).
#pragma once

#include "subversion/DeadlineWatch.h"
#include "subversion/ProgressMark.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace standin::svn {

class Operation {
public:
    explicit Operation(DeadlineWatch& watch);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // (Re)arms the deadline, now plus deadline, against the servers. With progress, the deadline
    // is put off while the server shows progress, up to cap.
    void Watch(const std::vector<std::string>& servers, std::chrono::milliseconds deadline,
               std::shared_ptr<ProgressMark> progress = nullptr,
               DeadlineWatch::Clock::time_point cap = DeadlineWatch::Clock::time_point::max());
    // Thread safe: breaks this call's connections, as the class comment says.
    void Break() const;
    bool DeadlinePassed() const;
    // The deadline passed at the cap, while the server still showed progress.
    bool CapPassed() const;
    // Its connections were broken off (the deadline, or Interrupt).
    bool Broken() const;
    // Another call to one of the servers was running when this one was armed: this call's deadline
    // then spares the connections that were open before it.
    bool Shared() const;

    struct State;

private:
    void Release();

    DeadlineWatch& m_watch;
    std::shared_ptr<State> m_state;
    DeadlineWatch::Ticket m_ticket = 0;
};

} // namespace standin::svn
