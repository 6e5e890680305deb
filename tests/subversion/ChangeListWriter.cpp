// Creates changelists in a working copy's changelist file, as another host process on the same
// working copy would: ChangeListWriter <working copy> <description prefix> <count>.
#include "subversion/ChangeListFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <working copy> <prefix> <count>\n", argv[0]);
        return 2;
    }
    const standin::svn::ChangeListFile file(argv[1]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        long number = 0;
        std::string error;
        if (!file.Create(std::string(argv[2]) + " " + std::to_string(i), number, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
