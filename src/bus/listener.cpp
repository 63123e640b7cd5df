#include "bus/listener.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace bus {

PortOpener serialOpener()
{
    return [](const QString &source, int baud, QString *why) -> std::unique_ptr<serial::ReceivePort> {
        auto port = std::make_unique<serial::QtReceivePort>();
        if (!port->open(source, baud)) {
            *why = port->errorString();
            return nullptr;
        }
        return port;
    };
}

namespace {

ListenerClock steadyClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

} // namespace

Listener::Listener(PortOpener opener, ListenerClock clock, SentenceSeen seen)
    : m_opener(std::move(opener)), m_clock(clock ? std::move(clock) : steadyClock()),
      m_monitor(std::move(seen))
{
}

Listener::~Listener()
{
    stop();
}

bool Listener::open(QString *why)
{
    QString reason;
    std::unique_ptr<serial::ReceivePort> port = m_opener(m_source, m_baud, &reason);
    const std::lock_guard lock(m_mutex);
    // Whatever was under way on the line before it opened is not part of what comes now.
    m_monitor.interrupt();
    m_port = std::move(port);
    m_failure = m_port ? QString() : reason;
    m_wentAway = false;
    if (!m_port && why)
        *why = reason;
    return bool(m_port);
}

bool Listener::start(const QString &source, int baud, QString *why)
{
    stop();
    m_source = source;
    m_baud = baud;
    const bool opened = open(why);
    const std::lock_guard lock(m_mutex);
    m_listening = opened;
    return opened;
}

void Listener::stop()
{
    if (m_port)
        m_port->close();
    const std::lock_guard lock(m_mutex);
    m_port.reset();
    m_listening = false;
    m_paused = false;
}

Listener::Step Listener::poll(int waitMs)
{
    Step step;
    if (!m_port || m_paused)
        return step;
    step.bytes = m_port->read(waitMs);
    const qint64 now = m_clock();
    const std::lock_guard lock(m_mutex);
    m_monitor.feed(step.bytes, now);
    if (m_recorder.isOpen() && !step.bytes.isEmpty() && !m_recorder.write(step.bytes, now) &&
        !m_toldRecording) {
        m_toldRecording = true;
        step.recordingFailed = true;
    }
    if (m_port->failed()) {
        m_failure = m_port->errorString();
        m_wentAway = true;
        m_port->close();
        m_port.reset();
        m_listening = false;
        step.failed = true;
    }
    return step;
}

void Listener::pause()
{
    if (!m_listening || m_paused)
        return;
    if (m_port)
        m_port->close();
    const std::lock_guard lock(m_mutex);
    m_port.reset();
    m_monitor.interrupt();
    m_paused = true;
}

bool Listener::resume(QString *why)
{
    if (!m_paused)
        return m_listening;
    const bool opened = open(why);
    const std::lock_guard lock(m_mutex);
    m_paused = false;
    m_listening = opened;
    return opened;
}

bool Listener::setSpeed(int baud, QString *why)
{
    {
        const std::lock_guard lock(m_mutex);
        m_baud = baud;
        if (!m_listening || m_paused)
            return true;
        if (m_port)
            m_port->close();
        m_port.reset();
    }
    const bool opened = open(why);
    const std::lock_guard lock(m_mutex);
    m_listening = opened;
    return opened;
}

void Listener::clear()
{
    const std::lock_guard lock(m_mutex);
    m_monitor.clear();
}

std::optional<QString> Listener::record(const QString &path, const QString &shownDevice, qint64 limit,
                                        bool timestamps)
{
    const RecordingHeader header{QDateTime::currentDateTimeUtc(), shownDevice, m_baud, timestamps};
    const std::lock_guard lock(m_mutex);
    m_recorder.close();
    m_toldRecording = false;
    return m_recorder.open(path, header, limit);
}

void Listener::stopRecording()
{
    const std::lock_guard lock(m_mutex);
    m_recorder.close();
}

bool Listener::listening() const
{
    const std::lock_guard lock(m_mutex);
    return m_listening;
}

bool Listener::paused() const
{
    const std::lock_guard lock(m_mutex);
    return m_paused;
}

int Listener::baud() const
{
    const std::lock_guard lock(m_mutex);
    return m_baud;
}

QString Listener::source() const
{
    const std::lock_guard lock(m_mutex);
    return m_source;
}

QString Listener::failure() const
{
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

Snapshot Listener::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    Snapshot s = snapshotOf(m_monitor);
    s.baud = m_baud;
    s.listening = m_listening && !m_paused;
    s.paused = m_paused;
    s.failure = m_failure;
    s.wentAway = m_wentAway;
    return s;
}

} // namespace bus
