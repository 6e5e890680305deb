// What a remote office pays per click is round trips, counted by a relay: each operation keeps to its
// few turns over the kept connection, and only a submit opens its own. The relay also drops links.
#include "BackendFixture.h"
#include "testkit/DelayRelay.h"

#include <QProcess>
#include <QUrl>

#include <atomic>
#include <functional>

namespace {

const std::string kConfirmed =
    "Submitted as revision 2 (confirmed after the connection was lost): changelist default.\n";

// What one operation added to the relay's counts.
using Cost = standin::DelayRelay::Counts;

std::string Said(const Cost& cost)
{
    return std::to_string(cost.turns) + " turns, " + std::to_string(cost.connections) + " new connections";
}

class RoundTripTest : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(relay.Error(), "");
        ASSERT_EQ(sandbox.Commit(kAlice, {{kHero, "hero 1"}, {kLamp, "lamp 1"}}), "");
        const std::string url = relay.UrlThrough(sandbox.Url());
        std::string error;
        ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, remote, error, url)) << error;
        backend.SetConfigurationFolder(sandbox.ConfigFolder());
        const standin::LoginResult login = backend.OpenSession({kAlice, sandbox.Password(kAlice), url, remote, {}});
        ASSERT_FALSE(login.Failed()) << login.text;
        session = login.session;
    }

    Cost CostOf(const std::function<void()>& work) const
    {
        const standin::DelayRelay::Counts before = relay.Count();
        work();
        const standin::DelayRelay::Counts after = relay.Count();
        return {after.connections - before.connections, after.turns - before.turns};
    }
    std::string Remote(const char* relative) const { return remote + "/" + relative; }
    // A submit of the hero, whose post-commit hook keeps the server from answering for a while, run
    // on a thread of its own into submitted.
    std::thread SubmitWithASlowHook(standin::ChangeListResult& submitted)
    {
        EXPECT_TRUE(sandbox.Server().SetHook("post-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
        EXPECT_TRUE(Done(backend.Edit(session, {Remote(kHero)}, "")));
        Write(Remote(kHero), "hero 2");
        return std::thread([this, &submitted] { submitted = backend.Submit(session, ""); });
    }

    SvnSandbox sandbox{{{kAlice, "alice-secret"}, {kBob, "bob-secret"}}, GetParam()};
    // A short delay, as a link has: with none, a busy machine lets a reply land between two requests
    // the client sends together, and one round trip counts as two.
    standin::DelayRelay relay{"127.0.0.1", sandbox.Server().Port(), std::chrono::milliseconds(20)};
    std::string remote = sandbox.WorkingCopy(kAlice) + "-remote";
    standin::SvnBackend backend;
    standin::SessionId session = 0;
};

TEST_P(RoundTripTest, EachOperationStaysWithinItsTurnsOverTheKeptConnection)
{
    const std::vector<std::string> both = {Remote(kHero), Remote(kLamp)};
    const Cost status =
        CostOf([&] { EXPECT_TRUE(backend.Status(session, both, standin::StatusScope::kWithRepository).Succeeded()); });
    EXPECT_TRUE(status.turns <= 3 && status.connections == 0) << "status: " << Said(status);

    const Cost checkOut = CostOf([&] { EXPECT_TRUE(backend.Edit(session, {Remote(kHero)}, "").Succeeded()); });
    EXPECT_TRUE(checkOut.turns <= 2 && checkOut.connections == 0) << "check-out: " << Said(checkOut);
    Write(Remote(kHero), "hero 2");
    const Cost revert = CostOf([&] { EXPECT_TRUE(backend.Revert(session, {Remote(kHero)}).Succeeded()); });
    EXPECT_TRUE(revert.turns <= 2 && revert.connections == 0) << "revert: " << Said(revert);

    ASSERT_EQ(sandbox.Commit(kBob, {{kLamp, "lamp 2"}}, kAlice), "");
    const Cost update = CostOf([&] {
        const standin::UpdateResult updated = backend.Update(session, {});
        EXPECT_EQ(updated.updated, std::vector<std::string>{Remote(kLamp)}) << updated.text;
    });
    // Over HTTPS Subversion fetches the changed files' texts on a second connection, as its own
    // update does.
    const int updateConnections = GetParam() == Transport::kHttps ? 1 : 0;
    EXPECT_TRUE(update.turns <= 4 && update.connections <= updateConnections) << "update: " << Said(update);

    ASSERT_TRUE(Done(backend.Edit(session, {Remote(kHero)}, "")));
    Write(Remote(kHero), "hero 3");
    // Subversion's HTTP commit asks more questions than its own protocol's.
    const long submitTurns = GetParam() == Transport::kHttps ? 8 : 6;
    const Cost submit = CostOf([&] { EXPECT_GT(backend.Submit(session, "").revision, 0); });
    EXPECT_TRUE(submit.turns <= submitTurns && submit.connections <= 1) << "submit: " << Said(submit);
}

// The repository's newest revision, read on the server's side.
long Youngest(const SvnSandbox& sandbox)
{
    QProcess svnlook;
    const QString repository = QUrl(QString::fromStdString(sandbox.Server().FileUrl())).toLocalFile();
    svnlook.start(QStringLiteral("svnlook"), {QStringLiteral("youngest"), repository});
    return svnlook.waitForFinished() ? svnlook.readAllStandardOutput().trimmed().toLong() : -1;
}

// The link drops while the server runs the commit's hooks. Subversion's HTTP client sends the
// cut-off request again, and the server no longer finds the transaction it committed.
using LinkDropTest = RoundTripTest;

TEST_P(LinkDropTest, ASubmitWhoseLinkDropsAfterTheRepositoryTookItIsToldAsDone)
{
    standin::ChangeListResult submitted;
    std::thread user = SubmitWithASlowHook(submitted);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Youngest(sandbox) < 2 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    relay.CutAll();
    user.join();
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));

    EXPECT_TRUE(Done(submitted));
    EXPECT_EQ(submitted.revision, 2);
    EXPECT_EQ(submitted.settled, kConfirmed);
    const standin::StatusResult status =
        backend.Status(session, {Remote(kHero)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.settled, "");
    EXPECT_EQ(status.words.front(), 0u) << "at the revision, unchanged and unlocked";
}

