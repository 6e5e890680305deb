// A remote office: alice works through a replica (a write-through proxy kept by svnsync), bob on
// the master. Locks live on the master only; a replica that has not caught up is told as such.
#include "SvnSandbox.h"
#include "subversion/SvnBackend.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryFile>
#include <QUrl>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = qor4::FileStatus;
namespace ServerCode = standin::ServerCode;
using standin::SessionId;

constexpr const char* kAlice = "alice";
constexpr const char* kBob = "bob";
constexpr const char* kHero = "chars/hero.qor";
constexpr const char* kLamp = "props/lamp.qor";
constexpr const char* kBehind = "is behind its master";
constexpr auto kSanityBound = std::chrono::seconds(20);

class ReplicaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_TRUE(sandbox.BehindReplica(kAlice));
        ASSERT_FALSE(sandbox.BehindReplica(kBob));
        ASSERT_EQ(sandbox.Commit(kBob, {{kHero, "hero 1"}, {kLamp, "lamp 1"}}), "");
        backend.SetConfigurationFolder(sandbox.ConfigFolder());
        std::string failure;
        alice = sandbox.Open(backend, kAlice, failure);
        ASSERT_NE(alice, 0) << failure;
        bob = sandbox.Open(backend, kBob, failure);
        ASSERT_NE(bob, 0) << failure;
    }

    standin::StatusResult StatusOf(SessionId session, const std::string& file)
    {
        return backend.Status(session, {file}, standin::StatusScope::kWithRepository);
    }
    qor4::StatusWord WordOf(SessionId session, const std::string& file)
    {
        const standin::StatusResult status = StatusOf(session, file);
        EXPECT_TRUE(status.Succeeded()) << status.text;
        return status.words.empty() ? 0 : status.words.front();
    }
    std::vector<std::string> HoldersOf(SessionId session, const std::string& file)
    {
        const standin::UsersResult users = backend.Users(session, {file}, true);
        EXPECT_TRUE(users.Succeeded()) << users.text;
        return users.users;
    }

    SvnSandbox sandbox{{{kAlice, "alice-secret"}, {kBob, "bob-secret"}}, SvnSandbox::Transport::kReplica};
    standin::SvnBackend backend;
    SessionId alice = 0;
    SessionId bob = 0;
};

