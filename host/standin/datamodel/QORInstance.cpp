#include "datamodel/QORInstance.h"

namespace standin {

qor4::QORPtr<QORInstance> QORInstance::Create()
{
    return qor4::QORPtr<QORInstance>(new QORInstance);
}

void QORInstance::Release()
{
    if (--m_refs == 0) delete this;
}

bool QORInstance::QueryInterface(const qor4::InterfaceUID& iid, void** object)
{
    if (!object) return false;
    if (iid != qor4::IQORInstance::GetIID() && iid != qor4::IQORUnknown::GetIID()) return false;
    *object = static_cast<qor4::IQORInstance*>(this);
    AddRef();
    return true;
}

qor4::QORPtr<qor4::IQORUnknown> QORInstance::GetComponent(const qor4::InterfaceUID& uid)
{
    const auto found = m_components.find(uid.text);
    return found == m_components.end() ? qor4::QORPtr<qor4::IQORUnknown>() : found->second;
}

void QORInstance::RegisterComponent(const qor4::InterfaceUID& uid, qor4::QORPtr<qor4::IQORUnknown> component)
{
    if (component.IsNull())
        m_components.erase(uid.text);
    else
        m_components[uid.text] = std::move(component);
}

void QORInstance::RemoveComponent(const qor4::InterfaceUID& uid)
{
    m_components.erase(uid.text);
}

} // namespace standin
