// The check-out, mark-for-add and make-writable runners: one re-run after a re-opened session, and
// how their failures are reported.
#include "HostFixture.h"

#include "datamodel/ModelAssetFiles.h"

#include <filesystem>

namespace {

namespace fs = qor4::FileStatus;

constexpr const char* kPassword = "s3cret";
constexpr const char* kCheckOutHeader = "Cannot checkout the assets\n";

class CommandRunnerTest : public HostFixture {
protected:
    struct Texts : CommandTexts {
        Texts() : CommandTexts{"caller error", "caller message", "caller details"} {}
    };

    qor4::qorResult CheckOut(const std::vector<standin::DbObject*>& objects, Texts& texts)
    {
        return Helper().RunCheckOutCommand(ControlPtr(), Handles(objects), true, "", texts);
    }

    qor4::qorResult MarkForAdd(const DbObjectHandles& objects, Texts& texts)
    {
        return Helper().RunMarkForAddCommand(ControlPtr(), objects, true, "", texts);
    }

    static void ExpectUntouched(const Texts& texts)
    {
        EXPECT_EQ(texts.errorString, "caller error");
        EXPECT_EQ(texts.message, "caller message");
        EXPECT_EQ(texts.details, "caller details");
    }
};

TEST_F(CommandRunnerTest, EmptyListsDoNothingAndARefusedCommandGivesMinusOne)
{
    Texts texts;
    EXPECT_EQ(CheckOut({}, texts).GetCode(), 0);
    EXPECT_EQ(MarkForAdd({}, texts).GetCode(), 0);
    EXPECT_EQ(MarkForAdd({RemovedAssetHandle("gone")}, texts).GetCode(), 0);
    ExpectUntouched(texts);
    EXPECT_TRUE(Commands().Executions().empty());

    Commands().RefuseNext();
    EXPECT_EQ(CheckOut({AddCheckedInAsset("asset")}, texts).GetCode(), -1);
    EXPECT_EQ(texts.message, "Could not execute command: Unknown error");
    EXPECT_EQ(texts.errorString, "caller error");
    EXPECT_EQ(texts.details, "caller details");
}

TEST_F(CommandRunnerTest, SuccessLeavesTheTextsAndOpensTheFiles)
{
    const struct {
        bool markForAdd;
        const char* identifier;
        qor4::StatusWord flag;
    } cases[] = {{false, "checkoutQORDbObjects", fs::kCheckedOut}, {true, "markForAddQORDbObjects", fs::kMarkedForAdd}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier);
        const std::size_t executions = Commands().Executions().size();
        standin::DbObject* asset =
            c.markForAdd ? AddLocalAsset(std::string("new") + c.identifier, 1) : AddCheckedInAsset("asset", 1);
        Texts texts;

        // A handle given twice is one item for the command.
        EXPECT_EQ(
            (c.markForAdd ? MarkForAdd(Handles({asset, asset}), texts) : CheckOut({asset, asset}, texts)).GetCode(), 0);

        ExpectUntouched(texts);
        ASSERT_EQ(Commands().Executions().size(), executions + 1);
        EXPECT_EQ(Commands().Executions().back().identifier, c.identifier);
        EXPECT_TRUE(Commands().Executions().back().bound) << "the command was handed its manager";
        for (const std::string& file : FilesOf(asset)) {
            EXPECT_EQ(WordOf(file) & c.flag, c.flag) << file;
            EXPECT_FALSE(standin::IsReadOnlyOnDisk(file)) << file;
        }
    }
}

