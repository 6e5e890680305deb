// MemoryLog: a host log sink that keeps every entry, for tests and for the demo to print.
// The backend's worker thread writes while the UI thread reads: every member is behind a lock, and
// readers get copies.
#pragma once

#include "HostExport.h"
#include "Log/Log.h"

#include <functional>
#include <mutex>
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
    // Called with each entry as it is written, on the writing thread (a window that shows the log as
    // it grows); empty: none. Once SetListener returns, the listener it replaced is no longer running.
    using Listener = std::function<void(const Entry&)>;
    void SetListener(Listener listener);

    std::vector<Entry> Entries() const;
    std::size_t Count() const;
    std::size_t Count(Log::MsgType type) const;
    // Every entry as "<type>: <text>" lines, for printing.
    std::string Format() const;
    // One entry as "<type>: <text>".
    static std::string Format(const Entry& entry);
    void Clear();

private:
    mutable std::mutex m_entriesMutex;
    std::vector<Entry> m_entries; // guarded by m_entriesMutex
    const bool m_echo;
    // A lock of its own, so that a listener may read the entries.
    std::mutex m_listenerMutex;
    Listener m_listener; // guarded by m_listenerMutex
};

} // namespace standin
