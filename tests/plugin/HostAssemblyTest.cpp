// The host assembly's start as a program meets it, over the test's own svnserve; the fixture's hosts
// cover the rest.
#include "CZRRevisionControlPropertiesMgr.h"
#include "PluginEntry.h"
#include "SvnSandbox.h"

#include "revisioncontrol/RevisionBackend.h"
#include "testkit/HostAssembly.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr const char* kUser = "alice";
constexpr const char* kPassword = "alice-secret";

class HostAssemblyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sandbox.Error(), ""); }

    standin::AssemblyOptions Options(const std::string& password) const
    {
        standin::AssemblyOptions options;
        options.host.configFolder = sandbox.ConfigFolder();
        options.linkedPlugin = &pxkPluginRegister;
        options.preferenceManager = [] { return static_cast<lark::IBase*>(new CZRRevisionControlPropertiesMgr()); };
        options.account = {kUser, password, sandbox.Url(), sandbox.WorkingCopy(kUser)};
        return options;
    }
    static CZRRevisionControlPropertiesMgr* Properties(const standin::HostAssembly& host)
    {
        return dynamic_cast<CZRRevisionControlPropertiesMgr*>(host.PreferenceManager());
    }

    SvnSandbox sandbox{{{kUser, kPassword}}};
};

// A plug-in that cannot be loaded, or an account that must log in and cannot, stops the start and
// says why; an account that may wait for its password does not.
TEST_F(HostAssemblyTest, AMissingModuleOrARefusedLoginStopsTheStartOnlyWhenTheAccountMustLogIn)
{
    {
        QTemporaryDir empty;
        standin::AssemblyOptions options = Options(kPassword);
        options.linkedPlugin = nullptr;
        options.pluginModule = "zrmissingplugin";
        options.pluginDirectory = empty.path().toStdString();
        standin::HostAssembly host(std::move(options));
        const standin::HostAssembly::Started started = host.Start();
        EXPECT_FALSE(started.ok);
        EXPECT_NE(started.error.find("zrmissingplugin"), std::string::npos) << started.error;
        EXPECT_EQ(host.Helper(), nullptr);
    }
    {
        standin::HostAssembly host(Options("wrong"));
        const standin::HostAssembly::Started started = host.Start();
        EXPECT_FALSE(started.ok);
        EXPECT_EQ(started.error.rfind(std::string("cannot log in as ") + kUser + ": ", 0), 0u) << started.error;
        EXPECT_NE(started.error.find(standin::ServerText::kInvalidPassword), std::string::npos) << started.error;
    }
    standin::AssemblyOptions waiting = Options("wrong");
    waiting.account.loginRequired = false;
    waiting.faults = standin::FaultPlug::kOnDemand;
    standin::HostAssembly host(std::move(waiting));
    const standin::HostAssembly::Started started = host.Start();
    ASSERT_TRUE(started.ok) << started.error;
    EXPECT_NE(host.Helper(), nullptr);
    // The account is stored for the plug-in's preference manager, which asks for the password later.
    std::string user, server, workspace;
    ASSERT_NE(Properties(host), nullptr);
    Properties(host)->GetAccountProperties(user, server, workspace);
    EXPECT_EQ(user, kUser);
    EXPECT_EQ(server, sandbox.Url());
    EXPECT_EQ(workspace, sandbox.WorkingCopy(kUser));
    // A simulation plugs the fault decorator in; until then there is none.
    ASSERT_NE(host.Faults(), nullptr);
    EXPECT_FALSE(host.Faults()->Plugged());
}

TEST_F(HostAssemblyTest, RevisionControlSwitchedOffStaysOffUnlessTheHostSwitchesItOnAtEveryStart)
{
    QTemporaryDir folder;
    const std::string preferences = folder.filePath("preferences.ini").toStdString();
    const auto start = [&](standin::RevisionControlSwitch revisionControl, bool switchOff) {
        standin::AssemblyOptions options = Options(kPassword);
        options.host.preferencesFile = preferences;
        options.revisionControl = revisionControl;
        standin::HostAssembly host(std::move(options));
        const standin::HostAssembly::Started started = host.Start();
        EXPECT_TRUE(started.ok) << started.error;
        bool on = false;
        Properties(host)->GetUseSourceDataControl(on);
        if (switchOff) Properties(host)->SetUseSourceDataControl(false);
        return on;
    };
    EXPECT_TRUE(start(standin::RevisionControlSwitch::kOnAtFirstStart, true)) << "on at the first start";
    EXPECT_FALSE(start(standin::RevisionControlSwitch::kOnAtFirstStart, false)) << "the user's choice stays";
    EXPECT_TRUE(start(standin::RevisionControlSwitch::kOn, false)) << "switched on at every start";
}

} // namespace