TEST_F(ReplicaTest, ALockTakenThroughTheReplicaIsMineThereAndNamedOnTheMasterAndTheOtherWayRound)
{
    const std::string aliceHero = sandbox.PathOf(kAlice, kHero);
    const std::string bobLamp = sandbox.PathOf(kBob, kLamp);
    ASSERT_TRUE(backend.Edit(alice, {aliceHero}, "").Succeeded());
    EXPECT_EQ(WordOf(alice, aliceHero), fs::kCheckedOut | fs::kLockedByMe) << "never broken nor stolen";
    EXPECT_TRUE(HoldersOf(alice, aliceHero).empty());
    EXPECT_EQ(WordOf(bob, sandbox.PathOf(kBob, kHero)), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(HoldersOf(bob, sandbox.PathOf(kBob, kHero)), std::vector<std::string>{kAlice});

    ASSERT_TRUE(backend.Edit(bob, {bobLamp}, "").Succeeded());
    const std::string aliceLamp = sandbox.PathOf(kAlice, kLamp);
    EXPECT_EQ(WordOf(alice, aliceLamp), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(HoldersOf(alice, aliceLamp), std::vector<std::string>{kBob});
    const standin::ServerResult refused = backend.Edit(alice, {aliceLamp}, "");
    EXPECT_EQ(refused.code, ServerCode::kFileStateRejected) << refused.text;
    EXPECT_NE(refused.text.find("'bob'"), std::string::npos) << refused.text;

    // A second check-out of what alice holds asks the master, which knows her token.
    EXPECT_TRUE(backend.Edit(alice, {aliceHero}, "").Succeeded());
    EXPECT_EQ(WordOf(alice, aliceHero), fs::kCheckedOut | fs::kLockedByMe);
}

TEST_F(ReplicaTest, AWorkingCopyOfOneFolderFindsItsLocksOnTheMaster)
{
    ASSERT_TRUE(backend.Edit(bob, {sandbox.PathOf(kBob, kHero)}, "").Succeeded());
    const std::string folder = sandbox.WorkingCopy(kAlice) + "-chars";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, folder, error, sandbox.Replica()->Url() + "/chars")) << error;
    const standin::LoginResult login =
        backend.OpenSession({kAlice, "alice-secret", sandbox.Replica()->Url(), folder, {}});
    ASSERT_FALSE(login.Failed()) << login.text;
    const std::string hero = folder + "/hero.qor";
    EXPECT_EQ(WordOf(login.session, hero), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(HoldersOf(login.session, hero), std::vector<std::string>{kBob});
    ASSERT_TRUE(backend.Revert(bob, {sandbox.PathOf(kBob, kHero)}).Succeeded());
    ASSERT_TRUE(backend.Edit(login.session, {hero}, "").Succeeded());
    EXPECT_EQ(WordOf(login.session, hero), fs::kCheckedOut | fs::kLockedByMe);
}

TEST_F(ReplicaTest, AnUpdateThroughTheReplicaDoesNotCostTheCheckOut)
{
    const std::string aliceHero = sandbox.PathOf(kAlice, kHero);
    const std::string aliceLamp = sandbox.PathOf(kAlice, kLamp);
    ASSERT_TRUE(backend.Edit(alice, {aliceHero, aliceLamp}, "").Succeeded());
    std::ofstream(aliceHero, std::ios::trunc) << "hero 2";
    // The replica knows no lock, so an update tells alice's copy that hers are gone.
    ASSERT_EQ(sandbox.RunSvn(kAlice, {QStringLiteral("update")}), 0);
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    ASSERT_TRUE(submitted.Succeeded()) << submitted.text;
    EXPECT_GT(submitted.revision, 0);
    EXPECT_EQ(WordOf(bob, sandbox.PathOf(kBob, kHero)), fs::kNotAtHead) << "the submit released the lock";

    ASSERT_EQ(sandbox.RunSvn(kAlice, {QStringLiteral("update")}), 0);
    EXPECT_EQ(WordOf(alice, aliceLamp), fs::kCheckedOut | fs::kLockedByMe);
    EXPECT_TRUE(HoldersOf(alice, aliceLamp).empty());
    EXPECT_TRUE(backend.Revert(alice, {aliceLamp}).Succeeded());
    EXPECT_EQ(WordOf(bob, sandbox.PathOf(kBob, kLamp)), 0u) << "the revert released the lock";
}

TEST_F(ReplicaTest, RightAfterAnUpdateThroughTheReplicaACheckOutKeepsTheLockAndARevertReleasesIt)
{
    const std::string aliceHero = sandbox.PathOf(kAlice, kHero);
    const std::string aliceLamp = sandbox.PathOf(kAlice, kLamp);
    ASSERT_TRUE(backend.Edit(alice, {aliceHero, aliceLamp}, "").Succeeded());
    ASSERT_EQ(sandbox.RunSvn(kAlice, {QStringLiteral("update")}), 0);
    // No status in between: the change itself must find the dropped tokens on the master.
    const standin::ServerResult again = backend.Edit(alice, {aliceHero}, "");
    EXPECT_TRUE(again.Succeeded()) << "not refused as held by alice herself: " << again.text;
    EXPECT_EQ(backend.Status(alice, {aliceHero}, standin::StatusScope::kLocal).words,
              std::vector<qor4::StatusWord>{fs::kCheckedOut | fs::kLockedByMe});

    ASSERT_EQ(sandbox.RunSvn(kAlice, {QStringLiteral("update")}), 0);
    const standin::ServerResult reverted = backend.Revert(alice, {aliceLamp});
    ASSERT_TRUE(reverted.Succeeded()) << reverted.text;
    EXPECT_TRUE(backend.Edit(bob, {sandbox.PathOf(kBob, kLamp)}, "").Succeeded()) << "the revert released the lock";
}

TEST_F(ReplicaTest, ALockStolenOnTheMasterIsToldThroughTheReplicaAndTheSubmitKeepsTheWork)
{
    const std::string aliceHero = sandbox.PathOf(kAlice, kHero);
    ASSERT_TRUE(backend.Edit(alice, {aliceHero}, "").Succeeded());
    std::ofstream(aliceHero, std::ios::trunc) << "hero by alice";
    ASSERT_EQ(sandbox.RunSvn(kBob, {QStringLiteral("lock"), QStringLiteral("--force"), QString::fromStdString(kHero)}),
              0);

    EXPECT_EQ(WordOf(alice, aliceHero), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(HoldersOf(alice, aliceHero), std::vector<std::string>{kBob});
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_TRUE(submitted.Failed());
    EXPECT_LE(submitted.revision, 0) << submitted.text;
    std::ifstream in(aliceHero);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "hero by alice") << "the work is still there";
}

TEST_F(ReplicaTest, AReplicaBehindItsMasterIsToldAsBehindAndAnswersOnceItCatchesUp)
{
    // No post-commit sync: the replica stays at the revision it had.
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));
    const std::string aliceHero = sandbox.PathOf(kAlice, kHero);
    ASSERT_TRUE(backend.Edit(alice, {aliceHero}, "").Succeeded());
    std::ofstream(aliceHero, std::ios::trunc) << "hero 2";
    const auto begin = std::chrono::steady_clock::now();
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_GT(submitted.revision, 0) << "the commit went through to the master: " << submitted.text;
    // The master, which keeps the locks, tells the submit they were released; the lag is the next
    // status's to tell.
    EXPECT_TRUE(submitted.Succeeded()) << submitted.text;

    const standin::StatusResult behind = StatusOf(alice, aliceHero);
    EXPECT_TRUE(behind.Failed());
    EXPECT_NE(behind.text.find("The replica at " + sandbox.Replica()->Url() + " " + kBehind), std::string::npos)
        << behind.text;
    EXPECT_EQ(behind.text.find("stolen"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kSanityBound);

    std::string syncFailure = "not run";
    std::thread catchUp([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        sandbox.Replica()->Synchronize(syncFailure) ? syncFailure.clear() : void();
    });
    const standin::StatusResult caughtUp = StatusOf(alice, aliceHero);
    catchUp.join();
    EXPECT_EQ(syncFailure, "");
    ASSERT_TRUE(caughtUp.Succeeded()) << caughtUp.text;
    EXPECT_EQ(caughtUp.words.front(), 0u) << "the submit released the lock on the master";
    EXPECT_EQ(WordOf(bob, sandbox.PathOf(kBob, kHero)) & fs::kNotAtHead, fs::kNotAtHead);
}

