// The Subversion backend against a real svnserve, as two users with a working copy each.
#include "BackendFixture.h"
#include "revisioncontrol/AccountBook.h"
#include "revisioncontrol/FileVersionControl.h"
#include "subversion/RepositoryChanges.h"
#include "subversion/SubmitRecord.h"
#include "subversion/SvnLockListing.h"

#include "framework/MemoryLog.h"
#include "framework/PrintableText.h"
#include "revisioncontrol/OperationScope.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string_view>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* kTexture = "chars/hero_diffuse.tex";
constexpr const char* kChair = "props/chair.qor";

// Another program holding a folder's lock (levels below it: -1 all) in the working copy's database,
// as Subversion's own client does while it runs; killed, it leaves the lock behind.
bool Hold(QProcess& holder, const std::string& workingCopy, const std::string& folder, int levels)
{
    holder.start(QStringLiteral("/usr/bin/sqlite3"), {QString::fromStdString(workingCopy + "/.svn/wc.db")});
    if (!holder.waitForStarted()) return false;
    holder.write(
        QByteArray::fromStdString("INSERT INTO wc_lock (wc_id, local_dir_relpath, locked_levels) VALUES (1, '" +
                                  folder + "', " + std::to_string(levels) + ");\n.print taken\n"));
    return holder.waitForReadyRead(10000);
}

class SvnBackendTest : public BackendFixture<> {
protected:
    SvnBackendTest() : BackendFixture({{kAlice, ""}, {kBob, "bob-secret"}}) {}
    void SetUp() override
    {
        CommitAndOpen({{kHero, "hero 1"}, {kTexture, "texture 1"}, {kLamp, "lamp 1"}, {kChair, "chair 1"}}, false);
    }

    // Alice's revision 3: the hero changed, and the chars folder's externals set, for bob to get.
    void ChangeTheHeroAndPointCharsAt(const std::string& externals)
    {
        ASSERT_EQ(sandbox.Commit(kAlice, {{kHero, "hero 2"}}), "");
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"propset", "svn:externals", QString::fromStdString(externals), "chars"}), 0);
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"commit", "-m", "externals", "--depth", "empty", "chars"}), 0);
    }

    // Alice's login to a working copy of hers.
    standin::LoginResult Login(const std::string& workspace)
    {
        return backend.OpenSession({kAlice, sandbox.Password(kAlice), sandbox.UrlOf(kAlice), workspace, {}});
    }

    // The comment of the lock on a file, as bob, like every user of the repository, reads it.
    std::string LockCommentOf(const char* file)
    {
        standin::svn::Client client(kBob, sandbox.Password(kBob), {sandbox.ConfigFolder(), {}});
        client.GivePasswordTo(sandbox.Url());
        standin::svn::LockListing listing = standin::svn::ListLocks(client, sandbox.Url(), sandbox.WorkingCopy(kBob));
        EXPECT_FALSE(listing.error) << listing.error.Text();
        return listing.byPath[BobPath(file)].comment;
    }
};

// Spelled as a host may: the same file twice, through "./" and "//", and a path outside the copy.
TEST_F(SvnBackendTest, AStatusAnswersEveryRequestedPathInOrderHoweverItIsSpelled)
{
    ASSERT_TRUE(Done(backend.Edit(bob, {BobPath(kLamp)}, "")));
    const std::string chair = AlicePath(kChair);
    const std::string lamp = AlicePath(kLamp);
    const std::string props = AlicePath("props");
    const std::string outside = sandbox.WorkingCopy(kAlice) + "/../outside.qor";
    const standin::FileList request{lamp,    chair, props + "/./lamp.qor", props + "//chair.qor",
                                    outside, lamp,  props + "/new.qor"};

    const standin::StatusResult status = Status(alice, request);

    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.words, (Words{kTheirs, 0, kTheirs, 0, fs::kNotInDepot, kTheirs, fs::kNotInDepot}));
    EXPECT_EQ(status.changeLists.size(), request.size());
    // Against the working copy's order, which the walk follows (hero, then chair, then lamp).
    EXPECT_EQ(WordsOf(alice, {lamp, chair, AlicePath(kHero)}), (Words{kTheirs, 0, 0}));
    // Folders of the same name length at different depths: the walk starts above both.
    ASSERT_EQ(sandbox.Commit(kAlice, {{"chars/rig/hero_rig.qor", "rig 1"}}), "");
    EXPECT_EQ(WordsOf(alice, {lamp, AlicePath("chars/rig/hero_rig.qor")}), (Words{kTheirs, 0}));
}

// As a folder picker may give them; Subversion itself would end the host on such a path.
TEST_F(SvnBackendTest, APathEndingInASlashOrADotNamesItsFolderFileOrWorkingCopy)
{
    const std::string root = sandbox.WorkingCopy(kAlice);
    int revision = 1;
    for (const std::string& folder : {AlicePath("props/"), AlicePath("props/."), root, root + "/", root + "/."}) {
        const std::string lamp = "lamp " + std::to_string(++revision);
        ASSERT_EQ(Submit(bob, BobPath(kLamp), lamp), revision);
        EXPECT_TRUE(Done(backend.Update(alice, {folder}))) << folder;
        EXPECT_EQ(Read(AlicePath(kLamp)), lamp) << folder;
    }

    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kChair) + "/"}, "")));
    EXPECT_EQ(WordOf(alice, AlicePath("props/chair.qor/.")), kMine);
    EXPECT_EQ(HoldersOf(bob, BobPath(kChair) + "/"), Names{kAlice});
    EXPECT_TRUE(Done(backend.Revert(alice, {AlicePath("props/./chair.qor/")})));
    EXPECT_FALSE(IsWritable(AlicePath(kChair)));
    // The working copy as a user may type it in the preferences.
    for (const char* suffix : {"/", "/./"}) {
        const standin::LoginResult login = Login(root + suffix);
        ASSERT_TRUE(Done(login)) << suffix;
        EXPECT_TRUE(Done(backend.Update(login.session, {})));
        backend.CloseSession(login.session);
    }
}

// Names another client may commit: longer than the disk allows, or the administrative folder's.
// Either would stop every later update, and the first leaves the copy's queue of work stuck.
TEST_F(SvnBackendTest, ANameTheWorkingCopyCannotTakeIsToldAndLeftOutAndTheWorkingCopyStaysUsable)
{
    ASSERT_EQ(sandbox.Commit(kAlice, {{kLamp, "lamp 2"}}, kBob), "");
    const std::string longFile = "props/" + std::string(300, 'f') + ".qor";
    const std::string longFolder = "props/" + std::string(300, 'd');
    const std::string administrative = "chars/.svn";
    const QString source = QString::fromStdString(AlicePath("source.txt"));
    Write(source.toStdString(), "long");
    const QString url = QString::fromStdString(sandbox.Url() + "/");
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"import", "-m", "long", source, url + QString::fromStdString(longFile)}), 0);
    for (const std::string& folder : {longFolder, administrative})
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"mkdir", "-m", "odd", url + QString::fromStdString(folder)}), 0);

    // Stopped at a folder another program holds: what was left out before is named all the same,
    // since its folder now stands at the new revision and no later update offers it again.
    QProcess holder;
    ASSERT_TRUE(Hold(holder, sandbox.WorkingCopy(kBob), "chars", 0));
    const standin::UpdateResult stopped = backend.Update(bob, {BobPath("props"), BobPath("chars")});
    EXPECT_FALSE(stopped.Succeeded());
    for (const std::string& name : {longFile, longFolder})
        EXPECT_TRUE(Has(stopped.text, BobPath(name) + " - "));
    EXPECT_EQ(Read(BobPath(kLamp)), "lamp 2");
    holder.write("DELETE FROM wc_lock;\n");
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished());
    EXPECT_TRUE(Told(backend.Update(bob, {}), ServerCode::kPartlyDone, BobPath(administrative) + " - "));

    // What the working copy never had is neither asked about nor removed again.
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"delete", "-m", "gone", url + QString::fromStdString(longFile)}), 0);
    ASSERT_EQ(sandbox.Commit(kAlice, {{kChair, "chair 2"}}, kBob), "");
    EXPECT_TRUE(Done(backend.Update(bob, {})));
    EXPECT_EQ(Read(BobPath(kChair)), "chair 2");
    ASSERT_TRUE(Change(bob, BobPath(kLamp), "lamp 3"));
    EXPECT_TRUE(Done(backend.Submit(bob, "")));
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), 0u);
}

