#include "SampleProject.h"

#include "subversion/SvnBackend.h"
#include "testkit/StartServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace demo {

namespace {

constexpr const char* kPreferencesSuffix = "-preferences.ini";
constexpr const char* kManifestSuffix = ".assets.json";
constexpr const char* kWorkingCopyPrefix = "wc-";
constexpr const char* kRepositoryFormat = "depot/format";

std::string InitialContent(const std::string& path)
{
    return path + " revision 1\n";
}

void Require(const standin::ServerResult& result, const std::string& what)
{
    if (result.Failed()) throw std::runtime_error(what + ": " + result.text);
}

void WriteText(const QString& path, const std::string& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content.data(), static_cast<qint64>(content.size())) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

SampleProject::SampleProject(const QString& dataDir) : m_dataDir(QDir(dataDir).absolutePath()) {}

QString SampleProject::ServerFolder() const
{
    return QDir(m_dataDir).filePath(kServerFolder);
}

QString SampleProject::WorkingCopy(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(kWorkingCopyPrefix + user));
}

QString SampleProject::ManifestPath(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(user + kManifestSuffix));
}

QString SampleProject::PreferencesPath(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(user + kPreferencesSuffix));
}

bool SampleProject::Exists() const
{
    return QFileInfo::exists(QDir(ServerFolder()).filePath(kRepositoryFormat));
}

std::map<std::string, std::string> SampleProject::Users()
{
    return {{SampleUsers::kMain, SampleUsers::kPassword},
            {SampleUsers::kOther, SampleUsers::kPassword},
            {SampleUsers::kThird, SampleUsers::kPassword}};
}

std::vector<ManifestAsset> SampleProject::SampleAssets()
{
    return {
        {"hero", {"chars/hero.qor", "chars/hero_diffuse.tex", "chars/hero_normal.tex"}},
        {"villain", {SampleFiles::kVillainAsset, SampleFiles::kVillainTexture}},
        {"crate", {"props/crate.qor"}},
        {"lamp", {SampleFiles::kLampAsset, "props/lamp_glow.tex"}},
        {"tree", {SampleFiles::kTreeAsset}},
        {"sky", {"env/sky.qor"}},
    };
}

std::unique_ptr<standin::RepositoryServer> SampleProject::StartServer(bool https, std::string& error) const
{
    if (!QDir().mkpath(m_dataDir)) {
        error = "cannot create the data folder " + m_dataDir.toStdString();
        return nullptr;
    }
    std::unique_ptr<standin::RepositoryServer> server =
        standin::StartServer(https ? standin::ServerKind::kApache : standin::ServerKind::kSvnserve,
                             ServerFolder().toStdString(), Users(), error);
    // The server listens on a new port every start; working copies from earlier starts follow it.
    for (const auto& user : Users())
        if (server && QFileInfo::exists(WorkingCopy(user.first)) &&
            !server->Relocate(user.first, WorkingCopy(user.first).toStdString(), error))
            return nullptr;
    return server;
}

ProjectOutcome SampleProject::Create(standin::RepositoryServer& server) const
{
    ProjectOutcome outcome;
    try {
        std::string error;
        for (const auto& user : Users())
            if (!server.CheckOut(user.first, WorkingCopy(user.first).toStdString(), error))
                throw std::runtime_error(error);
        if (!SaveManifest(QDir(m_dataDir).filePath(kProjectManifest), SampleAssets(), outcome.error)) return outcome;

        standin::SvnBackend backend;
        backend.SetConfigurationFolder(server.ClientConfigFolder());
        auto open = [&](const std::string& user) {
            const standin::LoginResult login =
                backend.OpenSession({user, SampleUsers::kPassword, server.Url(), WorkingCopy(user).toStdString(), {}});
            Require(login, user + " logs in");
            return login.session;
        };
        auto path = [this](const std::string& user, const std::string& relative) {
            return QDir(WorkingCopy(user)).filePath(QString::fromStdString(relative)).toStdString();
        };

        const standin::SessionId alice = open(SampleUsers::kMain);
        standin::FileList files;
        for (const ManifestAsset& asset : SampleAssets())
            for (const std::string& file : asset.depotFiles) {
                WriteText(QString::fromStdString(path(SampleUsers::kMain, file)), InitialContent(file));
                files.push_back(path(SampleUsers::kMain, file));
            }
        Require(backend.Add(alice, files, ""), "alice adds the sample assets");
        Require(backend.Submit(alice, ""), "alice commits the sample assets");
        for (const char* user : {SampleUsers::kOther, SampleUsers::kThird})
            if (!server.Update(user, WorkingCopy(user).toStdString(), error)) throw std::runtime_error(error);

        // bob's locks are real: his copies are writable and everybody else sees his name on them.
        const standin::SessionId bob = open(SampleUsers::kOther);
        const standin::ChangeListResult change = backend.CreateChangeList(bob, kBobChangeListDescription);
        Require(change, "bob creates a changelist");
        Require(backend.Edit(bob,
                             {path(SampleUsers::kOther, SampleFiles::kVillainAsset),
                              path(SampleUsers::kOther, SampleFiles::kVillainTexture)},
                             change.changeList),
                "bob locks the villain");
        Require(backend.Edit(bob, {path(SampleUsers::kOther, SampleFiles::kTreeAsset)}, ""), "bob locks the tree");

        const standin::SessionId carol = open(SampleUsers::kThird);
        const std::string lamp = path(SampleUsers::kThird, SampleFiles::kLampAsset);
        Require(backend.Edit(carol, {lamp}, ""), "carol locks the lamp");
        WriteText(QString::fromStdString(lamp), std::string(SampleFiles::kLampAsset) + " revision 2\n");
        Require(backend.Submit(carol, ""), "carol commits the lamp");

        for (const char* user : {SampleUsers::kMain, SampleUsers::kOther}) {
            outcome = PrepareWorkingCopy(server, user);
            if (!outcome.ok) return outcome;
        }
        outcome.ok = true;
    } catch (const std::exception& error) {
        outcome.ok = false;
        outcome.error = std::string("cannot build the sample project: ") + error.what();
    }
    return outcome;
}

ProjectOutcome SampleProject::PrepareWorkingCopy(standin::RepositoryServer& server, const std::string& user) const
{
    ProjectOutcome outcome;
    if (QFileInfo::exists(ManifestPath(user))) {
        outcome.ok = true;
        return outcome;
    }
    const ManifestLoad project = LoadManifest(QDir(m_dataDir).filePath(kProjectManifest));
    if (!project.ok) {
        outcome.error = project.error;
        return outcome;
    }
    if (!QFileInfo::exists(WorkingCopy(user)) && !server.CheckOut(user, WorkingCopy(user).toStdString(), outcome.error))
        return outcome;
    std::vector<ManifestAsset> assets;
    for (const ManifestAsset& asset : project.assets)
        if (QFileInfo::exists(QDir(WorkingCopy(user)).filePath(QString::fromStdString(asset.depotFiles.front()))))
            assets.push_back(asset);
    outcome.ok = SaveManifest(ManifestPath(user), assets, outcome.error);
    return outcome;
}

} // namespace demo
