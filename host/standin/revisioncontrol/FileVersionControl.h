// FileVersionControl: the host's file-version-control service over a RevisionBackend.
#pragma once

#include "HostExport.h"
#include "qor4/IFileVersionControl.h"
#include "revisioncontrol/AccountBook.h"
#include "revisioncontrol/RevisionBackend.h"
#include "revisioncontrol/UserParameters.h"

#include <functional>
#include <memory>
#include <vector>

namespace standin {

class WorkerBackend;

// Reference counted; made by Create with one reference for the caller. Accounts made by
// CreateUserParameters live in the service's AccountBook (shared with the data control of the same
// data base); their sessions end with the service. Every operation acts in the given account's
// session; an account the book does not hold is refused.
class HOST_API FileVersionControl final : public qor4::IFileVersionControl {
public:
    // worker: the thread the backend's operations run on, which shows the host's progress box
    // (SetTimeOutDelegate); without one there is no box.
    static qor4::QORPtr<FileVersionControl> Create(std::shared_ptr<RevisionBackend> backend,
                                                   std::shared_ptr<AccountBook> accounts = nullptr,
                                                   std::shared_ptr<WorkerBackend> worker = nullptr);
    FileVersionControl(const FileVersionControl&) = delete;
    FileVersionControl& operator=(const FileVersionControl&) = delete;

    static constexpr std::int32_t kResultUnknownAccount = -9;
    static constexpr const char* kUnknownAccountText = "No valid account: log in to the revision-control server first.";

    // qor4::IQORUnknown
    void AddRef() override;
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

    // qor4::IFileVersionControl
    const qor4::IUserParameters* CreateUserParameters(const std::string& userName, const std::string& password,
                                                      const std::string& server, const std::string& workspace,
                                                      std::string& message) override;
    qor4::qorResult RevertFiles(const qor4::IUserParameters* account, const std::list<std::string>& files,
                                std::string& errorText) override;
    qor4::qorResult GetUsers(const qor4::IUserParameters* account, const std::list<std::string>& files,
                             std::list<std::string>& users, std::string& message, bool includeLocks) override;
    qor4::qorResult MarkForDelete(const qor4::IUserParameters* account, const std::list<std::string>& files,
                                  const std::string& changeList, std::string& errorText) override;
    qor4::qorResult GetFilesStatus(const qor4::IUserParameters* account, const std::list<std::string>& files,
                                   std::vector<qor4::StatusWord>& status, std::vector<std::string>& changeLists,
                                   std::string& message, int flags) override;
    void SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate) override;

    // Asked, on the calling thread, when a login meets a server certificate the client does not
    // trust: true accepts it for this session (the login is then tried once more), false rejects it.
    // Without a question every such certificate is rejected.
    using CertificateQuestion = std::function<bool(const ServerCertificate&)>;
    void SetCertificateQuestion(CertificateQuestion question) { m_certificateQuestion = std::move(question); }

    int ReferenceCount() const { return m_references; }
    // The account this service made, or null for anything else (null included).
    const UserParameters* FindAccount(const qor4::IUserParameters* account) const;
    const std::shared_ptr<AccountBook>& Accounts() const { return m_accounts; }
    RevisionBackend& Backend() const { return *m_backend; }

private:
    FileVersionControl(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<AccountBook> accounts,
                       std::shared_ptr<WorkerBackend> worker);
    ~FileVersionControl();
    // The account; null (with the text) for an unknown account.
    const UserParameters* Enter(const qor4::IUserParameters* account, std::string& text);
    // False, with the session-expired text naming the account, when it has no session yet.
    static bool InSession(const UserParameters& account, std::string& text);

    std::shared_ptr<RevisionBackend> m_backend;
    std::shared_ptr<AccountBook> m_accounts;
    std::shared_ptr<WorkerBackend> m_worker;
    CertificateQuestion m_certificateQuestion;
    int m_references = 0;
};

} // namespace standin
