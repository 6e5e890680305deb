// IQORInstance: one session of the data-model library, holding its service components.
#pragma once

#include "qor4/QORPtr.h"

namespace qor4 {

class IQORInstance : public IQORUnknown {
public:
    // The component registered under uid (UID_DataControl(), UID_FileVersionControl()), or an
    // empty pointer when the instance has none. Narrow it with QORPtr<IWanted>(component).
    virtual QORPtr<IQORUnknown> GetComponent(const InterfaceUID& uid) = 0;

    static InterfaceUID GetIID() { return {"qor4.IQORInstance"}; }
    static const char* GetInterfaceName() { return "qor4::IQORInstance"; }

protected:
    ~IQORInstance() = default;
};

} // namespace qor4
