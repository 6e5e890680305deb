// Before a save: gets the dirty assets whose files are read-only into a writable state (check-out
// or make-writable, as stored or as the user answers), or vetoes the save. Also the asset listing
// that the check-out questions show.
#include "CRevisionControlUIHelper.h"

#include "DesktopUtilities.h"
#include "HostServices.h"
#include "NarrowText.h"
#include "ReadOnlyAssetsQuestion.h"
#include "zrChangeListSelectionDialog.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

using Action = IRevisionControlPropertiesMgr::ActionWhenEditingReadOnlyAsset;

constexpr char kDirtyPersistableQuery[] =
    "select object where OR(AND(IS_PERSISTABLE,AND(IS_METADATA, IS_DIRTY)),AND(IS_PERSISTABLE,AND(IS_VALUE_ASSET, "
    "IS_DIRTY)))";
constexpr int kDirtyPersistableQueryMode = 3;
constexpr char kDialogTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Check Out Before Saving");
constexpr char kDialogMessage[] = QT_TRANSLATE_NOOP(
    "CRevisionControlUIHelper",
    "Some of the files of the following assets are read-only\nPlease select an option before saving continues");
constexpr char kAssetFileSuffix[] = ".qor";
constexpr char kExternalOpen[] = " (with External: ";
constexpr char kExternalSeparator[] = ", ";
constexpr char kExternalClose[] = ")";

// The last path component, whichever separator the host used.
std::string FileNamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

// The read-only assets of one save, split by whether they have external files.
struct ReadOnlyAssets {
    DbObjectHandles withExternal;
    DbObjectHandles withoutExternal;
    std::set<std::string> externalFiles;
    std::set<std::string> plainFiles;
};

DbObjectHandles SelectReadOnly(qor4::IDataControl& dataControl, const DbObjectHandles& objects)
{
    DbObjectHandles readOnly;
    for (const auto& object : objects) {
        const bool withExternal = dataControl.HasExternalFiles(object, kDataControlContext);
        if (dataControl.IsReadOnly(object, withExternal, kDataControlContext)) readOnly.push_back(object);
    }
    return readOnly;
}

ReadOnlyAssets GroupAssets(qor4::IDataControl& dataControl, const DbObjectHandles& readOnlyObjects)
{
    ReadOnlyAssets assets;
    std::set<qor4::QORHandle<qor4::IDbObject>> found;
    dataControl.CollectAssets(kDataControlContext, readOnlyObjects, kCollectAssetsFlags, found);
    for (const auto& asset : found) {
        if (dataControl.HasExternalFiles(asset, kDataControlContext))
            assets.withExternal.push_back(asset);
        else
            assets.withoutExternal.push_back(asset);
    }
    std::vector<std::set<std::string>> perObject;
    if (!assets.withExternal.empty())
        dataControl.GetFiles(assets.withExternal, true, kDataControlContext, false, assets.externalFiles, perObject);
    if (!assets.withoutExternal.empty())
        dataControl.GetFiles(assets.withoutExternal, false, kDataControlContext, false, assets.plainFiles, perObject);
    return assets;
}

} // namespace

