// The demo's boxes and tooltips show what servers, hooks and the repository say as it stands.
#include "DemoMessageBox.h"

#include "ModalDriver.h"
#include "PlainTextCheck.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

using demo::DemoMessageBox;

TEST(DemoMessageBoxTest, ShowTheTextLiterallyAndOpenNothing)
{
    const struct {
        const char* boxName;
        QMessageBox::StandardButton closeWith;
        std::function<void()> show;
    } cases[] = {// A hook's refusal of a submit is the warning's whole text.
                 {DemoMessageBox::kWarningName, QMessageBox::Ok,
                  [] { DemoMessageBox::Warn(nullptr, QStringLiteral("Submit"), kHostileText); }},
                 {DemoMessageBox::kQuestionName, QMessageBox::No,
                  [] { EXPECT_FALSE(DemoMessageBox::Ask(nullptr, QStringLiteral("Connect"), kHostileText)); }},
                 // A box built by hand, as the certificate question is, with the server's words in both texts.
                 {"certificateBox", QMessageBox::Cancel, [] {
                      QMessageBox box(QMessageBox::Warning, QStringLiteral("Certificate"), kHostileText,
                                      QMessageBox::Cancel);
                      box.setObjectName(QStringLiteral("certificateBox"));
                      box.setInformativeText(kHostileText);
                      DemoMessageBox::MakePlain(box);
                      box.exec();
                  }}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.boxName);
        ModalDriver modal;
        modal.AnswerNext([&](QWidget* box) {
            EXPECT_EQ(box->objectName(), entry.boxName);
            // Each text of the box that holds the markup: the text and, where there is one, the informative text.
            int showing = 0;
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text().contains(kHostileText)) {
                    ++showing;
                    ExpectLabelShowsLiterally(label);
                }
            EXPECT_GE(showing, 1);
            qobject_cast<QMessageBox*>(box)->button(entry.closeWith)->click();
        });
        entry.show();
        EXPECT_EQ(modal.Pending(), 0u);
    }
}

TEST(DemoToolTip, ReadsAsTheTextItself)
{
    const QString tip = DemoMessageBox::ToolTip(kHostileText);
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), kHostileText);
    EXPECT_FALSE(tip.contains(QStringLiteral("<a ")) || tip.contains(QStringLiteral("<img")));
}

} // namespace
