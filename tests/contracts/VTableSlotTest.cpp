// The real host calls through these tables, so every operation must stay in its slot.
// Under the Itanium C++ ABI a pointer to a virtual member function holds 1 + the slot's byte offset;
// a destructor takes two slots there (complete and deleting), where the host's layout counts one.
#include "CRevisionControlUIHelper.h"
#include "CZRRevisionControlPropertiesMgr.h"

#include "IZRPrefManager.h"
#include "lark/fwk/ICommand.h"
#include "lark/fwk/IQORDBProxy.h"
#include "opal/datamodel/modify/CBaseExecutionCommand.h"
#include "qor4/IDataControl.h"
#include "qor4/IDataModelMgr.h"
#include "qor4/IFileVersionControl.h"
#include "qor4/IQORInstance.h"
#include "qor4/IRevisionControlUIHelper.h"
#include "qor4/qorResult.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

template <class MemberFunction> long ItaniumSlot(MemberFunction function)
{
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(MemberFunction) == sizeof(Representation), "not an Itanium member pointer");
    Representation representation{};
    std::memcpy(&representation, &function, sizeof representation);
    if ((representation.pointer & 1U) == 0) return -1; // not virtual
    return static_cast<long>((representation.pointer - 1) / sizeof(void*));
}

// Slot as the host counts it, for an interface whose destructor comes first.
template <class MemberFunction> long SlotAfterDestructor(MemberFunction function)
{
    return ItaniumSlot(function) - 1;
}

using namespace qor4;
using Handle = QORHandle<IDbObject>;
using Handles = std::list<Handle>;

TEST(VTableSlots, UIHelperInterfaceInOrderWithDestructorLast)
{
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::IsSourceDataControlEnabled), 0);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::GetDataControl), 1);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::QueryObjectStateIfEnabled), 2);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::QueryObjectFlag), 3);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::QueryObjectInContext), 4);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::CheckOutObject), 5);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::CheckOutObjects), 6);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::MakeObjectWritable), 7);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::PromptCheckOutObjects), 8);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::GetAccessStates), 9);
    EXPECT_EQ(ItaniumSlot(static_cast<Handle (IRevisionControlUIHelper::*)(const DbObjectId&)>(
                  &IRevisionControlUIHelper::GetDbObject)),
              10);
    EXPECT_EQ(ItaniumSlot(static_cast<Handle (IRevisionControlUIHelper::*)(const DbObjectId&, QORPtr<IDataModelMgr>&)>(
                  &IRevisionControlUIHelper::GetDbObject)),
              11);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::GetAssetFiles), 12);
    EXPECT_EQ(ItaniumSlot(&IRevisionControlUIHelper::ShowAssetFiles), 13);
}

TEST(VTableSlots, ItemLibraryNotificationHasSaveNotificationsInSlotsSevenAndEight)
{
    using N = opal::datamodel::IItemLibraryNotification;
    EXPECT_EQ(SlotAfterDestructor(&N::OnItemsAdded), 1);
    EXPECT_EQ(SlotAfterDestructor(&N::OnItemsRemoved), 2);
    EXPECT_EQ(SlotAfterDestructor(&N::OnItemChanged), 3);
    EXPECT_EQ(SlotAfterDestructor(&N::OnItemRenamed), 4);
    EXPECT_EQ(SlotAfterDestructor(&N::OnItemAccessStateChanged), 5);
    EXPECT_EQ(SlotAfterDestructor(&N::OnLibraryClosing), 6);
    EXPECT_EQ(SlotAfterDestructor(&N::OnPreSave), 7);
    EXPECT_EQ(SlotAfterDestructor(&N::OnPostSave), 8);
}

TEST(VTableSlots, SingletonBasesAndProxyListener)
{
    EXPECT_EQ(SlotAfterDestructor(&lark::ISingleton::Init), 1);
    EXPECT_EQ(SlotAfterDestructor(&lark::ISingleton::Term), 2);
    EXPECT_EQ(SlotAfterDestructor(&lark::IBase::GetClsName), 1);
    EXPECT_EQ(SlotAfterDestructor(&lark::fwk::IQORDBProxy_Slot::OnDataModelMgrReady), 1);
    EXPECT_EQ(SlotAfterDestructor(&lark::fwk::IQORDBProxy_Slot::OnItemLibraryReady), 2);
    EXPECT_EQ(SlotAfterDestructor(&lark::fwk::IQORDBProxy_Slot::OnItemLibraryReleased), 3);
    EXPECT_EQ(ItaniumSlot(&ITimeOutDelegate::NotifyCompletion), 0);
    EXPECT_EQ(ItaniumSlot(&ITimeOutDelegate::WaitForCompletion), 1);
}

