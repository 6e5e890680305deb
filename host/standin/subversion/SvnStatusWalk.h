// One status walk of a working copy for a list of files: one svn_client_status6 call over the
// files' closest common folder, with one repository round trip when remote is asked for.
#pragma once

#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"

#include <string>
#include <vector>

namespace standin::svn {

struct LockInfo {
    std::string token; // empty: no lock
    std::string owner;
    std::string comment;
    bool Held() const { return !token.empty(); }
};

struct NodeInfo {
    bool reported = false; // false: the walk did not meet the file (unversioned and absent)
    bool versioned = false;
    svn_wc_status_kind node = svn_wc_status_none;
    svn_wc_status_kind repositoryNode = svn_wc_status_none;
    LockInfo localLock;      // this working copy's lock token
    LockInfo repositoryLock; // the repository's lock, any owner (only from a remote walk)
    std::string changeList;
    long revision = -1; // the working copy's base revision; invalid for a scheduled addition

    // Scheduled for addition, on disk or not (a missing added file has no base revision).
    bool Added() const
    {
        return node == svn_wc_status_added || node == svn_wc_status_replaced ||
               (node == svn_wc_status_missing && revision < 0);
    }
};

struct WalkResult {
    Error error;
    std::vector<NodeInfo> nodes; // per file, in request order
};

// files: canonical absolute paths inside workingCopy.
WalkResult WalkStatus(Client& client, const std::string& workingCopy, const std::vector<std::string>& files,
                      bool remote);

// What one status of a walk says of its node.
NodeInfo InfoOf(const svn_client_status_t& status);

} // namespace standin::svn
