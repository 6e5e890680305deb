// DemoHost's view of its assets: which are alive, deleted or unsaved, and the states of their
// files on disk and on the server.
#include "DemoHost.h"

#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"
#include "framework/System.h"
#include "revisioncontrol/UserParameters.h"
#include "revisioncontrol/WorkerBackend.h"

#include <QDir>

#include <algorithm>
#include <filesystem>

namespace demo {

std::vector<standin::DbObject*> DemoHost::Assets() const
{
    std::vector<standin::DbObject*> assets;
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->IsAsset() && object->IsAlive()) assets.push_back(object);
    return assets;
}

std::vector<standin::DbObject*> DemoHost::DeletedAssets() const
{
    std::vector<standin::DbObject*> assets;
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->IsAsset() && !object->IsAlive() && !Manager().IsForgotten(object)) assets.push_back(object);
    return assets;
}

standin::DbObject* DemoHost::FindAsset(const std::string& name) const
{
    const std::vector<standin::DbObject*> assets = Assets();
    const auto found = std::find_if(assets.begin(), assets.end(),
                                    [&name](const standin::DbObject* asset) { return asset->GetName() == name; });
    return found == assets.end() ? nullptr : *found;
}

std::unordered_set<const standin::DbObject*> DemoHost::DirtyAssets() const
{
    std::unordered_set<const standin::DbObject*> dirty;
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->GetOwningAsset() && object->IsAlive() && object->IsDirty()) dirty.insert(object->GetOwningAsset());
    return dirty;
}

bool DemoHost::IsDirty(const standin::DbObject* asset) const
{
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->GetOwningAsset() == asset && object->IsAlive() && object->IsDirty()) return true;
    return false;
}

const standin::UserParameters* DemoHost::Account() const
{
    if (!m_session || !m_session->Control()) return nullptr;
    return dynamic_cast<const standin::UserParameters*>(m_session->Control()->GetCurrentUserParameters());
}

bool DemoHost::IsSessionAlive()
{
    // The status of a file that is not there still asks the server whether the session is alive.
    const standin::SessionId session = Session();
    return session && m_session->Backend()
                          .Status(session, {Workspace() + "/.probe"}, standin::StatusScope::kWithRepository)
                          .Succeeded();
}

bool DemoHost::WaitingForServer() const
{
    const standin::SessionId session = Session();
    return session && m_session->Worker().WaitingForServer() && m_session->Worker().IsSessionOpen(session);
}

std::string DemoHost::NotConnectedText() const
{
    return standin::ServerText::OfSession("Revision control is not connected", m_user, ServerUrl()) + ".";
}

std::string DemoHost::WaitingForServerText() const
{
    return "The server at " + ServerUrl() +
           " has not answered since the last operation was cancelled; the session of " + m_user +
           " is kept and goes on without a password once the server answers.";
}

std::string DemoHost::DepotPathOf(const std::string& localFile) const
{
    // The common case without Qt's path machinery: one look per file of a large project.
    const std::string& root = Workspace();
    if (localFile.size() > root.size() + 1 && localFile.compare(0, root.size(), root) == 0 &&
        localFile[root.size()] == '/' && localFile.find("/.") == std::string::npos &&
        localFile.find("//") == std::string::npos)
        return localFile.substr(root.size() + 1);
    return QDir(QString::fromStdString(root)).relativeFilePath(QString::fromStdString(localFile)).toStdString();
}

std::vector<FileState> DemoHost::DiskStates(const std::vector<standin::DbObject*>& assets,
                                            std::vector<std::size_t>* filesPerAsset) const
{
    std::vector<FileState> states;
    states.reserve(assets.size());
    for (const standin::DbObject* asset : assets) {
        const std::size_t before = states.size();
        AppendDiskStates(*asset, states);
        if (filesPerAsset) filesPerAsset->push_back(states.size() - before);
    }
    return states;
}

void DemoHost::AppendDiskStates(const standin::DbObject& asset, std::vector<FileState>& states) const
{
    for (const std::string& file : standin::AssetFilePaths(asset)) {
        FileState state;
        state.localPath = file;
        state.depotPath = DepotPathOf(file);
        state.exists = standin::FileExists(file);
        state.readOnly = state.exists && standin::IsReadOnlyOnDisk(file);
        // A link is shown as what it is, not as what it points to.
        std::error_code notLink;
        if (state.exists) state.linkTarget = std::filesystem::read_symlink(file, notLink).string();
        states.push_back(std::move(state));
    }
}

bool DemoHost::AddServerStates(standin::SessionId session, std::vector<FileState>& states) const
{
    if (!session || states.empty()) return false;
    standin::FileList files;
    files.reserve(states.size());
    for (const FileState& state : states)
        files.push_back(state.localPath);
    // Straight to the worker: the services' own memo belongs to the thread that saves.
    standin::RevisionBackend& backend = m_session->Worker();
    const standin::StatusResult status = backend.Status(session, files, standin::StatusScope::kWithRepository);
    if (status.Failed() || status.words.size() != states.size()) return false;
    constexpr qor4::StatusWord kHeldByOthers =
        qor4::FileStatus::kCheckedOutByOther | qor4::FileStatus::kMarkedForAddByOther |
        qor4::FileStatus::kMarkedForDeleteByOther | qor4::FileStatus::kLockedByOther;
    for (std::size_t i = 0; i < states.size(); ++i) {
        states[i].statusKnown = true;
        states[i].status = status.words[i];
        states[i].changeList = status.changeLists[i];
        if ((status.words[i] & kHeldByOthers) == 0) continue;
        const standin::UsersResult users = backend.Users(session, {files[i]}, true);
        if (users.Succeeded()) states[i].holders = users.users;
    }
    return true;
}

std::vector<ChangeListInfo> DemoHost::PendingChangeLists()
{
    std::vector<ChangeListInfo> lists;
    if (!IsSessionAlive()) return lists;
    const standin::ChangeListsResult pending = m_session->Backend().PendingChangeLists(Session());
    for (const std::string& number : pending.changeLists)
        lists.push_back({number, m_session->Backend().ChangeListDescription(Session(), number).description});
    return lists;
}

} // namespace demo
