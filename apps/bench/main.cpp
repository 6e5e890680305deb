// zrbench: the plug-in's flows against a local svnserve, each beside its floor measured in the same
// run (Subversion's own client, or the bare file system), as a markdown table of medians of five.
#include "BenchHost.h"

#include "StartServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = qor4::FileStatus;

constexpr const char* kUser = "bench";
constexpr int kRuns = 5;
constexpr int kStatusFiles = 10000;
constexpr int kFilesPerFolder = 100;
constexpr int kCheckOutFiles = 1000;
constexpr int kPreSaveAssets = 10000;
constexpr int kAddedAssets = 1000;
constexpr int kSvnPatienceMs = 600000;

struct CaseResult {
    std::string name;
    int n = 0;
    double plugin = 0;
    double floor = 0;
    double bound = 0;
};

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Require(bool condition, const std::string& what)
{
    if (!condition) throw std::runtime_error(what);
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0,
            "cannot write " + path.toStdString());
}

// Subversion's command-line client as the floor and for the set-up; its output is not read.
class SvnProgram {
public:
    explicit SvnProgram(QString configDir) : m_configDir(std::move(configDir)) {}
    void Run(const QStringList& arguments, const QString& directory) const
    {
        QProcess process;
        process.setWorkingDirectory(directory);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("svn"), QStringList{"--non-interactive", "--no-auth-cache", "--config-dir",
                                                         m_configDir, "--username", kUser, "--password", ""} +
                                                 arguments);
        const bool finished = process.waitForFinished(kSvnPatienceMs);
        Require(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                "svn " + arguments.join(' ').left(80).toStdString() + " failed (finished " + std::to_string(finished) +
                    ", status " + std::to_string(process.exitStatus()) + ", code " +
                    std::to_string(process.exitCode()) + "): " + process.readAll().left(300).toStdString());
    }

private:
    QString m_configDir;
};

std::vector<standin::DbObject*> SavedAssets(BenchHost& host, const std::vector<std::string>& files)
{
    std::vector<standin::DbObject*> assets;
    for (const std::string& file : files)
        assets.push_back(host.Manager().CreateAsset(
            {QFileInfo(QString::fromStdString(file)).baseName().toStdString() + std::to_string(assets.size()),
             file,
             {},
             true}));
    return assets;
}

DbObjectHandles HandlesOf(const std::vector<standin::DbObject*>& assets)
{
    DbObjectHandles handles;
    for (standin::DbObject* asset : assets)
        handles.push_back(standin::DataModelMgr::MakeHandle(asset));
    return handles;
}

bool Writable(const std::string& file)
{
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
}

CaseResult StatusCase(BenchHost& host, const SvnProgram& svn, const QDir& wc, const std::vector<std::string>& files)
{
    const DbObjectHandles handles = HandlesOf(SavedAssets(host, files));
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        std::list<qor4::StatusWord> states;
        qor4::qorResult result;
        plugin.push_back(Seconds([&] { result = host.Helper().GetAccessStates(handles, false, true, states); }));
        Require(result.GetCode() == 0 && states.size() == files.size(), "status: the plug-in's query failed");
        floor.push_back(Seconds([&] { svn.Run({"status", "-u", "status"}, wc.path()); }));
    }
    return {"status", static_cast<int>(files.size()), Median(plugin), Median(floor), 3.0};
}

