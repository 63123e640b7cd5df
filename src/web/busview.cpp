#include "web/busview.h"

#include <QElapsedTimer>
#include <QThread>

namespace web {

BusListener::BusListener(QString device, std::function<void()> changed, bus::PortOpener opener)
    : m_device(std::move(device)), m_changed(std::move(changed)), m_listener(std::move(opener))
{
}

BusListener::~BusListener()
{
    stop();
}

bool BusListener::start(int baud, QString *failure)
{
    const std::lock_guard control(m_control);
    stop();
    m_listener.clear();
    QString why;
    if (!m_listener.start(m_device, baud, &why)) {
        *failure = QStringLiteral("cannot open %1").arg(why);
        return false;
    }
    startThread();
    return true;
}

void BusListener::stop()
{
    const std::lock_guard control(m_control);
    stopThread();
    m_listener.stop();
}

void BusListener::pause()
{
    const std::lock_guard control(m_control);
    if (!running())
        return;
    stopThread();
    m_listener.pause();
    if (m_changed)
        m_changed();
}

void BusListener::resume()
{
    const std::lock_guard control(m_control);
    if (!m_listener.paused())
        return;
    QString why;
    if (m_listener.resume(&why))
        startThread();
    else if (m_changed)
        m_changed();
}

QJsonObject BusListener::toJson() const
{
    bus::Snapshot s = m_listener.snapshot();
    // The page names what failed in its own words: the open, or the port that went away.
    if (!s.failure.isEmpty())
        s.failure = (s.wentAway ? QStringLiteral("the port went away: %1") : QStringLiteral("cannot open %1"))
                        .arg(s.failure);
    return bus::toJson(s);
}

void BusListener::startThread()
{
    m_quit = false;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
}

void BusListener::stopThread()
{
    m_quit = true;
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
}

void BusListener::run()
{
    QElapsedTimer published;
    published.start();
    while (!m_quit) {
        if (m_listener.poll(100).failed)
            break;
        if (published.elapsed() >= 1000) {
            published.restart();
            if (m_changed)
                m_changed();
        }
    }
    if (m_changed)
        m_changed();
}

} // namespace web
