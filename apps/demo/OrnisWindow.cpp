#include "OrnisWindow.h"

#include "AssetSnapshot.h"
#include "DemoMessageBox.h"
#include "PreferencesDialog.h"
#include "WrappingLabel.h"

#include "datamodel/DbObject.h"

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QTreeWidget>

namespace demo {

namespace {

constexpr const char* kTitle = "Ornis - revision-control demo";
constexpr int kAssetNameRole = AssetTreeFeeder::kAssetNameRole;
constexpr int kDefaultExternalFiles = 1;
constexpr int kColumnCount = AssetTreeFeeder::kColumnCount;

} // namespace

OrnisWindow::OrnisWindow(DemoHost& host) : m_host(host)
{
    setObjectName(kObjectName);
    setWindowTitle(QStringLiteral("%1 (%2)").arg(kTitle, QString::fromStdString(host.User())));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("assetTree"));
    m_tree->setColumnCount(kColumnCount);
    m_tree->setHeaderLabels({tr("Asset / file"), tr("Revision control"), tr("On disk")});
    setCentralWidget(m_tree);
    m_feeder = new AssetTreeFeeder(m_tree, host);
    m_feeder->SetLoadedCallback([this](const AssetTreeFeeder::LoadTimes& times) {
        ShowSessionLine();
        if (m_loaded) m_loaded(times);
    });
    // The outcome of the last action, whole: it wraps rather than being cut off beside the session
    // line, and a menu's hints cover it only while the menu is open.
    m_statusMessage = new WrappingLabel(this);
    m_statusMessage->setObjectName(QStringLiteral("statusMessage"));
    m_statusMessage->setTextFormat(Qt::PlainText); // server texts and file names are outside text
    m_statusMessage->setWordWrap(true);
    m_statusMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_statusMessage, 1);
    m_sessionLine = new QLabel(this);
    m_sessionLine->setObjectName(QStringLiteral("sessionLine"));
    m_sessionLine->setTextFormat(Qt::PlainText); // names and descriptions are outside text
    statusBar()->addPermanentWidget(m_sessionLine);

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("hostLog"));
    m_log->setReadOnly(true);
    auto* dock = new QDockWidget(tr("Host log"), this);
    dock->setObjectName(QStringLiteral("hostLogDock"));
    dock->setWidget(m_log);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    // Entries show as they are written, also while a modal dialog waits for the user; a queued
    // call when one comes from another thread.
    m_host.Log().SetListener([this](const standin::MemoryLog::Entry& entry) {
        const QString line = QString::fromStdString(standin::MemoryLog::Format(entry)).trimmed();
        QMetaObject::invokeMethod(m_log, [log = m_log, line] { log->appendPlainText(line); });
        // What became of interrupted work stays in the status bar until the next action's report.
        const QString told = SettledText(entry);
        if (told.isEmpty()) return;
        QMetaObject::invokeMethod(this, [this, told] { TellSettled(told); });
    });
    // The log-in at start-up settles before the window listens: what it told is taken from the log.
    for (const standin::MemoryLog::Entry& entry : m_host.Log().Entries()) {
        const QString told = SettledText(entry);
        if (!told.isEmpty()) TellSettled(told);
    }

    BuildActions();
    resize(1000, 640);
    Refresh();
}

QString OrnisWindow::SettledText(const standin::MemoryLog::Entry& entry)
{
    const std::string settled = standin::ServerText::kSettled;
    if (entry.text.compare(0, settled.size(), settled) != 0) return QString();
    return QString::fromStdString(entry.text.substr(settled.size())).trimmed();
}

void OrnisWindow::TellSettled(const QString& told)
{
    m_settled = m_settled.isEmpty() ? told : m_settled + QLatin1Char(' ') + told;
    Status(m_settled);
}

void OrnisWindow::Status(const QString& text)
{
    static_cast<WrappingLabel*>(m_statusMessage)->Show(text);
}

QString OrnisWindow::StatusMessage() const
{
    return m_statusMessage->text();
}

OrnisWindow::~OrnisWindow()
{
    m_host.Log().SetListener({});
}

