// Check-out on the host's request (CheckOutObjects) and before an edit of read-only assets
// (PromptCheckOutObjects), end to end against the stand-in server.
#include "FlowFixture.h"

namespace {

using qor4::FileStatus::kCheckedOut;
using Props = IRevisionControlPropertiesMgr;

const QString kCheckoutError = QStringLiteral("Checkout Error");
constexpr const char* kEditMessage = "These assets are read-only";
const QString kThisOption = QStringLiteral("Don't show this dialog again (always use this option)");
const QString kThisChangeList = QStringLiteral("Don't show this dialog again (always use this changelist)");

class CheckOutObjectsTest : public FlowFixture {};

TEST_F(CheckOutObjectsTest, ThreeObjectsWhoseSecondFailsDismissedWithEscapeStillTryTheThird)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    standin::DbObject* third = AddCheckedInAsset("third");
    LockAs(kOtherUser, second);
    // Escape answers OK, as the box's other button is Retry.
    Modal().KeyNext(Qt::Key_Escape);
    bool cancelled = true;

    EXPECT_FALSE(Helper().CheckOutObjects(Handles({first, second, third}), &cancelled, false));

    EXPECT_FALSE(cancelled);
    const std::vector<ModalDriver::Window> errors = BoxesTitled(kCheckoutError);
    ASSERT_EQ(errors.size(), 1u);
    QStringList buttons = errors[0].buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Retry")}));
    EXPECT_TRUE(errors[0].sizeGrip);
    EXPECT_TRUE(errors[0].text.contains(QStringLiteral("locked")));
    EXPECT_TRUE(errors[0].text.contains(QString::fromLatin1(kOtherUser)));
    ExpectStates({first->GetAssetFile(), third->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(StateOf(second->GetAssetFile()).readOnly);
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kEdit).size(), 3u);
}

TEST_F(CheckOutObjectsTest, RetryRepeatsTheFailedObjectOnly)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, "depot busy\n");
    // Enter answers Retry, the box's default.
    Modal().KeyNext(Qt::Key_Return);
    bool cancelled = true;

    EXPECT_TRUE(Helper().CheckOutObjects(Handles({first, second}), &cancelled, false));

    EXPECT_FALSE(cancelled);
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kEdit).size(), 3u);
    ExpectStates({first->GetAssetFile(), second->GetAssetFile()}, CheckedOutIn(""));
}

TEST_F(CheckOutObjectsTest, ExpiredSessionOnTheFirstObjectStopsSilently)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    ExpireSession("secret");
    // A lost session cannot vouch for the stored changelist, so the user is asked for one first.
    AnswerDialog(DialogButton::CheckOut);
    Modal().RejectNext(); // the password dialog
    bool cancelled = true;

    EXPECT_FALSE(Helper().CheckOutObjects(Handles({first, second}), &cancelled, false));

    EXPECT_FALSE(cancelled);
    EXPECT_TRUE(StoredPrompt());
    ASSERT_EQ(Modal().Seen().size(), 2u);
    EXPECT_TRUE(BoxesTitled(kCheckoutError).empty());
    EXPECT_TRUE(LogTexts(Log::MsgType::Error).empty());
}

TEST_F(CheckOutObjectsTest, ValidStoredChangeListChecksOutWithoutADialog)
{
    standin::DbObject* asset = AddCheckedInAsset("hero", 1);
    const std::string changeList = CreateChangeList("stored");
    Properties().SetChangeListToUseWhenAutoCheckingOut(changeList);
    bool cancelled = true;

    // The host's single-object call, and an empty list that has nothing to do.
    EXPECT_TRUE(HelperInterface().CheckOutObject(Handle(asset), &cancelled, true));
    EXPECT_TRUE(Helper().CheckOutObjects({}, nullptr, true));

    EXPECT_FALSE(cancelled);
    EXPECT_TRUE(Modal().Seen().empty());
    ExpectStates(FilesOf(asset), CheckedOutIn(changeList));
}

TEST_F(CheckOutObjectsTest, RejectedStoredChangeListAsksAndRememberingDefaultStoresIt)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetChangeListToUseWhenAutoCheckingOut("404");
    AnswerDialog(DialogButton::CheckOut, "", true);
    bool cancelled = true;

    EXPECT_TRUE(Helper().CheckOutObjects(Handles({asset}), &cancelled, false));

    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].title, QStringLiteral("Select Pending ChangeList"));
    EXPECT_FALSE(Dialogs()[0].continueVisible);
    EXPECT_FALSE(Dialogs()[0].makeWritableVisible);
    EXPECT_EQ(Dialogs()[0].dontShowAgainText, kThisChangeList);
    EXPECT_EQ(Dialogs()[0].assetsText, QStringLiteral("hero\n"));
    EXPECT_FALSE(StoredPrompt());
    EXPECT_EQ(StoredChangeList(), "");
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
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
        bool cancelled = false;

        EXPECT_FALSE(Helper().CheckOutObjects(Handles({asset}), &cancelled, false));

        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).empty());
        if (!revisionControl) {
            EXPECT_TRUE(ServerRecord().Calls().empty());
        }
        EXPECT_TRUE(StateOf(asset->GetAssetFile()).readOnly);
    }
}

