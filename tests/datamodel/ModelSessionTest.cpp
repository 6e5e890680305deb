// A whole stand-in data base as the host wires it: services found through the manager's instance,
// an account shared by both services, and a save followed by the revision-control steps that the
// post-save listener takes.
#include "ModelSession.h"
#include "ModelFixture.h"

#include "RevisionServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace modeltest {
namespace {

using standin::ModelSession;
namespace fs = qor4::FileStatus;

constexpr const char* kUser = "carol";
constexpr const char* kPassword = "secret";
constexpr const char* kWorkspace = "carol-ws";
const qor4::DataControlContext kContext{1, 2, -1};

class ModelSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        server = std::make_shared<standin::RevisionServer>(":memory:");
        server->AddUser(kUser, kPassword);
        server->AddWorkspace(kWorkspace, m_dir.path(), kUser);
    }

    std::string Ws(const std::string& relative) const
    {
        return m_dir.filePath(QString::fromStdString(relative)).toStdString();
    }

    QTemporaryDir m_dir;
    std::shared_ptr<standin::RevisionServer> server;
};

TEST_F(ModelSessionTest, ServicesAreFoundThroughTheManagersInstance)
{
    ModelSession session(server);
    const auto instance = session.ManagerInterface()->GetManagerInstance();
    const qor4::QORPtr<qor4::IDataControl> control(instance->GetComponent(qor4::UID_DataControl()));
    const qor4::QORPtr<qor4::IFileVersionControl> files(instance->GetComponent(qor4::UID_FileVersionControl()));
    EXPECT_EQ(control.Get(), static_cast<qor4::IDataControl*>(session.Control()));
    EXPECT_EQ(files.Get(), static_cast<qor4::IFileVersionControl*>(session.FileControl()));
}

TEST_F(ModelSessionTest, EitherServiceMayBeLeftOut)
{
    ModelSession session(server, {false, true});
    const auto instance = session.Manager()->GetManagerInstance();
    EXPECT_TRUE(instance->GetComponent(qor4::UID_DataControl()).IsNull());
    EXPECT_EQ(session.Control(), nullptr);
    EXPECT_TRUE(session.Login(kUser, kPassword, kWorkspace).Succeeded());

    ModelSession withoutFiles(server, {true, false});
    EXPECT_TRUE(withoutFiles.Manager()->GetManagerInstance()->GetComponent(qor4::UID_FileVersionControl()).IsNull());
    const auto outcome = withoutFiles.Login(kUser, kPassword, kWorkspace);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_FALSE(outcome.message.empty());
}

TEST_F(ModelSessionTest, LoginSharesTheAccountWithTheDataControl)
{
    ModelSession session(server);
    const auto refused = session.Login(kUser, "wrong", kWorkspace);
    EXPECT_FALSE(refused.Succeeded());
    EXPECT_NE(refused.message.find("Invalid password"), std::string::npos) << refused.message;
    EXPECT_EQ(session.Control()->GetCurrentUserParameters(), nullptr);

    const auto accepted = session.Login(kUser, kPassword, kWorkspace);
    ASSERT_TRUE(accepted.Succeeded()) << accepted.message;
    EXPECT_EQ(session.Control()->GetCurrentUserParameters(), accepted.account);
}

TEST_F(ModelSessionTest, ANewAssetIsSavedRecordedAndCanBeMarkedForAdd)
{
    ModelSession session(server);
    ASSERT_TRUE(session.Login(kUser, kPassword, kWorkspace).Succeeded());
    auto* rock = session.Manager()->CreateAsset({"rock", Ws("rock.qor"), {Ws("rock.png")}, false});
    session.Manager()->AddObject(rock, "rockMeta", standin::ObjectKind::Metadata);
    session.Manager()->AddPlainDataSource();

    qor4::List<qor4::QORHandle<qor4::IDbObject>> newObjects;
    RecordingListener listener;
    listener.onPostSave = [&] {
        auto sources = session.Manager()->GetDataSources();
        for (sources.First(); !sources.AtEnd(); sources.Next()) {
            const qor4::QORPtr<qor4::IMultiFileDataSource> multiFile(sources.Current());
            if (multiFile.IsNull()) continue;
            qor4::List<qor4::QORHandle<qor4::IDbObject>> saved;
            std::list<std::string> files;
            multiFile->GetSavedObjects(saved, files);
            multiFile->ClearSaveRecord();
            for (const auto& object : saved)
                if (object.GetAncestorId().IsNull()) newObjects.push_back(object);
        }
    };
    session.Library().AddNotification(&listener, 40, 1);
    ASSERT_TRUE(session.Library().Save().Succeeded());
    session.Library().RemoveNotification(&listener, 40, 1);
    ASSERT_EQ(newObjects.size(), 2u) << "the post-save listener sees the new objects without ancestor";

    auto* control = session.Control();
    std::set<qor4::DbObjectHandle> assets;
    control->CollectAssets(kContext, newObjects, 0, assets);
    ASSERT_EQ(assets.size(), 1u);
    std::string error;
    ASSERT_TRUE(control->MarkForAdd({*assets.begin()}, true, kContext, "", error).Succeeded()) << error;

    std::vector<qor4::StatusWord> status;
    std::vector<std::string> changeLists;
    std::string message;
    ASSERT_TRUE(session.FileControl()
                    ->GetFilesStatus(control->GetCurrentUserParameters(), {Ws("rock.qor"), Ws("rock.png")}, status,
                                     changeLists, message, 0)
                    .Succeeded())
        << message;
    ASSERT_EQ(status.size(), 2u);
    EXPECT_NE(status[0] & fs::kMarkedForAdd, 0u);
    EXPECT_NE(status[1] & fs::kMarkedForAdd, 0u);
    EXPECT_FALSE(newObjects.front().GetAncestorId().IsNull()) << "versions are committed after the listeners";
}

} // namespace
} // namespace modeltest
