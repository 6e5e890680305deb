// DelayRelay: a TCP relay on 127.0.0.1 that stands for a link with distance between a client and a
// server: every chunk read on one side is written to the other side a set delay later, in order,
// in each direction (a delay of 50 ms each way is a round trip of 100 ms). TLS and every other
// protocol pass through untouched.
//
// Each connection it accepts opens one to the target; a side that closes or fails closes the
// other (after the delay, like the data before it). It counts the connections it accepted and the
// turns (a reply from the server after data from the client: one request/response round trip).
// What is in flight per direction is bounded; a full direction stops reading until it drains.
// Its own threads do the work; the destructor stops them and closes every socket.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace standin {

class RelayConnection;

class DelayRelay {
public:
    struct Counts {
        int connections = 0;
        long turns = 0;
    };

    // Listens on a free loopback port; Error() says why when it could not.
    DelayRelay(std::string targetHost, int targetPort, std::chrono::milliseconds delayEachWay);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    const std::string& Error() const { return m_error; }
    // 0 when it could not listen.
    int Port() const { return m_port; }
    // The delay for what is read from now on, each way.
    void SetDelay(std::chrono::milliseconds delayEachWay);
    std::chrono::milliseconds Delay() const;
    Counts Count() const;
    // Closes every connection open now, on both sides: a link that drops. Later ones are relayed.
    void CutAll();

    // url with its host and port replaced by the relay's (scheme://host:port/path).
    std::string UrlThrough(const std::string& url) const;

private:
    void AcceptLoop();
    void Accept();
    // Joins and forgets the connections that have ended.
    void Reap();

    std::string m_targetHost;
    int m_targetPort = 0;
    std::atomic<long long> m_delayMs;
    std::string m_error;
    int m_listener = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1}; // written to stop the accepting thread
    std::atomic<int> m_connectionsAccepted{0};
    std::atomic<long> m_turns{0};
    mutable std::mutex m_mutex; // guards m_connections
    std::vector<std::unique_ptr<RelayConnection>> m_connections;
    std::thread m_acceptor;
};

} // namespace standin
