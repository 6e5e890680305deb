// MemoryLog: a host log sink that keeps every entry, for tests and for the demo to print.
#pragma once

#include "HostExport.h"
#include "Log/Log.h"

#include <functional>
#include <string>
#include <vector>

namespace standin {

class HOST_API MemoryLog final : public Log::ILogSink {
public:
    struct Entry {
        Log::MsgType type = Log::MsgType::Info;
        std::string text;
    };

    // Becomes the sink of Log::Singleton::Instance() for its lifetime.
    explicit MemoryLog(bool echoToStderr = false);
    ~MemoryLog();
    MemoryLog(const MemoryLog&) = delete;
    MemoryLog& operator=(const MemoryLog&) = delete;

    void Write(Log::MsgType type, const std::string& text) override;
    // Called with each entry as it is written (a window that shows the log as it grows); empty: none.
    using Listener = std::function<void(const Entry&)>;
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    const std::vector<Entry>& Entries() const { return m_entries; }
    std::size_t Count() const { return m_entries.size(); }
    std::size_t Count(Log::MsgType type) const;
    // Every entry as "<type>: <text>" lines, for printing.
    std::string Format() const;
    // One entry as "<type>: <text>".
    static std::string Format(const Entry& entry);
    void Clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
    bool m_echo;
    Listener m_listener;
};

} // namespace standin
