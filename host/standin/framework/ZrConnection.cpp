#include "BaseSystem/zrconnection.h"

#include "framework/LiveCounters.h"
#include "qor4/ExBase.h"

#include <utility>

namespace BaseSystem {

zrconnection::zrconnection(const boost::signals2::connection& connection) : m_connection(connection)
{
    standin::LiveCounters::ConnectionBuilt();
}

// Deleting leaves the connection connected; a block held here ends with the object.
zrconnection::~zrconnection()
{
    standin::LiveCounters::ConnectionDestroyed();
}

void zrconnection::Disconnect()
{
    standin::LiveCounters::DisconnectCalled();
    m_block.reset();
    m_connection.disconnect();
}

bool zrconnection::IsConnected() const
{
    return m_connection.connected();
}

void zrconnection::Block()
{
    if (m_block) {
        m_block->block();
    } else {
        m_block.emplace(m_connection);
    }
}

void zrconnection::Unblock()
{
    if (m_block) m_block->unblock();
}

bool zrconnection::Blocked() const
{
    return m_block && m_block->blocking();
}

void zrconnection::Swap(lark::signalling::IConnection& other)
{
    auto* peer = dynamic_cast<zrconnection*>(&other);
    if (peer == nullptr) {
        qor4::PrintDebugString("BaseSystem::zrconnection::Swap: the other connection is not a zrconnection");
        return;
    }
    std::swap(m_connection, peer->m_connection);
    std::swap(m_block, peer->m_block);
}

} // namespace BaseSystem
