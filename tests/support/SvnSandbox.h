// SvnSandbox: a Subversion repository served by the project's own server on 127.0.0.1, with a
// checked-out working copy per user, in a temporary folder that goes with the sandbox (and the
// server with it). The transport says how clients reach it: file:// (the server still runs, for
// the helpers that change passwords and rules), svn:// through svnserve, or https:// through Apache
// with mod_dav_svn, whose authority the sandbox's Subversion configuration folder trusts. A replica
// sandbox is a remote office: a master and a replica over https, the users taken in name order
// alternately through the replica and the master (the first through the replica).
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "testkit/HttpsServer.h"
#include "testkit/RepositoryServer.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <netinet/in.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class SvnSandbox {
public:
    enum class Transport { kFile, kSvn, kHttps, kReplica };

    // name to password
    explicit SvnSandbox(const std::map<std::string, std::string>& users, Transport transport = Transport::kSvn);

    // Empty when the server runs and every working copy was checked out.
    const std::string& Error() const { return m_error; }
    // The server that keeps the repository (a replica's master).
    standin::RepositoryServer& Server() const { return *m_server; }
    // The replica of a replica sandbox, else null.
    standin::HttpsServer* Replica() const { return m_replica.get(); }
    // The repository's URL through the transport (the master's for a replica sandbox).
    std::string Url() const;
    // The URL user works through.
    std::string UrlOf(const std::string& user) const;
    // Whether user works through the replica.
    bool BehindReplica(const std::string& user) const;
    // The Subversion configuration folder clients of this sandbox use (a backend's
    // SetConfigurationFolder): for https, one that trusts the server's authority.
    std::string ConfigFolder() const;
    std::string WorkingCopy(const std::string& user) const;
    // The absolute path of a file in user's working copy.
    std::string PathOf(const std::string& user, const std::string& relative) const;
    std::string Password(const std::string& user) const { return m_users.at(user); }
    // A password change on the server (and its replica); the next connection sees it.
    void SetPassword(const std::string& user, const std::string& password);
    // Path-based authorization rules on the server (and its replica).
    bool SetAuthorization(const std::string& rules);

    // Opens user's session on backend; 0 (with the reason in failure) when it fails.
    standin::SessionId Open(standin::RevisionBackend& backend, const std::string& user, std::string& failure) const;
    // Writes the files (relative path to content) into user's working copy, adds them (with
    // svn:needs-lock) and commits them; then brings every other working copy but leaveBehind's up
    // to date. Empty on success, else the reason.
    std::string Commit(const std::string& user, const std::map<std::string, std::string>& files,
                       const std::string& leaveBehind = std::string());
    // Brings user's working copy to the head revision; empty on success.
    std::string Update(const std::string& user);

    // Runs Subversion's own command-line client as user (in workingCopy when given, else in user's
    // working copy), as another program working beside the backend would; its exit code, or -1
    // when it did not end within the bound.
    int RunSvn(const std::string& user, const QStringList& arguments, const std::string& workingCopy = std::string());
    // The same, started and left running; the caller ends it.
    std::unique_ptr<QProcess> StartSvn(const std::string& user, const QStringList& arguments,
                                       const std::string& workingCopy = std::string());

private:
    QTemporaryDir m_folder;
    std::map<std::string, std::string> m_users;
    Transport m_transport;
    std::unique_ptr<standin::RepositoryServer> m_server;
    std::unique_ptr<standin::HttpsServer> m_replica;
    std::string m_error;
};

// For test names: File, Svn, Https, Replica.
std::string TransportName(SvnSandbox::Transport transport);

// The file descriptors this process has open.
std::size_t OpenDescriptors();
// A socket listening on a free loopback port, with room for backlog connections it never accepts
// itself; -1 when it could not. address: where it listens.
int ListenOnLoopback(int backlog, sockaddr_in& address);
inline void PrintTo(SvnSandbox::Transport transport, std::ostream* out)
{
    *out << TransportName(transport);
}
