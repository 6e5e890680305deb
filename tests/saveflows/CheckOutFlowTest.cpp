// Check-out on the host's request (CheckOutObjects) and before an edit of read-only assets
// (PromptCheckOutObjects), end to end against the stand-in server.
#include "FlowFixture.h"
#include "datamodel/ModelAssetFiles.h"

namespace {

using qor4::FileStatus::kCheckedOut;

constexpr const char* kEditMessage = "These assets are read-only";
const QString kThisOption = QStringLiteral("Don't show this dialog again (always use this option)");
const QString kThisChangeList = QStringLiteral("Don't show this dialog again (always use this changelist)");

class CheckOutObjectsTest : public FlowFixture {};

// Enter answers Retry, the box's default; Escape answers OK, as the box's other button is Retry.
TEST_F(CheckOutObjectsTest, AFailureIsRetriedOnEnterOrDismissedWithEscapeAndTheRestAreStillTried)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    standin::DbObject* third = AddCheckedInAsset("third");
    Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, "depot busy\n");
    LockAs(kOtherUser, second);
    Modal().KeyNext(Qt::Key_Return);
    Modal().KeyNext(Qt::Key_Escape);

    EXPECT_FALSE(CheckOut({first, second, third}));

    EXPECT_FALSE(wasCancelled);
    const std::vector<ModalDriver::Window> errors = CheckoutErrors();
    ASSERT_EQ(errors.size(), 2u);
    QStringList buttons = errors[1].buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Retry")}));
    EXPECT_TRUE(errors[1].sizeGrip);
    EXPECT_TRUE(errors[1].text.contains(QStringLiteral("locked")));
    EXPECT_TRUE(errors[1].text.contains(QString::fromLatin1(kOtherUser)));
    ExpectStates({first->GetAssetFile(), third->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(StateOf(second->GetAssetFile()).readOnly);
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kEdit).size(), 4u) << "the failed object once more, then the rest";
}

TEST_F(CheckOutObjectsTest, RejectedStoredChangeListAsksAndAValidOneChecksOutWithoutADialog)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetChangeListToUseWhenAutoCheckingOut("404");
    AnswerDialog(DialogButton::CheckOut, "", true);

    EXPECT_TRUE(CheckOut({asset}));

    EXPECT_FALSE(wasCancelled);
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].title, QStringLiteral("Select Pending ChangeList"));
    EXPECT_FALSE(Dialogs()[0].continueVisible);
    EXPECT_FALSE(Dialogs()[0].makeWritableVisible);
    EXPECT_EQ(Dialogs()[0].dontShowAgainText, kThisChangeList);
    EXPECT_EQ(Dialogs()[0].assetsText, QStringLiteral("hero\n"));
    EXPECT_FALSE(StoredPrompt());
    EXPECT_EQ(StoredChangeList(), "");
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));

    // The host's single-object call with a stored changelist that is valid, and an empty list.
    standin::DbObject* other = AddCheckedInAsset("villain", 1);
    const std::string changeList = CreateChangeList("stored");
    Properties().SetChangeListToUseWhenAutoCheckingOut(changeList);
    EXPECT_TRUE(HelperInterface().CheckOutObject(Handle(other), &wasCancelled, true));
    EXPECT_TRUE(Helper().CheckOutObjects({}, nullptr, true));
    EXPECT_EQ(Modal().Seen().size(), 1u);
    ExpectStates(FilesOf(other), CheckedOutIn(changeList));
}

TEST_F(CheckOutObjectsTest, CancelledDialogOrRevisionControlOffCancelsAndChecksOutNothing)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    for (const bool revisionControl : {true, false}) {
        SCOPED_TRACE(revisionControl ? "dialog cancelled" : "revision control off");
        Properties().SetUseSourceDataControl(revisionControl);
        if (revisionControl) AnswerDialog(DialogButton::Cancel);
        ServerRecord().ClearCalls();
        wasCancelled = false;

        EXPECT_FALSE(CheckOut({asset}));

        EXPECT_TRUE(wasCancelled);
        EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).empty());
        if (!revisionControl) {
            EXPECT_TRUE(ServerRecord().Calls().empty());
        }
        EXPECT_TRUE(StateOf(asset->GetAssetFile()).readOnly);
    }
}

// The expired session cannot vouch for the stored changelist, so the dialog asks for one; then the
// password is cancelled for the first asset: the others would fail alike, so none is tried.
TEST_F(CheckOutObjectsTest, AnExpiredSessionWhosePasswordIsCancelledStopsAtTheFirstAssetWithNoErrorBox)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    ExpireSession("changed-secret");
    AnswerDialog(DialogButton::CheckOut);
    Modal().RejectNext();

    EXPECT_FALSE(CheckOut({first, second}));

    EXPECT_FALSE(wasCancelled);
    EXPECT_EQ(Modal().Seen().size(), 2u) << "the changelist dialog, then the password dialog once";
    for (const standin::DbObject* asset : {first, second})
        EXPECT_TRUE(standin::IsReadOnlyOnDisk(asset->GetAssetFile()));
}

