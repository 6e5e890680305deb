// The file-version-control service: accounts, reference counting and the mapping onto the server.
#include "FileVersionControl.h"
#include "ServerFixture.h"

namespace standin::test {
namespace {

using namespace qor4::FileStatus;

class FileVersionControlTest : public ServerFixture {
protected:
    void SetUp() override
    {
        ServerFixture::SetUp();
        service = FileVersionControl::Create(std::shared_ptr<RevisionServer>(server.get(), [](RevisionServer*) {}));
        account = Login(kMe);
        ASSERT_NE(account, nullptr);
    }

    const qor4::IUserParameters* Login(const std::string& user, const std::string& password = "")
    {
        return service->CreateUserParameters(user, password, kServer, kWorkspace, message);
    }

    struct Status {
        std::int32_t code;
        std::vector<qor4::StatusWord> words;
        std::vector<std::string> changeLists;
    };
    Status StatusOf(const qor4::IUserParameters* who, const std::list<std::string>& files)
    {
        Status result{0, {7}, {"left over"}};
        result.code = service->GetFilesStatus(who, files, result.words, result.changeLists, message, 0).GetCode();
        return result;
    }

    qor4::QORPtr<FileVersionControl> service;
    const qor4::IUserParameters* account = nullptr;
    std::string message;
};

TEST_F(FileVersionControlTest, ReferencesAreCounted)
{
    EXPECT_EQ(service->ReferenceCount(), 1);
    {
        qor4::QORPtr<qor4::IQORUnknown> unknown(static_cast<qor4::IFileVersionControl*>(service.Get()));
        qor4::QORPtr<qor4::IFileVersionControl> narrowed(unknown);
        ASSERT_TRUE(narrowed);
        EXPECT_EQ(service->ReferenceCount(), 3);
        void* none = &none;
        EXPECT_FALSE(service->QueryInterface({"qor4.IDataControl"}, &none));
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(service->ReferenceCount(), 1);
}

TEST_F(FileVersionControlTest, AccountsComeFromLoginAndOthersAreRefused)
{
    EXPECT_EQ(Login(kCarol, "wrong"), nullptr);
    EXPECT_NE(message.find("Invalid password"), std::string::npos);
    const auto* carol = Login(kCarol, kCarolPassword);
    ASSERT_NE(carol, nullptr);
    EXPECT_TRUE(message.empty());
    const UserParameters* known = service->FindAccount(carol);
    ASSERT_NE(known, nullptr);
    EXPECT_EQ(known->User(), kCarol);
    EXPECT_EQ(known->Workspace(), kWorkspace);
    EXPECT_TRUE(server->IsSessionAlive(known->Session()));

    // Parameters the service did not hand out, even with a live session, are no account.
    const UserParameters stranger(kMe, "", kServer, kWorkspace, server->CurrentSession());
    for (const qor4::IUserParameters* wrong :
         {static_cast<const qor4::IUserParameters*>(nullptr), static_cast<const qor4::IUserParameters*>(&stranger)}) {
        const Status status = StatusOf(wrong, {"a.qor"});
        EXPECT_EQ(status.code, FileVersionControl::kResultUnknownAccount);
        EXPECT_EQ(message, std::string(FileVersionControl::kUnknownAccountText) + "\n");
        EXPECT_TRUE(status.words.empty());
        std::string errorText;
        EXPECT_TRUE(service->RevertFiles(wrong, {"a.qor"}, errorText).Failed());
        EXPECT_FALSE(errorText.empty());
    }
}

TEST_F(FileVersionControlTest, OperationsMapOntoTheServerForTheAccount)
{
    for (const char* path : {"a.qor", "b.qor", "c.qor"})
        CheckIn(path);
    server->OpenForEditAs(kBob, "c.qor");
    server->LockAs(kBob, "c.qor");
    const std::string changeList = server->CreateChangeList("cleanup").changeList;
    ASSERT_TRUE(server->Edit({"a.qor"}, changeList).Succeeded());

    const Status status = StatusOf(account, {Abs("a.qor"), Abs("b.qor"), Abs("c.qor")});
    ASSERT_EQ(status.code, qor4::kResultOk) << message;
    EXPECT_EQ(status.words, (std::vector<qor4::StatusWord>{kCheckedOut, 0, kCheckedOutByOther | kLockedByOther}));
    EXPECT_EQ(status.changeLists, (std::vector<std::string>{changeList, "", ""}));

    std::list<std::string> users;
    ASSERT_TRUE(service->GetUsers(account, {Abs("c.qor")}, users, message, true).Succeeded());
    EXPECT_EQ(users, (std::list<std::string>{kBob}));

    std::string errorText;
    ASSERT_TRUE(service->RevertFiles(account, {Abs("a.qor")}, errorText).Succeeded());
    EXPECT_TRUE(IsReadOnly(Local("a.qor")));
    ASSERT_TRUE(service->MarkForDelete(account, {Abs("b.qor")}, changeList, errorText).Succeeded());
    EXPECT_EQ(Word("b.qor"), kMarkedForDelete);
    EXPECT_EQ(service->MarkForDelete(account, {Abs("c.qor")}, "", errorText).GetCode(), ServerCode::kFileStateRejected);
    EXPECT_EQ(errorText, "//depot/c.qor - locked by bob@bob-ws\n");

    ASSERT_GE(service->Calls().size(), 4u);
    EXPECT_EQ(service->Calls().back().operation, FileVersionControl::kMarkForDelete);
    EXPECT_EQ(service->Calls().back().arguments, (std::vector<std::string>{kMe, Abs("c.qor"), ""}));
}

TEST_F(FileVersionControlTest, EachAccountActsInItsOwnSessionUntilItExpires)
{
    CheckIn("a.qor");
    const auto* bob = Login(kBob);
    ASSERT_NE(bob, nullptr);
    server->UseSession(service->FindAccount(bob)->Session());
    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());
    EXPECT_EQ(StatusOf(account, {"a.qor"}).words, (std::vector<qor4::StatusWord>{kCheckedOutByOther}));
    EXPECT_EQ(StatusOf(bob, {"a.qor"}).words, (std::vector<qor4::StatusWord>{kCheckedOut}));

    server->UseSession(service->FindAccount(account)->Session());
    server->ExpireSession();
    EXPECT_EQ(StatusOf(account, {"a.qor"}).code, qor4::kResultSessionExpired);
    EXPECT_EQ(message, std::string(ServerText::kSessionExpired) + "\n");
    EXPECT_EQ(StatusOf(bob, {"a.qor"}).code, qor4::kResultOk);
    const auto* renewed = Login(kMe);
    ASSERT_NE(renewed, nullptr);
    EXPECT_EQ(StatusOf(renewed, {"a.qor"}).words, (std::vector<qor4::StatusWord>{kCheckedOutByOther}));
}

TEST_F(FileVersionControlTest, InstalledDelegateDrivesSlowOperations)
{
    TestDelegate delegate;
    service->SetTimeOutDelegate(&delegate);
    EXPECT_EQ(server->TimeOutDelegate(), &delegate);
    server->SetSlow(ServerOp::kStatus, 10);
    EXPECT_EQ(StatusOf(account, {"a.qor"}).code, qor4::kResultOk);
    EXPECT_EQ(delegate.waits, 1);
    service->SetTimeOutDelegate(nullptr);
    EXPECT_EQ(server->TimeOutDelegate(), nullptr);
}

} // namespace
} // namespace standin::test
