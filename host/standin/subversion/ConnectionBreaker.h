// Breaks off this process's connections to a server.
//
// A client waiting for a server that accepted the connection but does not answer (a stopped
// svnserve) sits in a blocking read that Subversion's cancel callback never gets to see. Shutting
// the socket down ends that read at once, and the call fails as if the server had hung up.
#pragma once

#include <string>

namespace standin::svn {

// Shuts down every TCP socket of this process connected to the host and port of url (svn://,
// http://, https://; default ports as Subversion uses them). The number of sockets shut down.
int BreakConnections(const std::string& url);

} // namespace standin::svn
