// The server's file operations and the status words they leave behind.
#include "ServerFixture.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace standin::test {
namespace {

using namespace qor4::FileStatus;

struct StatusCase {
    const char* name;
    std::function<void(RevisionServer&, ServerFixture&)> setUp;
    qor4::StatusWord expected;
};

void PrintTo(const StatusCase& situation, std::ostream* out)
{
    *out << situation.name;
}

class StatusWordTest : public ServerFixture, public ::testing::WithParamInterface<StatusCase> {
public:
    void Make(const std::string& path) { CheckIn(path); }
    void WriteNew(const std::string& path) { Write(Local(path), "new"); }
};

const char* const kFile = "a.qor";

TEST_P(StatusWordTest, WordFollowsState)
{
    GetParam().setUp(*server, *this);
    EXPECT_EQ(Word(kFile), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Situations, StatusWordTest,
    ::testing::Values(
        StatusCase{"AtHead", [](RevisionServer&, ServerFixture& f) { static_cast<StatusWordTest&>(f).Make(kFile); }, 0},
        StatusCase{"EditedByMe",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       ASSERT_TRUE(s.Edit({kFile}, "").Succeeded());
                   },
                   kCheckedOut},
        StatusCase{"EditedByOther",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.OpenForEditAs(kBob, kFile);
                   },
                   kCheckedOutByOther},
        StatusCase{"AddedByMe",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).WriteNew(kFile);
                       ASSERT_TRUE(s.Add({kFile}, "").Succeeded());
                   },
                   kMarkedForAdd},
        StatusCase{"AddedByOther", [](RevisionServer& s, ServerFixture&) { s.MarkForAddAs(kBob, kFile); },
                   kMarkedForAddByOther | kNotInDepot},
        StatusCase{"DeletedByMe",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       ASSERT_TRUE(s.Delete({kFile}, "").Succeeded());
                   },
                   kMarkedForDelete},
        StatusCase{"DeletedByOther",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.MarkForDeleteAs(kBob, kFile);
                   },
                   kMarkedForDeleteByOther},
        StatusCase{"NotAtHead",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.SubmitAs(kBob, kFile, "v2");
                   },
                   kNotAtHead},
        StatusCase{"InDepotNeverSynced", [](RevisionServer& s, ServerFixture&) { s.AddDepotFile(kFile, 3); },
                   kNotAtHead},
        StatusCase{"OnlyOnDisk",
                   [](RevisionServer&, ServerFixture& f) { static_cast<StatusWordTest&>(f).WriteNew(kFile); },
                   kNotInDepot},
        StatusCase{"Unknown", [](RevisionServer&, ServerFixture&) {}, kNotInDepot},
        StatusCase{"LockedByMe",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       ASSERT_TRUE(s.Edit({kFile}, "").Succeeded());
                       ASSERT_TRUE(s.Lock({kFile}).Succeeded());
                   },
                   kCheckedOut | kLockedByMe},
        StatusCase{"LockedByOther",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.OpenForEditAs(kBob, kFile);
                       s.LockAs(kBob, kFile);
                   },
                   kCheckedOutByOther | kLockedByOther},
        StatusCase{"IOErrorMarked",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.SetIOError(kFile, true);
                   },
                   kIOError},
        StatusCase{"FolderInTheWay",
                   [](RevisionServer& s, ServerFixture&) {
                       s.AddDepotFile(kFile, 1);
                       QDir().mkpath(s.LocalPath(kWorkspace, kFile));
                   },
                   kNotAtHead | kIOError},
        StatusCase{"EditedByOtherAndNotAtHead",
                   [](RevisionServer& s, ServerFixture& f) {
                       static_cast<StatusWordTest&>(f).Make(kFile);
                       s.SetHeadRevision(kFile, 3);
                       s.OpenForEditAs(kBob, kFile);
                   },
                   kCheckedOutByOther | kNotAtHead}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

using ServerFileTest = ServerFixture;

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

