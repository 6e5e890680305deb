// HostFixture: a complete stand-in host around the plug-in, fresh for every test, built by the test
// kit's HostAssembly as the demo and the benchmark build theirs.
//
// The system holds "PrefManager" (in memory), "UndoManager", "QORDBProxy", the plug-in's
// "RevisionControlPropertiesMgr" and the UI helper built through the plug-in's registered factory.
// Behind the proxy: a data model with an open item library, and a data control and file-version-
// control service over a Subversion backend (behind the fault decorator, plugged in for the whole
// test) talking to a svnserve of the test's own, with a working copy per user. The test kit's
// recorders keep the calls the services and the backend were asked: each service is carried behind
// its recorder, and the backend's recorder sits outside the fault decorator (a call a fault answers
// is recorded too). The current user (kUser, empty password) is logged in and revision control is
// switched on. The log goes to a MemoryLog. TearDown checks that the plug-in left no command,
// service reference or connection behind.
//
// Windows: tests start "with windows" (a small top-level widget is shown); WithoutWindows() removes
// every top-level widget, so that IsInteractive() answers false. Modal windows a flow opens are
// answered through Modal(); a modal window nobody answers is rejected and fails the test.
#pragma once

#include "CRevisionControlUIHelper.h"
#include "CZRRevisionControlPropertiesMgr.h"
#include "ModalDriver.h"

#include "SvnSandbox.h"
#include "datamodel/DataModelMgr.h"
#include "datamodel/ItemLibrary.h"
#include "framework/CommandManager.h"
#include "framework/MemoryLog.h"
#include "framework/PrefManager.h"
#include "framework/QORDBProxy.h"
#include "revisioncontrol/DataControl.h"
#include "revisioncontrol/FileVersionControl.h"
#include "session/StandinHost.h"
#include "subversion/SvnBackend.h"
#include "testkit/FaultyBackend.h"
#include "testkit/HostAssembly.h"
#include "testkit/RecordingBackend.h"
#include "testkit/RecordingDataControl.h"
#include "testkit/RecordingFileVersionControl.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class HostFixture : public ::testing::Test {
public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kOtherUser = "bob";
    static constexpr const char* kThirdUser = "carol";
    static constexpr const char* kOtherPassword = "bob-secret";
    static constexpr const char* kThirdPassword = "carol-secret";
    static constexpr const char* kAssetFolder = "assets/";
    static constexpr const char* kMainWindowName = "hostMainWindow";

