// The item library: item ids, accessors, listener registration and access-state notifications.
#include "ModelFixture.h"

#include "ModelAccessStateMarker.h"

#include "opal/datamodel/ItemAccessStateChanged.h"
#include "qor4/FileStatus.h"

namespace modeltest {
namespace {

using opal::datamodel::ItemID;
using opal::datamodel::ItemIDUnlock;
using standin::ObjectKind;
namespace mask = opal::datamodel::NotificationMask;

using ItemLibraryItemsTest = ModelFixture;

TEST_F(ItemLibraryItemsTest, EveryObjectLoadedOrNotHasAnItemNamedByItsIdText)
{
    auto* hero = NewAsset("hero", {}, true);
    auto* meta = manager->AddObject(hero, "meta", ObjectKind::Metadata);
    manager->SetLoaded(hero, false);
    for (auto* object : {hero, meta}) {
        const ItemID id = library->BuildItemID(object->GetIdText(), nullptr);
        EXPECT_TRUE(id.IsValid());
        EXPECT_EQ(ItemIDUnlock::GetItemIDUID(id), object->GetIdText());
        opal::datamodel::IItem* item = library->FindItem(id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->GetItemID(), id);
    }

    const ItemID unknown = library->BuildItemID("not-an-object", nullptr);
    EXPECT_FALSE(unknown.IsValid());
    EXPECT_EQ(ItemIDUnlock::GetItemIDUID(unknown), "not-an-object");
    EXPECT_EQ(library->FindItem(unknown), nullptr);
}

TEST_F(ItemLibraryItemsTest, ItemAccessorsLoseValidityWhenTheAssetIsDeleted)
{
    auto* hero = NewAsset("hero", {}, true);
    const auto accessor = library->GetItemAccessor(hero);
    ASSERT_TRUE(accessor.IsValid());
    opal::datamodel::ItemAccessor item;
    item.ResetContext(accessor.GetLibrary(), accessor.GetContextId(), accessor.GetID());
    EXPECT_FALSE(item.IsValid()) << "not valid before its interface pointer is refreshed";
    item.RefreshInterfacePointer();
    ASSERT_TRUE(item.IsValid());
    EXPECT_EQ(ItemIDUnlock::GetItemIDUID(item.GetItem()->GetItemID()), hero->GetIdText());

    manager->DeleteAsset(hero);
    EXPECT_FALSE(accessor.IsValid());
    EXPECT_FALSE(item.IsValid());
    EXPECT_EQ(item.GetItem(), nullptr);
    EXPECT_FALSE(library->BuildItemID(hero->GetIdText(), nullptr).IsValid());
}

TEST_F(ItemLibraryItemsTest, LibraryAccessorsCompareByLibraryAndContext)
{
    const auto accessor = library->GetAccessor();
    EXPECT_TRUE(accessor.IsValid());
    EXPECT_FALSE(accessor != library->GetAccessor());
    standin::ItemLibrary other(manager, 7);
    EXPECT_TRUE(accessor != other.GetAccessor());
    EXPECT_TRUE(accessor != opal::datamodel::ItemLibraryAccessor(library.get(), 7));
    EXPECT_FALSE(opal::datamodel::ItemLibraryAccessor().IsValid());
}

using ItemLibraryRegistrationTest = ModelFixture;

TEST_F(ItemLibraryRegistrationTest, RegistrationsAreRemovedOnlyWithTheirContext)
{
    RecordingListener listener;
    library->AddNotification(&listener, mask::kSave | mask::kSaveRecord, 5);
    ASSERT_EQ(library->GetRegistrations().size(), 1u);
    EXPECT_EQ(library->GetRegistrations()[0].mask, 40u);
    EXPECT_EQ(library->GetRegistrations()[0].contextId, 5);

    library->RemoveNotification(&listener, 40, 4);
    EXPECT_EQ(library->GetRegistrations().size(), 1u) << "another context id does not match";
    library->RemoveNotification(&listener, 40, 5);
    EXPECT_TRUE(library->GetRegistrations().empty());
}

TEST_F(ItemLibraryRegistrationTest, ClosingTheLibraryTellsLibraryListenersOnly)
{
    RecordingListener libraryListener;
    RecordingListener saveListener;
    {
        standin::ItemLibrary closing(manager);
        closing.AddNotification(&libraryListener, mask::kLibrary, 1);
        closing.AddNotification(&saveListener, mask::kSave, 1);
    }
    EXPECT_EQ(libraryListener.events, std::vector<std::string>{"Closing"});
    EXPECT_TRUE(saveListener.events.empty());
}

using AccessStateNotificationTest = ModelFixture;

TEST_F(AccessStateNotificationTest, MarkersDeliverThroughTheLibraryAndAreFreedByDispose)
{
    auto* hero = NewAsset("hero");
    RecordingListener stateListener;
    RecordingListener saveListener;
    library->AddNotification(&stateListener, mask::kAccessState, 3);
    library->AddNotification(&saveListener, 40, 3);
    const int liveBefore = standin::ModelAccessStateMarker::LiveCount();

    const auto accessor = library->GetAccessor();
    opal::datamodel::INotificationMarker* marker = opal::datamodel::CreateItemAccessStateChanged(
        accessor, accessor.BuildItemID(hero->GetIdText(), nullptr), qor4::FileStatus::kCheckedOut);
    EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), liveBefore + 1);
    EXPECT_TRUE(library->GetAccessStateRecords().empty()) << "nothing is delivered before Send";
    marker->Send();
    marker->Dispose();
    EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), liveBefore);

    const auto& records = library->GetAccessStateRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].contextId, standin::ItemLibrary::kDefaultContextId);
    EXPECT_EQ(records[0].uid, hero->GetIdText());
    EXPECT_TRUE(records[0].validItem);
    EXPECT_EQ(records[0].state, qor4::FileStatus::kCheckedOut);

    ASSERT_EQ(stateListener.accessStates.size(), 1u);
    EXPECT_EQ(stateListener.accessStates[0].uid, hero->GetIdText());
    EXPECT_EQ(stateListener.accessStates[0].state, qor4::FileStatus::kCheckedOut);
    EXPECT_FALSE(stateListener.lastLibrary != accessor);
    EXPECT_TRUE(saveListener.events.empty()) << "a listener without the access-state bit hears nothing";
}

TEST_F(AccessStateNotificationTest, InvalidLibrariesDeliverNothingAndUnknownItemsAreRecordedAsInvalid)
{
    const int liveBefore = standin::ModelAccessStateMarker::LiveCount();
    opal::datamodel::INotificationMarker* marker =
        opal::datamodel::CreateItemAccessStateChanged(opal::datamodel::ItemLibraryAccessor(), ItemID("x", true), 1);
    marker->Send();
    marker->Dispose();
    EXPECT_EQ(standin::ModelAccessStateMarker::LiveCount(), liveBefore);
    EXPECT_TRUE(library->GetAccessStateRecords().empty());

    library->DeliverAccessStateChanged(9, library->BuildItemID("gone", nullptr), 16);
    ASSERT_EQ(library->GetAccessStateRecords().size(), 1u);
    EXPECT_FALSE(library->GetAccessStateRecords()[0].validItem);
    EXPECT_EQ(library->GetAccessStateRecords()[0].contextId, 9);
    library->ClearAccessStateRecords();
    EXPECT_TRUE(library->GetAccessStateRecords().empty());
}

} // namespace
} // namespace modeltest
