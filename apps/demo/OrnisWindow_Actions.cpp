// OrnisWindow's revert and mark-for-add actions.
#include "OrnisWindow.h"

#include "DemoMessageBox.h"

#include "datamodel/DbObject.h"

namespace demo {

namespace {

QString Listed(const std::vector<std::string>& files)
{
    QStringList names;
    for (const std::string& file : files)
        names << QString::fromStdString(file);
    return names.join(QStringLiteral(", "));
}

} // namespace

void OrnisWindow::GetLatest(bool all)
{
    QString whyNot;
    if (!OfferToConnect(whyNot)) {
        Report(whyNot + QLatin1Char(' ') + tr("Nothing was updated."));
        return;
    }
    standin::DbObject* asset = all ? nullptr : SelectedAsset();
    if (!all && !asset) {
        Report(tr("Select an asset first."));
        return;
    }
    const LatestOutcome outcome = m_host.GetLatest(asset);
    Refresh();
    const standin::UpdateResult& update = outcome.update;
    QStringList told;
    if (update.Succeeded())
        told << (update.updated.empty() ? tr("Up to date at revision %1; nothing changed.").arg(update.revision)
                                        : tr("Updated to revision %1: %2 file(s) changed.")
                                              .arg(update.revision)
                                              .arg(update.updated.size()));
    else if (update.conflicts.empty())
        told << tr("Get Latest was not done as a whole; see the host log.");
    else
        told << tr("Updated to revision %1, but %2 file(s) are left in conflict: %3")
                    .arg(update.revision)
                    .arg(update.conflicts.size())
                    .arg(Listed(update.conflicts));
    if (!outcome.rescan.added.empty()) told << tr("New assets: %1.").arg(Listed(outcome.rescan.added));
    if (!outcome.rescan.dropped.empty()) told << tr("Gone: %1.").arg(Listed(outcome.rescan.dropped));
    if (!outcome.rescan.keptEdited.empty())
        told << tr("Gone but kept for their unsaved edits: %1.").arg(Listed(outcome.rescan.keptEdited));
    Report(told.join(QLatin1Char(' ')));
    if (update.Failed()) DemoMessageBox::Warn(this, tr("Get Latest"), QString::fromStdString(update.text).trimmed());
}

void OrnisWindow::Revert()
{
    QString whyNot;
    if (!OfferToConnect(whyNot)) {
        Report(whyNot + QLatin1Char(' ') + tr("Nothing was reverted."));
        return;
    }
    OnAsset([this](standin::DbObject* asset) {
        const QString name = QString::fromStdString(asset->GetName());
        const RevertPreview preview = m_host.PreviewRevert(asset);
        if (!preview.known) {
            DemoMessageBox::Warn(this, tr("Revert"),
                                 tr("Nothing was reverted: the state of %1 could not be asked.\n%2")
                                     .arg(name, QString::fromStdString(preview.text).trimmed()));
            return;
        }
        QStringList lost;
        if (!preview.changed.empty()) lost << tr("the local changes of %1").arg(Listed(preview.changed));
        if (!preview.locked.empty()) lost << tr("your lock on %1").arg(Listed(preview.locked));
        if (preview.unsavedEdits) lost << tr("the unsaved edits of %1").arg(name);
        if (lost.isEmpty()) {
            Report(tr("%1 has no local changes and no lock: nothing to revert.").arg(name));
            return;
        }
        if (!DemoMessageBox::Ask(this, tr("Revert"),
                                 tr("Revert %1? This loses:\n%2").arg(name, lost.join(QLatin1Char('\n'))))) {
            Report(tr("Nothing was reverted."));
            return;
        }
        const RevertOutcome outcome = m_host.RevertAsset(asset);
        if (outcome.succeeded) {
            Report(tr("Reverted %1: local changes dropped, lock released.").arg(name));
            return;
        }
        QString told = tr("The revert of %1 did not finish.").arg(name);
        if (!outcome.text.empty()) told += QLatin1Char('\n') + QString::fromStdString(outcome.text).trimmed();
        if (!outcome.stateKnown) told += QLatin1Char('\n') + tr("What its files are now is not known.");
        if (!outcome.stillChanged.empty())
            told += QLatin1Char('\n') + tr("Still opened: %1.").arg(Listed(outcome.stillChanged));
        if (!outcome.stillLocked.empty())
            told += QLatin1Char('\n') + tr("Still locked by you: %1.").arg(Listed(outcome.stillLocked));
        Report(tr("The revert of %1 did not finish; see the host log.").arg(name));
        DemoMessageBox::Warn(this, tr("Revert"), told);
    });
}

void OrnisWindow::MarkForAdd()
{
    OnAsset([this](standin::DbObject* asset) {
        const QString name = QString::fromStdString(asset->GetName());
        const CommandOutcome outcome = m_host.MarkForAdd(asset, std::string());
        if (outcome.ran && outcome.code >= 0) {
            Report(tr("%1 is marked for add in the default changelist.").arg(name));
            return;
        }
        Report(tr("%1 was not marked for add; see the host log.").arg(name));
        DemoMessageBox::Warn(
            this, tr("Mark for Add"),
            outcome.ran
                ? tr("%1 was not marked for add.\n%2").arg(name, QString::fromStdString(outcome.error).trimmed())
                : tr("%1 was not marked for add: the command was not run.").arg(name));
    });
}

} // namespace demo
