// After a save: deleted files leave revision control and new assets are marked for add, end to end
// against the stand-in server with real workspace files.
#include "FlowFixture.h"

#include "revisioncontrol/SaveAudit.h"

#include <QFile>

#include <filesystem>
#include <fstream>

namespace {

using qor4::FileStatus::kCheckedOut;
using qor4::FileStatus::kMarkedForAdd;
using qor4::FileStatus::kMarkedForDelete;
using qor4::FileStatus::kNotInDepot;

const QString kMarkForAddTitle = QStringLiteral("Post-Saving: Mark For Add");
const QString kMarkForDeleteTitle = QStringLiteral("Mark For Delete");

class PostSaveFlowTest : public FlowFixture {};

// A deleted file that was only marked for add is reverted; checked-out ones are marked for delete,
// each in the changelist it was open in.
TEST_F(PostSaveFlowTest, DeletedFilesAreRevertedIfMarkedForAddElseMarkedForDeleteInTheirOwnChangeList)
{
    standin::DbObject* first = AddCheckedInAsset("first", 1);
    standin::DbObject* second = AddCheckedInAsset("second");
    standin::DbObject* draft = AddLocalAsset("draft");
    const std::string draftFile = draft->GetAssetFile();
    ASSERT_TRUE(Server().Add(CurrentSession(), {draftFile}, "").Succeeded());
    const std::vector<std::string> firstFiles = FilesOf(first);
    const std::string secondFile = second->GetAssetFile();
    const std::string firstList = CreateChangeList("first work");
    const std::string secondList = CreateChangeList("second work");
    CheckOutByHand(firstFiles, firstList);
    CheckOutByHand({secondFile}, secondList);
    for (standin::DbObject* asset : {draft, first, second})
        Manager().DeleteAsset(asset);

    ASSERT_TRUE(Library().Save().Succeeded());

    ExpectStates({draftFile}, {false, false, kNotInDepot, ""});
    ExpectStates(firstFiles, {false, false, kMarkedForDelete, firstList});
    ExpectStates({secondFile}, {false, false, kMarkedForDelete, secondList});
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kDelete).size(), 2u);
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kRevert).size(), 3u)
        << "the pending add, and each changelist before its delete";
    EXPECT_TRUE(Modal().Seen().empty());
    EXPECT_EQ(Manager().GetMultiFileDataSource().GetClearCount(), 1);
}

// Deleted files come first, then new assets; the remember box of the second dialog stores its choice.
TEST_F(PostSaveFlowTest, PromptingShowsTheDeletedFilesThenTheNewAssetsAndMarksIntoTheChosenChangeList)
{
    standin::DbObject* old = AddCheckedInAsset("old", 1);
    const std::vector<std::string> files = FilesOf(old);
    standin::DbObject* first = AddNewAsset("first");
    standin::DbObject* second = AddNewAsset("second");
    const std::string changeList = CreateChangeList("clean-up");
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    Manager().DeleteAsset(old);
    AnswerDialog(DialogButton::CheckOut, changeList);
    AnswerDialog(DialogButton::CheckOut, changeList, true);

    ASSERT_TRUE(Library().Save().Succeeded());

    ASSERT_EQ(Dialogs().size(), 2u);
    const DialogView& deleted = Dialogs()[0];
    EXPECT_EQ(deleted.title, kMarkForDeleteTitle);
    EXPECT_EQ(deleted.checkOutText, QStringLiteral("Mark For Delete"));
    EXPECT_EQ(deleted.message, QStringLiteral("The files below were deleted during the commit\nWe can now mark them "
                                              "for delete in your revision control"));
    EXPECT_TRUE(deleted.assetsText.isEmpty());
    EXPECT_EQ(deleted.files.join('\n') + '\n', SortedLines(files).c_str());
    ExpectStates(files, {false, false, kMarkedForDelete, changeList});

    const DialogView& added = Dialogs()[1];
    EXPECT_EQ(added.title, kMarkForAddTitle);
    EXPECT_EQ(added.checkOutText, QStringLiteral("Mark For Add"));
    EXPECT_EQ(added.assetsText, QStringLiteral("first\nsecond\n"));
    EXPECT_EQ(added.files, (QStringList{QString::fromStdString(first->GetAssetFile()),
                                        QString::fromStdString(second->GetAssetFile())}));
    ExpectStates({first->GetAssetFile(), second->GetAssetFile()}, {true, false, kMarkedForAdd, changeList});
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kAdd).size(), 2u) << "each asset on its own";
    EXPECT_FALSE(StoredPrompt());
    EXPECT_EQ(StoredChangeList(), changeList);
}

