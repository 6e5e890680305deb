// What the user meets when the certificate of the project's Apache (mod_dav_svn over TLS) is not
// trusted.
#include "FlowFixture.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr const char* kSessionMessage = "Source control session expired. Password required to re-connect.";

class HttpsFlowTest : public FlowFixture {
protected:
    HttpsFlowTest() { transport = SvnSandbox::Transport::kHttps; }

    bool Reopen()
    {
        qor4::QORPtr<qor4::IDataControl> control = ControlPtr();
        return Helper().ReopenSession(control, "", kSessionMessage);
    }
    // From now on logins read a configuration that trusts no authority of the run.
    void DistrustTheServer() { Subversion().SetConfigurationFolder(untrusting.path().toStdString()); }

    QTemporaryDir untrusting;
};

TEST_F(HttpsFlowTest, ACertificateAcceptedForTheSessionIsAskedAboutOnce)
{
    DistrustTheServer();
    std::vector<standin::ServerCertificate> asked;
    FileControl().Service().SetCertificateQuestion([&asked](const standin::ServerCertificate& certificate) {
        asked.push_back(certificate);
        return true;
    });

    for (int reopening = 0; reopening < 2; ++reopening) {
        ExpireSession();
        EXPECT_TRUE(Reopen());
    }

    EXPECT_TRUE(Modal().Seen().empty());
    ASSERT_EQ(asked.size(), 1u) << "remembered for the session";
    EXPECT_EQ(asked[0].server, Sandbox().Url());
    EXPECT_EQ(asked[0].subject, "O=Stand-in Studio, CN=127.0.0.1");
    EXPECT_EQ(asked[0].fingerprint.size(), 59u) << "20 bytes in hexadecimal pairs: " << asked[0].fingerprint;
    EXPECT_TRUE(SessionWorks());
}

TEST_F(HttpsFlowTest, ACertificateRejectedIsToldOnceNeverAsAPasswordAndLocksNothing)
{
    standin::DbObject* asset = AddDirtyCheckedInAsset("hero");
    Properties().SetActionWhenEditingReadOnlyAsset(Props::kCheckOut);
    DistrustTheServer();
    int asked = 0;
    FileControl().Service().SetCertificateQuestion(
        [&asked](const standin::ServerCertificate&) { return ++asked, false; });
    ExpireSession();
    AnswerDialog(DialogButton::CheckOut);
    Modal().PressNext(QMessageBox::Ok); // the certificate, told once
    AnswerDialog(DialogButton::Cancel); // asked again about the read-only asset after the failed check-out

    const standin::SaveResult result = Library().Save();

    EXPECT_TRUE(result.vetoed);
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(Modal().Seen().size(), 3u);
    // The certificate is told once and never as a password.
    EXPECT_EQ(Modal().Seen()[1].title, QStringLiteral("Connection Error"));
    const QString text = Modal().Seen()[1].text;
    EXPECT_TRUE(text.contains(QStringLiteral("is not trusted: it is issued by an unknown authority")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Stand-in Studio Authority"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ssl-authority-files"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Invalid password"))) << text.toStdString();
    EXPECT_FALSE(QFileInfo(QString::fromStdString(asset->GetAssetFile())).permissions() & QFile::WriteOwner);
    EXPECT_EQ(WordSeenByUser(asset->GetAssetFile()), 0u) << "nothing locked";
}

} // namespace
