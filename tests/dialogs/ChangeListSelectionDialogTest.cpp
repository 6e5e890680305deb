#include "zrChangeListSelectionDialog.h"

#include "DialogTestSupport.h"
#include "HostFixture.h"
#include "PlainTextCheck.h"
#include "qfilelistwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTextEdit>

namespace {

using Dialog = zrChangeListSelectionDialog;

const std::set<std::string> kFiles = {"/depot/b.qor", "/depot/a.qor", "/depot/a.qor"};

QStringList ComboTexts(QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Against the stand-in's real data control and server: pending changelists are Subversion's.
class ChangeListDialogTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        fixLights = Create("Fix lights");
        terrain = Create("Rework terrain");
    }

    std::string Create(const std::string& description)
    {
        std::string name, message;
        EXPECT_TRUE(Control().CreateChangeList(description, name, message).Succeeded()) << message;
        return name;
    }
    QString Entry(const std::string& name, const std::string& description) const
    {
        return QString::fromStdString(name + " " + description);
    }
    std::size_t Listings()
    {
        std::size_t count = 0;
        for (const standin::RecordedCall& call : ServerRecord().Calls())
            count += call.operation == standin::ServerOp::kPendingChangeLists;
        return count;
    }

    std::unique_ptr<Dialog> Make(bool selectChangeList, QString assets = QString(), bool showFiles = false)
    {
        ServerRecord().ClearCalls();
        return std::make_unique<Dialog>(ControlPtr(), assets, kFiles, showFiles, selectChangeList, nullptr);
    }
    static QComboBox* Combo(QWidget* dialog) { return Find<QComboBox>(dialog, "changeListCombo"); }
    static QTextEdit* Description(QWidget* dialog) { return Find<QTextEdit>(dialog, "descriptionEdit"); }

    std::string fixLights;
    std::string terrain;
};

} // namespace

TEST_F(ChangeListDialogTest, ChangeListModeOpensOnDefaultTheDescriptionFollowsTheChoiceOutsideTextsStandAsTheyAre)
{
    const std::string longDescription = std::string(120, 'x') + " tail";
    Create(longDescription);
    const std::string hostile = kHostileText.toStdString();
    const std::string named = Create(hostile);
    auto dialog = Make(true, kHostileText);
    QComboBox* combo = Combo(dialog.get());
    QTextEdit* description = Description(dialog.get());
    ASSERT_TRUE(combo && description && Find(dialog.get(), "refreshButton"));
    EXPECT_EQ(ComboTexts(combo).mid(0, 4),
              (QStringList{"New", "Default", Entry(fixLights, "Fix lights"), Entry(terrain, "Rework terrain")}));
    EXPECT_TRUE(Find(dialog.get(), "checkOutButton")->isEnabled() && Find(dialog.get(), "checkOutButton")->isDefault());
    EXPECT_TRUE(Find<QLabel>(dialog.get(), "messageLabel")->isHidden());
    EXPECT_FALSE(dialog->isDontShowAgainChecked());
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_TRUE(!description->isEnabled() && !description->isReadOnly() && description->toPlainText().isEmpty());

    // Each choice sets the box whole, whatever the one before it was.
    combo->setCurrentIndex(3);
    EXPECT_TRUE(description->isEnabled() && description->isReadOnly());
    EXPECT_EQ(description->toPlainText(), "Rework terrain");
    // The long entry is cut at 80 bytes; its full description is still shown.
    combo->setCurrentIndex(4);
    EXPECT_EQ(combo->itemText(4).toUtf8().size(), 80);
    EXPECT_EQ(description->toPlainText(), QString::fromStdString(longDescription));
    combo->setCurrentIndex(0);
    EXPECT_TRUE(description->isEnabled() && !description->isReadOnly() && description->toPlainText().isEmpty());
    combo->setCurrentIndex(3);
    combo->setCurrentIndex(1);
    EXPECT_TRUE(!description->isEnabled() && !description->isReadOnly() && description->toPlainText().isEmpty());

    // Asset names in the list, the caller's message, a changelist's description.
    dialog->setMessage(kHostileText);
    dialog->show();
    QApplication::processEvents();
    ExpectEditShowsLiterally(Find<QTextEdit>(dialog.get(), "assetsEdit"), kHostileText);
    ExpectLabelShowsLiterally(Find<QLabel>(dialog.get(), "messageLabel"));
    combo->setCurrentIndex(combo->findText(QString::fromStdString(MakeChangeListLabel(named, hostile))));
    ASSERT_GE(combo->currentIndex(), Dialog::FirstChangeListIndex);
    ExpectEditShowsLiterally(description, kHostileText);
    dialog->hide();
}

