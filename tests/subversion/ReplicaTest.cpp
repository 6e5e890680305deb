// A remote office: alice works through a replica (a write-through proxy kept by svnsync), bob on
// the master. Locks live on the master only; a replica that has not caught up is told as such.
#include "BackendFixture.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QUrl>

namespace {

constexpr const char* kBehind = "is behind its master";
constexpr auto kSanityBound = std::chrono::seconds(20);

class ReplicaTest : public BackendFixture<> {
protected:
    ReplicaTest() : BackendFixture(kTwoUsers, Transport::kReplica) {}
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_TRUE(sandbox.BehindReplica(kAlice));
        ASSERT_FALSE(sandbox.BehindReplica(kBob));
        ASSERT_EQ(sandbox.Commit(kBob, {{kHero, "hero 1"}, {kLamp, "lamp 1"}}), "");
        backend.SetConfigurationFolder(sandbox.ConfigFolder());
        ASSERT_NO_FATAL_FAILURE(OpenBoth());
    }

    // A login of alice's that fails on a backend that reads the sandbox's configuration: why.
    std::string RefusedLogin(standin::SvnBackend& other)
    {
        other.SetConfigurationFolder(sandbox.ConfigFolder());
        std::string failure;
        EXPECT_EQ(sandbox.Open(other, kAlice, failure), 0);
        return failure;
    }
    std::string Unreachable(const std::string& master) const
    {
        return "Cannot reach " + master + ", the master of the replica at " + sandbox.Replica()->Url();
    }
};

TEST_F(ReplicaTest, AWorkingCopyOfOneFolderFindsItsLocksOnTheMaster)
{
    ASSERT_TRUE(Done(backend.Edit(bob, {BobPath(kHero)}, "")));
    const std::string folder = sandbox.WorkingCopy(kAlice) + "-chars";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, folder, error, sandbox.Replica()->Url() + "/chars")) << error;
    const standin::LoginResult login =
        backend.OpenSession({kAlice, "alice-secret", sandbox.Replica()->Url(), folder, {}});
    ASSERT_FALSE(login.Failed()) << login.text;
    const std::string hero = folder + "/hero.qor";
    EXPECT_EQ(WordOf(login.session, hero), kTheirs);
    EXPECT_EQ(HoldersOf(login.session, hero), Names{kBob});
    ASSERT_TRUE(Done(backend.Revert(bob, {BobPath(kHero)})));
    ASSERT_TRUE(Done(backend.Edit(login.session, {hero}, "")));
    EXPECT_EQ(WordOf(login.session, hero), kMine);
}

// The replica knows no lock, so each update tells alice's copy that hers are gone; with no status
// in between, each change must find the dropped tokens on the master.
TEST_F(ReplicaTest, AnUpdateThroughTheReplicaCostsNoCheckOutAndTheNextChangeFindsTheLocks)
{
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "")));
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, ""))) << "not refused as held by alice herself";
    EXPECT_EQ(backend.Status(alice, {AlicePath(kHero)}, standin::StatusScope::kLocal).words, Words{kMine});

    Write(AlicePath(kHero), "hero 2");
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
    EXPECT_GT(Submitted(alice), 0);
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), fs::kNotAtHead) << "the submit released the lock";

    ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), kMine);
    EXPECT_TRUE(HoldersOf(alice, AlicePath(kLamp)).empty());
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
    ASSERT_TRUE(Done(backend.Revert(alice, {AlicePath(kLamp)})));
    EXPECT_TRUE(Done(backend.Edit(bob, {BobPath(kLamp)}, ""))) << "the revert released the lock";
}

TEST_F(ReplicaTest, AReplicaBehindItsMasterIsToldAsBehindAndAnswersOnceItCatchesUp)
{
    // No post-commit sync: the replica stays at the revision it had.
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));
    const auto begin = std::chrono::steady_clock::now();
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_GT(submitted.revision, 0) << "the commit went through to the master: " << submitted.text;
    // The master, which keeps the locks, tells the submit they were released; the lag is the next
    // status's to tell.
    EXPECT_TRUE(Done(submitted));

    const standin::StatusResult behind = Status(alice, {AlicePath(kHero)});
    EXPECT_TRUE(behind.Failed());
    EXPECT_TRUE(Has(behind.text, "The replica at " + sandbox.Replica()->Url() + " " + kBehind));
    EXPECT_FALSE(Has(behind.text, "stolen"));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kSanityBound);

    std::string syncFailure = "not run";
    std::thread catchUp([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        sandbox.Replica()->Synchronize(syncFailure) ? syncFailure.clear() : void();
    });
    const standin::StatusResult caughtUp = Status(alice, {AlicePath(kHero)});
    catchUp.join();
    EXPECT_EQ(syncFailure, "");
    ASSERT_TRUE(Done(caughtUp));
    EXPECT_EQ(caughtUp.words.front(), 0u) << "the submit released the lock on the master";
    EXPECT_EQ(WordOf(bob, BobPath(kHero)) & fs::kNotAtHead, fs::kNotAtHead);
}

TEST_F(ReplicaTest, TheLockServerSettingWinsOverTheMasterTheReplicaRecords)
{
    const std::string nowhere = "https://127.0.0.1:1/svn/depot";
    standin::SvnBackend elsewhere;
    elsewhere.SetLockServer(nowhere);
    EXPECT_TRUE(Has(RefusedLogin(elsewhere), Unreachable(nowhere)));

    standin::SvnBackend named;
    named.SetConfigurationFolder(sandbox.ConfigFolder());
    named.SetLockServer(sandbox.Url());
    const SessionId session = Open(kAlice, &named);
    ASSERT_NE(session, 0);
    ASSERT_TRUE(Done(named.Edit(session, {AlicePath(kHero)}, "")));
    const standin::StatusResult status =
        named.Status(session, {AlicePath(kHero)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.words.front(), kMine);
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
    EXPECT_TRUE(Has(RefusedLogin(fresh), Unreachable(nowhere)));
}

} // namespace
