// The server's file operations and the status words they leave behind.
#include "ServerFixture.h"

#include <functional>

namespace standin::test {
namespace {

using namespace qor4::FileStatus;
using ServerFileTest = ServerFixture;

TEST_F(ServerFileTest, StatusWordFollowsState)
{
    enum Start { kAbsent, kCheckedIn, kOnlyOnDisk };
    RevisionServer& s = *server;
    const struct {
        const char* name;
        Start start;
        std::function<void(const std::string&)> act;
        qor4::StatusWord expected;
    } cases[] = {
        {"AtHead", kCheckedIn, [](auto&) {}, 0},
        {"EditedByMe", kCheckedIn, [&](auto& p) { s.Edit({p}, ""); }, kCheckedOut},
        {"EditedByOther", kCheckedIn, [&](auto& p) { s.OpenForEditAs(kBob, p); }, kCheckedOutByOther},
        {"AddedByMe", kOnlyOnDisk, [&](auto& p) { s.Add({p}, ""); }, kMarkedForAdd},
        {"AddedByOther", kAbsent, [&](auto& p) { s.MarkForAddAs(kBob, p); }, kMarkedForAddByOther | kNotInDepot},
        {"DeletedByMe", kCheckedIn, [&](auto& p) { s.Delete({p}, ""); }, kMarkedForDelete},
        {"DeletedByOther", kCheckedIn, [&](auto& p) { s.MarkForDeleteAs(kBob, p); }, kMarkedForDeleteByOther},
        {"NotAtHead", kCheckedIn, [&](auto& p) { s.SubmitAs(kBob, p, "v2"); }, kNotAtHead},
        {"InDepotNeverSynced", kAbsent, [&](auto& p) { s.AddDepotFile(p, 3); }, kNotAtHead},
        {"OnlyOnDisk", kOnlyOnDisk, [](auto&) {}, kNotInDepot},
        {"Unknown", kAbsent, [](auto&) {}, kNotInDepot},
        {"IOErrorMarked", kCheckedIn, [&](auto& p) { s.SetIOError(p, true); }, kIOError},
        {"LockedByMe", kCheckedIn,
         [&](auto& p) {
             s.Edit({p}, "");
             s.Lock({p});
         },
         kCheckedOut | kLockedByMe},
        {"LockedByOther", kCheckedIn,
         [&](auto& p) {
             s.OpenForEditAs(kBob, p);
             s.LockAs(kBob, p);
         },
         kCheckedOutByOther | kLockedByOther},
        {"FolderInTheWay", kAbsent,
         [&](auto& p) {
             s.AddDepotFile(p, 1);
             QDir().mkpath(Local(p));
         },
         kNotAtHead | kIOError},
        {"EditedByOtherAndNotAtHead", kCheckedIn,
         [&](auto& p) {
             s.SetHeadRevision(p, 3);
             s.OpenForEditAs(kBob, p);
         },
         kCheckedOutByOther | kNotAtHead},
        // Without exclusive checkout several users may have a file open at once.
        {"SharedEditedByBoth", kCheckedIn,
         [&](auto& p) {
             s.SetExclusive(p, false);
             s.OpenForEditAs(kBob, p);
             s.Edit({p}, "");
         },
         kCheckedOut | kCheckedOutByOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string(c.name) + ".qor";
        if (c.start == kCheckedIn) CheckIn(path);
        if (c.start == kOnlyOnDisk) Write(Local(path), "new");
        c.act(path);
        EXPECT_EQ(Word(path), c.expected);
    }
}

TEST_F(ServerFileTest, StatusAcceptsAbsoluteDepotAndRelativeNamesInRequestOrder)
{
    CheckIn("chars/hero.qor");
    const std::string changeList = server->CreateChangeList("hero work").changeList;
    ASSERT_TRUE(server->Edit({"chars/hero.qor"}, changeList).Succeeded());
    const StatusResult status = server->Status({"/elsewhere/x.qor", Abs("chars/hero.qor"), "//depot/chars/hero.qor"});
    ASSERT_TRUE(status.Succeeded());
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{kNotInDepot, kCheckedOut, kCheckedOut}));
    EXPECT_EQ(status.changeLists, (std::vector<std::string>{"", changeList, changeList}));
}

TEST_F(ServerFileTest, EditAndMakeWritableClearTheReadOnlyBitAndRevertRestoresIt)
{
    CheckIn("a.qor", "original");
    CheckIn("w.qor");
    ASSERT_TRUE(IsReadOnly(Local("a.qor")));
    ASSERT_TRUE(server->Edit({Abs("a.qor")}, "").Succeeded());
    EXPECT_FALSE(IsReadOnly(Local("a.qor")));
    Write(Local("a.qor"), "changed");
    ASSERT_TRUE(server->Revert({"a.qor"}).Succeeded());
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Read(Local("a.qor")), "original");
    EXPECT_EQ(Word("a.qor"), 0u);

