#include "subversion/SvnUpdateDrive.h"

#include "subversion/FolderLockingEditor.h"
#include "subversion/KeptConnections.h"
#include "subversion/SvnClient.h"
#include "subversion/SvnPool.h"
#include "subversion/SvnSession.h"
#include "subversion/UnwritableNameEditor.h"

#include <svn_config.h>
#include <svn_hash.h>
#include <svn_path.h>
#include <svn_ra.h>
#include <svn_string.h>
#include <svn_wc.h>

namespace standin::svn {

namespace {

// Where the server's edit lands: the folder the working copy locks, the name below it ("" for
// the folder itself) and the folder's URL.
struct Target {
    std::string anchor;
    std::string name;
    std::string anchorUrl;
};

// The node's status as the working copy has it, without the server; null when it cannot tell.
const svn_wc_status3_t* LocalStatus(svn_client_ctx_t* context, const char* path, apr_pool_t* pool)
{
    svn_wc_status3_t* status = nullptr;
    svn_error_t* failed = svn_wc_status3(&status, context->wc_ctx, path, pool, pool);
    const bool known = !failed;
    svn_error_clear(failed);
    return known && status->versioned && status->repos_root_url && status->repos_relpath ? status : nullptr;
}

// The node's URL, when it is in the repository as the working copy last had it (not scheduled
// for addition); empty otherwise.
std::string BaseUrl(svn_client_ctx_t* context, const char* path, apr_pool_t* pool)
{
    const svn_wc_status3_t* status = LocalStatus(context, path, pool);
    if (!status || status->node_status == svn_wc_status_added || status->node_status == svn_wc_status_replaced)
        return {};
    return svn_path_url_add_component2(status->repos_root_url, status->repos_relpath, pool);
}

// Whether the drive takes path, as Subversion's own update would take it: a target whose folder
// is not committed yet, or which is in text or property conflict, goes its way.
bool Drivable(Session& session, const std::string& path, Target& target, apr_pool_t* pool)
{
    svn_client_ctx_t* context = session.client->Context();
    const char* anchor = nullptr;
    const char* name = nullptr;
    svn_error_t* failed = svn_wc_get_actual_target2(&anchor, &name, context->wc_ctx, path.c_str(), pool, pool);
    if (failed) {
        svn_error_clear(failed);
        return false;
    }
    target = {anchor, name, BaseUrl(context, anchor, pool)};
    if (target.anchorUrl.empty()) return false;
    svn_boolean_t text = FALSE;
    svn_boolean_t props = FALSE;
    failed = svn_wc_conflicted_p3(&text, &props, nullptr, context->wc_ctx, path.c_str(), pool);
    // A path the working copy does not know may be one the repository has: the drive fetches it.
    const bool unknown = failed && failed->apr_err == SVN_ERR_WC_PATH_NOT_FOUND;
    const bool known = !failed;
    svn_error_clear(failed);
    return unknown || (known && !text && !props);
}

// The client's settings an update follows, as Subversion's own client reads them.
struct EditSettings {
    svn_boolean_t commitTimes = FALSE;
    const char* diff3 = nullptr;
    apr_array_header_t* preservedExtensions = nullptr;
};

svn_error_t* ReadSettings(svn_client_ctx_t* context, EditSettings& settings, apr_pool_t* pool)
{
    svn_config_t* config = context->config
                               ? static_cast<svn_config_t*>(svn_hash_gets(context->config, SVN_CONFIG_CATEGORY_CONFIG))
                               : nullptr;
    svn_config_get(config, &settings.diff3, SVN_CONFIG_SECTION_HELPERS, SVN_CONFIG_OPTION_DIFF3_CMD, nullptr);
    SVN_ERR(svn_config_get_bool(config, &settings.commitTimes, SVN_CONFIG_SECTION_MISCELLANY,
                                SVN_CONFIG_OPTION_USE_COMMIT_TIMES, FALSE));
    const char* extensions = nullptr;
    svn_config_get(config, &extensions, SVN_CONFIG_SECTION_MISCELLANY, SVN_CONFIG_OPTION_PRESERVED_CF_EXTS, "");
    if (extensions && *extensions)
        settings.preservedExtensions = svn_cstring_split(extensions, "\n\r\t\v ", FALSE, pool);
    return SVN_NO_ERROR;
}

// The report and the edit, under the write lock that access holds (the editor and the crawl that
// take it are the working-copy API's deprecated calls). reported: the server has the request, so
// the working copy may have changed from here on.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
svn_error_t* Drive(svn_ra_session_t* connection, svn_wc_adm_access_t* access, const Target& target,
                   const std::string& path, svn_client_ctx_t* context, DriveOutcome& outcome, bool& reported,
                   apr_pool_t* pool)
{
    EditSettings settings;
    SVN_ERR(ReadSettings(context, settings, pool));
    svn_wc_traversal_info_t* traversal = svn_wc_init_traversal_info(pool);
    const svn_delta_editor_t* editor = nullptr;
    void* editBaton = nullptr;
    // As before: unversioned files in the way of added ones stay (a tree conflict), and conflicts
    // are left for the user.
    SVN_ERR(svn_wc_get_update_editor3(
        &outcome.revision, access, target.name.c_str(), settings.commitTimes, svn_depth_unknown, FALSE, FALSE,
        context->notify_func2, context->notify_baton2, context->cancel_func, context->cancel_baton, nullptr, nullptr,
        nullptr, nullptr, settings.diff3, settings.preservedExtensions, &editor, &editBaton, traversal, pool));
    WrapWithFolderLocks(editor, editBaton, access, target.anchor.c_str(), &editor, &editBaton, pool);
    WrapToLeaveOutUnwritableNames(editor, editBaton, target.anchor.c_str(), &outcome.leftOut, &editor, &editBaton,
                                  pool);
    const svn_ra_reporter3_t* reporter = nullptr;
    void* reportBaton = nullptr;
    SVN_ERR(svn_ra_do_update3(connection, &reporter, &reportBaton, SVN_INVALID_REVNUM, target.name.c_str(),
                              svn_depth_unknown, FALSE, FALSE, editor, editBaton, pool, pool));
    reported = true;
    SVN_ERR(svn_wc_crawl_revisions4(path.c_str(), access, reporter, reportBaton, TRUE, svn_depth_unknown, TRUE, FALSE,
                                    settings.commitTimes, context->notify_func2, context->notify_baton2, traversal,
                                    pool));
    apr_hash_t* before = nullptr;
    apr_hash_t* after = nullptr;
    svn_wc_edited_externals(&before, &after, traversal);
    outcome.externals = (before && apr_hash_count(before) > 0) || (after && apr_hash_count(after) > 0);
    return SVN_NO_ERROR;
}
#pragma GCC diagnostic pop

} // namespace

bool DrivableWorkingCopy(Session& session)
{
    Pool pool(session.client->PoolHandle());
    const svn_wc_status3_t* root = LocalStatus(session.client->Context(), session.workingCopy.c_str(), pool);
    return root && root->repos_relpath[0] == '\0' && session.rootUrl == root->repos_root_url;
}

DriveOutcome DriveUpdate(Session& session, const std::string& path)
{
    DriveOutcome outcome;
    Client& client = *session.client;
    Pool pool(client.PoolHandle());
    Target target;
    if (!Drivable(session, path, target, pool)) return outcome;
    outcome.driven = true;
    svn_client_ctx_t* context = client.Context();
    bool reported = false;
    outcome.error = client.Connections().Ask(
        session.rootUrl,
        [&](svn_ra_session_t* connection, apr_pool_t* scratch) -> svn_error_t* {
            // Below the connection's root: no round trip. It goes back there for the questions
            // that name paths from the root.
            SVN_ERR(svn_ra_reparent(connection, target.anchorUrl.c_str(), scratch));
            svn_wc_adm_access_t* access = nullptr;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            // The write lock an update takes, which only the access-baton calls take: the anchor
            // now, each folder below it when the edit opens it.
            svn_error_t* failed = svn_wc_adm_open3(&access, nullptr, target.anchor.c_str(), TRUE, 0,
                                                   context->cancel_func, context->cancel_baton, scratch);
            if (!failed) {
                failed = Drive(connection, access, target, path, context, outcome, reported, scratch);
                failed = svn_error_compose_create(failed, svn_wc_adm_close2(access, scratch));
            }
#pragma GCC diagnostic pop
            return svn_error_compose_create(failed, svn_ra_reparent(connection, session.rootUrl.c_str(), scratch));
        },
        [&reported] { return !reported; });
    return outcome;
}

} // namespace standin::svn
