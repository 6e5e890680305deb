// ServerDisk: the workspace-file operations of the RevisionServer (read-only bit, content).
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace standin {

class ServerDisk {
public:
    static bool IsFile(const QString& path);
    // True when something is at the path that cannot be used as a file (a folder, an unreadable file).
    static bool IsUnusable(const QString& path);
    static bool IsReadOnly(const QString& path);
    static bool SetWritable(const QString& path, bool writable);
    // Creates or replaces the file (and its folders) and leaves it read-only.
    static bool WriteReadOnly(const QString& path, const std::string& content);
    static std::optional<std::string> Read(const QString& path);
    static bool Remove(const QString& path);
};

} // namespace standin
