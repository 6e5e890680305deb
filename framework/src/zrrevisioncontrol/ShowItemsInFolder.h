// The platform's part of showing files in the file manager. Free of Qt so that the Windows
// implementation builds with nothing but the Windows headers.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A path in both spellings. The native one (cleaned, backslash separators, UTF-8) is what the Windows
// shell wants and what folders are grouped and ordered by. Turning it back into a '/' path would
// corrupt names that contain a backslash, which is legal outside Windows, so the portable spelling
// (cleaned, '/' separators, UTF-8) travels alongside for the other platforms.
struct ShellPath {
    std::string native;
    std::string portable;
};

struct ShellFolder {
    ShellPath folder;
    std::vector<ShellPath> files; // in the caller's order, duplicates kept
};

// Shows each folder's files selected in a file-manager window, folders in the given order.
// Entries the platform cannot resolve are skipped; nothing is reported.
void ShowItemsInFolders(const std::vector<ShellFolder>& folders);

#ifndef _WIN32
// Opens a folder (portable path) when no file manager took the request. The default hands the
// folder to the desktop's URL handler; tests install one they can observe.
using FolderOpener = std::function<void(const std::string& folder)>;
// Installs opener (an empty one restores the default) and returns the one it replaces.
FolderOpener SetFolderOpener(FolderOpener opener);
#endif
