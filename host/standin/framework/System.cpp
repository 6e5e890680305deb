#include "framework/System.h"

#include "qor4/ExBase.h"

#include <algorithm>

namespace standin {

namespace {
std::unique_ptr<System>& Current()
{
    static std::unique_ptr<System> system;
    return system;
}

bool IsMissing(const char* name)
{
    return name == nullptr || *name == '\0';
}
} // namespace

System& System::Instance()
{
    if (!Current()) Current() = std::make_unique<System>();
    return *Current();
}

void System::Reset()
{
    // The old system stays reachable while its singletons shut down: their destructors may ask for it.
    if (Current()) Current()->Shutdown();
    Current() = std::make_unique<System>();
}

bool System::IsSystemInitialized()
{
    return Current() && Current()->IsInitialized();
}

System::System() = default;

System::~System()
{
    Shutdown();
}

bool System::RegisterFactory(const char* name, lark::SingletonFactory factory)
{
    ++m_registerFactoryCalls;
    if (IsMissing(name) || factory == nullptr || m_refuseRegistration) return false;
    if (m_factories.count(name) != 0 || m_singletons.count(name) != 0) return false;
    m_factories.emplace(name, factory);
    return true;
}

lark::IBase* System::GetSingleton(const char* name)
{
    if (IsMissing(name)) return nullptr;
    const auto existing = m_singletons.find(name);
    if (existing != m_singletons.end()) return existing->second.object;
    if (m_shuttingDown) return nullptr;

    const auto factory = m_factories.find(name);
    if (factory == m_factories.end()) return nullptr;
    if (std::find(m_building.begin(), m_building.end(), name) != m_building.end()) {
        qor4::PrintDebugString((std::string("System: singleton requested while being built: ") + name).c_str());
        return nullptr;
    }
    m_building.emplace_back(name);
    lark::IBase* object = factory->second();
    m_building.pop_back();
    if (object == nullptr) return nullptr;
    // Entered before Init so that singletons which ask for each other during Init find each other.
    m_singletons[name] = Entry{object, true};
    Initialise(name, object);
    return object;
}

bool System::IsReady()
{
    ++m_isReadyCalls;
    return m_ready;
}

bool System::AddEntry(const std::string& name, lark::IBase* object, bool owned)
{
    if (name.empty() || object == nullptr || m_singletons.count(name) != 0 || m_factories.count(name) != 0) {
        return false;
    }
    m_singletons[name] = Entry{object, owned};
    return true;
}

bool System::RegisterSingleton(const std::string& name, lark::IBase* object)
{
    if (!AddEntry(name, object, true)) {
        delete object;
        return false;
    }
    Initialise(name, object);
    return true;
}

bool System::RegisterExternalSingleton(const std::string& name, lark::IBase* object)
{
    return AddEntry(name, object, false);
}

void System::Initialise(const std::string& name, lark::IBase* object)
{
    if (auto* singleton = dynamic_cast<lark::ISingleton*>(object)) singleton->Init();
    // Recorded after Init: whatever a singleton builds during its Init outlives it at shut-down.
    m_creationOrder.push_back(name);
}

void System::Shutdown()
{
    if (m_shuttingDown) return;
    m_shuttingDown = true;
    const std::vector<std::string> order(m_creationOrder.rbegin(), m_creationOrder.rend());
    for (const std::string& name : order) {
        if (auto* singleton = dynamic_cast<lark::ISingleton*>(m_singletons[name].object)) singleton->Term();
    }
    for (const std::string& name : order) {
        lark::IBase* object = m_singletons[name].object;
        if (auto* destroy = dynamic_cast<lark::IDestroy*>(object)) {
            delete destroy;
        } else {
            delete object;
        }
        m_singletons.erase(name);
    }
    m_creationOrder.clear();
    m_singletons.clear(); // external ones: not ours to delete
    m_shuttingDown = false;
}

bool System::HasFactory(const std::string& name) const
{
    return m_factories.count(name) != 0;
}

bool System::HasSingleton(const std::string& name) const
{
    return m_singletons.count(name) != 0;
}

std::vector<std::string> System::CreationOrder() const
{
    return m_creationOrder;
}

} // namespace standin

bool larkIsSystemInitialized()
{
    // Does not build a system: before the host made one there is none.
    return standin::System::IsSystemInitialized();
}

lark::ISystem* larkGetSystem()
{
    standin::System& system = standin::System::Instance();
    system.CountSystemRequest();
    if (!system.IsInitialized()) {
        qor4::PrintDebugString("larkGetSystem called before the host system was initialised");
        return nullptr;
    }
    return &system;
}