class PromptCheckOutObjectsTest : public FlowFixture {
protected:
    bool Prompt(const std::vector<standin::DbObject*>& objects, bool allowMakeWritable = true)
    {
        return Helper().PromptCheckOutObjects(Handles(objects), false, allowMakeWritable, kEditMessage);
    }
};

TEST_F(PromptCheckOutObjectsTest, DialogOffersEveryAnswerAndChecksOutWithRelatedObjectsIntoTheChosenChangeList)
{
    standin::DbObject* hero = AddCheckedInAsset("hero");
    standin::DbObject* rig = AddCheckedInAsset("rig");
    hero->AddRelatedObject(rig);
    const std::string changeList = CreateChangeList("edit");
    AnswerDialog(DialogButton::CheckOut, changeList);

    EXPECT_TRUE(Prompt({hero}));

    ASSERT_EQ(Dialogs().size(), 1u);
    const DialogView& dialog = Dialogs()[0];
    EXPECT_EQ(dialog.title, QStringLiteral("Check Out"));
    EXPECT_EQ(dialog.message, QString::fromLatin1(kEditMessage));
    EXPECT_EQ(dialog.assetsText, QStringLiteral("hero\nrig\n"));
    EXPECT_EQ(dialog.files,
              (QStringList{QString::fromStdString(hero->GetAssetFile()), QString::fromStdString(rig->GetAssetFile())}));
    EXPECT_TRUE(dialog.continueVisible);
    EXPECT_TRUE(dialog.makeWritableVisible);
    EXPECT_EQ(dialog.dontShowAgainText, kThisOption);
    ExpectStates({hero->GetAssetFile(), rig->GetAssetFile()}, CheckedOutIn(changeList));
    EXPECT_EQ(StoredAction(), Props::kPrompt);
}

TEST_F(PromptCheckOutObjectsTest, ContinueIsAskedAgainOnlyAfterOtherObjectsOrStoredWithTheBox)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* other = AddCheckedInAsset("other");
    AnswerDialog(DialogButton::Continue);
    EXPECT_TRUE(Prompt({first}));
    EXPECT_TRUE(Prompt({first}));
    EXPECT_TRUE(Prompt({first}));
    EXPECT_EQ(Dialogs().size(), 1u);

    AnswerDialog(DialogButton::Cancel);
    EXPECT_FALSE(Prompt({other}));
    AnswerDialog(DialogButton::Continue);
    EXPECT_TRUE(Prompt({first}));
    // Objects with nothing read-only also end the "continued" state.
    EXPECT_TRUE(Prompt({AddLocalAsset("writable")}));
    AnswerDialog(DialogButton::Continue);
    EXPECT_TRUE(Prompt({first}));
    // With revision control off the edit goes on unasked, and the "continued" state ends too.
    Properties().SetUseSourceDataControl(false);
    EXPECT_TRUE(Prompt({first}));
    Properties().SetUseSourceDataControl(true);
    AnswerDialog(DialogButton::Continue);
    EXPECT_TRUE(Prompt({first}));

    EXPECT_EQ(Dialogs().size(), 5u);
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).empty());
    EXPECT_TRUE(StateOf(first->GetAssetFile()).readOnly);
    EXPECT_EQ(StoredAction(), Props::kPrompt);
    // An empty call forgets the continued objects, so the helper holds no handle at tear-down.
    EXPECT_TRUE(Helper().PromptCheckOutObjects({}, false, true, kEditMessage));

    // With the box ticked, Continue is stored and asked no more, for any object.
    AnswerDialog(DialogButton::Continue, "", true);
    EXPECT_TRUE(Prompt({first}));
    EXPECT_EQ(StoredAction(), Props::kContinue);
    EXPECT_TRUE(Prompt({other}));
    EXPECT_EQ(Dialogs().size(), 6u);
    EXPECT_TRUE(StateOf(other->GetAssetFile()).readOnly);
}

