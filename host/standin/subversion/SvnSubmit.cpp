// Submit: a changelist's opened files committed in one revision, their locks released.
#include "subversion/SvnSubmit.h"

#include "subversion/SubmitRecord.h"
#include "subversion/SvnChange.h"
#include "subversion/SvnChangeLists.h"
#include "subversion/SvnCommands.h"
#include "subversion/SvnOutcome.h"
#include "subversion/SvnReplica.h"
#include "subversion/SvnSession.h"
#include "subversion/SvnSettle.h"
#include "subversion/SvnTreeWalk.h"

#include <QString>

#include <svn_props.h>
#include <svn_string.h>

#include <map>

namespace standin::svn {

namespace {

// Subversion takes a log message only in UTF-8 with LF line ends; a description pasted from
// elsewhere may carry CR LF, and one read from a hand-edited file any bytes.
std::string LogMessage(const std::string& description)
{
    QString text = QString::fromUtf8(description.data(), static_cast<qsizetype>(description.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.toStdString();
}

svn_error_t* OnCommitted(const svn_commit_info_t* info, void* baton, apr_pool_t*)
{
    if (info && SVN_IS_VALID_REVNUM(info->revision)) static_cast<CommitWatch*>(baton)->revision = info->revision;
    return SVN_NO_ERROR;
}

// The oldest base revision in the tree: where a submit of new files only starts its history.
long TreeBase(const std::vector<TreeNode>& nodes)
{
    long base = 0;
    for (const TreeNode& node : nodes)
        if (node.info.revision >= 0 && (base == 0 || node.info.revision < base)) base = node.info.revision;
    return base;
}

std::string ChangeListName(const std::string& changeList)
{
    return changeList.empty() ? std::string("default") : changeList;
}

ChangeListResult Answer(const std::string& changeList, const ServerResult& outcome, long revision = 0)
{
    ChangeListResult result;
    result.code = outcome.code;
    result.text = outcome.text;
    result.changeList = changeList;
    result.revision = revision;
    return result;
}

// The record of a submit of targets about to start; the tree's base stands in for the base
// revision when every target is new.
SubmitRecord RecordSubmit(const Session& session, const std::string& changeList, const FileList& targets,
                          const SubmitTargets& picked)
{
    long base = -1;
    for (const NodeInfo& node : picked.nodes)
        if (node.revision >= 0 && (base < 0 || node.revision < base)) base = node.revision;
    FileList relative;
    for (const std::string& target : targets)
        relative.push_back(target.substr(session.workingCopy.size() + 1));
    return SubmitRecord::Begin(changeList, std::move(relative), base >= 0 ? base : picked.treeBase);
}

// Whether a submit may start (a second commit now could be taken while an earlier one whose
// answer was lost lands after all), and the changelist's description.
ServerResult MayStart(Session& session, const std::string& what, long number, std::string& description)
{
    SubmitRecord unsettled;
    std::string error;
    if (SubmitRecord::Load(session.workingCopy, unsettled, error))
        return {ServerCode::kFileStateRejected, "Nothing was submitted from " + what +
                                                    ": the repository has not yet shown whether the earlier submit "
                                                    "of changelist " +
                                                    ChangeListName(unsettled.changeList) +
                                                    ", whose answer was lost, was taken; try again in a moment.\n"};
    std::map<long, std::string> pending;
    if (!session.changeLists->Load(pending, error)) return {ServerCode::kIOError, error + "\n"};
    description = number ? pending[number] : std::string();
    return {};
}

// A transaction the server no longer finds as it is finalized was refused (another user deleted
// or moved a path) or had been committed (a request sent again after its connection was cut finds
// it gone): the log says which. The revision found (0: none); end.absentFromLog once it was read.
long LookUpNotFound(Session& session, const Error& error, CommitEnd& end)
{
    if (!end.finalizing || end.revision > 0 || !error.Has(SVN_ERR_FS_NOT_FOUND)) return 0;
    long revision = 0;
    end.absentFromLog = FindRecordedSubmit(session, revision) && revision == 0;
    return revision;
}

} // namespace

ServerResult PickTargets(Session& session, const Call& call, const std::string& changeList, SubmitTargets& targets)
{
    std::vector<TreeNode> nodes;
    const Error walkError = WalkTree(*session.client, session.workingCopy, nodes);
    if (walkError) return Failure(session, call, walkError);
    std::vector<const TreeNode*> newFolders;
    FileList missingNew;
    for (const TreeNode& node : nodes) {
        if (node.folder) {
            if (node.info.node == svn_wc_status_added) newFolders.push_back(&node);
            continue;
        }
        if (node.info.changeList != changeList || !IsOpened(node.info)) continue;
        if (node.info.node == svn_wc_status_missing && node.info.Added()) missingNew.push_back(node.path);
        targets.files.push_back(node.path);
        targets.nodes.push_back(node.info);
    }
    if (!missingNew.empty())
        return {ServerCode::kFileStateRejected,
                "Nothing was submitted from changelist " + ChangeListName(changeList) +
                    ": these files are scheduled for addition but are missing from the working copy; save them "
                    "again, or revert them:\n" +
                    Lines(missingNew)};
    // A new file's new folders are committed with it.
    for (const TreeNode* folder : newFolders)
        for (const std::string& target : targets.files)
            if (target.compare(0, folder->path.size() + 1, folder->path + "/") == 0) {
                targets.folders.push_back(folder->path);
                break;
            }
    targets.treeBase = TreeBase(nodes);
    if (targets.files.empty())
        return {ServerCode::kNothingToSubmit,
                "No files to submit from changelist " + ChangeListName(changeList) + ".\n"};
    return {};
}

ServerResult Commit(Session& session, const std::string& changeList, const std::string& message,
                    const SubmitTargets& targets, const std::string& what, CommitWatch& watch, Error& error)
{
    Client& client = *session.client;
    client.SetLogMessage(LogMessage(message));
    Pool pool(client.PoolHandle());
    FileList commitTargets = targets.folders;
    commitTargets.insert(commitTargets.end(), targets.files.begin(), targets.files.end());
    const SubmitRecord record = RecordSubmit(session, changeList, commitTargets, targets);
    watch.recordId = record.id;
    std::string unsaved;
    if (!record.Save(session.workingCopy, unsaved))
        return {ServerCode::kIOError, "Nothing was submitted from " + what + ": " + unsaved + "\n"};
    apr_hash_t* revisionProperties = apr_hash_make(pool);
    apr_hash_set(revisionProperties, SubmitRecord::kRevisionProperty, APR_HASH_KEY_STRING,
                 svn_string_create(record.id.c_str(), pool));
    Client::NotifyScope scope(client, [&watch](const svn_wc_notify_t& notify) {
        if (notify.action == svn_wc_notify_commit_finalizing) watch.finalizing = true;
    });
    error = Error(svn_client_commit6(Client::Targets(commitTargets, pool), svn_depth_empty, FALSE, FALSE, TRUE, FALSE,
                                     FALSE, nullptr, revisionProperties, &OnCommitted, &watch, client.Context(), pool));
    return {};
}

ChangeListResult Submit(Session& session, Call& call, const std::string& changeList)
{
    ChangeListResult result;
    if (!CheckChangeList(session, changeList, result)) return result;
    SettleLostSubmit(session, call);
    const std::string what = "changelist " + ChangeListName(changeList);
    const long number = ChangeListFile::NumberOf(changeList);
    std::string message;
    const ServerResult refused = MayStart(session, what, number, message);
    if (refused.Failed()) return Answer(changeList, refused);
    SubmitTargets targets;
    const ServerResult picked = PickTargets(session, call, changeList, targets);
    if (picked.Failed()) return Answer(changeList, picked);
    // Behind a replica an update may have dropped this copy's tokens; the master's locks give them
    // back (no status against the replica needed). Its failure is the commit's to tell.
    (void)LocksFromMaster(session, targets.files, targets.nodes);

    CommitWatch watch;
    Error error;
    const ServerResult unrecorded = Commit(session, changeList, message, targets, what, watch, error);
    if (unrecorded.Failed()) return Answer(changeList, unrecorded);
    if (!error) SubmitRecord::Remove(session.workingCopy);
    if (error) {
        CommitEnd end{watch.revision, watch.finalizing};
        // Landed after all: settled at once, as a lost answer is (told in session.settled).
        const long landed = LookUpNotFound(session, error, end);
        if (landed > 0) {
            SettleLostSubmit(session, call);
            return Answer(changeList, {}, landed);
        }
        CommitOutcome outcome = CommitOutcome::kRefused;
        const ServerResult failed = FailedCommit(session, call, error, end, what, outcome);
        if (outcome == CommitOutcome::kRefused) SubmitRecord::Remove(session.workingCopy);
        // The record stays for a commit that landed unrecorded: the next operation settles it.
        if (outcome == CommitOutcome::kLanded) session.unrecordedSubmit = watch.recordId;
        return Answer(changeList, failed, outcome == CommitOutcome::kLanded ? watch.revision : 0);
    }
    return Answer(changeList, TidyUp(session, call, targets.files, watch.revision, what, number), watch.revision);
}

} // namespace standin::svn
