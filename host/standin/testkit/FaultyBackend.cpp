#include "testkit/FaultyBackend.h"

#include "revisioncontrol/OperationScope.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace standin {

namespace {

constexpr std::chrono::milliseconds kSlowPollInterval{10};
const FileList kNoFiles;

std::string Normal(const std::string& file)
{
    return std::filesystem::path(file).lexically_normal().string();
}

} // namespace

FaultyBackend::FaultyBackend(std::shared_ptr<RevisionBackend> inner) : ForwardingBackend(std::move(inner)) {}

void FaultyBackend::FailNext(const std::string& operation, std::int32_t code, const std::string& text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.emplace(operation, Fault{code, text, true, 0});
}

void FaultyBackend::FailAlways(const std::string& operation, std::int32_t code, const std::string& text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.emplace(operation, Fault{code, text, false, 0});
}

void FaultyBackend::FailAfter(const std::string& operation, int passing, std::int32_t code, const std::string& text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.emplace(operation, Fault{code, text, true, passing});
}

void FaultyBackend::ClearFaults()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

void FaultyBackend::SetSlow(const std::string& operation, int milliseconds)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (milliseconds > 0)
        m_slow[operation] = milliseconds;
    else
        m_slow.erase(operation);
}

void FaultyBackend::ExpireSession(SessionId session)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_expired.insert(session);
}

void FaultyBackend::SetOtherUserState(const std::string& file, qor4::StatusWord word, const std::string& user)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (word == 0)
        m_otherUsers.erase(Normal(file));
    else
        m_otherUsers[Normal(file)] = {word, user};
}

void FaultyBackend::SetIOError(const std::string& file, bool failing)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (failing)
        m_ioErrors.insert(Normal(file));
    else
        m_ioErrors.erase(Normal(file));
}

ServerResult FaultyBackend::Admit(const Passage& passage)
{
    const char* operation = passage.operation;
    const SessionId session = passage.session;
    int slowMs = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        auto slow = m_slow.find(operation);
        if (slow == m_slow.end()) slow = m_slow.find(ServerOp::kAll);
        if (slow != m_slow.end()) slowMs = slow->second;
    }
    if (slowMs > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(slowMs);
        while (std::chrono::steady_clock::now() < until) {
            if (OperationScope::Cancelled())
                return {ServerCode::kCancelled, std::string(ServerText::kCancelled) + "\n"};
            std::this_thread::sleep_for(kSlowPollInterval);
        }
    }

    bool expired = false;
    std::string expiredText;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        expired = m_expired.count(session) != 0;
        // Only an expiry is told, so only an expiry looks its account up.
        const auto account = expired ? m_accounts.find(session) : m_accounts.end();
        if (expired)
            expiredText =
                account == m_accounts.end()
                    ? std::string(ServerText::kSessionExpired)
                    : ServerText::OfSession(ServerText::kSessionExpired, account->second.first, account->second.second);
    }
    if (expired) {
        // As a session that really expired: the backend forgets it, and its password with it.
        Inner().CloseSession(session);
        return {qor4::kResultSessionExpired, expiredText + "\n"};
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::string failing;
    // A failing file fails the changes that name it; a query tells it in the file's status.
    const bool namesFiles = passage.kind == Passage::Kind::kChange && passage.files;
    for (const std::string& file : namesFiles ? *passage.files : kNoFiles)
        if (!m_ioErrors.empty() && m_ioErrors.count(Normal(file)) != 0)
            failing += file + " - cannot be read or changed.\n";
    if (!failing.empty()) return {ServerCode::kIOError, failing};
    for (const std::string& name : {std::string(operation), std::string(ServerOp::kAll)}) {
        const auto fault = m_faults.find(name);
        if (fault == m_faults.end()) continue;
        if (fault->second.passing > 0) {
            --fault->second.passing;
            continue;
        }
        const ServerResult injected{fault->second.code, fault->second.text};
        if (fault->second.once) m_faults.erase(fault);
        return injected;
    }
    return {};
}

LoginResult FaultyBackend::OpenSession(const Credentials& credentials)
{
    const LoginResult result = ForwardingBackend::OpenSession(credentials);
    if (result.Succeeded()) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_accounts[result.session] = {credentials.user, credentials.server};
    }
    return result;
}

void FaultyBackend::CloseSession(SessionId session)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_expired.erase(session);
    }
    Inner().CloseSession(session);
}

bool FaultyBackend::IsSessionOpen(SessionId session)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_expired.count(session) != 0) return false;
    }
    return Inner().IsSessionOpen(session);
}

StatusResult FaultyBackend::Status(SessionId session, const FileList& files, StatusScope scope)
{
    StatusResult result = ForwardingBackend::Status(session, files, scope);
    Decorate(files, result);
    return result;
}

void FaultyBackend::Decorate(const FileList& files, StatusResult& result) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const bool decorated = !m_otherUsers.empty() || !m_ioErrors.empty();
    for (std::size_t i = 0; decorated && result.Succeeded() && i < files.size() && i < result.words.size(); ++i) {
        const auto other = m_otherUsers.find(Normal(files[i]));
        if (other != m_otherUsers.end()) result.words[i] |= other->second.word;
        if (m_ioErrors.count(Normal(files[i])) != 0) result.words[i] |= qor4::FileStatus::kIOError;
    }
}

UsersResult FaultyBackend::Users(SessionId session, const FileList& files, bool includeLocks)
{
    UsersResult result = ForwardingBackend::Users(session, files, includeLocks);
    DecorateUsers(files, result);
    return result;
}

void FaultyBackend::DecorateUsers(const FileList& files, UsersResult& result) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t i = 0; result.Succeeded() && i < files.size(); ++i) {
        const auto other = m_otherUsers.find(Normal(files[i]));
        if (other != m_otherUsers.end()) result.users.push_back(other->second.user);
    }
}

} // namespace standin
