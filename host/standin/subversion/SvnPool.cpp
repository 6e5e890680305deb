#include "subversion/SvnPool.h"

#include <svn_pools.h>

#include <apr_allocator.h>
#include <apr_general.h>

#include <csignal>
#include <mutex>
#include <stdexcept>

namespace standin::svn {

void EnsureRuntime()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (apr_initialize() != APR_SUCCESS) throw std::runtime_error("APR could not be initialised");
#ifdef SIGPIPE
        // A write on a connection the server (or a deadline) closed must fail, not end the program;
        // a handler the program set itself is left alone.
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
#endif
    });
}

Pool::Pool(apr_pool_t* parent)
{
    if (!parent) EnsureRuntime();
    m_pool = svn_pool_create(parent);
}

Pool::Pool(OwnAllocator)
{
    EnsureRuntime();
    apr_allocator_t* allocator = svn_pool_create_allocator(TRUE);
    m_pool = svn_pool_create_ex(nullptr, allocator);
    apr_allocator_owner_set(allocator, m_pool);
}

Pool::~Pool()
{
    Destroy();
}

void Pool::Destroy()
{
    if (m_pool) svn_pool_destroy(m_pool);
    m_pool = nullptr;
}

} // namespace standin::svn
