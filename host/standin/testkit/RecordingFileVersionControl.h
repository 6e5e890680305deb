// RecordingFileVersionControl: a decorator over the stand-in's file-version-control service that
// records every call of the interface (the account's user name, files, changelist) and passes it
// on unchanged. The tests' host carries it in the data base's instance in place of the service.
#pragma once

#include "revisioncontrol/FileVersionControl.h"
#include "testkit/CallRecord.h"

namespace standin {

class RecordingFileVersionControl final : public qor4::IFileVersionControl {
public:
    // Operation names of the record.
    static constexpr const char* kCreateUserParameters = "CreateUserParameters";
    static constexpr const char* kRevertFiles = "RevertFiles";
    static constexpr const char* kGetUsers = "GetUsers";
    static constexpr const char* kMarkForDelete = "MarkForDelete";
    static constexpr const char* kGetFilesStatus = "GetFilesStatus";
    static constexpr const char* kSetTimeOutDelegate = "SetTimeOutDelegate";

    static qor4::QORPtr<RecordingFileVersionControl> Create(qor4::QORPtr<FileVersionControl> inner);
    RecordingFileVersionControl(const RecordingFileVersionControl&) = delete;
    RecordingFileVersionControl& operator=(const RecordingFileVersionControl&) = delete;

    std::vector<RecordedCall> Calls() const { return m_record.Calls(); }
    std::vector<RecordedCall> CallsOf(const std::string& operation) const { return m_record.CallsOf(operation); }
    void ClearCalls() { m_record.Clear(); }
    // The references the decorator's users hold.
    int ReferenceCount() const { return m_references; }
    // The service underneath, for what the interface does not offer.
    FileVersionControl& Service() const { return *m_inner; }

    void AddRef() override { ++m_references; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;

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

private:
    explicit RecordingFileVersionControl(qor4::QORPtr<FileVersionControl> inner);
    ~RecordingFileVersionControl() = default;
    // The user of an account the service made ("" for any other), then the files.
    std::vector<std::string> Arguments(const qor4::IUserParameters* account, const std::list<std::string>& files) const;

    qor4::QORPtr<FileVersionControl> m_inner;
    CallRecord m_record;
    int m_references = 0;
};

} // namespace standin
