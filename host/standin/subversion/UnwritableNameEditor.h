// An update editor that leaves out each file or folder the working copy cannot take: one whose
// name is longer than the disk allows, or is the working copy's administrative folder's. Another
// user's client may commit either. The working copy's own editor would refuse the second, and
// every later update with it; it would queue the writing of the first, fail it, and refuse every
// later operation until the queue ran (it cannot even record such a path as kept back: that too
// looks at the disk). Every other change goes through. The working copy then stands at the
// revision without it, so later updates bring no change to it: only the update that first offers
// it tells it.
#pragma once

#include <svn_delta.h>

#include <string>
#include <vector>

namespace standin::svn {

// Wraps inner, driven on the folder anchor; each path left out is added to leftOut as a line
// "path - reason", and leftOut must outlive the edit.
void WrapToLeaveOutUnwritableNames(const svn_delta_editor_t* inner, void* innerBaton, const char* anchor,
                                   std::vector<std::string>* leftOut, const svn_delta_editor_t** editor,
                                   void** editBaton, apr_pool_t* pool);

} // namespace standin::svn
