// OperationScope: what the operation running on this thread may be asked, set by whoever runs it:
// whether the user cancelled it. Backends poll it while they wait (Subversion's cancel callback,
// simulated slowness), so that Cancel interrupts even a wait on a server that does not answer.
#pragma once

#include "HostExport.h"

#include <atomic>

namespace standin {

class HOST_API OperationScope {
public:
    // Makes cancelled the flag of the operations this thread runs while the scope lives.
    explicit OperationScope(const std::atomic<bool>& cancelled);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

    // True when the operation running on this thread was cancelled (false outside any scope).
    static bool Cancelled();

private:
    const std::atomic<bool>* m_previous;
};

} // namespace standin
