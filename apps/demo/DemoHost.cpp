#include "DemoHost.h"

#include "CZRRevisionControlPropertiesMgr.h"

#include "CommandManager.h"
#include "DbObject.h"
#include "ModelAssetFiles.h"
#include "PluginLoader.h"
#include "PrefManager.h"
#include "QORDBProxy.h"
#include "RevisionServer.h"
#include "System.h"
#include "UserParameters.h"

#include "qor4/IRevisionControlUIHelper.h"

#include <QDir>

#include <algorithm>

namespace demo {

namespace {

constexpr const char* kUIHelperName = "RevisionControlUIHelper";
constexpr const char* kMetadataSuffix = ".meta";
constexpr const char* kNewAssetFolder = "props/";
constexpr const char* kAssetExtension = ".qor";
constexpr const char* kTextureSuffix = "_map";
constexpr const char* kTextureExtension = ".tex";

namespace PrefKeys {
constexpr const char* kUserName = "RevControl.UserName";
constexpr const char* kServer = "RevControl.Server";
constexpr const char* kWorkspace = "RevControl.Workspace";
constexpr const char* kUseSourceDataControl = "RevControl.UseSourceDataControl";
} // namespace PrefKeys

// Operations that take a while when slow operations are switched on.
const char* const kSlowOperations[] = {standin::ServerOp::kEdit, standin::ServerOp::kAdd, standin::ServerOp::kDelete,
                                       standin::ServerOp::kRevert, standin::ServerOp::kMakeWritable};

qor4::QORHandle<qor4::IDbObject> HandleOf(standin::DbObject* object)
{
    return standin::DataModelMgr::MakeHandle(object);
}

} // namespace

DemoHost::DemoHost(QString dataDir, std::string user)
    : m_dataDir(std::move(dataDir)), m_user(std::move(user)), m_project(m_dataDir)
{
}

DemoHost::~DemoHost()
{
    Shutdown();
}

HostStart DemoHost::Start()
{
    HostStart start;
    if (!m_project.Exists()) {
        const ProjectOutcome created = m_project.Create();
        if (!created.ok) {
            start.error = created.error;
            return start;
        }
    }
    try {
        m_server = std::make_shared<standin::RevisionServer>(m_project.DatabasePath());
    } catch (const std::exception& error) {
        start.error = std::string("cannot open the depot: ") + error.what();
        return start;
    }
    const ProjectOutcome prepared = m_project.PrepareWorkspace(*m_server, m_user);
    if (!prepared.ok) {
        start.error = prepared.error;
        return start;
    }
    start = StartHost();
    if (start.ok) start = LoadAssets();
    return start;
}

HostStart DemoHost::StartHost()
{
    HostStart start;
    m_session = std::make_unique<standin::ModelSession>(m_server);
    standin::System& system = standin::System::Instance();

    auto* prefs = new standin::PrefManager(m_project.PreferencesPath(m_user));
    system.RegisterSingleton(standin::PrefManager::kSingletonName, prefs);
    // First start of this user: the host's own account settings, and revision control on.
    if (!prefs->RawValue(PrefKeys::kUserName)) {
        prefs->SetStringPref(PrefKeys::kUserName, m_user, true);
        prefs->SetStringPref(PrefKeys::kServer, m_server->ServerAddress(), true);
        prefs->SetStringPref(PrefKeys::kWorkspace, Workspace(), true);
        prefs->SetBoolPref(PrefKeys::kUseSourceDataControl, true, true);
    }
    m_commands = new standin::CommandManager();
    system.RegisterSingleton(standin::CommandManager::kSingletonName, m_commands);
    m_proxy = new standin::QORDBProxy();
    system.RegisterSingleton(standin::QORDBProxy::kSingletonName, m_proxy);
    m_started = true;
    auto* properties = new CZRRevisionControlPropertiesMgr();
    system.RegisterSingleton(CZRRevisionControlPropertiesMgr::GetSingletonName(), properties);
    m_properties = properties;

    const QString module = standin::PluginLoader::ModulePath(kModuleName, QStringLiteral(ZR_DEMO_MODULE_DIR));
    const standin::PluginLoader::Result loaded = standin::PluginLoader::Load(module);
    if (!loaded.registered) {
        start.error = loaded.error;
        return start;
    }
    m_helper = dynamic_cast<qor4::IRevisionControlUIHelper*>(system.GetSingleton(kUIHelperName));
    if (!m_helper) {
        start.error = std::string("the plug-in did not provide ") + kUIHelperName;
        return start;
    }
    m_proxy->SetDataModelMgr(m_session->ManagerInterface());
    m_proxy->SetItemLibrary(m_session->Library().GetAccessor());

    const standin::ModelSession::LoginOutcome login = m_session->Login(m_user, SampleUsers::kPassword, Workspace());
    if (!login.Succeeded()) {
        start.error = "cannot log in as " + m_user + ": " + login.message;
        return start;
    }
    start.ok = true;
    return start;
}

HostStart DemoHost::LoadAssets()
{
    HostStart start;
    const ManifestLoad manifest = LoadManifest(m_project.ManifestPath(m_user));
    if (!manifest.ok) {
        start.error = manifest.error;
        return start;
    }
    for (const ManifestAsset& asset : manifest.assets)
        AddAsset(asset.name, asset.depotFiles, true);
    start.ok = true;
    return start;
}

void DemoHost::Shutdown()
{
    if (!m_started) return;
    m_started = false;
    m_proxy->ReleaseItemLibrary();
    if (m_session->FileControl()) m_session->FileControl()->SetTimeOutDelegate(nullptr);
    m_commands->Clear();
    // Term, then deletion of every singleton, the plug-in's helper and preference manager included.
    standin::System::Instance().Shutdown();
    m_helper = nullptr;
    m_properties = nullptr;
    m_session.reset();
    m_server.reset();
}

standin::DbObject* DemoHost::AddAsset(const std::string& name, const std::vector<std::string>& depotFiles, bool saved)
{
    std::vector<std::string> localFiles;
    for (const std::string& file : depotFiles)
        localFiles.push_back(m_server->LocalPath(Workspace(), file).toStdString());
    const std::string assetFile = localFiles.front();
    localFiles.erase(localFiles.begin());
    standin::DbObject* asset = Manager().CreateAsset({name, assetFile, localFiles, saved});
    // Editors change an asset through the objects saved in it.
    standin::DbObject* metadata = Manager().AddObject(asset, name + kMetadataSuffix, standin::ObjectKind::Metadata);
    if (saved) {
        metadata->SetAncestor(qor4::VersionId(standin::DataModelMgr::kFirstVersion));
        metadata->SetDirty(false);
    }
    return asset;
}

standin::DbObject* DemoHost::EditableObjectOf(const standin::DbObject* asset) const
{
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->GetOwningAsset() == asset && object->GetKind() == standin::ObjectKind::Metadata) return object;
    return nullptr;
}

