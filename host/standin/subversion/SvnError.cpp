#include "subversion/SvnError.h"

#include <vector>

namespace standin::svn {

Error::~Error()
{
    if (m_error) svn_error_clear(m_error);
}

Error& Error::operator=(Error&& other) noexcept
{
    if (this != &other) {
        if (m_error) svn_error_clear(m_error);
        m_error = other.m_error;
        other.m_error = nullptr;
    }
    return *this;
}

bool Error::Has(apr_status_t code) const
{
    return m_error && svn_error_find_cause(m_error, code) != nullptr;
}

std::string Error::Text() const
{
    return TextOf(m_error);
}

namespace {
// A hook may print megabytes; the user's message keeps its head and says how much was left out.
constexpr std::size_t kMostTextBytes = 4096;

std::string Shortened(std::string text)
{
    if (text.size() <= kMostTextBytes) return text;
    std::size_t cut = kMostTextBytes;
    // Step back over UTF-8 continuation bytes: a character is never split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    const std::size_t left = text.size() - cut;
    text.resize(cut);
    return text + " [... " + std::to_string(left) + " more bytes]";
}
} // namespace

std::string Error::TextOf(const svn_error_t* error)
{
    std::vector<std::string> parts;
    for (const svn_error_t* link = error; link; link = link->child) {
        char buffer[512];
        const std::string message = svn_err_best_message(link, buffer, sizeof buffer);
        if (message.empty()) continue;
        bool seen = false;
        for (const std::string& part : parts)
            seen = seen || part == message;
        if (!seen) parts.push_back(message);
    }
    std::string text;
    for (std::string part : parts) {
        while (!part.empty() && (part.back() == ':' || part.back() == ' '))
            part.pop_back();
        text += (text.empty() ? "" : ": ") + part;
    }
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return Shortened(std::move(text));
}

} // namespace standin::svn
