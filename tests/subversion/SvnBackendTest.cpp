// The Subversion backend against a real svnserve, as two users with a working copy each.
#include "subversion/SvnBackend.h"
#include "SvnSandbox.h"
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

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace fs = qor4::FileStatus;
namespace ServerCode = standin::ServerCode;
using standin::SessionId;

constexpr const char* kAlice = "alice";
constexpr const char* kBob = "bob";
constexpr const char* kHero = "chars/hero.qor";
constexpr const char* kTexture = "chars/hero_diffuse.tex";
constexpr const char* kLamp = "props/lamp.qor";
constexpr const char* kChair = "props/chair.qor";

std::string Content(const std::string& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsWritable(const std::string& file)
{
    return (std::filesystem::status(file).permissions() & std::filesystem::perms::owner_write) !=
           std::filesystem::perms::none;
}

// A program at work in the working copy: it keeps the database open and holds a folder's lock
// (levels below it: -1 all) as Subversion's own client does while it runs. Killed, it leaves the
// lock behind.
bool Hold(QProcess& holder, const std::string& workingCopy, const std::string& folder, int levels)
{
    holder.start(QStringLiteral("/usr/bin/sqlite3"), {QString::fromStdString(workingCopy + "/.svn/wc.db")});
    if (!holder.waitForStarted()) return false;
    holder.write(
        QByteArray::fromStdString("INSERT INTO wc_lock (wc_id, local_dir_relpath, locked_levels) VALUES (1, '" +
                                  folder + "', " + std::to_string(levels) + ");\n.print taken\n"));
    return holder.waitForReadyRead(10000);
}

class SvnBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(sandbox.Commit(kAlice,
                                 {{kHero, "hero 1"}, {kTexture, "texture 1"}, {kLamp, "lamp 1"}, {kChair, "chair 1"}}),
                  "");
        alice = Open(backend, kAlice);
        ASSERT_NE(alice, 0);
        bob = Open(backend, kBob);
        ASSERT_NE(bob, 0);
    }

    // The user's session on the backend; 0, with the reason told, when it cannot be opened.
    SessionId Open(standin::SvnBackend& on, const char* user)
    {
        std::string failure;
        const SessionId session = sandbox.Open(on, user, failure);
        EXPECT_NE(session, 0) << failure;
        return session;
    }

    // Alice's revision 3: the hero changed, and the chars folder's externals set, for bob to get.
    void ChangeTheHeroAndPointCharsAt(const std::string& externals)
    {
        ASSERT_EQ(sandbox.Commit(kAlice, {{kHero, "hero 2"}}), "");
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"update"}), 0);
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"propset", "svn:externals", QString::fromStdString(externals), "chars"}), 0);
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"commit", "-m", "externals", "--depth", "empty", "chars"}), 0);
    }

    std::string AlicePath(const char* relative) const { return sandbox.PathOf(kAlice, relative); }
    std::string BobPath(const char* relative) const { return sandbox.PathOf(kBob, relative); }
    qor4::StatusWord WordOf(SessionId session, const std::string& file)
    {
        const standin::StatusResult status = backend.Status(session, {file}, standin::StatusScope::kWithRepository);
        EXPECT_TRUE(status.Succeeded()) << status.text;
        return status.words.empty() ? 0 : status.words.front();
    }

    SvnSandbox sandbox{{{kAlice, ""}, {kBob, "bob-secret"}}};
    standin::SvnBackend backend;
    SessionId alice = 0;
    SessionId bob = 0;
};

// A request as a host may spell it: the same file twice, once through "./" and "//", one path
// outside the working copy; every answer comes back in the request's order.
TEST_F(SvnBackendTest, AStatusAnswersEveryRequestedPathInOrderHoweverItIsSpelled)
{
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
    const std::string chair = AlicePath(kChair);
    const std::string lamp = AlicePath(kLamp);
    const std::string props = chair.substr(0, chair.rfind('/'));
    const std::string outside = sandbox.WorkingCopy(kAlice) + "/../outside.qor";
    const standin::FileList request{lamp,    chair, props + "/./lamp.qor", props + "//chair.qor",
                                    outside, lamp,  props + "/new.qor"};

    const standin::StatusResult status = backend.Status(alice, request, standin::StatusScope::kWithRepository);

    ASSERT_TRUE(status.Succeeded()) << status.text;
    const qor4::StatusWord held = fs::kCheckedOutByOther | fs::kLockedByOther;
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{held, 0, held, 0, fs::kNotInDepot, held, fs::kNotInDepot}));
    EXPECT_EQ(status.changeLists.size(), request.size());

    // Against the working copy's order, which the walk follows (hero, then chair, then lamp).
    const standin::StatusResult reversed =
        backend.Status(alice, {lamp, chair, AlicePath(kHero)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(reversed.Succeeded()) << reversed.text;
    EXPECT_EQ(reversed.words, (std::vector<qor4::StatusWord>{held, 0, 0}));

    // Folders of the same name length at different depths: the walk starts above both.
    ASSERT_EQ(sandbox.Commit(kAlice, {{"chars/rig/hero_rig.qor", "rig 1"}}), "");
    const standin::StatusResult deeper =
        backend.Status(alice, {lamp, AlicePath("chars/rig/hero_rig.qor")}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(deeper.Succeeded()) << deeper.text;
    EXPECT_EQ(deeper.words, (std::vector<qor4::StatusWord>{held, 0}));
}

// A path that ends in a slash or a "." part, as a folder picker may give it, names its folder, file
// or working copy: Subversion would end the host on it.
TEST_F(SvnBackendTest, APathEndingInASlashOrADotNamesItsFolderFileOrWorkingCopy)
{
    const std::string root = sandbox.WorkingCopy(kAlice);
    int revision = 1;
    for (const std::string& folder : {AlicePath("props/"), AlicePath("props/."), root, root + "/", root + "/."}) {
        const std::string lamp = "lamp " + std::to_string(++revision);
        ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
        std::ofstream(BobPath(kLamp)) << lamp;
        ASSERT_EQ(backend.Submit(bob, "").revision, revision);
        const standin::UpdateResult updated = backend.Update(alice, {folder});
        EXPECT_TRUE(updated.Succeeded()) << folder << ": " << updated.text;
        EXPECT_EQ(Content(AlicePath(kLamp)), lamp) << folder;
    }

    const std::string chair = AlicePath(kChair) + "/";
    const standin::ServerResult checkedOut = backend.Edit(alice, {chair}, "");
    ASSERT_TRUE(checkedOut.Succeeded()) << checkedOut.text;
    EXPECT_EQ(WordOf(alice, AlicePath("props/chair.qor/.")), fs::kCheckedOut | fs::kLockedByMe);
    EXPECT_EQ(backend.Users(bob, {BobPath(kChair) + "/"}, true).users, std::vector<std::string>{kAlice});
    EXPECT_TRUE(backend.Revert(alice, {AlicePath("props/./chair.qor/")}).Succeeded());
    EXPECT_FALSE(IsWritable(AlicePath(kChair)));
    // The working copy as a user may type it in the preferences.
    for (const char* suffix : {"/", "/./"}) {
        const standin::LoginResult login = backend.OpenSession(
            {kAlice, sandbox.Password(kAlice), sandbox.UrlOf(kAlice), sandbox.WorkingCopy(kAlice) + suffix, {}});
        ASSERT_TRUE(login.Succeeded()) << suffix << ": " << login.text;
        EXPECT_TRUE(backend.Update(login.session, {}).Succeeded());
        backend.CloseSession(login.session);
    }
}

// Another user's client may commit names the working copy cannot take: longer than the disk
// allows, or its own administrative folder's. Either would stop every later update, and writing
// the first leaves the working copy's queue of work stuck; such a file or folder is told and left
// out instead, the rest of the update is brought, and the working copy stays usable for every
// later change.
TEST_F(SvnBackendTest, ANameTheWorkingCopyCannotTakeIsToldAndLeftOutAndTheWorkingCopyStaysUsable)
{
    ASSERT_EQ(sandbox.Commit(kAlice, {{kLamp, "lamp 2"}}, kBob), "");
    const std::string longFile = "props/" + std::string(300, 'f') + ".qor";
    const std::string longFolder = "props/" + std::string(300, 'd');
    const std::string administrative = "chars/.svn";
    const QString source = QString::fromStdString(sandbox.PathOf(kAlice, "source.txt"));
    std::ofstream(source.toStdString()) << "long";
    const QString url = QString::fromStdString(sandbox.Url() + "/");
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"import", "-m", "long", source, url + QString::fromStdString(longFile)}), 0);
    for (const std::string& folder : {longFolder, administrative})
        ASSERT_EQ(sandbox.RunSvn(kAlice, {"mkdir", "-m", "odd", url + QString::fromStdString(folder)}), 0);

    standin::UpdateResult updated = backend.Update(bob, {});
    EXPECT_EQ(updated.code, ServerCode::kPartlyDone) << updated.text;
    EXPECT_NE(updated.text.find(BobPath(longFile.c_str()) + " - "), std::string::npos) << updated.text;
    EXPECT_NE(updated.text.find(BobPath(longFolder.c_str()) + " - "), std::string::npos) << updated.text;
    EXPECT_NE(updated.text.find(BobPath(administrative.c_str()) + " - "), std::string::npos) << updated.text;
    EXPECT_EQ(Content(BobPath(kLamp)), "lamp 2");

    // What the working copy never had is neither asked about nor removed again.
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"delete", "-m", "gone", url + QString::fromStdString(longFile)}), 0);
    ASSERT_EQ(sandbox.Commit(kAlice, {{kChair, "chair 2"}}, kBob), "");
    updated = backend.Update(bob, {});
    EXPECT_TRUE(updated.Succeeded()) << updated.text;
    EXPECT_EQ(Content(BobPath(kChair)), "chair 2");
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
    std::ofstream(BobPath(kLamp)) << "lamp 3";
    const standin::ChangeListResult submitted = backend.Submit(bob, "");
    EXPECT_TRUE(submitted.Succeeded()) << submitted.text;
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), 0u);
}

