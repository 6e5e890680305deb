#include "RecordingProxy.h"
#include "SvnSandbox.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPollMs = 100;
constexpr std::size_t kMaxHead = 16 * 1024;
constexpr const char* kEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";
constexpr const char* kRefused = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";

int ConnectTo(const std::string& hostPort)
{
    const auto colon = hostPort.rfind(':');
    if (colon == std::string::npos) return -1;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostPort.substr(0, colon).c_str(), hostPort.substr(colon + 1).c_str(), &hints, &found) != 0)
        return -1;
    int fd = socket(found->ai_family, found->ai_socktype, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

bool SendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

RecordingProxy::RecordingProxy()
{
    sockaddr_in address{};
    m_listener = ListenOnLoopback(SOMAXCONN, address);
    if (m_listener < 0) return;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread(&RecordingProxy::Accept, this);
}

RecordingProxy::~RecordingProxy()
{
    m_stopping = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    for (std::thread& tunnel : m_tunnels)
        tunnel.join();
    if (m_listener >= 0) close(m_listener);
}

std::vector<std::string> RecordingProxy::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void RecordingProxy::Accept()
{
    while (!m_stopping) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (poll(&waiting, 1, kPollMs) != 1) continue;
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0) continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tunnels.emplace_back(&RecordingProxy::Tunnel, this, client);
    }
}

void RecordingProxy::Tunnel(int client)
{
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead && !m_stopping) {
        pollfd waiting{client, POLLIN, 0};
        if (poll(&waiting, 1, kPollMs) != 1) continue;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string line = head.substr(0, head.find("\r\n"));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(line);
    }
    const std::string connect = "CONNECT ";
    int server = -1;
    if (line.rfind(connect, 0) == 0)
        server = ConnectTo(line.substr(connect.size(), line.find(' ', connect.size()) - connect.size()));
    if (server < 0) {
        SendAll(client, kRefused, std::string(kRefused).size());
        close(client);
        return;
    }
    SendAll(client, kEstablished, std::string(kEstablished).size());
    // Anything the client sent after the request head goes on to the server.
    const std::string rest = head.substr(head.find("\r\n\r\n") + 4);
    bool open = SendAll(server, rest.data(), rest.size());
    while (open && !m_stopping) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(ends, 2, kPollMs) <= 0) continue;
        for (int i = 0; i < 2 && open; ++i) {
            if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = recv(ends[i].fd, buffer, sizeof buffer, 0);
            open = got > 0 && SendAll(ends[1 - i].fd, buffer, static_cast<std::size_t>(got));
        }
    }
    close(server);
    close(client);
}
