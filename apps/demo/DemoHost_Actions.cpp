// DemoHost's revision-control actions beyond the editor's: revert and mark for add.
#include "DemoHost.h"

#include "ScsMarkForAddCommand.h"
#include "datamodel/DbObject.h"
#include "datamodel/ModelAssetFiles.h"
#include "framework/CommandManager.h"
#include "framework/PrintableText.h"
#include "framework/System.h"
#include "revisioncontrol/DataControl.h"
#include "revisioncontrol/FileVersionControl.h"

#include "Log/Log.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "opal/datamodel/modify/Params.h"

#include <list>

namespace demo {

namespace {

namespace fs = qor4::FileStatus;

constexpr qor4::StatusWord kOpened = fs::kCheckedOut | fs::kMarkedForAdd | fs::kMarkedForDelete;
constexpr const char* kChangeListParam = "changelist";
constexpr const char* kAssetParam = "asset";
constexpr const char* kIncludeExternalFileParam = "includeexternalfile";
constexpr const char* kErrorStringParam = "ErrorString";
constexpr int kAssetInterfaceId = 60;

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + standin::PrintableText(name);
    return text;
}

void Tell(Log::MsgType type, const std::string& line)
{
    Log::Singleton::Instance() << type << line;
}

} // namespace

standin::StatusResult DemoHost::StatusOfAsset(const standin::DbObject& asset,
                                              std::vector<std::string>& depotPaths) const
{
    standin::FileList files;
    for (const std::string& file : standin::AssetFilePaths(asset)) {
        files.push_back(file);
        depotPaths.push_back(DepotPathOf(file));
    }
    standin::StatusResult status;
    status.code = standin::ServerCode::kLoginFailed;
    status.text = NotConnectedText() + "\n";
    if (const standin::SessionId session = Session())
        status = m_session->Worker().Status(session, files, standin::StatusScope::kWithRepository);
    if (status.Succeeded() && status.words.size() != files.size()) {
        status.code = standin::ServerCode::kIOError;
        status.text = "The status of the asset's files did not come back whole.\n";
    }
    return status;
}

LatestOutcome DemoHost::GetLatest(standin::DbObject* asset)
{
    LatestOutcome outcome;
    standin::FileList files;
    if (asset) files = standin::AssetFilePaths(*asset);
    if (const standin::SessionId session = Session()) {
        outcome.update = m_session->Backend().Update(session, files);
    } else {
        outcome.update.code = standin::ServerCode::kLoginFailed;
        outcome.update.text = NotConnectedText() + "\n";
    }
    // Whatever part of the update happened shows in the listing.
    if (!asset || !outcome.update.updated.empty()) outcome.rescan = Rescan();

    const standin::UpdateResult& update = outcome.update;
    std::vector<std::string> updated;
    for (const std::string& file : update.updated)
        updated.push_back(DepotPathOf(file));
    const std::string what = asset ? standin::PrintableText(asset->GetName()) : std::string("the working copy");
    std::string line = "Get Latest of " + what + ": ";
    if (update.Succeeded())
        line += "at revision " + std::to_string(update.revision) + "; " +
                (updated.empty() ? std::string("nothing changed.") : "updated " + Joined(updated) + ".");
    else
        line += "not done as a whole: " + standin::PrintableText(update.text);
    if (update.Failed() && !updated.empty()) line += " Updated before that: " + Joined(updated) + ".";
    Tell(update.Succeeded() ? Log::MsgType::Info : Log::MsgType::Warning, line);
    return outcome;
}

RevertPreview DemoHost::PreviewRevert(standin::DbObject* asset)
{
    RevertPreview preview;
    if (!asset || !asset->IsAlive()) return preview;
    preview.unsavedEdits = IsDirty(asset);
    std::vector<std::string> paths;
    const standin::StatusResult status = StatusOfAsset(*asset, paths);
    preview.text = status.text;
    if (status.Failed()) return preview;
    preview.known = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (status.words[i] & kOpened) preview.changed.push_back(paths[i]);
        if (status.words[i] & fs::kLockedByMe) preview.locked.push_back(paths[i]);
    }
    return preview;
}

