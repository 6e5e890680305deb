// The host log. Each text written after a message type is one entry of that type:
//     Log::Singleton::Instance() << Log::MsgType(2) << text;
// Message types: 0 information, 1 warning, 2 error. Safe on any thread: each thread's type is its
// own, and a sink sees one entry at a time.
#pragma once

#include "HostExport.h"

#include <string>

namespace Log {

enum class MsgType : int { Info = 0, Warning = 1, Error = 2 };

class ILogSink;

class HOST_API Stream {
public:
    Stream& operator<<(MsgType type);
    Stream& operator<<(const std::string& text);
    Stream& operator<<(const char* text);

    // The host sets where entries go; without a sink they are dropped.
    void SetSink(ILogSink* sink);

private:
    ILogSink* m_sink = nullptr; // guarded by the lock entries are written under
};

class ILogSink {
public:
    virtual void Write(MsgType type, const std::string& text) = 0;

protected:
    ~ILogSink() = default;
};

class HOST_API Singleton {
public:
    static Stream& Instance();
};

} // namespace Log
