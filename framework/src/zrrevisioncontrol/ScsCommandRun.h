// One source-control command run through the host's command manager: built, executed, and built
// and executed once more when the session had expired and could be re-opened.
#pragma once

#include "lark/fwk/IQORDBProxy.h"
#include "opal/datamodel/Accessors.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The proxy's open item library as the commands take it: a fresh accessor reset to the library and
// context, refreshed when there is a library. An invalid accessor without a proxy.
opal::datamodel::ItemLibraryAccessor GetCommandLibrary(lark::fwk::IQORDBProxy* proxy);

class ScsCommandRun {
public:
    // Builds a fresh command that carries one reference for the caller.
    using Factory = std::function<opal::datamodel::modify::CBaseExecutionCommand*()>;
    // Re-opens the session; true when the command may be run again.
    using Reopen = std::function<bool()>;

    // Status of a run whose command the manager did not execute.
    static constexpr std::int32_t kNotExecuted = -1;

    ScsCommandRun(lark::fwk::ICommandManager* commandManager, Factory factory);
    ~ScsCommandRun();
    ScsCommandRun(const ScsCommandRun&) = delete;
    ScsCommandRun& operator=(const ScsCommandRun&) = delete;

    // Executes the command; on an expired session calls reopen and, when it succeeds, runs a new
    // command once. Afterwards Status() is 0 on success, kNotExecuted when the first command was
    // not executed, -34 when the re-run was not executed, otherwise the last command's code.
    void Run(const Reopen& reopen);

    bool FirstExecuted() const { return firstExecuted; }
    std::int32_t Status() const { return status; }
    bool Succeeded() const { return status == 0; }
    // The "ErrorString" of the last command built, when it has one.
    std::optional<std::string> ErrorString() const;

private:
    // Replaces the current command with a new one and executes it; false when not executed.
    bool ExecuteNew();
    std::int32_t ReadStatus() const;
    void ReleaseCommand();

    lark::fwk::ICommandManager* commandManager;
    Factory factory;
    opal::datamodel::modify::CBaseExecutionCommand* command = nullptr;
    bool firstExecuted = false;
    std::int32_t status = kNotExecuted;
};
