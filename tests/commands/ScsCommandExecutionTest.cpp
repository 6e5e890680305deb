// The three source-control commands run through the host's "UndoManager" against the stand-in
// revision server: their results follow the server's state. The fixture checks that no command or
// service reference is left behind.
#include "CommandTestSupport.h"
#include "HostFixture.h"

#include "ScsCheckOutCommand.h"
#include "ScsMakeWritableCommand.h"
#include "ScsMarkForAddCommand.h"

#include "ModelAccessStateMarker.h"
#include "ModelAssetFiles.h"

#include "qor4/ExBase.h"
#include "qor4/FileStatus.h"

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;
using opal::datamodel::modify::BoolParam;
using opal::datamodel::modify::UnspecifiedAccessorListParam;
using standin::DbObject;
using States = std::vector<std::pair<std::string, std::uint32_t>>;

class ScsCommandTest : public HostFixture {
protected:
    void TearDown() override
    {
        EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), 0) << "a notification was not disposed";
        HostFixture::TearDown();
    }

    opal::datamodel::ItemLibraryAccessor LibraryAccessor() { return Library().GetAccessor(); }
    std::vector<opal::datamodel::UnspecifiedAccessor> Accessors(const std::vector<DbObject*>& assets)
    {
        return AccessorsOf(Library(), assets);
    }
    UnspecifiedAccessorListParam* AssetParam(const std::vector<DbObject*>& assets)
    {
        return new UnspecifiedAccessorListParam("asset", LibraryAccessor(), BaseScsCommand::kAssetInterfaceId,
                                                Accessors(assets));
    }

    CommandRef CheckOut(const std::vector<DbObject*>& assets, const char* changeList = "", bool external = false)
    {
        return CommandRef(new ScsCheckOutCommand(LibraryAccessor(), changeList, Accessors(assets), external));
    }
    CommandRef MarkForAdd(const std::vector<DbObject*>& assets)
    {
        return CommandRef(new ScsMarkForAddCommand(LibraryAccessor(), "", Accessors(assets), false));
    }
    CommandRef MakeWritable(const std::vector<DbObject*>& assets)
    {
        return CommandRef(new ScsMakeWritableCommand(LibraryAccessor(), Accessors(assets), false));
    }

    // Runs the command as the plug-in does: through "UndoManager", recorded.
    bool Execute(const CommandRef& command) { return Commands().Execute(command.get(), true); }

    qor4::StatusWord StatusOf(const std::string& file)
    {
        const standin::StatusResult status = Server().Status({file});
        return status.words.empty() ? 0 : status.words.front();
    }
    qor4::StatusWord StatusOf(const DbObject* asset) { return StatusOf(asset->GetAssetFile()); }
};

TEST_F(ScsCommandTest, CheckOutOfFilesLockedByAnotherUserReportsTheServerRefusal)
{
    DbObject* free = AddCheckedInAsset("free");
    DbObject* locked = AddCheckedInAsset("locked");
    OpenForEditAs(kOtherUser, locked);
    LockAs(kOtherUser, locked);

    CommandRef command = CheckOut({free, locked});
    EXPECT_TRUE(Execute(command));

    ASSERT_NE(ReturnValueOf(*command), nullptr);
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), standin::ServerCode::kFileStateRejected);
    ASSERT_NE(ErrorStringOf(*command), nullptr);
    const std::string& text = ErrorStringOf(*command)->GetValue();
    EXPECT_NE(text.find("locked.qor - locked by bob"), std::string::npos) << text;
    EXPECT_TRUE(Library().GetAccessStateRecords().empty());
    EXPECT_TRUE(CallsOf(Control(), "GetAccessStates").empty());
    // All or nothing: the free file was not opened either.
    EXPECT_EQ(StatusOf(free) & fs::kCheckedOut, 0u);
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(free->GetAssetFile()));
}

TEST_F(ScsCommandTest, SuccessfulCheckOutNotifiesEachObjectInOrderAndMakesFilesWritable)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* second = AddCheckedInAsset("second");
    std::string changeList;
    std::string message;
    ASSERT_EQ(Control().CreateChangeList("work", changeList, message).GetCode(), qor4::kResultOk) << message;
    ASSERT_TRUE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));

    CommandRef command = CheckOut({second, first}, changeList.c_str());
    EXPECT_TRUE(Execute(command));

    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_EQ(ErrorStringOf(*command)->GetValue(), "");
    EXPECT_EQ(DeliveredStates(Library()),
              (States{{second->GetIdText(), fs::kCheckedOut}, {first->GetIdText(), fs::kCheckedOut}}));
    for (const auto& record : Library().GetAccessStateRecords()) {
        EXPECT_TRUE(record.validItem);
        EXPECT_EQ(record.contextId, Library().GetContextId());
    }
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(second->GetAssetFile()));
    const standin::StatusResult status = Server().Status({first->GetAssetFile()});
    ASSERT_EQ(status.changeLists.size(), 1u);
    EXPECT_EQ(status.changeLists.front(), changeList);
}

