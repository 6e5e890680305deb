#include "subversion/SvnPool.h"

#include <svn_pools.h>

#include <apr_allocator.h>
#include <apr_general.h>

#include <mutex>
#include <stdexcept>

namespace standin::svn {

void EnsureRuntime()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (apr_initialize() != APR_SUCCESS) throw std::runtime_error("APR could not be initialised");
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
