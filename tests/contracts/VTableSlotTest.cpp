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

// Expects the functions in consecutive slots from first on; slot() names how slots are counted.
template <class Slot, class... Functions> void ExpectSlots(Slot slot, long first, Functions... functions)
{
    long expected = first;
    const auto expect = [&](auto function) {
        EXPECT_EQ(slot(function), expected) << "function " << expected - first;
        ++expected;
    };
    (expect(functions), ...);
}

const auto kItanium = [](auto function) { return ItaniumSlot(function); };
const auto kAfterDestructor = [](auto function) { return SlotAfterDestructor(function); };

using namespace qor4;
using Handle = QORHandle<IDbObject>;

TEST(VTableSlots, UIHelperInterfaceInOrderWithDestructorLastAndItsBasesInTheHostsOrder)
{
    using H = IRevisionControlUIHelper;
    ExpectSlots(kItanium, 0, &H::IsSourceDataControlEnabled, &H::GetDataControl, &H::QueryObjectStateIfEnabled,
                &H::QueryObjectFlag, &H::QueryObjectInContext, &H::CheckOutObject, &H::CheckOutObjects,
                &H::MakeObjectWritable, &H::PromptCheckOutObjects, &H::GetAccessStates,
                static_cast<Handle (H::*)(const DbObjectId&)>(&H::GetDbObject),
                static_cast<Handle (H::*)(const DbObjectId&, QORPtr<IDataModelMgr>&)>(&H::GetDbObject),
                &H::GetAssetFiles, &H::ShowAssetFiles);

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

TEST(VTableSlots, ItemLibraryNotificationHasSaveNotificationsInSlotsSevenAndEight)
{
    using N = opal::datamodel::IItemLibraryNotification;
    ExpectSlots(kAfterDestructor, 1, &N::OnItemsAdded, &N::OnItemsRemoved, &N::OnItemChanged, &N::OnItemRenamed,
                &N::OnItemAccessStateChanged, &N::OnLibraryClosing, &N::OnPreSave, &N::OnPostSave);
}

TEST(VTableSlots, HostSystemSingletonBasesProxyWithItsListenerAndPreferenceStore)
{
    ExpectSlots(kAfterDestructor, 1, &lark::ISingleton::Init, &lark::ISingleton::Term);
    ExpectSlots(kAfterDestructor, 1, &lark::IBase::GetClsName);
    using S = lark::fwk::IQORDBProxy_Slot;
    ExpectSlots(kAfterDestructor, 1, &S::OnDataModelMgrReady, &S::OnItemLibraryReady, &S::OnItemLibraryReleased);
    ExpectSlots(kItanium, 0, &ITimeOutDelegate::NotifyCompletion, &ITimeOutDelegate::WaitForCompletion);
    ExpectSlots(kItanium, 0, &lark::ISystem::RegisterFactory, &lark::ISystem::GetSingleton, &lark::ISystem::IsReady);
    using P = lark::fwk::IQORDBProxy;
    ExpectSlots(kItanium, 0, &P::ConnectDataModelMgrReady, &P::ConnectItemLibraryReady, &P::ConnectItemLibraryReleased,
                &P::HasDataModelMgr, &P::GetDataModelMgr, &P::GetItemLibrary);
    using Z = IZRPrefManager;
    ExpectSlots(kItanium, 0, &Z::SetIntPref, &Z::SetStringPref, &Z::SetBoolPref, &Z::GetIntPref, &Z::GetStringPref,
                &Z::GetBoolPref);
    using C = lark::signalling::IConnection;
    ExpectSlots(kAfterDestructor, 1, &C::Disconnect, &C::IsConnected, &C::Block, &C::Unblock, &C::Blocked, &C::Swap);
}

TEST(VTableSlots, CommandsKeepTheFrameworkOrderWithExecuteActionLast)
{
    using C = lark::fwk::ICommand;
    ExpectSlots(kItanium, 0, &C::AddRef, &C::Release);
    // Slots 2 and 3: the destructor.
    ExpectSlots(kItanium, 4, &C::GetCommandIdentifier, &C::GetName, &C::SetName, &C::DoAction, &C::UndoAction,
                &C::CanCollapse, &C::AddParam, &C::GetParam, &C::GetAllParams, &C::ClearParams, &C::operator==,
                &C::IsTransient, &C::SetTransient, &C::Equals,
                &opal::datamodel::modify::CBaseExecutionCommand::ExecuteAction);
    ExpectSlots(kItanium, 0, &lark::fwk::ICommandManager::Execute);
}

TEST(VTableSlots, DataModelServicesAndDataControlFollowTheReferenceCountingSlots)
{
    ExpectSlots(kItanium, 0, &IQORUnknown::AddRef, &IQORUnknown::Release, &IQORUnknown::QueryInterface,
                &IQORInstance::GetComponent);
    using M = IDataModelMgr;
    ExpectSlots(kItanium, 3, &M::ExecuteQuery, &M::GetManagerInstance, &M::GetDbObject, &M::GetOrLoadDbObject,
                &M::GetDataSources);
    using S = IMultiFileDataSource;
    ExpectSlots(kItanium, 3, &S::GetDeletedFiles, &S::GetSavedObjects, &S::ClearSaveRecord);
    using F = IFileVersionControl;
    ExpectSlots(kItanium, 3, &F::CreateUserParameters, &F::RevertFiles, &F::GetUsers, &F::MarkForDelete,
                &F::GetFilesStatus, &F::SetTimeOutDelegate);
    using D = IDataControl;
    ExpectSlots(kItanium, 3, &D::IsChangeListValid, &D::GetPendingChangeLists, &D::GetChangeListDescription,
                &D::CreateChangeList, &D::CheckOut, &D::MarkForAdd, &D::GetAccessStates, &D::GetObjectUsers,
                &D::IsReadOnly, &D::QueryObjectFlag, &D::QueryObjectState, &D::GetObjectFileList, &D::GetObjectFiles,
                &D::MakeWritable, &D::GetFiles, &D::CollectAssets, &D::CollectRelatedObjects, &D::SetUserParameters,
                &D::GetCurrentUserParameters, &D::GetObjectName, &D::QueryObjectInContext, &D::HasExternalFiles);
}

TEST(VTableSlots, PreferenceManagerGettersThenSettersThenFlag)
{
    using M = IRevisionControlPropertiesMgr;
    ExpectSlots(kAfterDestructor, 1, &M::Connect, &M::GetAccountProperties, &M::GetActionWhenEditingReadOnlyAsset,
                &M::GetAlwaysUseSetting, &M::GetChangeListToUseWhenAutoCheckingOut,
                &M::GetPromptForChangeListWhenCheckingOut, &M::GetUserParameters, &M::GetUseSourceDataControl,
                &M::SetAccountProperties, &M::SetActionWhenEditingReadOnlyAsset, &M::SetAlwaysUseSetting,
                &M::SetChangeListToUseWhenAutoCheckingOut, &M::SetPromptForChangeListWhenCheckingOut,
                &M::SetUseSourceDataControl, &M::GetUserSawSourceControlDialog, &M::SetUserSawSourceControlDialog);
    ExpectSlots(kAfterDestructor, 1, &IRevisionControlPropertiesMgr_Slot::OnPropertiesChanged);
}

} // namespace
