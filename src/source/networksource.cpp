#include "source/networksource.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <thread>

namespace source {
namespace {

// Notices kept for a reader that does not take them: the newest matter.
constexpr int MaxNotices = 50;

QString secondsText(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'g', 3);
}

void sleepFor(qint64 ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

int retryDelayMs(int failures, const NetworkTiming &timing)
{
    qint64 delay = timing.firstRetryMs;
    for (int i = 0; i < failures && delay < timing.lastRetryMs; ++i)
        delay *= 2;
    return int(std::min<qint64>(delay, timing.lastRetryMs));
}

QByteArray LineJoiner::feed(QByteArrayView bytes)
{
    m_held.append(bytes);
    qsizetype end = m_held.size() - 1;
    while (end >= 0 && m_held.at(end) != '\n' && m_held.at(end) != '\r')
        --end;
    QByteArray out;
    if (end >= 0) {
        out = m_held.left(end + 1);
        m_held.remove(0, end + 1);
    }
    if (m_held.size() > MaxHeldBytes) {
        out += m_held;
        m_held.clear();
    }
    return out;
}

NetworkSource::NetworkSource(SourceAddress address, NetworkTiming timing)
    : m_address(std::move(address)), m_shown(m_address.shown()), m_timing(timing),
      m_startMs(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count())
{
}

qint64 NetworkSource::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() -
           m_startMs;
}

QStringList NetworkSource::takeNotices()
{
    QStringList notices;
    notices.swap(m_notices);
    return notices;
}

void NetworkSource::notice(const QString &text)
{
    m_notices.append(QStringLiteral("%1: %2").arg(m_shown, text));
    if (m_notices.size() > MaxNotices)
        m_notices.removeFirst();
}

void NetworkSource::heard(qint64 nowMs)
{
    if (m_toldQuiet)
        notice(QStringLiteral("data again after %1 s").arg(secondsText(nowMs - m_lastDataMs)));
    m_toldQuiet = false;
    m_lastDataMs = nowMs;
}

bool NetworkSource::checkQuiet(qint64 nowMs)
{
    const qint64 quiet = nowMs - m_lastDataMs;
    if (quiet >= m_timing.quietMs && !m_toldQuiet) {
        m_toldQuiet = true;
        notice(QStringLiteral("no data for %1 s").arg(secondsText(m_timing.quietMs)));
    }
    return quiet >= m_timing.reconnectQuietMs;
}

// A host name looked up on a thread of its own, so that a name server that never answers costs the
// reader no more than its wait; the thread ends by itself whenever the system gives up.
struct TcpSource::Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    QList<QHostAddress> addresses;
    QString error;
};

TcpSource::TcpSource(SourceAddress address, NetworkTiming timing) : NetworkSource(std::move(address), timing)
{
    startAttempt();
}

TcpSource::~TcpSource()
{
    close();
}

void TcpSource::close()
{
    if (m_socket)
        m_socket->abort();
    m_socket.reset();
    m_lookup.reset();
    m_state = State::Closed;
}

