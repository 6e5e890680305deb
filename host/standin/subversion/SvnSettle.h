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

} // namespace standin::svn
