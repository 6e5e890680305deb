// ServerDisk: the workspace-file operations of the RevisionServer (read-only bit, content).
#pragma once

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace standin {

class ServerDisk {
public:
    // What one stat call tells; large requests are dominated by file-system calls, so callers
    // inspect a file once and pass the result on.
    struct Entry {
        QString path;
        std::filesystem::file_status status;

        bool Exists() const { return std::filesystem::exists(status); }
        bool IsFile() const { return std::filesystem::is_regular_file(status); }
    };

    static Entry Inspect(const QString& path);
    static bool IsFile(const QString& path) { return Inspect(path).IsFile(); }
    // True when something is at the path that cannot be used as a file (a folder, an unreadable file).
    static bool IsUnusable(const Entry& entry);
    static bool IsUnusable(const QString& path) { return IsUnusable(Inspect(path)); }
    static bool IsReadOnly(const QString& path);
    static bool SetWritable(const Entry& entry, bool writable);
    static bool SetWritable(const QString& path, bool writable) { return SetWritable(Inspect(path), writable); }
    // Creates or replaces the file (and its folders) and leaves it read-only.
    static bool WriteReadOnly(const QString& path, const std::string& content);
    static std::optional<std::string> Read(const QString& path);
    static bool Remove(const QString& path);
};

} // namespace standin
