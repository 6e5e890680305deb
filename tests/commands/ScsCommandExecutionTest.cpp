// The three source-control commands run through the host's "UndoManager" against the stand-in
// revision server: their results follow the server's state.
#include "CommandTestHost.h"

#include "ScsCheckOutCommand.h"
#include "ScsMakeWritableCommand.h"
#include "ScsMarkForAddCommand.h"

#include "LiveCounters.h"
#include "ModelAccessStateMarker.h"
#include "ModelAssetFiles.h"

#include "opal/datamodel/modify/Params.h"
#include "qor4/ExBase.h"
#include "qor4/FileStatus.h"

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;
using opal::datamodel::modify::BoolParam;
using opal::datamodel::modify::UnspecifiedAccessorListParam;
using standin::DbObject;

class ScsCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_liveCommands = standin::LiveCounters::LiveCommands();
        m_controlRefs = host.Control().GetRefCount();
    }

    void TearDown() override
    {
        host.Commands().Clear();
        EXPECT_EQ(standin::LiveCounters::LiveCommands(), m_liveCommands) << "a command reference leaked";
        EXPECT_EQ(host.Control().GetRefCount(), m_controlRefs) << "a data-control reference leaked";
        EXPECT_EQ(host.Manager().CountOutsideReferences(), 0) << "an object handle leaked";
        EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), 0) << "a notification was not disposed";
    }

    CommandRef CheckOut(const std::vector<DbObject*>& assets, const char* changeList = "")
    {
        return CommandRef(new ScsCheckOutCommand(host.Library(), changeList, host.AccessorsOf(assets), false));
    }

    CommandRef MakeWritable(const std::vector<DbObject*>& assets)
    {
        return CommandRef(new ScsMakeWritableCommand(host.Library(), host.AccessorsOf(assets), false));
    }

    std::vector<std::string> NotifiedIds()
    {
        std::vector<std::string> ids;
        for (const auto& record : host.ItemLibrary().GetAccessStateRecords())
            ids.push_back(record.uid);
        return ids;
    }

    // The other user opens and locks the asset's file.
    void LockAsOtherUser(const DbObject* asset)
    {
        ASSERT_TRUE(host.Server().OpenForEditAs(CommandTestHost::kOtherUser, host.DepotPath(asset)).Succeeded());
        ASSERT_TRUE(host.Server().LockAs(CommandTestHost::kOtherUser, host.DepotPath(asset)).Succeeded());
    }

    CommandTestHost host;
    long m_liveCommands = 0;
    int m_controlRefs = 0;
};

TEST_F(ScsCommandTest, CheckOutOfFilesLockedByAnotherUserReportsTheServerRefusal)
{
    DbObject* free = host.AddCheckedInAsset("free");
    DbObject* locked = host.AddCheckedInAsset("locked");
    LockAsOtherUser(locked);

    CommandRef command = CheckOut({free, locked});
    EXPECT_TRUE(host.Execute(command.get()));

    ASSERT_NE(CommandTestHost::ReturnValue(command.get()), nullptr);
    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), standin::ServerCode::kFileStateRejected);
    ASSERT_NE(CommandTestHost::ErrorString(command.get()), nullptr);
    const std::string& text = CommandTestHost::ErrorString(command.get())->GetValue();
    EXPECT_NE(text.find("locked by bob"), std::string::npos) << text;
    EXPECT_NE(text.find("locked.qor"), std::string::npos) << text;
    EXPECT_TRUE(host.ItemLibrary().GetAccessStateRecords().empty());
    EXPECT_TRUE(host.CallsOf("GetAccessStates").empty());
    // All or nothing: the free file was not opened either.
    EXPECT_EQ(host.FileStatus(free) & fs::kCheckedOut, 0u);
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(free->GetAssetFile()));
}

TEST_F(ScsCommandTest, SuccessfulCheckOutNotifiesEachObjectInOrderAndMakesFilesWritable)
{
    DbObject* first = host.AddCheckedInAsset("first");
    DbObject* second = host.AddCheckedInAsset("second");
    std::string changeList;
    std::string message;
    ASSERT_EQ(host.Control().CreateChangeList("work", changeList, message).GetCode(), qor4::kResultOk) << message;
    ASSERT_TRUE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));

    CommandRef command = CheckOut({second, first}, changeList.c_str());
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk);
    EXPECT_EQ(CommandTestHost::ErrorString(command.get())->GetValue(), "");
    EXPECT_EQ(NotifiedIds(), (std::vector<std::string>{second->GetIdText(), first->GetIdText()}));
    for (const auto& record : host.ItemLibrary().GetAccessStateRecords()) {
        EXPECT_TRUE(record.validItem);
        EXPECT_EQ(record.contextId, host.ItemLibrary().GetContextId());
        EXPECT_EQ(record.state, fs::kCheckedOut);
    }
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(second->GetAssetFile()));
    const standin::StatusResult status = host.Server().Status({first->GetAssetFile()});
    ASSERT_EQ(status.changeLists.size(), 1u);
    EXPECT_EQ(status.changeLists.front(), changeList);
}