// A name whose bytes are not UTF-8 makes Subversion's walk of its folder fail as a whole. Such a
// file is left out, named once in the host log with its bytes escaped, and reads as not in revision
// control; check-outs, status and submits of every other file go on, in its folder and above it.
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
    ASSERT_TRUE(change.Succeeded()) << change.text;

    const standin::ServerResult inFolder =
        backend.Edit(alice, {AlicePath(kLamp), AlicePath(kChair)}, change.changeList);
    EXPECT_TRUE(inFolder.Succeeded()) << inFolder.text;
    const standin::ServerResult acrossFolders = backend.Edit(alice, {AlicePath(kHero), inProps}, change.changeList);
    EXPECT_TRUE(acrossFolders.Failed()) << "the odd file cannot be checked out";
    EXPECT_FALSE(IsWritable(AlicePath(kHero))) << "nothing is left half checked out";
    EXPECT_TRUE(IsWritable(AlicePath(kLamp)));

    const standin::FileList request{AlicePath(kHero), AlicePath(kLamp), inProps, AlicePath(kChair), atRoot};
    const qor4::StatusWord mine = fs::kCheckedOut | fs::kLockedByMe;
    for (const auto scope : {standin::StatusScope::kWithRepository, standin::StatusScope::kLocal}) {
        const standin::StatusResult status = backend.Status(alice, request, scope);
        ASSERT_TRUE(status.Succeeded()) << status.text;
        EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{0, mine, fs::kNotInDepot, mine, fs::kNotInDepot}));
    }
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), fs::kCheckedOutByOther | fs::kLockedByOther);

    std::ofstream(AlicePath(kLamp)) << "lamp 2";
    const standin::ChangeListResult submitted = backend.Submit(alice, change.changeList);
    EXPECT_TRUE(submitted.Succeeded()) << submitted.text;
    EXPECT_EQ(submitted.revision, 2);

    const std::vector<standin::MemoryLog::Entry> entries = log.Entries();
    for (const std::string& path : {inProps, atRoot}) {
        const std::string escaped = standin::PrintableText(path);
        ASSERT_NE(escaped.find("bad\\xFF.qor"), std::string::npos);
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [&](const standin::MemoryLog::Entry& entry) {
                                    return entry.type == Log::MsgType::Warning &&
                                           entry.text.find(escaped) != std::string::npos;
                                }),
                  1)
            << log.Format();
    }
    EXPECT_EQ(log.Format().find('\xff'), std::string::npos) << "no raw byte reaches the log";
}

// Every user of the repository reads a lock's comment: it names no local path, only an id of the
// working copy that stays the same for its check-outs (whatever session takes them) and differs
// from another copy's. A working copy whose path holds control characters checks out like any other.
TEST_F(SvnBackendTest, ALockCommentNamesTheWorkingCopyByAnIdAndNeverByItsPath)
{
    standin::svn::Client bobClient(kBob, sandbox.Password(kBob), {sandbox.ConfigFolder(), {}});
    bobClient.GivePasswordTo(sandbox.Url());
    const auto commentOf = [&](const char* file) {
        standin::svn::LockListing listing =
            standin::svn::ListLocks(bobClient, sandbox.Url(), sandbox.WorkingCopy(kBob));
        EXPECT_FALSE(listing.error) << listing.error.Text();
        return listing.byPath[BobPath(file)].comment;
    };
    const auto holdsNoControl = [](const std::string& text) {
        return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    };

    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kLamp)}, "").Succeeded());
    const std::string comment = commentOf(kLamp);
    EXPECT_NE(comment, "");
    EXPECT_EQ(comment.find('/'), std::string::npos) << comment;
    EXPECT_EQ(comment.find(std::filesystem::path(sandbox.WorkingCopy(kAlice)).filename().string()), std::string::npos)
        << comment;

    backend.CloseSession(alice);
    alice = Open(backend, kAlice);
    ASSERT_NE(alice, 0);
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kChair)}, "").Succeeded());
    EXPECT_EQ(commentOf(kChair), comment) << "the same working copy, another session";

    const std::string odd = sandbox.WorkingCopy(kAlice) + "-\x1b[1mbold\ttab\x7f";
    ASSERT_EQ(sandbox.RunSvn(kAlice,
                             {"checkout", QString::fromStdString(sandbox.UrlOf(kAlice)), QString::fromStdString(odd)}),
              0);
    const standin::LoginResult login =
        backend.OpenSession({kAlice, sandbox.Password(kAlice), sandbox.UrlOf(kAlice), odd, {}});
    ASSERT_TRUE(login.Succeeded()) << login.text;
    const standin::ServerResult checkedOut = backend.Edit(login.session, {odd + "/" + kHero}, "");
    EXPECT_TRUE(checkedOut.Succeeded()) << checkedOut.text;
    const std::string other = commentOf(kHero);
    EXPECT_NE(other, "");
    EXPECT_NE(other, comment) << "another working copy";
    EXPECT_TRUE(holdsNoControl(other)) << other;
    EXPECT_EQ(other.find("bold"), std::string::npos) << other;
    backend.CloseSession(login.session);

    // A damaged id is replaced, never passed on.
    std::ofstream(odd + "/.svn/zr-working-copy-id", std::ios::trunc) << "\x1b[31m/home/alice\n";
    const standin::LoginResult again =
        backend.OpenSession({kAlice, sandbox.Password(kAlice), sandbox.UrlOf(kAlice), odd, {}});
    ASSERT_TRUE(again.Succeeded()) << again.text;
    ASSERT_TRUE(backend.Edit(again.session, {odd + "/" + kTexture}, "").Succeeded());
    const std::string replaced = commentOf(kTexture);
    EXPECT_TRUE(holdsNoControl(replaced)) << replaced;
    EXPECT_EQ(replaced.find("/home"), std::string::npos) << replaced;
    backend.CloseSession(again.session);
}

