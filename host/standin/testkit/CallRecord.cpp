#include "testkit/CallRecord.h"

#include <utility>

namespace standin {

void CallRecord::Add(std::string operation, std::vector<std::string> arguments)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({std::move(operation), std::move(arguments)});
}

std::vector<RecordedCall> CallRecord::Calls() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<std::string> CallRecord::Names() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    names.reserve(m_calls.size());
    for (const RecordedCall& call : m_calls)
        names.push_back(call.operation);
    return names;
}

std::vector<RecordedCall> CallRecord::CallsOf(const std::string& operation) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<RecordedCall> calls;
    for (const RecordedCall& call : m_calls)
        if (call.operation == operation) calls.push_back(call);
    return calls;
}

std::size_t CallRecord::Count(const std::string& operation) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t count = 0;
    for (const RecordedCall& call : m_calls)
        count += call.operation == operation;
    return count;
}

void CallRecord::Clear()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

} // namespace standin
