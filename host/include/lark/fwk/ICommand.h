// Host commands: reference-counted units of work that the command manager ("UndoManager") runs.
//
// A command carries named parameters it owns. The command manager calls DoAction to run it and
// keeps the references it needs to offer undo; whoever built a command releases its own reference.
#pragma once

#include <vector>

namespace lark::fwk {

class IParam {
public:
    virtual ~IParam() = default;
    virtual const char* GetName() const = 0;
};

class ICommandManager;

class ICommand {
public:
    virtual void AddRef() = 0;
    // Deletes the command when the last reference goes.
    virtual void Release() = 0;
    virtual ~ICommand() = default;
    virtual const char* GetCommandIdentifier() const = 0;
    virtual const char* GetName() const = 0;
    virtual void SetName(const char* name) = 0;
    // Runs the command; false when it could not run.
    virtual bool DoAction() = 0;
    virtual bool UndoAction() = 0;
    virtual bool CanCollapse(const ICommand& other) const = 0;
    // Takes ownership of param.
    virtual void AddParam(IParam* param) = 0;
    // The most recently added parameter of that name; null when there is none.
    virtual IParam* GetParam(const char* name) const = 0;
    virtual const std::vector<IParam*>& GetAllParams() const = 0;
    virtual void ClearParams() = 0;
    virtual bool operator==(const ICommand& other) const = 0;
    virtual bool IsTransient() const = 0;
    virtual void SetTransient(bool transient) = 0;
    virtual bool Equals(const ICommand& other) const = 0;
};

// The singleton "UndoManager".
class ICommandManager {
public:
    // Runs command (DoAction) and, when record is true, keeps it for undo. False when the command
    // was not run (the manager is busy, or the command refused to run).
    virtual bool Execute(ICommand* command, bool record) = 0;

protected:
    ~ICommandManager() = default;
};

} // namespace lark::fwk
