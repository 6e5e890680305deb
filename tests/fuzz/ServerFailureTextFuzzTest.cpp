// A server's failure (a chain of Subversion errors with a hook's output) becomes one line of the
// user's message: the fixed words stay, the server adds no lines, a huge output makes no huge message.
#include "FailureText.h"
#include "FuzzRun.h"
#include "subversion/SvnError.h"

#include <gtest/gtest.h>

#include <apr_general.h>
#include <svn_error_codes.h>

#include <QString>

#include <algorithm>

namespace {

using standin::svn::Error;

constexpr std::size_t kHugeOutput = 200000;

const std::vector<apr_status_t> kCodes = {
    // what the server and the repository answer
    SVN_ERR_REPOS_HOOK_FAILURE, SVN_ERR_RA_SVN_CONNECTION_CLOSED, SVN_ERR_FS_NOT_FOUND, SVN_ERR_RA_NOT_AUTHORIZED,
    SVN_ERR_FS_PATH_ALREADY_LOCKED,
    // the working copy, the user, the system; 0 for no code at all
    SVN_ERR_WC_LOCKED, SVN_ERR_CANCELLED, APR_EGENERAL, 0};

const std::vector<std::string> kMessages = {
    "Commit blocked by pre-commit hook (exit code 1) with output:\n<h1>No</h1><img src=x>"
    "<a href=\"file:///etc/passwd\">here</a>",
    "Path '/props/chair.qor' is already locked by user '<b>bob</b>' in filesystem '/srv/r'",
    "\x1b[31mred\x1b[0m\r\nsecond line\n",
    "caf\xc3\xa9 \xff\xfe bytes",
};

const std::vector<std::string> kTokens = {"\n",   "\r", "\x1b[2J", "<a href=\"file:///\">", "\xc3",
                                          "\xff", ": ", "\t",      std::string(1, '\0')};

class ServerFailureTextFuzz : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(apr_initialize(), APR_SUCCESS); }
    static void TearDownTestSuite() { apr_terminate(); }
};

TEST_F(ServerFailureTextFuzz, AnyServerFailureIsOneBoundedLineBehindTheFixedWords)
{
    FuzzRun run;
    std::size_t huge = 0;
    while (run.Next() && !HasFailure()) {
        svn_error_t* chain = nullptr;
        for (std::size_t link = 1 + run.Below(5); link > 0; --link) {
            std::string message;
            if (run.OneIn(16)) {
                message = std::string(kHugeOutput, 'x') + "\n";
                ++huge;
            } else if (!run.OneIn(5)) {
                message = run.Mutate(kMessages[run.Below(kMessages.size())], kTokens);
            }
            message = message.c_str(); // a message with a zero byte ends there for Subversion too
            chain =
                svn_error_create(kCodes[run.Below(kCodes.size())], chain, message.empty() ? nullptr : message.c_str());
        }
        const std::string text = Error(chain).Text();
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_LE(text.size(), 8192u); // generous against the stand-in's own cut

        std::string expired = "Cannot make the assets writable\n";
        FailureText::ForFailedQuery(qor4::kResultSessionExpired, text, expired);
        EXPECT_EQ(expired, "Cannot make the assets writable\nCannot connect to source control.\n"
                           "Error reported by IO module: " +
                               text + "\n");
        std::string unknown;
        const bool matched = FailureText::ForObjects(
            {0}, {qor4::FileStatus::kCheckedOutByOther}, [](std::size_t) { return FailureText::Users{}; },
            [](std::size_t) { return std::string("chair"); }, text, unknown);
        EXPECT_FALSE(matched);
        EXPECT_EQ(std::count(unknown.begin(), unknown.end(), '\n'), 2) << unknown.substr(0, 200);
        if (HasFailure()) ADD_FAILURE() << "seed " << run.Seed() << ", round " << run.Rounds();
    }
    EXPECT_GT(huge, 0u);
}

// A hook's output of characters wider than a byte is cut between two characters, wherever the
// limit falls inside one.
TEST_F(ServerFailureTextFuzz, AHugeOutputIsNeverCutInsideACharacter)
{
    const std::string euro = "\xe2\x82\xac";
    for (std::size_t lead = 0; lead < euro.size(); ++lead) {
        std::string message(lead, 'x');
        for (std::size_t i = 0; i < kHugeOutput / euro.size(); ++i)
            message += euro;
        const std::string text = Error(svn_error_create(SVN_ERR_REPOS_HOOK_FAILURE, nullptr, message.c_str())).Text();
        const std::string head = text.substr(0, text.find(" [... "));
        ASSERT_LT(head.size(), message.size()) << "lead " << lead;
        EXPECT_EQ(QString::fromUtf8(head).toUtf8().toStdString(), head) << "lead " << lead;
        EXPECT_EQ((head.size() - lead) % euro.size(), 0u) << "lead " << lead;
    }
}

} // namespace
