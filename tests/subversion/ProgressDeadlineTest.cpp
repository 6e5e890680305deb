// A long operation over a distant link goes on while its server shows progress (getting files shows
// each as it comes; svnserve answers a check-out of many locks only at its end), and still ends at
// the deadline once the server stops answering, or at the cap.
#include "BackendFixture.h"
#include "subversion/ConnectionBreaker.h"
#include "subversion/DeadlineWatch.h"
#include "subversion/ProgressMark.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnOperation.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"
#include "testkit/DelayRelay.h"

#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <optional>

#include <signal.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kManyAssets = 10000;
constexpr auto kDelayEachWay = 50ms; // a 100 ms round trip
constexpr auto kDeadline = 2s;
// Far above the deadline, and far below the cap of these calls.
constexpr auto kSanityBound = 60s;

constexpr int kFilesBeforeTheStop = 100;

int FilesIn(const std::string& folder)
{
    std::error_code error;
    int count = 0;
    for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error))
        count += entry->is_regular_file(error) ? 1 : 0;
    return count;
}

class ProgressDeadlineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(relay.Error(), "");
        std::string error;
        ASSERT_TRUE(sandbox.Server().Relocate(kBob, sandbox.WorkingCopy(kBob), error, relay.UrlThrough(sandbox.Url())))
            << error;
        const standin::LoginResult login = backend.OpenSession(
            {kBob, sandbox.Password(kBob), relay.UrlThrough(sandbox.Url()), sandbox.WorkingCopy(kBob), {}});
        ASSERT_TRUE(Done(login));
        bob = login.session;
        // Imported by Subversion's own client, for Bob to get.
        const std::filesystem::path crowd = std::filesystem::path(sandbox.WorkingCopy(kAlice)).parent_path() / "crowd";
        for (int i = 0; i < kManyAssets; ++i) {
            const std::string relative = std::to_string(i / 100) + "/extra" + std::to_string(i) + ".qor";
            std::filesystem::create_directories((crowd / relative).parent_path());
            std::ofstream(crowd / relative) << "extra " << i;
        }
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"import", "--quiet", "-m", "crowd", QString::fromStdString(crowd.string()),
                                          QString::fromStdString(sandbox.Url() + "/crowd")}),
                  0);
        backend.SetDeadline(kDeadline);
    }

    SvnSandbox sandbox{kTwoUsers};
    standin::DelayRelay relay{"127.0.0.1", sandbox.Server().Port(), kDelayEachWay};
    standin::SvnBackend backend;
    standin::SessionId bob = 0;
};

TEST_F(ProgressDeadlineTest, GettingTenThousandNewFilesOverADistantLinkFinishes)
{
    const auto start = Clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {}); // everything
    const auto took = Clock::now() - start;

    ASSERT_TRUE(Done(updated));
    EXPECT_GT(took, kDeadline) << "a quicker update would not show the deadline following the work";
    EXPECT_EQ(FilesIn(sandbox.PathOf(kBob, "crowd")), kManyAssets);
}

TEST_F(ProgressDeadlineTest, AServerThatStopsMidwayEndsTheUpdateAtTheDeadlineSayingSo)
{
    const pid_t server = sandbox.Server().Pid();
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        const auto giveUp = Clock::now() + kSanityBound;
        while (FilesIn(sandbox.PathOf(kBob, "crowd")) < kFilesBeforeTheStop && Clock::now() < giveUp)
            std::this_thread::sleep_for(10ms);
        stopped = kill(server, SIGSTOP) == 0;
    });
    const auto start = Clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {}); // everything
    const auto took = Clock::now() - start;
    stopper.join();
    ASSERT_TRUE(stopped);
    kill(server, SIGCONT);

    EXPECT_TRUE(updated.Failed());
    EXPECT_TRUE(Has(updated.text, "did not answer within 2.0 s"));
    EXPECT_LT(took, kSanityBound);
}