TEST_F(ServerFileTest, EditMakesWritableAndRevertRestoresContentReadOnly)
{
    CheckIn("a.qor", "original");
    ASSERT_TRUE(IsReadOnly(Local("a.qor")));
    ASSERT_TRUE(server->Edit({Abs("a.qor")}, "").Succeeded());
    EXPECT_FALSE(IsReadOnly(Local("a.qor")));
    Write(Local("a.qor"), "changed");
    ASSERT_TRUE(server->Revert({"a.qor"}).Succeeded());
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Read(Local("a.qor")), "original");
    EXPECT_EQ(Word("a.qor"), 0u);
}

TEST_F(ServerFileTest, MakeWritableOnlyTouchesTheDisk)
{
    CheckIn("a.qor");
    ASSERT_TRUE(server->MakeWritable({"a.qor"}).Succeeded());
    EXPECT_FALSE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);
    const ServerResult missing = server->MakeWritable({"gone.qor"});
    EXPECT_EQ(missing.code, ServerCode::kFileStateRejected);
    EXPECT_NE(missing.text.find("//depot/gone.qor - no such file"), std::string::npos);
}

TEST_F(ServerFileTest, EditIsAllOrNothing)
{
    CheckIn("a.qor");
    CheckIn("b.qor");
    server->OpenForEditAs(kBob, "b.qor");
    server->LockAs(kBob, "b.qor");
    const ServerResult result = server->Edit({"a.qor", "b.qor"}, "");
    EXPECT_EQ(result.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(result.text, "//depot/b.qor - locked by bob@bob-ws\n");
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);
}

TEST_F(ServerFileTest, EditRefusalsNameTheReason)
{
    CheckIn("old.qor");
    server->SetHeadRevision("old.qor", 3);
    CheckIn("taken.qor");
    server->OpenForEditAs(kBob, "taken.qor");
    CheckIn("gone.qor");
    ASSERT_TRUE(server->Delete({"gone.qor"}, "").Succeeded());
    server->AddDepotFile("remote.qor");
    const ServerResult result = server->Edit({"old.qor", "taken.qor", "gone.qor", "new.qor", "remote.qor", "/x/y"}, "");
    EXPECT_EQ(result.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(result.text, "/x/y - file(s) not in client view.\n"
                           "//depot/old.qor - can't edit, must sync to head revision #3 first\n"
                           "//depot/taken.qor - can't edit exclusive file already opened\n"
                           "//depot/gone.qor - can't edit (already opened for delete)\n"
                           "//depot/new.qor - no such file(s).\n"
                           "//depot/remote.qor - file(s) not on client.\n");
}

TEST_F(ServerFileTest, SharedFilesCanBeEditedTogether)
{
    CheckIn("text.txt");
    server->SetExclusive("text.txt", false);
    server->OpenForEditAs(kBob, "text.txt");
    ASSERT_TRUE(server->Edit({"text.txt"}, "").Succeeded());
    EXPECT_EQ(Word("text.txt"), kCheckedOut | kCheckedOutByOther);
}

TEST_F(ServerFileTest, IOErrorRefusesEditWithIOCode)
{
    CheckIn("a.qor");
    server->SetIOError("a.qor", true);
    const ServerResult result = server->Edit({"a.qor"}, "");
    EXPECT_EQ(result.code, ServerCode::kIOError);
    EXPECT_NE(result.text.find("//depot/a.qor - I/O error"), std::string::npos);
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
}

TEST_F(ServerFileTest, AddAndRevertLeaveTheFileOnDisk)
{
    Write(Local("new.qor"), "fresh");
    ASSERT_TRUE(server->Add({"new.qor"}, "").Succeeded());
    EXPECT_EQ(Word("new.qor"), kMarkedForAdd);
    ASSERT_TRUE(server->Revert({"new.qor"}).Succeeded());
    EXPECT_EQ(Word("new.qor"), kNotInDepot);
    EXPECT_EQ(Read(Local("new.qor")), "fresh");
}

TEST_F(ServerFileTest, AddRefusesDepotFilesAndMissingFiles)
{
    CheckIn("a.qor");
    const ServerResult result = server->Add({"a.qor", "missing.qor"}, "");
    EXPECT_EQ(result.code, ServerCode::kFileStateRejected);
    EXPECT_NE(result.text.find("//depot/a.qor - can't add existing file\n"), std::string::npos);
    EXPECT_NE(result.text.find("//depot/missing.qor - can't add, "), std::string::npos);
}

TEST_F(ServerFileTest, DeleteRemovesFromDiskAndRevertRestores)
{
    CheckIn("a.qor", "keep me");
    ASSERT_TRUE(server->Delete({"a.qor"}, "").Succeeded());
    EXPECT_FALSE(QFileInfo::exists(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), kMarkedForDelete);
    ASSERT_TRUE(server->Revert({"a.qor"}).Succeeded());
    EXPECT_EQ(Read(Local("a.qor")), "keep me");
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);
}

