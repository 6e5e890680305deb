// The project's own servers (svnserve, Apache over TLS): loopback only, and gone when stopped, and
// when the process that started them dies, however it dies.
#include "SvnSandbox.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <signal.h>

namespace {

using Transport = SvnSandbox::Transport;

constexpr auto kPatience = std::chrono::seconds(5);
constexpr const char* kLoopbackHex = "0100007F";
constexpr const char* kListening = "0A";

// Alive and not a zombie waiting for its parent.
bool ProcessRuns(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto state = line.find(") ");
    return state != std::string::npos && line[state + 2] != 'Z';
}

bool EndsWithin(pid_t pid, std::chrono::steady_clock::duration patience)
{
    const auto until = std::chrono::steady_clock::now() + patience;
    while (ProcessRuns(pid))
        if (std::chrono::steady_clock::now() > until)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return true;
}

// The local addresses of the sockets listening on port.
std::vector<std::string> ListenersOn(int port)
{
    std::vector<std::string> addresses;
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, "%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == kListening && local.substr(local.find(':') + 1) == wanted)
            addresses.push_back(local.substr(0, local.find(':')));
    }
    return addresses;
}

class ServerTest : public ::testing::TestWithParam<Transport> {};

TEST_P(ServerTest, ServesOnLoopbackOnlyAndEndsWhenStoppedEvenFrozen)
{
    pid_t pid = 0;
    {
        SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}}, GetParam());
        ASSERT_EQ(sandbox.Error(), "");
        pid = sandbox.Server().Pid();
        EXPECT_TRUE(ProcessRuns(pid));
        const std::string scheme = GetParam() == Transport::kHttps ? "https" : "svn";
        EXPECT_EQ(sandbox.Url().rfind(scheme + "://127.0.0.1:" + std::to_string(sandbox.Server().Port()) + "/", 0), 0u)
            << sandbox.Url();
        EXPECT_EQ(ListenersOn(sandbox.Server().Port()), std::vector<std::string>{kLoopbackHex});

        ASSERT_TRUE(sandbox.Server().Freeze(true));
        sandbox.Server().Stop();
        EXPECT_TRUE(EndsWithin(pid, kPatience));
        EXPECT_FALSE(sandbox.Server().Running());
        sandbox.Server().Stop();
    }
    EXPECT_FALSE(ProcessRuns(pid));
}

TEST_P(ServerTest, EndsWhenTheProcessThatStartedItIsKilled)
{
    QTemporaryDir folder;
    QProcess holder;
    holder.start(QStringLiteral(ZR_SERVER_HOLDER),
                 {GetParam() == Transport::kHttps ? QStringLiteral("https") : QStringLiteral("svn"), folder.path()});
    ASSERT_TRUE(holder.waitForReadyRead(30000)) << holder.readAllStandardError().toStdString();
    const pid_t server = holder.readLine().trimmed().toInt();
    ASSERT_GT(server, 0);
    ASSERT_TRUE(ProcessRuns(server));

    kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    holder.waitForFinished();

    EXPECT_TRUE(EndsWithin(server, kPatience)) << "the server outlived the process that started it";
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTest, ::testing::Values(Transport::kSvn, Transport::kHttps),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

} // namespace
