// The changelists of a session's working copy: numbered, described in ChangeListFile, and named on
// the files Subversion keeps in them.
#pragma once

#include "revisioncontrol/RevisionBackend.h"

#include <string>

namespace standin::svn {

class Call;
struct Session;

// True when changeList is "" (the default one) or pending in the working copy; false with the failure.
bool CheckChangeList(Session& session, const std::string& changeList, ServerResult& failure);
// Puts files into changeList ("": leaves them where they are).
ServerResult AssignChangeList(Session& session, const Call& call, const FileList& files, const std::string& changeList);

ChangeListResult CreateChangeList(Session& session, const std::string& description);
ChangeListsResult PendingChangeLists(Session& session);
DescriptionResult ChangeListDescription(Session& session, const std::string& changeList);

} // namespace standin::svn