    // Making writable touches only the disk.
    ASSERT_TRUE(server->MakeWritable({"w.qor"}).Succeeded());
    EXPECT_FALSE(IsReadOnly(Local("w.qor")));
    EXPECT_EQ(Word("w.qor"), 0u);
    const ServerResult missing = server->MakeWritable({"gone.qor"});
    EXPECT_EQ(missing.code, ServerCode::kFileStateRejected);
    EXPECT_NE(missing.text.find("//depot/gone.qor - no such file"), std::string::npos);
}

TEST_F(ServerFileTest, EditIsAllOrNothingAndNamesEachRefusal)
{
    for (const char* path : {"fine.qor", "old.qor", "taken.qor", "locked.qor", "gone.qor"})
        CheckIn(path);
    server->SetHeadRevision("old.qor", 3);
    server->OpenForEditAs(kBob, "taken.qor");
    server->OpenForEditAs(kBob, "locked.qor");
    server->LockAs(kBob, "locked.qor");
    ASSERT_TRUE(server->Delete({"gone.qor"}, "").Succeeded());
    server->AddDepotFile("remote.qor");
    const ServerResult result = server->Edit(
        {"fine.qor", "old.qor", "taken.qor", "locked.qor", "gone.qor", "new.qor", "remote.qor", "/x/y"}, "");
    EXPECT_EQ(result.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(result.text, "/x/y - file(s) not in client view.\n"
                           "//depot/old.qor - can't edit, must sync to head revision #3 first\n"
                           "//depot/taken.qor - can't edit exclusive file already opened\n"
                           "//depot/locked.qor - locked by bob@bob-ws\n"
                           "//depot/gone.qor - can't edit (already opened for delete)\n"
                           "//depot/new.qor - no such file(s).\n"
                           "//depot/remote.qor - file(s) not on client.\n");
    EXPECT_TRUE(IsReadOnly(Local("fine.qor")));
    EXPECT_EQ(Word("fine.qor"), 0u);

    server->SetIOError("fine.qor", true);
    const ServerResult ioError = server->Edit({"fine.qor"}, "");
    EXPECT_EQ(ioError.code, ServerCode::kIOError);
    EXPECT_NE(ioError.text.find("//depot/fine.qor - I/O error"), std::string::npos);
    EXPECT_TRUE(IsReadOnly(Local("fine.qor")));
    EXPECT_EQ(server->Delete({"fine.qor"}, "").code, ServerCode::kIOError);
    EXPECT_TRUE(QFileInfo::exists(Local("fine.qor")));
}

TEST_F(ServerFileTest, AddAndDeleteAreRevertedWithoutLosingTheFile)
{
    Write(Local("new.qor"), "fresh");
    ASSERT_TRUE(server->Add({"new.qor"}, "").Succeeded());
    EXPECT_EQ(Word("new.qor"), kMarkedForAdd);
    ASSERT_TRUE(server->Revert({"new.qor"}).Succeeded());
    EXPECT_EQ(Word("new.qor"), kNotInDepot);
    EXPECT_EQ(Read(Local("new.qor")), "fresh");

    CheckIn("a.qor", "keep me");
    ASSERT_TRUE(server->Delete({"a.qor"}, "").Succeeded());
    EXPECT_FALSE(QFileInfo::exists(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), kMarkedForDelete);
    ASSERT_TRUE(server->Revert({"a.qor"}).Succeeded());
    EXPECT_EQ(Read(Local("a.qor")), "keep me");
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);
}

