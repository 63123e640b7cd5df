#include "web/busview.h"

#include "serial/networkaddress.h"
#include "source/busopener.h"
#include "source/speedsearch.h"

#include <QElapsedTimer>
#include <QThread>

#include <future>

namespace web {

BusListener::BusListener(QString device, std::function<void()> changed, bus::PortOpener opener)
    : m_device(std::move(device)), m_changed(std::move(changed)), m_opener(opener),
      m_listener(std::move(opener))
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
    {
        const std::lock_guard lock(m_speedMutex);
        m_speedFound.clear();
    }
    // "Auto": the speed is found first, each speed opened and closed through the same opener, and the
    // listener then opens the device at the speed chosen.
    if (baud == source::AutoSpeed && !serial::isNetworkAddress(m_device)) {
        QElapsedTimer clock;
        clock.start();
        source::SpeedFound found =
            source::findSpeed([this](int b, QString *w) { return m_opener(m_device, b, w); },
                              [&clock] { return clock.elapsed(); });
        if (!found.port) {
            *failure = QStringLiteral("cannot open %1").arg(found.reason);
            return false;
        }
        found.port->close();
        found.port.reset();
        baud = found.baud;
        const std::lock_guard lock(m_speedMutex);
        m_speedFound = found.reason;
    }
    QString why;
    if (!startThread([this, baud](QString *w) { return m_listener.start(m_device, baud, w); }, &why)) {
        *failure = QStringLiteral("cannot open %1").arg(why);
        return false;
    }
    return true;
}

void BusListener::stop()
{
    const std::lock_guard control(m_control);
    stopThread(Ending::Stop);
    m_listener.stop();
}

void BusListener::pause()
{
    const std::lock_guard control(m_control);
    if (!running())
        return;
    stopThread(Ending::Pause);
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
    if (!startThread([this](QString *w) { return m_listener.resume(w); }, &why) && m_changed)
        m_changed();
}

QJsonObject BusListener::toJson() const
{
    bus::Snapshot s = m_listener.snapshot();
    // The page names what failed in its own words: the open, or the port that went away.
    if (!s.failure.isEmpty())
        s.failure = (s.wentAway ? QStringLiteral("the port went away: %1") : QStringLiteral("cannot open %1"))
                        .arg(s.failure);
    QJsonObject o = bus::toJson(s);
    o.insert(QStringLiteral("network"), serial::isNetworkAddress(m_device));
    const std::lock_guard lock(m_speedMutex);
    o.insert(QStringLiteral("speedFound"), m_speedFound);
    return o;
}

bool BusListener::startThread(const std::function<bool(QString *why)> &open, QString *why)
{
    m_quit = false;
    // The thread holds what it tells with: it may still be telling when this returns.
    auto opened = std::make_shared<std::promise<bool>>();
    std::future<bool> result = opened->get_future();
    m_thread.reset(QThread::create([this, open, opened, why] {
        const bool ok = open(why);
        opened->set_value(ok);
        if (ok)
            run();
    }));
    m_thread->start();
    if (result.get())
        return true;
    m_thread->wait();
    m_thread.reset();
    return false;
}

void BusListener::stopThread(Ending ending)
{
    m_ending = ending;
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
    // A port of the network is a socket that belongs to the thread that made it: it is closed here too.
    if (m_quit)
        m_ending == Ending::Pause ? m_listener.pause() : m_listener.stop();
    if (m_changed)
        m_changed();
}

} // namespace web
