// The command base: parameters the constructors add, resolution of the "asset" accessors into
// data-base objects, and the access-state walk.
#include "CommandTestSupport.h"
#include "HostFixture.h"

#include "ScsCheckOutCommand.h"
#include "ScsMakeWritableCommand.h"
#include "ScsMarkForAddCommand.h"

#include "opal/datamodel/modify/Params.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using opal::datamodel::ItemID;
using opal::datamodel::UnspecifiedAccessor;
using opal::datamodel::modify::BoolParam;
using opal::datamodel::modify::StringParam;
using opal::datamodel::modify::UnspecifiedAccessorListParam;
using standin::DbObject;

std::vector<std::string> ParamNames(const lark::fwk::ICommand& command)
{
    std::vector<std::string> names;
    for (const lark::fwk::IParam* param : command.GetAllParams())
        names.push_back(param->GetName());
    return names;
}

TEST(ScsCommandConstruction, ShortConstructorsAddNoParametersAndReportTheirIdentity)
{
    const opal::datamodel::ItemLibraryAccessor library;
    const struct {
        CommandRef command;
        const char* identifier;
        const char* name;
    } cases[] = {{CommandRef(new ScsCheckOutCommand(library)), "checkoutQORDbObjects", "CheckOut Command"},
                 {CommandRef(new ScsMarkForAddCommand(library)), "markForAddQORDbObjects", "MarkForAdd Command"},
                 {CommandRef(new ScsMakeWritableCommand(library)), "makewritableQORDbObjects", "MakeWritable Command"}};
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.identifier);
        EXPECT_TRUE(expected.command->GetAllParams().empty());
        EXPECT_STREQ(expected.command->GetCommandIdentifier(), expected.identifier);
        EXPECT_STREQ(expected.command->GetName(), expected.name);
        EXPECT_EQ(ReturnValueOf(*expected.command), nullptr);
    }
}

using ScsCommandParameters = HostFixture;

TEST_F(ScsCommandParameters, FullConstructorsAddTheStandardParametersInOrder)
{
    DbObject* asset = AddCheckedInAsset("asset");
    const ScsMarkForAddCommand markForAdd(Library().GetAccessor(), "7", AccessorsOf(Library(), {asset}), true);
    const ScsMakeWritableCommand makeWritable(Library().GetAccessor(), AccessorsOf(Library(), {asset, asset}), false);

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

class AssetResolutionTest : public HostFixture {
protected:
    bool Resolve(const std::vector<UnspecifiedAccessor>& accessors, qor4::DbObjectList& objects)
    {
        const UnspecifiedAccessorListParam param("asset", Library().GetAccessor(), BaseScsCommand::kAssetInterfaceId,
                                                 accessors);
        return BaseScsCommand::ResolveAssetsFromUnspecifiedAccessors(ManagerPtr(), param, objects);
    }
};

TEST_F(AssetResolutionTest, ResolvesAccessorsInOrderLoadingObjectsWhenNeeded)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* unloaded = AddCheckedInAsset("unloaded");
    Manager().SetLoaded(unloaded, false);

    qor4::DbObjectList objects;
    EXPECT_TRUE(Resolve({}, objects));
    EXPECT_TRUE(objects.empty());
    EXPECT_TRUE(Resolve(AccessorsOf(Library(), {unloaded, first}), objects));
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(standin::ToDbObject(objects.front()), unloaded);
    EXPECT_EQ(standin::ToDbObject(objects.back()), first);
}

TEST_F(AssetResolutionTest, StopsAtTheFirstUnresolvableAccessorKeepingWhatCameBefore)
{
    DbObject* first = AddCheckedInAsset("first");
    DbObject* third = AddCheckedInAsset("third");
    qor4::DbObjectList objects;
    EXPECT_FALSE(
        Resolve({Library().GetItemAccessor(first), UnspecifiedAccessor(), Library().GetItemAccessor(third)}, objects));
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(standin::ToDbObject(objects.front()), first);

    // Items that are not data-base objects: not a unique identifier, or well formed but unknown.
    FreeFormLibrary library;
    for (const char* uid : {"not-a-uid", "{00000000-0000-4000-8000-00000000beef}"}) {
        qor4::DbObjectList none;
        EXPECT_FALSE(Resolve({library.AccessorFor(uid)}, none)) << uid;
        EXPECT_TRUE(none.empty()) << uid;
    }
}

} // namespace
