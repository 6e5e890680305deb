#include "subversion/SvnSettle.h"

#include "subversion/SubmitRecord.h"
#include "subversion/SvnCall.h"
#include "subversion/SvnError.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnStatusWalk.h"

#include <svn_client.h>
#include <svn_props.h>
#include <svn_ra.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <utility>

namespace standin::svn {

namespace {

// How many deadlines a commit the server received may take before its absence from the log means
// it never lands.
constexpr int kSettlePatienceFactor = 2;

struct Search {
    std::string id;
    long revision = 0;
};

svn_error_t* OnLogEntry(void* baton, svn_log_entry_t* entry, apr_pool_t*)
{
    auto& search = *static_cast<Search*>(baton);
    if (!entry->revprops) return SVN_NO_ERROR;
    const auto* value = static_cast<const svn_string_t*>(
        apr_hash_get(entry->revprops, SubmitRecord::kRevisionProperty, APR_HASH_KEY_STRING));
    if (value && search.id == std::string(value->data, value->len)) search.revision = entry->revision;
    return SVN_NO_ERROR;
}

std::string Described(const std::string& changeList)
{
    return "changelist " + (changeList.empty() ? std::string("default") : changeList);
}

// The revision (0: none) that carries the record's identifier, since the record's base revision.
Error FindSubmit(Session& session, const SubmitRecord& record, long& revision)
{
    // Behind a replica the master is asked: the replica may not have the revision yet.
    Search search{record.id};
    Error error = session.client->Connections().Ask(
        session.LockUrl(), [&](svn_ra_session_t* connection, apr_pool_t* pool) -> svn_error_t* {
            search.revision = 0;
            svn_revnum_t latest = 0;
            SVN_ERR(svn_ra_get_latest_revnum(connection, &latest, pool));
            if (latest <= record.base) return SVN_NO_ERROR;
            apr_array_header_t* everywhere = apr_array_make(pool, 1, sizeof(const char*));
            APR_ARRAY_PUSH(everywhere, const char*) = "";
            apr_array_header_t* revprops = apr_array_make(pool, 1, sizeof(const char*));
            APR_ARRAY_PUSH(revprops, const char*) = SubmitRecord::kRevisionProperty;
            return svn_ra_get_log2(connection, everywhere, record.base + 1, latest, 0, FALSE, FALSE, FALSE, revprops,
                                   &OnLogEntry, &search, pool);
        });
    revision = search.revision;
    return error;
}

// Releases the locks a landed commit held and drops their tokens (the files become read-only again).
Error DropReleasedLocks(Session& session, const FileList& paths)
{
    Client& client = *session.client;
    WalkResult walk = WalkStatus(client, session.workingCopy, paths, false);
    if (walk.error) return std::move(walk.error);
    // Behind a replica the update dropped the tokens the replica does not know: the master's locks
    // give them back.
    Error unlisted = LocksFromMaster(session, paths, walk.nodes);
    if (unlisted) return unlisted;
    FileList held;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (walk.nodes[i].localLock.Held()) held.push_back(paths[i]);
    if (held.empty()) return {};
    // A commit cut off in its hooks may not have released its locks yet; one that did leaves the
    // server answering "no such lock", and unlocking drops the token (which makes a needs-lock
    // file read-only again) all the same.
    Client::NotifyScope quiet(client, [](const svn_wc_notify_t&) {});
    Pool pool(client.PoolHandle());
    return Error(svn_client_unlock(Client::Targets(held, pool), FALSE, client.Context(), pool));
}

// Undoes the additions and deletions among paths (an added file stays on disk), deepest first.
Error UnscheduleLanded(Session& session, const FileList& paths)
{
    Client& client = *session.client;
    WalkResult walk = WalkStatus(client, session.workingCopy, paths, false);
    if (walk.error) return std::move(walk.error);
    FileList scheduled;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (walk.nodes[i].Added() || walk.nodes[i].node == svn_wc_status_deleted) scheduled.push_back(paths[i]);
    if (scheduled.empty()) return {};
    // Deepest first: a folder's addition is undone after its children's.
    std::sort(scheduled.begin(), scheduled.end(), std::greater<>());
    Pool pool(client.PoolHandle());
    return Error(svn_client_revert4(Client::Targets(scheduled, pool), svn_depth_empty, nullptr, FALSE, FALSE, TRUE,
                                    client.Context(), pool));
}

// Updates paths to revision: folders with all they hold, files alone. False: a replica has not
// received the revision within its patience (nothing was updated then).
bool UpdateTo(Session& session, const Call& call, const FileList& paths, long revision, Error& error)
{
    Client& client = *session.client;
    Pool pool(client.PoolHandle());
    // A folder the revision added holds only what the revision brought; files are taken one by one.
    FileList folders;
    FileList files;
    for (const std::string& path : paths) {
        std::error_code ignored;
        (std::filesystem::is_directory(std::filesystem::symlink_status(path, ignored)) ? folders : files)
            .push_back(path);
    }
    svn_opt_revision_t target{};
    target.kind = svn_opt_revision_number;
    target.value.number = revision;
    // A replica that has not received the revision yet: wait a little, else settle later.
    const bool caughtUp = RetryWhileReplicaBehind(session, call, [&]() -> const Error& {
        error = Error();
        if (!folders.empty())
            error = Error(svn_client_update4(nullptr, Client::Targets(folders, pool), &target, svn_depth_infinity,
                                             FALSE, TRUE, TRUE, TRUE, FALSE, client.Context(), pool));
        if (!error && !files.empty())
            error = Error(svn_client_update4(nullptr, Client::Targets(files, pool), &target, svn_depth_empty, FALSE,
                                             TRUE, TRUE, TRUE, FALSE, client.Context(), pool));
        return error;
    });
    if (!caughtUp) error = Error();
    return caughtUp;
}

// Brings paths to the revision that took them and out of their changelist: additions and
// deletions the revision made are undone first, so that the update takes them as they came; a
// changed file's change is the committed one, so updating merges nothing. caughtUp false: a
// replica has not received the revision yet, and nothing was done.
Error BringTo(Session& session, const Call& call, const FileList& paths, long revision, bool& caughtUp)
{
    Error error = UnscheduleLanded(session, paths);
    if (!error) caughtUp = UpdateTo(session, call, paths, revision, error);
    if (!caughtUp) return error;
    if (!error) error = DropReleasedLocks(session, paths);
    Pool pool(session.client->PoolHandle());
    if (!error)
        error = Error(svn_client_remove_from_changelists(Client::Targets(paths, pool), svn_depth_empty, nullptr,
                                                         session.client->Context(), pool));
    return error;
}

// A lock no running program holds: the commit's own, left when the working copy could not record
// it, or a dead program's.
bool LeftLockedByNoOne(const Session& session, const Error& error)
{
    return error.Has(SVN_ERR_WC_LOCKED) && !Unwritable(error) && WorkingCopyUser(session) <= 0;
}

// A failure the next operation may not meet: no room, no write access, or a server that did not
// answer (a Cancel, a deadline, a lost connection). The record waits for it.
bool CanWait(const Call& call, const Error& error)
{
    return DiskFull(error) || Unwritable(error) || AnswerMayBeLost(call, error) || error.Has(APR_ECONNREFUSED);
}

// What became of a landed submit: the text that tells it (empty: nothing to tell yet), and whether
// its record is done with.
struct Settling {
    std::string told;
    bool done = false;
};

// Brings the recorded files to the revision that took them and closes their changelist. A replica
// that has not received the revision yet, or a failure that may pass (CanWait), keeps the record
// for a later operation; the second is told once.
Settling Landed(Session& session, const Call& call, const SubmitRecord& record, long revision)
{
    FileList paths;
    for (const std::string& file : record.files)
        paths.push_back(session.workingCopy + "/" + file);
    // A submit whose answer came but could not be recorded was told then; one whose answer was lost
    // is told now.
    const bool answered = session.unrecordedSubmit == record.id;
    const auto told = [&](bool recorded) {
        std::string how = " (confirmed after the connection was lost)";
        if (answered) how = recorded ? " (now recorded in the working copy)" : "";
        return "Submitted as revision " + std::to_string(revision) + how + ": " + Described(record.changeList);
    };
    bool caughtUp = true;
    Error error = BringTo(session, call, paths, revision, caughtUp);
    if (error && LeftLockedByNoOne(session, error)) {
        error = session.CleanUp();
        if (!error) error = BringTo(session, call, paths, revision, caughtUp);
    }
    if (!caughtUp) return {};
    std::string unlisted;
    const long number = ChangeListFile::NumberOf(record.changeList);
    if (!error && number) session.changeLists->Remove(number, unlisted);
    if (error && CanWait(call, error)) {
        const bool toldBefore = std::exchange(session.waitingSubmit, record.id) == record.id;
        if (toldBefore) return {};
        return {told(false) + ", but the working copy cannot be brought to it yet; the next operation tries again: " +
                Failure(session, call, error).text};
    }
    if (error)
        return {told(false) +
                    ", but the working copy could not be brought to it: " + Failure(session, call, error).text,
                true};
    if (!unlisted.empty()) return {told(true) + ", but it is still listed as pending: " + unlisted + "\n", true};
    return {told(true) + ".\n", true};
}

} // namespace

bool FindRecordedSubmit(Session& session, long& revision)
{
    SubmitRecord record;
    std::string damage;
    revision = 0;
    return SubmitRecord::Load(session.workingCopy, record, damage) && !FindSubmit(session, record, revision);
}

void SettleLostSubmit(Session& session, const Call& call)
{
    SubmitRecord record;
    std::string damage;
    if (!SubmitRecord::Load(session.workingCopy, record, damage)) {
        if (damage.empty()) return;
        SubmitRecord::Remove(session.workingCopy);
        session.settled += damage + "; whether that submit reached the repository is not known.\n";
        return;
    }
    long revision = 0;
    const Error error = FindSubmit(session, record, revision);
    // The server does not answer: the record waits for the next operation that reaches it.
    if (error) return;
    if (revision > 0) {
        const Settling settling = Landed(session, call, record, revision);
        session.settled += settling.told;
        if (!settling.done) return;
    } else {
        // The server may still be working on a commit it received: its absence from the log is an
        // answer only that long after the submit began, and after the server last left a call of
        // this session unanswered (a frozen server takes up queued requests when it wakes).
        const auto patience = std::chrono::duration_cast<std::chrono::seconds>(call.Deadline() * kSettlePatienceFactor);
        if (std::time(nullptr) - std::max<long long>(record.started, session.silentAt) < patience.count()) return;
        session.settled += "Nothing was submitted from " + Described(record.changeList) +
                           ": the repository has no revision of it (checked after the connection was lost); its "
                           "files and locks are as they were.\n";
    }
    SubmitRecord::Remove(session.workingCopy);
}

} // namespace standin::svn
