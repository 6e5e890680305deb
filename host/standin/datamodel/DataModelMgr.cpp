#include "datamodel/DataModelMgr.h"

#include "datamodel/ModelAssetFiles.h"
#include "datamodel/ModelPlainDataSource.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace standin {

namespace {
std::atomic<unsigned> g_nextSerial{1};
constexpr const char* kLookupFailure = "stand-in data model: object lookup failed";
} // namespace

qor4::QORPtr<DataModelMgr> DataModelMgr::Create()
{
    return qor4::QORPtr<DataModelMgr>(new DataModelMgr);
}

DataModelMgr::DataModelMgr()
    : m_serial(g_nextSerial++), m_instance(QORInstance::Create()), m_multiFileSource(MultiFileDataSource::Create())
{
    m_sources.emplace_back(static_cast<qor4::IDataSource*>(m_multiFileSource.Get()));
}

DataModelMgr::~DataModelMgr()
{
    m_multiFileSource->DropObjects();
    for (DbObject* object : m_objects) {
        object->Attach(nullptr, nullptr);
        object->MarkDeleted();
        object->Release();
    }
}

void DataModelMgr::Release()
{
    if (--m_refs == 0) delete this;
}

bool DataModelMgr::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IDataModelMgr::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
    *object = static_cast<qor4::IDataModelMgr*>(this);
    AddRef();
    return true;
}

qor4::qorResult DataModelMgr::ExecuteQuery(const std::string& query, int mode,
                                           qor4::List<qor4::QORHandle<qor4::IDbObject>>& results)
{
    if (query != kDirtyPersistableQuery) return kResultUnknownQuery;
    if (mode != kDirtyPersistableQueryMode) return kResultBadMode;
    for (DbObject* object : m_objects) {
        const bool wantedKind =
            object->GetKind() == ObjectKind::Metadata || object->GetKind() == ObjectKind::ValueAsset;
        if (object->IsAlive() && wantedKind && object->IsPersistable() && object->IsDirty())
            results.push_back(MakeHandle(object));
    }
    return qor4::kResultOk;
}

qor4::QORPtr<qor4::IQORInstance> DataModelMgr::GetManagerInstance()
{
    if (!m_instanceAvailable) return {};
    return qor4::QORPtr<qor4::IQORInstance>(m_instance.Get());
}

qor4::QORHandle<qor4::IDbObject> DataModelMgr::GetDbObject(const qor4::DbObjectId& id)
{
    return Lookup(id, false);
}

qor4::QORHandle<qor4::IDbObject> DataModelMgr::GetOrLoadDbObject(const qor4::DbObjectId& id)
{
    return Lookup(id, true);
}

qor4::QORHandle<qor4::IDbObject> DataModelMgr::Lookup(const qor4::DbObjectId& id, bool load)
{
    if (m_lookupThrows) throw std::runtime_error(kLookupFailure);
    DbObject* object = Find(id.GetStr());
    if (!object) return {};
    if (!object->IsLoaded()) {
        if (!load) return {};
        object->SetLoaded(true);
    }
    return MakeHandle(object);
}

qor4::ConstIterator<qor4::QORPtr<qor4::IDataSource>> DataModelMgr::GetDataSources()
{
    return qor4::ConstIterator<qor4::QORPtr<qor4::IDataSource>>(m_sources);
}

void DataModelMgr::AddPlainDataSource()
{
    const auto plain = ModelPlainDataSource::Create();
    m_sources.insert(m_sources.begin(), qor4::QORPtr<qor4::IDataSource>(plain.Get()));
}

std::string DataModelMgr::NextId()
{
    char text[64];
    std::snprintf(text, sizeof text, "{%08x-0000-4000-8000-%012x}", m_serial, m_nextId++);
    return text;
}

DbObject* DataModelMgr::AddToCache(const std::string& name, ObjectKind kind)
{
    auto* object = new DbObject(NextId(), name, kind, static_cast<int>(m_objects.size()));
    object->AddRef();
    object->Attach(this, m_instance.Get());
    m_objects.push_back(object);
    m_byId[object->GetIdText()] = object;
    return object;
}

