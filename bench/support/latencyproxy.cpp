#include "latencyproxy.h"

#include "benchsupport.h"

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>

namespace torvel::bench {

namespace {

using Clock = std::chrono::steady_clock;

// One direction of one connection: what was read waits in order until its
// time has come, so the delay adds to every trip without reordering bytes.
class Pipe
{
public:
    Pipe(int from, int to, std::chrono::microseconds delay) : m_from(from), m_to(to), m_delay(delay) {}

    void read()
    {
        std::vector<char> buffer(64 * 1024);
        while (true) {
            const ssize_t n = ::recv(m_from, buffer.data(), buffer.size(), 0);
            std::lock_guard lock(m_mutex);
            if (n <= 0) {
                m_closed = true;
                m_ready.notify_one();
                return;
            }
            m_chunks.push_back({Clock::now() + m_delay, std::vector<char>(buffer.begin(), buffer.begin() + n)});
            m_ready.notify_one();
        }
    }

    void write()
    {
        while (true) {
            Chunk chunk;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_closed || !m_chunks.empty(); });
                if (m_chunks.empty()) {
                    ::shutdown(m_to, SHUT_WR);
                    return;
                }
                chunk = std::move(m_chunks.front());
                m_chunks.pop_front();
            }
            std::this_thread::sleep_until(chunk.due);
            size_t sent = 0;
            while (sent < chunk.bytes.size()) {
                const ssize_t n = ::send(m_to, chunk.bytes.data() + sent, chunk.bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                sent += size_t(n);
            }
        }
    }

private:
    struct Chunk
    {
        Clock::time_point due;
        std::vector<char> bytes;
    };
    int m_from, m_to;
    std::chrono::microseconds m_delay;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Chunk> m_chunks;
    bool m_closed = false;
};

void noDelay(int socket)
{
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace

LatencyProxy::LatencyProxy(const char *targetHost, uint16_t targetPort, std::chrono::microseconds delayEachWay)
    : m_delay(delayEachWay), m_targetPort(targetPort)
{
    if (::inet_pton(AF_INET, targetHost, &m_targetAddress) != 1)
        die(QStringLiteral("latency proxy: not an IPv4 address: ") + QString::fromUtf8(targetHost));
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        die(QStringLiteral("latency proxy: cannot listen on loopback"));
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LatencyProxy::~LatencyProxy()
{
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_acceptor.join();
    {
        std::lock_guard lock(m_mutex);
        for (int s : m_sockets)
            ::shutdown(s, SHUT_RDWR);
    }
    for (std::thread &t : m_pumps)
        t.join();
    for (int s : m_sockets)
        ::close(s);
}

void LatencyProxy::acceptLoop()
{
    while (!m_stopping) {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = m_targetAddress;
        target.sin_port = htons(m_targetPort);
        if (server < 0 || ::connect(server, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            continue;
        }
        noDelay(client);
        noDelay(server);
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_sockets.push_back(server);
        // Each pipe lives as long as its threads; the last one to finish frees it.
        for (auto [from, to] : {std::pair(client, server), std::pair(server, client)}) {
            auto pipe = std::make_shared<Pipe>(from, to, m_delay);
            m_pumps.emplace_back([pipe] { pipe->read(); });
            m_pumps.emplace_back([pipe] { pipe->write(); });
        }
    }
}

} // namespace torvel::bench
