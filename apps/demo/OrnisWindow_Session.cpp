// OrnisWindow's session: the status bar's session line, connecting, and the simulated expiry.
#include "OrnisWindow.h"

#include "DemoMessageBox.h"

#include "zrpasswordrequireddialog.h"

#include <QLabel>

namespace demo {

void OrnisWindow::ShowSessionLine()
{
    const bool sessionAlive = m_feeder->Snapshot().sessionAlive;
    QStringList lists;
    for (const std::string& list : ChangeListsOfFiles(m_feeder->Files()))
        if (list.empty()) lists << tr("default");
    for (const ChangeListInfo& list : m_pending)
        lists << QStringLiteral("%1 \"%2\"")
                     .arg(QString::fromStdString(list.number), QString::fromStdString(list.description));
    const QString session = sessionAlive                ? tr("open")
                            : m_host.WaitingForServer() ? tr("kept, the server has not answered since a cancel")
                                                        : tr("not connected");
    m_sessionLine->setText(tr("%1 at %2, workspace %3: session %4%5. Pending changelists: %6")
                               .arg(QString::fromStdString(m_host.User()), QString::fromStdString(m_host.ServerUrl()),
                                    QString::fromStdString(m_host.Workspace()), session,
                                    m_host.SlowOperations() ? tr(", slow operations") : QString(),
                                    lists.isEmpty() ? tr("none") : lists.join(QStringLiteral(", "))));
}

bool OrnisWindow::OfferToConnect(QString& whyNot)
{
    if (m_host.IsSessionAlive()) return true;
    if (m_host.WaitingForServer()) {
        // The session is there: asking for its password again would be asking for nothing.
        whyNot = QString::fromStdString(m_host.WaitingForServerText());
        return false;
    }
    whyNot = QString::fromStdString(m_host.NotConnectedText());
    return DemoMessageBox::Ask(this, tr("Not Connected"), tr("%1 Connect now?").arg(whyNot)) && Connect();
}

void OrnisWindow::ConnectIfNeeded()
{
    if (m_host.IsSessionAlive()) {
        Report(tr("Connected already as %1 at %2; the session is open.")
                   .arg(QString::fromStdString(m_host.User()), QString::fromStdString(m_host.ServerUrl())));
    } else if (m_host.WaitingForServer()) {
        Report(QString::fromStdString(m_host.WaitingForServerText()));
    } else {
        Connect();
    }
    Refresh();
}

bool OrnisWindow::Connect()
{
    while (true) {
        PasswordRequiredDialog dialog(this);
        dialog.AddMessage(tr("Password of %1 at %2:")
                              .arg(QString::fromStdString(m_host.User()), QString::fromStdString(m_host.ServerUrl())));
        if (dialog.exec() != QDialog::Accepted) {
            Report(QString::fromStdString(m_host.NotConnectedText()));
            return false;
        }
        QByteArray password = dialog.GetPassword().toUtf8();
        std::string typed(password.constData(), static_cast<std::size_t>(password.size()));
        password.fill('\0');
        const ConnectResult result = m_host.Connect(typed);
        // The session keeps its own copy; this one is overwritten before its memory is freed.
        volatile char* secret = typed.data();
        for (std::size_t i = 0; i < typed.size(); ++i)
            secret[i] = 0;
        if (result.connected) {
            Report(tr("Connected as %1 at %2.")
                       .arg(QString::fromStdString(m_host.User()), QString::fromStdString(m_host.ServerUrl())));
            return true;
        }
        DemoMessageBox::Warn(this, tr("Connect"), QString::fromStdString(result.message));
        if (result.message.find(standin::ServerText::kInvalidPassword) == std::string::npos) return false;
    }
}

void OrnisWindow::ExpireSession()
{
    m_host.ExpireSession();
    Refresh();
    Report(tr("The session of %1 at %2 expired; the next operation asks for the password.")
               .arg(QString::fromStdString(m_host.User()), QString::fromStdString(m_host.ServerUrl())));
}

} // namespace demo