void OrnisWindow::BuildActions()
{
    QToolBar* toolBar = addToolBar(tr("Actions"));
    toolBar->setObjectName(QStringLiteral("actionsToolBar"));
    QMenu* assetMenu = menuBar()->addMenu(tr("&Asset"));
    auto add = [&](const QString& text, const char* name, QKeySequence shortcut, auto slot) {
        QAction* action = assetMenu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, slot);
        toolBar->addAction(action);
        return action;
    };
    add(tr("Edit"), "editAction", QKeySequence(Qt::CTRL | Qt::Key_E), &OrnisWindow::EditAsset);
    add(tr("Check Out"), "checkOutAction", QKeySequence(Qt::CTRL | Qt::Key_K), &OrnisWindow::CheckOut);
    add(tr("Make Writable"), "makeWritableAction", QKeySequence(), &OrnisWindow::MakeWritable);
    add(tr("Show Files"), "showFilesAction", QKeySequence(), [this] { ShowFiles(false); });
    add(tr("Show in File Manager"), "showInFileManagerAction", QKeySequence(), [this] { ShowFiles(true); });
    add(tr("New Asset..."), "createAction", QKeySequence::New, &OrnisWindow::CreateAsset);
    add(tr("Delete"), "deleteAction", QKeySequence::Delete, &OrnisWindow::DeleteAsset);
    add(tr("Save"), "saveAction", QKeySequence::Save, &OrnisWindow::Save);
    add(tr("Get Latest"), "getLatestAction", QKeySequence(), [this] { GetLatest(false); });
    add(tr("Get Latest (All)"), "getLatestAllAction", QKeySequence(), [this] { GetLatest(true); });
    add(tr("Revert..."), "revertAction", QKeySequence(), &OrnisWindow::Revert);
    add(tr("Mark for Add"), "markForAddAction", QKeySequence(), &OrnisWindow::MarkForAdd);
    add(tr("Submit..."), "submitAction", QKeySequence(Qt::CTRL | Qt::Key_U), &OrnisWindow::Submit);
    add(tr("Refresh"), "refreshAction", QKeySequence::Refresh, &OrnisWindow::RefreshFromServer);
    assetMenu->addSeparator();
    QAction* quit = assetMenu->addAction(tr("Quit"), QKeySequence::Quit, this, &QWidget::close);
    quit->setObjectName(QStringLiteral("quitAction"));

    QMenu* settings = menuBar()->addMenu(tr("&Settings"));
    QAction* preferences = settings->addAction(tr("Revision Control Preferences..."));
    preferences->setObjectName(QStringLiteral("preferencesAction"));
    connect(preferences, &QAction::triggered, this, &OrnisWindow::ShowPreferences);
    QAction* connectAction = settings->addAction(tr("Connect..."));
    connectAction->setObjectName(QStringLiteral("connectAction"));
    connect(connectAction, &QAction::triggered, this, &OrnisWindow::ConnectIfNeeded);

    QMenu* simulate = menuBar()->addMenu(tr("S&imulate"));
    QAction* slow = simulate->addAction(tr("Slow Operations"));
    slow->setObjectName(QStringLiteral("slowAction"));
    slow->setCheckable(true);
    connect(slow, &QAction::toggled, this, &OrnisWindow::ToggleSlow);
    QAction* expire = simulate->addAction(tr("Expire Session"));
    expire->setObjectName(QStringLiteral("expireAction"));
    connect(expire, &QAction::triggered, this, &OrnisWindow::ExpireSession);
}

void OrnisWindow::Refresh()
{
    const QString selected = m_tree->currentItem() ? m_tree->currentItem()->data(0, kAssetNameRole).toString() : "";
    m_pending.clear();
    m_feeder->Load(selected);
    if (m_feeder->Snapshot().sessionAlive) m_pending = m_host.PendingChangeLists();
    ShowSessionLine();
    m_log->setPlainText(QString::fromStdString(m_host.Log().Format()));
}

bool OrnisWindow::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent*>(event)->tip().isEmpty()) return true;
    return QMainWindow::event(event);
}

standin::DbObject* OrnisWindow::SelectedAsset() const
{
    QTreeWidgetItem* item = m_tree->currentItem();
    return item ? m_host.FindAsset(item->data(0, kAssetNameRole).toString().toStdString()) : nullptr;
}

void OrnisWindow::OnAsset(const std::function<void(standin::DbObject*)>& action)
{
    standin::DbObject* asset = SelectedAsset();
    if (!asset) {
        Report(tr("Select an asset first."));
        return;
    }
    action(asset);
    Refresh();
}

void OrnisWindow::Report(const QString& text)
{
    Status(m_settled.isEmpty() ? text : m_settled + QLatin1Char(' ') + text);
    m_settled.clear();
}

void OrnisWindow::EditAsset()
{
    OnAsset([this](standin::DbObject* asset) {
        const bool edited = m_host.EditAsset(asset);
        Refresh();
        Report(edited ? tr("%1 modified; save to write it.").arg(QString::fromStdString(asset->GetName()))
                      : tr("The edit was abandoned."));
    });
}

void OrnisWindow::CheckOut()
{
    OnAsset([this](standin::DbObject* asset) {
        const QString name = QString::fromStdString(asset->GetName());
        bool cancelled = false;
        const bool done = m_host.CheckOutAsset(asset, cancelled);
        Report(done        ? tr("%1 is checked out.").arg(name)
               : cancelled ? tr("The check-out of %1 was cancelled; nothing was checked out.").arg(name)
                           : tr("%1 was not checked out.").arg(name));
    });
}

void OrnisWindow::MakeWritable()
{
    OnAsset([this](standin::DbObject* asset) {
        const QString name = QString::fromStdString(asset->GetName());
        Report(m_host.MakeAssetWritable(asset) ? tr("%1 is writable, not checked out.").arg(name)
                                               : tr("%1 was not made writable.").arg(name));
    });
}

