#include "ModelAssetFiles.h"

#include <sys/stat.h>

#include "DbObject.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace standin {

namespace fs = std::filesystem;

namespace {
constexpr const char* kPendingSuffix = ".saving";
constexpr const char* kReadOnlyReason = "the file is read-only";
constexpr const char* kCannotWriteReason = "the file could not be written";
constexpr const char* kNoFileReason = "the asset has no file";

const char* KindName(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Asset:
        return "asset";
    case ObjectKind::Metadata:
        return "metadata";
    case ObjectKind::ValueAsset:
        return "value-asset";
    case ObjectKind::Other:
        break;
    }
    return "object";
}
} // namespace

std::vector<std::string> AssetFilePaths(const DbObject& asset)
{
    std::vector<std::string> files;
    if (!asset.GetAssetFile().empty()) files.push_back(asset.GetAssetFile());
    const auto& external = asset.GetExternalFiles();
    files.insert(files.end(), external.begin(), external.end());
    return files;
}

std::string DescribeAssetFile(const DbObject& asset, const std::string& file)
{
    std::string text = std::string(KindName(asset.GetKind())) + " " + asset.GetIdText() + " " + asset.GetName() + "\n";
    if (file != asset.GetAssetFile()) return text + "external data\n";
    return text + "dirty objects saved: " + (asset.IsDirty() ? "asset" : "content") + "\n";
}

bool FileExists(const std::string& file)
{
    std::error_code error;
    return fs::exists(file, error);
}

bool IsReadOnlyOnDisk(const std::string& file)
{
    // One stat, without building a path: every save asks this of every dirty asset's files.
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

bool SetReadOnlyOnDisk(const std::string& file, bool readOnly)
{
    std::error_code error;
    const fs::perms writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(file, readOnly ? writeBits : fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add, error);
    return !error;
}

FileOutcome WriteFileContent(const std::string& file, const std::string& content)
{
    std::error_code error;
    const fs::path parent = fs::path(file).parent_path();
    if (!parent.empty()) fs::create_directories(parent, error);
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << content;
    stream.close();
    if (!stream) return {file, kCannotWriteReason};
    return {file, {}};
}

FileOutcome RemoveFileFromDisk(const std::string& file)
{
    std::error_code error;
    fs::remove(file, error);
    if (error) return {file, error.message()};
    return {file, {}};
}

FileOutcome WriteAssetFiles(const DbObject& asset)
{
    const std::vector<std::string> files = AssetFilePaths(asset);
    if (files.empty()) return {asset.GetName(), kNoFileReason};
    for (const std::string& file : files)
        if (IsReadOnlyOnDisk(file)) return {file, kReadOnlyReason};

    std::vector<std::string> pending;
    auto discardPending = [&pending] {
        std::error_code ignored;
        for (const std::string& file : pending)
            fs::remove(file, ignored);
    };
    for (const std::string& file : files) {
        const std::string temporary = file + kPendingSuffix;
        pending.push_back(temporary);
        const FileOutcome outcome = WriteFileContent(temporary, DescribeAssetFile(asset, file));
        if (!outcome.Succeeded()) {
            discardPending();
            return {file, outcome.reason};
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code error;
        fs::rename(pending[i], files[i], error);
        if (error) {
            discardPending();
            return {files[i], error.message()};
        }
    }
    return {files.front(), {}};
}

} // namespace standin
