#include "SampleProject.h"

#include "RevisionServer.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace demo {

namespace {

constexpr const char* kPreferencesSuffix = "-preferences.ini";
constexpr const char* kManifestSuffix = ".assets.json";

std::string InitialContent(const std::string& depotPath)
{
    return depotPath + " revision 1\n";
}

void Require(const standin::ServerResult& result, const std::string& what)
{
    if (result.Failed()) throw std::runtime_error(what + ": " + result.text);
}

} // namespace

SampleProject::SampleProject(const QString& dataDir) : m_dataDir(QDir(dataDir).absolutePath()) {}

QString SampleProject::DatabasePath() const
{
    return QDir(m_dataDir).filePath(kDatabaseFile);
}

QString SampleProject::WorkspaceRoot(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(WorkspaceOf(user)));
}

QString SampleProject::ManifestPath(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(WorkspaceOf(user) + kManifestSuffix));
}

QString SampleProject::PreferencesPath(const std::string& user) const
{
    return QDir(m_dataDir).filePath(QString::fromStdString(user + kPreferencesSuffix));
}

bool SampleProject::Exists() const
{
    return QFileInfo::exists(DatabasePath());
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

ProjectOutcome SampleProject::Create()
{
    ProjectOutcome outcome;
    if (Exists()) {
        outcome.error = "a project already exists in " + m_dataDir.toStdString();
        return outcome;
    }
    if (!QDir().mkpath(m_dataDir)) {
        outcome.error = "cannot create the data folder " + m_dataDir.toStdString();
        return outcome;
    }
    try {
        standin::RevisionServer server(DatabasePath());
        Seed(server);
        if (!SaveManifest(QDir(m_dataDir).filePath(kProjectManifest), SampleAssets(), outcome.error)) {
            QFile::remove(DatabasePath());
            return outcome;
        }
        for (const char* user : {SampleUsers::kMain, SampleUsers::kOther}) {
            outcome = PrepareWorkspace(server, user);
            if (!outcome.ok) return outcome;
        }
        Require(server.Login(SampleUsers::kOther, SampleUsers::kPassword, server.ServerAddress(),
                             WorkspaceOf(SampleUsers::kOther)),
                "bob logs in");
        // bob's edits are real: his copies are writable, his lock is on both files of the villain.
        const standin::ChangeListResult change = server.CreateChangeList(kBobChangeListDescription);
        Require(change, "bob creates a changelist");
        Require(server.Edit({SampleFiles::kVillainAsset, SampleFiles::kVillainTexture}, change.changeList),
                "bob opens the villain");
        Require(server.Lock({SampleFiles::kVillainAsset, SampleFiles::kVillainTexture}), "bob locks the villain");
        Require(server.Edit({SampleFiles::kTreeAsset}, ""), "bob opens the tree");
        server.UseSession(0);
        Require(server.SubmitAs(SampleUsers::kThird, SampleFiles::kLampAsset, "props/lamp.qor revision 2\n"),
                "carol submits the lamp");
        outcome.ok = true;
    } catch (const std::exception& error) {
        outcome.ok = false;
        outcome.error = std::string("cannot build the sample project: ") + error.what();
    }
    if (!outcome.ok) QFile::remove(DatabasePath());
    return outcome;
}

void SampleProject::Seed(standin::RevisionServer& server) const
{
    for (const char* user : {SampleUsers::kMain, SampleUsers::kOther, SampleUsers::kThird}) {
        server.AddUser(user, SampleUsers::kPassword);
        if (!QDir().mkpath(WorkspaceRoot(user)))
            throw std::runtime_error("cannot create " + WorkspaceRoot(user).toStdString());
        server.AddWorkspace(WorkspaceOf(user), WorkspaceRoot(user), user);
    }
    for (const ManifestAsset& asset : SampleAssets())
        for (const std::string& file : asset.depotFiles)
            server.AddDepotFile(file, 1, InitialContent(file));
}

ProjectOutcome SampleProject::PrepareWorkspace(standin::RevisionServer& server, const std::string& user) const
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
    const std::int64_t previous = server.CurrentSession();
    const standin::LoginResult login =
        server.Login(user, SampleUsers::kPassword, server.ServerAddress(), WorkspaceOf(user));
    if (login.Failed()) {
        outcome.error = "cannot log in as " + user + ": " + login.text;
        return outcome;
    }
    // Files this user has opened stay as they are; everything else comes from the depot.
    std::vector<ManifestAsset> assets;
    for (const ManifestAsset& asset : project.assets) {
        standin::FileList present;
        for (const std::string& file : asset.depotFiles)
            if (server.HeadRevision(file) > 0) present.push_back(file);
        if (present.empty()) continue;
        const standin::ServerResult synced = server.Sync(present);
        if (synced.Failed()) {
            server.UseSession(previous);
            outcome.error = "cannot sync the workspace of " + user + ": " + synced.text;
            return outcome;
        }
        assets.push_back(asset);
    }
    server.UseSession(previous);
    outcome.ok = SaveManifest(ManifestPath(user), assets, outcome.error);
    return outcome;
}

} // namespace demo