void OrnisWindow::ShowFiles(bool inFileManager)
{
    OnAsset([this, inFileManager](standin::DbObject* asset) { m_host.ShowAssetFiles(asset, inFileManager); });
}

void OrnisWindow::CreateAsset()
{
    bool ok = false;
    const QString name =
        QInputDialog::getText(this, tr("New Asset"), tr("Name of the new asset:"), QLineEdit::Normal, QString(), &ok)
            .trimmed();
    if (!ok) return;
    std::string refusal;
    if (!m_host.CreateAsset(name.toStdString(), kDefaultExternalFiles, &refusal)) {
        DemoMessageBox::Warn(
            this, tr("New Asset"),
            tr("No asset was created with the name \"%1\".\n%2").arg(name, QString::fromStdString(refusal)));
        return;
    }
    Refresh();
}

void OrnisWindow::DeleteAsset()
{
    OnAsset([this](standin::DbObject* asset) {
        m_host.DeleteAsset(asset);
        Report(tr("%1 is deleted; save to remove its files.").arg(QString::fromStdString(asset->GetName())));
    });
}

void OrnisWindow::Save()
{
    const SaveOutcome result = m_host.Save();
    Refresh();
    if (result.vetoed) {
        Report(tr("The save was abandoned."));
        return;
    }
    QStringList problems;
    for (const standin::SaveFailure& failure : result.failures)
        problems << QString::fromStdString(failure.file + ": " + failure.reason);
    if (!problems.isEmpty()) {
        DemoMessageBox::Warn(this, tr("Save"), tr("Some files were not saved:\n%1").arg(problems.join('\n')));
        return;
    }
    const QString saved =
        tr("Saved: %1 file(s) written, %2 removed.").arg(result.writtenFiles.size()).arg(result.removedFiles.size());
    if (result.leftOut.Empty()) {
        Report(saved);
        return;
    }
    // Not added and not deleted without a session: said until the next message replaces it.
    Status(saved + QLatin1Char(' ') + QString::fromStdString(result.leftOut.Describe()).trimmed());
}

void OrnisWindow::Submit()
{
    QString whyNot;
    if (!OfferToConnect(whyNot)) {
        Report(whyNot + QLatin1Char(' ') + tr("Nothing was submitted."));
        return;
    }
    QStringList choices{tr("default changelist")};
    const std::vector<ChangeListInfo> pending = m_host.PendingChangeLists();
    for (const ChangeListInfo& list : pending)
        choices << QStringLiteral("%1 \"%2\"")
                       .arg(QString::fromStdString(list.number), QString::fromStdString(list.description));
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, tr("Submit"), tr("Changelist to submit:"), choices, 0, false, &ok);
    if (!ok) return;
    const int index = static_cast<int>(choices.indexOf(chosen));
    const std::string changeList = index > 0 ? pending[static_cast<std::size_t>(index - 1)].number : std::string();
    const standin::ChangeListResult result = m_host.Submit(changeList);
    Refresh();
    if (result.Failed()) {
        DemoMessageBox::Warn(this, tr("Submit"), QString::fromStdString(result.text));
        return;
    }
    Report(result.revision > 0 ? tr("Submitted as revision %1; its locks are released.").arg(result.revision)
                               : tr("Nothing had changed, nothing was committed; the locks are released."));
}

void OrnisWindow::RefreshFromServer()
{
    // The working copy is looked at in any case; only the server's side waits for a session.
    QString whyNot;
    if (!OfferToConnect(whyNot)) whyNot += QLatin1Char(' ') + tr("The states show what the working copy alone knows.");
    const RescanOutcome rescan = m_host.Rescan();
    Refresh();
    auto names = [](const std::vector<std::string>& list) {
        QStringList quoted;
        for (const std::string& name : list)
            quoted << QString::fromStdString(name);
        return quoted.join(QStringLiteral(", "));
    };
    QStringList told;
    if (!rescan.added.empty()) told << tr("New in the working copy: %1.").arg(names(rescan.added));
    if (!rescan.dropped.empty()) told << tr("Gone from the working copy: %1.").arg(names(rescan.dropped));
    if (!rescan.keptEdited.empty())
        told << tr("Gone from the working copy but kept for their unsaved edits: %1.").arg(names(rescan.keptEdited));
    if (!whyNot.isEmpty()) told << whyNot;
    Report(told.isEmpty() ? tr("Refreshed; no asset came or went.") : told.join(QLatin1Char(' ')));
}

void OrnisWindow::ShowPreferences()
{
    PreferencesDialog dialog(m_host.Properties(), this);
    dialog.exec();
    Refresh();
}

void OrnisWindow::ToggleSlow(bool slow)
{
    m_host.SetSlowOperations(slow);
    Refresh();
}

} // namespace demo