CaseResult CheckOutCase(BenchHost& host, const SvnProgram& svn, const QDir& wc, const std::vector<std::string>& files,
                        const QStringList& relative)
{
    const DbObjectHandles handles = HandlesOf(SavedAssets(host, files));
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        host.Backend().ClearCalls();
        CommandTexts texts;
        qor4::qorResult result;
        plugin.push_back(
            Seconds([&] { result = host.Helper().RunCheckOutCommand(host.Control(), handles, false, "", texts); }));
        Require(result.GetCode() == 0, "checkout: the plug-in's check-out failed: " + texts.message + texts.details);
        Require(std::all_of(files.begin(), files.end(), Writable), "checkout: files left read-only");
        Require(host.CallsOf(standin::ServerOp::kEdit) == 1, "checkout: not exactly one lock request");
        Require(host.Backend().Revert(host.Session(), files).Succeeded(), "checkout: the locks were not released");

        floor.push_back(Seconds([&] { svn.Run(QStringList{"lock"} + relative, wc.filePath("checkout")); }));
        svn.Run(QStringList{"unlock"} + relative, wc.filePath("checkout"));
    }
    return {"checkout", static_cast<int>(files.size()), Median(plugin), Median(floor), 1.5};
}

CaseResult PostSaveAddCase(BenchHost& host, const SvnProgram& svn, const QDir& wc)
{
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        const QString folder = QStringLiteral("added/r%1/").arg(run);
        std::vector<std::string> files;
        for (int i = 0; i < kAddedAssets; ++i) {
            const std::string file = wc.filePath(folder + QStringLiteral("a%1.qor").arg(i)).toStdString();
            host.Manager().CreateAsset({"added" + std::to_string(run) + "_" + std::to_string(i), file, {}, false});
            files.push_back(file);
        }
        host.Backend().ClearCalls();
        standin::SaveResult saved;
        plugin.push_back(Seconds([&] { saved = host.Library().Save(); }));
        Require(saved.Succeeded(), "postsave-add: the save failed");
        Require(host.CallsOf(standin::ServerOp::kAdd) == kAddedAssets,
                "postsave-add: " + std::to_string(host.CallsOf(standin::ServerOp::kAdd)) + " adds for " +
                    std::to_string(kAddedAssets) + " assets, " + std::to_string(host.Backend().Calls().size()) +
                    " calls");
        const standin::StatusResult status = host.Backend().Status(host.Session(), files, standin::StatusScope::kLocal);
        Require(status.Succeeded() && std::all_of(status.words.begin(), status.words.end(),
                                                  [](qor4::StatusWord word) { return word == fs::kMarkedForAdd; }),
                "postsave-add: the new files were not marked for add");

        const QString floorFolder = QStringLiteral("floor/r%1").arg(run);
        for (int i = 0; i < kAddedAssets; ++i)
            WriteFile(wc.filePath(floorFolder + QStringLiteral("/a%1.qor").arg(i)), "new asset\n");
        floor.push_back(Seconds([&] { svn.Run({"add", "--parents", floorFolder}, wc.path()); }));
    }
    return {"postsave-add", kAddedAssets, Median(plugin), Median(floor), 2.0};
}

