#include "web/server.h"

#include <httplib.h>

#include "serial/devicepath.h"

#include <QHostAddress>
#include <QString>

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace web {

namespace {

using SteadyClock = std::chrono::steady_clock;

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

// Request handling gives way to a send: the threads that read and answer requests run at a lower priority
// than the rest of the process, so on a busy machine the send step's thread is woken on time for its next
// byte rather than queued behind a burst of requests. (Raising the send's own priority needs privileges.)
void yieldToSends()
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0); // this thread's, on Linux
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, 0, std::min(nice + 10, 19));
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
};

// Judges what has arrived of one request: nothing while more is needed; status 0 when it is whole (the
// bytes then hold exactly the request); otherwise the answer that refuses it. The head is read as sent:
// nothing is decoded or cut at a NUL before the gate sees it.
std::optional<WholeRequest> judgeArrived(QByteArray &bytes)
{
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (bytes.size() > MaxHeadBytes)
            return WholeRequest{431, "the request line and headers exceed 8 KiB"};
        return std::nullopt;
    }
    if (headEnd + 4 > MaxHeadBytes)
        return WholeRequest{431, "the request line and headers exceed 8 KiB"};
    const QByteArray head = bytes.left(headEnd);
    if (!headerValues(head, "transfer-encoding").isEmpty())
        return WholeRequest{411, "a body needs a Content-Length"};
    const QList<QByteArray> lengths = headerValues(head, "content-length");
    if (lengths.size() > 1)
        return WholeRequest{400, "more than one Content-Length"};
    qint64 need = 0;
    if (!lengths.isEmpty()) {
        bool ok = false;
        need = lengths.first().toLongLong(&ok);
        if (!ok || need < 0)
            return WholeRequest{400, "a Content-Length that is no number"};
        if (need > MaxBodyBytes)
            return WholeRequest{413, "the body exceeds 64 KiB"};
    }
    if (bytes.size() < headEnd + 4 + need)
        return std::nullopt;
    bytes.truncate(headEnd + 4 + need);
    return WholeRequest{};
}

// The head of the request a worker serves, as it was sent: the gate and the log read it, not the
// library's decoded copy.
thread_local QByteArray t_head;

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

// The library's accepting thread hands each connection straight on (to Arrivals), never to a worker.
class Inline : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// Requests that are still arriving, read on one thread for all of them, so a client that dribbles its head
// (or sends nothing) holds no worker. A request that is whole goes to `whole`; one that is refused, late or
// past the limit is answered here and closed. Past `limit` connections the oldest one is dropped, so a
// flood of slow ones gives way to a real client, whose request arrives at once.
class Arrivals {
public:
    using Whole = std::function<void(int fd, QByteArray request)>;
    using Refused = std::function<void(int fd, int status, const QByteArray &reason)>;

    Arrivals(int limit, std::chrono::milliseconds deadline, Whole whole, Refused refused)
        : m_limit(limit), m_deadline(deadline), m_whole(std::move(whole)), m_refused(std::move(refused))
    {
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            m_wake[0] = m_wake[1] = -1;
        m_thread = std::thread([this] {
            yieldToSends();
            run();
        });
    }
    ~Arrivals() { stop(); }

    void add(int fd)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_incoming.push_back(fd);
        }
        wake();
    }

    void stop()
    {
        if (!m_thread.joinable())
            return;
        m_stopping = true;
        wake();
        m_thread.join();
        for (const Pending &p : m_pending)
            ::close(p.fd);
        for (int fd : m_incoming)
            ::close(fd);
        m_pending.clear();
        m_incoming.clear();
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }

private:
    struct Pending {
        int fd;
        SteadyClock::time_point deadline;
        QByteArray bytes;
    };

    void wake()
    {
        const char c = 0;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &c, 1);
    }

    void take()
    {
        std::vector<int> incoming;
        {
            const std::lock_guard lock(m_mutex);
            incoming.swap(m_incoming);
        }
        for (int fd : incoming) {
            if (int(m_pending.size()) >= m_limit) {
                m_refused(m_pending.front().fd, 503, "too many connections; try again in a moment");
                m_pending.erase(m_pending.begin());
            }
            m_pending.push_back({fd, SteadyClock::now() + m_deadline, {}});
        }
    }

    // Reads what is there; true when the connection is done with here (handed on or answered).
    bool read(Pending &p)
    {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::recv(p.fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return false;
            if (n <= 0) { // the client went away
                ::close(p.fd);
                return true;
            }
            p.bytes.append(chunk, n);
            if (const std::optional<WholeRequest> r = judgeArrived(p.bytes)) {
                if (r->status == 0)
                    m_whole(p.fd, std::move(p.bytes));
                else
                    m_refused(p.fd, r->status, r->reason);
                return true;
            }
        }
    }

    void run()
    {
        std::vector<pollfd> polled;
        while (!m_stopping) {
            take();
            polled.assign(1, pollfd{m_wake[0], POLLIN, 0});
            SteadyClock::time_point next = SteadyClock::now() + std::chrono::seconds(60);
            for (const Pending &p : m_pending) {
                polled.push_back({p.fd, POLLIN, 0});
                next = std::min(next, p.deadline);
            }
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - SteadyClock::now());
            if (::poll(polled.data(), nfds_t(polled.size()), int(std::max<qint64>(0, wait.count()))) < 0 &&
                errno != EINTR)
                continue;
            if (polled[0].revents != 0) {
                char drain[64];
                while (::read(m_wake[0], drain, sizeof drain) > 0) {
                }
            }
            const SteadyClock::time_point now = SteadyClock::now();
            std::vector<Pending> staying;
            for (size_t i = 0; i < m_pending.size(); ++i) {
                Pending &p = m_pending[i];
                if (polled[i + 1].revents != 0 && read(p))
                    continue;
                if (now >= p.deadline) {
                    m_refused(p.fd, 408, "the request did not arrive in time");
                    continue;
                }
                staying.push_back(std::move(p));
            }
            m_pending.swap(staying);
        }
    }

    const int m_limit;
    const std::chrono::milliseconds m_deadline;
    Whole m_whole;
    Refused m_refused;
    int m_wake[2] = {-1, -1};
    std::mutex m_mutex;
    std::vector<int> m_incoming;
    std::vector<Pending> m_pending; // on the thread alone
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// A fixed set of workers and a bounded queue of whole requests; past the queue, 503 at once.
class Workers {
public:
    using Serve = std::function<void(int fd, QByteArray request)>;

    Workers(int workers, int queued, Serve serve) : m_limit(size_t(queued)), m_serve(std::move(serve))
    {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] {
                yieldToSends();
                work();
            });
    }
    ~Workers() { stop(); }

    // false when the queue is full: the caller answers.
    bool add(int fd, QByteArray request)
    {
        const std::lock_guard lock(m_mutex);
        if (m_jobs.size() >= m_limit || m_shutdown)
            return false;
        m_jobs.push_back({fd, std::move(request)});
        m_ready.notify_one();
        return true;
    }

    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_shutdown = true;
        }
        m_ready.notify_all();
        for (std::thread &t : m_threads)
            t.join();
        m_threads.clear();
        for (const auto &job : m_jobs)
            ::close(job.first);
        m_jobs.clear();
    }

private:
    void work()
    {
        for (;;) {
            std::pair<int, QByteArray> job;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
                if (m_shutdown)
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            m_serve(job.first, std::move(job.second));
        }
    }

    size_t m_limit;
    Serve m_serve;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::pair<int, QByteArray>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

// The first value of a header in the raw head, trimmed, as sent; how many there are in `count`.
QByteArray rawHeader(const QByteArray &head, const QByteArray &lowerName, qsizetype *count = nullptr)
{
    const QList<QByteArray> values = headerValues(head, lowerName);
    if (count)
        *count = values.size();
    return values.value(0);
}

// The request target as sent: path and query, nothing decoded.
QByteArray rawTarget(const QByteArray &head)
{
    const QByteArray line = head.left(head.indexOf('\r'));
    const qsizetype first = line.indexOf(' ');
    const qsizetype last = line.lastIndexOf(' ');
    return first >= 0 && last > first ? line.mid(first + 1, last - first - 1) : QByteArray();
}