TEST_F(ReplicaTest, TheLockServerSettingWinsOverTheMasterTheReplicaRecords)
{
    const std::string nowhere = "https://127.0.0.1:1/svn/depot";
    standin::SvnBackend elsewhere;
    elsewhere.SetConfigurationFolder(sandbox.ConfigFolder());
    elsewhere.SetLockServer(nowhere);
    std::string failure;
    EXPECT_EQ(sandbox.Open(elsewhere, kAlice, failure), 0);
    EXPECT_NE(failure.find("Cannot reach " + nowhere + ", the master of the replica at " + sandbox.Replica()->Url()),
              std::string::npos)
        << failure;

    standin::SvnBackend named;
    named.SetConfigurationFolder(sandbox.ConfigFolder());
    named.SetLockServer(sandbox.Url());
    const SessionId session = sandbox.Open(named, kAlice, failure);
    ASSERT_NE(session, 0) << failure;
    const std::string hero = sandbox.PathOf(kAlice, kHero);
    ASSERT_TRUE(named.Edit(session, {hero}, "").Succeeded());
    const standin::StatusResult status = named.Status(session, {hero}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.words.front(), fs::kCheckedOut | fs::kLockedByMe);
}

// Without the setting, the master the replica records is the lock server whatever server protocol
// names it; one that does not answer is told at login, naming it.
TEST_F(ReplicaTest, TheMasterTheReplicaRecordsOverPlainHttpIsItsLockServerToo)
{
    const std::string nowhere = "http://127.0.0.1:1/svn/depot";
    QTemporaryFile value;
    ASSERT_TRUE(value.open());
    value.write(nowhere.c_str());
    value.close();
    const QString replica = QUrl(QString::fromStdString(sandbox.Replica()->FileUrl())).toLocalFile();
    ASSERT_EQ(QProcess::execute(QStringLiteral("svnadmin"),
                                {QStringLiteral("setrevprop"), replica, QStringLiteral("-r"), QStringLiteral("0"),
                                 QStringLiteral("svn:sync-from-url"), value.fileName()}),
              0);
    standin::SvnBackend fresh;
    fresh.SetConfigurationFolder(sandbox.ConfigFolder());
    std::string failure;
    EXPECT_EQ(sandbox.Open(fresh, kAlice, failure), 0);
    EXPECT_NE(failure.find("Cannot reach " + nowhere + ", the master of the replica at " + sandbox.Replica()->Url()),
              std::string::npos)
        << failure;
}

} // namespace
