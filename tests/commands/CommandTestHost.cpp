#include "CommandTestHost.h"

#include "System.h"

#include "opal/datamodel/modify/CBaseExecutionCommand.h"

#include <stdexcept>

using opal::datamodel::modify::CBaseExecutionCommand;
using opal::datamodel::modify::IntParam;
using opal::datamodel::modify::StringParam;

namespace {
constexpr const char* kDepotFolder = "//depot/assets/";
constexpr const char* kAssetExtension = ".qor";
} // namespace

CommandTestHost::CommandTestHost()
{
    if (!m_root.isValid() || !m_otherRoot.isValid()) throw std::runtime_error("no temporary folder");
    standin::System::Reset();
    standin::System& system = standin::System::Instance();

    m_server = std::make_shared<standin::RevisionServer>(":memory:");
    m_server->AddUser(kUser);
    m_server->AddUser(kOtherUser);
    m_server->AddWorkspace(kWorkspace, m_root.path(), kUser);
    m_server->AddWorkspace(std::string(kOtherUser) + "-ws", m_otherRoot.path(), kOtherUser);
    const standin::LoginResult login =
        m_server->Login(kUser, "", standin::RevisionServer::kDefaultServerAddress, kWorkspace);
    if (login.Failed()) throw std::runtime_error("login failed: " + login.text);
    m_account = std::make_unique<standin::UserParameters>(kUser, "", standin::RevisionServer::kDefaultServerAddress,
                                                          kWorkspace, login.session);

    m_dataControl = standin::DataControl::Create(m_server);
    m_dataControl->SetUserParameters(m_account.get());
    m_manager = standin::DataModelMgr::Create();
    m_manager->GetInstance()->RegisterComponent(qor4::UID_DataControl(),
                                                qor4::QORPtr<qor4::IQORUnknown>(m_dataControl));
    m_library = std::make_unique<standin::ItemLibrary>(m_manager);
    m_dataControl->ClearCalls();

    m_commands = new standin::CommandManager();
    system.RegisterSingleton(standin::CommandManager::kSingletonName, m_commands);
    auto* proxy = new standin::QORDBProxy();
    system.RegisterSingleton(standin::QORDBProxy::kSingletonName, proxy);
    proxy->SetDataModelMgr(qor4::QORPtr<qor4::IDataModelMgr>(m_manager));
    proxy->SetItemLibrary(m_library->GetAccessor());
}

CommandTestHost::~CommandTestHost()
{
    // The singletons hold the manager and recorded commands; they go before the model and server.
    standin::System::Reset();
}

standin::DbObject* CommandTestHost::AddCheckedInAsset(const std::string& name)
{
    const std::string depotPath = kDepotFolder + name + kAssetExtension;
    m_server->CheckInWorkspaceFile(kWorkspace, depotPath, name);
    return m_manager->CreateAsset({name, m_server->LocalPath(kWorkspace, depotPath).toStdString(), {}, true});
}

standin::DbObject* CommandTestHost::AddLocalAsset(const std::string& name)
{
    const std::string depotPath = kDepotFolder + name + kAssetExtension;
    return m_manager->CreateAsset({name, m_server->LocalPath(kWorkspace, depotPath).toStdString(), {}, true});
}

std::string CommandTestHost::DepotPath(const standin::DbObject* asset) const
{
    return kDepotFolder + asset->GetName() + kAssetExtension;
}

opal::datamodel::UnspecifiedAccessor CommandTestHost::AccessorOf(const standin::DbObject* asset) const
{
    return m_library->GetItemAccessor(asset);
}

std::vector<opal::datamodel::UnspecifiedAccessor>
CommandTestHost::AccessorsOf(const std::vector<standin::DbObject*>& assets) const
{
    std::vector<opal::datamodel::UnspecifiedAccessor> accessors;
    for (const standin::DbObject* asset : assets)
        accessors.push_back(AccessorOf(asset));
    return accessors;
}

bool CommandTestHost::Execute(lark::fwk::ICommand* command)
{
    return m_commands->Execute(command, true);
}

const StringParam* CommandTestHost::ErrorString(const lark::fwk::ICommand* command)
{
    return dynamic_cast<const StringParam*>(command->GetParam("ErrorString"));
}

const IntParam* CommandTestHost::ReturnValue(const lark::fwk::ICommand* command)
{
    const auto* execution = dynamic_cast<const CBaseExecutionCommand*>(command);
    return execution ? dynamic_cast<const IntParam*>(execution->GetReturnValue()) : nullptr;
}

std::vector<standin::DataControl::Call> CommandTestHost::CallsOf(const std::string& operation) const
{
    std::vector<standin::DataControl::Call> calls;
    for (const standin::DataControl::Call& call : m_dataControl->GetCalls())
        if (call.operation == operation) calls.push_back(call);
    return calls;
}

qor4::StatusWord CommandTestHost::FileStatus(const standin::DbObject* asset)
{
    const standin::StatusResult status = m_server->Status({asset->GetAssetFile()});
    return status.words.empty() ? 0 : status.words.front();
}

void CommandTestHost::RemoveDataControl()
{
    m_manager->GetInstance()->RemoveComponent(qor4::UID_DataControl());
}
