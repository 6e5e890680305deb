#include "WalkthroughSteps.h"

#include "AssetSnapshot.h"

#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"

#include <QComboBox>
#include <QFile>
#include <QTextEdit>

namespace demo {

namespace {

namespace fs = qor4::FileStatus;

constexpr const char* kEditedAsset = "hero";
constexpr const char* kVetoedAsset = "sky";
constexpr const char* kDeletedAsset = "crate";
constexpr const char* kCreatedAsset = "barrel";
constexpr const char* kLockedAsset = "villain";
constexpr const char* kNewChangeListDescription = "Walkthrough: hero edits";
constexpr const char* kCheckOutTitle = "Check Out";
constexpr const char* kPreSaveTitle = "Check Out Before Saving";
constexpr const char* kCheckoutErrorTitle = "Checkout Error";
constexpr const char* kPasswordTitle = "Data Source Password Required";
constexpr const char* kChangedPassword = "changed-secret";
constexpr const char* kFirstPasswordAsset = "table";
constexpr const char* kNotConnectedAsset = "stool";

std::string ReadFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::string Hex(qor4::StatusWord word)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", word);
    return text;
}

// Picks "New" in the changelist box, describes it, and presses Check Out.
standin::ModalDriver::Action CheckOutIntoNewChangeList(const QString& description)
{
    return [description](QWidget* window) {
        if (auto* combo = window->findChild<QComboBox*>(QStringLiteral("changeListCombo"))) combo->setCurrentIndex(0);
        if (auto* edit = window->findChild<QTextEdit*>(QStringLiteral("descriptionEdit")))
            edit->setPlainText(description);
        standin::ModalDriver::Click(QStringLiteral("checkOutButton"))(window);
    };
}

void ExpectWindowTitles(StepContext& step, const std::vector<std::string>& titles)
{
    const std::vector<standin::ModalDriver::Window> windows = step.Windows();
    step.Expect(windows.size() == titles.size(),
                std::to_string(titles.size()) + " window(s), met " + std::to_string(windows.size()));
    for (std::size_t i = 0; i < windows.size() && i < titles.size(); ++i)
        step.Expect(windows[i].title.toStdString() == titles[i], "window " + std::to_string(i + 1) + " titled \"" +
                                                                     titles[i] + "\", got \"" +
                                                                     windows[i].title.toStdString() + "\"");
}

void EditAndSaveIntoNewChangeList(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kEditedAsset);
    if (!asset) return;
    const std::vector<std::string> files = standin::AssetFilePaths(*asset);
    for (const std::string& file : files)
        step.Expect(standin::IsReadOnlyOnDisk(file), file + " read-only before the edit");
    const std::string before = ReadFile(files.front());

    step.modal.AnswerNext(standin::ModalDriver::Click("continueButton"), "Continue (edit without checking out yet)");
    step.Expect(step.host.EditAsset(asset), "the edit to go ahead after Continue");
    step.Expect(step.host.IsDirty(asset), "the asset to be modified");

    step.modal.AnswerNext(CheckOutIntoNewChangeList(kNewChangeListDescription),
                          QStringLiteral("New changelist \"%1\", Check Out").arg(kNewChangeListDescription));
    const standin::SaveResult saved = step.host.Save();
    step.Expect(saved.Succeeded(), "the save to succeed");
    ExpectWindowTitles(step, {kCheckOutTitle, kPreSaveTitle});

    std::string changeList;
    for (const ChangeListInfo& list : step.host.PendingChangeLists())
        if (list.description == kNewChangeListDescription) changeList = list.number;
    step.Expect(!changeList.empty(), std::string("a pending changelist \"") + kNewChangeListDescription + "\"");
    ExpectFiles(step, kEditedAsset, fs::kCheckedOut, 0, "checked out");
    const ProjectSnapshot snapshot = ProjectSnapshot::Take(step.host);
    const AssetView* view = snapshot.Find(kEditedAsset);
    for (const FileState& file : view ? view->files : std::vector<FileState>()) {
        step.Expect(file.changeList == changeList && !changeList.empty(),
                    file.depotPath + " in changelist " + changeList + ", is in \"" + file.changeList + "\"");
        step.Expect(file.exists && !file.readOnly, file.depotPath + " writable on disk");
    }
    step.Expect(ReadFile(files.front()) != before, "the asset file rewritten by the save");
    step.Expect(!step.host.IsDirty(asset), "the asset saved (no longer modified)");
    step.Note("checked out into new changelist " + changeList);
}