TEST_F(PostSaveFlowTest, MarkForDeleteFailureOffersRetryAndAPositiveStatusOfDeleteOrAddIsAFailureToo)
{
    standin::DbObject* asset = AddCheckedInAsset("old");
    const std::string file = asset->GetAssetFile();
    Manager().DeleteAsset(asset);
    Server().FailNext(standin::ServerOp::kDelete, standin::ServerCode::kServerError, "depot busy\n");
    Modal().PressNext(QMessageBox::Retry);

    ASSERT_TRUE(Library().Save().Succeeded());

    const std::vector<ModalDriver::Window> boxes = BoxesTitled(QStringLiteral("Mark-For-Delete Error"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              QString::fromStdString("The following files have been deleted during the commit:\n\n" + file +
                                     "\n\nbut we couldn't mark them for delete in your revision control\nUnknown "
                                     "error found\nError reported by IO module: depot busy\n\n"));
    EXPECT_EQ(StateOf(file).status, kMarkedForDelete);

    // A positive status counts as a failure, and one failing new asset keeps no other out.
    constexpr std::int32_t kPositive = 5;
    standin::DbObject* old = AddCheckedInAsset("older");
    Manager().DeleteAsset(old);
    standin::DbObject* first = AddNewAsset("first");
    standin::DbObject* second = AddNewAsset("second");
    Server().FailNext(standin::ServerOp::kDelete, kPositive, "half done\n");
    Server().FailNext(standin::ServerOp::kAdd, kPositive, "half done\n");
    Modal().PressNext(QMessageBox::Ok);
    Modal().PressNext(QMessageBox::Ok);

    ASSERT_TRUE(Library().Save().Succeeded());

    EXPECT_EQ(BoxesTitled(QStringLiteral("Mark-For-Delete Error")).size(), 2u);
    EXPECT_EQ(BoxesTitled(QStringLiteral("Mark-For-Add Error")).size(), 1u);
    EXPECT_EQ(Modal().Pending(), 0u);
    EXPECT_NE(StateOf(first->GetAssetFile()).status, kMarkedForAdd);
    EXPECT_EQ(StateOf(second->GetAssetFile()).status, kMarkedForAdd);
}

// A new asset beside files open in a changelist joins it; one whose files are all open is left as it is.
TEST_F(PostSaveFlowTest, NewAssetsBesideOrWithOpenFilesNeedNoDialogACancelLeavesOthersAloneAGoneChangeListAsks)
{
    const std::string shared = std::string(kAssetFolder) + "shared.tex";
    CheckIn(shared, "texture");
    const std::string sharedFile = LocalPath(shared);
    const std::string changeList = CreateChangeList("new level");
    CheckOutByHand({sharedFile}, changeList);
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    standin::DbObject* asset = AddNewAsset("level", {sharedFile});
    const std::string handList = CreateChangeList("by hand");
    const std::string early = AddNewAsset("early")->GetAssetFile();
    std::filesystem::create_directories(std::filesystem::path(early).parent_path());
    std::ofstream(early) << "early draft\n";
    const standin::AddResult added = Server().Add(CurrentSession(), {early}, handList);
    ASSERT_TRUE(added.Succeeded()) << added.text;
    ServerRecord().ClearCalls();

    ASSERT_TRUE(Library().Save().Succeeded());

    EXPECT_TRUE(Modal().Seen().empty());
    ExpectStates({asset->GetAssetFile()}, {true, false, kMarkedForAdd, changeList});
    EXPECT_EQ(StateOf(sharedFile).status, kCheckedOut | qor4::FileStatus::kLockedByMe);
    ExpectStates({early}, {true, false, kMarkedForAdd, handList});
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kAdd).size(), 1u) << "none for the asset whose files are open";

    // A cancelled dialog leaves the new files alone and stores nothing.
    standin::DbObject* cancelled = AddNewAsset("cancelled");
    ServerRecord().ClearCalls();
    const int writes = Prefs().WriteCount();
    AnswerDialog(DialogButton::Cancel);

    ASSERT_TRUE(Library().Save().Succeeded());

    EXPECT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(StateOf(cancelled->GetAssetFile()).status, kNotInDepot);
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kAdd).empty());
    EXPECT_EQ(Prefs().WriteCount(), writes);

    // A stored changelist that is gone switches prompting on.
    standin::DbObject* fresh = AddNewAsset("fresh");
    Properties().SetPromptForChangeListWhenCheckingOut(false);
    Properties().SetChangeListToUseWhenAutoCheckingOut("999");
    AnswerDialog(DialogButton::CheckOut);

    ASSERT_TRUE(Library().Save().Succeeded());

    EXPECT_EQ(Dialogs().size(), 2u);
    EXPECT_TRUE(StoredPrompt());
    ExpectStates({fresh->GetAssetFile()}, {true, false, kMarkedForAdd, ""});
}

