#include "subversion/ConnectionBreaker.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace standin::svn {

namespace {

struct Endpoint {
    std::string host;
    std::string port;
};

bool ParseUrl(const std::string& url, Endpoint& endpoint)
{
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) return false;
    const std::string name = url.substr(0, scheme);
    std::string authority = url.substr(scheme + 3);
    authority = authority.substr(0, authority.find('/'));
    const auto at = authority.rfind('@');
    if (at != std::string::npos) authority = authority.substr(at + 1);
    const auto colon = authority.rfind(':');
    const auto bracket = authority.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        endpoint.host = authority.substr(0, colon);
        endpoint.port = authority.substr(colon + 1);
    } else {
        endpoint.host = authority;
        endpoint.port = name == "svn" ? "3690" : name == "https" ? "443" : name == "http" ? "80" : "";
    }
    if (!endpoint.host.empty() && endpoint.host.front() == '[')
        endpoint.host = endpoint.host.substr(1, endpoint.host.size() - 2);
    return !endpoint.host.empty() && !endpoint.port.empty();
}

// The remote addresses as /proc/net/tcp and tcp6 spell them ("0100007F:0DB2").
std::set<std::string> ProcAddresses(const Endpoint& endpoint)
{
    std::set<std::string> spelled;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(endpoint.host.c_str(), endpoint.port.c_str(), &hints, &found) != 0) return spelled;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        char text[64];
        if (entry->ai_family == AF_INET) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            std::snprintf(text, sizeof text, "%08X:%04X", address->sin_addr.s_addr, ntohs(address->sin_port));
            spelled.insert(text);
        } else if (entry->ai_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(entry->ai_addr);
            std::uint32_t words[4];
            std::memcpy(words, address->sin6_addr.s6_addr, sizeof words);
            std::snprintf(text, sizeof text, "%08X%08X%08X%08X:%04X", words[0], words[1], words[2], words[3],
                          ntohs(address->sin6_port));
            spelled.insert(text);
        }
    }
    freeaddrinfo(found);
    return spelled;
}

// Inodes of this process's TCP sockets whose remote end is one of the addresses.
std::set<std::string> SocketInodes(const std::set<std::string>& addresses)
{
    std::set<std::string> inodes;
    for (const TcpSocket& socket : TcpSockets())
        if (addresses.count(socket.remote) != 0) inodes.insert(socket.inode);
    return inodes;
}

std::set<std::string> InodesTo(const std::string& url)
{
    Endpoint endpoint;
    if (!ParseUrl(url, endpoint)) return {};
    return SocketInodes(ProcAddresses(endpoint));
}

} // namespace

std::vector<TcpSocket> TcpSockets(const std::string& process)
{
    std::vector<TcpSocket> sockets;
    for (const char* table : {"/net/tcp", "/net/tcp6"}) {
        std::ifstream in("/proc/" + process + table);
        std::string line;
        std::getline(in, line); // the header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, queues, timer, retransmits, uid, timeout;
            TcpSocket socket;
            fields >> slot >> socket.local >> socket.remote >> socket.state >> queues >> timer >> retransmits >> uid >>
                timeout >> socket.inode;
            sockets.push_back(std::move(socket));
        }
    }
    return sockets;
}

std::map<int, std::string> DescriptorSockets(const std::string& process)
{
    std::map<int, std::string> sockets;
    std::error_code error;
    for (const auto& descriptor : std::filesystem::directory_iterator("/proc/" + process + "/fd", error)) {
        std::error_code unreadable;
        const std::string target = std::filesystem::read_symlink(descriptor.path(), unreadable).string();
        if (target.rfind("socket:[", 0) == 0)
            sockets.emplace(std::stoi(descriptor.path().filename().string()), target.substr(8, target.size() - 9));
    }
    return sockets;
}

bool SplitUrl(const std::string& url, std::string& host, std::string& port)
{
    Endpoint endpoint;
    if (!ParseUrl(url, endpoint)) return false;
    host = endpoint.host;
    port = endpoint.port;
    return true;
}

std::set<std::string> OwnSockets()
{
    std::set<std::string> inodes;
    for (const auto& socket : DescriptorSockets())
        inodes.insert(socket.second);
    return inodes;
}

void BreakConnections(const std::string& url, const std::set<std::string>& spare)
{
    const std::set<std::string> toServer = InodesTo(url);
    if (toServer.empty()) return;
    for (const auto& [descriptor, inode] : DescriptorSockets())
        if (toServer.count(inode) != 0 && spare.count(inode) == 0) shutdown(descriptor, SHUT_RDWR);
}

long CurrentThread()
{
    return ::syscall(SYS_gettid);
}

void BreakWaitingSocket(long thread)
{
    // "number arg1 ..." while the thread sits in a system call ("running" otherwise).
    std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    std::string descriptor;
    if (!(in >> number >> descriptor)) return;
    if (number != SYS_read && number != SYS_readv && number != SYS_recvfrom && number != SYS_recvmsg &&
        number != SYS_connect)
        return;
    const int waitedOn = static_cast<int>(std::strtol(descriptor.c_str(), nullptr, 16));
    const std::map<int, std::string> sockets = DescriptorSockets();
    const auto found = sockets.find(waitedOn);
    if (found == sockets.end()) return;
    for (const TcpSocket& socket : TcpSockets())
        if (socket.inode == found->second) {
            shutdown(waitedOn, SHUT_RDWR);
            return;
        }
}

} // namespace standin::svn
