// LoadUser: one simulated user of the load run, in a process of its own: a backend and a working
// copy of its own, random check-outs, edits, submits, reverts, adds and deletes on the shared
// assets until its time is up, each written to its journal with what the backend answered.
#pragma once

#include <string>

namespace load {

struct UserOptions {
    std::string user;
    std::string password; // from the environment, never the command line
    std::string url;
    std::string configFolder; // Subversion's configuration folder ("" the user's own)
    std::string workingCopy;
    std::string journal;
    int assets = 0;
    double seconds = 0;
    unsigned seed = 0;
};

// The asset files every user works on, relative to the working copy.
std::string AssetPath(int index);

// Exit code 0 when the user ran its time (failures of operations are the journal's business).
int RunUser(const UserOptions& options);

} // namespace load
