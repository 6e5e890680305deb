// The object-based data control against a Subversion working copy served by a svnserve of its own.
#include "ModelFixture.h"

#include "DataControl.h"
#include "FaultyBackend.h"
#include "FileVersionControl.h"
#include "ModelAssetFiles.h"
#include "SvnBackend.h"
#include "SvnSandbox.h"
#include "UserParameters.h"

#include "qor4/IDataControl.h"

#include <QDir>

namespace modeltest {
namespace {

using standin::DataControl;
using standin::ObjectKind;
namespace fs = qor4::FileStatus;

constexpr const char* kUser = "alice";
constexpr const char* kOther = "bob";
const qor4::DataControlContext kContext{1, 2, -1};

class DataControlTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        ASSERT_EQ(sandbox.Error(), "");
        m_root = sandbox.WorkingCopy(kUser);
        ASSERT_EQ(sandbox.Commit(
                      kUser, {{"chars/hero.qor", "hero"}, {"chars/hero.png", "texture"}, {"props/tree.qor", "tree"}}),
                  "");
        svnBackend = std::make_shared<standin::SvnBackend>();
        server = std::make_shared<standin::FaultyBackend>(svnBackend);

        hero = manager->CreateAsset({"hero", Ws("chars/hero.qor"), {Ws("chars/hero.png")}, true});
        heroMeta = manager->AddObject(hero, "heroMeta", ObjectKind::Metadata);
        tree = manager->CreateAsset({"tree", Ws("props/tree.qor"), {}, true});
        treeValue = manager->AddObject(tree, "treeValue", ObjectKind::ValueAsset);

        fileControl = standin::FileVersionControl::Create(server);
        std::string message;
        account = fileControl->CreateUserParameters(kUser, "", sandbox.Url(), m_root, message);
        ASSERT_NE(account, nullptr) << message;
        control = DataControl::Create(server);
        ASSERT_EQ(control->SetUserParameters(account).GetCode(), qor4::kResultOk);
        manager->GetInstance()->RegisterComponent(
            qor4::UID_DataControl(), qor4::QORPtr<qor4::IQORUnknown>(static_cast<qor4::IDataControl*>(control.Get())));
    }

    std::string Ws(const std::string& relative) const { return m_root + "/" + relative; }

    static qor4::DbObjectList Objects(std::initializer_list<standin::DbObject*> objects)
    {
        qor4::DbObjectList list;
        for (auto* object : objects)
            list.push_back(Handle(object));
        return list;
    }

    qor4::StatusWord StateOf(standin::DbObject* object, bool includeExternal)
    {
        std::list<qor4::StatusWord> states;
        std::string message;
        EXPECT_TRUE(
            control->GetAccessStates(Objects({object}), includeExternal, kContext, false, states, message).Succeeded())
            << message;
        return states.empty() ? 0 : states.front();
    }

    standin::SessionId SessionId() const { return static_cast<const standin::UserParameters*>(account)->Session(); }

    SvnSandbox sandbox{{{kUser, ""}, {kOther, "bob-secret"}}};
    std::string m_root;
    std::shared_ptr<standin::SvnBackend> svnBackend;
    std::shared_ptr<standin::FaultyBackend> server;
    qor4::QORPtr<standin::FileVersionControl> fileControl;
    const qor4::IUserParameters* account = nullptr;
    qor4::QORPtr<DataControl> control;
    standin::DbObject* hero = nullptr;
    standin::DbObject* heroMeta = nullptr;
    standin::DbObject* tree = nullptr;
    standin::DbObject* treeValue = nullptr;
};