TEST_F(CheckOutObjectsTest, WithoutWindowsEachFailureIsLoggedAndTheRestCheckedOut)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    LockAs(kOtherUser, first);
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    WithoutWindows();
    bool cancelled = true;

    EXPECT_FALSE(Helper().CheckOutObjects(Handles({first, second}), &cancelled, false));

    EXPECT_FALSE(cancelled);
    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("\nDetails:\nFiles:\n" + first->GetAssetFile()), std::string::npos) << errors[0];
    ExpectStates({second->GetAssetFile()}, CheckedOutIn(""));
}

TEST_F(CheckOutObjectsTest, WithoutWindowsAStoredChangeListThatIsGoneGivesWayToTheDefault)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetPromptForChangeListWhenCheckingOut(false);
    Properties().SetChangeListToUseWhenAutoCheckingOut("999");
    WithoutWindows();
    bool cancelled = true;

    EXPECT_TRUE(Helper().CheckOutObjects(Handles({asset}), &cancelled, false));

    EXPECT_FALSE(cancelled);
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(StoredPrompt()) << "the next time with windows, the user is asked";
}

class PromptCheckOutObjectsTest : public FlowFixture {
protected:
    bool Prompt(const std::vector<standin::DbObject*>& objects, bool allowMakeWritable = true)
    {
        return Helper().PromptCheckOutObjects(Handles(objects), false, allowMakeWritable, kEditMessage);
    }
};

TEST_F(PromptCheckOutObjectsTest, DialogOffersEveryAnswerAndCheckOutUsesTheChosenChangeList)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const std::string changeList = CreateChangeList("edit");
    AnswerDialog(DialogButton::CheckOut, changeList);

    EXPECT_TRUE(Prompt({asset}));

    ASSERT_EQ(Dialogs().size(), 1u);
    const DialogView& dialog = Dialogs()[0];
    EXPECT_EQ(dialog.title, QStringLiteral("Check Out"));
    EXPECT_EQ(dialog.message, QString::fromLatin1(kEditMessage));
    EXPECT_EQ(dialog.assetsText, QStringLiteral("hero\n"));
    EXPECT_EQ(dialog.files, QStringList{QString::fromStdString(asset->GetAssetFile())});
    EXPECT_TRUE(dialog.continueVisible);
    EXPECT_TRUE(dialog.makeWritableVisible);
    EXPECT_EQ(dialog.dontShowAgainText, kThisOption);
    EXPECT_EQ(StateOf(asset->GetAssetFile()).changeList, changeList);
    EXPECT_EQ(StoredAction(), Props::kPrompt);
}

TEST_F(PromptCheckOutObjectsTest, RelatedObjectsJoinTheQuestionAndTheCheckOut)
{
    standin::DbObject* hero = AddCheckedInAsset("hero");
    standin::DbObject* rig = AddCheckedInAsset("rig");
    hero->AddRelatedObject(rig);
    AnswerDialog(DialogButton::CheckOut);

    EXPECT_TRUE(Prompt({hero}));

    ASSERT_EQ(Dialogs().size(), 1u);
    QStringList files = Dialogs()[0].files;
    files.sort();
    EXPECT_EQ(files,
              (QStringList{QString::fromStdString(hero->GetAssetFile()), QString::fromStdString(rig->GetAssetFile())}));
    ExpectStates({hero->GetAssetFile(), rig->GetAssetFile()}, CheckedOutIn(""));
}

TEST_F(PromptCheckOutObjectsTest, ContinueWithoutTheBoxIsAskedAgainOnlyAfterOtherObjects)
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

    EXPECT_EQ(Dialogs().size(), 4u);
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kEdit).empty());
    EXPECT_TRUE(StateOf(first->GetAssetFile()).readOnly);
    EXPECT_EQ(StoredAction(), Props::kPrompt);
    // An empty call forgets the continued objects, so the helper holds no handle at tear-down.
    EXPECT_TRUE(Helper().PromptCheckOutObjects({}, false, true, kEditMessage));
}

TEST_F(PromptCheckOutObjectsTest, ContinueWithTheBoxIsStoredAndNotAskedAgain)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    AnswerDialog(DialogButton::Continue, "", true);
    EXPECT_TRUE(Prompt({asset}));
    EXPECT_EQ(StoredAction(), Props::kContinue);

    EXPECT_TRUE(Prompt({asset}));
    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_TRUE(StateOf(asset->GetAssetFile()).readOnly);
}