TEST_F(ScsCommandTest, CheckOutAfterTheSessionExpiredReportsTheExpiredCode)
{
    DbObject* asset = host.AddCheckedInAsset("asset");
    host.Server().ExpireSession();

    CommandRef command = CheckOut({asset});
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultSessionExpired);
    EXPECT_NE(CommandTestHost::ErrorString(command.get())->GetValue().find(standin::ServerText::kSessionExpired),
              std::string::npos);
    EXPECT_TRUE(host.ItemLibrary().GetAccessStateRecords().empty());
}

TEST_F(ScsCommandTest, CheckOutWithoutChangeListParameterUsesTheDefaultChangeList)
{
    DbObject* asset = host.AddCheckedInAsset("asset");
    CommandRef command(new ScsCheckOutCommand(host.Library()));
    command->AddParam(new UnspecifiedAccessorListParam("asset", host.Library(), BaseScsCommand::kAssetInterfaceId,
                                                       {host.AccessorOf(asset)}));

    EXPECT_TRUE(host.Execute(command.get()));

    const auto calls = host.CallsOf("CheckOut");
    ASSERT_EQ(calls.size(), 1u);
    // Arguments: the objects, the include flag, the changelist.
    EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{"asset", "false", ""}));
    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk);
    EXPECT_NE(host.FileStatus(asset) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, IncludeFlagReachesTheService)
{
    DbObject* asset = host.AddCheckedInAsset("asset");
    CommandRef command(new ScsCheckOutCommand(host.Library(), "", host.AccessorsOf({asset}), true));
    EXPECT_TRUE(host.Execute(command.get()));
    ASSERT_EQ(host.CallsOf("CheckOut").size(), 1u);
    EXPECT_EQ(host.CallsOf("CheckOut")[0].arguments, (std::vector<std::string>{"asset", "true", ""}));
}

TEST_F(ScsCommandTest, MarkForAddOpensNewFilesAndNotifiesTheirState)
{
    DbObject* created = host.AddLocalAsset("created");
    ASSERT_NE(host.FileStatus(created) & fs::kNotInDepot, 0u);

    CommandRef command(new ScsMarkForAddCommand(host.Library(), "", host.AccessorsOf({created}), false));
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk);
    EXPECT_EQ(CommandTestHost::ErrorString(command.get())->GetValue(), "");
    EXPECT_NE(host.FileStatus(created) & fs::kMarkedForAdd, 0u);
    ASSERT_EQ(host.ItemLibrary().GetAccessStateRecords().size(), 1u);
    EXPECT_EQ(host.ItemLibrary().GetAccessStateRecords()[0].uid, created->GetIdText());
    EXPECT_NE(host.ItemLibrary().GetAccessStateRecords()[0].state & fs::kMarkedForAdd, 0u);
}

TEST_F(ScsCommandTest, MarkForAddRefusedByTheServerRecordsItsCodeAndText)
{
    DbObject* created = host.AddLocalAsset("created");
    const std::string refusal = "//depot/assets/created.qor - database failure\n";
    host.Server().FailNext(standin::ServerOp::kAdd, standin::ServerCode::kDataBaseError, refusal);

    CommandRef command(new ScsMarkForAddCommand(host.Library(), "", host.AccessorsOf({created}), false));
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), standin::ServerCode::kDataBaseError);
    EXPECT_EQ(CommandTestHost::ErrorString(command.get())->GetValue(), refusal);
    EXPECT_TRUE(host.ItemLibrary().GetAccessStateRecords().empty());
}

TEST_F(ScsCommandTest, MakeWritableStopsAtTheFirstFailureButNotifiesEveryObject)
{
    DbObject* first = host.AddCheckedInAsset("first");
    DbObject* failing = host.AddCheckedInAsset("failing");
    DbObject* third = host.AddCheckedInAsset("third");
    host.Server().SetIOError(host.DepotPath(failing), true);

    CommandRef command = MakeWritable({first, failing, third});
    EXPECT_TRUE(host.Execute(command.get()));

    const auto calls = host.CallsOf("MakeWritable");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments.front(), "first");
    EXPECT_EQ(calls[1].arguments.front(), "failing");
    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), standin::ServerCode::kIOError);
    EXPECT_NE(CommandTestHost::ErrorString(command.get())->GetValue().find("I/O error"), std::string::npos);
    EXPECT_EQ(NotifiedIds(), (std::vector<std::string>{first->GetIdText(), failing->GetIdText(), third->GetIdText()}));
    EXPECT_NE(host.ItemLibrary().GetAccessStateRecords()[1].state & fs::kIOError, 0u);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(third->GetAssetFile()));
    // Writable is not checked out.
    EXPECT_EQ(host.FileStatus(first) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, MakeWritableOverNoAssetsRecordsSuccessWithoutCallingTheService)
{
    CommandRef command = MakeWritable({});
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_TRUE(host.CallsOf("MakeWritable").empty());
    ASSERT_NE(CommandTestHost::ReturnValue(command.get()), nullptr);
    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk);
    EXPECT_EQ(CommandTestHost::ErrorString(command.get())->GetValue(), "");
    EXPECT_TRUE(host.ItemLibrary().GetAccessStateRecords().empty());
}

