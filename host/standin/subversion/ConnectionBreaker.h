// Breaks off this process's connections to a server.
//
// A client waiting for a server that accepted the connection but does not answer (a stopped
// svnserve) sits in a blocking read that Subversion's cancel callback never gets to see. Shutting
// the socket down ends that read at once, and the call fails as if the server had hung up.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace standin::svn {

// The host and the port (the scheme's default when none is given) of a server URL.
bool SplitUrl(const std::string& url, std::string& host, std::string& port);

// A TCP socket of a process as the kernel's table spells it (/proc/<pid>/net/tcp and tcp6): local
// and remote address ("0100007F:0DB2"), state ("0A" is listening) and inode.
struct TcpSocket {
    std::string local;
    std::string remote;
    std::string state;
    std::string inode;
};
// The TCP sockets of the network namespace of process ("self" or a pid).
std::vector<TcpSocket> TcpSockets(const std::string& process = "self");
// The socket descriptors process holds: descriptor to inode.
std::map<int, std::string> DescriptorSockets(const std::string& process = "self");

// The inodes of this process's open sockets, whatever they are connected to; cheap.
std::set<std::string> OwnSockets();

// Shuts down this process's TCP connections to the host and port of url (svn://, http://,
// https://; default ports as Subversion uses them), but for the sockets in spare.
void BreakConnections(const std::string& url, const std::set<std::string>& spare = {});

// Shuts down the TCP socket that thread, of this process, waits on in a read, a receive or a
// connect: whatever server it leads to (one a repository's external names, say).
void BreakWaitingSocket(long thread);
// The caller's thread, as BreakWaitingSocket takes it.
long CurrentThread();

} // namespace standin::svn