TEST_F(DataControlTest, CheckOutOpensTheAssetsFilesAndStatesFollow)
{
    EXPECT_TRUE(control->IsReadOnly(Handle(heroMeta), false, kContext));
    EXPECT_FALSE(control->QueryObjectFlag(Handle(hero), true, kContext));
    EXPECT_EQ(StateOf(hero, true) & (fs::kCheckedOut | fs::kMarkedForAdd | fs::kMarkedForDelete), 0u);

    std::string error;
    ASSERT_EQ(control->CheckOut(Objects({heroMeta}), false, kContext, "", error).GetCode(), qor4::kResultOk) << error;

    EXPECT_FALSE(control->IsReadOnly(Handle(hero), false, kContext));
    EXPECT_TRUE(control->IsReadOnly(Handle(hero), true, kContext)) << "the texture was not checked out";
    EXPECT_TRUE(control->QueryObjectFlag(Handle(hero), false, kContext));
    EXPECT_FALSE(control->QueryObjectFlag(Handle(hero), true, kContext));
    EXPECT_NE(StateOf(hero, false) & fs::kCheckedOut, 0u);
    EXPECT_NE(StateOf(heroMeta, true) & fs::kCheckedOut, 0u) << "the OR of the asset's files";

    std::list<qor4::StatusWord> states;
    std::string message;
    ASSERT_TRUE(control->GetAccessStates(Objects({tree, heroMeta, treeValue}), true, kContext, false, states, message)
                    .Succeeded());
    ASSERT_EQ(states.size(), 3u) << "one per object, in list order";
    EXPECT_EQ(states.front() & fs::kCheckedOut, 0u);
    EXPECT_NE(*std::next(states.begin()) & fs::kCheckedOut, 0u);
    EXPECT_EQ(states.back() & fs::kCheckedOut, 0u);
}

TEST_F(DataControlTest, ARefusedCheckOutReportsTheServersTextAndChangesNothing)
{
    std::string failure;
    const standin::SessionId bob = sandbox.Open(*svnBackend, kOther, failure);
    ASSERT_TRUE(svnBackend->Edit(bob, {sandbox.PathOf(kOther, "chars/hero.qor")}, "").Succeeded()) << failure;
    std::string error = "earlier\n";
    const qor4::qorResult result = control->CheckOut(Objects({hero, tree}), true, kContext, "", error);
    EXPECT_TRUE(result.Failed());
    EXPECT_EQ(error.rfind("earlier\n", 0), 0u) << "texts are appended to";
    EXPECT_NE(error.find("hero.qor"), std::string::npos) << error;
    EXPECT_TRUE(control->IsReadOnly(Handle(tree), false, kContext));

    std::list<std::string> users;
    std::string message;
    ASSERT_TRUE(control->GetObjectUsers(Handle(heroMeta), true, kContext, users, message).Succeeded()) << message;
    EXPECT_EQ(users, std::list<std::string>{kOther});
}

TEST_F(DataControlTest, MarkForAddOpensOnlyNewFiles)
{
    auto* rock = manager->CreateAsset({"rock", Ws("props/rock.qor"), {Ws("props/rock.png")}, false});
    auto* rockMeta = manager->AddObject(rock, "rockMeta", ObjectKind::Metadata);
    bool controlled = true;
    ASSERT_TRUE(control->QueryObjectState(Handle(rock), true, kContext, controlled).Succeeded());
    EXPECT_FALSE(controlled);
    const standin::SaveResult saved = library->Save();
    ASSERT_EQ(saved.failures.size(), 2u) << "the checked-in assets with dirty objects are read-only";
    EXPECT_EQ(saved.failures[0].asset, "hero");
    ASSERT_TRUE(standin::FileExists(Ws("props/rock.png")));

    std::string error;
    ASSERT_EQ(control->MarkForAdd(Objects({rockMeta, hero}), true, kContext, "", error).GetCode(), qor4::kResultOk)
        << error;

    EXPECT_NE(StateOf(rock, true) & fs::kMarkedForAdd, 0u);
    EXPECT_EQ(StateOf(rock, true) & fs::kNotInDepot, 0u);
    EXPECT_EQ(StateOf(hero, true) & fs::kMarkedForAdd, 0u) << "files in the depot are left alone";
    ASSERT_TRUE(control->QueryObjectState(Handle(rock), true, kContext, controlled).Succeeded());
    EXPECT_TRUE(controlled);
    EXPECT_TRUE(control->QueryObjectFlag(Handle(rock), true, kContext));
}

