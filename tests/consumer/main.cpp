// Plays a host against the installed package: builds the exported preference manager, loads the
// module from the installed plug-in folder, registers it and has the system build its singleton.
#include "CZRRevisionControlPropertiesMgr.h"
#include "qor4/IRevisionControlUIHelper.h"
#include "standin/System.h"

#include <QApplication>

#include <dlfcn.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const std::string& what)
{
    std::fprintf(stderr, "zrconsumer: %s\n", what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    standin::System& system = standin::System::Instance();

    // The host builds the preference manager from the exported class and registers it by its name.
    const CZRRevisionControlPropertiesMgr properties;
    if (std::string(CZRRevisionControlPropertiesMgr::GetSingletonName()) != "RevisionControlPropertiesMgr" ||
        properties.GetClsName() == nullptr)
        return Fail("the exported preference manager does not name itself");

    const std::string module = std::string(ZR_PLUGIN_DIR) + "/libzrrevisioncontrol.so";
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return Fail(std::string("cannot load ") + module + ": " + dlerror());
    using Register = bool (*)();
    const auto registerPlugin = reinterpret_cast<Register>(dlsym(handle, "pxkPluginRegister"));
    if (!registerPlugin) return Fail("the module does not export pxkPluginRegister");
    if (!registerPlugin()) return Fail("pxkPluginRegister refused");

    lark::IBase* helper = system.GetSingleton("RevisionControlUIHelper");
    if (!dynamic_cast<qor4::IRevisionControlUIHelper*>(helper))
        return Fail("the system built no revision-control UI helper");
    standin::System::Reset();
    std::printf("zrconsumer: %s registered and built its UI helper\n", module.c_str());
    return 0;
}
