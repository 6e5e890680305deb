// The user's Subversion configuration against the project's HTTPS server: read for trust and
// proxies, never written; and untrusted certificates told as what they are.
#include "RecordingProxy.h"
#include "SvnSandbox.h"
#include "subversion/SvnBackend.h"
#include "testkit/HttpsServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace ServerCode = standin::ServerCode;
using Certificate = standin::HttpsServer::Certificate;

constexpr const char* kAlice = "alice";
constexpr const char* kHero = "chars/hero.qor";

// Every file below folder with its content: what a client might have written there.
std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path());
        files[entry.path().string()] =
            entry.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<folder>");
    }
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
    void WriteServers(const std::string& text) { std::ofstream(Folder() + "/servers", std::ios::trunc) << text; }
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
    EXPECT_EQ(untrusted.text.find(standin::ServerText::kInvalidPassword), std::string::npos) << untrusted.text;
    EXPECT_NE(untrusted.text.find("not trusted: it is issued by an unknown authority"), std::string::npos)
        << untrusted.text;
    EXPECT_NE(untrusted.text.find("ssl-authority-files"), std::string::npos) << untrusted.text;
    EXPECT_EQ(untrusted.certificate.subject, "O=Stand-in Studio, CN=127.0.0.1");
    EXPECT_EQ(untrusted.certificate.issuer, "O=Stand-in Studio, CN=Stand-in Studio Authority");
    EXPECT_NE(untrusted.text.find(untrusted.certificate.fingerprint), std::string::npos) << untrusted.text;

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
    EXPECT_NE(refused.text.find(Folder() + "/servers"), std::string::npos) << refused.text;
}

struct BadCertificate {
    Certificate kind;
    const char* problem;
};

void PrintTo(const BadCertificate& certificate, std::ostream* out)
{
    *out << certificate.problem;
}

class BadCertificateTest : public ClientConfigurationTest, public ::testing::WithParamInterface<BadCertificate> {};

TEST_P(BadCertificateTest, ATrustedAuthorityDoesNotCoverAFailedCheckWhichIsNamed)
{
    std::string error;
    ASSERT_TRUE(Server().ReplaceCertificate(GetParam().kind, error)) << error;
    WriteServers("[global]\n" + TrustTheAuthority());
    standin::SvnBackend backend;

    const standin::LoginResult refused = Login(backend);

    EXPECT_EQ(refused.code, ServerCode::kLoginFailed);
    EXPECT_NE(refused.text.find(std::string("is not trusted: ") + GetParam().problem), std::string::npos)
        << refused.text;
    EXPECT_EQ(refused.text.find("unknown authority"), std::string::npos) << refused.text;
    EXPECT_EQ(refused.text.find(standin::ServerText::kInvalidPassword), std::string::npos) << refused.text;
}

INSTANTIATE_TEST_SUITE_P(Checks, BadCertificateTest,
                         ::testing::Values(BadCertificate{Certificate::kOtherHostName,
                                                          "it was issued for elsewhere.invalid, not for 127.0.0.1"},
                                           BadCertificate{Certificate::kExpired, "it has expired"},
                                           BadCertificate{Certificate::kNotYetValid, "it is not yet valid"}),
                         [](const ::testing::TestParamInfo<BadCertificate>& info) {
                             switch (info.param.kind) {
                             case Certificate::kOtherHostName:
                                 return "OtherHostName";
                             case Certificate::kExpired:
                                 return "Expired";
                             case Certificate::kNotYetValid:
                                 return "NotYetValid";
                             default:
                                 return "Valid";
                             }
                         });

} // namespace
