// IZRPrefManager: the singleton "PrefManager", the host's preference store.
//
// Getters write the stored value into the out-parameter, or the default when the key is absent
// (a null default text leaves a text destination empty). Setters write at once. The trailing flag
// is true on writes (persist now) and false on reads. Results say whether the store was reached.
#pragma once

#include <string>

class IZRPrefManager {
public:
    virtual bool SetIntPref(const std::string& key, int value, bool persist) = 0;
    virtual bool SetStringPref(const std::string& key, const std::string& value, bool persist) = 0;
    virtual bool SetBoolPref(const std::string& key, bool value, bool persist) = 0;
    virtual bool GetIntPref(const std::string& key, int defaultValue, int& value, bool persist) = 0;
    virtual bool GetStringPref(const std::string& key, const char* defaultValue, std::string& value, bool persist) = 0;
    virtual bool GetBoolPref(const std::string& key, bool defaultValue, bool& value, bool persist) = 0;

protected:
    ~IZRPrefManager() = default;
};