TEST(VTableSlots, HostSystemProxyAndPreferenceStore)
{
    EXPECT_EQ(ItaniumSlot(&lark::ISystem::RegisterFactory), 0);
    EXPECT_EQ(ItaniumSlot(&lark::ISystem::GetSingleton), 1);
    EXPECT_EQ(ItaniumSlot(&lark::ISystem::IsReady), 2);

    using P = lark::fwk::IQORDBProxy;
    EXPECT_EQ(ItaniumSlot(&P::ConnectDataModelMgrReady), 0);
    EXPECT_EQ(ItaniumSlot(&P::ConnectItemLibraryReady), 1);
    EXPECT_EQ(ItaniumSlot(&P::ConnectItemLibraryReleased), 2);
    EXPECT_EQ(ItaniumSlot(&P::HasDataModelMgr), 3);
    EXPECT_EQ(ItaniumSlot(&P::GetDataModelMgr), 4);
    EXPECT_EQ(ItaniumSlot(&P::GetItemLibrary), 5);

    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::SetIntPref), 0);
    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::SetStringPref), 1);
    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::SetBoolPref), 2);
    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::GetIntPref), 3);
    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::GetStringPref), 4);
    EXPECT_EQ(ItaniumSlot(&IZRPrefManager::GetBoolPref), 5);

    using C = lark::signalling::IConnection;
    EXPECT_EQ(SlotAfterDestructor(&C::Disconnect), 1);
    EXPECT_EQ(SlotAfterDestructor(&C::IsConnected), 2);
    EXPECT_EQ(SlotAfterDestructor(&C::Block), 3);
    EXPECT_EQ(SlotAfterDestructor(&C::Unblock), 4);
    EXPECT_EQ(SlotAfterDestructor(&C::Blocked), 5);
    EXPECT_EQ(SlotAfterDestructor(&C::Swap), 6);
}

TEST(VTableSlots, CommandsKeepTheFrameworkOrderWithExecuteActionLast)
{
    using C = lark::fwk::ICommand;
    EXPECT_EQ(ItaniumSlot(&C::AddRef), 0);
    EXPECT_EQ(ItaniumSlot(&C::Release), 1);
    // Slots 2 and 3: the destructor.
    EXPECT_EQ(ItaniumSlot(&C::GetCommandIdentifier), 4);
    EXPECT_EQ(ItaniumSlot(&C::GetName), 5);
    EXPECT_EQ(ItaniumSlot(&C::SetName), 6);
    EXPECT_EQ(ItaniumSlot(&C::DoAction), 7);
    EXPECT_EQ(ItaniumSlot(&C::UndoAction), 8);
    EXPECT_EQ(ItaniumSlot(&C::CanCollapse), 9);
    EXPECT_EQ(ItaniumSlot(&C::AddParam), 10);
    EXPECT_EQ(ItaniumSlot(&C::GetParam), 11);
    EXPECT_EQ(ItaniumSlot(&C::GetAllParams), 12);
    EXPECT_EQ(ItaniumSlot(&C::ClearParams), 13);
    EXPECT_EQ(ItaniumSlot(&C::operator==), 14);
    EXPECT_EQ(ItaniumSlot(&C::IsTransient), 15);
    EXPECT_EQ(ItaniumSlot(&C::SetTransient), 16);
    EXPECT_EQ(ItaniumSlot(&C::Equals), 17);
    EXPECT_EQ(ItaniumSlot(&opal::datamodel::modify::CBaseExecutionCommand::ExecuteAction), 18);
    EXPECT_EQ(ItaniumSlot(&lark::fwk::ICommandManager::Execute), 0);
}

TEST(VTableSlots, DataModelServicesFollowTheReferenceCountingSlots)
{
    EXPECT_EQ(ItaniumSlot(&IQORUnknown::AddRef), 0);
    EXPECT_EQ(ItaniumSlot(&IQORUnknown::Release), 1);
    EXPECT_EQ(ItaniumSlot(&IQORUnknown::QueryInterface), 2);
    EXPECT_EQ(ItaniumSlot(&IQORInstance::GetComponent), 3);

    EXPECT_EQ(ItaniumSlot(&IDataModelMgr::ExecuteQuery), 3);
    EXPECT_EQ(ItaniumSlot(&IDataModelMgr::GetManagerInstance), 4);
    EXPECT_EQ(ItaniumSlot(&IDataModelMgr::GetDbObject), 5);
    EXPECT_EQ(ItaniumSlot(&IDataModelMgr::GetOrLoadDbObject), 6);
    EXPECT_EQ(ItaniumSlot(&IDataModelMgr::GetDataSources), 7);

    EXPECT_EQ(ItaniumSlot(&IMultiFileDataSource::GetDeletedFiles), 3);
    EXPECT_EQ(ItaniumSlot(&IMultiFileDataSource::GetSavedObjects), 4);
    EXPECT_EQ(ItaniumSlot(&IMultiFileDataSource::ClearSaveRecord), 5);

    using F = IFileVersionControl;
    EXPECT_EQ(ItaniumSlot(&F::CreateUserParameters), 3);
    EXPECT_EQ(ItaniumSlot(&F::RevertFiles), 4);
    EXPECT_EQ(ItaniumSlot(&F::GetUsers), 5);
    EXPECT_EQ(ItaniumSlot(&F::MarkForDelete), 6);
    EXPECT_EQ(ItaniumSlot(&F::GetFilesStatus), 7);
    EXPECT_EQ(ItaniumSlot(&F::SetTimeOutDelegate), 8);
}

