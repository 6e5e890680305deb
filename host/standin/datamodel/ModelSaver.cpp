#include "datamodel/ModelSaver.h"

#include "datamodel/DataModelMgr.h"
#include "datamodel/ModelAssetFiles.h"

#include <algorithm>
#include <unordered_map>

namespace standin {

namespace {
qor4::VersionId NextVersion(const qor4::VersionId& current)
{
    if (current.IsNull()) return qor4::VersionId(DataModelMgr::kFirstVersion);
    return qor4::VersionId(std::to_string(std::stoi(current.GetStr()) + 1));
}
} // namespace

SaveResult ModelSaver::WriteChanges()
{
    SaveResult result;
    RemoveDeletedAssets(result);
    WriteDirtyAssets(result);
    return result;
}

void ModelSaver::RemoveDeletedAssets(SaveResult& result)
{
    MultiFileDataSource& record = m_manager.GetMultiFileDataSource();
    std::vector<DbObject*> stillPending;
    for (DbObject* asset : m_manager.GetPendingDeletions()) {
        bool removedAll = true;
        for (const std::string& file : AssetFilePaths(*asset)) {
            if (!FileExists(file)) continue;
            const FileOutcome outcome = RemoveFileFromDisk(m_manager.Fence(), file);
            if (outcome.Succeeded()) {
                record.RecordDeletedFile(file);
                result.removedFiles.push_back(file);
            } else {
                result.failures.push_back({asset->GetName(), file, outcome.reason});
                removedAll = false;
            }
        }
        if (!removedAll) stillPending.push_back(asset);
    }
    m_manager.GetPendingDeletions() = std::move(stillPending);
}

void ModelSaver::WriteDirtyAssets(SaveResult& result)
{
    MultiFileDataSource& record = m_manager.GetMultiFileDataSource();
    // Each dirty asset with its dirty objects, in one pass: a save of 10,000 new assets in a large
    // library must not look through every object once per asset.
    std::unordered_map<DbObject*, std::vector<DbObject*>> dirtyOf;
    std::vector<DbObject*> assets;
    for (DbObject* object : m_manager.GetObjects()) {
        DbObject* asset = object->GetOwningAsset();
        if (!object->IsAlive() || !object->IsDirty() || !object->IsPersistable() || !asset) continue;
        std::vector<DbObject*>& objects = dirtyOf[asset];
        if (objects.empty()) assets.push_back(asset);
        objects.push_back(object);
    }
    std::sort(assets.begin(), assets.end(),
              [](const DbObject* a, const DbObject* b) { return a->GetCacheIndex() < b->GetCacheIndex(); });

    for (DbObject* asset : assets) {
        const FileOutcome outcome = WriteAssetFiles(m_manager.Fence(), *asset);
        if (!outcome.Succeeded()) {
            result.failures.push_back({asset->GetName(), outcome.file, outcome.reason});
            continue;
        }
        for (const std::string& file : AssetFilePaths(*asset)) {
            record.RecordSavedFile(file);
            result.writtenFiles.push_back(file);
        }
        bool savedForTheFirstTime = false;
        for (DbObject* object : dirtyOf[asset]) {
            object->SetDirty(false);
            record.RecordSavedObject(object);
            savedForTheFirstTime = savedForTheFirstTime || object->GetAncestorId().IsNull();
            result.savedObjects.push_back(object);
        }
        if (savedForTheFirstTime) result.newAssets.push_back(asset);
    }
}

void ModelSaver::CommitVersions(const SaveResult& result)
{
    for (DbObject* object : result.savedObjects)
        object->SetAncestor(NextVersion(object->GetAncestorId()));
}

} // namespace standin
