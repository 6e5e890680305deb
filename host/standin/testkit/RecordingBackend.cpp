#include "testkit/RecordingBackend.h"

#include <utility>

namespace standin {

RecordingBackend::RecordingBackend(std::shared_ptr<RevisionBackend> inner) : ForwardingBackend(std::move(inner)) {}

ServerResult RecordingBackend::Admit(const Passage& passage)
{
    if (*passage.operation != '\0') m_record.Add(passage.operation, passage.Arguments());
    return {};
}

} // namespace standin