TEST_F(PromptCheckOutObjectsTest, RetryAfterAFailedCheckOutRepeatsItInTheSameChangeListWithoutThePicker)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const std::string changeList = CreateChangeList("retry here");
    Server().FailNext(standin::ServerOp::kEdit, standin::ServerCode::kServerError, "depot busy\n");
    AnswerDialog(DialogButton::CheckOut, changeList);
    Modal().PressNext(QMessageBox::Retry);

    EXPECT_TRUE(Prompt({asset}));

    EXPECT_EQ(Dialogs().size(), 1u);
    const std::vector<ModalDriver::Window> errors = BoxesTitled(kCheckoutError);
    ASSERT_EQ(errors.size(), 1u);
    QStringList buttons = errors[0].buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Ignore"), QStringLiteral("Retry")}));
    EXPECT_TRUE(errors[0].sizeGrip);
    const std::vector<standin::RecordedCall> edits = ServerCallsOf(standin::ServerOp::kEdit);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[0].arguments, edits[1].arguments);
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(changeList));
}

// A service may answer with a positive code. Where only 0 is success the flow reports a failure;
// where only a negative code is a failure it goes on.
TEST_F(PromptCheckOutObjectsTest, PositiveStatusFailsWhereOnlyZeroSucceeds)
{
    constexpr std::int32_t kPositive = 5;
    standin::DbObject* asset = AddCheckedInAsset("hero");

    Server().FailNext(standin::ServerOp::kEdit, kPositive, "half done\n");
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Cancel);
    EXPECT_FALSE(Prompt({asset}));
    EXPECT_EQ(BoxesTitled(kCheckoutError).size(), 1u);

    Server().FailNext(standin::ServerOp::kMakeWritable, kPositive, "half done\n");
    AnswerDialog(DialogButton::MakeWritable);
    Modal().PressNext(QMessageBox::Cancel);
    EXPECT_FALSE(Prompt({asset}));
    EXPECT_EQ(BoxesTitled(kCheckoutError).size(), 2u);

    // The host's check-out only stops at negative codes.
    Server().FailNext(standin::ServerOp::kEdit, kPositive, "half done\n");
    bool cancelled = true;
    EXPECT_TRUE(Helper().CheckOutObjects(Handles({asset}), &cancelled, false));
    EXPECT_EQ(BoxesTitled(kCheckoutError).size(), 2u);
}

TEST_F(PromptCheckOutObjectsTest, MakeWritableReachesEveryReadOnlyObject)
{
    const std::vector<standin::DbObject*> assets{AddCheckedInAsset("first"), AddCheckedInAsset("second"),
                                                 AddCheckedInAsset("third")};
    AnswerDialog(DialogButton::MakeWritable);

    EXPECT_TRUE(Prompt(assets));

    for (standin::DbObject* asset : assets)
        EXPECT_FALSE(StateOf(asset->GetAssetFile()).readOnly) << asset->GetName();
}

TEST_F(PromptCheckOutObjectsTest, FailedCheckOutAnsweredIgnoreOrCancel)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    LockAs(kOtherUser, asset);
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Ignore);
    EXPECT_TRUE(Prompt({asset}));

    AnswerDialog(DialogButton::CheckOut);
    Modal().KeyNext(Qt::Key_Escape);
    EXPECT_FALSE(Prompt({asset}));

    EXPECT_EQ(BoxesTitled(kCheckoutError).size(), 2u);
    EXPECT_TRUE(StateOf(asset->GetAssetFile()).readOnly);
}

TEST_F(PromptCheckOutObjectsTest, StoredMakeWritableIsAskedWhenNotAllowed)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kMakeWritable);
    AnswerDialog(DialogButton::Cancel);
    EXPECT_FALSE(Prompt({asset}, false));
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_FALSE(Dialogs()[0].makeWritableVisible);
    EXPECT_TRUE(Dialogs()[0].continueVisible);
    EXPECT_EQ(Dialogs()[0].dontShowAgainText, kThisOption) << "an option beside the check-out is offered";

    // Where it is allowed, the stored choice applies without a question.
    EXPECT_TRUE(Prompt({asset}, true));
    EXPECT_EQ(Dialogs().size(), 1u);
    ExpectStates({asset->GetAssetFile()}, {true, false, 0, ""});
}

TEST_F(PromptCheckOutObjectsTest, StoredCheckOutIntoAVanishedChangeListStoresPromptAndAsks)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kCheckOut);
    Properties().SetChangeListToUseWhenAutoCheckingOut("77");
    AnswerDialog(DialogButton::MakeWritable, "", true);

    EXPECT_TRUE(Prompt({asset}));

    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(StoredAction(), Props::kMakeWritable);
    EXPECT_FALSE(StateOf(asset->GetAssetFile()).readOnly);
}

TEST_F(PromptCheckOutObjectsTest, WithoutWindowsStoredPromptChecksOutIntoTheDefaultChangeList)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    standin::DbObject* held = AddCheckedInAsset("held");
    LockAs(kOtherUser, held);
    WithoutWindows();

    EXPECT_TRUE(Prompt({asset}));
    ExpectStates({asset->GetAssetFile()}, CheckedOutIn(""));
    EXPECT_TRUE(Log().Entries().empty());

    // A failure is logged once and the edit still goes on.
    EXPECT_TRUE(Prompt({held}));
    EXPECT_EQ(LogTexts(Log::MsgType::Error).size(), 1u);
    EXPECT_TRUE(StateOf(held->GetAssetFile()).readOnly);
}

} // namespace
