// Identifiers of host interfaces and components.
#pragma once

#include <cstring>

namespace qor4 {

// Compared by text, so that identifiers made in different modules still match.
struct InterfaceUID {
    const char* text = "";
    bool operator==(const InterfaceUID& other) const { return std::strcmp(text, other.text) == 0; }
    bool operator!=(const InterfaceUID& other) const { return !(*this == other); }
};

// Components of a data-model manager instance (IQORInstance::GetComponent).
inline InterfaceUID UID_DataControl()
{
    return {"qor4.component.DataControl"};
}
inline InterfaceUID UID_FileVersionControl()
{
    return {"qor4.component.FileVersionControl"};
}

} // namespace qor4
