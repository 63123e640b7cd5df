#include "web/server.h"

#include <httplib.h>

#include <QHostAddress>
#include <QString>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace web {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Set on the accepting thread while it answers a connection the queue has no room for.
thread_local bool t_overflow = false;

const char *statusText(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray plainAnswer(int status, const QByteArray &reason)
{
    QByteArray a = "HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status) + "\r\n";
    for (const auto &[name, value] : securityHeaders())
        a += name + ": " + value + "\r\n";
    const QByteArray body = reason + '\n';
    a += "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
    return a;
}

QByteArray peerAddress(int fd)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return "?";
    QHostAddress a(reinterpret_cast<sockaddr *>(&addr));
    return a.toString().toLatin1();
}

// Writes everything or gives up after the timeout without progress; never raises SIGPIPE.
bool writeAll(int fd, const char *data, size_t size, std::chrono::milliseconds timeout)
{
    while (size > 0) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, int(timeout.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// A header's value in a raw head (names in any case); nothing when absent, and `count` says how many.
QList<QByteArray> headerValues(const QByteArray &head, const QByteArray &lowerName)
{
    QList<QByteArray> values;
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == lowerName)
            values << line.mid(colon + 1).trimmed();
    }
    return values;
}

struct WholeRequest {
    int status = 0; // 0: read whole
    QByteArray reason;
    QByteArray bytes;
};

// Reads one request, head and body, before anything parses it: a client that is slow, sends too much, or
// sends a body of unknown length is answered without a worker waiting on it for long.
WholeRequest readWhole(int fd, SteadyClock::time_point deadline)
{
    WholeRequest r;
    qsizetype headEnd = -1;
    qint64 need = -1;
    char chunk[4096];
    for (;;) {
        if (headEnd < 0) {
            headEnd = r.bytes.indexOf("\r\n\r\n");
            if (headEnd < 0 && r.bytes.size() > MaxHeadBytes)
                return {431, "the request line and headers exceed 8 KiB", {}};
            if (headEnd >= 0) {
                if (headEnd + 4 > MaxHeadBytes)
                    return {431, "the request line and headers exceed 8 KiB", {}};
                const QByteArray head = r.bytes.left(headEnd);
                if (!headerValues(head, "transfer-encoding").isEmpty())
                    return {411, "a body needs a Content-Length", {}};
                const QList<QByteArray> lengths = headerValues(head, "content-length");
                if (lengths.size() > 1)
                    return {400, "more than one Content-Length", {}};
                need = 0;
                if (!lengths.isEmpty()) {
                    bool ok = false;
                    need = lengths.first().toLongLong(&ok);
                    if (!ok || need < 0)
                        return {400, "a Content-Length that is no number", {}};
                    if (need > MaxBodyBytes)
                        return {413, "the body exceeds 64 KiB", {}};
                }
            }
        }
        if (headEnd >= 0 && r.bytes.size() >= headEnd + 4 + need) {
            r.bytes.truncate(headEnd + 4 + need);
            return r;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0)
            return {408, "the request did not arrive in time", {}};
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline check above answers
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return {-1, {}, {}}; // the client went away
        r.bytes.append(chunk, n);
        if (r.bytes.size() > MaxHeadBytes + 4 + MaxBodyBytes)
            return {413, "the body exceeds 64 KiB", {}};
    }
}

// The library reads the request from what was read whole, and writes straight to the socket.
class BufferStream : public httplib::Stream {
public:
    BufferStream(int fd, QByteArray in, std::chrono::milliseconds writeTimeout)
        : m_fd(fd), m_in(std::move(in)), m_writeTimeout(writeTimeout)
    {
    }
    bool is_readable() const override { return m_pos < m_in.size(); }
    bool is_writable() const override
    {
        pollfd p{m_fd, POLLOUT, 0};
        return ::poll(&p, 1, int(m_writeTimeout.count())) > 0 && (p.revents & (POLLERR | POLLHUP)) == 0;
    }
    ssize_t read(char *ptr, size_t size) override
    {
        const size_t n = std::min(size, size_t(m_in.size() - m_pos));
        std::memcpy(ptr, m_in.constData() + m_pos, n);
        m_pos += qsizetype(n);
        return ssize_t(n);
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        return writeAll(m_fd, ptr, size, m_writeTimeout) ? ssize_t(size) : -1;
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        port = 0;
        if (::getpeername(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0) {
            QHostAddress a(reinterpret_cast<sockaddr *>(&addr));
            ip = a.toString().toStdString();
            port = addr.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&addr)->sin6_port)
                                              : ntohs(reinterpret_cast<sockaddr_in *>(&addr)->sin_port);
        }
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        ip.clear();
        port = 0;
    }
    socket_t socket() const override { return m_fd; }

