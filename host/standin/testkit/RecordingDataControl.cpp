#include "testkit/RecordingDataControl.h"

#include "datamodel/DbObject.h"

#include <utility>

namespace standin {

namespace {

const char* Flag(bool value)
{
    return value ? "true" : "false";
}

std::string NameOf(const qor4::DbObjectHandle& object)
{
    const DbObject* found = ToDbObject(object);
    return found ? found->GetName() : std::string("<null>");
}

} // namespace

qor4::QORPtr<RecordingDataControl> RecordingDataControl::Create(qor4::QORPtr<DataControl> inner)
{
    return qor4::QORPtr<RecordingDataControl>(new RecordingDataControl(std::move(inner)));
}

RecordingDataControl::RecordingDataControl(qor4::QORPtr<DataControl> inner) : m_inner(std::move(inner)) {}

void RecordingDataControl::Release()
{
    if (--m_refs == 0) delete this;
}

bool RecordingDataControl::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IDataControl::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
    *object = static_cast<qor4::IDataControl*>(this);
    AddRef();
    return true;
}

std::vector<std::string> RecordingDataControl::Object(const qor4::DbObjectHandle& object,
                                                      std::initializer_list<bool> flags)
{
    std::vector<std::string> arguments{NameOf(object)};
    for (const bool flag : flags)
        arguments.push_back(Flag(flag));
    return arguments;
}

std::vector<std::string> RecordingDataControl::Objects(const qor4::DbObjectList& objects,
                                                       std::initializer_list<bool> flags)
{
    std::vector<std::string> arguments;
    for (const auto& object : objects)
        arguments.push_back(NameOf(object));
    for (const bool flag : flags)
        arguments.push_back(Flag(flag));
    return arguments;
}

bool RecordingDataControl::IsChangeListValid(const std::string& changeList)
{
    m_record.Add("IsChangeListValid", {changeList});
    return m_inner->IsChangeListValid(changeList);
}

qor4::qorResult RecordingDataControl::GetPendingChangeLists(std::list<std::string>& changeLists, std::string& message)
{
    m_record.Add("GetPendingChangeLists", {});
    return m_inner->GetPendingChangeLists(changeLists, message);
}

qor4::qorResult RecordingDataControl::GetChangeListDescription(const std::string& changeList, std::string& description,
                                                               std::string& message)
{
    m_record.Add("GetChangeListDescription", {changeList});
    return m_inner->GetChangeListDescription(changeList, description, message);
}

qor4::qorResult RecordingDataControl::CreateChangeList(const std::string& description, std::string& changeList,
                                                       std::string& message)
{
    m_record.Add("CreateChangeList", {description});
    return m_inner->CreateChangeList(description, changeList, message);
}

qor4::qorResult RecordingDataControl::CheckOut(const qor4::DbObjectList& objects, bool includeExternal,
                                               const qor4::DataControlContext& context, const std::string& changeList,
                                               std::string& errorText)
{
    std::vector<std::string> arguments = Objects(objects, {includeExternal});
    arguments.push_back(changeList);
    m_record.Add("CheckOut", std::move(arguments));
    return m_inner->CheckOut(objects, includeExternal, context, changeList, errorText);
}

qor4::qorResult RecordingDataControl::MarkForAdd(const qor4::DbObjectList& objects, bool includeExternal,
                                                 const qor4::DataControlContext& context, const std::string& changeList,
                                                 std::string& errorText)
{
    std::vector<std::string> arguments = Objects(objects, {includeExternal});
    arguments.push_back(changeList);
    m_record.Add("MarkForAdd", std::move(arguments));
    return m_inner->MarkForAdd(objects, includeExternal, context, changeList, errorText);
}

qor4::qorResult RecordingDataControl::GetAccessStates(const qor4::DbObjectList& objects, bool includeExternal,
                                                      const qor4::DataControlContext& context, bool refresh,
                                                      std::list<qor4::StatusWord>& states, std::string& message)
{
    m_record.Add("GetAccessStates", Objects(objects, {includeExternal, refresh}));
    return m_inner->GetAccessStates(objects, includeExternal, context, refresh, states, message);
}

qor4::qorResult RecordingDataControl::GetObjectUsers(const qor4::DbObjectHandle& object, bool includeExternal,
                                                     const qor4::DataControlContext& context,
                                                     std::list<std::string>& users, std::string& message)
{
    m_record.Add("GetObjectUsers", Object(object, {includeExternal}));
    return m_inner->GetObjectUsers(object, includeExternal, context, users, message);
}