TEST_F(ScsCommandTest, CheckOutIncludesExternalFilesOnlyWhenAsked)
{
    DbObject* own = AddCheckedInAsset("own", 1);
    DbObject* all = AddCheckedInAsset("all", 1);

    CommandRef ownOnly = CheckOut({own}, "", false);
    CommandRef withExternal = CheckOut({all}, "", true);
    EXPECT_TRUE(Execute(ownOnly));
    EXPECT_TRUE(Execute(withExternal));

    EXPECT_NE(StatusOf(own) & fs::kCheckedOut, 0u);
    EXPECT_EQ(StatusOf(FilesOf(own).back()) & fs::kCheckedOut, 0u);
    EXPECT_NE(StatusOf(FilesOf(all).back()) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, CheckOutAfterTheSessionExpiredReportsTheExpiredCode)
{
    DbObject* asset = AddCheckedInAsset("asset");
    ExpireSession();

    CommandRef command = CheckOut({asset});
    EXPECT_TRUE(Execute(command));

    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultSessionExpired);
    EXPECT_NE(ErrorStringOf(*command)->GetValue().find(standin::ServerText::kSessionExpired), std::string::npos);
    EXPECT_TRUE(Library().GetAccessStateRecords().empty());
}

TEST_F(ScsCommandTest, CheckOutWithoutChangeListParameterUsesTheDefaultChangeList)
{
    DbObject* asset = AddCheckedInAsset("asset");
    CommandRef command(new ScsCheckOutCommand(LibraryAccessor()));
    command->AddParam(AssetParam({asset}));

    EXPECT_TRUE(Execute(command));

    const auto calls = CallsOf(Control(), "CheckOut");
    ASSERT_EQ(calls.size(), 1u);
    // Arguments: the objects, the include flag, the changelist.
    EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{"asset", "false", ""}));
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_NE(StatusOf(asset) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, MarkForAddOpensNewFilesAndNotifiesTheirState)
{
    DbObject* created = AddLocalAsset("created");
    ASSERT_NE(StatusOf(created) & fs::kNotInDepot, 0u);

    CommandRef command = MarkForAdd({created});
    EXPECT_TRUE(Execute(command));

    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_EQ(ErrorStringOf(*command)->GetValue(), "");
    EXPECT_NE(StatusOf(created) & fs::kMarkedForAdd, 0u);
    const States delivered = DeliveredStates(Library());
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].first, created->GetIdText());
    EXPECT_EQ(delivered[0].second, StatusOf(created));
}

TEST_F(ScsCommandTest, MarkForAddRefusedByTheServerRecordsItsCodeAndText)
{
    DbObject* created = AddLocalAsset("created");
    const std::string refusal = "//depot/assets/created.qor - database failure\n";
    Server().FailNext(standin::ServerOp::kAdd, standin::ServerCode::kDataBaseError, refusal);

    CommandRef command = MarkForAdd({created});
    EXPECT_TRUE(Execute(command));

    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), standin::ServerCode::kDataBaseError);
    EXPECT_EQ(ErrorStringOf(*command)->GetValue(), refusal);
    EXPECT_TRUE(Library().GetAccessStateRecords().empty());
    EXPECT_EQ(StatusOf(created) & fs::kMarkedForAdd, 0u);
}

TEST_F(ScsCommandTest, MakeWritableStopsAtTheFirstFailureButNotifiesEveryObject)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* failing = AddCheckedInAsset("failing");
    DbObject* third = AddCheckedInAsset("third");
    Server().SetIOError(failing->GetAssetFile(), true);

    CommandRef command = MakeWritable({first, failing, third});
    EXPECT_TRUE(Execute(command));

    const auto calls = CallsOf(Control(), "MakeWritable");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments.front(), "first");
    EXPECT_EQ(calls[1].arguments.front(), "failing");
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), standin::ServerCode::kIOError);
    EXPECT_NE(ErrorStringOf(*command)->GetValue().find("failing.qor - I/O error"), std::string::npos);
    EXPECT_EQ(DeliveredStates(Library()), (States{{first->GetIdText(), StatusOf(first)},
                                                  {failing->GetIdText(), StatusOf(failing)},
                                                  {third->GetIdText(), StatusOf(third)}}));
    EXPECT_NE(StatusOf(failing) & fs::kIOError, 0u);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(third->GetAssetFile()));
    // Writable is not checked out.
    EXPECT_EQ(StatusOf(first) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, MakeWritableOverNoAssetsRecordsSuccessWithoutCallingTheService)
{
    CommandRef command = MakeWritable({});
    EXPECT_TRUE(Execute(command));

    EXPECT_TRUE(CallsOf(Control(), "MakeWritable").empty());
    ASSERT_NE(ReturnValueOf(*command), nullptr);
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_EQ(ErrorStringOf(*command)->GetValue(), "");
    EXPECT_TRUE(Library().GetAccessStateRecords().empty());
}