// Each save deletes one asset and creates another. Without windows both go to the default changelist
// unasked; a failed status query of the deleted files ends the whole notification; with revision
// control off the workspace is left as the save made it, and so is the save record, for whoever
// else reads it.
TEST_F(PostSaveFlowTest, DeletedAndNewAssetsWithoutWindowsAfterAFailedQueryAndWithRevisionControlOff)
{
    Properties().SetPromptForChangeListWhenCheckingOut(true);
    std::string doomed, fresh;
    const auto deleteOneAndCreateOne = [&](const std::string& round) {
        standin::DbObject* asset = AddCheckedInAsset("old" + round);
        doomed = asset->GetAssetFile();
        fresh = AddNewAsset("fresh" + round)->GetAssetFile();
        Manager().DeleteAsset(asset);
        ServerRecord().ClearCalls();
    };
    deleteOneAndCreateOne("1");
    WithoutWindows();
    ASSERT_TRUE(Library().Save().Succeeded());
    ExpectStates({doomed}, {false, false, kMarkedForDelete, ""});
    ExpectStates({fresh}, {true, false, kMarkedForAdd, ""});
    EXPECT_TRUE(Log().Entries().empty());
    EXPECT_TRUE(StoredPrompt());
    WithWindows();

    deleteOneAndCreateOne("2");
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "depot busy\n");
    ASSERT_TRUE(Library().Save().Succeeded());
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kDelete).empty());
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kAdd).empty());
    EXPECT_NE(StateOf(fresh).status, kMarkedForAdd);

    deleteOneAndCreateOne("3");
    Properties().SetUseSourceDataControl(false);
    FileControl().ClearCalls();
    const int clears = Manager().GetMultiFileDataSource().GetClearCount();
    ASSERT_TRUE(Library().Save().Succeeded());
    EXPECT_TRUE(FileControl().Calls().empty());
    ExpectStates({doomed}, {false, false, 0, ""});
    ExpectStates({fresh}, {true, false, kNotInDepot, ""});
    EXPECT_EQ(Manager().GetMultiFileDataSource().GetClearCount(), clears);
    EXPECT_TRUE(Modal().Seen().empty());
}

TEST_F(PostSaveFlowTest, OneStatusQueryOfTheSaveAnswersEveryNewAssetAndAFailedOneOfALaterAssetKeepsAllOut)
{
    const std::vector<standin::DbObject*> assets{
        AddNewAsset("first"), AddNewAsset("second", {LocalPath("assets/second.tex")}), AddNewAsset("third")};

    Library().ClearAccessStateRecords();
    ASSERT_TRUE(Library().Save().Succeeded());

    // One query, of every new file, before the first add; the state each add leaves is known
    // without asking again.
    const std::vector<standin::RecordedCall> queries = ServerCallsOf(standin::ServerOp::kStatus);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(ServerRecord().Calls().front().operation, standin::ServerOp::kStatus);
    for (standin::DbObject* asset : assets)
        for (const std::string& file : FilesOf(asset)) {
            EXPECT_NE(std::find(queries[0].arguments.begin(), queries[0].arguments.end(), file),
                      queries[0].arguments.end())
                << file;
            EXPECT_EQ(StateOf(file).status, kMarkedForAdd) << file;
        }
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kAdd).size(), assets.size()) << "still one asset at a time";
    const auto& told = Library().GetAccessStateRecords();
    ASSERT_EQ(told.size(), assets.size());
    for (const auto& record : told)
        EXPECT_EQ(record.state, kMarkedForAdd) << record.uid;

    // What another client does afterwards shows at once: the save's answers end with it.
    const std::string file = assets[0]->GetAssetFile();
    ASSERT_TRUE(Server().Revert(CurrentSession(), {file}).Succeeded());
    std::vector<qor4::StatusWord> words;
    std::vector<std::string> changeLists;
    std::string message;
    ASSERT_EQ(FileControl().GetFilesStatus(CurrentAccount(), {file}, words, changeLists, message, 0), 0) << message;
    EXPECT_EQ(words, std::vector<qor4::StatusWord>{kNotInDepot});

    // The save's one query fails, so each asset is asked on its own: the first asset's query answers,
    // the second one's fails, and the notification ends there.
    standin::DbObject* fourth = AddNewAsset("fourth");
    standin::DbObject* fifth = AddNewAsset("fifth");
    ServerRecord().ClearCalls();
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "depot busy\n");
    Server().FailAfter(standin::ServerOp::kStatus, 1, standin::ServerCode::kServerError, "depot busy\n");
    ASSERT_TRUE(Library().Save().Succeeded());
    EXPECT_EQ(ServerCallsOf(standin::ServerOp::kStatus).size(), 3u);
    EXPECT_TRUE(ServerCallsOf(standin::ServerOp::kAdd).empty());
    EXPECT_EQ(StateOf(fourth->GetAssetFile()).status, kNotInDepot);
    EXPECT_EQ(StateOf(fifth->GetAssetFile()).status, kNotInDepot);
}

