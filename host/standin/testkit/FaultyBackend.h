// FaultyBackend: a decorator over a RevisionBackend that produces, on demand, the failures a real
// server cannot be made to produce: an operation answering a chosen code (-34 included), an
// expired session, files that other users opened for add or delete, and slowness. Tests and the
// demo's Simulate menu use it; everything else goes through to the real backend unchanged.
// It keeps no record of the calls (RecordingBackend does) and nothing that grows with them.
// Faults are set on the UI thread while operations run on the worker: every member is behind one
// lock, never held across a call into the backend underneath or a slow wait.
#pragma once

#include "revisioncontrol/ForwardingBackend.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace standin {

class FaultyBackend final : public ForwardingBackend {
public:
    explicit FaultyBackend(std::shared_ptr<RevisionBackend> inner);

    // Operation "*" (ServerOp::kAll) matches every operation. A matching call answers the code and
    // text without doing anything; FailNext matches once, FailAlways until ClearFaults.
    void FailNext(const std::string& operation, std::int32_t code, const std::string& text);
    void FailAlways(const std::string& operation, std::int32_t code, const std::string& text);
    // Lets the next passing matching calls through, then fails the one after, once.
    void FailAfter(const std::string& operation, int passing, std::int32_t code, const std::string& text);
    void ClearFaults();
    // Makes operations take milliseconds longer (0 removes). An operation cancelled meanwhile
    // (OperationScope) is abandoned with ServerCode::kCancelled and ServerText::kCancelled.
    void SetSlow(const std::string& operation, int milliseconds);
    // Every operation of the session answers -34 from now on; the first one closes the session in
    // the backend underneath, as a real expiry ends it there.
    void ExpireSession(SessionId session);
    // Adds word (kMarkedForAddByOther, kMarkedForDeleteByOther...) to the file's status and names
    // user among its holders; word 0 removes it.
    void SetOtherUserState(const std::string& file, qor4::StatusWord word, const std::string& user);
    // The file cannot be read or changed: operations on it fail with ServerCode::kIOError and its
    // status has kIOError.
    void SetIOError(const std::string& file, bool failing);

    // Whose each session is (an expiry names it), the expiry itself, and what the simulated other
    // users and failing files add to a status and to the holders of files.
    LoginResult OpenSession(const Credentials& credentials) override;
    void CloseSession(SessionId session) override;
    bool IsSessionOpen(SessionId session) override;
    StatusResult Status(SessionId session, const FileList& files, StatusScope scope) override;
    UsersResult Users(SessionId session, const FileList& files, bool includeLocks) override;

protected:
    // Applies slowness, expiry, failing files and faults; a failure ends the operation.
    ServerResult Admit(const Passage& passage) override;

private:
    struct Fault {
        std::int32_t code = 0;
        std::string text;
        bool once = false;
        int passing = 0; // matching calls still let through
    };
    struct OtherUserState {
        qor4::StatusWord word = 0;
        std::string user;
    };

    // What the status of files[i] gains from the simulated other users and failing files.
    void Decorate(const FileList& files, StatusResult& result) const;
    void DecorateUsers(const FileList& files, UsersResult& result) const;

    mutable std::mutex m_mutex; // guards every member below
    std::multimap<std::string, Fault> m_faults;
    std::map<std::string, int> m_slow;
    std::set<SessionId> m_expired;
    // Whose each session is and where, from the login that opened it: an expiry names them.
    std::map<SessionId, std::pair<std::string, std::string>> m_accounts;
    std::map<std::string, OtherUserState> m_otherUsers;
    std::set<std::string> m_ioErrors;
};

} // namespace standin
