#include "BenchHost.h"

#include "HostServices.h"
#include "PluginEntry.h"

#include "System.h"
#include "UserParameters.h"
#include "WorkerBackend.h"

#include <QCoreApplication>

bool BenchHost::Start(const std::string& url, const std::string& user, const std::string& workingCopy,
                      const std::string& configFolder, std::string& error)
{
    standin::System::Reset();
    standin::System& system = standin::System::Instance();
    auto subversion = std::make_shared<standin::SvnBackend>();
    subversion->SetConfigurationFolder(configFolder);
    m_backend = std::make_shared<standin::FaultyBackend>(subversion);
    auto worker = std::make_shared<standin::WorkerBackend>(m_backend);
    m_manager = standin::DataModelMgr::Create();
    m_fileControl = standin::FileVersionControl::Create(worker);
    m_dataControl = standin::DataControl::Create(worker, m_fileControl->Accounts());
    m_manager->GetInstance()->RegisterComponent(qor4::UID_DataControl(),
                                                qor4::QORPtr<qor4::IQORUnknown>(m_dataControl));
    m_manager->GetInstance()->RegisterComponent(qor4::UID_FileVersionControl(),
                                                qor4::QORPtr<qor4::IQORUnknown>(m_fileControl));
    m_library = std::make_unique<standin::ItemLibrary>(m_manager);
    // The stand-in's call record is for tests; a host has none.
    m_dataControl->SetRecording(false);

    system.RegisterSingleton(standin::PrefManager::kSingletonName, new standin::PrefManager());
    system.RegisterSingleton(standin::CommandManager::kSingletonName, new standin::CommandManager());
    m_proxy = new standin::QORDBProxy();
    system.RegisterSingleton(standin::QORDBProxy::kSingletonName, m_proxy);
    if (!pxkPluginRegister()) {
        error = "the plug-in did not register";
        return false;
    }
    m_helper = dynamic_cast<CRevisionControlUIHelper*>(system.GetSingleton(HostNames::kUIHelper));
    if (!m_helper) {
        error = "no UI helper";
        return false;
    }
    m_proxy->SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr>(m_manager));
    m_proxy->SetItemLibrary(m_library->GetAccessor());
    // A host without windows: no question is ever asked, and no progress box shown.
    m_helper->Term();

    auto* properties = new CZRRevisionControlPropertiesMgr();
    system.RegisterSingleton(CZRRevisionControlPropertiesMgr::GetSingletonName(), properties);
    properties->SetUseSourceDataControl(true);
    properties->SetPromptForChangeListWhenCheckingOut(false);
    properties->SetChangeListToUseWhenAutoCheckingOut("");
    properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kCheckOut);
    properties->SetAccountProperties(user, url, workingCopy);
    if (!Session()) {
        error = "the account did not log in";
        return false;
    }
    return true;
}

BenchHost::~BenchHost()
{
    if (m_proxy) m_proxy->ReleaseItemLibrary();
    standin::System::Reset();
}

qor4::QORPtr<qor4::IDataControl> BenchHost::Control() const
{
    return qor4::QORPtr<qor4::IDataControl>(m_dataControl.Get());
}

standin::SessionId BenchHost::Session() const
{
    const auto* account = dynamic_cast<const standin::UserParameters*>(m_dataControl->GetCurrentUserParameters());
    return account ? account->Session() : 0;
}

int BenchHost::CallsOf(const char* operation) const
{
    int count = 0;
    for (const standin::ServerCall& call : m_backend->Calls())
        count += call.operation == operation;
    return count;
}
