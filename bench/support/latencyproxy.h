#pragma once

// A TCP relay on loopback that holds every chunk of bytes for a fixed delay
// in each direction before passing it on: a server on this machine as a
// client on a real network would see it. One listening port; each accepted
// client gets its own connection to the target.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace torvel::bench {

class LatencyProxy
{
public:
    // Listens on 127.0.0.1 at a free port and relays to targetHost:targetPort.
    LatencyProxy(const char *targetHost, uint16_t targetPort, std::chrono::microseconds delayEachWay);
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy &) = delete;
    LatencyProxy &operator=(const LatencyProxy &) = delete;

    uint16_t port() const { return m_port; }

private:
    void acceptLoop();

    std::chrono::microseconds m_delay;
    uint32_t m_targetAddress = 0;   // network order
    uint16_t m_targetPort = 0;      // host order
    uint16_t m_port = 0;
    int m_listener = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
    std::vector<int> m_sockets;
};

} // namespace torvel::bench
