#include "testkit/DelayRelay.h"

#include "testkit/RelayConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace standin {

namespace {

constexpr int kBacklog = 64;

// A connected socket to host:port, or -1.
int ConnectTo(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    int connected = -1;
    for (addrinfo* each = found; each && connected < 0; each = each->ai_next) {
        const int fd = ::socket(each->ai_family, each->ai_socktype | SOCK_CLOEXEC, each->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, each->ai_addr, each->ai_addrlen) == 0)
            connected = fd;
        else
            ::close(fd);
    }
    freeaddrinfo(found);
    return connected;
}

// The relay's own delay is the only one: small chunks go out as they come.
void NoDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

DelayRelay::DelayRelay(std::string targetHost, int targetPort, std::chrono::milliseconds delayEachWay)
    : m_targetHost(std::move(targetHost)), m_targetPort(targetPort), m_delayMs(delayEachWay.count())
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, kBacklog) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = std::string("the relay cannot listen: ") + std::strerror(errno);
        return;
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread(&DelayRelay::AcceptLoop, this);
}

DelayRelay::~DelayRelay()
{
    if (m_acceptor.joinable()) {
        const char stop = 0;
        while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {}
        m_acceptor.join();
    }
    // Each connection stops and joins its threads as it goes.
    m_connections.clear();
    for (int fd : {m_listener, m_wake[0], m_wake[1]})
        if (fd >= 0) ::close(fd);
}

void DelayRelay::SetDelay(std::chrono::milliseconds delayEachWay)
{
    m_delayMs = delayEachWay.count();
}

std::chrono::milliseconds DelayRelay::Delay() const
{
    return std::chrono::milliseconds(m_delayMs.load());
}

DelayRelay::Counts DelayRelay::Count() const
{
    return {m_connectionsAccepted.load(), m_turns.load()};
}

void DelayRelay::CutAll()
{
    std::vector<std::unique_ptr<RelayConnection>> cut;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        cut.swap(m_connections);
    }
    // Each connection stops and joins its threads as it goes.
    cut.clear();
}

std::string DelayRelay::UrlThrough(const std::string& url) const
{
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t authority = scheme + 3;
    const std::size_t path = std::min(url.find('/', authority), url.size());
    return url.substr(0, authority) + "127.0.0.1:" + std::to_string(m_port) + url.substr(path);
}

void DelayRelay::AcceptLoop()
{
    for (;;) {
        pollfd watched[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[1].revents != 0) return;
        if (watched[0].revents & POLLIN) Accept();
    }
}

void DelayRelay::Accept()
{
    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    ++m_connectionsAccepted;
    const int server = ConnectTo(m_targetHost, m_targetPort);
    if (server < 0) {
        // Nobody at the other end: the client sees its connection closed.
        ::close(client);
        return;
    }
    NoDelay(client);
    NoDelay(server);
    Reap();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_connections.push_back(std::make_unique<RelayConnection>(client, server, m_delayMs, m_turns));
}

void DelayRelay::Reap()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_connections.erase(std::remove_if(m_connections.begin(), m_connections.end(),
                                       [](const std::unique_ptr<RelayConnection>& each) { return each->Ended(); }),
                        m_connections.end());
}

} // namespace standin