void VetoedSave(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kVetoedAsset);
    if (!asset) return;
    const std::string file = asset->GetAssetFile();
    const std::string before = ReadFile(file);

    step.modal.AnswerNext(standin::ModalDriver::Click("continueButton"), "Continue (edit without checking out yet)");
    step.Expect(step.host.EditAsset(asset), "the edit to go ahead after Continue");
    step.modal.AnswerNext(standin::ModalDriver::Click("cancelButton"), "Cancel (veto the save)");
    const standin::SaveResult saved = step.host.Save();
    step.Expect(saved.vetoed, "the save to be abandoned");
    step.Expect(saved.writtenFiles.empty() && saved.removedFiles.empty(), "nothing written or removed");
    ExpectWindowTitles(step, {kCheckOutTitle, kPreSaveTitle});
    step.Expect(ReadFile(file) == before, file + " unchanged on disk");
    step.Expect(standin::IsReadOnlyOnDisk(file), file + " still read-only");
    ExpectFiles(step, kVetoedAsset, 0, fs::kCheckedOut, "not checked out");
    step.Expect(step.host.IsDirty(asset), "the edit kept in memory");
    step.host.DiscardEdit(asset);
    step.Note("the unsaved edit of sky was discarded afterwards, so that later saves do not ask about it");
}

void DeleteAndSave(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kDeletedAsset);
    if (!asset) return;
    const std::vector<std::string> files = standin::AssetFilePaths(*asset);
    step.host.DeleteAsset(asset);
    const standin::SaveResult saved = step.host.Save();
    step.Expect(saved.Succeeded(), "the save to succeed");
    ExpectWindowTitles(step, {});
    for (const std::string& file : files) {
        step.Expect(!standin::FileExists(file), file + " removed from disk");
        const ProjectSnapshot snapshot = ProjectSnapshot::Take(step.host);
        const FileState* state = snapshot.FindFile(step.host.DepotPathOf(file));
        step.Expect(state && state->statusKnown && (state->status & fs::kMarkedForDelete),
                    file + " marked for delete" + (state ? " (" + DescribeServerState(*state) + ")" : ""));
    }
}

void CreateAndSave(StepContext& step)
{
    standin::DbObject* asset = step.host.CreateAsset(kCreatedAsset, 1);
    step.Expect(asset != nullptr, "a new asset");
    if (!asset) return;
    const standin::SaveResult saved = step.host.Save();
    step.Expect(saved.Succeeded(), "the save to succeed");
    ExpectWindowTitles(step, {});
    for (const std::string& file : standin::AssetFilePaths(*asset))
        step.Expect(standin::FileExists(file) && !standin::IsReadOnlyOnDisk(file), file + " written, writable");
    ExpectFiles(step, kCreatedAsset, fs::kMarkedForAdd, 0, "marked for add");
}

void CheckOutLockedByOther(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kLockedAsset);
    if (!asset) return;
    step.modal.AnswerNext(standin::ModalDriver::Click("OK"), "OK");
    bool cancelled = false;
    step.Expect(!step.host.CheckOutAsset(asset, cancelled), "the check-out to fail");
    ExpectWindowTitles(step, {kCheckoutErrorTitle});
    const std::vector<standin::ModalDriver::Window> windows = step.Windows();
    step.Expect(!windows.empty() && windows.front().text.contains(QLatin1String("bob")),
                "the message to name bob, who holds the lock");
    ExpectFiles(step, kLockedAsset, fs::kLockedByOther, fs::kCheckedOut, "locked by bob, not checked out by me");
    for (const std::string& file : standin::AssetFilePaths(*asset))
        step.Expect(standin::IsReadOnlyOnDisk(file), file + " still read-only");
}