bool RecordingDataControl::IsReadOnly(const qor4::DbObjectHandle& object, bool includeExternal,
                                      const qor4::DataControlContext& context)
{
    m_record.Add("IsReadOnly", Object(object, {includeExternal}));
    return m_inner->IsReadOnly(object, includeExternal, context);
}

bool RecordingDataControl::QueryObjectFlag(const qor4::DbObjectHandle& object, bool includeExternal,
                                           const qor4::DataControlContext& context)
{
    m_record.Add("QueryObjectFlag", Object(object, {includeExternal}));
    return m_inner->QueryObjectFlag(object, includeExternal, context);
}

qor4::qorResult RecordingDataControl::QueryObjectState(const qor4::DbObjectHandle& object, bool includeExternal,
                                                       const qor4::DataControlContext& context, bool& isControlled)
{
    m_record.Add("QueryObjectState", Object(object, {includeExternal}));
    return m_inner->QueryObjectState(object, includeExternal, context, isControlled);
}

qor4::qorResult RecordingDataControl::GetObjectFileList(const qor4::DbObjectHandle& object, bool includeExternal,
                                                        const qor4::DataControlContext& context, bool onlyExisting,
                                                        std::set<std::string>& files)
{
    m_record.Add("GetObjectFileList", Object(object, {includeExternal, onlyExisting}));
    return m_inner->GetObjectFileList(object, includeExternal, context, onlyExisting, files);
}

qor4::qorResult RecordingDataControl::GetObjectFiles(const qor4::DbObjectHandle& object,
                                                     const qor4::DataControlContext& context,
                                                     std::set<std::string>& files)
{
    m_record.Add("GetObjectFiles", Object(object, {}));
    return m_inner->GetObjectFiles(object, context, files);
}

qor4::qorResult RecordingDataControl::MakeWritable(const qor4::DbObjectHandle& object, bool includeExternal,
                                                   const qor4::DataControlContext& context, std::string& errorText)
{
    m_record.Add("MakeWritable", Object(object, {includeExternal}));
    return m_inner->MakeWritable(object, includeExternal, context, errorText);
}

qor4::qorResult RecordingDataControl::GetFiles(const qor4::DbObjectList& objects, bool includeExternal,
                                               const qor4::DataControlContext& context, bool onlyExisting,
                                               std::set<std::string>& files,
                                               std::vector<std::set<std::string>>& filesPerObject)
{
    m_record.Add("GetFiles", Objects(objects, {includeExternal, onlyExisting}));
    return m_inner->GetFiles(objects, includeExternal, context, onlyExisting, files, filesPerObject);
}

qor4::qorResult RecordingDataControl::CollectAssets(const qor4::DataControlContext& context,
                                                    const qor4::DbObjectList& objects, int flags,
                                                    std::set<qor4::DbObjectHandle>& assets)
{
    std::vector<std::string> arguments = Objects(objects, {});
    arguments.push_back(std::to_string(flags));
    m_record.Add("CollectAssets", std::move(arguments));
    return m_inner->CollectAssets(context, objects, flags, assets);
}

qor4::qorResult RecordingDataControl::CollectRelatedObjects(const qor4::DbObjectList& objects,
                                                            std::set<qor4::DbObjectHandle>& related)
{
    m_record.Add("CollectRelatedObjects", Objects(objects, {}));
    return m_inner->CollectRelatedObjects(objects, related);
}

qor4::qorResult RecordingDataControl::SetUserParameters(const qor4::IUserParameters* parameters)
{
    m_record.Add("SetUserParameters", {parameters ? "account" : "none"});
    return m_inner->SetUserParameters(parameters);
}

const qor4::IUserParameters* RecordingDataControl::GetCurrentUserParameters()
{
    m_record.Add("GetCurrentUserParameters", {});
    return m_inner->GetCurrentUserParameters();
}

std::string RecordingDataControl::GetObjectName(const qor4::DbObjectHandle& object,
                                                const qor4::DataControlContext& context)
{
    m_record.Add("GetObjectName", Object(object, {}));
    return m_inner->GetObjectName(object, context);
}

bool RecordingDataControl::QueryObjectInContext(const qor4::DataControlContext& context,
                                                const qor4::DbObjectHandle& object)
{
    m_record.Add("QueryObjectInContext", Object(object, {}));
    return m_inner->QueryObjectInContext(context, object);
}

bool RecordingDataControl::HasExternalFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context)
{
    m_record.Add("HasExternalFiles", Object(object, {}));
    return m_inner->HasExternalFiles(object, context);
}

} // namespace standin
