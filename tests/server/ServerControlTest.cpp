// Fault injection, the call record and slow operations.
#include "ServerFixture.h"

#include <QElapsedTimer>
#include <QtTest/QTest>

namespace standin::test {
namespace {

using namespace qor4::FileStatus;
using ServerControlTest = ServerFixture;

constexpr std::int32_t kInjected = -77;

TEST_F(ServerControlTest, InjectedFaultsAnswerTheirCodeAndChangeNothing)
{
    CheckIn("a.qor");
    server->FailNext(ServerOp::kEdit, kInjected, "injected\n");
    const ServerResult failed = server->Edit({"a.qor"}, "");
    EXPECT_EQ(failed.code, kInjected);
    EXPECT_EQ(failed.text, "injected\n");
    EXPECT_EQ(Word("a.qor"), 0u);
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_TRUE(server->Edit({"a.qor"}, "").Succeeded()); // only the next one

    server->FailAlways(ServerOp::kStatus, qor4::kResultSessionExpired, "down\n");
    EXPECT_EQ(server->Status({"a.qor"}).code, qor4::kResultSessionExpired);
    EXPECT_EQ(server->Status({"a.qor"}).text, "down\n");
    EXPECT_TRUE(server->PendingChangeLists().Succeeded()); // other operations are unaffected
    server->ClearFaults();
    EXPECT_TRUE(server->Status({"a.qor"}).Succeeded());

    server->FailNext(ServerOp::kAll, kInjected, "any\n");
    EXPECT_FALSE(server->IsChangeListValid(""));
    EXPECT_TRUE(server->IsChangeListValid(""));
}

TEST_F(ServerControlTest, CallsAreRecordedWithArguments)
{
    CheckIn("a.qor");
    server->Edit({"a.qor"}, "");
    server->Status({"a.qor", "b.qor"});
    ASSERT_EQ(server->Calls().size(), 2u);
    EXPECT_EQ(server->Calls()[0].operation, ServerOp::kEdit);
    EXPECT_EQ(server->Calls()[0].arguments, (std::vector<std::string>{"a.qor", ""}));
    EXPECT_EQ(server->Calls()[1].operation, ServerOp::kStatus);
    EXPECT_EQ(server->Calls()[1].arguments, (std::vector<std::string>{"a.qor", "b.qor"}));
}

TEST_F(ServerControlTest, SlowOperationsWaitWithOrWithoutTheDelegate)
{
    CheckIn("a.qor");
    server->SetSlow(ServerOp::kStatus, 30);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(server->Status({"a.qor"}).Succeeded());
    EXPECT_GE(clock.elapsed(), 25);

    TestDelegate delegate;
    server->SetTimeOutDelegate(&delegate);
    server->SetSlow(ServerOp::kStatus, 0);
    server->SetSlow(ServerOp::kEdit, 30);
    clock.restart();
    EXPECT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    EXPECT_GE(clock.elapsed(), 25);
    EXPECT_EQ(delegate.notified, 1);
    EXPECT_EQ(Word("a.qor"), kCheckedOut);
    EXPECT_EQ(delegate.waits, 1); // Status is no longer slow
}

TEST_F(ServerControlTest, CancelledSlowOperationChangesNothing)
{
    CheckIn("a.qor");
    TestDelegate delegate(5);
    server->SetTimeOutDelegate(&delegate);
    server->SetSlow(ServerOp::kAll, 200);
    const ServerResult result = server->Edit({"a.qor"}, "");
    EXPECT_EQ(result.code, ServerCode::kCancelled);
    EXPECT_EQ(result.text, std::string(ServerText::kCancelled) + "\n");
    server->SetSlow(ServerOp::kAll, 0);
    QTest::qWait(250); // the abandoned operation's completion must never arrive
    EXPECT_EQ(delegate.notified, 0);
    EXPECT_EQ(Word("a.qor"), 0u);
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
}

TEST_F(ServerControlTest, TenThousandFilesAreFast)
{
    constexpr int kCount = 10000;
    FileList files;
    for (int i = 0; i < kCount; ++i) {
        files.push_back("bulk/file" + std::to_string(i) + ".qor");
        server->AddDepotFile(files.back());
    }
    ASSERT_TRUE(server->Sync(files).Succeeded());
    QElapsedTimer clock;
    clock.start();
    const StatusResult status = server->Status(files);
    const qint64 statusMs = clock.restart();
    const ServerResult edit = server->Edit(files, "");
    const qint64 editMs = clock.elapsed();
    ASSERT_TRUE(status.Succeeded());
    ASSERT_TRUE(edit.Succeeded()) << edit.text.substr(0, 200);
    EXPECT_EQ(status.words, std::vector<qor4::StatusWord>(kCount, 0u));
    EXPECT_EQ(Word(files.back()), kCheckedOut);
    EXPECT_FALSE(IsReadOnly(Local(files.front())));
    RecordProperty("statusMs", static_cast<int>(statusMs));
    RecordProperty("editMs", static_cast<int>(editMs));
    // Well under a second on an idle machine; the bound leaves room for a loaded build host and
    // for the sanitizers' slowdown, and still fails when an operation gets ten times slower.
#ifdef __SANITIZE_ADDRESS__
    constexpr qint64 kBoundMs = 8000;
#else
    constexpr qint64 kBoundMs = 2500;
#endif
    EXPECT_LT(statusMs, kBoundMs);
    EXPECT_LT(editMs, kBoundMs);
}

} // namespace
} // namespace standin::test
