// SimulationSwitch: where the Simulate menu plugs the test kit's fault decorator in, between the
// worker thread and the Subversion backend. While no simulation is on there is no decorator: every
// operation goes straight to the Subversion backend and nothing is kept of it.
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

namespace demo {

class SimulationSwitch final : public standin::RevisionBackend {
public:
    explicit SimulationSwitch(std::shared_ptr<standin::RevisionBackend> subversion);

    // The fault decorator, plugged in first when it was not.
    std::shared_ptr<standin::FaultyBackend> Faults();
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
    standin::LoginResult OpenSession(const standin::Credentials& credentials) override
    {
        return Target()->OpenSession(credentials);
    }
    void CloseSession(standin::SessionId session) override { Target()->CloseSession(session); }
    bool IsSessionOpen(standin::SessionId session) override { return Target()->IsSessionOpen(session); }
    standin::ServerResult Edit(standin::SessionId session, const standin::FileList& files,
                               const std::string& changeList) override
    {
        return Target()->Edit(session, files, changeList);
    }
    standin::AddResult Add(standin::SessionId session, const standin::FileList& files,
                           const std::string& changeList) override
    {
        return Target()->Add(session, files, changeList);
    }
    standin::ServerResult Delete(standin::SessionId session, const standin::FileList& files,
                                 const std::string& changeList) override
    {
        return Target()->Delete(session, files, changeList);
    }
    standin::ServerResult Revert(standin::SessionId session, const standin::FileList& files) override
    {
        return Target()->Revert(session, files);
    }
    standin::ServerResult MakeWritable(standin::SessionId session, const standin::FileList& files) override
    {
        return Target()->MakeWritable(session, files);
    }
    standin::StatusResult Status(standin::SessionId session, const standin::FileList& files,
                                 standin::StatusScope scope) override
    {
        return Target()->Status(session, files, scope);
    }
    standin::UsersResult Users(standin::SessionId session, const standin::FileList& files, bool includeLocks) override
    {
        return Target()->Users(session, files, includeLocks);
    }
    standin::ChangeListResult CreateChangeList(standin::SessionId session, const std::string& description) override
    {
        return Target()->CreateChangeList(session, description);
    }
    standin::ChangeListsResult PendingChangeLists(standin::SessionId session) override
    {
        return Target()->PendingChangeLists(session);
    }
    standin::DescriptionResult ChangeListDescription(standin::SessionId session, const std::string& changeList) override
    {
        return Target()->ChangeListDescription(session, changeList);
    }
    bool IsChangeListValid(standin::SessionId session, const std::string& changeList) override
    {
        return Target()->IsChangeListValid(session, changeList);
    }
    standin::ChangeListResult Submit(standin::SessionId session, const std::string& changeList) override
    {
        return Target()->Submit(session, changeList);
    }
    standin::UpdateResult Update(standin::SessionId session, const standin::FileList& files) override
    {
        return Target()->Update(session, files);
    }

private:
    // The decorator while it is plugged in, the Subversion backend otherwise.
    std::shared_ptr<standin::RevisionBackend> Target() const;

    const std::shared_ptr<standin::RevisionBackend> m_subversion;
    mutable std::mutex m_mutex;                       // guards m_faults
    std::shared_ptr<standin::FaultyBackend> m_faults; // null while unplugged
};

} // namespace demo
