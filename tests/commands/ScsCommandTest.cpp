// The three source-control commands: their parameters, resolution of the "asset" accessors into
// data-base objects, and runs through the host's "UndoManager" against the stand-in server.
#include "HostFixture.h"

#include "ScsCheckOutCommand.h"
#include "ScsMakeWritableCommand.h"
#include "ScsMarkForAddCommand.h"

#include "datamodel/ModelAccessStateMarker.h"
#include "datamodel/ModelAssetFiles.h"

#include "lark/fwk/ICommand.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "opal/datamodel/modify/Params.h"
#include "qor4/FileStatus.h"

#include <gtest/gtest.h>

#include <map>

namespace {

namespace fs = qor4::FileStatus;
using opal::datamodel::ItemID;
using opal::datamodel::UnspecifiedAccessor;
using opal::datamodel::modify::BoolParam;
using opal::datamodel::modify::StringParam;
using opal::datamodel::modify::UnspecifiedAccessorListParam;
using standin::DbObject;
using States = std::vector<std::pair<std::string, std::uint32_t>>;

struct CommandReleaser {
    void operator()(lark::fwk::ICommand* command) const { command->Release(); }
};
// The builder's reference to a command.
using CommandRef = std::unique_ptr<lark::fwk::ICommand, CommandReleaser>;

// The command's results; null when it did not set them.
const StringParam* ErrorStringOf(const lark::fwk::ICommand& command)
{
    return dynamic_cast<const StringParam*>(command.GetParam("ErrorString"));
}

const opal::datamodel::modify::IntParam* ReturnValueOf(const lark::fwk::ICommand& command)
{
    const auto* execution = dynamic_cast<const opal::datamodel::modify::CBaseExecutionCommand*>(&command);
    return execution ? dynamic_cast<const opal::datamodel::modify::IntParam*>(execution->GetReturnValue()) : nullptr;
}

std::vector<std::string> ParamNames(const lark::fwk::ICommand& command)
{
    std::vector<std::string> names;
    for (const lark::fwk::IParam* param : command.GetAllParams())
        names.push_back(param->GetName());
    return names;
}

// A library whose items carry any identifier text, so that items the data base cannot know exist.
class FreeFormLibrary final : public opal::datamodel::IItemLibrary {
public:
    struct Item final : opal::datamodel::IItem {
        explicit Item(std::string uid) : uid(std::move(uid)) {}
        ItemID GetItemID() const override { return ItemID(uid, true); }
        std::string uid;
    };

    UnspecifiedAccessor AccessorFor(const std::string& uid)
    {
        m_items.try_emplace(uid, uid);
        return opal::datamodel::ItemLibraryAccessor(this, 1).GetUnspecifiedAccessor(ItemID(uid, true));
    }

    void AddNotification(opal::datamodel::IItemLibraryNotification*, std::uint32_t, int) override {}
    void RemoveNotification(opal::datamodel::IItemLibraryNotification*, std::uint32_t, int) override {}
    ItemID BuildItemID(const std::string& uid, const void*) override { return ItemID(uid, m_items.count(uid) != 0); }
    opal::datamodel::IItem* FindItem(const ItemID& id) override
    {
        const auto found = m_items.find(opal::datamodel::ItemIDUnlock::GetItemIDUID(id));
        return found == m_items.end() ? nullptr : &found->second;
    }
    void DeliverAccessStateChanged(int, const ItemID&, std::uint32_t) override {}

private:
    std::map<std::string, Item> m_items;
};

class ScsCommandTest : public HostFixture {
protected:
    void TearDown() override
    {
        EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), 0) << "a notification was not disposed";
        HostFixture::TearDown();
    }

    std::vector<UnspecifiedAccessor> Accessors(const std::vector<DbObject*>& assets)
    {
        std::vector<UnspecifiedAccessor> accessors;
        for (const DbObject* asset : assets)
            accessors.push_back(Library().GetItemAccessor(asset));
        return accessors;
    }

    CommandRef CheckOut(const std::vector<DbObject*>& assets, const char* changeList = "")
    {
        return CommandRef(new ScsCheckOutCommand(Library().GetAccessor(), changeList, Accessors(assets), false));
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

    bool Resolve(const std::vector<UnspecifiedAccessor>& accessors, qor4::DbObjectList& objects)
    {
        const UnspecifiedAccessorListParam param("asset", Library().GetAccessor(), BaseScsCommand::kAssetInterfaceId,
                                                 accessors);
        return BaseScsCommand::ResolveAssetsFromUnspecifiedAccessors(ManagerPtr(), param, objects);
    }

    // (item id, state) of every access-state notification the library delivered, in order.
    States DeliveredStates()
    {
        States delivered;
        for (const auto& record : Library().GetAccessStateRecords())
            delivered.emplace_back(record.uid, record.state);
        return delivered;
    }

    qor4::StatusWord StatusOf(const DbObject* asset) { return WordOf(asset->GetAssetFile()); }
};

