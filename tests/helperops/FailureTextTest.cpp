// The words of failure reports, from the services' answers as data and as the helper asks for them
// (CommandRunnerTest holds a whole check-out report); and what reaches a log is printable: controls
// and bytes that are not UTF-8 come out escaped, letters of any script, line breaks and tabs stay.
#include "FailureText.h"
#include "HostFixture.h"
#include "framework/DebugOutput.h"
#include "framework/MemoryLog.h"
#include "framework/PrintableText.h"

#include <gtest/gtest.h>

#include <map>

namespace {

namespace fs = qor4::FileStatus;
using Users = FailureText::Users;

constexpr const char* kCheckedOut = "because the following users have checked out some of the files\n";
constexpr const char* kNotAtHead = "because some of the files are not at the head revision\n";
constexpr const char* kNotInDepot = "because some of the files are not in the database\n";
constexpr const char* kLocked = "because the following users have locked some of the files\n";
constexpr const char* kHeader = "Cannot checkout the assets\n";
constexpr const char* kUnknown = "Unknown error found\nError reported by IO module: service text\n";

using Words = std::vector<qor4::StatusWord>;
using Asked = std::vector<std::size_t>;       // objects whose users were asked for, in order
using UsersOf = std::map<std::size_t, Users>; // the services' answer per object index; absent: never asked

TEST(ObjectsFailureText, SaysTheReasonsAndTheUsersOfTheFirstObjectPerFlag)
{
    const struct {
        const char* name;
        Words states;
        StatusFlags flags;
        UsersOf users;
        bool matched;
        std::string message;
        Asked asked;
    } cases[] = {
        {"reasons in ascending flag order, a user under two flags once",
         Words{fs::kNotInDepot, fs::kCheckedOutByOther | fs::kLockedByOther, fs::kNotAtHead}, FailureFlags::kCheckOut,
         UsersOf{{1, Users{{"bob"}}}}, true, std::string(kCheckedOut) + kNotAtHead + kNotInDepot + kLocked + "\nbob\n",
         Asked{1, 1}},
        {"a flag is told once, with the users of its first object only",
         Words{fs::kCheckedOutByOther, fs::kCheckedOutByOther}, StatusFlags{fs::kCheckedOutByOther},
         UsersOf{{0, Users{{"bob"}}}, {1, Users{{"carol"}}}}, true, std::string(kCheckedOut) + "\nbob\n", Asked{0}},
        {"users of several flags are merged and sorted", Words{fs::kLockedByOther, fs::kCheckedOutByOther},
         StatusFlags{fs::kCheckedOutByOther, fs::kLockedByOther},
         UsersOf{{0, Users{{"carol"}}}, {1, Users{{"bob", "carol"}}}}, true,
         std::string(kCheckedOut) + kLocked + "\nbob\ncarol\n", Asked{1, 0}},
        {"users that cannot be listed leave an error entry", Words{0, fs::kCheckedOutByOther},
         StatusFlags{fs::kCheckedOutByOther}, UsersOf{{1, Users{}}}, true,
         std::string(kCheckedOut) + "\nError found while trying to get the list of users for object asset1\n\n",
         Asked{1}},
        {"no users listed is an error entry too", Words{fs::kCheckedOutByOther}, StatusFlags{fs::kCheckedOutByOther},
         UsersOf{{0, Users{std::list<std::string>{}}}}, true,
         std::string(kCheckedOut) + "\nError found while trying to get the list of users for object asset0\n\n",
         Asked{0}},
        {"a flag without words matches silently", Words{fs::kCheckedOut}, StatusFlags{fs::kCheckedOut}, UsersOf{}, true,
         "", Asked{}},
        {"nothing of interest is an unknown error", Words{fs::kCheckedOut | fs::kMarkedForAdd},
         FailureFlags::kMarkForDelete, UsersOf{}, false, kUnknown, Asked{}},
        {"no objects is an unknown error", Words{}, FailureFlags::kCheckOut, UsersOf{}, false, kUnknown, Asked{}}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        Asked asked;
        const auto usersOf = [&](std::size_t object) {
            asked.push_back(object);
            const auto found = entry.users.find(object);
            return found == entry.users.end() ? Users{} : found->second;
        };
        const auto nameOf = [](std::size_t object) { return "asset" + std::to_string(object); };
        std::string message = kHeader;

        EXPECT_EQ(FailureText::ForObjects(entry.states, entry.flags, usersOf, nameOf, "service text", message),
                  entry.matched);
        EXPECT_EQ(message, kHeader + entry.message);
        EXPECT_EQ(asked, entry.asked);
    }
}

TEST(FilesFailureText, SaysTheReasonsAndTheUsersWhenTheCombinedWordNamesThem)
{
    const struct {
        const char* name;
        qor4::StatusWord combined;
        StatusFlags flags;
        Users users; // the services' answer
        bool matched;
        std::string message;
        bool asked;
    } cases[] = {{"users are listed when the word names them, even under a flag not of interest",
                  fs::kCheckedOutByOther | fs::kNotAtHead, StatusFlags{fs::kNotAtHead}, Users{{"bob"}}, true,
                  std::string(kNotAtHead) + "\nbob\n", true},
                 {"users that cannot be listed", fs::kLockedByOther, StatusFlags{fs::kLockedByOther}, Users{}, true,
                  std::string(kLocked) + "\nSorry cannot get the list of users\n", true},
                 {"no user is asked for without a flag that names users", fs::kNotAtHead | fs::kNotInDepot,
                  FailureFlags::kCheckOut, Users{{"bob"}}, true, std::string(kNotAtHead) + kNotInDepot, false},
                 {"nothing of interest is an unknown error", fs::kLockedByOther, StatusFlags{fs::kNotAtHead},
                  Users{{"bob"}}, false, kUnknown, false}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        bool asked = false;
        std::string message;

        EXPECT_EQ(FailureText::ForFiles(
                      entry.combined, entry.flags, [&] { return asked = true, entry.users; }, "service text", message),
                  entry.matched);
        EXPECT_EQ(message, entry.message);
        EXPECT_EQ(asked, entry.asked);
    }
}

TEST(FailureText, FilesDetailsAreSortedOnePerLine)
{
    EXPECT_EQ(FailureText::FilesDetails({"/w/b.qor", "/w/a.qor"}), "Files:\n/w/a.qor\n/w/b.qor\n");
    EXPECT_EQ(FailureText::FilesDetails({}), "Files:\n");
}

using FailureMessagesTest = HostFixture;

// A state query that fails while a failure is explained: a lost session gives the connection lines
// and asks for no files, any other failure is an unknown error whose details hold the service's report.
TEST_F(FailureMessagesTest, AFailedStateQueryIsALostConnectionOrAnUnknownErrorWithTheServiceReport)
{
    standin::DbObject* asset = AddCheckedInAsset("asset");
    const auto describe = [&](const std::string& errorString, std::string& message, std::string& details) {
        message = kHeader;
        details = "stale";
        return Helper().DescribeObjectsFailure(ControlPtr(), Handles({asset}), true, FailureFlags::kCheckOut,
                                               errorString, message, details);
    };
    std::string message, details;
    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "depot is down\n");
    EXPECT_TRUE(describe("x", message, details));
    EXPECT_EQ(message, std::string(kHeader) + "Unknown error encountered.\nError reported by IO module: x\n");
    EXPECT_NE(details.find("depot is down"), std::string::npos);

