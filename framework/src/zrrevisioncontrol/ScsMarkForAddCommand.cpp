#include "ScsMarkForAddCommand.h"

namespace {
constexpr char kDisplayName[] = "MarkForAdd Command";
// The host's constructor takes a mutable name but only copies it.
char* DisplayName()
{
    return const_cast<char*>(kDisplayName);
}
} // namespace

const char* ScsMarkForAddCommand::kCommandIdentifier = "markForAddQORDbObjects";

ScsMarkForAddCommand::ScsMarkForAddCommand(const opal::datamodel::ItemLibraryAccessor& library)
    : BaseScsCommand(library, DisplayName())
{
}

ScsMarkForAddCommand::ScsMarkForAddCommand(const opal::datamodel::ItemLibraryAccessor& library, const char* changeList,
                                           const std::vector<opal::datamodel::UnspecifiedAccessor>& assets,
                                           bool includeExternalFile)
    : BaseScsCommand(library, DisplayName(), changeList, assets, includeExternalFile)
{
}

ScsMarkForAddCommand::~ScsMarkForAddCommand() = default;

const char* ScsMarkForAddCommand::GetCommandIdentifier() const
{
    return kCommandIdentifier;
}

bool ScsMarkForAddCommand::ExecuteAction()
{
    return ExecuteChangeListAction(&qor4::IDataControl::MarkForAdd);
}
