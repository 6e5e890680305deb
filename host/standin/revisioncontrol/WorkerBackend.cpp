#include "revisioncontrol/WorkerBackend.h"

#include "revisioncontrol/OperationScope.h"

#include "Log/Log.h"
#include "qor4/IFileVersionControl.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace standin {

namespace {

// Waking a sleeping thread costs tens of microseconds on a virtual machine, once each way: a save
// that marks 1,000 new assets makes 2,000 calls, and sleeping between them cost a tenth of its time.
// So the worker looks for the next job a little before it sleeps, and the caller for the answer.
constexpr std::chrono::microseconds kWorkerSpin{1000};
constexpr std::chrono::microseconds kCallerSpin{2000};

// Polls ready() until it holds or spin has passed; true when it holds.
template <typename Ready> bool SpinUntil(Ready ready, std::chrono::microseconds spin)
{
    const auto until = std::chrono::steady_clock::now() + spin;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// One thread that runs posted jobs in order.
class WorkerBackend::Worker {
public:
    Worker() : m_thread([this] { Loop(); }) {}
    ~Worker()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    std::future<void> Post(std::function<void()> job)
    {
        std::packaged_task<void()> task(std::move(job));
        std::future<void> done = task.get_future();
        bool asleep = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(std::move(task));
            ++m_posted;
            asleep = m_asleep;
        }
        if (asleep) m_wake.notify_one();
        return done;
    }

private:
    void Loop()
    {
        std::uint64_t taken = 0;
        while (true) {
            std::packaged_task<void()> job;
            SpinUntil([&] { return m_posted.load() != taken; }, kWorkerSpin);
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_asleep = true;
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                m_asleep = false;
                if (m_jobs.empty()) return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
                ++taken;
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
    std::atomic<std::uint64_t> m_posted{0};
    bool m_asleep = false; // waiting on m_wake, or about to: only then does a post wake it
    bool m_stopping = false;
    std::thread m_thread;
};

// Asks a server the user gave up on, on a thread of its own, until it answers or kProbeLimit has
// passed.
class WorkerBackend::Prober {
public:
    explicit Prober(ServerControl& control) : m_control(control) {}
    ~Prober() { Stop(); }

    void Start(const std::string& server)
    {
        Stop();
        {
            const std::lock_guard<std::mutex> lock(m_serverMutex);
            m_server = server;
        }
        m_waiting = true;
        m_stopping = false;
        m_thread = std::thread([this, server] { Loop(server); });
    }
    bool Waiting() const { return m_waiting; }
    // The server asked, as the last Start named it; a background refresh reads it while a cancel on
    // the UI thread starts the next probe.
    std::string Server() const
    {
        const std::lock_guard<std::mutex> lock(m_serverMutex);
        return m_server;
    }

private:
    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) m_thread.join();
        m_waiting = false;
    }
    void Loop(const std::string& server)
    {
        const auto giveUp = std::chrono::steady_clock::now() + kProbeLimit;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stopping && std::chrono::steady_clock::now() < giveUp) {
            lock.unlock();
            const bool answers = m_control.Answers(server, kProbeWithin);
            lock.lock();
            if (answers) break;
            m_wake.wait_for(lock, kProbeInterval, [this] { return m_stopping; });
        }
        m_waiting = false;
    }

    ServerControl& m_control;
    mutable std::mutex m_serverMutex;
    std::string m_server; // m_serverMutex
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::atomic<bool> m_waiting{false};
    std::thread m_thread;
};

namespace {

// A login the server gave no answer to; other results carry no such mark.
void MarkUnanswered(const Passage& passage, ServerResult& result)
{
    if (passage.credentials) static_cast<LoginResult&>(result).unanswered = true;
}

// Who got there first: the worker with the answer, or the UI thread giving up the grace period and
// putting the box up. Only a box that went up needs telling, so a quick call posts no event.
enum class CallPhase { kRunning, kAnswered, kBoxUp };

// What the UI thread and the worker share about one call.
struct CallState {
    std::atomic<bool> cancelled{false};
    std::atomic<CallPhase> phase{CallPhase::kRunning};
    std::atomic<bool> finished{false};
    bool waiting = false; // UI thread only: the delegate's box is up for this call
};

} // namespace

WorkerBackend::WorkerBackend(std::shared_ptr<RevisionBackend> inner, std::shared_ptr<ServerControl> control,
                             std::chrono::milliseconds grace)
    : ForwardingBackend(std::move(inner)), m_control(std::move(control)), m_grace(grace),
      m_worker(std::make_unique<Worker>()), m_prober(std::make_unique<Prober>(*m_control))
{
}