TEST_F(ScsCommandTest, AnUnresolvableAssetStopsEveryCommandBeforeTheService)
{
    DbObject* first = host.AddCheckedInAsset("first");
    DbObject* gone = host.AddCheckedInAsset("gone");
    DbObject* third = host.AddCheckedInAsset("third");
    host.Manager().DeleteAsset(gone);
    const std::vector<DbObject*> assets{first, gone, third};

    std::vector<CommandRef> commands;
    commands.emplace_back(CheckOut(assets));
    commands.emplace_back(new ScsMarkForAddCommand(host.Library(), "", host.AccessorsOf(assets), false));
    commands.emplace_back(MakeWritable(assets));
    for (const CommandRef& command : commands) {
        EXPECT_FALSE(host.Execute(command.get())) << command->GetCommandIdentifier();
        EXPECT_EQ(CommandTestHost::ErrorString(command.get()), nullptr);
        EXPECT_EQ(CommandTestHost::ReturnValue(command.get()), nullptr);
    }
    EXPECT_TRUE(host.Control().GetCalls().empty());
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
}

TEST_F(ScsCommandTest, AnObjectFoundOnlyByLoadingResolves)
{
    DbObject* unloaded = host.AddCheckedInAsset("unloaded");
    host.Manager().SetLoaded(unloaded, false);

    CommandRef command = CheckOut({unloaded});
    EXPECT_TRUE(host.Execute(command.get()));

    EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk);
    EXPECT_NE(host.FileStatus(unloaded) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, CommandsWithoutAssetsOrLibraryDoNotStart)
{
    CommandRef withoutAssets(new ScsCheckOutCommand(host.Library()));
    withoutAssets->AddParam(new BoolParam("includeexternalfile", true));
    EXPECT_FALSE(host.Execute(withoutAssets.get()));
    EXPECT_EQ(CommandTestHost::ReturnValue(withoutAssets.get()), nullptr);

    DbObject* asset = host.AddCheckedInAsset("asset");
    CommandRef withoutLibrary(
        new ScsMakeWritableCommand(opal::datamodel::ItemLibraryAccessor(), host.AccessorsOf({asset}), false));
    EXPECT_FALSE(host.Execute(withoutLibrary.get()));
    EXPECT_EQ(CommandTestHost::ErrorString(withoutLibrary.get()), nullptr);
    EXPECT_TRUE(host.Control().GetCalls().empty());
}

TEST_F(ScsCommandTest, MissingDataControlRaisesTheHostNullPointerError)
{
    DbObject* asset = host.AddCheckedInAsset("asset");
    host.RemoveDataControl();
    m_controlRefs = host.Control().GetRefCount();
    qor4::DisableErrorReportingGuard quiet;

    CommandRef command = CheckOut({asset});
    EXPECT_THROW(host.Execute(command.get()), qor4::ExBase::NullPtr);
    EXPECT_EQ(CommandTestHost::ErrorString(command.get()), nullptr);
}

TEST_F(ScsCommandTest, TheCommandManagerBuildsEachCommandByIdentifier)
{
    standin::CommandManager& manager = host.Commands();
    manager.RegisterCommandFactory(ScsCheckOutCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsCheckOutCommand(library); });
    manager.RegisterCommandFactory(ScsMarkForAddCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsMarkForAddCommand(library); });
    manager.RegisterCommandFactory(ScsMakeWritableCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsMakeWritableCommand(library); });

    DbObject* asset = host.AddCheckedInAsset("asset");
    for (const char* identifier : {"checkoutQORDbObjects", "markForAddQORDbObjects", "makewritableQORDbObjects"}) {
        CommandRef command(manager.CreateCommand(identifier, host.Library()));
        ASSERT_NE(command, nullptr) << identifier;
        EXPECT_STREQ(command->GetCommandIdentifier(), identifier);
        // The framework supplies the parameters of a command it built by identifier.
        command->AddParam(new UnspecifiedAccessorListParam("asset", host.Library(), BaseScsCommand::kAssetInterfaceId,
                                                           {host.AccessorOf(asset)}));
        EXPECT_TRUE(host.Execute(command.get())) << identifier;
        EXPECT_EQ(CommandTestHost::ReturnValue(command.get())->GetValue(), qor4::kResultOk) << identifier;
    }
    EXPECT_EQ(manager.ExecutedIdentifiers(),
              (std::vector<std::string>{"checkoutQORDbObjects", "markForAddQORDbObjects", "makewritableQORDbObjects"}));
    EXPECT_NE(host.FileStatus(asset) & fs::kCheckedOut, 0u);
}

} // namespace