TEST_F(DataControlTest, ChangeListsGoStraightThroughToTheServer)
{
    std::string changeList;
    std::string message;
    ASSERT_TRUE(control->CreateChangeList("Fix the hero", changeList, message).Succeeded()) << message;
    EXPECT_TRUE(control->IsChangeListValid(changeList));
    EXPECT_TRUE(control->IsChangeListValid(""));
    EXPECT_FALSE(control->IsChangeListValid("999"));

    std::list<std::string> pending;
    ASSERT_TRUE(control->GetPendingChangeLists(pending, message).Succeeded());
    EXPECT_EQ(pending, std::list<std::string>{changeList});
    std::string description;
    ASSERT_TRUE(control->GetChangeListDescription(changeList, description, message).Succeeded());
    EXPECT_EQ(description.rfind("Fix the hero", 0), 0u) << description;

    std::string error;
    ASSERT_TRUE(control->CheckOut(Objects({hero}), true, kContext, changeList, error).Succeeded()) << error;
    const standin::StatusResult status = server->Status(SessionId(), {Ws("chars/hero.qor"), Ws("chars/hero.png")},
                                                        standin::StatusScope::kWithRepository);
    EXPECT_EQ(status.changeLists, (std::vector<std::string>{changeList, changeList}));
    EXPECT_TRUE(control->CheckOut(Objects({tree}), false, kContext, "999", error).Failed());
}

TEST_F(DataControlTest, MakeWritableClearsTheReadOnlyBitWithoutOpening)
{
    std::string error;
    ASSERT_TRUE(control->MakeWritable(Handle(heroMeta), true, kContext, error).Succeeded()) << error;
    EXPECT_FALSE(control->IsReadOnly(Handle(hero), true, kContext));
    EXPECT_EQ(StateOf(hero, true) & fs::kCheckedOut, 0u);

    auto* fresh = manager->CreateAsset({"fresh", Ws("fresh.qor"), {}, false});
    EXPECT_TRUE(control->MakeWritable(Handle(fresh), true, kContext, error).Succeeded())
        << "files not on disk yet need nothing";
}

TEST_F(DataControlTest, ForeignAccountsAreRefusedAndWithoutAValidSessionOperationsAnswerSessionExpired)
{
    const qor4::IUserParameters foreign;
    EXPECT_EQ(control->SetUserParameters(&foreign).GetCode(), DataControl::kResultForeignAccount);
    EXPECT_EQ(control->GetCurrentUserParameters(), account) << "a foreign account is refused";

    std::string error;
    server->ExpireSession(SessionId());
    EXPECT_EQ(control->CheckOut(Objects({hero}), false, kContext, "", error).GetCode(), qor4::kResultSessionExpired);
    EXPECT_FALSE(control->IsChangeListValid(""));

    ASSERT_TRUE(control->SetUserParameters(nullptr).Succeeded());
    EXPECT_EQ(control->GetCurrentUserParameters(), nullptr);
    error.clear();
    EXPECT_EQ(control->MarkForAdd(Objects({hero}), false, kContext, "", error).GetCode(), qor4::kResultSessionExpired);
    EXPECT_FALSE(error.empty());
    std::list<qor4::StatusWord> states;
    EXPECT_EQ(control->GetAccessStates(Objects({hero}), false, kContext, false, states, error).GetCode(),
              qor4::kResultSessionExpired);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(control->MakeWritable(Handle(hero), false, kContext, error).GetCode(), qor4::kResultSessionExpired);
    EXPECT_TRUE(control->IsReadOnly(Handle(hero), false, kContext)) << "disk bits need no session";

    std::string message;
    const qor4::IUserParameters* fresh = fileControl->CreateUserParameters(kUser, "", sandbox.Url(), m_root, message);
    ASSERT_TRUE(control->SetUserParameters(fresh).Succeeded());
    EXPECT_EQ(control->GetCurrentUserParameters(), fresh);
    EXPECT_TRUE(control->CheckOut(Objects({hero}), false, kContext, "", error).Succeeded()) << error;
}

