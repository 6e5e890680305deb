#include "SampleProject.h"

#include "ModelAssetFiles.h"
#include "SvnBackend.h"
#include "SvnServer.h"

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
        std::string error;
        server = project.StartServer(error);
        ASSERT_NE(server, nullptr) << error;
        const demo::ProjectOutcome created = project.Create(*server);
        ASSERT_TRUE(created.ok) << created.error;
    }

    std::string PathOf(const std::string& user, const std::string& relative) const
    {
        return QDir(project.WorkingCopy(user)).filePath(QString::fromStdString(relative)).toStdString();
    }

    standin::SessionId LoggedIn(const std::string& user)
    {
        const standin::LoginResult login =
            backend.OpenSession({user, users::kPassword, server->Url(), project.WorkingCopy(user).toStdString()});
        EXPECT_TRUE(login.Succeeded()) << login.text;
        return login.session;
    }

    qor4::StatusWord StatusOf(const std::string& user, const std::string& relative)
    {
        const standin::StatusResult status =
            backend.Status(LoggedIn(user), {PathOf(user, relative)}, standin::StatusScope::kWithRepository);
        EXPECT_TRUE(status.Succeeded()) << status.text;
        return status.words.empty() ? 0 : status.words.front();
    }

    QTemporaryDir dir;
    SampleProject project{dir.path()};
    std::unique_ptr<standin::SvnServer> server;
    standin::SvnBackend backend;
};

TEST_F(SampleProjectTest, EveryAssetOfTheMainUserIsCommittedReadOnlyAndListed)
{
    const demo::ManifestLoad manifest = demo::LoadManifest(project.ManifestPath(users::kMain));
    ASSERT_TRUE(manifest.ok) << manifest.error;
    ASSERT_EQ(manifest.assets.size(), SampleProject::SampleAssets().size());
    standin::FileList files;
    for (const demo::ManifestAsset& asset : manifest.assets)
        for (const std::string& file : asset.depotFiles) {
            files.push_back(PathOf(users::kMain, file));
            EXPECT_TRUE(standin::IsReadOnlyOnDisk(files.back())) << files.back();
        }
    const standin::StatusResult status =
        backend.Status(LoggedIn(users::kMain), files, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(status.words[i] & (fs::kNotInDepot | fs::kMarkedForAdd), 0u) << files[i];
}

TEST_F(SampleProjectTest, BobHoldsHisLocksInHisChangeListAndCarolsLampIsNewer)
{
    const qor4::StatusWord held = fs::kCheckedOutByOther | fs::kLockedByOther;
    EXPECT_EQ(StatusOf(users::kMain, demo::SampleFiles::kVillainAsset), held);
    EXPECT_EQ(StatusOf(users::kMain, demo::SampleFiles::kTreeAsset), held);
    EXPECT_EQ(StatusOf(users::kMain, demo::SampleFiles::kLampAsset), fs::kNotAtHead);
    const standin::SessionId alice = LoggedIn(users::kMain);
    EXPECT_EQ(backend.Users(alice, {PathOf(users::kMain, demo::SampleFiles::kVillainAsset)}, true).users,
              std::vector<std::string>{users::kOther});
    EXPECT_TRUE(backend.Edit(alice, {PathOf(users::kMain, demo::SampleFiles::kVillainAsset)}, "").Failed());

    EXPECT_EQ(StatusOf(users::kOther, demo::SampleFiles::kVillainAsset), fs::kCheckedOut | fs::kLockedByMe);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(PathOf(users::kOther, demo::SampleFiles::kVillainAsset)));
    const standin::SessionId bob = LoggedIn(users::kOther);
    const standin::ChangeListsResult lists = backend.PendingChangeLists(bob);
    ASSERT_EQ(lists.changeLists.size(), 1u);
    EXPECT_EQ(backend.ChangeListDescription(bob, lists.changeLists.front()).description,
              SampleProject::kBobChangeListDescription);
}

TEST_F(SampleProjectTest, AThirdUserGetsAListOnFirstStartAndKeepsItAfterwards)
{
    ASSERT_FALSE(QFile::exists(project.ManifestPath(users::kThird)));
    ASSERT_TRUE(project.PrepareWorkingCopy(*server, users::kThird).ok);
    const demo::ManifestLoad first = demo::LoadManifest(project.ManifestPath(users::kThird));
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.assets.size(), SampleProject::SampleAssets().size());

    std::string error;
    ASSERT_TRUE(demo::SaveManifest(project.ManifestPath(users::kThird), {{"only", {"env/sky.qor"}}}, error)) << error;
    ASSERT_TRUE(project.PrepareWorkingCopy(*server, users::kThird).ok);
    const demo::ManifestLoad kept = demo::LoadManifest(project.ManifestPath(users::kThird));
    ASSERT_EQ(kept.assets.size(), 1u);
    EXPECT_EQ(kept.assets.front().name, "only");
}

TEST_F(SampleProjectTest, ARestartedServerServesTheSameRepository)
{
    server.reset();
    EXPECT_TRUE(project.Exists());
    std::string error;
    server = project.StartServer(error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_EQ(StatusOf(users::kMain, demo::SampleFiles::kLampAsset), fs::kNotAtHead);
}

} // namespace
