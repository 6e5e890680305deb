#include "SimulationSwitch.h"

#include <utility>

namespace demo {

SimulationSwitch::SimulationSwitch(std::shared_ptr<standin::RevisionBackend> subversion)
    : m_subversion(std::move(subversion))
{
}

std::shared_ptr<standin::FaultyBackend> SimulationSwitch::Faults()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_faults) m_faults = std::make_shared<standin::FaultyBackend>(m_subversion);
    return m_faults;
}

void SimulationSwitch::Unplug()
{
    std::shared_ptr<standin::FaultyBackend> unplugged;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        unplugged = std::move(m_faults);
    }
    // Released outside the lock: the last operation in it may still hold it.
}

bool SimulationSwitch::Plugged() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults != nullptr;
}

std::shared_ptr<standin::RevisionBackend> SimulationSwitch::Target() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_faults) return m_faults;
    return m_subversion;
}

} // namespace demo
