// SaveAudit: what a save left outside revision control because no session was open. The plug-in's
// post-save flow asks for the password first; when the user cancels, its notification ends without
// a word, so the host names what it left behind.
#pragma once

#include "HostExport.h"

#include <string>
#include <vector>

namespace standin {

class DataControl;
struct SaveResult;

struct LeftOut {
    std::vector<std::string> assets;       // assets saved for the first time, not marked for add
    std::vector<std::string> removedFiles; // files the save removed from disk, not marked for delete
    std::string user;                      // the account without a session, when there is one
    std::string server;

    bool Empty() const { return assets.empty() && removedFiles.empty(); }
    // One line for each kind, each ending in "\n"; empty when nothing was left out.
    std::string Describe() const;
};

// Empty while the data control's account has an open session.
HOST_API LeftOut FindLeftOut(DataControl& control, const SaveResult& saved);

} // namespace standin
