#include "revisioncontrol/DataControl.h"

#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"
#include "revisioncontrol/AccountBook.h"
#include "revisioncontrol/PathIndex.h"
#include "revisioncontrol/UserParameters.h"

#include "Log/Log.h"

#include <QDir>

#include <algorithm>

namespace standin {

namespace fs = qor4::FileStatus;

namespace {
constexpr const char* kCannotList = "The pending changelists could not be listed";
constexpr const char* kCannotCreate = "The new changelist could not be created";
constexpr qor4::StatusWord kOpenedByUser = fs::kCheckedOut | fs::kMarkedForAdd | fs::kMarkedForDelete;

void AppendUnique(std::vector<std::string>& files, const std::string& file)
{
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
}

// Hands take each of the object's files, the names the object itself keeps; false when the object
// is no live part of an asset.
template <typename Take> bool VisitFiles(const qor4::DbObjectHandle& object, bool includeExternal, Take take)
{
    const DbObject* found = ToDbObject(object);
    if (!found || !found->IsAlive() || !found->GetOwningAsset()) return false;
    if (!found->GetAssetFile().empty()) take(found->GetAssetFile());
    // Only the external files that are the asset's own: a file another asset's name claims is not.
    if (includeExternal)
        for (const std::string& file : found->GetExternalFiles())
            if (IsOwnExternalFile(*found, file)) take(file);
    return true;
}

qor4::qorResult Fail(std::int32_t code, const std::string& text, std::string& into)
{
    into += text;
    return code;
}

// The changelist dialog shows nothing when the changelists cannot be listed or created, so the host
// itself tells the user, in its log. A lost session is not logged: the flow's next step asks for the
// password.
qor4::qorResult FailAndLog(const char* what, std::int32_t code, const std::string& text, std::string& into)
{
    if (code != qor4::kResultSessionExpired)
        Log::Singleton::Instance() << Log::MsgType::Error << (std::string(what) + ": " + text);
    return Fail(code, text, into);
}
} // namespace

qor4::QORPtr<DataControl> DataControl::Create(std::shared_ptr<RevisionBackend> backend,
                                              std::shared_ptr<AccountBook> accounts)
{
    return qor4::QORPtr<DataControl>(new DataControl(std::move(backend), std::move(accounts)));
}

DataControl::DataControl(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<AccountBook> accounts)
    : m_backend(std::move(backend)), m_accounts(std::move(accounts))
{
}

void DataControl::Release()
{
    if (--m_refs == 0) delete this;
}

bool DataControl::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IDataControl::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
    *object = static_cast<qor4::IDataControl*>(this);
    AddRef();
    return true;
}

bool DataControl::ObjectFiles(const qor4::DbObjectHandle& object, bool includeExternal, std::vector<std::string>& files)
{
    return VisitFiles(object, includeExternal, [&files](const std::string& file) { AppendUnique(files, file); });
}

bool DataControl::ListFiles(const qor4::DbObjectList& objects, bool includeExternal, std::vector<std::string>& files)
{
    for (const auto& object : objects)
        if (!ObjectFiles(object, includeExternal, files)) return false;
    return true;
}

bool DataControl::EnterSession(qor4::qorResult& result, std::string& text)
{
    if (!m_account) {
        result = qor4::kResultSessionExpired;
        text += std::string(ServerText::kNotLoggedIn) + "\n";
        return false;
    }
    // An account waiting for its password: the backend knows no session to name it by.
    if (m_account->Session() == 0) {
        result = qor4::kResultSessionExpired;
        text += ServerText::OfSession(ServerText::kNotLoggedIn, m_account->User(), m_account->Server()) + "\n";
        return false;
    }
    return true;
}

bool DataControl::IsConnected()
{
    return m_account && m_account->Session() != 0 && m_backend->IsSessionOpen(m_account->Session());
}

SessionId DataControl::Session() const
{
    return m_account ? m_account->Session() : 0;
}

bool DataControl::IsChangeListValid(const std::string& changeList)
{
    qor4::qorResult result;
    std::string ignored;
    return EnterSession(result, ignored) && m_backend->IsChangeListValid(Session(), changeList);
}