// The gate's view: method and path as the library parsed them; the header values from the raw head.
Request gateView(const httplib::Request &req, const QByteArray &head)
{
    Request r;
    r.method = QByteArray::fromStdString(req.method);
    r.path = QByteArray::fromStdString(req.path);
    r.host = rawHeader(head, "host");
    r.origin = rawHeader(head, "origin");
    r.secFetchSite = rawHeader(head, "sec-fetch-site");
    r.secFetchMode = rawHeader(head, "sec-fetch-mode");
    r.authorization = rawHeader(head, "authorization");
    r.contentType = rawHeader(head, "content-type");
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
        new_task_queue = [] { return new Inline; };
        // Without SO_REUSEPORT (the library's default), so a second service on the same address and port
        // fails instead of sharing the connections with the first.
        set_socket_options([](socket_t sock) {
            const int yes = 1;
            ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
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
            // The path as it was sent, escaped: a request must not write lines or escapes of its own.
            if (req.method == "POST")
                this->log(QStringLiteral("POST %1 from %2: %3")
                              .arg(serial::printable(QString::fromUtf8(rawTarget(t_head).left(64))),
                                   QString::fromStdString(req.remote_addr), QString::number(res.status)));
        });
        m_workers = std::make_unique<Workers>(m_limits.workers, m_limits.queued,
                                              [this](int fd, QByteArray request) { serve(fd, request); });
        m_arrivals = std::make_unique<Arrivals>(
            m_limits.arriving, m_limits.requestDeadline,
            [this](int fd, QByteArray request) {
                if (!m_workers->add(fd, std::move(request)))
                    refuse(fd, 503, "too many connections; try again in a moment");
            },
            [this](int fd, int status, const QByteArray &reason) { refuse(fd, status, reason); });
    }

    ~Transport() override { drain(); }

    void halt()
    {
        m_stopping = true;
        stop();
    }

    // After the accepting thread has ended: no request is read or served any more.
    void drain()
    {
        m_stopping = true;
        m_arrivals->stop();
        m_workers->stop();
    }

    void log(const QString &line)
    {
        if (m_log)
            m_log(line);
    }

    bool process_and_close_socket(socket_t sock) override
    {
        if (m_stopping)
            ::close(sock);
        else
            m_arrivals->add(sock);
        return true;
    }

private:
    static void finish(int fd)
    {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    // Answers without a worker: the answer is short, so it is written without waiting.
    void refuse(int fd, int status, const QByteArray &reason)
    {
        const QByteArray a = plainAnswer(status, reason);
        ::send(fd, a.constData(), size_t(a.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        log(QStringLiteral("refused a request from %1: %2")
                .arg(QString::fromLatin1(peerAddress(fd)), QString::fromLatin1(reason)));
        finish(fd);
    }

    void serve(int fd, const QByteArray &request)
    {
        t_head = request.left(request.indexOf("\r\n\r\n"));
        BufferStream stream(fd, request, m_limits.writeTimeout);
        bool closed = false;
        process_request(stream, true, closed, nullptr);
        t_head.clear();
        finish(fd);
    }

    HandlerResponse gate(const httplib::Request &req, httplib::Response &res)
    {
        const QByteArray address = QByteArray::fromStdString(req.remote_addr);
        const auto refuse = [&](int status, const QByteArray &reason) {
            res.status = status;
            res.set_content(text(reason + '\n'), "text/plain; charset=utf-8");
            return HandlerResponse::Handled;
        };
        qsizetype hosts = 0;
        rawHeader(t_head, "host", &hosts);
        if (hosts != 1)
            return refuse(400, "one Host header is needed");
        const Request view = gateView(req, t_head);
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
    std::unique_ptr<Workers> m_workers;
    std::unique_ptr<Arrivals> m_arrivals;
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
        const int error = errno;
        *failure = QStringLiteral("cannot listen on %1 port %2: %3")
                       .arg(address)
                       .arg(port)
                       .arg(error == EADDRINUSE ? QStringLiteral("address already in use")
                                                : QString::fromLocal8Bit(std::strerror(error)));
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
    m_thread = std::thread([this] {
        yieldToSends();
        m_transport->listen_after_bind();
    });
}

void Server::stop()
{
    if (m_thread.joinable()) {
        m_transport->halt();
        m_thread.join();
    }
    m_transport->drain();
}

} // namespace web
