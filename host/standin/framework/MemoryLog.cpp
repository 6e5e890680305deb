#include "framework/MemoryLog.h"

#include <algorithm>
#include <cstdio>

namespace standin {

namespace {
const char* TypeName(Log::MsgType type)
{
    switch (type) {
    case Log::MsgType::Info:
        return "info";
    case Log::MsgType::Warning:
        return "warning";
    case Log::MsgType::Error:
        return "error";
    }
    return "unknown";
}
} // namespace

MemoryLog::MemoryLog(bool echoToStderr) : m_echo(echoToStderr)
{
    Log::Singleton::Instance().SetSink(this);
}

MemoryLog::~MemoryLog()
{
    Log::Singleton::Instance().SetSink(nullptr);
}

void MemoryLog::Write(Log::MsgType type, const std::string& text)
{
    const Entry entry{type, text};
    {
        const std::lock_guard<std::mutex> lock(m_entriesMutex);
        m_entries.push_back(entry);
    }
    {
        const std::lock_guard<std::mutex> lock(m_listenerMutex);
        if (m_listener) m_listener(entry);
    }
    if (m_echo) std::fprintf(stderr, "[%s] %s\n", TypeName(type), text.c_str());
}

void MemoryLog::SetListener(Listener listener)
{
    const std::lock_guard<std::mutex> lock(m_listenerMutex);
    m_listener = std::move(listener);
}

std::vector<MemoryLog::Entry> MemoryLog::Entries() const
{
    const std::lock_guard<std::mutex> lock(m_entriesMutex);
    return m_entries;
}

std::size_t MemoryLog::Count() const
{
    const std::lock_guard<std::mutex> lock(m_entriesMutex);
    return m_entries.size();
}

std::size_t MemoryLog::Count(Log::MsgType type) const
{
    const std::lock_guard<std::mutex> lock(m_entriesMutex);
    return static_cast<std::size_t>(
        std::count_if(m_entries.begin(), m_entries.end(), [type](const Entry& entry) { return entry.type == type; }));
}

void MemoryLog::Clear()
{
    const std::lock_guard<std::mutex> lock(m_entriesMutex);
    m_entries.clear();
}

std::string MemoryLog::Format() const
{
    const std::lock_guard<std::mutex> lock(m_entriesMutex);
    std::string result;
    for (const Entry& entry : m_entries)
        result += Format(entry) + "\n";
    return result;
}

std::string MemoryLog::Format(const Entry& entry)
{
    return std::string(TypeName(entry.type)) + ": " + entry.text;
}

} // namespace standin