// Such a name fails Subversion's walk of its whole folder; the file is logged once, escaped, and
// reads as not in revision control.
TEST_F(SvnBackendTest, AFileNamedInBytesThatAreNotUtf8IsLeftOutAndStopsNoOtherFile)
{
    standin::MemoryLog log;
    const std::string inProps = AlicePath("props/bad\xff.qor");
    const std::string atRoot = AlicePath("bad\xff.qor");
    for (const std::string& path : {inProps, atRoot}) {
        const int file = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
        ASSERT_GE(file, 0) << "a name of raw bytes";
        ::close(file);
    }
    const standin::ChangeListResult change = backend.CreateChangeList(alice, "odd names");
    ASSERT_TRUE(Done(change));

    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp), AlicePath(kChair)}, change.changeList)));
    EXPECT_TRUE(backend.Edit(alice, {AlicePath(kHero), inProps}, change.changeList).Failed())
        << "the odd file cannot be checked out";
    EXPECT_FALSE(IsWritable(AlicePath(kHero))) << "nothing is left half checked out";
    EXPECT_TRUE(IsWritable(AlicePath(kLamp)));

    const standin::FileList request{AlicePath(kHero), AlicePath(kLamp), inProps, AlicePath(kChair), atRoot};
    for (const auto scope : {standin::StatusScope::kWithRepository, standin::StatusScope::kLocal})
        EXPECT_EQ(WordsOf(alice, request, scope), (Words{0, kMine, fs::kNotInDepot, kMine, fs::kNotInDepot}));
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), kTheirs);

    Write(AlicePath(kLamp), "lamp 2");
    EXPECT_EQ(Submitted(alice, change.changeList), 2);

    const std::vector<standin::MemoryLog::Entry> entries = log.Entries();
    for (const std::string& path : {inProps, atRoot}) {
        const std::string escaped = standin::PrintableText(path);
        ASSERT_TRUE(Has(escaped, "bad\\xFF.qor"));
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [&](const standin::MemoryLog::Entry& entry) {
                                    return entry.type == Log::MsgType::Warning && Has(entry.text, escaped);
                                }),
                  1)
            << log.Format();
    }
    EXPECT_EQ(log.Format().find('\xff'), std::string::npos) << "no raw byte reaches the log";
}

// Every user of the repository reads a lock's comment: it names the working copy by an id, the same
// for every session, never by a path (which may hold control characters).
TEST_F(SvnBackendTest, ALockCommentNamesTheWorkingCopyByAnIdAndNeverByItsPath)
{
    const auto holdsNoControl = [](const std::string& text) {
        return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    };

    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
    const std::string comment = LockCommentOf(kLamp);
    EXPECT_NE(comment, "");
    EXPECT_FALSE(Has(comment, "/"));
    EXPECT_FALSE(Has(comment, std::filesystem::path(sandbox.WorkingCopy(kAlice)).filename().string()));

    backend.CloseSession(alice);
    alice = Open(kAlice);
    ASSERT_NE(alice, 0);
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kChair)}, "")));
    EXPECT_EQ(LockCommentOf(kChair), comment) << "the same working copy, another session";

    const std::string odd = sandbox.WorkingCopy(kAlice) + "-\x1b[1mbold\ttab\x7f";
    ASSERT_EQ(sandbox.RunSvn(kAlice,
                             {"checkout", QString::fromStdString(sandbox.UrlOf(kAlice)), QString::fromStdString(odd)}),
              0);
    const standin::LoginResult login = Login(odd);
    ASSERT_TRUE(Done(login));
    EXPECT_TRUE(Done(backend.Edit(login.session, {odd + "/" + kHero}, "")));
    const std::string other = LockCommentOf(kHero);
    EXPECT_NE(other, "");
    EXPECT_NE(other, comment) << "another working copy";
    EXPECT_TRUE(holdsNoControl(other)) << other;
    EXPECT_FALSE(Has(other, "bold"));
    backend.CloseSession(login.session);

    // A damaged id is replaced, never passed on.
    Write(odd + "/.svn/zr-working-copy-id", "\x1b[31m/home/alice\n");
    const standin::LoginResult again = Login(odd);
    ASSERT_TRUE(Done(again));
    ASSERT_TRUE(Done(backend.Edit(again.session, {odd + "/" + kTexture}, "")));
    const std::string replaced = LockCommentOf(kTexture);
    EXPECT_TRUE(holdsNoControl(replaced)) << replaced;
    EXPECT_FALSE(Has(replaced, "/home"));
    backend.CloseSession(again.session);
}

// Its token never reached the copy (the check-out's answer was lost): not refused as held elsewhere.
TEST_F(SvnBackendTest, ALockOfThisWorkingCopyWhoseTokenNeverCameIsTakenUpByTheNextCheckOut)
{
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
    const std::string comment = LockCommentOf(kLamp);
    ASSERT_NE(comment, "");
    const QStringList lockTheHero{"lock", "-m", QString::fromStdString(comment),
                                  QString::fromStdString(sandbox.Url() + "/" + kHero)};
    ASSERT_EQ(sandbox.RunSvn(kAlice, lockTheHero), 0);
    ASSERT_FALSE(IsWritable(AlicePath(kHero))) << "the working copy has no token";

    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, "")));
    EXPECT_TRUE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), kMine);
    ASSERT_TRUE(Done(backend.Revert(alice, {AlicePath(kHero)})));
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u);

    // Taken up by a check-out that fails on another file, it is released with the rest.
    ASSERT_EQ(sandbox.RunSvn(kAlice, lockTheHero), 0);
    ASSERT_TRUE(Done(backend.Edit(bob, {BobPath(kChair)}, "")));
    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero), AlicePath(kChair)}, "");
    EXPECT_TRUE(Has(refused.text, AlicePath(kChair)));
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u) << refused.text;
}

