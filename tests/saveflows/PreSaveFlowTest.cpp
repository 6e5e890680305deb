// The save of an item library with read-only assets, end to end: the plug-in's pre-save hook
// against the stand-in server, with real workspace files and dialogs answered by the test.
#include "FlowFixture.h"
#include "PluginTranslator.h"

#include <QLocale>

#include <algorithm>

namespace {

using qor4::FileStatus::kCheckedOut;

const QString kPreSaveTitle = QStringLiteral("Check Out Before Saving");

bool Wrote(const standin::SaveResult& result, const std::string& file)
{
    return std::find(result.writtenFiles.begin(), result.writtenFiles.end(), file) != result.writtenFiles.end();
}

class PreSaveFlowTest : public FlowFixture {};

TEST_F(PreSaveFlowTest, NothingReadOnlyShowsNothingAndCancelInTheDialogVetoesStoringNothingInEnglishOrGerman)
{
    standin::DbObject* clean = AddCheckedInAsset("rock");
    const int writes = Prefs().WriteCount();
    const standin::SaveResult nothingDirty = Library().Save();
    EXPECT_TRUE(nothingDirty.Succeeded());
    EXPECT_TRUE(nothingDirty.writtenFiles.empty());

    standin::DbObject* writable = AddLocalAsset("tree");
    Touch(writable);
    const standin::SaveResult onlyWritable = Library().Save();
    EXPECT_TRUE(onlyWritable.Succeeded());
    EXPECT_TRUE(Wrote(onlyWritable, writable->GetAssetFile()));

    EXPECT_TRUE(Modal().Seen().empty());
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).empty());
    EXPECT_TRUE(StateOf(clean->GetAssetFile()).readOnly);

    // A read-only one asks; Cancel vetoes the save and stores nothing.
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero");
    const std::string before = ContentOf(asset->GetAssetFile());
    AnswerDialog(DialogButton::Cancel);

    EXPECT_TRUE(Library().Save().vetoed);

    ASSERT_EQ(Dialogs().size(), 1u);
    const DialogView& dialog = Dialogs()[0];
    EXPECT_EQ(dialog.title, kPreSaveTitle);
    EXPECT_EQ(dialog.message, QStringLiteral("Some of the files of the following assets are read-only\nPlease select "
                                             "an option before saving continues"));
    EXPECT_EQ(dialog.assetsText, QStringLiteral("hero\n"));
    EXPECT_EQ(dialog.files, QStringList{QString::fromStdString(asset->GetAssetFile())});
    EXPECT_TRUE(dialog.makeWritableVisible);
    EXPECT_FALSE(dialog.continueVisible);
    EXPECT_EQ(dialog.dontShowAgainText, QStringLiteral("Don't show this dialog again (always use this option)"));
    EXPECT_EQ(Prefs().WriteCount(), writes);
    ExpectStates({asset->GetAssetFile()}, {true, true, 0, ""});
    EXPECT_EQ(ContentOf(asset->GetAssetFile()), before);

    // The vetoed asset is still dirty: the next save asks again, under a German locale in German.
    ASSERT_TRUE(PluginTranslator::Install(QLocale(QLocale::German, QLocale::Germany)));
    AnswerDialog(DialogButton::Cancel);
    EXPECT_TRUE(Library().Save().vetoed);
    PluginTranslator::Remove();
    ASSERT_EQ(Dialogs().size(), 2u);
    EXPECT_EQ(Dialogs()[1].title, QStringLiteral("Vor dem Speichern auschecken"));
    EXPECT_EQ(Dialogs()[1].message, QStringLiteral("Einige Dateien der folgenden Assets sind schreibgeschützt\nBitte "
                                                   "wählen Sie eine Option, bevor das Speichern fortgesetzt wird"));
    EXPECT_EQ(
        Dialogs()[1].shownButtons,
        (QStringList{QStringLiteral("Dateien anzeigen"), QStringLiteral("Aktualisieren"), QStringLiteral("Auschecken"),
                     QStringLiteral("Beschreibbar machen"), QStringLiteral("Abbrechen")}));
    // Without a translation for the language the texts stay as they are, also after another one.
    ASSERT_TRUE(PluginTranslator::Install(QLocale(QLocale::German, QLocale::Germany)));
    EXPECT_FALSE(PluginTranslator::Install(QLocale(QLocale::French, QLocale::France)));
    EXPECT_EQ(QCoreApplication::translate("CRevisionControlUIHelper", "Check Out Before Saving"), kPreSaveTitle);
    PluginTranslator::Remove();
}