// A lock of alice's that names this working copy, whose token never reached it (the answer to its
// check-out was lost), is taken up by the next check-out rather than refused as held elsewhere, and
// released with that check-out's other locks when it fails.
TEST_F(SvnBackendTest, ALockOfThisWorkingCopyWhoseTokenNeverCameIsTakenUpByTheNextCheckOut)
{
    standin::svn::Client bobClient(kBob, sandbox.Password(kBob), {sandbox.ConfigFolder(), {}});
    bobClient.GivePasswordTo(sandbox.Url());
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kLamp)}, "").Succeeded());
    standin::svn::LockListing listing = standin::svn::ListLocks(bobClient, sandbox.Url(), sandbox.WorkingCopy(kBob));
    ASSERT_FALSE(listing.error) << listing.error.Text();
    const std::string comment = listing.byPath[BobPath(kLamp)].comment;
    ASSERT_NE(comment, "");
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"lock", "-m", QString::fromStdString(comment),
                                      QString::fromStdString(sandbox.Url() + "/" + kHero)}),
              0);
    ASSERT_FALSE(IsWritable(AlicePath(kHero))) << "the working copy has no token";

    const standin::ServerResult taken = backend.Edit(alice, {AlicePath(kHero)}, "");

    EXPECT_TRUE(taken.Succeeded()) << taken.text;
    EXPECT_TRUE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), fs::kCheckedOut | fs::kLockedByMe);
    ASSERT_TRUE(backend.Revert(alice, {AlicePath(kHero)}).Succeeded());
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u);

    // Taken up by a check-out that fails on another file, it is released with the rest.
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"lock", "-m", QString::fromStdString(comment),
                                      QString::fromStdString(sandbox.Url() + "/" + kHero)}),
              0);
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kChair)}, "").Succeeded());
    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero), AlicePath(kChair)}, "");
    EXPECT_NE(refused.text.find(AlicePath(kChair)), std::string::npos) << refused.text;
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
        paths.push_back(AlicePath(entry.first.c_str()));

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
    ASSERT_TRUE(backend.Edit(alice, paths, "").Succeeded());
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", verbose));
    const standin::ServerResult kept = backend.Revert(alice, paths);
    EXPECT_TRUE(kept.Failed());
    EXPECT_LT(kept.text.size(), 2 * 20000u) << "the still-locked list and the capped reasons";
    EXPECT_NE(kept.text.find("more lines left out\n"), std::string::npos);
    EXPECT_EQ(WordOf(bob, BobPath("many/f0.qor")), fs::kCheckedOutByOther | fs::kLockedByOther);
}

// A check-out or delete of a file the repository has not got (new, or scheduled for addition) is
// refused naming it, and changes nothing, the request's other files included.
TEST_F(SvnBackendTest, ACheckOutOrDeleteOfAFileTheRepositoryHasNotGotIsRefusedNamingIt)
{
    const std::string sketch = AlicePath("props/sketch.qor");
    const std::string table = AlicePath("props/table.qor");
    std::ofstream(sketch) << "sketch";
    std::ofstream(table) << "table";
    ASSERT_TRUE(backend.Add(alice, {table}, "").Succeeded());

    const standin::ServerResult edit = backend.Edit(alice, {AlicePath(kLamp), sketch, table}, "");
    EXPECT_EQ(edit.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(edit.text, sketch + " - file(s) not in the repository.\n" + table + " - is scheduled for addition.\n");
    const standin::ServerResult deleted = backend.Delete(alice, {AlicePath(kLamp), table}, "");
    EXPECT_EQ(deleted.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(deleted.text, table + " - is scheduled for addition; revert it instead.\n");
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), 0u);
    EXPECT_EQ(WordOf(alice, table), fs::kMarkedForAdd);
    EXPECT_EQ(Content(table), "table");
}

// Bob breaks alice's lock and takes it: the file is his, her next check-out is refused naming him,
// and her submit is refused without losing her change.
TEST_F(SvnBackendTest, AStolenLockIsTheThiefsAndRefusesMyCheckOutAndMySubmitKeepingMyChange)
{
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, "").Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 2";
    ASSERT_EQ(sandbox.RunSvn(kBob, {"lock", "--force", kHero}), 0);

    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(backend.Users(alice, {AlicePath(kHero)}, true).users, std::vector<std::string>{kBob});
    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero)}, "");
    EXPECT_EQ(refused.code, ServerCode::kFileStateRejected);
    EXPECT_NE(refused.text.find("'bob'"), std::string::npos) << refused.text;

    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_TRUE(submitted.Failed());
    EXPECT_EQ(submitted.revision, 0);
    EXPECT_EQ(submitted.text.find("Nothing was submitted from changelist default: "), 0u) << submitted.text;
    EXPECT_EQ(Content(AlicePath(kHero)), "hero 2") << "alice's change is not lost";
    EXPECT_EQ(backend.Users(alice, {AlicePath(kHero)}, true).users, std::vector<std::string>{kBob});
}

// Far enough behind that a status asks for the server's status report of the tree instead of the
// log of what changed.
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

// A host opens and closes sessions all day: a session, with its status walks and connections,
// leaves no file or socket open behind it.
TEST_F(SvnBackendTest, SessionsOpenedAndClosedLeaveNoDescriptorOpen)
{
    const auto openWorkAndClose = [this] {
        const SessionId session = Open(backend, kBob);
        ASSERT_NE(session, 0);
        EXPECT_TRUE(backend.Status(session, {BobPath(kHero)}, standin::StatusScope::kWithRepository).Succeeded());
        backend.CloseSession(session);
    };
    openWorkAndClose(); // what libraries open once, on first use, stays open
    const std::size_t before = OpenDescriptors();
    for (int round = 0; round < 5; ++round)
        openWorkAndClose();
    EXPECT_EQ(OpenDescriptors(), before);
}

// A working copy too far behind for a log of what changed still learns it, and who holds the
// locks, from the server's status report of the tree.
TEST_F(SvnBackendTest, AWorkingCopyFarBehindHeadStillLearnsWhatChangedAndWhoHoldsTheLocks)
{
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
    std::ofstream(BobPath(kLamp)) << "lamp 2";
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kHero)}, "").Succeeded());
    ASSERT_TRUE(AddEmptyRevisions(sandbox.Server().FileUrl(), kFarBehind));

    const standin::FileList request{AlicePath(kLamp), AlicePath(kHero), AlicePath(kChair)};
    const std::vector<qor4::StatusWord> expected{fs::kNotAtHead, fs::kCheckedOutByOther | fs::kLockedByOther, 0};
    const standin::StatusResult status = backend.Status(alice, request, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.words, expected);
    // A name Subversion cannot convert beside them makes the tree's report go around it.
    for (const char* odd : {"props/bad\xff.qor", "chars/bad\xff.qor"})
        std::ofstream(AlicePath(odd)) << "odd";
    const standin::StatusResult aroundOddNames = backend.Status(alice, request, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(aroundOddNames.Succeeded()) << aroundOddNames.text;
    EXPECT_EQ(aroundOddNames.words, expected);
    EXPECT_EQ(backend.Users(alice, {AlicePath(kHero)}, true).users, std::vector<std::string>{kBob});
}

TEST_F(SvnBackendTest, MyLockInAnotherWorkingCopyIsNamedAsMineElsewhere)
{
    const std::string other = sandbox.WorkingCopy(kAlice) + "-laptop";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, other, error)) << error;
    ASSERT_EQ(sandbox.RunSvn(kAlice, {"lock", kLamp}, other), 0);

    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), fs::kCheckedOutByOther | fs::kLockedByOther);
    EXPECT_EQ(backend.Users(alice, {AlicePath(kLamp)}, true).users,
              std::vector<std::string>{"alice (in another working copy)"});
    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kLamp)}, "");
    EXPECT_EQ(refused.code, ServerCode::kFileStateRejected);
    EXPECT_NE(refused.text.find("locked by you (alice) in another working copy"), std::string::npos) << refused.text;
    EXPECT_FALSE(IsWritable(AlicePath(kLamp)));
}

TEST_F(SvnBackendTest, AWorkingCopyInUseIsRefusedAndOneLeftLockedByAKilledClientIsCleanedUp)
{
    backend.SetDeadline(std::chrono::seconds(5));
    kill(sandbox.Server().Pid(), SIGSTOP);
    std::unique_ptr<QProcess> client = sandbox.StartSvn(kAlice, {"lock", kLamp});
    // The client holds the working copy while it waits for the stopped server.
    const std::string created = AlicePath("props/stool.qor");
    std::ofstream(created) << "stool";
    standin::ServerResult busy;
    for (int attempt = 0; attempt < 50 && busy.code != ServerCode::kIOError; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        busy = backend.Add(alice, {created}, "");
    }
    EXPECT_EQ(busy.code, ServerCode::kIOError) << busy.text;
    EXPECT_NE(busy.text.find(sandbox.WorkingCopy(kAlice)), std::string::npos) << busy.text;
    EXPECT_NE(busy.text.find("in use by another program"), std::string::npos) << busy.text;

    client->kill();
    client->waitForFinished();
    kill(sandbox.Server().Pid(), SIGCONT);
    const standin::ServerResult added = backend.Add(alice, {created}, "");
    EXPECT_TRUE(added.Succeeded()) << added.text;
    EXPECT_EQ(WordOf(alice, created), fs::kMarkedForAdd);
    EXPECT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, "").Succeeded());
}

