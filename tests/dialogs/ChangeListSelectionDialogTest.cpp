#include "zrChangeListSelectionDialog.h"

#include "FakeDataControl.h"
#include "ModalDriver.h"
#include "qfilelistwidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

using Dialog = zrChangeListSelectionDialog;

const std::set<std::string> kFiles = {"/depot/b.qor", "/depot/a.qor", "/depot/a.qor"};
constexpr char kThisChangelist[] = "Don't show this dialog again (always use this changelist)";
constexpr char kThisOption[] = "Don't show this dialog again (always use this option)";

template <class T> T* Find(QWidget* dialog, const char* name)
{
    return dialog->findChild<T*>(QLatin1String(name));
}

QStringList ComboTexts(QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

class ChangeListDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        control.Add("12", "Fix lights");
        control.Add("14", "Rework terrain");
    }

    std::unique_ptr<Dialog> Make(bool selectChangeList, QString assets = QString(), bool showFiles = false)
    {
        return std::make_unique<Dialog>(qor4::QORPtr<qor4::IDataControl>(&control), assets, kFiles, showFiles,
                                        selectChangeList, nullptr);
    }

    static int Run(Dialog& dialog, ModalDriver::Action action)
    {
        ModalDriver driver;
        driver.AnswerNext(std::move(action));
        const int result = dialog.exec();
        EXPECT_EQ(driver.Pending(), 0u);
        return result;
    }

    FakeDataControl control;
};

} // namespace

TEST_F(ChangeListDialogTest, ChangeListModeListsPendingChangeListsWithDefaultSelected)
{
    auto dialog = Make(true);
    EXPECT_EQ(dialog->windowTitle(), "Select Pending ChangeList");
    auto* combo = Find<QComboBox>(dialog.get(), "changeListCombo");
    auto* description = Find<QTextEdit>(dialog.get(), "descriptionEdit");
    ASSERT_TRUE(combo && description);
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default", "12 Fix lights", "14 Rework terrain"}));
    EXPECT_FALSE(combo->itemData(0).isValid());
    EXPECT_FALSE(combo->itemData(1).isValid());
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(description->isEnabled());
    EXPECT_FALSE(description->isReadOnly());
    EXPECT_TRUE(description->toPlainText().isEmpty());
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "refreshButton"));
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "checkOutButton")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "checkOutButton")->isDefault());
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "continueButton")->isHidden());
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "makeWritableButton")->isHidden());
    EXPECT_TRUE(Find<QLabel>(dialog.get(), "messageLabel")->isHidden());
    EXPECT_EQ(Find<QCheckBox>(dialog.get(), "dontShowAgainCheckBox")->text(), kThisChangelist);
    EXPECT_FALSE(dialog->isDontShowAgainChecked());
}

TEST_F(ChangeListDialogTest, DescriptionBoxFollowsTheChoice)
{
    control.Add("20", std::string(120, 'x') + " tail");
    auto dialog = Make(true);
    auto* combo = Find<QComboBox>(dialog.get(), "changeListCombo");
    auto* description = Find<QTextEdit>(dialog.get(), "descriptionEdit");

    combo->setCurrentIndex(0);
    EXPECT_TRUE(description->isEnabled());
    EXPECT_FALSE(description->isReadOnly());
    EXPECT_TRUE(description->toPlainText().isEmpty());

    combo->setCurrentIndex(3);
    EXPECT_TRUE(description->isEnabled());
    EXPECT_TRUE(description->isReadOnly());
    EXPECT_EQ(description->toPlainText(), "Rework terrain");

    // The long entry is cut, its full description is still shown.
    combo->setCurrentIndex(4);
    EXPECT_EQ(combo->itemText(4).toUtf8().size(), 80);
    EXPECT_EQ(description->toPlainText(), QString(120, 'x') + " tail");

    combo->setCurrentIndex(1);
    EXPECT_FALSE(description->isEnabled());
    EXPECT_TRUE(description->toPlainText().isEmpty());
}