TEST(VTableSlots, DataControlOperationsInOrder)
{
    using D = IDataControl;
    const long order[] = {
        ItaniumSlot(&D::IsChangeListValid),
        ItaniumSlot(&D::GetPendingChangeLists),
        ItaniumSlot(&D::GetChangeListDescription),
        ItaniumSlot(&D::CreateChangeList),
        ItaniumSlot(&D::CheckOut),
        ItaniumSlot(&D::MarkForAdd),
        ItaniumSlot(&D::GetAccessStates),
        ItaniumSlot(&D::GetObjectUsers),
        ItaniumSlot(&D::IsReadOnly),
        ItaniumSlot(&D::QueryObjectFlag),
        ItaniumSlot(&D::QueryObjectState),
        ItaniumSlot(&D::GetObjectFileList),
        ItaniumSlot(&D::GetObjectFiles),
        ItaniumSlot(&D::MakeWritable),
        ItaniumSlot(&D::GetFiles),
        ItaniumSlot(&D::CollectAssets),
        ItaniumSlot(&D::CollectRelatedObjects),
        ItaniumSlot(&D::SetUserParameters),
        ItaniumSlot(&D::GetCurrentUserParameters),
        ItaniumSlot(&D::GetObjectName),
        ItaniumSlot(&D::QueryObjectInContext),
        ItaniumSlot(&D::HasExternalFiles),
    };
    for (std::size_t i = 0; i < std::size(order); ++i)
        EXPECT_EQ(order[i], static_cast<long>(i) + 3) << "operation " << i;
}

TEST(VTableSlots, PreferenceManagerGettersThenSettersThenFlag)
{
    using M = IRevisionControlPropertiesMgr;
    EXPECT_EQ(SlotAfterDestructor(&M::Connect), 1);
    const long order[] = {
        SlotAfterDestructor(&M::GetAccountProperties),
        SlotAfterDestructor(&M::GetActionWhenEditingReadOnlyAsset),
        SlotAfterDestructor(&M::GetAlwaysUseSetting),
        SlotAfterDestructor(&M::GetChangeListToUseWhenAutoCheckingOut),
        SlotAfterDestructor(&M::GetPromptForChangeListWhenCheckingOut),
        SlotAfterDestructor(&M::GetUserParameters),
        SlotAfterDestructor(&M::GetUseSourceDataControl),
        SlotAfterDestructor(&M::SetAccountProperties),
        SlotAfterDestructor(&M::SetActionWhenEditingReadOnlyAsset),
        SlotAfterDestructor(&M::SetAlwaysUseSetting),
        SlotAfterDestructor(&M::SetChangeListToUseWhenAutoCheckingOut),
        SlotAfterDestructor(&M::SetPromptForChangeListWhenCheckingOut),
        SlotAfterDestructor(&M::SetUseSourceDataControl),
        SlotAfterDestructor(&M::GetUserSawSourceControlDialog),
        SlotAfterDestructor(&M::SetUserSawSourceControlDialog),
    };
    for (std::size_t i = 0; i < std::size(order); ++i)
        EXPECT_EQ(order[i], static_cast<long>(i) + 2) << "operation " << i;
    EXPECT_EQ(SlotAfterDestructor(&IRevisionControlPropertiesMgr_Slot::OnPropertiesChanged), 1);
}

TEST(VTableSlots, UIHelperBasesComeInTheHostsOrder)
{
    CRevisionControlUIHelper helper;
    const auto* base = reinterpret_cast<const char*>(&helper);
    // The primary interface shares the object's address; the others follow in declaration order.
    const auto offset = [base](const void* view) { return reinterpret_cast<const char*>(view) - base; };
    const std::ptrdiff_t offsets[] = {
        offset(static_cast<IRevisionControlUIHelper*>(&helper)),
        offset(static_cast<opal::datamodel::IItemLibraryNotification*>(&helper)),
        offset(static_cast<lark::ISingleton*>(&helper)),
        offset(static_cast<lark::IBase*>(&helper)),
        offset(static_cast<lark::IDestroy*>(&helper)),
        offset(static_cast<lark::fwk::IQORDBProxy_Slot*>(&helper)),
        offset(static_cast<ITimeOutDelegate*>(&helper)),
    };
    EXPECT_EQ(offsets[0], 0);
    for (std::size_t i = 1; i < std::size(offsets); ++i)
        EXPECT_GT(offsets[i], offsets[i - 1]) << "base " << i;
}

} // namespace