// An expired session is re-opened once per run: a cancelled password reports the expiry, a second
// expiry after the re-open is not retried, and a re-opened session re-runs the command leaving the
// caller's texts as they were.
TEST_F(CommandRunnerTest, ExpiredSessionIsReopenedOnceThenReRunOrReported)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    Modal().RejectNext();
    Texts cancelled;
    EXPECT_EQ(CheckOut({asset}, cancelled).GetCode(), qor4::kResultSessionExpired);
    EXPECT_EQ(Commands().Executions().size(), 1u);
    EXPECT_FALSE(cancelled.errorString.empty());
    EXPECT_EQ(cancelled.message, std::string(kCheckOutHeader) + "Cannot connect to source control.\n" +
                                     "Error reported by IO module: " + cancelled.errorString + "\n");

    ExpireSession(kPassword);
    AnswerPasswordNext(kPassword, [this] {
        Server().FailNext(standin::ServerOp::kEdit, qor4::kResultSessionExpired, "expired again\n");
    });
    Texts again;
    EXPECT_EQ(CheckOut({asset}, again).GetCode(), qor4::kResultSessionExpired);
    EXPECT_EQ(Commands().Executions().size(), 3u);
    EXPECT_EQ(passwordDialogLabels.size(), 1u);
    EXPECT_EQ(again.errorString, "expired again\n");
    EXPECT_EQ(again.message,
              std::string(kCheckOutHeader) + "Unknown error found\nError reported by IO module: expired again\n\n");
    EXPECT_EQ(again.details, "Files:\n" + asset->GetAssetFile() + "\n");

    ExpireSession(kPassword);
    AnswerPasswordNext(kPassword);
    Texts texts;
    EXPECT_EQ(CheckOut({asset}, texts).GetCode(), 0);
    ExpectUntouched(texts);
    EXPECT_EQ(Commands().Executions().size(), 5u);
    ASSERT_EQ(passwordDialogLabels.size(), 2u);
    EXPECT_TRUE(passwordDialogLabels[1].contains("Source control session expired. Password required to re-connect."));
    EXPECT_EQ(WordOf(asset->GetAssetFile()) & fs::kCheckedOut, fs::kCheckedOut);
}

TEST_F(CommandRunnerTest, FailureReplacesTheCallersMessageAndExplainsItForEveryObject)
{
    standin::DbObject* held = AddCheckedInAsset("held", 1);
    standin::DbObject* old = AddCheckedInAsset("old");
    LockAs(kThirdUser, held);
    SubmitAs(kOtherUser, old);
    Texts texts;

    EXPECT_EQ(CheckOut({held, old}, texts).GetCode(), standin::ServerCode::kFileStateRejected);

    EXPECT_FALSE(texts.errorString.empty());
    EXPECT_NE(texts.errorString, "caller error");
    EXPECT_EQ(texts.message, std::string(kCheckOutHeader) +
                                 "because the following users have checked out some of the files\n"
                                 "because some of the files are not at the head revision\n"
                                 "because the following users have locked some of the files\n"
                                 "\ncarol\n");
    std::vector<std::string> files = FilesOf(held);
    files.push_back(old->GetAssetFile());
    EXPECT_EQ(texts.details, "Files:\n" + SortedLines(files));
}

TEST_F(CommandRunnerTest, MarkForAddFailureWhoseOnlyFlagIsOneKeepsTheHeader)
{
    // The asset file is checked out by the current user; its external file is new.
    CheckIn("assets/mixed.qor", "mixed");
    const std::string assetFile = LocalPath("assets/mixed.qor");
    const std::string external = LocalPath("assets/mixed_1.tex");
    standin::DbObject* asset = Manager().CreateAsset({"mixed", assetFile, {external}, true});
    ASSERT_TRUE(Server().Edit(CurrentSession(), {assetFile}, "").Succeeded());
    // Gone from the disk, the external file is still one of the asset's files the details name.
    ASSERT_TRUE(std::filesystem::remove(external));
    Server().FailNext(standin::ServerOp::kAdd, standin::ServerCode::kIOError, "cannot add\n");
    Texts texts;

    EXPECT_EQ(MarkForAdd({Handle(asset)}, texts).GetCode(), standin::ServerCode::kIOError);

    EXPECT_EQ(texts.errorString, "cannot add\n");
    EXPECT_EQ(texts.message, "Cannot mark-for-add the assets\n");
    EXPECT_EQ(texts.details, "Files:\n" + assetFile + "\n" + external + "\n");
}

TEST_F(CommandRunnerTest, AssetAccessorsCollapseDuplicatesAndLeaveUnknownObjectsOut)
{
    standin::DbObject* second = AddLocalAsset("second");
    standin::DbObject* first = AddLocalAsset("first");
    const qor4::QORHandle<qor4::IDbObject> gone = RemovedAssetHandle("gone");
    std::vector<opal::datamodel::UnspecifiedAccessor> accessors{opal::datamodel::UnspecifiedAccessor()};

    CRevisionControlUIHelper::MakeAssetAccessors(Library().GetAccessor(),
                                                 {Handle(second), gone, Handle(first), Handle(second)}, accessors);

    ASSERT_EQ(accessors.size(), 3u);
    std::vector<std::string> ids;
    for (std::size_t i = 1; i < accessors.size(); ++i) {
        EXPECT_TRUE(accessors[i].IsValid());
        ids.push_back(opal::datamodel::ItemIDUnlock::GetItemIDUID(accessors[i].GetID()));
    }
    // Appended after what the vector held, in ascending id order.
    EXPECT_EQ(ids, (std::vector<std::string>{std::min(first->GetIdText(), second->GetIdText()),
                                             std::max(first->GetIdText(), second->GetIdText())}));
}

