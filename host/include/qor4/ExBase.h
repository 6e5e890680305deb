// Host exceptions and debug output.
//
// Host services report failure through qorResult. The one exception plug-ins meet is
// ExBase::NullPtr, thrown when an empty QORPtr is dereferenced: it means a service the caller
// relied on is missing, which is a programming or set-up error, not a user-facing failure.
#pragma once

#include "HostExport.h"

#include <exception>
#include <string>

namespace qor4 {

// Writes a line to the host's debug output.
HOST_API void PrintDebugString(const char* text);

class HOST_API ExBase : public std::exception {
public:
    class NullPtr;

    ExBase(std::string text, const char* file, int line);
    const char* what() const noexcept override;
    const std::string& GetText() const { return m_text; }
    const char* GetFile() const { return m_file; }
    int GetLine() const { return m_line; }

private:
    std::string m_text;
    const char* m_file;
    int m_line;
};

class HOST_API ExBase::NullPtr : public ExBase {
public:
    using ExBase::ExBase;
    // Defined by the host, so that the exception's type information lives in the host alone.
    ~NullPtr() override;
};

// While at least one guard lives, failures are not echoed to the debug output before they are thrown.
class HOST_API DisableErrorReportingGuard {
public:
    DisableErrorReportingGuard();
    ~DisableErrorReportingGuard();
    DisableErrorReportingGuard(const DisableErrorReportingGuard&) = delete;
    DisableErrorReportingGuard& operator=(const DisableErrorReportingGuard&) = delete;
    static bool IsErrorReportingDisabled();
};

} // namespace qor4