TEST_F(ScsCommandTest, ShortConstructorsAddNoParametersAndFullOnesTheStandardParametersInOrder)
{
    const struct {
        CommandRef command;
        const char* identifier;
        const char* name;
    } cases[] = {
        {CommandRef(new ScsCheckOutCommand(Library().GetAccessor())), "checkoutQORDbObjects", "CheckOut Command"},
        {CommandRef(new ScsMarkForAddCommand(Library().GetAccessor())), "markForAddQORDbObjects", "MarkForAdd Command"},
        {CommandRef(new ScsMakeWritableCommand(Library().GetAccessor())), "makewritableQORDbObjects",
         "MakeWritable Command"}};
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.identifier);
        EXPECT_TRUE(expected.command->GetAllParams().empty());
        EXPECT_STREQ(expected.command->GetCommandIdentifier(), expected.identifier);
        EXPECT_STREQ(expected.command->GetName(), expected.name);
        EXPECT_EQ(ReturnValueOf(*expected.command), nullptr);
    }

    DbObject* asset = AddCheckedInAsset("asset");
    const ScsMarkForAddCommand markForAdd(Library().GetAccessor(), "7", Accessors({asset}), true);
    const ScsMakeWritableCommand makeWritable(Library().GetAccessor(), Accessors({asset, asset}), false);
    const std::vector<std::string> expected{"changelist", "asset", "includeexternalfile"};
    EXPECT_EQ(ParamNames(markForAdd), expected);
    EXPECT_EQ(ParamNames(makeWritable), expected);
    EXPECT_EQ(dynamic_cast<const StringParam*>(markForAdd.GetParam("changelist"))->GetValue(), "7");
    EXPECT_TRUE(dynamic_cast<const BoolParam*>(markForAdd.GetParam("includeexternalfile"))->GetValue());
    EXPECT_EQ(dynamic_cast<const StringParam*>(makeWritable.GetParam("changelist"))->GetValue(), "");
    EXPECT_FALSE(dynamic_cast<const BoolParam*>(makeWritable.GetParam("includeexternalfile"))->GetValue());
    const auto* assets = dynamic_cast<const UnspecifiedAccessorListParam*>(makeWritable.GetParam("asset"));
    ASSERT_NE(assets, nullptr);
    EXPECT_EQ(assets->GetInterfaceId(), 60);
    EXPECT_FALSE(assets->GetLibrary() != Library().GetAccessor());
    ASSERT_EQ(assets->GetValue().size(), 2u);
    EXPECT_FALSE(assets->GetValue()[0] != Library().GetItemAccessor(asset));
}

