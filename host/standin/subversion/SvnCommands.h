// The Subversion backend's commands, one file each (SvnEdit.cpp, SvnAdd.cpp, SvnDelete.cpp,
// SvnRevert.cpp, SvnWritable.cpp, SvnStatus.cpp, SvnSubmit.cpp, SvnUpdate.cpp; the changelists'
// in SvnChangeLists.h). Each works in a live session (its deadline armed) within one call, and
// answers its result as RevisionBackend describes it; SvnBackend routes to them.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <string>

namespace standin::svn {

class Call;
struct NodeInfo;
struct Session;

// Check-out: locks the files (all or none) and puts them into changeList.
ServerResult Edit(Session& session, Call& call, const FileList& files, const std::string& changeList);
// Schedules the files (and their new folders) for addition in changeList; all or none.
AddResult Add(Session& session, Call& call, const FileList& files, const std::string& changeList);
// Schedules the files for deletion in changeList; all or none.
ServerResult Delete(Session& session, Call& call, const FileList& files, const std::string& changeList);
// Undoes the files' changes and releases their locks.
ServerResult Revert(Session& session, Call& call, const FileList& files);
// Makes the files writable on disk, outside the lock workflow.
ServerResult MakeWritable(Session& session, Call& call, const FileList& files);
// remote: with the repository's state (locks, newer revisions).
StatusResult Status(Session& session, Call& call, const FileList& files, bool remote);
// Who holds each file: the owners of locks this working copy does not hold.
UsersResult Users(Session& session, Call& call, const FileList& files);
// Commits changeList's opened files and releases their locks.
ChangeListResult Submit(Session& session, Call& call, const std::string& changeList);
// Brings the files ("" : the whole working copy) to the head revision.
UpdateResult Update(Session& session, Call& call, const FileList& files);

// The status word of one walked file (see SvnBackend.h).
qor4::StatusWord WordOf(const NodeInfo& node, bool remote);

} // namespace standin::svn
