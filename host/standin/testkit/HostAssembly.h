// HostAssembly: the one place that builds a stand-in host around the plug-in, for the demo, the
// benchmark and the tests, from one options value. In the real host's order:
//
//   1. the host (StandinHost): its singletons, the Subversion backend and the decorators around it
//      (the fault decorator's switch, then the call recorder), the worker, one data base whose
//      services may be carried behind their recorders;
//   2. Start: the account into the host's preferences, the plug-in's preference manager registered,
//      the plug-in registered (a module loaded from disk, or the entry of a plug-in the program
//      links), its UI helper fetched, the data base opened, and the account logged in.
//
// Between the two the caller may wire what must be in place before the first login (a certificate
// question, a listener on the data control).
#pragma once

#include "framework/PluginLoader.h"
#include "session/StandinHost.h"
#include "testkit/FaultSwitch.h"
#include "testkit/RecordingBackend.h"
#include "testkit/RecordingDataControl.h"
#include "testkit/RecordingFileVersionControl.h"

#include <functional>
#include <memory>
#include <string>

namespace lark {
class IBase;
}
namespace qor4 {
class IRevisionControlUIHelper;
}

namespace standin {

// Who works with the host, and where.
struct HostAccount {
    std::string user; // "": no account is set
    std::string password;
    std::string server;
    std::string workspace;
    // A refused login fails the start; otherwise the account waits for its password, which the
    // plug-in asks for at the first operation.
    bool loginRequired = true;
};

// The fault decorator: none, plugged in for the whole run, or plugged in when a simulation asks.
enum class FaultPlug { kNone, kPlugged, kOnDemand };

// Revision control on at every start, or only at the first (a stored choice of the user stays).
enum class RevisionControlSwitch { kOn, kOnAtFirstStart };

struct AssemblyOptions {
    // The backend (configuration folder, lock server, deadline, session lifetime), the worker's
    // grace time, the preferences' file; decorators given here go inside the test kit's.
    HostOptions host;
    FaultPlug faults = FaultPlug::kNone;
    // The call recorder around the backend, outside the fault decorator (a call a fault answers is
    // recorded too).
    bool recordBackend = false;
    // The data control and the file-version control carried behind their recorders.
    bool recordServices = false;
    // The plug-in: the module's name without the platform's prefix and suffix and its folder ("":
    // $ZR_MODULE_DIR), or (for programs that link it) its registration entry.
    std::string pluginModule;
    std::string pluginDirectory;
    PluginLoader::Entry linkedPlugin = nullptr;
    // Builds the plug-in's preference manager, which the host registers (none when empty).
    std::function<lark::IBase*()> preferenceManager;
    HostAccount account;
    RevisionControlSwitch revisionControl = RevisionControlSwitch::kOn;
};

class HostAssembly {
public:
    static constexpr const char* kUIHelperName = "RevisionControlUIHelper";
    static constexpr const char* kPreferenceManagerName = "RevisionControlPropertiesMgr";

    struct Started {
        bool ok = false;
        std::string error; // why not, when not ok
    };

    explicit HostAssembly(AssemblyOptions options);
    HostAssembly(const HostAssembly&) = delete;
    HostAssembly& operator=(const HostAssembly&) = delete;

    // Step 2 above; call once.
    Started Start();

    StandinHost& Host() const { return *m_host; }
    ModelSession& Model() const { return m_host->Model(); }
    // Null when the options did not ask for them.
    FaultSwitch* Faults() const { return m_faults.get(); }
    RecordingBackend* BackendRecord() const { return m_backendRecord.get(); }
    RecordingDataControl* DataControlRecord() const { return m_dataControlRecord; }
    RecordingFileVersionControl* FileControlRecord() const { return m_fileControlRecord; }
    // After a successful Start; owned by the host's system.
    qor4::IRevisionControlUIHelper* Helper() const { return m_helper; }
    lark::IBase* PreferenceManager() const { return m_preferenceManager; }

private:
    void AddDecorators();
    void AddServiceRecorders();
    void StoreAccount();
    std::string RegisterPlugin();

    AssemblyOptions m_options;
    std::shared_ptr<FaultSwitch> m_faults;
    std::shared_ptr<RecordingBackend> m_backendRecord;
    RecordingDataControl* m_dataControlRecord = nullptr;        // held by the data base's instance
    RecordingFileVersionControl* m_fileControlRecord = nullptr; // held by the data base's instance
    std::unique_ptr<StandinHost> m_host;
    qor4::IRevisionControlUIHelper* m_helper = nullptr;
    lark::IBase* m_preferenceManager = nullptr;
};

} // namespace standin
