// The project's own servers (svnserve, Apache over TLS), gone when stopped or when their starter
// dies; the relay that puts distance before them; how a server that stopped answering is seen back.
#include "SvnSandbox.h"
#include "subversion/SvnProbe.h"
#include "testkit/DelayRelay.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Transport = SvnSandbox::Transport;

constexpr auto kPatience = std::chrono::seconds(5);
constexpr const char* kLoopbackHex = "0100007F";

constexpr const char* kListening = "0A";
constexpr auto kDelayEachWay = std::chrono::milliseconds(60);
// A command's connections through the relay: its own and a few more at most.
constexpr int kMostConnections = 4;
// Connections that break off together, as a frozen server's queue of clients does once it runs
// again; enough rounds that a server that cannot take it falls.
constexpr int kBrokenConnections = 30;
constexpr int kBreakRounds = 60;

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

// Many clients that connect, speak and hang up at once: the server stays up and still serves.
TEST_P(ServerTest, OutlivesConnectionsThatBreakOffTogether)
{
    SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}}, GetParam());
    ASSERT_EQ(sandbox.Error(), "");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(sandbox.Server().Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string garbled = "( 2 ( edit-pipeline ) 12:svn://broken ) )\r\n\r\n";

    for (int round = 0; round < kBreakRounds && sandbox.Server().Running(); ++round) {
        std::vector<int> clients;
        for (int i = 0; i < kBrokenConnections; ++i) {
            const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ASSERT_GE(client, 0);
            clients.push_back(client);
            if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                (void)!send(client, garbled.data(), garbled.size(), MSG_NOSIGNAL);
        }
        for (const int client : clients)
            close(client);
    }

    EXPECT_TRUE(sandbox.Server().Running()) << "the server ended";
    EXPECT_EQ(sandbox.RunSvn("alice", {"info", QString::fromStdString(sandbox.Url())}), 0);
}

// Through the relay, a command costs at least a round trip per turn the relay counted, and TLS
// still finds the server's name (127.0.0.1) in its certificate.
TEST_P(ServerTest, RelayDelaysEveryTurnAndCountsTurnsAndConnections)
{
    SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}}, GetParam());
    ASSERT_EQ(sandbox.Error(), "");
    standin::DelayRelay relay("127.0.0.1", sandbox.Server().Port(), kDelayEachWay);
    ASSERT_EQ(relay.Error(), "");
    const std::string url = relay.UrlThrough(sandbox.Url());
    std::string expected = sandbox.Url();
    const std::string serverPort = ":" + std::to_string(sandbox.Server().Port()) + "/";
    expected.replace(expected.find(serverPort), serverPort.size(), ":" + std::to_string(relay.Port()) + "/");
    EXPECT_EQ(url, expected);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(sandbox.RunSvn("alice", {"info", QString::fromStdString(url)}), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const standin::DelayRelay::Counts counts = relay.Count();
    EXPECT_GE(counts.connections, 1);
    EXPECT_LE(counts.connections, kMostConnections);
    // At least the greeting or handshake, the authentication and the question itself.
    EXPECT_GE(counts.turns, 3);
    EXPECT_GE(elapsed, 2 * kDelayEachWay * counts.turns) << counts.turns << " turns";

    // Without delay the same command is quick, and counted on top.
    relay.SetDelay(std::chrono::milliseconds(0));
    const auto quickStart = std::chrono::steady_clock::now();
    ASSERT_EQ(sandbox.RunSvn("alice", {"info", QString::fromStdString(url)}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - quickStart, elapsed);
    EXPECT_GT(relay.Count().connections, counts.connections);
    EXPECT_GE(relay.Count().turns - counts.turns, 3);
}

// A server that goes away closes its clients' connections through the relay, after the delay.
TEST(DelayRelayTest, ServerThatEndsClosesTheClientSide)
{
    SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}}, Transport::kSvn);
    ASSERT_EQ(sandbox.Error(), "");
    standin::DelayRelay relay("127.0.0.1", sandbox.Server().Port(), kDelayEachWay);
    ASSERT_EQ(relay.Error(), "");

    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(client, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(relay.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollfd readable{client, POLLIN, 0};
    char greeting[256];
    ASSERT_EQ(poll(&readable, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())), 1);
    ASSERT_GT(recv(client, greeting, sizeof greeting, 0), 0);
    // svnserve greets first: only the way back is on the greeting's path.
    EXPECT_GE(std::chrono::steady_clock::now() - start, kDelayEachWay);
    EXPECT_EQ(std::string(greeting, 9), "( success");
    EXPECT_EQ(relay.Count().connections, 1);
    EXPECT_EQ(relay.Count().turns, 0);

    sandbox.Server().Stop();
    char rest[256];
    ssize_t got = 1;
    while (got > 0 && poll(&readable, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) == 1)
        got = recv(client, rest, sizeof rest, 0);
    EXPECT_EQ(got, 0) << "the client side stayed open";
    close(client);
}

// When a stopped server is back: only svnserve's greeting counts; not a port nobody listens on, nor a
// listener that never speaks (a frozen server), nor one closing each connection (a proxy, server down).
TEST(ServerAnswersTest, OnlyAGreetingCountsAsAnAnswer)
{
    constexpr auto kWithin = std::chrono::milliseconds(300);
    sockaddr_in address{};
    const int listener = ListenOnLoopback(4, address);
    ASSERT_GE(listener, 0);
    const std::string url = "svn://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/depot";

    EXPECT_FALSE(standin::svn::ServerAnswers(url, kWithin)) << "a listener that never speaks";
    // Until the listener is shut down; the first connection waits in its backlog.
    std::thread closer([listener] {
        for (int accepted; (accepted = accept(listener, nullptr, nullptr)) >= 0;)
            close(accepted);
    });
    EXPECT_FALSE(standin::svn::ServerAnswers(url, kWithin)) << "a listener that closes at once";
    shutdown(listener, SHUT_RDWR);
    closer.join();
    close(listener);
    EXPECT_FALSE(standin::svn::ServerAnswers(url, kWithin)) << "nobody listening";

    SvnSandbox sandbox(std::map<std::string, std::string>{{"alice", "pw"}}, Transport::kSvn);
    ASSERT_EQ(sandbox.Error(), "");
    EXPECT_TRUE(standin::svn::ServerAnswers(sandbox.Url(), kPatience));
    // A server given up on is probed again and again for as long as the host runs.
    const std::size_t before = OpenDescriptors();
    for (int probe = 0; probe < 3; ++probe)
        EXPECT_TRUE(standin::svn::ServerAnswers(sandbox.Url(), kPatience));
    EXPECT_EQ(OpenDescriptors(), before) << "a probe's connection is closed";
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerTest, ::testing::Values(Transport::kSvn, Transport::kHttps),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

} // namespace
