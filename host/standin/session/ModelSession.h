// One open data base of the stand-in host, wired the way the host wires it: a data-model manager
// whose instance carries the data control and the file-version control over one revision-control
// backend, whose operations run on a worker thread (WorkerBackend), and the item library of the
// manager's objects.
#pragma once

#include "datamodel/DataModelMgr.h"
#include "datamodel/ItemLibrary.h"
#include "revisioncontrol/DataControl.h"
#include "revisioncontrol/FileVersionControl.h"
#include "revisioncontrol/SaveStatusMemo.h"
#include "revisioncontrol/WorkerBackend.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace standin {

// Which services the manager's instance carries.
struct ModelServices {
    using DataControlDecorator = std::function<qor4::QORPtr<qor4::IDataControl>(qor4::QORPtr<DataControl>)>;
    using FileControlDecorator =
        std::function<qor4::QORPtr<qor4::IFileVersionControl>(qor4::QORPtr<FileVersionControl>)>;

    bool dataControl = true;
    bool fileVersionControl = true;
    // Put around a service before the instance carries it (the tests' call recorders, for one):
    // the plug-in, and Login, reach the service through what the decorator answers.
    DataControlDecorator decorateDataControl;
    FileControlDecorator decorateFileControl;
};

class ModelSession {
public:
    struct LoginOutcome {
        const qor4::IUserParameters* account = nullptr; // owned by the file-version control
        std::string message;
        bool Succeeded() const { return account != nullptr; }
    };

    // grace: how long the UI thread waits for an operation before the progress box shows.
    // control: the backend's interrupt and probe, for the worker.
    ModelSession(std::shared_ptr<RevisionBackend> backend, std::shared_ptr<ServerControl> control,
                 ModelServices services = {}, int libraryContextId = ItemLibrary::kDefaultContextId,
                 std::chrono::milliseconds grace = WorkerBackend::kGraceTime);
    ModelSession(const ModelSession&) = delete;
    ModelSession& operator=(const ModelSession&) = delete;

    // Logs in through the file-version control and hands the account to the data control, as the
    // preference manager does with the stored account: through the services the instance carries.
    LoginOutcome Login(const std::string& user, const std::string& password, const std::string& server,
                       const std::string& workspace);

    const qor4::QORPtr<DataModelMgr>& Manager() const { return m_manager; }
    // For the proxy, which holds the manager through its interface.
    qor4::QORPtr<qor4::IDataModelMgr> ManagerInterface() const;
    ItemLibrary& Library() const { return *m_library; }
    // The backend the services use: the given one, run on the worker thread, behind the memo that
    // answers a post-save notification's status queries.
    RevisionBackend& Backend() const { return *m_backend; }
    SaveStatusMemo& StatusMemo() const { return *m_backend; }
    // The worker thread the operations run on.
    WorkerBackend& Worker() const { return *m_worker; }
    // Null when the session was built without the service. The services themselves, under any
    // decorator the instance carries.
    DataControl* Control() const { return m_dataControl.Get(); }
    FileVersionControl* FileControl() const { return m_fileControl.Get(); }

private:
    std::shared_ptr<WorkerBackend> m_worker;
    std::shared_ptr<SaveStatusMemo> m_backend;
    qor4::QORPtr<DataModelMgr> m_manager;
    qor4::QORPtr<DataControl> m_dataControl;
    qor4::QORPtr<FileVersionControl> m_fileControl;
    // What the instance carries: the services, or their decorators.
    qor4::QORPtr<qor4::IDataControl> m_carriedDataControl;
    qor4::QORPtr<qor4::IFileVersionControl> m_carriedFileControl;
    std::unique_ptr<ItemLibrary> m_library;
    boost::signals2::scoped_connection m_postSaveStarting;
    boost::signals2::scoped_connection m_postSaveEnded;
    boost::signals2::scoped_connection m_accountChanged;
};

} // namespace standin
