#include "SampleProject.h"

#include "ModelAssetFiles.h"
#include "RevisionServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;
using demo::SampleProject;
namespace users = demo::SampleUsers;

class SampleProjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const demo::ProjectOutcome created = project.Create();
        ASSERT_TRUE(created.ok) << created.error;
    }

    // A server on the project's depot, logged in as user in their workspace.
    std::unique_ptr<standin::RevisionServer> LoggedIn(const std::string& user)
    {
        auto server = std::make_unique<standin::RevisionServer>(project.DatabasePath());
        const standin::LoginResult login =
            server->Login(user, users::kPassword, server->ServerAddress(), SampleProject::WorkspaceOf(user));
        EXPECT_TRUE(login.Succeeded()) << login.text;
        return server;
    }

    qor4::StatusWord StatusOf(standin::RevisionServer& server, const std::string& file)
    {
        const standin::StatusResult status = server.Status({file});
        EXPECT_TRUE(status.Succeeded()) << status.text;
        return status.words.empty() ? 0 : status.words.front();
    }

    QTemporaryDir dir;
    SampleProject project{dir.path()};
};

TEST_F(SampleProjectTest, EveryAssetOfTheMainUserIsCheckedInReadOnlyAndListed)
{
    const demo::ManifestLoad manifest = demo::LoadManifest(project.ManifestPath(users::kMain));
    ASSERT_TRUE(manifest.ok) << manifest.error;
    ASSERT_EQ(manifest.assets.size(), SampleProject::SampleAssets().size());
    auto server = LoggedIn(users::kMain);
    bool withExternal = false;
    bool withoutExternal = false;
    for (const demo::ManifestAsset& asset : manifest.assets) {
        (asset.depotFiles.size() > 1 ? withExternal : withoutExternal) = true;
        for (const std::string& file : asset.depotFiles) {
            const std::string local = server->LocalPath(SampleProject::WorkspaceOf(users::kMain), file).toStdString();
            EXPECT_TRUE(standin::FileExists(local)) << local;
            EXPECT_TRUE(standin::IsReadOnlyOnDisk(local)) << local;
            EXPECT_EQ(StatusOf(*server, file) & fs::kNotInDepot, 0u) << file;
        }
    }
    EXPECT_TRUE(withExternal);
    EXPECT_TRUE(withoutExternal);
}

TEST_F(SampleProjectTest, OtherUsersHoldFilesAndOneFileIsBehindTheHead)
{
    auto server = LoggedIn(users::kMain);
    EXPECT_EQ(StatusOf(*server, demo::SampleFiles::kVillainAsset) & (fs::kCheckedOutByOther | fs::kLockedByOther),
              fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_TRUE(StatusOf(*server, demo::SampleFiles::kTreeAsset) & fs::kCheckedOutByOther);
    EXPECT_FALSE(StatusOf(*server, demo::SampleFiles::kTreeAsset) & fs::kLockedByOther);
    EXPECT_TRUE(StatusOf(*server, demo::SampleFiles::kLampAsset) & fs::kNotAtHead);
    const standin::UsersResult holders = server->Users({demo::SampleFiles::kVillainAsset}, true);
    ASSERT_TRUE(holders.Succeeded()) << holders.text;
    EXPECT_NE(std::find(holders.users.begin(), holders.users.end(), users::kOther), holders.users.end());
    // The main user cannot take what bob locked.
    EXPECT_TRUE(server->Edit({demo::SampleFiles::kVillainAsset}, "").Failed());
}

TEST_F(SampleProjectTest, ASecondInstanceAsBobSharesTheDepotAndSeesHisOwnWork)
{
    auto alice = LoggedIn(users::kMain);
    ASSERT_TRUE(alice->Edit({"chars/hero.qor"}, "").Succeeded());

    auto bob = LoggedIn(users::kOther);
    EXPECT_TRUE(StatusOf(*bob, demo::SampleFiles::kVillainAsset) & fs::kCheckedOut);
    EXPECT_TRUE(StatusOf(*bob, demo::SampleFiles::kVillainAsset) & fs::kLockedByMe);
    EXPECT_TRUE(StatusOf(*bob, "chars/hero.qor") & fs::kCheckedOutByOther);
    const standin::ChangeListsResult lists = bob->PendingChangeLists();
    ASSERT_EQ(lists.changeLists.size(), 1u);
    EXPECT_EQ(bob->ChangeListDescription(lists.changeLists.front()).description,
              SampleProject::kBobChangeListDescription);
    const QString bobVillain =
        bob->LocalPath(SampleProject::WorkspaceOf(users::kOther), demo::SampleFiles::kVillainAsset);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(bobVillain.toStdString()));
}

