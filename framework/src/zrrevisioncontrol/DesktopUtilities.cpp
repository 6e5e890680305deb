#include "DesktopUtilities.h"

#include "NarrowText.h"
#include "ShowItemsInFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <map>

bool IsInteractive()
{
    return !QApplication::topLevelWidgets().isEmpty();
}

QWidget* GetMainWindow()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (widget->testAttribute(Qt::WA_WState_Visible) &&
            widget->objectName() == QLatin1String(kMainWindowObjectName))
            return widget;
    }
    return nullptr;
}

std::string ToNativePath(const QString& path)
{
    return ToNarrow(QDir::cleanPath(path).replace(QLatin1Char('/'), QLatin1Char('\\')));
}

namespace {

ShellPath MakeShellPath(const QString& absolutePath)
{
    return {ToNativePath(absolutePath), ToNarrow(QDir::cleanPath(absolutePath))};
}

} // namespace

void ShowFilesInExplorer(const QStringList& files)
{
    if (files.isEmpty()) return;

    // std::map on std::string orders the folders byte-wise, as the shell calls expect them.
    std::map<std::string, ShellFolder> groups;
    for (const QString& file : files) {
        const QFileInfo info(file);
        ShellPath folder = MakeShellPath(info.absolutePath());
        ShellFolder& group = groups[folder.native];
        if (group.files.empty()) group.folder = std::move(folder);
        group.files.push_back(MakeShellPath(info.absoluteFilePath()));
    }

    std::vector<ShellFolder> ordered;
    ordered.reserve(groups.size());
    for (auto& entry : groups)
        ordered.push_back(std::move(entry.second));
    ShowItemsInFolders(ordered);
}
