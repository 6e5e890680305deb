// zrconnection: the host's IConnection over a Boost.Signals2 connection.
#pragma once

#include "HostExport.h"
#include "lark/signalling/IConnection.h"

#include <boost/signals2/connection.hpp>
#include <boost/signals2/shared_connection_block.hpp>

#include <optional>

namespace BaseSystem {

class HOST_API zrconnection : public lark::signalling::IConnection {
public:
    explicit zrconnection(const boost::signals2::connection& connection);
    ~zrconnection() override;

    void Disconnect() override;
    bool IsConnected() const override;
    void Block() override;
    void Unblock() override;
    bool Blocked() const override;
    void Swap(lark::signalling::IConnection& other) override;

private:
    boost::signals2::connection m_connection;
    std::optional<boost::signals2::shared_connection_block> m_block;
};

} // namespace BaseSystem
