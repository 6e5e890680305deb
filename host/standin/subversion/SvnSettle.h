// Settling a submit whose answer was lost (a broken connection, a Cancel, a process that died):
// the repository's log since the files' base revision is searched for the submit's identifier.
#pragma once

namespace standin::svn {

class Call;
struct Session;

// A submit whose answer was lost, recorded in the working copy: looked for in the repository and,
// when found or surely not coming, settled and told in session.settled. Quiet while the server
// does not answer.
void SettleLostSubmit(Session& session, const Call& call);
// The revision (0: none) that the submit recorded in the working copy made, from the repository's
// log (the master's behind a replica); false when the record or the log cannot be read.
bool FindRecordedSubmit(Session& session, long& revision);

} // namespace standin::svn
