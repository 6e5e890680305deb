// RecordingBackend: a decorator over a RevisionBackend that records every operation it passes on
// (closing a session and asking whether one is open are not recorded), for tests and the benchmark to count
// and check what reached the server. It changes nothing of what it passes on.
#pragma once

#include "revisioncontrol/ForwardingBackend.h"
#include "testkit/CallRecord.h"

#include <memory>

namespace standin {

class RecordingBackend final : public ForwardingBackend {
public:
    explicit RecordingBackend(std::shared_ptr<RevisionBackend> inner);

    // Operation names are ServerOp's; arguments are the files then the changelist ("" left out),
    // the login's user, server and working copy, or the changelist or description.
    const CallRecord& Record() const { return m_record; }
    std::vector<RecordedCall> Calls() const { return m_record.Calls(); }
    std::vector<RecordedCall> CallsOf(const std::string& operation) const { return m_record.CallsOf(operation); }
    void ClearCalls() { m_record.Clear(); }

protected:
    ServerResult Admit(const Passage& passage) override;

private:
    CallRecord m_record;
};

} // namespace standin
