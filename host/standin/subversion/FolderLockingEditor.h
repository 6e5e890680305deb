// An update editor that takes the write lock of each folder the server's edit opens, just before
// the working copy's update editor changes it: an update then locks what it changes, not the
// whole tree (whose access-baton locks cost a database write per folder of the working copy).
#pragma once

#include <svn_delta.h>
#include <svn_wc.h>

namespace standin::svn {

// Wraps inner (driven on anchor, whose lock anchorAccess holds); the folders' access batons join
// anchorAccess's set and are released with it.
void WrapWithFolderLocks(const svn_delta_editor_t* inner, void* innerBaton, svn_wc_adm_access_t* anchorAccess,
                         const char* anchor, const svn_delta_editor_t** editor, void** editBaton, apr_pool_t* pool);

} // namespace standin::svn
