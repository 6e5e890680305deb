// RecordingProxy: an HTTP proxy on 127.0.0.1 that tunnels CONNECT requests to their target and
// records the request line of each, to show that a client went through it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordingProxy {
public:
    RecordingProxy();
    ~RecordingProxy();
    RecordingProxy(const RecordingProxy&) = delete;
    RecordingProxy& operator=(const RecordingProxy&) = delete;

    // 0 when it could not listen.
    int Port() const { return m_port; }
    // The request lines seen so far ("CONNECT 127.0.0.1:4443 HTTP/1.1").
    std::vector<std::string> Requests() const;

private:
    void Accept();
    void Tunnel(int client);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_tunnels;
    std::thread m_acceptor;
};
