// Listing an asset's files, logging them and showing them in the file list dialog.
#include "HostFixture.h"

#include <QDialog>
#include <QTreeWidget>

namespace {

class AssetFilesTest : public HostFixture {
protected:
    static QStringList Sorted(const std::vector<std::string>& files)
    {
        QStringList list;
        for (const std::string& file : files)
            list << QString::fromStdString(file);
        list.sort();
        return list;
    }
};

TEST_F(AssetFilesTest, FilesAreAppendedSortedAfterWhatTheListHeld)
{
    standin::DbObject* asset = AddCheckedInAsset("asset", 2);
    QStringList files{"already here"};

    HelperInterface().GetAssetFiles(Handle(asset), files);

    EXPECT_EQ(files, QStringList{"already here"} + Sorted(FilesOf(asset)));
}

TEST_F(AssetFilesTest, FailingListAppendsNothing)
{
    standin::DbObject* gone = AddCheckedInAsset("gone");
    const qor4::QORHandle<qor4::IDbObject> handle = Handle(gone);
    Manager().DeleteAsset(gone);
    QStringList files{"kept"};

    HelperInterface().GetAssetFiles(handle, files);

    EXPECT_EQ(files, QStringList{"kept"});
}

TEST_F(AssetFilesTest, OneFileIsLoggedWithoutCommaAndShownInTheListDialog)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Modal().AcceptNext();

    HelperInterface().ShowAssetFiles(Handle(asset), false);

    const std::vector<std::string> info = LogTexts(Log::MsgType::Info);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0], "Files for asset: hero\n" + asset->GetAssetFile() + "\n");
    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(Modal().Seen()[0].title, "Files for asset hero");
}

TEST_F(AssetFilesTest, SeveralFilesAreSeparatedByCommas)
{
    standin::DbObject* asset = AddCheckedInAsset("hero", 1);
    const QStringList files = Sorted(FilesOf(asset));
    Modal().AcceptNext();

    HelperInterface().ShowAssetFiles(Handle(asset), false);

    const std::vector<std::string> info = LogTexts(Log::MsgType::Info);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0], "Files for asset: hero\n" + files[0].toStdString() + ",\n" + files[1].toStdString() + "\n");
}

TEST_F(AssetFilesTest, WithoutFilesTheDialogStillOpensEmptyButTheExplorerDoesNot)
{
    standin::DbObject* gone = AddCheckedInAsset("ghost");
    const qor4::QORHandle<qor4::IDbObject> handle = Handle(gone);
    Manager().DeleteAsset(gone);
    QStringList listed{"unset"};
    Modal().AnswerNext([&listed](QWidget* window) {
        listed.clear();
        for (QTreeWidget* tree : window->findChildren<QTreeWidget*>())
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                listed << tree->topLevelItem(i)->text(0);
        qobject_cast<QDialog*>(window)->accept();
    });

    HelperInterface().ShowAssetFiles(handle, false);

    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(Modal().Seen()[0].title, "Files for asset ghost");
    EXPECT_TRUE(listed.isEmpty());

    HelperInterface().ShowAssetFiles(handle, true);

    EXPECT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(LogTexts(Log::MsgType::Info),
              (std::vector<std::string>{"Files for asset: ghost\n", "Files for asset: ghost\n"}));
}

} // namespace
