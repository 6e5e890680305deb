// A data-base object of the stand-in data model: an asset, or an object saved inside an asset.
#pragma once

#include "opal/datamodel/Accessors.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/IDbObject.h"

#include <string>
#include <vector>

namespace standin {

class DataModelMgr;
class QORInstance;

enum class ObjectKind { Asset, Metadata, ValueAsset, Other };

// Reference counted; the manager's cache keeps one reference for as long as the manager lives, so
// handles to a deleted object stay usable (not null) but report IsAlive false. The object is also
// the library's item for its id.
class alignas(64) DbObject final : public qor4::IAsset, public opal::datamodel::IItem {
public:
    DbObject(std::string id, std::string name, ObjectKind kind, int cacheIndex);
    DbObject(const DbObject&) = delete;
    DbObject& operator=(const DbObject&) = delete;

    // qor4::IQORUnknown
    void AddRef() override;
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    // qor4::IDbObject
    qor4::DbObjectId GetDbObjectId() const override { return qor4::DbObjectId(m_id); }
    std::string GetName() const override { return m_name; }
    qor4::QORPtr<qor4::IDataModelMgr> GetManager() const override;
    qor4::VersionId GetAncestorId() const override { return m_ancestor; }
    bool IsAlive() const override { return m_alive; }
    int GetCacheIndex() const override { return m_cacheIndex; }
    qor4::IQORInstance* GetInstance() const override;

    // opal::datamodel::IItem
    opal::datamodel::ItemID GetItemID() const override { return opal::datamodel::ItemID(m_id, true); }

    const std::string& GetIdText() const { return m_id; }
    ObjectKind GetKind() const { return m_kind; }
    bool IsAsset() const { return m_kind == ObjectKind::Asset; }
    bool IsPersistable() const { return m_persistable; }
    void SetPersistable(bool persistable) { m_persistable = persistable; }
    bool IsDirty() const { return m_dirty; }
    void SetDirty(bool dirty) { m_dirty = dirty; }
    void SetAncestor(qor4::VersionId version) { m_ancestor = std::move(version); }
    void MarkDeleted() { m_alive = false; }
    // An unloaded object is missed by GetDbObject and found by GetOrLoadDbObject.
    bool IsLoaded() const { return m_loaded; }
    void SetLoaded(bool loaded) { m_loaded = loaded; }

    // The asset the object is saved in (always an asset); an asset owns itself.
    DbObject* GetOwningAsset() const { return m_owner; }
    void SetOwningAsset(DbObject* owner) { m_owner = owner; }
    const std::vector<DbObject*>& GetRelatedObjects() const { return m_related; }
    void AddRelatedObject(DbObject* other);

    // Asset files: the ".qor" file and the external ones (absolute paths). Objects inside an asset
    // answer their asset's files.
    const std::string& GetAssetFile() const;
    const std::vector<std::string>& GetExternalFiles() const;
    void SetFiles(std::string assetFile, std::vector<std::string> externalFiles);

    // The manager and instance the object lives in; cleared when the manager goes away.
    void Attach(DataModelMgr* manager, QORInstance* instance);
    // Without a reference: the object's own manager, or null.
    const DataModelMgr* GetManagerObject() const { return m_manager; }
    int GetRefCount() const { return m_refs; }
    // Objects not yet destroyed, over all managers.
    static int LiveObjectCount();

private:
    ~DbObject();

    // A save asks every dirty object for its flags and owner, then the owner for its files: the
    // first are in the object's first cache line and the files in the second, so a save over
    // 100,000 objects pays no more memory misses per object than it must.
    int m_refs = 0;
    ObjectKind m_kind;
    bool m_persistable = true;
    bool m_dirty = false;
    bool m_alive = true;
    bool m_loaded = true;
    DbObject* m_owner = nullptr;
    int m_cacheIndex;
    DataModelMgr* m_manager = nullptr;
    QORInstance* m_instance = nullptr;
    alignas(64) std::string m_assetFile;
    std::vector<std::string> m_externalFiles;
    std::vector<DbObject*> m_related;
    std::string m_id;
    std::string m_name;
    qor4::VersionId m_ancestor;
};

// The stand-in object behind a handle, or null for a null handle or a foreign object.
DbObject* ToDbObject(const qor4::QORHandle<qor4::IDbObject>& handle);

} // namespace standin
