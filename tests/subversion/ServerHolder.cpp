// Starts the project's server the way a test or the demo does, prints the server program's pid and
// waits to be killed: ServerHolder <svn|https> <folder>.
#include "HttpsServer.h"
#include "SvnServer.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <svn|https> <folder>\n", argv[0]);
        return 2;
    }
    std::unique_ptr<standin::RepositoryServer> server;
    std::string error;
    if (std::strcmp(argv[1], "https") == 0) {
        auto started = standin::HttpsServer::Start(argv[2], {{"alice", "pw"}});
        server = std::move(started.server);
        error = started.error;
    } else {
        auto started = standin::SvnServer::Start(argv[2], {{"alice", "pw"}});
        server = std::move(started.server);
        error = started.error;
    }
    if (!server) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%d\n", static_cast<int>(server->Pid()));
    std::fflush(stdout);
    pause();
    return 0;
}
