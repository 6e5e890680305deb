// The check-out and mark-for-add runners: one re-run after a re-opened session, and the texts.
#include "HostFixture.h"

#include "datamodel/ModelAssetFiles.h"

namespace {

namespace fs = qor4::FileStatus;

constexpr const char* kPassword = "s3cret";
constexpr const char* kCheckOutHeader = "Cannot checkout the assets\n";
constexpr const char* kMarkForAddHeader = "Cannot mark-for-add the assets\n";

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

    qor4::StatusWord StatusOf(const std::string& file) { return WordOf(file); }

    static void ExpectUntouched(const Texts& texts)
    {
        EXPECT_EQ(texts.errorString, "caller error");
        EXPECT_EQ(texts.message, "caller message");
        EXPECT_EQ(texts.details, "caller details");
    }
};

TEST_F(CommandRunnerTest, EmptyListsAndListsWithoutAnyItemDoNothing)
{
    Texts texts;
    EXPECT_EQ(CheckOut({}, texts).GetCode(), 0);
    EXPECT_EQ(MarkForAdd({}, texts).GetCode(), 0);
    EXPECT_EQ(MarkForAdd({RemovedAssetHandle("gone")}, texts).GetCode(), 0);
    ExpectUntouched(texts);
    EXPECT_TRUE(Commands().Executions().empty());
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
            EXPECT_EQ(StatusOf(file) & c.flag, c.flag) << file;
            EXPECT_FALSE(standin::IsReadOnlyOnDisk(file)) << file;
        }
    }
}

TEST_F(CommandRunnerTest, ExpiredSessionReopenedAndReRunLeavesNoTrace)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    AnswerPasswordNext(kPassword);
    Texts texts;

    EXPECT_EQ(CheckOut({asset}, texts).GetCode(), 0);

    ExpectUntouched(texts);
    EXPECT_EQ(Commands().Executions().size(), 2u);
    ASSERT_EQ(passwordDialogLabels.size(), 1u);
    EXPECT_TRUE(passwordDialogLabels[0].contains("Source control session expired. Password required to re-connect."));
    EXPECT_EQ(StatusOf(asset->GetAssetFile()) & fs::kCheckedOut, fs::kCheckedOut);
}

TEST_F(CommandRunnerTest, CancelledPasswordReportsTheExpiredSession)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    Modal().RejectNext();
    Texts texts;

    EXPECT_EQ(CheckOut({asset}, texts).GetCode(), qor4::kResultSessionExpired);

    EXPECT_EQ(Commands().Executions().size(), 1u);
    EXPECT_FALSE(texts.errorString.empty());
    EXPECT_EQ(texts.message, std::string(kCheckOutHeader) + "Cannot connect to source control.\n" +
                                 "Error reported by IO module: " + texts.errorString + "\n");
}

TEST_F(CommandRunnerTest, SecondExpiryIsNotRetried)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession(kPassword);
    AnswerPasswordNext(kPassword, [this] {
        Server().FailNext(standin::ServerOp::kEdit, qor4::kResultSessionExpired, "expired again\n");
    });
    Texts texts;

    EXPECT_EQ(CheckOut({asset}, texts).GetCode(), qor4::kResultSessionExpired);

    EXPECT_EQ(Commands().Executions().size(), 2u);
    EXPECT_EQ(passwordDialogLabels.size(), 1u);
    EXPECT_EQ(texts.errorString, "expired again\n");
    EXPECT_EQ(texts.message,
              std::string(kCheckOutHeader) + "Unknown error found\nError reported by IO module: expired again\n\n");
    EXPECT_EQ(texts.details, "Files:\n" + asset->GetAssetFile() + "\n");
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

TEST_F(CommandRunnerTest, RefusedCommandGivesMinusOne)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    Commands().RefuseNext();
    Texts texts;

    EXPECT_EQ(CheckOut({asset}, texts).GetCode(), -1);

    EXPECT_EQ(texts.message, "Could not execute command: Unknown error");
    EXPECT_EQ(texts.errorString, "caller error");
    EXPECT_EQ(texts.details, "caller details");
}

TEST_F(CommandRunnerTest, MarkForAddFailureWhoseOnlyFlagIsOneKeepsTheHeader)
{
    // The asset file is checked out by the current user; its external file is new.
    CheckIn("assets/mixed.qor", "mixed");
    const std::string assetFile = LocalPath("assets/mixed.qor");
    const std::string external = LocalPath("assets/mixed_1.tex");
    standin::DbObject* asset = Manager().CreateAsset({"mixed", assetFile, {external}, true});
    ASSERT_TRUE(Server().Edit(CurrentSession(), {assetFile}, "").Succeeded());
    Server().FailNext(standin::ServerOp::kAdd, standin::ServerCode::kIOError, "cannot add\n");
    Texts texts;

    EXPECT_EQ(MarkForAdd({Handle(asset)}, texts).GetCode(), standin::ServerCode::kIOError);

    EXPECT_EQ(texts.errorString, "cannot add\n");
    EXPECT_EQ(texts.message, kMarkForAddHeader);
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

} // namespace
