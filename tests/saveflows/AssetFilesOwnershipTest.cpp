// An external file belongs to one asset: "rock_big_diffuse.tex" is rock_big's, not rock's, even when
// a listing that matches the prefix "rock_" gave it to rock as well. Show files, status, check-out,
// save and delete all keep to that.
#include "FlowFixture.h"

#include <QStringList>

#include <filesystem>

namespace {

using qor4::FileStatus::kCheckedOut;
using qor4::FileStatus::kLockedByOther;
using qor4::FileStatus::kMarkedForDelete;
using qor4::FileStatus::kNotInDepot;

constexpr const char* kRock = "assets/rock.qor";
constexpr const char* kRockTexture = "assets/rock_diffuse.tex";
constexpr const char* kBigRock = "assets/rock_big.qor";
constexpr const char* kBigRockTexture = "assets/rock_big_diffuse.tex";
constexpr const char* kCommitted = "as committed";

class AssetFilesOwnershipTest : public FlowFixture {
protected:
    void SetUp() override
    {
        FlowFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(Sandbox().Commit(kUser, {{kRock, kCommitted},
                                           {kRockTexture, kCommitted},
                                           {kBigRock, kCommitted},
                                           {kBigRockTexture, kCommitted}}),
                  "");
        // rock as a listing by prefix made it: with rock_big's texture among its files.
        rock = Manager().CreateAsset(
            {"rock", LocalPath(kRock), {LocalPath(kRockTexture), LocalPath(kBigRockTexture)}, true});
        bigRock = Manager().CreateAsset({"rock_big", LocalPath(kBigRock), {LocalPath(kBigRockTexture)}, true});
        WithoutWindows();
        ServerRecord().ClearCalls();
    }

    standin::DbObject* rock = nullptr;
    standin::DbObject* bigRock = nullptr;
};

TEST_F(AssetFilesOwnershipTest, ShowFilesStatusCheckOutAndSaveOfAnAssetLeaveTheLongerNamedAssetsFileAlone)
{
    QStringList files;
    HelperInterface().GetAssetFiles(Handle(rock), files);
    EXPECT_EQ(files,
              (QStringList{QString::fromStdString(LocalPath(kRock)), QString::fromStdString(LocalPath(kRockTexture))}));
    files.clear();
    HelperInterface().GetAssetFiles(Handle(bigRock), files);
    EXPECT_EQ(files, (QStringList{QString::fromStdString(LocalPath(kBigRock)),
                                  QString::fromStdString(LocalPath(kBigRockTexture))}));

    // Another user's lock on rock_big's texture is rock_big's state, not rock's.
    ASSERT_EQ(Sandbox().RunSvn(kOtherUser, {"lock", kBigRockTexture}), 0);
    std::list<qor4::StatusWord> states;
    ASSERT_EQ(HelperInterface().GetAccessStates(Handles({rock, bigRock}), true, true, states).GetCode(), 0);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states.front() & kLockedByOther, 0u);
    EXPECT_EQ(states.back() & kLockedByOther, kLockedByOther);

    // The save checks out and writes rock's own files only; rock_big's stays as committed.
    Properties().SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kPrompt);
    Touch(rock);
    const standin::SaveResult saved = Library().Save();

    EXPECT_TRUE(saved.Succeeded());
    EXPECT_EQ(saved.writtenFiles, (std::vector<std::string>{LocalPath(kRock), LocalPath(kRockTexture)}));
    ExpectStates({LocalPath(kRock), LocalPath(kRockTexture)}, CheckedOutIn(""));
    EXPECT_EQ(ContentOf(LocalPath(kBigRockTexture)), kCommitted);
    EXPECT_EQ(WordOf(LocalPath(kBigRockTexture)) & kCheckedOut, 0u);
}

TEST_F(AssetFilesOwnershipTest, DeletingAnAssetKeepsTheLongerNamedAssetsFileOnDiskAndInTheRepository)
{
    Manager().DeleteAsset(rock);

    const standin::SaveResult saved = Library().Save();

    EXPECT_TRUE(saved.Succeeded());
    EXPECT_EQ(saved.removedFiles, (std::vector<std::string>{LocalPath(kRock), LocalPath(kRockTexture)}));
    ExpectStates({LocalPath(kRock), LocalPath(kRockTexture)}, {false, false, kMarkedForDelete, ""});
    EXPECT_EQ(ContentOf(LocalPath(kBigRockTexture)), kCommitted);
    EXPECT_EQ(WordOf(LocalPath(kBigRockTexture)) & (kMarkedForDelete | kNotInDepot), 0u);
}

} // namespace