// The memo against what the server says, file by file, through adds that scheduled, adds that
// found a file scheduled by someone else, and changes that end it; for the save's session and scope
// only.
TEST_F(PostSaveFlowTest, TheSavesStatusAnswersFollowItsAddsAndEndWithAnyOtherChange)
{
    const std::vector<standin::DbObject*> assets{AddNewAsset("first"), AddNewAsset("second"), AddNewAsset("third"),
                                                 AddNewAsset("fourth")};
    ASSERT_TRUE(Library().Save().Succeeded());
    std::vector<std::string> files;
    for (standin::DbObject* asset : assets)
        files.push_back(asset->GetAssetFile());
    std::string revertText;
    ASSERT_EQ(
        FileControl().RevertFiles(CurrentAccount(), std::list<std::string>(files.begin(), files.end()), revertText), 0)
        << revertText;
    const std::string changeList = CreateChangeList("new props");
    standin::SaveStatusMemo& memo = StatusMemo();
    const standin::SessionId session = CurrentSession();
    const auto ask = [&](const std::string& file) {
        return memo.Status(session, {file}, standin::StatusScope::kLocal);
    };
    const auto expectServersAnswer = [&](const std::string& file) {
        const standin::StatusResult told = ask(file);
        const standin::StatusResult truth = Server().Status(session, {file}, standin::StatusScope::kLocal);
        EXPECT_EQ(told.words, truth.words) << file;
        EXPECT_EQ(told.changeLists, truth.changeLists) << file;
    };

    // Another user's add of the third file shows in its state: it is not plainly unversioned.
    Server().SetOtherUserState(files[2], qor4::FileStatus::kMarkedForAddByOther, "bob");
    memo.Expect(files);
    EXPECT_EQ(ask(files[0]).words, std::vector<qor4::StatusWord>{kNotInDepot});
    EXPECT_EQ(memo.Answered(), 1);
    // What it holds answers only the save's own session and scope: anything else asks the server.
    memo.Status(session, {files[0]}, standin::StatusScope::kWithRepository);
    memo.Status(session + 1, {files[0]}, standin::StatusScope::kLocal);
    EXPECT_EQ(memo.Answered(), 1);
    // Behind the memo's back, another client schedules the second file.
    ASSERT_TRUE(Server().Add(session, {files[1]}, "").Succeeded());
    ASSERT_TRUE(memo.Add(session, {files[0], files[1], files[2]}, changeList).Succeeded());

    const standin::StatusResult first = ask(files[0]);
    EXPECT_EQ(first.words, std::vector<qor4::StatusWord>{kMarkedForAdd});
    EXPECT_EQ(first.changeLists, std::vector<std::string>{changeList});
    EXPECT_EQ(memo.Answered(), 2) << "what the add scheduled is known without asking";
    for (int i : {0, 1, 2})
        expectServersAnswer(files[i]);
    EXPECT_EQ(ask(files[3]).words, std::vector<qor4::StatusWord>{kNotInDepot});
    EXPECT_EQ(memo.Answered(), 4) << "the first and the untouched fourth file only";

    ASSERT_TRUE(memo.Revert(session, {files[0]}).Succeeded());
    expectServersAnswer(files[0]);
    expectServersAnswer(files[3]);
    EXPECT_EQ(memo.Answered(), 4) << "an answer from before the revert would be stale";

    // A failed add ends the memo too: it may have changed part of what it named.
    Server().SetOtherUserState(files[2], 0, "");
    memo.Expect(files);
    EXPECT_EQ(ask(files[0]).words, std::vector<qor4::StatusWord>{kNotInDepot});
    Server().FailNext(standin::ServerOp::kAdd, standin::ServerCode::kServerError, "depot busy\n");
    EXPECT_TRUE(memo.Add(session, {files[3]}, "").Failed());
    expectServersAnswer(files[0]);
    EXPECT_EQ(memo.Answered(), 1);

    // And so does a check-out, of a file the save did not create.
    const std::string kept = AddCheckedInAsset("kept")->GetAssetFile();
    memo.Expect({files[0], kept});
    EXPECT_EQ(ask(kept).words, std::vector<qor4::StatusWord>{0});
    ASSERT_TRUE(memo.Edit(session, {kept}, "").Succeeded());
    expectServersAnswer(kept);
    EXPECT_NE(ask(kept).words, std::vector<qor4::StatusWord>{0});
    EXPECT_EQ(memo.Answered(), 1);
    memo.Forget();
}

