// RepositoryServer: a Subversion repository served by a server program of our own on 127.0.0.1,
// for the demo, the tests, the benchmark and the load run. SvnServer serves it through svnserve,
// HttpsServer through Apache httpd with mod_dav_svn over TLS.
//
// Start creates the repository when the folder has none yet, writes the server's configuration
// (users and passwords, anonymous access off), picks a free loopback port and starts the program
// as a child process that ends with this process, also on a crash or Ctrl-C (ServerProcess); Stop
// and the destructor end it at once otherwise. Passwords and authorization rules may be changed
// while it runs: both servers read them at every connection.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class ServerProcess;

namespace svn {
class Client;
}

class RepositoryServer {
public:
    static constexpr const char* kRepositoryName = "depot";
    static constexpr const char* kRealm = "depot";

    virtual ~RepositoryServer();
    RepositoryServer(const RepositoryServer&) = delete;
    RepositoryServer& operator=(const RepositoryServer&) = delete;

    // The repository's URL through this server.
    virtual std::string Url() const = 0;
    // file:// URL of the same repository, for work that needs no server.
    std::string FileUrl() const;
    // A Subversion configuration folder under which clients trust this server ("" when nothing
    // needs trusting). Clients read it; nothing writes to it after Start.
    virtual std::string ClientConfigFolder() const { return {}; }
    int Port() const { return m_port; }
    // The server program's process.
    pid_t Pid() const;
    bool Running() const;
    // Ends the server and waits for it; safe to call twice.
    void Stop();
    // Ends the server, as a crash would, and starts it again on the same port.
    bool Restart(std::string& error);
    // Stops (SIGSTOP) or resumes the server: one that keeps its connections and never answers.
    bool Freeze(bool frozen);

    // The server's password file, read at every connection.
    virtual std::string PasswordFile() const = 0;
    // Rewrites the password file; the next connection sees it.
    bool SetPassword(const std::string& user, const std::string& password);
    // Path-based authorization rules (Subversion's authz file syntax); "" allows every user everything.
    bool SetAuthorization(const std::string& rules);
    // Installs a repository hook (name such as "pre-unlock", script a shell script's text); an empty
    // script removes it. The next operation runs it.
    bool SetHook(const std::string& name, const std::string& script);

    // Checks out the repository's root into path for user, from Url() or from the given URL (such as
    // FileUrl()); false with the reason.
    bool CheckOut(const std::string& user, const std::string& path, std::string& error,
                  const std::string& url = std::string()) const;
    // Points a working copy of this repository, checked out from an earlier start (another port),
    // at this server, or at the given URL of it (such as a relay's); false with the reason.
    bool Relocate(const std::string& user, const std::string& path, std::string& error,
                  const std::string& url = std::string()) const;
    // Brings the working copy at path to the head revision for user; false with the reason.
    bool Update(const std::string& user, const std::string& path, std::string& error) const;

protected:
    RepositoryServer(std::string folder, std::map<std::string, std::string> users);
    // Creates the repository (when the folder holds none), writes the configuration and launches.
    bool Prepare(std::string& error);

    // The program's name and its command line for a port.
    virtual const char* Program() const = 0;
    virtual std::vector<std::string> CommandLine(int port) const = 0;
    // Everything the server reads: its configuration, passwords and authorization rules.
    virtual bool WriteConfiguration(std::string& error) const = 0;
    // Called once the repository exists, before the first launch.
    virtual bool PrepareFolder(std::string& error) { return (void)error, true; }
    // Writes a file the server reads (and gives it to the server's user where that differs).
    virtual bool WriteServerFile(const std::string& path, const std::string& text, std::string& error) const;

    const std::string& Folder() const { return m_folder; }
    const std::string& Repository() const { return m_repository; }
    const std::map<std::string, std::string>& Users() const { return m_users; }
    const std::string& Authorization() const { return m_authorization; }

private:
    bool CreateRepository(std::string& error);
    // On port, or on a free one when port is 0.
    bool Launch(std::string& error, int port = 0);
    // A client that acts as user, with the user's password, trusting this server; the password
    // goes to the server of url.
    std::unique_ptr<svn::Client> ClientFor(const std::string& user, const std::string& url) const;

    std::string m_folder;
    std::string m_repository;
    std::map<std::string, std::string> m_users;
    std::string m_authorization;
    int m_port = 0;
    std::unique_ptr<ServerProcess> m_process;
};

} // namespace standin
