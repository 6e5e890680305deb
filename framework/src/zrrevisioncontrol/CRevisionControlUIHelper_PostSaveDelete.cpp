// Post-save, files the save removed from disk: a pending add is reverted, a checked-out file is
// reverted and marked for delete in its own changelist, a file only in the depot is marked for
// delete in the changelist the preferences name or the user picks.
#include "CRevisionControlUIHelper_PostSave.h"

#include <map>

namespace {

using qor4::FileStatus::kCheckedOut;
using qor4::FileStatus::kMarkedForAdd;
using qor4::FileStatus::kMarkedForDelete;
using qor4::FileStatus::kNotInDepot;

constexpr char kRevertErrorTitle[] = "Revert Error";
constexpr char kMarkForDeleteErrorTitle[] = "Mark-For-Delete Error";
constexpr char kAddedHeader[] = "The following marked-for-add files were deleted during the commit:\n";
constexpr char kAddedReason[] = "but we couldn't revert the mark-for-add for the following reason:\n";
constexpr char kCheckedOutHeader[] = "The following checked out files were deleted during the commit:\n";
constexpr char kCheckedOutReason[] =
    "but we couldnt mark them for delete in the same change list for the following reason:\n";
constexpr char kDeletedHeader[] = "The following files have been deleted during the commit:\n";
constexpr char kDeletedReason[] = "but we couldn't mark them for delete in your revision control\n";
constexpr char kDialogTitle[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Mark For Delete");
constexpr char kDialogMessage[] = QT_TRANSLATE_NOOP(
    "CRevisionControlUIHelper",
    "The files below were deleted during the commit\nWe can now mark them for delete in your revision control");
constexpr char kDialogButton[] = QT_TRANSLATE_NOOP("CRevisionControlUIHelper", "Mark For Delete");

struct DeletedFileGroups {
    std::list<std::string> addedAndDeleted;
    std::map<std::string, std::list<std::string>> checkedOutByChangelist;
    std::list<std::string> toDelete;
};

DeletedFileGroups Classify(const std::list<std::string>& files, const PostSave::FilesStatus& status)
{
    DeletedFileGroups groups;
    status.ForEachAnswered(files, [&](const std::string& file, qor4::StatusWord word, std::size_t index) {
        if (word & kCheckedOut)
            groups.checkedOutByChangelist[status.ChangeListOf(index)].push_back(file);
        else if (word & kMarkedForAdd)
            groups.addedAndDeleted.push_back(file);
        else if (!(word & (kMarkedForDelete | kNotInDepot)))
            groups.toDelete.push_back(file);
    });
    return groups;
}

using PostSave::Attempt;

void RevertAddedFiles(PostSave::Context& context, const std::list<std::string>& files)
{
    // A lost session here is re-opened with the mark-for-add texts.
    PostSave::RunWithRetry(context, PostSave::kMarkForAddPrefix, kRevertErrorTitle, [&]() {
        std::string errorText;
        Attempt outcome;
        outcome.result = context.fileVersionControl->RevertFiles(context.account, files, errorText);
        outcome.message =
            std::string(kAddedHeader) + "\n" + PostSave::ListFileNames(files) + "\n" + kAddedReason + errorText;
        return outcome;
    });
}

void RevertAndDelete(PostSave::Context& context, const std::string& changelist, const std::list<std::string>& files)
{
    PostSave::RunWithRetry(context, PostSave::kMarkForDeletePrefix, kMarkForDeleteErrorTitle, [&]() {
        std::string errorText;
        Attempt outcome;
        outcome.result = context.fileVersionControl->RevertFiles(context.account, files, errorText);
        if (IsZero(outcome.result))
            outcome.result = context.fileVersionControl->MarkForDelete(context.account, files, changelist, errorText);
        outcome.message = std::string(kCheckedOutHeader) + "\n" + PostSave::ListFileNames(files) + "\n" +
                          kCheckedOutReason + errorText;
        return outcome;
    });
}

void MarkForDelete(PostSave::Context& context, const std::list<std::string>& files)
{
    PostSave::ChangeListChoice choice = PostSave::ChooseChangeList(context);
    for (;;) {
        if (choice.prompt) {
            const PostSave::ChangeListQuestion question{
                QString(),    std::set<std::string>(files.begin(), files.end()), true, kDialogTitle, kDialogMessage,
                kDialogButton};
            if (!PostSave::AskChangeList(context, question, choice.changelist)) return;
        }
        std::string errorText;
        std::string message;
        const qor4::qorResult result = context.helper.MarkDeletedFilesForDelete(
            context.fileVersionControl, context.account, files, choice.changelist, errorText, message);
        choice.prompt = false;
        if (IsZero(result)) return;
        // Its own loop rather than the shared retry, because of the changelist question below.
        const bool expired = result == qor4::kResultSessionExpired;
        if (expired && context.Reopen(PostSave::kMarkForDeletePrefix, PostSave::kSessionExpiredPrompt)) continue;
        if (!CRevisionControlUIHelper::AskRetry(kMarkForDeleteErrorTitle, message)) return;
        // Only a session that stayed lost makes the changelist worth asking for again.
        choice.prompt = expired;
    }
}

} // namespace

namespace PostSave {

bool HandleDeletedFiles(Context& context, const std::list<std::string>& deletedFiles)
{
    const FilesStatus status =
        QueryFilesStatus(context, deletedFiles, kMarkForDeletePrefix, kMarkForDeleteSessionPrompt);
    if (IsNegative(status.result)) return false;
    const DeletedFileGroups groups = Classify(deletedFiles, status);
    if (!groups.addedAndDeleted.empty()) RevertAddedFiles(context, groups.addedAndDeleted);
    for (const auto& [changelist, files] : groups.checkedOutByChangelist)
        RevertAndDelete(context, changelist, files);
    if (!groups.toDelete.empty()) MarkForDelete(context, groups.toDelete);
    return true;
}

} // namespace PostSave

qor4::qorResult CRevisionControlUIHelper::MarkDeletedFilesForDelete(
    qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl, const qor4::IUserParameters* account,
    const std::list<std::string>& files, const std::string& changelist, std::string& errorText, std::string& message)
{
    const std::string names = PostSave::ListFileNames(files);
    const qor4::qorResult result = fileVersionControl->MarkForDelete(account, files, changelist, errorText);
    if (IsZero(result)) return result;

    std::uint32_t combinedStatus = 0;
    GetCombinedFilesStatus(fileVersionControl, account, files, combinedStatus);
    message = std::string(kDeletedHeader) + "\n" + names + "\n" + kDeletedReason;
    DescribeFilesFailure(fileVersionControl, account, files, combinedStatus, FailureFlags::kMarkForDelete, errorText,
                         message);
    return result;
}
