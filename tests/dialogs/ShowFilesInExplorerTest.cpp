// Runs on a private session bus (see CMakeLists.txt); the NoSessionBus cases run without one.
#include "DesktopUtilities.h"
#include "FakeDataControl.h"
#include "FakeFileManager.h"
#include "NarrowText.h"
#include "ShowItemsInFolder.h"
#include "qfilelistwidget.h"
#include "zrChangeListSelectionDialog.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

constexpr char kService[] = "org.freedesktop.FileManager1";
constexpr char kPath[] = "/org/freedesktop/FileManager1";

QStringList LocalFiles(const QStringList& uris)
{
    QStringList files;
    for (const QString& uri : uris)
        files << QUrl(uri, QUrl::StrictMode).toLocalFile();
    return files;
}

// Installs an opener that records folders instead of launching a program.
class RecordingOpener {
public:
    RecordingOpener()
        : m_previous(SetFolderOpener([this](const std::string& folder) { opened << QString::fromStdString(folder); }))
    {
    }
    ~RecordingOpener() { SetFolderOpener(m_previous); }
    QStringList opened;

private:
    FolderOpener m_previous;
};

// The fake file manager has its own bus connection and thread, like a file manager in its own
// process: requests take the real way through the bus daemon while the caller blocks.
class ShowFilesInExplorerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run this test under dbus-run-session";
        ASSERT_TRUE(root.isValid());
        server.start();
        fileManager.moveToThread(&server);
        Register();
    }
    void TearDown() override
    {
        Unregister();
        QDBusConnection::disconnectFromBus(kConnectionName);
        server.quit();
        server.wait();
    }

    void Register()
    {
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerObject(kPath, &fileManager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(kService)) << "another file manager owns the name";
    }
    void Unregister()
    {
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
    }
    std::vector<FakeFileManager::Call> Calls() const { return fileManager.Calls(); }

    static constexpr char kConnectionName[] = "fakeFileManager";
    QThread server;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);

    QString Path(const QString& relative) const { return root.path() + "/" + relative; }

    QTemporaryDir root;
    FakeFileManager fileManager;
    RecordingOpener opener;
};

} // namespace

TEST_F(ShowFilesInExplorerTest, EmptyListDoesNothing)
{
    ShowFilesInExplorer({});
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(ShowFilesInExplorerTest, FilesOfOneFolderShareOneWindow)
{
    ShowFilesInExplorer({Path("models/b.qor"), Path("models/a.qor")});
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), (QStringList{Path("models/b.qor"), Path("models/a.qor")}));
    EXPECT_EQ(Calls()[0].startupId, QString());
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(ShowFilesInExplorerTest, OneWindowPerFolderInByteOrder)
{
    // Byte order puts upper case before lower case: "B" < "Z" < "a".
    ShowFilesInExplorer(
        {Path("a/1.qor"), Path("Z/2.qor"), Path("B/3.qor"), Path("a/4.qor"), Path("a/1.qor"), Path("Z/../B/5.qor")});
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), (QStringList{Path("B/3.qor"), Path("B/5.qor")}));
    EXPECT_EQ(LocalFiles(Calls()[1].uris), QStringList{Path("Z/2.qor")});
    EXPECT_EQ(LocalFiles(Calls()[2].uris), (QStringList{Path("a/1.qor"), Path("a/4.qor"), Path("a/1.qor")}));
}

TEST_F(ShowFilesInExplorerTest, OddCharactersArriveIntact)
{
    const QStringList odd = {Path(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                    "e/a b.qor")),
                             Path(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                    "e/it's \"quoted\";x.qor")),
                             Path(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                    "e/100% #1 $(x) \xE2\x82\xAC.qor"))};
    ShowFilesInExplorer(odd);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), odd);
    const QStringList uris = Calls()[0].uris;
    for (const QString& uri : uris) {
        EXPECT_TRUE(uri.startsWith("file:///"));
        EXPECT_FALSE(uri.contains(' ')) << uri.toStdString();
    }
}

TEST_F(ShowFilesInExplorerTest, RelativePathsResolveAgainstTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(Path("work")));
    ASSERT_TRUE(QDir::setCurrent(Path("work")));
    ShowFilesInExplorer({"scene.qor", "../lib/tree.qor"});
    QDir::setCurrent(previous);
    const QString work = QFileInfo(Path("work")).canonicalFilePath();
    const QString lib = QFileInfo(work + "/../lib").absoluteFilePath();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), QStringList{QDir::cleanPath(lib + "/tree.qor")});
    EXPECT_EQ(LocalFiles(Calls()[1].uris), QStringList{work + "/scene.qor"});
}

TEST_F(ShowFilesInExplorerTest, WithoutFileManagerEachFolderIsOpened)
{
    Unregister();
    ShowFilesInExplorer({Path("y/1.qor"), Path("x/2.qor"), Path("y/3.qor")});
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(opener.opened, (QStringList{Path("x"), Path("y")}));
}

TEST_F(ShowFilesInExplorerTest, FileListShowsTheSelectedRows)
{
    QFileListWidget list({Path("m/a.qor"), Path("m/b.qor"), Path("n/c.qor")});
    list.resize(500, 200);
    list.show();
    QTreeWidgetItem* target = list.findItems(Path("m/b.qor"), Qt::MatchExactly).value(0);
    ASSERT_TRUE(target);
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->actions().at(0)->text(), "Show in Explorer");
        menu->actions().at(0)->trigger();
        menu->close();
    });
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, list.visualItemRect(target).center());
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), QStringList{Path("m/b.qor")});
}

TEST_F(ShowFilesInExplorerTest, ChangeListDialogShowsAllItsFiles)
{
    FakeDataControl control;
    zrChangeListSelectionDialog dialog(
        qor4::QORPtr<qor4::IDataControl>(&control), QString(),
        {ToNarrow(Path("p/b.qor")), ToNarrow(Path("p/a.qor")), ToNarrow(Path("q/c.qor"))}, false, false, nullptr);
    dialog.showFilesInExplorer();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(LocalFiles(Calls()[0].uris), (QStringList{Path("p/a.qor"), Path("p/b.qor")}));
    EXPECT_EQ(LocalFiles(Calls()[1].uris), QStringList{Path("q/c.qor")});
}

TEST(NoSessionBus, FoldersAreOpenedDirectly)
{
    ASSERT_FALSE(QDBusConnection::sessionBus().isConnected()) << "run this case without a session bus";
    RecordingOpener opener;
    ShowFilesInExplorer({"/srv/b/1.qor", "/srv/a/2.qor", "/srv/b/3.qor"});
    EXPECT_EQ(opener.opened, (QStringList{"/srv/a", "/srv/b"}));
}
