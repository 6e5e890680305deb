#include "Log/Log.h"

namespace Log {

Stream& Stream::operator<<(MsgType type)
{
    m_type = type;
    return *this;
}

Stream& Stream::operator<<(const std::string& text)
{
    if (m_sink) m_sink->Write(m_type, text);
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
