// The marker behind opal::datamodel::CreateItemAccessStateChanged: it remembers one access-state
// change and delivers it through its library when sent.
#pragma once

#include "opal/datamodel/ItemAccessStateChanged.h"

#include <cstdint>

namespace standin {

class ModelAccessStateMarker final : public opal::datamodel::INotificationMarker {
public:
    ModelAccessStateMarker(const opal::datamodel::ItemLibraryAccessor& library, const opal::datamodel::ItemID& item,
                           std::uint32_t state);
    ModelAccessStateMarker(const ModelAccessStateMarker&) = delete;
    ModelAccessStateMarker& operator=(const ModelAccessStateMarker&) = delete;

    // Does nothing when the library accessor was not valid.
    void Send() override;
    void Dispose() override { delete this; }

    // Markers created and not yet disposed.
    static int LiveCount();

private:
    ~ModelAccessStateMarker();

    opal::datamodel::ItemLibraryAccessor m_library;
    opal::datamodel::ItemID m_item;
    std::uint32_t m_state;
};

} // namespace standin
