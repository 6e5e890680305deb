// Another host process that submits the default changelist of a working copy and may be killed
// while it does: Submitter <server-url> <working-copy> <user> <config-folder>, the password on
// standard input. Prints "submitting" once logged in, then the submit's code.
#include "subversion/SvnBackend.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <server-url> <working-copy> <user> <config-folder>\n", argv[0]);
        return 2;
    }
    standin::Credentials credentials;
    credentials.server = argv[1];
    credentials.workspace = argv[2];
    credentials.user = argv[3];
    std::getline(std::cin, credentials.password);
    standin::SvnBackend backend;
    backend.SetConfigurationFolder(argv[4]);
    const standin::LoginResult login = backend.OpenSession(credentials);
    if (login.Failed()) {
        std::fprintf(stderr, "%s", login.text.c_str());
        return 1;
    }
    std::printf("submitting\n");
    std::fflush(stdout);
    const standin::ChangeListResult submitted = backend.Submit(login.session, "");
    std::printf("%d\n", static_cast<int>(submitted.code));
    return 0;
}
