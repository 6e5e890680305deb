// IConnection: one listener's connection to a host signal, owned by whoever asked for it.
#pragma once

namespace lark::signalling {

class IConnection {
public:
    // Deleting a connection does not disconnect it; call Disconnect first.
    virtual ~IConnection() = default;
    virtual void Disconnect() = 0;
    virtual bool IsConnected() const = 0;
    // A blocked listener is skipped until unblocked.
    virtual void Block() = 0;
    virtual void Unblock() = 0;
    virtual bool Blocked() const = 0;
    // Exchanges the connections held by this object and other.
    virtual void Swap(IConnection& other) = 0;
};

} // namespace lark::signalling