TEST_F(PreSaveFlowTest, CheckOutWithRememberStoresTheChoiceAndSavesIntoTheChangeList)
{
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero", 1);
    const std::string changeList = CreateChangeList("level fixes");
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    AnswerDialog(DialogButton::CheckOut, changeList, true);

    const standin::SaveResult result = Library().Save();

    ASSERT_TRUE(result.Succeeded());
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].assetsText, QStringLiteral("hero (with External: hero_1.tex)\n"));
    ExpectStates(FilesOf(asset), CheckedOutIn(changeList));
    for (const std::string& file : FilesOf(asset))
        EXPECT_TRUE(Wrote(result, file)) << file;
    EXPECT_EQ(StoredAction(), Props::kCheckOut);
    EXPECT_EQ(StoredChangeList(), changeList);
    EXPECT_FALSE(StoredPrompt());

    // The next save uses the remembered choice without asking.
    standin::DbObject* other = AddDirtyCheckedInAsset("villain");
    ASSERT_TRUE(Library().Save().Succeeded());
    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(StateOf(other->GetAssetFile()).changeList, changeList);
}

TEST_F(PreSaveFlowTest, RememberedChangeListThatVanishedStoresPromptAndAsks)
{
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero");
    standin::DbObject* submitted = AddCheckedInAsset("props");
    const std::string vanished = CreateChangeList("done already");
    CheckOutByHand({submitted->GetAssetFile()}, vanished);
    ASSERT_TRUE(Server().Submit(CurrentSession(), vanished).Succeeded());
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kCheckOut);
    Properties().SetChangeListToUseWhenAutoCheckingOut(vanished);
    AnswerDialog(DialogButton::CheckOut);

    ASSERT_TRUE(Library().Save().Succeeded());
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(StoredAction(), Props::kPrompt);
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
}

// Assets with external files are checked out as one group, the others as a second. The prompt after a
// failure lists only the group that failed; when the first group fails, the second is not tried.
class PreSaveGroupTest : public FlowFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(PreSaveGroupTest, AFailedGroupIsAskedAboutAgainAndAfterAFailedFirstGroupTheSecondIsNotTried)
{
    const bool firstFails = GetParam();
    standin::DbObject* withExternal = AddDirtyCheckedInAsset("hero", 1);
    standin::DbObject* plain = AddDirtyCheckedInAsset("villain");
    LockAs(kOtherUser, firstFails ? withExternal : plain);
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Ok);
    AnswerDialog(DialogButton::Cancel);

    EXPECT_TRUE(Library().Save().vetoed);

    if (firstFails) {
        EXPECT_EQ(ServerCallsOf(standin::ServerOp::kEdit).size(), 1u);
        ExpectStates({plain->GetAssetFile()}, {true, true, 0, ""});
        return;
    }
    ASSERT_EQ(Dialogs().size(), 2u);
    std::vector<std::string> both = FilesOf(withExternal);
    both.push_back(plain->GetAssetFile());
    EXPECT_EQ(SortedLines(both).c_str(), Dialogs()[0].files.join('\n') + '\n');
    EXPECT_EQ(Dialogs()[1].files, QStringList{QString::fromStdString(plain->GetAssetFile())});
    EXPECT_EQ(Dialogs()[1].assetsText, Dialogs()[0].assetsText);
    EXPECT_TRUE(Dialogs()[1].assetsText.contains(QStringLiteral("villain\n")));
    EXPECT_TRUE(Dialogs()[1].assetsText.contains(QStringLiteral("hero (with External: hero_1.tex)\n")));

    const std::vector<ModalDriver::Window> errors = CheckoutErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.startsWith(QStringLiteral("Cannot checkout the assets\n")));
    EXPECT_EQ(errors[0].icon, QMessageBox::Critical);
    EXPECT_EQ(errors[0].buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(errors[0].sizeGrip);

    ExpectStates(FilesOf(withExternal), CheckedOutIn(""));
    EXPECT_TRUE(StateOf(plain->GetAssetFile()).readOnly);
    EXPECT_EQ(StateOf(plain->GetAssetFile()).status & kCheckedOut, 0u);
}

INSTANTIATE_TEST_SUITE_P(FailingGroup, PreSaveGroupTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "First" : "Second"; });

