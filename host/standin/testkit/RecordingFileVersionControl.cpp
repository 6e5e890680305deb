#include "testkit/RecordingFileVersionControl.h"

#include <utility>

namespace standin {

qor4::QORPtr<RecordingFileVersionControl> RecordingFileVersionControl::Create(qor4::QORPtr<FileVersionControl> inner)
{
    return qor4::QORPtr<RecordingFileVersionControl>(new RecordingFileVersionControl(std::move(inner)));
}

RecordingFileVersionControl::RecordingFileVersionControl(qor4::QORPtr<FileVersionControl> inner)
    : m_inner(std::move(inner))
{
}

void RecordingFileVersionControl::Release()
{
    if (--m_references == 0) delete this;
}

bool RecordingFileVersionControl::QueryInterface(const qor4::InterfaceUID& iid, void** object)
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

std::vector<std::string> RecordingFileVersionControl::Arguments(const qor4::IUserParameters* account,
                                                                const std::list<std::string>& files) const
{
    const UserParameters* known = m_inner->FindAccount(account);
    std::vector<std::string> arguments{known ? known->User() : std::string()};
    arguments.insert(arguments.end(), files.begin(), files.end());
    return arguments;
}

const qor4::IUserParameters* RecordingFileVersionControl::CreateUserParameters(const std::string& userName,
                                                                               const std::string& password,
                                                                               const std::string& server,
                                                                               const std::string& workspace,
                                                                               std::string& message)
{
    m_record.Add(kCreateUserParameters, {userName, server, workspace});
    return m_inner->CreateUserParameters(userName, password, server, workspace, message);
}

qor4::qorResult RecordingFileVersionControl::RevertFiles(const qor4::IUserParameters* account,
                                                         const std::list<std::string>& files, std::string& errorText)
{
    m_record.Add(kRevertFiles, Arguments(account, files));
    return m_inner->RevertFiles(account, files, errorText);
}

qor4::qorResult RecordingFileVersionControl::GetUsers(const qor4::IUserParameters* account,
                                                      const std::list<std::string>& files,
                                                      std::list<std::string>& users, std::string& message,
                                                      bool includeLocks)
{
    m_record.Add(kGetUsers, Arguments(account, files));
    return m_inner->GetUsers(account, files, users, message, includeLocks);
}

qor4::qorResult RecordingFileVersionControl::MarkForDelete(const qor4::IUserParameters* account,
                                                           const std::list<std::string>& files,
                                                           const std::string& changeList, std::string& errorText)
{
    std::vector<std::string> arguments = Arguments(account, files);
    arguments.push_back(changeList);
    m_record.Add(kMarkForDelete, std::move(arguments));
    return m_inner->MarkForDelete(account, files, changeList, errorText);
}

qor4::qorResult RecordingFileVersionControl::GetFilesStatus(const qor4::IUserParameters* account,
                                                            const std::list<std::string>& files,
                                                            std::vector<qor4::StatusWord>& status,
                                                            std::vector<std::string>& changeLists, std::string& message,
                                                            int flags)
{
    m_record.Add(kGetFilesStatus, Arguments(account, files));
    return m_inner->GetFilesStatus(account, files, status, changeLists, message, flags);
}

void RecordingFileVersionControl::SetTimeOutDelegate(qor4::ITimeOutDelegate* delegate)
{
    m_record.Add(kSetTimeOutDelegate, {delegate ? "delegate" : ""});
    m_inner->SetTimeOutDelegate(delegate);
}

} // namespace standin
