// The loader opens modules from disk and calls their registration entry by its plain name.
#include "PluginLoader.h"
#include "System.h"

#include <gtest/gtest.h>

namespace {

class PluginLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { standin::System::Reset(); }
    void TearDown() override { standin::System::Reset(); }
};

TEST_F(PluginLoaderTest, ARegisteringModuleRegistersItsFactory)
{
    const standin::PluginLoader::Result result = standin::PluginLoader::Load(ZR_REGISTERING_MODULE);
    EXPECT_TRUE(result.loaded);
    EXPECT_TRUE(result.entryFound);
    EXPECT_TRUE(result.registered);
    EXPECT_TRUE(result.error.empty()) << result.error;
    lark::IBase* built = standin::System::Instance().GetSingleton("ModuleObject");
    ASSERT_NE(built, nullptr);
    EXPECT_STREQ(built->GetClsName(), "Test.ModuleObject");
}

TEST_F(PluginLoaderTest, ARefusedRegistrationIsReported)
{
    standin::System::Instance().SetRefuseRegistration(true);
    const standin::PluginLoader::Result result = standin::PluginLoader::Load(ZR_REGISTERING_MODULE);
    EXPECT_TRUE(result.entryFound);
    EXPECT_FALSE(result.registered);
    EXPECT_NE(result.error.find("pxkPluginRegister"), std::string::npos);
}

TEST_F(PluginLoaderTest, AnUninitialisedHostIsNeverAskedForItsSystem)
{
    standin::System::Instance().SetInitialized(false);
    const standin::PluginLoader::Result result = standin::PluginLoader::Load(ZR_REGISTERING_MODULE);
    EXPECT_FALSE(result.registered);
    EXPECT_EQ(standin::System::Instance().SystemRequests(), 0);
}

TEST_F(PluginLoaderTest, AModuleWithoutTheEntryIsLoadedButNotRegistered)
{
    const standin::PluginLoader::Result result = standin::PluginLoader::Load(ZR_ENTRYLESS_MODULE);
    EXPECT_TRUE(result.loaded);
    EXPECT_FALSE(result.entryFound);
    EXPECT_FALSE(result.registered);
    EXPECT_NE(result.error.find("does not export pxkPluginRegister"), std::string::npos);
}

TEST_F(PluginLoaderTest, MissingModulesAndEmptyPathsAreReported)
{
    standin::PluginLoader::Result result = standin::PluginLoader::Load("/nonexistent/libnothing.so");
    EXPECT_FALSE(result.loaded);
    EXPECT_NE(result.error.find("/nonexistent/libnothing.so"), std::string::npos);
    result = standin::PluginLoader::Load(QString());
    EXPECT_FALSE(result.loaded);
    EXPECT_FALSE(result.error.empty());
}

TEST_F(PluginLoaderTest, ModulePathUsesTheGivenFolderOrTheModuleDirectory)
{
    EXPECT_EQ(standin::PluginLoader::ModulePath("mod", "/opt/mods"), QStringLiteral("/opt/mods/mod"));
    qputenv("ZR_MODULE_DIR", "/from/env");
    EXPECT_EQ(standin::PluginLoader::ModulePath("mod"), QStringLiteral("/from/env/mod"));
    qunsetenv("ZR_MODULE_DIR");
    EXPECT_EQ(standin::PluginLoader::ModulePath("mod"), QStringLiteral("mod"));
}

} // namespace
