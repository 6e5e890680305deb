// Logging in, session expiry and depots shared between server instances.
#include "ServerFixture.h"

#include <functional>

namespace standin::test {
namespace {

using namespace qor4::FileStatus;
using ServerSessionTest = ServerFixture;

TEST_F(ServerSessionTest, LoginFailuresHaveTheirOwnTexts)
{
    for (const char* wrong : {"guess", ""}) {
        const LoginResult refused = server->Login(kCarol, wrong, kServer, kWorkspace);
        EXPECT_EQ(refused.code, ServerCode::kLoginFailed);
        EXPECT_NE(refused.text.find("Invalid password"), std::string::npos);
    }

    const LoginResult others[] = {server->Login("nobody", "", kServer, kWorkspace),
                                  server->Login(kMe, "", "elsewhere:1666", kWorkspace),
                                  server->Login(kMe, "", kServer, "no-such-ws")};
    EXPECT_EQ(others[0].text, "User nobody doesn't exist.\n");
    EXPECT_NE(others[1].text.find("elsewhere:1666"), std::string::npos);
    EXPECT_NE(others[2].text.find("Client 'no-such-ws' unknown"), std::string::npos);
    for (const LoginResult& result : others) {
        EXPECT_EQ(result.code, ServerCode::kLoginFailed);
        EXPECT_EQ(result.session, 0);
        EXPECT_EQ(result.text.find("Invalid password"), std::string::npos) << result.text;
    }
    const LoginResult right = server->Login(kCarol, kCarolPassword, kServer, kWorkspace);
    ASSERT_TRUE(right.Succeeded());
    EXPECT_EQ(server->CurrentUser(), kCarol);
}

TEST_F(ServerSessionTest, ExpiredSessionFailsEveryOperationUntilLoginAgain)
{
    CheckIn("a.qor");
    const std::string changeList = server->CreateChangeList("work").changeList;
    server->ExpireSession();
    const FileList files{"a.qor"};
    const std::vector<std::function<ServerResult()>> operations = {
        [&] { return server->Edit(files, ""); },
        [&] { return server->Add(files, ""); },
        [&] { return server->Delete(files, ""); },
        [&] { return server->Revert(files); },
        [&] { return server->MakeWritable(files); },
        [&] { return server->Sync(files); },
        [&] { return server->Lock(files); },
        [&] { return ServerResult(server->Status(files)); },
        [&] { return ServerResult(server->Users(files, true)); },
        [&] { return ServerResult(server->CreateChangeList("x")); },
        [&] { return ServerResult(server->PendingChangeLists()); },
        [&] { return ServerResult(server->ChangeListDescription(changeList)); },
        [&] { return ServerResult(server->Submit("")); },
    };
    for (const auto& operation : operations) {
        const ServerResult result = operation();
        EXPECT_EQ(result.code, qor4::kResultSessionExpired);
        EXPECT_EQ(result.text, std::string(ServerText::kSessionExpired) + "\n");
    }
    EXPECT_FALSE(server->IsChangeListValid(""));
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));

    ASSERT_TRUE(server->Login(kMe, "", kServer, kWorkspace).Succeeded());
    EXPECT_TRUE(server->IsChangeListValid(changeList));
    EXPECT_TRUE(server->Edit(files, changeList).Succeeded());

    server->UseSession(0); // never logged in
    const StatusResult status = server->Status(files);
    EXPECT_EQ(status.code, qor4::kResultSessionExpired);
    EXPECT_EQ(status.text, std::string(ServerText::kNotLoggedIn) + "\n");
}

TEST_F(ServerSessionTest, SessionsSwitchBetweenAccounts)
{
    CheckIn("a.qor");
    const std::int64_t mine = server->CurrentSession();
    server->AddWorkspace("bob-ws", m_dir.path() + "/bob", kBob);
    EXPECT_NE(server->Login(kMe, "", kServer, "bob-ws").text.find("can only be used by its owner 'bob'"),
              std::string::npos);
    const LoginResult bob = server->Login(kBob, "", kServer, "bob-ws");
    ASSERT_TRUE(bob.Succeeded());
    server->CheckInWorkspaceFile("bob-ws", "a.qor", "v2");
    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    server->UseSession(mine);
    EXPECT_EQ(server->CurrentUser(), kMe);
    EXPECT_EQ(Word("a.qor"), kCheckedOutByOther | kNotAtHead);
    server->ExpireSession();
    EXPECT_FALSE(server->IsSessionAlive(mine));
    EXPECT_TRUE(server->IsSessionAlive(bob.session));
}

TEST_F(ServerSessionTest, TwoInstancesOnOneDataBaseSeeEachOther)
{
    const QString database = m_dir.path() + "/depot.db";
    RevisionServer first(database);
    Seed(first);
    first.AddWorkspace("bob-ws", m_dir.path() + "/bob");
    first.CheckInWorkspaceFile(kWorkspace, "a.qor");
    ASSERT_TRUE(first.Login(kMe, "", kServer, kWorkspace).Succeeded());

    RevisionServer second(database);
    ASSERT_TRUE(second.Login(kBob, "", kServer, "bob-ws").Succeeded());
    EXPECT_EQ(second.Status({"a.qor"}).words.at(0), kNotAtHead);
    ASSERT_TRUE(second.Sync({"a.qor"}).Succeeded());
    EXPECT_EQ(first.HaveRevision("bob-ws", "a.qor"), 1);

    ASSERT_TRUE(first.Edit({"a.qor"}, first.CreateChangeList("mine").changeList).Succeeded());
    EXPECT_EQ(second.Status({"a.qor"}).words.at(0), kCheckedOutByOther);
    const ServerResult refused = second.Edit({"a.qor"}, "");
    EXPECT_EQ(refused.text, "//depot/a.qor - can't edit exclusive file already opened\n");
    EXPECT_EQ(second.CreateChangeList("bob's").changeList, "2");
    EXPECT_EQ(second.Users({"a.qor"}, true).users, std::vector<std::string>{kMe});

    second.ExpireSession();
    EXPECT_EQ(second.Status({"a.qor"}).code, qor4::kResultSessionExpired);
    EXPECT_TRUE(first.Status({"a.qor"}).Succeeded());
}

} // namespace
} // namespace standin::test