qor4::qorResult DataControl::GetPendingChangeLists(std::list<std::string>& changeLists, std::string& message)
{
    qor4::qorResult result;
    std::string notLoggedIn;
    if (!EnterSession(result, notLoggedIn)) return FailAndLog(kCannotList, result.GetCode(), notLoggedIn, message);
    const ChangeListsResult found = m_backend->PendingChangeLists(Session());
    if (found.Failed()) return FailAndLog(kCannotList, found.code, found.text, message);
    changeLists.insert(changeLists.end(), found.changeLists.begin(), found.changeLists.end());
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetChangeListDescription(const std::string& changeList, std::string& description,
                                                      std::string& message)
{
    qor4::qorResult result;
    if (!EnterSession(result, message)) return result;
    const DescriptionResult found = m_backend->ChangeListDescription(Session(), changeList);
    if (found.Failed()) return FailAndLog(kCannotList, found.code, found.text, message);
    description = found.description;
    return qor4::kResultOk;
}

qor4::qorResult DataControl::CreateChangeList(const std::string& description, std::string& changeList,
                                              std::string& message)
{
    qor4::qorResult result;
    std::string notLoggedIn;
    if (!EnterSession(result, notLoggedIn)) return FailAndLog(kCannotCreate, result.GetCode(), notLoggedIn, message);
    const ChangeListResult created = m_backend->CreateChangeList(Session(), description);
    if (created.Failed()) return FailAndLog(kCannotCreate, created.code, created.text, message);
    changeList = created.changeList;
    return qor4::kResultOk;
}

qor4::qorResult DataControl::CheckOut(const qor4::DbObjectList& objects, bool includeExternal,
                                      const qor4::DataControlContext&, const std::string& changeList,
                                      std::string& errorText)
{
    return ChangeFiles(objects, includeExternal, changeList, errorText, &RevisionBackend::Edit);
}

qor4::qorResult DataControl::MarkForAdd(const qor4::DbObjectList& objects, bool includeExternal,
                                        const qor4::DataControlContext&, const std::string& changeList,
                                        std::string& errorText)
{
    return ChangeFiles(objects, includeExternal, changeList, errorText, &RevisionBackend::Add);
}

qor4::qorResult DataControl::ChangeFiles(const qor4::DbObjectList& objects, bool includeExternal,
                                         const std::string& changeList, std::string& errorText,
                                         const FileChange& change)
{
    std::vector<std::string> files;
    if (!ListFiles(objects, includeExternal, files)) return Fail(kResultInvalidObject, kInvalidObjectText, errorText);
    qor4::qorResult result;
    if (!EnterSession(result, errorText)) return result;
    const ServerResult changed = change(*m_backend, Session(), files, changeList);
    // A warning (a positive code) reaches the caller as it is, like a failure.
    if (changed.code != qor4::kResultOk) return Fail(changed.code, changed.text, errorText);
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetAccessStates(const qor4::DbObjectList& objects, bool includeExternal,
                                             const qor4::DataControlContext&, bool /*refresh*/,
                                             std::list<qor4::StatusWord>& states, std::string& message)
{
    // Each file once, in first-seen order; each object's word is the OR of its files' words. The
    // names are looked up by views into the objects' own, which nothing changes during the call:
    // at 100,000 objects a copy and a list per object cost a tenth of the whole query.
    std::vector<std::size_t> fileIndices; // every object's files, one object after the other
    std::vector<std::size_t> objectEnds;  // where each object's files end in fileIndices
    std::vector<std::string> files;
    PathIndex indexOf(objects.size());
    objectEnds.reserve(objects.size());
    fileIndices.reserve(objects.size());
    files.reserve(objects.size());
    const auto take = [&](const std::string& file) {
        const std::size_t index = indexOf.Insert(file, files.size());
        if (index == files.size()) files.push_back(file);
        fileIndices.push_back(index);
    };
    for (const auto& object : objects) {
        if (!VisitFiles(object, includeExternal, take)) return Fail(kResultInvalidObject, kInvalidObjectText, message);
        objectEnds.push_back(fileIndices.size());
    }
    qor4::qorResult result;
    if (!EnterSession(result, message)) return result;
    const StatusResult status = m_backend->Status(Session(), files, StatusScope::kWithRepository);
    if (status.Failed()) return Fail(status.code, status.text, message);
    std::size_t begin = 0;
    for (const std::size_t end : objectEnds) {
        qor4::StatusWord word = 0;
        for (std::size_t i = begin; i < end; ++i)
            if (fileIndices[i] < status.words.size()) word |= status.words[fileIndices[i]];
        states.push_back(word);
        begin = end;
    }
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetObjectUsers(const qor4::DbObjectHandle& object, bool includeExternal,
                                            const qor4::DataControlContext&, std::list<std::string>& users,
                                            std::string& message)
{
    std::vector<std::string> files;
    if (!ObjectFiles(object, includeExternal, files)) return Fail(kResultInvalidObject, kInvalidObjectText, message);
    qor4::qorResult result;
    if (!EnterSession(result, message)) return result;
    const UsersResult found = m_backend->Users(Session(), files, true);
    if (found.Failed()) return Fail(found.code, found.text, message);
    for (const std::string& user : found.users)
        if (std::find(users.begin(), users.end(), user) == users.end()) users.push_back(user);
    return qor4::kResultOk;
}

bool DataControl::IsReadOnly(const qor4::DbObjectHandle& object, bool includeExternal, const qor4::DataControlContext&)
{
    // Asked of every dirty object at every save: the files are looked at where they are kept.
    const DbObject* found = ToDbObject(object);
    if (!found || !found->IsAlive() || !found->GetOwningAsset()) return false;
    const std::string& assetFile = found->GetAssetFile();
    if (!assetFile.empty() && IsReadOnlyOnDisk(assetFile)) return true;
    if (!includeExternal) return false;
    const std::vector<std::string>& external = found->GetExternalFiles();
    return std::any_of(external.begin(), external.end(), [found](const std::string& file) {
        return IsOwnExternalFile(*found, file) && IsReadOnlyOnDisk(file);
    });
}

bool DataControl::QueryObjectFlag(const qor4::DbObjectHandle& object, bool includeExternal,
                                  const qor4::DataControlContext&)
{
    std::vector<std::string> files;
    qor4::qorResult result;
    std::string ignored;
    if (!ObjectFiles(object, includeExternal, files) || files.empty() || !EnterSession(result, ignored)) return false;
    const StatusResult status = m_backend->Status(Session(), files, StatusScope::kWithRepository);
    if (status.Failed() || status.words.size() != files.size()) return false;
    return std::all_of(status.words.begin(), status.words.end(),
                       [](qor4::StatusWord word) { return (word & kOpenedByUser) != 0; });
}

qor4::qorResult DataControl::QueryObjectState(const qor4::DbObjectHandle& object, bool includeExternal,
                                              const qor4::DataControlContext&, bool& isControlled)
{
    isControlled = false;
    std::vector<std::string> files;
    std::string ignored;
    if (!ObjectFiles(object, includeExternal, files)) return kResultInvalidObject;
    qor4::qorResult result;
    if (!EnterSession(result, ignored)) return result;
    const StatusResult status = m_backend->Status(Session(), files, StatusScope::kWithRepository);
    if (status.Failed()) return status.code;
    isControlled = !files.empty() && std::all_of(status.words.begin(), status.words.end(), [](qor4::StatusWord word) {
        return (word & fs::kNotInDepot) == 0 || (word & fs::kMarkedForAdd) != 0;
    });
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetObjectFileList(const qor4::DbObjectHandle& object, bool includeExternal,
                                               const qor4::DataControlContext&, bool onlyExisting,
                                               std::set<std::string>& files)
{
    std::vector<std::string> found;
    if (!ObjectFiles(object, includeExternal, found)) return kResultInvalidObject;
    for (const std::string& file : found)
        if (!onlyExisting || FileExists(file)) files.insert(file);
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetObjectFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext&,
                                            std::set<std::string>& files)
{
    std::vector<std::string> found;
    if (!ObjectFiles(object, true, found)) return kResultInvalidObject;
    files.insert(found.begin(), found.end());
    return qor4::kResultOk;
}

qor4::qorResult DataControl::MakeWritable(const qor4::DbObjectHandle& object, bool includeExternal,
                                          const qor4::DataControlContext&, std::string& errorText)
{
    std::vector<std::string> files;
    if (!ObjectFiles(object, includeExternal, files)) return Fail(kResultInvalidObject, kInvalidObjectText, errorText);
    files.erase(std::remove_if(files.begin(), files.end(), [](const std::string& file) { return !FileExists(file); }),
                files.end());
    qor4::qorResult result;
    if (!EnterSession(result, errorText)) return result;
    if (files.empty()) return qor4::kResultOk;
    const ServerResult done = m_backend->MakeWritable(Session(), files);
    if (done.code != qor4::kResultOk) return Fail(done.code, done.text, errorText);
    return qor4::kResultOk;
}

qor4::qorResult DataControl::GetFiles(const qor4::DbObjectList& objects, bool includeExternal,
                                      const qor4::DataControlContext&, bool onlyExisting, std::set<std::string>& files,
                                      std::vector<std::set<std::string>>& filesPerObject)
{
    for (const auto& object : objects) {
        std::vector<std::string> found;
        if (!ObjectFiles(object, includeExternal, found)) return kResultInvalidObject;
        std::set<std::string> own;
        for (const std::string& file : found)
            if (!onlyExisting || FileExists(file)) own.insert(file);
        files.insert(own.begin(), own.end());
        filesPerObject.push_back(std::move(own));
    }
    return qor4::kResultOk;
}

qor4::qorResult DataControl::CollectAssets(const qor4::DataControlContext&, const qor4::DbObjectList& objects,
                                           int /*flags*/, std::set<qor4::DbObjectHandle>& assets)
{
    for (const auto& object : objects) {
        const DbObject* found = ToDbObject(object);
        if (!found || !found->IsAlive() || !found->GetOwningAsset()) continue;
        assets.insert(qor4::DbObjectHandle(
            qor4::QORPtr<qor4::IDbObject>(static_cast<qor4::IDbObject*>(found->GetOwningAsset()))));
    }
    return qor4::kResultOk;
}

qor4::qorResult DataControl::CollectRelatedObjects(const qor4::DbObjectList& objects,
                                                   std::set<qor4::DbObjectHandle>& related)
{
    for (const auto& object : objects) {
        const DbObject* found = ToDbObject(object);
        if (!found) continue;
        for (DbObject* other : found->GetRelatedObjects()) {
            if (!other->IsAlive()) continue;
            qor4::DbObjectHandle handle(qor4::QORPtr<qor4::IDbObject>(static_cast<qor4::IDbObject*>(other)));
            if (std::find(objects.begin(), objects.end(), handle) == objects.end()) related.insert(handle);
        }
    }
    return qor4::kResultOk;
}

qor4::qorResult DataControl::SetUserParameters(const qor4::IUserParameters* parameters)
{
    if (!parameters) {
        m_account = m_accounts ? m_accounts->Waiting() : nullptr;
        accountChanged(m_account);
        return qor4::kResultOk;
    }
    const auto* account = dynamic_cast<const UserParameters*>(parameters);
    if (!account) return kResultForeignAccount;
    m_account = account;
    accountChanged(account);
    return qor4::kResultOk;
}

const qor4::IUserParameters* DataControl::GetCurrentUserParameters()
{
    return m_account;
}

std::string DataControl::GetObjectName(const qor4::DbObjectHandle& object, const qor4::DataControlContext&)
{
    const DbObject* found = ToDbObject(object);
    return found ? found->GetName() : std::string();
}

bool DataControl::QueryObjectInContext(const qor4::DataControlContext&, const qor4::DbObjectHandle& object)
{
    std::vector<std::string> files;
    if (!m_account || !ObjectFiles(object, true, files) || files.empty()) return false;
    const QString root = QString::fromStdString(m_account->Workspace());
    if (root.isEmpty()) return false;
    const QString prefix = QDir::cleanPath(root) + QLatin1Char('/');
    return std::all_of(files.begin(), files.end(), [&prefix](const std::string& file) {
        return QDir::cleanPath(QString::fromStdString(file)).startsWith(prefix);
    });
}

bool DataControl::HasExternalFiles(const qor4::DbObjectHandle& object, const qor4::DataControlContext&)
{
    const DbObject* found = ToDbObject(object);
    if (!found) return false;
    const std::vector<std::string>& external = found->GetExternalFiles();
    return std::any_of(external.begin(), external.end(),
                       [found](const std::string& file) { return IsOwnExternalFile(*found, file); });
}

} // namespace standin
