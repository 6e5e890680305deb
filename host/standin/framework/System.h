// The stand-in host system behind larkGetSystem: named singletons and their factories.
#pragma once

#include "HostExport.h"
#include "lark/ISystem.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class HOST_API System final : public lark::ISystem {
public:
    // The system larkGetSystem answers; built on first use.
    static System& Instance();
    // Shuts the current system down and starts a fresh one (initialised, ready, empty).
    static void Reset();
    // True when the host made a system and has not marked it uninitialised.
    static bool IsSystemInitialized();

    System();
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    bool RegisterFactory(const char* name, lark::SingletonFactory factory) override;
    lark::IBase* GetSingleton(const char* name) override;
    bool IsReady() override;

    // Registers an object the host built itself; the system owns it from now on and calls its
    // ISingleton::Init at once. False (and the object deleted) when the name is taken or missing.
    bool RegisterSingleton(const std::string& name, lark::IBase* object);
    // Registers an object someone else owns (a test double): no Init, Term or deletion.
    bool RegisterExternalSingleton(const std::string& name, lark::IBase* object);

    template <class T> T* Get(const char* name) { return dynamic_cast<T*>(GetSingleton(name)); }

    // Calls Term on every owned singleton, then deletes them (through lark::IDestroy when they have
    // it), both in reverse order of creation. Factories stay registered; later requests build anew.
    void Shutdown();

    bool HasFactory(const std::string& name) const;
    bool HasSingleton(const std::string& name) const;
    // Names of the owned singletons, in order of creation.
    std::vector<std::string> CreationOrder() const;

    // Test controls.
    void SetInitialized(bool initialized) { m_initialized = initialized; }
    bool IsInitialized() const { return m_initialized; }
    void SetReady(bool ready) { m_ready = ready; }
    void SetRefuseRegistration(bool refuse) { m_refuseRegistration = refuse; }

    // How often the plug-in side reached this system.
    int SystemRequests() const { return m_systemRequests; }
    int RegisterFactoryCalls() const { return m_registerFactoryCalls; }
    int IsReadyCalls() const { return m_isReadyCalls; }
    void CountSystemRequest() { ++m_systemRequests; }

private:
    struct Entry {
        lark::IBase* object = nullptr;
        bool owned = false;
    };

    bool AddEntry(const std::string& name, lark::IBase* object, bool owned);
    void Initialise(const std::string& name, lark::IBase* object);

    std::map<std::string, lark::SingletonFactory> m_factories;
    std::map<std::string, Entry> m_singletons;
    std::vector<std::string> m_creationOrder;
    std::vector<std::string> m_building;
    bool m_initialized = true;
    bool m_ready = true;
    bool m_refuseRegistration = false;
    bool m_shuttingDown = false;
    int m_systemRequests = 0;
    int m_registerFactoryCalls = 0;
    int m_isReadyCalls = 0;
};

} // namespace standin
