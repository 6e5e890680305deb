#include "ScsCheckOutCommand.h"

namespace {
constexpr char kDisplayName[] = "CheckOut Command";
// The host's constructor takes a mutable name but only copies it.
char* DisplayName()
{
    return const_cast<char*>(kDisplayName);
}
} // namespace

const char* ScsCheckOutCommand::kCommandIdentifier = "checkoutQORDbObjects";

ScsCheckOutCommand::ScsCheckOutCommand(const opal::datamodel::ItemLibraryAccessor& library)
    : BaseScsCommand(library, DisplayName())
{
}

ScsCheckOutCommand::ScsCheckOutCommand(const opal::datamodel::ItemLibraryAccessor& library, const char* changeList,
                                       const std::vector<opal::datamodel::UnspecifiedAccessor>& assets,
                                       bool includeExternalFile)
    : BaseScsCommand(library, DisplayName(), changeList, assets, includeExternalFile)
{
}

ScsCheckOutCommand::~ScsCheckOutCommand() = default;

const char* ScsCheckOutCommand::GetCommandIdentifier() const
{
    return kCommandIdentifier;
}

bool ScsCheckOutCommand::ExecuteAction()
{
    return ExecuteChangeListAction(&qor4::IDataControl::CheckOut);
}