// A check-out while another program holds the working copy: the server grants the lock, but the
// copy cannot keep its token. The lock is released again, not left as the user's with no token to
// use it; once the program is gone, its lock left behind, the check-out cleans up and goes through.
TEST_F(SvnBackendTest, ACheckOutInAWorkingCopyAnotherProgramHoldsLeavesNoLockOnTheServer)
{
    QProcess holder;
    ASSERT_TRUE(Hold(holder, sandbox.WorkingCopy(kAlice), "", -1));

    const standin::ServerResult busy = backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "");
    EXPECT_EQ(busy.code, ServerCode::kIOError) << busy.text;
    EXPECT_NE(busy.text.find("in use by another program"), std::string::npos) << busy.text;
    for (const char* file : {kHero, kLamp}) {
        EXPECT_EQ(WordOf(bob, BobPath(file)), 0u) << file << ": no lock is left on the server";
        EXPECT_FALSE(IsWritable(AlicePath(file)));
    }

    holder.kill();
    holder.waitForFinished();
    const standin::ServerResult edited = backend.Edit(alice, {AlicePath(kLamp)}, "");
    EXPECT_TRUE(edited.Succeeded()) << edited.text;
    EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), fs::kCheckedOut | fs::kLockedByMe);
    EXPECT_TRUE(IsWritable(AlicePath(kLamp)));
}

// A file deleted on disk outside the host, neither got again nor marked for delete.
TEST_F(SvnBackendTest, AFileGoneFromTheDiskIsNotCheckedOutAndASubmitKeepsItsLockAndTheCopyUsable)
{
    std::filesystem::remove(AlicePath(kHero));
    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "");
    EXPECT_EQ(refused.code, ServerCode::kFileStateRejected) << refused.text;
    EXPECT_NE(refused.text.find(AlicePath(kHero) + " - is missing"), std::string::npos) << refused.text;
    EXPECT_EQ(WordOf(bob, BobPath(kLamp)), 0u) << "nothing was locked";

    ASSERT_TRUE(backend.Update(alice, {AlicePath(kHero)}).Succeeded());
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "").Succeeded());
    std::ofstream(AlicePath(kLamp)) << "lamp 2";
    std::filesystem::remove(AlicePath(kHero));
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_EQ(submitted.code, ServerCode::kPartlyDone) << submitted.text;
    EXPECT_GT(submitted.revision, 0);
    EXPECT_NE(submitted.text.find(AlicePath(kHero) + " - is missing from the working copy, so it stays locked"),
              std::string::npos)
        << submitted.text;
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), fs::kCheckedOutByOther | fs::kLockedByOther);

    // The copy is not left needing a clean-up: the revert gets the file back and releases it.
    const standin::ServerResult reverted = backend.Revert(alice, {AlicePath(kHero)});
    EXPECT_TRUE(reverted.Succeeded()) << reverted.text;
    EXPECT_EQ(Content(AlicePath(kHero)), "hero 1");
    EXPECT_TRUE(backend.Edit(bob, {BobPath(kHero)}, "").Succeeded());

    // A new file gone before its submit is named; the working copy is not blamed.
    const std::string fresh = AlicePath("props/fresh.qor");
    std::ofstream(fresh) << "fresh";
    ASSERT_TRUE(backend.Add(alice, {fresh}, "").Succeeded());
    std::filesystem::remove(fresh);
    const standin::ChangeListResult unsent = backend.Submit(alice, "");
    EXPECT_EQ(unsent.code, ServerCode::kFileStateRejected) << unsent.text;
    EXPECT_NE(unsent.text.find("missing from the working copy; save them again, or revert them:\n" + fresh),
              std::string::npos)
        << unsent.text;
}

TEST_F(SvnBackendTest, DamagedAdminDataIsAClearErrorAndLosesNoContent)
{
    std::filesystem::rename(sandbox.WorkingCopy(kBob) + "/.svn", sandbox.WorkingCopy(kBob) + "/.svn-gone");
    const standin::ServerResult refused = backend.Edit(bob, {BobPath(kHero)}, "");
    EXPECT_EQ(refused.code, ServerCode::kIOError) << refused.text;
    EXPECT_NE(refused.text.find(sandbox.WorkingCopy(kBob)), std::string::npos) << refused.text;
    EXPECT_EQ(Content(BobPath(kHero)), "hero 1");
}

// Tools that copy or tidy folders leave out empty ones, the administrative area's temporary folder
// among them, without which Subversion can neither update nor commit until a clean-up.
// A working copy whose data base was overwritten (a copying tool, a disk fault): every change says
// which working copy cannot be used and changes nothing, here or on the server.
TEST_F(SvnBackendTest, AWorkingCopyWhoseDataBaseIsDamagedIsNamedByEveryChangeAndNothingChanges)
{
    std::ofstream(sandbox.WorkingCopy(kAlice) + "/.svn/wc.db", std::ios::binary | std::ios::trunc)
        << std::string(4096, 'x');
    const std::string unusable = "The working copy " + sandbox.WorkingCopy(kAlice) + " cannot be used: ";

    for (const standin::ServerResult& changed :
         {backend.Edit(alice, {AlicePath(kHero)}, ""), backend.Delete(alice, {AlicePath(kLamp)}, ""),
          backend.Revert(alice, {AlicePath(kChair)})}) {
        EXPECT_EQ(changed.code, ServerCode::kIOError) << changed.text;
        EXPECT_EQ(changed.text.rfind(unusable, 0), 0u) << changed.text;
    }
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_EQ(Content(AlicePath(kLamp)), "lamp 1");
    EXPECT_EQ(WordOf(bob, BobPath(kHero)), 0u) << "no lock was taken";
}

TEST_F(SvnBackendTest, AWorkingCopyThatLostItsEmptyTemporaryFolderStillUpdatesAndSubmits)
{
    const std::filesystem::path temporary = sandbox.WorkingCopy(kAlice) + "/.svn/tmp";
    ASSERT_EQ(sandbox.Commit(kBob, {{kHero, "hero 2"}}, kAlice), "");
    std::filesystem::remove_all(temporary);
    const standin::UpdateResult update = backend.Update(alice, {});
    EXPECT_TRUE(update.Succeeded()) << update.text;
    EXPECT_EQ(Content(AlicePath(kHero)), "hero 2");

    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kLamp)}, "").Succeeded());
    std::filesystem::permissions(AlicePath(kLamp), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::ofstream(AlicePath(kLamp)) << "lamp 2";
    std::filesystem::remove_all(temporary);
    const standin::ChangeListResult submit = backend.Submit(alice, "");
    EXPECT_TRUE(submit.Succeeded()) << submit.text;
    EXPECT_GT(submit.revision, 0);
}

// Every unlock the server is asked for is refused, as by a repository whose administrator froze
// unlocking; the refusal names the path.
constexpr const char* kRefuseUnlocks = "#!/bin/sh\necho \"unlocking $2 is frozen\" >&2\nexit 1\n";

TEST_F(SvnBackendTest, ACheckOutWhoseLocksCannotBeUndoneSaysWhichFilesStayLocked)
{
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ServerResult refused = backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "");

    EXPECT_EQ(refused.code, ServerCode::kPartlyDone) << refused.text;
    EXPECT_NE(refused.text.find("'bob'"), std::string::npos) << refused.text;
    EXPECT_NE(refused.text.find("could not be unlocked again:\n" + AlicePath(kHero) + "\n"), std::string::npos)
        << refused.text;
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)), fs::kCheckedOut | fs::kLockedByMe) << "said as it is";
}

// Another program at work in one folder does not stop a Get Latest of a file elsewhere: an update
// locks its anchor, and a folder below only once it goes there.
TEST_F(SvnBackendTest, AnUpdateGoesThroughWhileAnotherProgramWorksInAnotherFolder)
{
    ASSERT_EQ(sandbox.Commit(kAlice, {{"scene.qor", "scene 1"}}), "");
    ASSERT_EQ(sandbox.Commit(kBob, {{"scene.qor", "scene 2"}}, kAlice), "");
    QProcess holder;
    ASSERT_TRUE(Hold(holder, sandbox.WorkingCopy(kAlice), "props", 0));

    const standin::UpdateResult updated = backend.Update(alice, {AlicePath("scene.qor")});

    EXPECT_TRUE(updated.Succeeded()) << updated.text;
    EXPECT_EQ(Content(AlicePath("scene.qor")), "scene 2");
}

