// Check-out on the host's request: CheckOutObjects checks objects out into the stored (or asked)
// changelist one at a time; PromptCheckOutObjects asks before read-only assets are edited.
#include "CRevisionControlUIHelper.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "zrChangeListSelectionDialog.h"

#include "Log/Log.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

using Action = IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset;

constexpr char kTranslationContext[] = "CRevisionControlUIHelper";
constexpr char kPromptTitle[] = "Check Out";
constexpr char kCheckoutErrorTitle[] = "Checkout Error";
constexpr char kCheckoutErrorBoxName[] = "checkoutErrorBox";
constexpr char kLogDetailsSeparator[] = "\nDetails:\n";

QString Tr(const char* text)
{
    return QCoreApplication::translate(kTranslationContext, text);
}

IRevisionControlPropertiesMgr* GetProperties()
{
    return GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
}

qor4::QORPtr<qor4::IDataControl> DataControlOfFirst(const DbObjectHandles& objects)
{
    return GetDataControlOf(objects.front().GetManager());
}

// The objects followed by those saved together with them.
DbObjectHandles WithRelatedObjects(qor4::IDataControl& dataControl, const DbObjectHandles& objects)
{
    DbObjectHandles all = objects;
    std::set<qor4::QORHandle<qor4::IDbObject>> related;
    dataControl.CollectRelatedObjects(objects, related);
    all.insert(all.end(), related.begin(), related.end());
    return all;
}

std::set<std::string> FilesOf(qor4::IDataControl& dataControl, const DbObjectHandles& objects, bool includeExternal)
{
    std::set<std::string> files;
    std::vector<std::set<std::string>> perObject;
    dataControl.GetFiles(objects, includeExternal, kDataControlContext, false, files, perObject);
    return files;
}

void LogFailure(const std::string& message, const std::string& details)
{
    Log::Singleton::Instance() << Log::MsgType::Error << (message + kLogDetailsSeparator + details);
}