TEST_F(ScsCommandTest, AnUnresolvableAssetStopsEveryCommandBeforeTheService)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* gone = AddCheckedInAsset("gone");
    DbObject* third = AddCheckedInAsset("third");
    Manager().DeleteAsset(gone);
    const std::vector<DbObject*> assets{first, gone, third};

    std::vector<CommandRef> commands;
    commands.push_back(CheckOut(assets));
    commands.push_back(MarkForAdd(assets));
    commands.push_back(MakeWritable(assets));
    for (const CommandRef& command : commands) {
        EXPECT_FALSE(Execute(command)) << command->GetCommandIdentifier();
        EXPECT_EQ(ErrorStringOf(*command), nullptr);
        EXPECT_EQ(ReturnValueOf(*command), nullptr);
    }
    EXPECT_TRUE(Control().GetCalls().empty());
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
}

TEST_F(ScsCommandTest, AnObjectFoundOnlyByLoadingResolves)
{
    DbObject* unloaded = AddCheckedInAsset("unloaded");
    Manager().SetLoaded(unloaded, false);

    CommandRef command = CheckOut({unloaded});
    EXPECT_TRUE(Execute(command));

    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_NE(StatusOf(unloaded) & fs::kCheckedOut, 0u);
}

TEST_F(ScsCommandTest, CommandsWithoutAssetsOrLibraryDoNotStart)
{
    CommandRef withoutAssets(new ScsCheckOutCommand(LibraryAccessor()));
    withoutAssets->AddParam(new BoolParam("includeexternalfile", true));
    EXPECT_FALSE(Execute(withoutAssets));
    EXPECT_EQ(ReturnValueOf(*withoutAssets), nullptr);

    DbObject* asset = AddCheckedInAsset("asset");
    CommandRef withoutLibrary(
        new ScsMakeWritableCommand(opal::datamodel::ItemLibraryAccessor(), Accessors({asset}), false));
    EXPECT_FALSE(Execute(withoutLibrary));
    EXPECT_EQ(ErrorStringOf(*withoutLibrary), nullptr);
    EXPECT_TRUE(Control().GetCalls().empty());
}

TEST_F(ScsCommandTest, MissingDataControlRaisesTheHostNullPointerError)
{
    DbObject* asset = AddCheckedInAsset("asset");
    standin::QORInstance& instance = *Manager().GetInstance();
    instance.RemoveComponent(qor4::UID_DataControl());
    {
        qor4::DisableErrorReportingGuard quiet;
        CommandRef command = CheckOut({asset});
        EXPECT_THROW(Execute(command), qor4::ExBase::NullPtr);
        EXPECT_EQ(ErrorStringOf(*command), nullptr);
    }
    instance.RegisterComponent(qor4::UID_DataControl(), qor4::QORPtr<qor4::IQORUnknown>(ControlPtr()));
    EXPECT_TRUE(Control().GetCalls().empty());
}

TEST_F(ScsCommandTest, TheCommandManagerBuildsEachCommandByIdentifier)
{
    standin::CommandManager& manager = Commands();
    manager.RegisterCommandFactory(ScsCheckOutCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsCheckOutCommand(library); });
    manager.RegisterCommandFactory(ScsMarkForAddCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsMarkForAddCommand(library); });
    manager.RegisterCommandFactory(ScsMakeWritableCommand::kCommandIdentifier,
                                   [](const auto& library) { return new ScsMakeWritableCommand(library); });
    const std::vector<std::string> identifiers{"checkoutQORDbObjects", "markForAddQORDbObjects",
                                               "makewritableQORDbObjects"};

    DbObject* asset = AddCheckedInAsset("asset");
    for (const std::string& identifier : identifiers) {
        CommandRef command(manager.CreateCommand(identifier, LibraryAccessor()));
        ASSERT_NE(command, nullptr) << identifier;
        EXPECT_EQ(command->GetCommandIdentifier(), identifier);
        // The framework supplies the parameters of a command it built by identifier.
        command->AddParam(AssetParam({asset}));
        EXPECT_TRUE(Execute(command)) << identifier;
        EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk) << identifier;
    }
    EXPECT_EQ(manager.ExecutedIdentifiers(), identifiers);
    EXPECT_NE(StatusOf(asset) & fs::kCheckedOut, 0u);
}

} // namespace
