#include "framework/PluginLoader.h"

#include <QDir>
#include <QLibrary>

namespace standin {

PluginLoader::Result PluginLoader::Load(const QString& path)
{
    Result result;
    if (path.isEmpty()) {
        result.error = "No plug-in module given";
        return result;
    }
    QLibrary library(path);
    if (!library.load()) {
        result.error = "Cannot load plug-in module " + path.toStdString() + ": " + library.errorString().toStdString();
        return result;
    }
    result.loaded = true;
    const auto entry = reinterpret_cast<Entry>(library.resolve(kEntryName));
    if (entry == nullptr) {
        result.error = "The plug-in module " + path.toStdString() + " does not export " + kEntryName;
        return result;
    }
    Result registered = Register(entry);
    registered.loaded = true;
    return registered;
}

PluginLoader::Result PluginLoader::Register(Entry entry)
{
    Result result;
    if (entry == nullptr) {
        result.error = "No plug-in entry given";
        return result;
    }
    result.entryFound = true;
    result.registered = entry();
    if (!result.registered) result.error = std::string(kEntryName) + " refused to register the plug-in";
    return result;
}

QString PluginLoader::ModulePath(const QString& baseName, const QString& directory)
{
    const QString folder = directory.isEmpty() ? qEnvironmentVariable("ZR_MODULE_DIR") : directory;
    return folder.isEmpty() ? baseName : QDir(folder).filePath(baseName);
}

} // namespace standin