void SubmitReleasesLocks(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kEditedAsset);
    if (!asset) return;
    std::string changeList;
    for (const ChangeListInfo& list : step.host.PendingChangeLists())
        if (list.description == kNewChangeListDescription) changeList = list.number;
    step.Expect(!changeList.empty(), std::string("the pending changelist \"") + kNewChangeListDescription + "\"");
    std::vector<std::string> files;
    for (const std::string& file : standin::AssetFilePaths(*asset))
        files.push_back(step.host.DepotPathOf(file));
    const standin::StatusResult before = step.host.StatusAs(SampleUsers::kOther, files);
    step.Expect(before.Succeeded() && !before.words.empty() && (before.words.front() & fs::kLockedByOther),
                "bob to see alice's lock on " + files.front() + " before the submit");

    const standin::ServerResult submitted = step.host.Submit(changeList);
    step.Expect(submitted.Succeeded(), "the submit to succeed: " + submitted.text);
    ExpectWindowTitles(step, {});
    for (const ChangeListInfo& list : step.host.PendingChangeLists())
        step.Expect(list.number != changeList, "changelist " + changeList + " no longer pending");
    ExpectFiles(step, kEditedAsset, 0, fs::kCheckedOut | fs::kLockedByMe, "no longer checked out");
    for (const std::string& file : standin::AssetFilePaths(*asset))
        step.Expect(standin::IsReadOnlyOnDisk(file), file + " read-only again");

    const standin::StatusResult after = step.host.StatusAs(SampleUsers::kOther, files);
    step.Expect(after.Succeeded() && after.words.size() == files.size(), "bob's view of the hero: " + after.text);
    for (std::size_t i = 0; i < after.words.size(); ++i)
        step.Expect((after.words[i] & (fs::kLockedByOther | fs::kCheckedOutByOther)) == 0,
                    "bob to see " + files[i] + " unlocked (status " + Hex(after.words[i]) + ")");
    step.Expect(!after.words.empty() && (after.words.front() & fs::kNotAtHead),
                "bob's copy of " + files.front() + " to be behind alice's new revision");
    step.Note("submitted changelist " + changeList + "; bob sees the hero unlocked and a newer revision");
}

void PasswordChangedOnServer(StepContext& step)
{
    standin::DbObject* asset = RequireAsset(step, kVetoedAsset);
    if (!asset) return;
    step.Expect(step.host.ChangeServerPassword(kChangedPassword), "the server's password file to change");
    // The server refuses the session's password at the check-out; the plug-in asks for the new one.
    step.modal.AnswerNext(standin::ModalDriver::Sequence({standin::ModalDriver::Type("passwordEdit", kChangedPassword),
                                                          standin::ModalDriver::Click("okButton")}),
                          QStringLiteral("type the new password, Ok"));
    bool cancelled = false;
    step.Expect(step.host.CheckOutAsset(asset, cancelled),
                "the check-out to succeed once the session is re-opened with the new password");
    ExpectWindowTitles(step, {kPasswordTitle});
    step.Expect(step.host.IsSessionAlive(), "a live session again");
    ExpectFiles(step, kVetoedAsset, fs::kCheckedOut | fs::kLockedByMe, 0, "checked out");
    step.Expect(!standin::IsReadOnlyOnDisk(asset->GetAssetFile()), "sky writable on disk");
    step.Note("the server now wants alice's new password");
}

