// PluginLoader: opens a plug-in module and calls its registration entry "pxkPluginRegister".
// Modules stay loaded for the life of the process: objects they built may outlive the loader.
#pragma once

#include "HostExport.h"

#include <QString>

#include <string>

namespace standin {

class HOST_API PluginLoader {
public:
    static constexpr const char* kEntryName = "pxkPluginRegister";
    using Entry = bool (*)();

    struct Result {
        bool loaded = false;     // the module was opened
        bool entryFound = false; // it exports the entry under its plain name
        bool registered = false; // the entry answered true
        std::string error;       // why a step failed; empty when registered
    };

    // path: a module file, or a path without the platform's prefix and suffix.
    static Result Load(const QString& path);
    // Registers a plug-in the program links: calls its entry as Load calls a module's.
    static Result Register(Entry entry);
    // The module baseName in directory, or in $ZR_MODULE_DIR when directory is empty.
    static QString ModulePath(const QString& baseName, const QString& directory = QString());
};

} // namespace standin
