#include "session/ModelSession.h"

#include "revisioncontrol/UserParameters.h"
#include "revisioncontrol/WorkerBackend.h"

namespace standin {

constexpr const char* kNoFileVersionControl = "The data base has no file-version-control service.";

ModelSession::ModelSession(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<ServerControl> control,
                           ModelServices services, int libraryContextId, std::chrono::milliseconds grace)
    : m_worker(std::make_shared<WorkerBackend>(std::move(backend), std::move(control), grace)),
      m_backend(std::make_shared<SaveStatusMemo>(m_worker)), m_manager(DataModelMgr::Create())
{
    QORInstance* instance = m_manager->GetInstance();
    auto accounts = std::make_shared<AccountBook>();
    if (services.dataControl) {
        m_dataControl = DataControl::Create(m_backend, accounts);
        m_carriedDataControl =
            services.decorateDataControl
                ? services.decorateDataControl(m_dataControl)
                : qor4::QORPtr<qor4::IDataControl>(static_cast<qor4::IDataControl*>(m_dataControl.Get()));
        instance->RegisterComponent(qor4::UID_DataControl(), qor4::QORPtr<qor4::IQORUnknown>(m_carriedDataControl));
    }
    if (services.fileVersionControl) {
        m_fileControl = FileVersionControl::Create(m_backend, accounts, m_worker);
        m_carriedFileControl =
            services.decorateFileControl
                ? services.decorateFileControl(m_fileControl)
                : qor4::QORPtr<qor4::IFileVersionControl>(static_cast<qor4::IFileVersionControl*>(m_fileControl.Get()));
        instance->RegisterComponent(qor4::UID_FileVersionControl(),
                                    qor4::QORPtr<qor4::IQORUnknown>(m_carriedFileControl));
    }
    m_library = std::make_unique<ItemLibrary>(m_manager, libraryContextId);
    // The data base's files lie in the working copy of the account it is used with; without an
    // account now, the last one's working copy stays the fence.
    if (m_dataControl)
        m_accountChanged = m_dataControl->accountChanged.connect([this](const UserParameters* account) {
            if (account && !account->Workspace().empty()) m_manager->SetWorkingCopy(account->Workspace());
        });
    // Only a save that made new assets is followed by per-asset status queries.
    m_postSaveStarting = m_library->postSaveStarting.connect([this](const SaveResult& saved) {
        if (!saved.newAssets.empty()) m_backend->Expect(saved.writtenFiles);
    });
    m_postSaveEnded = m_library->postSaveEnded.connect([this] { m_backend->Forget(); });
}

qor4::QORPtr<qor4::IDataModelMgr> ModelSession::ManagerInterface() const
{
    return qor4::QORPtr<qor4::IDataModelMgr>(static_cast<qor4::IDataModelMgr*>(m_manager.Get()));
}

ModelSession::LoginOutcome ModelSession::Login(const std::string& user, const std::string& password,
                                               const std::string& server, const std::string& workspace)
{
    LoginOutcome outcome;
    if (!m_carriedFileControl.Get()) {
        outcome.message = kNoFileVersionControl;
        return outcome;
    }
    outcome.account = m_carriedFileControl->CreateUserParameters(user, password, server, workspace, outcome.message);
    // A refused login is pushed as "no account", as the preference manager pushes it: the data
    // control then holds the account that waits for its password.
    if (m_carriedDataControl.Get()) m_carriedDataControl->SetUserParameters(outcome.account);
    return outcome;
}

} // namespace standin
