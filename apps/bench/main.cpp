// zrbench: the plug-in's flows against a project's own server, each beside its floor measured in the
// same run (Subversion's own client, the same library calls made directly, or the bare file
// system), as a markdown table of medians, with the growth of each case between its two largest sizes.
//
//   zrbench [--https] [--sizes N,N,...] [case ...]
//   zrbench --remote [--https] [--rtt MS,MS,...]   (the daily operations over a link with distance)
//   zrbench --remote --replica                     (the same behind a replica near by, its master far away)
#include "BenchCases.h"
#include "BenchHost.h"
#include "BenchReport.h"
#include "RemoteBench.h"
#include "SvnProgram.h"

#include "testkit/StartServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kUser = "bench";
constexpr int kQuickSize = 10000;
constexpr int kQuickLockAndAddSize = 1000;
// One lock request names every file, and each run adds its files anew: past this size the set-up
// (and the command line of `svn lock`) outgrows the machine long before the plug-in does.
constexpr int kLargestLockAndAddSize = 10000;
constexpr const char* kAutoPropsConfig = "[miscellany]\nenable-auto-props = yes\n[auto-props]\n* = svn:needs-lock=*\n";

const QStringList kCases{"status", "checkout", "postsave-add", "presave", "update"};

const std::vector<int> kDefaultRtts{0, 100};
// A link slower than this would make one run outlast anyone's patience.
constexpr int kLongestRttMs = 2000;

struct Options {
    bool https = false;
    bool remote = false;
    bool replica = false;
    std::vector<int> rtts = kDefaultRtts;
    std::vector<int> sizes;
    QStringList cases;
};

Options Parse(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("The plug-in's flows beside their floors.");
    parser.addHelpOption();
    const QCommandLineOption https("https", "Through the project's Apache over TLS instead of svnserve.");
    const QCommandLineOption sizes("sizes", "Sizes to run every case at, e.g. 1000,10000,100000.", "list");
    const QCommandLineOption remote("remote", "The daily operations through a relay with distance instead.");
    const QCommandLineOption rtts("rtt", "With --remote: round-trip times in ms, e.g. 0,50,100,200.", "list");
    const QCommandLineOption replica("replica",
                                     "With --remote: behind a replica 6 ms away whose master is 200 ms away.");
    parser.addOption(https);
    parser.addOption(sizes);
    parser.addOption(remote);
    parser.addOption(rtts);
    parser.addOption(replica);
    parser.addPositionalArgument("case", "Cases to run alone: " + kCases.join(", ") + ".", "[case ...]");
    parser.process(app);

    Options options;
    options.https = parser.isSet(https);
    options.remote = parser.isSet(remote);
    options.replica = parser.isSet(replica);
    Require(options.remote || !parser.isSet(rtts), "--rtt goes with --remote");
    Require(options.remote || !options.replica, "--replica goes with --remote");
    Require(!options.replica || (!parser.isSet(rtts) && !options.https), "--replica sets its own distances over https");
    if (parser.isSet(rtts)) options.rtts.clear();
    for (const QString& text : parser.value(rtts).split(',', Qt::SkipEmptyParts)) {
        bool number = false;
        const int rtt = text.trimmed().toInt(&number);
        Require(number && rtt >= 0 && rtt <= kLongestRttMs, "--rtt: " + text.toStdString() +
                                                                " is not a round trip from 0 to " +
                                                                std::to_string(kLongestRttMs) + " ms");
        options.rtts.push_back(rtt);
    }
    Require(!options.rtts.empty(), "--rtt: no round-trip time given");
    for (const QString& text : parser.value(sizes).split(',', Qt::SkipEmptyParts)) {
        bool number = false;
        const int size = text.trimmed().toInt(&number);
        Require(number && size >= 100 && size % 100 == 0,
                "--sizes: " + text.toStdString() + " is not a positive multiple of 100");
        options.sizes.push_back(size);
    }
    std::sort(options.sizes.begin(), options.sizes.end());
    options.sizes.erase(std::unique(options.sizes.begin(), options.sizes.end()), options.sizes.end());
    options.cases = parser.positionalArguments();
    for (const QString& name : options.cases)
        Require(kCases.contains(name),
                "no case " + name.toStdString() + " (cases: " + kCases.join(", ").toStdString() + ")");
    if (options.cases.isEmpty()) options.cases = kCases;
    return options;
}