// A pre-lock hook that refuses every file of a large check-out at length: the refusal keeps whole
// lines up to what a message can show, counts the rest, and no file is left locked.
TEST_F(SvnBackendTest, ALargeCheckOutRefusedAtLengthIsToldWithinBoundsAndLocksNothing)
{
    constexpr int kFiles = 200;
    std::map<std::string, std::string> files;
    for (int i = 0; i < kFiles; ++i)
        files["many/f" + std::to_string(i) + ".qor"] = "x";
    ASSERT_EQ(sandbox.Commit(kAlice, files), "");
    const std::string verbose = "#!/bin/sh\nhead -c 100000 /dev/zero | tr '\\0' x >&2\nexit 1\n";
    ASSERT_TRUE(sandbox.Server().SetHook("pre-lock", verbose));
    standin::FileList paths;
    for (const auto& entry : files)
        paths.push_back(AlicePath(entry.first));

    const standin::ServerResult refused = backend.Edit(alice, paths, "");

    EXPECT_EQ(refused.code, ServerCode::kFileStateRejected);
    EXPECT_LT(refused.text.size(), 20000u);
    const std::size_t last = refused.text.rfind("... and ");
    ASSERT_NE(last, std::string::npos) << refused.text.substr(0, 300);
    const long told = std::count(refused.text.begin(), refused.text.begin() + static_cast<long>(last), '\n');
    EXPECT_EQ(refused.text.substr(last), "... and " + std::to_string(kFiles - told) + " more lines left out\n");
    EXPECT_FALSE(IsWritable(paths.front()) || IsWritable(paths.back()));
    EXPECT_EQ(WordOf(bob, BobPath("many/f0.qor")), 0u);

    // The same for a release that a pre-unlock hook refuses: the revert keeps the locks and says so.
    ASSERT_TRUE(sandbox.Server().SetHook("pre-lock", "#!/bin/sh\nexit 0\n"));
    ASSERT_TRUE(Done(backend.Edit(alice, paths, "")));
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", verbose));
    const standin::ServerResult kept = backend.Revert(alice, paths);
    EXPECT_TRUE(kept.Failed());
    EXPECT_LT(kept.text.size(), 2 * 20000u) << "the still-locked list and the capped reasons";
    EXPECT_TRUE(Has(kept.text, "more lines left out\n"));
    EXPECT_EQ(WordOf(bob, BobPath("many/f0.qor")), kTheirs);
}

// New, or scheduled for addition; the request's other files are left alone too.
TEST_F(SvnBackendTest, ACheckOutOrDeleteOfAFileTheRepositoryHasNotGotIsRefusedNamingIt)
{
    const std::string sketch = AlicePath("props/sketch.qor");
    const std::string table = AlicePath("props/table.qor");
    Write(sketch, "sketch");
    Write(table, "table");
    ASSERT_TRUE(Done(backend.Add(alice, {table}, "")));

    const standin::ServerResult edit = backend.Edit(alice, {AlicePath(kLamp), sketch, table}, "");
    EXPECT_EQ(edit.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(edit.text, sketch + " - file(s) not in the repository.\n" + table + " - is scheduled for addition.\n");
    const standin::ServerResult deleted = backend.Delete(alice, {AlicePath(kLamp), table}, "");
    EXPECT_EQ(deleted.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(deleted.text, table + " - is scheduled for addition; revert it instead.\n");
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), 0u);
    EXPECT_EQ(WordOf(alice, table), fs::kMarkedForAdd);
    EXPECT_EQ(Read(table), "table");
}

// Far enough behind that a status asks for the tree's status report, not the log of what changed.
constexpr long kFarBehind = standin::svn::kMostLoggedRevisions + 1;

// Adds revisions that change nothing straight into the repository, as fast as its store allows.
bool AddEmptyRevisions(const std::string& repositoryUrl, long count)
{
    const QString dump = QDir::temp().filePath(QStringLiteral("zr-empty-revisions-%1.dump").arg(getpid()));
    {
        std::ofstream out(dump.toStdString());
        out << "SVN-fs-dump-format-version: 2\n\n";
        for (long revision = 1; revision <= count; ++revision)
            out << "Revision-number: " << revision << "\nProp-content-length: 10\nContent-length: 10\n\nPROPS-END\n\n";
    }
    QProcess load;
    load.setStandardInputFile(dump);
    load.start(QStringLiteral("svnadmin"), {QStringLiteral("load"), QStringLiteral("-q"),
                                            QUrl(QString::fromStdString(repositoryUrl)).toLocalFile()});
    const bool loaded =
        load.waitForFinished(120000) && load.exitStatus() == QProcess::NormalExit && load.exitCode() == 0;
    QFile::remove(dump);
    return loaded;
}

// A host opens and closes sessions all day, with their status walks and connections.
TEST_F(SvnBackendTest, SessionsOpenedAndClosedLeaveNoDescriptorOpen)
{
    const auto openWorkAndClose = [this] {
        const SessionId session = Open(kBob);
        ASSERT_NE(session, 0);
        EXPECT_TRUE(Done(Status(session, {BobPath(kHero)})));
        backend.CloseSession(session);
    };
    openWorkAndClose(); // what libraries open once, on first use, stays open
    const std::size_t before = OpenDescriptors();
    for (int round = 0; round < 5; ++round)
        openWorkAndClose();
    EXPECT_EQ(OpenDescriptors(), before);
}

// Learnt from the server's status report of the tree.
TEST_F(SvnBackendTest, AWorkingCopyFarBehindHeadStillLearnsWhatChangedAndWhoHoldsTheLocks)
{
    ASSERT_EQ(Submit(bob, BobPath(kLamp), "lamp 2"), 2);
    ASSERT_TRUE(Done(backend.Edit(bob, {BobPath(kHero)}, "")));
    ASSERT_TRUE(AddEmptyRevisions(sandbox.Server().FileUrl(), kFarBehind));

    const standin::FileList request{AlicePath(kLamp), AlicePath(kHero), AlicePath(kChair)};
    const Words expected{fs::kNotAtHead, kTheirs, 0};
    EXPECT_EQ(WordsOf(alice, request), expected);
    // A name Subversion cannot convert beside them makes the tree's report go around it.
    for (const char* odd : {"props/bad\xff.qor", "chars/bad\xff.qor"})
        Write(AlicePath(odd), "odd");
    EXPECT_EQ(WordsOf(alice, request), expected);
    EXPECT_EQ(HoldersOf(alice, AlicePath(kHero)), Names{kBob});
}

TEST_F(SvnBackendTest, MyLockInAnotherWorkingCopyIsNamedAsMineElsewhere)
{
    const std::string other = sandbox.WorkingCopy(kAlice) + "-laptop";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, other, error)) << error;
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"lock", kLamp}, other), 0);

    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), kTheirs);
    EXPECT_EQ(HoldersOf(alice, AlicePath(kLamp)), Names{"alice (in another working copy)"});
    EXPECT_TRUE(Told(backend.Edit(alice, {AlicePath(kLamp)}, ""), ServerCode::kFileStateRejected,
                     "locked by you (alice) in another working copy"));
    EXPECT_FALSE(IsWritable(AlicePath(kLamp)));
}

TEST_F(SvnBackendTest, AWorkingCopyInUseIsRefusedAndOneLeftLockedByAKilledClientIsCleanedUp)
{
    backend.SetDeadline(std::chrono::seconds(5));
    kill(sandbox.Server().Pid(), SIGSTOP);
    std::unique_ptr<QProcess> client = sandbox.StartSvn(kAlice, {"lock", kLamp});
    // The client holds the working copy while it waits for the stopped server.
    const std::string created = AlicePath("props/stool.qor");
    Write(created, "stool");
    standin::ServerResult busy;
    for (int attempt = 0; attempt < 50 && busy.code != ServerCode::kIOError; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        busy = backend.Add(alice, {created}, "");
    }
    EXPECT_TRUE(Told(busy, ServerCode::kIOError, sandbox.WorkingCopy(kAlice)));
    EXPECT_TRUE(Has(busy.text, "in use by another program"));

    client->kill();
    client->waitForFinished();
    kill(sandbox.Server().Pid(), SIGCONT);
    EXPECT_TRUE(Done(backend.Add(alice, {created}, "")));
    EXPECT_EQ(WordOf(alice, created), fs::kMarkedForAdd);
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero)}, "")));
}

