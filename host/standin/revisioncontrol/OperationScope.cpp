#include "revisioncontrol/OperationScope.h"

namespace standin {

namespace {
thread_local const std::atomic<bool>* t_cancelled = nullptr;
} // namespace

OperationScope::OperationScope(const std::atomic<bool>& cancelled) : m_previous(t_cancelled)
{
    t_cancelled = &cancelled;
}

OperationScope::~OperationScope()
{
    t_cancelled = m_previous;
}

bool OperationScope::Cancelled()
{
    return t_cancelled && t_cancelled->load();
}

} // namespace standin
