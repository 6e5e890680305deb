#include "FileStateText.h"

#include <algorithm>

namespace demo {

namespace {

constexpr const char* kSeparator = "; ";
constexpr const char* kUpToDate = "up to date";
constexpr const char* kUnknown = "state unknown (no live session)";
constexpr const char* kDefaultChangeList = "default changelist";

std::string ChangeListText(const std::string& changeList)
{
    return changeList.empty() ? kDefaultChangeList : "changelist " + changeList;
}

std::string HoldersText(const std::vector<std::string>& holders)
{
    std::string text;
    for (const std::string& holder : holders) {
        if (text.find(holder) != std::string::npos) continue;
        text += (text.empty() ? "" : ", ") + holder;
    }
    return text.empty() ? "another user" : text;
}

void Append(std::string& text, const std::string& part)
{
    text += (text.empty() ? "" : kSeparator) + part;
}

} // namespace

std::string DescribeServerState(const FileState& state)
{
    if (!state.statusKnown) return kUnknown;
    namespace fs = qor4::FileStatus;
    const qor4::StatusWord word = state.status;
    const std::string others = HoldersText(state.holders);
    std::string text;
    if (word & fs::kCheckedOut) Append(text, "checked out in " + ChangeListText(state.changeList));
    if (word & fs::kMarkedForAdd) Append(text, "marked for add in " + ChangeListText(state.changeList));
    if (word & fs::kMarkedForDelete) Append(text, "marked for delete in " + ChangeListText(state.changeList));
    if (word & fs::kLockedByMe) Append(text, "locked by me");
    if (word & (fs::kCheckedOutByOther | fs::kMarkedForAddByOther | fs::kMarkedForDeleteByOther))
        Append(text, "opened by " + others);
    if (word & fs::kLockedByOther) Append(text, "locked by " + others);
    if (word & fs::kNotAtHead) Append(text, "not at the head revision");
    if (word & fs::kNotInDepot) Append(text, "not in the database");
    if (word & fs::kIOError) Append(text, "I/O error");
    return text.empty() ? kUpToDate : text;
}

std::string DescribeDiskState(const FileState& state)
{
    if (!state.exists) return "missing";
    if (!state.linkTarget.empty()) return "symbolic link to " + state.linkTarget;
    return state.readOnly ? "read-only" : "writable";
}

std::string DescribeFile(const FileState& state)
{
    return state.depotPath + ": " + DescribeServerState(state) + " | " + DescribeDiskState(state);
}

std::vector<std::string> ChangeListsOfFiles(const std::vector<FileState>& files)
{
    constexpr qor4::StatusWord kOpened =
        qor4::FileStatus::kCheckedOut | qor4::FileStatus::kMarkedForAdd | qor4::FileStatus::kMarkedForDelete;
    std::vector<std::string> lists;
    for (const FileState& file : files)
        if (file.statusKnown && (file.status & kOpened) &&
            std::find(lists.begin(), lists.end(), file.changeList) == lists.end())
            lists.push_back(file.changeList);
    return lists;
}

} // namespace demo
