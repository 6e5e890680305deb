#include "framework/WorkingCopyFence.h"

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <system_error>

namespace standin {

namespace fs = std::filesystem;

namespace {

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMaxLinks = 40;
constexpr const char* kNotChanged = "not changed";
constexpr const char* kNotRemoved = "not removed";

// Follows the parts from current, a real folder, as the kernel would when opening the result:
// "." is nothing, ".." the real parent, a link is replaced by its target. A part that does not
// exist is taken as written.
std::optional<fs::path> Walk(fs::path current, std::deque<fs::path> rest)
{
    int links = 0;
    while (!rest.empty()) {
        const fs::path part = std::move(rest.front());
        rest.pop_front();
        if (part.empty() || part == ".") continue;
        if (part == "/") {
            current = "/";
            continue;
        }
        if (part == "..") {
            current = current.parent_path();
            continue;
        }
        fs::path next = current / part;
        struct stat info {};
        if (::lstat(next.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            current = std::move(next);
            continue;
        }
        std::error_code error;
        const fs::path target = fs::read_symlink(next, error);
        if (error || ++links > kMaxLinks) return std::nullopt;
        rest.insert(rest.begin(), target.begin(), target.end());
    }
    return current;
}

std::deque<fs::path> Parts(const fs::path& path)
{
    return std::deque<fs::path>(path.begin(), path.end());
}

bool IsLink(const fs::path& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

WorkingCopyFence::WorkingCopyFence(const std::string& workingCopy)
{
    if (workingCopy.empty()) return;
    std::error_code ignored;
    fs::path root = fs::absolute(workingCopy, ignored).lexically_normal();
    if (!root.has_filename() && root.has_relative_path()) root = root.parent_path();
    m_root = root.string();
    // A working copy that cannot be resolved keeps everything out rather than letting it in.
    m_realRoot = RealLocation(m_root).value_or(std::string());
}

std::optional<std::string> WorkingCopyFence::RealLocation(const std::string& path)
{
    std::error_code ignored;
    const std::optional<fs::path> real = Walk("/", Parts(fs::absolute(path, ignored)));
    if (!real) return std::nullopt;
    return real->string();
}

std::optional<std::string> WorkingCopyFence::Resolve(const std::string& path) const
{
    // Below the root, only the parts below it need looking at: the root is resolved already.
    if (path.size() > m_root.size() && path.compare(0, m_root.size(), m_root) == 0 && path[m_root.size()] == '/') {
        const std::optional<fs::path> real = Walk(m_realRoot, Parts(fs::path(path.substr(m_root.size() + 1))));
        if (!real) return std::nullopt;
        return real->string();
    }
    return RealLocation(path);
}

bool WorkingCopyFence::Inside(const std::string& real) const
{
    if (m_realRoot.empty()) return false;
    if (m_realRoot == "/") return true;
    return real.size() > m_realRoot.size() && real.compare(0, m_realRoot.size(), m_realRoot) == 0 &&
           real[m_realRoot.size()] == '/';
}

std::string WorkingCopyFence::RefuseChange(const std::string& path) const
{
    if (m_root.empty()) return {};
    const fs::path given(path);
    const fs::path name = given.filename();
    const std::optional<std::string> folder = FolderOf(given);
    if (!folder) return Refusal(path, kNotChanged);
    // The file itself, from the real folder: a link there is followed once more.
    const std::optional<fs::path> real = Walk(*folder, {name});
    return real && Inside(real->string()) ? std::string() : Refusal(path, kNotChanged);
}

std::string WorkingCopyFence::RefuseRemoval(const std::string& path) const
{
    if (m_root.empty()) return {};
    return FolderOf(fs::path(path)) ? std::string() : Refusal(path, kNotRemoved);
}

std::optional<std::string> WorkingCopyFence::FolderOf(const std::filesystem::path& path) const
{
    // A name of "." or ".." is no file of its own.
    const fs::path name = path.filename();
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    const std::optional<std::string> folder = Resolve(path.parent_path().string());
    if (!folder || (*folder != m_realRoot && !Inside(*folder))) return std::nullopt;
    return folder;
}

std::string WorkingCopyFence::Shown(const std::string& path) const
{
    if (path.size() > m_root.size() && path.compare(0, m_root.size(), m_root) == 0 && path[m_root.size()] == '/')
        return path.substr(m_root.size() + 1);
    return path;
}

std::string WorkingCopyFence::Refusal(const std::string& path, const char* outcome) const
{
    const std::string outside = ", outside the working copy: " + std::string(outcome);
    const std::string shown = Shown(path);
    // The first link on the way that leads out, named as the working copy holds it.
    if (shown != path) {
        fs::path prefix(m_root);
        const fs::path relative(shown);
        for (auto part = relative.begin(); part != relative.end(); ++part) {
            prefix /= *part;
            if (!IsLink(prefix)) continue;
            const std::optional<std::string> real = RealLocation(prefix.string());
            if (real && Inside(*real)) continue;
            const std::string link = Shown(prefix.string());
            if (!real) return link + " is a symbolic link whose links loop: " + outcome;
            if (std::next(part) == relative.end()) return link + " is a symbolic link to " + *real + outside;
            return shown + " lies in " + link + ", a symbolic link to " + *real + outside;
        }
    }
    return shown + " is outside the working copy " + m_root + ": " + outcome;
}

} // namespace standin
