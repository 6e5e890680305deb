// How a change of the working copy opens: the files checked against the working copy and walked,
// before each command (SvnEdit.cpp, SvnAdd.cpp, SvnDelete.cpp, SvnRevert.cpp) decides what to do.
#pragma once

#include "revisioncontrol/RevisionBackend.h"
#include "subversion/SvnStatusWalk.h"

#include <string>

namespace standin::svn {

class Call;
struct Session;

// What a change starts from: the files inside the working copy, their local state, and the
// refusals of files outside it (or of folders where files were expected).
struct Plan {
    FileList paths; // canonical
    WalkResult walk;
    std::string refusals;
};
struct Opening {
    const std::string* changeList = nullptr; // checked, when given
    // The change talks to the server: an interrupted submit is settled before the files are walked.
    bool settle = false;
    bool walk = true; // the files' local state is needed
};
// Opens a change of files; false with the result to answer when it cannot go on.
bool Open(Session& session, const Call& call, const FileList& files, const Opening& opening, Plan& plan,
          ServerResult& result);

// Checked out, scheduled, changed or in a changelist: what a revert or a submit takes.
bool IsOpened(const NodeInfo& node);
// Refuses path when it is not in the repository, or scheduled for addition (whenAdded: the text
// after the path then); true when it was refused.
bool RefuseNew(const std::string& path, const NodeInfo& node, const char* whenAdded, std::string& refusals);

} // namespace standin::svn
