#include "datamodel/ItemLibrary.h"

#include <algorithm>

namespace standin {

namespace mask = opal::datamodel::NotificationMask;
using opal::datamodel::IItemLibraryNotification;

ItemLibrary::ItemLibrary(qor4::QORPtr<DataModelMgr> manager, int contextId)
    : m_manager(std::move(manager)), m_contextId(contextId)
{
}

ItemLibrary::~ItemLibrary()
{
    const opal::datamodel::ItemLibraryAccessor self = GetAccessor();
    for (IItemLibraryNotification* listener : ListenersFor(mask::kLibrary))
        if (IsRegistered(listener)) listener->OnLibraryClosing(self);
}

void ItemLibrary::AddNotification(IItemLibraryNotification* listener, std::uint32_t bits, int contextId)
{
    const Registration registration{listener, bits, contextId};
    m_registrationCalls.push_back({true, registration});
    if (listener) m_registrations.push_back(registration);
}

void ItemLibrary::RemoveNotification(IItemLibraryNotification* listener, std::uint32_t bits, int contextId)
{
    const Registration registration{listener, bits, contextId};
    m_registrationCalls.push_back({false, registration});
    const auto matches = [&](const Registration& r) {
        return r.listener == listener && r.mask == bits && r.contextId == contextId;
    };
    m_registrations.erase(std::remove_if(m_registrations.begin(), m_registrations.end(), matches),
                          m_registrations.end());
}

opal::datamodel::ItemID ItemLibrary::BuildItemID(const std::string& uid, const void*)
{
    return opal::datamodel::ItemID(uid, m_manager && m_manager->Find(uid) != nullptr);
}

opal::datamodel::IItem* ItemLibrary::FindItem(const opal::datamodel::ItemID& id)
{
    if (!id.IsValid() || !m_manager) return nullptr;
    return m_manager->Find(opal::datamodel::ItemIDUnlock::GetItemIDUID(id));
}

void ItemLibrary::DeliverAccessStateChanged(int contextId, const opal::datamodel::ItemID& id, std::uint32_t state)
{
    m_accessStates.push_back({contextId, opal::datamodel::ItemIDUnlock::GetItemIDUID(id), id.IsValid(), state});
    const opal::datamodel::ItemLibraryAccessor self = GetAccessor();
    for (IItemLibraryNotification* listener : ListenersFor(mask::kAccessState))
        if (IsRegistered(listener)) listener->OnItemAccessStateChanged(self, id, state);
}

opal::datamodel::ItemLibraryAccessor ItemLibrary::GetAccessor() const
{
    return opal::datamodel::ItemLibraryAccessor(const_cast<ItemLibrary*>(this), m_contextId);
}

opal::datamodel::UnspecifiedAccessor ItemLibrary::GetItemAccessor(const DbObject* object) const
{
    const std::string uid = object ? object->GetIdText() : std::string();
    return GetAccessor().GetUnspecifiedAccessor(opal::datamodel::ItemID(uid, object != nullptr));
}

SaveResult ItemLibrary::Save()
{
    const opal::datamodel::ItemLibraryAccessor self = GetAccessor();
    SaveResult result;
    for (IItemLibraryNotification* listener : ListenersFor(mask::kSave)) {
        if (!IsRegistered(listener)) continue;
        bool cancel = false;
        listener->OnPreSave(self, &cancel);
        if (cancel) {
            result.vetoed = true;
            return result;
        }
    }

    result = ModelSaver(*m_manager).WriteChanges();
    postSaveStarting(result);
    for (IItemLibraryNotification* listener : ListenersFor(mask::kSave | mask::kSaveRecord))
        if (IsRegistered(listener)) listener->OnPostSave(self);
    postSaveEnded();
    ModelSaver::CommitVersions(result);
    return result;
}

std::vector<IItemLibraryNotification*> ItemLibrary::ListenersFor(std::uint32_t bits) const
{
    std::vector<IItemLibraryNotification*> listeners;
    for (const Registration& registration : m_registrations)
        if ((registration.mask & bits) != 0 &&
            std::find(listeners.begin(), listeners.end(), registration.listener) == listeners.end())
            listeners.push_back(registration.listener);
    return listeners;
}

bool ItemLibrary::IsRegistered(IItemLibraryNotification* listener) const
{
    return std::any_of(m_registrations.begin(), m_registrations.end(),
                       [listener](const Registration& r) { return r.listener == listener; });
}

} // namespace standin
