// Explaining failures: reasons in flag order, users sorted and merged, and the file list.
#include "HostFixture.h"

#include <algorithm>

namespace {

namespace fs = qor4::FileStatus;

const std::set<int> kCheckOutStatuses{2, 4, 8, 16, 32, 64, 128, 32768, 131072};
const std::set<int> kMarkForAddStatuses{1, 2, 8, 32, 32768, 131072};
const std::set<int> kMarkForDeleteStatuses{2, 8, 32, 64, 128, 32768, 131072};

constexpr const char* kHeader = "Cannot checkout the assets\n";
constexpr const char* kCheckedOutReason = "because the following users have checked out some of the files\n";
constexpr const char* kNotAtHeadReason = "because some of the files are not at the head revision\n";
constexpr const char* kLockedReason = "because the following users have locked some of the files\n";

class FailureMessagesTest : public HostFixture {
protected:
    struct Description {
        bool matched = false;
        std::string message = kHeader;
        std::string details = "stale";
    };

    Description DescribeObjects(const std::vector<standin::DbObject*>& objects, const std::set<int>& statuses,
                                const std::string& errorString = "service text", bool includeExternal = true)
    {
        Description result;
        result.matched = Helper().DescribeObjectsFailure(ControlPtr(), Handles(objects), includeExternal, statuses,
                                                         errorString, result.message, result.details);
        return result;
    }

    static std::string FileLines(std::vector<std::string> files)
    {
        std::sort(files.begin(), files.end());
        std::string text;
        for (const std::string& file : files)
            text += file + "\n";
        return text;
    }

    int CallCount(const std::string& operation) const
    {
        const auto& calls = const_cast<FailureMessagesTest*>(this)->Control().GetCalls();
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const standin::DataControl::Call& call) {
            return call.operation == operation;
        }));
    }
};

TEST_F(FailureMessagesTest, TwoObjectsFailingForDifferentReasons)
{
    standin::DbObject* held = AddCheckedInAsset("held", 1);
    standin::DbObject* old = AddCheckedInAsset("old");
    OpenForEditAs(kThirdUser, held);
    OpenForEditAs(kOtherUser, held);
    SubmitAs(kOtherUser, old);

    const Description result = DescribeObjects({held, old}, kCheckOutStatuses);

    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.message, std::string(kHeader) + kCheckedOutReason + kNotAtHeadReason + "\nbob\ncarol\n");
    std::vector<std::string> files = FilesOf(held);
    files.push_back(old->GetAssetFile());
    EXPECT_EQ(result.details, "Files:\n" + FileLines(files));
}

TEST_F(FailureMessagesTest, ReasonsComeInAscendingFlagOrderWhateverTheInsertionOrder)
{
    standin::DbObject* locked = AddCheckedInAsset("locked");
    standin::DbObject* old = AddCheckedInAsset("old");
    standin::DbObject* unknown = AddLocalAsset("unknown");
    OpenForEditAs(kOtherUser, locked);
    LockAs(kOtherUser, locked);
    SubmitAs(kThirdUser, old);
    std::set<int> statuses;
    for (int flag : {131072, 128, 64, 2})
        statuses.insert(flag);

    const Description result = DescribeObjects({unknown, locked, old}, statuses);

    EXPECT_EQ(result.message, std::string(kHeader) + kCheckedOutReason + kNotAtHeadReason +
                                  "because some of the files are not in the database\n" + kLockedReason + "\nbob\n");
}

TEST_F(FailureMessagesTest, AFlagIsExplainedOnceAndUsersAreAskedForTheFirstObjectOnly)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    OpenForEditAs(kOtherUser, first);
    OpenForEditAs(kThirdUser, second);
    Control().ClearCalls();

    const Description result = DescribeObjects({first, second}, kCheckOutStatuses);

    EXPECT_EQ(result.message, std::string(kHeader) + kCheckedOutReason + "\nbob\n");
    ASSERT_EQ(CallCount("GetObjectUsers"), 1);
    for (const auto& call : Control().GetCalls())
        if (call.operation == "GetObjectUsers") EXPECT_EQ(call.arguments.front(), "first");
}

TEST_F(FailureMessagesTest, AUserHoldingFilesUnderTwoFlagsIsListedOnce)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    OpenForEditAs(kOtherUser, asset);
    LockAs(kOtherUser, asset);

    const Description result = DescribeObjects({asset}, kCheckOutStatuses);

    EXPECT_EQ(result.message, std::string(kHeader) + kCheckedOutReason + kLockedReason + "\nbob\n");
}

TEST_F(FailureMessagesTest, MarkForAddFailingOnlyOnFlagOneKeepsTheHeaderAlone)
{
    standin::DbObject* mine = AddCheckedInAsset("mine", 1);
    std::string errorText;
    ASSERT_EQ(Control().CheckOut({Handle(mine)}, true, {1, 2, -1}, "", errorText), qor4::kResultOk) << errorText;

    Description result;
    result.message = "Cannot mark-for-add the assets\n";
    result.matched = Helper().DescribeObjectsFailure(ControlPtr(), {Handle(mine)}, true, kMarkForAddStatuses, "refused",
                                                     result.message, result.details);

    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.message, "Cannot mark-for-add the assets\n");
    EXPECT_EQ(result.details, "Files:\n" + FileLines(FilesOf(mine)));
}

