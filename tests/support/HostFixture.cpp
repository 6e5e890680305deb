#include "HostFixture.h"

#include "PluginEntry.h"
#include "zrpasswordrequireddialog.h"

#include "framework/LiveCounters.h"
#include "framework/System.h"
#include "revisioncontrol/UserParameters.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace {

constexpr int kWatchdogIntervalMs = 50;
// How long a modal window may stay unanswered before the test gives up on it.
constexpr int kWatchdogPatiencePolls = 20;
constexpr const char* kAssetExtension = ".qor";
constexpr const char* kExternalExtension = ".tex";

QStringList TopLevelClassNames()
{
    QStringList names;
    for (QWidget* widget : QApplication::topLevelWidgets())
        names << QString::fromLatin1(widget->metaObject()->className()) + "/" + widget->objectName();
    return names;
}

} // namespace

HostFixture::HostFixture() = default;

HostFixture::~HostFixture() = default;

void HostFixture::SetUp()
{
    connectionsAtStart = standin::LiveCounters::LiveConnections();
    commandsAtStart = standin::LiveCounters::LiveCommands();

    sandbox = std::make_unique<SvnSandbox>(
        std::map<std::string, std::string>{{kUser, ""}, {kOtherUser, kOtherPassword}, {kThirdUser, kThirdPassword}},
        transport);
    ASSERT_EQ(sandbox->Error(), "");
    standin::AssemblyOptions options;
    options.host.configFolder = sandbox->ConfigFolder();
    options.faults = standin::FaultPlug::kPlugged;
    options.recordBackend = true;
    options.recordServices = true;
    options.linkedPlugin = &pxkPluginRegister;
    options.preferenceManager = [] { return static_cast<lark::IBase*>(new CZRRevisionControlPropertiesMgr()); };
    options.account = {kUser, "", sandbox->Url(), sandbox->WorkingCopy(kUser)};
    // A system of its own for every test: the host resets it.
    host = std::make_unique<standin::HostAssembly>(std::move(options));
    const standin::HostAssembly::Started started = host->Start();
    ASSERT_TRUE(started.ok) << started.error;
    svnBackend = &host->Host().Subversion();
    backend = host->Faults()->Faults();
    recordingBackend = host->BackendRecord();
    dataControl = host->DataControlRecord();
    fileVersionControl = host->FileControlRecord();
    manager = host->Model().Manager().Get();
    library = &host->Model().Library();
    prefs = &host->Host().Prefs();
    commands = &host->Host().Commands();
    proxy = &host->Host().Proxy();
    helper = dynamic_cast<CRevisionControlUIHelper*>(host->Helper());
    ASSERT_NE(helper, nullptr);
    properties = dynamic_cast<CZRRevisionControlPropertiesMgr*>(host->PreferenceManager());
    ASSERT_NE(properties, nullptr);
    ASSERT_NE(CurrentAccount(), nullptr) << "the current user could not log in";

    recordingBackend->ClearCalls();
    dataControl->ClearCalls();
    fileVersionControl->ClearCalls();
    log.Clear();
    WithWindows();
    StartModalWatchdog();

    dataControlRefs = dataControl->GetRefCount();
    fileVersionControlRefs = fileVersionControl->ReferenceCount();
    managerRefs = manager->GetRefCount();
}

void HostFixture::TearDown()
{
    watchdog.stop();
    EXPECT_EQ(modal.Pending(), 0u) << "an answered window never appeared";
    if (helper) CheckNothingLeaked();
    mainWindow.reset();
    if (host) host->Host().CloseDataBase();
    standin::System::Reset();
    helper = nullptr;
    EXPECT_EQ(standin::LiveCounters::LiveConnections(), connectionsAtStart) << "a connection outlived the host";
}

void HostFixture::CheckNothingLeaked()
{
    host->Host().CloseDataBase();
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), commandsAtStart) << "a command was not released";
    EXPECT_EQ(dataControl->GetRefCount(), dataControlRefs) << "data control references leaked";
    EXPECT_EQ(fileVersionControl->ReferenceCount(), fileVersionControlRefs) << "file-version-control references leaked";
    EXPECT_EQ(manager->GetRefCount(), managerRefs) << "data-model manager references leaked";
    EXPECT_EQ(manager->CountOutsideReferences(), 0) << "object handles leaked";
}

