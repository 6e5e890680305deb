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

constexpr const char* kIdentifier = "testCommand";

class TestCommand final : public opal::datamodel::modify::CBaseExecutionCommand {
public:
    explicit TestCommand(const ItemLibraryAccessor& library, const char* name = "Test", bool succeed = true)
        : CBaseExecutionCommand(library, name), m_succeed(succeed)
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

class CommandManagerTest : public ::testing::Test {
protected:
    void SetUp() override { liveAtStart = standin::LiveCounters::LiveCommands(); }
    void TearDown() override
    {
        manager.Clear();
        EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart) << "a command leaked";
    }

    standin::CommandManager manager;
    long liveAtStart = 0;
};

TEST_F(CommandManagerTest, ARecordedCommandOutlivesItsBuilderUntilClear)
{
    auto* command = new TestCommand(ItemLibraryAccessor());
    EXPECT_EQ(command->GetRefCount(), 1);
    ASSERT_TRUE(manager.Execute(command, true));
    EXPECT_EQ(command->runs, 1);
    EXPECT_EQ(command->GetRefCount(), 2);
    command->Release();
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart + 1);
    ASSERT_EQ(manager.UndoStackSize(), 1u);
    EXPECT_EQ(manager.UndoStack()[0], command);

    manager.Clear();
    EXPECT_EQ(manager.UndoStackSize(), 0u);
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart);
}

TEST_F(CommandManagerTest, UnrecordedAndTransientCommandsAreNotKept)
{
    auto* plain = new TestCommand(ItemLibraryAccessor());
    auto* transient = new TestCommand(ItemLibraryAccessor());
    transient->SetTransient(true);
    EXPECT_TRUE(manager.Execute(plain, false));
    EXPECT_TRUE(manager.Execute(transient, true));
    EXPECT_EQ(manager.UndoStackSize(), 0u);
    EXPECT_EQ(plain->GetRefCount(), 1);
    EXPECT_EQ(transient->GetRefCount(), 1);
    plain->Release();
    transient->Release();
}

TEST_F(CommandManagerTest, RefusalAnswersFalseWithoutRunning)
{
    auto* command = new TestCommand(ItemLibraryAccessor());
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
    EXPECT_EQ(manager.Executions()[0].outcome, standin::CommandManager::Outcome::Refused);
    EXPECT_EQ(manager.Executions()[1].outcome, standin::CommandManager::Outcome::Ran);
    EXPECT_TRUE(manager.Executions()[1].recorded);
    EXPECT_EQ(manager.ExecutedIdentifiers(), (std::vector<std::string>{kIdentifier}));
    EXPECT_FALSE(manager.Execute(nullptr, true));
}

TEST_F(CommandManagerTest, ACommandThatCannotRunIsReportedAndNotKept)
{
    auto* command = new TestCommand(ItemLibraryAccessor(), "Failing", false);
    EXPECT_FALSE(manager.Execute(command, true));
    EXPECT_EQ(command->runs, 1);
    EXPECT_EQ(manager.UndoStackSize(), 0u);
    EXPECT_EQ(manager.Executions().back().outcome, standin::CommandManager::Outcome::Failed);
    EXPECT_EQ(command->GetRefCount(), 1);
    command->Release();
}

TEST_F(CommandManagerTest, ANestedExecuteIsRefusedAsBusy)
{
    auto* inner = new TestCommand(ItemLibraryAccessor());
    auto* outer = new TestCommand(ItemLibraryAccessor());
    bool innerAccepted = true;
    outer->body = [&] { innerAccepted = manager.Execute(inner, true); };
    EXPECT_TRUE(manager.Execute(outer, true));
    EXPECT_FALSE(innerAccepted);
    EXPECT_EQ(inner->runs, 0);
    EXPECT_EQ(manager.Executions().front().outcome, standin::CommandManager::Outcome::Busy);
    // Not busy any more once the outer command finished.
    EXPECT_TRUE(manager.Execute(inner, false));
    inner->Release();
    outer->Release();
}

