#include "SaveStatusMemo.h"

#include <string_view>
#include <unordered_set>
#include <utility>

namespace standin {

void SaveStatusMemo::Expect(FileList files)
{
    Spend();
    m_answered = 0;
    if (files.empty()) return;
    m_expected = std::move(files);
    // Once per save: every query of the notification looks its files up here.
    m_index.reserve(m_expected.size());
    for (std::size_t i = 0; i < m_expected.size(); ++i)
        m_index.emplace(m_expected[i], i);
    m_state = State::kExpecting;
}

void SaveStatusMemo::Forget()
{
    Spend();
}

bool SaveStatusMemo::Answer(SessionId session, const FileList& files, StatusScope scope, StatusResult& answer)
{
    m_affinity.Check("Status");
    if (m_state == State::kIdle || files.empty()) return false;
    // Only a query within the save's files is worth the batch, or can be answered from it.
    for (const std::string& file : files)
        if (m_index.find(file) == m_index.end()) return false;
    if (m_state == State::kExpecting) {
        StatusResult held = m_inner->Status(session, m_expected, scope);
        if (held.code != qor4::kResultOk || held.words.size() != m_expected.size() ||
            held.changeLists.size() != m_expected.size()) {
            Spend();
            return false;
        }
        m_held = std::move(held);
        m_session = session;
        m_scope = scope;
        m_state = State::kHeld;
    }
    if (session != m_session || scope != m_scope) return false;
    StatusResult result;
    for (const std::string& file : files) {
        const std::size_t at = m_index.find(file)->second;
        result.words.push_back(m_held.words[at]);
        result.changeLists.push_back(m_held.changeLists[at]);
    }
    answer = std::move(result);
    ++m_answered;
    return true;
}

StatusResult SaveStatusMemo::Status(SessionId session, const FileList& files, StatusScope scope)
{
    StatusResult answer;
    if (Answer(session, files, scope, answer)) return answer;
    return m_inner->Status(session, files, scope);
}

void SaveStatusMemo::SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate)
{
    m_inner->SetTimeOutDelegate(delegate);
}

void SaveStatusMemo::Interrupt()
{
    m_inner->Interrupt();
}

bool SaveStatusMemo::Answers(const std::string& server, std::chrono::milliseconds within)
{
    return m_inner->Answers(server, within);
}

LoginResult SaveStatusMemo::OpenSession(const Credentials& credentials)
{
    Spend();
    return m_inner->OpenSession(credentials);
}

void SaveStatusMemo::CloseSession(SessionId session)
{
    Spend();
    m_inner->CloseSession(session);
}

bool SaveStatusMemo::IsSessionOpen(SessionId session)
{
    return m_inner->IsSessionOpen(session);
}

ServerResult SaveStatusMemo::Edit(SessionId session, const FileList& files, const std::string& changeList)
{
    Spend();
    return m_inner->Edit(session, files, changeList);
}

AddResult SaveStatusMemo::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    if (m_state != State::kHeld || session != m_session) {
        Spend();
        return m_inner->Add(session, files, changeList);
    }
    AddResult added = m_inner->Add(session, files, changeList);
    if (added.code == qor4::kResultOk)
        Learn(files, added.scheduled, changeList);
    else
        Spend();
    return added;
}

void SaveStatusMemo::Learn(const FileList& files, const FileList& scheduled, const std::string& changeList)
{
    m_affinity.Check("Add");
    const std::unordered_set<std::string_view> done(scheduled.begin(), scheduled.end());
    for (const std::string& file : files) {
        const auto at = m_index.find(file);
        if (at == m_index.end()) continue;
        const std::size_t i = at->second;
        // Held as unversioned and scheduled by this very call: marked for add in its changelist
        // now, whoever asks. Anything else it named (versioned meanwhile, replaced...) is asked again.
        if (m_held.words[i] == qor4::FileStatus::kNotInDepot && done.count(file) != 0) {
            m_held.words[i] = qor4::FileStatus::kMarkedForAdd;
            m_held.changeLists[i] = changeList;
        } else {
            m_index.erase(at);
        }
    }
}

ServerResult SaveStatusMemo::Delete(SessionId session, const FileList& files, const std::string& changeList)
{
    Spend();
    return m_inner->Delete(session, files, changeList);
}

UpdateResult SaveStatusMemo::Update(SessionId session, const FileList& files)
{
    Spend(); // an update changes what the files are
    return m_inner->Update(session, files);
}

ServerResult SaveStatusMemo::Revert(SessionId session, const FileList& files)
{
    Spend();
    return m_inner->Revert(session, files);
}

ServerResult SaveStatusMemo::MakeWritable(SessionId session, const FileList& files)
{
    Spend();
    return m_inner->MakeWritable(session, files);
}

UsersResult SaveStatusMemo::Users(SessionId session, const FileList& files, bool includeLocks)
{
    return m_inner->Users(session, files, includeLocks);
}

ChangeListResult SaveStatusMemo::CreateChangeList(SessionId session, const std::string& description)
{
    Spend();
    return m_inner->CreateChangeList(session, description);
}

ChangeListsResult SaveStatusMemo::PendingChangeLists(SessionId session)
{
    return m_inner->PendingChangeLists(session);
}

DescriptionResult SaveStatusMemo::ChangeListDescription(SessionId session, const std::string& changeList)
{
    return m_inner->ChangeListDescription(session, changeList);
}

bool SaveStatusMemo::IsChangeListValid(SessionId session, const std::string& changeList)
{
    return m_inner->IsChangeListValid(session, changeList);
}

ChangeListResult SaveStatusMemo::Submit(SessionId session, const std::string& changeList)
{
    Spend();
    return m_inner->Submit(session, changeList);
}

} // namespace standin
