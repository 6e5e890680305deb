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

struct BoxCase {
    const char* name;
    const char* boxName;
    QMessageBox::StandardButton closeWith;
    std::function<void()> show;
};

void PrintTo(const BoxCase& entry, std::ostream* out)
{
    *out << entry.name;
}

class DemoMessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(DemoMessageBoxTest, ShowsTheTextLiterallyAndOpensNothing)
{
    const BoxCase& entry = GetParam();
    ModalDriver modal;
    modal.AnswerNext([&](QWidget* box) {
        EXPECT_EQ(box->objectName(), entry.boxName);
        const QList<QLabel*> labels = box->findChildren<QLabel*>();
        // Each text of the box that holds the markup: the text and, where there is one, the informative text.
        int showing = 0;
        for (QLabel* label : labels)
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

INSTANTIATE_TEST_SUITE_P(
    Boxes, DemoMessageBoxTest,
    ::testing::Values(
        // A hook's refusal of a submit is the warning's whole text.
        BoxCase{"Warning", DemoMessageBox::kWarningName, QMessageBox::Ok,
                [] { DemoMessageBox::Warn(nullptr, QStringLiteral("Submit"), kHostileText); }},
        BoxCase{"Question", DemoMessageBox::kQuestionName, QMessageBox::No,
                [] { EXPECT_FALSE(DemoMessageBox::Ask(nullptr, QStringLiteral("Connect"), kHostileText)); }},
        // A box built by hand, as the certificate question is, with the server's words in both texts.
        BoxCase{"BuiltWithInformativeText", "certificateBox", QMessageBox::Cancel,
                [] {
                    QMessageBox box(QMessageBox::Warning, QStringLiteral("Certificate"), kHostileText,
                                    QMessageBox::Cancel);
                    box.setObjectName(QStringLiteral("certificateBox"));
                    box.setInformativeText(kHostileText);
                    DemoMessageBox::MakePlain(box);
                    box.exec();
                }}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST(DemoToolTip, ReadsAsTheTextItself)
{
    const QString tip = DemoMessageBox::ToolTip(kHostileText);
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), kHostileText);
    EXPECT_FALSE(tip.contains(QStringLiteral("<a ")) || tip.contains(QStringLiteral("<img")));
}

} // namespace
