#include "testkit/SvnServer.h"

namespace standin {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
} // namespace

SvnServer::StartResult SvnServer::Start(const std::string& folder, const std::map<std::string, std::string>& users)
{
    StartResult result;
    std::unique_ptr<SvnServer> server(new SvnServer(folder, users));
    if (server->Prepare(result.error)) result.server = std::move(server);
    return result;
}

std::string SvnServer::Url() const
{
    return "svn://" + std::string(kLoopback) + ":" + std::to_string(Port()) + "/" + kRepositoryName;
}

std::string SvnServer::PasswordFile() const
{
    return Repository() + "/conf/passwd";
}

// No --log-file: svnserve 1.14 with --threads crashes (SIGSEGV) when several connections that
// broke off are logged at once, as after a freeze, when the queued connections all fail together.
std::vector<std::string> SvnServer::CommandLine(int port) const
{
    return {kProgram,        "-d",      "--foreground",  "--threads",         "-r", Folder(),
            "--listen-host", kLoopback, "--listen-port", std::to_string(port)};
}

bool SvnServer::WriteConfiguration(std::string& error) const
{
    const std::string conf = Repository() + "/conf/";
    const std::string configuration = "[general]\nanon-access = none\nauth-access = write\npassword-db = passwd\n"
                                      "authz-db = authz\nrealm = " +
                                      std::string(kRealm) + "\n";
    std::string passwords = "[users]\n";
    for (const auto& [user, password] : Users())
        passwords += user + " = " + password + "\n";
    return WriteServerFile(conf + "svnserve.conf", configuration, error) &&
           WriteServerFile(conf + "passwd", passwords, error) &&
           WriteServerFile(conf + "authz", Authorization(), error);
}

} // namespace standin