private:
    int m_fd;
    QByteArray m_in;
    qsizetype m_pos = 0;
    std::chrono::milliseconds m_writeTimeout;
};

// A fixed set of workers and a bounded queue. A connection past the queue is answered at once on the
// accepting thread (t_overflow), so it costs neither a worker nor memory.
class Pool : public httplib::TaskQueue {
public:
    Pool(int workers, int queued) : m_limit(size_t(queued))
    {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override
    {
        {
            std::unique_lock lock(m_mutex);
            if (m_jobs.size() < m_limit && !m_shutdown) {
                m_jobs.push_back(std::move(fn));
                m_ready.notify_one();
                return;
            }
        }
        t_overflow = true;
        fn();
        t_overflow = false;
    }
    void shutdown() override
    {
        {
            std::unique_lock lock(m_mutex);
            m_shutdown = true;
        }
        m_ready.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            fn();
        }
    }

    size_t m_limit;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

Request gateView(const httplib::Request &req)
{
    Request r;
    r.method = QByteArray::fromStdString(req.method);
    r.path = QByteArray::fromStdString(req.path);
    r.host = QByteArray::fromStdString(req.get_header_value("Host"));
    r.origin = QByteArray::fromStdString(req.get_header_value("Origin"));
    r.secFetchSite = QByteArray::fromStdString(req.get_header_value("Sec-Fetch-Site"));
    r.authorization = QByteArray::fromStdString(req.get_header_value("Authorization"));
    r.contentType = QByteArray::fromStdString(req.get_header_value("Content-Type"));
    r.queryToken = QByteArray::fromStdString(req.get_param_value("token"));
    return r;
}

std::string text(const QByteArray &bytes)
{
    return bytes.toStdString();
}

} // namespace

