// Where qor4::PrintDebugString writes: kept in memory for tests, echoed to stderr when asked.
#pragma once

#include "HostExport.h"

#include <functional>
#include <string>
#include <vector>

namespace standin {

class HOST_API DebugOutput {
public:
    using Hook = std::function<void(const std::string& line)>;

    static void Write(const char* text);
    static const std::vector<std::string>& Lines();
    static std::size_t Count();
    static void Clear();
    static void SetEcho(bool echo);
    // Called for every line after it was recorded; an empty hook removes it.
    static void SetHook(Hook hook);
};

} // namespace standin
