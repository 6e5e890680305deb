// The undo steps of a change that failed midway: what the change did is taken back, or said
// (ServerCode::kPartlyDone), so that a failure leaves the working copy as it found it.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <string>

namespace standin::svn {

class Call;
struct LockRequest;
struct Session;

// After failure: releases the locks this operation's request took, or says which it could not
// release.
ServerResult UndoLocks(Session& session, const Call& call, const LockRequest& request, const ServerResult& failure);
// After failure: unschedules what this operation scheduled (additions, deletions), or says what
// is left. keepFiles: the files on disk stay as they are (an addition's undo); unsure: a path
// whose scheduling failed midway, which may or may not be scheduled.
ServerResult UndoSchedules(Session& session, const Call& call, const FileList& scheduled, const ServerResult& failure,
                           bool keepFiles, const std::string& unsure = std::string());

} // namespace standin::svn