// In a working copy a dead program left locked, a check-out's lock that can be neither kept nor
// released is told as such; cleaning up does not run the check-out again to tell something else.
TEST_F(SvnBackendTest, ACheckOutWhoseUnkeptLockCannotBeReleasedSaysSo)
{
    QProcess dead;
    ASSERT_TRUE(Hold(dead, sandbox.WorkingCopy(kAlice), "", -1));
    dead.kill();
    dead.waitForFinished();
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ServerResult edited = backend.Edit(alice, {AlicePath(kLamp)}, "");

    EXPECT_EQ(edited.code, ServerCode::kPartlyDone) << edited.text;
    EXPECT_NE(edited.text.find("could not be unlocked again:\n" + AlicePath(kLamp) + "\n"), std::string::npos)
        << edited.text;
    EXPECT_NE(edited.text.find("frozen"), std::string::npos) << "the server's reason: " << edited.text;
}

TEST_F(SvnBackendTest, ASubmitThatLandsButCannotReleaseItsLocksSaysBoth)
{
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "").Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 2";
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ChangeListResult submitted = backend.Submit(alice, "");

    EXPECT_EQ(submitted.code, ServerCode::kPartlyDone) << submitted.text;
    EXPECT_EQ(submitted.revision, 2);
    // The commit itself dropped the working copy's tokens; the server kept both locks.
    EXPECT_EQ(submitted.text.find("Submitted changelist default as revision 2, and these files are still locked:\n" +
                                  AlicePath(kHero) + "\n" + AlicePath(kLamp) + "\n"),
              0u)
        << submitted.text;
    EXPECT_NE(submitted.text.find("frozen"), std::string::npos) << "the server's reason: " << submitted.text;
    for (const char* file : {kHero, kLamp})
        EXPECT_EQ(backend.Users(bob, {BobPath(file)}, true).users, std::vector<std::string>{kAlice}) << file;
}

TEST_F(SvnBackendTest, UnchangedLockedFilesWhoseUnlockFailsAreNotSubmitted)
{
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero), AlicePath(kLamp)}, "").Succeeded());
    ASSERT_TRUE(sandbox.Server().SetHook("pre-unlock", kRefuseUnlocks));

    const standin::ChangeListResult submitted = backend.Submit(alice, "");

    EXPECT_TRUE(submitted.Failed());
    EXPECT_NE(submitted.code, ServerCode::kPartlyDone) << "nothing was done: " << submitted.text;
    EXPECT_EQ(submitted.revision, 0);
    EXPECT_EQ(submitted.text.find("Nothing had changed in changelist default, nothing was committed, and these files "
                                  "are still locked:\n"),
              0u)
        << submitted.text;
    for (const char* file : {kHero, kLamp})
        EXPECT_EQ(WordOf(alice, AlicePath(file)), fs::kCheckedOut | fs::kLockedByMe) << file;
}

// A name Subversion refuses ends the add: every schedule it made is undone, the parent folders it
// scheduled included, and no file is touched (a deleted file added again keeps its new content).
TEST_F(SvnBackendTest, AFailedAddUndoesEveryScheduleItMadeAndKeepsEveryFilesContent)
{
    const std::string lamp = AlicePath(kLamp);
    ASSERT_TRUE(backend.Delete(alice, {lamp}, "").Succeeded());
    std::ofstream(lamp) << "a new lamp";
    const std::string folder = AlicePath("props/new");
    std::filesystem::create_directories(folder);
    const std::string good = folder + "/stool.qor";
    const std::string bad = folder + "/bad\x01name.qor";
    std::ofstream(good) << "stool";
    std::ofstream(bad) << "bad";

    const standin::ServerResult failed = backend.Add(alice, {lamp, good, bad}, "");

    EXPECT_TRUE(failed.Failed());
    EXPECT_NE(failed.code, ServerCode::kPartlyDone) << failed.text;
    const standin::StatusResult status = backend.Status(alice, {folder, good}, standin::StatusScope::kLocal);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{fs::kNotInDepot, fs::kNotInDepot}));
    EXPECT_EQ(Content(good), "stool") << "the files themselves are kept";
    EXPECT_EQ(Content(lamp), "a new lamp") << "the undo touches no file";
}

// A server that is gone (not slow) is told as unreachable, naming it, both to a session's operation
// and to a login; nothing waits for a deadline.
TEST_F(SvnBackendTest, AServerThatIsGoneIsToldAsUnreachableNamingIt)
{
    sandbox.Server().Stop();
    const std::string unreachable = "Cannot reach the Subversion server at " + sandbox.Server().Url();

    const standin::StatusResult status =
        backend.Status(alice, {AlicePath(kHero)}, standin::StatusScope::kWithRepository);
    EXPECT_EQ(status.code, ServerCode::kServerError) << status.text;
    EXPECT_NE(status.text.find(unreachable), std::string::npos) << status.text;
    // A refused connection carried no request: nothing can be locked later.
    const standin::ServerResult checkOut = backend.Edit(alice, {AlicePath(kHero)}, "");
    EXPECT_NE(checkOut.text.find(unreachable), std::string::npos) << checkOut.text;
    EXPECT_EQ(checkOut.text.find("may still lock"), std::string::npos) << checkOut.text;

    standin::SvnBackend another;
    std::string failure;
    EXPECT_EQ(sandbox.Open(another, kBob, failure), 0);
    EXPECT_NE(failure.find(unreachable), std::string::npos) << failure;
}

TEST_F(SvnBackendTest, AnOperationsDeadlineIsItsOwnAndEndsWithIt)
{
    constexpr auto kDeadline = std::chrono::milliseconds(2000);
    standin::SvnBackend bobsBackend;
    const SessionId bobsOwn = Open(bobsBackend, kBob);
    ASSERT_NE(bobsOwn, 0);
    backend.SetDeadline(kDeadline);
    bobsBackend.SetDeadline(kDeadline);

    // Alice's call ends at once; its deadline must not outlive it.
    ASSERT_TRUE(backend.Status(alice, {AlicePath(kHero)}, standin::StatusScope::kWithRepository).Succeeded());
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

    EXPECT_TRUE(slow.Succeeded()) << slow.text;
    EXPECT_EQ(slow.text.find("did not answer"), std::string::npos) << slow.text;
}

// A call that begins while another to the same server runs may break only the connections it
// opened itself: it asks over a new one, never over its kept one, and so a frozen server ends it at
// its own deadline rather than at the other call's.
TEST_F(SvnBackendTest, ACallBesideAnotherToAFrozenServerEndsAtItsOwnDeadline)
{
    constexpr auto kShort = std::chrono::milliseconds(2000);
    constexpr auto kLong = std::chrono::milliseconds(20000);
    standin::SvnBackend bobsBackend;
    const SessionId bobsOwn = Open(bobsBackend, kBob);
    ASSERT_NE(bobsOwn, 0);
    bobsBackend.SetDeadline(kShort);
    backend.SetDeadline(kLong);
    ASSERT_TRUE(sandbox.Server().Freeze(true));
    std::thread earlier([&] { backend.Status(alice, {AlicePath(kHero)}, standin::StatusScope::kWithRepository); });
    std::this_thread::sleep_for(kShort / 4);

    const auto begin = std::chrono::steady_clock::now();
    const standin::StatusResult later =
        bobsBackend.Status(bobsOwn, {BobPath(kHero)}, standin::StatusScope::kWithRepository);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(sandbox.Server().Freeze(false));
    earlier.join();

    EXPECT_NE(later.text.find("did not answer"), std::string::npos) << later.text;
    EXPECT_LT(waited, kLong / 2) << "ended by the other call's deadline";
}