bool DemoHost::EditAsset(standin::DbObject* asset)
{
    if (!asset || !asset->IsAlive()) return false;
    if (!m_helper->PromptCheckOutObjects({HandleOf(asset)}, true, true, kEditPromptMessage)) return false;
    if (standin::DbObject* object = EditableObjectOf(asset)) Manager().MarkDirty(object);
    return true;
}

void DemoHost::DiscardEdit(standin::DbObject* asset)
{
    for (standin::DbObject* object : Manager().GetObjects())
        if (object->GetOwningAsset() == asset && !object->GetAncestorId().IsNull()) object->SetDirty(false);
}

bool DemoHost::CheckOutAsset(standin::DbObject* asset, bool& cancelled)
{
    cancelled = false;
    return m_helper->CheckOutObjects({HandleOf(asset)}, &cancelled, true);
}

bool DemoHost::MakeAssetWritable(standin::DbObject* asset)
{
    return m_helper->MakeObjectWritable(HandleOf(asset), true);
}

void DemoHost::ShowAssetFiles(standin::DbObject* asset, bool inFileManager)
{
    m_helper->ShowAssetFiles(HandleOf(asset), inFileManager);
}

standin::DbObject* DemoHost::CreateAsset(const std::string& name, int externalFiles)
{
    if (name.empty() || FindAsset(name)) return nullptr;
    std::vector<std::string> depotFiles{kNewAssetFolder + name + kAssetExtension};
    for (int i = 1; i <= externalFiles; ++i)
        depotFiles.push_back(kNewAssetFolder + name + kTextureSuffix + std::to_string(i) + kTextureExtension);
    for (const std::string& file : depotFiles)
        if (standin::FileExists(m_server->LocalPath(Workspace(), file).toStdString())) return nullptr;
    return AddAsset(name, depotFiles, false);
}

