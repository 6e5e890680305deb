#include "datamodel/ModelAssetFiles.h"

#include <sys/stat.h>

#include "datamodel/DataModelMgr.h"
#include "datamodel/DbObject.h"
#include "framework/WorkingCopyFence.h"

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

std::string OwnerOfExternalFile(const std::string& fileName, const std::function<bool(const std::string&)>& isAsset)
{
    // The longest name first: a '_' further right makes a longer name.
    for (std::size_t end = fileName.rfind('_'); end != std::string::npos && end > 0;
         end = fileName.rfind('_', end - 1)) {
        std::string name = fileName.substr(0, end);
        if (isAsset(name)) return name;
    }
    return {};
}

bool IsOwnExternalFile(const DbObject& asset, const std::string& file)
{
    const DataModelMgr* manager = asset.GetManagerObject();
    return !manager || manager->OwnsExternalFile(asset, file);
}

std::vector<std::string> AssetFilePaths(const DbObject& asset)
{
    std::vector<std::string> files;
    if (!asset.GetAssetFile().empty()) files.push_back(asset.GetAssetFile());
    for (const std::string& file : asset.GetExternalFiles())
        if (IsOwnExternalFile(asset, file)) files.push_back(file);
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
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

bool IsReadOnlyOnDisk(const std::string& file)
{
    // One stat, without building a path: every save asks this of every dirty asset's files.
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

bool SetReadOnlyOnDisk(const WorkingCopyFence& fence, const std::string& file, bool readOnly)
{
    if (!fence.RefuseChange(file).empty()) return false;
    std::error_code error;
    const fs::perms writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(file, readOnly ? writeBits : fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add, error);
    return !error;
}

namespace {
// Where the fence was asked already.
FileOutcome WriteUnfenced(const std::string& file, const std::string& content)
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
} // namespace

FileOutcome WriteFileContent(const WorkingCopyFence& fence, const std::string& file, const std::string& content)
{
    std::string refusal = fence.RefuseChange(file);
    if (!refusal.empty()) return {file, std::move(refusal)};
    return WriteUnfenced(file, content);
}

FileOutcome RemoveFileFromDisk(const WorkingCopyFence& fence, const std::string& file)
{
    std::string refusal = fence.RefuseRemoval(file);
    if (!refusal.empty()) return {file, std::move(refusal)};
    std::error_code error;
    fs::remove(file, error);
    if (error) return {file, error.message()};
    return {file, {}};
}

FileOutcome WriteAssetFiles(const WorkingCopyFence& fence, const DbObject& asset)
{
    const std::vector<std::string> files = AssetFilePaths(asset);
    if (files.empty()) return {asset.GetName(), kNoFileReason};
    // The pending files lie beside their targets, in folders the fence let through.
    for (const std::string& file : files) {
        std::string refusal = fence.RefuseChange(file);
        if (!refusal.empty()) return {file, std::move(refusal)};
        if (IsReadOnlyOnDisk(file)) return {file, kReadOnlyReason};
    }

    std::vector<std::string> pending;
    auto discardPending = [&pending] {
        std::error_code ignored;
        for (const std::string& file : pending)
            fs::remove(file, ignored);
    };
    for (const std::string& file : files) {
        const std::string temporary = file + kPendingSuffix;
        pending.push_back(temporary);
        // Whatever holds the name already, a link among them, goes first: it is not followed.
        std::error_code ignored;
        fs::remove(temporary, ignored);
        const FileOutcome outcome = WriteUnfenced(temporary, DescribeAssetFile(asset, file));
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
