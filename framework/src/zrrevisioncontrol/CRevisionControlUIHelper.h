// The plug-in's central object, the singleton "RevisionControlUIHelper": the revision-control UI
// service of the host's editors, the listener of the item library's save notifications, and the
// time-out delegate that shows a cancellable progress box while a long operation runs.
//
// Each flow lives in a source file of its own (CRevisionControlUIHelper_<Flow>.cpp).
#pragma once

#include "FailureFlags.h"
#include "IRevisionControlPropertiesMgr.h"

#include "lark/ISystem.h"
#include "lark/fwk/IQORDBProxy.h"
#include "lark/signalling/IConnection.h"
#include "opal/datamodel/Accessors.h"
#include "qor4/IDataControl.h"
#include "qor4/IFileVersionControl.h"
#include "qor4/IRevisionControlUIHelper.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

class QMessageBox;

using DbObjectHandles = std::list<qor4::QORHandle<qor4::IDbObject>>;

// What a command runner hands back besides its status: the command's "ErrorString", the message for
// the user and the details (files or the service's report). A runner replaces them only on failure,
// so that a retry shows what the last failure left.
struct CommandTexts {
    std::string errorString;
    std::string message;
    std::string details;
};

class CRevisionControlUIHelper : public qor4::IRevisionControlUIHelper,
                                 public opal::datamodel::IItemLibraryNotification,
                                 public lark::ISingleton,
                                 public lark::IBase,
                                 public lark::IDestroy,
                                 public lark::fwk::IQORDBProxy_Slot,
                                 public qor4::ITimeOutDelegate {
    // Every flow of the helper translates in this class's context.
    Q_DECLARE_TR_FUNCTIONS(CRevisionControlUIHelper)

public:
    CRevisionControlUIHelper();
    ~CRevisionControlUIHelper() override;
    CRevisionControlUIHelper(const CRevisionControlUIHelper&) = delete;
    CRevisionControlUIHelper& operator=(const CRevisionControlUIHelper&) = delete;

    // qor4::IRevisionControlUIHelper
    bool IsSourceDataControlEnabled() override;
    qor4::QORPtr<qor4::IDataControl> GetDataControl(const qor4::QORPtr<qor4::IDataModelMgr>& manager) override;
    bool QueryObjectStateIfEnabled(const qor4::QORHandle<qor4::IDbObject>& object, bool includeExternal) override;
    bool QueryObjectFlag(const qor4::QORHandle<qor4::IDbObject>& object, bool includeExternal) override;
    bool QueryObjectInContext(const qor4::QORHandle<qor4::IDbObject>& object) override;
    bool CheckOutObject(const qor4::QORHandle<qor4::IDbObject>& object, bool* cancelled, bool includeExternal) override;
    bool CheckOutObjects(const DbObjectHandles& objects, bool* cancelled, bool includeExternal) override;
    bool MakeObjectWritable(const qor4::QORHandle<qor4::IDbObject>& object, bool includeExternal) override;
    bool PromptCheckOutObjects(const DbObjectHandles& objects, bool includeExternal, bool allowMakeWritable,
                               const std::string& message) override;
    qor4::qorResult GetAccessStates(const DbObjectHandles& objects, bool includeExternal, bool refresh,
                                    std::list<qor4::StatusWord>& states) override;
    qor4::QORHandle<qor4::IDbObject> GetDbObject(const qor4::DbObjectId& key) override;
    qor4::QORHandle<qor4::IDbObject> GetDbObject(const qor4::DbObjectId& key,
                                                 qor4::QORPtr<qor4::IDataModelMgr>& manager) override;
    void GetAssetFiles(const qor4::QORHandle<qor4::IDbObject>& asset, QStringList& files) override;
    void ShowAssetFiles(const qor4::QORHandle<qor4::IDbObject>& asset, bool inExplorer) override;

    // opal::datamodel::IItemLibraryNotification: only the save notifications matter here.
    void OnItemsAdded(const opal::datamodel::ItemLibraryAccessor&) override {}
    void OnItemsRemoved(const opal::datamodel::ItemLibraryAccessor&) override {}
    void OnItemChanged(const opal::datamodel::ItemLibraryAccessor&, const opal::datamodel::ItemID&) override {}
    void OnItemRenamed(const opal::datamodel::ItemLibraryAccessor&, const opal::datamodel::ItemID&) override {}
    void OnItemAccessStateChanged(const opal::datamodel::ItemLibraryAccessor&, const opal::datamodel::ItemID&,
                                  std::uint32_t) override
    {
    }
    void OnLibraryClosing(const opal::datamodel::ItemLibraryAccessor&) override {}
    void OnPreSave(const opal::datamodel::ItemLibraryAccessor& library, bool* cancel) override;
    void OnPostSave(const opal::datamodel::ItemLibraryAccessor& library) override;

    // lark::ISingleton, lark::IBase
    void Init() override;
    void Term() override;
    const char* GetClsName() const override;

    // lark::fwk::IQORDBProxy_Slot
    void OnDataModelMgrReady() override;
    void OnItemLibraryReady() override;
    void OnItemLibraryReleased() override;

    // qor4::ITimeOutDelegate
    void NotifyCompletion() override;
    bool WaitForCompletion() override;

    // Session recovery: installs new account parameters on dataControl; true when it did.
    bool ReopenSession(qor4::QORPtr<qor4::IDataControl>& dataControl, const char* prefix, const char* message);
    // An error box offering Retry (a log entry without windows); true when the user chose Retry.
    static bool AskRetry(const std::string& title, const std::string& text);

    // Command runners: 0 on success, -1 when the command manager did not run the command, otherwise
    // the command's failure code, with texts filled.
    qor4::qorResult RunCheckOutCommand(qor4::QORPtr<qor4::IDataControl> dataControl, const DbObjectHandles& objects,
                                       bool includeExternal, const std::string& changelist, CommandTexts& texts);
    qor4::qorResult RunMarkForAddCommand(qor4::QORPtr<qor4::IDataControl> dataControl, const DbObjectHandles& objects,
                                         bool includeExternal, const std::string& changelist, CommandTexts& texts);
    static void MakeAssetAccessors(const opal::datamodel::ItemLibraryAccessor& library, const DbObjectHandles& handles,
                                   std::vector<opal::datamodel::UnspecifiedAccessor>& accessors);

    // Failure explanations: append reasons and users to message (and set details for objects).
    bool DescribeObjectsFailure(qor4::QORPtr<qor4::IDataControl> dataControl, const DbObjectHandles& objects,
                                bool includeExternal, const StatusFlags& statuses, const std::string& errorString,
                                std::string& message, std::string& details);
    bool DescribeFilesFailure(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                              const qor4::IUserParameters* account, const std::list<std::string>& files,
                              std::uint32_t combinedStatus, const StatusFlags& statuses, const std::string& errorString,
                              std::string& message);
    qor4::qorResult GetCombinedFilesStatus(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                                           const qor4::IUserParameters* account, const std::list<std::string>& files,
                                           std::uint32_t& combinedStatus);

    // One line per asset of assets: its name and, with withExternal, its external file.
    void AppendAssetListing(qor4::QORPtr<qor4::IDataControl> dataControl, const DbObjectHandles& assets,
                            bool withExternal, QString& text);

    qor4::qorResult MarkDeletedFilesForDelete(qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl,
                                              const qor4::IUserParameters* account, const std::list<std::string>& files,
                                              const std::string& changelist, std::string& errorText,
                                              std::string& message);

    // Same length and, position by position, the same cache index and instance.
    static bool ListsEqual(const DbObjectHandles& first, const DbObjectHandles& second);

    // For the host's diagnostics and tests.
    const std::list<lark::signalling::IConnection*>& GetDataModelMgrReadyConnections() const
    {
        return connectionsDataModelMgrReady;
    }
    const std::list<lark::signalling::IConnection*>& GetItemLibraryReadyConnections() const
    {
        return connectionsItemLibraryReady;
    }
    const std::list<lark::signalling::IConnection*>& GetItemLibraryReleasedConnections() const
    {
        return connectionsItemLibraryReleased;
    }
    QMessageBox* GetProgressBox() const { return progressBox; }

private:
    DbObjectHandles continuedObjects;
    std::list<lark::signalling::IConnection*> connectionsDataModelMgrReady;
    std::list<lark::signalling::IConnection*> connectionsItemLibraryReady;
    std::list<lark::signalling::IConnection*> connectionsItemLibraryReleased;
    bool operationFinished = false;
    QMessageBox* progressBox = nullptr;
};
