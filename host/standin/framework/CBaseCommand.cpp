#include "lark/fwk/CBaseCommand.h"

#include "framework/LiveCounters.h"

#include <algorithm>
#include <cstring>

namespace lark::fwk {

CBaseCommand::CBaseCommand(const char* name) : m_name(name ? name : "")
{
    standin::LiveCounters::CommandBuilt();
}

CBaseCommand::~CBaseCommand()
{
    ClearParams();
    standin::LiveCounters::CommandDestroyed();
}

void CBaseCommand::AddRef()
{
    ++m_refCount;
}

void CBaseCommand::Release()
{
    if (--m_refCount == 0) delete this;
}

const char* CBaseCommand::GetName() const
{
    return m_name.c_str();
}

void CBaseCommand::SetName(const char* name)
{
    m_name = name ? name : "";
}

// Revision-control style commands are separate steps; nothing merges by default.
bool CBaseCommand::CanCollapse(const ICommand& /*other*/) const
{
    return false;
}

void CBaseCommand::AddParam(IParam* param)
{
    if (param == nullptr || std::find(m_params.begin(), m_params.end(), param) != m_params.end()) return;
    m_params.push_back(param);
}

IParam* CBaseCommand::GetParam(const char* name) const
{
    if (name == nullptr) return nullptr;
    const auto found = std::find_if(m_params.rbegin(), m_params.rend(), [name](const IParam* param) {
        return param->GetName() && std::strcmp(param->GetName(), name) == 0;
    });
    return found == m_params.rend() ? nullptr : *found;
}

const std::vector<IParam*>& CBaseCommand::GetAllParams() const
{
    return m_params;
}

void CBaseCommand::ClearParams()
{
    for (IParam* param : m_params)
        delete param;
    m_params.clear();
}

bool CBaseCommand::operator==(const ICommand& other) const
{
    return this == &other;
}

bool CBaseCommand::IsTransient() const
{
    return m_transient;
}

void CBaseCommand::SetTransient(bool transient)
{
    m_transient = transient;
}

// Same kind of command, same name, and parameters of the same names in the same order.
bool CBaseCommand::Equals(const ICommand& other) const
{
    const char* identifier = GetCommandIdentifier();
    const char* otherIdentifier = other.GetCommandIdentifier();
    if (std::strcmp(identifier ? identifier : "", otherIdentifier ? otherIdentifier : "") != 0) return false;
    if (m_name != (other.GetName() ? other.GetName() : "")) return false;
    const std::vector<IParam*>& otherParams = other.GetAllParams();
    return std::equal(m_params.begin(), m_params.end(), otherParams.begin(), otherParams.end(),
                      [](const IParam* a, const IParam* b) { return std::strcmp(a->GetName(), b->GetName()) == 0; });
}

} // namespace lark::fwk
