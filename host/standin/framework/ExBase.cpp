#include "qor4/ExBase.h"

#include "framework/DebugOutput.h"

#include <utility>

namespace qor4 {

namespace {
int g_reportingDisabled = 0;
}

void PrintDebugString(const char* text)
{
    standin::DebugOutput::Write(text);
}

ExBase::ExBase(std::string text, const char* file, int line) : m_text(std::move(text)), m_file(file), m_line(line) {}

const char* ExBase::what() const noexcept
{
    return m_text.c_str();
}

ExBase::NullPtr::~NullPtr() = default;

DisableErrorReportingGuard::DisableErrorReportingGuard()
{
    ++g_reportingDisabled;
}
DisableErrorReportingGuard::~DisableErrorReportingGuard()
{
    --g_reportingDisabled;
}
bool DisableErrorReportingGuard::IsErrorReportingDisabled()
{
    return g_reportingDisabled > 0;
}

} // namespace qor4
