#include "session/StandinHost.h"

#include "framework/CommandManager.h"
#include "framework/PrefManager.h"
#include "framework/QORDBProxy.h"
#include "framework/System.h"

namespace standin {

StandinHost::StandinHost(const HostOptions& options)
{
    System::Reset();
    m_subversion = std::make_shared<SvnBackend>();
    m_subversion->SetConfigurationFolder(options.configFolder);
    m_subversion->SetLockServer(options.lockServer);
    m_subversion->SetDeadline(options.deadline);
    m_subversion->SetSessionLifetime(options.sessionLifetime);
    m_decorated = m_subversion;
    for (const HostOptions::Decorator& decorate : options.decorators)
        m_decorated = decorate(m_decorated);
    m_model = std::make_unique<ModelSession>(m_decorated, m_subversion, options.services, options.libraryContextId,
                                             options.grace);

    System& system = System::Instance();
    m_prefs = options.preferencesFile.empty() ? new PrefManager()
                                              : new PrefManager(QString::fromStdString(options.preferencesFile));
    system.RegisterSingleton(PrefManager::kSingletonName, m_prefs);
    m_commands = new CommandManager();
    system.RegisterSingleton(CommandManager::kSingletonName, m_commands);
    m_proxy = new QORDBProxy();
    system.RegisterSingleton(QORDBProxy::kSingletonName, m_proxy);
}

StandinHost::~StandinHost()
{
    CloseDataBase();
    System::Reset();
}

void StandinHost::OpenDataBase()
{
    m_proxy->SetDataModelMgr(m_model->ManagerInterface());
    m_proxy->SetItemLibrary(m_model->Library().GetAccessor());
    m_open = true;
}

void StandinHost::CloseDataBase()
{
    if (!m_open) return;
    m_open = false;
    m_proxy->ReleaseItemLibrary();
    if (m_model->FileControl()) m_model->FileControl()->SetTimeOutDelegate(nullptr);
    m_commands->Clear();
}

} // namespace standin