protected:
    HostFixture();
    ~HostFixture() override;

    void SetUp() override;
    void TearDown() override;

    // --- Windows -------------------------------------------------------------------------------
    // Shows the small top-level widget again (the default).
    void WithWindows();
    // Leaves no top-level widget at all; the helper's progress box goes too (as after Term).
    void WithoutWindows();

    // --- Assets --------------------------------------------------------------------------------
    // A saved asset whose ".qor" file and externalFiles external files are checked in and lie
    // read-only in the workspace.
    standin::DbObject* AddCheckedInAsset(const std::string& name, int externalFiles = 0);
    // A saved asset whose files lie writable in the workspace but are unknown to the depot.
    standin::DbObject* AddLocalAsset(const std::string& name, int externalFiles = 0);
    static qor4::QORHandle<qor4::IDbObject> Handle(standin::DbObject* object);
    static DbObjectHandles Handles(const std::vector<standin::DbObject*>& objects);
    // The asset's files as absolute paths: the ".qor" file, then the external ones.
    static std::vector<std::string> FilesOf(const standin::DbObject* asset);
    // The path of a working-copy file of the current user relative to the working copy.
    std::string DepotPathOf(const std::string& localFile) const;
    // The absolute path of a file in the current user's working copy.
    std::string LocalPath(const std::string& depotPath) const;
    // Commits the file with that content from the current user's working copy (read-only after).
    void CheckIn(const std::string& depotPath, const std::string& content);
    // The handle of an asset that has since left the data model: the host knows no files for it.
    qor4::QORHandle<qor4::IDbObject> RemovedAssetHandle(const std::string& name);
    // Files sorted, one per line.
    static std::string SortedLines(std::vector<std::string> files);

    // --- Other users ---------------------------------------------------------------------------
    // Each acts on the asset's ".qor" file for user (kOtherUser, kThirdUser) and asserts success.
    // user checks the file out (locks it) in their own working copy.
    void LockAs(const std::string& user, const standin::DbObject* asset);
    // A newer revision committed by user: the current user's copy is no longer at the head.
    void SubmitAs(const std::string& user, const standin::DbObject* asset);

    // Status of files in the current user's session, straight from the backend.
    standin::StatusResult StatusOf(const std::vector<std::string>& files);
    qor4::StatusWord WordOf(const std::string& file);

    // --- Session -------------------------------------------------------------------------------
    // Expires the current user's session; with a password, the server changes the user's password
    // (and rejects the session's), so that logging in again needs it.
    void ExpireSession(const std::string& newPassword = std::string());
    // The account the data control acts for now, and its backend session (0: none).
    const standin::UserParameters* CurrentAccount();
    standin::SessionId CurrentSession();
    // True when the current session can talk to the server (the password it was opened with is
    // still the server's, and it has not expired).
    bool SessionWorks();

    // --- Services ------------------------------------------------------------------------------
    CRevisionControlUIHelper& Helper() { return *helper; }
    qor4::IRevisionControlUIHelper& HelperInterface() { return *helper; }
    CZRRevisionControlPropertiesMgr& Properties() { return *properties; }
    standin::PrefManager& Prefs() { return *prefs; }
    standin::CommandManager& Commands() { return *commands; }
    standin::QORDBProxy& Proxy() { return *proxy; }
    // The fault decorator over the Subversion backend, for faults.
    standin::FaultyBackend& Server() { return *backend; }
    // The backend the services use, which records their calls: the recorder over the fault decorator.
    standin::RecordingBackend& ServerRecord() { return *recordingBackend; }
    SvnSandbox& Sandbox() { return *sandbox; }
    // The Subversion backend itself, under the decorators.
    standin::SvnBackend& Subversion() { return *svnBackend; }
    // The services as the plug-in reaches them: each behind its recorder (Service() is underneath).
    standin::RecordingDataControl& Control() { return *dataControl; }
    qor4::QORPtr<qor4::IDataControl> ControlPtr() { return qor4::QORPtr<qor4::IDataControl>(dataControl); }
    standin::RecordingFileVersionControl& FileControl() { return *fileVersionControl; }
    // Between the services and the backend: the post-save status memo, then the worker thread.
    standin::SaveStatusMemo& StatusMemo() { return host->Model().StatusMemo(); }
    standin::WorkerBackend& Worker() { return host->Model().Worker(); }
    // The data base's services as the host wires them (its Login is the demo's Connect).
    standin::ModelSession& Model() { return host->Model(); }
    qor4::QORPtr<qor4::IFileVersionControl> FileControlPtr()
    {
        return qor4::QORPtr<qor4::IFileVersionControl>(fileVersionControl);
    }
    standin::DataModelMgr& Manager() { return *manager; }
    qor4::QORPtr<qor4::IDataModelMgr> ManagerPtr() { return qor4::QORPtr<qor4::IDataModelMgr>(manager); }
    standin::ItemLibrary& Library() { return *library; }
    standin::MemoryLog& Log() { return log; }
    ModalDriver& Modal() { return modal; }

    // Types password into the next password dialog and presses "Ok"; beforeOk runs in between.
    // The dialog's labels are appended to passwordDialogLabels.
    void AnswerPasswordNext(const QString& password, std::function<void()> beforeOk = {});
    std::vector<QStringList> passwordDialogLabels;

    // Log entries of one type, in order.
    std::vector<std::string> LogTexts(Log::MsgType type) const;
    // Calls of one operation the data control received so far.
    int DataControlCallCount(const std::string& operation);

    // How the services reach the server; set before SetUp (svn:// unless a test says otherwise).
    SvnSandbox::Transport transport = SvnSandbox::Transport::kSvn;

private:
    void StartModalWatchdog();
    void CheckUnansweredModal();
    void CheckNothingLeaked();
    standin::DbObject* AddAsset(const std::string& name, int externalFiles, bool checkIn);

    standin::MemoryLog log;
    ModalDriver modal;
    std::unique_ptr<SvnSandbox> sandbox;
    std::unique_ptr<standin::HostAssembly> host;
    // Parts of the host, for the accessors above.
    standin::SvnBackend* svnBackend = nullptr;
    std::shared_ptr<standin::FaultyBackend> backend;
    standin::RecordingBackend* recordingBackend = nullptr;
    std::map<std::string, standin::SessionId> otherSessions;
    standin::RecordingDataControl* dataControl = nullptr;               // held by the instance
    standin::RecordingFileVersionControl* fileVersionControl = nullptr; // held by the instance
    standin::DataModelMgr* manager = nullptr;
    standin::ItemLibrary* library = nullptr;
    standin::PrefManager* prefs = nullptr;
    standin::CommandManager* commands = nullptr;
    standin::QORDBProxy* proxy = nullptr;
    CZRRevisionControlPropertiesMgr* properties = nullptr;
    CRevisionControlUIHelper* helper = nullptr;
    std::unique_ptr<QWidget> mainWindow;

    QTimer watchdog;
    QPointer<QWidget> unansweredModal;
    int unansweredPolls = 0;

    long connectionsAtStart = 0;
    long commandsAtStart = 0;
    int dataControlRefs = 0;
    int fileVersionControlRefs = 0;
    int managerRefs = 0;
};
