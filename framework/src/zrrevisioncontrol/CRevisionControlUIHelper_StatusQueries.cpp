// The small questions the host's editors ask about assets, forwarded to the data control.
#include "CRevisionControlUIHelper.h"

#include "HostServices.h"

namespace {

// What GetAccessStates answers for an empty list, and when no data control can answer.
constexpr std::int32_t kResultNothingToQuery = 1;
constexpr std::int32_t kResultNoDataControl = -1;

// The data control of a manager; empty when the manager, its instance or the component is missing.
qor4::QORPtr<qor4::IDataControl> FindDataControl(const qor4::QORPtr<qor4::IDataModelMgr>& manager)
{
    if (manager.IsNull()) return {};
    const qor4::QORPtr<qor4::IQORInstance> instance = manager->GetManagerInstance();
    if (instance.IsNull()) return {};
    return qor4::QORPtr<qor4::IDataControl>(instance->GetComponent(qor4::UID_DataControl()));
}

qor4::QORPtr<qor4::IDataControl> ObjectDataControl(const qor4::QORHandle<qor4::IDbObject>& object)
{
    if (object.IsNull()) return {};
    return FindDataControl(object.GetManager());
}

IRevisionControlPropertiesMgr* PropertiesManager()
{
    return GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
}

} // namespace

bool CRevisionControlUIHelper::IsSourceDataControlEnabled()
{
    IRevisionControlPropertiesMgr* properties = PropertiesManager();
    if (!properties) return false;
    bool enabled = false;
    properties->GetUseSourceDataControl(enabled);
    return enabled;
}

qor4::QORPtr<qor4::IDataControl>
CRevisionControlUIHelper::GetDataControl(const qor4::QORPtr<qor4::IDataModelMgr>& manager)
{
    if (!manager.IsNull()) return FindDataControl(manager);
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    if (!proxy || !proxy->HasDataModelMgr()) return {};
    return FindDataControl(proxy->GetDataModelMgr());
}

bool CRevisionControlUIHelper::QueryObjectStateIfEnabled(const qor4::QORHandle<qor4::IDbObject>& object,
                                                         bool includeExternal)
{
    IRevisionControlPropertiesMgr* properties = PropertiesManager();
    bool enabled = false;
    if (!properties || !properties->GetUseSourceDataControl(enabled) || !enabled) return false;
    const qor4::QORPtr<qor4::IDataControl> dataControl = ObjectDataControl(object);
    if (dataControl.IsNull()) return false;
    bool controlled = false;
    const qor4::qorResult result =
        dataControl->QueryObjectState(object, includeExternal, kDataControlContext, controlled);
    // A state that cannot be read is treated as controlled, so that callers stay careful.
    return result.Failed() || controlled;
}

bool CRevisionControlUIHelper::QueryObjectFlag(const qor4::QORHandle<qor4::IDbObject>& object, bool includeExternal)
{
    const qor4::QORPtr<qor4::IDataControl> dataControl = ObjectDataControl(object);
    if (dataControl.IsNull()) return false;
    return dataControl->QueryObjectFlag(object, includeExternal, kDataControlContext);
}

bool CRevisionControlUIHelper::QueryObjectInContext(const qor4::QORHandle<qor4::IDbObject>& object)
{
    const qor4::QORPtr<qor4::IDataControl> dataControl = ObjectDataControl(object);
    if (dataControl.IsNull()) return false;
    return dataControl->QueryObjectInContext(kDataControlContext, object);
}

bool CRevisionControlUIHelper::CheckOutObject(const qor4::QORHandle<qor4::IDbObject>& object, bool* cancelled,
                                              bool includeExternal)
{
    return CheckOutObjects(DbObjectHandles{object}, cancelled, includeExternal);
}

qor4::qorResult CRevisionControlUIHelper::GetAccessStates(const DbObjectHandles& objects, bool includeExternal,
                                                          bool refresh, std::list<qor4::StatusWord>& states)
{
    if (objects.empty()) return kResultNothingToQuery;
    const qor4::QORPtr<qor4::IDataControl> dataControl = ObjectDataControl(objects.front());
    if (dataControl.IsNull()) return kResultNoDataControl;
    std::string details;
    return dataControl->GetAccessStates(objects, includeExternal, kDataControlContext, refresh, states, details);
}

qor4::QORHandle<qor4::IDbObject> CRevisionControlUIHelper::GetDbObject(const qor4::DbObjectId& key)
{
    qor4::QORPtr<qor4::IDataModelMgr> manager;
    return GetDbObject(key, manager);
}

qor4::QORHandle<qor4::IDbObject> CRevisionControlUIHelper::GetDbObject(const qor4::DbObjectId& key,
                                                                       qor4::QORPtr<qor4::IDataModelMgr>& manager)
{
    if (manager.IsNull()) {
        if (auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy))
            manager = proxy->GetDataModelMgr();
    }
    if (manager.IsNull()) return {};
    // The host's lookup may throw for keys it cannot parse; an unknown key is simply not found.
    try {
        return manager->GetDbObject(key);
    } catch (...) {
        return {};
    }
}