TEST_F(ChangeListDialogTest, ChoosingAListedChangeListGivesItsNumberAlone)
{
    auto dialog = Make(true);
    const int result = Run(*dialog, [](QWidget* modal) {
        Find<QComboBox>(modal, "changeListCombo")->setCurrentIndex(3);
        Find<QCheckBox>(modal, "dontShowAgainCheckBox")->setChecked(true);
        Find<QPushButton>(modal, "checkOutButton")->click();
    });
    EXPECT_EQ(result, Dialog::ResultCheckOut);
    EXPECT_EQ(dialog->getChangeList(), "14");
    EXPECT_TRUE(dialog->isDontShowAgainChecked());
}

TEST_F(ChangeListDialogTest, DefaultGivesAnEmptyChangeList)
{
    auto dialog = Make(true);
    const int result = Run(*dialog, [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(result, Dialog::ResultCheckOut);
    EXPECT_EQ(dialog->getChangeList(), "");
}

TEST_F(ChangeListDialogTest, NewCreatesAChangeListWithTheTypedDescription)
{
    auto dialog = Make(true);
    const int result = Run(*dialog, [](QWidget* modal) {
        Find<QComboBox>(modal, "changeListCombo")->setCurrentIndex(0);
        QTest::keyClicks(Find<QTextEdit>(modal, "descriptionEdit"), "New lights");
        Find<QPushButton>(modal, "checkOutButton")->click();
    });
    EXPECT_EQ(result, Dialog::ResultCheckOut);
    EXPECT_EQ(control.createdDescriptions, std::vector<std::string>{"New lights"});
    EXPECT_EQ(dialog->getChangeList(), "100");
}

TEST_F(ChangeListDialogTest, FailedCreationKeepsTheDialogOpenUntilItSucceeds)
{
    control.failCreating = true;
    auto dialog = Make(true);
    bool stayedOpen = false;
    const int result = Run(*dialog, [&](QWidget* modal) {
        Find<QComboBox>(modal, "changeListCombo")->setCurrentIndex(0);
        // An empty description is not checked by the dialog; the service decides.
        Find<QPushButton>(modal, "checkOutButton")->click();
        QApplication::processEvents();
        stayedOpen = modal->isVisible() && QApplication::activeModalWidget() == modal;
        control.failCreating = false;
        Find<QPushButton>(modal, "checkOutButton")->click();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(result, Dialog::ResultCheckOut);
    EXPECT_EQ(control.createdDescriptions, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(dialog->getChangeList(), "100");
}

TEST_F(ChangeListDialogTest, ListingFailureLeavesNewAndDefault)
{
    control.failListing = true;
    auto dialog = Make(true);
    auto* combo = Find<QComboBox>(dialog.get(), "changeListCombo");
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default"}));
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(ChangeListDialogTest, DescriptionFailureStopsTheWalkAndRefreshAsksAgain)
{
    control.Add("15", "Later");
    control.failDescribing = "14";
    auto dialog = Make(true);
    auto* combo = Find<QComboBox>(dialog.get(), "changeListCombo");
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default", "12 Fix lights"}));

    control.failDescribing.clear();
    combo->setCurrentIndex(2);
    Find<QPushButton>(dialog.get(), "refreshButton")->click();
    EXPECT_EQ(control.listCalls, 2);
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default", "12 Fix lights", "14 Rework terrain", "15 Later"}));
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(ChangeListDialogTest, OtherModeHasNoChangeListPartsAndCannotCheckOut)
{
    auto dialog = Make(false);
    EXPECT_EQ(dialog->windowTitle(), "Read-Only Assets");
    EXPECT_FALSE(Find<QComboBox>(dialog.get(), "changeListCombo"));
    EXPECT_FALSE(Find<QTextEdit>(dialog.get(), "descriptionEdit"));
    EXPECT_FALSE(Find<QPushButton>(dialog.get(), "refreshButton"));
    EXPECT_FALSE(Find<QPushButton>(dialog.get(), "checkOutButton")->isEnabled());
    EXPECT_EQ(control.listCalls, 0);

    EXPECT_EQ(Run(*dialog, [](QWidget* modal) { Find<QPushButton>(modal, "cancelButton")->click(); }),
              Dialog::ResultCancel);
    EXPECT_EQ(Run(*dialog, [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }), Dialog::ResultCancel);
    EXPECT_EQ(Run(*dialog, [](QWidget* modal) { modal->close(); }), Dialog::ResultCancel);
    // Return reaches the disabled default button and does nothing; Escape then ends the run.
    EXPECT_EQ(Run(*dialog,
                  [](QWidget* modal) {
                      QTest::keyClick(modal, Qt::Key_Return);
                      QTest::keyClick(modal, Qt::Key_Escape);
                  }),
              Dialog::ResultCancel);
}

TEST_F(ChangeListDialogTest, ContinueAndMakeWritableEndWithTheirResults)
{
    auto dialog = Make(false);
    dialog->setContinueButtonVisible(true);
    dialog->setMakeWritableButtonVisible(true);
    EXPECT_EQ(Find<QCheckBox>(dialog.get(), "dontShowAgainCheckBox")->text(), kThisOption);
    EXPECT_EQ(Run(*dialog, [](QWidget* modal) { Find<QPushButton>(modal, "continueButton")->click(); }),
              Dialog::ResultContinue);
    EXPECT_EQ(Run(*dialog, [](QWidget* modal) { Find<QPushButton>(modal, "makeWritableButton")->click(); }),
              Dialog::ResultMakeWritable);
}

TEST_F(ChangeListDialogTest, LastSetterDecidesTheCheckBoxText)
{
    auto dialog = Make(true);
    auto* box = Find<QCheckBox>(dialog.get(), "dontShowAgainCheckBox");
    dialog->setContinueButtonVisible(true);
    EXPECT_EQ(box->text(), kThisOption);
    dialog->setMakeWritableButtonVisible(false);
    EXPECT_EQ(box->text(), kThisChangelist);
    EXPECT_FALSE(Find<QPushButton>(dialog.get(), "continueButton")->isHidden());
    EXPECT_TRUE(Find<QPushButton>(dialog.get(), "makeWritableButton")->isHidden());
}

TEST_F(ChangeListDialogTest, MessageCheckOutTextAndAssetsArea)
{
    auto plain = Make(false);
    EXPECT_FALSE(Find<QLabel>(plain.get(), "assetsLabel"));
    EXPECT_FALSE(Find<QTextEdit>(plain.get(), "assetsEdit"));

    auto dialog = Make(false, "chair.qor\ntable.qor");
    auto* assets = Find<QTextEdit>(dialog.get(), "assetsEdit");
    ASSERT_TRUE(assets);
    EXPECT_EQ(Find<QLabel>(dialog.get(), "assetsLabel")->text(), "Assets:");
    EXPECT_TRUE(assets->isReadOnly());
    EXPECT_EQ(assets->wordWrapMode(), QTextOption::NoWrap);
    EXPECT_EQ(assets->toPlainText(), "chair.qor\ntable.qor");

    auto* message = Find<QLabel>(dialog.get(), "messageLabel");
    dialog->setMessage("Files are read-only");
    EXPECT_FALSE(message->isHidden());
    EXPECT_EQ(message->text(), "Files are read-only");
    dialog->setMessage("");
    EXPECT_TRUE(message->isHidden());

    dialog->setCheckOutButtonText("Mark for Add");
    EXPECT_EQ(Find<QPushButton>(dialog.get(), "checkOutButton")->text(), "Mark for Add");
}

TEST_F(ChangeListDialogTest, ShowFilesTogglesTheSortedFileList)
{
    auto dialog = Make(false);
    auto* list = Find<QFileListWidget>(dialog.get(), "fileList");
    auto* button = Find<QPushButton>(dialog.get(), "showFilesButton");
    ASSERT_TRUE(list && button);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_TRUE(list->isHidden());
    EXPECT_EQ(button->text(), "Show Files");
    button->click();
    EXPECT_FALSE(list->isHidden());
    EXPECT_EQ(button->text(), "Hide Files");
    button->click();
    EXPECT_TRUE(list->isHidden());
    EXPECT_EQ(button->text(), "Show Files");

    auto shown = Make(false, QString(), true);
    EXPECT_FALSE(Find<QFileListWidget>(shown.get(), "fileList")->isHidden());
    EXPECT_EQ(Find<QPushButton>(shown.get(), "showFilesButton")->text(), "Hide Files");
}

TEST_F(ChangeListDialogTest, HoldsOneReferenceForItsLifetime)
{
    {
        auto dialog = Make(true);
        EXPECT_EQ(control.refCount, 1);
    }
    EXPECT_EQ(control.refCount, 0);
}

TEST_F(ChangeListDialogTest, ExecShowsTheArrowOnlyWhileRunning)
{
    QWidget host;
    host.show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto dialog = Make(false);
    Qt::CursorShape during = Qt::BlankCursor;
    Run(*dialog, [&](QWidget* modal) {
        during = QApplication::overrideCursor()->shape();
        modal->close();
    });
    EXPECT_EQ(during, Qt::ArrowCursor);
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(ChangeListDialogTest, SlotsAreInTheirPublishedOrder)
{
    auto dialog = Make(false);
    const QMetaObject* meta = dialog->metaObject();
    EXPECT_STREQ(meta->className(), "zrChangeListSelectionDialog");
    QStringList signatures;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        EXPECT_EQ(meta->method(i).methodType(), QMetaMethod::Slot);
        EXPECT_EQ(meta->method(i).access(), QMetaMethod::Public);
        signatures << QString::fromLatin1(meta->method(i).methodSignature());
    }
    EXPECT_EQ(signatures,
              (QStringList{"refreshData()", "exec()", "accept()", "reject()", "continueSlot()", "makeWritableSlot()",
                           "showFiles()", "showFilesInExplorer()", "onChangeListChanged(int)"}));
}

TEST(ChangeListLabel, CutsAtEightyBytesOnACharacterBoundary)
{
    EXPECT_EQ(MakeChangeListLabel("7", "two words"), "7 two words");
    const std::string exact = MakeChangeListLabel("7", std::string(78, 'a'));
    EXPECT_EQ(exact.size(), 80u);
    EXPECT_EQ(MakeChangeListLabel("7", std::string(79, 'a')), "7 " + std::string(78, 'a'));
    // "é" is two bytes; at bytes 79 and 80 it would be split, so it goes whole.
    const std::string accented = MakeChangeListLabel("7", std::string(77, 'a') + "\xC3\xA9" + "bc");
    EXPECT_EQ(accented, "7 " + std::string(77, 'a'));
    // A three-byte character starting at byte 78 is dropped whole as well.
    EXPECT_EQ(MakeChangeListLabel("7", std::string(76, 'a') + "\xE2\x82\xAC" + "z"), "7 " + std::string(76, 'a'));
    EXPECT_EQ(MakeChangeListLabel("7", std::string(75, 'a') + "\xE2\x82\xAC" + "z"),
              "7 " + std::string(75, 'a') + "\xE2\x82\xAC");
}

TEST(ChangeListLabel, NameEndsAtBlankControlOrNonAsciiByte)
{
    EXPECT_EQ(ChangeListNameFromLabel("1234 Fix lights"), "1234");
    EXPECT_EQ(ChangeListNameFromLabel("1234\tFix"), "1234");
    EXPECT_EQ(ChangeListNameFromLabel("12\xC3\xA9 x"), "12");
    EXPECT_EQ(ChangeListNameFromLabel("1234"), "1234");
    EXPECT_EQ(ChangeListNameFromLabel(" 1234"), "");
}
