#include "subversion/UnwritableNameEditor.h"

#include <svn_dirent_uri.h>
#include <svn_wc.h>

#include <climits>
#include <cstring>
#include <unistd.h>

namespace standin::svn {

namespace {

constexpr long kCommonNameMax = 255; // when the file system does not say

struct Edit {
    const svn_delta_editor_t* inner;
    void* innerBaton;
    const char* anchor;
    std::size_t anchorLength;
    long nameMax;
    std::vector<std::string>* leftOut;
};

// A folder's or file's baton: the inner editor's, null for one left out (a folder with all in it).
struct Node {
    Edit* edit;
    void* inner;
};

void* Wrap(Edit* edit, void* inner, apr_pool_t* pool)
{
    auto* node = static_cast<Node*>(apr_palloc(pool, sizeof(Node)));
    *node = {edit, inner};
    return node;
}

Node& Of(void* baton)
{
    return *static_cast<Node*>(baton);
}

bool LeftOut(void* node)
{
    return Of(node).inner == nullptr;
}

// Why the working copy cannot take path (from the anchor): its last part is the administrative
// folder's name, or beyond the file system's limit, or the whole path beyond the system's. Null
// when it can. Asked of every node an update touches: it measures, and builds no path.
const char* Unwritable(const Edit& edit, const char* path, apr_pool_t* pool)
{
    const char* name = svn_relpath_basename(path, nullptr);
    if (svn_wc_is_adm_dir(name, pool)) return "its name is the working copy's own folder's";
    if (static_cast<long>(std::strlen(name)) > edit.nameMax || edit.anchorLength + 1 + std::strlen(path) >= PATH_MAX)
        return "its name is longer than this disk allows";
    return nullptr;
}

// Whether the step on path, below parent, is left out: its parent is, or the working copy cannot
// take the path. An addition left out is named in leftOut with the reason.
bool Skipped(void* parent, const char* path, bool adds, apr_pool_t* pool)
{
    if (LeftOut(parent)) return true;
    Edit& edit = *Of(parent).edit;
    const char* reason = Unwritable(edit, path, pool);
    if (!reason) return false;
    if (adds)
        edit.leftOut->push_back(std::string(svn_dirent_join(edit.anchor, path, pool)) + " - " + reason +
                                "; it was not brought.\n");
    return true;
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
    if (Skipped(parent, path, false, pool)) return SVN_NO_ERROR;
    return Of(parent).edit->inner->delete_entry(path, revision, Of(parent).inner, pool);
}

svn_error_t* AddDirectory(const char* path, void* parent, const char* copyFrom, svn_revnum_t copyFromRevision,
                          apr_pool_t* pool, void** childBaton)
{
    Edit* edit = Of(parent).edit;
    void* inner = nullptr;
    if (!Skipped(parent, path, true, pool))
        SVN_ERR(edit->inner->add_directory(path, Of(parent).inner, copyFrom, copyFromRevision, pool, &inner));
    *childBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* OpenDirectory(const char* path, void* parent, svn_revnum_t base, apr_pool_t* pool, void** childBaton)
{
    Edit* edit = Of(parent).edit;
    void* inner = nullptr;
    if (!Skipped(parent, path, false, pool))
        SVN_ERR(edit->inner->open_directory(path, Of(parent).inner, base, pool, &inner));
    *childBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* ChangeDirProp(void* folder, const char* name, const svn_string_t* value, apr_pool_t* pool)
{
    if (LeftOut(folder)) return SVN_NO_ERROR;
    return Of(folder).edit->inner->change_dir_prop(Of(folder).inner, name, value, pool);
}

svn_error_t* CloseDirectory(void* folder, apr_pool_t* pool)
{
    if (LeftOut(folder)) return SVN_NO_ERROR;
    return Of(folder).edit->inner->close_directory(Of(folder).inner, pool);
}

svn_error_t* AbsentDirectory(const char* path, void* parent, apr_pool_t* pool)
{
    if (Skipped(parent, path, false, pool)) return SVN_NO_ERROR;
    return Of(parent).edit->inner->absent_directory(path, Of(parent).inner, pool);
}

svn_error_t* AddFile(const char* path, void* parent, const char* copyFrom, svn_revnum_t copyFromRevision,
                     apr_pool_t* pool, void** fileBaton)
{
    Edit* edit = Of(parent).edit;
    void* inner = nullptr;
    if (!Skipped(parent, path, true, pool))
        SVN_ERR(edit->inner->add_file(path, Of(parent).inner, copyFrom, copyFromRevision, pool, &inner));
    *fileBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* OpenFile(const char* path, void* parent, svn_revnum_t base, apr_pool_t* pool, void** fileBaton)
{
    Edit* edit = Of(parent).edit;
    void* inner = nullptr;
    if (!Skipped(parent, path, false, pool))
        SVN_ERR(edit->inner->open_file(path, Of(parent).inner, base, pool, &inner));
    *fileBaton = Wrap(edit, inner, pool);
    return SVN_NO_ERROR;
}

svn_error_t* AbsentFile(const char* path, void* parent, apr_pool_t* pool)
{
    if (Skipped(parent, path, false, pool)) return SVN_NO_ERROR;
    return Of(parent).edit->inner->absent_file(path, Of(parent).inner, pool);
}

svn_error_t* ApplyTextDelta(void* file, const char* baseChecksum, apr_pool_t* pool,
                            svn_txdelta_window_handler_t* handler, void** handlerBaton)
{
    if (!LeftOut(file))
        return Of(file).edit->inner->apply_textdelta(Of(file).inner, baseChecksum, pool, handler, handlerBaton);
    *handler = svn_delta_noop_window_handler;
    *handlerBaton = nullptr;
    return SVN_NO_ERROR;
}

svn_error_t* ChangeFileProp(void* file, const char* name, const svn_string_t* value, apr_pool_t* pool)
{
    if (LeftOut(file)) return SVN_NO_ERROR;
    return Of(file).edit->inner->change_file_prop(Of(file).inner, name, value, pool);
}

svn_error_t* CloseFile(void* file, const char* checksum, apr_pool_t* pool)
{
    if (LeftOut(file)) return SVN_NO_ERROR;
    return Of(file).edit->inner->close_file(Of(file).inner, checksum, pool);
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

void WrapToLeaveOutUnwritableNames(const svn_delta_editor_t* inner, void* innerBaton, const char* anchor,
                                   std::vector<std::string>* leftOut, const svn_delta_editor_t** editor,
                                   void** editBaton, apr_pool_t* pool)
{
    const long nameMax = pathconf(anchor, _PC_NAME_MAX);
    auto* edit = static_cast<Edit*>(apr_palloc(pool, sizeof(Edit)));
    *edit = {inner, innerBaton, anchor, std::strlen(anchor), nameMax > 0 ? nameMax : kCommonNameMax, leftOut};
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
    wrapped->apply_textdelta = ApplyTextDelta;
    wrapped->change_file_prop = ChangeFileProp;
    wrapped->close_file = CloseFile;
    wrapped->absent_file = AbsentFile;
    wrapped->close_edit = CloseEdit;
    wrapped->abort_edit = AbortEdit;
    wrapped->apply_textdelta_stream = nullptr; // the deltas come by apply_textdelta then
    *editor = wrapped;
    *editBaton = edit;
}

} // namespace standin::svn