    ExpireSession();
    EXPECT_TRUE(describe("session gone", message, details));
    EXPECT_EQ(message,
              std::string(kHeader) + "Cannot connect to source control.\nError reported by IO module: session gone\n");
    EXPECT_NE(details, "stale");
    EXPECT_EQ(details.find("Files:"), std::string::npos);
    EXPECT_EQ(DataControlCallCount("GetFiles"), 0);
}

// The combined status is the OR of the files' words (zero with the failing code), and the users a
// failure names come from the service.
TEST_F(FailureMessagesTest, CombinedStatusIsTheOrOfTheWordsOrZeroAndFileUsersComeFromTheService)
{
    standin::DbObject* held = AddCheckedInAsset("held");
    standin::DbObject* old = AddCheckedInAsset("old");
    LockAs(kOtherUser, held);
    SubmitAs(kThirdUser, old);
    const std::list<std::string> files{held->GetAssetFile(), old->GetAssetFile()};
    std::uint32_t combined = 0xFFFF;

    EXPECT_EQ(Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), files, combined).GetCode(), 0);
    EXPECT_EQ(combined, fs::kCheckedOutByOther | fs::kLockedByOther | fs::kNotAtHead);
    std::string message;
    EXPECT_TRUE(Helper().DescribeFilesFailure(FileControlPtr(), CurrentAccount(), {held->GetAssetFile()},
                                              fs::kCheckedOutByOther | fs::kNotAtHead, {fs::kNotAtHead}, "e", message));
    EXPECT_EQ(message, std::string(kNotAtHead) + "\nbob\n");

    Server().FailNext(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "down\n");
    EXPECT_EQ(Helper().GetCombinedFilesStatus(FileControlPtr(), CurrentAccount(), files, combined).GetCode(),
              standin::ServerCode::kServerError);
    EXPECT_EQ(combined, 0u);
}

// ESC sequences that colour and clear a terminal, a carriage return that overwrites the line, a
// bell, C1's control sequence introducer, a right-to-left override and a byte that is no UTF-8.
constexpr const char* kHostile = "hook: \x1b[31mdenied\x1b[2J\rok\x07 \xc2\x9b"
                                 "1m \xe2\x80\xae"
                                 "cod.exe \xff\n"
                                 "next\tline, Ünïcödé ✓";
constexpr const char* kEscaped = "hook: \\x1B[31mdenied\\x1B[2J\\x0Dok\\x07 \\xC2\\x9B1m \\xE2\\x80\\xAEcod.exe \\xFF\n"
                                 "next\tline, Ünïcödé ✓";

TEST(LogTextTest, ControlsAndBytesThatAreNotUtf8AreEscapedInEveryLogAndUtf8IsToldApart)
{
    EXPECT_EQ(standin::PrintableText(kHostile), kEscaped);
    EXPECT_EQ(standin::PrintableText(kEscaped), kEscaped) << "escaping twice changes nothing";

    standin::MemoryLog log;
    Log::Singleton::Instance() << Log::MsgType::Error << kHostile;
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entries().front().text, kEscaped);

    standin::DebugOutput::Write(kHostile);
    EXPECT_EQ(standin::DebugOutput::Lines().back(), kEscaped);

    // UTF-8 is told from bytes that only look like it.
    EXPECT_TRUE(standin::IsUtf8("plain, Ünïcödé ✓ \xf0\x9f\x99\x82"));
    EXPECT_FALSE(standin::IsUtf8("bad\xff.qor"));
    EXPECT_FALSE(standin::IsUtf8("\xc0\xaf")) << "an overlong '/'";
    EXPECT_FALSE(standin::IsUtf8("\xed\xa0\x80")) << "a surrogate";
    EXPECT_FALSE(standin::IsUtf8("\xe2\x82")) << "a sequence cut short";
    EXPECT_FALSE(standin::IsUtf8("\xf4\x90\x80\x80")) << "beyond the last code point";
}

} // namespace
