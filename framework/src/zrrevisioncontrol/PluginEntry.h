// The plug-in's entry point, called by the host right after it loaded the library.
#pragma once

#include "zrrc_export.h"

#include "lark/ISystem.h"

// Registers the factory of the singleton "RevisionControlUIHelper"; true when the host took it.
extern "C" ZRRC_EXPORT bool pxkPluginRegister();

// The factory: a new UI helper seen through lark::IBase, or null.
lark::IBase* CreateRevisionControlUIHelper();
