#include "datamodel/ModelAccessStateMarker.h"

#include <atomic>

namespace standin {

namespace {
std::atomic<int> g_liveMarkers{0};
} // namespace

ModelAccessStateMarker::ModelAccessStateMarker(const opal::datamodel::ItemLibraryAccessor& library,
                                               const opal::datamodel::ItemID& item, std::uint32_t state)
    : m_library(library), m_item(item), m_state(state)
{
    ++g_liveMarkers;
}

ModelAccessStateMarker::~ModelAccessStateMarker()
{
    --g_liveMarkers;
}

int ModelAccessStateMarker::LiveCount()
{
    return g_liveMarkers;
}

void ModelAccessStateMarker::Send()
{
    if (m_library.IsValid())
        m_library.GetLibrary()->DeliverAccessStateChanged(m_library.GetContextId(), m_item, m_state);
}

} // namespace standin

namespace opal::datamodel {

INotificationMarker* CreateItemAccessStateChanged(const ItemLibraryAccessor& library, const ItemID& item,
                                                  std::uint32_t state)
{
    return new standin::ModelAccessStateMarker(library, item, state);
}

} // namespace opal::datamodel