CaseResult PreSaveCase(BenchHost& host, const QDir& wc)
{
    std::vector<std::string> files;
    for (int i = 0; i < kPreSaveAssets; ++i) {
        const QString path = wc.filePath(QStringLiteral("presave/d%1/p%2.qor").arg(i / kFilesPerFolder).arg(i));
        WriteFile(path, "writable asset\n");
        files.push_back(path.toStdString());
    }
    for (standin::DbObject* asset : SavedAssets(host, files))
        host.Manager().AddObject(asset, asset->GetName() + ".meta", standin::ObjectKind::Metadata);
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        bool cancel = true;
        plugin.push_back(Seconds([&] { host.Helper().OnPreSave(host.Library().GetAccessor(), &cancel); }));
        Require(!cancel, "presave: the save was vetoed");
        int writable = 0;
        floor.push_back(Seconds([&] {
            for (const std::string& file : files) {
                struct stat info {};
                writable += stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
            }
        }));
        Require(writable == kPreSaveAssets, "presave: files not writable");
    }
    return {"presave", kPreSaveAssets, Median(plugin), Median(floor), 1.2};
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    try {
        Require(root.isValid(), "no temporary folder");
        // zrbench [--https] [case ...]: through Apache over TLS; only the named cases (for profiling one).
        QStringList wanted = app.arguments().mid(1);
        const bool https = wanted.removeAll(QStringLiteral("--https")) > 0;
        const std::string serverFolder = root.filePath("server").toStdString();
        std::string error;
        const std::unique_ptr<standin::RepositoryServer> server = standin::StartServer(
            https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve, serverFolder, {{kUser, ""}}, error);
        Require(server != nullptr, error);
        const std::string url = server->Url();
        const SvnProgram svn(root.filePath("svn-config"));
        // The command-line client trusts the server as the backend does.
        if (https) {
            QDir().mkpath(root.filePath("svn-config"));
            QFile::copy(QString::fromStdString(server->ClientConfigFolder() + "/servers"),
                        root.filePath("svn-config/servers"));
        }

        std::fprintf(stderr, "zrbench: seeding %s ...\n", url.c_str());
        const QDir seed(root.filePath("seed"));
        for (int i = 0; i < kStatusFiles; ++i)
            WriteFile(seed.filePath(QStringLiteral("status/d%1/f%2.qor").arg(i / kFilesPerFolder).arg(i)), "asset\n");
        QStringList checkOutNames;
        for (int i = 0; i < kCheckOutFiles; ++i) {
            checkOutNames << QStringLiteral("c%1.qor").arg(i);
            WriteFile(seed.filePath("checkout/" + checkOutNames.back()), "asset\n");
        }
        svn.Run({"import", "-q", "-m", "benchmark files", seed.path(), QString::fromStdString(url)}, root.path());
        const QDir wc(root.filePath("wc"));
        Require(server->CheckOut(kUser, wc.path().toStdString(), error), error);
        svn.Run({"propset", "-q", "-R", "svn:needs-lock", "*", "checkout"}, wc.path());
        svn.Run({"commit", "-q", "-m", "assets need a lock", "checkout"}, wc.path());
        svn.Run({"update", "-q"}, wc.path());

        BenchHost host;
        Require(host.Start(url, kUser, wc.path().toStdString(), server->ClientConfigFolder(), error), error);
        std::vector<std::string> statusFiles, checkOutFiles;
        for (int i = 0; i < kStatusFiles; ++i)
            statusFiles.push_back(
                wc.filePath(QStringLiteral("status/d%1/f%2.qor").arg(i / kFilesPerFolder).arg(i)).toStdString());
        for (const QString& name : checkOutNames)
            checkOutFiles.push_back(wc.filePath("checkout/" + name).toStdString());

        auto run = [&wanted](const char* name) {
            const bool chosen = wanted.isEmpty() || wanted.contains(QLatin1String(name));
            if (chosen) std::fprintf(stderr, "zrbench: %s ...\n", name);
            return chosen;
        };
        std::vector<CaseResult> results;
        if (run("status")) results.push_back(StatusCase(host, svn, wc, statusFiles));
        if (run("checkout")) results.push_back(CheckOutCase(host, svn, wc, checkOutFiles, checkOutNames));
        if (run("postsave-add")) results.push_back(PostSaveAddCase(host, svn, wc));
        if (run("presave")) results.push_back(PreSaveCase(host, wc));

        std::printf("| case | n | plug-in (median of %d, s) | floor (median of %d, s) | ratio |\n", kRuns, kRuns);
        std::printf("|---|---|---|---|---|\n");
        for (const CaseResult& result : results)
            std::printf("| %s | %d | %.4f | %.4f | %.2f |\n", result.name.c_str(), result.n, result.plugin,
                        result.floor, result.plugin / result.floor);
        std::printf("\n");
        for (const CaseResult& result : results) {
            const double ratio = result.plugin / result.floor;
            std::printf("%s: ratio %.2f, bound %.1f: %s\n", result.name.c_str(), ratio, result.bound,
                        ratio <= result.bound ? "within" : "MISSED");
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "zrbench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
