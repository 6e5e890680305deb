#include "testkit/FaultSwitch.h"

#include <utility>

namespace standin {

FaultSwitch::FaultSwitch(std::shared_ptr<RevisionBackend> subversion) : ForwardingBackend(std::move(subversion)) {}

std::shared_ptr<FaultyBackend> FaultSwitch::Faults()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_faults) m_faults = std::make_shared<FaultyBackend>(ForwardingBackend::Next());
    return m_faults;
}

void FaultSwitch::Unplug()
{
    std::shared_ptr<FaultyBackend> unplugged;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        unplugged = std::move(m_faults);
    }
    // Released outside the lock: the last operation in it may still hold it.
}

bool FaultSwitch::Plugged() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults != nullptr;
}

std::shared_ptr<RevisionBackend> FaultSwitch::Next() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_faults) return m_faults;
    return ForwardingBackend::Next();
}

} // namespace standin