// The server grants the lock but the copy cannot keep its token: the lock is released, not left with
// no token to use it. Once the program is gone, its lock left behind, the check-out cleans up.
TEST_F(SvnBackendTest, ACheckOutInAWorkingCopyAnotherProgramHoldsLeavesNoLockOnTheServer)
{
    QProcess holder;
    ASSERT_TRUE(Hold(holder, sandbox.WorkingCopy(kAlice), "", -1));

    EXPECT_TRUE(Told(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, ""), ServerCode::kIOError,
                     "in use by another program"));
    for (const char* file : {kHero, kLamp}) {
        EXPECT_EQ(WordOf(bob, BobPath(file)), 0u) << file << ": no lock is left on the server";
        EXPECT_FALSE(IsWritable(AlicePath(file)));
    }

    holder.kill();
    holder.waitForFinished();
    EXPECT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), kMine);
    EXPECT_TRUE(IsWritable(AlicePath(kLamp)));
}

// A file deleted on disk outside the host, neither got again nor marked for delete.
TEST_F(SvnBackendTest, AFileGoneFromTheDiskIsNotCheckedOutAndASubmitKeepsItsLockAndTheCopyUsable)
{
    std::filesystem::remove(AlicePath(kHero));
    EXPECT_TRUE(Told(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, ""), ServerCode::kFileStateRejected,
                     AlicePath(kHero) + " - is missing"));
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), 0u) << "nothing was locked";

    ASSERT_TRUE(Done(backend.Update(alice, {AlicePath(kHero)})));
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "")));
    Write(AlicePath(kLamp), "lamp 2");
    std::filesystem::remove(AlicePath(kHero));
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_EQ(submitted.code, ServerCode::kPartlyDone) << submitted.text;
    EXPECT_GT(submitted.revision, 0);
    EXPECT_TRUE(Has(submitted.text, AlicePath(kHero) + " - is missing from the working copy, so it stays locked"));
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), kTheirs);

    // The copy is not left needing a clean-up: the revert gets the file back and releases it.
    EXPECT_TRUE(Done(backend.Revert(alice, {AlicePath(kHero)})));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 1");
    EXPECT_TRUE(Done(backend.Edit(bob, {BobPath(kHero)}, "")));

    // A new file gone before its submit is named; the working copy is not blamed.
    const std::string fresh = AlicePath("props/fresh.qor");
    Write(fresh, "fresh");
    ASSERT_TRUE(Done(backend.Add(alice, {fresh}, "")));
    std::filesystem::remove(fresh);
    EXPECT_TRUE(Told(backend.Submit(alice, ""), ServerCode::kFileStateRejected,
                     "missing from the working copy; save them again, or revert them:\n" + fresh));
}

// Overwritten by a copying tool or a disk fault; an administrative folder gone is told as clearly.
TEST_F(SvnBackendTest, AWorkingCopyWhoseDataBaseIsDamagedIsNamedByEveryChangeAndNothingChanges)
{
    Write(sandbox.WorkingCopy(kAlice) + "/.svn/wc.db", std::string(4096, 'x'));
    const std::string unusable = "The working copy " + sandbox.WorkingCopy(kAlice) + " cannot be used: ";

    for (const standin::ServerResult& changed :
         {backend.Edit(alice, {AlicePath(kHero)}, ""), backend.Delete(alice, {AlicePath(kLamp)}, ""),
          backend.Revert(alice, {AlicePath(kChair)})}) {
        EXPECT_TRUE(Told(changed, ServerCode::kIOError));
        EXPECT_TRUE(StartsWith(changed.text, unusable));
    }
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(Read(AlicePath(kLamp)), "lamp 1");
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u) << "no lock was taken";

    std::filesystem::rename(sandbox.WorkingCopy(kBob) + "/.svn", sandbox.WorkingCopy(kBob) + "/.svn-gone");
    EXPECT_TRUE(Told(backend.Edit(bob, {BobPath(kHero)}, ""), ServerCode::kIOError, sandbox.WorkingCopy(kBob)));
    EXPECT_EQ(Read(BobPath(kHero)), "hero 1");
}

// Copying tools leave out empty folders such as .svn/tmp, without which Subversion needs a clean-up.
TEST_F(SvnBackendTest, AWorkingCopyThatLostItsEmptyTemporaryFolderStillUpdatesAndSubmits)
{
    const std::filesystem::path temporary = sandbox.WorkingCopy(kAlice) + "/.svn/tmp";
    ASSERT_EQ(sandbox.Commit(kBob, {{kHero, "hero 2"}}, kAlice), "");
    std::filesystem::remove_all(temporary);
    EXPECT_TRUE(Done(backend.Update(alice, {})));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");

    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kLamp)}, "")));
    std::filesystem::permissions(AlicePath(kLamp), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    Write(AlicePath(kLamp), "lamp 2");
    std::filesystem::remove_all(temporary);
    EXPECT_GT(Submitted(alice), 0);
}

// Refuses every unlock, naming the path, as a repository whose administrator froze unlocking does.
constexpr const char* kRefuseUnlocks = "#!/bin/sh\necho \"unlocking $2 is frozen\" >&2\nexit 1\n";

// Refused on another file, or granted in a working copy a dead program left locked, where the lock
// can be neither kept nor released: cleaning up does not run the check-out again to tell otherwise.
TEST_F(SvnBackendTest, ACheckOutWhoseLocksCannotBeUndoneSaysWhichFilesStayLocked)
{
    ASSERT_TRUE(Done(backend.Edit(bob, {BobPath(kLamp)}, "")));
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "");
    EXPECT_TRUE(Told(refused, ServerCode::kPartlyDone, "'bob'"));
    EXPECT_TRUE(Has(refused.text, "could not be unlocked again:\n" + AlicePath(kHero) + "\n"));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), kMine) << "said as it is";

    QProcess dead;
    ASSERT_TRUE(Hold(dead, sandbox.WorkingCopy(kAlice), "", -1));
    dead.kill();
    dead.waitForFinished();
    const standin::ServerResult edited = backend.Edit(alice, {AlicePath(kChair)}, "");
    EXPECT_TRUE(Told(edited, ServerCode::kPartlyDone, "could not be unlocked again:\n" + AlicePath(kChair) + "\n"));
    EXPECT_TRUE(Has(edited.text, "frozen")) << "the server's reason";
}

// An update locks its anchor, and a folder below only once it goes there.
TEST_F(SvnBackendTest, AnUpdateGoesThroughWhileAnotherProgramWorksInAnotherFolder)
{
    ASSERT_EQ(sandbox.Commit(kAlice, {{"scene.qor", "scene 1"}}), "");
    ASSERT_EQ(sandbox.Commit(kBob, {{"scene.qor", "scene 2"}}, kAlice), "");
    QProcess holder;
    ASSERT_TRUE(Hold(holder, sandbox.WorkingCopy(kAlice), "props", 0));

    EXPECT_TRUE(Done(backend.Update(alice, {AlicePath("scene.qor")})));
    EXPECT_EQ(Read(AlicePath("scene.qor")), "scene 2");
}

