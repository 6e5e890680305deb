#include "RemoteBench.h"

#include "BenchCases.h"
#include "BenchHost.h"
#include "RemoteCases.h"
#include "SvnProgram.h"

#include "testkit/DelayRelay.h"
#include "testkit/HttpsServer.h"
#include "testkit/StartServer.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace RemoteBench {

namespace {

constexpr const char* kUser = "bench";
// Every file of the run needs a lock, as assets do.
constexpr const char* kAutoPropsConfig = "[miscellany]\nenable-auto-props = yes\n[auto-props]\n* = svn:needs-lock=*\n";
// A remote office with a replica of its own: the replica next door, the master on another continent.
constexpr std::chrono::milliseconds kReplicaRtt{6};
constexpr std::chrono::milliseconds kMasterRtt{200};

void Seed(const SvnProgram& svnAutoProps, const QDir& root, const std::string& url)
{
    const QDir seed(root.filePath("seed"));
    for (int i = 0; i < RemoteCases::kStatusFiles; ++i)
        WriteFile(seed.filePath(RemoteCases::StatusFile(i)), "asset\n");
    for (int i = 0; i < RemoteCases::kManyFiles; ++i) {
        WriteFile(seed.filePath(RemoteCases::LockFile(i)), "asset\n");
        WriteFile(seed.filePath(RemoteCases::SubmitFile(i)), "asset\n");
    }
    WriteFile(seed.filePath(RemoteCases::kRevertFile), "asset\n");
    WriteFile(seed.filePath(RemoteCases::kChangedFile), "asset\n");
    WriteFile(seed.filePath(RemoteCases::kPreSaveFile), "asset\n");
    svnAutoProps.Run({"import", "-q", "-m", "benchmark files", seed.path(), QString::fromStdString(url)}, root.path());
}

// Seconds over the round-trip time, or "-" without distance.
std::string InRoundTrips(double seconds, int rttMs)
{
    if (rttMs <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1000.0 / rttMs);
    return text;
}

// The same operation's time without distance, or a negative time when the run had none.
LinkCost Baseline(const std::vector<RemoteResult>& results, const RemoteResult& of, bool plugin)
{
    for (const RemoteResult& each : results)
        if (each.rttMs == 0 && each.name == of.name) return plugin ? each.plugin : each.svn;
    return {-1, 0, 0};
}

std::string Side(const std::vector<RemoteResult>& results, const RemoteResult& result, bool plugin)
{
    const LinkCost& cost = plugin ? result.plugin : result.svn;
    const LinkCost base = Baseline(results, result, plugin);
    const std::string added = base.seconds < 0 ? "-" : InRoundTrips(cost.seconds - base.seconds, result.rttMs);
    char text[128];
    std::snprintf(text, sizeof text, "%.3f | %s | %s | %ld | %d", cost.seconds,
                  InRoundTrips(cost.seconds, result.rttMs).c_str(), added.c_str(), cost.turns, cost.connections);
    return text;
}

void Print(const char* scheme, const std::vector<RemoteResult>& results)
{
    std::printf("\n%s:// through the relay (one run each). time/RTT: seconds over the round-trip time; "
                "added/RTT: the time the distance added (over the same operation at 0 ms) over the round-trip "
                "time; turns: request/response round trips the relay counted; conn.: connections opened.\n\n",
                scheme);
    std::printf("| operation | RTT (ms) | backend (s) | time/RTT | added/RTT | turns | conn. | svn client (s) | "
                "time/RTT | added/RTT | turns | conn. |\n|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const RemoteResult& result : results)
        std::printf("| %s | %d | %s | %s |\n", result.name.c_str(), result.rttMs, Side(results, result, true).c_str(),
                    Side(results, result, false).c_str());
    std::fflush(stdout);
}

std::string ReplicaSide(const LinkCost& cost)
{
    char text[128];
    std::snprintf(text, sizeof text, "%.3f | %ld | %d | %ld | %d", cost.seconds, cost.masterTurns,
                  cost.masterConnections, cost.turns, cost.connections);
    return text;
}

void PrintReplica(const std::vector<RemoteResult>& results)
{
    std::printf("\nhttps:// behind a replica %lld ms away whose master is %lld ms away (one run each). master: the "
                "turns and connections that crossed to the master (the client's own and the replica's forwarded "
                "requests); replica: those to the replica.\n\n",
                static_cast<long long>(kReplicaRtt.count()), static_cast<long long>(kMasterRtt.count()));
    std::printf(
        "| operation | backend (s) | master turns | master conn. | replica turns | replica conn. | svn client (s) "
        "| master turns | master conn. | replica turns | replica conn. |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const RemoteResult& result : results)
        std::printf("| %s | %s | %s |\n", result.name.c_str(), ReplicaSide(result.plugin).c_str(),
                    ReplicaSide(result.svn).c_str());
    std::fflush(stdout);
}

// The client side of a run: the configuration folders, the seeded repository, a working copy
// through url and another straight from the server, and the host on the first.
class ClientSide {
public:
    ClientSide(const QDir& root, standin::RepositoryServer& server, bool https, const std::string& url)
        : m_wc(root.filePath("wc")), m_elsewhere(root.filePath("elsewhere")), m_svn(root.filePath("svn-config"), kUser)
    {
        for (const char* config : {"svn-config", "svn-config-autoprops"}) {
            QDir().mkpath(root.filePath(config));
            if (https)
                QFile::copy(QString::fromStdString(server.ClientConfigFolder() + "/servers"),
                            root.filePath(QString(config) + "/servers"));
        }
        WriteFile(root.filePath("svn-config-autoprops/config"), kAutoPropsConfig);
        std::fprintf(stderr, "zrbench: seeding %s ...\n", server.Url().c_str());
        Seed(SvnProgram(root.filePath("svn-config-autoprops"), kUser), root, server.Url());
        std::string error;
        Require(server.CheckOut(kUser, m_wc.path().toStdString(), error, url), error);
        Require(server.CheckOut(kUser, m_elsewhere.path().toStdString(), error), error);
        Require(m_host.Start(url, kUser, m_wc.path().toStdString(), server.ClientConfigFolder(), error), error);
    }

    RemoteCases Cases(standin::DelayRelay& relay, const standin::DelayRelay* master = nullptr)
    {
        return RemoteCases(m_host, m_svn, relay, m_wc, m_elsewhere, master);
    }

private:
    QDir m_wc;
    QDir m_elsewhere;
    SvnProgram m_svn;
    BenchHost m_host;
};

std::unique_ptr<standin::RepositoryServer> Start(standin::ServerKind kind, const QDir& root)
{
    std::string error;
    std::unique_ptr<standin::RepositoryServer> server =
        standin::StartServer(kind, root.filePath("server").toStdString(), {{kUser, ""}}, error);
    Require(server != nullptr, error);
    return server;
}

} // namespace

void Run(bool https, const std::vector<int>& rttsMs, const QString& folder)
{
    const QDir root(folder);
    const std::unique_ptr<standin::RepositoryServer> server =
        Start(https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve, root);
    standin::DelayRelay relay("127.0.0.1", server->Port(), std::chrono::milliseconds(0));
    Require(relay.Error().empty(), relay.Error());
    // TLS passes the relay untouched: the certificate still names 127.0.0.1, the relay's address.
    ClientSide client(root, *server, https, relay.UrlThrough(server->Url()));
    RemoteCases cases = client.Cases(relay);
    std::vector<RemoteResult> results;
    for (int asked : rttsMs) {
        const int eachWay = asked / 2;
        std::fprintf(stderr, "zrbench: %s:// at a round trip of %d ms ...\n", https ? "https" : "svn", 2 * eachWay);
        relay.SetDelay(std::chrono::milliseconds(eachWay));
        for (RemoteResult& result : cases.Run(2 * eachWay))
            results.push_back(std::move(result));
    }
    Print(https ? "https" : "svn", results);
}

void RunReplica(const QString& folder)
{
    const QDir root(folder);
    const std::unique_ptr<standin::RepositoryServer> master = Start(standin::ServerKind::kApache, root);
    standin::DelayRelay toMaster("127.0.0.1", master->Port(), kMasterRtt / 2);
    Require(toMaster.Error().empty(), toMaster.Error());
    // The replica forwards writes over the same distance as its clients' own questions to the master.
    standin::HttpsServer::StartResult replica = standin::HttpsServer::StartReplica(
        root.filePath("replica").toStdString(), static_cast<standin::HttpsServer&>(*master),
        toMaster.UrlThrough(master->Url()));
    Require(replica.server != nullptr, replica.error);
    standin::DelayRelay toReplica("127.0.0.1", replica.server->Port(), kReplicaRtt / 2);
    Require(toReplica.Error().empty(), toReplica.Error());

    ClientSide client(root, *master, true, toReplica.UrlThrough(replica.server->Url()));
    std::fprintf(stderr, "zrbench: behind a replica %lld ms away, its master %lld ms ...\n",
                 static_cast<long long>(kReplicaRtt.count()), static_cast<long long>(kMasterRtt.count()));
    PrintReplica(client.Cases(toReplica, &toMaster).Run(static_cast<int>(kMasterRtt.count())));
}

} // namespace RemoteBench