TEST_F(ServerFileTest, DeleteAcceptsFilesAlreadyGoneButNotOpenedOnes)
{
    CheckIn("gone.qor");
    CheckIn("edited.qor");
    QFile::remove(Local("gone.qor"));
    ASSERT_TRUE(server->Edit({"edited.qor"}, "").Succeeded());
    const ServerResult refused = server->Delete({"gone.qor", "edited.qor"}, "");
    EXPECT_EQ(refused.text, "//depot/edited.qor - can't delete (already opened for edit)\n");
    EXPECT_EQ(Word("gone.qor"), 0u);
    ASSERT_TRUE(server->Delete({"gone.qor"}, "").Succeeded());
    EXPECT_EQ(Word("gone.qor"), kMarkedForDelete);
}

TEST_F(ServerFileTest, RevertIsAllOrNothing)
{
    CheckIn("a.qor");
    CheckIn("b.qor");
    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    const ServerResult result = server->Revert({"a.qor", "b.qor"});
    EXPECT_EQ(result.code, ServerCode::kFileStateRejected);
    EXPECT_EQ(result.text, "//depot/b.qor - file(s) not opened on this client.\n");
    EXPECT_EQ(Word("a.qor"), kCheckedOut);
}

TEST_F(ServerFileTest, SyncBringsHeadContentAndClearsNotAtHead)
{
    CheckIn("a.qor", "v1");
    server->SubmitAs(kBob, "a.qor", "v2 by bob");
    ASSERT_EQ(Word("a.qor"), kNotAtHead);
    ASSERT_TRUE(server->Sync({"a.qor"}).Succeeded());
    EXPECT_EQ(Read(Local("a.qor")), "v2 by bob");
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(server->HaveRevision(kWorkspace, "a.qor"), 2);
    EXPECT_EQ(Word("a.qor"), 0u);
}

TEST_F(ServerFileTest, SubmitChecksInAndRefusesStaleFiles)
{
    CheckIn("a.qor");
    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    Write(Local("a.qor"), "mine");
    const ChangeListResult submitted = server->Submit("");
    ASSERT_TRUE(submitted.Succeeded()) << submitted.text;
    EXPECT_EQ(server->HeadRevision("a.qor"), 2);
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    EXPECT_EQ(Word("a.qor"), 0u);

    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    server->SetHeadRevision("a.qor", 3);
    const ChangeListResult stale = server->Submit("");
    EXPECT_EQ(stale.text, "//depot/a.qor - must sync/resolve #3 before submitting\n");
    EXPECT_EQ(server->Submit("").code, ServerCode::kFileStateRejected);
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
    const UsersResult withoutLocks = server->Users({"b.qor"}, false);
    EXPECT_TRUE(withoutLocks.users.empty());
}

TEST_F(ServerFileTest, ChangeListsAreNumberedDescribedAndOwned)
{
    const std::string first = server->CreateChangeList("first").changeList;
    const std::string bobs = server->CreateChangeListAs(kBob, "bob's").changeList;
    const std::string second = server->CreateChangeList("").changeList;
    EXPECT_EQ(first, "1");
    EXPECT_EQ(bobs, "2");
    EXPECT_EQ(second, "3");
    EXPECT_EQ(server->PendingChangeLists().changeLists, (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(server->ChangeListDescription(first).description, "first");
    EXPECT_EQ(server->ChangeListDescription("").description, "");
    EXPECT_EQ(server->ChangeListDescription("99").code, ServerCode::kInvalidChangeList);
    EXPECT_TRUE(server->IsChangeListValid(""));
    EXPECT_TRUE(server->IsChangeListValid(first));
    EXPECT_FALSE(server->IsChangeListValid(bobs));
    EXPECT_FALSE(server->IsChangeListValid("99"));
    EXPECT_FALSE(server->IsChangeListValid("abc"));

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
