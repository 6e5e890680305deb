#include "DemoHost.h"
#include "NewAssetName.h"
#include "WorkingCopyScan.h"

#include "CZRRevisionControlPropertiesMgr.h"

#include "DemoMessageBox.h"
#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"
#include "framework/CommandManager.h"
#include "framework/PrefManager.h"
#include "framework/PrintableText.h"
#include "framework/QORDBProxy.h"
#include "framework/System.h"
#include "revisioncontrol/UserParameters.h"
#include "subversion/SvnBackend.h"
#include "testkit/DelayRelay.h"
#include "testkit/RepositoryServer.h"

#include "Log/Log.h"
#include "qor4/IRevisionControlUIHelper.h"

#include <QDir>

#include <QMessageBox>
#include <QPushButton>

#include <filesystem>

namespace demo {

namespace {

constexpr const char* kMetadataSuffix = ".meta";
constexpr const char* kNewAssetFolder = "props/";
constexpr const char* kAssetExtension = ".qor";
constexpr const char* kTextureSuffix = "_map";
constexpr const char* kTextureExtension = ".tex";

qor4::QORHandle<qor4::IDbObject> HandleOf(standin::DbObject* object)
{
    return standin::DataModelMgr::MakeHandle(object);
}

} // namespace

DemoHost::DemoHost(QString dataDir, std::string user, ServerChoice choice)
    : m_dataDir(std::move(dataDir)), m_user(std::move(user)), m_project(m_dataDir), m_choice(std::move(choice)),
      m_ownServer(m_choice.url.empty())
{
    std::error_code ignored;
    m_choice.workspace = m_ownServer
                             ? m_project.WorkingCopy(m_user).toStdString()
                             : std::filesystem::absolute(m_choice.workspace, ignored).lexically_normal().string();
}

DemoHost::~DemoHost()
{
    Shutdown();
}

bool DemoHost::AskAboutCertificate(const standin::ServerCertificate& certificate)
{
    QMessageBox box(QMessageBox::Warning, QObject::tr("Server Certificate Not Trusted"),
                    QObject::tr("The certificate of the server at %1 is not trusted: %2.")
                        .arg(QString::fromStdString(certificate.server), QString::fromStdString(certificate.problems)),
                    QMessageBox::NoButton);
    box.setObjectName(kCertificateBoxName);
    box.setInformativeText(
        QObject::tr("Subject: %1\nIssuer: %2\nSHA-1 fingerprint: %3\nValid from %4 until %5")
            .arg(QString::fromStdString(certificate.subject), QString::fromStdString(certificate.issuer),
                 QString::fromStdString(certificate.fingerprint), QString::fromStdString(certificate.validFrom),
                 QString::fromStdString(certificate.validUntil)));
    QPushButton* accept = box.addButton(QObject::tr("Accept for This Session"), QMessageBox::AcceptRole);
    accept->setObjectName(kAcceptCertificateName);
    box.setDefaultButton(box.addButton(QObject::tr("Reject"), QMessageBox::RejectRole));
    // Host names, subjects and issuers are the server's words.
    DemoMessageBox::MakePlain(box);
    box.exec();
    return box.clickedButton() == accept;
}

HostStart DemoHost::Start()
{
    HostStart start;
    if (m_ownServer) {
        const bool created = m_project.Exists();
        m_server = m_project.StartServer(m_choice.https, start.error);
        if (!m_server) return start;
        m_choice.url = m_server->Url();
        const ProjectOutcome prepared =
            created ? m_project.PrepareWorkingCopy(*m_server, m_user) : m_project.Create(*m_server);
        if (!prepared.ok) {
            start.error = prepared.error;
            return start;
        }
        if (m_choice.linkDelayMs >= 0 && !PutServerAtADistance(start.error)) return start;
    } else {
        start.error = standin::SvnBackend::WorkspaceProblem(m_choice.workspace, m_choice.url);
        if (!start.error.empty()) {
            start.error.pop_back(); // the line's end
            return start;
        }
    }
    start = StartHost();
    if (start.ok) start = LoadAssets();
    return start;
}

bool DemoHost::PutServerAtADistance(std::string& error)
{
    m_relay = std::make_unique<standin::DelayRelay>("127.0.0.1", m_server->Port(),
                                                    std::chrono::milliseconds(m_choice.linkDelayMs));
    if (!m_relay->Error().empty()) {
        error = m_relay->Error();
        return false;
    }
    // The working copy names the server it talks to: the relay, until the next start moves it back.
    m_choice.url = m_relay->UrlThrough(m_server->Url());
    return m_server->Relocate(m_user, m_choice.workspace, error, m_choice.url);
}

HostStart DemoHost::StartHost()
{
    standin::AssemblyOptions options;
    options.host.configFolder = !m_choice.configFolder.empty() ? m_choice.configFolder
                                : m_server                     ? m_server->ClientConfigFolder()
                                                               : std::string();
    options.host.lockServer = m_choice.lockServer;
    if (m_choice.sessionLifetimeSeconds > 0)
        options.host.sessionLifetime = std::chrono::seconds(m_choice.sessionLifetimeSeconds);
    options.host.preferencesFile = m_project.PreferencesPath(m_user).toStdString();
    // The Simulate menu's simulations plug the fault decorator in.
    options.faults = standin::FaultPlug::kOnDemand;
    options.pluginModule = kModuleName;
    options.pluginDirectory = ZR_DEMO_MODULE_DIR;
    options.preferenceManager = [] { return static_cast<lark::IBase*>(new CZRRevisionControlPropertiesMgr()); };
    // The sample project's password is known; with a repository of the user's own, the plug-in asks
    // for it at the first operation. The demo's server has a new port every start.
    options.account = {m_user, m_ownServer ? SampleUsers::kPassword : std::string(), ServerUrl(), Workspace(),
                       m_ownServer};
    // Revision control on at the first start; later the user's choice stays.
    options.revisionControl = standin::RevisionControlSwitch::kOnAtFirstStart;
    m_host = std::make_unique<standin::HostAssembly>(std::move(options));
    m_session = &m_host->Model();
    if (m_session->Control())
        m_accountChanged = m_session->Control()->accountChanged.connect([this](const standin::UserParameters* account) {
            if (m_expiredSession != 0 && (!account || account->Session() != m_expiredSession)) {
                m_expiredSession = 0;
                EndIdleSimulations();
            }
        });
    if (m_session->FileControl()) m_session->FileControl()->SetCertificateQuestion(&AskAboutCertificate);
    m_started = true;
    const standin::HostAssembly::Started started = m_host->Start();
    m_properties = dynamic_cast<IRevisionControlPropertiesMgr*>(m_host->PreferenceManager());
    m_helper = m_host->Helper();
    return {started.ok, started.error};
}

HostStart DemoHost::LoadAssets()
{
    HostStart start;
    ManifestLoad manifest;
    if (m_ownServer) {
        manifest = LoadManifest(m_project.ManifestPath(m_user));
    } else {
        manifest.ok = true;
        manifest.assets = ScanWorkingCopy(QString::fromStdString(Workspace()));
    }
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
    m_accountChanged.disconnect();
    m_host->Host().CloseDataBase();
    // Term, then deletion of every singleton, the plug-in's helper and preference manager included.
    standin::System::Instance().Shutdown();
    m_helper = nullptr;
    m_properties = nullptr;
    m_session = nullptr;
    m_host.reset();
    m_relay.reset();
    m_server.reset();
}

standin::SessionId DemoHost::Session() const
{
    const standin::UserParameters* account = Account();
    return account ? account->Session() : 0;
}

standin::DbObject* DemoHost::AddAsset(const std::string& name, const std::vector<std::string>& depotFiles, bool saved)
{
    std::vector<std::string> localFiles;
    for (const std::string& file : depotFiles)
        localFiles.push_back(
            QDir(QString::fromStdString(Workspace())).filePath(QString::fromStdString(file)).toStdString());
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

standin::DbObject* DemoHost::CreateAsset(const std::string& name, int externalFiles, std::string* refusal)
{
    std::string problem = NewAssetNameProblem(name);
    if (problem.empty() && FindAsset(name)) problem = "An asset of that name exists already.";
    std::vector<std::string> depotFiles{kNewAssetFolder + name + kAssetExtension};
    for (int i = 1; i <= externalFiles; ++i)
        depotFiles.push_back(kNewAssetFolder + name + kTextureSuffix + std::to_string(i) + kTextureExtension);
    for (const std::string& file : depotFiles)
        if (problem.empty() && standin::FileExists(Workspace() + "/" + file))
            problem = "The working copy holds the file " + file + " already.";
    if (!problem.empty()) {
        if (refusal) *refusal = problem;
        return nullptr;
    }
    return AddAsset(name, depotFiles, false);
}

void DemoHost::DeleteAsset(standin::DbObject* asset)
{
    Manager().DeleteAsset(asset);
}

SaveOutcome DemoHost::Save()
{
    SaveOutcome outcome;
    static_cast<standin::SaveResult&>(outcome) = Library().Save();
    std::string error;
    if (!outcome.vetoed && !WriteManifest(error)) outcome.failures.push_back({"", "", error});
    if (m_session->Control()) outcome.leftOut = standin::FindLeftOut(*m_session->Control(), outcome);
    if (!outcome.leftOut.Empty()) Log::Singleton::Instance() << Log::MsgType::Warning << outcome.leftOut.Describe();
    return outcome;
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

standin::ChangeListResult DemoHost::Submit(const std::string& changeList)
{
    return m_session->Backend().Submit(Session(), changeList);
}

RescanOutcome DemoHost::Rescan()
{
    const RescanOutcome outcome =
        RescanAssets(Manager(), QString::fromStdString(Workspace()),
                     [this](const ManifestAsset& asset) { AddAsset(asset.name, asset.depotFiles, true); });
    auto tell = [](const char* what, const std::vector<std::string>& names) {
        std::string line = what;
        for (const std::string& name : names)
            line += (&name == &names.front() ? " " : ", ") + standin::PrintableText(name);
        Log::Singleton::Instance() << Log::MsgType::Info << line;
    };
    if (!outcome.added.empty()) tell("Refresh: new in the working copy:", outcome.added);
    if (!outcome.dropped.empty()) tell("Refresh: gone from the working copy:", outcome.dropped);
    if (!outcome.keptEdited.empty())
        tell("Refresh: gone from the working copy, kept for their unsaved edits:", outcome.keptEdited);
    return outcome;
}

standin::StatusResult DemoHost::StatusAs(const std::string& user, const std::vector<std::string>& relativeFiles)
{
    standin::StatusResult result;
    if (!m_server) {
        result.code = standin::ServerCode::kLoginFailed;
        result.text = "no sample project\n";
        return result;
    }
    const std::string workingCopy = m_project.WorkingCopy(user).toStdString();
    const standin::LoginResult login =
        m_session->Backend().OpenSession({user, SampleUsers::kPassword, m_server->Url(), workingCopy, {}});
    if (login.Failed()) {
        result.code = login.code;
        result.text = login.text;
        return result;
    }
    standin::FileList files;
    for (const std::string& file : relativeFiles)
        files.push_back(workingCopy + "/" + file);
    result = m_session->Backend().Status(login.session, files, standin::StatusScope::kWithRepository);
    m_session->Backend().CloseSession(login.session);
    return result;
}

} // namespace demo
