// ThreadAffinity: for an object that belongs to one thread. Check binds it to the first thread that
// calls for good; a Scope binds it while the scope lives, for an object handed from thread to thread
// but used by one at a time. A call from another thread while the object is bound names the object,
// the call and both threads on stderr and aborts, so that a call that would race fails where it is
// made instead of corrupting state later. On in debug builds and in builds with tests
// (ZR_THREAD_CHECKS); otherwise it costs nothing.
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
        Bind(call);
#else
        (void)call;
#endif
    }

    class Scope {
    public:
        Scope(const ThreadAffinity& affinity, const char* call) : m_affinity(affinity)
        {
#ifdef ZR_THREAD_CHECKS
            m_affinity.Bind(call);
            ++m_affinity.m_depth;
#else
            (void)call;
#endif
        }
        ~Scope()
        {
#ifdef ZR_THREAD_CHECKS
            if (--m_affinity.m_depth == 0) m_affinity.m_thread.store(std::thread::id());
#endif
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        const ThreadAffinity& m_affinity;
    };

private:
    void Bind(const char* call) const
    {
        std::thread::id bound{};
        const std::thread::id self = std::this_thread::get_id();
        if (!m_thread.compare_exchange_strong(bound, self) && bound != self) Fail(call, bound);
    }
    [[noreturn]] void Fail(const char* call, std::thread::id bound) const;

    const char* m_owner;
    mutable std::atomic<std::thread::id> m_thread{};
    mutable int m_depth = 0; // open scopes, all on the bound thread
};

} // namespace standin
