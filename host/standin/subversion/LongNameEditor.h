// An update editor that leaves out each file or folder whose name the disk cannot hold. Another
// user's client may commit one; the working copy's own editor would queue its writing, fail it,
// and then refuse every later operation until the queue ran (it cannot even record such a path as
// kept back: that too looks at the disk). Every other change goes through. The working copy then
// stands at the revision without it, so later updates bring no change to it: only the update that
// first offers it tells it.
#pragma once

#include <svn_delta.h>

#include <string>
#include <vector>

namespace standin::svn {

// Wraps inner, driven on the folder anchor; the local paths left out are added to leftOut, which
// must outlive the edit.
void WrapToLeaveOutLongNames(const svn_delta_editor_t* inner, void* innerBaton, const char* anchor,
                             std::vector<std::string>* leftOut, const svn_delta_editor_t** editor, void** editBaton,
                             apr_pool_t* pool);

} // namespace standin::svn
