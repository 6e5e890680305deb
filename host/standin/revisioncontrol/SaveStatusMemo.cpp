#include "revisioncontrol/SaveStatusMemo.h"

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
        StatusResult held = Inner().Status(session, m_expected, scope);
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
    return Inner().Status(session, files, scope);
}

ServerResult SaveStatusMemo::Admit(const Passage& passage)
{
    if (passage.kind != Passage::Kind::kQuery) Spend();
    return {};
}

AddResult SaveStatusMemo::Add(SessionId session, const FileList& files, const std::string& changeList)
{
    if (m_state != State::kHeld || session != m_session) {
        Spend();
        return Inner().Add(session, files, changeList);
    }
    AddResult added = Inner().Add(session, files, changeList);
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

} // namespace standin
