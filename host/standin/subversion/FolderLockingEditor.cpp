#include "subversion/FolderLockingEditor.h"

#include <svn_dirent_uri.h>

// The access-baton calls are the working-copy API's deprecated ones.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace standin::svn {

namespace {

struct Edit {
    const svn_delta_editor_t* inner;
    void* innerBaton;
    svn_wc_adm_access_t* anchorAccess;
    const char* anchor;
};

// A folder's baton: the inner editor's, with the edit it belongs to.
struct Folder {
    Edit* edit;
    void* inner;
};

void* Wrap(Edit* edit, void* inner, apr_pool_t* pool)
{
    auto* folder = static_cast<Folder*>(apr_palloc(pool, sizeof(Folder)));
    folder->edit = edit;
    folder->inner = inner;
    return folder;
}

Folder& Of(void* baton)
{
    return *static_cast<Folder*>(baton);
}

svn_error_t* SetTargetRevision(void* editBaton, svn_revnum_t revision, apr_pool_t* pool)
{
    auto* edit = static_cast<Edit*>(editBaton);
    return edit->inner->set_target_revision(edit->innerBaton, revision, pool);
}

svn_error_t* OpenRoot(void* editBaton, svn_revnum_t base, apr_pool_t* pool, void** rootBaton)
{
    auto* edit = static_cast<Edit*>(editBaton);
    void* inner = nullptr;
    SVN_ERR(edit->inner->open_root(edit->innerBaton, base, pool, &inner));
    *rootBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* DeleteEntry(const char* path, svn_revnum_t revision, void* parent, apr_pool_t* pool)
{
    return Of(parent).edit->inner->delete_entry(path, revision, Of(parent).inner, pool);
}

svn_error_t* AddDirectory(const char* path, void* parent, const char* copyFrom, svn_revnum_t copyFromRevision,
                          apr_pool_t* pool, void** childBaton)
{
    Edit* edit = Of(parent).edit;
    void* inner = nullptr;
    SVN_ERR(edit->inner->add_directory(path, Of(parent).inner, copyFrom, copyFromRevision, pool, &inner));
    *childBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

// The only step of the working copy's update editor that asks for the folder's write lock.
svn_error_t* OpenDirectory(const char* path, void* parent, svn_revnum_t base, apr_pool_t* pool, void** childBaton)
{
    Edit* edit = Of(parent).edit;
    const char* folder = svn_dirent_join(edit->anchor, path, pool);
    svn_wc_adm_access_t* held = nullptr;
    svn_error_t* missing = svn_wc_adm_retrieve(&held, edit->anchorAccess, folder, pool);
    if (missing) {
        svn_error_clear(missing);
        SVN_ERR(svn_wc_adm_open3(&held, edit->anchorAccess, folder, TRUE, 0, nullptr, nullptr,
                                 svn_wc_adm_access_pool(edit->anchorAccess)));
    }
    void* inner = nullptr;
    SVN_ERR(edit->inner->open_directory(path, Of(parent).inner, base, pool, &inner));
    *childBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* ChangeDirProp(void* folder, const char* name, const svn_string_t* value, apr_pool_t* pool)
{
    return Of(folder).edit->inner->change_dir_prop(Of(folder).inner, name, value, pool);
}

svn_error_t* CloseDirectory(void* folder, apr_pool_t* pool)
{
    return Of(folder).edit->inner->close_directory(Of(folder).inner, pool);
}

svn_error_t* AbsentDirectory(const char* path, void* parent, apr_pool_t* pool)
{
    return Of(parent).edit->inner->absent_directory(path, Of(parent).inner, pool);
}

// Files keep the inner editor's batons: their steps go to it unchanged.
svn_error_t* AddFile(const char* path, void* parent, const char* copyFrom, svn_revnum_t copyFromRevision,
                     apr_pool_t* pool, void** fileBaton)
{
    return Of(parent).edit->inner->add_file(path, Of(parent).inner, copyFrom, copyFromRevision, pool, fileBaton);
}

svn_error_t* OpenFile(const char* path, void* parent, svn_revnum_t base, apr_pool_t* pool, void** fileBaton)
{
    return Of(parent).edit->inner->open_file(path, Of(parent).inner, base, pool, fileBaton);
}

svn_error_t* AbsentFile(const char* path, void* parent, apr_pool_t* pool)
{
    return Of(parent).edit->inner->absent_file(path, Of(parent).inner, pool);
}

svn_error_t* CloseEdit(void* editBaton, apr_pool_t* pool)
{
    auto* edit = static_cast<Edit*>(editBaton);
    return edit->inner->close_edit(edit->innerBaton, pool);
}

svn_error_t* AbortEdit(void* editBaton, apr_pool_t* pool)
{
    auto* edit = static_cast<Edit*>(editBaton);
    return edit->inner->abort_edit(edit->innerBaton, pool);
}

} // namespace

void WrapWithFolderLocks(const svn_delta_editor_t* inner, void* innerBaton, svn_wc_adm_access_t* anchorAccess,
                         const char* anchor, const svn_delta_editor_t** editor, void** editBaton, apr_pool_t* pool)
{
    auto* edit = static_cast<Edit*>(apr_palloc(pool, sizeof(Edit)));
    *edit = {inner, innerBaton, anchorAccess, anchor};
    svn_delta_editor_t* wrapped = svn_delta_default_editor(pool);
    wrapped->set_target_revision = SetTargetRevision;
    wrapped->open_root = OpenRoot;
    wrapped->delete_entry = DeleteEntry;
    wrapped->add_directory = AddDirectory;
    wrapped->open_directory = OpenDirectory;
    wrapped->change_dir_prop = ChangeDirProp;
    wrapped->close_directory = CloseDirectory;
    wrapped->absent_directory = AbsentDirectory;
    wrapped->add_file = AddFile;
    wrapped->open_file = OpenFile;
    wrapped->apply_textdelta = inner->apply_textdelta;
    wrapped->change_file_prop = inner->change_file_prop;
    wrapped->close_file = inner->close_file;
    wrapped->absent_file = AbsentFile;
    wrapped->close_edit = CloseEdit;
    wrapped->abort_edit = AbortEdit;
    wrapped->apply_textdelta_stream = inner->apply_textdelta_stream;
    *editor = wrapped;
    *editBaton = edit;
}

} // namespace standin::svn