TEST_F(PromptCheckOutObjectsTest, RetryRepeatsAFailedCheckOutAndAPositiveStatusFailsWhereOnlyZeroSucceeds)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const std::string changeList = CreateChangeList("retry here");
    Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, "depot busy\n");
    AnswerDialog(DialogButton::CheckOut, changeList);
    Modal().PressNext(QMessageBox::Retry);

    EXPECT_TRUE(Prompt({asset}));

    EXPECT_EQ(Dialogs().size(), 1u);
    const std::vector<ModalDriver::Window> errors = CheckoutErrors();
    ASSERT_EQ(errors.size(), 1u);
    QStringList buttons = errors[0].buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Ignore"), QStringLiteral("Retry")}));
    EXPECT_TRUE(errors[0].sizeGrip);
    const std::vector<standin::RecordedCall> edits = ServerCallsOf(standin::ServerOp::kEdit);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[0].arguments, edits[1].arguments);
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(changeList));

    // A service may answer with a positive code. Where only 0 is success the flow reports a failure,
    // which Ignore lets the edit go on past and Escape cancels; where only a negative code is a
    // failure it goes on.
    constexpr std::int32_t kPositive = 5;
    standin::DbObject* other = AddCheckedInAsset("other");
    Server().FailNext(standin::ServerOp::kEdit, kPositive, "half done\n");
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Ignore);
    EXPECT_TRUE(Prompt({other}));
    EXPECT_EQ(CheckoutErrors().size(), 2u);

    Server().FailNext(standin::ServerOp::kMakeWritable, kPositive, "half done\n");
    AnswerDialog(DialogButton::MakeWritable);
    Modal().KeyNext(Qt::Key_Escape);
    EXPECT_FALSE(Prompt({other}));
    EXPECT_EQ(CheckoutErrors().size(), 3u);
    EXPECT_TRUE(StateOf(other->GetAssetFile()).readOnly);
    // The host's check-out only stops at negative codes.
    Server().FailNext(standin::ServerOp::kEdit, kPositive, "half done\n");
    EXPECT_TRUE(CheckOut({other}));
    EXPECT_EQ(CheckoutErrors().size(), 3u);
}

// A stored check-out into a changelist that is gone asks; Make Writable with the box reaches every
// object and is stored, and applies unasked only where the caller allows it.
TEST_F(PromptCheckOutObjectsTest, StoredCheckOutIntoAVanishedChangeListAsksAndStoredMakeWritableOnlyWhereAllowed)
{
    const std::vector<standin::DbObject*> assets{AddCheckedInAsset("first"), AddCheckedInAsset("second"),
                                                 AddCheckedInAsset("third")};
    standin::DbObject* hero = AddCheckedInAsset("hero");
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kCheckOut);
    Properties().SetChangeListToUseWhenAutoCheckingOut("77");
    AnswerDialog(DialogButton::MakeWritable, "", true);

    EXPECT_TRUE(Prompt(assets));

    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(StoredAction(), Props::kMakeWritable);
    for (standin::DbObject* asset : assets)
        EXPECT_FALSE(StateOf(asset->GetAssetFile()).readOnly) << asset->GetName();

    AnswerDialog(DialogButton::Cancel);
    EXPECT_FALSE(Prompt({hero}, false));
    ASSERT_EQ(Dialogs().size(), 2u);
    EXPECT_FALSE(Dialogs()[1].makeWritableVisible);
    EXPECT_TRUE(Dialogs()[1].continueVisible);
    EXPECT_EQ(Dialogs()[1].dontShowAgainText, kThisOption) << "an option beside the check-out is offered";
    EXPECT_TRUE(Prompt({hero}, true));
    EXPECT_EQ(Dialogs().size(), 2u);
    ExpectStates({hero->GetAssetFile()}, {true, false, 0, ""});
}

// Without windows: a stored prompt checks out into the default changelist, and a failure is logged
// once while the edit still goes on. The host's check-out logs each failure, goes on with the rest
// into the default changelist when the stored one is gone, and has the user asked next time.
TEST_F(PromptCheckOutObjectsTest, WithoutWindowsStoredPromptChecksOutIntoTheDefaultChangeListAndFailuresAreLogged)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    standin::DbObject* held = AddCheckedInAsset("held");
    standin::DbObject* second = AddCheckedInAsset("second");
    LockAs(kOtherUser, held);
    WithoutWindows();

    EXPECT_TRUE(Prompt({asset}));
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(Log().Entries().empty());
    EXPECT_TRUE(Prompt({held}));
    EXPECT_EQ(LogTexts(Log::MsgType::Error).size(), 1u);
    EXPECT_TRUE(StateOf(held->GetAssetFile()).readOnly);

    Properties().SetPromptForChangeListWhenCheckingOut(false);
    Properties().SetChangeListToUseWhenAutoCheckingOut("999");
    EXPECT_FALSE(CheckOut({held, second}));

    EXPECT_FALSE(wasCancelled);
    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find("\nDetails:\nFiles:\n" + held->GetAssetFile()), std::string::npos) << errors[1];
    ExpectStates({second->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(StoredPrompt()) << "the next time with windows, the user is asked";
}

} // namespace
