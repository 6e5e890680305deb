#include "FaultyBackend.h"

#include "OperationScope.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace standin {

namespace {

constexpr std::chrono::milliseconds kSlowPollInterval{10};

std::string Normal(const std::string& file)
{
    return std::filesystem::path(file).lexically_normal().string();
}

} // namespace

FaultyBackend::FaultyBackend(std::shared_ptr<RevisionBackend> inner) : m_inner(std::move(inner)) {}

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

ServerResult FaultyBackend::Enter(const char* operation, SessionId session, const FileList& files)
{
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
            expiredText = account == m_accounts.end()
                              ? std::string(ServerText::kSessionExpired)
                              : ServerText::OfSession(ServerText::kSessionExpired, account->second.first,
                                                      account->second.second);
    }
    if (expired) {
        // As a session that really expired: the backend forgets it, and its password with it.
        m_inner->CloseSession(session);
        return {qor4::kResultSessionExpired, expiredText + "\n"};
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::string failing;
    for (const std::string& file : files)
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

template <typename Result>
bool FaultyBackend::Entered(const char* operation, SessionId session, Result& result, const FileList& files)
{
    const ServerResult entered = Enter(operation, session, files);
    if (entered.code == qor4::kResultOk && entered.text.empty()) return true;
    result.code = entered.code;
    result.text = entered.text;
    return false;
}

LoginResult FaultyBackend::OpenSession(const Credentials& credentials)
{
    LoginResult result;
    if (!Entered(ServerOp::kLogin, 0, result)) return result;
    result = m_inner->OpenSession(credentials);
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
    m_inner->CloseSession(session);
}

bool FaultyBackend::IsSessionOpen(SessionId session)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_expired.count(session) != 0) return false;
    }
    return m_inner->IsSessionOpen(session);
}

ServerResult FaultyBackend::Edit(SessionId session, const FileList& files, const std::string& changeList)
{
    ServerResult result;
    if (!Entered(ServerOp::kEdit, session, result, files)) return result;
    return m_inner->Edit(session, files, changeList);
}

AddResult FaultyBackend::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    AddResult result;
    if (!Entered(ServerOp::kAdd, session, result, files)) return result;
    return m_inner->Add(session, files, changeList);
}

ServerResult FaultyBackend::Delete(SessionId session, const FileList& files, const std::string& changeList)
{
    ServerResult result;
    if (!Entered(ServerOp::kDelete, session, result, files)) return result;
    return m_inner->Delete(session, files, changeList);
}

UpdateResult FaultyBackend::Update(SessionId session, const FileList& files)
{
    UpdateResult result;
    if (!Entered(ServerOp::kUpdate, session, result, files)) return result;
    return m_inner->Update(session, files);
}

ServerResult FaultyBackend::Revert(SessionId session, const FileList& files)
{
    ServerResult result;
    if (!Entered(ServerOp::kRevert, session, result, files)) return result;
    return m_inner->Revert(session, files);
}

ServerResult FaultyBackend::MakeWritable(SessionId session, const FileList& files)
{
    ServerResult result;
    if (!Entered(ServerOp::kMakeWritable, session, result, files)) return result;
    return m_inner->MakeWritable(session, files);
}

StatusResult FaultyBackend::Status(SessionId session, const FileList& files, StatusScope scope)
{
    StatusResult result;
    if (!Entered(ServerOp::kStatus, session, result)) return result;
    result = m_inner->Status(session, files, scope);
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
    UsersResult result;
    if (!Entered(ServerOp::kUsers, session, result)) return result;
    result = m_inner->Users(session, files, includeLocks);
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

ChangeListResult FaultyBackend::CreateChangeList(SessionId session, const std::string& description)
{
    ChangeListResult result;
    if (!Entered(ServerOp::kCreateChangeList, session, result)) return result;
    return m_inner->CreateChangeList(session, description);
}

ChangeListsResult FaultyBackend::PendingChangeLists(SessionId session)
{
    ChangeListsResult result;
    if (!Entered(ServerOp::kPendingChangeLists, session, result)) return result;
    return m_inner->PendingChangeLists(session);
}

DescriptionResult FaultyBackend::ChangeListDescription(SessionId session, const std::string& changeList)
{
    DescriptionResult result;
    if (!Entered(ServerOp::kChangeListDescription, session, result)) return result;
    return m_inner->ChangeListDescription(session, changeList);
}

bool FaultyBackend::IsChangeListValid(SessionId session, const std::string& changeList)
{
    ServerResult result;
    return Entered(ServerOp::kIsChangeListValid, session, result) && m_inner->IsChangeListValid(session, changeList);
}

ChangeListResult FaultyBackend::Submit(SessionId session, const std::string& changeList)
{
    ChangeListResult result;
    if (!Entered(ServerOp::kSubmit, session, result)) return result;
    return m_inner->Submit(session, changeList);
}

} // namespace standin