WorkerBackend::~WorkerBackend()
{
    m_prober.reset();
    m_worker.reset();
}

bool WorkerBackend::WaitingForServer() const
{
    return m_prober->Waiting();
}

std::string WorkerBackend::NotAnsweredSinceCancelText(const std::string& server)
{
    return "The server at " + server +
           " has not answered since the last operation was cancelled; try again when it answers.\n";
}

std::string WorkerBackend::ServerOf(SessionId session) const
{
    const std::lock_guard<std::mutex> lock(m_serversMutex);
    const auto found = m_servers.find(session);
    return found == m_servers.end() ? std::string() : found->second;
}

bool WorkerBackend::Run(const std::function<void()>& call)
{
    auto state = std::make_shared<CallState>();
    QObject* uiThread = &m_uiThread;
    // The progress box is a window: only a call from the UI thread may show it. A call from a
    // thread of its own (a view's background refresh) waits for its answer without one.
    qor4::ITimeOutDelegate* delegate = QThread::currentThread() == uiThread->thread() ? m_delegate.load() : nullptr;
    std::future<void> done = m_worker->Post([state, &call, delegate, uiThread] {
        {
            OperationScope scope(state->cancelled);
            call();
        }
        state->finished = true;
        CallPhase running = CallPhase::kRunning;
        if (!delegate || state->phase.compare_exchange_strong(running, CallPhase::kAnswered)) return;
        // The box closes on the UI thread, and only while it is up for this call.
        QMetaObject::invokeMethod(
            uiThread,
            [state, delegate] {
                if (state->waiting) delegate->NotifyCompletion();
            },
            Qt::QueuedConnection);
    });
    CallPhase running = CallPhase::kRunning;
    const bool quick = SpinUntil([&state] { return state->finished.load(); }, kCallerSpin);
    if (quick || done.wait_for(m_grace) == std::future_status::ready || !delegate ||
        !state->phase.compare_exchange_strong(running, CallPhase::kBoxUp)) {
        done.get();
        return false;
    }
    state->waiting = true;
    const bool cancelled = delegate->WaitForCompletion();
    state->waiting = false;
    if (cancelled) {
        state->cancelled = true;
        m_control->Interrupt();
    }
    done.get();
    return cancelled;
}

void WorkerBackend::TellSettled(const std::string& settled)
{
    std::size_t begin = 0;
    while (begin < settled.size()) {
        const std::size_t end = std::min(settled.find('\n', begin), settled.size());
        Log::Singleton::Instance() << Log::MsgType::Info
                                   << std::string(ServerText::kSettled) + settled.substr(begin, end - begin);
        begin = end + 1;
    }
}

void WorkerBackend::Carry(const Passage& passage, ServerResult* result, const std::function<void()>& forward)
{
    if (!result) {
        Run(forward);
        return;
    }
    if (m_prober->Waiting()) {
        // Nothing was asked of the server, and the user cancelled nothing this time.
        result->code = ServerCode::kServerError;
        result->text = NotAnsweredSinceCancelText(m_prober->Server());
        MarkUnanswered(passage, *result);
        return;
    }
    const bool cancelled = Run(forward);
    TellSettled(result->settled);
    const std::string server = passage.credentials ? passage.credentials->server : ServerOf(passage.session);
    if (cancelled && !server.empty()) m_prober->Start(server);
    // An operation that finished after all keeps its own answer, and so does one that says what it
    // did and did not do.
    if (cancelled && result->Failed() && result->code != ServerCode::kCancelled &&
        result->code != ServerCode::kPartlyDone && result->code != ServerCode::kOutcomeUnknown) {
        result->code = ServerCode::kCancelled;
        result->text = std::string(ServerText::kCancelled) + "\n";
    }
    if (cancelled && result->code == ServerCode::kCancelled) MarkUnanswered(passage, *result);
}

LoginResult WorkerBackend::OpenSession(const Credentials& credentials)
{
    LoginResult login = ForwardingBackend::OpenSession(credentials);
    if (login.Succeeded()) {
        const std::lock_guard<std::mutex> lock(m_serversMutex);
        m_servers[login.session] = credentials.server;
    }
    return login;
}

void WorkerBackend::CloseSession(SessionId session)
{
    ForwardingBackend::CloseSession(session);
    const std::lock_guard<std::mutex> lock(m_serversMutex);
    m_servers.erase(session);
}

} // namespace standin