void HostFixture::WithWindows()
{
    if (mainWindow) return;
    mainWindow = std::make_unique<QWidget>();
    mainWindow->setObjectName(kMainWindowName);
    mainWindow->resize(120, 80);
    mainWindow->show();
}

void HostFixture::WithoutWindows()
{
    mainWindow.reset();
    // The progress box is a top-level widget of its own; a host without windows has none.
    helper->Term();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty())
        << "top-level widgets left: " << TopLevelClassNames().join(", ").toStdString();
}

void HostFixture::StartModalWatchdog()
{
    watchdog.setInterval(kWatchdogIntervalMs);
    QObject::connect(&watchdog, &QTimer::timeout, [this] { CheckUnansweredModal(); });
    watchdog.start();
}

void HostFixture::CheckUnansweredModal()
{
    QWidget* active = QApplication::activeModalWidget();
    if (!active || !active->isVisible() || modal.Pending() != 0) {
        unansweredModal = nullptr;
        unansweredPolls = 0;
        return;
    }
    if (active != unansweredModal) {
        unansweredModal = active;
        unansweredPolls = 1;
        return;
    }
    if (++unansweredPolls < kWatchdogPatiencePolls) return;
    ADD_FAILURE() << "unanswered modal window " << active->metaObject()->className() << " \""
                  << active->windowTitle().toStdString() << "\"; rejected it";
    unansweredModal = nullptr;
    unansweredPolls = 0;
    if (auto* dialog = qobject_cast<QDialog*>(active))
        dialog->reject();
    else
        active->close();
}

standin::DbObject* HostFixture::AddCheckedInAsset(const std::string& name, int externalFiles)
{
    return AddAsset(name, externalFiles, true);
}

standin::DbObject* HostFixture::AddLocalAsset(const std::string& name, int externalFiles)
{
    return AddAsset(name, externalFiles, false);
}

standin::DbObject* HostFixture::AddAsset(const std::string& name, int externalFiles, bool checkIn)
{
    std::vector<std::string> depotPaths{kAssetFolder + name + kAssetExtension};
    for (int i = 1; i <= externalFiles; ++i)
        depotPaths.push_back(kAssetFolder + name + "_" + std::to_string(i) + kExternalExtension);
    std::map<std::string, std::string> contents;
    std::vector<std::string> localPaths;
    for (const std::string& depotPath : depotPaths) {
        contents[depotPath] = name;
        localPaths.push_back(LocalPath(depotPath));
    }
    if (checkIn) {
        EXPECT_EQ(sandbox->Commit(kUser, contents), "");
    }
    const std::string assetFile = localPaths.front();
    localPaths.erase(localPaths.begin());
    recordingBackend->ClearCalls();
    return manager->CreateAsset({name, assetFile, localPaths, true});
}

qor4::QORHandle<qor4::IDbObject> HostFixture::Handle(standin::DbObject* object)
{
    return standin::DataModelMgr::MakeHandle(object);
}

DbObjectHandles HostFixture::Handles(const std::vector<standin::DbObject*>& objects)
{
    DbObjectHandles handles;
    for (standin::DbObject* object : objects)
        handles.push_back(Handle(object));
    return handles;
}

std::vector<std::string> HostFixture::FilesOf(const standin::DbObject* asset)
{
    std::vector<std::string> files{asset->GetAssetFile()};
    const std::vector<std::string>& external = asset->GetExternalFiles();
    files.insert(files.end(), external.begin(), external.end());
    return files;
}

std::string HostFixture::DepotPathOf(const std::string& localFile) const
{
    return QDir(QString::fromStdString(sandbox->WorkingCopy(kUser)))
        .relativeFilePath(QString::fromStdString(localFile))
        .toStdString();
}

std::string HostFixture::LocalPath(const std::string& depotPath) const
{
    return sandbox->PathOf(kUser, depotPath);
}

