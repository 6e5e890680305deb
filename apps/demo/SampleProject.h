// The demo's sample project in a data folder: a Subversion repository served by the demo's own
// svnserve, one working copy per user, and each working copy's asset list.
//
// Created on first run: assets with and without external files committed with svn:needs-lock
// (read-only on disk), bob holding some files (the villain locked in a changelist of his, the tree
// locked), and a file that carol committed again so that alice's copy is no longer at the head.
#pragma once

#include "ProjectManifest.h"

#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {
class RepositoryServer;
}

namespace demo {

namespace SampleUsers {
constexpr const char* kMain = "alice";
constexpr const char* kOther = "bob";
constexpr const char* kThird = "carol";
// Every demo user has it, so that a session needs it.
constexpr const char* kPassword = "secret";
} // namespace SampleUsers

// Working-copy paths of the files the sample situations hang on.
namespace SampleFiles {
constexpr const char* kTreeAsset = "props/tree.qor";       // locked by bob
constexpr const char* kVillainAsset = "chars/villain.qor"; // locked by bob in his changelist
constexpr const char* kVillainTexture = "chars/villain_diffuse.tex";
constexpr const char* kLampAsset = "props/lamp.qor"; // carol's newer revision
} // namespace SampleFiles

struct ProjectOutcome {
    bool ok = false;
    std::string error;
};

class SampleProject {
public:
    static constexpr const char* kServerFolder = "server";
    static constexpr const char* kProjectManifest = "project.json";
    static constexpr const char* kBobChangeListDescription = "bob: villain rework";

    explicit SampleProject(const QString& dataDir);

    QString DataDir() const { return m_dataDir; }
    QString ServerFolder() const;
    QString WorkingCopy(const std::string& user) const;
    QString ManifestPath(const std::string& user) const;
    QString PreferencesPath(const std::string& user) const;

    // True when the repository is there.
    bool Exists() const;
    // Starts the project's svnserve over its repository (created when missing), with the users.
    std::unique_ptr<standin::RepositoryServer> StartServer(bool https, std::string& error) const;
    // Builds the working copies and the situations above on a server of a new project.
    ProjectOutcome Create(standin::RepositoryServer& server) const;
    // Gives user a working copy and its asset list, unless it has its asset list already.
    ProjectOutcome PrepareWorkingCopy(standin::RepositoryServer& server, const std::string& user) const;

    // The sample assets as working-copy paths.
    static std::vector<ManifestAsset> SampleAssets();
    static std::map<std::string, std::string> Users();

private:
    QString m_dataDir;
};

} // namespace demo
