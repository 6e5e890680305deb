// The backend's contract, the same on every transport a studio may use: file://, svn:// (svnserve)
// and https:// (Apache with mod_dav_svn over TLS). Cases that need a server (passwords, rules, a
// stopped server) do not apply to file://.
#include "BackendFixture.h"

#include "revisioncontrol/OperationScope.h"

#include <QProcess>

#include <algorithm>
#include <atomic>
#include <csignal>

namespace {

// Spaces, '@' (a peg revision to a careless client), '#' (a URL fragment) and non-ASCII letters.
constexpr const char* kAwkward = "props/Stühle & Tische/chair @2x #1 ÉTÉ.qor";
constexpr auto kShortDeadline = std::chrono::milliseconds(2000);
constexpr auto kSanityBound = std::chrono::seconds(20);
// Past Apache's default KeepAliveTimeout (5 s), after which it closes an idle connection.
constexpr auto kBeyondKeepAlive = std::chrono::milliseconds(5500);
const std::string kConfirmed = "Submitted as revision 2 (confirmed after the connection was lost)";

// Waits, within the bound, until done() holds.
template <typename Condition> void WaitUntil(Condition done)
{
    const auto patience = std::chrono::steady_clock::now() + kSanityBound;
    while (!done() && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// The first answer of call that is no failure, retried while a server just started still turns
// connections away.
template <typename Call> auto OnceServerAnswers(Call call)
{
    auto result = call();
    WaitUntil([&] { return !result.Failed() || !(result = call()).Failed(); });
    return result;
}

class TransportContractTest : public BackendFixture<::testing::TestWithParam<Transport>> {
protected:
    TransportContractTest() : BackendFixture(kTwoUsers, GetParam()) {}
    void SetUp() override { CommitAndOpen({{kHero, "hero 1"}, {kLamp, "lamp 1"}}); }

    bool WithoutServer() const { return GetParam() == Transport::kFile; }

    // A commit made beside the backend reaches a replica when it synchronizes.
    void SynchronizeReplica()
    {
        if (!sandbox.Replica()) return;
        std::string unsynchronized;
        ASSERT_TRUE(sandbox.Replica()->Synchronize(unsynchronized)) << unsynchronized;
    }

    // Restarts the server once the hook is put back as harmless.
    void Restart(const char* hook)
    {
        ASSERT_TRUE(sandbox.Server().SetHook(hook, "#!/bin/sh\nexit 0\n"));
        std::string down;
        ASSERT_TRUE(sandbox.Server().Restart(down)) << down;
    }
};

TEST_P(TransportContractTest, ALockRefusesTheOtherUserNamingItsOwnerAndASubmitReleasesIt)
{
    ASSERT_FALSE(IsWritable(AlicePath(kHero))) << "svn:needs-lock files are checked out read-only";
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, "")));
    EXPECT_TRUE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), kMine);

    const standin::ServerResult refused = backend.Edit(bob, {BobPath(kLamp), BobPath(kHero)}, "");
    EXPECT_TRUE(Told(refused, ServerCode::kFileStateRejected, "hero.qor"));
    EXPECT_TRUE(Has(refused.text, "'alice'"));
    EXPECT_EQ(std::count(refused.text.begin(), refused.text.end(), '\n'), 1) << refused.text;
    EXPECT_FALSE(IsWritable(BobPath(kLamp))) << "all or nothing: the lamp is released again";
    EXPECT_FALSE(IsWritable(BobPath(kHero)));
    EXPECT_EQ(WordsOf(bob, {BobPath(kHero), BobPath(kLamp), BobPath("new.qor")}), (Words{kTheirs, 0, fs::kNotInDepot}));
    EXPECT_EQ(backend.Users(bob, {BobPath(kHero), BobPath(kLamp)}, true).users, Names{kAlice});
    // Checked out again: behind a replica the master is asked, which knows her token.
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, "")));
    EXPECT_EQ(WordsOf(alice, {AlicePath(kHero), AlicePath(kLamp)}), (Words{kMine, 0}));
    EXPECT_TRUE(HoldersOf(alice, AlicePath(kHero)).empty()) << "her own lock names no other holder";

    Write(AlicePath(kHero), "hero 2");
    EXPECT_GT(Submitted(alice), 0);
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), 0u) << "the submit released the lock";
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    ASSERT_EQ(sandbox.Update(kBob), "");
    EXPECT_EQ(Read(BobPath(kHero)), "hero 2");
    EXPECT_TRUE(Done(backend.Edit(bob, {BobPath(kHero)}, "")));
}

