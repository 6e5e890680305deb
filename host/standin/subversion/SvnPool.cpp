#include "SvnPool.h"

#include <svn_pools.h>

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

Pool::~Pool()
{
    svn_pool_destroy(m_pool);
}

} // namespace standin::svn