TEST_F(FailureMessagesTest, NothingMatchingGivesTheUnknownErrorAndStillTheFiles)
{
    standin::DbObject* clean = AddCheckedInAsset("clean");

    const Description result = DescribeObjects({clean}, kCheckOutStatuses, "");

    EXPECT_FALSE(result.matched);
    EXPECT_EQ(result.message, std::string(kHeader) + "Unknown error found\nError reported by IO module: \n");
    EXPECT_EQ(result.details, "Files:\n" + clean->GetAssetFile() + "\n");
}

TEST_F(FailureMessagesTest, ExpiredSessionDuringTheStateQueryGivesTheConnectionLines)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession();

    const Description result = DescribeObjects({asset}, kCheckOutStatuses, "session gone");

    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.message,
              std::string(kHeader) + "Cannot connect to source control.\nError reported by IO module: session gone\n");
    EXPECT_NE(result.details, "stale");
    EXPECT_EQ(result.details.find("Files:"), std::string::npos);
    EXPECT_EQ(CallCount("GetFiles"), 0);
}

TEST_F(FailureMessagesTest, OtherStateQueryFailureIsAnUnknownErrorWithTheServiceReport)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kDataBaseError, "depot is down\n");

    const Description result = DescribeObjects({asset}, kCheckOutStatuses, "x");

    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.message, std::string(kHeader) + "Unknown error encountered.\nError reported by IO module: x\n");
    EXPECT_NE(result.details.find("depot is down"), std::string::npos);
}

TEST_F(FailureMessagesTest, UsersThatCannotBeListedLeaveAnErrorEntry)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    OpenForEditAs(kOtherUser, asset);
    Server().FailNext(standin::ServerOp::kUsers, standin::ServerCode::kDataBaseError, "no users\n");

    const Description result = DescribeObjects({asset}, kCheckOutStatuses);

    EXPECT_EQ(result.message, std::string(kHeader) + kCheckedOutReason +
                                  "\nError found while trying to get the list of users for object asset\n\n");
}

class FilesFailureTest : public FailureMessagesTest {
protected:
    std::list<std::string> FileList(const std::vector<standin::DbObject*>& assets)
    {
        std::list<std::string> files;
        for (const standin::DbObject* asset : assets)
            files.push_back(asset->GetAssetFile());
        return files;
    }
};

TEST_F(FilesFailureTest, CombinedStatusIsTheOrOfTheFilesWords)
{
    standin::DbObject* held = AddCheckedInAsset("held");
    standin::DbObject* old = AddCheckedInAsset("old");
    OpenForEditAs(kOtherUser, held);
    SubmitAs(kThirdUser, old);
    std::uint32_t combined = 0xFFFF;

    const qor4::qorResult result =
        Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), FileList({held, old}), combined);

    EXPECT_EQ(result.GetCode(), 0);
    EXPECT_EQ(combined, fs::kCheckedOutByOther | fs::kNotAtHead);
}

TEST_F(FilesFailureTest, FailingStatusQueryReturnsItsCodeAndZero)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kDataBaseError, "down\n");
    std::uint32_t combined = 0xFFFF;

    const qor4::qorResult result =
        Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), FileList({asset}), combined);

    EXPECT_EQ(result.GetCode(), standin::ServerCode::kDataBaseError);
    EXPECT_EQ(combined, 0u);
}

TEST_F(FilesFailureTest, UsersComeInServiceOrderWithRepetitions)
{
    standin::DbObject* first = AddCheckedInAsset("first");
    standin::DbObject* second = AddCheckedInAsset("second");
    standin::DbObject* third = AddCheckedInAsset("third");
    OpenForEditAs(kThirdUser, first);
    OpenForEditAs(kOtherUser, second);
    LockAs(kThirdUser, first);
    OpenForEditAs(kThirdUser, third);
    const std::list<std::string> files = FileList({first, second, third});
    std::uint32_t combined = 0;
    ASSERT_EQ(Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), files, combined).GetCode(), 0);
    std::string message = "Cannot mark-for-delete the files\n";

    EXPECT_TRUE(Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), files, combined,
                                              kMarkForDeleteStatuses, "e", message));

    EXPECT_EQ(message, std::string("Cannot mark-for-delete the files\n") + kCheckedOutReason + kLockedReason +
                           "\ncarol\nbob\ncarol\n");
}

TEST_F(FilesFailureTest, UsersAreListedWhenTheCombinedWordNamesThemEvenIfNotOfInterest)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    OpenForEditAs(kOtherUser, asset);
    std::string message;

    EXPECT_TRUE(Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), FileList({asset}),
                                              fs::kCheckedOutByOther | fs::kNotAtHead, {64}, "e", message));

    EXPECT_EQ(message, std::string(kNotAtHeadReason) + "\nbob\n");
}

TEST_F(FilesFailureTest, UsersThatCannotBeListedAreApologisedFor)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    std::string message;

    // Nobody holds the file, so the service names no user.
    EXPECT_TRUE(Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), FileList({asset}),
                                              fs::kMarkedForDeleteByOther, kMarkForDeleteStatuses, "e", message));

    EXPECT_EQ(message, "because the following users have marked for delete some of the files\n"
                       "\nSorry cannot get the list of users\n");
}

TEST_F(FilesFailureTest, NoFlagOfInterestIsAnUnknownError)
{
    std::string message = "head\n";

    EXPECT_FALSE(Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), {"x.qor"},
                                               fs::kCheckedOut | fs::kMarkedForAdd, kMarkForDeleteStatuses, "disk full",
                                               message));

    EXPECT_EQ(message, "head\nUnknown error found\nError reported by IO module: disk full\n");
    EXPECT_TRUE(FileControl().Calls().empty());
}

} // namespace