void SubmitCancelledInFrontOfAStoppedServer(StepContext& step)
{
    standin::DbObject* hero = RequireAsset(step, kEditedAsset);
    standin::DbObject* sky = RequireAsset(step, kVetoedAsset);
    if (!hero || !sky) return;
    bool cancelled = false;
    step.Expect(step.host.CheckOutAsset(hero, cancelled), "the hero checked out again");
    ExpectFiles(step, kVetoedAsset, fs::kCheckedOut, 0, "still checked out from the step before");
    step.Expect(step.host.FreezeServer(true), "the server stopped");
    step.modal.AnswerNext(standin::ModalDriver::Click("Cancel"), QStringLiteral("Cancel (in the progress box)"));
    const standin::ChangeListResult submitted = step.host.Submit("");
    step.Expect(step.host.FreezeServer(false), "the server resumed");
    const std::vector<standin::ModalDriver::Window> windows = step.Windows();
    step.Expect(windows.size() == 1 && windows.front().text.startsWith(QLatin1String("Perforce Operation")),
                "the progress box, and nothing else");
    step.Expect(submitted.Failed() && submitted.revision == 0, "the submit to fail with nothing committed");
    step.Expect(submitted.text.rfind("Nothing", 0) == 0, "a report that nothing was submitted: " + submitted.text);
    ExpectFiles(step, kEditedAsset, fs::kCheckedOut | fs::kLockedByMe, 0, "still locked");
    ExpectFiles(step, kVetoedAsset, fs::kCheckedOut | fs::kLockedByMe, 0, "still locked");
    step.Note("reported: " + submitted.text);
}

// The Simulate menu: its fault decorator is in the backend's chain only while a simulation is on.
void ExpiredSessionAsksForThePassword(StepContext& step)
{
    standin::DbObject* hero = RequireAsset(step, kEditedAsset);
    if (!hero) return;
    step.Expect(!step.host.Simulating(), "no fault decorator while no simulation is on");
    step.host.SetSlowOperations(true);
    step.Expect(step.host.Simulating(), "the fault decorator in for slow operations");
    step.host.SetSlowOperations(false);
    step.Expect(!step.host.Simulating(), "the fault decorator out with slow operations off");
    step.host.ExpireSession();
    step.Expect(step.host.Simulating(), "the fault decorator in while the session is expired");
    step.modal.AnswerNext(standin::ModalDriver::Click("checkOutButton"),
                          QStringLiteral("Check Out (the default changelist)"));
    step.modal.AnswerNext(standin::ModalDriver::Sequence({standin::ModalDriver::Type("passwordEdit", kChangedPassword),
                                                          standin::ModalDriver::Click("okButton")}),
                          QStringLiteral("type the password, Ok"));
    bool cancelled = false;
    step.Expect(step.host.CheckOutAsset(hero, cancelled), "the check-out once the session is re-opened");
    // Without a session the default changelist cannot be checked, so the plug-in asks which one.
    ExpectWindowTitles(step, {"Select Pending ChangeList", kPasswordTitle});
    step.Expect(step.host.IsSessionAlive(), "a live session again");
    step.Expect(!step.host.Simulating(), "the fault decorator out once the data control acts in the new session");
    ExpectFiles(step, kEditedAsset, fs::kCheckedOut | fs::kLockedByMe, 0, "still checked out and locked");
}

standin::DbObject* CreateWhileDisconnected(StepContext& step, const char* name)
{
    step.host.Disconnect();
    step.Expect(!step.host.IsSessionAlive(), "no session, as in a host started without the password");
    standin::DbObject* asset = step.host.CreateAsset(name, 1);
    step.Expect(asset != nullptr, std::string("a new asset ") + name);
    return asset;
}

void SaveBeforeTheFirstPassword(StepContext& step)
{
    if (!CreateWhileDisconnected(step, kFirstPasswordAsset)) return;
    step.modal.AnswerNext(standin::ModalDriver::Sequence({standin::ModalDriver::Type("passwordEdit", kChangedPassword),
                                                          standin::ModalDriver::Click("okButton")}),
                          QStringLiteral("type the password, Ok"));
    const SaveOutcome saved = step.host.Save();
    step.Expect(saved.Succeeded(), "the save to succeed");
    ExpectWindowTitles(step, {kPasswordTitle});
    step.Expect(saved.leftOut.Empty(), "nothing left outside revision control: " + saved.leftOut.Describe());
    ExpectFiles(step, kFirstPasswordAsset, fs::kMarkedForAdd, 0, "marked for add");
}

