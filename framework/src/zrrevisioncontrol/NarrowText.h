// The one conversion between Qt's text and the narrow (UTF-8) text of the host's services.
#pragma once

#include <QString>

#include <string>

inline std::string ToNarrow(const QString& text)
{
    return text.toStdString();
}

inline QString FromNarrow(const std::string& text)
{
    return QString::fromStdString(text);
}

inline QString FromNarrow(const char* text)
{
    return QString::fromUtf8(text);
}
