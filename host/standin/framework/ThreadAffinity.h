// ThreadAffinity: for an object that belongs to one thread. The first Check binds it to the thread
// that calls; a Check from any other thread names the object, the call and both threads on stderr
// and aborts, so that a call that would race fails where it is made instead of corrupting state
// later. On in debug builds and in builds with tests (ZR_THREAD_CHECKS); otherwise it costs nothing.
#pragma once

#include "HostExport.h"

#include <atomic>
#include <thread>

namespace standin {

class HOST_API ThreadAffinity {
public:
    explicit ThreadAffinity(const char* owner) : m_owner(owner) {}
    ThreadAffinity(const ThreadAffinity&) = delete;
    ThreadAffinity& operator=(const ThreadAffinity&) = delete;

    void Check(const char* call) const
    {
#ifdef ZR_THREAD_CHECKS
        std::thread::id bound{};
        const std::thread::id self = std::this_thread::get_id();
        if (!m_thread.compare_exchange_strong(bound, self) && bound != self) Fail(call, bound);
#else
        (void)call;
#endif
    }

private:
    [[noreturn]] void Fail(const char* call, std::thread::id bound) const;

    const char* m_owner;
    mutable std::atomic<std::thread::id> m_thread{};
};

} // namespace standin
