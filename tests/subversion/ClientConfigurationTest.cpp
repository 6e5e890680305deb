// The user's Subversion configuration against the project's HTTPS server: read for trust and
// proxies, never written; and untrusted certificates told as what they are.
#include "BackendFixture.h"
#include "RecordingProxy.h"
#include "testkit/HttpsServer.h"

#include <QTemporaryDir>

namespace {

using Certificate = standin::HttpsServer::Certificate;

// Every file below folder with its content: what a client might have written there.
std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? Read(entry.path()) : std::string("<folder>");
    return files;
}

class ClientConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sandbox.Error(), "");
        ASSERT_EQ(sandbox.Commit(kAlice, {{kHero, "hero 1"}}), "");
        ASSERT_TRUE(folder.isValid());
    }

    standin::HttpsServer& Server() const { return static_cast<standin::HttpsServer&>(sandbox.Server()); }
    std::string Folder() const { return folder.path().toStdString(); }
    void WriteServers(const std::string& text) { Write(Folder() + "/servers", text); }
    std::string TrustTheAuthority() const { return "ssl-authority-files = " + Server().AuthorityFile() + "\n"; }
    standin::LoginResult Login(standin::SvnBackend& backend, std::vector<std::string> accepted = {})
    {
        backend.SetConfigurationFolder(Folder());
        return backend.OpenSession(
            {kAlice, sandbox.Password(kAlice), sandbox.Url(), sandbox.WorkingCopy(kAlice), std::move(accepted)});
    }

    SvnSandbox sandbox{{{kAlice, "alice-secret"}}, SvnSandbox::Transport::kHttps};
    QTemporaryDir folder;
};

TEST_F(ClientConfigurationTest, AnAuthorityFileOrAnAcceptanceForTheSessionTrustsTheServerAndNothingIsWritten)
{
    WriteServers("[global]\nhttp-timeout = 30\n");
    const auto before = Snapshot(Folder());
    standin::SvnBackend backend;

    const standin::LoginResult untrusted = Login(backend);
    EXPECT_EQ(untrusted.code, ServerCode::kLoginFailed);
    EXPECT_FALSE(Has(untrusted.text, standin::ServerText::kInvalidPassword));
    EXPECT_TRUE(Has(untrusted.text, "not trusted: it is issued by an unknown authority"));
    EXPECT_TRUE(Has(untrusted.text, "ssl-authority-files"));
    EXPECT_EQ(untrusted.certificate.subject, "O=Stand-in Studio, CN=127.0.0.1");
    EXPECT_EQ(untrusted.certificate.issuer, "O=Stand-in Studio, CN=Stand-in Studio Authority");
    EXPECT_TRUE(Has(untrusted.text, untrusted.certificate.fingerprint));

    const standin::LoginResult accepted = Login(backend, {untrusted.certificate.fingerprint});
    ASSERT_NE(accepted.session, 0) << accepted.text;
    EXPECT_TRUE(backend.Edit(accepted.session, {sandbox.PathOf(kAlice, kHero)}, "").Succeeded());
    EXPECT_TRUE(backend.Revert(accepted.session, {sandbox.PathOf(kAlice, kHero)}).Succeeded());
    EXPECT_EQ(Snapshot(Folder()), before) << "nothing of the acceptance is stored";

    WriteServers("[global]\n" + TrustTheAuthority() + "store-passwords = yes\nstore-plaintext-passwords = yes\n");
    const auto trusting = Snapshot(Folder());
    const standin::LoginResult trusted = Login(backend);
    ASSERT_NE(trusted.session, 0) << trusted.text;
    EXPECT_TRUE(backend.Edit(trusted.session, {sandbox.PathOf(kAlice, kHero)}, "").Succeeded());
    EXPECT_TRUE(backend.Submit(trusted.session, "").Succeeded());
    EXPECT_EQ(Snapshot(Folder()), trusting) << "no password or other credential is stored, whatever the file says";
}

TEST_F(ClientConfigurationTest, AProxyOfTheConfigurationCarriesTheTraffic)
{
    RecordingProxy proxy;
    ASSERT_NE(proxy.Port(), 0);
    WriteServers("[global]\n" + TrustTheAuthority() +
                 "http-proxy-host = 127.0.0.1\nhttp-proxy-port = " + std::to_string(proxy.Port()) + "\n");
    standin::SvnBackend backend;

    const standin::LoginResult login = Login(backend);
    ASSERT_NE(login.session, 0) << login.text;
    EXPECT_TRUE(backend.Edit(login.session, {sandbox.PathOf(kAlice, kHero)}, "").Succeeded());

    const std::vector<std::string> requests = proxy.Requests();
    ASSERT_FALSE(requests.empty()) << "the proxy saw nothing";
    for (const std::string& request : requests)
        EXPECT_EQ(request, "CONNECT 127.0.0.1:" + std::to_string(Server().Port()) + " HTTP/1.1");
}

TEST_F(ClientConfigurationTest, AConfigurationThatCannotBeReadRefusesTheLoginWithoutBlamingThePassword)
{
    WriteServers("http-timeout = 30\n"); // an option outside any section
    standin::SvnBackend backend;

    const standin::LoginResult refused = Login(backend);

    EXPECT_EQ(refused.code, ServerCode::kLoginFailed);
    EXPECT_EQ(refused.session, 0);
    EXPECT_FALSE(refused.accountChecked);
    EXPECT_TRUE(Has(refused.text, Folder() + "/servers"));
}

struct BadCertificate {
    const char* name;
    Certificate kind;
    const char* problem;
};

class BadCertificateTest : public ClientConfigurationTest, public ::testing::WithParamInterface<BadCertificate> {};

TEST_P(BadCertificateTest, ATrustedAuthorityDoesNotCoverAFailedCheckWhichIsNamed)
{
    std::string error;
    ASSERT_TRUE(Server().ReplaceCertificate(GetParam().kind, error)) << error;
    WriteServers("[global]\n" + TrustTheAuthority());
    standin::SvnBackend backend;

    const standin::LoginResult refused = Login(backend);

    EXPECT_EQ(refused.code, ServerCode::kLoginFailed);
    EXPECT_TRUE(Has(refused.text, std::string("is not trusted: ") + GetParam().problem));
    EXPECT_FALSE(Has(refused.text, "unknown authority"));
    EXPECT_FALSE(Has(refused.text, standin::ServerText::kInvalidPassword));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, BadCertificateTest,
    ::testing::Values(BadCertificate{"OtherHostName", Certificate::kOtherHostName,
                                     "it was issued for elsewhere.invalid, not for 127.0.0.1"},
                      BadCertificate{"Expired", Certificate::kExpired, "it has expired"},
                      BadCertificate{"NotYetValid", Certificate::kNotYetValid, "it is not yet valid"}),
    [](const ::testing::TestParamInfo<BadCertificate>& info) { return std::string(info.param.name); });

} // namespace
