// The stand-in data control: revision control of data-base objects, done by mapping each object to
// its asset's files and handing those to the RevisionBackend.
//
// Meanings chosen here for the host's open questions:
// - access state of an object: the OR of its files' status words;
// - QueryObjectFlag: every file of the object is opened (edit, add or delete) by the current user;
// - QueryObjectState: isControlled when every file is in the depot or opened for add;
// - QueryObjectInContext: every file lies under the current account's working copy;
// - IsReadOnly: some existing file has its owner-write bit off (no session needed);
// - MarkForAdd: schedules for addition only the files that are not versioned yet;
// - MakeWritable: only files that exist on disk are touched;
// - error texts and messages are appended to, never replaced.
// Server operations need an account (SetUserParameters); without one they answer -34. Told "no
// account", the data control takes the account that waits for its first password (AccountBook).
#pragma once

#include "qor4/IDataControl.h"
#include "revisioncontrol/RevisionBackend.h"

#include <boost/signals2/signal.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class AccountBook;
class DbObject;
class UserParameters;

class DataControl final : public qor4::IDataControl {
public:
    static constexpr std::int32_t kResultInvalidObject = -11;
    static constexpr std::int32_t kResultForeignAccount = -12;
    static constexpr const char* kInvalidObjectText = "The object is not a valid data-base object.\n";

    // Shares the backend and the accounts with the file-version-control service of the same
    // instance; without accounts, "no account" is only that.
    static qor4::QORPtr<DataControl> Create(std::shared_ptr<RevisionBackend> backend,
                                            std::shared_ptr<AccountBook> accounts = nullptr);

    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    bool IsChangeListValid(const std::string& changeList) override;
    qor4::qorResult GetPendingChangeLists(std::list<std::string>& changeLists, std::string& message) override;
    qor4::qorResult GetChangeListDescription(const std::string& changeList, std::string& description,
                                             std::string& message) override;
    qor4::qorResult CreateChangeList(const std::string& description, std::string& changeList,
                                     std::string& message) override;
    qor4::qorResult CheckOut(const qor4::DbObjectList& objects, bool includeExternal,
                             const qor4::DataControlContext& context, const std::string& changeList,
                             std::string& errorText) override;
    qor4::qorResult MarkForAdd(const qor4::DbObjectList& objects, bool includeExternal,
                               const qor4::DataControlContext& context, const std::string& changeList,
                               std::string& errorText) override;
    qor4::qorResult GetAccessStates(const qor4::DbObjectList& objects, bool includeExternal,
                                    const qor4::DataControlContext& context, bool refresh,
                                    std::list<qor4::StatusWord>& states, std::string& message) override;
    qor4::qorResult GetObjectUsers(const qor4::DbObjectHandle& object, bool includeExternal,
                                   const qor4::DataControlContext& context, std::list<std::string>& users,
                                   std::string& message) override;
    bool IsReadOnly(const qor4::DbObjectHandle& object, bool includeExternal,
                    const qor4::DataControlContext& context) override;
    bool QueryObjectFlag(const qor4::DbObjectHandle& object, bool includeExternal,
                         const qor4::DataControlContext& context) override;
    qor4::qorResult QueryObjectState(const qor4::DbObjectHandle& object, bool includeExternal,
                                     const qor4::DataControlContext& context, bool& isControlled) override;
    qor4::qorResult GetObjectFileList(const qor4::DbObjectHandle& object, bool includeExternal,
                                      const qor4::DataControlContext& context, bool onlyExisting,
                                      std::set<std::string>& files) override;
    qor4::qorResult GetObjectFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context,
                                   std::set<std::string>& files) override;
    qor4::qorResult MakeWritable(const qor4::DbObjectHandle& object, bool includeExternal,
                                 const qor4::DataControlContext& context, std::string& errorText) override;
    qor4::qorResult GetFiles(const qor4::DbObjectList& objects, bool includeExternal,
                             const qor4::DataControlContext& context, bool onlyExisting, std::set<std::string>& files,
                             std::vector<std::set<std::string>>& filesPerObject) override;
    qor4::qorResult CollectAssets(const qor4::DataControlContext& context, const qor4::DbObjectList& objects, int flags,
                                  std::set<qor4::DbObjectHandle>& assets) override;
    qor4::qorResult CollectRelatedObjects(const qor4::DbObjectList& objects,
                                          std::set<qor4::DbObjectHandle>& related) override;
    qor4::qorResult SetUserParameters(const qor4::IUserParameters* parameters) override;
    const qor4::IUserParameters* GetCurrentUserParameters() override;
    std::string GetObjectName(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context) override;
    bool QueryObjectInContext(const qor4::DataControlContext& context, const qor4::DbObjectHandle& object) override;
    bool HasExternalFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext& context) override;

    // The account has an open session (asked of the backend, not of the server).
    bool IsConnected();
    // The account it acts for now (null: none); not recorded.
    const UserParameters* Account() const { return m_account; }
    // The account the data control acts for now (null: none), each time it is set.
    boost::signals2::signal<void(const UserParameters*)> accountChanged;

    int GetRefCount() const { return m_refs; }

private:
    DataControl(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<AccountBook> accounts);
    ~DataControl() = default;

    // The object's files in order (asset file first), or false for a null or deleted object.
    static bool ObjectFiles(const qor4::DbObjectHandle& object, bool includeExternal, std::vector<std::string>& files);
    static bool ListFiles(const qor4::DbObjectList& objects, bool includeExternal, std::vector<std::string>& files);
    // The account's session; false (and -34 with a text) without an account.
    bool EnterSession(qor4::qorResult& result, std::string& text);
    SessionId Session() const;
    // Check-out and mark-for-add: the objects' files handed to one backend operation.
    using FileChange = std::function<ServerResult(RevisionBackend&, SessionId, const FileList&, const std::string&)>;
    qor4::qorResult ChangeFiles(const qor4::DbObjectList& objects, bool includeExternal, const std::string& changeList,
                                std::string& errorText, const FileChange& change);

    std::shared_ptr<RevisionBackend> m_backend;
    std::shared_ptr<AccountBook> m_accounts;
    int m_refs = 0;
    const UserParameters* m_account = nullptr;
};

} // namespace standin