std::vector<int> SizesOf(const Options& options, const QString& name)
{
    const bool lockOrAdd = name == "checkout" || name == "postsave-add";
    if (options.sizes.empty()) return {lockOrAdd ? kQuickLockAndAddSize : kQuickSize};
    std::vector<int> sizes;
    for (int size : options.sizes)
        if (!lockOrAdd || size <= kLargestLockAndAddSize) sizes.push_back(size);
    if (sizes.size() != options.sizes.size())
        std::fprintf(stderr, "zrbench: %s runs at sizes up to %d only\n", name.toUtf8().constData(),
                     kLargestLockAndAddSize);
    return sizes;
}

// One repository holds the files of every case at every size, imported once before anything is timed.
void Seed(const Options& options, const SvnProgram& svn, const QDir& root, const std::string& url)
{
    const QDir seed(root.filePath("seed"));
    int files = 0;
    if (options.cases.contains("status") || options.cases.contains("update"))
        for (int size : SizesOf(options, "status"))
            for (int i = 0; i < size; ++i, ++files)
                WriteFile(seed.filePath(BenchCases::StatusFile(size, i)), "asset\n");
    if (options.cases.contains("checkout"))
        for (int size : SizesOf(options, "checkout"))
            for (int i = 0; i < size; ++i, ++files)
                WriteFile(seed.filePath(BenchCases::CheckOutFile(size, i)), "asset\n");
    WriteFile(seed.filePath("README"), "benchmark files\n");
    std::fprintf(stderr, "zrbench: seeding %d files into %s ...\n", files, url.c_str());
    svn.Run({"import", "-q", "-m", "benchmark files", seed.path(), QString::fromStdString(url)}, root.path());
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    try {
        Require(root.isValid(), "no temporary folder");
        const Options options = Parse(app);
        if (options.replica) {
            RemoteBench::RunReplica(root.path());
            return 0;
        }
        if (options.remote) {
            RemoteBench::Run(options.https, options.rtts, root.path());
            return 0;
        }
        std::string error;
        const std::unique_ptr<standin::RepositoryServer> server =
            standin::StartServer(options.https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve,
                                 root.filePath("server").toStdString(), {{kUser, ""}}, error);
        Require(server != nullptr, error);
        const std::string url = server->Url();
        // The command-line client trusts the server as the backend does; one configuration adds
        // the backend's auto-props, for the add named file by file.
        for (const char* folder : {"svn-config", "svn-config-autoprops"}) {
            QDir().mkpath(root.filePath(folder));
            if (options.https)
                QFile::copy(QString::fromStdString(server->ClientConfigFolder() + "/servers"),
                            root.filePath(QString(folder) + "/servers"));
        }
        WriteFile(root.filePath("svn-config-autoprops/config"), kAutoPropsConfig);
        const SvnProgram svn(root.filePath("svn-config"), kUser);
        const SvnProgram svnAutoProps(root.filePath("svn-config-autoprops"), kUser);

        Seed(options, svn, QDir(root.path()), url);
        const QDir wc(root.filePath("wc"));
        Require(server->CheckOut(kUser, wc.path().toStdString(), error), error);
        if (options.cases.contains("checkout")) {
            svn.Run({"propset", "-q", "-R", "svn:needs-lock", "*", "checkout"}, wc.path());
            svn.Run({"commit", "-q", "-m", "assets need a lock", "checkout"}, wc.path());
        }
        svn.Run({"update", "-q"}, wc.path());

        BenchHost host;
        Require(host.Start(url, kUser, wc.path().toStdString(), server->ClientConfigFolder(), error), error);
        BenchCases cases(host, svn, svnAutoProps, wc, kUser, server->ClientConfigFolder());
        std::vector<CaseResult> results;
        // Post-save add before pre-save: the pre-save case leaves its assets unsaved.
        for (const QString& name : kCases) {
            if (!options.cases.contains(name)) continue;
            for (int size : SizesOf(options, name)) {
                std::fprintf(stderr, "zrbench: %s at %d ...\n", name.toUtf8().constData(), size);
                if (name == "status") results.push_back(cases.Status(size));
                if (name == "checkout") results.push_back(cases.CheckOut(size));
                if (name == "postsave-add") results.push_back(cases.PostSaveAdd(size));
                if (name == "presave") results.push_back(cases.PreSave(size));
                if (name == "update") results.push_back(cases.Update(size));
            }
        }
        BenchReport::Print(stdout, results, BenchCases::kRuns);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "zrbench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
