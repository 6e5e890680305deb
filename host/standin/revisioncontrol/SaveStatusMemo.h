// SaveStatusMemo: the backend the services use, answering the status queries of one post-save
// notification from one query of every file the save wrote.
//
// After a save the UI helper asks the status of each new asset's files on its own, one query per
// asset: on a large save that is one working-copy walk per asset. The host knows the notification's
// files, so the first status query of the notification asks the status of all of them at once,
// and the queries that follow are answered from that answer while nothing has changed.
//
// An add that succeeded keeps the memo: the files it says it scheduled, held as unversioned, are
// marked for add in its changelist, as the backend answers a new asset's files (from the working
// copy alone); the other files it named are dropped from the memo and asked of the backend again.
// The add of each new asset is followed by a query of its state, which then costs nothing. Any
// other change (a failed add, a revert, a check-out, a login...) ends the memo: later queries
// reach the backend as before, and are never batched again within the notification, so
// interleaved queries and changes cost what they cost without the memo. A failed batch is not
// kept: the query that met it goes to the backend as if there were no memo, so failures are told
// as they are.
#pragma once

#include "framework/ThreadAffinity.h"
#include "revisioncontrol/ForwardingBackend.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

class HOST_API SaveStatusMemo final : public ForwardingBackend {
public:
    explicit SaveStatusMemo(std::shared_ptr<RevisionBackend> inner) : ForwardingBackend(std::move(inner)) {}

    // The files one save wrote, for the notification that follows; Forget ends the notification.
    void Expect(FileList files);
    void Forget();
    // Status queries answered from the memo since the last Expect (for tests and benchmarks).
    int Answered() const { return m_answered; }

    AddResult Add(SessionId session, const FileList& files, const std::string& changeList) override;
    StatusResult Status(SessionId session, const FileList& files, StatusScope scope) override;

protected:
    // Any change and any login or logout but the add the memo learns from ends the memo.
    ServerResult Admit(const Passage& passage) override;

private:
    enum class State { kIdle, kExpecting, kHeld };

    // Answers from the memo, filling it on the notification's first query; false to ask the backend.
    bool Answer(SessionId session, const FileList& files, StatusScope scope, StatusResult& answer);
    // What a successful add of files did to the memo's answers.
    void Learn(const FileList& files, const FileList& scheduled, const std::string& changeList);
    void Spend()
    {
        m_affinity.Check("Spend");
        m_state = State::kIdle;
        m_index.clear();
        m_held = {};
        m_expected.clear();
    }

    // The memo belongs to the thread that saves; a view's background refresh asks the worker instead.
    ThreadAffinity m_affinity{"SaveStatusMemo"};
    State m_state = State::kIdle;
    FileList m_expected;
    SessionId m_session = 0;
    StatusScope m_scope = StatusScope::kLocal;
    StatusResult m_held;
    std::unordered_map<std::string, std::size_t> m_index;
    int m_answered = 0;
};

} // namespace standin
