// A module that registers one factory from its entry, the way a plug-in does.
#if defined(_WIN32)
#define MODULE_ENTRY __declspec(dllexport)
#else
#define MODULE_ENTRY __attribute__((visibility("default")))
#endif
#include "lark/ISystem.h"

namespace {
class ModuleObject final : public lark::IBase, public lark::IDestroy {
public:
    const char* GetClsName() const override { return "Test.ModuleObject"; }
};

lark::IBase* CreateModuleObject()
{
    return new ModuleObject();
}
} // namespace

extern "C" MODULE_ENTRY bool pxkPluginRegister()
{
    if (!larkIsSystemInitialized()) return false;
    lark::ISystem* system = larkGetSystem();
    if (system == nullptr || !system->IsReady()) return false;
    return system->RegisterFactory("ModuleObject", &CreateModuleObject);
}
