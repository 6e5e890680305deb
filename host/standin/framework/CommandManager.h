// CommandManager: the singleton "UndoManager". Runs commands, keeps a reference to every recorded
// command on its undo stack, and builds commands by identifier for the host's command framework.
#pragma once

#include "HostExport.h"
#include "lark/ISystem.h"
#include "lark/fwk/ICommand.h"
#include "opal/datamodel/Accessors.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace standin {

class HOST_API CommandManager final : public lark::fwk::ICommandManager,
                                      public lark::ISingleton,
                                      public lark::IBase,
                                      public lark::IDestroy {
public:
    static constexpr const char* kSingletonName = "UndoManager";
    static constexpr const char* kClassName = "Standin.CommandManager";

    // Builds a command with its one reference owned by the caller.
    using CommandFactory = std::function<lark::fwk::ICommand*(const opal::datamodel::ItemLibraryAccessor&)>;

    enum class Outcome { Ran, Refused, Busy, Failed, NoCommand };
    struct Execution {
        std::string identifier;
        Outcome outcome = Outcome::Ran;
        bool recorded = false;
        // The command was handed this manager before it ran (an execution command), as the host's
        // framework expects of whoever builds it.
        bool bound = false;
    };

    CommandManager();
    ~CommandManager() override;

    static lark::IBase* Create();

    bool Execute(lark::fwk::ICommand* command, bool record) override;

    void Init() override {}
    void Term() override { Clear(); }
    const char* GetClsName() const override { return kClassName; }

    // Drops every reference the undo stack holds.
    void Clear();
    std::size_t UndoStackSize() const { return m_undoStack.size(); }
    const std::vector<lark::fwk::ICommand*>& UndoStack() const { return m_undoStack; }

    // False when identifier is empty, already taken, or factory is empty.
    bool RegisterCommandFactory(const std::string& identifier, CommandFactory factory);
    bool HasCommandFactory(const std::string& identifier) const { return m_factories.count(identifier) != 0; }
    // Null when no factory knows identifier.
    lark::fwk::ICommand* CreateCommand(const std::string& identifier,
                                       const opal::datamodel::ItemLibraryAccessor& library) const;

    // Every Execute call, in order, and what became of it.
    const std::vector<Execution>& Executions() const { return m_executions; }
    // Identifiers of the commands that were run (DoAction called), in order.
    std::vector<std::string> ExecutedIdentifiers() const;

    // Test controls: refuse the next Execute, or every Execute, without running the command.
    void RefuseNext() { m_refuseNext = true; }
    void SetRefuseAlways(bool refuse) { m_refuseAlways = refuse; }

private:
    std::vector<lark::fwk::ICommand*> m_undoStack;
    std::map<std::string, CommandFactory> m_factories;
    std::vector<Execution> m_executions;
    bool m_executing = false;
    bool m_refuseNext = false;
    bool m_refuseAlways = false;
};

} // namespace standin