// The critical "Checkout Error" box with the given buttons; answers the button pressed.
QMessageBox::StandardButton AskAfterCheckoutError(const std::string& message, const std::string& details,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton escape)
{
    QMessageBox box(QMessageBox::Critical, Tr(kCheckoutErrorTitle), FromNarrow(message), buttons, nullptr, Qt::Dialog);
    box.setObjectName(kCheckoutErrorBoxName);
    box.setDetailedText(FromNarrow(details));
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(escape);
    box.setSizeGripEnabled(true);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

bool CRevisionControlUIHelper::CheckOutObjects(const DbObjectHandles& objects, bool* cancelled, bool includeExternal)
{
    if (objects.empty()) return true;
    // Callers must pass cancelled; one that does not still gets a check-out, just no report.
    bool ignoredCancelled = false;
    bool& wasCancelled = cancelled ? *cancelled : ignoredCancelled;

    qor4::QORPtr<qor4::IDataControl> dataControl = DataControlOfFirst(objects);
    std::string changelist;

    IRevisionControlPropertiesMgr* properties = GetProperties();
    bool useSourceDataControl = false;
    if (!properties || !properties->GetUseSourceDataControl(useSourceDataControl) || !useSourceDataControl) {
        wasCancelled = true;
        return false;
    }

    bool prompt = false;
    properties->GetPromptForChangeListWhenCheckingOut(prompt);
    if (!prompt) {
        properties->GetChangeListToUseWhenAutoCheckingOut(changelist);
        if (!dataControl->IsChangeListValid(changelist)) {
            prompt = true;
            properties->SetPromptForChangeListWhenCheckingOut(true);
        }
    }
    if (prompt) {
        if (!IsInteractive()) {
            changelist.clear();
        } else {
            const DbObjectHandles allObjects = WithRelatedObjects(*dataControl, objects);
            QString text;
            AppendAssetListing(dataControl, allObjects, false, text);
            zrChangeListSelectionDialog dialog(dataControl, text, FilesOf(*dataControl, allObjects, includeExternal),
                                               false, true, nullptr);
            if (dialog.exec() == zrChangeListSelectionDialog::ResultCancel) {
                wasCancelled = true;
                return false;
            }
            changelist = dialog.getChangeList();
            if (dialog.isDontShowAgainChecked()) {
                properties->SetPromptForChangeListWhenCheckingOut(false);
                properties->SetChangeListToUseWhenAutoCheckingOut(changelist);
            }
        }
    }

    wasCancelled = false;
    bool allCheckedOut = true;
    bool first = true;
    for (const auto& object : objects) {
        const DbObjectHandles single{object};
        std::string errorString;
        std::string message;
        std::string details;
        for (;;) {
            const qor4::qorResult result =
                RunCheckOutCommand(dataControl, single, includeExternal, changelist, errorString, message, details);
            if (result.Succeeded()) break;
            // The session could not be re-opened for the first object: the rest would fail alike.
            if (result == qor4::kResultSessionExpired && first) return false;
            if (!IsInteractive()) {
                LogFailure(message, details);
                allCheckedOut = false;
                break;
            }
            if (AskAfterCheckoutError(message, details, QMessageBox::Retry | QMessageBox::Ok, QMessageBox::Ok) ==
                QMessageBox::Retry)
                continue;
            allCheckedOut = false;
            break;
        }
        first = false;
    }
    return allCheckedOut;
}

bool CRevisionControlUIHelper::PromptCheckOutObjects(const DbObjectHandles& objects, bool includeExternal,
                                                     bool allowMakeWritable, const std::string& message)
{
    if (objects.empty()) {
        continuedObjects.clear();
        return true;
    }
    qor4::QORPtr<qor4::IDataControl> dataControl = DataControlOfFirst(objects);
    const DbObjectHandles allObjects = WithRelatedObjects(*dataControl, objects);
    DbObjectHandles readOnlyObjects;
    for (const auto& object : allObjects)
        if (dataControl->IsReadOnly(object, includeExternal, kDataControlContext)) readOnlyObjects.push_back(object);
    if (readOnlyObjects.empty()) {
        continuedObjects.clear();
        return true;
    }

    IRevisionControlPropertiesMgr* properties = GetProperties();
    bool useSourceDataControl = false;
    if (!properties || !properties->GetUseSourceDataControl(useSourceDataControl) || !useSourceDataControl) {
        continuedObjects.clear();
        return true;
    }

    std::string changelist;
    // A stored number that is no action leaves this untouched: it is then treated as kPrompt.
    Action action = IRevisionControlPropertiesMgr::kPrompt;
    properties->GetActionWhenEditingReadOnlyAsset(action);
    if (action == IRevisionControlPropertiesMgr::kCheckOut) {
        properties->GetChangeListToUseWhenAutoCheckingOut(changelist);
        if (!dataControl->IsChangeListValid(changelist)) {
            action = IRevisionControlPropertiesMgr::kPrompt;
            properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kPrompt);
        }
    } else if (action == IRevisionControlPropertiesMgr::kMakeWritable && !allowMakeWritable) {
        action = IRevisionControlPropertiesMgr::kPrompt;
    }
    if (action == IRevisionControlPropertiesMgr::kPrompt) {
        if (ListsEqual(continuedObjects, allObjects)) return true;
        if (!IsInteractive()) {
            action = IRevisionControlPropertiesMgr::kCheckOut;
            changelist.clear();
        }
    }

    continuedObjects.clear();
    std::string failureMessage;
    std::string details;
    const auto makeWritable = [&]() {
        qor4::qorResult result = qor4::kResultOk;
        for (const auto& object : readOnlyObjects) {
            result = dataControl->MakeWritable(object, includeExternal, kDataControlContext, failureMessage);
            if (result.Failed()) break;
        }
        return result;
    };
    for (;;) {
        qor4::qorResult result = qor4::kResultOk;
        std::string errorString;
        if (action == IRevisionControlPropertiesMgr::kPrompt) {
            QString text;
            AppendAssetListing(dataControl, readOnlyObjects, false, text);
            zrChangeListSelectionDialog dialog(
                dataControl, text, FilesOf(*dataControl, readOnlyObjects, includeExternal), false, true, nullptr);
            dialog.setWindowTitle(Tr(kPromptTitle));
            // "Continue" is always offered, so the remember box speaks of an option, not a changelist.
            dialog.setMakeWritableButtonVisible(allowMakeWritable);
            dialog.setContinueButtonVisible(true);
            dialog.setMessage(Tr(message.c_str()));
            const int answer = dialog.exec();
            const bool remember = dialog.isDontShowAgainChecked();
            if (answer == zrChangeListSelectionDialog::ResultContinue) {
                if (remember)
                    properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kContinue);
                else
                    continuedObjects = allObjects;
                return true;
            }
            if (answer == zrChangeListSelectionDialog::ResultMakeWritable) {
                if (remember)
                    properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kMakeWritable);
                result = makeWritable();
                action = IRevisionControlPropertiesMgr::kMakeWritable;
            } else if (answer == zrChangeListSelectionDialog::ResultCheckOut) {
                const std::string chosen = dialog.getChangeList();
                if (remember) {
                    properties->SetActionWhenEditingReadOnlyAsset(IRevisionControlPropertiesMgr::kCheckOut);
                    properties->SetChangeListToUseWhenAutoCheckingOut(chosen);
                    properties->SetPromptForChangeListWhenCheckingOut(false);
                }
                result = RunCheckOutCommand(dataControl, readOnlyObjects, includeExternal, chosen, errorString,
                                            failureMessage, details);
                action = IRevisionControlPropertiesMgr::kCheckOut;
                if (result.Failed()) changelist = chosen;
            } else {
                return false;
            }
        } else if (action == IRevisionControlPropertiesMgr::kCheckOut) {
            result = RunCheckOutCommand(dataControl, readOnlyObjects, includeExternal, changelist, errorString,
                                        failureMessage, details);
        } else if (action == IRevisionControlPropertiesMgr::kMakeWritable) {
            result = makeWritable();
        } else {
            return true;
        }

        if (result.Succeeded()) return true;
        if (!IsInteractive()) {
            LogFailure(failureMessage, details);
            return true;
        }
        if (result == qor4::kResultSessionExpired) {
            action = IRevisionControlPropertiesMgr::kPrompt;
            continue;
        }
        const QMessageBox::StandardButton answer =
            AskAfterCheckoutError(failureMessage, details,
                                  QMessageBox::Retry | QMessageBox::Ignore | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer == QMessageBox::Retry) continue;
        return answer == QMessageBox::Ignore;
    }
}

bool CRevisionControlUIHelper::ListsEqual(const DbObjectHandles& first, const DbObjectHandles& second)
{
    if (first.size() != second.size()) return false;
    for (auto a = first.begin(), b = second.begin(); a != first.end(); ++a, ++b)
        if (a->GetCacheIndex() != b->GetCacheIndex() || a->GetInstance() != b->GetInstance()) return false;
    return true;
}
