#include "testkit/RelayConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace standin {

namespace {
constexpr std::size_t kReadSize = 64 * 1024;
} // namespace

RelayConnection::RelayConnection(int client, int server, const std::atomic<long long>& delayMs,
                                 std::atomic<long>& turns)
    : m_client(client), m_server(server), m_delayMs(delayMs), m_turns(turns)
{
    m_up.from = client;
    m_up.to = server;
    m_up.reads = Side::kClient;
    m_down.from = server;
    m_down.to = client;
    m_down.reads = Side::kServer;
    m_threads[0] = std::thread(&RelayConnection::Read, this, std::ref(m_up));
    m_threads[1] = std::thread(&RelayConnection::Write, this, std::ref(m_up));
    m_threads[2] = std::thread(&RelayConnection::Read, this, std::ref(m_down));
    m_threads[3] = std::thread(&RelayConnection::Write, this, std::ref(m_down));
}

RelayConnection::~RelayConnection()
{
    Abort();
    for (std::thread& thread : m_threads)
        thread.join();
    ::close(m_client);
    ::close(m_server);
}

void RelayConnection::Abort()
{
    for (Direction* direction : {&m_up, &m_down}) {
        const std::lock_guard<std::mutex> lock(direction->mutex);
        direction->stopping = true;
        direction->changed.notify_all();
    }
    // Wakes the reading threads out of recv.
    ::shutdown(m_client, SHUT_RDWR);
    ::shutdown(m_server, SHUT_RDWR);
}

void RelayConnection::Count(Side side)
{
    // A server's data after the client's is the answer to a request: one round trip.
    const Side before = m_lastSide.exchange(side);
    if (side == Side::kServer && before == Side::kClient) ++m_turns;
}

void RelayConnection::Read(Direction& direction)
{
    std::string buffer(kReadSize, '\0');
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(direction.mutex);
            direction.changed.wait(lock, [&] { return direction.stopping || direction.bytes < kMaxInFlight; });
            if (direction.stopping) break;
        }
        const ssize_t got = ::recv(direction.from, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_delayMs.load());
        Chunk chunk{due, got > 0 ? buffer.substr(0, static_cast<std::size_t>(got)) : std::string()};
        if (got > 0) Count(direction.reads);
        const std::lock_guard<std::mutex> lock(direction.mutex);
        direction.bytes += chunk.data.size();
        direction.chunks.push_back(std::move(chunk));
        direction.changed.notify_all();
        if (got <= 0) break;
    }
    --m_running;
}

void RelayConnection::Write(Direction& direction)
{
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(direction.mutex);
            direction.changed.wait(lock, [&] { return direction.stopping || !direction.chunks.empty(); });
            if (direction.stopping) break;
            const auto due = direction.chunks.front().due;
            if (direction.changed.wait_until(lock, due, [&] { return direction.stopping; })) break;
            chunk = std::move(direction.chunks.front());
            direction.chunks.pop_front();
        }
        if (chunk.data.empty()) {
            // The side it reads closed: the other side hears the end, after the data before it.
            ::shutdown(direction.to, SHUT_WR);
            break;
        }
        std::size_t sent = 0;
        while (sent < chunk.data.size()) {
            const ssize_t wrote =
                ::send(direction.to, chunk.data.data() + sent, chunk.data.size() - sent, MSG_NOSIGNAL);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) break;
            sent += static_cast<std::size_t>(wrote);
        }
        if (sent < chunk.data.size()) {
            Abort();
            break;
        }
        const std::lock_guard<std::mutex> lock(direction.mutex);
        direction.bytes -= chunk.data.size();
        direction.changed.notify_all();
    }
    --m_running;
}

} // namespace standin
