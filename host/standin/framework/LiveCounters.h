// Instrumented counts of host objects, so tests can prove that a plug-in released what it owned.
#pragma once

#include "HostExport.h"

namespace standin {

class HOST_API LiveCounters {
public:
    struct Snapshot {
        long commandsBuilt = 0;
        long commandsDestroyed = 0;
        long connectionsBuilt = 0;
        long connectionsDestroyed = 0;
        long disconnectCalls = 0;

        long LiveCommands() const { return commandsBuilt - commandsDestroyed; }
        long LiveConnections() const { return connectionsBuilt - connectionsDestroyed; }
    };

    static Snapshot Take();
    // Commands (CBaseCommand) alive now: constructed minus destroyed.
    static long LiveCommands();
    // zrconnection objects alive now: constructed minus destroyed.
    static long LiveConnections();
    // Disconnect calls on any zrconnection since the process started.
    static long DisconnectCalls();

    static void CommandBuilt();
    static void CommandDestroyed();
    static void ConnectionBuilt();
    static void ConnectionDestroyed();
    static void DisconnectCalled();
};

} // namespace standin
