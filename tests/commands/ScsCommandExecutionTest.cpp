// The three source-control commands run through the host's "UndoManager" against the stand-in
// revision server: their results follow the server's state. The fixture checks that no command or
// service reference is left behind.
#include "CommandTestSupport.h"
#include "HostFixture.h"

#include "ScsCheckOutCommand.h"
#include "ScsMakeWritableCommand.h"
#include "ScsMarkForAddCommand.h"

#include "datamodel/ModelAccessStateMarker.h"
#include "datamodel/ModelAssetFiles.h"

#include "qor4/FileStatus.h"

#include <gtest/gtest.h>

namespace {

namespace fs = qor4::FileStatus;
using opal::datamodel::modify::BoolParam;
using standin::DbObject;
using States = std::vector<std::pair<std::string, std::uint32_t>>;

class ScsCommandTest : public HostFixture {
protected:
    void TearDown() override
    {
        EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), 0) << "a notification was not disposed";
        HostFixture::TearDown();
    }

    std::vector<opal::datamodel::UnspecifiedAccessor> Accessors(const std::vector<DbObject*>& assets)
    {
        return AccessorsOf(Library(), assets);
    }

    CommandRef CheckOut(const std::vector<DbObject*>& assets, const char* changeList = "", bool external = false)
    {
        return CommandRef(new ScsCheckOutCommand(Library().GetAccessor(), changeList, Accessors(assets), external));
    }
    CommandRef MarkForAdd(const std::vector<DbObject*>& assets)
    {
        return CommandRef(new ScsMarkForAddCommand(Library().GetAccessor(), "", Accessors(assets), false));
    }
    CommandRef MakeWritable(const std::vector<DbObject*>& assets)
    {
        return CommandRef(new ScsMakeWritableCommand(Library().GetAccessor(), Accessors(assets), false));
    }

    // Runs the command as the plug-in does: through "UndoManager", recorded.
    bool Execute(const CommandRef& command) { return Commands().Execute(command.get(), true); }

    // Executes a command the service refuses: it still returns true, records the service's code and
    // text, and tells the library nothing.
    void ExpectRefused(const CommandRef& command, std::int32_t code, const std::string& text)
    {
        EXPECT_TRUE(Execute(command));
        ASSERT_NE(ReturnValueOf(*command), nullptr);
        EXPECT_EQ(ReturnValueOf(*command)->GetValue(), code);
        ASSERT_NE(ErrorStringOf(*command), nullptr);
        const std::string& error = ErrorStringOf(*command)->GetValue();
        EXPECT_NE(error.find(text), std::string::npos) << error;
        EXPECT_TRUE(Library().GetAccessStateRecords().empty());
        EXPECT_TRUE(CallsOf(Control(), "GetAccessStates").empty());
    }

    void ExpectSucceeded(const CommandRef& command)
    {
        EXPECT_TRUE(Execute(command));
        ASSERT_NE(ReturnValueOf(*command), nullptr);
        EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
        EXPECT_EQ(ErrorStringOf(*command)->GetValue(), "");
    }

    qor4::StatusWord StatusOf(const std::string& file) { return WordOf(file); }
    qor4::StatusWord StatusOf(const DbObject* asset) { return StatusOf(asset->GetAssetFile()); }
};

TEST_F(ScsCommandTest, CheckOutOfFilesLockedByAnotherUserReportsTheServerRefusal)
{
    DbObject* free = AddCheckedInAsset("free");
    DbObject* locked = AddCheckedInAsset("locked");
    LockAs(kOtherUser, locked);
    LockAs(kOtherUser, locked);

    ExpectRefused(CheckOut({free, locked}), standin::ServerCode::kFileStateRejected,
                  "locked.qor - Path '/assets/locked.qor' is already locked by user 'bob'");
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

    ExpectSucceeded(CheckOut({second, first}, changeList.c_str()));

    EXPECT_EQ(DeliveredStates(Library()), (States{{second->GetIdText(), fs::kCheckedOut | fs::kLockedByMe},
                                                  {first->GetIdText(), fs::kCheckedOut | fs::kLockedByMe}}));
    for (const auto& record : Library().GetAccessStateRecords()) {
        EXPECT_TRUE(record.validItem);
        EXPECT_EQ(record.contextId, Library().GetContextId());
    }
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(second->GetAssetFile()));
    EXPECT_EQ(HostFixture::StatusOf({first->GetAssetFile()}).changeLists, std::vector<std::string>{changeList});
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
    EXPECT_NE(ErrorStringOf(*command)->GetValue().find("failing.qor - cannot be read or changed"), std::string::npos);
    EXPECT_EQ(DeliveredStates(Library()), (States{{first->GetIdText(), StatusOf(first)},
                                                  {failing->GetIdText(), StatusOf(failing)},
                                                  {third->GetIdText(), StatusOf(third)}}));
    EXPECT_NE(StatusOf(failing) & fs::kIOError, 0u);
    EXPECT_FALSE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(third->GetAssetFile()));
    EXPECT_EQ(StatusOf(first) & fs::kCheckedOut, 0u) << "writable is not checked out";
}

TEST_F(ScsCommandTest, CommandsThatCannotStartTouchNeitherServiceNorResults)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* gone = AddCheckedInAsset("gone");
    DbObject* third = AddCheckedInAsset("third");
    Manager().DeleteAsset(gone);
    const std::vector<DbObject*> unresolvable{first, gone, third};

    std::vector<CommandRef> commands;
    commands.push_back(CheckOut(unresolvable));
    commands.push_back(MarkForAdd(unresolvable));
    commands.push_back(MakeWritable(unresolvable));
    commands.emplace_back(new ScsCheckOutCommand(Library().GetAccessor()));
    commands.back()->AddParam(new BoolParam("includeexternalfile", true));
    commands.emplace_back(
        new ScsMakeWritableCommand(opal::datamodel::ItemLibraryAccessor(), Accessors({first}), false));
    for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(i);
        const CommandRef& command = commands[i];
        EXPECT_FALSE(Execute(command));
        EXPECT_EQ(ErrorStringOf(*command), nullptr);
        EXPECT_EQ(ReturnValueOf(*command), nullptr);
    }
    EXPECT_TRUE(Control().GetCalls().empty());
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(first->GetAssetFile()));
}

} // namespace
