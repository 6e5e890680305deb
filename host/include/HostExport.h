// Visibility of the functions and classes the host exports to its plug-ins.
#pragma once

#if defined(_WIN32)
#if defined(ZRHOST_BUILDING)
#define HOST_API __declspec(dllexport)
#else
#define HOST_API __declspec(dllimport)
#endif
#else
#define HOST_API __attribute__((visibility("default")))
#endif
