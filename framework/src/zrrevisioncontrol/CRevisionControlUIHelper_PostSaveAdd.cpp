// Post-save, assets the save created: an asset beside files already open joins their changelist;
// an asset of which nothing is open is marked for add into the changelist the preferences name or
// the user picks, one asset at a time.
#include "CRevisionControlUIHelper_PostSave.h"

#include "HostServices.h"
#include "SessionRetry.h"

#include <map>

namespace {

using qor4::FileStatus::kCheckedOut;
using qor4::FileStatus::kMarkedForAdd;
using qor4::FileStatus::kMarkedForDelete;
using qor4::FileStatus::kNotInDepot;

constexpr char kMarkForAddErrorTitle[] = "Mark-For-Add Error";
constexpr char kDialogTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Post-Saving: Mark For Add");
constexpr char kDialogMessage[] = QT_TRANSLATE_NOOP(
    "CRevisionControlUIHelper",
    "These assets have just been added during the save operation\nWe can now mark them for add in the revision "
    "control");
constexpr char kDialogButton[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Mark For Add");

struct NewAssetGroups {
    std::map<std::string, DbObjectHandles> addByChangelist;
    DbObjectHandles toAdd;
    std::set<std::string> toAddFiles;
};

// What the files of one new asset say about it.
struct AssetFilesState {
    bool hasOpen = false;
    bool hasNew = false;
    bool hasMarkedForDelete = false;
    std::string changelist; // of the first open file
    std::list<std::string> newFiles;
};

AssetFilesState Examine(const std::list<std::string>& files, const PostSave::FilesStatus& status)
{
    AssetFilesState state;
    status.ForEachAnswered(files, [&](const std::string& file, qor4::StatusWord word, std::size_t index) {
        if (word & kNotInDepot) {
            state.hasNew = true;
            state.newFiles.push_back(file);
        } else if (word & (kMarkedForDelete | kMarkedForAdd | kCheckedOut)) {
            if (!state.hasOpen) state.changelist = status.ChangeListOf(index);
            state.hasOpen = true;
            if (word & kMarkedForDelete) state.hasMarkedForDelete = true;
        }
    });
    return state;
}

// False when a query failed even after re-opening the session: the notification then stops.
bool ClassifyNewAssets(PostSave::Context& context, const DbObjectHandles& newObjects, NewAssetGroups& groups)
{
    std::set<qor4::QORHandle<qor4::IDbObject>> assets;
    context.dataControl->CollectAssets(kDataControlContext, newObjects, kCollectAssetsFlags, assets);
    for (const auto& asset : assets) {
        std::set<std::string> fileSet;
        const qor4::qorResult result = RunReopeningOnce(
            [&] {
                fileSet.clear();
                return context.dataControl->GetObjectFileList(asset, true, kDataControlContext, false, fileSet);
            },
            [&] { return context.Reopen(PostSave::kMarkForAddPrefix, PostSave::kMarkForAddSessionPrompt); });
        if (IsNegative(result)) return false;

        const std::list<std::string> files(fileSet.begin(), fileSet.end());
        const PostSave::FilesStatus status =
            PostSave::QueryFilesStatus(context, files, PostSave::kMarkForAddPrefix, PostSave::kMarkForAddSessionPrompt);
        if (IsNegative(status.result)) return false;

        const AssetFilesState state = Examine(files, status);
        if (!state.hasOpen && state.hasNew) {
            groups.toAdd.push_back(asset);
            groups.toAddFiles.insert(state.newFiles.begin(), state.newFiles.end());
        } else if (state.hasOpen && (state.hasNew || state.hasMarkedForDelete)) {
            groups.addByChangelist[state.changelist].push_back(asset);
        }
    }
    return true;
}

void MarkForAdd(PostSave::Context& context, const DbObjectHandles& assets, const std::string& changelist)
{
    PostSave::RunWithRetry(context, PostSave::kMarkForAddPrefix, kMarkForAddErrorTitle, [&]() {
        CommandTexts texts;
        const qor4::qorResult result =
            context.helper.RunMarkForAddCommand(context.dataControl, assets, true, changelist, texts);
        return PostSave::Attempt{result, texts.message};
    });
}

void MarkUnopenedAssetsForAdd(PostSave::Context& context, const NewAssetGroups& groups)
{
    PostSave::ChangeListChoice choice = PostSave::ChooseChangeList(context);
    if (choice.prompt) {
        PostSave::ChangeListQuestion question{QString(),    groups.toAddFiles, false,
                                              kDialogTitle, kDialogMessage,    kDialogButton};
        context.helper.AppendAssetListing(context.dataControl, groups.toAdd, false, question.assetsText);
        if (!PostSave::AskChangeList(context, question, choice.changelist)) return;
    }
    // One at a time, so that one failing asset does not keep the others out.
    for (const auto& asset : groups.toAdd)
        MarkForAdd(context, DbObjectHandles{asset}, choice.changelist);
}

} // namespace

namespace PostSave {

void HandleNewAssets(Context& context, const DbObjectHandles& newObjects)
{
    NewAssetGroups groups;
    if (!ClassifyNewAssets(context, newObjects, groups)) return;
    for (const auto& [changelist, assets] : groups.addByChangelist)
        MarkForAdd(context, assets, changelist);
    if (!groups.toAdd.empty()) MarkUnopenedAssetsForAdd(context, groups);
}

} // namespace PostSave
