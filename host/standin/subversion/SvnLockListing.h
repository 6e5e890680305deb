// The repository's locks below one working copy, asked of the server that keeps them.
//
// Behind a replica (a write-through proxy kept by svnsync) every lock lives on the master: the
// replica forwards lock and unlock requests and holds none itself, so a status walk through it
// reports no repository locks at all. One listing from the master replaces them.
#pragma once

#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"
#include "subversion/SvnStatusWalk.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace standin::svn {

struct LockListing {
    Error error;
    // The locks by the local absolute path they fall on.
    std::unordered_map<std::string, LockInfo> byPath;
};

// Every lock below lockRootUrl, the working copy's root as the lock server names it.
LockListing ListLocks(Client& client, const std::string& lockRootUrl, const std::string& workingCopy);

// Puts lock's token into the working copy for file, as a lock taken from it would have; false with
// the reason in error.
bool AdoptLock(Client& client, const std::string& file, const LockInfo& lock, std::string& error);

// Replaces the repository locks of a remote walk of files (in the walk's order) by the listing's.
void ApplyLocks(const LockListing& listing, const std::vector<std::string>& files, std::vector<NodeInfo>& nodes);

} // namespace standin::svn
