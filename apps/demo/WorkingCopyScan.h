// The assets of an existing working copy, as the demo lists them when it works on a repository of
// the user's own: every ".qor" file, with the ".tex" files that are its own.
#pragma once

#include "ProjectManifest.h"

#include <QString>

#include <vector>

namespace demo {

// Folder by folder, sorted by their files. A symbolic link is listed as what it is (a file
// Subversion versions), never followed: a linked folder is not entered, wherever it leads. A
// texture belongs to the one asset beside it whose name, followed by '_', is the longest that
// begins the texture's name.
std::vector<ManifestAsset> ScanWorkingCopy(const QString& workingCopy);

} // namespace demo
