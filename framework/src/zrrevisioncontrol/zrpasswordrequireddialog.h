// Asks for the revision-control password when the session has expired.
#pragma once

#include "zrrc_export.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QVBoxLayout;

class ZRRC_EXPORT PasswordRequiredDialog : public QDialog {
    Q_OBJECT

public:
    explicit PasswordRequiredDialog(QWidget* parent = nullptr);
    ~PasswordRequiredDialog() override;

    // Puts a line of explanation above everything shown so far.
    void AddMessage(const QString& text);
    // The text shares the dialog's memory, which is overwritten when the dialog runs again or is
    // destroyed: use it at once rather than keep it.
    QString GetPassword() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void EnableOkButton();

private:
    void ForgetPassword();

    QPushButton* okButton;
    QPushButton* cancelButton;
    QLineEdit* passwordEdit;
    QVBoxLayout* mainLayout;
};
