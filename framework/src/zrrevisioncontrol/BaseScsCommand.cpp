#include "BaseScsCommand.h"

#include "HostServices.h"

#include "lark/fwk/IQORDBProxy.h"
#include "opal/datamodel/ItemAccessStateChanged.h"

#include <memory>

using opal::datamodel::ItemAccessor;
using opal::datamodel::ItemID;
using opal::datamodel::ItemLibraryAccessor;
using opal::datamodel::UnspecifiedAccessor;
using opal::datamodel::modify::BoolParam;
using opal::datamodel::modify::IntParam;
using opal::datamodel::modify::StringParam;
using opal::datamodel::modify::UnspecifiedAccessorListParam;

namespace {

struct MarkerDisposer {
    void operator()(opal::datamodel::INotificationMarker* marker) const { marker->Dispose(); }
};
using MarkerPtr = std::unique_ptr<opal::datamodel::INotificationMarker, MarkerDisposer>;

template <class T> const T* FindParam(const lark::fwk::ICommand& command, const char* name)
{
    return dynamic_cast<const T*>(command.GetParam(name));
}

} // namespace

BaseScsCommand::BaseScsCommand(const ItemLibraryAccessor& library, char* name) : CBaseExecutionCommand(library, name) {}

BaseScsCommand::BaseScsCommand(const ItemLibraryAccessor& library, char* name, const char* changeList,
                               const std::vector<UnspecifiedAccessor>& assets, bool includeExternalFile)
    : CBaseExecutionCommand(library, name)
{
    AddParam(new StringParam(kChangeListParam, changeList ? changeList : ""));
    AddParam(new UnspecifiedAccessorListParam(kAssetParam, library, kAssetInterfaceId, assets));
    AddParam(new BoolParam(kIncludeExternalFileParam, includeExternalFile));
}

BaseScsCommand::~BaseScsCommand() = default;

bool BaseScsCommand::ResolveAssetsFromUnspecifiedAccessors(qor4::QORPtr<qor4::IDataModelMgr> manager,
                                                           const UnspecifiedAccessorListParam& assets,
                                                           qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects)
{
    for (const UnspecifiedAccessor& asset : assets.GetValue()) {
        ItemAccessor item;
        item.ResetContext(asset.GetLibrary(), asset.GetContextId(), asset.GetID());
        if (item.GetLibrary()) item.RefreshInterfacePointer();
        if (!item.IsValid()) return false;

        const std::string uid = opal::datamodel::ItemIDUnlock::GetItemIDUID(item.GetItem()->GetItemID());
        if (!qor4::DbObjectId::IsUID(uid)) return false;

        const qor4::DbObjectId id(uid);
        qor4::QORHandle<qor4::IDbObject> object = manager->GetDbObject(id);
        if (object.IsNull()) object = manager->GetOrLoadDbObject(id);
        if (!object.IsValid()) return false;

        objects.push_back(object);
    }
    return true;
}

void BaseScsCommand::NotifyAccessStateChanged(qor4::QORPtr<qor4::IDataControl> dataControl,
                                              const qor4::List<qor4::QORHandle<qor4::IDbObject>>& objects)
{
    const ItemLibraryAccessor& library = GetLibrary();
    std::list<qor4::StatusWord> states;
    std::string message;
    const qor4::qorResult result =
        dataControl->GetAccessStates(objects, false, kDataControlContext, false, states, message);
    if (result != qor4::kResultOk || states.empty()) return;

    // The service should give one state per object; never walk past the end of either list.
    auto object = objects.begin();
    for (auto state = states.begin(); state != states.end() && object != objects.end(); ++state, ++object) {
        const ItemID item = library.BuildItemID(object->GetDbObjectId().GetStr(), nullptr);
        MarkerPtr marker(opal::datamodel::CreateItemAccessStateChanged(library, item, *state));
        if (marker) marker->Send();
    }
}

std::optional<BaseScsCommand::Execution> BaseScsCommand::PrepareExecution() const
{
    const ItemLibraryAccessor library(GetLibrary().GetLibrary(), GetLibrary().GetContextId());
    const auto* assets = FindParam<UnspecifiedAccessorListParam>(*this, kAssetParam);
    const auto* includeExternal = FindParam<BoolParam>(*this, kIncludeExternalFileParam);
    if (!library.IsValid() || !assets) return std::nullopt;

    Execution execution;
    execution.includeExternalFile = includeExternal && includeExternal->GetValue();

    // A missing proxy counts as a missing manager: using it throws the host's NullPtr.
    auto* proxy = GetHostSingleton<lark::fwk::IQORDBProxy>(HostNames::kDbProxy);
    const qor4::QORPtr<qor4::IDataModelMgr> manager =
        proxy ? proxy->GetDataModelMgr() : qor4::QORPtr<qor4::IDataModelMgr>();
    if (!ResolveAssetsFromUnspecifiedAccessors(manager, *assets, execution.objects)) return std::nullopt;

    execution.dataControl = GetDataControlOf(manager);
    return execution;
}

std::string BaseScsCommand::GetChangeList() const
{
    const auto* changeList = FindParam<StringParam>(*this, kChangeListParam);
    return changeList ? changeList->GetValue() : std::string();
}

bool BaseScsCommand::ExecuteChangeListAction(ChangeListAction action)
{
    const std::string changeList = GetChangeList();
    std::optional<Execution> execution = PrepareExecution();
    if (!execution) return false;

    std::string errorText;
    qor4::IDataControl& dataControl = *execution->dataControl;
    const qor4::qorResult result = (dataControl.*action)(execution->objects, execution->includeExternalFile,
                                                         kDataControlContext, changeList, errorText);
    if (result == qor4::kResultOk) NotifyAccessStateChanged(execution->dataControl, execution->objects);
    RecordOutcome(errorText, result);
    return true;
}

void BaseScsCommand::RecordOutcome(const std::string& errorText, const qor4::qorResult& result)
{
    AddParam(new StringParam(kErrorStringParam, errorText));
    SetReturnValue(new IntParam(kReturnValueParam, result.GetCode()));
}
