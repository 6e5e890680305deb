// Small service doubles for the plug-in's own plumbing: a data-model manager whose instance carries a
// recording data control and file-version control, and a recording item library.
#pragma once

#include "opal/datamodel/Accessors.h"
#include "qor4/IDataControl.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/IFileVersionControl.h"
#include "qor4/IQORInstance.h"

#include <gmock/gmock.h>

#include <map>
#include <string>

// Reference counting that only counts: the test owns the object.
template <class Interface> class Counted : public Interface {
public:
    void AddRef() override { ++references; }
    void Release() override { --references; }
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override
    {
        if (iid != Interface::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
        *object = static_cast<Interface*>(this);
        AddRef();
        return true;
    }
    int references = 0;
};

class MockDataControl : public Counted<qor4::IDataControl> {
public:
    using Handle = qor4::DbObjectHandle;
    using Handles = qor4::DbObjectList;
    using Context = qor4::DataControlContext;
    MOCK_METHOD(bool, IsChangeListValid, (const std::string&), (override));
    MOCK_METHOD(qor4::qorResult, GetPendingChangeLists, (std::list<std::string>&, std::string&), (override));
    MOCK_METHOD(qor4::qorResult, GetChangeListDescription, (const std::string&, std::string&, std::string&),
                (override));
    MOCK_METHOD(qor4::qorResult, CreateChangeList, (const std::string&, std::string&, std::string&), (override));
    MOCK_METHOD(qor4::qorResult, CheckOut, (const Handles&, bool, const Context&, const std::string&, std::string&),
                (override));
    MOCK_METHOD(qor4::qorResult, MarkForAdd, (const Handles&, bool, const Context&, const std::string&, std::string&),
                (override));
    MOCK_METHOD(qor4::qorResult, GetAccessStates,
                (const Handles&, bool, const Context&, bool, std::list<qor4::StatusWord>&, std::string&), (override));
    MOCK_METHOD(qor4::qorResult, GetObjectUsers,
                (const Handle&, bool, const Context&, std::list<std::string>&, std::string&), (override));
    MOCK_METHOD(bool, IsReadOnly, (const Handle&, bool, const Context&), (override));
    MOCK_METHOD(bool, QueryObjectFlag, (const Handle&, bool, const Context&), (override));
    MOCK_METHOD(qor4::qorResult, QueryObjectState, (const Handle&, bool, const Context&, bool&), (override));
    MOCK_METHOD(qor4::qorResult, GetObjectFileList, (const Handle&, bool, const Context&, bool, std::set<std::string>&),
                (override));
    MOCK_METHOD(qor4::qorResult, GetObjectFiles, (const Handle&, const Context&, std::set<std::string>&), (override));
    MOCK_METHOD(qor4::qorResult, MakeWritable, (const Handle&, bool, const Context&, std::string&), (override));
    MOCK_METHOD(qor4::qorResult, GetFiles,
                (const Handles&, bool, const Context&, bool, std::set<std::string>&,
                 (std::vector<std::set<std::string>>&)),
                (override));
    MOCK_METHOD(qor4::qorResult, CollectAssets, (const Context&, const Handles&, int, std::set<Handle>&), (override));
    MOCK_METHOD(qor4::qorResult, CollectRelatedObjects, (const Handles&, std::set<Handle>&), (override));
    MOCK_METHOD(qor4::qorResult, SetUserParameters, (const qor4::IUserParameters*), (override));
    MOCK_METHOD(const qor4::IUserParameters*, GetCurrentUserParameters, (), (override));
    MOCK_METHOD(std::string, GetObjectName, (const Handle&, const Context&), (override));
    MOCK_METHOD(bool, QueryObjectInContext, (const Context&, const Handle&), (override));
    MOCK_METHOD(bool, HasExternalFiles, (const Handle&, const Context&), (override));
};

class MockFileVersionControl : public Counted<qor4::IFileVersionControl> {
public:
    MOCK_METHOD(const qor4::IUserParameters*, CreateUserParameters,
                (const std::string&, const std::string&, const std::string&, const std::string&, std::string&),
                (override));
    MOCK_METHOD(qor4::qorResult, RevertFiles,
                (const qor4::IUserParameters*, const std::list<std::string>&, std::string&), (override));
    MOCK_METHOD(qor4::qorResult, GetUsers,
                (const qor4::IUserParameters*, const std::list<std::string>&, std::list<std::string>&, std::string&,
                 bool),
                (override));
    MOCK_METHOD(qor4::qorResult, MarkForDelete,
                (const qor4::IUserParameters*, const std::list<std::string>&, const std::string&, std::string&),
                (override));
    MOCK_METHOD(qor4::qorResult, GetFilesStatus,
                (const qor4::IUserParameters*, const std::list<std::string>&, std::vector<qor4::StatusWord>&,
                 std::vector<std::string>&, std::string&, int),
                (override));
    MOCK_METHOD(void, SetTimeOutDelegate, (qor4::ITimeOutDelegate*), (override));
};

// An instance with whichever components the test gives it.
class FakeInstance : public Counted<qor4::IQORInstance> {
public:
    qor4::QORPtr<qor4::IQORUnknown> GetComponent(const qor4::InterfaceUID& uid) override
    {
        const auto found = components.find(uid.text);
        if (found == components.end()) return {};
        return qor4::QORPtr<qor4::IQORUnknown>(found->second);
    }
    std::map<std::string, qor4::IQORUnknown*> components;
};

class FakeDataModelMgr : public Counted<qor4::IDataModelMgr> {
public:
    qor4::qorResult ExecuteQuery(const std::string&, int, qor4::List<qor4::DbObjectHandle>&) override { return -1; }
    qor4::QORPtr<qor4::IQORInstance> GetManagerInstance() override
    {
        return qor4::QORPtr<qor4::IQORInstance>(&instance);
    }
    qor4::DbObjectHandle GetDbObject(const qor4::DbObjectId&) override { return {}; }
    qor4::DbObjectHandle GetOrLoadDbObject(const qor4::DbObjectId&) override { return {}; }
    qor4::ConstIterator<qor4::QORPtr<qor4::IDataSource>> GetDataSources() override { return {}; }

    void Install(MockDataControl* dataControl, MockFileVersionControl* fileVersionControl)
    {
        if (dataControl) instance.components[qor4::UID_DataControl().text] = dataControl;
        if (fileVersionControl) instance.components[qor4::UID_FileVersionControl().text] = fileVersionControl;
    }

    FakeInstance instance;
};

class MockItemLibrary : public opal::datamodel::IItemLibrary {
public:
    MOCK_METHOD(void, AddNotification, (opal::datamodel::IItemLibraryNotification*, std::uint32_t, int), (override));
    MOCK_METHOD(void, RemoveNotification, (opal::datamodel::IItemLibraryNotification*, std::uint32_t, int), (override));
    MOCK_METHOD(opal::datamodel::ItemID, BuildItemID, (const std::string&, const void*), (override));
    MOCK_METHOD(opal::datamodel::IItem*, FindItem, (const opal::datamodel::ItemID&), (override));
    MOCK_METHOD(void, DeliverAccessStateChanged, (int, const opal::datamodel::ItemID&, std::uint32_t), (override));
};
