#include "SvnServer.h"

#include "SvnClient.h"
#include "SvnError.h"

#include <svn_dirent_uri.h>
#include <svn_repos.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace standin {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr int kLaunchAttempts = 5;
constexpr auto kStartPatience = std::chrono::seconds(10);
constexpr auto kStopPatience = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

// A port nobody listens on right now; svnserve may still lose a race for it, so Launch retries.
int FreeLoopbackPort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(probe);
    return port;
}

bool Accepts(int port)
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return connected;
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error)
{
    std::ofstream out(path, std::ios::trunc);
    out << text;
    out.close();
    if (!out) error = "cannot write " + path;
    return static_cast<bool>(out);
}

std::string Absolute(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::absolute(path, ignored).lexically_normal().string();
}

// Waits for the child to end; true when it did within patience.
bool Reap(pid_t pid, std::chrono::steady_clock::duration patience)
{
    const auto until = std::chrono::steady_clock::now() + patience;
    while (true) {
        const pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

} // namespace

SvnServer::SvnServer(std::string folder, std::map<std::string, std::string> users)
    : m_folder(std::move(folder)), m_users(std::move(users))
{
    m_repository = m_folder + "/" + kRepositoryName;
}

SvnServer::StartResult SvnServer::Start(const std::string& folder, const std::map<std::string, std::string>& users)
{
    StartResult result;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string absolute = std::filesystem::absolute(folder, ignored).lexically_normal().string();
    std::unique_ptr<SvnServer> server(new SvnServer(absolute, users));
    if (server->CreateRepository(result.error) && server->WriteConfiguration(result.error) &&
        server->Launch(result.error))
        result.server = std::move(server);
    return result;
}

SvnServer::~SvnServer()
{
    Stop();
}

std::string SvnServer::Url() const
{
    return "svn://" + std::string(kLoopback) + ":" + std::to_string(m_port) + "/" + kRepositoryName;
}

std::string SvnServer::FileUrl() const
{
    svn::Pool pool;
    const char* url = nullptr;
    svn::Error error(svn_uri_get_file_url_from_dirent(&url, m_repository.c_str(), pool));
    return error ? std::string() : std::string(url);
}

bool SvnServer::CreateRepository(std::string& error)
{
    std::error_code ignored;
    if (std::filesystem::exists(m_repository + "/format", ignored)) return true;
    svn::Pool pool;
    svn_repos_t* repository = nullptr;
    const svn::Error created(
        svn_repos_create(&repository, m_repository.c_str(), nullptr, nullptr, nullptr, nullptr, pool));
    if (created) error = "Cannot create the repository " + m_repository + ": " + created.Text();
    return !created;
}

bool SvnServer::SetHook(const std::string& name, const std::string& script)
{
    const std::string path = m_repository + "/hooks/" + name;
    std::error_code ignored;
    if (script.empty()) return std::filesystem::remove(path, ignored) || !std::filesystem::exists(path, ignored);
    std::string error;
    if (!WriteFile(path, script, error)) return false;
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                     std::filesystem::perms::others_exec,
                                 ignored);
    return !ignored;
}

bool SvnServer::WriteConfiguration(std::string& error) const
{
    const std::string conf = m_repository + "/conf/";
    std::string configuration = "[general]\nanon-access = none\nauth-access = write\npassword-db = passwd\nrealm = ";
    configuration += std::string(kRealm) + "\n";
    if (!m_authorization.empty()) configuration += "authz-db = authz\n";
    std::string passwords = "[users]\n";
    for (const auto& [user, password] : m_users)
        passwords += user + " = " + password + "\n";
    return WriteFile(conf + "svnserve.conf", configuration, error) && WriteFile(conf + "passwd", passwords, error) &&
           WriteFile(conf + "authz", m_authorization, error);
}

