#include "PluginEntry.h"

#include "CRevisionControlUIHelper.h"
#include "HostServices.h"
#include "PluginTranslator.h"

#include <QLocale>

#include <new>

bool pxkPluginRegister()
{
    if (!larkIsSystemInitialized()) return false;
    if (!larkGetSystem()->IsReady()) return false;
    // The application's language: the host sets the default locale before it loads plug-ins.
    PluginTranslator::Install(QLocale());
    return larkGetSystem()->RegisterFactory(HostNames::kUIHelper, &CreateRevisionControlUIHelper);
}

lark::IBase* CreateRevisionControlUIHelper()
{
    // new releases the storage itself when the constructor throws.
    auto* helper = new (std::nothrow) CRevisionControlUIHelper();
    if (!helper) return nullptr;
    return static_cast<lark::IBase*>(helper);
}