void CRevisionControlUIHelper::OnPreSave(const opal::datamodel::ItemLibraryAccessor& library, bool* cancel)
{
    // Without a place to report to, the flow still runs; it only cannot veto.
    bool ignoredCancel = false;
    bool& vetoed = cancel ? *cancel : ignoredCancel;
    vetoed = false;

    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    if (!proxy) return;
    qor4::QORPtr<qor4::IDataModelMgr> manager = proxy->GetDataModelMgr();
    if (proxy->GetItemLibrary() != library) return;

    // Without the preference manager there is no revision-control setting to act on: the save proceeds.
    auto* properties = GetHostSingleton<IRevisionControlPropertiesMgr>(HostNames::kPropertiesMgr);
    if (!properties) return;
    bool useSourceDataControl = false;
    properties->GetUseSourceDataControl(useSourceDataControl);

    DbObjectHandles results;
    manager->ExecuteQuery(kDirtyPersistableQuery, kDirtyPersistableQueryMode, results);
    if (results.empty()) return;

    qor4::QORPtr<qor4::IDataControl> dataControl = GetDataControlOf(results.front().GetManager());
    const DbObjectHandles readOnlyObjects =
        SelectReadOnly(*dataControl, ReadOnlyAssetsQuestion::WithRelatedObjects(*dataControl, std::move(results)));
    if (readOnlyObjects.empty()) return;
    ReadOnlyAssets assets = GroupAssets(*dataControl, readOnlyObjects);

    std::string changelist;
    properties->GetChangeListToUseWhenAutoCheckingOut(changelist);
    // A stored number that is no action leaves this untouched: it is then treated as kPrompt.
    Action action = IRevisionControlPropertiesMgr::kPrompt;
    properties->GetActionWhenEditingReadOnlyAsset(action);

    if (action == IRevisionControlPropertiesMgr::kPrompt && !IsInteractive()) {
        action = IRevisionControlPropertiesMgr::kCheckOut;
        changelist.clear();
    }
    if (action == IRevisionControlPropertiesMgr::kContinue) action = IRevisionControlPropertiesMgr::kPrompt;
    if (action == IRevisionControlPropertiesMgr::kCheckOut &&
        (!useSourceDataControl || !ReadOnlyAssetsQuestion::KeepStoredCheckOut(*properties, *dataControl, changelist)))
        action = IRevisionControlPropertiesMgr::kPrompt;
    if (action == IRevisionControlPropertiesMgr::kPrompt && !IsInteractive()) {
        vetoed = true;
        return;
    }

    for (bool retry = true; retry;) {
        retry = false;
        std::set<std::string> files = assets.plainFiles;
        files.insert(assets.externalFiles.begin(), assets.externalFiles.end());

        if (action == IRevisionControlPropertiesMgr::kPrompt) {
            ReadOnlyAssetsQuestion::Setup setup;
            AppendAssetListing(dataControl, assets.withoutExternal, false, setup.assetsText);
            AppendAssetListing(dataControl, assets.withExternal, true, setup.assetsText);
            setup.files = files;
            setup.selectChangeList = useSourceDataControl;
            setup.parent = GetMainWindow();
            setup.title = tr(kDialogTitle);
            setup.message = tr(kDialogMessage);
            setup.offerMakeWritable = true;
            const ReadOnlyAssetsQuestion::Answer answer = ReadOnlyAssetsQuestion::Ask(*properties, dataControl, setup);
            if (answer.result == zrChangeListSelectionDialog::ResultMakeWritable) {
                action = IRevisionControlPropertiesMgr::kMakeWritable;
            } else if (answer.result == zrChangeListSelectionDialog::ResultCheckOut) {
                changelist = answer.changelist;
                action = IRevisionControlPropertiesMgr::kCheckOut;
            } else {
                vetoed = true;
                return;
            }
        }

        if (action == IRevisionControlPropertiesMgr::kMakeWritable) {
            std::string errorText;
            for (const auto& asset : assets.withoutExternal)
                dataControl->MakeWritable(asset, false, kDataControlContext, errorText);
            for (const auto& asset : assets.withExternal)
                dataControl->MakeWritable(asset, true, kDataControlContext, errorText);
        } else if (action == IRevisionControlPropertiesMgr::kCheckOut) {
            qor4::qorResult result = qor4::kResultOk;
            CommandTexts texts;
            if (!assets.withExternal.empty())
                result = RunCheckOutCommand(dataControl, assets.withExternal, true, changelist, texts);
            if (result.Succeeded() && !assets.withoutExternal.empty()) {
                result = RunCheckOutCommand(dataControl, assets.withoutExternal, false, changelist, texts);
                // The external group is checked out by now: the next question lists only what is left.
                if (result.Failed()) assets.externalFiles.clear();
            }
            // The runner re-opened the session once already; a session still lost means asking again.
            if (IsInteractive() && result == qor4::kResultSessionExpired) {
                action = IRevisionControlPropertiesMgr::kPrompt;
                retry = true;
            } else if (result.Failed()) {
                if (!IsInteractive()) {
                    ReadOnlyAssetsQuestion::LogCheckoutError(texts.message, texts.details);
                    vetoed = true;
                    return;
                }
                ReadOnlyAssetsQuestion::ShowCheckoutError(texts.message, texts.details, QMessageBox::Ok,
                                                          QMessageBox::Ok, QMessageBox::Ok);
                action = IRevisionControlPropertiesMgr::kPrompt;
                retry = true;
            }
        }
    }
}

void CRevisionControlUIHelper::AppendAssetListing(qor4::QORPtr<qor4::IDataControl> dataControl,
                                                  const DbObjectHandles& assets, bool withExternal, QString& text)
{
    for (const auto& object : assets) {
        if (qor4::QORHandle<qor4::IAsset>(object).IsNull()) continue;
        text += FromNarrow(dataControl->GetObjectName(object, kDataControlContext));
        if (withExternal) {
            std::set<std::string> files;
            dataControl->GetObjectFiles(object, kDataControlContext, files);
            // No external file leaves the line without a suffix; several share one suffix.
            QStringList externals;
            for (const std::string& file : files) {
                const std::string name = FileNamePart(file);
                if (!EndsWithNoCase(name, kAssetFileSuffix)) externals << FromNarrow(name);
            }
            if (!externals.isEmpty())
                text += FromNarrow(kExternalOpen) + externals.join(FromNarrow(kExternalSeparator)) +
                        FromNarrow(kExternalClose);
        }
        text += QLatin1Char('\n');
    }
}
