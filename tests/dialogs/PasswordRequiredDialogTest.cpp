#include "zrpasswordrequireddialog.h"

#include "DialogTestSupport.h"
#include "PlainTextCheck.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

namespace {

QLineEdit* Edit(QWidget* dialog)
{
    return Find<QLineEdit>(dialog, "passwordEdit");
}
// Label texts from top to bottom.
QStringList LabelTexts(QWidget* dialog)
{
    QStringList texts;
    for (int i = 0; i < dialog->layout()->count(); ++i)
        if (auto* label = qobject_cast<QLabel*>(dialog->layout()->itemAt(i)->widget())) texts << label->text();
    return texts;
}

} // namespace

TEST(PasswordRequiredDialog, LayoutMessagesAndFixedSizeCentredOverTheWindowThatAsks)
{
    QWidget window;
    window.setGeometry(200, 150, 900, 700);
    window.show();
    PasswordRequiredDialog dialog(&window);
    EXPECT_EQ(dialog.windowTitle(), "Data Source Password Required");
    EXPECT_STREQ(dialog.metaObject()->className(), "PasswordRequiredDialog");
    EXPECT_EQ(Edit(&dialog)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find(&dialog, "okButton")->text(), "Ok");
    EXPECT_EQ(Find(&dialog, "cancelButton")->text(), "Cancel");
    EXPECT_FALSE(Find(&dialog, "okButton")->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), Edit(&dialog));
    EXPECT_EQ(Edit(&dialog)->nextInFocusChain(), Find(&dialog, "okButton"));
    EXPECT_EQ(Find(&dialog, "okButton")->nextInFocusChain(), Find(&dialog, "cancelButton"));
    const QMetaObject* meta = dialog.metaObject();
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), 1);
    EXPECT_EQ(meta->method(meta->methodOffset()).methodSignature(), "EnableOkButton()");
    EXPECT_EQ(meta->method(meta->methodOffset()).access(), QMetaMethod::Private);

    dialog.show();
    QApplication::processEvents();
    const QPoint offset = dialog.frameGeometry().center() - window.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 40) << offset.x() << "," << offset.y();
    EXPECT_EQ(LabelTexts(&dialog), QStringList{"Please enter the password"});
    // Both buttons sit in one row below the password, Ok first.
    const QRect edit = Edit(&dialog)->geometry();
    const QRect ok = Find(&dialog, "okButton")->geometry();
    const QRect cancel = Find(&dialog, "cancelButton")->geometry();
    EXPECT_GE(ok.top(), edit.bottom());
    EXPECT_EQ(cancel.top(), ok.top());
    EXPECT_GT(cancel.left(), ok.right());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const int heightBefore = dialog.height();
    dialog.AddMessage("first");
    dialog.AddMessage("second");
    dialog.adjustSize();
    QApplication::processEvents();
    EXPECT_EQ(LabelTexts(&dialog), (QStringList{"second", "first", "Please enter the password"}));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_GT(dialog.height(), heightBefore);
    dialog.hide();
}

TEST(PasswordRequiredDialog, OkFollowsTypedTextEachRunStartsEmptyAndEveryWayOutRejectsShowingTheServersWords)
{
    PasswordRequiredDialog dialog;
    const int result = RunModal(dialog, [](QWidget* modal) {
        QLineEdit* edit = Edit(modal);
        EXPECT_FALSE(Find(modal, "okButton")->isEnabled());
        QTest::keyClicks(edit, "s");
        EXPECT_TRUE(Find(modal, "okButton")->isEnabled());
        EXPECT_TRUE(Find(modal, "okButton")->isDefault());
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_FALSE(Find(modal, "okButton")->isEnabled());
        edit->setText("programmatic"); // not an edit by the user
        EXPECT_FALSE(Find(modal, "okButton")->isEnabled());
        edit->clear();
        QTest::keyClicks(edit, "p a;ss\"w");
        // keyClicks handles ASCII only; a typed non-ASCII letter arrives as a key event with text.
        QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ö"));
        QApplication::sendEvent(edit, &umlaut);
        QTest::keyClicks(edit, "rd");
        Find(modal, "okButton")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.GetPassword(), QString::fromUtf8("p a;ss\"wörd"));

    // The same object runs again for the next attempt: empty box, Ok disabled, Return confirms.
    EXPECT_EQ(RunModal(dialog,
                       [](QWidget* modal) {
                           EXPECT_TRUE(Edit(modal)->text().isEmpty());
                           EXPECT_FALSE(Find(modal, "okButton")->isEnabled());
                           QTest::keyClicks(Edit(modal), "secret");
                           QTest::keyClick(Edit(modal), Qt::Key_Return);
                       }),
              QDialog::Accepted);
    EXPECT_EQ(dialog.GetPassword(), "secret");

    // A message carrying the server's words is shown as it stands.
    dialog.AddMessage(kHostileText);
    const std::vector<ModalDriver::Action> rejections = {
        [](QWidget* modal) {
            ExpectLabelShowsLiterally(Find<QLabel>(modal, "messageLabel"));
            QTest::keyClicks(Edit(modal), "x");
            Find(modal, "cancelButton")->click();
        },
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }, [](QWidget* modal) { modal->close(); }};
    for (const auto& reject : rejections)
        EXPECT_EQ(RunModal(dialog, reject), QDialog::Rejected);
}
