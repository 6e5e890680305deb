#include "BenchHost.h"

#include "HostServices.h"
#include "PluginEntry.h"

#include "System.h"
#include "UserParameters.h"

#include <QCoreApplication>

bool BenchHost::Start(const std::string& url, const std::string& user, const std::string& workingCopy,
                      const std::string& configFolder, std::string& error)
{
    standin::HostOptions options;
    options.configFolder = configFolder;
    options.decorators.push_back([this](std::shared_ptr<standin::RevisionBackend> inner) {
        m_backend = std::make_shared<standin::FaultyBackend>(std::move(inner));
        return m_backend;
    });
    // The stand-in's call record is for tests; a host has none.
    options.recordCalls = false;
    m_host = std::make_unique<standin::StandinHost>(options);
    standin::System& system = standin::System::Instance();
    if (!pxkPluginRegister()) {
        error = "the plug-in did not register";
        return false;
    }
    m_helper = dynamic_cast<CRevisionControlUIHelper*>(system.GetSingleton(HostNames::kUIHelper));
    if (!m_helper) {
        error = "no UI helper";
        return false;
    }
    m_host->OpenDataBase();
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

qor4::QORPtr<qor4::IDataControl> BenchHost::Control() const
{
    return qor4::QORPtr<qor4::IDataControl>(m_host->Model().Control());
}

standin::SessionId BenchHost::Session() const
{
    const auto* account =
        dynamic_cast<const standin::UserParameters*>(m_host->Model().Control()->GetCurrentUserParameters());
    return account ? account->Session() : 0;
}

int BenchHost::CallsOf(const char* operation) const
{
    int count = 0;
    for (const standin::ServerCall& call : m_backend->Calls())
        count += call.operation == operation;
    return count;
}