TEST_P(TransportContractTest, AnAwkwardlyNamedAssetGoesThroughAddCheckOutRevertDeleteAndSubmit)
{
    const std::string added = AlicePath(kAwkward);
    std::filesystem::create_directories(std::filesystem::path(added).parent_path());
    Write(added, "chair 1");
    ASSERT_TRUE(Done(backend.Add(alice, {added}, "")));
    EXPECT_EQ(WordOf(alice, added), fs::kMarkedForAdd);
    const long first = Submitted(alice);

    ASSERT_EQ(sandbox.Update(kBob), "");
    const std::string bobs = BobPath(kAwkward);
    EXPECT_EQ(Read(bobs), "chair 1");
    EXPECT_FALSE(IsWritable(bobs)) << "added with svn:needs-lock";
    ASSERT_TRUE(Done(backend.Edit(bob, {bobs}, "")));
    EXPECT_EQ(WordOf(bob, bobs), kMine);
    EXPECT_EQ(WordOf(alice, added), kTheirs);
    Write(bobs, "chair scribbled");
    ASSERT_TRUE(Done(backend.Revert(bob, {bobs})));
    EXPECT_EQ(Read(bobs), "chair 1");
    EXPECT_EQ(WordOf(bob, bobs), 0u) << "the revert released the lock";

    ASSERT_TRUE(Done(backend.Delete(bob, {bobs}, "")));
    EXPECT_EQ(WordOf(bob, bobs) & fs::kMarkedForDelete, fs::kMarkedForDelete);
    EXPECT_GT(Submitted(bob), first);
    ASSERT_EQ(sandbox.Update(kAlice), "");
    EXPECT_FALSE(std::filesystem::exists(added));
}

// Changed since the base revision: the file itself, or a folder above it deleted.
TEST_P(TransportContractTest, StatusTellsWhatTheRepositoryChangedSinceEachFilesBase)
{
    ASSERT_GT(Submit(bob, BobPath(kLamp), "lamp 2"), 0);
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), fs::kNotAtHead);
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), 0u) << "changed elsewhere only";
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), 0u) << "bob's own copy has the change";

    const QString folder = QString::fromStdString(sandbox.UrlOf(kBob) + "/chars");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"rm", "-m", "chars retired", folder}), 0);
    SynchronizeReplica();
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), fs::kNotAtHead) << "its folder was deleted";
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), fs::kNotAtHead);

    // A file replaced in one revision that alice then got, beside an older file that makes the
    // server's log start before the replacement.
    ASSERT_EQ(sandbox.RunSvn(kBob, {"rm", kLamp}), 0);
    Write(BobPath(kLamp), "lamp reborn");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"add", kLamp}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "lamp replaced"}), 0);
    SynchronizeReplica();
    const standin::UpdateResult updated = backend.Update(alice, {AlicePath(kLamp)});
    ASSERT_EQ(updated.code, 0) << updated.text;
    ASSERT_EQ(Read(AlicePath(kLamp)), "lamp reborn");
    // The hero's folder is still deleted; the lamp was replaced at the revision alice has.
    EXPECT_EQ(WordsOf(alice, {AlicePath(kHero), AlicePath(kLamp)}), (Words{fs::kNotAtHead, 0}));

    // The same for a file whose folder was replaced.
    ASSERT_EQ(sandbox.Update(kBob), "");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"rm", "props"}), 0);
    std::filesystem::create_directories(BobPath("props"));
    Write(BobPath(kLamp), "lamp reborn again");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"add", "props"}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "props replaced"}), 0);
    SynchronizeReplica();
    ASSERT_TRUE(Done(backend.Update(alice, {AlicePath("props")})));
    ASSERT_EQ(Read(AlicePath(kLamp)), "lamp reborn again");
    EXPECT_EQ(WordsOf(alice, {AlicePath(kHero), AlicePath(kLamp)}), (Words{fs::kNotAtHead, 0}));
}