TEST_F(CommandManagerTest, ACommandReleasingItsBuilderReferenceWhileRunningSurvivesTheRun)
{
    auto* command = new TestCommand(ItemLibraryAccessor());
    command->body = [command] { command->Release(); };
    EXPECT_TRUE(manager.Execute(command, false));
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart);
}

TEST_F(CommandManagerTest, IdentifierFactoriesBuildCommandsForALibrary)
{
    opal::datamodel::ItemLibraryAccessor library;
    EXPECT_TRUE(manager.RegisterCommandFactory(
        kIdentifier, [](const ItemLibraryAccessor& lib) { return new TestCommand(lib, "Built"); }));
    EXPECT_FALSE(manager.RegisterCommandFactory(kIdentifier, [](const ItemLibraryAccessor&) { return nullptr; }));
    EXPECT_FALSE(manager.RegisterCommandFactory("", [](const ItemLibraryAccessor&) { return nullptr; }));
    EXPECT_FALSE(manager.RegisterCommandFactory("empty", {}));
    EXPECT_TRUE(manager.HasCommandFactory(kIdentifier));
    EXPECT_EQ(manager.CreateCommand("unknown", library), nullptr);

    lark::fwk::ICommand* command = manager.CreateCommand(kIdentifier, library);
    ASSERT_NE(command, nullptr);
    EXPECT_STREQ(command->GetCommandIdentifier(), kIdentifier);
    EXPECT_STREQ(command->GetName(), "Built");
    EXPECT_TRUE(manager.Execute(command, true));
    command->Release();
}

TEST_F(CommandManagerTest, ParametersAreOwnedAndLookedUpByTheLatestName)
{
    auto* command = new TestCommand(ItemLibraryAccessor());
    auto* first = new StringParam("changelist", "one");
    auto* second = new StringParam("changelist", "two");
    command->AddParam(first);
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

TEST_F(CommandManagerTest, TheReturnValueIsReplacedAndTheUndoDoesNothing)
{
    auto* command = new TestCommand(ItemLibraryAccessor(), "Failing", false);
    EXPECT_EQ(command->GetReturnValue(), nullptr);
    EXPECT_FALSE(command->DoAction());
    auto* value = dynamic_cast<IntParam*>(command->GetReturnValue());
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetValue(), -34);
    EXPECT_STREQ(value->GetName(), "ReturnValue");
    command->SetReturnValue(value); // the same object again is kept, not deleted
    EXPECT_EQ(command->GetReturnValue(), value);
    command->SetReturnValue(new IntParam("ReturnValue", 0));
    EXPECT_EQ(dynamic_cast<IntParam*>(command->GetReturnValue())->GetValue(), 0);
    EXPECT_FALSE(command->UndoAction());
    command->SetCommandManager(&manager);
    EXPECT_EQ(command->GetCommandManager(), &manager);
    command->Release();
}

TEST_F(CommandManagerTest, NamesTransienceAndEquality)
{
    auto* a = new TestCommand(ItemLibraryAccessor(), nullptr);
    auto* b = new TestCommand(ItemLibraryAccessor(), "B");
    EXPECT_STREQ(a->GetName(), "");
    a->SetName("B");
    EXPECT_TRUE(a->Equals(*b));
    EXPECT_FALSE(*a == *b);
    EXPECT_TRUE(*a == *a);
    b->AddParam(new StringParam("asset", ""));
    EXPECT_FALSE(a->Equals(*b));
    EXPECT_FALSE(a->CanCollapse(*b));
    EXPECT_FALSE(a->IsTransient());
    a->Release();
    b->Release();
}

TEST_F(CommandManagerTest, TermReleasesTheUndoStack)
{
    auto* manager2 = new standin::CommandManager();
    auto* command = new TestCommand(ItemLibraryAccessor());
    manager2->Execute(command, true);
    command->Release();
    manager2->Term();
    EXPECT_EQ(standin::LiveCounters::LiveCommands(), liveAtStart);
    delete manager2;
}

} // namespace
