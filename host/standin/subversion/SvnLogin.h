// Logging in: the working copy found, the server reached (through a replica, its master too), and
// what a program that died there left behind settled, before a session is handed out.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <chrono>
#include <memory>
#include <string>

namespace standin::svn {

class Call;
class Client;
struct Session;

// A working copy found for a login: its root and the server's canonical URL, or the problem.
struct Workspace {
    std::string root;
    std::string server;
    std::string url; // the root's URL
    std::string problem;
};
Workspace FindWorkspace(Client& client, const std::string& path, const std::string& serverUrl);

// What sessions are opened with (SvnBackend's settings).
struct LoginSettings {
    std::string configFolder; // "" for the user's own
    std::string lockServer;   // "" for the master a replica records
    std::chrono::milliseconds lifetime;
    std::chrono::milliseconds connectionLife;
};
// Opens a session for credentials within call; on success opened holds it, neither numbered nor
// watched for its expiry yet.
LoginResult Login(Call& call, const Credentials& credentials, const LoginSettings& settings,
                  std::unique_ptr<Session>& opened);

} // namespace standin::svn
