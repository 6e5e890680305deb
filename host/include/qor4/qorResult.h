// qorResult: the status every host service operation reports.
//
// A signed 32-bit code: negative is failure, 0 is plain success, positive codes are successes that
// carry extra meaning. Codes with a fixed meaning for plug-ins are named below.
#pragma once

#include <cstdint>

namespace qor4 {

constexpr std::int32_t kResultOk = 0;
// The revision-control session expired; new user parameters must be installed before retrying.
constexpr std::int32_t kResultSessionExpired = -34;

class qorResult {
public:
    qorResult() = default;
    qorResult(std::int32_t code) : m_code(code) {} // NOLINT: a code converts to a result
    qorResult(const qorResult&) = default;
    ~qorResult() = default;

    qorResult& operator=(std::int32_t code)
    {
        m_code = code;
        return *this;
    }
    qorResult& operator=(const qorResult& other) = default;
    // The union of two outcomes: a failure wins over a success.
    qorResult operator|(std::int32_t code) const { return Combine(m_code, code); }
    qorResult operator|(const qorResult& other) const { return Combine(m_code, other.m_code); }
    qorResult& operator|=(std::int32_t code)
    {
        m_code = Combine(m_code, code);
        return *this;
    }
    qorResult& operator|=(const qorResult& other)
    {
        m_code = Combine(m_code, other.m_code);
        return *this;
    }
    bool operator==(std::int32_t code) const { return m_code == code; }
    bool operator==(const qorResult& other) const { return m_code == other.m_code; }
    bool operator!=(std::int32_t code) const { return m_code != code; }
    bool operator!=(const qorResult& other) const { return m_code != other.m_code; }
    static bool Succeeded(std::int32_t code) { return code >= 0; }
    explicit operator std::int32_t() const { return m_code; }
    static bool Failed(std::int32_t code) { return code < 0; }
    bool Succeeded() const { return Succeeded(m_code); }
    bool Failed() const { return Failed(m_code); }
    void Reset() { m_code = kResultOk; }
    std::int32_t GetCode() const { return m_code; }

private:
    static std::int32_t Combine(std::int32_t a, std::int32_t b)
    {
        if (a < 0) return a;
        if (b < 0) return b;
        return a != 0 ? a : b;
    }

    std::int32_t m_code = kResultOk;
};

} // namespace qor4
