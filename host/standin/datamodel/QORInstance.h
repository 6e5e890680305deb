// The stand-in data-model session: holds the service components the host registers.
#pragma once

#include "qor4/IQORInstance.h"

#include <map>
#include <string>

namespace standin {

class QORInstance final : public qor4::IQORInstance {
public:
    static qor4::QORPtr<QORInstance> Create();

    void AddRef() override { ++m_refs; }
    void Release() override;
    bool QueryInterface(const qor4::InterfaceUID& iid, void** object) override;
    qor4::QORPtr<qor4::IQORUnknown> GetComponent(const qor4::InterfaceUID& uid) override;

    // Replaces any component under uid; an empty component removes it.
    void RegisterComponent(const qor4::InterfaceUID& uid, qor4::QORPtr<qor4::IQORUnknown> component);
    void RemoveComponent(const qor4::InterfaceUID& uid);
    int GetRefCount() const { return m_refs; }

private:
    QORInstance() = default;
    ~QORInstance() = default;

    int m_refs = 0;
    std::map<std::string, qor4::QORPtr<qor4::IQORUnknown>> m_components;
};

} // namespace standin
