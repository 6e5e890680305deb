// WorkerBackend: runs every operation of the backend it decorates on a worker thread, so that a
// slow, stopped or contested server never freezes the user-interface thread.
//
// The calling (UI) thread waits for the operation for a short grace time. When it has not finished
// by then, the installed qor4::ITimeOutDelegate's WaitForCompletion runs (the host's cancellable
// progress box, a nested event loop) until NotifyCompletion, posted to the UI thread when the
// operation ends, closes it. Cancel in the box cancels the operation through OperationScope; the
// operation then answers ServerCode::kCancelled, unless it finished after all or says what it did.
// From then on the server the user gave up on is asked in the background whether it answers again
// (for at most kProbeLimit); until it does, every operation answers ServerCode::kServerError at once,
// saying that the server has not answered since the cancel (the user cancelled nothing this time),
// so that the rest of the flow does not wait for it again. A cancel ends the wait, not the session:
// the session and its password stay, and the first operation after the server answers again goes
// through. Operations run one at a time, in the order they were asked for.
//
// Safe on any thread: a view's background refresh queries while the UI thread opens and closes
// sessions; the sessions' servers are behind a lock and the delegate is atomic.
#pragma once

#include "RevisionBackend.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace standin {

class HOST_API WorkerBackend final : public RevisionBackend {
public:
    static constexpr std::chrono::milliseconds kGraceTime{500};
    // How often, how patiently and for how long a server the user gave up on is asked again.
    static constexpr std::chrono::milliseconds kProbeInterval{250};
    static constexpr std::chrono::milliseconds kProbeWithin{2000};
    static constexpr std::chrono::minutes kProbeLimit{10};

    // Must be built on the thread that runs the event loop the delegate's box uses.
    explicit WorkerBackend(std::shared_ptr<RevisionBackend> inner, std::chrono::milliseconds grace = kGraceTime);
    ~WorkerBackend() override;
    WorkerBackend(const WorkerBackend&) = delete;
    WorkerBackend& operator=(const WorkerBackend&) = delete;

    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) override { m_delegate.store(delegate); }
    void Interrupt() override { m_inner->Interrupt(); }
    bool Answers(const std::string& server, std::chrono::milliseconds within) override
    {
        return m_inner->Answers(server, within);
    }
    // True from a Cancel until the server answers again.
    bool WaitingForServer() const;
    // What an operation answers meanwhile.
    static std::string NotAnsweredSinceCancelText(const std::string& server);

    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override;
    bool IsSessionOpen(SessionId session) override;
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
    class Worker;
    class Prober;

    // Runs call on the worker and waits as the class comment says; true when the user cancelled.
    bool Run(const std::function<void()>& call);
    // Tells the host's log, an entry per line, what a call settled of interrupted work.
    static void TellSettled(const std::string& settled);
    // server: the URL the call talks to ("" unknown), probed after a Cancel.
    template <typename Result> Result Call(const std::string& server, const std::function<Result()>& call);
    std::string ServerOf(SessionId session) const;

    std::shared_ptr<RevisionBackend> m_inner;
    std::chrono::milliseconds m_grace;
    std::atomic<qor4::ITimeOutDelegate*> m_delegate{nullptr};
    mutable std::mutex m_serversMutex;
    std::map<SessionId, std::string> m_servers; // from the logins that opened the sessions; m_serversMutex
    QObject m_uiThread;                         // where completions are delivered
    std::unique_ptr<Worker> m_worker;
    std::unique_ptr<Prober> m_prober;
};

} // namespace standin