TEST_F(SvnBackendTest, ACommitWhoseAnswerIsLostIsToldAsUnknownAndSettledByTheNextStatusNewFoldersIncluded)
{
    // The server takes longer over the commit than the client waits.
    ASSERT_TRUE(sandbox.Server().SetHook("pre-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
    backend.SetDeadline(std::chrono::milliseconds(1000));
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, "").Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 2";
    // A new asset in a new folder goes with it.
    const std::string created = AlicePath("sets/forest/tree.qor");
    std::filesystem::create_directories(std::filesystem::path(created).parent_path());
    std::ofstream(created) << "tree";
    ASSERT_TRUE(backend.Add(alice, {created}, "").Succeeded());

    const standin::ChangeListResult submitted = backend.Submit(alice, "");

    EXPECT_EQ(submitted.code, ServerCode::kOutcomeUnknown) << submitted.text;
    EXPECT_NE(submitted.text.find("not known"), std::string::npos) << submitted.text;
    EXPECT_EQ(submitted.revision, 0);
    // The repository took it meanwhile: the next status says so, once, and the files are clean.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    backend.SetDeadline(standin::SvnBackend::kDefaultDeadline);
    const standin::StatusResult status =
        backend.Status(alice, {AlicePath(kHero), created}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.settled,
              "Submitted as revision 2 (confirmed after the connection was lost): changelist default.\n");
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{0, 0}));
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
    EXPECT_TRUE(WordOf(bob, BobPath(kHero)) & fs::kNotAtHead);
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
    ASSERT_TRUE(empty.Server().SetHook("pre-commit", "#!/bin/sh\nsleep 3\nexit 0\n"));
    backend.SetDeadline(std::chrono::milliseconds(1000));
    const std::string first = empty.PathOf(kAlice, "first.qor");
    std::ofstream(first) << "first";
    ASSERT_TRUE(backend.Add(alice, {first}, "").Succeeded());
    ASSERT_EQ(backend.Submit(alice, "").code, ServerCode::kOutcomeUnknown);

    std::this_thread::sleep_for(std::chrono::seconds(3));
    backend.SetDeadline(standin::SvnBackend::kDefaultDeadline);
    const standin::StatusResult status = backend.Status(alice, {first}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(status.Succeeded()) << status.text;
    EXPECT_EQ(status.settled,
              "Submitted as revision 1 (confirmed after the connection was lost): changelist default.\n");
}

// Externals are brought by an update of the working copy as Subversion's own would bring them.
TEST_F(SvnBackendTest, AnUpdateBringsTheExternalsTheRepositoryDefines)
{
    ASSERT_EQ(sandbox.RunSvn(kBob, {"propset", "svn:externals", "^/props shared-props", "."}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "shared props", "--depth", "empty", "."}), 0);
    const standin::UpdateResult updated = backend.Update(alice, {});
    ASSERT_TRUE(updated.Succeeded()) << updated.text;
    EXPECT_EQ(updated.revision, 2);
    EXPECT_EQ(Content(AlicePath("shared-props/lamp.qor")), "lamp 1");
}

