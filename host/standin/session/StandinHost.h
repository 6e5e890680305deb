// StandinHost: the one place that wires the stand-in host, from one options value: the Subversion
// backend (configuration folder, deadline, session lifetime), the decorators around it, the worker
// thread that runs it, one open data base (ModelSession: data model, data control, file-version
// control, item library) and the host's singletons (preferences, command manager, data-base proxy).
// The demo, the tests' fixture and the benchmark build their hosts here.
//
// The order is the real host's: the singletons exist from construction, so that a plug-in may
// register (and build its helper) before OpenDataBase hands the data base to the proxy.
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "session/ModelSession.h"
#include "subversion/SvnBackend.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class CommandManager;
class PrefManager;
class QORDBProxy;

struct HostOptions {
    using Decorator = std::function<std::shared_ptr<RevisionBackend>(std::shared_ptr<RevisionBackend>)>;

    // Subversion's configuration folder; "" the user's own.
    std::string configFolder;
    // Behind a replica, the master that keeps the locks (its URL of the repository root); "" takes
    // the master the replica records, or the server itself.
    std::string lockServer;
    std::chrono::milliseconds deadline = SvnBackend::kDefaultDeadline;
    std::chrono::milliseconds sessionLifetime = SvnBackend::kDefaultSessionLifetime;
    // How long the UI thread waits for an operation before the progress box shows.
    std::chrono::milliseconds grace = WorkerBackend::kGraceTime;
    // Put around the Subversion backend, innermost first (the test kit's fault decorator and call
    // recorder, for two). The services' own decorators are in services.
    std::vector<Decorator> decorators;
    ModelServices services;
    int libraryContextId = ItemLibrary::kDefaultContextId;
    // The preferences' file; "" keeps them in memory.
    std::string preferencesFile;
};

class StandinHost {
public:
    // Resets the host's system and registers the singletons.
    explicit StandinHost(const HostOptions& options);
    // Closes the data base and resets the host's system.
    ~StandinHost();
    StandinHost(const StandinHost&) = delete;
    StandinHost& operator=(const StandinHost&) = delete;

    // Hands the data base (data model and item library) to the proxy, as a host opening it.
    void OpenDataBase();
    // Releases what the host holds of the data base and its plug-ins' work: the proxy's item
    // library, the progress box, queued commands. Safe to call twice.
    void CloseDataBase();

    SvnBackend& Subversion() const { return *m_subversion; }
    // The outermost decorator (the Subversion backend itself without any), which the worker runs.
    RevisionBackend& Decorated() const { return *m_decorated; }
    ModelSession& Model() const { return *m_model; }
    PrefManager& Prefs() const { return *m_prefs; }
    CommandManager& Commands() const { return *m_commands; }
    QORDBProxy& Proxy() const { return *m_proxy; }

private:
    std::shared_ptr<SvnBackend> m_subversion;
    std::shared_ptr<RevisionBackend> m_decorated;
    std::unique_ptr<ModelSession> m_model;
    PrefManager* m_prefs = nullptr;       // owned by the host's system
    CommandManager* m_commands = nullptr; // owned by the host's system
    QORDBProxy* m_proxy = nullptr;        // owned by the host's system
    bool m_open = false;
};

} // namespace standin
