#include "Log/Log.h"

#include "framework/PrintableText.h"

#include <mutex>

namespace Log {

namespace {
// The backend's worker thread writes too (files it leaves out); sinks see one entry at a time.
std::mutex writing;
// The type the thread gave last: a thread's type never labels another thread's text.
thread_local MsgType currentType = MsgType::Info;
} // namespace

Stream& Stream::operator<<(MsgType type)
{
    currentType = type;
    return *this;
}

void Stream::SetSink(ILogSink* sink)
{
    const std::lock_guard<std::mutex> lock(writing);
    m_sink = sink;
}

Stream& Stream::operator<<(const std::string& text)
{
    // Entries carry server answers, hook output and file names: no control reaches a log or terminal.
    const std::string printable = standin::PrintableText(text);
    const std::lock_guard<std::mutex> lock(writing);
    if (m_sink) m_sink->Write(currentType, printable);
    return *this;
}

Stream& Stream::operator<<(const char* text)
{
    return *this << std::string(text ? text : "");
}

Stream& Singleton::Instance()
{
    static Stream stream;
    return stream;
}

} // namespace Log
