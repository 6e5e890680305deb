// Lifetime of the UI helper: connections to the data-base proxy, the item-library registration,
// and the time-out delegate's progress box.
#include "CRevisionControlUIHelper.h"

#include "HostServices.h"
#include "PlainMessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace {

constexpr const char kClassName[] = "Corvane.LARK.RevisionControlUIHelper";
constexpr const char kProgressText[] = "Perforce Operation in Progress, press Cancel to abort";
// The save notifications and the save record.
constexpr std::uint32_t kLibraryNotificationMask =
    opal::datamodel::NotificationMask::kSave | opal::datamodel::NotificationMask::kSaveRecord;

lark::fwk::IQORDBProxy* GetProxy()
{
    return GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
}

void DisconnectAll(std::list<lark::signalling::IConnection*>& connections)
{
    for (lark::signalling::IConnection* connection : connections) {
        if (!connection) continue;
        connection->Disconnect();
        delete connection;
    }
    connections.clear();
}

} // namespace

CRevisionControlUIHelper::CRevisionControlUIHelper() = default;

CRevisionControlUIHelper::~CRevisionControlUIHelper()
{
    DisconnectAll(connectionsItemLibraryReleased);
    DisconnectAll(connectionsItemLibraryReady);
    DisconnectAll(connectionsDataModelMgrReady);
}

void CRevisionControlUIHelper::Init()
{
    if (lark::fwk::IQORDBProxy* proxy = GetProxy()) {
        lark::fwk::IQORDBProxy_Slot* self = this;
        connectionsDataModelMgrReady.push_back(nullptr);
        proxy->ConnectDataModelMgrReady(self, &connectionsDataModelMgrReady.back());
        connectionsItemLibraryReady.push_back(nullptr);
        proxy->ConnectItemLibraryReady(self, &connectionsItemLibraryReady.back());
        connectionsItemLibraryReleased.push_back(nullptr);
        proxy->ConnectItemLibraryReleased(self, &connectionsItemLibraryReleased.back());
    }

    progressBox = new PlainMessageBox();
    progressBox->setStandardButtons(QMessageBox::Cancel);
    progressBox->setText(QString::fromUtf8(kProgressText));
}

void CRevisionControlUIHelper::Term()
{
    delete progressBox;
    progressBox = nullptr;
}

const char* CRevisionControlUIHelper::GetClsName() const
{
    return kClassName;
}

void CRevisionControlUIHelper::OnDataModelMgrReady()
{
    lark::fwk::IQORDBProxy* proxy = GetProxy();
    if (!proxy) return;
    qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl = GetFileVersionControlOf(proxy->GetDataModelMgr());
    fileVersionControl->SetTimeOutDelegate(this);
}

void CRevisionControlUIHelper::OnItemLibraryReady()
{
    lark::fwk::IQORDBProxy* proxy = GetProxy();
    if (!proxy) return;
    const opal::datamodel::ItemLibraryAccessor library = proxy->GetItemLibrary();
    if (!library.IsValid()) return;
    library.GetLibrary()->AddNotification(this, kLibraryNotificationMask, library.GetContextId());
}

void CRevisionControlUIHelper::OnItemLibraryReleased()
{
    lark::fwk::IQORDBProxy* proxy = GetProxy();
    if (!proxy) return;
    const opal::datamodel::ItemLibraryAccessor library = proxy->GetItemLibrary();
    if (!library.IsValid()) return;
    library.GetLibrary()->RemoveNotification(this, kLibraryNotificationMask, library.GetContextId());
}

void CRevisionControlUIHelper::NotifyCompletion()
{
    operationFinished = true;
    // Outside Init..Term there is no box to close.
    if (!progressBox) return;
    if (QAbstractButton* cancel = progressBox->button(QMessageBox::Cancel)) cancel->click();
}

bool CRevisionControlUIHelper::WaitForCompletion()
{
    operationFinished = false;
    // Without a box nobody can cancel; let the operation run to its end.
    if (!progressBox) return false;
    progressBox->exec();
    return !operationFinished;
}
