#include "framework/PrefManager.h"

#include <QSettings>

namespace standin {

namespace {
// A stored value read as another type than it was written (or read back from a settings file,
// where everything is text) converts when it can; otherwise the getter gives its default.
std::optional<int> ToInt(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? 1 : 0;
    bool ok = false;
    const int result = value.toInt(&ok);
    return ok ? std::optional<int>(result) : std::nullopt;
}

std::optional<bool> ToBool(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong) return value.toLongLong() != 0;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return std::nullopt;
}
} // namespace

PrefManager::PrefManager() = default;

PrefManager::PrefManager(const QString& settingsPath)
    : m_settings(std::make_unique<QSettings>(settingsPath, QSettings::IniFormat))
{
    for (const QString& key : m_settings->allKeys())
        m_values[key.toStdString()] = m_settings->value(key);
}

PrefManager::~PrefManager()
{
    Flush();
}

lark::IBase* PrefManager::Create()
{
    return new PrefManager();
}

bool PrefManager::Store(const std::string& key, const QVariant& value, bool persist)
{
    if (!m_reachable) return false;
    ++m_writes;
    m_values[key] = value;
    if (!m_settings) return true;
    m_settings->setValue(QString::fromStdString(key), value);
    if (persist) {
        m_settings->sync();
        m_dirty = false;
        return m_settings->status() == QSettings::NoError;
    }
    m_dirty = true;
    return true;
}

const QVariant* PrefManager::Find(const std::string& key)
{
    ++m_reads;
    const auto found = m_values.find(key);
    return found == m_values.end() ? nullptr : &found->second;
}

bool PrefManager::SetIntPref(const std::string& key, int value, bool persist)
{
    return Store(key, value, persist);
}

bool PrefManager::SetStringPref(const std::string& key, const std::string& value, bool persist)
{
    return Store(key, QString::fromStdString(value), persist);
}

bool PrefManager::SetBoolPref(const std::string& key, bool value, bool persist)
{
    return Store(key, value, persist);
}

bool PrefManager::GetIntPref(const std::string& key, int defaultValue, int& value, bool /*persist*/)
{
    if (!m_reachable) return false;
    const QVariant* stored = Find(key);
    const std::optional<int> converted = stored ? ToInt(*stored) : std::nullopt;
    value = converted.value_or(defaultValue);
    return true;
}

bool PrefManager::GetStringPref(const std::string& key, const char* defaultValue, std::string& value, bool /*persist*/)
{
    if (!m_reachable) return false;
    const QVariant* stored = Find(key);
    if (stored && stored->canConvert<QString>()) {
        value = stored->toString().toStdString();
    } else {
        value = defaultValue ? defaultValue : "";
    }
    return true;
}

bool PrefManager::GetBoolPref(const std::string& key, bool defaultValue, bool& value, bool /*persist*/)
{
    if (!m_reachable) return false;
    const QVariant* stored = Find(key);
    const std::optional<bool> converted = stored ? ToBool(*stored) : std::nullopt;
    value = converted.value_or(defaultValue);
    return true;
}

void PrefManager::Flush()
{
    if (m_settings && m_dirty) m_settings->sync();
    m_dirty = false;
}

std::optional<QVariant> PrefManager::RawValue(const std::string& key) const
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::nullopt : std::optional<QVariant>(found->second);
}

void PrefManager::SetRawValue(const std::string& key, const QVariant& value)
{
    m_values[key] = value;
    if (m_settings) {
        m_settings->setValue(QString::fromStdString(key), value);
        m_dirty = true;
    }
}

void PrefManager::Remove(const std::string& key)
{
    m_values.erase(key);
    if (m_settings) {
        m_settings->remove(QString::fromStdString(key));
        m_dirty = true;
    }
}

std::vector<std::string> PrefManager::Keys() const
{
    std::vector<std::string> keys;
    for (const auto& entry : m_values)
        keys.push_back(entry.first);
    return keys;
}

} // namespace standin
