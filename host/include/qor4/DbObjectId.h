// Identifiers of data-base objects and of their versions.
#pragma once

#include <cctype>
#include <string>
#include <utility>

namespace qor4 {

// The key of a data-base object: a unique identifier text of the form
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (hexadecimal digits).
class DbObjectId {
public:
    DbObjectId() = default;
    explicit DbObjectId(std::string text) : m_text(std::move(text)) {}

    const std::string& GetStr() const { return m_text; }
    bool IsNull() const { return m_text.empty(); }
    bool operator==(const DbObjectId& other) const { return m_text == other.m_text; }
    bool operator!=(const DbObjectId& other) const { return m_text != other.m_text; }
    bool operator<(const DbObjectId& other) const { return m_text < other.m_text; }

    static bool IsUID(const std::string& text)
    {
        static const char kPattern[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
        if (text.size() != sizeof(kPattern) - 1) return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (kPattern[i] == 'x' ? !std::isxdigit(c) : c != static_cast<unsigned char>(kPattern[i])) return false;
        }
        return true;
    }

private:
    std::string m_text;
};

// A version of an object in the data base; null for an object created since the last save.
class VersionId {
public:
    VersionId() = default;
    explicit VersionId(std::string text) : m_text(std::move(text)) {}
    bool IsNull() const { return m_text.empty(); }
    const std::string& GetStr() const { return m_text; }

private:
    std::string m_text;
};

} // namespace qor4
