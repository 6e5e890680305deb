// Update: the working copy, or some of its files, brought to the head revision.
#include "subversion/SvnCommands.h"

#include "subversion/SvnCall.h"
#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnSettle.h"
#include "subversion/SvnUpdateDrive.h"

#include <algorithm>
#include <utility>

namespace standin::svn {

namespace {

void AddNew(FileList& list, const std::string& path)
{
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
}

bool Changed(svn_wc_notify_state_t state)
{
    return state == svn_wc_notify_state_changed || state == svn_wc_notify_state_merged ||
           state == svn_wc_notify_state_conflicted;
}

// What an update met besides its changes.
struct Trouble {
    FileList skipped;            // still in conflict from an earlier update
    std::string failedExternals; // "folder - reason" lines
    FileList leftOut;            // "path - reason" lines of what the working copy cannot take
};

// What one notification of the update says of its path. Subversion skips a target still in
// conflict from an earlier update without asking the server, and goes on past an external it
// could not bring.
void Record(const svn_wc_notify_t& notify, UpdateResult& result, Trouble& trouble)
{
    if (!notify.path) return;
    const std::string path = notify.path;
    if (notify.action == svn_wc_notify_skip_conflicted) {
        AddNew(result.conflicts, path);
        AddNew(trouble.skipped, path);
        return;
    }
    if (notify.action == svn_wc_notify_failed_external) {
        trouble.failedExternals += path + " - " + (notify.err ? Error::TextOf(notify.err) : std::string()) + "\n";
        return;
    }
    const bool conflicted = notify.action == svn_wc_notify_tree_conflict ||
                            notify.content_state == svn_wc_notify_state_conflicted ||
                            notify.prop_state == svn_wc_notify_state_conflicted;
    // A folder deleted on the server under a local change is kept in conflict, the change with it.
    if (conflicted) AddNew(result.conflicts, path);
    if (notify.kind == svn_node_dir) return;
    switch (notify.action) {
    case svn_wc_notify_update_add:
    case svn_wc_notify_update_delete:
    case svn_wc_notify_update_replace:
        AddNew(result.updated, path);
        break;
    case svn_wc_notify_update_update:
        if (Changed(notify.content_state) || Changed(notify.prop_state)) AddNew(result.updated, path);
        break;
    default:
        break;
    }
}

std::string Joined(const FileList& lines)
{
    std::string joined;
    for (const std::string& line : lines)
        joined += line;
    return joined;
}

// The result of an update that stopped: what it did before stays done, and is said, so that
// nothing is told as unchanged. A full disk stops the writing of files the working copy already
// counts as updated; the next operation finishes them. What was left out is named too: its folder
// may already stand at the new revision, and then no later update offers it again.
void Stopped(const ServerResult& failure, bool diskFull, const FileList& leftOut, UpdateResult& result)
{
    result.code = failure.code;
    result.text = failure.text;
    if (!result.updated.empty()) {
        result.text += diskFull ? "Being updated when the disk filled, and finished by the next operation once "
                                  "there is room:\n"
                                : "Updated before the update stopped:\n";
        result.text += Lines(result.updated);
    }
    if (!leftOut.empty()) result.text += "Left out before the update stopped:\n" + CappedLines(Joined(leftOut));
}

// Subversion's own update of paths, on a connection of its own.
Error UpdateBySubversion(Session& session, const FileList& paths, UpdateResult& result)
{
    Pool pool(session.client->PoolHandle());
    svn_opt_revision_t head;
    head.kind = svn_opt_revision_head;
    apr_array_header_t* revisions = nullptr;
    // Unversioned files in the way of added ones stay as they are (an obstruction is an error);
    // conflicts are left for the user, never resolved here.
    Error error(svn_client_update4(&revisions, Client::Targets(paths, pool), &head, svn_depth_unknown, FALSE, FALSE,
                                   FALSE, TRUE, FALSE, session.client->Context(), pool));
    if (!error && revisions && revisions->nelts > 0 && result.revision <= 0)
        result.revision = APR_ARRAY_IDX(revisions, 0, svn_revnum_t);
    return error;
}

// Drives each path it can over the kept connection; the others, and the externals of what was
// driven, are left in rest for Subversion's own update (onlyExternals: nothing but externals), and
// what the working copy cannot take in leftOut. The error that stopped it, if any.
Error DriveWhatItCan(Session& session, const FileList& paths, UpdateResult& result, FileList& rest, bool& onlyExternals,
                     FileList& leftOut)
{
    const bool drivable = DrivableWorkingCopy(session);
    bool drove = false;
    Error stopped;
    for (const std::string& path : paths) {
        DriveOutcome drive = drivable ? DriveUpdate(session, path) : DriveOutcome{};
        drove = drove || drive.driven;
        leftOut.insert(leftOut.end(), drive.leftOut.begin(), drive.leftOut.end());
        if (drive.error) {
            stopped = std::move(drive.error);
            break;
        }
        if (drive.driven && result.revision <= 0) result.revision = drive.revision;
        if (!drive.driven || drive.externals) rest.push_back(path);
        onlyExternals = onlyExternals && drive.driven;
    }
    if (drove) {
        Pool pool(session.client->PoolHandle());
        // As Subversion's own client: a file changed again within the timestamp's resolution
        // must not look unchanged. Every target is in the one working copy, whose root tells the
        // file system's resolution (with no path Subversion waits for the next second).
        svn_io_sleep_for_timestamps(session.workingCopy.c_str(), pool);
    }
    return stopped;
}

// Names the files left in conflict, by this update or (skipped) by an earlier one.
void TellConflicts(const FileList& skipped, UpdateResult& result)
{
    if (result.conflicts.empty()) return;
    result.code = ServerCode::kPartlyDone;
    result.text = result.revision > 0
                      ? "Updated to revision " + std::to_string(result.revision) + "; left in conflict:\n"
                      : "Nothing was updated; in conflict:\n";
    for (const std::string& path : result.conflicts)
        result.text += path + (std::count(skipped.begin(), skipped.end(), path) > 0
                                   ? " - still in conflict from an earlier update; resolve it first.\n"
                                   : " - the local change and the repository's disagree.\n");
}

// Files and folders the working copy cannot take, as another user's client named them: the rest
// of the update stays done.
void TellLeftOut(const FileList& leftOut, UpdateResult& result)
{
    if (leftOut.empty()) return;
    if (result.code != ServerCode::kPartlyDone)
        result.text = "Updated to revision " + std::to_string(result.revision) + ".\n";
    result.code = ServerCode::kPartlyDone;
    result.text += CappedLines(Joined(leftOut));
}

// Externals the update could not bring: the rest of the update stays done.
void TellFailedExternals(const std::string& failed, UpdateResult& result)
{
    if (failed.empty()) return;
    if (result.code != ServerCode::kPartlyDone)
        result.text = "Updated to revision " + std::to_string(result.revision) + ".\n";
    result.code = ServerCode::kPartlyDone;
    result.text += "These externals could not be brought:\n" + CappedLines(failed);
}

// An update stopped while it brought the externals of what it had driven: the rest stays done.
// The server that did not answer may be an external's, so the working copy's is not named.
void TellExternalsStopped(const ServerResult& failure, Call& call, UpdateResult& result)
{
    if (result.code != ServerCode::kPartlyDone)
        result.text = "Updated to revision " + std::to_string(result.revision) + ".\n";
    result.code = ServerCode::kPartlyDone;
    result.text += call.Running().DeadlinePassed() && failure.code != ServerCode::kCancelled
                       ? "The update ran out of its " + Seconds(call.Deadline()) +
                             " while it brought externals; the rest of them were not brought.\n"
                       : "The rest of the externals were not brought: " + failure.text;
}

// The working copy's root named as a path asks for all of it, as an empty list does; the other
// paths are still checked, so one outside the working copy is refused all the same.
FileList UpdatePaths(const Session& session, const FileList& files, std::string& refusals)
{
    bool whole = files.empty();
    FileList others;
    for (const std::string& file : files) {
        if (NormalPath(file) == session.workingCopy)
            whole = true;
        else
            others.push_back(file);
    }
    FileList paths = session.Canonical(others, refusals);
    return whole ? FileList{session.workingCopy} : paths;
}

} // namespace

UpdateResult Update(Session& session, Call& call, const FileList& files)
{
    UpdateResult result;
    SettleLostSubmit(session, call);
    std::string refusals;
    const FileList paths = UpdatePaths(session, files, refusals);
    if (!refusals.empty()) {
        result.code = ServerCode::kFileStateRejected;
        result.text = refusals;
        return result;
    }
    if (paths.empty()) return result;

    Trouble trouble;
    Client::NotifyScope scope(*session.client, [&](const svn_wc_notify_t& notify) { Record(notify, result, trouble); });
    FileList rest;
    bool onlyExternals = true;
    Error stopped = DriveWhatItCan(session, paths, result, rest, onlyExternals, trouble.leftOut);
    if (!stopped && !rest.empty()) {
        stopped = UpdateBySubversion(session, rest, result);
        if (stopped && onlyExternals) {
            TellConflicts(trouble.skipped, result);
            TellLeftOut(trouble.leftOut, result);
            TellFailedExternals(trouble.failedExternals, result);
            TellExternalsStopped(Failure(session, call, stopped), call, result);
            return result;
        }
    }
    if (stopped) {
        Stopped(Failure(session, call, stopped), DiskFull(stopped), trouble.leftOut, result);
        return result;
    }
    TellConflicts(trouble.skipped, result);
    TellLeftOut(trouble.leftOut, result);
    TellFailedExternals(trouble.failedExternals, result);
    return result;
}

} // namespace standin::svn
