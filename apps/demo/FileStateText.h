// Plain-language texts for a file's revision-control state and its disk state.
#pragma once

#include "qor4/FileStatus.h"

#include <string>
#include <vector>

namespace demo {

// What the server and the disk say about one workspace file.
struct FileState {
    std::string localPath;
    std::string depotPath;
    bool statusKnown = false; // false when the server could not be asked (no session, ...)
    qor4::StatusWord status = 0;
    std::string changeList;           // the current user's changelist, when opened by them
    std::vector<std::string> holders; // other users who have it opened or locked
    bool exists = false;
    bool readOnly = false;
    std::string linkTarget; // where the file points when it is a symbolic link, else empty
};

// The server's view in the failure texts' words, e.g. "checked out in changelist 3; locked by me"
// or "opened by bob; not at the head revision".
std::string DescribeServerState(const FileState& state);
// "missing", "read-only", "writable" or "symbolic link to <target>".
std::string DescribeDiskState(const FileState& state);
// One line: "<depot path>: <server state> | <disk state>".
std::string DescribeFile(const FileState& state);
// The changelists files are opened in by the current user, in the order of their first file; ""
// is the default changelist.
std::vector<std::string> ChangeListsOfFiles(const std::vector<FileState>& files);

} // namespace demo
