// RAII for APR pools, and the process-wide APR start-up every Subversion call needs first.
#pragma once

#include <apr_pools.h>

namespace standin::svn {

// Initialises APR once per process (thread safe), and ignores SIGPIPE unless the program handles
// it; later calls do nothing.
void EnsureRuntime();

class Pool {
public:
    // A top-level pool when parent is null.
    explicit Pool(apr_pool_t* parent = nullptr);
    struct OwnAllocator {};
    // A top-level pool with an allocator of its own, whose memory is freed when the pool goes
    // (other top-level pools hand theirs back to APR's global allocator, which keeps it).
    explicit Pool(OwnAllocator);
    ~Pool();
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    apr_pool_t* Get() const { return m_pool; }
    operator apr_pool_t*() const { return m_pool; }
    // Destroys the pool now rather than with this object.
    void Destroy();

private:
    apr_pool_t* m_pool;
};

} // namespace standin::svn