// The next operation brings the landed submit's files on a connection of its own; a server that
// stops answering just then leaves that to the operation after.
using SettleInterruptedTest = RoundTripTest;

TEST_P(SettleInterruptedTest, KeepsTheLandedSubmitForTheNextOperation)
{
    standin::ChangeListResult submitted;
    std::thread user = SubmitWithASlowHook(submitted);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string restarted;
    const bool restartedOk = sandbox.Server().Restart(restarted);
    user.join();
    ASSERT_TRUE(restartedOk) << restarted;
    ASSERT_EQ(submitted.code, ServerCode::kOutcomeUnknown) << submitted.text;
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));

    // The operation's first new connection asks the log for the submit; its second is the update
    // that brings the revision.
    backend.SetDeadline(std::chrono::seconds(2));
    const int before = relay.Count().connections;
    std::atomic<bool> frozen{false};
    std::thread stopper([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (relay.Count().connections < before + 2 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        frozen = sandbox.Server().Freeze(true);
    });
    const standin::UpdateResult stopped = backend.Update(session, {});
    stopper.join();
    ASSERT_TRUE(frozen);
    ASSERT_TRUE(sandbox.Server().Freeze(false));
    EXPECT_TRUE(stopped.Failed());
    EXPECT_TRUE(Has(stopped.settled, "Submitted as revision 2 (confirmed after the connection was lost): changelist "
                                     "default, but the working copy cannot be brought to it yet; the next operation "
                                     "tries again: "));

    const standin::StatusResult status =
        backend.Status(session, {Remote(kHero)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.settled, kConfirmed);
    EXPECT_EQ(status.words.front(), 0u) << "at the revision, unchanged and unlocked";
}

INSTANTIATE_TEST_SUITE_P(Https, LinkDropTest, ::testing::Values(Transport::kHttps),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

INSTANTIATE_TEST_SUITE_P(Svn, SettleInterruptedTest, ::testing::Values(Transport::kSvn),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

INSTANTIATE_TEST_SUITE_P(Transports, RoundTripTest, ::testing::Values(Transport::kSvn, Transport::kHttps),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

} // namespace
