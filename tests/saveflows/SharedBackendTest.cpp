// The backend stack shared between the UI thread and a background refresh. Under ThreadSanitizer an
// unguarded member shared by the two is a report and fails the test.
#include "FlowFixture.h"

#include "revisioncontrol/WorkerBackend.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr int kSessionRounds = 3;
constexpr int kFaultRounds = 40;
constexpr int kSlowMs = 1;
// Queries the refresh answers while the UI thread switches faults: the switching goes on until then.
constexpr int kQueriesWhileSwitching = 3;
constexpr std::chrono::seconds kPatience{20};
// Long enough for the check-out to reach the server's lock hook.
constexpr auto kHookUnderWay = std::chrono::milliseconds(500);

class SharedBackendTest : public FlowFixture {
protected:
    // Runs status queries on a thread of their own, as the demo's tree does, until work (started once
    // the first query answered, given the count of answered ones) is done; (answered, failed).
    template <typename UiWork> std::pair<int, int> WhileRefreshing(const standin::FileList& files, UiWork work)
    {
        std::atomic<bool> stop{false};
        std::atomic<int> answered{0};
        std::atomic<int> failed{0};
        const standin::SessionId session = CurrentSession();
        std::thread refresh([&] {
            while (!stop) {
                const standin::StatusResult status = Worker().Status(session, files, standin::StatusScope::kLocal);
                ++(status.Succeeded() ? answered : failed);
            }
        });
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        while (answered == 0 && failed == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        work(answered);
        stop = true;
        refresh.join();
        return {answered.load(), failed.load()};
    }
};

TEST_F(SharedBackendTest, SessionsAndFaultsChangedOnTheUiThreadLeaveABackgroundRefreshAnsweringWhole)
{
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const std::string file = asset->GetAssetFile();
    const auto [answered, failed] = WhileRefreshing({file}, [&](const std::atomic<int>& answeredSoFar) {
        // Two sessions at a time, so that the sessions the refresh looks its own up among change shape.
        for (int round = 0; round < kSessionRounds; ++round) {
            std::vector<standin::SessionId> others;
            for (const char* user : {kOtherUser, kThirdUser}) {
                std::string failure;
                others.push_back(Sandbox().Open(Worker(), user, failure));
                ASSERT_NE(others.back(), 0) << failure;
                EXPECT_TRUE(Worker().IsSessionOpen(others.back()));
            }
            for (const standin::SessionId other : others) {
                Worker().CloseSession(other);
                EXPECT_FALSE(Worker().IsSessionOpen(other));
            }
        }
        const int before = answeredSoFar;
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        for (int round = 0; round < kFaultRounds || (answeredSoFar < before + kQueriesWhileSwitching &&
                                                     std::chrono::steady_clock::now() < giveUp);
             ++round) {
            Server().SetOtherUserState(file, qor4::FileStatus::kMarkedForAddByOther, kOtherUser);
            Server().SetSlow(standin::ServerOp::kStatus, kSlowMs);
            Server().FailNext(standin::ServerOp::kSubmit, standin::ServerCode::kServerError, "refused");
            std::this_thread::yield();
            Server().SetOtherUserState(file, 0, std::string());
            Server().SetSlow(standin::ServerOp::kStatus, 0);
            Server().ClearFaults();
        }
    });
    EXPECT_GT(answered, 0);
    EXPECT_EQ(failed, 0) << "the refresh's own session stays open and no fault of the status operation was set";
    // The last state the UI thread left is the one the next query sees.
    Server().SetOtherUserState(file, qor4::FileStatus::kMarkedForAddByOther, kOtherUser);
    const standin::StatusResult status = Worker().Status(CurrentSession(), {file}, standin::StatusScope::kLocal);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    ASSERT_EQ(status.words.size(), 1u);
    EXPECT_NE(status.words[0] & qor4::FileStatus::kMarkedForAddByOther, 0u);
}

// The save's memo belongs to the UI thread; the Subversion backend runs one operation at a time, so a
// call while the worker's check-out waits for a slow lock hook is a race. Each death test's child
// runs this test again from its start, so all is set up as in the demo before the wrong thread calls.
TEST_F(SharedBackendTest, WhatBelongsToOneThreadStopsACallFromAnother)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    standin::DbObject* asset = AddCheckedInAsset("hero");
    const standin::FileList files{asset->GetAssetFile()};
    const standin::SessionId session = CurrentSession();
    ASSERT_TRUE(StatusMemo().Status(session, files, standin::StatusScope::kLocal).Succeeded());
    EXPECT_DEATH(
        {
            std::thread other([&] { StatusMemo().Status(session, files, standin::StatusScope::kLocal); });
            other.join();
        },
        "SaveStatusMemo::Status called on thread .*, but SaveStatusMemo belongs to thread");
    EXPECT_DEATH(
        {
            ASSERT_TRUE(Sandbox().Server().SetHook("pre-lock", "#!/bin/sh\nsleep 5\nexit 0\n"));
            std::thread checkOut([&] { Worker().Edit(session, files, ""); });
            std::this_thread::sleep_for(kHookUnderWay);
            Server().Status(session, files, standin::StatusScope::kLocal);
            checkOut.join();
        },
        "SvnBackend::Call called on thread .*, but SvnBackend belongs to thread");
    // Used in turn, as the tests' fixtures do, the backend serves either thread.
    EXPECT_TRUE(Server().Status(session, files, standin::StatusScope::kLocal).Succeeded());
}

} // namespace
