// Text from outside the program (server answers, hook output, file names) made safe to write into
// a log or a terminal: control characters, bytes that are not UTF-8, and the Unicode controls that
// reorder or hide what follows are written as \xHH, one per byte. Line breaks and tabs stay, as
// every reader of a log expects them; everything else printable stays as it is.
#pragma once

#include "HostExport.h"

#include <string>
#include <string_view>

namespace standin {

HOST_API std::string PrintableText(std::string_view text);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
HOST_API bool IsUtf8(std::string_view text);

} // namespace standin
