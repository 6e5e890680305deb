// The pieces of a submit, in the order they run: the targets picked from the changelist, the
// commit, and the tidy-up of what the commit leaves on its files. A failed commit is classified
// with Subversion's other errors (SvnOutcome.h: FailedCommit).
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/SvnStatusWalk.h"

#include <string>
#include <vector>

namespace standin::svn {

class Call;
struct Session;

// What a submit commits: the changelist's opened files, walked, and the new folders they need.
struct SubmitTargets {
    FileList files;
    std::vector<NodeInfo> nodes; // per file
    FileList folders;
    long treeBase = 0; // the oldest base revision in the tree: where a submit of new files starts
};
// The targets of changeList; kNothingToSubmit when it has none.
ServerResult PickTargets(Session& session, const Call& call, const std::string& changeList, SubmitTargets& targets);

// How the commit went: the revision it made (0: none), and whether the transaction was being
// committed when the call ended.
struct CommitWatch {
    long revision = 0;
    bool finalizing = false;
    std::string recordId; // the identifier the submit's record and revision carry
};
// Commits the targets with message, recorded in the working copy first (so that a lost answer or a
// crash can be settled later); a failure when the record cannot be written, else the commit's
// error in error. what names the changelist for the user.
ServerResult Commit(Session& session, const std::string& changeList, const std::string& message,
                    const SubmitTargets& targets, const std::string& what, CommitWatch& watch, Error& error);

// After a commit that made revision (0: nothing had changed): the files' locks released and their
// changelist closed (number: its entry in ChangeListFile, 0 for the default one).
ServerResult TidyUp(Session& session, Call& call, const FileList& files, long revision, const std::string& what,
                    long number);

} // namespace standin::svn