void DemoHost::DeleteAsset(standin::DbObject* asset)
{
    Manager().DeleteAsset(asset);
}

standin::SaveResult DemoHost::Save()
{
    standin::SaveResult result = Library().Save();
    std::string error;
    if (!result.vetoed && !WriteManifest(error)) result.failures.push_back({"", "", error});
    return result;
}

bool DemoHost::WriteManifest(std::string& error)
{
    std::vector<ManifestAsset> assets;
    for (standin::DbObject* asset : Assets()) {
        if (asset->GetAncestorId().IsNull()) continue; // never saved
        ManifestAsset entry{asset->GetName(), {DepotPathOf(asset->GetAssetFile())}};
        for (const std::string& file : asset->GetExternalFiles())
            entry.depotFiles.push_back(DepotPathOf(file));
        assets.push_back(std::move(entry));
    }
    return SaveManifest(m_project.ManifestPath(m_user), assets, error);
}

void DemoHost::SetSlowOperations(bool slow)
{
    m_slow = slow;
    for (const char* operation : kSlowOperations)
        m_server->SetSlow(operation, slow ? kSlowOperationMs : 0);
}

void DemoHost::ExpireSession()
{
    const standin::UserParameters* account = Account();
    if (!account) return;
    m_server->UseSession(account->Session());
    m_server->ExpireSession();
}

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
        if (object->IsAsset() && !object->IsAlive()) assets.push_back(object);
    return assets;
}

standin::DbObject* DemoHost::FindAsset(const std::string& name) const
{
    const std::vector<standin::DbObject*> assets = Assets();
    const auto found = std::find_if(assets.begin(), assets.end(),
                                    [&name](const standin::DbObject* asset) { return asset->GetName() == name; });
    return found == assets.end() ? nullptr : *found;
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
    const standin::UserParameters* account = Account();
    return account && m_server->IsSessionAlive(account->Session());
}

std::string DemoHost::DepotPathOf(const std::string& localFile) const
{
    return QDir(m_project.WorkspaceRoot(m_user)).relativeFilePath(QString::fromStdString(localFile)).toStdString();
}

std::vector<FileState> DemoHost::FileStates(const standin::DbObject* asset)
{
    std::vector<FileState> states;
    standin::FileList depotFiles;
    for (const std::string& file : standin::AssetFilePaths(*asset)) {
        FileState state;
        state.localPath = file;
        state.depotPath = DepotPathOf(file);
        state.exists = standin::FileExists(file);
        state.readOnly = state.exists && standin::IsReadOnlyOnDisk(file);
        states.push_back(state);
        depotFiles.push_back(state.depotPath);
    }
    if (!IsSessionAlive()) return states;
    m_server->UseSession(Account()->Session());
    const standin::StatusResult status = m_server->Status(depotFiles);
    if (status.Failed() || status.words.size() != states.size()) return states;
    for (std::size_t i = 0; i < states.size(); ++i) {
        states[i].statusKnown = true;
        states[i].status = status.words[i];
        states[i].changeList = status.changeLists[i];
        const standin::UsersResult users = m_server->Users({depotFiles[i]}, true);
        if (users.Succeeded()) states[i].holders = users.users;
    }
    return states;
}

std::vector<ChangeListInfo> DemoHost::PendingChangeLists()
{
    std::vector<ChangeListInfo> lists;
    if (!IsSessionAlive()) return lists;
    m_server->UseSession(Account()->Session());
    const standin::ChangeListsResult pending = m_server->PendingChangeLists();
    for (const std::string& number : pending.changeLists)
        lists.push_back({number, m_server->ChangeListDescription(number).description});
    return lists;
}

} // namespace demo
