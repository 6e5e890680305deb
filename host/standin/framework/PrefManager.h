// PrefManager: the host's preference store, the singleton "PrefManager". In memory by default; with a
// settings file it loads the file at construction and writes every persisted change to it.
#pragma once

#include "HostExport.h"
#include "IZRPrefManager.h"
#include "lark/ISystem.h"

#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace standin {

class HOST_API PrefManager final : public IZRPrefManager,
                                   public lark::ISingleton,
                                   public lark::IBase,
                                   public lark::IDestroy {
public:
    static constexpr const char* kSingletonName = "PrefManager";
    static constexpr const char* kClassName = "Standin.PrefManager";

    PrefManager();
    // Backed by an ini file at settingsPath.
    explicit PrefManager(const QString& settingsPath);
    ~PrefManager() override;

    // A factory for lark::ISystem::RegisterFactory: an in-memory store.
    static lark::IBase* Create();

    bool SetIntPref(const std::string& key, int value, bool persist) override;
    bool SetStringPref(const std::string& key, const std::string& value, bool persist) override;
    bool SetBoolPref(const std::string& key, bool value, bool persist) override;
    bool GetIntPref(const std::string& key, int defaultValue, int& value, bool persist) override;
    bool GetStringPref(const std::string& key, const char* defaultValue, std::string& value, bool persist) override;
    bool GetBoolPref(const std::string& key, bool defaultValue, bool& value, bool persist) override;

    void Init() override {}
    void Term() override { Flush(); }
    const char* GetClsName() const override { return kClassName; }

    // Writes changes made without the persist flag to the settings file.
    void Flush();

    // Test access to what is stored, whatever its type.
    std::optional<QVariant> RawValue(const std::string& key) const;
    void SetRawValue(const std::string& key, const QVariant& value);
    void Remove(const std::string& key);
    std::vector<std::string> Keys() const;
    int WriteCount() const { return m_writes; }
    int ReadCount() const { return m_reads; }
    // An unreachable store answers false to everything and leaves the caller's variables alone.
    void SetReachable(bool reachable) { m_reachable = reachable; }

private:
    bool Store(const std::string& key, const QVariant& value, bool persist);
    const QVariant* Find(const std::string& key);

    std::map<std::string, QVariant> m_values;
    std::unique_ptr<QSettings> m_settings;
    bool m_dirty = false;
    bool m_reachable = true;
    int m_writes = 0;
    int m_reads = 0;
};

} // namespace standin
