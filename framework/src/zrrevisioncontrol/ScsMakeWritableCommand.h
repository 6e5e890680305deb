// Makes the assets' files writable on disk without checking them out.
#pragma once

#include "BaseScsCommand.h"
#include "zrrc_export.h"

class ZRRC_EXPORT ScsMakeWritableCommand : public BaseScsCommand {
public:
    static const char* kCommandIdentifier;

    // For the host's command framework, which adds the parameters itself.
    explicit ScsMakeWritableCommand(const opal::datamodel::ItemLibraryAccessor& library);
    ScsMakeWritableCommand(const opal::datamodel::ItemLibraryAccessor& library,
                           const std::vector<opal::datamodel::UnspecifiedAccessor>& assets, bool includeExternalFile);
    ~ScsMakeWritableCommand() override;

    const char* GetCommandIdentifier() const override;
    // Stops at the first object that fails, but notifies the access state of all of them. False
    // only when the command cannot start.
    bool ExecuteAction() override;
};