TEST_F(ServerFileTest, AddDeleteAndRevertRefusalsChangeNothing)
{
    CheckIn("a.qor");
    CheckIn("gone.qor");
    CheckIn("edited.qor");
    const ServerResult add = server->Add({"a.qor", "missing.qor"}, "");
    EXPECT_EQ(add.code, ServerCode::kFileStateRejected);
    EXPECT_NE(add.text.find("//depot/a.qor - can't add existing file\n"), std::string::npos);
    EXPECT_NE(add.text.find("//depot/missing.qor - can't add, "), std::string::npos);

    // A file already gone from disk may be deleted, an opened one may not.
    QFile::remove(Local("gone.qor"));
    ASSERT_TRUE(server->Edit({"edited.qor"}, "").Succeeded());
    EXPECT_EQ(server->Delete({"gone.qor", "edited.qor"}, "").text,
              "//depot/edited.qor - can't delete (already opened for edit)\n");
    EXPECT_EQ(Word("gone.qor"), 0u);
    ASSERT_TRUE(server->Delete({"gone.qor"}, "").Succeeded());
    EXPECT_EQ(Word("gone.qor"), kMarkedForDelete);

    const ServerResult revert = server->Revert({"edited.qor", "a.qor"});
    EXPECT_EQ(revert.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(revert.text, "//depot/a.qor - file(s) not opened on this client.\n");
    EXPECT_EQ(Word("edited.qor"), kCheckedOut);
}

TEST_F(ServerFileTest, SyncAndSubmitMoveRevisions)
{
    CheckIn("a.qor", "v1");
    server->SubmitAs(kBob, "a.qor", "v2 by bob");
    ASSERT_EQ(Word("a.qor"), kNotAtHead);
    ASSERT_TRUE(server->Sync({"a.qor"}).Succeeded());
    EXPECT_EQ(Read(Local("a.qor")), "v2 by bob");
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(server->HaveRevision(kWorkspace, "a.qor"), 2);
    EXPECT_EQ(Word("a.qor"), 0u);

    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    Write(Local("a.qor"), "mine");
    const ChangeListResult submitted = server->Submit("");
    ASSERT_TRUE(submitted.Succeeded()) << submitted.text;
    EXPECT_EQ(server->HeadRevision("a.qor"), 3);
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);

    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    server->SetHeadRevision("a.qor", 4);
    const ChangeListResult stale = server->Submit("");
    EXPECT_EQ(stale.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(stale.text, "//depot/a.qor - must sync/resolve #4 before submitting\n");
    ASSERT_TRUE(server->Revert({"a.qor"}).Succeeded());
    EXPECT_EQ(server->Submit("").code, ServerCode::kNothingToSubmit);
}

TEST_F(ServerFileTest, UsersListsOtherHoldersPerFile)
{
    CheckIn("a.qor");
    CheckIn("b.qor");
    server->OpenForEditAs(kCarol, "a.qor");
    server->MarkForDeleteAs(kBob, "a.qor");
    server->LockAs(kBob, "b.qor");
    EXPECT_TRUE(server->Edit({"b.qor"}, "").Failed()); // locked by bob
    const UsersResult withLocks = server->Users({"a.qor", "b.qor", "a.qor"}, true);
    EXPECT_EQ(withLocks.users, (std::vector<std::string>{"bob", "carol", "bob", "bob", "carol"}));
    EXPECT_TRUE(server->Users({"b.qor"}, false).users.empty());
}

TEST_F(ServerFileTest, ChangeListsAreNumberedDescribedAndOwned)
{
    const std::string first = server->CreateChangeList("first").changeList;
    const std::string bobs = server->CreateChangeListAs(kBob, "bob's").changeList;
    EXPECT_EQ(first, "1");
    EXPECT_EQ(bobs, "2");
    EXPECT_EQ(server->CreateChangeList("").changeList, "3");
    EXPECT_EQ(server->PendingChangeLists().changeLists, (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(server->ChangeListDescription(first).description, "first");
    EXPECT_EQ(server->ChangeListDescription("").description, "");
    EXPECT_EQ(server->ChangeListDescription("99").code, ServerCode::kInvalidChangeList);
    EXPECT_TRUE(server->IsChangeListValid(""));
    EXPECT_TRUE(server->IsChangeListValid(first));
    for (const std::string& invalid : {bobs, std::string("99"), std::string("abc")})
        EXPECT_FALSE(server->IsChangeListValid(invalid)) << invalid;

    CheckIn("a.qor");
    const ServerResult foreign = server->Edit({"a.qor"}, bobs);
    EXPECT_EQ(foreign.code, ServerCode::kInvalidChangeList);
    EXPECT_EQ(foreign.text, "Change 2 belongs to user bob.\n");
    EXPECT_EQ(Word("a.qor"), 0u);
    ASSERT_TRUE(server->Edit({"a.qor"}, first).Succeeded());
    ASSERT_TRUE(server->Submit(first).Succeeded());
    EXPECT_FALSE(server->IsChangeListValid(first));
    EXPECT_EQ(server->PendingChangeLists().changeLists, (std::vector<std::string>{"3"}));
}

} // namespace
} // namespace standin::test
