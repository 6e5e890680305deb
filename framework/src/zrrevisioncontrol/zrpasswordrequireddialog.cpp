#include "zrpasswordrequireddialog.h"

#include "PlainMessageBox.h"
#include "SecretWipe.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr char kOkText[] = "Ok";
constexpr char kCancelText[] = "Cancel";
constexpr char kPromptText[] = "Please enter the password";
constexpr char kTitle[] = "Data Source Password Required";
// Room the edit's text starts with, so that typing a password of up to this length never moves
// (and leaves behind) a partial copy of it.
constexpr qsizetype kPasswordRoom = 256;

} // namespace

PasswordRequiredDialog::PasswordRequiredDialog(QWidget* parent) : QDialog(parent)
{
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);

    okButton = new QPushButton(QLatin1String(kOkText), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton = new QPushButton(QLatin1String(kCancelText), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton->setEnabled(false);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(passwordEdit, &QLineEdit::textEdited, this, &PasswordRequiredDialog::EnableOkButton);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(okButton);
    buttonRow->addWidget(cancelButton);

    mainLayout = new QVBoxLayout(this);
    auto* prompt = new QLabel(QLatin1String(kPromptText), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    mainLayout->addWidget(prompt);
    mainLayout->addWidget(passwordEdit);
    mainLayout->addLayout(buttonRow);

    passwordEdit->setFocus(Qt::OtherFocusReason);
    setTabOrder(passwordEdit, okButton);
    setTabOrder(okButton, cancelButton);

    setWindowTitle(QLatin1String(kTitle));
    // The user cannot resize the dialog; messages added later make it grow.
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);
}

PasswordRequiredDialog::~PasswordRequiredDialog()
{
    ForgetPassword();
}

void PasswordRequiredDialog::AddMessage(const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("messageLabel"));
    // The message may carry the server's words.
    PlainMessageBox::MakePlain(*label);
    mainLayout->insertWidget(0, label);
}

QString PasswordRequiredDialog::GetPassword() const
{
    return passwordEdit->text();
}

void PasswordRequiredDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Every run, also a retry after a failed login, starts from an empty box.
    ForgetPassword();
    QString room;
    room.reserve(kPasswordRoom);
    passwordEdit->setText(room);
    okButton->setEnabled(false);
}

void PasswordRequiredDialog::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
}

void PasswordRequiredDialog::ForgetPassword()
{
    // Qt frees a string's memory as it is: the typed text is overwritten where the edit holds it
    // before the edit lets it go. The copy returned shares that memory.
    const QString typed = passwordEdit->text();
    WipeSecret(reinterpret_cast<char16_t*>(const_cast<QChar*>(typed.constData())),
               static_cast<std::size_t>(typed.size()));
    passwordEdit->clear();
}

void PasswordRequiredDialog::EnableOkButton()
{
    okButton->setEnabled(!passwordEdit->text().isEmpty());
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
}
