// Explaining failures through the services: what the helper asks them for a report (FailureTextTest
// holds the words for every combination of answers, CommandRunnerTest a whole report of a check-out).
#include "HostFixture.h"

namespace {

namespace fs = qor4::FileStatus;

const StatusFlags& kCheckOutStatuses = FailureFlags::kCheckOut;

constexpr const char* kHeader = "Cannot checkout the assets\n";
constexpr const char* kNotAtHeadReason = "because some of the files are not at the head revision\n";

class FailureMessagesTest : public HostFixture {
protected:
    struct Description {
        bool matched = false;
        std::string message = kHeader;
        std::string details = "stale";
    };

    Description DescribeObjects(const std::vector<standin::DbObject*>& objects,
                                const StatusFlags& statuses = kCheckOutStatuses,
                                const std::string& errorString = "service text")
    {
        Description result;
        result.matched = Helper().DescribeObjectsFailure(ControlPtr(), Handles(objects), true, statuses, errorString,
                                                         result.message, result.details);
        return result;
    }

    std::string DescribeFiles(const std::vector<standin::DbObject*>& assets, std::uint32_t combined,
                              const StatusFlags& statuses, bool expectMatch = true)
    {
        std::list<std::string> files;
        for (const standin::DbObject* asset : assets)
            files.push_back(asset->GetAssetFile());
        std::string message;
        EXPECT_EQ(
            Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), files, combined, statuses, "e", message),
            expectMatch);
        return message;
    }
};

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
    EXPECT_EQ(DataControlCallCount("GetFiles"), 0);
}

TEST_F(FailureMessagesTest, OtherStateQueryFailureIsAnUnknownErrorWithTheServiceReport)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "depot is down\n");

    const Description result = DescribeObjects({asset}, kCheckOutStatuses, "x");

    EXPECT_TRUE(result.matched);
    EXPECT_EQ(result.message, std::string(kHeader) + "Unknown error encountered.\nError reported by IO module: x\n");
    EXPECT_NE(result.details.find("depot is down"), std::string::npos);
}

TEST_F(FailureMessagesTest, CombinedStatusIsTheOrOfTheWordsOrZeroWithTheFailingCode)
{
    standin::DbObject* held = AddCheckedInAsset("held");
    standin::DbObject* old = AddCheckedInAsset("old");
    LockAs(kOtherUser, held);
    SubmitAs(kThirdUser, old);
    const std::list<std::string> files{held->GetAssetFile(), old->GetAssetFile()};
    std::uint32_t combined = 0xFFFF;

    EXPECT_EQ(Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), files, combined).GetCode(), 0);
    EXPECT_EQ(combined, fs::kCheckedOutByOther | fs::kLockedByOther | fs::kNotAtHead);

    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "down\n");
    EXPECT_EQ(Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), files, combined).GetCode(),
              standin::ServerCode::kServerError);
    EXPECT_EQ(combined, 0u);
}

TEST_F(FailureMessagesTest, FileUsersComeFromTheService)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    LockAs(kOtherUser, asset);

    EXPECT_EQ(DescribeFiles({asset}, fs::kCheckedOutByOther | fs::kNotAtHead, {fs::kNotAtHead}),
              std::string(kNotAtHeadReason) + "\nbob\n");
}

} // namespace
