// SvnServer: a Subversion repository served by an svnserve of our own on 127.0.0.1, for the demo
// and the tests.
//
// Start creates the repository when the folder has none yet (users and passwords in its svnserve
// configuration, anonymous access off), picks a free loopback port and starts `svnserve -d --foreground --threads` as a
// child process. The child is tied to the thread that started it (PR_SET_PDEATHSIG), so it ends
// with its parent even on a crash or Ctrl-C; Stop and the destructor end it at once otherwise.
// Passwords may be changed while it runs: svnserve reads its password file at every connection.
#pragma once

#include "HostExport.h"

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

namespace standin {

namespace svn {
class Client;
}

class HOST_API SvnServer {
public:
    static constexpr const char* kProgram = "svnserve";
    static constexpr const char* kRepositoryName = "depot";
    static constexpr const char* kRealm = "depot";

    struct StartResult {
        std::unique_ptr<SvnServer> server; // null on failure
        std::string error;
    };

    // folder: holds the repository and the server's files (an empty or missing folder the first
    // time; later starts serve the repository it holds). users: name to password.
    static StartResult Start(const std::string& folder, const std::map<std::string, std::string>& users);
    ~SvnServer();
    SvnServer(const SvnServer&) = delete;
    SvnServer& operator=(const SvnServer&) = delete;

    // svn://127.0.0.1:<port>/depot
    std::string Url() const;
    // file:// URL of the same repository, for work that needs no server.
    std::string FileUrl() const;
    int Port() const { return m_port; }
    pid_t Pid() const { return m_pid; }
    bool Running() const { return m_pid > 0; }
    // Ends the server and waits for it; safe to call twice.
    void Stop();
    // Ends the server, as a crash would (SIGKILL), and starts it again on the same port.
    bool Restart(std::string& error);

    // svnserve's password file, read at every connection.
    std::string PasswordFile() const { return m_repository + "/conf/passwd"; }
    // Rewrites the password file; the next connection sees it.
    bool SetPassword(const std::string& user, const std::string& password);
    // Path-based authorization rules (svnserve's authz file syntax); "" removes them.
    bool SetAuthorization(const std::string& rules);
    // Installs a repository hook (name such as "pre-unlock", script a shell script's text); an empty
    // script removes it. The next operation runs it.
    bool SetHook(const std::string& name, const std::string& script);

    // Checks out the repository's root into path for user, from Url() or from the given URL (such as
    // FileUrl()); false with the reason.
    bool CheckOut(const std::string& user, const std::string& path, std::string& error,
                  const std::string& url = std::string()) const;
    // Points a working copy of this repository, checked out from an earlier start (another port),
    // at this server; false with the reason.
    bool Relocate(const std::string& user, const std::string& path, std::string& error) const;
    // Brings the working copy at path to the head revision for user; false with the reason.
    bool Update(const std::string& user, const std::string& path, std::string& error) const;

private:
    SvnServer(std::string folder, std::map<std::string, std::string> users);
    bool CreateRepository(std::string& error);
    bool WriteConfiguration(std::string& error) const;
    // On port, or on a free one when port is 0.
    bool Launch(std::string& error, int port = 0);
    // A client that acts as user, with the user's password.
    std::unique_ptr<svn::Client> ClientFor(const std::string& user) const;

    std::string m_folder;
    std::string m_repository;
    std::map<std::string, std::string> m_users;
    std::string m_authorization;
    int m_port = 0;
    pid_t m_pid = 0;
};

} // namespace standin
