// RemoteBench: zrbench --remote. The project's own server behind a DelayRelay, a working copy
// checked out through it, and the daily operations (RemoteCases) at each round-trip time, printed
// as a markdown table.
#pragma once

#include <QString>

#include <vector>

namespace RemoteBench {

// rtts: round-trip times in milliseconds (each way is half). Throws std::runtime_error on failure.
void Run(bool https, const std::vector<int>& rttsMs, const QString& folder);
// The same operations behind a replica near by whose master is far away, over https://.
void RunReplica(const QString& folder);

} // namespace RemoteBench
