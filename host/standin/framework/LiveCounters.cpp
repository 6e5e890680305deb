#include "framework/LiveCounters.h"

namespace standin {

namespace {
LiveCounters::Snapshot& Counts()
{
    static LiveCounters::Snapshot counts;
    return counts;
}
} // namespace

LiveCounters::Snapshot LiveCounters::Take()
{
    return Counts();
}
long LiveCounters::LiveCommands()
{
    return Counts().LiveCommands();
}
long LiveCounters::LiveConnections()
{
    return Counts().LiveConnections();
}
long LiveCounters::DisconnectCalls()
{
    return Counts().disconnectCalls;
}

void LiveCounters::CommandBuilt()
{
    ++Counts().commandsBuilt;
}
void LiveCounters::CommandDestroyed()
{
    ++Counts().commandsDestroyed;
}
void LiveCounters::ConnectionBuilt()
{
    ++Counts().connectionsBuilt;
}
void LiveCounters::ConnectionDestroyed()
{
    ++Counts().connectionsDestroyed;
}
void LiveCounters::DisconnectCalled()
{
    ++Counts().disconnectCalls;
}

} // namespace standin