// Kept connections the server closed in between (a restart; Apache ending an idle keep-alive): the
// submit asks the kept one for the locks it left, and the update is driven over it.
TEST_P(TransportContractTest, ASubmitAndAnUpdateAfterTheServerClosedTheKeptConnectionAreToldAsDone)
{
    if (WithoutServer()) GTEST_SKIP() << "no connection to keep";
    long revision = 0;
    const auto submit = [&](const std::string& text) {
        EXPECT_TRUE(Change(alice, AlicePath(kHero), text));
        const standin::ChangeListResult submitted = backend.Submit(alice, "");
        EXPECT_EQ(submitted.code, 0) << submitted.text;
        EXPECT_EQ(submitted.text, "");
        EXPECT_GT(submitted.revision, revision);
        revision = submitted.revision;
        EXPECT_EQ(WordOf(alice, AlicePath(kHero)), 0u) << "submitted, lock released, at the head revision";
        const standin::UpdateResult updated = backend.Update(bob, {});
        EXPECT_EQ(updated.code, 0) << updated.text;
        EXPECT_EQ(updated.text, "");
        EXPECT_EQ(updated.revision, revision);
        EXPECT_EQ(Read(BobPath(kHero)), text);
    };
    submit("hero 2");
    std::string error;
    ASSERT_TRUE(sandbox.Server().Restart(error)) << error;
    submit("hero 3");
    if (GetParam() != Transport::kHttps) return;
    std::this_thread::sleep_for(kBeyondKeepAlive);
    submit("hero 4");
}

TEST_P(TransportContractTest, APasswordChangedOnTheServerEndsTheSessionUntilTheNewOneIsGiven)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// asks no password";
    // The change reaches the session when its kept connection is renewed, here at once.
    backend.SetConnectionLife(std::chrono::milliseconds(0));
    sandbox.SetPassword(kBob, "bob-new-secret");
    const standin::ServerResult refused = backend.Edit(bob, {BobPath(kLamp)}, "");
    EXPECT_EQ(refused.code, qor4::kResultSessionExpired) << refused.text;
    EXPECT_FALSE(IsWritable(BobPath(kLamp)));

    const standin::LoginResult old =
        backend.OpenSession({kBob, "bob-secret", sandbox.UrlOf(kBob), sandbox.WorkingCopy(kBob), {}});
    EXPECT_TRUE(Has(old.text, standin::ServerText::kInvalidPassword));
    const SessionId again = Open(kBob);
    ASSERT_NE(again, 0);
    EXPECT_TRUE(Done(backend.Edit(again, {BobPath(kLamp)}, "")));
}

TEST_P(TransportContractTest, PathBasedAuthorizationRefusesAndChangesNothing)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// has no authorization rules";
    // Servers read the rules when a connection opens: renewed at once here.
    backend.SetConnectionLife(std::chrono::milliseconds(0));
    const SessionId later = Open(kBob);
    ASSERT_NE(later, 0);
    ASSERT_TRUE(sandbox.SetAuthorization("[/]\n* = rw\n[/props]\nbob = r\n"));
    // A refusal of rights is no refused password; named by its path, with the server's own reason.
    EXPECT_TRUE(Told(backend.Edit(later, {BobPath(kHero), BobPath(kLamp)}, ""), ServerCode::kFileStateRejected,
                     BobPath(kLamp) + " - "));
    EXPECT_FALSE(IsWritable(BobPath(kLamp)));
    EXPECT_FALSE(IsWritable(BobPath(kHero))) << "all or nothing: the hero is released again";
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), 0u);
}

