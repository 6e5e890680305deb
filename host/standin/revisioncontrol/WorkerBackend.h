// WorkerBackend: runs every operation of the backend it decorates on a worker thread, so that a
// slow, stopped or contested server never freezes the user-interface thread.
//
// The calling (UI) thread waits for the operation for a short grace time. When it has not finished
// by then, the installed qor4::ITimeOutDelegate's WaitForCompletion runs (the host's cancellable
// progress box, a nested event loop) until NotifyCompletion, posted to the UI thread when the
// operation ends, closes it. Cancel in the box cancels the operation through OperationScope; the
// operation then answers ServerCode::kCancelled, unless it finished after all; so do the operations
// asked for in the moments right after a Cancel (the rest of the same flow), without trying the
// server again. Operations run one at a time, in the order they were asked for.
#pragma once

#include "RevisionBackend.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace standin {

class HOST_API WorkerBackend final : public RevisionBackend {
public:
    static constexpr std::chrono::milliseconds kGraceTime{500};
    // How long after a Cancel further operations are cancelled at once.
    static constexpr std::chrono::milliseconds kCancelEcho{2000};

    // Must be built on the thread that runs the event loop the delegate's box uses.
    explicit WorkerBackend(std::shared_ptr<RevisionBackend> inner, std::chrono::milliseconds grace = kGraceTime);
    ~WorkerBackend() override;
    WorkerBackend(const WorkerBackend&) = delete;
    WorkerBackend& operator=(const WorkerBackend&) = delete;

    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) override { m_delegate = delegate; }
    void Interrupt() override { m_inner->Interrupt(); }

    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override;
    bool IsSessionOpen(SessionId session) override;
    ServerResult Edit(SessionId session, const FileList& files, const std::string& changeList) override;
    ServerResult Add(SessionId session, const FileList& files, const std::string& changeList) override;
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

private:
    class Worker;

    // Runs call on the worker and waits as the class comment says; true when the user cancelled.
    bool Run(const std::function<void()>& call);
    template <typename Result> Result Call(const std::function<Result()>& call);

    std::shared_ptr<RevisionBackend> m_inner;
    std::chrono::milliseconds m_grace;
    qor4::ITimeOutDelegate* m_delegate = nullptr;
    // When the user last cancelled; long ago until then.
    std::chrono::steady_clock::time_point m_cancelledAt = std::chrono::steady_clock::time_point::min();
    QObject m_uiThread; // where completions are delivered
    std::unique_ptr<Worker> m_worker;
};

} // namespace standin
