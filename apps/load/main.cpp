// zrload: many users, faults mid-way, and a check that nothing was misreported.
//   zrload [--users N] [--assets N] [--seconds S] [--https | --replica] [--rtt MS]   the run (scripts/load.sh)
//   zrload --user NAME --url URL --working-copy PATH --journal FILE ...   one user (started by the run)
#include "LoadRun.h"
#include "LoadUser.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace load {
std::string PasswordFromEnvironment();
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated users against one Subversion server, with faults.");
    parser.addHelpOption();
    const QCommandLineOption users("users", "Users of the run.", "count", "8");
    const QCommandLineOption assets("assets", "Shared assets.", "count", "200");
    const QCommandLineOption seconds("seconds", "How long the users work.", "seconds", "60");
    const QCommandLineOption user("user", "Run as this one user.", "name");
    const QCommandLineOption url("url", "The server's repository URL (one user).", "url");
    const QCommandLineOption workingCopy("working-copy", "The user's working copy.", "path");
    const QCommandLineOption journal("journal", "The user's journal.", "file");
    const QCommandLineOption seed("seed", "The user's random seed.", "number", "1");
    const QCommandLineOption https("https", "Serve the repository through Apache over TLS instead of svnserve.");
    const QCommandLineOption replica("replica", "A master and a replica over TLS; every other user works through "
                                                "the replica.");
    const QCommandLineOption configDir("config-dir", "Subversion's configuration folder (one user).", "path");
    const QCommandLineOption rtt("rtt", "The users reach the servers through a relay with this round trip (ms).", "ms",
                                 "0");
    parser.addOptions({users, assets, seconds, user, url, workingCopy, journal, seed, https, replica, configDir, rtt});
    parser.process(application);

    if (parser.isSet(user)) {
        load::UserOptions options;
        options.user = parser.value(user).toStdString();
        options.password = load::PasswordFromEnvironment();
        options.url = parser.value(url).toStdString();
        options.configFolder = parser.value(configDir).toStdString();
        options.workingCopy = parser.value(workingCopy).toStdString();
        options.journal = parser.value(journal).toStdString();
        options.assets = parser.value(assets).toInt();
        options.seconds = parser.value(seconds).toDouble();
        options.seed = parser.value(seed).toUInt();
        return load::RunUser(options);
    }
    load::RunOptions options;
    options.users = std::max(1, parser.value(users).toInt());
    options.assets = std::max(4, parser.value(assets).toInt());
    options.seconds = std::max(2.0, parser.value(seconds).toDouble());
    options.replica = parser.isSet(replica);
    options.https = parser.isSet(https) || options.replica;
    options.rttMs = std::max(0, parser.value(rtt).toInt());
    options.program = QCoreApplication::applicationFilePath().toStdString();
    return load::RunLoad(options);
}