class MakeWritableTest : public HostFixture {
protected:
    bool MakeWritable(standin::DbObject* asset, bool includeExternal = true)
    {
        return HelperInterface().MakeObjectWritable(Handle(asset), includeExternal);
    }

    static std::string Message(const std::string& name, const std::string& error)
    {
        return "Error found while trying to make the asset " + name + " writable:\n" + error;
    }
};

TEST_F(MakeWritableTest, SuccessFirstOrAfterAReopenedSessionClearsTheReadOnlyBitsAndShowsNothing)
{
    for (const bool expired : {false, true}) {
        SCOPED_TRACE(expired ? "expired session" : "live session");
        standin::DbObject* asset = AddCheckedInAsset(expired ? "late" : "asset", 1);
        for (const std::string& file : FilesOf(asset))
            ASSERT_TRUE(standin::IsReadOnlyOnDisk(file));
        const std::size_t executions = Commands().Executions().size();
        if (expired) {
            ExpireSession(kPassword);
            AnswerPasswordNext(kPassword);
        }

        EXPECT_TRUE(MakeWritable(asset));

        for (const std::string& file : FilesOf(asset))
            EXPECT_FALSE(standin::IsReadOnlyOnDisk(file)) << file;
        EXPECT_EQ(Commands().Executions().size(), executions + (expired ? 2 : 1));
        EXPECT_EQ(Modal().Seen().size(), expired ? 1u : 0u);
        EXPECT_EQ(Log().Count(), 0u);
    }
}

// A failure shows the I/O error box with the files (none for an asset without files); without windows
// it is logged, and an expired session that cannot be re-opened is told in the service's words.
TEST_F(MakeWritableTest, FailuresShowTheIOErrorBoxOrWithoutWindowsAreLogged)
{
    Commands().RefuseNext();
    Modal().PressNext(QMessageBox::Ok);
    EXPECT_FALSE(HelperInterface().MakeObjectWritable(RemovedAssetHandle("gone"), true));
    ASSERT_EQ(Modal().Seen().size(), 1u);
    EXPECT_TRUE(Modal().Seen()[0].text.endsWith("writable:\nCould not execute command: Unknown error"));
    EXPECT_TRUE(Modal().Seen()[0].detailedText.isEmpty());

    standin::DbObject* asset = AddCheckedInAsset("asset", 2);
    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "disk is read-only\n");
    Modal().PressNext(QMessageBox::Ok);

    EXPECT_FALSE(MakeWritable(asset));

    ASSERT_EQ(Modal().Seen().size(), 2u);
    const ModalDriver::Window& box = Modal().Seen()[1];
    EXPECT_EQ(box.objectName, "ioErrorBox");
    EXPECT_EQ(box.title, "I/O Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.text.toStdString(), Message("asset", "disk is read-only\n"));
    EXPECT_EQ(box.detailedText.toStdString(), SortedLines(FilesOf(asset)));
    EXPECT_TRUE(box.buttons.contains("OK"));
    EXPECT_TRUE(box.sizeGrip);
    EXPECT_EQ(Log().Count(), 0u);

    Server().FailNext(standin::ServerOp::kMakeWritable, standin::ServerCode::kIOError, "locked by scanner");
    WithoutWindows();
    EXPECT_FALSE(MakeWritable(asset));
    EXPECT_EQ(LogTexts(Log::MsgType::Error), std::vector<std::string>{Message("asset", "locked by scanner") +
                                                                      "\nDetails:\n" + SortedLines(FilesOf(asset))});

    Log().Clear();
    const std::size_t executions = Commands().Executions().size();
    ExpireSession(kPassword);
    EXPECT_FALSE(MakeWritable(asset, false));
    const std::vector<std::string> errors = LogTexts(Log::MsgType::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(Message("asset", ""), 0), 0u);
    EXPECT_EQ(errors[0].find("Unknown error"), std::string::npos) << errors[0];
    EXPECT_EQ(Commands().Executions().size(), executions + 1);
}

} // namespace