void HostFixture::CheckIn(const std::string& depotPath, const std::string& content)
{
    EXPECT_EQ(sandbox->Commit(kUser, {{depotPath, content}}), "");
    recordingBackend->ClearCalls();
}

qor4::QORHandle<qor4::IDbObject> HostFixture::RemovedAssetHandle(const std::string& name)
{
    standin::DbObject* asset = AddLocalAsset(name);
    const qor4::QORHandle<qor4::IDbObject> handle = Handle(asset);
    manager->DeleteAsset(asset);
    return handle;
}

std::string HostFixture::SortedLines(std::vector<std::string> files)
{
    std::sort(files.begin(), files.end());
    std::string text;
    for (const std::string& file : files)
        text += file + "\n";
    return text;
}

void HostFixture::LockAs(const std::string& user, const standin::DbObject* asset)
{
    standin::SessionId& session = otherSessions[user];
    std::string failure;
    if (!session) session = sandbox->Open(*svnBackend, user, failure);
    ASSERT_NE(session, 0) << failure;
    const standin::ServerResult result =
        svnBackend->Edit(session, {sandbox->PathOf(user, DepotPathOf(asset->GetAssetFile()))}, "");
    ASSERT_TRUE(result.Succeeded()) << result.text;
}

void HostFixture::SubmitAs(const std::string& user, const standin::DbObject* asset)
{
    ASSERT_EQ(sandbox->Update(user), "");
    ASSERT_EQ(sandbox->Commit(user, {{DepotPathOf(asset->GetAssetFile()), "newer"}}, kUser), "");
}

standin::StatusResult HostFixture::StatusOf(const std::vector<std::string>& files)
{
    return recordingBackend->Status(CurrentSession(), files, standin::StatusScope::kWithRepository);
}

bool HostFixture::SessionWorks()
{
    return recordingBackend
        ->Status(CurrentSession(), {LocalPath(std::string(kAssetFolder) + "probe.qor")},
                 standin::StatusScope::kWithRepository)
        .Succeeded();
}

standin::SessionId HostFixture::CurrentSession()
{
    const standin::UserParameters* account = CurrentAccount();
    return account ? account->Session() : 0;
}

qor4::StatusWord HostFixture::WordOf(const std::string& file)
{
    const standin::StatusResult status = StatusOf({file});
    EXPECT_TRUE(status.Succeeded()) << status.text;
    return status.words.empty() ? 0 : status.words.front();
}

void HostFixture::ExpireSession(const std::string& newPassword)
{
    const standin::UserParameters* account = CurrentAccount();
    ASSERT_NE(account, nullptr);
    backend->ExpireSession(account->Session());
    if (!newPassword.empty()) sandbox->SetPassword(kUser, newPassword);
}

const standin::UserParameters* HostFixture::CurrentAccount()
{
    return dynamic_cast<const standin::UserParameters*>(dataControl->GetCurrentUserParameters());
}

void HostFixture::AnswerPasswordNext(const QString& password, std::function<void()> beforeOk)
{
    modal.AnswerNext([this, password, beforeOk](QWidget* window) {
        auto* dialog = qobject_cast<PasswordRequiredDialog*>(window);
        if (!dialog) {
            ADD_FAILURE() << "expected the password dialog, got " << window->metaObject()->className();
            if (auto* other = qobject_cast<QDialog*>(window)) other->reject();
            return;
        }
        QStringList labels;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            labels << label->text();
        passwordDialogLabels.push_back(labels);
        auto* edit = dialog->findChild<QLineEdit*>();
        EXPECT_EQ(edit->text(), QString()) << "every run of the password dialog starts from an empty box";
        QTest::keyClicks(edit, password);
        if (beforeOk) beforeOk();
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Ok")) button->click();
    });
}

std::vector<std::string> HostFixture::LogTexts(Log::MsgType type) const
{
    std::vector<std::string> texts;
    for (const standin::MemoryLog::Entry& entry : log.Entries())
        if (entry.type == type) texts.push_back(entry.text);
    return texts;
}

int HostFixture::DataControlCallCount(const std::string& operation)
{
    return static_cast<int>(dataControl->CallsOf(operation).size());
}
