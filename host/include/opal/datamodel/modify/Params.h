// Command parameters of the data-model commands. A command owns the parameters added to it.
#pragma once

#include "lark/fwk/ICommand.h"
#include "opal/datamodel/Accessors.h"

#include <string>
#include <utility>
#include <vector>

namespace opal::datamodel::modify {

class NamedParam : public lark::fwk::IParam {
public:
    explicit NamedParam(std::string name) : m_name(std::move(name)) {}
    const char* GetName() const override { return m_name.c_str(); }

private:
    std::string m_name;
};

class StringParam : public NamedParam {
public:
    StringParam(std::string name, std::string value) : NamedParam(std::move(name)), m_value(std::move(value)) {}
    const std::string& GetValue() const { return m_value; }

private:
    std::string m_value;
};

class BoolParam : public NamedParam {
public:
    BoolParam(std::string name, bool value) : NamedParam(std::move(name)), m_value(value) {}
    bool GetValue() const { return m_value; }

private:
    bool m_value;
};

class IntParam : public NamedParam {
public:
    IntParam(std::string name, int value) : NamedParam(std::move(name)), m_value(value) {}
    int GetValue() const { return m_value; }

private:
    int m_value;
};

// A list of items of one library; interfaceId says which item interface the list is meant for.
class UnspecifiedAccessorListParam : public NamedParam {
public:
    UnspecifiedAccessorListParam(std::string name, const ItemLibraryAccessor& library, int interfaceId,
                                 std::vector<UnspecifiedAccessor> accessors)
        : NamedParam(std::move(name)), m_library(library), m_interfaceId(interfaceId), m_accessors(std::move(accessors))
    {
    }
    const ItemLibraryAccessor& GetLibrary() const { return m_library; }
    int GetInterfaceId() const { return m_interfaceId; }
    const std::vector<UnspecifiedAccessor>& GetValue() const { return m_accessors; }

private:
    ItemLibraryAccessor m_library;
    int m_interfaceId;
    std::vector<UnspecifiedAccessor> m_accessors;
};

} // namespace opal::datamodel::modify
