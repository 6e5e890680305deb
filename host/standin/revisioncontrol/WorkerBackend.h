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

#include "revisioncontrol/ForwardingBackend.h"
#include "revisioncontrol/ServerControl.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace qor4 {
class ITimeOutDelegate;
}

namespace standin {

class HOST_API WorkerBackend final : public ForwardingBackend {
public:
    static constexpr std::chrono::milliseconds kGraceTime{500};
    // How often, how patiently and for how long a server the user gave up on is asked again.
    static constexpr std::chrono::milliseconds kProbeInterval{250};
    static constexpr std::chrono::milliseconds kProbeWithin{2000};
    static constexpr std::chrono::minutes kProbeLimit{10};

    // Must be built on the thread that runs the event loop the delegate's box uses.
    // control: the backend's interrupt and probe (the Subversion backend under the decorators).
    WorkerBackend(std::shared_ptr<RevisionBackend> inner, std::shared_ptr<ServerControl> control,
                  std::chrono::milliseconds grace = kGraceTime);
    ~WorkerBackend() override;
    WorkerBackend(const WorkerBackend&) = delete;
    WorkerBackend& operator=(const WorkerBackend&) = delete;

    // The host's progress box for operations that take long (null: none).
    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) { m_delegate.store(delegate); }
    // True from a Cancel until the server answers again.
    bool WaitingForServer() const;
    // What an operation answers meanwhile.
    static std::string NotAnsweredSinceCancelText(const std::string& server);

    // Keep the server of each session, which a Cancel's probe asks.
    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override;

protected:
    // Every operation runs on the worker, as the class comment says.
    void Carry(const Passage& passage, ServerResult* result, const std::function<void()>& forward) override;

private:
    class Worker;
    class Prober;

    // Runs call on the worker and waits as the class comment says; true when the user cancelled.
    bool Run(const std::function<void()>& call);
    // Tells the host's log, an entry per line, what a call settled of interrupted work.
    static void TellSettled(const std::string& settled);
    std::string ServerOf(SessionId session) const;

    std::shared_ptr<ServerControl> m_control;
    std::chrono::milliseconds m_grace;
    std::atomic<qor4::ITimeOutDelegate*> m_delegate{nullptr};
    mutable std::mutex m_serversMutex;
    std::map<SessionId, std::string> m_servers; // from the logins that opened the sessions; m_serversMutex
    QObject m_uiThread;                         // where completions are delivered
    std::unique_ptr<Worker> m_worker;
    std::unique_ptr<Prober> m_prober;
};

} // namespace standin
