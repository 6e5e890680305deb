// The stand-in item library: one item per data-base object of its manager, listeners with masks,
// and the save that notifies them around writing the files.
#pragma once

#include <boost/signals2/signal.hpp>

#include "datamodel/DataModelMgr.h"
#include "datamodel/ModelSaver.h"

#include "opal/datamodel/Accessors.h"

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

class ItemLibrary final : public opal::datamodel::IItemLibrary {
public:
    static constexpr int kDefaultContextId = 1;

    struct Registration {
        opal::datamodel::IItemLibraryNotification* listener = nullptr;
        std::uint32_t mask = 0;
        int contextId = 0;
    };
    // One AddNotification or RemoveNotification call.
    struct RegistrationCall {
        bool added = false;
        Registration registration;
    };
    struct AccessStateRecord {
        int contextId = 0;
        std::string uid;
        bool validItem = false;
        std::uint32_t state = 0;
    };

    explicit ItemLibrary(qor4::QORPtr<DataModelMgr> manager, int contextId = kDefaultContextId);
    ~ItemLibrary();
    ItemLibrary(const ItemLibrary&) = delete;
    ItemLibrary& operator=(const ItemLibrary&) = delete;

    // opal::datamodel::IItemLibrary
    void AddNotification(opal::datamodel::IItemLibraryNotification* listener, std::uint32_t mask,
                         int contextId) override;
    void RemoveNotification(opal::datamodel::IItemLibraryNotification* listener, std::uint32_t mask,
                            int contextId) override;
    opal::datamodel::ItemID BuildItemID(const std::string& uid, const void* hint) override;
    opal::datamodel::IItem* FindItem(const opal::datamodel::ItemID& id) override;
    void DeliverAccessStateChanged(int contextId, const opal::datamodel::ItemID& id, std::uint32_t state) override;

    // The accessor the host hands out for this library (and passes with every notification).
    opal::datamodel::ItemLibraryAccessor GetAccessor() const;
    // An accessor to the object's item, as a command's asset list holds it.
    opal::datamodel::UnspecifiedAccessor GetItemAccessor(const DbObject* object) const;

    // OnPreSave (listeners with the save bit; the first veto stops the save), the writing, then
    // OnPostSave (listeners with the save or save-record bit), then the new versions are committed.
    SaveResult Save();

    // Around the post-save notification: what the save did, before the first listener hears of it,
    // and its end, after the last.
    boost::signals2::signal<void(const SaveResult&)> postSaveStarting;
    boost::signals2::signal<void()> postSaveEnded;

    const qor4::QORPtr<DataModelMgr>& GetManager() const { return m_manager; }
    int GetContextId() const { return m_contextId; }
    const std::vector<Registration>& GetRegistrations() const { return m_registrations; }
    const std::vector<RegistrationCall>& GetRegistrationCalls() const { return m_registrationCalls; }
    const std::vector<AccessStateRecord>& GetAccessStateRecords() const { return m_accessStates; }
    void ClearAccessStateRecords() { m_accessStates.clear(); }

private:
    // Listeners that select any of bits, in registration order; snapshot so that a listener may
    // unregister while it is being notified.
    std::vector<opal::datamodel::IItemLibraryNotification*> ListenersFor(std::uint32_t bits) const;
    bool IsRegistered(opal::datamodel::IItemLibraryNotification* listener) const;

    qor4::QORPtr<DataModelMgr> m_manager;
    int m_contextId;
    std::vector<Registration> m_registrations;
    std::vector<RegistrationCall> m_registrationCalls;
    std::vector<AccessStateRecord> m_accessStates;
};

} // namespace standin
