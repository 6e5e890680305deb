#include "ScsCommandRun.h"

#include "SessionRetry.h"

#include "opal/datamodel/modify/Params.h"
#include "qor4/qorResult.h"

#include <utility>

namespace {

constexpr char kErrorStringParam[] = "ErrorString";

} // namespace

opal::datamodel::ItemLibraryAccessor GetCommandLibrary(lark::fwk::IQORDBProxy* proxy)
{
    opal::datamodel::ItemLibraryAccessor library;
    if (!proxy) return library;
    const opal::datamodel::ItemLibraryAccessor open = proxy->GetItemLibrary();
    library.ResetContext(open.GetLibrary(), open.GetContextId());
    if (open.GetLibrary()) library.RefreshInterfacePointer();
    return library;
}

ScsCommandRun::ScsCommandRun(lark::fwk::ICommandManager* commandManager, Factory factory)
    : commandManager(commandManager), factory(std::move(factory))
{
}

ScsCommandRun::~ScsCommandRun()
{
    ReleaseCommand();
}

void ScsCommandRun::Run(const Reopen& reopen)
{
    bool first = true;
    status = RunReopeningOnce(
                 [&]() -> qor4::qorResult {
                     const bool executed = ExecuteNew();
                     if (std::exchange(first, false)) firstExecuted = executed;
                     if (executed) return ReadStatus();
                     // A re-run the manager did not run leaves the session as expired as it was.
                     return firstExecuted ? qor4::kResultSessionExpired : kNotExecuted;
                 },
                 reopen)
                 .GetCode();
}

std::optional<std::string> ScsCommandRun::ErrorString() const
{
    if (!command) return std::nullopt;
    const auto* text = dynamic_cast<const opal::datamodel::modify::StringParam*>(command->GetParam(kErrorStringParam));
    if (!text) return std::nullopt;
    return text->GetValue();
}

bool ScsCommandRun::ExecuteNew()
{
    ReleaseCommand();
    command = factory();
    if (!command || !commandManager) return false;
    command->SetCommandManager(commandManager);
    return commandManager->Execute(command, true);
}

std::int32_t ScsCommandRun::ReadStatus() const
{
    // The commands always leave an IntParam; a command that did not counts as not executed.
    const auto* value = dynamic_cast<const opal::datamodel::modify::IntParam*>(command->GetReturnValue());
    return value ? value->GetValue() : kNotExecuted;
}

void ScsCommandRun::ReleaseCommand()
{
    if (command) std::exchange(command, nullptr)->Release();
}
