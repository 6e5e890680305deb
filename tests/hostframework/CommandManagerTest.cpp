// Commands and the "UndoManager": references, refusal, identifiers, parameters and return values.
#include "CommandManager.h"
#include "LiveCounters.h"

#include "opal/datamodel/modify/CBaseExecutionCommand.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using opal::datamodel::ItemLibraryAccessor;
using opal::datamodel::modify::IntParam;
using opal::datamodel::modify::StringParam;
using Outcome = standin::CommandManager::Outcome;

constexpr const char* kIdentifier = "testCommand";

class TestCommand final : public opal::datamodel::modify::CBaseExecutionCommand {
public:
    explicit TestCommand(const char* name = "Test", bool succeed = true)
        : CBaseExecutionCommand(ItemLibraryAccessor(), name), m_succeed(succeed)
    {
    }
    const char* GetCommandIdentifier() const override { return kIdentifier; }
    bool ExecuteAction() override
    {
        ++runs;
        if (body) body();
        SetReturnValue(new IntParam("ReturnValue", m_succeed ? 0 : -34));
        return m_succeed;
    }
    int runs = 0;
    std::function<void()> body;

private:
    bool m_succeed;
};

// Every test ends with no command left alive.
class CommandManagerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        manager.Clear();
        EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart) << "a command leaked";
    }
    Outcome LastOutcome() const { return manager.Executions().back().outcome; }

    const long liveAtStart = standin::LiveCounters::LiveCommands();
    standin::CommandManager manager;
};

TEST_F(CommandManagerTest, OnlyRecordedCommandsAreKeptUntilClearOrTerm)
{
    auto* command = new TestCommand();
    auto* plain = new TestCommand();
    auto* transient = new TestCommand();
    transient->SetTransient(true);
    ASSERT_TRUE(manager.Execute(command, true));
    EXPECT_TRUE(manager.Execute(plain, false));
    EXPECT_TRUE(manager.Execute(transient, true));
    EXPECT_EQ(command->runs, 1);
    EXPECT_EQ(command->GetRefCount(), 2);
    EXPECT_EQ(plain->GetRefCount(), 1);
    EXPECT_EQ(transient->GetRefCount(), 1);
    for (auto* built : {command, plain, transient})
        built->Release();
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart + 1);
    ASSERT_EQ(manager.UndoStackSize(), 1u);
    EXPECT_EQ(manager.UndoStack()[0], command);
    manager.Clear();
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart);

    auto* again = new TestCommand();
    manager.Execute(again, true);
    again->Release();
    manager.Term(); // shutting down releases the undo stack too
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart);
}

TEST_F(CommandManagerTest, RefusalAnswersFalseWithoutRunning)
{
    auto* command = new TestCommand();
    manager.RefuseNext();
    EXPECT_FALSE(manager.Execute(command, true));
    EXPECT_EQ(command->runs, 0);
    EXPECT_TRUE(manager.Execute(command, true)); // refusing the next one refuses only that one
    EXPECT_EQ(command->runs, 1);

    manager.SetRefuseAlways(true);
    EXPECT_FALSE(manager.Execute(command, true));
    EXPECT_FALSE(manager.Execute(command, true));
    EXPECT_EQ(command->runs, 1);
    manager.SetRefuseAlways(false);
    EXPECT_EQ(manager.UndoStackSize(), 1u);
    EXPECT_EQ(command->GetRefCount(), 2);
    command->Release();

    ASSERT_EQ(manager.Executions().size(), 4u);
    EXPECT_EQ(manager.Executions()[0].outcome, Outcome::Refused);
    EXPECT_EQ(manager.Executions()[1].outcome, Outcome::Ran);
    EXPECT_TRUE(manager.Executions()[1].recorded);
    EXPECT_EQ(manager.ExecutedIdentifiers(), (std::vector<std::string>{kIdentifier}));
    EXPECT_FALSE(manager.Execute(nullptr, true));
}

TEST_F(CommandManagerTest, AFailingCommandIsReportedNotKeptAndItsReturnValueReplaced)
{
    auto* command = new TestCommand("Failing", false);
    EXPECT_EQ(command->GetReturnValue(), nullptr);
    EXPECT_FALSE(manager.Execute(command, true));
    EXPECT_EQ(command->runs, 1);
    EXPECT_EQ(manager.UndoStackSize(), 0u);
    EXPECT_EQ(LastOutcome(), Outcome::Failed);
    EXPECT_EQ(command->GetRefCount(), 1);

    auto* value = dynamic_cast<IntParam*>(command->GetReturnValue());
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValue(), -34);
    EXPECT_STREQ(value->GetName(), "ReturnValue");
    command->SetReturnValue(value); // the same object again is kept, not deleted
    EXPECT_EQ(command->GetReturnValue(), value);
    command->Release();
}

TEST_F(CommandManagerTest, ANestedExecuteIsBusyAndAReleaseWhileRunningIsSafe)
{
    auto* inner = new TestCommand();
    auto* outer = new TestCommand();
    bool innerAccepted = true;
    outer->body = [&] {
        innerAccepted = manager.Execute(inner, true);
        outer->Release(); // the builder lets go while its command runs
    };
    EXPECT_TRUE(manager.Execute(outer, false));
    EXPECT_FALSE(innerAccepted);
    EXPECT_EQ(inner->runs, 0);
    EXPECT_EQ(manager.Executions().front().outcome, Outcome::Busy);
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart + 1);
    EXPECT_TRUE(manager.Execute(inner, false)); // not busy once the outer command finished
    inner->Release();
}

TEST_F(CommandManagerTest, IdentifierFactoriesBuildCommands)
{
    EXPECT_TRUE(manager.RegisterCommandFactory(kIdentifier, [](auto&) { return new TestCommand("Built"); }));
    EXPECT_FALSE(manager.RegisterCommandFactory(kIdentifier, [](auto&) { return nullptr; })); // taken
    EXPECT_EQ(manager.CreateCommand("unknown", ItemLibraryAccessor()), nullptr);
    lark::fwk::ICommand* command = manager.CreateCommand(kIdentifier, ItemLibraryAccessor());
    ASSERT_NE(command, nullptr);
    EXPECT_STREQ(command->GetName(), "Built");
    command->Release();
}

TEST_F(CommandManagerTest, ParametersAreOwnedOnceAndLookedUpByTheLatestName)
{
    auto* command = new TestCommand(nullptr);
    EXPECT_STREQ(command->GetName(), "");
    auto* second = new StringParam("changelist", "two");
    command->AddParam(new StringParam("changelist", "one"));
    command->AddParam(new IntParam("count", 3));
    command->AddParam(second);
    command->AddParam(second); // adding the same object again must not own it twice
    command->AddParam(nullptr);
    EXPECT_EQ(command->GetAllParams().size(), 3u);
    EXPECT_EQ(command->GetParam("changelist"), second);
    EXPECT_EQ(command->GetParam("missing"), nullptr);
    EXPECT_EQ(command->GetParam(nullptr), nullptr);
    command->ClearParams();
    EXPECT_TRUE(command->GetAllParams().empty());
    command->AddParam(new StringParam("ErrorString", ""));
    command->Release(); // deletes the remaining parameter with the command
}

} // namespace
