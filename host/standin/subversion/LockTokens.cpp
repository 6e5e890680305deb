#include "subversion/LockTokens.h"

#include <svn_dirent_uri.h>
#include <svn_wc.h>

#include <functional>

namespace standin::svn {

namespace {

// Runs change with the write lock of file's folder, which writing a token needs and which only the
// access-baton calls take.
Error WithFolderLocked(Client& client, const std::string& file,
                       const std::function<svn_error_t*(svn_wc_adm_access_t*, apr_pool_t*)>& change)
{
    Pool pool(client.PoolHandle());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    svn_wc_adm_access_t* access = nullptr;
    Error failed(svn_wc_adm_open3(&access, nullptr, svn_dirent_dirname(file.c_str(), pool), TRUE, 0,
                                  client.Context()->cancel_func, client.Context()->cancel_baton, pool));
    if (failed) return failed;
    failed = Error(change(access, pool));
    Error closed(svn_wc_adm_close2(access, pool));
#pragma GCC diagnostic pop
    return failed ? std::move(failed) : std::move(closed);
}

} // namespace

Error KeepToken(Client& client, const std::string& file, const svn_lock_t& lock)
{
    return WithFolderLocked(client, file, [&](svn_wc_adm_access_t* access, apr_pool_t* pool) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return svn_wc_add_lock(file.c_str(), &lock, access, pool);
#pragma GCC diagnostic pop
    });
}

Error DropToken(Client& client, const std::string& file)
{
    return WithFolderLocked(client, file, [&](svn_wc_adm_access_t* access, apr_pool_t* pool) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return svn_wc_remove_lock(file.c_str(), access, pool);
#pragma GCC diagnostic pop
    });
}

} // namespace standin::svn