// The deadline breaks the sockets to the session's server, found by its host and port: a URL
// without a port means its scheme's default.
TEST(ServerAddress, IsTheUrlsHostAndPortOrTheSchemesDefault)
{
    for (const auto& [url, endpoint] :
         std::map<std::string, std::string>{{"svn://depot.example/repo", "depot.example 3690"},
                                            {"https://alice@depot.example/svn/repo", "depot.example 443"},
                                            {"http://depot.example/svn", "depot.example 80"},
                                            {"https://depot.example:8443/svn", "depot.example 8443"},
                                            {"svn://[::1]:4000/repo", "::1 4000"}}) {
        std::string host, port;
        EXPECT_TRUE(standin::svn::SplitUrl(url, host, port)) << url;
        EXPECT_EQ(host + " " + port, endpoint) << url;
    }
    std::string host, port;
    EXPECT_FALSE(standin::svn::SplitUrl("file:///srv/repo", host, port)) << "no server";
}

// The deadline as the backend's calls arm it, with a progress mark touched as the client does.
TEST(ProgressDeadline, IsPutOffWhileProgressComesAndPassesWhenItStopsOrAtTheCap)
{
    standin::svn::DeadlineWatch watch;
    constexpr auto kIdle = 500ms;
    struct Case {
        const char* what;
        std::chrono::milliseconds touchedFor; // progress shown for this long, every 20 ms
        std::chrono::milliseconds cap;
        bool capPassed; // and with it the deadline, while the progress was still shown
    };
    for (const Case& c : {Case{"progress for four deadlines", 2000ms, 20000ms, false},
                          Case{"progress past the cap", 2500ms, 1000ms, true}}) {
        auto progress = std::make_shared<standin::svn::ProgressMark>();
        standin::svn::Operation operation(watch);
        operation.Watch({}, kIdle, progress, Clock::now() + c.cap);
        const auto until = Clock::now() + c.touchedFor;
        while (Clock::now() < until) {
            progress->Touch();
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(operation.DeadlinePassed(), c.capPassed) << c.what;
        EXPECT_EQ(operation.CapPassed(), c.capPassed) << c.what;
        std::this_thread::sleep_for(2 * kIdle);
        EXPECT_TRUE(operation.DeadlinePassed()) << c.what << ": once the progress stopped";
    }
}

// Work that goes on past the cap (Subversion asking whether to stop while it works through the
// working copy) is told as abandoned at the cap, though the deadline's watch has not fired.
TEST(ProgressDeadline, WorkStoppedAtTheCapIsToldAsAbandonedThere)
{
    QTemporaryDir config;
    standin::svn::Session session;
    session.client = std::make_unique<standin::svn::Client>(
        "alice", "", standin::svn::Client::Settings{config.path().toStdString(), {}});
    session.server = "svn://127.0.0.1:1/depot";
    standin::svn::DeadlineWatch watch;
    std::mutex guard;
    standin::svn::Call call(watch, guard, 10ms);
    call.FollowProgress(std::make_shared<standin::svn::ProgressMark>());
    std::this_thread::sleep_for(call.Cap() + 50ms);
    const standin::svn::Error stopped(
        svn_error_create(SVN_ERR_CANCELLED, nullptr, "The server did not answer in time"));

    EXPECT_EQ(standin::svn::Failure(session, call, stopped).text,
              "The operation at the Subversion server svn://127.0.0.1:1/depot was still running after 0.2 s, the "
              "longest an operation may take; it was abandoned.\n");
}

// An operation that ends while its deadline's action (which breaks its connection) runs waits for
// the action to end, and no longer; a disarmed action that asks to run again does not.
TEST(DeadlineWatch, ADisarmThatMeetsItsActionRunningReturnsWhenTheActionEnds)
{
    standin::svn::DeadlineWatch watch;
    std::atomic<int> runs{0};
    std::atomic<bool> finished{false};
    const standin::svn::DeadlineWatch::Ticket ticket =
        watch.Arm(Clock::now(), standin::svn::DeadlineWatch::Renewing([&]() -> std::optional<Clock::time_point> {
                      ++runs;
                      std::this_thread::sleep_for(300ms);
                      finished = true;
                      return Clock::now();
                  }));
    while (runs == 0)
        std::this_thread::sleep_for(1ms);
    std::atomic<bool> disarmed{false};
    bool finishedFirst = false;
    std::thread operation([&] {
        watch.Disarm(ticket);
        finishedFirst = finished;
        disarmed = true;
    });
    const auto giveUp = Clock::now() + 5s;
    while (!disarmed && Clock::now() < giveUp)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(disarmed) << "still waiting after the action ended";
    watch.Arm(Clock::now(), [] {}); // wakes a disarm left waiting, so that the test ends
    operation.join();
    EXPECT_TRUE(finishedFirst);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(runs, 1);
}

} // namespace