void SaveWithThePasswordCancelled(StepContext& step)
{
    if (!CreateWhileDisconnected(step, kNotConnectedAsset)) return;
    const std::size_t logStart = step.host.Log().Count();
    step.modal.AnswerNext(standin::ModalDriver::Click("cancelButton"), QStringLiteral("Cancel"));
    const SaveOutcome saved = step.host.Save();
    step.Expect(saved.Succeeded(), "the save itself to succeed");
    ExpectWindowTitles(step, {kPasswordTitle});
    step.Expect(saved.leftOut.assets == std::vector<std::string>{kNotConnectedAsset},
                std::string("the save to name ") + kNotConnectedAsset + " as not added");
    bool logged = false;
    const auto& entries = step.host.Log().Entries();
    for (std::size_t i = logStart; i < entries.size(); ++i)
        logged = logged || entries[i].text.find(std::string("not added to revision control: ") + kNotConnectedAsset) !=
                               std::string::npos;
    step.Expect(logged, std::string("the host log to name ") + kNotConnectedAsset);
    step.Expect(step.host.Connect(kChangedPassword).connected, "to connect again afterwards");
    ExpectFiles(step, kNotConnectedAsset, fs::kNotInDepot, fs::kMarkedForAdd, "still outside revision control");
    step.Note(saved.leftOut.Describe());
}

} // namespace

standin::DbObject* RequireAsset(StepContext& step, const char* name)
{
    standin::DbObject* asset = step.host.FindAsset(name);
    step.Expect(asset != nullptr, std::string("the sample asset ") + name);
    return asset;
}

void ExpectFiles(StepContext& step, const std::string& asset, qor4::StatusWord wanted, qor4::StatusWord unwanted,
                 const std::string& what)
{
    const ProjectSnapshot snapshot = ProjectSnapshot::Take(step.host);
    const AssetView* view = snapshot.Find(asset);
    step.Expect(view != nullptr && !view->files.empty(), asset + " listed with its files");
    if (!view) return;
    for (const FileState& file : view->files) {
        step.Expect(file.statusKnown, file.depotPath + " has a known server state");
        step.Expect((file.status & wanted) == wanted && (file.status & unwanted) == 0,
                    file.depotPath + " " + what + " (status " + Hex(file.status) + ": " + DescribeServerState(file) +
                        ")");
    }
}

void StepContext::Expect(bool condition, const std::string& what)
{
    if (!condition) failures.push_back("expected " + what);
}

std::vector<standin::ModalDriver::Window> StepContext::Windows() const
{
    const auto& all = modal.Seen();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(firstWindow, all.size())), all.end()};
}

const std::vector<StepDefinition>& WalkthroughStepTable()
{
    static const std::vector<StepDefinition> steps = {
        {"edit-save-checkout", "Edit and save a read-only asset, checking it out into a new changelist",
         &EditAndSaveIntoNewChangeList},
        {"vetoed-save", "Save with the check-out question cancelled", &VetoedSave},
        {"delete-save", "Delete an asset and save", &DeleteAndSave},
        {"create-save", "Create an asset and save", &CreateAndSave},
        {"locked-checkout", "Check out an asset another user has locked", &CheckOutLockedByOther},
        {"submit", "Submit the changelist, which releases the locks (seen from bob's working copy)",
         &SubmitReleasesLocks},
        {"password-changed", "A password changed on the server: the password dialog, then the retried step",
         &PasswordChangedOnServer},
        {"frozen-submit", "A submit cancelled in front of a stopped server: nothing submitted, the locks held",
         &SubmitCancelledInFrontOfAStoppedServer},
        {"first-password-save", "A new asset saved before the first password: the password, then the mark for add",
         &SaveBeforeTheFirstPassword},
        {"not-connected-save", "A new asset saved with the password cancelled: the host names it as left out",
         &SaveWithThePasswordCancelled},
        {"revert", "Revert an asset checked out and locked: the changes and the lock are gone (seen from bob's too)",
         &RevertDropsChangesAndLock},
        {"mark-for-add", "The asset left out is marked for add through the plug-in's command, run by identifier",
         &MarkForAddTheAssetLeftOut},
        {"get-latest", "Get Latest of one asset, then of everything after bob submitted a new asset: it is listed",
         &GetLatestBringsOthersWork},
        {"expired-session", "Simulate > Expire Session: the next operation asks for the password, then goes on",
         &ExpiredSessionAsksForThePassword},
    };
    return steps;
}

} // namespace demo
