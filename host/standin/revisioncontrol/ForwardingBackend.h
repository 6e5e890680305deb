// ForwardingBackend: the base of the decorators over a RevisionBackend. It passes every operation on
// to the backend underneath, so that a decorator states only what it changes: a look at each
// operation before it passes (Admit: record it, refuse it, forget a memo), how it is carried there
// (Carry: on another thread), where it goes (Next: a switch), or single operations it overrides.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// One operation on its way through a decorator.
struct Passage {
    enum class Kind {
        kSession, // OpenSession, CloseSession
        kQuery,   // asks and changes nothing
        kChange,  // changes files, locks or changelists
    };

    const char* operation = ""; // ServerOp's name; "" for CloseSession and IsSessionOpen
    Kind kind = Kind::kQuery;
    SessionId session = 0;                    // 0 for a login
    const FileList* files = nullptr;          // the files it names; null when it names none
    const std::string* text = nullptr;        // its changelist, description or "locks"; null when none
    const Credentials* credentials = nullptr; // a login's

    // In words: the files then the text ("" left out), the login's user, server and working copy,
    // or the text alone.
    std::vector<std::string> Arguments() const;
};

class HOST_API ForwardingBackend : public RevisionBackend {
public:
    explicit ForwardingBackend(std::shared_ptr<RevisionBackend> inner);

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

protected:
    // Before the operation passes on, on the calling thread. An answer other than plain success
    // (a failure, or a text) is the operation's answer, and nothing passes on; CloseSession passes
    // on whatever the answer, and IsSessionOpen and IsChangeListValid answer false.
    virtual ServerResult Admit(const Passage& passage);
    // Carries forward (which passes the operation on and fills result) to the backend underneath:
    // at once by default. result is null for the operations that answer no ServerResult
    // (CloseSession, IsSessionOpen, IsChangeListValid); for OpenSession it is a LoginResult.
    virtual void Carry(const Passage& passage, ServerResult* result, const std::function<void()>& forward);
    // Where the operation goes: the backend underneath, unless a decorator chooses per operation.
    virtual std::shared_ptr<RevisionBackend> Next() const { return m_inner; }
    RevisionBackend& Inner() const { return *m_inner; }

private:
    template <typename Result, typename Forward> Result Pass(const Passage& passage, Forward forward);
    template <typename Forward> bool Ask(const Passage& passage, Forward forward);

    const std::shared_ptr<RevisionBackend> m_inner;
};

} // namespace standin