TEST_F(ChangeListDialogTest, NewCreatesAChangeListAndAFailureKeepsTheDialogOpenWithTheReasonLoggedAtOnce)
{
    auto dialog = Make(true);
    Server().FailNext(standin::ServerOp::kCreateChangeList, standin::ServerCode::kServerError,
                      (kHostileText + "\n").toStdString());
    const std::vector<std::string> logged{"The new changelist could not be created: " + kHostileText.toStdString() +
                                          "\n"};
    const int result = RunModal(*dialog, [&](QWidget* modal) {
        const int labels = modal->findChildren<QLabel*>().size();
        Combo(modal)->setCurrentIndex(0);
        // An empty description is not checked by the dialog; the service decides.
        Find(modal, "checkOutButton")->click();
        QApplication::processEvents();
        // The dialog stays as it was; the host's log has the reason while it is still open.
        EXPECT_TRUE(modal->isVisible() && QApplication::activeModalWidget() == modal);
        EXPECT_EQ(modal->findChildren<QLabel*>().size(), labels);
        EXPECT_EQ(LogTexts(Log::MsgType::Error), logged);
        QTest::keyClicks(Description(modal), "New lights");
        Find(modal, "checkOutButton")->click();
    });
    EXPECT_EQ(result, Dialog::ResultCheckOut);
    ASSERT_FALSE(dialog->getChangeList().empty());
    std::string description, message;
    ASSERT_TRUE(Control().GetChangeListDescription(dialog->getChangeList(), description, message).Succeeded());
    EXPECT_EQ(description, "New lights");
    EXPECT_EQ(LogTexts(Log::MsgType::Error), logged);
}

TEST_F(ChangeListDialogTest, ADamagedChangeListFileIsLoggedAtOnceAndLeftAsItIs)
{
    const QString path = QString::fromStdString(Sandbox().WorkingCopy(kUser)) + "/.svn/zr-changelists.json";
    for (const QByteArray& damaged : {QByteArray("not json"), QByteArray("{\"next\": 1000000000, \"pending\": []}")}) {
        SCOPED_TRACE(damaged.toStdString());
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(damaged);
        }
        Log().Clear();
        auto dialog = Make(true);
        const int result = RunModal(*dialog, [&](QWidget* modal) {
            Combo(modal)->setCurrentIndex(0);
            Find(modal, "checkOutButton")->click();
            EXPECT_TRUE(modal->isVisible() && QApplication::activeModalWidget() == modal);
            const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
            ASSERT_FALSE(errors.empty());
            EXPECT_NE(errors.back().find("damaged"), std::string::npos) << errors.back();
            EXPECT_NE(errors.back().find(path.toStdString()), std::string::npos) << errors.back();
            Find(modal, "cancelButton")->click();
        });
        EXPECT_EQ(result, Dialog::ResultCancel);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), damaged);
    }
}

TEST_F(ChangeListDialogTest, ListingFailuresAndRefresh)
{
    Server().FailNext(standin::ServerOp::kPendingChangeLists, standin::ServerCode::kServerError, "listing failed\n");
    EXPECT_EQ(ComboTexts(Combo(Make(true).get())), (QStringList{"New", "Default"}));
    EXPECT_EQ(LogTexts(Log::MsgType::Error),
              std::vector<std::string>{"The pending changelists could not be listed: listing failed\n"});

    // A description failure stops the walk; refreshing asks again and returns to Default.
    const std::string later = Create("Later");
    auto dialog = Make(true);
    Server().FailNext(standin::ServerOp::kChangeListDescription, standin::ServerCode::kServerError, "gone\n");
    QComboBox* combo = Combo(dialog.get());
    Find(dialog.get(), "refreshButton")->click();
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default"}));
    combo->setCurrentIndex(0);
    Find(dialog.get(), "refreshButton")->click();
    EXPECT_EQ(Listings(), 3u);
    EXPECT_EQ(ComboTexts(combo), (QStringList{"New", "Default", Entry(fixLights, "Fix lights"),
                                              Entry(terrain, "Rework terrain"), Entry(later, "Later")}));
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(ChangeListDialogTest, OtherModeCannotCheckOutShowsTheCallersTextsAndEveryWayOutCancels)
{
    auto plain = Make(false);
    EXPECT_EQ(plain->windowTitle(), "Read-Only Assets");
    const QMetaObject* meta = plain->metaObject();
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
    EXPECT_FALSE(Combo(plain.get()) || Description(plain.get()) || Find(plain.get(), "refreshButton"));
    EXPECT_FALSE(Find<QLabel>(plain.get(), "assetsLabel") || Find<QTextEdit>(plain.get(), "assetsEdit"));
    EXPECT_FALSE(Find(plain.get(), "checkOutButton")->isEnabled());
    EXPECT_EQ(Listings(), 0u);

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

    const std::vector<ModalDriver::Action> ways = {
        [](QWidget* modal) { Find(modal, "cancelButton")->click(); },
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }, [](QWidget* modal) { modal->close(); },
        // Return reaches the disabled default button and does nothing; Escape then ends the run.
        [](QWidget* modal) {
            QTest::keyClick(modal, Qt::Key_Return);
            QTest::keyClick(modal, Qt::Key_Escape);
        }};
    // Over a busy host the arrow shows only while the dialog runs.
    QWidget host;
    host.show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const auto& way : ways) {
        EXPECT_EQ(RunModal(*plain,
                           [&way](QWidget* modal) {
                               EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
                               way(modal);
                           }),
                  Dialog::ResultCancel);
        ASSERT_TRUE(QApplication::overrideCursor());
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QApplication::restoreOverrideCursor();
    EXPECT_FALSE(QApplication::overrideCursor());
}

