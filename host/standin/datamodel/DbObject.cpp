#include "datamodel/DbObject.h"

#include "datamodel/DataModelMgr.h"
#include "datamodel/QORInstance.h"

#include <algorithm>
#include <atomic>
#include <typeinfo>

namespace standin {

namespace {
std::atomic<int> g_liveObjects{0};
} // namespace

DbObject::DbObject(std::string id, std::string name, ObjectKind kind, int cacheIndex)
    : m_kind(kind), m_cacheIndex(cacheIndex), m_id(std::move(id)), m_name(std::move(name))
{
    m_owner = IsAsset() ? this : nullptr;
    ++g_liveObjects;
}

DbObject::~DbObject()
{
    --g_liveObjects;
}

int DbObject::LiveObjectCount()
{
    return g_liveObjects;
}

void DbObject::AddRef()
{
    ++m_refs;
}

void DbObject::Release()
{
    if (--m_refs == 0) delete this;
}

bool DbObject::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid == qor4::IAsset::GetIID()) {
        if (!IsAsset()) return false;
        *object = static_cast<qor4::IAsset*>(this);
    } else if (iid == qor4::IDbObject::GetIID()) {
        *object = static_cast<qor4::IDbObject*>(this);
    } else if (iid == qor4::IQORUnknown::GetIID()) {
        *object = static_cast<qor4::IQORUnknown*>(this);
    } else {
        return false;
    }
    AddRef();
    return true;
}

qor4::QORPtr<qor4::IDataModelMgr> DbObject::GetManager() const
{
    return qor4::QORPtr<qor4::IDataModelMgr>(m_manager);
}

qor4::IQORInstance* DbObject::GetInstance() const
{
    return m_instance;
}

void DbObject::AddRelatedObject(DbObject* other)
{
    if (other && other != this && std::find(m_related.begin(), m_related.end(), other) == m_related.end())
        m_related.push_back(other);
}

const std::string& DbObject::GetAssetFile() const
{
    static const std::string kNone;
    return m_owner ? m_owner->m_assetFile : kNone;
}

const std::vector<std::string>& DbObject::GetExternalFiles() const
{
    static const std::vector<std::string> kNone;
    return m_owner ? m_owner->m_externalFiles : kNone;
}

void DbObject::SetFiles(std::string assetFile, std::vector<std::string> externalFiles)
{
    m_assetFile = std::move(assetFile);
    m_externalFiles = std::move(externalFiles);
}

void DbObject::Attach(DataModelMgr* manager, QORInstance* instance)
{
    m_manager = manager;
    m_instance = instance;
}

DbObject* ToDbObject(const qor4::QORHandle<qor4::IDbObject>& handle)
{
    // The class is final, so an exact type check answers what a dynamic_cast would, without walking
    // the class hierarchy for every object of a save.
    qor4::IDbObject* object = handle.Get();
    if (!object || typeid(*object) != typeid(DbObject)) return nullptr;
    return static_cast<DbObject*>(object);
}

} // namespace standin
