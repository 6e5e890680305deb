// The host's path: open the module from disk, call pxkPluginRegister, build the singleton.
#include "framework/PluginLoader.h"
#include "framework/System.h"

#include "qor4/IRevisionControlUIHelper.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginLoad, HostLoadsTheModuleRegistersAndBuildsTheUIHelper)
{
    standin::System::Reset();
    const standin::PluginLoader::Result result =
        standin::PluginLoader::Load(standin::PluginLoader::ModulePath("zrrevisioncontrol"));
    ASSERT_TRUE(result.loaded) << result.error;
    ASSERT_TRUE(result.entryFound) << result.error;
    ASSERT_TRUE(result.registered) << result.error;

    standin::System& system = standin::System::Instance();
    EXPECT_TRUE(system.HasFactory("RevisionControlUIHelper"));
    lark::IBase* built = system.GetSingleton("RevisionControlUIHelper");
    ASSERT_NE(built, nullptr);
    EXPECT_STREQ(built->GetClsName(), "Corvane.LARK.RevisionControlUIHelper");
    // The host reaches the service interface from the base view, across the module boundary.
    EXPECT_NE(dynamic_cast<qor4::IRevisionControlUIHelper*>(built), nullptr);
    EXPECT_NE(dynamic_cast<lark::ISingleton*>(built), nullptr);
    standin::System::Reset();
    EXPECT_FALSE(standin::System::Instance().HasSingleton("RevisionControlUIHelper"));
}

} // namespace
