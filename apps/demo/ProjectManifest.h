// The list of a workspace's assets and their files, kept beside the workspace so that the data
// model can be rebuilt at the next start (the stand-in data model lives in memory only).
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace demo {

struct ManifestAsset {
    std::string name;
    std::vector<std::string> depotFiles; // the ".qor" file first, then the external ones
};

struct ManifestLoad {
    bool ok = false;
    std::string error;
    std::vector<ManifestAsset> assets;
};

// Reads a manifest written by SaveManifest; a missing or malformed file is an error.
ManifestLoad LoadManifest(const QString& path);
// Writes the manifest atomically; false with error filled when it cannot be written.
bool SaveManifest(const QString& path, const std::vector<ManifestAsset>& assets, std::string& error);

} // namespace demo
