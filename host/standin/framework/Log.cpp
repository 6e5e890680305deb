#include "Log/Log.h"

#include "PrintableText.h"

#include <mutex>

namespace Log {

Stream& Stream::operator<<(MsgType type)
{
    m_type = type;
    return *this;
}

Stream& Stream::operator<<(const std::string& text)
{
    // Entries carry server answers, hook output and file names: no control reaches a log or terminal.
    const std::string printable = standin::PrintableText(text);
    // The backend's worker thread writes too (files it leaves out); sinks see one entry at a time.
    static std::mutex writing;
    const std::lock_guard<std::mutex> lock(writing);
    if (m_sink) m_sink->Write(m_type, printable);
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
