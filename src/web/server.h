// The page's transport: cpp-httplib underneath, with the limits the library leaves open closed here. Each
// connection carries one request, read whole on one thread for all connections (head at most 8 KiB, body
// at most 64 KiB, both within the request deadline) before the library parses it, so a slow client holds
// no worker; a bounded pool serves the whole requests, and one past the queue is answered 503 at once.
// Every request then passes the gate (web/guard.h), which reads its headers as sent, before a handler runs.
#pragma once

#include "web/guard.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace web {

struct Reply {
    int status = 200;
    QByteArray type = "application/json";
    QByteArray body;
};

// What the server serves: its routes, the answers, and the push stream's events.
class Site {
public:
    virtual ~Site() = default;
    virtual QList<Route> routes() const = 0;
    virtual Reply answer(const QByteArray &method, const QByteArray &path, const QByteArray &body) = 0;
    // The next events of the push stream after `cursor` (moved on), waiting at most `wait` for one; empty
    // when none came, nothing when the stream is to end.
    virtual std::optional<QByteArray> nextEvents(quint64 &cursor, std::chrono::milliseconds wait) = 0;
};

struct Limits {
    int workers = 8;   // connections served at once
    int queued = 16;   // whole requests waiting for a worker; past them, 503
    int arriving = 64; // connections whose request is still arriving, read without a worker; past them,
                       // the oldest is answered 503
    int streams = 4;   // push streams open at once; past them, 503
    std::chrono::milliseconds streamLifetime{120'000}; // then the browser opens a new one at once
    std::chrono::milliseconds requestDeadline{10'000}; // the whole request must arrive within it
    std::chrono::milliseconds writeTimeout{5'000};     // a reader that takes nothing for this long is dropped
};

class Server {
public:
    using Log = std::function<void(const QString &line)>;
    Server(Site &site, Policy policy, Limits limits = {}, Log log = {});
    ~Server();

    // Binds to the address and port (0: any free port); false with why when it cannot.
    bool bind(const QString &address, int port, QString *failure);
    int port() const;
    // Serves on a thread of its own until stop().
    void start();
    void stop();

private:
    class Transport;
    std::unique_ptr<Transport> m_transport;
    std::thread m_thread;
    int m_port = 0;
};

} // namespace web
