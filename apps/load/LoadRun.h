// LoadRun: the load run's coordinator. Starts a server of its own on loopback with a shared set of
// assets, a working copy per user, and the users as processes of their own; while they work it
// freezes the server for a while, kills one user in the middle of a submit and starts it again,
// and kills and restarts the server; then checks every journal against the repository. With a
// replica, every other user (the first among them) works through it, the rest on the master, and
// the faults hit the master.
#pragma once

#include <string>

namespace load {

struct RunOptions {
    int users = 8;
    int assets = 200;
    double seconds = 60;
    bool https = false;   // Apache with mod_dav_svn over TLS instead of svnserve
    bool replica = false; // a master and a replica, both Apache over TLS
    int rttMs = 0;        // the users reach the servers through a relay with this round trip
    std::string program;  // this executable, to start the users with
};

// 0 when the run had no violation.
int RunLoad(const RunOptions& options);

} // namespace load
