// Shows files through the freedesktop file-manager interface on the session bus; when no file
// manager answers, the folder is opened with the desktop's default handler instead.
#include "ShowItemsInFolder.h"

#include "NarrowText.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

#include <utility>

namespace {

constexpr char kFileManagerService[] = "org.freedesktop.FileManager1";
constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";
constexpr char kFileManagerInterface[] = "org.freedesktop.FileManager1";
constexpr char kShowItemsMethod[] = "ShowItems";
// The call blocks the user interface; a file manager that has not answered by then is taken as absent.
constexpr int kCallTimeoutMs = 5000;

void OpenWithDesktop(const std::string& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(FromNarrow(folder)));
}

FolderOpener& CurrentOpener()
{
    static FolderOpener opener = OpenWithDesktop;
    return opener;
}

QString ToUri(const ShellPath& path)
{
    return QUrl::fromLocalFile(FromNarrow(path.portable)).toString(QUrl::FullyEncoded);
}

bool AskFileManager(const QDBusConnection& bus, const ShellFolder& folder)
{
    QStringList uris;
    for (const ShellPath& file : folder.files)
        uris << ToUri(file);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kFileManagerService), QLatin1String(kFileManagerPath),
                                       QLatin1String(kFileManagerInterface), QLatin1String(kShowItemsMethod));
    call << uris << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace

FolderOpener SetFolderOpener(FolderOpener opener)
{
    if (!opener) opener = OpenWithDesktop;
    return std::exchange(CurrentOpener(), std::move(opener));
}

void ShowItemsInFolders(const std::vector<ShellFolder>& folders)
{
    if (folders.empty()) return;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    for (const ShellFolder& folder : folders) {
        if (folder.files.empty()) continue;
        if (!bus.isConnected() || !AskFileManager(bus, folder)) CurrentOpener()(folder.folder.portable);
    }
}