class Server::Transport : public httplib::Server {
public:
    Transport(Site &site, Policy policy, Limits limits, Log log)
        : m_site(site), m_policy(std::move(policy)), m_routes(site.routes()), m_limits(limits),
          m_log(std::move(log))
    {
        new_task_queue = [this] { return new Pool(m_limits.workers, m_limits.queued); };
        set_payload_max_length(MaxBodyBytes);
        set_keep_alive_max_count(1);
        httplib::Headers headers;
        for (const auto &[name, value] : securityHeaders())
            headers.emplace(text(name), text(value));
        set_default_headers(headers);
        set_pre_routing_handler(
            [this](const httplib::Request &req, httplib::Response &res) { return gate(req, res); });
        const auto dispatch = [this](const httplib::Request &req, httplib::Response &res) {
            const Reply reply =
                m_site.answer(QByteArray::fromStdString(req.method), QByteArray::fromStdString(req.path),
                              QByteArray::fromStdString(req.body));
            res.status = reply.status;
            res.set_content(text(reply.body), text(reply.type));
        };
        Get(".*", dispatch);
        Post(".*", dispatch);
        set_error_handler([](const httplib::Request &, httplib::Response &res) {
            if (res.body.empty())
                res.set_content(std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
        });
        set_logger([this](const httplib::Request &req, const httplib::Response &res) {
            if (req.method == "POST")
                this->log(QStringLiteral("POST %1 from %2: %3")
                              .arg(QString::fromStdString(req.path).left(64),
                                   QString::fromStdString(req.remote_addr))
                              .arg(res.status));
        });
    }

    void halt()
    {
        m_stopping = true;
        stop();
    }

    void log(const QString &line)
    {
        if (m_log)
            m_log(line);
    }

    bool process_and_close_socket(socket_t sock) override
    {
        const auto finish = [sock] {
            ::shutdown(sock, SHUT_RDWR);
            ::close(sock);
            return true;
        };
        if (t_overflow) {
            const QByteArray a = plainAnswer(503, "too many connections; try again in a moment");
            ::send(sock, a.constData(), size_t(a.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            log(QStringLiteral("refused a connection from %1: too many connections")
                    .arg(QString::fromLatin1(peerAddress(sock))));
            return finish();
        }
        WholeRequest r = readWhole(sock, SteadyClock::now() + m_limits.requestDeadline);
        if (r.status != 0) {
            if (r.status > 0) {
                const QByteArray a = plainAnswer(r.status, r.reason);
                writeAll(sock, a.constData(), size_t(a.size()), m_limits.writeTimeout);
                log(QStringLiteral("refused a request from %1: %2")
                        .arg(QString::fromLatin1(peerAddress(sock)), QString::fromLatin1(r.reason)));
            }
            return finish();
        }
        BufferStream stream(sock, std::move(r.bytes), m_limits.writeTimeout);
        bool closed = false;
        process_request(stream, true, closed, nullptr);
        return finish();
    }

private:
    HandlerResponse gate(const httplib::Request &req, httplib::Response &res)
    {
        const QByteArray address = QByteArray::fromStdString(req.remote_addr);
        const auto refuse = [&](int status, const QByteArray &reason) {
            res.status = status;
            res.set_content(text(reason + '\n'), "text/plain; charset=utf-8");
            return HandlerResponse::Handled;
        };
        if (req.get_header_value_count("Host") != 1)
            return refuse(400, "one Host header is needed");
        const Request view = gateView(req);
        const Verdict v = judge(view, m_policy, m_routes, m_badTokens.blocked(address, SteadyClock::now()));
        if (v.badToken)
            m_badTokens.record(address, SteadyClock::now());
        if (v.status != 0)
            return refuse(v.status, v.reason);
        for (const Route &route : m_routes) {
            if (route.access == Access::Stream && view.path == route.path)
                return stream(res, refuse);
        }
        return HandlerResponse::Unhandled;
    }

    template <typename Refuse> HandlerResponse stream(httplib::Response &res, const Refuse &refuse)
    {
        if (m_streams.fetch_add(1) >= m_limits.streams) {
            --m_streams;
            return refuse(503, "too many open streams");
        }
        auto cursor = std::make_shared<quint64>(0);
        // A phone that sleeps leaves its stream open where TCP does not notice for many minutes; a stream
        // therefore ends after a while, and the browser opens a new one at once (the retry below), so old
        // ones never hold the places of the streams allowed.
        const SteadyClock::time_point end = SteadyClock::now() + m_limits.streamLifetime;
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, cursor, end](size_t offset, httplib::DataSink &sink) {
                if (m_stopping || SteadyClock::now() >= end)
                    return false;
                const std::optional<QByteArray> next =
                    m_site.nextEvents(*cursor, std::chrono::milliseconds(1000));
                if (!next)
                    return false;
                QByteArray events = offset == 0 ? "retry: 1000\n\n" + *next : *next;
                if (events.isEmpty())
                    events = ": still here\n\n"; // a comment, so a dead reader is noticed
                return sink.write(events.constData(), size_t(events.size()));
            },
            [this](bool) { --m_streams; });
        return HandlerResponse::Handled;
    }

    Site &m_site;
    Policy m_policy;
    QList<Route> m_routes;
    Limits m_limits;
    Log m_log;
    BadTokenLimit m_badTokens;
    std::atomic<int> m_streams{0};
    std::atomic<bool> m_stopping{false};
};

Server::Server(Site &site, Policy policy, Limits limits, Log log)
    : m_transport(std::make_unique<Transport>(site, std::move(policy), limits, std::move(log)))
{
}

Server::~Server()
{
    stop();
}

bool Server::bind(const QString &address, int port, QString *failure)
{
    if (QHostAddress(address).protocol() == QAbstractSocket::IPv6Protocol)
        m_transport->set_address_family(AF_INET6);
    if (port == 0)
        m_port = m_transport->bind_to_any_port(address.toStdString());
    else
        m_port = m_transport->bind_to_port(address.toStdString(), port) ? port : -1;
    if (m_port <= 0) {
        *failure = QStringLiteral("cannot listen on %1 port %2: %3")
                       .arg(address)
                       .arg(port)
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

int Server::port() const
{
    return m_port;
}

void Server::start()
{
    m_thread = std::thread([this] { m_transport->listen_after_bind(); });
}

void Server::stop()
{
    if (m_thread.joinable()) {
        m_transport->halt();
        m_thread.join();
    }
}

} // namespace web