// Whether the layout, or one nested in it, places the widget.
bool Places(const QLayout* layout, const QWidget* widget)
{
    for (int i = 0; layout && i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget || Places(item->layout(), widget)) return true;
    }
    return false;
}

TEST_F(ChangeListDialogTest, EveryControlHasItsPlaceRefreshStandsApartAndShowFilesTogglesTheList)
{
    const std::pair<bool, bool> modes[] = {{true, false}, {false, false}, {false, true}};
    for (const auto& [selectChangeList, showFiles] : modes) {
        SCOPED_TRACE(testing::Message() << selectChangeList << showFiles);
        auto dialog = Make(selectChangeList, QStringLiteral("hero"), showFiles);
        // A widget that is only a child would sit in the corner over the others.
        for (QWidget* control : dialog->findChildren<QWidget*>()) {
            const bool placed = qobject_cast<QPushButton*>(control) || qobject_cast<QLabel*>(control) ||
                                qobject_cast<QComboBox*>(control) || qobject_cast<QCheckBox*>(control) ||
                                qobject_cast<QTextEdit*>(control);
            if (placed && control->parentWidget() == dialog.get()) {
                EXPECT_TRUE(Places(dialog->layout(), control)) << control->objectName().toStdString();
            }
        }
        auto* list = Find<QFileListWidget>(dialog.get(), "fileList");
        QPushButton* button = Find(dialog.get(), "showFilesButton");
        ASSERT_TRUE(list && button);
        EXPECT_TRUE(Places(dialog->layout(), button)) << "the button has its row in the dialog";
        EXPECT_TRUE(Places(dialog->layout(), list));
        EXPECT_EQ(list->topLevelItemCount(), 2);
        for (bool shown : {showFiles, !showFiles, showFiles}) {
            EXPECT_EQ(list->isHidden(), !shown);
            EXPECT_EQ(button->text(), shown ? "Hide Files" : "Show Files");
            button->click();
        }
        if (!selectChangeList) continue;
        dialog->show();
        QApplication::processEvents();
        const QRect refresh = Find(dialog.get(), "refreshButton")->geometry();
        const QRect checkOut = Find(dialog.get(), "checkOutButton")->geometry();
        const QRect cancel = Find(dialog.get(), "cancelButton")->geometry();
        EXPECT_EQ(refresh.top(), checkOut.top());
        EXPECT_LT(checkOut.right(), cancel.left());
        EXPECT_GT(checkOut.left() - refresh.right(), 2 * (cancel.left() - checkOut.right()));
        dialog->hide();
    }
}

TEST(ChangeListLabel, CutsAtEightyBytesOnACharacterBoundaryAndNameEndsAtTheFirstOddByte)
{
    const std::string a75(75, 'a');
    const std::pair<std::string, std::string> labels[] = {
        {"two words", "7 two words"},
        {std::string(78, 'a'), "7 " + std::string(78, 'a')},
        {std::string(79, 'a'), "7 " + std::string(78, 'a')},
        // A multi-byte character that would be split at byte 80 goes whole.
        {std::string(77, 'a') + "\xC3\xA9" + "bc", "7 " + std::string(77, 'a')},
        {a75 + "a\xE2\x82\xAC" + "z", "7 " + a75 + "a"},
        {a75 + "\xE2\x82\xAC" + "z", "7 " + a75 + "\xE2\x82\xAC"},
    };
    for (const auto& [description, label] : labels)
        EXPECT_EQ(MakeChangeListLabel("7", description), label);
    // A name that is not UTF-8 at all (continuation bytes only) is cut, never read before its start.
    EXPECT_EQ(MakeChangeListLabel(std::string(100, '\x80'), "x"), "");

    const std::pair<std::string, std::string> names[] = {
        {"1234 Fix lights", "1234"}, {"1234\tFix", "1234"}, {"12\xC3\xA9 x", "12"}, {"1234", "1234"}, {" 1234", ""}};
    for (const auto& [label, name] : names)
        EXPECT_EQ(ChangeListNameFromLabel(label), name) << label;
}
