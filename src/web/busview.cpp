#include "web/busview.h"

#include "serial/networkaddress.h"
#include "serial/receiveport.h"
#include "source/busopener.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>

namespace web {

QJsonObject busJson(const bus::Monitor &monitor)
{
    QJsonArray rows;
    for (const bus::SentenceRow &row : monitor.rowMap()) {
        const bool listed = bus::offered(row);
        QJsonArray variants;
        for (const bus::VariantRow &v : row.variants) {
            QJsonArray fields;
            for (const QString &f : v.last.fields)
                fields.append(f);
            variants.append(QJsonObject{{QStringLiteral("variant"), v.label},
                                        {QStringLiteral("text"), QString::fromLatin1(v.last.text)},
                                        {QStringLiteral("fields"), fields}});
        }
        QJsonObject o{{QStringLiteral("talker"), row.talker},
                      {QStringLiteral("sentence"), row.identifier},
                      {QStringLiteral("listed"), listed},
                      {QStringLiteral("reason"), listed ? QString() : bus::offerText(row)},
                      {QStringLiteral("count"), row.count},
                      {QStringLiteral("badChecksum"), row.badChecksum},
                      {QStringLiteral("missingChecksum"), row.missingChecksum},
                      {QStringLiteral("variants"), variants}};
        if (row.alternates())
            o.insert(QStringLiteral("warning"), QString::fromLatin1(bus::AlternatesText));
        rows.append(o);
    }
    return {{QStringLiteral("rows"), rows}, {QStringLiteral("others"), monitor.others().count}};
}

BusListener::BusListener(QString device, std::function<void()> changed)
    : m_device(std::move(device)), m_changed(std::move(changed))
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
    m_baud = baud;
    m_quit = false;
    {
        const std::lock_guard lock(m_mutex);
        m_monitor.clear();
        m_failure.clear();
        m_notice.clear();
        m_wrongSpeed = false;
    }
    m_running = true;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
    // The thread says within a moment whether the device opened.
    for (int i = 0; i < 50 && m_running; ++i) {
        const std::lock_guard lock(m_mutex);
        if (!m_failure.isEmpty())
            break;
        QThread::msleep(10);
    }
    const std::lock_guard lock(m_mutex);
    if (!m_failure.isEmpty()) {
        *failure = m_failure;
        return false;
    }
    return true;
}

void BusListener::stop()
{
    const std::lock_guard control(m_control);
    m_quit = true;
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
    m_running = false;
    m_paused = false;
}

void BusListener::pause()
{
    const std::lock_guard control(m_control);
    if (!m_running)
        return;
    stop();
    m_paused = true;
    if (m_changed)
        m_changed();
}

void BusListener::resume()
{
    const std::lock_guard control(m_control);
    if (!m_paused)
        return;
    QString failure;
    start(m_baud, &failure);
}

QJsonObject BusListener::toJson() const
{
    const std::lock_guard lock(m_mutex);
    QJsonObject o = busJson(m_monitor);
    o.insert(QStringLiteral("listening"), m_running.load());
    o.insert(QStringLiteral("paused"), m_paused.load());
    o.insert(QStringLiteral("baud"), m_baud);
    o.insert(QStringLiteral("failure"), m_failure);
    o.insert(QStringLiteral("wrongSpeed"), m_wrongSpeed);
    o.insert(QStringLiteral("notice"), m_notice);
    o.insert(QStringLiteral("network"), serial::isNetworkAddress(m_device));
    return o;
}

void BusListener::run()
{
    // A device, a network source or "Auto" (baud 0): the speed found and the source's notices are shown.
    source::BusOpenerEvents events;
    events.notice = [this](const QString &text) {
        const std::lock_guard lock(m_mutex);
        m_notice = text;
    };
    events.speedFound = [this](int baud, const QString &reason) {
        const std::lock_guard lock(m_mutex);
        m_baud = baud == 0 ? m_baud : baud;
        m_notice = QStringLiteral("speed found: ") + reason;
    };
    events.stopRequested = [this] { return m_quit.load(); };
    QString why;
    const std::unique_ptr<serial::ReceivePort> opened = source::busOpener(events)(m_device, m_baud, &why);
    if (!opened) {
        const std::lock_guard lock(m_mutex);
        m_failure = QStringLiteral("cannot open %1").arg(why);
        m_running = false;
        return;
    }
    serial::ReceivePort &port = *opened;
    QElapsedTimer published;
    published.start();
    QElapsedTimer clock;
    clock.start();
    while (!m_quit) {
        const QByteArray bytes = port.read(100);
        {
            const std::lock_guard lock(m_mutex);
            m_monitor.feed(bytes, clock.elapsed());
        }
        if (port.failed()) {
            const std::lock_guard lock(m_mutex);
            m_failure = QStringLiteral("the port went away: %1").arg(port.errorString());
            break;
        }
        if (published.elapsed() >= 1000) {
            published.restart();
            {
                const std::lock_guard lock(m_mutex);
                m_wrongSpeed = m_monitor.speed().looksWrong();
            }
            if (m_changed)
                m_changed();
        }
    }
    port.close();
    m_running = false;
    if (m_changed)
        m_changed();
}

} // namespace web
