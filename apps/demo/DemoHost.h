// DemoHost: the stand-in host application around the plug-in module, assembled as the real host
// assembles itself: its singletons, one open data base (data model, item library, revision-control
// services over a Subversion working copy), the plug-in's preference manager, and the module loaded
// from disk through its registration entry. Offers the actions the host's editors take.
//
// By default it serves the sample project with an svnserve of its own on 127.0.0.1, or with an
// Apache over TLS of its own (both stopped with the host); given a server URL and a working copy it
// works against that repository instead, once the working copy is found to be one of it. A server
// certificate the user's configuration does not trust is shown with the choice to accept it for
// the session.
#pragma once

#include "AssetRescan.h"
#include "FileStateText.h"
#include "SampleProject.h"

#include "datamodel/ModelSaver.h"
#include "framework/MemoryLog.h"
#include "revisioncontrol/SaveAudit.h"
#include "session/ModelSession.h"
#include "testkit/HostAssembly.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class IRevisionControlPropertiesMgr;

namespace qor4 {
class IRevisionControlUIHelper;
}

namespace standin {
class DelayRelay;
class CommandManager;
class DbObject;
class PrefManager;
class QORDBProxy;
class SvnBackend;
class RepositoryServer;
class UserParameters;
} // namespace standin

namespace demo {

struct ChangeListInfo {
    std::string number;
    std::string description;
};

// An existing repository to work with instead of the sample project.
struct ServerChoice {
    std::string url;                // empty: the sample project on the demo's own svnserve
    std::string workspace;          // the working copy
    int sessionLifetimeSeconds = 0; // 0: the backend's default (12 hours)
    bool https = false;             // the sample project through the demo's own Apache over TLS
    std::string configFolder;       // Subversion's configuration folder; "" the user's own (or, for
                                    // the demo's own HTTPS server, one that trusts it)
    std::string lockServer;         // behind a replica: its master; "" the one it records
    int linkDelayMs = -1;           // the demo's own server through a relay with this delay each way
};

struct HostStart {
    bool ok = false;
    std::string error;
};

// A save, and what it left outside revision control because no session was open.
struct SaveOutcome : standin::SaveResult {
    standin::LeftOut leftOut;
};

// What a revert of an asset would lose, from one status query of its files (depot paths).
struct RevertPreview {
    bool known = false; // false: the server could not be asked; text says why
    std::string text;
    std::vector<std::string> changed; // checked out, marked for add or for delete
    std::vector<std::string> locked;  // locked by the user
    bool unsavedEdits = false;
};

// What a revert did, as the service answered and a status query after it found.
struct RevertOutcome {
    bool succeeded = false; // the service reported no failure
    std::string text;       // the service's text on failure
    bool stateKnown = false;
    std::vector<std::string> stillChanged; // depot paths still opened after the revert
    std::vector<std::string> stillLocked;
};

// A command the host's command manager ran by identifier: whether it ran, and its verdict.
struct CommandOutcome {
    bool ran = false;
    std::int32_t code = -1;
    std::string error; // the command's "ErrorString"
};

// Get Latest: what the update did and, after an update of everything, the assets that came or went.
struct LatestOutcome {
    standin::UpdateResult update;
    RescanOutcome rescan;
};

struct ConnectResult {
    bool connected = false;
    std::string message; // the service's text when not connected
};

class DemoHost {
public:
    static constexpr const char* kModuleName = "zrrevisioncontrol";
    // The message shown above the check-out question before an edit.
    static constexpr const char* kEditPromptMessage = "The asset you are about to edit is read-only.";
    static constexpr int kSlowOperationMs = 1500;
    static constexpr const char* kCertificateBoxName = "certificateQuestion";
    static constexpr const char* kAcceptCertificateName = "acceptCertificate";

    DemoHost(QString dataDir, std::string user, ServerChoice choice = {});
    ~DemoHost();
    DemoHost(const DemoHost&) = delete;
    DemoHost& operator=(const DemoHost&) = delete;

