// Starts the project's server the way a test or the demo does, prints the server program's pid and
// waits to be killed: ServerHolder <svn|https> <folder>.
#include "testkit/StartServer.h"

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
    std::string error;
    const std::unique_ptr<standin::RepositoryServer> server = standin::StartServer(
        std::strcmp(argv[1], "https") == 0 ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve, argv[2],
        {{"alice", "pw"}}, error);
    if (!server) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%d\n", static_cast<int>(server->Pid()));
    std::fflush(stdout);
    pause();
    return 0;
}