DbObject* DataModelMgr::CreateAsset(const AssetDescription& description)
{
    DbObject* asset = AddToCache(description.name, ObjectKind::Asset);
    asset->SetFiles(description.assetFile, description.externalFiles);
    if (!description.assetFile.empty()) m_assetFiles.insert(description.assetFile);
    if (description.saved) {
        asset->SetAncestor(qor4::VersionId(kFirstVersion));
        for (const std::string& file : AssetFilePaths(*asset))
            if (!FileExists(file)) WriteFileContent(m_fence, file, DescribeAssetFile(*asset, file));
    } else {
        asset->SetDirty(true);
    }
    return asset;
}

DbObject* DataModelMgr::AddObject(DbObject* asset, const std::string& name, ObjectKind kind)
{
    if (!asset || !asset->IsAsset() || kind == ObjectKind::Asset) return nullptr;
    DbObject* object = AddToCache(name, kind);
    object->SetOwningAsset(asset);
    object->SetDirty(true);
    return object;
}

void DataModelMgr::DeleteAsset(DbObject* asset)
{
    if (!asset || !asset->IsAsset() || !asset->IsAlive()) return;
    for (DbObject* object : m_objects)
        if (object->GetOwningAsset() == asset) object->MarkDeleted();
    if (!asset->GetAncestorId().IsNull()) m_pendingDeletions.push_back(asset);
}

void DataModelMgr::ForgetAsset(DbObject* asset)
{
    if (!asset || !asset->IsAsset() || !asset->IsAlive()) return;
    for (DbObject* object : m_objects)
        if (object->GetOwningAsset() == asset) object->MarkDeleted();
    m_forgotten.insert(asset);
}

void DataModelMgr::SetWorkingCopy(const std::string& root)
{
    if (root != m_fence.Root()) m_fence = WorkingCopyFence(root);
}

bool DataModelMgr::OwnsExternalFile(const DbObject& asset, const std::string& file) const
{
    const std::string& assetFile = asset.GetAssetFile();
    const std::size_t slash = file.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t assetSlash = assetFile.rfind('/');
    const std::size_t stemStart = assetSlash == std::string::npos ? 0 : assetSlash + 1;
    const std::size_t dot = assetFile.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot < stemStart ? assetFile.size() : dot;
    const std::size_t stemSize = stemEnd - stemStart;
    // The common case, asked for every file of every object of a status query: "<stem>_<suffix>"
    // beside the asset, with no '_' in the suffix, can only be the asset's own.
    const bool sameFolder = nameStart == stemStart && file.compare(0, nameStart, assetFile, 0, stemStart) == 0;
    if (sameFolder && file.size() > nameStart + stemSize &&
        file.compare(nameStart, stemSize, assetFile, stemStart, stemSize) == 0 && file[nameStart + stemSize] == '_' &&
        file.find('_', nameStart + stemSize + 1) == std::string::npos)
        return true;
    const std::string folder = file.substr(0, nameStart);
    const std::string extension = assetFile.substr(stemEnd);
    const std::string owner = OwnerOfExternalFile(file.substr(nameStart), [&](const std::string& name) {
        return m_assetFiles.count(folder + name + extension) != 0;
    });
    return owner.empty() ||
           (sameFolder && owner.size() == stemSize && assetFile.compare(stemStart, stemSize, owner) == 0);
}

void DataModelMgr::Relate(DbObject* first, DbObject* second)
{
    first->AddRelatedObject(second);
    second->AddRelatedObject(first);
}

DbObject* DataModelMgr::Find(const std::string& idText) const
{
    const auto found = m_byId.find(idText);
    return found == m_byId.end() || !found->second->IsAlive() ? nullptr : found->second;
}

qor4::QORHandle<qor4::IDbObject> DataModelMgr::MakeHandle(DbObject* object)
{
    return qor4::QORHandle<qor4::IDbObject>(qor4::QORPtr<qor4::IDbObject>(static_cast<qor4::IDbObject*>(object)));
}

int DataModelMgr::CountOutsideReferences() const
{
    int count = 0;
    for (const DbObject* object : m_objects)
        count += object->GetRefCount() - 1;
    return count;
}

} // namespace standin
