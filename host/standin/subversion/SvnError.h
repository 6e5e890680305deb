// Owns one svn_error_t chain and turns it into a readable text.
#pragma once

#include <svn_error.h>

#include <string>

namespace standin::svn {

class Error {
public:
    Error() = default;
    explicit Error(svn_error_t* error) : m_error(error) {}
    ~Error();
    Error(Error&& other) noexcept : m_error(other.m_error) { other.m_error = nullptr; }
    Error& operator=(Error&& other) noexcept;
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;

    explicit operator bool() const { return m_error != nullptr; }
    apr_status_t Code() const { return m_error ? m_error->apr_err : 0; }
    // True when code appears anywhere in the chain.
    bool Has(apr_status_t code) const;
    // Hands the chain to the caller (a callback returning it to Subversion).
    svn_error_t* Release()
    {
        svn_error_t* error = m_error;
        m_error = nullptr;
        return error;
    }
    // The messages of the chain joined by ": ", without repeats, on one line.
    std::string Text() const;

    // The same text for an error that the caller does not own.
    static std::string TextOf(const svn_error_t* error);

private:
    svn_error_t* m_error = nullptr;
};

} // namespace standin::svn
