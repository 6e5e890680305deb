// Opens the files of new assets for add in a pending changelist.
#pragma once

#include "BaseScsCommand.h"
#include "zrrc_export.h"

class ZRRC_EXPORT ScsMarkForAddCommand : public BaseScsCommand {
public:
    static const char* kCommandIdentifier;

    // For the host's command framework, which adds the parameters itself.
    explicit ScsMarkForAddCommand(const opal::datamodel::ItemLibraryAccessor& library);
    ScsMarkForAddCommand(const opal::datamodel::ItemLibraryAccessor& library, const char* changeList,
                         const std::vector<opal::datamodel::UnspecifiedAccessor>& assets, bool includeExternalFile);
    ~ScsMarkForAddCommand() override;

    const char* GetCommandIdentifier() const override;
    // False only when the command cannot start; the service's verdict is in "ErrorString" and the
    // return value.
    bool ExecuteAction() override;
};
