// IFileVersionControl: revision control of plain files, the component UID_FileVersionControl()
// of a data-model manager instance, and the ITimeOutDelegate it drives during long operations.
//
// Failures answer a negative qorResult with the server's text in errorText/message;
// kResultSessionExpired (-34) means the session must be re-opened first.
#pragma once

#include "qor4/FileStatus.h"
#include "qor4/IUserParameters.h"
#include "qor4/QORPtr.h"
#include "qor4/qorResult.h"

#include <list>
#include <string>
#include <vector>

namespace qor4 {

// Installed by a plug-in to show progress while a revision-control operation takes long.
// The service calls WaitForCompletion from the operation (it must not return before the
// operation ends or the user gives up) and NotifyCompletion once the operation ended.
class ITimeOutDelegate {
public:
    virtual void NotifyCompletion() = 0;
    // True when the user asked to abandon the operation.
    virtual bool WaitForCompletion() = 0;

protected:
    ~ITimeOutDelegate() = default;
};

class IFileVersionControl : public IQORUnknown {
public:
    // Logs in; the service owns the result. Null on failure, with the server's reason in message
    // (a rejected password's reason contains "Invalid password").
    virtual const IUserParameters* CreateUserParameters(const std::string& userName, const std::string& password,
                                                        const std::string& server, const std::string& workspace,
                                                        std::string& message) = 0;
    // Reverts the files the account has opened; their workspace copies go back to read-only.
    virtual qorResult RevertFiles(const IUserParameters* account, const std::list<std::string>& files,
                                  std::string& errorText) = 0;
    // The users (other than the account's) who have the files opened or locked.
    virtual qorResult GetUsers(const IUserParameters* account, const std::list<std::string>& files,
                               std::list<std::string>& users, std::string& message, bool includeLocks) = 0;
    virtual qorResult MarkForDelete(const IUserParameters* account, const std::list<std::string>& files,
                                    const std::string& changeList, std::string& errorText) = 0;
    // Per file, in list order: its status word and the changelist it is opened in ("" when none).
    virtual qorResult GetFilesStatus(const IUserParameters* account, const std::list<std::string>& files,
                                     std::vector<StatusWord>& status, std::vector<std::string>& changeLists,
                                     std::string& message, int flags) = 0;
    // The delegate stays installed until replaced; null removes it.
    virtual void SetTimeOutDelegate(ITimeOutDelegate* delegate) = 0;

    static InterfaceUID GetIID() { return {"qor4.IFileVersionControl"}; }
    static const char* GetInterfaceName() { return "qor4::IFileVersionControl"; }

protected:
    ~IFileVersionControl() = default;
};

} // namespace qor4
