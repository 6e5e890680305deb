// CBaseExecutionCommand: a command bound to one item library whose body is ExecuteAction.
//
// DoAction runs ExecuteAction and answers its result; UndoAction does nothing and answers false
// (revision-control work has no undo). The result of a run is kept as the return value, an
// IntParam named "ReturnValue" that the command owns.
#pragma once

#include "HostExport.h"
#include "lark/fwk/CBaseCommand.h"
#include "opal/datamodel/Accessors.h"
#include "opal/datamodel/modify/Params.h"

namespace opal::datamodel::modify {

class HOST_API CBaseExecutionCommand : public lark::fwk::CBaseCommand {
public:
    bool DoAction() override;
    bool UndoAction() override;
    ~CBaseExecutionCommand() override;

    const ItemLibraryAccessor& GetLibrary() const { return m_library; }
    // Takes ownership of value, replacing (and deleting) the previous return value.
    void SetReturnValue(IntParam* value);
    lark::fwk::IParam* GetReturnValue() const { return m_returnValue; }
    void SetCommandManager(lark::fwk::ICommandManager* manager) { m_commandManager = manager; }
    lark::fwk::ICommandManager* GetCommandManager() const { return m_commandManager; }

    // The command's body. False when it could not even start.
    virtual bool ExecuteAction() = 0;

protected:
    CBaseExecutionCommand(const ItemLibraryAccessor& library, const char* name);

private:
    ItemLibraryAccessor m_library;
    IntParam* m_returnValue = nullptr;
    lark::fwk::ICommandManager* m_commandManager = nullptr;
};

} // namespace opal::datamodel::modify
