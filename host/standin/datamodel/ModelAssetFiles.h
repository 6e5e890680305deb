// Disk side of the stand-in data model: which files make up an asset and how they are written.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace standin {

class DbObject;
class WorkingCopyFence;

// Why writing or removing a file failed; empty text means it worked.
struct FileOutcome {
    std::string file;
    std::string reason;
    bool Succeeded() const { return reason.empty(); }
};

// The asset an external file belongs to, by the file's name alone: of the assets beside it (isAsset
// answers for a name), the one with the longest name that, followed by '_', begins the file's name;
// "rock_big_diffuse.tex" is rock_big's, not rock's. Empty when no asset's name does.
std::string OwnerOfExternalFile(const std::string& fileName, const std::function<bool(const std::string&)>& isAsset);

// Whether an external file the asset lists is its own: it is unless, by OwnerOfExternalFile, its
// name gives it to another asset of the asset's data model.
bool IsOwnExternalFile(const DbObject& asset, const std::string& file);
// The asset's ".qor" file followed by its own external files (IsOwnExternalFile).
std::vector<std::string> AssetFilePaths(const DbObject& asset);
// The text the save writes into one of the asset's files.
std::string DescribeAssetFile(const DbObject& asset, const std::string& file);

// A symbolic link exists as itself, whether or not what it points to does.
bool FileExists(const std::string& file);
// Read-only means the owner-write permission bit is off, whoever runs the process. A symbolic link
// answers for itself, not for what it points to.
bool IsReadOnlyOnDisk(const std::string& file);
// Changes, writes and removals go through the fence: nothing outside the working copy is touched.
bool SetReadOnlyOnDisk(const WorkingCopyFence& fence, const std::string& file, bool readOnly);
FileOutcome WriteFileContent(const WorkingCopyFence& fence, const std::string& file, const std::string& content);
FileOutcome RemoveFileFromDisk(const WorkingCopyFence& fence, const std::string& file);

// Writes all the asset's files or none: every file is checked against the fence and for the
// read-only bit, and written beside its target before any target is replaced.
FileOutcome WriteAssetFiles(const WorkingCopyFence& fence, const DbObject& asset);

} // namespace standin