TEST_F(SampleProjectTest, AThirdUserGetsTheFilesOnFirstStartAndKeepsHisListAfterwards)
{
    standin::RevisionServer server(project.DatabasePath());
    ASSERT_FALSE(QFile::exists(project.ManifestPath(users::kThird)));
    const demo::ProjectOutcome prepared = project.PrepareWorkspace(server, users::kThird);
    ASSERT_TRUE(prepared.ok) << prepared.error;
    const std::string lamp =
        server.LocalPath(SampleProject::WorkspaceOf(users::kThird), demo::SampleFiles::kLampAsset).toStdString();
    EXPECT_TRUE(standin::FileExists(lamp));
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(lamp));

    // A list the user already has is left alone.
    std::string error;
    ASSERT_TRUE(demo::SaveManifest(project.ManifestPath(users::kThird), {{"only", {"env/sky.qor"}}}, error)) << error;
    ASSERT_TRUE(project.PrepareWorkspace(server, users::kThird).ok);
    const demo::ManifestLoad manifest = demo::LoadManifest(project.ManifestPath(users::kThird));
    ASSERT_TRUE(manifest.ok);
    ASSERT_EQ(manifest.assets.size(), 1u);
    EXPECT_EQ(manifest.assets.front().name, "only");
}

TEST_F(SampleProjectTest, CreatingTwiceIsRefusedAndKeepsTheDepot)
{
    const demo::ProjectOutcome again = project.Create();
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.error.find("already exists"), std::string::npos) << again.error;
    EXPECT_TRUE(project.Exists());
    auto server = LoggedIn(users::kMain);
    EXPECT_TRUE(StatusOf(*server, demo::SampleFiles::kLampAsset) & fs::kNotAtHead);
}

TEST(ProjectManifestTest, BadFilesAreErrorsNotEmptyProjects)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath("missing.json");
    EXPECT_FALSE(demo::LoadManifest(missing).ok);

    const QString garbage = dir.filePath("garbage.json");
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    const demo::ManifestLoad load = demo::LoadManifest(garbage);
    EXPECT_FALSE(load.ok);
    EXPECT_FALSE(load.error.empty());

    const QString nameless = dir.filePath("nameless.json");
    std::string error;
    ASSERT_TRUE(demo::SaveManifest(nameless, {{"", {"a.qor"}}}, error));
    EXPECT_FALSE(demo::LoadManifest(nameless).ok);

    EXPECT_FALSE(demo::SaveManifest(dir.filePath("no/such/folder/list.json"), {}, error));
    EXPECT_FALSE(error.empty());
}

TEST(ProjectManifestTest, RoundTripKeepsOrderAndFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<demo::ManifestAsset> assets = {{"b", {"b.qor", "b_1.tex"}}, {"a", {"a.qor"}}};
    std::string error;
    ASSERT_TRUE(demo::SaveManifest(dir.filePath("list.json"), assets, error)) << error;
    const demo::ManifestLoad load = demo::LoadManifest(dir.filePath("list.json"));
    ASSERT_TRUE(load.ok) << load.error;
    ASSERT_EQ(load.assets.size(), 2u);
    EXPECT_EQ(load.assets[0].name, "b");
    EXPECT_EQ(load.assets[0].depotFiles, assets[0].depotFiles);
    EXPECT_EQ(load.assets[1].depotFiles, assets[1].depotFiles);
}

} // namespace
