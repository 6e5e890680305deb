#include "framework/PrintableText.h"

namespace standin {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned char kDelete = 0x7f;
constexpr char32_t kLastC1Control = 0x9f;
constexpr char32_t kFirstC1Control = 0x80;

void AppendEscaped(std::string& out, std::string_view bytes)
{
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        out += "\\x";
        out += kHexDigits[value >> 4];
        out += kHexDigits[value & 0x0f];
    }
}

// The length of the well-formed UTF-8 sequence at the start of text and its code point; 0 when the
// bytes there are not UTF-8 (overlong forms and surrogates included).
std::size_t DecodeOne(std::string_view text, char32_t& point)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        point = lead & 0x1f;
        minimum = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        point = lead & 0x0f;
        minimum = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        point = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80) return 0;
        point = (point << 6) | (next & 0x3f);
    }
    const bool surrogate = point >= 0xd800 && point <= 0xdfff;
    return point < minimum || point > 0x10ffff || surrogate ? 0 : length;
}

// Unicode's controls, and the marks that turn the direction of what follows (text that reads
// differently from what it is).
bool IsHidingCodePoint(char32_t point)
{
    return (point >= kFirstC1Control && point <= kLastC1Control) || (point >= 0x202a && point <= 0x202e) ||
           (point >= 0x2066 && point <= 0x2069) || point == 0x200e || point == 0x200f || point == 0x061c;
}

} // namespace

std::string PrintableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        std::size_t length = 1;
        if (byte < 0x80) {
            const bool control = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == kDelete;
            if (control)
                AppendEscaped(out, text.substr(0, 1));
            else
                out += text[0];
        } else {
            char32_t point = 0;
            length = DecodeOne(text, point);
            if (length == 0)
                AppendEscaped(out, text.substr(0, length = 1));
            else if (IsHidingCodePoint(point))
                AppendEscaped(out, text.substr(0, length));
            else
                out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

bool IsUtf8(std::string_view text)
{
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = static_cast<unsigned char>(text[0]) < 0x80 ? 1 : DecodeOne(text, point);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

} // namespace standin