RevertOutcome DemoHost::RevertAsset(standin::DbObject* asset)
{
    RevertOutcome outcome;
    if (!asset || !asset->IsAlive()) return outcome;
    std::list<std::string> files;
    for (const std::string& file : standin::AssetFilePaths(*asset))
        files.push_back(file);
    const qor4::IUserParameters* account =
        m_session->Control() ? m_session->Control()->GetCurrentUserParameters() : nullptr;
    const qor4::qorResult code = m_session->FileControl()->RevertFiles(account, files, outcome.text);
    outcome.succeeded = code.GetCode() >= 0;

    std::vector<std::string> paths;
    const standin::StatusResult after = StatusOfAsset(*asset, paths);
    outcome.stateKnown = after.Succeeded();
    for (std::size_t i = 0; outcome.stateKnown && i < paths.size(); ++i) {
        if (after.words[i] & kOpened) outcome.stillChanged.push_back(paths[i]);
        if (after.words[i] & fs::kLockedByMe) outcome.stillLocked.push_back(paths[i]);
    }
    // The files are as the repository has them again: an unsaved edit would write the change back.
    if (outcome.stateKnown && outcome.stillChanged.empty()) DiscardEdit(asset);

    const std::string name = standin::PrintableText(asset->GetName());
    if (outcome.succeeded && outcome.stateKnown && outcome.stillChanged.empty() && outcome.stillLocked.empty()) {
        Tell(Log::MsgType::Info, "Reverted " + name + ": its local changes are dropped and its lock released.");
        return outcome;
    }
    std::string line = "Revert of " + name + (outcome.succeeded ? " reported success" : " failed") + ": ";
    line += outcome.succeeded ? std::string() : standin::PrintableText(outcome.text);
    if (!outcome.stateKnown) line += " What the files are now is not known: " + standin::PrintableText(after.text);
    if (!outcome.stillChanged.empty()) line += " Still opened: " + Joined(outcome.stillChanged) + ".";
    if (!outcome.stillLocked.empty()) line += " Still locked by you: " + Joined(outcome.stillLocked) + ".";
    outcome.succeeded = false; // a revert that left something behind is not told as done
    Tell(Log::MsgType::Warning, line);
    return outcome;
}

CommandOutcome DemoHost::MarkForAdd(standin::DbObject* asset, const std::string& changeList)
{
    CommandOutcome outcome;
    auto* manager = dynamic_cast<standin::CommandManager*>(
        standin::System::Instance().GetSingleton(standin::CommandManager::kSingletonName));
    if (!asset || !asset->IsAlive() || !manager) return outcome;
    if (!manager->HasCommandFactory(ScsMarkForAddCommand::kCommandIdentifier))
        manager->RegisterCommandFactory(
            ScsMarkForAddCommand::kCommandIdentifier,
            [](const opal::datamodel::ItemLibraryAccessor& library) { return new ScsMarkForAddCommand(library); });
    const opal::datamodel::ItemLibraryAccessor library = Library().GetAccessor();
    lark::fwk::ICommand* built = manager->CreateCommand(ScsMarkForAddCommand::kCommandIdentifier, library);
    auto* command = dynamic_cast<opal::datamodel::modify::CBaseExecutionCommand*>(built);
    if (!command) {
        if (built) built->Release();
        return outcome;
    }
    // The command framework supplies the parameters of a command it built by identifier.
    using namespace opal::datamodel::modify;
    command->AddParam(new StringParam(kChangeListParam, changeList));
    command->AddParam(
        new UnspecifiedAccessorListParam(kAssetParam, library, kAssetInterfaceId, {Library().GetItemAccessor(asset)}));
    command->AddParam(new BoolParam(kIncludeExternalFileParam, true));
    command->SetCommandManager(manager);
    outcome.ran = manager->Execute(command, true);
    const auto* code = dynamic_cast<const IntParam*>(command->GetReturnValue());
    const auto* error = dynamic_cast<const StringParam*>(command->GetParam(kErrorStringParam));
    outcome.ran = outcome.ran && code;
    if (code) outcome.code = code->GetValue();
    if (error) outcome.error = error->GetValue();
    command->Release();

    const std::string name = standin::PrintableText(asset->GetName());
    if (outcome.ran && outcome.code >= 0)
        Tell(Log::MsgType::Info, "Marked for add: " + name);
    else if (!outcome.ran)
        Tell(Log::MsgType::Warning, "Not marked for add: " + name + ": the command manager did not run the command.");
    else
        Tell(Log::MsgType::Warning, "Not marked for add: " + name + ": " + standin::PrintableText(outcome.error));
    return outcome;
}

} // namespace demo
