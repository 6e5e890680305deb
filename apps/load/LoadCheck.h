// LoadCheck: after a load run, the journals held against the repository and the working copies.
#pragma once

#include "Journal.h"

#include <string>
#include <vector>

namespace load {

struct CheckInput {
    std::string repository;                 // the repository's folder
    std::vector<std::string> workingCopies; // every user's
    std::vector<Entry> entries;             // every user's journal, together
    double seconds = 0;                     // how long the users worked
};

struct CheckResult {
    std::vector<std::string> violations;
    std::string table; // markdown: operations per second, latency per operation, violations
};

CheckResult Check(const CheckInput& input);

} // namespace load
