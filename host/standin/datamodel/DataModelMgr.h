// The stand-in data-model manager: an in-memory data base of assets and the objects saved in them,
// with the editing operations that the tests and the demo use to make a save do something.
#pragma once

#include "datamodel/DbObject.h"
#include "datamodel/MultiFileDataSource.h"
#include "datamodel/QORInstance.h"
#include "framework/WorkingCopyFence.h"

#include "qor4/IDataModelMgr.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

namespace standin {

// What a new asset is made of. A saved asset has an ancestor version and files on disk (missing
// ones are written at creation); a new one is dirty and gets its files at the next save.
struct AssetDescription {
    std::string name;
    std::string assetFile; // absolute path ending in ".qor"
    std::vector<std::string> externalFiles;
    bool saved = false;
};

class DataModelMgr final : public qor4::IDataModelMgr {
public:
    // The only query the host's save workflow asks; mode 3 looks at every object in memory.
    static constexpr const char* kDirtyPersistableQuery =
        "select object where OR(AND(IS_PERSISTABLE,AND(IS_METADATA, IS_DIRTY)),AND(IS_PERSISTABLE,AND(IS_VALUE_ASSET, "
        "IS_DIRTY)))";
    static constexpr int kDirtyPersistableQueryMode = 3;
    static constexpr std::int32_t kResultUnknownQuery = -2;
    static constexpr std::int32_t kResultBadMode = -3;
    static constexpr const char* kFirstVersion = "1";

    static qor4::QORPtr<DataModelMgr> Create();

    // qor4::IQORUnknown
    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    // qor4::IDataModelMgr
    qor4::qorResult ExecuteQuery(const std::string& query, int mode,
                                 qor4::List<qor4::QORHandle<qor4::IDbObject>>& results) override;
    qor4::QORPtr<qor4::IQORInstance> GetManagerInstance() override;
    qor4::QORHandle<qor4::IDbObject> GetDbObject(const qor4::DbObjectId& id) override;
    qor4::QORHandle<qor4::IDbObject> GetOrLoadDbObject(const qor4::DbObjectId& id) override;
    qor4::ConstIterator<qor4::QORPtr<qor4::IDataSource>> GetDataSources() override;

    // Editing. The returned objects belong to the manager's cache.
    DbObject* CreateAsset(const AssetDescription& description);
    DbObject* AddObject(DbObject* asset, const std::string& name, ObjectKind kind);
    void MarkDirty(DbObject* object) { object->SetDirty(true); }
    // Deletes the asset and its objects; a saved asset's files go from disk at the next save.
    void DeleteAsset(DbObject* asset);
    // Drops a saved asset whose files left the disk without the editor (an update removed them):
    // gone from memory like a deleted one, but the next save removes nothing for it.
    void ForgetAsset(DbObject* asset);
    bool IsForgotten(const DbObject* asset) const { return m_forgotten.count(asset) != 0; }
    // Objects related both ways are saved together.
    void Relate(DbObject* first, DbObject* second);
    void SetLoaded(DbObject* object, bool loaded) { object->SetLoaded(loaded); }

    // Test controls.
    void SetLookupThrows(bool throws) { m_lookupThrows = throws; }
    void AddPlainDataSource();
    // Without the instance GetManagerInstance answers empty; objects keep their instance.
    void SetInstanceAvailable(bool available) { m_instanceAvailable = available; }

    // The working copy the data base's files lie in: the save writes and removes nothing outside it.
    void SetWorkingCopy(const std::string& root);
    const WorkingCopyFence& Fence() const { return m_fence; }
    // Whether an external file the asset lists is its own: it is unless, by OwnerOfExternalFile,
    // its name gives it to another asset of this model in the same folder (deleted ones included).
    bool OwnsExternalFile(const DbObject& asset, const std::string& file) const;

    // Lookup by id text among live objects, loaded or not; null when unknown or deleted.
    DbObject* Find(const std::string& idText) const;
    static qor4::QORHandle<qor4::IDbObject> MakeHandle(DbObject* object);
    const std::vector<DbObject*>& GetObjects() const { return m_objects; }
    QORInstance* GetInstance() const { return m_instance.Get(); }
    MultiFileDataSource& GetMultiFileDataSource() const { return *m_multiFileSource; }
    // Deleted saved assets whose files the next save removes.
    std::vector<DbObject*>& GetPendingDeletions() { return m_pendingDeletions; }
    // References to the manager's objects that are held outside the manager.
    int CountOutsideReferences() const;
    int GetRefCount() const { return m_refs; }

private:
    DataModelMgr();
    ~DataModelMgr();
    std::string NextId();
    DbObject* AddToCache(const std::string& name, ObjectKind kind);
    qor4::QORHandle<qor4::IDbObject> Lookup(const qor4::DbObjectId& id, bool load);

    int m_refs = 0;
    unsigned m_serial;
    unsigned m_nextId = 1;
    bool m_lookupThrows = false;
    bool m_instanceAvailable = true;
    std::vector<DbObject*> m_objects; // one reference each; index = cache index
    std::map<std::string, DbObject*> m_byId;
    std::vector<DbObject*> m_pendingDeletions;
    std::unordered_set<std::string> m_assetFiles; // of every asset ever created
    std::unordered_set<const DbObject*> m_forgotten;
    WorkingCopyFence m_fence;
    qor4::QORPtr<QORInstance> m_instance;
    qor4::QORPtr<MultiFileDataSource> m_multiFileSource;
    std::vector<qor4::QORPtr<qor4::IDataSource>> m_sources;
};

} // namespace standin
