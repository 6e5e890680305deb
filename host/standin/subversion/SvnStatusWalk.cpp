#include "subversion/SvnStatusWalk.h"

#include "framework/PrintableText.h"
#include "revisioncontrol/PathIndex.h"
#include "subversion/UnconvertibleNames.h"

#include <svn_dirent_uri.h>

#include <filesystem>
#include <map>
#include <string_view>
#include <unordered_map>

namespace standin::svn {

namespace {

// Written in place: a walk of 100,000 files calls this for each of them.
void Fill(NodeInfo& info, const svn_client_status_t& status)
{
    info.reported = true;
    info.versioned = status.versioned != 0;
    info.node = status.node_status;
    info.repositoryNode = status.repos_node_status;
    if (status.lock && status.lock->token)
        info.localLock = {status.lock->token, status.lock->owner ? status.lock->owner : "", ""};
    else if (info.localLock.Held())
        info.localLock = {};
    if (status.repos_lock && status.repos_lock->token)
        info.repositoryLock = {status.repos_lock->token, status.repos_lock->owner ? status.repos_lock->owner : "",
                               status.repos_lock->comment ? status.repos_lock->comment : ""};
    else if (info.repositoryLock.Held())
        info.repositoryLock = {};
    if (status.changelist)
        info.changeList = status.changelist;
    else
        info.changeList.clear();
    info.revision = status.revision;
}

// What a walk that did not look at the working copy knows: the repository's side.
void FillRepository(NodeInfo& info, const svn_client_status_t& status)
{
    info.repositoryNode = status.repos_node_status;
    if (status.repos_lock && status.repos_lock->token)
        info.repositoryLock = {status.repos_lock->token, status.repos_lock->owner ? status.repos_lock->owner : "",
                               status.repos_lock->comment ? status.repos_lock->comment : ""};
    else
        info.repositoryLock = {};
}

std::string_view ParentOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

bool IsInside(std::string_view path, std::string_view folder)
{
    if (folder == "/" || path == folder) return true;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// The closest folder that holds every file, and whether they all lie directly in it.
std::string CommonFolder(const std::vector<std::string>& files, bool& flat)
{
    std::string_view common = ParentOf(files.front());
    flat = true;
    for (const std::string& file : files) {
        const std::string_view parent = ParentOf(file);
        if (parent == common) continue;
        flat = false;
        while (!IsInside(parent, common))
            common = ParentOf(common);
    }
    return std::string(common);
}

// Which requested files a reported path answers: views into the request, no copy per file, and
// a second list only for a file requested more than once.
struct Collector {
    explicit Collector(const std::vector<std::string>& request) : files(request), first(request.size()) {}
    const std::vector<std::string>& files;
    PathIndex first;
    std::unordered_multimap<std::string_view, std::size_t> repeated;
    std::vector<NodeInfo>* nodes = nullptr;
    bool repositoryOnly = false;
    std::size_t next = 0; // the request's file after the last one met

    // The walk meets files in the working copy's order, which a request often follows: the file
    // after the last one met is tried before the index (at 100,000 files the index's look-ups,
    // a cache miss or two each, were most of the time spent here).
    std::size_t Find(std::string_view path)
    {
        std::size_t found = PathIndex::kAbsent;
        if (repeated.empty() && next < files.size() && files[next] == path)
            found = next;
        else
            found = first.Find(path);
        if (found != PathIndex::kAbsent) next = found + 1;
        return found;
    }
};

svn_error_t* Collect(void* baton, const char* path, const svn_client_status_t* status, apr_pool_t*)
{
    auto* collector = static_cast<Collector*>(baton);
    const std::string_view key = status->local_abspath ? status->local_abspath : path;
    const std::size_t found = collector->Find(key);
    if (found == PathIndex::kAbsent) return SVN_NO_ERROR;
    NodeInfo& node = (*collector->nodes)[found];
    if (collector->repositoryOnly)
        FillRepository(node, *status);
    else
        Fill(node, *status);
    if (collector->repeated.empty()) return SVN_NO_ERROR;
    const auto [begin, end] = collector->repeated.equal_range(key);
    for (auto at = begin; at != end; ++at)
        (*collector->nodes)[at->second] = node;
    return SVN_NO_ERROR;
}

// One svn_client_status6 walk for the files, into nodes (in request order). repositoryOnly: a remote
// walk that does not look at the working copy's files and fills in only the repository's side.
Error WalkRequest(Client& client, const std::string& workingCopy, const std::vector<std::string>& files, bool remote,
                  std::vector<NodeInfo>& nodes, bool repositoryOnly = false)
{
    Error result;
    if (files.empty()) return result;

    Collector collector(files);
    collector.nodes = &nodes;
    collector.repositoryOnly = repositoryOnly;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (collector.first.Insert(files[i], i) != i) collector.repeated.emplace(files[i], i);

    // One file: its own node. Several: their closest common folder, only one level deep when they
    // all lie in it. A folder that is not on disk yet (a new asset's) is walked from the closest
    // existing one, and one that is not under version control from its versioned parent.
    svn_depth_t depth = svn_depth_empty;
    std::string root = files.front();
    if (files.size() > 1) {
        bool flat = false;
        root = CommonFolder(files, flat);
        depth = flat ? svn_depth_files : svn_depth_infinity;
        std::error_code ignored;
        while (root.size() > workingCopy.size() && !std::filesystem::is_directory(root, ignored)) {
            root = std::string(ParentOf(root));
            depth = svn_depth_infinity;
        }
        if (root.size() < workingCopy.size()) root = workingCopy;
    }

    Pool pool(client.PoolHandle());
    svn_opt_revision_t head{};
    head.kind = svn_opt_revision_head;
    while (true) {
        svn_revnum_t revision = 0;
        Error error(svn_client_status6(&revision, client.Context(), root.c_str(), &head, depth, TRUE /*get_all*/,
                                       remote ? TRUE : FALSE, repositoryOnly ? FALSE : TRUE /*check_working_copy*/,
                                       TRUE /*no_ignore*/, TRUE /*ignore_externals*/, FALSE /*depth_as_sticky*/,
                                       nullptr, &Collect, &collector, pool));
        const bool unknownHere = error.Has(SVN_ERR_WC_PATH_NOT_FOUND) || error.Has(SVN_ERR_WC_NOT_WORKING_COPY);
        // A single file the working copy does not know is simply not versioned.
        if (unknownHere && files.size() == 1) break;
        if (unknownHere && root.size() > workingCopy.size()) {
            root = std::string(ParentOf(root));
            depth = svn_depth_immediates;
            continue;
        }
        result = std::move(error);
        break;
    }
    return result;
}

// The files of a request grouped by folder, as indices into the request.
std::map<std::string, std::vector<std::size_t>> ByFolder(const std::vector<std::string>& files)
{
    std::map<std::string, std::vector<std::size_t>> folders;
    for (std::size_t i = 0; i < files.size(); ++i)
        folders[std::string(ParentOf(files[i]))].push_back(i);
    return folders;
}

// Walks the indexed files of the request together (one walk of their folder), or one by one when
// their folder holds a name Subversion cannot convert: a file of its own is walked without reading
// its folder.
Error WalkFolder(Client& client, const std::string& workingCopy, const std::vector<std::string>& request,
                 const std::vector<std::size_t>& indices, std::vector<NodeInfo>& nodes)
{
    std::vector<std::vector<std::size_t>> walks{indices};
    if (ListFolder(std::string(ParentOf(request[indices.front()]))).unconvertible) {
        walks.clear();
        for (const std::size_t index : indices)
            walks.push_back({index});
    }
    for (const std::vector<std::size_t>& walk : walks) {
        std::vector<std::string> files;
        for (const std::size_t index : walk)
            files.push_back(request[index]);
        std::vector<NodeInfo> found(files.size());
        Error error = WalkRequest(client, workingCopy, files, false, found);
        if (error && walk.size() > 1 && IsUnconvertibleName(error)) {
            // The walk climbed to a folder that holds such a name (the files' folder is new).
            for (const std::size_t index : walk)
                if ((error = WalkFolder(client, workingCopy, request, {index}, nodes))) return error;
            continue;
        }
        if (error) return error;
        for (std::size_t i = 0; i < walk.size(); ++i)
            nodes[walk[i]] = std::move(found[i]);
    }
    return Error();
}

// The walk of a request that met a name Subversion cannot convert to UTF-8 (it fails as a whole
// then): the working copy's side folder by folder, around such names; the repository's side in one
// walk that does not read the working copy's folders.
Error WalkAroundUnconvertibleNames(Client& client, const std::string& workingCopy,
                                   const std::vector<std::string>& files, bool remote, std::vector<NodeInfo>& nodes)
{
    for (const auto& [folder, indices] : ByFolder(files))
        if (Error error = WalkFolder(client, workingCopy, files, indices, nodes)) return error;
    if (!remote) return Error();
    return WalkRequest(client, workingCopy, files, true, nodes, true);
}

} // namespace

NodeInfo InfoOf(const svn_client_status_t& status)
{
    NodeInfo info;
    Fill(info, status);
    return info;
}

WalkResult WalkStatus(Client& client, const std::string& workingCopy, const std::vector<std::string>& files,
                      bool remote)
{
    WalkResult result;
    result.nodes.resize(files.size());
    // A path Subversion cannot take is not under revision control as far as it can tell.
    std::vector<std::string> walked;
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (IsUtf8(files[i])) {
            walked.push_back(files[i]);
            indices.push_back(i);
        } else {
            ReportUnconvertibleName(files[i]);
        }
    }
    const bool all = walked.size() == files.size();
    std::vector<NodeInfo> partial;
    std::vector<NodeInfo>& nodes = all ? result.nodes : partial;
    if (!all) partial.resize(walked.size());
    const std::vector<std::string>& request = all ? files : walked;
    result.error = WalkRequest(client, workingCopy, request, remote, nodes);
    if (result.error && IsUnconvertibleName(result.error))
        result.error = WalkAroundUnconvertibleNames(client, workingCopy, request, remote, nodes);
    if (!all)
        for (std::size_t i = 0; i < indices.size(); ++i)
            result.nodes[indices[i]] = std::move(partial[i]);
    return result;
}

} // namespace standin::svn