// Unchanged locked files whose unlock fails are not submitted; once one is changed, the submit
// lands and says which files the server kept locked.
TEST_F(SvnBackendTest, ASubmitThatLandsButCannotReleaseItsLocksSaysBoth)
{
    ASSERT_TRUE(Done(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "")));
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ChangeListResult unchanged = backend.Submit(alice, "");
    EXPECT_TRUE(unchanged.Failed());
    EXPECT_NE(unchanged.code, ServerCode::kPartlyDone) << "nothing was done: " << unchanged.text;
    EXPECT_EQ(unchanged.revision, 0);
    EXPECT_TRUE(StartsWith(unchanged.text, "Nothing had changed in changelist default, nothing was committed, and "
                                           "these files are still locked:\n"));
    for (const char* file : {kHero, kLamp})
        EXPECT_EQ(WordOf(alice, AlicePath(file)), kMine) << file;

    Write(AlicePath(kHero), "hero 2");
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_EQ(submitted.code, ServerCode::kPartlyDone) << submitted.text;
    EXPECT_EQ(submitted.revision, 2);
    // The commit itself dropped the working copy's tokens; the server kept both locks.
    EXPECT_TRUE(StartsWith(submitted.text, "Submitted changelist default as revision 2, and these files are still "
                                           "locked:\n" +
                                               AlicePath(kHero) + "\n" + AlicePath(kLamp) + "\n"));
    EXPECT_TRUE(Has(submitted.text, "frozen")) << "the server's reason";
    for (const char* file : {kHero, kLamp})
        EXPECT_EQ(HoldersOf(bob, BobPath(file)), Names{kAlice}) << file;
}

// The parent folders it scheduled included; a deleted file added again keeps its new content.
TEST_F(SvnBackendTest, AFailedAddUndoesEveryScheduleItMadeAndKeepsEveryFilesContent)
{
    const std::string lamp = AlicePath(kLamp);
    ASSERT_TRUE(Done(backend.Delete(alice, {lamp}, "")));
    Write(lamp, "a new lamp");
    const std::string folder = AlicePath("props/new");
    std::filesystem::create_directories(folder);
    const std::string good = folder + "/stool.qor";
    const std::string bad = folder + "/bad\x01name.qor";
    Write(good, "stool");
    Write(bad, "bad");

    const standin::ServerResult failed = backend.Add(alice, {lamp, good, bad}, "");

    EXPECT_TRUE(failed.Failed());
    EXPECT_NE(failed.code, ServerCode::kPartlyDone) << failed.text;
    EXPECT_EQ(WordsOf(alice, {folder, good}, standin::StatusScope::kLocal), (Words{fs::kNotInDepot, fs::kNotInDepot}));
    EXPECT_EQ(Read(good), "stool") << "the files themselves are kept";
    EXPECT_EQ(Read(lamp), "a new lamp") << "the undo touches no file";
}

TEST_F(SvnBackendTest, AnOperationsDeadlineIsItsOwnAndEndsWithIt)
{
    constexpr auto kDeadline = std::chrono::milliseconds(2000);
    standin::SvnBackend bobsBackend;
    bobsBackend.SetDeadline(kDeadline);
    const SessionId bobsOwn = Open(kBob, &bobsBackend);
    ASSERT_NE(bobsOwn, 0);
    backend.SetDeadline(kDeadline);

    // Alice's call ends at once; its deadline must not outlive it.
    ASSERT_TRUE(Done(Status(alice, {AlicePath(kHero)})));
    std::this_thread::sleep_for(kDeadline * 6 / 10);
    // Bob's call meets a server that answers late, but within his own deadline.
    const pid_t server = sandbox.Server().Pid();
    kill(server, SIGSTOP);
    std::thread resume([server, kDeadline] {
        std::this_thread::sleep_for(kDeadline * 3 / 4);
        kill(server, SIGCONT);
    });
    const standin::StatusResult slow =
        bobsBackend.Status(bobsOwn, {BobPath(kHero)}, standin::StatusScope::kWithRepository);
    resume.join();
    EXPECT_TRUE(Done(slow));
    EXPECT_FALSE(Has(slow.text, "did not answer"));

    // A call beside another to a frozen server may break only the connections it opened itself: it
    // asks over a new one, never its kept one, and so ends at its own deadline, not the other's.
    constexpr auto kLong = std::chrono::milliseconds(20000);
    backend.SetDeadline(kLong);
    ASSERT_TRUE(sandbox.Server().Freeze(true));
    std::thread earlier([&] { Status(alice, {AlicePath(kHero)}); });
    std::this_thread::sleep_for(kDeadline / 4);
    const auto begin = std::chrono::steady_clock::now();
    const standin::StatusResult later =
        bobsBackend.Status(bobsOwn, {BobPath(kHero)}, standin::StatusScope::kWithRepository);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(sandbox.Server().Freeze(false));
    earlier.join();
    EXPECT_TRUE(Has(later.text, "did not answer"));
    EXPECT_LT(waited, kLong / 2) << "ended by the other call's deadline";
}