// A web server on another host than the repository's: it asks every request for a password and
// keeps the requests' headers.
class PasswordAskingServer {
public:
    PasswordAskingServer()
    {
        sockaddr_in address{};
        m_listener = ListenOnLoopback(8, address);
        if (m_listener < 0) return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~PasswordAskingServer()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }
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
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

// A server on loopback that never says a word: it takes connections and never answers, or, its
// queue of connections full, never even completes one (as behind a firewall that drops them).
class SilentServer {
public:
    enum Kind { kTakesConnections, kTakesNone };
    explicit SilentServer(Kind kind)
    {
        sockaddr_in address{};
        m_listener = ListenOnLoopback(kind == kTakesNone ? 0 : 8, address);
        if (m_listener < 0) return;
        // The queue's one place, taken.
        if (kind == kTakesNone && ::connect(m_queued, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer()
    {
        ::close(m_queued);
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    std::string Url() const { return "svn://127.0.0.1:" + std::to_string(m_port) + "/repo/props"; }

private:
    int m_listener = -1;
    int m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_port = 0;
};

// Externals another user points at servers of their choosing: one asks for a password, one takes
// the connection and never answers. The update goes on without them and says so within its
// deadline, and neither server is sent the user's password.
TEST_F(SvnBackendTest, ExternalsOnOtherServersGetNoPasswordAndAreToldAsNotBroughtWithinTheDeadline)
{
    PasswordAskingServer asking;
    ASSERT_NE(asking.Port(), 0);
    const SilentServer stalling(SilentServer::kTakesConnections);
    ASSERT_NE(stalling.Port(), 0);
    const std::string externals =
        "http://127.0.0.1:" + std::to_string(asking.Port()) + "/repo/props borrowed\n" + stalling.Url() + " stalled";
    ASSERT_NO_FATAL_FAILURE(ChangeTheHeroAndPointCharsAt(externals));

    constexpr auto kDeadline = std::chrono::seconds(3);
    backend.SetDeadline(kDeadline);
    const auto start = std::chrono::steady_clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {});
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_LT(took, kDeadline * 10) << "a server that never answers is left at the deadline";
    EXPECT_EQ(updated.code, ServerCode::kPartlyDone);
    EXPECT_EQ(updated.text.find("Updated to revision 3.\nThese externals could not be brought:\n"), 0u) << updated.text;
    for (const char* folder : {"chars/borrowed", "chars/stalled"})
        EXPECT_NE(updated.text.find(BobPath(folder) + " - "), std::string::npos) << updated.text;
    EXPECT_NE(asking.Received().find("/repo/props"), std::string::npos) << "the external was asked for";
    EXPECT_EQ(asking.Received().find("Authorization"), std::string::npos) << asking.Received();
    EXPECT_EQ(Content(BobPath(kHero)), "hero 2") << "the rest of the update is done";
}

// An external whose server never completes a connection is left at the update's deadline, not after
// the minutes the system gives a connection; what the update did stays done and is told so, and the
// externals it did not come to are told as not brought.
TEST_F(SvnBackendTest, AnExternalWhoseServerNeverTakesTheConnectionIsLeftAtTheDeadline)
{
    const SilentServer unreached(SilentServer::kTakesNone);
    ASSERT_NE(unreached.Port(), 0);
    const SilentServer later(SilentServer::kTakesConnections);
    ASSERT_NE(later.Port(), 0);
    ASSERT_NO_FATAL_FAILURE(ChangeTheHeroAndPointCharsAt(unreached.Url() + " unreached\n" + later.Url() + " later"));

    constexpr auto kDeadline = std::chrono::seconds(3);
    backend.SetDeadline(kDeadline);
    const auto start = std::chrono::steady_clock::now();
    const standin::UpdateResult updated = backend.Update(bob, {});

    EXPECT_LT(std::chrono::steady_clock::now() - start, kDeadline * 10);
    EXPECT_EQ(updated.code, ServerCode::kPartlyDone);
    EXPECT_EQ(updated.text.find("Updated to revision 3.\nThese externals could not be brought:\n" +
                                BobPath("chars/unreached") + " - "),
              0u)
        << updated.text;
    EXPECT_NE(updated.text.find("The update ran out of its 3.0 s while it brought externals; the rest of them were "
                                "not brought.\n"),
              std::string::npos)
        << updated.text;
    EXPECT_EQ(updated.text.find(sandbox.Url()), std::string::npos) << "the working copy's server did answer";
    EXPECT_EQ(Content(BobPath(kHero)), "hero 2");
}

// A folder replaced (deleted and added again in one revision) whose file alice then got: the file is
// at the head revision, even beside an older file that makes the server's log start before it.
TEST_F(SvnBackendTest, AFileOfAReplacedFolderThatAliceGotIsAtTheHead)
{
    ASSERT_EQ(sandbox.RunSvn(kBob, {"rm", "props"}), 0);
    std::filesystem::create_directories(BobPath("props"));
    std::ofstream(BobPath(kLamp)) << "lamp reborn";
    ASSERT_EQ(sandbox.RunSvn(kBob, {"add", "props"}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {"commit", "-m", "props replaced"}), 0);
    const standin::UpdateResult updated = backend.Update(alice, {AlicePath("props")});
    ASSERT_TRUE(updated.Succeeded()) << updated.text;
    ASSERT_EQ(Content(AlicePath(kLamp)), "lamp reborn");

    const standin::StatusResult both =
        backend.Status(alice, {AlicePath(kHero), AlicePath(kLamp)}, standin::StatusScope::kWithRepository);
    ASSERT_TRUE(both.Succeeded()) << both.text;
    EXPECT_EQ(both.words, (std::vector<qor4::StatusWord>{0, 0}));
}

// The revision-control service ends the sessions its accounts opened when it goes away: their
// connections and passwords go with it.
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

// A record of a lost submit that cannot be read (a crash while it was written, a hand edit) is
// told once as not known, and blocks no later submit.
TEST_F(SvnBackendTest, ADamagedRecordOfALostSubmitIsToldOnceAndBlocksNoLaterSubmit)
{
    const std::string record = sandbox.PathOf(kAlice, ".svn/") + standin::svn::SubmitRecord::kFileName;
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, "").Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 2";
    for (const char* damaged :
         {R"({"id": "a)", "[1, 2]", R"({"id": "", "changelist": "", "files": ["chars/hero.qor"], "base": 1})",
          R"({"id": "ab", "changelist": "", "files": [7], "base": 1})",
          R"({"id": "ab", "changelist": "", "files": [], "base": 1})"}) {
        SCOPED_TRACE(damaged);
        std::ofstream(record) << damaged;
        const standin::StatusResult status =
            backend.Status(alice, {AlicePath(kHero)}, standin::StatusScope::kWithRepository);
        ASSERT_TRUE(status.Succeeded()) << status.text;
        EXPECT_EQ(status.settled, "The record of an earlier submit is damaged: " + record +
                                      "; whether that submit reached the repository is not known.\n");
        EXPECT_FALSE(std::filesystem::exists(record));
    }
    const standin::ChangeListResult submitted = backend.Submit(alice, "");
    EXPECT_EQ(submitted.revision, 2) << submitted.text;

    // A record that cannot be written stops the submit before anything reaches the repository.
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, "").Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 3";
    std::filesystem::create_directories(record + "/in-the-way");
    const standin::ChangeListResult unrecorded = backend.Submit(alice, "");
    EXPECT_EQ(unrecorded.revision, 0);
    EXPECT_EQ(unrecorded.text.find("Nothing was submitted from changelist default: Cannot record the submit"), 0u)
        << unrecorded.text;
    std::filesystem::remove_all(record);
    EXPECT_EQ(backend.Submit(alice, "").revision, 3) << "the refused submit sent nothing";
    EXPECT_EQ(Content(AlicePath(kHero)), "hero 3");
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
    using Change = std::function<standin::ServerResult()>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"check-out",
         [&] {
             return backend.Edit(alice, {AlicePath(kLamp), path}, "");
         }},
        {"add",
         [&] {
             return backend.Add(alice, {AlicePath(kLamp), path}, "");
         }},
        {"delete",
         [&] {
             return backend.Delete(alice, {AlicePath(kLamp), path}, "");
         }},
        {"revert",
         [&] {
             return backend.Revert(alice, {AlicePath(kLamp), path});
         }},
        {"make writable",
         [&] {
             return backend.MakeWritable(alice, {AlicePath(kLamp), path});
         }},
    };
    const bool outsideFile = std::filesystem::is_regular_file(path);
    for (const auto& [what, change] : changes) {
        const standin::ServerResult refused = change();
        EXPECT_TRUE(refused.Failed()) << what;
        EXPECT_NE(refused.text.find(path + " - "), std::string::npos) << what << ": " << refused.text;
        EXPECT_NE(refused.text.find(GetParam().reason), std::string::npos) << what << ": " << refused.text;
        EXPECT_EQ(WordOf(alice, AlicePath(kLamp)), 0u) << what << ": the good file is left alone";
        EXPECT_FALSE(IsWritable(AlicePath(kLamp))) << what;
        if (outsideFile) {
            EXPECT_FALSE(IsWritable(path)) << what << ": the file outside is left alone";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BadPathTest,
    ::testing::Values(BadPath{"LeavingTheWorkingCopy",
                              [](const SvnSandbox& sandbox) {
                                  // A read-only file there, that must stay so.
                                  const std::string path = sandbox.WorkingCopy(kAlice) + "/../outside.qor";
                                  std::ofstream(path) << "notes";
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

// A workspace the host names wrongly: the login says which path and what it holds. A server URL
// whose scheme is typed in capitals still names the server of its copies.
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
        EXPECT_EQ(login.code, ServerCode::kLoginFailed) << wrong.workspace;
        EXPECT_NE(login.text.find(wrong.expected), std::string::npos) << login.text;
        EXPECT_FALSE(login.accountChecked) << "no account waits for a password here";
    }

    // Bob's password goes to the server however its scheme is spelled.
    std::string typed = sandbox.Url();
    std::transform(typed.begin(), typed.begin() + typed.find(':'), typed.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const standin::LoginResult login = backend.OpenSession({kBob, sandbox.Password(kBob), typed, otherCopy, {}});
    ASSERT_TRUE(login.Succeeded()) << typed << ": " << login.text;
    EXPECT_TRUE(backend.Edit(login.session, {BobPath(kLamp)}, "").Succeeded());
}

TEST_F(SvnBackendTest, ACheckOutCancelledOnceTheServerGrantedTheLockReleasesItAgain)
{
    const standin::ChangeListResult changeList = backend.CreateChangeList(alice, "work");
    ASSERT_TRUE(changeList.Succeeded()) << changeList.text;
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
    EXPECT_EQ(backend.Users(bob, {BobPath(kHero)}, true).users, std::vector<std::string>{})
        << "the lock granted before the Cancel is released again";
    EXPECT_FALSE(IsWritable(AlicePath(kHero)));
}

// A working copy of one folder is updated by Subversion's own update (it also brings the
// properties the folder inherits); a server that is gone stops it with a clear error.
TEST_F(SvnBackendTest, AWorkingCopyOfOneFolderIsUpdatedAndAServerThatIsGoneIsToldThere)
{
    const std::string folder = sandbox.WorkingCopy(kAlice) + "-props";
    std::string error;
    ASSERT_TRUE(sandbox.Server().CheckOut(kAlice, folder, error, sandbox.Url() + "/props")) << error;
    const standin::LoginResult login = backend.OpenSession({kAlice, "", sandbox.Url(), folder, {}});
    ASSERT_FALSE(login.Failed()) << login.text;
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kLamp)}, "").Succeeded());
    std::ofstream(BobPath(kLamp)) << "lamp 2";
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);

    const standin::UpdateResult updated = backend.Update(login.session, {});
    ASSERT_TRUE(updated.Succeeded()) << updated.text;
    EXPECT_EQ(updated.revision, 2);
    EXPECT_EQ(updated.updated, std::vector<std::string>{folder + "/lamp.qor"});
    EXPECT_EQ(Content(folder + "/lamp.qor"), "lamp 2");

    sandbox.Server().Stop();
    const standin::UpdateResult unreachable = backend.Update(login.session, {folder + "/chair.qor"});
    EXPECT_EQ(unreachable.code, ServerCode::kServerError);
    EXPECT_NE(unreachable.text.find("Cannot reach the Subversion server at " + sandbox.Server().Url()),
              std::string::npos)
        << unreachable.text;
    EXPECT_TRUE(unreachable.updated.empty());
}

// A description pasted from elsewhere can carry CR LF or CR line ends, which Subversion refuses in
// a log message.
TEST_F(SvnBackendTest, AChangeListDescribedWithOtherLineEndsIsSubmittedWithItAsTheLogMessage)
{
    const standin::ChangeListResult created = backend.CreateChangeList(alice, "walls\r\nand floors\rdone");
    ASSERT_TRUE(created.Succeeded()) << created.text;
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kHero)}, created.changeList).Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero 2";

    const standin::ChangeListResult submit = backend.Submit(alice, created.changeList);

    ASSERT_EQ(submit.revision, 2) << submit.text;
    QProcess log;
    log.start(QStringLiteral("svn"), {"log", "--xml", "-r", "2", QString::fromStdString(sandbox.Server().FileUrl())});
    ASSERT_TRUE(log.waitForFinished(30000));
    EXPECT_TRUE(log.readAllStandardOutput().contains("<msg>walls\nand floors\ndone</msg>"));
}

