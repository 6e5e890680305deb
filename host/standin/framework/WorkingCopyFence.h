// WorkingCopyFence: whether a change to a path stays inside the working copy. What other users
// commit may hold symbolic links (Subversion versions them), and names may hold ".." or be
// absolute: every write, mode change and removal of the host asks the fence first, so that
// nothing outside the working copy is touched through them. A link inside the working copy that
// leads to another place inside it may be followed.
#pragma once

#include "HostExport.h"

#include <filesystem>
#include <optional>
#include <string>

namespace standin {

class HOST_API WorkingCopyFence {
public:
    // Without a working copy there is nothing to keep inside: every path passes (a data base that
    // was never given an account).
    WorkingCopyFence() = default;
    explicit WorkingCopyFence(const std::string& workingCopy);

    const std::string& Root() const { return m_root; }

    // Empty when a change to the file itself (its content or its mode) stays inside the working
    // copy: the file and every folder on the way, their links followed, are inside. Otherwise why
    // not, naming the link that leads out and where it points.
    std::string RefuseChange(const std::string& path) const;
    // The same for removing the file: the file may be a link itself (removing it removes the link
    // only), but the folders on the way must stay inside.
    std::string RefuseRemoval(const std::string& path) const;

    // Where path really leads: every symbolic link of every component followed, a missing rest
    // taken as written. None when the links loop or cannot be read.
    static std::optional<std::string> RealLocation(const std::string& path);

private:
    std::optional<std::string> Resolve(const std::string& path) const;
    // The real folder of path's file when it is the working copy or lies inside it.
    std::optional<std::string> FolderOf(const std::filesystem::path& path) const;
    bool Inside(const std::string& real) const;
    std::string Refusal(const std::string& path, const char* outcome) const;
    std::string Shown(const std::string& path) const;

    std::string m_root;     // as given, lexically normal, without a trailing slash
    std::string m_realRoot; // where it really is
};

} // namespace standin