bool SvnServer::Launch(std::string& error, int wanted)
{
    for (int attempt = 0; attempt < kLaunchAttempts; ++attempt) {
        const int port = wanted ? wanted : FreeLoopbackPort();
        if (port == 0) continue;
        const std::string portText = std::to_string(port);
        const std::string logFile = m_folder + "/svnserve.log";
        std::vector<std::string> arguments{
            kProgram,        "-d",      "--foreground",  "--threads", "-r",         m_folder,
            "--listen-host", kLoopback, "--listen-port", portText,    "--log-file", logFile};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid < 0) {
            error = "Cannot start svnserve: fork failed";
            return false;
        }
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDIN_FILENO);
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            execvp(kProgram, argv.data());
            _exit(127);
        }

        const auto until = std::chrono::steady_clock::now() + kStartPatience;
        while (std::chrono::steady_clock::now() < until) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) break; // lost the port, or no svnserve
            if (Accepts(port)) {
                m_pid = pid;
                m_port = port;
                return true;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
        kill(pid, SIGKILL);
        Reap(pid, kStopPatience);
    }
    error = "Cannot start svnserve on " + std::string(kLoopback) + " (is the subversion package installed?)";
    return false;
}

bool SvnServer::Restart(std::string& error)
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        Reap(m_pid, kStopPatience);
        m_pid = 0;
    }
    return Launch(error, m_port);
}

void SvnServer::Stop()
{
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    kill(m_pid, SIGCONT); // a stopped server would never see the SIGTERM
    if (!Reap(m_pid, kStopPatience)) {
        kill(m_pid, SIGKILL);
        Reap(m_pid, kStopPatience);
    }
    m_pid = 0;
}

bool SvnServer::SetPassword(const std::string& user, const std::string& password)
{
    m_users[user] = password;
    std::string error;
    return WriteConfiguration(error);
}

bool SvnServer::SetAuthorization(const std::string& rules)
{
    m_authorization = rules;
    std::string error;
    return WriteConfiguration(error);
}

std::unique_ptr<svn::Client> SvnServer::ClientFor(const std::string& user) const
{
    const auto account = m_users.find(user);
    return std::make_unique<svn::Client>(user, account == m_users.end() ? std::string() : account->second);
}

bool SvnServer::CheckOut(const std::string& user, const std::string& path, std::string& error,
                         const std::string& url) const
{
    const std::string from = url.empty() ? Url() : url;
    const std::unique_ptr<svn::Client> client = ClientFor(user);
    svn::Pool pool(client->PoolHandle());
    const std::string target = Absolute(path);
    svn_opt_revision_t head{};
    head.kind = svn_opt_revision_head;
    svn_revnum_t revision = 0;
    const svn::Error failed(svn_client_checkout3(&revision, from.c_str(), target.c_str(), &head, &head,
                                                 svn_depth_infinity, TRUE, FALSE, client->Context(), pool));
    if (failed) error = "Cannot check out " + from + " into " + target + ": " + failed.Text();
    return !failed;
}

bool SvnServer::Relocate(const std::string& user, const std::string& path, std::string& error) const
{
    const std::unique_ptr<svn::Client> client = ClientFor(user);
    svn::Pool pool(client->PoolHandle());
    const std::string target = Absolute(path);
    const char* root = nullptr;
    const char* uuid = nullptr;
    svn::Error failed(svn_client_get_repos_root(&root, &uuid, target.c_str(), client->Context(), pool, pool));
    if (!failed && Url() != root)
        failed = svn::Error(svn_client_relocate2(target.c_str(), root, Url().c_str(), TRUE, client->Context(), pool));
    if (failed) error = "Cannot point " + target + " at " + Url() + ": " + failed.Text();
    return !failed;
}

bool SvnServer::Update(const std::string& user, const std::string& path, std::string& error) const
{
    const std::unique_ptr<svn::Client> client = ClientFor(user);
    svn::Pool pool(client->PoolHandle());
    const std::string target = Absolute(path);
    svn_opt_revision_t head{};
    head.kind = svn_opt_revision_head;
    apr_array_header_t* revisions = nullptr;
    const svn::Error failed(svn_client_update4(&revisions, svn::Client::Targets({target}, pool), &head,
                                               svn_depth_infinity, FALSE, TRUE, FALSE, FALSE, TRUE, client->Context(),
                                               pool));
    if (failed) error = "Cannot update " + target + ": " + failed.Text();
    return !failed;
}

} // namespace standin
