#include "subversion/RepositoryChanges.h"

#include "subversion/SvnSession.h"

#include <svn_ra.h>

#include <apr_hash.h>

#include <algorithm>
#include <unordered_map>

namespace standin::svn {

namespace {

struct Change {
    long changed = 0; // the newest revision that changed the path
    long removed = 0; // the newest revision that deleted or replaced it
};

struct LogBaton {
    std::string root; // the working copy's root as a repository path ("" for the repository's root)
    std::unordered_map<std::string, Change> changes; // by path below the root ("" for the root)
};

svn_error_t* OnLogEntry(void* baton, svn_log_entry_t* entry, apr_pool_t* pool)
{
    auto& log = *static_cast<LogBaton*>(baton);
    if (!entry->changed_paths2) return SVN_NO_ERROR;
    for (apr_hash_index_t* item = apr_hash_first(pool, entry->changed_paths2); item; item = apr_hash_next(item)) {
        const std::string path = static_cast<const char*>(apr_hash_this_key(item));
        const auto* how = static_cast<const svn_log_changed_path2_t*>(apr_hash_this_val(item));
        if (path.compare(0, log.root.size(), log.root) != 0) continue;
        const std::string below = path.substr(log.root.size());
        if (!below.empty() && below.front() != '/') continue;
        Change& change = log.changes[below];
        change.changed = std::max<long>(change.changed, entry->revision);
        if (how->action == 'D' || how->action == 'R') change.removed = std::max<long>(change.removed, entry->revision);
    }
    return SVN_NO_ERROR;
}

// The repository state of one file below the root ("/art/chair.qor") at base revision.
svn_wc_status_kind StateOf(const LogBaton& log, const std::string& below, long base)
{
    const auto found = log.changes.find(below);
    if (found != log.changes.end() && found->second.removed > base) return svn_wc_status_deleted;
    for (std::size_t slash = below.rfind('/'); slash != std::string::npos && slash > 0;
         slash = below.rfind('/', slash - 1)) {
        const auto folder = log.changes.find(below.substr(0, slash));
        if (folder != log.changes.end() && folder->second.removed > base) return svn_wc_status_deleted;
    }
    const auto root = log.changes.find(std::string());
    if (root != log.changes.end() && root->second.removed > base) return svn_wc_status_deleted;
    return found != log.changes.end() && found->second.changed > base ? svn_wc_status_modified : svn_wc_status_normal;
}

} // namespace

bool MarkRepositoryChanges(Session& session, const std::vector<std::string>& files, std::vector<NodeInfo>& nodes,
                           Error& error)
{
    long oldest = -1;
    long newest = -1;
    for (const NodeInfo& node : nodes)
        if (node.versioned && node.revision >= 0) {
            oldest = oldest < 0 ? node.revision : std::min(oldest, node.revision);
            newest = std::max(newest, node.revision);
        }
    if (oldest < 0) return true;
    LogBaton log;
    bool tooFar = false;
    error = session.client->Connections().Ask(
        session.rootUrl, [&](svn_ra_session_t* connection, apr_pool_t* pool) -> svn_error_t* {
            log.changes.clear();
            svn_revnum_t head = 0;
            SVN_ERR(svn_ra_get_latest_revnum(connection, &head, pool));
            if (head < newest)
                return svn_error_createf(SVN_ERR_FS_NO_SUCH_REVISION, nullptr, "No such revision %ld", newest);
            tooFar = head - oldest > kMostLoggedRevisions;
            if (tooFar || head == oldest) return SVN_NO_ERROR;
            const char* below = nullptr;
            SVN_ERR(svn_ra_get_path_relative_to_root(connection, &below, session.rootUrl.c_str(), pool));
            log.root = below && *below ? "/" + std::string(below) : std::string();
            apr_array_header_t* everywhere = apr_array_make(pool, 1, sizeof(const char*));
            APR_ARRAY_PUSH(everywhere, const char*) = "";
            apr_array_header_t* noProperties = apr_array_make(pool, 0, sizeof(const char*));
            return svn_ra_get_log2(connection, everywhere, head, oldest + 1, 0, TRUE, FALSE, FALSE, noProperties,
                                   &OnLogEntry, &log, pool);
        });
    if (tooFar) return false;
    if (error) return true;
    for (std::size_t i = 0; i < files.size() && i < nodes.size(); ++i) {
        NodeInfo& node = nodes[i];
        if (!node.versioned || node.revision < 0) continue;
        node.repositoryNode = StateOf(log, files[i].substr(session.workingCopy.size()), node.revision);
    }
    return true;
}

} // namespace standin::svn
