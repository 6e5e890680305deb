#include "subversion/SvnTreeWalk.h"

#include "subversion/UnconvertibleNames.h"

#include <map>

namespace standin::svn {

namespace {

svn_error_t* CollectTree(void* baton, const char* path, const svn_client_status_t* status, apr_pool_t*)
{
    auto* nodes = static_cast<std::vector<TreeNode>*>(baton);
    if (status->versioned)
        nodes->push_back(
            {status->local_abspath ? status->local_abspath : path, status->kind == svn_node_dir, InfoOf(*status)});
    return SVN_NO_ERROR;
}

Error WalkTreeFrom(Client& client, const std::string& target, svn_depth_t depth, std::vector<TreeNode>& nodes,
                   apr_pool_t* pool)
{
    svn_opt_revision_t working{};
    working.kind = svn_opt_revision_working;
    svn_revnum_t revision = 0;
    return Error(svn_client_status6(&revision, client.Context(), target.c_str(), &working, depth, TRUE, FALSE, TRUE,
                                    FALSE, TRUE, FALSE, nullptr, &CollectTree, &nodes, pool));
}

// The tree's walk around names Subversion cannot convert, folder by folder: a folder that holds
// none with its files and subfolders as one walk, the files of one that does each on its own (its
// own node, and versioned files missing from its disk, go unreported then).
Error WalkTreeAroundUnconvertibleNames(Client& client, const std::string& root, std::vector<TreeNode>& nodes)
{
    std::map<std::string, TreeNode> found;
    std::vector<std::string> folders{root};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        FolderListing listing = ListFolder(folders[i]);
        folders.insert(folders.end(), listing.folders.begin(), listing.folders.end());
        const bool apart = listing.unconvertible;
        const std::vector<std::string> targets = apart ? std::move(listing.files) : std::vector{folders[i]};
        for (const std::string& target : targets) {
            Pool pool(client.PoolHandle());
            std::vector<TreeNode> walked;
            Error error = WalkTreeFrom(client, target, apart ? svn_depth_empty : svn_depth_immediates, walked, pool);
            // A folder that is not under version control holds nothing versioned.
            if (error && (error.Has(SVN_ERR_WC_NOT_WORKING_COPY) || error.Has(SVN_ERR_WC_PATH_NOT_FOUND))) continue;
            if (error) return error;
            for (TreeNode& node : walked)
                found[node.path] = std::move(node);
        }
    }
    for (auto& entry : found)
        nodes.push_back(std::move(entry.second));
    return Error();
}

} // namespace

Error WalkTree(Client& client, const std::string& root, std::vector<TreeNode>& nodes)
{
    Pool pool(client.PoolHandle());
    Error error = WalkTreeFrom(client, root, svn_depth_infinity, nodes, pool);
    if (!error || !IsUnconvertibleName(error)) return error;
    nodes.clear();
    return WalkTreeAroundUnconvertibleNames(client, root, nodes);
}

} // namespace standin::svn
