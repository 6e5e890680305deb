// What a failed commit is told as: refused (nothing was committed), or not known until the log is
// read. Only the server's own refusals are final once the commit was being finalized; a failure on
// the way back (a replica forwarding to its master, a request sent again after its connection was
// cut) may follow a commit the repository took.
#include "subversion/DeadlineWatch.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <mutex>

namespace {

using standin::svn::CommitOutcome;

struct CommitFailure {
    const char* name;
    apr_status_t code;
    bool finalizing;
    CommitOutcome outcome;
    bool absentFromLog = false;
};

void PrintTo(const CommitFailure& failure, std::ostream* out)
{
    *out << failure.name;
}

class CommitOutcomeTest : public ::testing::TestWithParam<CommitFailure> {};

TEST_P(CommitOutcomeTest, IsToldAsRefusedOnlyOnTheServersWord)
{
    QTemporaryDir config;
    standin::svn::Session session;
    session.client = std::make_unique<standin::svn::Client>(
        "alice", "", standin::svn::Client::Settings{config.path().toStdString(), {}});
    session.server = "https://127.0.0.1:1/svn/depot";
    standin::svn::DeadlineWatch watch;
    std::mutex guard;
    const standin::svn::Call call(watch, guard, std::chrono::seconds(30));
    const standin::svn::Error error(svn_error_create(GetParam().code, nullptr, "what the server said"));
    CommitOutcome outcome = CommitOutcome::kLanded;

    const standin::ServerResult told = standin::svn::FailedCommit(
        session, call, error, {0, GetParam().finalizing, GetParam().absentFromLog}, "changelist 4", outcome);

    EXPECT_EQ(outcome, GetParam().outcome);
    EXPECT_NE(told.text.find("what the server said"), std::string::npos) << told.text;
    if (GetParam().outcome == CommitOutcome::kRefused)
        EXPECT_EQ(told.text.rfind("Nothing was submitted from changelist 4", 0), 0u) << told.text;
    else
        EXPECT_EQ(told.code, standin::ServerCode::kOutcomeUnknown) << told.text;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CommitOutcomeTest,
    ::testing::Values(
        CommitFailure{"OutOfDateWhileFinalizing", SVN_ERR_FS_TXN_OUT_OF_DATE, true, CommitOutcome::kRefused},
        CommitFailure{"HookRefusalWhileFinalizing", SVN_ERR_REPOS_HOOK_FAILURE, true, CommitOutcome::kRefused},
        CommitFailure{"LockOfAnotherWhileFinalizing", SVN_ERR_FS_LOCK_OWNER_MISMATCH, true, CommitOutcome::kRefused},
        CommitFailure{"NotFoundWhileFinalizing", SVN_ERR_FS_NOT_FOUND, true, CommitOutcome::kUnknown},
        CommitFailure{"NotFoundWhileFinalizingAndAbsentFromTheLog", SVN_ERR_FS_NOT_FOUND, true, CommitOutcome::kRefused,
                      true},
        CommitFailure{"ResetWhileFinalizing", APR_ECONNRESET, true, CommitOutcome::kUnknown},
        CommitFailure{"NotFoundBeforeFinalizing", SVN_ERR_FS_NOT_FOUND, false, CommitOutcome::kRefused}),
    [](const ::testing::TestParamInfo<CommitFailure>& info) { return std::string(info.param.name); });

// Refusals at length keep whole lines within 16 KiB; a line that would cross it is counted instead.
TEST(CappedLinesTest, KeepsWholeLinesWithinTheBoundAndCountsTheRest)
{
    constexpr std::size_t kBound = 16384;
    const std::string fits(kBound - 1, 'a'); // with its newline, the bound exactly
    const std::string crosses(kBound, 'a');
    EXPECT_EQ(standin::svn::CappedLines("a\nb\n"), "a\nb\n");
    EXPECT_EQ(standin::svn::CappedLines(fits + "\nb\nc"), fits + "\n... and 2 more lines left out\n");
    EXPECT_EQ(standin::svn::CappedLines(crosses + "\nb\n"), "... and 2 more lines left out\n");
}

} // namespace
