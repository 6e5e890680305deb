// Listing an asset's files, logging them and showing them in the file list dialog.
#include "HostFixture.h"
#include "ShowItemsInFolder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QTreeWidget>

#include <filesystem>

namespace {

// Records the folders shown instead of asking a file manager or launching a program.
struct RecordingOpener {
    QStringList opened;
    FolderOpener previous =
        SetFolderOpener([this](const std::string& folder) { opened << QString::fromStdString(folder); });
    ~RecordingOpener() { SetFolderOpener(previous); }
};

class AssetFilesTest : public HostFixture {};

TEST_F(AssetFilesTest, FilesAreListedSortedLoggedCommaSeparatedAndShownInTheListDialog)
{
    for (const int externalFiles : {0, 1}) {
        SCOPED_TRACE(externalFiles);
        const std::string name = "hero" + std::to_string(externalFiles);
        standin::DbObject* asset = AddCheckedInAsset(name, externalFiles);
        std::vector<std::string> files = FilesOf(asset);
        std::sort(files.begin(), files.end());
        // A file missing from the disk is still one of the asset's.
        if (externalFiles == 1) {
            ASSERT_TRUE(std::filesystem::remove(files.back()));
        }
        QStringList listed{"already here"};
        HelperInterface().GetAssetFiles(Handle(asset), listed);
        QStringList expected{"already here"};
        for (const std::string& file : files)
            expected << QString::fromStdString(file);
        EXPECT_EQ(listed, expected);
        const std::size_t windows = Modal().Seen().size();
        Log().Clear();
        Modal().AcceptNext();

        HelperInterface().ShowAssetFiles(Handle(asset), false);

        const std::string logged = externalFiles == 0 ? files[0] + "\n" : files[0] + ",\n" + files[1] + "\n";
        EXPECT_EQ(LogTexts(Log::MsgType::Info), std::vector<std::string>{"Files for asset: " + name + "\n" + logged});
        ASSERT_EQ(Modal().Seen().size(), windows + 1);
        EXPECT_EQ(Modal().Seen().back().title.toStdString(), "Files for asset " + name);
    }
}

// An asset whose files cannot be listed appends nothing to the caller's list, and opens no folder;
// one with files opens their folders without a dialog.
TEST_F(AssetFilesTest, WithoutFilesTheDialogStillOpensEmptyButTheExplorerDoesNotWithFilesItOpensTheFolders)
{
    standin::DbObject* ghost = AddLocalAsset("ghost");
    const qor4::QORHandle<qor4::IDbObject> handle = Handle(ghost);
    Manager().DeleteAsset(ghost);
    QStringList listed{"unset"};
    HelperInterface().GetAssetFiles(handle, listed);
    EXPECT_EQ(listed, QStringList{"unset"});
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

    const RecordingOpener opener;
    HelperInterface().ShowAssetFiles(handle, true);

    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(Modal().Seen().size(), 1u);
    EXPECT_EQ(LogTexts(Log::MsgType::Info),
              (std::vector<std::string>{"Files for asset: ghost\n", "Files for asset: ghost\n"}));

    if (QDBusConnection::sessionBus().interface() &&
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")))
        GTEST_SKIP() << "a file manager on this session bus would show the files itself";
    standin::DbObject* asset = AddCheckedInAsset("lamp", 1);
    QStringList folders;
    for (const std::string& file : FilesOf(asset))
        folders << QString::fromStdString(std::filesystem::path(file).parent_path().string());
    folders.removeDuplicates();
    folders.sort();
    HelperInterface().ShowAssetFiles(Handle(asset), true);
    EXPECT_EQ(opener.opened, folders);
    EXPECT_EQ(Modal().Seen().size(), 1u);
}

} // namespace
