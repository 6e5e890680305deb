// Check-out on the host's request: CheckOutObjects checks objects out into the stored (or asked)
// changelist one at a time; PromptCheckOutObjects asks before read-only assets are edited.
#include "CRevisionControlUIHelper.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "ReadOnlyAssetsQuestion.h"
#include "ResultChecks.h"
#include "zrChangeListSelectionDialog.h"

namespace {

using Action = IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset;

constexpr char kPromptTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Check Out");

IRevisionControlPropertiesMgr* GetProperties()
{
    return GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
}

qor4::QORPtr<qor4::IDataControl> DataControlOfFirst(const DbObjectHandles& objects)
{
    return GetDataControlOf(objects.front().GetManager());
}

std::set<std::string> FilesOf(qor4::IDataControl& dataControl, const DbObjectHandles& objects, bool includeExternal)
{
    std::set<std::string> files;
    std::vector<std::set<std::string>> perObject;
    dataControl.GetFiles(objects, includeExternal, kDataControlContext, false, files, perObject);
    return files;
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
            const DbObjectHandles allObjects = ReadOnlyAssetsQuestion::WithRelatedObjects(*dataControl, objects);
            QString text;
            AppendAssetListing(dataControl, allObjects, false, text);
            zrChangeListSelectionDialog dialog(dataControl, text, FilesOf(*dataControl, allObjects, includeExternal),
                                               zrChangeListSelectionDialog::kHideFilesAtStart,
                                               zrChangeListSelectionDialog::kSelectChangeList, nullptr);
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
        CommandTexts texts;
        for (;;) {
            const qor4::qorResult result = RunCheckOutCommand(dataControl, single, includeExternal, changelist, texts);
            if (!IsNegative(result)) break;
            // The session could not be re-opened for the first object: the rest would fail alike.
            if (result == qor4::kResultSessionExpired && first) return false;
            if (!IsInteractive()) {
                ReadOnlyAssetsQuestion::LogCheckoutError(texts.message, texts.details);
                allCheckedOut = false;
                break;
            }
            if (ReadOnlyAssetsQuestion::ShowCheckoutError(texts.message, texts.details,
                                                          QMessageBox::Retry | QMessageBox::Ok, QMessageBox::Retry,
                                                          QMessageBox::Ok) == QMessageBox::Retry)
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
    const DbObjectHandles allObjects = ReadOnlyAssetsQuestion::WithRelatedObjects(*dataControl, objects);
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
        if (!ReadOnlyAssetsQuestion::KeepStoredCheckOut(*properties, *dataControl, changelist))
            action = IRevisionControlPropertiesMgr::kPrompt;
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
    CommandTexts texts;
    const auto makeWritable = [&]() {
        qor4::qorResult result = qor4::kResultOk;
        for (const auto& object : readOnlyObjects) {
            result = dataControl->MakeWritable(object, includeExternal, kDataControlContext, texts.message);
            if (!IsZero(result)) break;
        }
        return result;
    };
    for (;;) {
        qor4::qorResult result = qor4::kResultOk;
        if (action == IRevisionControlPropertiesMgr::kPrompt) {
            ReadOnlyAssetsQuestion::Setup setup;
            AppendAssetListing(dataControl, readOnlyObjects, false, setup.assetsText);
            setup.files = FilesOf(*dataControl, readOnlyObjects, includeExternal);
            setup.title = tr(kPromptTitle);
            setup.message = tr(message.c_str());
            setup.offerMakeWritable = allowMakeWritable;
            // "Continue" is always offered, so the remember box speaks of an option, not a changelist.
            setup.offerContinue = true;
            const ReadOnlyAssetsQuestion::Answer answer = ReadOnlyAssetsQuestion::Ask(*properties, dataControl, setup);
            if (answer.result == zrChangeListSelectionDialog::ResultContinue) {
                if (!answer.remembered) continuedObjects = allObjects;
                return true;
            }
            if (answer.result == zrChangeListSelectionDialog::ResultMakeWritable) {
                result = makeWritable();
                action = IRevisionControlPropertiesMgr::kMakeWritable;
            } else if (answer.result == zrChangeListSelectionDialog::ResultCheckOut) {
                result = RunCheckOutCommand(dataControl, readOnlyObjects, includeExternal, answer.changelist, texts);
                action = IRevisionControlPropertiesMgr::kCheckOut;
                if (!IsZero(result)) changelist = answer.changelist;
            } else {
                return false;
            }
        } else if (action == IRevisionControlPropertiesMgr::kCheckOut) {
            result = RunCheckOutCommand(dataControl, readOnlyObjects, includeExternal, changelist, texts);
        } else if (action == IRevisionControlPropertiesMgr::kMakeWritable) {
            result = makeWritable();
        } else {
            return true;
        }

        if (IsZero(result)) return true;
        if (!IsInteractive()) {
            ReadOnlyAssetsQuestion::LogCheckoutError(texts.message, texts.details);
            return true;
        }
        // Not the runner's single re-run: the runner has tried that already, so the user is asked again.
        if (result == qor4::kResultSessionExpired) {
            action = IRevisionControlPropertiesMgr::kPrompt;
            continue;
        }
        const QMessageBox::StandardButton answer = ReadOnlyAssetsQuestion::ShowCheckoutError(
            texts.message, texts.details, QMessageBox::Retry | QMessageBox::Ignore | QMessageBox::Cancel,
            QMessageBox::Retry, QMessageBox::Cancel);
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