TEST_P(TransportContractTest, AStoppedServerEndsAtTheDeadlineNamingItOrAtCancelAndLocksNothing)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// has no server to stop";
    backend.SetDeadline(kShortDeadline);
    ASSERT_TRUE(sandbox.Server().Freeze(true));
    const auto begin = std::chrono::steady_clock::now();
    const standin::ServerResult late = backend.Edit(alice, {AlicePath(kHero)}, "");
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(late.Failed());
    EXPECT_TRUE(Has(late.text, "did not answer"));
    EXPECT_TRUE(Has(late.text, sandbox.UrlOf(kAlice)));
    EXPECT_LT(waited, kSanityBound);

    std::atomic<bool> cancelled{false};
    std::thread user([&] {
        std::this_thread::sleep_for(kShortDeadline / 4);
        cancelled = true;
        backend.Interrupt();
    });
    standin::ServerResult abandoned;
    {
        const standin::OperationScope scope(cancelled);
        abandoned = backend.Edit(alice, {AlicePath(kLamp)}, "");
    }
    user.join();
    EXPECT_EQ(abandoned.code, ServerCode::kCancelled) << abandoned.text;

    // Behind a replica a check-out first reads the master's locks, so a frozen master stops it before
    // any lock request goes out; elsewhere the request went out and may still be carried out.
    const bool sent = Has(late.text, "may still lock these files after all");
    EXPECT_EQ(sent, !sandbox.BehindReplica(kAlice)) << late.text;
    if (sent) {
        EXPECT_TRUE(Has(late.text, AlicePath(kHero)));
    }

    ASSERT_TRUE(sandbox.Server().Freeze(false));
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_FALSE(IsWritable(AlicePath(kLamp)));
    // A request the server carries out late (a replica's proxy delivers it once the master thaws)
    // leaves a lock alice was told she did not get: her next operations release it.
    qor4::StatusWord hero = 0;
    qor4::StatusWord lamp = 0;
    WaitUntil([&] {
        EXPECT_EQ(WordOf(alice, AlicePath(kHero)) & fs::kLockedByMe, 0u);
        hero = WordOf(bob, BobPath(kHero));
        lamp = WordOf(bob, BobPath(kLamp));
        return hero == 0 && lamp == 0;
    });
    EXPECT_EQ(hero, 0u) << "nothing is left locked on the server";
    EXPECT_EQ(lamp, 0u);
}

// The server goes down while it releases the lamp's lock.
constexpr const char* kDieReleasingTheLamp = "#!/bin/sh\ncase \"$2\" in */lamp.qor) kill -9 $PPID ;; esac\nexit 0\n";

// Over HTTPS each lock is released by a request of its own, so a release cut off part-way has
// released some.
TEST_P(TransportContractTest, ARevertCutOffPartWayCallsStillLockedWhatTheServerKeptAndNothingElse)
{
    if (GetParam() != Transport::kHttps) GTEST_SKIP() << "only HTTPS releases each lock on its own";
    ASSERT_EQ(sandbox.Commit(kAlice, {{"props/chair.qor", "chair 1"}, {"props/table.qor", "table 1"}}), "");
    const std::vector<std::string> files{kHero, kLamp, "props/chair.qor", "props/table.qor"};
    standin::FileList paths;
    for (const std::string& file : files)
        paths.push_back(AlicePath(file));
    ASSERT_TRUE(Done(backend.Edit(alice, paths, "")));
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kDieReleasingTheLamp));

    const standin::ServerResult reverted = backend.Revert(alice, paths);
    ASSERT_NO_FATAL_FAILURE(Restart("pre-unlock"));

    ASSERT_TRUE(reverted.Failed()) << reverted.text;
    const std::size_t list = reverted.text.find("but these files are still locked:\n");
    ASSERT_NE(list, std::string::npos) << reverted.text;
    for (const std::string& file : files) {
        const bool told = reverted.text.find(AlicePath(file) + "\n", list) != std::string::npos;
        const bool held = (WordOf(bob, BobPath(file)) & fs::kLockedByOther) != 0;
        EXPECT_EQ(told, held) << file << "\n" << reverted.text;
    }

    // Once the server is back, reverting again releases what it kept.
    EXPECT_TRUE(Done(backend.Revert(alice, paths)));
    for (const std::string& file : files)
        EXPECT_EQ(WordOf(bob, BobPath(file)), 0u) << file;
}

// The server dies right after it released the lamp's lock, so the revert cannot know it did.
TEST_P(TransportContractTest, ARevertWhoseAnswerWasLostSucceedsWhenTriedAgain)
{
    if (WithoutServer()) GTEST_SKIP() << "no server process to lose an answer";
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
    ASSERT_TRUE(sandbox.Server().SetHook("post-unlock", "#!/bin/sh\nkill -9 $PPID\n"));

    const standin::ServerResult lost = backend.Revert(alice, {AlicePath(kLamp)});
    ASSERT_NO_FATAL_FAILURE(Restart("post-unlock"));
    ASSERT_EQ(WordOf(bob, BobPath(kLamp)), 0u) << "the server released the lock";
    EXPECT_TRUE(lost.Failed()) << "the answer never came";

    const standin::ServerResult again = backend.Revert(alice, {AlicePath(kLamp)});
    EXPECT_TRUE(again.Succeeded() && again.text.empty()) << again.text;
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), 0u);
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
}

