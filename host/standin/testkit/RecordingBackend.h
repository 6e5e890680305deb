// RecordingBackend: a decorator over a RevisionBackend that records every operation it passes on
// (session controls, interrupts and probes are not recorded), for tests and the benchmark to count
// and check what reached the server. It changes nothing of what it passes on.
#pragma once

#include "CallRecord.h"
#include "RevisionBackend.h"

#include <memory>

namespace standin {

class RecordingBackend final : public RevisionBackend {
public:
    explicit RecordingBackend(std::shared_ptr<RevisionBackend> inner);

    // Operation names are ServerOp's; arguments are the files then the changelist ("" left out),
    // the login's user, server and working copy, or the changelist or description.
    const CallRecord& Record() const { return m_record; }
    std::vector<RecordedCall> Calls() const { return m_record.Calls(); }
    std::vector<RecordedCall> CallsOf(const std::string& operation) const { return m_record.CallsOf(operation); }
    void ClearCalls() { m_record.Clear(); }

    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) override { m_inner->SetTimeOutDelegate(delegate); }
    void Interrupt() override { m_inner->Interrupt(); }
    bool Answers(const std::string& server, std::chrono::milliseconds within) override
    {
        return m_inner->Answers(server, within);
    }
    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override { m_inner->CloseSession(session); }
    bool IsSessionOpen(SessionId session) override { return m_inner->IsSessionOpen(session); }
    ServerResult Edit(SessionId session, const FileList& files, const std::string& changeList) override;
    AddResult Add(SessionId session, const FileList& files, const std::string& changeList) override;
    ServerResult Delete(SessionId session, const FileList& files, const std::string& changeList) override;
    ServerResult Revert(SessionId session, const FileList& files) override;
    ServerResult MakeWritable(SessionId session, const FileList& files) override;
    StatusResult Status(SessionId session, const FileList& files, StatusScope scope) override;
    UsersResult Users(SessionId session, const FileList& files, bool includeLocks) override;
    ChangeListResult CreateChangeList(SessionId session, const std::string& description) override;
    ChangeListsResult PendingChangeLists(SessionId session) override;
    DescriptionResult ChangeListDescription(SessionId session, const std::string& changeList) override;
    bool IsChangeListValid(SessionId session, const std::string& changeList) override;
    ChangeListResult Submit(SessionId session, const std::string& changeList) override;
    UpdateResult Update(SessionId session, const FileList& files) override;

private:
    std::shared_ptr<RevisionBackend> m_inner;
    CallRecord m_record;
};

} // namespace standin
