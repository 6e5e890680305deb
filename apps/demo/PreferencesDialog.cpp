#include "PreferencesDialog.h"

#include "IRevisionControlPropertiesMgr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace demo {

PreferencesDialog::PreferencesDialog(IRevisionControlPropertiesMgr& properties, QWidget* parent)
    : QDialog(parent), m_properties(properties)
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setWindowTitle(tr("Revision Control Preferences"));
    auto* form = new QFormLayout(this);
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    m_userName = named(new QLineEdit(this), "userNameEdit");
    m_server = named(new QLineEdit(this), "serverEdit");
    m_workspace = named(new QLineEdit(this), "workspaceEdit");
    m_action = named(new QComboBox(this), "actionCombo");
    // In the order of IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset.
    m_action->addItems({tr("Continue"), tr("Prompt"), tr("Check Out"), tr("Make Writable")});
    m_alwaysUseSetting = named(new QCheckBox(this), "alwaysUseSettingCheck");
    m_changeList = named(new QLineEdit(this), "changeListEdit");
    m_changeList->setPlaceholderText(tr("default changelist"));
    m_promptForChangeList = named(new QCheckBox(this), "promptForChangeListCheck");
    m_useSourceDataControl = named(new QCheckBox(this), "useSourceDataControlCheck");

    form->addRow(tr("RevControl.UserName"), m_userName);
    form->addRow(tr("RevControl.Server"), m_server);
    form->addRow(tr("RevControl.Workspace"), m_workspace);
    form->addRow(tr("RevControl.ActionWhenEditingReadOnlyAsset"), m_action);
    form->addRow(tr("RevControl.AlwaysUseSetting"), m_alwaysUseSetting);
    form->addRow(tr("RevControl.ChangeListToUseWhenAutoCheckingOut"), m_changeList);
    form->addRow(tr("RevControl.PromptForChangeListWhenCheckingOut"), m_promptForChangeList);
    form->addRow(tr("RevControl.UseSourceDataControl"), m_useSourceDataControl);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("preferencesButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    Load();
}

void PreferencesDialog::Load()
{
    std::string userName;
    std::string server;
    std::string workspace;
    m_properties.GetAccountProperties(userName, server, workspace);
    m_userName->setText(QString::fromStdString(userName));
    m_server->setText(QString::fromStdString(server));
    m_workspace->setText(QString::fromStdString(workspace));
    IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset action = IRevisionControlPropertiesMgr::kPrompt;
    m_properties.GetActionWhenEditingReadOnlyAsset(action);
    m_action->setCurrentIndex(static_cast<int>(action));
    bool value = false;
    m_properties.GetAlwaysUseSetting(value);
    m_alwaysUseSetting->setChecked(value);
    std::string changeList;
    m_properties.GetChangeListToUseWhenAutoCheckingOut(changeList);
    m_changeList->setText(QString::fromStdString(changeList));
    value = false;
    m_properties.GetPromptForChangeListWhenCheckingOut(value);
    m_promptForChangeList->setChecked(value);
    value = false;
    m_properties.GetUseSourceDataControl(value);
    m_useSourceDataControl->setChecked(value);
}

void PreferencesDialog::accept()
{
    std::string userName;
    std::string server;
    std::string workspace;
    m_properties.GetAccountProperties(userName, server, workspace);
    // A new account logs in again (with an empty password), so only a real change is written.
    if (m_userName->text().toStdString() != userName || m_server->text().toStdString() != server ||
        m_workspace->text().toStdString() != workspace)
        m_properties.SetAccountProperties(m_userName->text().toStdString(), m_server->text().toStdString(),
                                          m_workspace->text().toStdString());
    m_properties.SetActionWhenEditingReadOnlyAsset(
        static_cast<IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset>(m_action->currentIndex()));
    m_properties.SetAlwaysUseSetting(m_alwaysUseSetting->isChecked());
    m_properties.SetChangeListToUseWhenAutoCheckingOut(m_changeList->text().trimmed().toStdString());
    m_properties.SetPromptForChangeListWhenCheckingOut(m_promptForChangeList->isChecked());
    bool enabled = false;
    m_properties.GetUseSourceDataControl(enabled);
    if (enabled != m_useSourceDataControl->isChecked())
        m_properties.SetUseSourceDataControl(m_useSourceDataControl->isChecked());
    QDialog::accept();
}

} // namespace demo
