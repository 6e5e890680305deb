// RecordingDataControl: a decorator over the stand-in's data control that records every call of
// the interface (operation name, and object names, flags and changelist as text) and passes it on
// unchanged. The tests' host carries it in the data base's instance in place of the data control,
// so that what the plug-in asked can be checked; a host carries the data control itself.
#pragma once

#include "revisioncontrol/DataControl.h"
#include "testkit/CallRecord.h"

namespace standin {

class RecordingDataControl final : public qor4::IDataControl {
public:
    static qor4::QORPtr<RecordingDataControl> Create(qor4::QORPtr<DataControl> inner);
    RecordingDataControl(const RecordingDataControl&) = delete;
    RecordingDataControl& operator=(const RecordingDataControl&) = delete;

    std::vector<RecordedCall> GetCalls() const { return m_record.Calls(); }
    std::vector<std::string> GetCallNames() const { return m_record.Names(); }
    std::vector<RecordedCall> CallsOf(const std::string& operation) const { return m_record.CallsOf(operation); }
    void ClearCalls() { m_record.Clear(); }
    // The references the decorator's users hold.
    int GetRefCount() const { return m_refs; }
    // The data control underneath, for what the interface does not offer.
    DataControl& Service() const { return *m_inner; }

    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    bool IsChangeListValid(const std::string& changeList) override;
    qor4::qorResult GetPendingChangeLists(std::list<std::string>& changeLists, std::string& message) override;
    qor4::qorResult GetChangeListDescription(const std::string& changeList, std::string& description,
                                             std::string& message) override;
    qor4::qorResult CreateChangeList(const std::string& description, std::string& changeList,
                                     std::string& message) override;
    qor4::qorResult CheckOut(const qor4::DbObjectList& objects, bool includeExternal,
                             const qor4::DataControlContext& context, const std::string& changeList,
                             std::string& errorText) override;
    qor4::qorResult MarkForAdd(const qor4::DbObjectList& objects, bool includeExternal,
                               const qor4::DataControlContext& context, const std::string& changeList,
                               std::string& errorText) override;
    qor4::qorResult GetAccessStates(const qor4::DbObjectList& objects, bool includeExternal,
                                    const qor4::DataControlContext& context, bool refresh,
                                    std::list<qor4::StatusWord>& states, std::string& message) override;
    qor4::qorResult GetObjectUsers(const qor4::DbObjectHandle& object, bool includeExternal,
                                   const qor4::DataControlContext& context, std::list<std::string>& users,
                                   std::string& message) override;
    bool IsReadOnly(const qor4::DbObjectHandle& object, bool includeExternal,
                    const qor4::DataControlContext& context) override;
    bool QueryObjectFlag(const qor4::DbObjectHandle& object, bool includeExternal,
                         const qor4::DataControlContext& context) override;
    qor4::qorResult QueryObjectState(const qor4::DbObjectHandle& object, bool includeExternal,
                                     const qor4::DataControlContext& context, bool& isControlled) override;
    qor4::qorResult GetObjectFileList(const qor4::DbObjectHandle& object, bool includeExternal,
                                      const qor4::DataControlContext& context, bool onlyExisting,
                                      std::set<std::string>& files) override;
    qor4::qorResult GetObjectFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context,
                                   std::set<std::string>& files) override;
    qor4::qorResult MakeWritable(const qor4::DbObjectHandle& object, bool includeExternal,
                                 const qor4::DataControlContext& context, std::string& errorText) override;
    qor4::qorResult GetFiles(const qor4::DbObjectList& objects, bool includeExternal,
                             const qor4::DataControlContext& context, bool onlyExisting, std::set<std::string>& files,
                             std::vector<std::set<std::string>>& filesPerObject) override;
    qor4::qorResult CollectAssets(const qor4::DataControlContext& context, const qor4::DbObjectList& objects, int flags,
                                  std::set<qor4::DbObjectHandle>& assets) override;
    qor4::qorResult CollectRelatedObjects(const qor4::DbObjectList& objects,
                                          std::set<qor4::DbObjectHandle>& related) override;
    qor4::qorResult SetUserParameters(const qor4::IUserParameters* parameters) override;
    const qor4::IUserParameters* GetCurrentUserParameters() override;
    std::string GetObjectName(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context) override;
    bool QueryObjectInContext(const qor4::DataControlContext& context, const qor4::DbObjectHandle& object) override;
    bool HasExternalFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context) override;

private:
    explicit RecordingDataControl(qor4::QORPtr<DataControl> inner);
    ~RecordingDataControl() = default;

    // The object with its flags ("true"/"false") as a call's arguments.
    static std::vector<std::string> Object(const qor4::DbObjectHandle& object, std::initializer_list<bool> flags);
    static std::vector<std::string> Objects(const qor4::DbObjectList& objects, std::initializer_list<bool> flags);

    qor4::QORPtr<DataControl> m_inner;
    CallRecord m_record;
    int m_refs = 0;
};

} // namespace standin