// The server's refusal to commit a path it no longer has is an answer: nothing was submitted, and
// the next submit need not wait to learn it.
TEST_F(SvnBackendTest, ASubmitOfAFileAnotherUserDeletedIsToldAsNothingSubmittedAndBlocksNoOtherSubmit)
{
    ASSERT_TRUE(backend.MakeWritable(alice, {AlicePath(kLamp)}).Succeeded());
    std::ofstream(AlicePath(kLamp)) << "lamp alice";
    ASSERT_TRUE(backend.Delete(bob, {BobPath(kLamp)}, "").Succeeded());
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);

    const standin::ChangeListResult refused = backend.Submit(alice, "");
    EXPECT_EQ(refused.code, ServerCode::kServerError) << refused.text;
    EXPECT_EQ(refused.text.rfind("Nothing was submitted from changelist default: ", 0), 0u) << refused.text;
    EXPECT_NE(refused.text.find("/props/lamp.qor"), std::string::npos) << refused.text;
    EXPECT_EQ(Content(AlicePath(kLamp)), "lamp alice");

    ASSERT_TRUE(backend.Revert(alice, {AlicePath(kLamp)}).Succeeded());
    ASSERT_TRUE(backend.Edit(alice, {AlicePath(kChair)}, "").Succeeded());
    std::ofstream(AlicePath(kChair)) << "chair alice";
    const standin::ChangeListResult next = backend.Submit(alice, "");
    EXPECT_EQ(next.revision, 3) << next.text;
    EXPECT_EQ(next.settled, "");
}

TEST_F(SvnBackendTest, AFolderDeletedOnTheServerUnderALocalChangeIsNamedAsInConflictAndTheChangeIsKept)
{
    ASSERT_TRUE(backend.MakeWritable(alice, {AlicePath(kHero)}).Succeeded());
    std::ofstream(AlicePath(kHero)) << "hero alice";
    ASSERT_EQ(sandbox.RunSvn(kBob, {QStringLiteral("delete"), QStringLiteral("chars")}), 0);
    ASSERT_EQ(sandbox.RunSvn(kBob, {QStringLiteral("commit"), QStringLiteral("-m"), QStringLiteral("no chars")}), 0);

    const standin::UpdateResult update = backend.Update(alice, {});

    const std::string folder = sandbox.WorkingCopy(kAlice) + "/chars";
    EXPECT_EQ(update.code, ServerCode::kPartlyDone) << update.text;
    EXPECT_EQ(update.conflicts, std::vector<std::string>{folder});
    EXPECT_NE(update.text.find("left in conflict:\n" + folder + " - the local change and the repository's disagree.\n"),
              std::string::npos)
        << update.text;
    EXPECT_EQ(Content(AlicePath(kHero)), "hero alice");
}

TEST_F(SvnBackendTest, AnUpdateBringsWhatOthersSubmittedAndNamesTheConflictsItLeaves)
{
    const std::string table = "props/table.qor";
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kHero)}, "").Succeeded());
    std::ofstream(BobPath(kHero)) << "hero 2";
    std::ofstream(sandbox.PathOf(kBob, table)) << "table 1";
    ASSERT_TRUE(backend.Add(bob, {sandbox.PathOf(kBob, table)}, "").Succeeded());
    ASSERT_TRUE(backend.Delete(bob, {BobPath(kLamp)}, "").Succeeded());
    ASSERT_EQ(backend.Submit(bob, "").revision, 2);
    EXPECT_TRUE(WordOf(alice, AlicePath(kHero)) & fs::kNotAtHead);

    const standin::UpdateResult everything = backend.Update(alice, {});
    ASSERT_TRUE(everything.Succeeded()) << everything.text;
    EXPECT_EQ(everything.revision, 2);
    std::vector<std::string> updated = everything.updated;
    std::sort(updated.begin(), updated.end());
    EXPECT_EQ(updated, (std::vector<std::string>{AlicePath(kHero), AlicePath(kLamp), sandbox.PathOf(kAlice, table)}));
    EXPECT_TRUE(everything.conflicts.empty());
    EXPECT_EQ(Content(AlicePath(kHero)), "hero 2");
    EXPECT_EQ(Content(sandbox.PathOf(kAlice, table)), "table 1");
    EXPECT_FALSE(std::filesystem::exists(AlicePath(kLamp)));
    EXPECT_EQ(WordOf(alice, AlicePath(kHero)) & fs::kNotAtHead, 0u);

    // Alice changes the chair without its lock; bob submits his own change of it.
    ASSERT_TRUE(backend.MakeWritable(alice, {AlicePath(kChair)}).Succeeded());
    std::ofstream(AlicePath(kChair)) << "chair alice\n";
    ASSERT_TRUE(backend.Edit(bob, {BobPath(kChair)}, "").Succeeded());
    std::ofstream(BobPath(kChair)) << "chair bob\n";
    ASSERT_EQ(backend.Submit(bob, "").revision, 3);

    const standin::UpdateResult conflicted = backend.Update(alice, {AlicePath(kChair)});
    EXPECT_EQ(conflicted.code, ServerCode::kPartlyDone) << conflicted.text;
    EXPECT_EQ(conflicted.revision, 3);
    EXPECT_EQ(conflicted.conflicts, std::vector<std::string>{AlicePath(kChair)});
    EXPECT_EQ(conflicted.text, "Updated to revision 3; left in conflict:\n" + AlicePath(kChair) +
                                   " - the local change and the repository's disagree.\n");
    EXPECT_EQ(Content(AlicePath(kChair) + ".mine"), "chair alice\n") << "alice's change is kept";

    // Alice's own new stool is in the way of the one bob adds: her file stays as she wrote it.
    const std::string stool = "props/stool.qor";
    std::ofstream(sandbox.PathOf(kAlice, stool)) << "stool alice";
    std::ofstream(sandbox.PathOf(kBob, stool)) << "stool bob";
    ASSERT_TRUE(backend.Add(bob, {sandbox.PathOf(kBob, stool)}, "").Succeeded());
    ASSERT_EQ(backend.Submit(bob, "").revision, 4);
    const standin::UpdateResult obstructed = backend.Update(alice, {});
    EXPECT_EQ(obstructed.code, ServerCode::kPartlyDone) << obstructed.text;
    EXPECT_NE(obstructed.text.find(sandbox.PathOf(kAlice, stool)), std::string::npos) << obstructed.text;
    EXPECT_EQ(Content(sandbox.PathOf(kAlice, stool)), "stool alice");

    // A change two folders down, in folders the update adds and then opens.
    const std::string tree = "sets/forest/tree.qor";
    std::filesystem::create_directories(std::filesystem::path(sandbox.PathOf(kBob, tree)).parent_path());
    std::ofstream(sandbox.PathOf(kBob, tree)) << "tree 1";
    ASSERT_TRUE(backend.Add(bob, {sandbox.PathOf(kBob, tree)}, "").Succeeded());
    ASSERT_EQ(backend.Submit(bob, "").revision, 5);
    EXPECT_EQ(backend.Update(alice, {}).revision, 5);
    ASSERT_EQ(Content(sandbox.PathOf(kAlice, tree)), "tree 1");
    ASSERT_TRUE(backend.Edit(bob, {sandbox.PathOf(kBob, tree)}, "").Succeeded());
    std::ofstream(sandbox.PathOf(kBob, tree)) << "tree 2";
    ASSERT_EQ(backend.Submit(bob, "").revision, 6);
    const standin::UpdateResult deep = backend.Update(alice, {});
    EXPECT_EQ(deep.revision, 6);
    EXPECT_EQ(deep.updated, std::vector<std::string>{sandbox.PathOf(kAlice, tree)});
    EXPECT_EQ(Content(sandbox.PathOf(kAlice, tree)), "tree 2");

    // A file outside the working copy is refused and nothing is updated.
    const standin::UpdateResult outside = backend.Update(alice, {"/etc/passwd"});
    EXPECT_EQ(outside.code, ServerCode::kFileStateRejected);
    EXPECT_NE(outside.text.find("/etc/passwd"), std::string::npos) << outside.text;
    EXPECT_TRUE(outside.updated.empty());

    // The chair, still in conflict, is not updated again until alice resolves it.
    const standin::UpdateResult again = backend.Update(alice, {AlicePath(kChair)});
    EXPECT_EQ(again.code, ServerCode::kPartlyDone);
    EXPECT_EQ(again.text, "Nothing was updated; in conflict:\n" + AlicePath(kChair) +
                              " - still in conflict from an earlier update; resolve it first.\n");
    EXPECT_EQ(again.conflicts, std::vector<std::string>{AlicePath(kChair)});
    EXPECT_TRUE(again.updated.empty());
}

} // namespace
