#include "testkit/RepositoryServer.h"

#include "subversion/ConnectionBreaker.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"
#include "testkit/ServerProcess.h"

#include <svn_dirent_uri.h>
#include <svn_repos.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace standin {

namespace {

constexpr int kLaunchAttempts = 5;
// What the server program itself prints (a crash's or a refused start's last words).
constexpr const char* kOutputFile = "server-output.log";
constexpr auto kStartPatience = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr const char* kEveryoneEverything = "[/]\n* = rw\n";

// A port nobody listens on right now; the server may still lose a race for it, so Launch retries.
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

// Whether the process holds the socket that listens on port. Two sandboxes may pick the same free
// port at once: the loser's server ends at once, but its Accepts() may already reach the winner's.
bool ListensOn(pid_t pid, int port)
{
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
    const std::string process = std::to_string(pid);
    std::set<std::string> inodes;
    for (const svn::TcpSocket& socket : svn::TcpSockets(process))
        if (socket.state == "0A" && socket.local.size() > 5 &&
            socket.local.compare(socket.local.size() - 5, 5, wanted) == 0)
            inodes.insert(socket.inode);
    for (const auto& [descriptor, inode] : svn::DescriptorSockets(process))
        if (inodes.count(inode) != 0) return true;
    return false;
}

std::string Absolute(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::absolute(path, ignored).lexically_normal().string();
}

} // namespace

RepositoryServer::RepositoryServer(std::string folder, std::map<std::string, std::string> users)
    : m_folder(Absolute(folder)), m_users(std::move(users)), m_authorization(kEveryoneEverything)
{
    m_repository = m_folder + "/" + kRepositoryName;
}

RepositoryServer::~RepositoryServer()
{
    Stop();
}

bool RepositoryServer::Prepare(std::string& error)
{
    std::error_code ignored;
    std::filesystem::create_directories(m_folder, ignored);
    return CreateRepository(error) && PrepareFolder(error) && WriteConfiguration(error) && Launch(error);
}

std::string RepositoryServer::FileUrl() const
{
    svn::Pool pool;
    const char* url = nullptr;
    svn::Error error(svn_uri_get_file_url_from_dirent(&url, m_repository.c_str(), pool));
    return error ? std::string() : std::string(url);
}

pid_t RepositoryServer::Pid() const
{
    return m_process ? m_process->Pid() : 0;
}

bool RepositoryServer::Running() const
{
    return m_process && m_process->Alive();
}

bool RepositoryServer::CreateRepository(std::string& error)
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

bool RepositoryServer::WriteServerFile(const std::string& path, const std::string& text, std::string& error) const
{
    std::ofstream out(path, std::ios::trunc);
    out << text;
    out.close();
    if (!out) error = "cannot write " + path;
    return static_cast<bool>(out);
}

bool RepositoryServer::SetHook(const std::string& name, const std::string& script)
{
    const std::string path = m_repository + "/hooks/" + name;
    std::error_code ignored;
    if (script.empty()) return std::filesystem::remove(path, ignored) || !std::filesystem::exists(path, ignored);
    std::string error;
    if (!WriteServerFile(path, script, error)) return false;
    using std::filesystem::perms;
    std::filesystem::permissions(
        path, perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec,
        ignored);
    return !ignored;
}

bool RepositoryServer::Launch(std::string& error, int wanted)
{
    for (int attempt = 0; attempt < kLaunchAttempts; ++attempt) {
        const int port = wanted ? wanted : FreeLoopbackPort();
        if (port == 0) continue;
        std::unique_ptr<ServerProcess> process =
            ServerProcess::Start(CommandLine(port), error, m_folder + "/" + kOutputFile);
        if (!process) return false;
        const auto until = std::chrono::steady_clock::now() + kStartPatience;
        while (std::chrono::steady_clock::now() < until && process->Alive()) {
            if (Accepts(port) && ListensOn(process->Pid(), port)) {
                m_process = std::move(process);
                m_port = port;
                return true;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    error =
        std::string("Cannot start ") + Program() + " on 127.0.0.1 (is it installed? see " + m_folder + " for its logs)";
    return false;
}

bool RepositoryServer::Restart(std::string& error)
{
    if (m_process) m_process->Stop();
    m_process.reset();
    return Launch(error, m_port);
}

void RepositoryServer::Stop()
{
    if (m_process) m_process->Stop();
    m_process.reset();
}

bool RepositoryServer::Freeze(bool frozen)
{
    if (!m_process || !m_process->Freeze(frozen)) return false;
    if (frozen) return true;
    // SIGCONT only asks: wait until the server takes connections again, so that the caller's next
    // request meets a running server.
    const auto until = std::chrono::steady_clock::now() + kStartPatience;
    while (std::chrono::steady_clock::now() < until && m_process->Alive()) {
        if (Accepts(m_port)) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

bool RepositoryServer::SetPassword(const std::string& user, const std::string& password)
{
    m_users[user] = password;
    std::string error;
    return WriteConfiguration(error);
}

bool RepositoryServer::SetAuthorization(const std::string& rules)
{
    m_authorization = rules.empty() ? std::string(kEveryoneEverything) : rules;
    std::string error;
    return WriteConfiguration(error);
}

std::unique_ptr<svn::Client> RepositoryServer::ClientFor(const std::string& user, const std::string& url) const
{
    const auto account = m_users.find(user);
    svn::Client::Settings settings;
    settings.configFolder = ClientConfigFolder();
    auto client =
        std::make_unique<svn::Client>(user, account == m_users.end() ? std::string() : account->second, settings);
    client->GivePasswordTo(url);
    return client;
}

bool RepositoryServer::CheckOut(const std::string& user, const std::string& path, std::string& error,
                                const std::string& url) const
{
    const std::string from = url.empty() ? Url() : url;
    const std::unique_ptr<svn::Client> client = ClientFor(user, from);
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

bool RepositoryServer::Relocate(const std::string& user, const std::string& path, std::string& error,
                                const std::string& url) const
{
    const std::string to = url.empty() ? Url() : url;
    const std::unique_ptr<svn::Client> client = ClientFor(user, to);
    svn::Pool pool(client->PoolHandle());
    const std::string target = Absolute(path);
    const char* root = nullptr;
    const char* uuid = nullptr;
    svn::Error failed(svn_client_get_repos_root(&root, &uuid, target.c_str(), client->Context(), pool, pool));
    if (!failed && to != root)
        failed = svn::Error(svn_client_relocate2(target.c_str(), root, to.c_str(), TRUE, client->Context(), pool));
    if (failed) error = "Cannot point " + target + " at " + to + ": " + failed.Text();
    return !failed;
}

bool RepositoryServer::Update(const std::string& user, const std::string& path, std::string& error) const
{
    const std::string target = Absolute(path);
    std::unique_ptr<svn::Client> client = ClientFor(user, Url());
    svn::Pool pool(client->PoolHandle());
    const char* from = nullptr; // the working copy may be a replica's
    if (!svn::Error(svn_client_url_from_path2(&from, target.c_str(), client->Context(), pool, pool)) && from)
        client->GivePasswordTo(from);
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
