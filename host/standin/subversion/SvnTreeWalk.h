// The walk of a whole working copy: every versioned node below its root, local state only.
#pragma once

#include "subversion/SvnStatusWalk.h"

#include <string>
#include <vector>

namespace standin::svn {

struct TreeNode {
    std::string path;
    bool folder = false;
    NodeInfo info;
};
// Every versioned node of the working copy below root, local state only.
Error WalkTree(Client& client, const std::string& root, std::vector<TreeNode>& nodes);

} // namespace standin::svn
