#include "subversion/SvnSession.h"

#include "subversion/SvnCall.h"

#include <filesystem>
#include <utility>

namespace standin::svn {

namespace {

// Already as Subversion spells it: no empty, "." or ".." part, the last one included (a trailing
// slash leaves an empty one).
bool IsPlain(std::string_view file)
{
    for (std::size_t slash = file.find('/'); slash != std::string_view::npos;) {
        const std::size_t next = file.find('/', slash + 1);
        const std::string_view part =
            file.substr(slash + 1, next == std::string_view::npos ? std::string_view::npos : next - slash - 1);
        if (part.empty() || part == "." || part == "..") return false;
        slash = next;
    }
    return true;
}

} // namespace

// Most paths are spelled so already, and are not parsed again.
std::string NormalPath(const std::string& path)
{
    if (IsPlain(path)) return path;
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

bool IsInside(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

void Session::Begin(Call& call)
{
    call.FollowProgress(client->Progress());
    client->FollowProgress(call.Deadline(), std::chrono::steady_clock::now() + call.Cap());
    call.Watch(server, lockServer);
    // A kept connection, open before this call, would be spared by its deadline.
    client->Connections().BeginCall(!call.Running().Shared());
    // Tools that copy or tidy folders drop the empty temporary folder of the administrative area;
    // without it every update and submit fails until a clean-up.
    std::error_code ignored;
    std::filesystem::create_directory(workingCopy + "/.svn/tmp", ignored);
}

Error Session::CleanUp()
{
    Pool pool(client->PoolHandle());
    return Error(svn_client_cleanup2(workingCopy.c_str(), TRUE, FALSE, FALSE, FALSE, FALSE, client->Context(), pool));
}

bool Session::HoldsAsGiven(const std::string& file) const
{
    return IsPlain(file) && IsInside(file, workingCopy);
}

FileList Session::Canonical(const FileList& files, std::string& refusals, std::vector<bool>* kept) const
{
    FileList canonical;
    canonical.reserve(files.size());
    if (kept) kept->assign(files.size(), false);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string path = NormalPath(files[i]);
        if (IsInside(path, workingCopy)) {
            canonical.push_back(std::move(path));
            if (kept) (*kept)[i] = true;
        } else {
            refusals += files[i] + " - is not in the working copy " + workingCopy + "\n";
        }
    }
    return canonical;
}

} // namespace standin::svn
