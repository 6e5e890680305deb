#include "qfilelistwidget.h"

#include "DesktopUtilities.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

constexpr char kFileHeader[] = "File";
constexpr char kReadOnlyHeader[] = "Read Only";
constexpr char kShowInExplorerText[] = "Show in Explorer";
constexpr char kCopyToClipboardText[] = "Copy to clipboard";
constexpr char kOkText[] = "OK";
constexpr char kStyleSheet[] = "QTreeView {selection-background-color: qlineargradient(x1: 0.5, y1: 0.25 x2: 0.5, "
                               "y2: 0.75, stop: 0 #444444, stop: 0.7 #555555 );}";
constexpr int kDialogMargin = 2;
constexpr int kDialogMinimumWidth = 500;

} // namespace

QFileListWidget::QFileListWidget(const QStringList& files) : QTreeWidget(nullptr)
{
    setObjectName(QStringLiteral("fileList"));
    setColumnCount(2);
    setHeaderLabels({QLatin1String(kFileHeader), QLatin1String(kReadOnlyHeader)});
    header()->setDefaultAlignment(Qt::AlignLeft);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(FileColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(ReadOnlyColumn, QHeaderView::ResizeToContents);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setSortingEnabled(true);
    // Qt starts a sortable view descending; a file list reads top to bottom in ascending order.
    sortByColumn(FileColumn, Qt::AscendingOrder);
    setStyleSheet(QLatin1String(kStyleSheet));
    AddFiles(files);
}

void QFileListWidget::AddFiles(const QStringList& files)
{
    for (const QString& file : files)
        AddFile(file);
}

namespace {

// The file's read-only attribute: not writable for us, or without its owner's write permission
// (which is what revision control clears, and what even the superuser, who may write anyway, sees).
bool IsReadOnly(const QFileInfo& info)
{
    return !info.isWritable() || !info.permissions().testFlag(QFileDevice::WriteOwner);
}

} // namespace

void QFileListWidget::AddFile(const QString& path)
{
    const QFileInfo info(path);
    auto* item = new QTreeWidgetItem;
    item->setText(FileColumn, info.absoluteFilePath());
    item->setCheckState(ReadOnlyColumn, IsReadOnly(info) ? Qt::Checked : Qt::Unchecked);
    if (!info.exists()) item->setForeground(FileColumn, QBrush(Qt::darkGray));
    item->setSizeHint(FileColumn, QSize(0, kRowHeight));
    addTopLevelItem(item);
}

void QFileListWidget::mousePressEvent(QMouseEvent* event)
{
    QTreeView::mousePressEvent(event);
    if (event->button() != Qt::RightButton) return;

    QMenu menu;
    menu.setObjectName(QStringLiteral("fileListMenu"));
    menu.addAction(QLatin1String(kShowInExplorerText), this, &QFileListWidget::ShowFiles);
    menu.addAction(QLatin1String(kCopyToClipboardText), this, &QFileListWidget::CopyToClipboard);
    menu.exec(event->globalPosition().toPoint());
}

void QFileListWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        event->accept();
        CopyToClipboard();
        return;
    }
    QTreeView::keyPressEvent(event);
}

QStringList QFileListWidget::SelectedPaths() const
{
    QStringList paths;
    const QList<QTreeWidgetItem*> items = selectedItems();
    for (const QTreeWidgetItem* item : items)
        paths << item->text(FileColumn);
    return paths;
}

void QFileListWidget::ShowFiles()
{
    ShowFilesInExplorer(SelectedPaths());
}

void QFileListWidget::CopyToClipboard()
{
    QString text;
    QTextStream stream(&text, QIODevice::ReadWrite);
    const QStringList paths = SelectedPaths();
    for (const QString& path : paths)
        stream << path << "\n";
    stream.flush();
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QFileListDialog::QFileListDialog(const QStringList& files) : QDialog(nullptr)
{
    fileListWidget = new QFileListWidget(files);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kDialogMargin, kDialogMargin, kDialogMargin, kDialogMargin);
    layout->addWidget(fileListWidget);
    auto* okButton = new QPushButton(QLatin1String(kOkText));
    okButton->setObjectName(QStringLiteral("okButton"));
    layout->addWidget(okButton);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(kDialogMinimumWidth);
}

void ShowFileListDialog(const QString& title, const QStringList& files)
{
    QFileListDialog dialog(files);
    dialog.setWindowTitle(title);
    dialog.exec();
}
