#include "ScsMakeWritableCommand.h"

#include "HostServices.h"

namespace {
constexpr char kDisplayName[] = "MakeWritable Command";
constexpr char kNoChangeList[] = "";
// The host's constructor takes a mutable name but only copies it.
char* DisplayName()
{
    return const_cast<char*>(kDisplayName);
}
} // namespace

const char* ScsMakeWritableCommand::kCommandIdentifier = "makewritableQORDbObjects";

ScsMakeWritableCommand::ScsMakeWritableCommand(const opal::datamodel::ItemLibraryAccessor& library)
    : BaseScsCommand(library, DisplayName())
{
}

ScsMakeWritableCommand::ScsMakeWritableCommand(const opal::datamodel::ItemLibraryAccessor& library,
                                               const std::vector<opal::datamodel::UnspecifiedAccessor>& assets,
                                               bool includeExternalFile)
    : BaseScsCommand(library, DisplayName(), kNoChangeList, assets, includeExternalFile)
{
}

ScsMakeWritableCommand::~ScsMakeWritableCommand() = default;

const char* ScsMakeWritableCommand::GetCommandIdentifier() const
{
    return kCommandIdentifier;
}

bool ScsMakeWritableCommand::ExecuteAction()
{
    std::optional<Execution> execution = PrepareExecution();
    if (!execution) return false;

    // One text collects whatever the service writes across the calls.
    std::string errorText;
    qor4::qorResult result = qor4::kResultOk;
    for (const qor4::DbObjectHandle& object : execution->objects) {
        result = execution->dataControl->MakeWritable(object, execution->includeExternalFile, kDataControlContext,
                                                      errorText);
        if (result != qor4::kResultOk) break;
    }
    RecordOutcome(errorText, result);
    // Even after a failure: the library must learn the real state of every object.
    NotifyAccessStateChanged(execution->dataControl, execution->objects);
    return true;
}
