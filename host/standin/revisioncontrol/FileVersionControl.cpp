#include "revisioncontrol/FileVersionControl.h"

#include "revisioncontrol/WorkerBackend.h"

#include <utility>

namespace standin {

namespace {
FileList ToVector(const std::list<std::string>& files)
{
    return FileList(files.begin(), files.end());
}
} // namespace

FileVersionControl::FileVersionControl(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<AccountBook> accounts,
                                       std::shared_ptr<WorkerBackend> worker)
    : m_backend(std::move(backend)), m_accounts(accounts ? std::move(accounts) : std::make_shared<AccountBook>()),
      m_worker(std::move(worker))
{
}

FileVersionControl::~FileVersionControl()
{
    for (const SessionId session : m_accounts->Sessions())
        m_backend->CloseSession(session);
}

qor4::QORPtr<FileVersionControl> FileVersionControl::Create(std::shared_ptr<RevisionBackend> backend,
                                                            std::shared_ptr<AccountBook> accounts,
                                                            std::shared_ptr<WorkerBackend> worker)
{
    return qor4::QORPtr<FileVersionControl>(
        new FileVersionControl(std::move(backend), std::move(accounts), std::move(worker)));
}

void FileVersionControl::AddRef()
{
    ++m_references;
}

void FileVersionControl::Release()
{
    if (--m_references == 0) delete this;
}

bool FileVersionControl::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid == qor4::IFileVersionControl::GetIID() || iid == qor4::IQORUnknown::GetIID()) {
        *object = static_cast<qor4::IFileVersionControl*>(this);
        AddRef();
        return true;
    }
    *object = nullptr;
    return false;
}

const UserParameters* FileVersionControl::FindAccount(const qor4::IUserParameters* account) const
{
    return m_accounts->Find(account);
}

const UserParameters* FileVersionControl::Enter(const qor4::IUserParameters* account, std::string& text)
{
    const UserParameters* known = FindAccount(account);
    if (!known) text = std::string(kUnknownAccountText) + "\n";
    return known;
}

bool FileVersionControl::InSession(const UserParameters& account, std::string& text)
{
    // An account waiting for its password: the backend knows no session to name it by.
    if (account.Session() != 0) return true;
    text = ServerText::OfSession(ServerText::kNotLoggedIn, account.User(), account.Server()) + "\n";
    return false;
}

const qor4::IUserParameters*
FileVersionControl::CreateUserParameters(const std::string& userName, const std::string& password,
                                         const std::string& server, const std::string& workspace, std::string& message)
{
    Credentials credentials{userName, password, server, workspace, m_accounts->AcceptedCertificates()};
    LoginResult login = m_backend->OpenSession(credentials);
    if (login.Failed() && !login.certificate.Empty() && m_certificateQuestion &&
        m_certificateQuestion(login.certificate)) {
        m_accounts->AcceptCertificate(login.certificate.fingerprint);
        credentials.acceptedCertificates = m_accounts->AcceptedCertificates();
        login = m_backend->OpenSession(credentials);
    }
    // The session keeps its own copy; this one does not outlive the login.
    volatile char* secret = credentials.password.data();
    for (std::size_t i = 0; i < credentials.password.size(); ++i)
        secret[i] = 0;
    if (login.Failed()) {
        // No answer is no refusal: the session the account has goes on, with its password.
        const bool keptSession = login.unanswered && m_accounts->Unanswered(userName, server, workspace);
        if (!keptSession && login.accountChecked)
            m_accounts->Refused(userName, server, workspace);
        else if (!keptSession)
            m_accounts->Clear();
        message = login.text;
        return nullptr;
    }
    message.clear();
    std::vector<SessionId> replaced;
    const UserParameters* account = m_accounts->Open(userName, server, workspace, login.session, replaced);
    // A replaced session would keep its connections and password for nothing.
    for (const SessionId session : replaced)
        m_backend->CloseSession(session);
    return account;
}

qor4::qorResult FileVersionControl::RevertFiles(const qor4::IUserParameters* account,
                                                const std::list<std::string>& files, std::string& errorText)
{
    const UserParameters* known = Enter(account, errorText);
    if (!known) return kResultUnknownAccount;
    if (!InSession(*known, errorText)) return qor4::kResultSessionExpired;
    const ServerResult result = m_backend->Revert(known->Session(), ToVector(files));
    errorText = result.text;
    return result.code;
}

qor4::qorResult FileVersionControl::GetUsers(const qor4::IUserParameters* account, const std::list<std::string>& files,
                                             std::list<std::string>& users, std::string& message, bool includeLocks)
{
    users.clear();
    const UserParameters* known = Enter(account, message);
    if (!known) return kResultUnknownAccount;
    if (!InSession(*known, message)) return qor4::kResultSessionExpired;
    const UsersResult result = m_backend->Users(known->Session(), ToVector(files), includeLocks);
    message = result.text;
    users.assign(result.users.begin(), result.users.end());
    return result.code;
}

qor4::qorResult FileVersionControl::MarkForDelete(const qor4::IUserParameters* account,
                                                  const std::list<std::string>& files, const std::string& changeList,
                                                  std::string& errorText)
{
    const UserParameters* known = Enter(account, errorText);
    if (!known) return kResultUnknownAccount;
    if (!InSession(*known, errorText)) return qor4::kResultSessionExpired;
    const ServerResult result = m_backend->Delete(known->Session(), ToVector(files), changeList);
    errorText = result.text;
    return result.code;
}

qor4::qorResult FileVersionControl::GetFilesStatus(const qor4::IUserParameters* account,
                                                   const std::list<std::string>& files,
                                                   std::vector<qor4::StatusWord>& status,
                                                   std::vector<std::string>& changeLists, std::string& message,
                                                   int /*flags*/)
{
    status.clear();
    changeLists.clear();
    const UserParameters* known = Enter(account, message);
    if (!known) return kResultUnknownAccount;
    if (!InSession(*known, message)) return qor4::kResultSessionExpired;
    StatusResult result = m_backend->Status(known->Session(), ToVector(files), StatusScope::kWithRepository);
    message = result.text;
    status = std::move(result.words);
    changeLists = std::move(result.changeLists);
    return result.code;
}

void FileVersionControl::SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate)
{
    if (m_worker) m_worker->SetTimeOutDelegate(delegate);
}

} // namespace standin
