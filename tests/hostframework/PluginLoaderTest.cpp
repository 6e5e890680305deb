// The loader opens modules from disk and calls their registration entry by its plain name.
#include "PluginLoader.h"
#include "System.h"

#include <gtest/gtest.h>

namespace {

using standin::PluginLoader;

class PluginLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { standin::System::Reset(); }
    void TearDown() override { standin::System::Reset(); }
};

TEST_F(PluginLoaderTest, ARegisteringModuleRegistersItsFactory)
{
    const PluginLoader::Result result = PluginLoader::Load(ZR_REGISTERING_MODULE);
    EXPECT_TRUE(result.loaded && result.entryFound && result.registered);
    EXPECT_TRUE(result.error.empty()) << result.error;
    lark::IBase* built = standin::System::Instance().GetSingleton("ModuleObject");
    ASSERT_NE(built, nullptr);
    EXPECT_STREQ(built->GetClsName(), "Test.ModuleObject");
}

TEST_F(PluginLoaderTest, EveryWayOfNotRegisteringIsReported)
{
    standin::System::Instance().SetRefuseRegistration(true);
    PluginLoader::Result result = PluginLoader::Load(ZR_REGISTERING_MODULE);
    EXPECT_TRUE(result.entryFound);
    EXPECT_FALSE(result.registered);
    EXPECT_NE(result.error.find("pxkPluginRegister"), std::string::npos);

    standin::System::Reset();
    standin::System::Instance().SetInitialized(false);
    EXPECT_FALSE(PluginLoader::Load(ZR_REGISTERING_MODULE).registered);
    EXPECT_EQ(standin::System::Instance().SystemRequests(), 0); // never asked an uninitialised host

    result = PluginLoader::Load(ZR_ENTRYLESS_MODULE);
    EXPECT_TRUE(result.loaded);
    EXPECT_FALSE(result.entryFound || result.registered);
    EXPECT_NE(result.error.find("does not export pxkPluginRegister"), std::string::npos);

    result = PluginLoader::Load("/nonexistent/libnothing.so");
    EXPECT_FALSE(result.loaded);
    EXPECT_NE(result.error.find("/nonexistent/libnothing.so"), std::string::npos);
    result = PluginLoader::Load(QString());
    EXPECT_FALSE(result.loaded);
    EXPECT_FALSE(result.error.empty());
}

TEST_F(PluginLoaderTest, ModulePathUsesTheGivenFolderOrTheModuleDirectory)
{
    EXPECT_EQ(PluginLoader::ModulePath("mod", "/opt/mods"), QStringLiteral("/opt/mods/mod"));
    qputenv("ZR_MODULE_DIR", "/from/env");
    EXPECT_EQ(PluginLoader::ModulePath("mod"), QStringLiteral("/from/env/mod"));
    qunsetenv("ZR_MODULE_DIR");
    EXPECT_EQ(PluginLoader::ModulePath("mod"), QStringLiteral("mod"));
}

} // namespace
