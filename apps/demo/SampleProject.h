// The demo's sample project in a data folder: the depot data base shared by every user, one
// workspace folder per user, and each workspace's asset list.
//
// Created on first run: assets with and without external files checked in (read-only on disk),
// bob holding some files (one opened, one opened and locked), and a file that carol submitted
// again so that the first user's copy is no longer at the head revision.
#pragma once

#include "ProjectManifest.h"

#include <QString>

#include <string>
#include <vector>

namespace standin {
class RevisionServer;
}

namespace demo {

namespace SampleUsers {
constexpr const char* kMain = "alice";
constexpr const char* kOther = "bob";
constexpr const char* kThird = "carol";
// Every demo user has it, so that an expired session asks for it.
constexpr const char* kPassword = "secret";
} // namespace SampleUsers

// Depot paths of the files the sample situations hang on.
namespace SampleFiles {
constexpr const char* kTreeAsset = "props/tree.qor";       // opened by bob
constexpr const char* kVillainAsset = "chars/villain.qor"; // opened and locked by bob
constexpr const char* kVillainTexture = "chars/villain_diffuse.tex";
constexpr const char* kLampAsset = "props/lamp.qor"; // carol's newer revision
} // namespace SampleFiles

struct ProjectOutcome {
    bool ok = false;
    std::string error;
};

class SampleProject {
public:
    static constexpr const char* kDatabaseFile = "depot.sqlite";
    static constexpr const char* kProjectManifest = "project.json";
    static constexpr const char* kBobChangeListDescription = "bob: villain rework";

    explicit SampleProject(const QString& dataDir);

    QString DataDir() const { return m_dataDir; }
    QString DatabasePath() const;
    static std::string WorkspaceOf(const std::string& user) { return user + "-ws"; }
    QString WorkspaceRoot(const std::string& user) const;
    QString ManifestPath(const std::string& user) const;
    QString PreferencesPath(const std::string& user) const;

    // True when the depot data base is there.
    bool Exists() const;
    // Builds the depot, the workspaces and the situations above. Fails when the project exists.
    ProjectOutcome Create();
    // Gives user's workspace the project's files (synced, read-only) and its asset list, unless it
    // has its asset list already.
    ProjectOutcome PrepareWorkspace(standin::RevisionServer& server, const std::string& user) const;

    // The sample assets as depot paths.
    static std::vector<ManifestAsset> SampleAssets();

private:
    void Seed(standin::RevisionServer& server) const;

    QString m_dataDir;
};

} // namespace demo