// The server dies right after it took the lock; the next operation that reaches it releases it.
TEST_P(TransportContractTest, ACheckOutWhoseAnswerWasLostLeavesNoLockOnceTheServerIsBack)
{
    if (WithoutServer()) GTEST_SKIP() << "no server process to lose an answer";
    ASSERT_TRUE(sandbox.Server().SetHook("post-lock", "#!/bin/sh\nkill -9 $PPID\n"));

    const standin::ServerResult lost = backend.Edit(alice, {AlicePath(kHero)}, "");
    ASSERT_NO_FATAL_FAILURE(Restart("post-lock"));
    EXPECT_TRUE(lost.Failed());
    EXPECT_TRUE(Has(lost.text, "may still lock these files after all"));

    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), 0u);
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u) << "the lock the server took is released";
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, "")));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), kMine);
}

// A lock broken, or broken and taken by another user, is no longer this copy's to release.
TEST_P(TransportContractTest, AStolenLockRefusesMySubmitAndARevertOfBrokenOrStolenLocksSucceeds)
{
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "")));
    Write(AlicePath(kHero), "hero 2");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"unlock", "--force", kLamp}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"lock", "--force", kHero}), 0);
    // The stolen lock is the thief's: it refuses alice's check-out and her submit, which keeps her change.
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), kTheirs);
    EXPECT_TRUE(Told(backend.Edit(alice, {AlicePath(kHero)}, ""), ServerCode::kFileStateRejected, "'bob'"));
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_TRUE(submitted.Failed());
    EXPECT_EQ(submitted.revision, 0);
    EXPECT_TRUE(StartsWith(submitted.text, "Nothing was submitted from changelist default: "));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");
    EXPECT_EQ(HoldersOf(alice, AlicePath(kHero)), Names{kBob});

    const standin::ServerResult reverted = backend.Revert(alice, {AlicePath(kHero), AlicePath(kLamp)});

    EXPECT_TRUE(reverted.Succeeded() && reverted.text.empty()) << reverted.code << " " << reverted.text;
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 1");
    EXPECT_FALSE(IsWritable(AlicePath(kHero)) || IsWritable(AlicePath(kLamp)));
    EXPECT_EQ(WordsOf(alice, {AlicePath(kHero), AlicePath(kLamp)}), (Words{kTheirs, 0}));
    EXPECT_EQ(HoldersOf(alice, AlicePath(kHero)), Names{kBob});
    EXPECT_TRUE(Told(backend.Edit(alice, {AlicePath(kHero)}, ""), ServerCode::kFileStateRejected, "'bob'"));
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
}

// Written to the kept connection of a frozen server, the unlock would be carried out when the server
// wakes, behind the user's back: it goes only to a server that answered in that call.
TEST_P(TransportContractTest, ARevertThatAFrozenServerNeverAnsweredReleasesNoLockWhenItWakes)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// has no server to stop";
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero scribbled"));
    backend.SetDeadline(kShortDeadline);
    ASSERT_TRUE(sandbox.Server().Freeze(true));
    const standin::ServerResult reverted = backend.Revert(alice, {AlicePath(kHero)});
    ASSERT_TRUE(sandbox.Server().Freeze(false));
    EXPECT_TRUE(reverted.Failed());
    EXPECT_TRUE(Has(reverted.text, "did not answer"));
    // The local undo needs no server and is told as done; behind a replica the master's locks are
    // read first, so nothing was undone there.
    const bool undone = !sandbox.Replica();
    EXPECT_EQ(Read(AlicePath(kHero)), undone ? "hero 1" : "hero scribbled");
    EXPECT_EQ(bool(Has(reverted.text, "were undone:\n" + AlicePath(kHero) + "\nbut these files are still locked:\n" +
                                          AlicePath(kHero) + "\n")),
              undone)
        << reverted.text;

    // Time for whatever reached the server to be carried out.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_NE(WordOf(bob, BobPath(kHero)) & fs::kLockedByOther, 0u) << "the lock alice was told she holds";
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)) & (fs::kLockedByMe | fs::kLockedByOther), fs::kLockedByMe);
    ASSERT_TRUE(Done(backend.Revert(alice, {AlicePath(kHero)})));
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u);
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
}

