// Runs on a private session bus (see CMakeLists.txt); the NoSessionBus cases run without one.
#include "DesktopUtilities.h"
#include "ShowItemsInFolder.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Stands in for a desktop file manager on the session bus and records every ShowItems request; it
// serves the bus from its own thread.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    struct Call {
        QStringList uris;
        QString startupId;
    };
    std::vector<Call> Calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        QMutexLocker lock(&m_mutex);
        m_calls.push_back({uris, startupId});
    }

private:
    mutable QMutex m_mutex;
    std::vector<Call> m_calls;
};

constexpr char kService[] = "org.freedesktop.FileManager1";
constexpr char kPath[] = "/org/freedesktop/FileManager1";
constexpr char kConnectionName[] = "fakeFileManager";

// Installs an opener that records folders instead of launching a program.
struct RecordingOpener {
    QStringList opened;
    FolderOpener previous =
        SetFolderOpener([this](const std::string& folder) { opened << QString::fromStdString(folder); });
    ~RecordingOpener() { SetFolderOpener(previous); }
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
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerObject(kPath, &fileManager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(kService)) << "another file manager owns the name";
    }
    void TearDown() override
    {
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(kConnectionName);
        server.quit();
        server.wait();
    }

    // Canonical, as the current folder is, so that resolved relative paths compare equal.
    QString Path(const QString& relative) const { return QFileInfo(root.path()).canonicalFilePath() + "/" + relative; }

    QThread server;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);
    QTemporaryDir root;
    FakeFileManager fileManager;
    RecordingOpener opener;
};

} // namespace

TEST_F(ShowFilesInExplorerTest, OneWindowPerFolderInByteOrder)
{
    const QString odd = QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                          "e/");
    const QStringList oddFiles = {odd + "a b.qor", odd + "it's \"quoted\";x.qor",
                                  odd + QString::fromUtf8("100% #1 $(x) \xE2\x82\xAC.qor")};
    const std::pair<QStringList, std::vector<QStringList>> cases[] = {
        {{}, {}},
        {{"models/b.qor", "models/a.qor"}, {{"models/b.qor", "models/a.qor"}}},
        // Byte order puts upper case before lower case: "B" < "Z" < "a".
        {{"a/1.qor", "Z/2.qor", "B/3.qor", "a/4.qor", "a/1.qor", "Z/../B/5.qor"},
         {{"B/3.qor", "B/5.qor"}, {"Z/2.qor"}, {"a/1.qor", "a/4.qor", "a/1.qor"}}},
        {oddFiles, {oddFiles}},
    };
    std::size_t taken = 0;
    for (const auto& [files, windows] : cases) {
        SCOPED_TRACE(files.join(' ').toStdString());
        QStringList paths;
        for (const QString& file : files)
            paths << Path(file);
        ShowFilesInExplorer(paths);
        // The local files of each new ShowItems request, relative to root where inside it.
        const std::vector<FakeFileManager::Call> calls = fileManager.Calls();
        std::vector<QStringList> shown;
        for (; taken < calls.size(); ++taken) {
            EXPECT_EQ(calls[taken].startupId, QString());
            QStringList local;
            for (const QString& uri : calls[taken].uris) {
                EXPECT_TRUE(uri.startsWith("file:///") && !uri.contains(' ')) << uri.toStdString();
                const QString file = QUrl(uri, QUrl::StrictMode).toLocalFile();
                local << (file.startsWith(Path("")) ? file.mid(Path("").size()) : file);
            }
            shown.push_back(local);
        }
        EXPECT_EQ(shown, windows);
    }
    EXPECT_TRUE(opener.opened.isEmpty());
}

namespace {

// Stands in for the desktop's handler of local files.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

// Without a bus the opener is asked directly, once per folder; without an opener, the desktop's handler.
TEST(NoSessionBus, FoldersAreOpenedDirectlyOrByTheDesktop)
{
    ASSERT_FALSE(QDBusConnection::sessionBus().isConnected()) << "run this case without a session bus";
    {
        RecordingOpener opener;
        ShowFilesInExplorer({"/srv/b/1.qor", "/srv/a/2.qor", "/srv/b/3.qor"});
        EXPECT_EQ(opener.opened, (QStringList{"/srv/a", "/srv/b"}));
    }
    UrlRecorder desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    const FolderOpener previous = SetFolderOpener(nullptr);
    ShowFilesInExplorer({"/srv/b/1.qor", "/srv/a/2.qor"});
    SetFolderOpener(previous);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(desktop.urls, (QList<QUrl>{QUrl::fromLocalFile("/srv/a"), QUrl::fromLocalFile("/srv/b")}));
}

#include "ShowFilesInExplorerTest.moc"