// A repository's first revision settles like any other.
TEST(SvnBackendFirstRevisionTest, ALostSubmitThatMadeTheFirstRevisionIsSettledAsSubmitted)
{
    SvnSandbox empty{{{kAlice, ""}}};
    ASSERT_EQ(empty.Error(), "");
    standin::SvnBackend backend;
    std::string failure;
    const SessionId alice = empty.Open(backend, kAlice, failure);
    ASSERT_NE(alice, 0) << failure;
    const std::string first = empty.PathOf(kAlice, "first.qor");
    Write(first, "first");
    ASSERT_TRUE(Done(backend.Add(alice, {first}, "")));
    // The server takes longer over the commit than the client waits; the repository takes it meanwhile.
    ASSERT_TRUE(empty.Server().SetHook("pre-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
    backend.SetDeadline(std::chrono::milliseconds(1000));
    EXPECT_EQ(backend.Submit(alice, "").code, ServerCode::kOutcomeUnknown);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    backend.SetDeadline(standin::SvnBackend::kDefaultDeadline);

    const standin::StatusResult status = backend.Status(alice, {first}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(Done(status));
    EXPECT_EQ(status.settled,
              "Submitted as revision 1 (confirmed after the connection was lost): changelist default.\n");
}

// Externals are brought by an update of the working copy as Subversion's own would bring them.
TEST_F(SvnBackendTest, AnUpdateBringsTheExternalsTheRepositoryDefines)
{
    ASSERT_EQ(sandbox.RunSvn(kBob, {"propset", "svn:externals", "^/props shared-props", "."}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "shared props", "--depth", "empty", "."}), 0);
    const standin::UpdateResult updated = backend.Update(alice, {});
    ASSERT_TRUE(Done(updated));
    EXPECT_EQ(updated.revision, 2);
    EXPECT_EQ(Read(AlicePath("shared-props/lamp.qor")), "lamp 1");
}

// A server elsewhere on loopback that an external may name: a web server that asks every request
// for a password and keeps the requests' headers, or one that never says a word, taking connections
// or, its queue full, never even completing one (as behind a firewall that drops them).
class OtherServer {
public:
    enum Kind { kAsksForAPassword, kTakesConnections, kTakesNone };
    explicit OtherServer(Kind kind)
    {
        sockaddr_in address{};
        m_listener = ListenOnLoopback(kind == kTakesNone ? 0 : 8, address);
        if (m_listener < 0) return;
        // The queue's one place, taken.
        if (kind == kTakesNone && ::connect(m_queued, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        m_port = ntohs(address.sin_port);
        if (kind == kAsksForAPassword) m_thread = std::thread([this] { Serve(); });
    }
    ~OtherServer()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_queued);
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    std::string Url(const std::string& scheme = "svn") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(m_port) + "/repo/props";
    }
    std::string Received()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    static bool Read(int connection, std::string& into)
    {
        pollfd waiting{connection, POLLIN, 0};
        char buffer[4096];
        const ssize_t got = ::poll(&waiting, 1, 2000) == 1 ? ::recv(connection, buffer, sizeof buffer, 0) : 0;
        if (got > 0) into.append(buffer, static_cast<std::size_t>(got));
        return got > 0;
    }
    void Serve()
    {
        static constexpr std::string_view kAsk =
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic "
            "realm=\"elsewhere\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        while (!m_stop) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 50) != 1) continue;
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            std::string request;
            while (request.find("\r\n\r\n") == std::string::npos && Read(connection, request)) {}
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_received += request;
            }
            ::send(connection, kAsk.data(), kAsk.size(), MSG_NOSIGNAL);
            ::shutdown(connection, SHUT_WR);
            while (Read(connection, request)) {}
            ::close(connection);
        }
    }

    int m_listener = -1;
    int m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

constexpr auto kExternalsDeadline = std::chrono::seconds(3);

// Externals another user points at servers of their choosing: one asks for a password, one takes
// the connection and never answers.
TEST_F(SvnBackendTest, ExternalsOnOtherServersGetNoPasswordAndAreToldAsNotBroughtWithinTheDeadline)
{
    OtherServer asking(OtherServer::kAsksForAPassword);
    ASSERT_NE(asking.Port(), 0);
    const OtherServer stalling(OtherServer::kTakesConnections);
    ASSERT_NE(stalling.Port(), 0);
    ASSERT_NO_FATAL_FAILURE(
        ChangeTheHeroAndPointCharsAt(asking.Url("http") + " borrowed\n" + stalling.Url() + " stalled"));

    backend.SetDeadline(kExternalsDeadline);
    const auto start = std::chrono::steady_clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {});

    EXPECT_LT(std::chrono::steady_clock::now() - start, kExternalsDeadline * 10)
        << "a server that never answers is left at the deadline";
    EXPECT_EQ(updated.code, ServerCode::kPartlyDone);
    EXPECT_TRUE(StartsWith(updated.text, "Updated to revision 3.\nThese externals could not be brought:\n"));
    for (const char* folder : {"chars/borrowed", "chars/stalled"})
        EXPECT_TRUE(Has(updated.text, BobPath(folder) + " - "));
    EXPECT_TRUE(Has(asking.Received(), "/repo/props")) << "the external was asked for";
    EXPECT_FALSE(Has(asking.Received(), "Authorization"));
    EXPECT_EQ(Read(BobPath(kHero)), "hero 2") << "the rest of the update is done";
}

// Not after the minutes the system gives a connection; what the update did stays done, told so.
TEST_F(SvnBackendTest, AnExternalWhoseServerNeverTakesTheConnectionIsLeftAtTheDeadline)
{
    const OtherServer unreached(OtherServer::kTakesNone);
    ASSERT_NE(unreached.Port(), 0);
    const OtherServer later(OtherServer::kTakesConnections);
    ASSERT_NE(later.Port(), 0);
    ASSERT_NO_FATAL_FAILURE(ChangeTheHeroAndPointCharsAt(unreached.Url() + " unreached\n" + later.Url() + " later"));

    backend.SetDeadline(kExternalsDeadline);
    const auto start = std::chrono::steady_clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {});

    EXPECT_LT(std::chrono::steady_clock::now() - start, kExternalsDeadline * 10);
    EXPECT_EQ(updated.code, ServerCode::kPartlyDone);
    EXPECT_TRUE(StartsWith(updated.text, "Updated to revision 3.\nThese externals could not be brought:\n" +
                                             BobPath("chars/unreached") + " - "));
    EXPECT_TRUE(
        Has(updated.text,
            "The update ran out of its 3.0 s while it brought externals; the rest of them were not brought.\n"));
    EXPECT_FALSE(Has(updated.text, sandbox.Url())) << "the working copy's server did answer";
    EXPECT_EQ(Read(BobPath(kHero)), "hero 2");
}

// Their connections and passwords go with them.
TEST_F(SvnBackendTest, TheServiceClosesItsSessionsWhenItGoesAway)
{
    const auto shared = std::make_shared<standin::SvnBackend>();
    shared->SetConfigurationFolder(sandbox.ConfigFolder());
    const auto accounts = std::make_shared<standin::AccountBook>();
    qor4::QORPtr<standin::FileVersionControl> service = standin::FileVersionControl::Create(shared, accounts);
    std::string message;
    const qor4::IUserParameters* account = service->CreateUserParameters(
        kBob, sandbox.Password(kBob), sandbox.UrlOf(kBob), sandbox.WorkingCopy(kBob), message);
    ASSERT_NE(account, nullptr) << message;
    const SessionId session = accounts->Find(account)->Session();
    ASSERT_TRUE(shared->IsSessionOpen(session));

    service.Reset();

    EXPECT_FALSE(shared->IsSessionOpen(session));
}

// Damaged by a crash while it was written, or by a hand edit.
TEST_F(SvnBackendTest, ADamagedRecordOfALostSubmitIsToldOnceAndBlocksNoLaterSubmit)
{
    const std::string record = AlicePath(".svn/") + standin::svn::SubmitRecord::kFileName;
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2"));
    for (const char* damaged :
         {R"({"id": "a)", "[1, 2]", R"({"id": "", "changelist": "", "files": ["chars/hero.qor"], "base": 1})",
          R"({"id": "ab", "changelist": "", "files": [7], "base": 1})",
          R"({"id": "ab", "changelist": "", "files": [], "base": 1})"}) {
        SCOPED_TRACE(damaged);
        Write(record, damaged);
        const standin::StatusResult status = Status(alice, {AlicePath(kHero)});
        ASSERT_TRUE(Done(status));
        EXPECT_EQ(status.settled, "The record of an earlier submit is damaged: " + record +
                                      "; whether that submit reached the repository is not known.\n");
        EXPECT_FALSE(std::filesystem::exists(record));
    }
    EXPECT_EQ(backend.Submit(alice, "").revision, 2);

    // A record that cannot be written stops the submit before anything reaches the repository.
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 3"));
    std::filesystem::create_directories(record + "/in-the-way");
    const standin::ChangeListResult unrecorded = backend.Submit(alice, "");
    EXPECT_EQ(unrecorded.revision, 0);
    EXPECT_TRUE(StartsWith(unrecorded.text, "Nothing was submitted from changelist default: Cannot record the submit"));
    std::filesystem::remove_all(record);
    EXPECT_EQ(backend.Submit(alice, "").revision, 3) << "the refused submit sent nothing";
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 3");
}

// A path the host should never have handed over, and what the refusal must say of it.
struct BadPath {
    const char* name;
    std::string (*make)(const SvnSandbox& sandbox); // prepares alice's working copy, gives the path
    const char* reason;
};

class BadPathTest : public SvnBackendTest, public ::testing::WithParamInterface<BadPath> {};

