// A whole stand-in data base as the host wires it: services found through the manager's instance,
// an account shared by both services, and a saved new asset that the data control can mark for add.
#include "ModelSession.h"
#include "ModelFixture.h"

#include "SvnBackend.h"
#include "SvnSandbox.h"

#include <gtest/gtest.h>

namespace modeltest {
namespace {

using standin::ModelSession;
namespace fs = qor4::FileStatus;

constexpr const char* kUser = "carol";
constexpr const char* kPassword = "secret";

class ModelSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        server = std::make_shared<standin::SvnBackend>();
    }

    std::string Ws(const std::string& relative) const { return sandbox.PathOf(kUser, relative); }
    standin::ModelSession::LoginOutcome Login(ModelSession& session, const std::string& password)
    {
        return session.Login(kUser, password, sandbox.Url(), sandbox.WorkingCopy(kUser));
    }

    SvnSandbox sandbox{{{kUser, kPassword}}};
    std::shared_ptr<standin::SvnBackend> server;
};

TEST_F(ModelSessionTest, ServicesAreFoundThroughTheManagersInstanceAndEitherMayBeLeftOut)
{
    ModelSession session(server);
    const auto instance = session.ManagerInterface()->GetManagerInstance();
    EXPECT_EQ(qor4::QORPtr<qor4::IDataControl>(instance->GetComponent(qor4::UID_DataControl())).Get(),
              static_cast<qor4::IDataControl*>(session.Control()));
    EXPECT_EQ(qor4::QORPtr<qor4::IFileVersionControl>(instance->GetComponent(qor4::UID_FileVersionControl())).Get(),
              static_cast<qor4::IFileVersionControl*>(session.FileControl()));

    ModelSession withoutControl(server, {false, true});
    EXPECT_TRUE(withoutControl.Manager()->GetManagerInstance()->GetComponent(qor4::UID_DataControl()).IsNull());
    EXPECT_EQ(withoutControl.Control(), nullptr);
    EXPECT_TRUE(Login(withoutControl, kPassword).Succeeded());

    ModelSession withoutFiles(server, {true, false});
    EXPECT_TRUE(withoutFiles.Manager()->GetManagerInstance()->GetComponent(qor4::UID_FileVersionControl()).IsNull());
    const auto outcome = Login(withoutFiles, kPassword);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_FALSE(outcome.message.empty());
}

TEST_F(ModelSessionTest, LoginSharesTheAccountWithTheDataControl)
{
    ModelSession session(server);
    const auto refused = Login(session, "wrong");
    EXPECT_FALSE(refused.Succeeded());
    EXPECT_NE(refused.message.find("Invalid password"), std::string::npos) << refused.message;
    EXPECT_EQ(session.Control()->GetCurrentUserParameters(), nullptr);

    const auto accepted = Login(session, kPassword);
    ASSERT_TRUE(accepted.Succeeded()) << accepted.message;
    EXPECT_EQ(session.Control()->GetCurrentUserParameters(), accepted.account);
}

TEST_F(ModelSessionTest, ASavedNewAssetCanBeMarkedForAddThroughTheSessionsServices)
{
    ModelSession session(server);
    const auto login = Login(session, kPassword);
    ASSERT_TRUE(login.Succeeded()) << login.message;
    auto* rock = session.Manager()->CreateAsset({"rock", Ws("rock.qor"), {Ws("rock.png")}, false});
    ASSERT_TRUE(session.Library().Save().Succeeded());

    const qor4::DataControlContext context{1, 2, -1};
    std::string error;
    ASSERT_TRUE(
        session.Control()->MarkForAdd({standin::DataModelMgr::MakeHandle(rock)}, true, context, "", error).Succeeded())
        << error;
    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    ASSERT_TRUE(session.FileControl()
                    ->GetFilesStatus(login.account, {Ws("rock.qor"), Ws("rock.png")}, status, changeLists, error, 0)
                    .Succeeded())
        << error;
    ASSERT_EQ(status.size(), 2u);
    EXPECT_NE(status[0] & status[1] & fs::kMarkedForAdd, 0u);
}

} // namespace
} // namespace modeltest
