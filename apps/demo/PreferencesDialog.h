// The host's preferences page for revision control: every "RevControl." key, read and written
// through the plug-in's preference manager.
#pragma once

#include <QDialog>

class IRevisionControlPropertiesMgr;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace demo {

class PreferencesDialog : public QDialog {
public:
    PreferencesDialog(IRevisionControlPropertiesMgr& properties, QWidget* parent);

    void accept() override;

private:
    void Load();

    IRevisionControlPropertiesMgr& m_properties;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_workspace = nullptr;
    QComboBox* m_action = nullptr;
    QCheckBox* m_alwaysUseSetting = nullptr;
    QLineEdit* m_changeList = nullptr;
    QCheckBox* m_promptForChangeList = nullptr;
    QCheckBox* m_useSourceDataControl = nullptr;
};

} // namespace demo
