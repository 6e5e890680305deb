// Names Subversion cannot convert to UTF-8: a file whose name holds bytes that are not UTF-8 makes
// every walk of its folder fail as a whole. Such files are left out, with a warning in the host log
// naming each one once (its bytes shown escaped); to Subversion they do not exist.
#pragma once

#include "subversion/SvnError.h"

#include <string>
#include <vector>

namespace standin::svn {

// Whether a failed walk may have met such a name (Subversion tells it as an invalid argument).
bool IsUnconvertibleName(const Error& error);
// A folder's entries whose names Subversion can take, as paths (links are files here, never
// followed; the administrative folder is left out), and whether it holds others (each reported).
struct FolderListing {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    bool unconvertible = false;
};
FolderListing ListFolder(const std::string& folder);
// Tells the host log, once per path, that the file is left out.
void ReportUnconvertibleName(const std::string& path);

} // namespace standin::svn
