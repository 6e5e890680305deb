// FaultSwitch: where the fault decorator is plugged in, between the worker thread and the Subversion
// backend: for the whole run (the tests' hosts) or while a simulation of the demo's Simulate menu
// is on. While it is unplugged there is no decorator: every operation goes straight to the
// Subversion backend and nothing is kept of it.
//
// The UI thread plugs and unplugs while the worker runs operations (the worker's own backend is
// fixed when it starts, and its prober holds it): an operation takes its target under the lock and
// holds it until it returns, so an operation in a decorator that is taken out ends there, and the
// decorator with it.
#pragma once

#include "FaultyBackend.h"
#include "RevisionBackend.h"

#include <memory>
#include <mutex>

namespace standin {

class FaultSwitch final : public RevisionBackend {
public:
    explicit FaultSwitch(std::shared_ptr<RevisionBackend> subversion);

    // The fault decorator, plugged in first when it was not.
    std::shared_ptr<FaultyBackend> Faults();
    // Takes the decorator out, with every fault it had.
    void Unplug();
    bool Plugged() const;

    // Need no decorator: they go to the Subversion backend.
    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) override { m_subversion->SetTimeOutDelegate(delegate); }
    void Interrupt() override { m_subversion->Interrupt(); }
    bool Answers(const std::string& server, std::chrono::milliseconds within) override
    {
        return m_subversion->Answers(server, within);
    }
    LoginResult OpenSession(const Credentials& credentials) override { return Target()->OpenSession(credentials); }
    void CloseSession(SessionId session) override { Target()->CloseSession(session); }
    bool IsSessionOpen(SessionId session) override { return Target()->IsSessionOpen(session); }
    ServerResult Edit(SessionId session, const FileList& files, const std::string& changeList) override
    {
        return Target()->Edit(session, files, changeList);
    }
    AddResult Add(SessionId session, const FileList& files, const std::string& changeList) override
    {
        return Target()->Add(session, files, changeList);
    }
    ServerResult Delete(SessionId session, const FileList& files, const std::string& changeList) override
    {
        return Target()->Delete(session, files, changeList);
    }
    ServerResult Revert(SessionId session, const FileList& files) override { return Target()->Revert(session, files); }
    ServerResult MakeWritable(SessionId session, const FileList& files) override
    {
        return Target()->MakeWritable(session, files);
    }
    StatusResult Status(SessionId session, const FileList& files, StatusScope scope) override
    {
        return Target()->Status(session, files, scope);
    }
    UsersResult Users(SessionId session, const FileList& files, bool includeLocks) override
    {
        return Target()->Users(session, files, includeLocks);
    }
    ChangeListResult CreateChangeList(SessionId session, const std::string& description) override
    {
        return Target()->CreateChangeList(session, description);
    }
    ChangeListsResult PendingChangeLists(SessionId session) override { return Target()->PendingChangeLists(session); }
    DescriptionResult ChangeListDescription(SessionId session, const std::string& changeList) override
    {
        return Target()->ChangeListDescription(session, changeList);
    }
    bool IsChangeListValid(SessionId session, const std::string& changeList) override
    {
        return Target()->IsChangeListValid(session, changeList);
    }
    ChangeListResult Submit(SessionId session, const std::string& changeList) override
    {
        return Target()->Submit(session, changeList);
    }
    UpdateResult Update(SessionId session, const FileList& files) override { return Target()->Update(session, files); }

private:
    // The decorator while it is plugged in, the Subversion backend otherwise.
    std::shared_ptr<RevisionBackend> Target() const;

    const std::shared_ptr<RevisionBackend> m_subversion;
    mutable std::mutex m_mutex;              // guards m_faults
    std::shared_ptr<FaultyBackend> m_faults; // null while unplugged
};

} // namespace standin
