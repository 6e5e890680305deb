#include "framework/CommandManager.h"

#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "qor4/ExBase.h"

namespace standin {

namespace {
// Holds a reference for the duration of a run, so a command that releases itself survives DoAction.
class RunReference {
public:
    explicit RunReference(lark::fwk::ICommand* command) : m_command(command) { m_command->AddRef(); }
    ~RunReference() { m_command->Release(); }
    RunReference(const RunReference&) = delete;
    RunReference& operator=(const RunReference&) = delete;

private:
    lark::fwk::ICommand* m_command;
};

// Marks the manager busy while a command runs; a nested Execute is refused.
class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& m_flag;
};
} // namespace

CommandManager::CommandManager() = default;

CommandManager::~CommandManager()
{
    Clear();
}

lark::IBase* CommandManager::Create()
{
    return new CommandManager();
}

bool CommandManager::Execute(lark::fwk::ICommand* command, bool record)
{
    if (command == nullptr) {
        qor4::PrintDebugString("UndoManager: Execute without a command");
        m_executions.push_back(Execution{"", Outcome::NoCommand, false, false});
        return false;
    }
    const char* identifier = command->GetCommandIdentifier();
    Execution execution{identifier ? identifier : "", Outcome::Ran, false, false};
    const auto* bindable = dynamic_cast<const opal::datamodel::modify::CBaseExecutionCommand*>(command);
    execution.bound = bindable && bindable->GetCommandManager() == this;
    if (m_executing) {
        execution.outcome = Outcome::Busy;
    } else if (m_refuseAlways || m_refuseNext) {
        m_refuseNext = false;
        execution.outcome = Outcome::Refused;
    }
    if (execution.outcome != Outcome::Ran) {
        m_executions.push_back(execution);
        return false;
    }

    RunReference running(command);
    bool ran = false;
    {
        BusyFlag busy(m_executing);
        ran = command->DoAction();
    }
    if (!ran) {
        execution.outcome = Outcome::Failed;
    } else if (record && !command->IsTransient()) {
        command->AddRef();
        m_undoStack.push_back(command);
        execution.recorded = true;
    }
    m_executions.push_back(execution);
    return ran;
}

void CommandManager::Clear()
{
    std::vector<lark::fwk::ICommand*> stack;
    stack.swap(m_undoStack);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        (*it)->Release();
}

bool CommandManager::RegisterCommandFactory(const std::string& identifier, CommandFactory factory)
{
    if (identifier.empty() || !factory || m_factories.count(identifier) != 0) return false;
    m_factories.emplace(identifier, std::move(factory));
    return true;
}

lark::fwk::ICommand* CommandManager::CreateCommand(const std::string& identifier,
                                                   const opal::datamodel::ItemLibraryAccessor& library) const
{
    const auto found = m_factories.find(identifier);
    return found == m_factories.end() ? nullptr : found->second(library);
}

std::vector<std::string> CommandManager::ExecutedIdentifiers() const
{
    std::vector<std::string> identifiers;
    for (const Execution& execution : m_executions) {
        if (execution.outcome == Outcome::Ran || execution.outcome == Outcome::Failed) {
            identifiers.push_back(execution.identifier);
        }
    }
    return identifiers;
}

} // namespace standin