TEST_F(ScsCommandTest, AccessorsResolveInOrderLoadingObjectsUpToTheFirstUnresolvableOne)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* unloaded = AddCheckedInAsset("unloaded");
    Manager().SetLoaded(unloaded, false);
    qor4::DbObjectList objects;
    EXPECT_TRUE(Resolve({}, objects));
    EXPECT_TRUE(objects.empty());
    EXPECT_TRUE(Resolve(Accessors({unloaded, first}), objects));
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(standin::ToDbObject(objects.front()), unloaded);
    EXPECT_EQ(standin::ToDbObject(objects.back()), first);

    qor4::DbObjectList upToTheGap;
    EXPECT_FALSE(Resolve({Library().GetItemAccessor(first), UnspecifiedAccessor(), Library().GetItemAccessor(unloaded)},
                         upToTheGap));
    ASSERT_EQ(upToTheGap.size(), 1u);
    EXPECT_EQ(standin::ToDbObject(upToTheGap.front()), first);

    // Items that are not data-base objects: not a unique identifier, or well formed but unknown.
    FreeFormLibrary library;
    for (const char* uid : {"not-a-uid", "{00000000-0000-4000-8000-00000000beef}"}) {
        qor4::DbObjectList none;
        EXPECT_FALSE(Resolve({library.AccessorFor(uid)}, none)) << uid;
        EXPECT_TRUE(none.empty()) << uid;
    }
}

// A refusal is still an executed command: the service's code and text, and no notification; all or
// nothing, so the free file is not opened either. A check-out that succeeds notifies each object in
// order and makes its files writable.
TEST_F(ScsCommandTest, CheckOutReportsTheServerRefusalOfALockedFileOrNotifiesEachObjectInOrder)
{
    DbObject* free = AddCheckedInAsset("free");
    DbObject* locked = AddCheckedInAsset("locked");
    DbObject* first = AddCheckedInAsset("first");
    DbObject* second = AddCheckedInAsset("second");
    LockAs(kOtherUser, locked);
    CommandRef refused = CheckOut({free, locked});

    EXPECT_TRUE(Execute(refused));
    ASSERT_NE(ReturnValueOf(*refused), nullptr);
    EXPECT_EQ(ReturnValueOf(*refused)->GetValue(), standin::ServerCode::kFileStateRejected);
    ASSERT_NE(ErrorStringOf(*refused), nullptr);
    EXPECT_NE(ErrorStringOf(*refused)->GetValue().find(
                  "locked.qor - Path '/assets/locked.qor' is already locked by user 'bob'"),
              std::string::npos)
        << ErrorStringOf(*refused)->GetValue();
    EXPECT_TRUE(Library().GetAccessStateRecords().empty());
    EXPECT_TRUE(Control().CallsOf("GetAccessStates").empty());
    EXPECT_EQ(StatusOf(free) & fs::kCheckedOut, 0u);
    EXPECT_TRUE(standin::IsReadOnlyOnDisk(free->GetAssetFile()));

    std::string changeList, message;
    ASSERT_EQ(Control().CreateChangeList("work", changeList, message).GetCode(), qor4::kResultOk) << message;
    CommandRef command = CheckOut({second, first}, changeList.c_str());

    EXPECT_TRUE(Execute(command));

    ASSERT_NE(ReturnValueOf(*command), nullptr);
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), qor4::kResultOk);
    EXPECT_EQ(ErrorStringOf(*command)->GetValue(), "");
    EXPECT_EQ(DeliveredStates(), (States{{second->GetIdText(), fs::kCheckedOut | fs::kLockedByMe},
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

    const auto calls = Control().CallsOf("MakeWritable");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments.front(), "first");
    EXPECT_EQ(calls[1].arguments.front(), "failing");
    EXPECT_EQ(ReturnValueOf(*command)->GetValue(), standin::ServerCode::kIOError);
    EXPECT_NE(ErrorStringOf(*command)->GetValue().find("failing.qor - cannot be read or changed"), std::string::npos);
    EXPECT_EQ(DeliveredStates(), (States{{first->GetIdText(), StatusOf(first)},
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
