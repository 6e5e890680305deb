#include "LoadRun.h"

#include "Journal.h"
#include "LoadCheck.h"
#include "LoadUser.h"

#include "subversion/SvnBackend.h"
#include "testkit/DelayRelay.h"
#include "testkit/HttpsServer.h"
#include "testkit/StartServer.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace load {

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPasswordVariable = "ZR_LOAD_PASSWORD";
// How long the users may take past their time before they are stopped (and that counted).
constexpr auto kStopGrace = std::chrono::seconds(60);

std::string UserName(int index)
{
    return "user" + std::to_string(index + 1);
}

std::string PasswordOf(const std::string& user)
{
    return "pw-" + user;
}

class Run {
public:
    explicit Run(const RunOptions& options) : m_options(options) {}

    int Go()
    {
        if (!m_folder.isValid()) return Fail("no temporary folder");
        std::map<std::string, std::string> users;
        for (int i = 0; i < m_options.users; ++i)
            users[UserName(i)] = PasswordOf(UserName(i));
        std::string error;
        m_server = standin::StartServer(m_options.https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve,
                                        Path("server"), users, error);
        if (!m_server) return Fail(error);
        if (m_options.replica) {
            standin::HttpsServer::StartResult replica =
                standin::HttpsServer::StartReplica(Path("replica"), static_cast<standin::HttpsServer&>(*m_server));
            if (!replica.server) return Fail(replica.error);
            m_replica = std::move(replica.server);
        }
        if (!Seed(error)) return Fail(error);
        if (!PutDistance(error)) return Fail(error);
        for (int i = 0; i < m_options.users; ++i)
            if (!m_server->CheckOut(UserName(i), WorkingCopy(i), error, UrlOf(i))) return Fail(error);

        const auto start = Clock::now();
        for (int i = 0; i < m_options.users; ++i)
            m_pids[i] = Spawn(i, m_options.seconds, static_cast<unsigned>(i + 1));
        Faults(start);
        const bool stopped = WaitForUsers(start);

        CheckInput input;
        input.repository = Path("server") + "/depot";
        input.seconds = m_options.seconds;
        for (int i = 0; i < m_options.users; ++i) {
            input.workingCopies.push_back(WorkingCopy(i));
            for (Entry& entry : ReadJournal(JournalOf(i)))
                input.entries.push_back(std::move(entry));
        }
        CheckResult checked = Check(input);
        if (std::getenv("ZR_LOAD_KEEP")) {
            m_folder.setAutoRemove(false);
            std::printf("kept: %s\n", Path("").c_str());
        }
        if (!stopped) checked.violations.push_back("a user did not stop in time");
        if (m_replica) m_replica->Stop();
        m_server->Stop();
        std::printf("%s", checked.table.c_str());
        for (const std::string& violation : checked.violations)
            std::printf("violation: %s\n", violation.c_str());
        std::printf("%d users%s, %d assets, %.0f s, %d ms round trip. Faults:", m_options.users,
                    m_replica ? " (every other one through a replica)" : "", m_options.assets, m_options.seconds,
                    m_options.rttMs);
        for (const std::string& event : m_events)
            std::printf(" %s;", event.c_str());
        std::printf("\n");
        return checked.violations.empty() ? 0 : 1;
    }

private:
    std::string Path(const std::string& name) const
    {
        return m_folder.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string WorkingCopy(int index) const { return Path("wc-" + UserName(index)); }
    std::string UrlOf(int index) const
    {
        const bool throughReplica = m_replica && index % 2 == 0;
        const std::string url = throughReplica ? m_replica->Url() : m_server->Url();
        const std::unique_ptr<standin::DelayRelay>& relay = throughReplica ? m_replicaRelay : m_relay;
        return relay ? relay->UrlThrough(url) : url;
    }
    // With a round trip asked for, the users' working copies and sessions go through relays (a
    // replica's own forwarding to its master does not).
    bool PutDistance(std::string& error)
    {
        if (m_options.rttMs <= 0) return true;
        const auto eachWay = std::chrono::milliseconds(m_options.rttMs / 2);
        m_relay = std::make_unique<standin::DelayRelay>("127.0.0.1", m_server->Port(), eachWay);
        error = m_relay->Error();
        if (error.empty() && m_replica) {
            m_replicaRelay = std::make_unique<standin::DelayRelay>("127.0.0.1", m_replica->Port(), eachWay);
            error = m_replicaRelay->Error();
        }
        return error.empty();
    }
    std::string JournalOf(int index) const { return Path("journal-" + UserName(index) + ".tsv"); }

    int Fail(const std::string& why)
    {
        std::fprintf(stderr, "zrload: %s\n", why.c_str());
        return 2;
    }

    bool Seed(std::string& error)
    {
        const std::string seed = Path("seed");
        if (!m_server->CheckOut(UserName(0), seed, error)) return false;
        standin::SvnBackend backend;
        backend.SetConfigurationFolder(m_server->ClientConfigFolder());
        const standin::LoginResult login =
            backend.OpenSession({UserName(0), PasswordOf(UserName(0)), m_server->Url(), seed, {}});
        if (login.Failed()) return error = login.text, false;
        standin::FileList files;
        std::filesystem::create_directories(seed + "/assets");
        for (int i = 0; i < m_options.assets; ++i) {
            files.push_back(seed + "/" + AssetPath(i));
            std::ofstream(files.back()) << "seed";
        }
        const standin::ServerResult added = backend.Add(login.session, files, "");
        if (added.Failed()) return error = added.text, false;
        const standin::ChangeListResult submitted = backend.Submit(login.session, "");
        if (submitted.Failed()) return error = submitted.text, false;
        return true;
    }

    pid_t Spawn(int index, double seconds, unsigned seed)
    {
        const std::string user = UserName(index);
        std::vector<std::string> arguments = {m_options.program,
                                              "--user",
                                              user,
                                              "--url",
                                              UrlOf(index),
                                              "--working-copy",
                                              WorkingCopy(index),
                                              "--journal",
                                              JournalOf(index),
                                              "--assets",
                                              std::to_string(m_options.assets),
                                              "--seconds",
                                              std::to_string(seconds),
                                              "--seed",
                                              std::to_string(seed)};
        if (!m_server->ClientConfigFolder().empty())
            arguments.insert(arguments.end(), {"--config-dir", m_server->ClientConfigFolder()});
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables;
        for (char** variable = environ; *variable; ++variable)
            variables.emplace_back(*variable);
        variables.push_back(std::string(kPasswordVariable) + "=" + PasswordOf(user));
        std::vector<char*> envp;
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, m_options.program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return 0;
        return pid;
    }

    void SleepUntil(Clock::time_point start, double share)
    {
        std::this_thread::sleep_until(start +
                                      std::chrono::milliseconds(static_cast<long>(m_options.seconds * share * 1000)));
    }

    // The faults, in order, each at its share of the run.
    void Faults(Clock::time_point start)
    {
        // Longer than a user's deadline once the run is long enough.
        const double freeze = std::min(5.0, m_options.seconds / 8);
        SleepUntil(start, 0.2);
        m_server->Freeze(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(freeze * 1000)));
        m_server->Freeze(false);
        m_events.push_back("server frozen for " + Seconds(freeze));

        // The first user, killed right after it wrote that a submit begins.
        SleepUntil(start, 0.4);
        const auto giveUp = start + std::chrono::milliseconds(static_cast<long>(m_options.seconds * 600));
        std::size_t seen = ReadJournal(JournalOf(0)).size();
        std::error_code ignored;
        std::uintmax_t size = std::filesystem::file_size(JournalOf(0), ignored);
        bool killed = false;
        while (!killed && Clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::uintmax_t now = std::filesystem::file_size(JournalOf(0), ignored);
            if (now == size) continue;
            size = now;
            const std::vector<Entry> entries = ReadJournal(JournalOf(0));
            for (std::size_t i = seen; i < entries.size() && !killed; ++i)
                if (entries[i].op == Op::kSubmitBegin) {
                    kill(m_pids[0], SIGKILL);
                    waitpid(m_pids[0], nullptr, 0);
                    killed = true;
                    m_events.push_back(UserName(0) + " killed as its submit " + entries[i].token +
                                       " began, and started again");
                }
            seen = entries.size();
        }
        if (killed) {
            const double left = m_options.seconds - std::chrono::duration<double>(Clock::now() - start).count();
            m_pids[0] = Spawn(0, std::max(1.0, left), 1000);
        }

        SleepUntil(start, 0.65);
        std::string error;
        if (m_server->Restart(error))
            m_events.push_back("server killed and restarted");
        else
            m_events.push_back("the server did not restart: " + error);
    }

    static std::string Seconds(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f s", value);
        return text;
    }

    bool WaitForUsers(Clock::time_point start)
    {
        const auto deadline =
            start + std::chrono::milliseconds(static_cast<long>(m_options.seconds * 1000)) + kStopGrace;
        bool all = true;
        for (auto& [index, pid] : m_pids) {
            if (pid <= 0) continue;
            int status = 0;
            while (waitpid(pid, &status, WNOHANG) == 0) {
                if (Clock::now() > deadline) {
                    kill(pid, SIGKILL);
                    waitpid(pid, &status, 0);
                    all = false;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return all;
    }

    RunOptions m_options;
    QTemporaryDir m_folder;
    std::unique_ptr<standin::RepositoryServer> m_server;
    std::unique_ptr<standin::HttpsServer> m_replica;
    std::unique_ptr<standin::DelayRelay> m_relay;
    std::unique_ptr<standin::DelayRelay> m_replicaRelay;
    std::map<int, pid_t> m_pids;
    std::vector<std::string> m_events;
};

} // namespace

int RunLoad(const RunOptions& options)
{
    return Run(options).Go();
}

std::string PasswordFromEnvironment()
{
    const char* password = std::getenv(kPasswordVariable);
    return password ? password : "";
}

} // namespace load
