// ServerProcess: a server program run as a child of this process, that ends with it.
//
// The program runs under a small guardian process that this process forks. The guardian carries
// the parent-death signal and passes it on: a server that changes its user (Apache started as root)
// loses its own parent-death signal, so it could otherwise outlive a crash or Ctrl-C of the process
// that needs it. Ending the guardian ends the server; the server's own pid is known for freezing.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace standin {

class ServerProcess {
public:
    // arguments[0] is looked up in PATH; what it prints goes to output (appended), or nowhere when
    // that is empty. Null (with the reason) when the program could not start.
    static std::unique_ptr<ServerProcess> Start(const std::vector<std::string>& arguments, std::string& error,
                                                const std::string& output = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    pid_t Pid() const { return m_server; }
    // False once the program has ended (it exited, or lost its port).
    bool Alive();
    // SIGSTOP or SIGCONT: a server that keeps its connections and never answers. Freezing returns
    // once every thread of the server is stopped (false when that takes over 5 s).
    bool Freeze(bool frozen);
    // Ends the program at once and waits for it, as a crash would; safe to call twice.
    void Stop();

private:
    ServerProcess(pid_t guardian, pid_t server) : m_guardian(guardian), m_server(server) {}

    pid_t m_guardian = 0;
    pid_t m_server = 0;
};

} // namespace standin
