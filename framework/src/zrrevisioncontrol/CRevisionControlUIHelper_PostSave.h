// The steps of the post-save flow (CRevisionControlUIHelper::OnPostSave), shared by its source files.
#pragma once

#include "CRevisionControlUIHelper.h"
#include "ResultChecks.h"

#include <list>
#include <set>
#include <string>
#include <vector>

namespace PostSave {

constexpr char kMarkForAddPrefix[] = "Post-Save Mark-for-Add: ";
constexpr char kMarkForDeletePrefix[] = "Post-Save Mark-for-Delete: ";
constexpr char kMarkForAddSessionPrompt[] =
    "Revision control system needs to be queried for file status but\nsession was lost. Enter a password to "
    "re-connect, or cancel the mark-for-add.";
constexpr char kMarkForDeleteSessionPrompt[] =
    "Revision control system needs to be queried for file status but\nsession was lost. Enter a password to "
    "re-connect, or cancel the mark-for-delete.";
constexpr char kSessionExpiredPrompt[] = "Source control session expired. Password required to re-connect.";

// What every step of one notification works with.
struct Context {
    CRevisionControlUIHelper& helper;
    IRevisionControlPropertiesMgr& properties;
    qor4::QORPtr<qor4::IDataControl> dataControl;
    qor4::QORPtr<qor4::IFileVersionControl> fileVersionControl;
    // The account of the current session; replaced whenever the session is re-opened.
    const qor4::IUserParameters* account = nullptr;
    bool useSourceDataControl = false;

    // Re-opens an expired session and takes the new account; true when it was re-opened.
    bool Reopen(const char* prefix, const char* prompt);
};

struct FilesStatus {
    qor4::qorResult result;
    std::vector<qor4::StatusWord> words;
    std::vector<std::string> changeLists;

    // A file the service gave no answer for is treated as unknown and left alone.
    bool Has(std::size_t index) const { return index < words.size(); }
    std::string ChangeListOf(std::size_t index) const
    {
        return index < changeLists.size() ? changeLists[index] : std::string();
    }
    // Calls visit(file, word, index) for each of files, in order, that has an answer.
    template <class Visit> void ForEachAnswered(const std::list<std::string>& files, Visit visit) const
    {
        std::size_t index = 0;
        for (auto file = files.begin(); file != files.end() && Has(index); ++file, ++index)
            visit(*file, words[index], index);
    }
};

// The files' status; an expired session is re-opened once (with prefix and prompt) and asked again.
FilesStatus QueryFilesStatus(Context& context, const std::list<std::string>& files, const char* prefix,
                             const char* prompt);

// The changelist to use without asking, and whether the user must be asked: the stored one, unless
// the preferences want a question or it is no longer valid (then prompting is stored on). Without
// windows nobody is asked and the default changelist is used.
struct ChangeListChoice {
    std::string changelist;
    bool prompt = false;
};
ChangeListChoice ChooseChangeList(Context& context);

// The texts of a changelist question.
struct ChangeListQuestion {
    QString assetsText;
    std::set<std::string> files;
    bool showFilesAtStart = false;
    const char* title = nullptr;
    const char* message = nullptr;
    const char* button = nullptr;
};
// Asks for the changelist to put files into; a ticked remember box stores it as the one to use
// without asking. False when the user cancelled.
bool AskChangeList(Context& context, const ChangeListQuestion& question, std::string& changelist);

// Each file name followed by "\n".
std::string ListFileNames(const std::list<std::string>& files);

// The outcome of one attempt on a group of files or assets, and what to show when it failed.
struct Attempt {
    qor4::qorResult result;
    std::string message;
};

// Runs attempt until its status is 0; an expired session that is re-opened (with prefix and the
// generic prompt) or the user's Retry repeats it. Unlike a single step, a session that expires
// again after being re-opened is re-opened again: these steps keep going as long as the user does.
template <class AttemptFn>
void RunWithRetry(Context& context, const char* prefix, const char* errorTitle, AttemptFn attempt)
{
    for (;;) {
        const Attempt outcome = attempt();
        if (IsZero(outcome.result)) return;
        if (outcome.result == qor4::kResultSessionExpired && context.Reopen(prefix, kSessionExpiredPrompt)) continue;
        if (!CRevisionControlUIHelper::AskRetry(errorTitle, outcome.message)) return;
    }
}

// Takes the deleted files out of revision control. False when their status could not be queried:
// the notification then stops.
bool HandleDeletedFiles(Context& context, const std::list<std::string>& deletedFiles);
// Marks the newly created assets for add.
void HandleNewAssets(Context& context, const DbObjectHandles& newObjects);

} // namespace PostSave
