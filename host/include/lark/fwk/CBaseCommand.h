// CBaseCommand: the host's implementation of ICommand's bookkeeping (reference count, name,
// parameters, transient flag). Commands start with one reference held by their builder.
#pragma once

#include "HostExport.h"
#include "lark/fwk/ICommand.h"

#include <string>
#include <vector>

namespace lark::fwk {

class HOST_API CBaseCommand : public ICommand {
public:
    void AddRef() override;
    void Release() override;
    ~CBaseCommand() override;
    const char* GetName() const override;
    void SetName(const char* name) override;
    bool CanCollapse(const ICommand& other) const override;
    void AddParam(IParam* param) override;
    IParam* GetParam(const char* name) const override;
    const std::vector<IParam*>& GetAllParams() const override;
    void ClearParams() override;
    bool operator==(const ICommand& other) const override;
    bool IsTransient() const override;
    void SetTransient(bool transient) override;
    bool Equals(const ICommand& other) const override;

    int GetRefCount() const { return m_refCount; }

protected:
    explicit CBaseCommand(const char* name);

private:
    int m_refCount = 1;
    std::string m_name;
    std::vector<IParam*> m_params;
    bool m_transient = false;
};

} // namespace lark::fwk
