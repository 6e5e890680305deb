// The Simulate menu's switch over svnserve: the fault decorator is in the chain only while plugged in,
// and unplugging it while the worker runs an operation in it ends that operation normally and frees
// the decorator after it. Run under ThreadSanitizer too (scripts/tsan-tests.sh).
#include "testkit/FaultSwitch.h"
#include "SvnSandbox.h"

#include "subversion/SvnBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr const char* kUser = "alice";
constexpr const char* kFile = "assets/rock.qor";
constexpr int kSlowMs = 400;

class FaultSwitchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(sandbox.Commit(kUser, {{kFile, "rock"}}), "");
        auto subversion = std::make_shared<standin::SvnBackend>();
        subversion->SetConfigurationFolder(sandbox.ConfigFolder());
        simulation = std::make_shared<standin::FaultSwitch>(subversion);
        std::string failure;
        session = sandbox.Open(*simulation, kUser, failure);
        ASSERT_NE(session, 0) << failure;
        file = sandbox.PathOf(kUser, kFile);
    }
    void TearDown() override
    {
        if (session) simulation->CloseSession(session);
    }
    standin::StatusResult Status() { return simulation->Status(session, {file}, standin::StatusScope::kLocal); }

    SvnSandbox sandbox{{{kUser, ""}}};
    std::shared_ptr<standin::FaultSwitch> simulation;
    standin::SessionId session = 0;
    std::string file;
};

TEST_F(FaultSwitchTest, FaultsReachOperationsOnlyWhilePluggedIn)
{
    EXPECT_FALSE(simulation->Plugged());
    EXPECT_TRUE(Status().Succeeded());

    simulation->Faults()->FailAlways(standin::ServerOp::kStatus, standin::ServerCode::kServerError, "refused\n");
    EXPECT_TRUE(simulation->Plugged());
    const standin::StatusResult refused = Status();
    EXPECT_EQ(refused.code, standin::ServerCode::kServerError);
    EXPECT_EQ(refused.text, "refused\n");

    simulation->Unplug();
    EXPECT_FALSE(simulation->Plugged());
    EXPECT_TRUE(Status().Succeeded()) << "the fault went out with the decorator";
    // Plugged in again, it is a fresh decorator: no fault of the one before.
    simulation->Faults();
    EXPECT_TRUE(Status().Succeeded());
}

TEST_F(FaultSwitchTest, UnpluggedDuringAnOperationTheOperationEndsAndTheDecoratorGoesAfterIt)
{
    std::weak_ptr<standin::FaultyBackend> decorator = simulation->Faults();
    decorator.lock()->SetSlow(standin::ServerOp::kStatus, kSlowMs);
    standin::StatusResult slow;
    std::thread worker([&] { slow = Status(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // well inside the slow operation

    simulation->Unplug();
    EXPECT_FALSE(simulation->Plugged());
    EXPECT_FALSE(decorator.expired()) << "the running operation holds it";
    worker.join();

    EXPECT_TRUE(slow.Succeeded()) << slow.text;
    EXPECT_TRUE(decorator.expired()) << "nothing keeps the decorator once its last operation ended";
    // The Subversion backend is asked by one thread at a time, as the worker asks it: only now.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Status().Succeeded());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kSlowMs))
        << "the next operation goes straight to the Subversion backend";
}

} // namespace
