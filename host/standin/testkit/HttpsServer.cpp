#include "testkit/HttpsServer.h"

#include <apr_sha1.h>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern char** environ;

namespace standin {

namespace {

namespace fsys = std::filesystem;

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kServerUser = "www-data";
constexpr const char* kModules = "/usr/lib/apache2/modules/";
constexpr const char* kServerRoot = "/etc/apache2";
constexpr const char* kOpenSsl = "openssl";
constexpr const char* kValidDays = "30";
constexpr const char* kAuthoritySubject = "/O=Stand-in Studio/CN=Stand-in Studio Authority";
// Certificates outside their validity: expired long ago, or valid only in years to come.
constexpr const char* kPastStart = "20200101000000Z";
constexpr const char* kPastEnd = "20200201000000Z";
constexpr const char* kFutureStart = "20450101000000Z";
constexpr const char* kFutureEnd = "20450201000000Z";
constexpr const char* kOtherHost = "elsewhere.invalid";
constexpr const char* kMakeReplica = STANDIN_REPLICA_SCRIPTS "/make-replica.sh";
constexpr const char* kSvnsync = "svnsync";

constexpr const char* kProxyModuleList[][2] = {
    {"proxy_module", "mod_proxy.so"},
    {"proxy_http_module", "mod_proxy_http.so"},
};

constexpr const char* kModuleList[][2] = {
    {"mpm_event_module", "mod_mpm_event.so"},
    {"authn_core_module", "mod_authn_core.so"},
    {"authn_file_module", "mod_authn_file.so"},
    {"authz_core_module", "mod_authz_core.so"},
    {"authz_user_module", "mod_authz_user.so"},
    {"auth_basic_module", "mod_auth_basic.so"},
    {"ssl_module", "mod_ssl.so"},
    {"socache_shmcb_module", "mod_socache_shmcb.so"},
    {"dav_module", "mod_dav.so"},
    {"dav_svn_module", "mod_dav_svn.so"},
    {"authz_svn_module", "mod_authz_svn.so"},
};

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// Runs a program to its end, its output into log; true when it exited with 0.
bool Run(const std::vector<std::string>& arguments, const std::string& log)
{
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Write(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

HttpsServer::HttpsServer(std::string folder, std::map<std::string, std::string> users, Certificate certificate)
    : RepositoryServer(std::move(folder), std::move(users)), m_certificate(certificate)
{
    if (geteuid() == 0) m_serverUser = kServerUser;
}

HttpsServer::StartResult HttpsServer::Start(const std::string& folder, const std::map<std::string, std::string>& users,
                                            Certificate certificate)
{
    StartResult result;
    std::unique_ptr<HttpsServer> server(new HttpsServer(folder, users, certificate));
    if (server->Prepare(result.error)) result.server = std::move(server);
    return result;
}

HttpsServer::StartResult HttpsServer::StartReplica(const std::string& folder, const HttpsServer& master,
                                                   const std::string& masterUrl)
{
    StartResult result;
    std::unique_ptr<HttpsServer> server(new HttpsServer(folder, master.Users(), Certificate::kValid));
    server->m_masterUrl = masterUrl.empty() ? master.Url() : masterUrl;
    server->m_masterRepository = master.Repository();
    server->m_masterHttpd = master.Httpd();
    if (server->Prepare(result.error)) result.server = std::move(server);
    return result;
}

bool HttpsServer::Synchronize(std::string& error) const
{
    if (m_masterUrl.empty()) {
        error = "not a replica";
        return false;
    }
    const std::string log = Httpd() + "/svnsync.log";
    std::vector<std::string> sync{"flock",
                                  Repository() + "/conf/svnsync.lock",
                                  kSvnsync,
                                  "synchronize",
                                  "--non-interactive",
                                  "--steal-lock",
                                  "--config-dir",
                                  Repository() + "/conf/svnsync",
                                  "file://" + Repository(),
                                  "file://" + m_masterRepository};
    // As the server's user, like the master's hook, so that the replica stays the server's.
    if (!m_serverUser.empty()) sync.insert(sync.begin(), {"runuser", "-u", m_serverUser, "--"});
    const bool synced = Run(sync, log);
    if (!synced) error = "svnsync could not bring the replica up to date; see " + log;
    return synced;
}

std::string HttpsServer::Url() const
{
    return "https://" + std::string(kLoopback) + ":" + std::to_string(Port()) + kLocation;
}

std::string HttpsServer::Httpd() const
{
    return Folder() + "/httpd";
}

std::string HttpsServer::ClientConfigFolder() const
{
    return Folder() + "/client-config";
}

std::string HttpsServer::PasswordFile() const
{
    return Httpd() + "/passwd";
}

std::string HttpsServer::AuthorityFile() const
{
    return Httpd() + "/authority.pem";
}

std::string HttpsServer::ErrorLog() const
{
    return Httpd() + "/error.log";
}

bool HttpsServer::PrepareFolder(std::string& error)
{
    std::error_code failed;
    fsys::create_directories(Httpd(), failed);
    fsys::create_directories(ClientConfigFolder(), failed);
    if (failed) {
        error = "Cannot create " + Httpd() + ": " + failed.message();
        return false;
    }
    if (!m_serverUser.empty()) {
        if (!getpwnam(m_serverUser.c_str())) {
            error = "Apache runs as '" + m_serverUser + "' when started as root, and there is no such user";
            return false;
        }
        // The server's user must reach its files: search (not read) rights on the folders above.
        for (fsys::path folder = fsys::path(Folder()); folder != folder.root_path(); folder = folder.parent_path()) {
            struct stat info {};
            if (stat(folder.c_str(), &info) == 0 && !(info.st_mode & S_IXOTH))
                chmod(folder.c_str(), (info.st_mode & 07777) | S_IXOTH);
        }
    }
    // Only the run's authority: loading the system's authorities costs every new connection a
    // parse of the whole bundle.
    const std::string servers = "[global]\nssl-authority-files = " + AuthorityFile() + "\nssl-trust-default-ca = no\n";
    if (!m_masterHttpd.empty() && !fsys::exists(AuthorityFile())) {
        fsys::copy_file(m_masterHttpd + "/authority.pem", AuthorityFile(), failed);
        fsys::copy_file(m_masterHttpd + "/authority.key", Httpd() + "/authority.key", failed);
        if (failed) {
            error = "Cannot take the master's certificate authority from " + m_masterHttpd + ": " + failed.message();
            return false;
        }
    }
    if (!fsys::exists(AuthorityFile()) && !MakeAuthority(error)) return false;
    if (!fsys::exists(Httpd() + "/server.pem") && !MakeServerCertificate(error)) return false;
    if (!Write(ClientConfigFolder() + "/servers", servers)) {
        error = "Cannot write " + ClientConfigFolder() + "/servers";
        return false;
    }
    if (!m_masterUrl.empty()) {
        const std::string log = Httpd() + "/make-replica.log";
        std::vector<std::string> make{"sh", kMakeReplica, m_masterRepository, Repository(), m_masterUrl};
        if (!m_serverUser.empty()) make.push_back(m_serverUser);
        if (!Run(make, log)) {
            error = "Cannot make the replica of " + m_masterRepository + " with " + kMakeReplica + "; see " + log;
            return false;
        }
    }
    GiveToServer(Folder() + "/" + kRepositoryName);
    GiveToServer(Httpd());
    return true;
}

bool HttpsServer::MakeAuthority(std::string& error) const
{
    const std::string folder = Httpd() + "/";
    const std::string log = folder + "openssl.log";
    const bool made =
        Run({kOpenSsl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", folder + "authority.key", "-out",
             AuthorityFile(), "-days", kValidDays, "-subj", kAuthoritySubject},
            log);
    if (!made) error = "Cannot make the run's certificate authority with openssl (is it installed?); see " + log;
    return made;
}

bool HttpsServer::MakeServerCertificate(std::string& error) const
{
    const std::string folder = Httpd() + "/";
    const std::string log = folder + "openssl.log";
    const std::string request = folder + "server.csr";
    const std::string host = m_certificate == Certificate::kOtherHostName ? kOtherHost : kLoopback;
    const std::string altName = m_certificate == Certificate::kOtherHostName ? "DNS:" + host : "IP:" + host;
    const std::string authority = "[ca]\ndefault_ca = run\n[run]\ndatabase = " + folder +
                                  "index.txt\nnew_certs_dir = " + folder + "\nserial = " + folder +
                                  "serial\ncertificate = " + AuthorityFile() + "\nprivate_key = " + folder +
                                  "authority.key\ndefault_md = sha256\npolicy = any\nunique_subject = no\n"
                                  "[any]\norganizationName = optional\ncommonName = supplied\n"
                                  "[server]\nbasicConstraints = CA:FALSE\nsubjectAltName = " +
                                  altName + "\n";
    std::vector<std::string> sign{kOpenSsl,      "ca",     "-batch", "-notext", "-config", folder + "ca.cnf",
                                  "-extensions", "server", "-in",    request,   "-out",    folder + "server.pem"};
    switch (m_certificate) {
    case Certificate::kExpired:
        sign.insert(sign.end(), {"-startdate", kPastStart, "-enddate", kPastEnd});
        break;
    case Certificate::kNotYetValid:
        sign.insert(sign.end(), {"-startdate", kFutureStart, "-enddate", kFutureEnd});
        break;
    default:
        sign.insert(sign.end(), {"-days", kValidDays});
    }
    std::error_code ignored;
    fsys::remove(folder + "server.pem", ignored);
    const bool made = Write(folder + "ca.cnf", authority) && Write(folder + "index.txt", "") &&
                      Write(folder + "serial", "01\n") &&
                      Run({kOpenSsl, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", folder + "server.key", "-out",
                           request, "-subj", "/O=Stand-in Studio/CN=" + host},
                          log) &&
                      Run(sign, log);
    if (!made) error = "Cannot make the server's certificate with openssl (is it installed?); see " + log;
    return made;
}

bool HttpsServer::ReplaceCertificate(Certificate certificate, std::string& error)
{
    m_certificate = certificate;
    if (!MakeServerCertificate(error)) return false;
    GiveToServer(Httpd());
    return Restart(error);
}

bool HttpsServer::WriteServerFile(const std::string& path, const std::string& text, std::string& error) const
{
    if (!Write(path, text)) {
        error = "cannot write " + path;
        return false;
    }
    GiveToServer(path);
    return true;
}

void HttpsServer::GiveToServer(const std::string& path) const
{
    if (m_serverUser.empty()) return;
    const passwd* user = getpwnam(m_serverUser.c_str());
    if (!user) return;
    std::error_code ignored;
    if (lchown(path.c_str(), user->pw_uid, user->pw_gid) != 0) return;
    if (!fsys::is_directory(path, ignored)) return;
    for (const auto& entry : fsys::recursive_directory_iterator(path, ignored))
        (void)!lchown(entry.path().c_str(), user->pw_uid, user->pw_gid);
}

std::vector<std::string> HttpsServer::CommandLine(int port) const
{
    return {kProgram, "-X",
            "-f",     Httpd() + "/httpd.conf",
            "-C",     "Listen " + std::string(kLoopback) + ":" + std::to_string(port)};
}

bool HttpsServer::WriteConfiguration(std::string& error) const
{
    std::string passwords;
    for (const auto& [user, password] : Users()) {
        char hash[APR_SHA1PW_IDLEN + ((APR_SHA1_DIGESTSIZE + 2) / 3 * 4) + 1];
        apr_sha1_base64(password.c_str(), static_cast<int>(password.size()), hash);
        passwords += user + ":" + hash + "\n";
    }
    std::string configuration = "ServerRoot " + std::string(kServerRoot) + "\nServerName " + kLoopback + "\n";
    for (const auto& module : kModuleList)
        configuration += "LoadModule " + std::string(module[0]) + " " + kModules + module[1] + "\n";
    std::string forwarding;
    if (!m_masterUrl.empty()) {
        for (const auto& module : kProxyModuleList)
            configuration += "LoadModule " + std::string(module[0]) + " " + kModules + module[1] + "\n";
        configuration +=
            "SSLProxyEngine on\nSSLProxyVerify require\nSSLProxyCACertificateFile " + Quoted(AuthorityFile()) + "\n";
        forwarding = "  SVNMasterURI " + m_masterUrl + "\n";
    }
    if (!m_serverUser.empty()) configuration += "User " + m_serverUser + "\nGroup " + m_serverUser + "\n";
    configuration += "PidFile " + Quoted(Httpd() + "/httpd.pid") + "\nErrorLog " + Quoted(ErrorLog()) +
                     "\nLogLevel warn\nDefaultRuntimeDir " + Quoted(Httpd()) + "\nMutex " + Quoted("file:" + Httpd()) +
                     " default\n" + "SSLEngine on\nSSLCertificateFile " + Quoted(Httpd() + "/server.pem") +
                     "\nSSLCertificateKeyFile " + Quoted(Httpd() + "/server.key") + "\n<Location " + kLocation +
                     ">\n  DAV svn\n  SVNPath " + Quoted(Repository()) + "\n" + forwarding +
                     "  AuthType Basic\n  AuthName " + kRealm + "\n  AuthUserFile " + Quoted(PasswordFile()) +
                     "\n  AuthzSVNAccessFile " + Quoted(Httpd() + "/authz") + "\n  Require valid-user\n</Location>\n";
    return WriteServerFile(Httpd() + "/httpd.conf", configuration, error) &&
           WriteServerFile(PasswordFile(), passwords, error) &&
           WriteServerFile(Httpd() + "/authz", Authorization(), error);
}

} // namespace standin
