// AccountBook: the accounts of one data base's revision-control services, shared by its
// file-version control (which makes them) and its data control (which acts in one of them).
//
// An account is the host's record of a login: user, server, working copy, and the backend session
// the login opened. The host keeps an account whose login has not succeeded yet, the way it keeps
// one whose session has lapsed: a login refused for its password (or by a server that could not be
// reached) still records the account, with no session. The login itself is refused as before (null,
// with a text containing "Invalid password"), so that a password dialog follows; the data control
// told "no account" by an account push takes that waiting account, and every operation in it that
// needs the server answers -34, so that each flow asks for the password before it goes on.
// A login the server gave no answer to (a cancel, a server that has not answered since one) says
// nothing of the password: the account's live session, if it has one, stays the one to act in.
#pragma once

#include "HostExport.h"
#include "revisioncontrol/RevisionBackend.h"
#include "revisioncontrol/UserParameters.h"

#include <memory>
#include <string>
#include <vector>

namespace standin {

class HOST_API AccountBook {
public:
    // A new account with this session. Earlier accounts of the same user, server and working copy
    // lose theirs: those sessions are handed back in replaced, for the caller to close.
    const UserParameters* Open(const std::string& user, const std::string& server, const std::string& workspace,
                               SessionId session, std::vector<SessionId>& replaced);
    // Records that the last login of this account was refused before a session opened.
    void Refused(const std::string& user, const std::string& server, const std::string& workspace);
    // The last login of this account got no answer from the server: the newest of its accounts
    // with a session becomes the one the data control takes; false (nothing changed) when none has.
    bool Unanswered(const std::string& user, const std::string& server, const std::string& workspace);
    // The last login ended without one: the account waiting for its password (null when the last
    // login succeeded, or was refused for its working copy).
    void Clear() { m_waiting = nullptr; }
    // The account the data control takes when told "no account": the one waiting for its password,
    // or the live one a login without an answer left in place.
    const UserParameters* Waiting() const { return m_waiting; }
    // The account this book holds, or null for anything else (null included).
    const UserParameters* Find(const qor4::IUserParameters* account) const;
    std::vector<SessionId> Sessions() const;
    // Server certificates the user accepted for this session (memory only), by SHA-1 fingerprint.
    void AcceptCertificate(const std::string& fingerprint) { m_acceptedCertificates.push_back(fingerprint); }
    const std::vector<std::string>& AcceptedCertificates() const { return m_acceptedCertificates; }

private:
    std::vector<UserParameters*> Matching(const std::string& user, const std::string& server,
                                          const std::string& workspace) const;

    std::vector<std::unique_ptr<UserParameters>> m_accounts;
    const UserParameters* m_waiting = nullptr;
    std::vector<std::string> m_acceptedCertificates;
};

} // namespace standin
