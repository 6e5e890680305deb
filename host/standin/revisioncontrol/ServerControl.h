// ServerControl: what the thread that runs a backend asks of it beside the operations, from threads
// of its own. Only the worker (WorkerBackend) uses it; the decorators between the worker and the
// backend never see it.
#pragma once

#include "HostExport.h"

#include <chrono>
#include <string>

namespace standin {

class HOST_API ServerControl {
public:
    virtual ~ServerControl() = default;

    // Called from another thread while an operation runs, after its OperationScope was cancelled:
    // breaks off what the operation waits for (its connections to the server).
    virtual void Interrupt() = 0;
    // Thread safe, needs no session: whether the server at the URL answers within the time (a
    // connection and the server's first reply; refusing credentials is an answer).
    virtual bool Answers(const std::string& server, std::chrono::milliseconds within) = 0;
};

} // namespace standin
