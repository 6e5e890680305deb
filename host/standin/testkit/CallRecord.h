// CallRecord: the calls a recording decorator saw, in order, for tests and the benchmark to read.
// Safe on any thread: the backend's recorder is called on the worker while the UI thread reads.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

// One call: the operation's name and its arguments as text (files, object names, flags, changelist).
struct RecordedCall {
    std::string operation;
    std::vector<std::string> arguments;
};

class CallRecord {
public:
    void Add(std::string operation, std::vector<std::string> arguments);
    std::vector<RecordedCall> Calls() const;
    std::vector<std::string> Names() const;
    // The calls of one operation, in order.
    std::vector<RecordedCall> CallsOf(const std::string& operation) const;
    std::size_t Count(const std::string& operation) const;
    void Clear();

private:
    mutable std::mutex m_mutex; // guards m_calls
    std::vector<RecordedCall> m_calls;
};

} // namespace standin
