// The host system: named singletons and their factories.
//
// A plug-in registers factories from its entry point; the host builds a singleton from its factory
// the first time someone asks for it by name, then calls its ISingleton::Init. At shut-down the host
// calls Term and deletes the object through IDestroy. Everything runs on the user-interface thread.
#pragma once

#include "HostExport.h"

namespace lark {

class IBase {
public:
    virtual ~IBase() = default;
    // The class name that identifies the object in host diagnostics.
    virtual const char* GetClsName() const = 0;
};

class ISingleton {
public:
    virtual ~ISingleton() = default;
    virtual void Init() = 0;
    virtual void Term() = 0;
};

// Lets the host delete an object it did not build.
class IDestroy {
public:
    virtual ~IDestroy() = default;
};

// Builds a singleton; the host owns the result (null when it cannot be built).
using SingletonFactory = IBase* (*)();

class ISystem {
public:
    // False when a factory is already registered under name, or the name or factory is missing.
    virtual bool RegisterFactory(const char* name, SingletonFactory factory) = 0;
    // The singleton registered (or buildable) under name; null when there is none.
    // Callers dynamic_cast the result to the interface they need.
    virtual IBase* GetSingleton(const char* name) = 0;
    // True once the host has finished starting and accepts registrations.
    virtual bool IsReady() = 0;

protected:
    ~ISystem() = default;
};

} // namespace lark

// True once the host system exists; larkGetSystem must not be called before.
HOST_API bool larkIsSystemInitialized();
HOST_API lark::ISystem* larkGetSystem();
