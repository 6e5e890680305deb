// Which walked files the repository changed after their base revision, from one log request over
// the session's kept connection: what a status with the server needs besides the locks, without a
// status report of the whole tree.
#pragma once

#include "subversion/SvnError.h"
#include "subversion/SvnStatusWalk.h"

#include <string>
#include <vector>

namespace standin::svn {

struct Session;

// Past this many revisions between the oldest base and the head, the log would outweigh a status
// report of the tree.
constexpr long kMostLoggedRevisions = 2000;

// Sets the repository state of the walked files (nodes, in the order of files): modified when the
// file changed after its base revision, deleted when it or a folder above it was deleted or
// replaced, normal otherwise. False (nothing set) when the working copy is too far behind for a
// log; an error as the server gave it (no such revision: a replica behind the working copy).
bool MarkRepositoryChanges(Session& session, const std::vector<std::string>& files, std::vector<NodeInfo>& nodes,
                           Error& error);

} // namespace standin::svn
