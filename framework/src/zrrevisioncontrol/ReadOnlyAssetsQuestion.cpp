#include "ReadOnlyAssetsQuestion.h"

#include "HostServices.h"
#include "NarrowText.h"
#include "PlainMessageBox.h"
#include "zrChangeListSelectionDialog.h"

#include "Log/Log.h"

namespace {

constexpr char kCheckoutErrorTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Checkout Error");
constexpr char kCheckoutErrorBoxName[] = "checkoutErrorBox";
constexpr char kLogDetailsSeparator[] = "\nDetails:\n";

} // namespace

DbObjectHandles ReadOnlyAssetsQuestion::WithRelatedObjects(qor4::IDataControl& dataControl, DbObjectHandles objects)
{
    std::set<qor4::QORHandle<qor4::IDbObject>> related;
    dataControl.CollectRelatedObjects(objects, related);
    objects.insert(objects.end(), related.begin(), related.end());
    return objects;
}

bool ReadOnlyAssetsQuestion::KeepStoredCheckOut(IRevisionControlPropertiesMgr& properties,
                                                qor4::IDataControl& dataControl, const std::string& changelist)
{
    if (dataControl.IsChangeListValid(changelist)) return true;
    properties.SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kPrompt);
    return false;
}

ReadOnlyAssetsQuestion::Answer ReadOnlyAssetsQuestion::Ask(IRevisionControlPropertiesMgr& properties,
                                                           const qor4::QORPtr<qor4::IDataControl>& dataControl,
                                                           const Setup& setup)
{
    zrChangeListSelectionDialog dialog(dataControl, setup.assetsText, setup.files,
                                       zrChangeListSelectionDialog::kHideFilesAtStart, setup.selectChangeList,
                                       setup.parent);
    dialog.setWindowTitle(setup.title);
    dialog.setMessage(setup.message);
    dialog.setMakeWritableButtonVisible(setup.offerMakeWritable);
    if (setup.offerContinue) dialog.setContinueButtonVisible(true);

    Answer answer;
    answer.result = dialog.exec();
    answer.remembered = dialog.isDontShowAgainChecked();
    switch (answer.result) {
    case zrChangeListSelectionDialog::ResultCheckOut:
        answer.changelist = dialog.getChangeList();
        if (answer.remembered) {
            properties.SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kCheckOut);
            properties.SetChangeListToUseWhenAutoCheckingOut(answer.changelist);
            properties.SetPromptForChangeListWhenCheckingOut(false);
        }
        break;
    case zrChangeListSelectionDialog::ResultMakeWritable:
        if (answer.remembered)
            properties.SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kMakeWritable);
        break;
    case zrChangeListSelectionDialog::ResultContinue:
        if (answer.remembered) properties.SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kContinue);
        break;
    default:
        // A cancelled question stores nothing.
        answer.remembered = false;
        break;
    }
    return answer;
}

QMessageBox::StandardButton ReadOnlyAssetsQuestion::ShowCheckoutError(const std::string& message,
                                                                      const std::string& details,
                                                                      QMessageBox::StandardButtons buttons,
                                                                      QMessageBox::StandardButton defaultButton,
                                                                      QMessageBox::StandardButton escapeButton)
{
    PlainMessageBox box(QMessageBox::Critical, CRevisionControlUIHelper::tr(kCheckoutErrorTitle), FromNarrow(message),
                        buttons, nullptr, Qt::Dialog);
    box.setObjectName(kCheckoutErrorBoxName);
    box.setDetailedText(FromNarrow(details));
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    box.setSizeGripEnabled(true);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ReadOnlyAssetsQuestion::LogCheckoutError(const std::string& message, const std::string& details)
{
    Log::Singleton::Instance() << Log::MsgType::Error << (message + kLogDetailsSeparator + details);
}
