// The walkthrough's steps of the actions beyond the editor's: revert and mark for add.
#include "WalkthroughSteps.h"

#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"
#include "framework/WorkingCopyFence.h"
#include "revisioncontrol/RevisionBackend.h"

#include <algorithm>

namespace demo {

namespace {

namespace fs = qor4::FileStatus;

constexpr const char* kRevertedAsset = "sky";  // checked out and locked by the frozen submit's step
constexpr const char* kLeftOutAsset = "stool"; // saved with the password cancelled
constexpr const char* kBehindAsset = "lamp";   // carol's newer revision is not in alice's copy
constexpr const char* kOthersNewAsset = "lantern";
constexpr const char* kOthersNewFile = "props/lantern.qor";

bool Holds(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// An update may outlast the worker's grace time (Subversion waits for the clock to pass the
// timestamps of the files it wrote): its progress box is watched, and closes itself, not answered.
LatestOutcome GetLatestWatched(StepContext& step, standin::DbObject* asset)
{
    step.modal.WatchNext();
    LatestOutcome outcome = step.host.GetLatest(asset);
    step.modal.DropPending();
    return outcome;
}

// Bob adds a new asset from his own working copy and submits it; empty, or what went wrong.
std::string BobSubmitsANewAsset(DemoHost& host)
{
    standin::RevisionBackend& backend = host.Backend();
    const std::string workingCopy = host.Project().WorkingCopy(SampleUsers::kOther).toStdString();
    const standin::LoginResult login =
        backend.OpenSession({SampleUsers::kOther, SampleUsers::kPassword, host.ServerUrl(), workingCopy, {}});
    if (login.Failed()) return "bob's login: " + login.text;
    const std::string file = workingCopy + "/" + kOthersNewFile;
    std::string problem = standin::WriteFileContent(standin::WorkingCopyFence(workingCopy), file, "lantern\n").reason;
    if (problem.empty()) problem = backend.Add(login.session, {file}, "").text;
    if (problem.empty()) {
        const standin::ChangeListResult submitted = backend.Submit(login.session, "");
        if (submitted.Failed() || submitted.revision <= 0) problem = "bob's submit: " + submitted.text;
    }
    backend.CloseSession(login.session);
    return problem;
}

bool LogSays(DemoHost& host, std::size_t from, const std::string& text)
{
    const auto& entries = host.Log().Entries();
    for (std::size_t i = from; i < entries.size(); ++i)
        if (entries[i].text.find(text) != std::string::npos) return true;
    return false;
}

} // namespace

void RevertDropsChangesAndLock(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kRevertedAsset);
    if (!asset) return;
    const RevertPreview preview = step.host.PreviewRevert(asset);
    step.Expect(preview.known, "the revert's preview to know the files: " + preview.text);
    step.Expect(preview.changed.size() == standin::AssetFilePaths(*asset).size(),
                "every file of the sky named as changed");
    step.Expect(!preview.locked.empty(), "the sky's lock named");

    const std::size_t logStart = step.host.Log().Count();
    const RevertOutcome reverted = step.host.RevertAsset(asset);
    step.Expect(reverted.succeeded, "the revert to succeed: " + reverted.text);
    step.Expect(reverted.stateKnown && reverted.stillChanged.empty() && reverted.stillLocked.empty(),
                "nothing left opened or locked");
    step.Expect(LogSays(step.host, logStart, std::string("Reverted ") + kRevertedAsset), "the host log to tell it");
    ExpectFiles(step, kRevertedAsset, 0, fs::kCheckedOut | fs::kLockedByMe, "neither checked out nor locked");
    for (const std::string& file : standin::AssetFilePaths(*asset))
        step.Expect(standin::IsReadOnlyOnDisk(file), file + " read-only again");
    std::vector<std::string> files;
    for (const std::string& file : standin::AssetFilePaths(*asset))
        files.push_back(step.host.DepotPathOf(file));
    const standin::StatusResult bobs = step.host.StatusAs(SampleUsers::kOther, files);
    step.Expect(bobs.Succeeded() && bobs.words.size() == files.size(), "bob's view of the sky: " + bobs.text);
    for (std::size_t i = 0; i < bobs.words.size(); ++i)
        step.Expect((bobs.words[i] & (fs::kLockedByOther | fs::kCheckedOutByOther)) == 0,
                    "bob to see " + files[i] + " free");

    const RevertPreview again = step.host.PreviewRevert(asset);
    step.Expect(again.known && again.changed.empty() && again.locked.empty(), "nothing more to revert");
    step.Note("reverted the sky; bob sees it free");
}

void MarkForAddTheAssetLeftOut(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kLeftOutAsset);
    if (!asset) return;
    ExpectFiles(step, kLeftOutAsset, fs::kNotInDepot, fs::kMarkedForAdd, "still outside revision control");
    const std::size_t logStart = step.host.Log().Count();
    const CommandOutcome added = step.host.MarkForAdd(asset, "");
    step.Expect(added.ran && added.code == 0, "the command to run and succeed: " + added.error);
    step.Expect(LogSays(step.host, logStart, std::string("Marked for add: ") + kLeftOutAsset),
                "the host log to tell it");
    ExpectFiles(step, kLeftOutAsset, fs::kMarkedForAdd, fs::kNotInDepot, "marked for add");

    // Once more: the files are in revision control already, and the command says so.
    const CommandOutcome twice = step.host.MarkForAdd(asset, "");
    step.Note("marked the stool for add; a second time the command answered " + std::to_string(twice.code) +
              (twice.error.empty() ? "" : ": " + twice.error));
}

} // namespace demo

namespace demo {

void GetLatestBringsOthersWork(StepContext& step)
{
    standin::DbObject* lamp = RequireAsset(step, kBehindAsset);
    if (!lamp) return;
    const std::size_t logStart = step.host.Log().Count();
    const LatestOutcome one = GetLatestWatched(step, lamp);
    step.Expect(one.update.Succeeded() && one.update.conflicts.empty(),
                "the lamp's update to succeed: " + one.update.text);
    step.Expect(Holds(one.update.updated, lamp->GetAssetFile()), "the lamp's asset file named as updated");
    step.Expect(one.rescan.added.empty(), "no asset listed anew by the lamp's update");
    ExpectFiles(step, kBehindAsset, 0, fs::kNotAtHead, "at the head revision");
    step.Expect(LogSays(step.host, logStart, std::string("Get Latest of ") + kBehindAsset + ": at revision"),
                "the host log to tell the lamp's update");

    const std::string bobs = BobSubmitsANewAsset(step.host);
    step.Expect(bobs.empty(), "bob to submit a new asset: " + bobs);
    const LatestOutcome all = GetLatestWatched(step, nullptr);
    step.Expect(all.update.Succeeded(), "the update of everything to succeed: " + all.update.text);
    step.Expect(Holds(all.rescan.added, kOthersNewAsset), std::string("the ") + kOthersNewAsset + " listed anew");
    step.Expect(step.host.FindAsset(kOthersNewAsset) != nullptr, std::string("the ") + kOthersNewAsset + " an asset");
    ExpectFiles(step, kOthersNewAsset, 0, fs::kNotInDepot | fs::kNotAtHead | fs::kMarkedForAdd,
                "in revision control at the head revision");
    step.Note("Get Latest brought the lamp, then bob's new " + std::string(kOthersNewAsset) + " at revision " +
              std::to_string(all.update.revision));
}

} // namespace demo