void TcpSource::startAttempt()
{
    m_gotData = false;
    m_addresses.clear();
    m_lastWhy.clear();
    if (const QHostAddress literal(m_address.host); !literal.isNull()) {
        m_addresses = {literal};
        connectNext();
        return;
    }
    notice(QStringLiteral("looking up %1").arg(m_address.host));
    m_lookup = std::make_shared<Lookup>();
    std::thread([lookup = m_lookup, host = m_address.host] {
        const QHostInfo info = QHostInfo::fromName(host);
        const std::lock_guard lock(lookup->mutex);
        lookup->addresses = info.addresses();
        if (info.error() != QHostInfo::NoError)
            lookup->error = info.errorString();
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    m_state = State::LookingUp;
    m_deadlineMs = nowMs() + m_timing.connectMs;
}

void TcpSource::connectNext()
{
    if (m_addresses.isEmpty()) {
        fail(m_lastWhy.isEmpty() ? QStringLiteral("no address to connect to") : m_lastWhy);
        return;
    }
    const QHostAddress next = m_addresses.takeFirst();
    if (m_socket)
        m_socket->abort();
    m_socket = std::make_unique<QTcpSocket>();
    // Qt reads no more than this ahead of us: a flood waits in the network, not in our memory.
    m_socket->setReadBufferSize(MaxReadBytes);
    m_socket->connectToHost(next, m_address.port, QIODevice::ReadOnly);
    m_state = State::Connecting;
    m_deadlineMs = nowMs() + m_timing.connectMs;
}

void TcpSource::fail(const QString &why)
{
    if (m_socket)
        m_socket->abort();
    m_socket.reset();
    m_lookup.reset();
    // A line cut by the drop would be joined to whatever the next connection starts with.
    m_joiner.drop();
    if (m_gotData)
        m_failures = 0;
    const int delay = retryDelayMs(m_failures, m_timing);
    ++m_failures;
    m_retryAtMs = nowMs() + delay;
    m_state = State::Waiting;
    m_error = QStringLiteral("%1: %2").arg(m_shown, why);
    notice(QStringLiteral("%1; trying again in %2 s").arg(why, secondsText(delay)));
}

QByteArray TcpSource::takeBytes()
{
    const QByteArray bytes = m_socket->read(MaxReadBytes);
    if (bytes.isEmpty())
        return {};
    m_gotData = true;
    heard(nowMs());
    return m_joiner.feed(bytes);
}

bool TcpSource::waitConnected(qint64 waitMs)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        return true;
    // Qt's own wait gives up on a connection it times out: one read's short wait would end every attempt on
    // a link slower than it. The socket is watched instead, and asked only once its connection has ended,
    // in success or failure, so that Qt's wait returns at once.
    pollfd p{int(m_socket->socketDescriptor()), POLLOUT, 0};
    if (p.fd < 0)
        return m_socket->waitForConnected(int(std::max<qint64>(0, m_deadlineMs - nowMs())));
    if (::poll(&p, 1, int(waitMs)) <= 0)
        return false;
    return m_socket->waitForConnected(int(m_timing.connectMs));
}

QByteArray TcpSource::read(int waitMs)
{
    const QDeadlineTimer wait(std::max(0, waitMs));
    for (;;) {
        const qint64 now = nowMs();
        const qint64 left = wait.remainingTime();
        switch (m_state) {
        case State::Closed:
            return {};
        case State::Waiting:
            if (now >= m_retryAtMs) {
                startAttempt();
                continue;
            }
            sleepFor(std::min(left, m_retryAtMs - now));
            break;
        case State::LookingUp: {
            std::unique_lock lock(m_lookup->mutex);
            if (!m_lookup->finished) {
                if (now >= m_deadlineMs) {
                    lock.unlock();
                    fail(QStringLiteral("the name server gave no answer for %1 in %2 s")
                             .arg(m_address.host, secondsText(m_timing.connectMs)));
                    continue;
                }
                m_lookup->done.wait_for(lock, std::chrono::milliseconds(std::min(left, m_deadlineMs - now)));
                break;
            }
            m_addresses = m_lookup->addresses;
            const QString error = m_lookup->error;
            lock.unlock();
            m_lookup.reset();
            if (m_addresses.isEmpty()) {
                fail(QStringLiteral("cannot find host %1 (%2)")
                         .arg(m_address.host, error.isEmpty() ? QStringLiteral("no address") : error));
                continue;
            }
            m_lastWhy.clear();
            connectNext();
            continue;
        }
        case State::Connecting:
            if (waitConnected(std::max<qint64>(0, std::min(left, m_deadlineMs - now)))) {
                m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
                ++m_connections;
                m_state = State::Connected;
                m_lastDataMs = nowMs();
                m_toldQuiet = false;
                notice(QStringLiteral("connected (%1)").arg(m_socket->peerAddress().toString()));
                continue;
            }
            if (m_socket->state() == QAbstractSocket::UnconnectedState) {
                m_lastWhy = QStringLiteral("cannot connect (%1)").arg(m_socket->errorString());
                connectNext();
                continue;
            }
            if (nowMs() >= m_deadlineMs) {
                fail(QStringLiteral("no answer in %1 s").arg(secondsText(m_timing.connectMs)));
                continue;
            }
            break;
        case State::Connected: {
            if (m_socket->bytesAvailable() == 0 && m_socket->state() == QAbstractSocket::ConnectedState)
                m_socket->waitForReadyRead(int(left));
            const QByteArray bytes = takeBytes();
            if (m_socket->state() != QAbstractSocket::ConnectedState && m_socket->bytesAvailable() == 0)
                fail(QStringLiteral("the connection was lost (%1)").arg(m_socket->errorString()));
            else if (checkQuiet(nowMs()))
                fail(QStringLiteral("no data for %1 s, disconnected")
                         .arg(secondsText(m_timing.reconnectQuietMs)));
            return bytes;
        }
        }
        if (wait.hasExpired())
            return {};
    }
}

UdpSource::UdpSource(SourceAddress address, NetworkTiming timing) : NetworkSource(std::move(address), timing)
{
}

UdpSource::~UdpSource()
{
    close();
}

bool UdpSource::open()
{
    m_socket = std::make_unique<QUdpSocket>();
    const QHostAddress address =
        m_address.host.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(m_address.host);
    const bool group = address.isMulticast();
    const QHostAddress local =
        !group ? address
               : QHostAddress(address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                  : QHostAddress::AnyIPv4);
    // Shared, as gateways broadcast to everyone on the port and another listener may be there already.
    const bool bound =
        m_socket->bind(local, m_address.port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    if (!bound || (group && !m_socket->joinMulticastGroup(address))) {
        m_error = QStringLiteral("%1: cannot listen: %2").arg(m_shown, m_socket->errorString());
        m_failed = true;
        m_socket.reset();
        return false;
    }
    m_lastDataMs = nowMs();
    return true;
}

void UdpSource::close()
{
    m_socket.reset();
    m_senders.clear();
}

QByteArray UdpSource::read(int waitMs)
{
    if (m_failed || !m_socket)
        return {};
    if (!m_socket->hasPendingDatagrams())
        m_socket->waitForReadyRead(std::max(0, waitMs));
    QByteArray out;
    // Bounded per read however fast datagrams come: the rest wait in the system's buffer, which drops
    // what does not fit.
    int taken = 0;
    for (int datagrams = 0; m_socket->hasPendingDatagrams() && taken < MaxReadBytes && datagrams < 4096;
         ++datagrams) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        taken += int(datagram.data().size());
        const QString host = datagram.senderAddress().toString();
        if (!m_hosts.contains(host) && m_hosts.size() < MaxSenders) {
            m_hosts.insert(host);
            notice(QStringLiteral("data from %1").arg(host));
        }
        const QString sender = QStringLiteral("%1 %2").arg(host).arg(datagram.senderPort());
        auto joiner = m_senders.find(sender);
        if (joiner == m_senders.end()) {
            if (m_senders.size() >= MaxSenders)
                m_senders.clear();
            joiner = m_senders.insert(sender, {});
        }
        out += joiner->feed(datagram.data());
    }
    if (taken > 0)
        heard(nowMs());
    else
        checkQuiet(nowMs());
    return out;
}

} // namespace source