    // Starts the sample project's server (creating the project when the data folder has none), then
    // the host, and loads the plug-in. Nothing else works unless it succeeded.
    HostStart Start();

    // --- Editor actions, through the plug-in's interfaces ----------------------------------------
    // Asks PromptCheckOutObjects first; marks the asset dirty when the edit may go on.
    bool EditAsset(standin::DbObject* asset);
    // Drops an edit that was never saved (the asset is clean again).
    void DiscardEdit(standin::DbObject* asset);
    bool CheckOutAsset(standin::DbObject* asset, bool& cancelled);
    bool MakeAssetWritable(standin::DbObject* asset);
    void ShowAssetFiles(standin::DbObject* asset, bool inFileManager);
    // A new, unsaved asset "<folder>/<name>.qor" with externalFiles textures; null, with the reason
    // in refusal, when the name is no plain name (NewAssetNameProblem) or is taken.
    standin::DbObject* CreateAsset(const std::string& name, int externalFiles, std::string* refusal = nullptr);
    void DeleteAsset(standin::DbObject* asset);
    // The item library's save; on success the workspace's asset list is rewritten. What the save
    // left outside revision control (no session, the password cancelled) is written to the log.
    SaveOutcome Save();
    // Commits a pending changelist ("" the default one), releasing its locks; on failure the text says
    // what was and was not done.
    standin::ChangeListResult Submit(const std::string& changeList);
    // Lists the assets an update or another program brought into the working copy and drops the
    // saved ones whose files went away (an edited one stays); told in the host log.
    RescanOutcome Rescan();
    // Brings the asset's files (null: the whole working copy) to the head revision, then lists the
    // assets the update brought or took away; told in the host log, conflicts by name.
    LatestOutcome GetLatest(standin::DbObject* asset);
    RevertPreview PreviewRevert(standin::DbObject* asset);
    // Reverts the asset's files through the host's file-version-control service (local changes
    // dropped, the lock released) and drops its unsaved edits once nothing of it is opened any
    // more; told in the host log, a partial outcome as such.
    RevertOutcome RevertAsset(standin::DbObject* asset);
    // Marks the asset's files for add in changeList ("" the default one) through the plug-in's
    // command "markForAddQORDbObjects", built and run by identifier by the host's command manager.
    CommandOutcome MarkForAdd(standin::DbObject* asset, const std::string& changeList);

    // --- Simulations -------------------------------------------------------------------------------
    // The fault decorator is in the backend's chain only while a simulation is on: slow operations,
    // or an expired session until the data control acts in another one.
    void SetSlowOperations(bool slow);
    bool SlowOperations() const { return m_slow; }
    // Expires the session the data control acts in; the next operation needs the password again.
    void ExpireSession();
    bool Simulating() const { return m_host && m_host->Faults()->Plugged(); }
    // Ends the session and pushes the stored account again, as a host starting without the password
    // does: the account waits for its password.
    void Disconnect();
    // Logs the stored account in with password and hands the account to the data control.
    ConnectResult Connect(const std::string& password);
    // Stops (SIGSTOP) or resumes the demo's own server, as a server that accepts connections and never
    // answers; resumed, until the host sees it answer again. False without an own server.
    bool FreezeServer(bool frozen);
    // Changes the user's password on the demo's own server and restarts it: the server rejects the
    // session's at the next operation. False without an own server.
    bool ChangeServerPassword(const std::string& password);
    // The status words of working-copy files (relative paths) as another user sees them from their
    // own working copy of the sample project.
    standin::StatusResult StatusAs(const std::string& user, const std::vector<std::string>& relativeFiles);

