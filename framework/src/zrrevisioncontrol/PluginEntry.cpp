#include "PluginEntry.h"

#include "CRevisionControlUIHelper.h"
#include "HostServices.h"

#include <new>

bool pxkPluginRegister()
{
    if (!larkIsSystemInitialized()) return false;
    if (!larkGetSystem()->IsReady()) return false;
    return larkGetSystem()->RegisterFactory(HostNames::kUIHelper, &CreateRevisionControlUIHelper);
}

lark::IBase* CreateRevisionControlUIHelper()
{
    // new releases the storage itself when the constructor throws.
    auto* helper = new (std::nothrow) CRevisionControlUIHelper();
    if (!helper) return nullptr;
    return static_cast<lark::IBase*>(helper);
}
