// Item library, items and the accessors through which plug-ins reach them.
//
// An accessor is a small value: the library and context id it works in, the id of the item it
// refers to (none for a library accessor), and whether its interface pointer was refreshed.
// It is valid while its library exists and, for an item accessor, while the library still has the
// item. Accessors are used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace opal::datamodel {

class ItemIDUnlock;
class ItemLibraryAccessor;

// Identifies an item of a library. Built by the library from an object id text; invalid when the
// library has no item for that text.
class ItemID {
public:
    ItemID() = default;
    ItemID(std::string uid, bool valid) : m_uid(std::move(uid)), m_valid(valid) {}

    bool IsValid() const { return m_valid; }
    bool operator<(const ItemID& other) const { return m_uid < other.m_uid; }
    bool operator==(const ItemID& other) const { return m_valid == other.m_valid && m_uid == other.m_uid; }
    bool operator!=(const ItemID& other) const { return !(*this == other); }

private:
    friend class ItemIDUnlock;
    std::string m_uid;
    bool m_valid = false;
};

// Privileged access to the unique identifier text an ItemID was built from.
class ItemIDUnlock {
public:
    static std::string GetItemIDUID(const ItemID& id) { return id.m_uid; }
};

class IItem {
public:
    virtual ItemID GetItemID() const = 0;

protected:
    ~IItem() = default;
};

// Listener of an item library. The library calls OnPreSave before it writes anything (a listener
// sets *cancel to true to veto the save; cancel may be null) and OnPostSave after it wrote.
class IItemLibraryNotification {
public:
    virtual ~IItemLibraryNotification() = default;
    virtual void OnItemsAdded(const ItemLibraryAccessor& library) = 0;
    virtual void OnItemsRemoved(const ItemLibraryAccessor& library) = 0;
    virtual void OnItemChanged(const ItemLibraryAccessor& library, const ItemID& item) = 0;
    virtual void OnItemRenamed(const ItemLibraryAccessor& library, const ItemID& item) = 0;
    virtual void OnItemAccessStateChanged(const ItemLibraryAccessor& library, const ItemID& item,
                                          std::uint32_t state) = 0;
    virtual void OnLibraryClosing(const ItemLibraryAccessor& library) = 0;
    virtual void OnPreSave(const ItemLibraryAccessor& library, bool* cancel) = 0;
    virtual void OnPostSave(const ItemLibraryAccessor& library) = 0;
};

// Notification masks for AddNotification.
namespace NotificationMask {
constexpr std::uint32_t kItems = 0x01;
constexpr std::uint32_t kAccessState = 0x02;
constexpr std::uint32_t kLibrary = 0x04;
constexpr std::uint32_t kSave = 0x08;
constexpr std::uint32_t kItemChanges = 0x10;
constexpr std::uint32_t kSaveRecord = 0x20;
} // namespace NotificationMask

class IItemLibrary {
public:
    // A listener hears the notifications its mask selects, for the given context id, until removed.
    virtual void AddNotification(IItemLibraryNotification* listener, std::uint32_t mask, int contextId) = 0;
    virtual void RemoveNotification(IItemLibraryNotification* listener, std::uint32_t mask, int contextId) = 0;
    // The id of the item built for an object id text; invalid when there is none.
    virtual ItemID BuildItemID(const std::string& uid, const void* hint) = 0;
    // Null when the library has no such item (any more).
    virtual IItem* FindItem(const ItemID& id) = 0;
    // Tells the listeners that the revision-control access state of an item changed.
    virtual void DeliverAccessStateChanged(int contextId, const ItemID& id, std::uint32_t state) = 0;

protected:
    ~IItemLibrary() = default;
};

class BaseAccessor {
public:
    // Points the accessor at a library, context and item; it needs RefreshInterfacePointer again.
    void ResetContext(IItemLibrary* library, int contextId, const ItemID& id = ItemID())
    {
        m_library = library;
        m_contextId = contextId;
        m_id = id;
        m_refreshed = false;
    }
    void RefreshInterfacePointer() { m_refreshed = m_library != nullptr; }

    bool IsValid() const
    {
        return m_refreshed && m_library && (!m_refersToItem || m_library->FindItem(m_id) != nullptr);
    }
    bool operator!=(const BaseAccessor& other) const { return !(*this == other); }
    bool operator==(const BaseAccessor& other) const
    {
        return m_library == other.m_library && m_contextId == other.m_contextId && m_id == other.m_id;
    }

    IItemLibrary* GetLibrary() const { return m_library; }
    int GetContextId() const { return m_contextId; }
    const ItemID& GetID() const { return m_id; }

protected:
    explicit BaseAccessor(bool refersToItem) : m_refersToItem(refersToItem) {}

    IItemLibrary* m_library = nullptr;
    int m_contextId = 0;
    ItemID m_id;
    bool m_refreshed = false;
    bool m_refersToItem;
};

// Refers to an item without saying of which kind.
class UnspecifiedAccessor : public BaseAccessor {
public:
    UnspecifiedAccessor() : BaseAccessor(true) {}
};

class ItemAccessor : public BaseAccessor {
public:
    ItemAccessor() : BaseAccessor(true) {}
    // The item's interface; null when the accessor is not valid.
    IItem* GetItem() const { return IsValid() ? m_library->FindItem(m_id) : nullptr; }
};

class ItemLibraryAccessor : public BaseAccessor {
public:
    ItemLibraryAccessor() : BaseAccessor(false) {}
    ItemLibraryAccessor(IItemLibrary* library, int contextId) : BaseAccessor(false)
    {
        ResetContext(library, contextId);
        RefreshInterfacePointer();
    }

    ItemID BuildItemID(const std::string& uid, const void* hint) const
    {
        return m_library ? m_library->BuildItemID(uid, hint) : ItemID();
    }
    UnspecifiedAccessor GetUnspecifiedAccessor(const ItemID& id) const
    {
        UnspecifiedAccessor accessor;
        accessor.ResetContext(m_library, m_contextId, id);
        if (m_library) accessor.RefreshInterfacePointer();
        return accessor;
    }
};

} // namespace opal::datamodel