// The account still names the session the server let expire (its password changed meanwhile); the
// user cancels the password.
TEST_F(PostSaveFlowTest, AnExpiredSessionWhosePasswordIsCancelledLeavesTheNewAssetNamedAsLeftOut)
{
    AddNewAsset("table");
    ExpireSession("changed-secret");
    Modal().RejectNext();

    const standin::SaveResult saved = Library().Save();

    ASSERT_TRUE(saved.Succeeded());
    EXPECT_EQ(Modal().Seen().size(), 1u) << "only the password dialog";
    EXPECT_EQ(standin::FindLeftOut(Control().Service(), saved).assets, std::vector<std::string>{"table"});
}

// A host started against a server that wants a password it was never given: the account is pushed,
// its login refused, and the data control holds it without a session.
class BeforeTheFirstPasswordTest : public FlowFixture {
protected:
    static constexpr const char* kFirstPassword = "first-secret";

    void SetUp() override
    {
        FlowFixture::SetUp();
        doomed = AddCheckedInAsset("old");
        doomedFile = doomed->GetAssetFile();
        Sandbox().SetPassword(kUser, kFirstPassword);
        Properties().SetAccountProperties(kUser, Sandbox().Url(), Sandbox().WorkingCopy(kUser));
        ASSERT_NE(CurrentAccount(), nullptr);
        ASSERT_EQ(CurrentAccount()->Session(), 0);
        table = AddNewAsset("table");
        Manager().DeleteAsset(doomed);
    }

    standin::DbObject* doomed = nullptr;
    std::string doomedFile;
    standin::DbObject* table = nullptr;
};

TEST_F(BeforeTheFirstPasswordTest, TheSaveAsksForThePasswordThenMarksForAddAndDelete)
{
    AnswerPasswordNext(QString::fromLatin1(kFirstPassword));

    const standin::SaveResult saved = Library().Save();

    ASSERT_TRUE(saved.Succeeded());
    ASSERT_EQ(passwordDialogLabels.size(), 1u);
    EXPECT_TRUE(passwordDialogLabels[0].join('\n').contains(
        QStringLiteral("Post-Save Mark-for-Delete: Revision control system needs to be queried for file status")));
    EXPECT_EQ(StateOf(doomedFile).status, kMarkedForDelete);
    EXPECT_EQ(StateOf(table->GetAssetFile()).status, kMarkedForAdd);
    EXPECT_EQ(Sandbox().RunSvn(kUser, {"propget", "svn:needs-lock", QString::fromStdString(table->GetAssetFile())}), 0);
    EXPECT_TRUE(standin::FindLeftOut(Control().Service(), saved).Empty());
}

TEST_F(BeforeTheFirstPasswordTest, ThePasswordCancelledTheAssetsAreNamedAsLeftOut)
{
    Modal().RejectNext();

    const standin::SaveResult saved = Library().Save();

    ASSERT_TRUE(saved.Succeeded());
    EXPECT_EQ(Modal().Seen().size(), 1u) << "only the password dialog";
    EXPECT_EQ(WordSeenByUser(table->GetAssetFile()), kNotInDepot);
    EXPECT_EQ(WordSeenByUser(doomedFile) & kMarkedForDelete, 0u);
    const standin::LeftOut left = standin::FindLeftOut(Control().Service(), saved);
    EXPECT_EQ(left.assets, std::vector<std::string>{"table"});
    EXPECT_EQ(left.removedFiles, std::vector<std::string>{doomedFile});
    // Named by the account that waits for its password.
    const std::string notConnected = "Revision control is not connected (alice at " + Sandbox().Url() + ")";
    EXPECT_EQ(left.Describe(), notConnected + ": not added to revision control: table\n" + notConnected +
                                   ": removed from disk but not marked for delete: " + doomedFile + "\n");
}

} // namespace