TEST_P(BadPathTest, EveryChangeRefusesItNamingThePathAndTheReasonAndChangesNothing)
{
    const std::string path = GetParam().make(sandbox);
    const standin::FileList files{AlicePath(kLamp), path};
    const bool outsideFile = std::filesystem::is_regular_file(path);
    for (const char* what : {"check-out", "add", "delete", "revert", "make writable"}) {
        const std::string_view change = what;
        const standin::ServerResult refused = change == "check-out" ? backend.Edit(alice, files, "")
                                              : change == "add"     ? backend.Add(alice, files, "")
                                              : change == "delete"  ? backend.Delete(alice, files, "")
                                              : change == "revert"  ? backend.Revert(alice, files)
                                                                    : backend.MakeWritable(alice, files);
        SCOPED_TRACE(what);
        EXPECT_TRUE(refused.Failed());
        EXPECT_TRUE(Has(refused.text, path + " - "));
        EXPECT_TRUE(Has(refused.text, GetParam().reason));
        EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), 0u) << "the good file is left alone";
        EXPECT_FALSE(IsWritable(AlicePath(kLamp)));
        if (outsideFile) {
            EXPECT_FALSE(IsWritable(path)) << "the file outside is left alone";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BadPathTest,
    ::testing::Values(BadPath{"LeavingTheWorkingCopy",
                              [](const SvnSandbox& sandbox) {
                                  // A read-only file there, that must stay so.
                                  const std::string path = sandbox.WorkingCopy(kAlice) + "/../outside.qor";
                                  Write(path, "notes");
                                  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
                                  return path;
                              },
                              "is not in the working copy"},
                      BadPath{"InASiblingWhoseNameStartsLikeTheWorkingCopy",
                              [](const SvnSandbox& sandbox) {
                                  const std::string copy = sandbox.WorkingCopy(kAlice);
                                  return copy + "/../" + std::filesystem::path(copy).filename().string() + "-x/a.qor";
                              },
                              "is not in the working copy"},
                      BadPath{"FileReplacedByAFolder",
                              [](const SvnSandbox& sandbox) {
                                  const std::string path = sandbox.PathOf(kAlice, kChair);
                                  std::filesystem::remove(path);
                                  std::filesystem::create_directory(path);
                                  return path;
                              },
                              "is a folder where a file was expected"}),
    [](const ::testing::TestParamInfo<BadPath>& info) { return std::string(info.param.name); });

// A workspace named wrongly: the login says which path and what it holds.
TEST_F(SvnBackendTest, AWorkspaceIsTakenOnlyAsACopyOfTheServerHoweverTheUrlsSchemeIsCapitalised)
{
    QTemporaryDir plain;
    const std::string otherCopy = sandbox.WorkingCopy(kBob);
    const struct {
        std::string workspace;
        std::string server;
        std::string expected;
    } cases[] = {
        {"/no/such/path", sandbox.Url(), "'/no/such/path' is not a Subversion working copy"},
        {plain.path().toStdString(), sandbox.Url(),
         "'" + plain.path().toStdString() + "' is not a Subversion working copy"},
        {otherCopy, sandbox.Url() + "/elsewhere", "is a copy of " + sandbox.Url()},
    };
    for (const auto& wrong : cases) {
        const standin::LoginResult login =
            backend.OpenSession({kBob, sandbox.Password(kBob), wrong.server, wrong.workspace, {}});
        EXPECT_TRUE(Told(login, ServerCode::kLoginFailed, wrong.expected)) << wrong.workspace;
        EXPECT_FALSE(login.accountChecked) << "no account waits for a password here";
    }

    // Bob's password goes to the server however its scheme is spelled.
    std::string typed = sandbox.Url();
    std::transform(typed.begin(), typed.begin() + typed.find(':'), typed.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const standin::LoginResult login = backend.OpenSession({kBob, sandbox.Password(kBob), typed, otherCopy, {}});
    ASSERT_TRUE(Done(login)) << typed;
    EXPECT_TRUE(Done(backend.Edit(login.session, {BobPath(kLamp)}, "")));
}

TEST_F(SvnBackendTest, ACheckOutCancelledOnceTheServerGrantedTheLockReleasesItAgain)
{
    const standin::ChangeListResult changeList = backend.CreateChangeList(alice, "work");
    ASSERT_TRUE(Done(changeList));
    // The server tells when it has granted the lock; the user cancels right then, which the check-out
    // meets as it records the changelist.
    QTemporaryDir markers;
    const std::string granted = markers.filePath(QStringLiteral("granted")).toStdString();
    ASSERT_TRUE(sandbox.Server().SetHook("post-lock", "#!/bin/sh\ntouch '" + granted + "'\nsleep 1\nexit 0\n"));
    std::atomic<bool> cancelled{false};
    std::thread user([&] {
        for (int wait = 0; wait < 500 && !std::filesystem::exists(granted); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        cancelled = true;
    });

    standin::ServerResult result;
    {
        const standin::OperationScope scope(cancelled);
        result = backend.Edit(alice, {AlicePath(kHero)}, changeList.changeList);
    }
    user.join();

    EXPECT_EQ(result.code, ServerCode::kCancelled) << result.text;
    EXPECT_EQ(HoldersOf(bob, BobPath(kHero)), Names{}) << "the lock granted before the Cancel is released again";
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
}

// Updated by Subversion's own update, which also brings the properties the folder inherits.
TEST_F(SvnBackendTest, AWorkingCopyOfOneFolderIsUpdatedAndAServerThatIsGoneIsToldThere)
{
    const std::string folder = sandbox.WorkingCopy(kAlice) + "-props";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, folder, error, sandbox.Url() + "/props")) << error;
    const standin::LoginResult login = backend.OpenSession({kAlice, "", sandbox.Url(), folder, {}});
    ASSERT_FALSE(login.Failed()) << login.text;
    ASSERT_EQ(Submit(bob, BobPath(kLamp), "lamp 2"), 2);

    const standin::UpdateResult updated = backend.Update(login.session, {});
    ASSERT_TRUE(Done(updated));
    EXPECT_EQ(updated.revision, 2);
    EXPECT_EQ(updated.updated, Names{folder + "/lamp.qor"});
    EXPECT_EQ(Read(folder + "/lamp.qor"), "lamp 2");

    // Gone, not slow: told to every operation and to a login alike, and nothing waits for a deadline.
    sandbox.Server().Stop();
    const std::string unreachable = "Cannot reach the Subversion server at " + sandbox.Server().Url();
    const standin::UpdateResult notUpdated = backend.Update(login.session, {folder + "/chair.qor"});
    EXPECT_TRUE(Told(notUpdated, ServerCode::kServerError, unreachable));
    EXPECT_TRUE(notUpdated.updated.empty());
    EXPECT_TRUE(Told(Status(alice, {AlicePath(kHero)}), ServerCode::kServerError, unreachable));
    // A refused connection carried no request: nothing can be locked later.
    const standin::ServerResult checkOut = backend.Edit(alice, {AlicePath(kHero)}, "");
    EXPECT_TRUE(Has(checkOut.text, unreachable));
    EXPECT_FALSE(Has(checkOut.text, "may still lock"));
    standin::SvnBackend another;
    std::string failure;
    EXPECT_EQ(sandbox.Open(another, kBob, failure), 0);
    EXPECT_TRUE(Has(failure, unreachable));
}

