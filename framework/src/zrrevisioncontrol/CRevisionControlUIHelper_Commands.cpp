// Check-out and mark-for-add through the host's command manager, with one re-run after the
// session was re-opened, and the texts that explain a failure.
#include "CRevisionControlUIHelper.h"

#include "HostServices.h"
#include "ScsCheckOutCommand.h"
#include "ScsCommandRun.h"
#include "ScsMarkForAddCommand.h"

#include "lark/fwk/ICommand.h"

#include <functional>

namespace {

using opal::datamodel::ItemLibraryAccessor;
using opal::datamodel::UnspecifiedAccessor;
using opal::datamodel::modify::CBaseExecutionCommand;
using AssetAccessors = std::vector<UnspecifiedAccessor>;

constexpr char kSessionExpiredMessage[] = "Source control session expired. Password required to re-connect.";
constexpr char kNotExecutedMessage[] = "Could not execute command: Unknown error";

// What distinguishes the two runners.
struct CommandKind {
    using Build = std::function<CBaseExecutionCommand*(const ItemLibraryAccessor& library, const char* changeList,
                                                       const AssetAccessors& assets, bool includeExternal)>;
    Build build;
    const char* failureHeader;
    const StatusFlags& statusesOfInterest;
    // Mark-for-add has nothing to do when no object is an item of the library.
    bool skipWithoutAccessors;
};

const CommandKind& CheckOutKind()
{
    static const CommandKind kind{
        [](const ItemLibraryAccessor& library, const char* changeList, const AssetAccessors& assets,
           bool includeExternal) { return new ScsCheckOutCommand(library, changeList, assets, includeExternal); },
        "Cannot checkout the assets\n", FailureFlags::kCheckOut, false};
    return kind;
}

const CommandKind& MarkForAddKind()
{
    static const CommandKind kind{
        [](const ItemLibraryAccessor& library, const char* changeList, const AssetAccessors& assets,
           bool includeExternal) { return new ScsMarkForAddCommand(library, changeList, assets, includeExternal); },
        "Cannot mark-for-add the assets\n", FailureFlags::kMarkForAdd, true};
    return kind;
}

qor4::qorResult RunCommand(CRevisionControlUIHelper& helper, const CommandKind& kind,
                           qor4::QORPtr<qor4::IDataControl> dataControl, const DbObjectHandles& objects,
                           bool includeExternal, const std::string& changelist, CommandTexts& texts)
{
    if (objects.empty()) return qor4::kResultOk;

    auto* commandManager = GetHostSingleton<lark::fwk::ICommandManager>(HostNames::kCommandManager);
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    const ItemLibraryAccessor library = GetCommandLibrary(proxy);
    AssetAccessors assets;
    CRevisionControlUIHelper::MakeAssetAccessors(library, objects, assets);
    if (kind.skipWithoutAccessors && assets.empty()) return qor4::kResultOk;

    ScsCommandRun run(commandManager, [&] { return kind.build(library, changelist.c_str(), assets, includeExternal); });
    run.Run([&] { return helper.ReopenSession(dataControl, "", kSessionExpiredMessage); });

    if (!run.FirstExecuted()) {
        texts.message = kNotExecutedMessage;
        return ScsCommandRun::kNotExecuted;
    }
    if (run.Succeeded()) return qor4::kResultOk;

    texts.errorString = run.ErrorString().value_or(std::string());
    texts.message = kind.failureHeader;
    helper.DescribeObjectsFailure(dataControl, objects, includeExternal, kind.statusesOfInterest, texts.errorString,
                                  texts.message, texts.details);
    return run.Status();
}

} // namespace

qor4::qorResult CRevisionControlUIHelper::RunCheckOutCommand(qor4::QORPtr<qor4::IDataControl> dataControl,
                                                             const DbObjectHandles& objects, bool includeExternal,
                                                             const std::string& changelist, CommandTexts& texts)
{
    return RunCommand(*this, CheckOutKind(), std::move(dataControl), objects, includeExternal, changelist, texts);
}

qor4::qorResult CRevisionControlUIHelper::RunMarkForAddCommand(qor4::QORPtr<qor4::IDataControl> dataControl,
                                                               const DbObjectHandles& objects, bool includeExternal,
                                                               const std::string& changelist, CommandTexts& texts)
{
    return RunCommand(*this, MarkForAddKind(), std::move(dataControl), objects, includeExternal, changelist, texts);
}

void CRevisionControlUIHelper::MakeAssetAccessors(const opal::datamodel::ItemLibraryAccessor& library,
                                                  const DbObjectHandles& handles,
                                                  std::vector<opal::datamodel::UnspecifiedAccessor>& accessors)
{
    std::set<opal::datamodel::ItemID> ids;
    for (const auto& handle : handles) {
        const opal::datamodel::ItemID id = library.BuildItemID(handle.GetDbObjectId().GetStr(), nullptr);
        if (id.IsValid()) ids.insert(id);
    }
    for (const auto& id : ids)
        accessors.push_back(library.GetUnspecifiedAccessor(id));
}
