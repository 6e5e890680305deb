// The file-version-control service: accounts, reference counting and the mapping onto the server.
#include "FileVersionControl.h"
#include "ServerFixture.h"

#include <QEventLoop>
#include <QTimer>

namespace standin::test {
namespace {

using namespace qor4::FileStatus;

class FileVersionControlTest : public ServerFixture {
protected:
    void SetUp() override
    {
        ServerFixture::SetUp();
        shared = std::shared_ptr<RevisionServer>(server.get(), [](RevisionServer*) {});
        service = FileVersionControl::Create(shared);
        std::string message;
        account = service->CreateUserParameters(kMe, "", kServer, kWorkspace, message);
        ASSERT_NE(account, nullptr) << message;
    }

    std::shared_ptr<RevisionServer> shared;
    qor4::QORPtr<FileVersionControl> service;
    const qor4::IUserParameters* account = nullptr;
};

TEST_F(FileVersionControlTest, ReferencesAreCounted)
{
    EXPECT_EQ(service->ReferenceCount(), 1);
    {
        qor4::QORPtr<qor4::IQORUnknown> unknown(static_cast<qor4::IFileVersionControl*>(service.Get()));
        qor4::QORPtr<qor4::IFileVersionControl> narrowed(unknown);
        ASSERT_TRUE(narrowed);
        EXPECT_EQ(service->ReferenceCount(), 3);
        struct Other {
            static qor4::InterfaceUID GetIID() { return {"qor4.IDataControl"}; }
        };
        void* none = &none;
        EXPECT_FALSE(service->QueryInterface(Other::GetIID(), &none));
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(service->ReferenceCount(), 1);
}

TEST_F(FileVersionControlTest, AccountsComeFromLogin)
{
    std::string message;
    EXPECT_EQ(service->CreateUserParameters(kCarol, "wrong", kServer, kWorkspace, message), nullptr);
    EXPECT_NE(message.find("Invalid password"), std::string::npos);
    const auto* carol = service->CreateUserParameters(kCarol, kCarolPassword, kServer, kWorkspace, message);
    ASSERT_NE(carol, nullptr);
    EXPECT_TRUE(message.empty());
    const UserParameters* known = service->FindAccount(carol);
    ASSERT_NE(known, nullptr);
    EXPECT_EQ(known->User(), kCarol);
    EXPECT_EQ(known->Workspace(), kWorkspace);
    EXPECT_TRUE(server->IsSessionAlive(known->Session()));
}

TEST_F(FileVersionControlTest, UnknownOrNullAccountFailsCleanly)
{
    const UserParameters stranger(kMe, "", kServer, kWorkspace, server->CurrentSession());
    std::vector<qor4::StatusWord> status{7};
    std::vector<std::string> changeLists{"x"};
    std::string message;
    for (const qor4::IUserParameters* wrong :
         {static_cast<const qor4::IUserParameters*>(nullptr), static_cast<const qor4::IUserParameters*>(&stranger)}) {
        EXPECT_EQ(service->GetFilesStatus(wrong, {"a.qor"}, status, changeLists, message, 0).GetCode(),
                  FileVersionControl::kResultUnknownAccount);
        EXPECT_EQ(message, std::string(FileVersionControl::kUnknownAccountText) + "\n");
        EXPECT_TRUE(status.empty());
        std::string errorText;
        EXPECT_TRUE(service->RevertFiles(wrong, {"a.qor"}, errorText).Failed());
        EXPECT_FALSE(errorText.empty());
    }
}

TEST_F(FileVersionControlTest, OperationsMapOntoTheServerForTheAccount)
{
    CheckIn("a.qor");
    CheckIn("b.qor");
    CheckIn("c.qor");
    server->OpenForEditAs(kBob, "c.qor");
    server->LockAs(kBob, "c.qor");
    const std::string changeList = server->CreateChangeList("cleanup").changeList;
    ASSERT_TRUE(server->Edit({"a.qor"}, changeList).Succeeded());

    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    std::string message;
    ASSERT_TRUE(
        service->GetFilesStatus(account, {Abs("a.qor"), Abs("b.qor"), Abs("c.qor")}, status, changeLists, message, 0)
            .Succeeded());
    EXPECT_EQ(status, (std::vector<qor4::StatusWord>{kCheckedOut, 0, kCheckedOutByOther | kLockedByOther}));
    EXPECT_EQ(changeLists, (std::vector<std::string>{changeList, "", ""}));

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

TEST_F(FileVersionControlTest, EachAccountActsInItsOwnSession)
{
    CheckIn("a.qor");
    std::string message;
    const auto* bob = service->CreateUserParameters(kBob, "", kServer, kWorkspace, message);
    ASSERT_NE(bob, nullptr);
    server->UseSession(service->FindAccount(bob)->Session());
    ASSERT_TRUE(server->Edit({"a.qor"}, "").Succeeded());

    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    ASSERT_TRUE(service->GetFilesStatus(account, {"a.qor"}, status, changeLists, message, 0).Succeeded());
    EXPECT_EQ(status.at(0), kCheckedOutByOther);
    ASSERT_TRUE(service->GetFilesStatus(bob, {"a.qor"}, status, changeLists, message, 0).Succeeded());
    EXPECT_EQ(status.at(0), kCheckedOut);
}

TEST_F(FileVersionControlTest, ExpiredAccountAnswersSessionExpiredUntilANewOne)
{
    server->UseSession(service->FindAccount(account)->Session());
    server->ExpireSession();
    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    std::string message;
    EXPECT_EQ(service->GetFilesStatus(account, {"a.qor"}, status, changeLists, message, 0),
              qor4::kResultSessionExpired);
    EXPECT_EQ(message, std::string(ServerText::kSessionExpired) + "\n");
    const auto* renewed = service->CreateUserParameters(kMe, "", kServer, kWorkspace, message);
    ASSERT_NE(renewed, nullptr);
    EXPECT_TRUE(service->GetFilesStatus(renewed, {"a.qor"}, status, changeLists, message, 0).Succeeded());
    EXPECT_EQ(status, (std::vector<qor4::StatusWord>{kNotInDepot}));
}

class CountingDelegate final : public qor4::ITimeOutDelegate {
public:
    void NotifyCompletion() override { m_loop.quit(); }
    bool WaitForCompletion() override
    {
        ++waits;
        m_loop.exec();
        return false;
    }
    int waits = 0;

private:
    QEventLoop m_loop;
};

TEST_F(FileVersionControlTest, InstalledDelegateDrivesSlowOperations)
{
    CountingDelegate delegate;
    service->SetTimeOutDelegate(&delegate);
    EXPECT_EQ(server->TimeOutDelegate(), &delegate);
    server->SetSlow(ServerOp::kStatus, 10);
    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    std::string message;
    EXPECT_TRUE(service->GetFilesStatus(account, {"a.qor"}, status, changeLists, message, 0).Succeeded());
    EXPECT_EQ(delegate.waits, 1);
    service->SetTimeOutDelegate(nullptr);
    EXPECT_EQ(server->TimeOutDelegate(), nullptr);
}

} // namespace
} // namespace standin::test
