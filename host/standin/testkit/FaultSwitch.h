// FaultSwitch: where the fault decorator is plugged in, between the worker thread and the Subversion
// backend: for the whole run (the tests' hosts) or while a simulation of the demo's Simulate menu
// is on. While it is unplugged there is no decorator: every operation goes straight to the
// Subversion backend and nothing is kept of it.
//
// The UI thread plugs and unplugs while the worker runs operations (the worker's own backend is
// fixed when it starts, and its prober holds it): an operation takes its target under the lock and
// holds it until it returns, so an operation in a decorator that is taken out ends there, and the
// decorator with it.
#pragma once

#include "revisioncontrol/ForwardingBackend.h"
#include "testkit/FaultyBackend.h"

#include <memory>
#include <mutex>

namespace standin {

class FaultSwitch final : public ForwardingBackend {
public:
    explicit FaultSwitch(std::shared_ptr<RevisionBackend> subversion);

    // The fault decorator, plugged in first when it was not.
    std::shared_ptr<FaultyBackend> Faults();
    // Takes the decorator out, with every fault it had.
    void Unplug();
    bool Plugged() const;

protected:
    // The decorator while it is plugged in, the Subversion backend otherwise.
    std::shared_ptr<RevisionBackend> Next() const override;

private:
    mutable std::mutex m_mutex;              // guards m_faults
    std::shared_ptr<FaultyBackend> m_faults; // null while unplugged
};

} // namespace standin