TEST_F(DataControlTest, FileListsFollowTheIncludeAndExistenceFlagsAndTheWorkspaceBoundsTheContext)
{
    std::set<std::string> files;
    ASSERT_TRUE(control->GetObjectFileList(Handle(heroMeta), false, kContext, false, files).Succeeded());
    EXPECT_EQ(files, std::set<std::string>{Ws("chars/hero.qor")});
    files.clear();
    ASSERT_TRUE(control->GetObjectFiles(Handle(hero), kContext, files).Succeeded());
    EXPECT_EQ(files, (std::set<std::string>{Ws("chars/hero.png"), Ws("chars/hero.qor")}));

    auto* fresh = manager->CreateAsset({"fresh", Ws("fresh.qor"), {Ws("fresh.png")}, false});
    files.clear();
    ASSERT_TRUE(control->GetObjectFileList(Handle(fresh), true, kContext, true, files).Succeeded());
    EXPECT_TRUE(files.empty());

    std::set<std::string> all;
    std::vector<std::set<std::string>> perObject;
    ASSERT_TRUE(control->GetFiles(Objects({tree, fresh}), true, kContext, false, all, perObject).Succeeded());
    EXPECT_EQ(all, (std::set<std::string>{Ws("fresh.png"), Ws("fresh.qor"), Ws("props/tree.qor")}));
    ASSERT_EQ(perObject.size(), 2u);
    EXPECT_EQ(perObject[0], std::set<std::string>{Ws("props/tree.qor")});

    EXPECT_TRUE(control->HasExternalFiles(Handle(heroMeta), kContext));
    EXPECT_FALSE(control->HasExternalFiles(Handle(treeValue), kContext));
    EXPECT_EQ(control->GetObjectName(Handle(treeValue), kContext), "treeValue");

    // In context only when all the object's files are in the workspace.
    EXPECT_TRUE(control->QueryObjectInContext(kContext, Handle(heroMeta)));
    auto* outside = manager->CreateAsset({"outside", PathOf("elsewhere/outside.qor"), {}, false});
    auto* mixed = manager->CreateAsset({"mixed", Ws("mixed.qor"), {PathOf("mixed.png")}, false});
    EXPECT_FALSE(control->QueryObjectInContext(kContext, Handle(outside)));
    EXPECT_FALSE(control->QueryObjectInContext(kContext, Handle(mixed)));
}

TEST_F(DataControlTest, DeletedObjectsAreRefusedWhereFilesAreNeeded)
{
    const auto handle = Handle(tree);
    manager->DeleteAsset(tree);
    std::set<std::string> files;
    EXPECT_EQ(control->GetObjectFileList(handle, true, kContext, false, files).GetCode(),
              DataControl::kResultInvalidObject);
    std::string error;
    EXPECT_TRUE(control->CheckOut({Handle(hero), handle}, false, kContext, "", error).Failed());
    EXPECT_TRUE(control->IsReadOnly(Handle(hero), false, kContext)) << "all or nothing";
    EXPECT_FALSE(control->IsReadOnly(handle, false, kContext));
}

TEST_F(DataControlTest, AssetsAndRelatedObjectsAreCollected)
{
    std::set<qor4::DbObjectHandle> assets;
    ASSERT_TRUE(control->CollectAssets(kContext, Objects({heroMeta, hero, treeValue}), 0, assets).Succeeded());
    EXPECT_EQ(assets, (std::set<qor4::DbObjectHandle>{Handle(hero), Handle(tree)}));

    manager->Relate(heroMeta, treeValue);
    manager->Relate(heroMeta, tree);
    std::set<qor4::DbObjectHandle> related;
    ASSERT_TRUE(control->CollectRelatedObjects(Objects({heroMeta, tree}), related).Succeeded());
    EXPECT_EQ(related, std::set<qor4::DbObjectHandle>{Handle(treeValue)});
}

TEST_F(DataControlTest, EveryCallIsRecordedAndHandlesAreReleased)
{
    control->ClearCalls();
    std::string error;
    control->CheckOut(Objects({hero}), true, kContext, "", error);
    control->HasExternalFiles(Handle(hero), kContext);
    ASSERT_EQ(control->GetCalls().size(), 2u);
    EXPECT_EQ(control->GetCallNames(), (std::vector<std::string>{"CheckOut", "HasExternalFiles"}));
    EXPECT_EQ(control->GetCalls()[0].arguments, (std::vector<std::string>{"hero", "true", ""}));
    EXPECT_EQ(manager->CountOutsideReferences(), 0);
}

} // namespace
} // namespace modeltest
