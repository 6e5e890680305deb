#include "Log/Log.h"

#include "PrintableText.h"

namespace Log {

Stream& Stream::operator<<(MsgType type)
{
    m_type = type;
    return *this;
}

Stream& Stream::operator<<(const std::string& text)
{
    // Entries carry server answers, hook output and file names: no control reaches a log or terminal.
    if (m_sink) m_sink->Write(m_type, standin::PrintableText(text));
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