// A description pasted from elsewhere may carry CR LF or CR, which Subversion refuses in a log message.
TEST_F(SvnBackendTest, AChangeListDescribedWithOtherLineEndsIsSubmittedWithItAsTheLogMessage)
{
    const standin::ChangeListResult created = backend.CreateChangeList(alice, "walls\r\nand floors\rdone");
    ASSERT_TRUE(Done(created));
    ASSERT_TRUE(Change(alice, AlicePath(kHero), "hero 2", created.changeList));

    ASSERT_EQ(Submitted(alice, created.changeList), 2);
    QProcess log;
    log.start(QStringLiteral("svn"), {"log", "--xml", "-r", "2", QString::fromStdString(sandbox.Server().FileUrl())});
    ASSERT_TRUE(log.waitForFinished(30000));
    EXPECT_TRUE(log.readAllStandardOutput().contains("<msg>walls\nand floors\ndone</msg>"));
}

// The server's refusal to commit a path it no longer has is an answer: no later submit waits on it.
TEST_F(SvnBackendTest, ASubmitOfAFileAnotherUserDeletedIsToldAsNothingSubmittedAndBlocksNoOtherSubmit)
{
    ASSERT_TRUE(Done(backend.MakeWritable(alice, {AlicePath(kLamp)})));
    Write(AlicePath(kLamp), "lamp alice");
    ASSERT_TRUE(Done(backend.Delete(bob, {BobPath(kLamp)}, "")));
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);

    const standin::ChangeListResult refused = backend.Submit(alice, "");
    EXPECT_TRUE(Told(refused, ServerCode::kServerError, "/props/lamp.qor"));
    EXPECT_TRUE(StartsWith(refused.text, "Nothing was submitted from changelist default: "));
    EXPECT_EQ(Read(AlicePath(kLamp)), "lamp alice");

    ASSERT_TRUE(Done(backend.Revert(alice, {AlicePath(kLamp)})));
    ASSERT_TRUE(Change(alice, AlicePath(kChair), "chair alice"));
    const standin::ChangeListResult next = backend.Submit(alice, "");
    EXPECT_EQ(next.revision, 3) << next.text;
    EXPECT_EQ(next.settled, "");
}

TEST_F(SvnBackendTest, AFolderDeletedOnTheServerUnderALocalChangeIsNamedAsInConflictAndTheChangeIsKept)
{
    ASSERT_TRUE(Done(backend.MakeWritable(alice, {AlicePath(kHero)})));
    Write(AlicePath(kHero), "hero alice");
    ASSERT_EQ(sandbox.RunSvn(kBob, {"delete", "chars"}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "no chars"}), 0);

    const standin::UpdateResult update = backend.Update(alice, {});

    const std::string folder = sandbox.WorkingCopy(kAlice) + "/chars";
    EXPECT_EQ(update.conflicts, Names{folder});
    EXPECT_TRUE(Told(update, ServerCode::kPartlyDone,
                     "left in conflict:\n" + folder + " - the local change and the repository's disagree.\n"));
    EXPECT_EQ(Read(AlicePath(kHero)), "hero alice");
}

TEST_F(SvnBackendTest, AnUpdateBringsWhatOthersSubmittedAndNamesTheConflictsItLeaves)
{
    const std::string table = "props/table.qor";
    ASSERT_TRUE(Change(bob, BobPath(kHero), "hero 2"));
    Write(BobPath(table), "table 1");
    ASSERT_TRUE(Done(backend.Add(bob, {BobPath(table)}, "")));
    ASSERT_TRUE(Done(backend.Delete(bob, {BobPath(kLamp)}, "")));
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);
    EXPECT_TRUE(WordOf(alice, AlicePath(kHero)) & fs::kNotAtHead);

    const standin::UpdateResult everything = backend.Update(alice, {});
    ASSERT_TRUE(Done(everything));
    EXPECT_EQ(everything.revision, 2);
    Names updated = everything.updated;
    std::sort(updated.begin(), updated.end());
    EXPECT_EQ(updated, (Names{AlicePath(kHero), AlicePath(kLamp), AlicePath(table)}));
    EXPECT_TRUE(everything.conflicts.empty());
    EXPECT_EQ(Read(AlicePath(kHero)), "hero 2");
    EXPECT_EQ(Read(AlicePath(table)), "table 1");
    EXPECT_FALSE(std::filesystem::exists(AlicePath(kLamp)));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)) & fs::kNotAtHead, 0u);

    // Alice changes the chair without its lock; bob submits his own change of it.
    ASSERT_TRUE(Done(backend.MakeWritable(alice, {AlicePath(kChair)})));
    Write(AlicePath(kChair), "chair alice\n");
    ASSERT_EQ(Submit(bob, BobPath(kChair), "chair bob\n"), 3);

    const standin::UpdateResult conflicted = backend.Update(alice, {AlicePath(kChair)});
    EXPECT_EQ(conflicted.code, ServerCode::kPartlyDone) << conflicted.text;
    EXPECT_EQ(conflicted.revision, 3);
    EXPECT_EQ(conflicted.conflicts, Names{AlicePath(kChair)});
    EXPECT_EQ(conflicted.text, "Updated to revision 3; left in conflict:\n" + AlicePath(kChair) +
                                   " - the local change and the repository's disagree.\n");
    EXPECT_EQ(Read(AlicePath(kChair) + ".mine"), "chair alice\n") << "alice's change is kept";

    // Alice's own new stool is in the way of the one bob adds: her file stays as she wrote it.
    const std::string stool = "props/stool.qor";
    Write(AlicePath(stool), "stool alice");
    Write(BobPath(stool), "stool bob");
    ASSERT_TRUE(Done(backend.Add(bob, {BobPath(stool)}, "")));
    ASSERT_EQ(backend.Submit(bob, "").revision, 4);
    EXPECT_TRUE(Told(backend.Update(alice, {}), ServerCode::kPartlyDone, AlicePath(stool)));
    EXPECT_EQ(Read(AlicePath(stool)), "stool alice");

    // A change two folders down, in folders the update adds and then opens.
    const std::string tree = "sets/forest/tree.qor";
    std::filesystem::create_directories(std::filesystem::path(BobPath(tree)).parent_path());
    Write(BobPath(tree), "tree 1");
    ASSERT_TRUE(Done(backend.Add(bob, {BobPath(tree)}, "")));
    ASSERT_EQ(backend.Submit(bob, "").revision, 5);
    EXPECT_EQ(backend.Update(alice, {}).revision, 5);
    ASSERT_EQ(Read(AlicePath(tree)), "tree 1");
    ASSERT_EQ(Submit(bob, BobPath(tree), "tree 2"), 6);
    const standin::UpdateResult deep = backend.Update(alice, {});
    EXPECT_EQ(deep.revision, 6);
    EXPECT_EQ(deep.updated, Names{AlicePath(tree)});
    EXPECT_EQ(Read(AlicePath(tree)), "tree 2");

    // A file outside the working copy is refused and nothing is updated.
    const standin::UpdateResult outside = backend.Update(alice, {"/etc/passwd"});
    EXPECT_TRUE(Told(outside, ServerCode::kFileStateRejected, "/etc/passwd"));
    EXPECT_TRUE(outside.updated.empty());

    // The chair, still in conflict, is not updated again until alice resolves it.
    const standin::UpdateResult again = backend.Update(alice, {AlicePath(kChair)});
    EXPECT_EQ(again.code, ServerCode::kPartlyDone);
    EXPECT_EQ(again.text, "Nothing was updated; in conflict:\n" + AlicePath(kChair) +
                              " - still in conflict from an earlier update; resolve it first.\n");
    EXPECT_EQ(again.conflicts, Names{AlicePath(kChair)});
    EXPECT_TRUE(again.updated.empty());
}

} // namespace
