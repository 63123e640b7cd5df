// A TCP server on the loopback interface for tests of network sources, bounded and stopped by the test.
#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// A TCP server on a thread of its own: each connection, one after another, is handed to the session with
// its number (from 1); the connection is closed when the session returns.
class LoopbackServer {
public:
    using Session = std::function<void(int fd, int number, const std::atomic<bool> &stop)>;
    ~LoopbackServer() { stop(); }
    bool start(Session session, bool ipv6)
    {
        m_fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
        sockaddr_storage a{};
        socklen_t size;
        if (ipv6) {
            auto *six = reinterpret_cast<sockaddr_in6 *>(&a);
            six->sin6_family = AF_INET6;
            six->sin6_addr = in6addr_loopback;
            size = sizeof *six;
        } else {
            auto *four = reinterpret_cast<sockaddr_in *>(&a);
            four->sin_family = AF_INET;
            four->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            size = sizeof *four;
        }
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), size) != 0 || ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &size) != 0)
            return false;
        m_port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 *>(&a)->sin6_port
                            : reinterpret_cast<sockaddr_in *>(&a)->sin_port);
        m_thread = std::thread([this, session] {
            while (!m_stop) {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                const int c = ::accept(m_fd, nullptr, nullptr);
                if (c < 0)
                    continue;
                session(c, ++m_accepted, m_stop);
                ::close(c);
            }
        });
        return true;
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Writes to a connection the client may already have closed: false then, never SIGPIPE.
    static bool send(int fd, const char *data, size_t size)
    {
        return ::send(fd, data, size, MSG_NOSIGNAL) == ssize_t(size);
    }
    quint16 port() const { return m_port; }
    int accepted() const { return m_accepted; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
