// The update of one target over the session's kept connection: the working copy reports what it
// has and takes the server's edit under its write lock, as Subversion's own client drives an
// update, without a connection, a greeting, a login and a head-revision question of its own.
#pragma once

#include "subversion/SvnError.h"

#include <svn_types.h>

#include <string>
#include <vector>

namespace standin::svn {

struct Session;

struct DriveOutcome {
    // false: the target was left to Subversion's own update (a conflicted target, one in a folder
    // not committed yet).
    bool driven = false;
    // The working copy defines externals, which the drive does not bring.
    bool externals = false;
    svn_revnum_t revision = SVN_INVALID_REVNUM;
    // Files and folders the working copy cannot take, left out: "path - reason" lines.
    std::vector<std::string> leftOut;
    Error error;
};

// Whether the session's working copy can be driven at all: only one of the repository's root. One
// of a folder below it would also want the properties its root inherits, which a drive by hand
// does not bring.
bool DrivableWorkingCopy(Session& session);

// Brings target (the working copy's root, or a path in it) to the head revision over the
// session's kept connection to its working copy's server, in a working copy that
// DrivableWorkingCopy takes. Notifications go to the client's.
DriveOutcome DriveUpdate(Session& session, const std::string& target);

} // namespace standin::svn
