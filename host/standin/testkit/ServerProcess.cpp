#include "testkit/ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace standin {

namespace {

constexpr auto kStopPatience = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kFreezePoll = std::chrono::milliseconds(1);
constexpr int kExecFailed = 127;

// The guardian's server, for its signal handler (the guardian is a process of its own).
pid_t g_guardedServer = 0;

void EndGuardedServer(int)
{
    if (g_guardedServer > 0) kill(g_guardedServer, SIGKILL);
}

// Runs in the forked guardian: only async-signal-safe calls until exec.
[[noreturn]] void Guard(pid_t parent, char* const* argv, const char* output, int report)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(kExecFailed);
    setpgid(0, 0); // the terminal's Ctrl-C reaches the parent, whose death ends the server

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGHUP);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &blocked, &previous);

    const pid_t server = fork();
    if (server == 0) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) dup2(null, STDIN_FILENO);
        const int written = *output ? open(output, O_WRONLY | O_CREAT | O_APPEND, 0600) : null;
        if (written >= 0) {
            dup2(written, STDOUT_FILENO);
            dup2(written, STDERR_FILENO);
        }
        execvp(argv[0], argv);
        _exit(kExecFailed);
    }
    g_guardedServer = server;
    struct sigaction action {};
    action.sa_handler = &EndGuardedServer;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    if (server < 0) _exit(kExecFailed);
    (void)!write(report, &server, sizeof server);
    close(report);
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    int status = 0;
    while (waitpid(server, &status, 0) < 0 && errno == EINTR) {}
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : kExecFailed);
}

bool Reap(pid_t pid, std::chrono::steady_clock::duration patience)
{
    const auto until = std::chrono::steady_clock::now() + patience;
    while (true) {
        const pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || (ended < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

} // namespace

std::unique_ptr<ServerProcess> ServerProcess::Start(const std::vector<std::string>& arguments, std::string& error,
                                                    const std::string& output)
{
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (arguments.empty()) {
        error = "no program to start";
        return nullptr;
    }

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        error = "Cannot start " + arguments.front() + ": no pipe";
        return nullptr;
    }
    const pid_t parent = getpid();
    const pid_t guardian = fork();
    if (guardian == 0) {
        close(report[0]);
        Guard(parent, argv.data(), output.c_str(), report[1]);
    }
    close(report[1]);
    pid_t server = 0;
    ssize_t got = -1;
    if (guardian > 0)
        while ((got = read(report[0], &server, sizeof server)) < 0 && errno == EINTR) {}
    close(report[0]);
    if (guardian < 0 || got != sizeof server || server <= 0) {
        if (guardian > 0) {
            kill(guardian, SIGKILL);
            Reap(guardian, kStopPatience);
        }
        error = "Cannot start " + arguments.front() + ": fork failed";
        return nullptr;
    }
    return std::unique_ptr<ServerProcess>(new ServerProcess(guardian, server));
}

ServerProcess::~ServerProcess()
{
    Stop();
}

bool ServerProcess::Alive()
{
    if (m_guardian <= 0) return false;
    if (waitpid(m_guardian, nullptr, WNOHANG) == m_guardian) {
        m_guardian = 0;
        m_server = 0;
        return false;
    }
    return true;
}

namespace {
// Whether every thread of process is stopped. A stop signal is taken by one thread, which then
// stops the others; until it gets a processor the others go on serving, which on a loaded machine
// is long enough to answer a request.
bool Stopped(pid_t process)
{
    std::error_code error;
    int threads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/task", error)) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // The state follows the command name, which is in parentheses and may hold any character.
        const auto close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size()) return false;
        const char state = line[close + 2];
        if (state != 'T' && state != 't') return false;
        ++threads;
    }
    return threads > 0;
}
} // namespace

bool ServerProcess::Freeze(bool frozen)
{
    if (!Alive() || m_server <= 0 || kill(m_server, frozen ? SIGSTOP : SIGCONT) != 0) return false;
    const auto until = std::chrono::steady_clock::now() + kStopPatience;
    while (frozen && !Stopped(m_server)) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kFreezePoll);
    }
    return true;
}

void ServerProcess::Stop()
{
    if (m_guardian <= 0) return;
    // While the guardian lives it has not reaped the server, so the pid is still the server's.
    // SIGKILL reaches a frozen server too; the guardian then ends with it.
    if (waitpid(m_guardian, nullptr, WNOHANG) == 0 && m_server > 0) kill(m_server, SIGKILL);
    if (!Reap(m_guardian, kStopPatience)) {
        kill(m_guardian, SIGKILL);
        Reap(m_guardian, kStopPatience);
    }
    m_guardian = 0;
    m_server = 0;
}

} // namespace standin