TEST_P(TransportContractTest, ACommitCutOffAfterTheRepositoryTookItIsSettledAsSubmittedByTheNextOperation)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// has no server to end";
    // The commit is in the repository while the hook runs; the server dies before it answers.
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));
    // A new asset in a new folder goes with it.
    const std::string stage = AlicePath("sets/stage.qor");
    std::filesystem::create_directories(AlicePath("sets"));
    Write(stage, "stage 1");
    ASSERT_TRUE(Done(backend.Add(alice, {stage}, "")));
    standin::ChangeListResult submitted;
    std::thread user([&] { submitted = backend.Submit(alice, ""); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // From this thread: the server ends with the thread that started it.
    std::string restarted;
    const bool restartedOk = sandbox.Server().Restart(restarted);
    user.join();

    ASSERT_TRUE(restartedOk) << restarted;
    EXPECT_EQ(submitted.code, ServerCode::kOutcomeUnknown) << submitted.text;
    EXPECT_EQ(submitted.revision, 0);
    EXPECT_FALSE(Has(submitted.text, "Nothing was submitted"));
    EXPECT_TRUE(StartsWith(submitted.text, "The connection to " + sandbox.UrlOf(kAlice)));
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));
    if (sandbox.Replica()) {
        // A replica that has not received the revision cannot bring it: settled later, not told now.
        const standin::StatusResult early = OnceServerAnswers([&] { return Status(alice, {AlicePath(kHero)}); });
        ASSERT_TRUE(Done(early));
        EXPECT_EQ(early.settled, "");
    }
    // The hook above stood in for the one that feeds a replica.
    SynchronizeReplica();

    // The artist's next step is Get Latest, which settles the submit before it updates.
    const standin::UpdateResult updated = OnceServerAnswers([&] { return backend.Update(alice, {}); });
    ASSERT_TRUE(Done(updated));
    EXPECT_TRUE(Has(updated.settled, kConfirmed));
    // The working copy holds the revision: unchanged, unlocked, at the head, read-only; told once.
    const standin::StatusResult status = Status(alice, {AlicePath(kHero)});
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.words.front(), 0u) << status.text;
    EXPECT_EQ(status.settled, "");
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");
    EXPECT_EQ(WordOf(alice, stage), 0u) << "the new asset is checked in";
    EXPECT_EQ(WordOf(bob, BobPath(kHero)) & fs::kNotAtHead, fs::kNotAtHead) << "the repository took it";
}

// Its absence from the log tells nothing until the server has had its time since it last left a
// call unanswered, however long ago the submit began.
TEST_P(TransportContractTest, ASubmitTheServerIsStillAtIsNotSettledAsNotSubmittedBeforeItHadItsTime)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// answers every call";
    backend.SetDeadline(kShortDeadline);
    // The repository takes the commit once the hook is done, well after the submit gave up.
    ASSERT_TRUE(sandbox.Server().SetHook("pre-commit", "#!/bin/sh\nsleep 7\nexit 0\n"));
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));
    // A new asset in new folders goes with it.
    const std::string tree = AlicePath("sets/forest/tree.qor");
    std::filesystem::create_directories(AlicePath("sets/forest"));
    Write(tree, "tree");
    ASSERT_TRUE(Done(backend.Add(alice, {tree}, "")));
    const auto begin = std::chrono::steady_clock::now();
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    ASSERT_EQ(submitted.code, ServerCode::kOutcomeUnknown) << submitted.text;
    EXPECT_TRUE(Has(submitted.text, "not known"));
    EXPECT_EQ(submitted.revision, 0);

    // Two deadlines after the submit began, less than two after it gave up.
    std::this_thread::sleep_until(begin + 5 * kShortDeadline / 2);
    const standin::StatusResult early = Status(alice, {AlicePath(kHero)});
    EXPECT_TRUE(Done(early));
    EXPECT_EQ(early.settled, "") << "too early to tell";

    WaitUntil([&] { return WordOf(bob, BobPath(kHero)) & fs::kNotAtHead; });
    ASSERT_TRUE(sandbox.Server().SetHook("pre-commit", ""));
    // Told once, with the files clean at the revision.
    const standin::StatusResult status = Status(alice, {AlicePath(kHero), tree});
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.settled, kConfirmed + ": changelist default.\n");
    EXPECT_EQ(status.words, (Words{0, 0}));
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");
}

