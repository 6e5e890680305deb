#include "BenchCases.h"

#include "subversion/SvnClient.h"
#include "subversion/SvnError.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>

namespace {

namespace fs = qor4::FileStatus;

constexpr double kStatusBound = 1.2;
constexpr double kCheckOutBound = 1.5;
constexpr double kPostSaveAddBound = 1.3;
constexpr double kPreSaveBound = 1.2;
constexpr double kUpdateBound = 1.5;

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

QString Numbered(const QString& folder, const char* prefix, int i)
{
    return QStringLiteral("%1/d%2/%3%4.qor").arg(folder).arg(i / BenchCases::kFilesPerFolder).arg(prefix).arg(i);
}

std::vector<standin::DbObject*> SavedAssets(BenchHost& host, const std::vector<std::string>& files)
{
    std::vector<standin::DbObject*> assets;
    assets.reserve(files.size());
    for (const std::string& file : files)
        assets.push_back(host.Manager().CreateAsset(
            {QFileInfo(QString::fromStdString(file)).baseName().toStdString() + "_" + std::to_string(assets.size()),
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

// The post-save add's floor: the per-asset calls the contract asks for, made straight to
// libsvn_client with the backend's configuration (and so its auto-props).
double DirectAdds(const std::vector<std::string>& files, const std::string& user, const std::string& configFolder)
{
    standin::svn::Client client(user, "", {configFolder, {}});
    standin::svn::Pool pool(client.PoolHandle());
    ::sync();
    return Seconds([&] {
        for (const std::string& file : files) {
            standin::svn::Pool iteration(pool.Get());
            const standin::svn::Error error(svn_client_add5(file.c_str(), svn_depth_empty, FALSE, TRUE, FALSE, TRUE,
                                                            client.Context(), iteration.Get()));
            Require(!error, "postsave-add: svn_client_add5 failed: " + error.Text());
        }
    });
}

} // namespace

bool Writable(const std::string& file)
{
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
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

QString BenchCases::StatusFile(int size, int i)
{
    return Numbered(QStringLiteral("status/n%1").arg(size), "f", i);
}

QString BenchCases::CheckOutFile(int size, int i)
{
    return Numbered(QStringLiteral("checkout/n%1").arg(size), "c", i);
}

BenchCases::BenchCases(BenchHost& host, const SvnProgram& svn, const SvnProgram& svnAutoProps, const QDir& workingCopy,
                       std::string user, std::string configFolder)
    : m_host(host), m_svn(svn), m_svnAutoProps(svnAutoProps), m_wc(workingCopy), m_user(std::move(user)),
      m_configFolder(std::move(configFolder))
{
}

std::vector<std::string> BenchCases::Absolute(const QStringList& relative) const
{
    std::vector<std::string> files;
    files.reserve(relative.size());
    for (const QString& name : relative)
        files.push_back(m_wc.filePath(name).toStdString());
    return files;
}

CaseResult BenchCases::Status(int size)
{
    QStringList names;
    for (int i = 0; i < size; ++i)
        names << StatusFile(size, i);
    const std::vector<std::string> files = Absolute(names);
    const DbObjectHandles handles = HandlesOf(SavedAssets(m_host, files));
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        std::list<qor4::StatusWord> states;
        qor4::qorResult result;
        plugin.push_back(Seconds([&] { result = m_host.Helper().GetAccessStates(handles, false, true, states); }));
        Require(result.GetCode() == 0 && states.size() == files.size(), "status: the plug-in's query failed");
        floor.push_back(Seconds([&] {
            m_svn.Run({"status", "-u", QStringLiteral("status/n%1").arg(size)}, m_wc.path());
        }));
    }
    return {"status", size, Median(plugin), Median(floor), -1, kStatusBound};
}

CaseResult BenchCases::CheckOut(int size)
{
    QStringList names;
    for (int i = 0; i < size; ++i)
        names << CheckOutFile(size, i);
    const std::vector<std::string> files = Absolute(names);
    const DbObjectHandles handles = HandlesOf(SavedAssets(m_host, files));
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        m_host.Backend().ClearCalls();
        CommandTexts texts;
        qor4::qorResult result;
        plugin.push_back(
            Seconds([&] { result = m_host.Helper().RunCheckOutCommand(m_host.Control(), handles, false, "", texts); }));
        Require(result.GetCode() == 0, "checkout: the plug-in's check-out failed: " + texts.message + texts.details);
        Require(std::all_of(files.begin(), files.end(), Writable), "checkout: files left read-only");
        Require(m_host.CallsOf(standin::ServerOp::kEdit) == 1, "checkout: not exactly one lock request");
        const standin::ServerResult reverted = m_host.Backend().Revert(m_host.Session(), files);
        Require(reverted.Succeeded(), "checkout: the locks were not released: " + reverted.text);

        floor.push_back(Seconds([&] { m_svn.Run(QStringList{"lock"} + names, m_wc.path()); }));
        m_svn.Run(QStringList{"unlock"} + names, m_wc.path());
    }
    return {"checkout", size, Median(plugin), Median(floor), -1, kCheckOutBound};
}

CaseResult BenchCases::PostSaveAdd(int size)
{
    std::vector<double> plugin, direct, named;
    for (int run = 0; run < kRuns; ++run, ++m_addRound) {
        const QString round = QStringLiteral("n%1/r%2").arg(size).arg(m_addRound);
        QStringList pluginNames, directNames, commandNames;
        for (int i = 0; i < size; ++i) {
            pluginNames << Numbered("added/" + round, "a", i);
            directNames << Numbered("direct/" + round, "a", i);
            commandNames << Numbered("named/" + round, "a", i);
        }
        const std::vector<std::string> files = Absolute(pluginNames);
        for (int i = 0; i < size; ++i)
            m_host.Manager().CreateAsset(
                {"added_" + round.toStdString() + "_" + std::to_string(i), files[i], {}, false});
        m_host.Backend().ClearCalls();
        standin::SaveResult saved;
        plugin.push_back(m_host.TimedPostSave(saved));
        Require(saved.Succeeded(), "postsave-add: the save failed");
        Require(m_host.CallsOf(standin::ServerOp::kAdd) == size,
                "postsave-add: " + std::to_string(m_host.CallsOf(standin::ServerOp::kAdd)) + " adds for " +
                    std::to_string(size) + " assets");
        const standin::StatusResult status =
            m_host.Backend().Status(m_host.Session(), files, standin::StatusScope::kLocal);
        Require(status.Succeeded() && std::all_of(status.words.begin(), status.words.end(),
                                                  [](qor4::StatusWord word) { return word == fs::kMarkedForAdd; }),
                "postsave-add: the new files were not marked for add");

        for (const QString& name : directNames + commandNames)
            WriteFile(m_wc.filePath(name), "new asset\n");
        direct.push_back(DirectAdds(Absolute(directNames), m_user, m_configFolder));
        ::sync();
        named.push_back(Seconds([&] {
            m_svnAutoProps.Run(QStringList{"add", "-q", "--parents"} + commandNames, m_wc.path());
        }));
    }
    return {"postsave-add", size, Median(plugin), Median(direct), Median(named), kPostSaveAddBound};
}

CaseResult BenchCases::PreSave(int size)
{
    // The library holds every asset of the smaller sizes too: they are the same project grown.
    const int first = static_cast<int>(m_preSaveFiles.size());
    std::vector<std::string> added;
    for (int i = first; i < size; ++i) {
        const QString path = m_wc.filePath(Numbered(QStringLiteral("presave"), "p", i));
        WriteFile(path, "writable asset\n");
        added.push_back(path.toStdString());
    }
    // Each asset's metadata object is new, so dirty: the save's query finds every one.
    for (standin::DbObject* asset : SavedAssets(m_host, added))
        m_host.Manager().AddObject(asset, asset->GetName() + ".meta", standin::ObjectKind::Metadata);
    m_preSaveFiles.insert(m_preSaveFiles.end(), added.begin(), added.end());
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        bool cancel = true;
        plugin.push_back(Seconds([&] { m_host.Helper().OnPreSave(m_host.Library().GetAccessor(), &cancel); }));
        Require(!cancel, "presave: the save was vetoed");
        int writable = 0;
        floor.push_back(Seconds([&] {
            for (const std::string& file : m_preSaveFiles) {
                struct stat info {};
                writable += stat(file.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
            }
        }));
        Require(writable == size, "presave: files not writable");
    }
    return {"presave", size, Median(plugin), Median(floor), -1, kPreSaveBound};
}

CaseResult BenchCases::Update(int size)
{
    // The status case's folder, already at the head revision: what an update costs before it
    // brings anything (the report of every file, and the locks it takes).
    const QString folder = QStringLiteral("status/n%1").arg(size);
    const std::vector<std::string> target = Absolute({folder});
    std::vector<double> plugin, floor;
    for (int run = 0; run < kRuns; ++run) {
        standin::UpdateResult updated;
        plugin.push_back(Seconds([&] { updated = m_host.Backend().Update(m_host.Session(), target); }));
        Require(updated.Succeeded() && updated.updated.empty(), "update: " + updated.text);
        floor.push_back(Seconds([&] { m_svn.Run({"update", "-q", folder}, m_wc.path()); }));
    }
    return {"update", size, Median(plugin), Median(floor), -1, kUpdateBound};
}
