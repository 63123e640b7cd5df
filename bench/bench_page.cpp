// Sends one location through the page's server (a POST to a real server on 127.0.0.1, its push stream open
// and other requests arriving meanwhile) and the same location through `mdconfig-cli send`, in the same run,
// each into a socat pseudo-terminal pair, and prints the largest spacing between the bytes of a repetition
// the receiver saw for both. Target: under 55 ms for both on a quiet machine.
#include "frame/pacing.h"
#include "support/ptypair.h"
#include "web/address.h"
#include "web/server.h"
#include "web/site.h"

#include <QCoreApplication>
#include <QProcess>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

using namespace std::chrono;

namespace {

const QByteArray Token = "0f1e2d3c4b5a69788796a5b4c3d2e1f0";

// The answer (its first 64 KiB) until the server closes or is silent for `ms`.
QByteArray exchange(int port, const QByteArray &request, int ms = 2000)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray out;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
        char buffer[4096];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, ms) > 0) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            if (out.size() < 64 * 1024)
                out.append(buffer, n);
        }
    }
    ::close(fd);
    return out;
}

double largestSpacing(const std::vector<PtyPair::Clock::time_point> &at, int frameLength)
{
    double largest = 0;
    for (size_t i = 1; i < at.size(); ++i)
        if (i % size_t(frameLength) != 0)
            largest = std::max(largest, duration<double, std::milli>(at[i] - at[i - 1]).count());
    return largest;
}

bool throughPage()
{
    PtyPair pty;
    if (!pty.start()) {
        std::fprintf(stderr, "bench_page: could not start socat\n");
        return false;
    }
    // The send step's own wake-ups, measured where they happen: how late each wait ended. What the
    // receiver adds on top (socat, its reading thread) is the rest of the spacing.
    std::atomic<long> latestMicros{0};
    plan::SendOptions options;
    options.pacing.wait = [&](frame::Clock::time_point deadline) {
        frame::waitUntil(deadline);
        const long late = long(duration_cast<microseconds>(frame::Clock::now() - deadline).count());
        if (late > latestMicros)
            latestMicros = late;
    };
    web::PageSite site(pty.sendEnd(), options);
    web::Server server(site, web::Policy{Token, web::hostNames({})});
    QString failure;
    if (!server.bind(QStringLiteral("127.0.0.1"), 0, &failure)) {
        std::fprintf(stderr, "bench_page: %s\n", qPrintable(failure));
        return false;
    }
    server.start();
    const int port = server.port();
    const QByteArray body = R"({"product": 0, "locations": [{"location": 3, "talker": "GP",
        "sentence": "RMC", "field": 5}]})";
    const QByteArray post =
        "POST /api/send HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + Token +
        "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\n\r\n" + body;
    // While it sends: the push stream open, and a page load and a status request every 20 ms.
    std::atomic<bool> done{false};
    std::thread stream([&] {
        exchange(port, "GET /api/events?token=" + Token + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 8000);
    });
    int requests = 0;
    std::thread load([&] {
        while (!done) {
            exchange(port, "GET /app.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            exchange(port, "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + Token +
                               "\r\n\r\n");
            requests += 2;
            std::this_thread::sleep_for(20ms);
        }
    });
    const QByteArray answer = exchange(port, post);
    const bool accepted = answer.startsWith("HTTP/1.1 202");
    pty.waitFor(100, 20000);
    done = true;
    load.join();
    site.close();
    stream.join();
    server.stop();
    const auto at = pty.arrivals();
    std::printf("through the page: %zu bytes received, %d other requests served meanwhile\n", at.size(),
                requests);
    std::printf("  largest spacing %.2f ms (target < 55 ms); the send step woke at most %.2f ms late\n",
                largestSpacing(at, 10), double(latestMicros) / 1000);
    return accepted && at.size() == 100;
}

bool throughSend(const QString &cli)
{
    PtyPair pty;
    if (!pty.start())
        return false;
    QProcess send;
    send.start(cli, {QStringLiteral("send"), QStringLiteral("standard"), QStringLiteral("--talker"),
                     QStringLiteral("GP"), QStringLiteral("--sentence"), QStringLiteral("RMC"),
                     QStringLiteral("--field"), QStringLiteral("5"), QStringLiteral("--memory"),
                     QStringLiteral("3"), QStringLiteral("--product"), QStringLiteral("0"),
                     QStringLiteral("--device"), pty.sendEnd()});
    send.waitForFinished(30000);
    pty.waitFor(100, 2000);
    const auto at = pty.arrivals();
    std::printf("through mdconfig-cli send: %zu bytes received\n", at.size());
    std::printf("  largest spacing %.2f ms (target < 55 ms)\n", largestSpacing(at, 10));
    return send.exitCode() == 0 && at.size() == 100;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/mdconfig-cli");
    const bool ok = throughPage() && throughSend(cli);
    return ok ? 0 : 1;
}
