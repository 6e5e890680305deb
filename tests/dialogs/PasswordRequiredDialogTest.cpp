#include "zrpasswordrequireddialog.h"

#include "ModalDriver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QLineEdit* PasswordEdit(QWidget* dialog)
{
    return dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
}

QPushButton* Button(QWidget* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QLatin1String(name));
}

// Label texts from top to bottom.
QStringList LabelTexts(QWidget* dialog)
{
    QStringList texts;
    QLayout* layout = dialog->layout();
    for (int i = 0; i < layout->count(); ++i) {
        if (auto* label = qobject_cast<QLabel*>(layout->itemAt(i)->widget())) texts << label->text();
    }
    return texts;
}

int RunModal(QDialog& dialog, ModalDriver::Action action)
{
    ModalDriver driver;
    driver.AnswerNext(std::move(action));
    const int result = dialog.exec();
    EXPECT_EQ(driver.Pending(), 0u);
    return result;
}

} // namespace

TEST(PasswordRequiredDialog, BuildsItsFixedLayout)
{
    PasswordRequiredDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Data Source Password Required");
    EXPECT_STREQ(dialog.metaObject()->className(), "PasswordRequiredDialog");
    EXPECT_EQ(PasswordEdit(&dialog)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Button(&dialog, "okButton")->text(), "Ok");
    EXPECT_EQ(Button(&dialog, "cancelButton")->text(), "Cancel");
    EXPECT_FALSE(Button(&dialog, "okButton")->isEnabled());
    EXPECT_EQ(LabelTexts(&dialog), QStringList{"Please enter the password"});
    EXPECT_EQ(dialog.focusWidget(), PasswordEdit(&dialog));
    EXPECT_EQ(PasswordEdit(&dialog)->nextInFocusChain(), Button(&dialog, "okButton"));
    EXPECT_EQ(Button(&dialog, "okButton")->nextInFocusChain(), Button(&dialog, "cancelButton"));

    // Its one slot is private and the only method the class adds.
    const QMetaObject* meta = dialog.metaObject();
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), 1);
    const QMetaMethod slot = meta->method(meta->methodOffset());
    EXPECT_EQ(slot.methodSignature(), "EnableOkButton()");
    EXPECT_EQ(slot.access(), QMetaMethod::Private);
}

TEST(PasswordRequiredDialog, MessagesStackAboveThePromptNewestFirst)
{
    PasswordRequiredDialog dialog;
    dialog.AddMessage("first");
    dialog.AddMessage("second");
    EXPECT_EQ(LabelTexts(&dialog), (QStringList{"second", "first", "Please enter the password"}));
}

TEST(PasswordRequiredDialog, OkFollowsTypedTextOnly)
{
    PasswordRequiredDialog dialog;
    const int result = RunModal(dialog, [](QWidget* modal) {
        QLineEdit* edit = PasswordEdit(modal);
        QPushButton* ok = Button(modal, "okButton");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(edit, "s");
        EXPECT_TRUE(ok->isEnabled());
        EXPECT_TRUE(ok->isDefault());
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_FALSE(ok->isEnabled());
        // Text set by code is not an edit by the user.
        edit->setText("programmatic");
        EXPECT_FALSE(ok->isEnabled());
        edit->clear();
        QTest::keyClicks(edit, "p a;ss\"w");
        // keyClicks handles ASCII only; a typed non-ASCII letter arrives as a key event with text.
        QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ö"));
        QApplication::sendEvent(edit, &umlaut);
        QTest::keyClicks(edit, "rd");
        ok->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.GetPassword(), QString::fromUtf8("p a;ss\"wörd"));
}

TEST(PasswordRequiredDialog, ReturnConfirmsOnceTyped)
{
    PasswordRequiredDialog dialog;
    const int result = RunModal(dialog, [](QWidget* modal) {
        QTest::keyClicks(PasswordEdit(modal), "secret");
        QTest::keyClick(PasswordEdit(modal), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.GetPassword(), "secret");
}

TEST(PasswordRequiredDialog, CancelEscapeAndCloseReject)
{
    PasswordRequiredDialog dialog;
    EXPECT_EQ(RunModal(dialog,
                       [](QWidget* modal) {
                           QTest::keyClicks(PasswordEdit(modal), "x");
                           Button(modal, "cancelButton")->click();
                       }),
              QDialog::Rejected);
    EXPECT_EQ(RunModal(dialog, [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }), QDialog::Rejected);
    EXPECT_EQ(RunModal(dialog, [](QWidget* modal) { modal->close(); }), QDialog::Rejected);
}

TEST(PasswordRequiredDialog, SecondRunStartsEmptyWithOkDisabled)
{
    PasswordRequiredDialog dialog;
    ASSERT_EQ(RunModal(dialog,
                       [](QWidget* modal) {
                           QTest::keyClicks(PasswordEdit(modal), "wrong");
                           Button(modal, "okButton")->click();
                       }),
              QDialog::Accepted);
    ASSERT_EQ(dialog.GetPassword(), "wrong");

    bool startedEmpty = false;
    bool okWasDisabled = false;
    RunModal(dialog, [&](QWidget* modal) {
        startedEmpty = PasswordEdit(modal)->text().isEmpty();
        okWasDisabled = !Button(modal, "okButton")->isEnabled();
        modal->close();
    });
    EXPECT_TRUE(startedEmpty);
    EXPECT_TRUE(okWasDisabled);
}

TEST(PasswordRequiredDialog, CannotBeResizedButGrowsWithMessages)
{
    PasswordRequiredDialog dialog;
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const int heightBefore = dialog.height();
    dialog.AddMessage("The session expired.");
    dialog.adjustSize();
    QApplication::processEvents();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_GT(dialog.height(), heightBefore);
    dialog.hide();
}
