// The screenshots' data control: a few pending changelists in memory, listed and described for
// the changelist dialog. Everything else answers a failure.
#pragma once

#include "qor4/IDataControl.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class ScreenshotDataControl : public qor4::IDataControl {
public:
    static constexpr std::int32_t kFailure = -1;

    // Pending changelists by name, listed in insertion order.
    std::vector<std::pair<std::string, std::string>> changeLists;

    void Add(std::string name, std::string description)
    {
        changeLists.emplace_back(std::move(name), std::move(description));
    }

    // The screenshot tool owns it for its whole run.
    void AddRef() override {}
    void Release() override {}
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override
    {
        if (iid != GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
        AddRef();
        *object = static_cast<qor4::IDataControl*>(this);
        return true;
    }

    qor4::qorResult GetPendingChangeLists(std::list<std::string>& names, std::string& message) override
    {
        for (const auto& entry : changeLists)
            names.push_back(entry.first);
        return qor4::kResultOk;
    }
    qor4::qorResult GetChangeListDescription(const std::string& name, std::string& description,
                                             std::string& message) override
    {
        for (const auto& entry : changeLists) {
            if (entry.first != name) continue;
            description = entry.second;
            return qor4::kResultOk;
        }
        message = "no such changelist";
        return kFailure;
    }
    qor4::qorResult CreateChangeList(const std::string&, std::string&, std::string& message) override
    {
        message = "not in the screenshots";
        return kFailure;
    }

    bool IsChangeListValid(const std::string&) override { return false; }
    qor4::qorResult CheckOut(const qor4::DbObjectList&, bool, const qor4::DataControlContext&, const std::string&,
                             std::string&) override
    {
        return kFailure;
    }
    qor4::qorResult MarkForAdd(const qor4::DbObjectList&, bool, const qor4::DataControlContext&, const std::string&,
                               std::string&) override
    {
        return kFailure;
    }
    qor4::qorResult GetAccessStates(const qor4::DbObjectList&, bool, const qor4::DataControlContext&, bool,
                                    std::list<qor4::StatusWord>&, std::string&) override
    {
        return kFailure;
    }
    qor4::qorResult GetObjectUsers(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&,
                                   std::list<std::string>&, std::string&) override
    {
        return kFailure;
    }
    bool IsReadOnly(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&) override { return false; }
    bool QueryObjectFlag(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&) override { return false; }
    qor4::qorResult QueryObjectState(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&, bool&) override
    {
        return kFailure;
    }
    qor4::qorResult GetObjectFileList(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&, bool,
                                      std::set<std::string>&) override
    {
        return kFailure;
    }
    qor4::qorResult GetObjectFiles(const qor4::DbObjectHandle&, const qor4::DataControlContext&,
                                   std::set<std::string>&) override
    {
        return kFailure;
    }
    qor4::qorResult MakeWritable(const qor4::DbObjectHandle&, bool, const qor4::DataControlContext&,
                                 std::string&) override
    {
        return kFailure;
    }
    qor4::qorResult GetFiles(const qor4::DbObjectList&, bool, const qor4::DataControlContext&, bool,
                             std::set<std::string>&, std::vector<std::set<std::string>>&) override
    {
        return kFailure;
    }
    qor4::qorResult CollectAssets(const qor4::DataControlContext&, const qor4::DbObjectList&, int,
                                  std::set<qor4::DbObjectHandle>&) override
    {
        return kFailure;
    }
    qor4::qorResult CollectRelatedObjects(const qor4::DbObjectList&, std::set<qor4::DbObjectHandle>&) override
    {
        return kFailure;
    }
    qor4::qorResult SetUserParameters(const qor4::IUserParameters*) override { return kFailure; }
    const qor4::IUserParameters* GetCurrentUserParameters() override { return nullptr; }
    std::string GetObjectName(const qor4::DbObjectHandle&, const qor4::DataControlContext&) override { return {}; }
    bool QueryObjectInContext(const qor4::DataControlContext&, const qor4::DbObjectHandle&) override { return false; }
    bool HasExternalFiles(const qor4::DbObjectHandle&, const qor4::DataControlContext&) override { return false; }
};
