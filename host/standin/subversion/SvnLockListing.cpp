#include "subversion/SvnLockListing.h"

#include "subversion/LockTokens.h"

#include <svn_dirent_uri.h>
#include <svn_hash.h>
#include <svn_ra.h>
#include <svn_wc.h>

#include <apr_strings.h>

namespace standin::svn {

LockListing ListLocks(Client& client, const std::string& lockRootUrl, const std::string& workingCopy)
{
    LockListing listing;
    listing.error =
        client.Connections().Ask(lockRootUrl, [&](svn_ra_session_t* session, apr_pool_t* pool) -> svn_error_t* {
            const char* below = nullptr;
            apr_hash_t* locks = nullptr;
            SVN_ERR(svn_ra_get_path_relative_to_root(session, &below, lockRootUrl.c_str(), pool));
            SVN_ERR(svn_ra_get_locks2(session, &locks, "", svn_depth_infinity, pool));
            // The listing names repository paths ("/art/chair.qor"); the working copy's root is "/" + below.
            const std::string root = below && *below ? "/" + std::string(below) : std::string();
            for (apr_hash_index_t* entry = apr_hash_first(pool, locks); entry; entry = apr_hash_next(entry)) {
                const auto* path = static_cast<const char*>(apr_hash_this_key(entry));
                const auto* lock = static_cast<const svn_lock_t*>(apr_hash_this_val(entry));
                const std::string repositoryPath = path ? path : "";
                if (!lock || !lock->token || repositoryPath.compare(0, root.size(), root) != 0) continue;
                const std::string rest = repositoryPath.substr(root.size());
                if (!rest.empty() && rest.front() != '/') continue;
                listing.byPath[workingCopy + rest] = {lock->token, lock->owner ? lock->owner : "",
                                                      lock->comment ? lock->comment : ""};
            }
            return SVN_NO_ERROR;
        });
    if (listing.error) listing.byPath.clear();
    return listing;
}

bool AdoptLock(Client& client, const std::string& file, const LockInfo& lock, std::string& error)
{
    svn_lock_t entry{};
    entry.token = lock.token.c_str();
    entry.owner = lock.owner.c_str();
    entry.comment = lock.comment.c_str();
    const Error failed = KeepToken(client, file, entry);
    if (failed) error = failed.Text();
    return !failed;
}

void ApplyLocks(const LockListing& listing, const std::vector<std::string>& files, std::vector<NodeInfo>& nodes)
{
    for (std::size_t i = 0; i < files.size() && i < nodes.size(); ++i) {
        const auto found = listing.byPath.find(files[i]);
        nodes[i].repositoryLock = found == listing.byPath.end() ? LockInfo{} : found->second;
    }
}

} // namespace standin::svn
