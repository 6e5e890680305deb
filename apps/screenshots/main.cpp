// Renders the plug-in's dialogs in their usual states to PNG files, offscreen.
//   zrscreenshots <output folder>
// Run it as an ordinary user: the superuser may write any file, so its lists show no read-only mark.
#include "ScreenshotDataControl.h"
#include "qfilelistwidget.h"
#include "zrChangeListSelectionDialog.h"
#include "zrpasswordrequireddialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

bool Save(QWidget& widget, const QDir& folder, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget.grab().save(path);
    widget.hide();
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool FontsWork()
{
    const QFontMetrics metrics(QApplication::font());
    return metrics.horizontalAdvance(QStringLiteral("iiiiiiii")) <
           metrics.horizontalAdvance(QStringLiteral("MMMMMMMM"));
}

std::set<std::string> MakeAssetFiles(const QTemporaryDir& dir)
{
    const QStringList names = {"props/chair.qor", "props/chair_diffuse.png", "props/table.qor"};
    std::set<std::string> files;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.close();
        files.insert(path.toStdString());
    }
    QFile::setPermissions(dir.filePath("props/chair.qor"), QFile::ReadOwner | QFile::ReadGroup);
    files.insert(dir.filePath("props/lamp.qor").toStdString()); // listed but missing on disk
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    if (!FontsWork()) {
        std::fprintf(stderr, "no usable font: text would be drawn as boxes (install fonts-dejavu-core)\n");
        return 1;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }

    ScreenshotDataControl control;
    control.Add("1207", "Lighting pass for the harbour scene");
    control.Add("1215", "Replace placeholder props in the market square with the final models from the art team");
    const std::set<std::string> files = MakeAssetFiles(scratch);
    const QString assets = QStringLiteral("props/chair.qor\nprops/table.qor\nprops/lamp.qor");
    bool ok = true;

    {
        zrChangeListSelectionDialog dialog(qor4::QORPtr<qor4::IDataControl>(&control), assets, files, true, true,
                                           nullptr);
        dialog.setWindowTitle(QStringLiteral("Check Out Before Saving"));
        dialog.setMessage(QStringLiteral("The following assets are read-only."));
        dialog.setContinueButtonVisible(true);
        dialog.setMakeWritableButtonVisible(true);
        dialog.findChild<QComboBox*>(QStringLiteral("changeListCombo"))->setCurrentIndex(3);
        ok &= Save(dialog, folder, QStringLiteral("changelist-dialog-changelist-mode"));
    }
    {
        zrChangeListSelectionDialog dialog(qor4::QORPtr<qor4::IDataControl>(&control), assets, files, false, false,
                                           nullptr);
        dialog.setMessage(QStringLiteral("These assets are read-only. Continue or make them writable?"));
        dialog.setContinueButtonVisible(true);
        dialog.setMakeWritableButtonVisible(true);
        ok &= Save(dialog, folder, QStringLiteral("changelist-dialog-read-only-mode"));
    }
    {
        QStringList paths;
        for (const std::string& file : files)
            paths << QString::fromStdString(file);
        QFileListDialog dialog(paths);
        dialog.setWindowTitle(QStringLiteral("Files of chair.qor"));
        dialog.resize(640, 180);
        ok &= Save(dialog, folder, QStringLiteral("file-list-dialog"));
    }
    {
        PasswordRequiredDialog dialog;
        dialog.AddMessage(QStringLiteral("The login for user 'maria' on server 'perforce:1666' failed."));
        dialog.AddMessage(QStringLiteral("The source-control session has expired."));
        ok &= Save(dialog, folder, QStringLiteral("password-dialog"));
    }
    return ok ? 0 : 1;
}
