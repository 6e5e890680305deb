// RelayConnection: one connection through a DelayRelay, a client's socket and the one opened to the
// target for it. Each direction has a reading thread, which stamps every chunk with the time it is
// due, and a writing thread, which sends it then; at most kMaxInFlight bytes wait per direction.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace standin {

class RelayConnection {
public:
    static constexpr std::size_t kMaxInFlight = 1 << 20;

    // Takes both sockets. delayMs: read at every chunk; turns: counts replies after requests.
    RelayConnection(int client, int server, const std::atomic<long long>& delayMs, std::atomic<long>& turns);
    // Stops, joins the threads and closes both sockets.
    ~RelayConnection();
    RelayConnection(const RelayConnection&) = delete;
    RelayConnection& operator=(const RelayConnection&) = delete;

    // Both directions have ended (their sides closed or failed).
    bool Ended() const { return m_running == 0; }

private:
    enum class Side { kNone, kClient, kServer };

    struct Chunk {
        std::chrono::steady_clock::time_point due;
        std::string data; // empty: the side closed
    };

    struct Direction {
        int from = -1;
        int to = -1;
        Side reads = Side::kNone;
        std::mutex mutex; // guards the members below
        std::condition_variable changed;
        std::deque<Chunk> chunks;
        std::size_t bytes = 0;
        bool stopping = false;
    };

    void Read(Direction& direction);
    void Write(Direction& direction);
    // Breaks both directions off: a side failed, or the relay is stopping.
    void Abort();
    void Count(Side side);

    int m_client;
    int m_server;
    const std::atomic<long long>& m_delayMs;
    std::atomic<long>& m_turns;
    std::atomic<Side> m_lastSide{Side::kNone};
    std::atomic<int> m_running{4};
    Direction m_up;   // client to server
    Direction m_down; // server to client
    std::thread m_threads[4];
};

} // namespace standin
