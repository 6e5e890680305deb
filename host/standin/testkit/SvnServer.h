// SvnServer: the repository served by `svnserve -d --foreground --threads` (RepositoryServer), with
// its users and passwords in the repository's svnserve configuration.
#pragma once

#include "testkit/RepositoryServer.h"

namespace standin {

class SvnServer final : public RepositoryServer {
public:
    static constexpr const char* kProgram = "svnserve";

    struct StartResult {
        std::unique_ptr<SvnServer> server; // null on failure
        std::string error;
    };

    // folder: holds the repository and the server's files (an empty or missing folder the first
    // time; later starts serve the repository it holds). users: name to password.
    static StartResult Start(const std::string& folder, const std::map<std::string, std::string>& users);

    // svn://127.0.0.1:<port>/depot
    std::string Url() const override;
    std::string PasswordFile() const override;

private:
    using RepositoryServer::RepositoryServer;
    const char* Program() const override { return kProgram; }
    std::vector<std::string> CommandLine(int port) const override;
    bool WriteConfiguration(std::string& error) const override;
};

} // namespace standin