// Make Writable clears the read-only bits of every file of the asset without opening any, and is not
// remembered.
TEST_F(PreSaveFlowTest, FailedCheckOutAskedAgainCanThenMakeTheFilesWritable)
{
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero", 1);
    SubmitAs(kOtherUser, asset);
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Ok);
    AnswerDialog(DialogButton::MakeWritable);

    const standin::SaveResult result = Library().Save();

    ASSERT_TRUE(result.Succeeded());
    const std::vector<ModalDriver::Window> errors = CheckoutErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].text.contains(QStringLiteral("not at the head revision")));
    EXPECT_TRUE(errors[0].detailedText.startsWith(QStringLiteral("Files:\n")));
    for (const std::string& file : FilesOf(asset)) {
        EXPECT_TRUE(Wrote(result, file)) << file;
        const FileState state = StateOf(file);
        EXPECT_FALSE(state.readOnly) << file;
        EXPECT_EQ(state.status & (kCheckedOut | qor4::FileStatus::kLockedByMe), 0u) << file;
    }
    EXPECT_EQ(StoredAction(), Props::kPrompt);
}

TEST_F(PreSaveFlowTest, SessionThatStaysExpiredAsksAgainWithoutAnErrorBox)
{
    AddDirtyCheckedInAsset("hero");
    ExpireSession("secret");
    AnswerDialog(DialogButton::CheckOut);
    Modal().RejectNext(); // the password dialog
    AnswerDialog(DialogButton::Cancel);

    EXPECT_TRUE(Library().Save().vetoed);

    EXPECT_EQ(Dialogs().size(), 2u);
    EXPECT_TRUE(CheckoutErrors().empty());
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).size() <= 1u);
}

TEST_F(PreSaveFlowTest, WithoutWindowsStoredActionsThatNeedNoQuestionSaveAndTheOthersVeto)
{
    WithoutWindows();
    const struct {
        const char* name;
        Props::ActionWhenEditingReadOnlyAsset action;
        bool revisionControl;
        bool makeWritableFails;
        bool vetoed;
        FileState after;
    } cases[] = {
        {"prompt checks out into the default changelist", Props::kPrompt, true, false, false, CheckedOutIn("")},
        {"make writable", Props::kMakeWritable, true, false, false, {true, false, 0, ""}},
        // The failure is not logged: the save goes on, and its writer meets the read-only file.
        {"make writable that fails", Props::kMakeWritable, true, true, false, {true, true, 0, ""}},
        // Vetoed saves leave their assets dirty, so these come last.
        {"continue needs a question", Props::kContinue, true, false, true, {true, true, 0, ""}},
        {"prompt without revision control", Props::kPrompt, false, false, true, {true, true, 0, ""}},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "asset" + std::to_string(++index);
        standin::DbObject* asset = AddDirtyCheckedInAsset(name, 1);
        Properties().SetActionWhenEditingReadOnlyAsset(c.action);
        Properties().SetUseSourceDataControl(c.revisionControl);
        if (c.makeWritableFails)
            Server().FailAlways(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "disk full\n");

        const standin::SaveResult result = Library().Save();
        Server().ClearFaults();

        EXPECT_EQ(result.vetoed, c.vetoed);
        ExpectStates(FilesOf(asset), c.after);
        const bool written = !c.vetoed && !c.makeWritableFails;
        for (const std::string& file : FilesOf(asset))
            EXPECT_EQ(Wrote(result, file), written) << file;
        EXPECT_EQ(result.failures.size(), c.makeWritableFails ? 1u : 0u);
        if (c.makeWritableFails && !result.failures.empty()) {
            EXPECT_EQ(result.failures[0].asset, name);
        }
        EXPECT_TRUE(Log().Entries().empty());
    }
}

TEST_F(PreSaveFlowTest, WithoutWindowsACheckOutFailureIsLoggedAndVetoesTheSave)
{
    WithoutWindows();
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero");
    LockAs(kOtherUser, asset);

    const standin::SaveResult result = Library().Save();

    EXPECT_TRUE(result.vetoed);
    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Cannot checkout the assets\n", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find(kOtherUser), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("\nDetails:\nFiles:\n" + asset->GetAssetFile() + "\n"), std::string::npos) << errors[0];
    EXPECT_TRUE(StateOf(asset->GetAssetFile()).readOnly);
}

} // namespace