    // --- State -------------------------------------------------------------------------------------
    std::vector<standin::DbObject*> Assets() const;
    standin::DbObject* FindAsset(const std::string& name) const;
    // Assets deleted since the start, saved or not.
    std::vector<standin::DbObject*> DeletedAssets() const;
    bool IsDirty(const standin::DbObject* asset) const;
    // The assets with a changed object, in one pass over the data model.
    std::unordered_set<const standin::DbObject*> DirtyAssets() const;
    // The disk's side of every file of the assets, in order (the server's side unknown), with the
    // number of files of each asset; on the thread that owns the data model.
    std::vector<FileState> DiskStates(const std::vector<standin::DbObject*>& assets,
                                      std::vector<std::size_t>* filesPerAsset = nullptr) const;
    // Fills in the server's side with one status query for all the files, and asks who holds
    // only the files that others hold. Safe on any thread: the operations run on the worker
    // thread. False (states left unknown) when the server could not be asked.
    bool AddServerStates(standin::SessionId session, std::vector<FileState>& states) const;
    std::vector<ChangeListInfo> PendingChangeLists();
    bool IsSessionAlive();
    // The session is kept, with its password, while its server has not answered since a cancel: the
    // first operation after the server answers again goes through without asking for the password.
    bool WaitingForServer() const;
    // "Revision control is not connected (alice at svn://...)."
    std::string NotConnectedText() const;
    // That the server has not answered since the cancel, and that the user's session is kept.
    std::string WaitingForServerText() const;
    standin::SessionId Session() const;
    std::string DepotPathOf(const std::string& localFile) const;

    const std::string& User() const { return m_user; }
    const std::string& Workspace() const { return m_choice.workspace; }
    const std::string& ServerUrl() const { return m_choice.url; }
    const SampleProject& Project() const { return m_project; }
    qor4::IRevisionControlUIHelper& Helper() const { return *m_helper; }
    IRevisionControlPropertiesMgr& Properties() const { return *m_properties; }
    // The backend as the services use it (on the worker thread).
    standin::RevisionBackend& Backend() const { return m_session->Backend(); }
    standin::DataModelMgr& Manager() const { return *m_session->Manager(); }
    standin::ItemLibrary& Library() const { return m_session->Library(); }
    standin::MemoryLog& Log() { return m_log; }

private:
    // The host's question about a server certificate the configuration does not trust.
    static bool AskAboutCertificate(const standin::ServerCertificate& certificate);
    // Puts a relay with the chosen delay between the plug-in and the demo's own server.
    bool PutServerAtADistance(std::string& error);
    HostStart StartHost();
    HostStart LoadAssets();
    standin::DbObject* AddAsset(const std::string& name, const std::vector<std::string>& depotFiles, bool saved);
    void AppendDiskStates(const standin::DbObject& asset, std::vector<FileState>& states) const;
    standin::DbObject* EditableObjectOf(const standin::DbObject* asset) const;
    const standin::UserParameters* Account() const;
    bool WriteManifest(std::string& error);
    // The status of the asset's files with the repository's side; empty words when it failed.
    standin::StatusResult StatusOfAsset(const standin::DbObject& asset, std::vector<std::string>& depotPaths) const;
    void Shutdown();
    // Takes the fault decorator out when no simulation needs it any more.
    void EndIdleSimulations();

    QString m_dataDir;
    std::string m_user;
    SampleProject m_project;
    ServerChoice m_choice;
    bool m_ownServer = false;
    standin::MemoryLog m_log;
    std::unique_ptr<standin::RepositoryServer> m_server;
    std::unique_ptr<standin::DelayRelay> m_relay; // between the plug-in and m_server, when asked for
    std::unique_ptr<standin::HostAssembly> m_host;
    standin::ModelSession* m_session = nullptr; // the host's data base
    IRevisionControlPropertiesMgr* m_properties = nullptr;
    qor4::IRevisionControlUIHelper* m_helper = nullptr;
    bool m_started = false;
    bool m_slow = false;
    standin::SessionId m_expiredSession = 0; // expired by ExpireSession, until the data control leaves it
    boost::signals2::scoped_connection m_accountChanged;
};

} // namespace demo
