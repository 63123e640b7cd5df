// The bus read from the network, read-only, behind the same read side as a serial device: a TCP client
// that comes back after every drop with a growing pause, and a UDP listener. Both hand on whole lines only,
// joined across packets and datagrams, say when no data came for a while, and name the source in every
// notice. Neither ever blocks longer than a read's wait, whatever the name server or the far end does.
#pragma once

#include "serial/receiveport.h"
#include "source/sourceaddress.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QStringList>

#include <memory>

class QTcpSocket;
class QUdpSocket;

namespace source {

struct NetworkTiming {
    int quietMs = 10'000;          // "no data for N s" after this long without a byte
    int reconnectQuietMs = 30'000; // TCP: a connection silent this long is dropped and made again
    int connectMs = 10'000;        // TCP: longest wait for a host name or a connection
    int firstRetryMs = 1'000;      // TCP: the pause after the first failure, doubled after each next one
    int lastRetryMs = 30'000;      // ... up to this
};

// The pause before attempt failures + 1: first, 2 first, 4 first ... capped at last.
int retryDelayMs(int failures, const NetworkTiming &timing);

// The most a read hands on, and the most a source keeps of a line whose end has not come.
inline constexpr int MaxReadBytes = 64 * 1024;
inline constexpr int MaxHeldBytes = 1024;

// Holds back the part after the last line end until its end arrives, so a sentence split across packets
// goes on whole and a line cut by a lost connection is dropped, not joined to the next. A held part that
// grows past MaxHeldBytes is no sentence: it is handed on as it is, for the listener to count as noise.
class LineJoiner {
public:
    QByteArray feed(QByteArrayView bytes);
    void drop() { m_held.clear(); }
    qsizetype held() const { return m_held.size(); }

private:
    QByteArray m_held;
};

// What a network source adds to the read side: notices for the user, each naming the source.
class NetworkSource : public serial::ReceivePort {
public:
    QStringList takeNotices() override;

protected:
    explicit NetworkSource(SourceAddress address, NetworkTiming timing);
    void notice(const QString &text);
    // Says "no data for N s" once per silence; true when the silence passed reconnectQuietMs.
    bool checkQuiet(qint64 nowMs);
    void heard(qint64 nowMs);
    qint64 nowMs() const;

    SourceAddress m_address;
    QString m_shown;
    NetworkTiming m_timing;
    QStringList m_notices;
    qint64 m_lastDataMs = 0;
    bool m_toldQuiet = false;

private:
    qint64 m_startMs;
};

class TcpSource : public NetworkSource {
public:
    explicit TcpSource(SourceAddress address, NetworkTiming timing = {});
    ~TcpSource() override;
    QByteArray read(int waitMs) override;
    bool failed() const override { return false; } // it comes back after every failure
    QString errorString() const override { return m_error; }
    void close() override;

    // Connections made so far, and failures since the last one that brought data.
    int connections() const { return m_connections; }
    int failures() const { return m_failures; }

private:
    struct Lookup;
    enum class State { Waiting, LookingUp, Connecting, Connected, Closed };
    void startAttempt();
    void connectNext();
    void fail(const QString &why);
    // Whether the connection under way is up, waiting up to waitMs for it; false also when it failed.
    bool waitConnected(qint64 waitMs);
    QByteArray takeBytes();

    State m_state = State::Waiting;
    std::unique_ptr<QTcpSocket> m_socket;
    std::shared_ptr<Lookup> m_lookup;
    QList<QHostAddress> m_addresses;
    qint64 m_deadlineMs = 0; // of the lookup or the connection under way
    qint64 m_retryAtMs = 0;
    int m_failures = 0;
    int m_connections = 0;
    bool m_gotData = false;
    LineJoiner m_joiner;
    QString m_lastWhy; // why the last address of this attempt did not connect
    QString m_error;
};

class UdpSource : public NetworkSource {
public:
    explicit UdpSource(SourceAddress address, NetworkTiming timing = {});
    ~UdpSource() override;
    // false with errorString() set when the port cannot be listened on.
    bool open();
    QByteArray read(int waitMs) override;
    bool failed() const override { return m_failed; }
    QString errorString() const override { return m_error; }
    void close() override;

private:
    static constexpr int MaxSenders = 16;
    std::unique_ptr<QUdpSocket> m_socket;
    QHash<QString, LineJoiner> m_senders; // one line under way per sender (address and port)
    QSet<QString> m_hosts;                // the hosts named in a notice so far
    bool m_failed = false;
    QString m_error;
};

} // namespace source
