// The disk part of an item-library save: writes the dirty assets, removes the deleted ones, and
// fills the multi-file data source's save record.
#pragma once

#include <string>
#include <vector>

namespace standin {

class DataModelMgr;
class DbObject;

struct SaveFailure {
    std::string asset;
    std::string file;
    std::string reason;
};

struct SaveResult {
    bool vetoed = false;
    std::vector<SaveFailure> failures;
    std::vector<std::string> writtenFiles;
    std::vector<std::string> removedFiles;
    std::vector<DbObject*> savedObjects;
    // Assets that objects saved for the first time belong to.
    std::vector<DbObject*> newAssets;
    bool Succeeded() const { return !vetoed && failures.empty(); }
};

class ModelSaver {
public:
    explicit ModelSaver(DataModelMgr& manager) : m_manager(manager) {}

    // Assets whose files cannot all be written keep their objects dirty and are reported.
    SaveResult WriteChanges();
    // Gives the saved objects their new ancestor version. Run after the post-save listeners, who
    // tell new objects by their still-null ancestor.
    static void CommitVersions(const SaveResult& result);

private:
    void RemoveDeletedAssets(SaveResult& result);
    void WriteDirtyAssets(SaveResult& result);

    DataModelMgr& m_manager;
};

} // namespace standin
