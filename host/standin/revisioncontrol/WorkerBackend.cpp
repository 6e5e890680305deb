#include "WorkerBackend.h"

#include "OperationScope.h"

#include "qor4/IFileVersionControl.h"

#include <QMetaObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace standin {

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
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(std::move(task));
        }
        m_wake.notify_one();
        return done;
    }

private:
    void Loop()
    {
        while (true) {
            std::packaged_task<void()> job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty()) return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

namespace {

// What the UI thread and the worker share about one call.
struct CallState {
    std::atomic<bool> cancelled{false};
    bool waiting = false; // UI thread only: the delegate's box is up for this call
};

} // namespace

WorkerBackend::WorkerBackend(std::shared_ptr<RevisionBackend> inner, std::chrono::milliseconds grace)
    : m_inner(std::move(inner)), m_grace(grace), m_worker(std::make_unique<Worker>())
{
}

WorkerBackend::~WorkerBackend() = default;

bool WorkerBackend::Run(const std::function<void()>& call)
{
    auto state = std::make_shared<CallState>();
    qor4::ITimeOutDelegate* delegate = m_delegate;
    QObject* uiThread = &m_uiThread;
    std::future<void> done = m_worker->Post([state, &call, delegate, uiThread] {
        {
            OperationScope scope(state->cancelled);
            call();
        }
        if (!delegate) return;
        // The box closes on the UI thread, and only while it is up for this call.
        QMetaObject::invokeMethod(
            uiThread,
            [state, delegate] {
                if (state->waiting) delegate->NotifyCompletion();
            },
            Qt::QueuedConnection);
    });
    if (done.wait_for(m_grace) == std::future_status::ready || !delegate) {
        done.get();
        return false;
    }
    state->waiting = true;
    const bool cancelled = delegate->WaitForCompletion();
    state->waiting = false;
    if (cancelled) {
        state->cancelled = true;
        m_inner->Interrupt();
    }
    done.get();
    return cancelled;
}

template <typename Result> Result WorkerBackend::Call(const std::function<Result()>& call)
{
    Result result;
    const auto now = std::chrono::steady_clock::now();
    if (m_cancelledAt > now - kCancelEcho) {
        result.code = ServerCode::kCancelled;
        result.text = std::string(ServerText::kCancelled) + "\n";
        return result;
    }
    const bool cancelled = Run([&result, &call] { result = call(); });
    if (cancelled) m_cancelledAt = std::chrono::steady_clock::now();
    // An operation that finished after all keeps its own answer, and so does one that says what it
    // did and did not do.
    if (cancelled && result.Failed() && result.code != ServerCode::kCancelled &&
        result.code != ServerCode::kPartlyDone && result.code != ServerCode::kOutcomeUnknown) {
        result.code = ServerCode::kCancelled;
        result.text = std::string(ServerText::kCancelled) + "\n";
    }
    return result;
}

LoginResult WorkerBackend::OpenSession(const Credentials& credentials)
{
    return Call<LoginResult>([&] { return m_inner->OpenSession(credentials); });
}

void WorkerBackend::CloseSession(SessionId session)
{
    Run([&] { m_inner->CloseSession(session); });
}

bool WorkerBackend::IsSessionOpen(SessionId session)
{
    bool open = false;
    Run([&] { open = m_inner->IsSessionOpen(session); });
    return open;
}

ServerResult WorkerBackend::Edit(SessionId session, const FileList& files, const std::string& changeList)
{
    return Call<ServerResult>([&] { return m_inner->Edit(session, files, changeList); });
}

ServerResult WorkerBackend::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    return Call<ServerResult>([&] { return m_inner->Add(session, files, changeList); });
}

ServerResult WorkerBackend::Delete(SessionId session, const FileList& files, const std::string& changeList)
{
    return Call<ServerResult>([&] { return m_inner->Delete(session, files, changeList); });
}

ServerResult WorkerBackend::Revert(SessionId session, const FileList& files)
{
    return Call<ServerResult>([&] { return m_inner->Revert(session, files); });
}

ServerResult WorkerBackend::MakeWritable(SessionId session, const FileList& files)
{
    return Call<ServerResult>([&] { return m_inner->MakeWritable(session, files); });
}

StatusResult WorkerBackend::Status(SessionId session, const FileList& files, StatusScope scope)
{
    return Call<StatusResult>([&] { return m_inner->Status(session, files, scope); });
}

UsersResult WorkerBackend::Users(SessionId session, const FileList& files, bool includeLocks)
{
    return Call<UsersResult>([&] { return m_inner->Users(session, files, includeLocks); });
}

ChangeListResult WorkerBackend::CreateChangeList(SessionId session, const std::string& description)
{
    return Call<ChangeListResult>([&] { return m_inner->CreateChangeList(session, description); });
}

ChangeListsResult WorkerBackend::PendingChangeLists(SessionId session)
{
    return Call<ChangeListsResult>([&] { return m_inner->PendingChangeLists(session); });
}

DescriptionResult WorkerBackend::ChangeListDescription(SessionId session, const std::string& changeList)
{
    return Call<DescriptionResult>([&] { return m_inner->ChangeListDescription(session, changeList); });
}

bool WorkerBackend::IsChangeListValid(SessionId session, const std::string& changeList)
{
    bool valid = false;
    Run([&] { valid = m_inner->IsChangeListValid(session, changeList); });
    return valid;
}

ChangeListResult WorkerBackend::Submit(SessionId session, const std::string& changeList)
{
    return Call<ChangeListResult>([&] { return m_inner->Submit(session, changeList); });
}

} // namespace standin