TEST_P(TransportContractTest, ACommitTheRepositoryNeverTookAfterItsAnswerWasLostIsSettledAsNotSubmitted)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// has no server to wait for";
    // The client gives up before the server's hook answers; the hook then refuses the commit.
    ASSERT_TRUE(sandbox.Server().SetHook("pre-commit", "#!/bin/sh\nsleep 4\nexit 1\n"));
    backend.SetDeadline(kShortDeadline);
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));

    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    const auto gaveUp = std::chrono::steady_clock::now();
    ASSERT_EQ(submitted.code, ServerCode::kOutcomeUnknown) << submitted.text;
    // While the server may still take it, nothing is concluded and no second commit starts.
    EXPECT_EQ(Status(alice, {AlicePath(kHero)}).settled, "");
    const standin::ChangeListResult second = backend.Submit(alice, "");
    EXPECT_TRUE(second.Failed());
    EXPECT_TRUE(Has(second.text, "has not yet shown"));

    // Two deadlines after the server last left a call unanswered, counted in whole seconds.
    std::this_thread::sleep_until(gaveUp + 2 * kShortDeadline + std::chrono::seconds(1));
    const standin::StatusResult status = OnceServerAnswers([&] { return Status(alice, {AlicePath(kHero)}); });
    ASSERT_TRUE(Done(status));
    EXPECT_TRUE(Has(status.settled, "Nothing was submitted from changelist default"));
    EXPECT_EQ(status.words.front() & kMine, kMine);
    EXPECT_TRUE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");
    // Settled, the changelist can be submitted again.
    ASSERT_TRUE(sandbox.Server().SetHook("pre-commit", ""));
    EXPECT_EQ(Submitted(alice), 2);
}

TEST_P(TransportContractTest, AProgramKilledInASubmitThatLandedLeavesItSettledAndItsWorkingCopyCleanedAtTheNextLogin)
{
    if (WithoutServer()) GTEST_SKIP() << "file:// commits in the killed process itself";
    // The commit is in the repository while the hook runs, and the submitting program waits for it.
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", "#!/bin/sh\nsleep 4\nexit 0\n"));
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));
    QProcess submitter;
    submitter.start(QStringLiteral(ZR_SUBMITTER),
                    {QString::fromStdString(sandbox.UrlOf(kAlice)), QString::fromStdString(sandbox.WorkingCopy(kAlice)),
                     kAlice, QString::fromStdString(sandbox.ConfigFolder())});
    ASSERT_TRUE(submitter.waitForStarted());
    submitter.write(QByteArray::fromStdString(sandbox.Password(kAlice) + "\n"));
    submitter.closeWriteChannel();
    ASSERT_TRUE(submitter.waitForReadyRead(20000)) << submitter.readAllStandardError().toStdString();
    WaitUntil([&] { return WordOf(bob, BobPath(kHero)) & fs::kNotAtHead; });
    ASSERT_EQ(submitter.state(), QProcess::Running) << "the submit ended before it could be cut off";
    kill(static_cast<pid_t>(submitter.processId()), SIGKILL);
    submitter.waitForFinished();
    ASSERT_TRUE(sandbox.Server().SetHook("post-commit", ""));
    SynchronizeReplica();

    standin::SvnBackend restarted;
    restarted.SetConfigurationFolder(sandbox.ConfigFolder());
    const standin::LoginResult login = restarted.OpenSession(
        {kAlice, sandbox.Password(kAlice), sandbox.UrlOf(kAlice), sandbox.WorkingCopy(kAlice), {}});
    ASSERT_TRUE(Done(login));
    EXPECT_TRUE(Has(login.settled, "left locked by a program that ended; it was cleaned up"));
    EXPECT_TRUE(Has(login.settled, kConfirmed));
    const standin::StatusResult status =
        restarted.Status(login.session, {AlicePath(kHero)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.words.front(), 0u);
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_TRUE(Done(restarted.Edit(login.session, {AlicePath(kLamp)}, "")));
}

INSTANTIATE_TEST_SUITE_P(Transports, TransportContractTest,
                         ::testing::Values(Transport::kFile, Transport::kSvn, Transport::kHttps, Transport::kReplica),
                         [](const ::testing::TestParamInfo<Transport>& info) { return TransportName(info.param); });

} // namespace
