// Access-state notifications: tell an item library's listeners that revision control changed the
// access state of one item. Create, Send, then Dispose (which frees the marker).
#pragma once

#include "HostExport.h"
#include "opal/datamodel/Accessors.h"

#include <cstdint>

namespace opal::datamodel {

class INotificationMarker {
public:
    virtual void Send() = 0;
    virtual void Dispose() = 0;

protected:
    ~INotificationMarker() = default;
};

HOST_API INotificationMarker* CreateItemAccessStateChanged(const ItemLibraryAccessor& library, const ItemID& item,
                                                           std::uint32_t state);

} // namespace opal::datamodel
