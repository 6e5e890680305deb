// Disk side of the stand-in data model: which files make up an asset and how they are written.
#pragma once

#include <string>
#include <vector>

namespace standin {

class DbObject;

// Why writing or removing a file failed; empty text means it worked.
struct FileOutcome {
    std::string file;
    std::string reason;
    bool Succeeded() const { return reason.empty(); }
};

// The asset's ".qor" file followed by its external files.
std::vector<std::string> AssetFilePaths(const DbObject& asset);
// The text the save writes into one of the asset's files.
std::string DescribeAssetFile(const DbObject& asset, const std::string& file);

bool FileExists(const std::string& file);
// Read-only means the owner-write permission bit is off, whoever runs the process.
bool IsReadOnlyOnDisk(const std::string& file);
bool SetReadOnlyOnDisk(const std::string& file, bool readOnly);
FileOutcome WriteFileContent(const std::string& file, const std::string& content);
FileOutcome RemoveFileFromDisk(const std::string& file);

// Writes all the asset's files or none: every file is checked for the read-only bit and written
// beside its target before any target is replaced.
FileOutcome WriteAssetFiles(const DbObject& asset);

} // namespace standin
