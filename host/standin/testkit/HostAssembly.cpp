#include "testkit/HostAssembly.h"

#include "framework/PrefManager.h"
#include "framework/System.h"

#include "qor4/IRevisionControlUIHelper.h"

#include <utility>

namespace standin {

namespace {

// Where the host keeps the account and the switch for the plug-in's preference manager.
namespace PrefKeys {
constexpr const char* kUserName = "RevControl.UserName";
constexpr const char* kServer = "RevControl.Server";
constexpr const char* kWorkspace = "RevControl.Workspace";
constexpr const char* kUseSourceDataControl = "RevControl.UseSourceDataControl";
} // namespace PrefKeys

constexpr bool kPersist = true;

} // namespace

HostAssembly::HostAssembly(AssemblyOptions options) : m_options(std::move(options))
{
    AddDecorators();
    AddServiceRecorders();
    m_host = std::make_unique<StandinHost>(m_options.host);
    // Plugged before the first login, so that the decorator knows whose each session is.
    if (m_faults && m_options.faults == FaultPlug::kPlugged) m_faults->Faults();
}

void HostAssembly::AddDecorators()
{
    if (m_options.faults != FaultPlug::kNone)
        m_options.host.decorators.push_back([this](std::shared_ptr<RevisionBackend> inner) {
            m_faults = std::make_shared<FaultSwitch>(std::move(inner));
            return m_faults;
        });
    if (m_options.recordBackend)
        m_options.host.decorators.push_back([this](std::shared_ptr<RevisionBackend> inner) {
            m_backendRecord = std::make_shared<RecordingBackend>(std::move(inner));
            return m_backendRecord;
        });
}

void HostAssembly::AddServiceRecorders()
{
    if (!m_options.recordServices) return;
    ModelServices& services = m_options.host.services;
    services.decorateDataControl = [this](qor4::QORPtr<DataControl> service) {
        const qor4::QORPtr<RecordingDataControl> recorder = RecordingDataControl::Create(std::move(service));
        m_dataControlRecord = recorder.Get();
        return qor4::QORPtr<qor4::IDataControl>(static_cast<qor4::IDataControl*>(m_dataControlRecord));
    };
    services.decorateFileControl = [this](qor4::QORPtr<FileVersionControl> service) {
        const qor4::QORPtr<RecordingFileVersionControl> recorder =
            RecordingFileVersionControl::Create(std::move(service));
        m_fileControlRecord = recorder.Get();
        return qor4::QORPtr<qor4::IFileVersionControl>(static_cast<qor4::IFileVersionControl*>(m_fileControlRecord));
    };
}

HostAssembly::Started HostAssembly::Start()
{
    Started started;
    StoreAccount();
    System& system = System::Instance();
    if (m_options.preferenceManager) {
        lark::IBase* manager = m_options.preferenceManager();
        if (!system.RegisterSingleton(kPreferenceManagerName, manager)) {
            started.error = std::string("the host could not register ") + kPreferenceManagerName;
            return started;
        }
        m_preferenceManager = manager;
    }
    started.error = RegisterPlugin();
    if (!started.error.empty()) return started;
    m_helper = dynamic_cast<qor4::IRevisionControlUIHelper*>(system.GetSingleton(kUIHelperName));
    if (!m_helper) {
        started.error = std::string("the plug-in did not provide ") + kUIHelperName;
        return started;
    }
    m_host->OpenDataBase();

    const HostAccount& account = m_options.account;
    if (!account.user.empty()) {
        const ModelSession::LoginOutcome login =
            Model().Login(account.user, account.password, account.server, account.workspace);
        if (!login.Succeeded() && account.loginRequired) {
            started.error = "cannot log in as " + account.user + ": " + login.message;
            return started;
        }
    }
    started.ok = true;
    return started;
}

void HostAssembly::StoreAccount()
{
    PrefManager& prefs = m_host->Prefs();
    const HostAccount& account = m_options.account;
    const bool firstStart = !prefs.RawValue(PrefKeys::kUserName);
    if (m_options.revisionControl == RevisionControlSwitch::kOn || firstStart)
        prefs.SetBoolPref(PrefKeys::kUseSourceDataControl, true, kPersist);
    if (account.user.empty()) return;
    prefs.SetStringPref(PrefKeys::kUserName, account.user, kPersist);
    prefs.SetStringPref(PrefKeys::kServer, account.server, kPersist);
    prefs.SetStringPref(PrefKeys::kWorkspace, account.workspace, kPersist);
}

std::string HostAssembly::RegisterPlugin()
{
    const PluginLoader::Result result =
        m_options.linkedPlugin
            ? PluginLoader::Register(m_options.linkedPlugin)
            : PluginLoader::Load(PluginLoader::ModulePath(QString::fromStdString(m_options.pluginModule),
                                                          QString::fromStdString(m_options.pluginDirectory)));
    return result.registered ? std::string() : result.error;
}

} // namespace standin
