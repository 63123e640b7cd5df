#include "web/busview.h"

#include "serial/receiveport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>

namespace web {

QString variantOf(const bus::Sentence &s)
{
    if (s.proprietary)
        return {};
    const QString id = s.identifier;
    if (id == QLatin1String("MWV")) // wind angle: R relative, T true
        return s.fields.value(1);
    if (id == QLatin1String("RPM")) // S shaft or E engine, and its number
        return s.fields.value(0) + s.fields.value(1);
    if (id == QLatin1String("XDR")) { // quadruplets of type, value, units, name
        QStringList parts;
        for (qsizetype i = 0; i + 3 < s.fields.size(); i += 4)
            parts << s.fields.value(i) + QLatin1Char(' ') + s.fields.value(i + 3);
        return parts.join(QStringLiteral(", "));
    }
    return {};
}

void BusTable::add(const bus::Sentence &s)
{
    const QString key = s.key();
    auto it = m_rows.find(key);
    if (it == m_rows.end()) {
        if (m_rows.size() >= MaxRows) {
            ++m_others;
            return;
        }
        it = m_rows.insert(key, Row{s, 0, 0, {}});
    }
    ++it->count;
    if (s.checksum == bus::Checksum::Bad)
        ++it->badChecksum;
    const QString variant = web::variantOf(s);
    if (it->variants.contains(variant) || it->variants.size() < MaxVariants)
        it->variants.insert(variant, s);
}

QJsonObject BusTable::toJson() const
{
    QJsonArray rows;
    for (const Row &row : m_rows) {
        const bus::Sentence &s = row.first;
        const bool talkerOk = bus::talkerListed(s);
        const bool sentenceOk = bus::identifierListed(s);
        QString reason;
        if (s.proprietary)
            reason = QStringLiteral("a proprietary sentence: choose the maker's instrument instead");
        else if (!talkerOk && s.talker == QLatin1String("GN"))
            reason =
                QStringLiteral("GN, a multi-GNSS talker, is not in the Talker ID list: set the receiver or "
                               "multiplexer to send GP");
        else if (!talkerOk)
            reason = QStringLiteral("the talker %1 is not in the Talker ID list").arg(s.talker);
        else if (!sentenceOk)
            reason = QStringLiteral("the sentence %1 is not in the Identifier list").arg(s.identifier);
        QJsonArray variants;
        for (auto v = row.variants.begin(); v != row.variants.end(); ++v) {
            QJsonArray fields;
            for (const QString &f : v->fields)
                fields.append(f);
            variants.append(QJsonObject{{QStringLiteral("variant"), v.key()},
                                        {QStringLiteral("text"), QString::fromLatin1(v->text)},
                                        {QStringLiteral("fields"), fields}});
        }
        QJsonObject o{{QStringLiteral("talker"), s.talker},
                      {QStringLiteral("sentence"), s.identifier},
                      {QStringLiteral("listed"), talkerOk && sentenceOk && !s.proprietary},
                      {QStringLiteral("reason"), reason},
                      {QStringLiteral("count"), row.count},
                      {QStringLiteral("badChecksum"), row.badChecksum},
                      {QStringLiteral("variants"), variants}};
        if (row.variants.size() > 1)
            o.insert(
                QStringLiteral("warning"),
                QStringLiteral("this sentence alternates between %1 variants: a display set to one of its "
                               "fields shows them in turn")
                    .arg(row.variants.size()));
        rows.append(o);
    }
    return {{QStringLiteral("rows"), rows}, {QStringLiteral("others"), m_others}};
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
        m_table = BusTable();
        m_failure.clear();
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
    QJsonObject o = m_table.toJson();
    o.insert(QStringLiteral("listening"), m_running.load());
    o.insert(QStringLiteral("paused"), m_paused.load());
    o.insert(QStringLiteral("baud"), m_baud);
    o.insert(QStringLiteral("failure"), m_failure);
    o.insert(QStringLiteral("wrongSpeed"), m_wrongSpeed);
    return o;
}

void BusListener::run()
{
    serial::QtReceivePort port;
    if (!port.open(m_device, m_baud)) {
        const std::lock_guard lock(m_mutex);
        m_failure = QStringLiteral("cannot open %1").arg(port.errorString());
        m_running = false;
        return;
    }
    bus::Monitor monitor([this](const bus::Sentence &s) {
        const std::lock_guard lock(m_mutex);
        m_table.add(s);
    });
    QElapsedTimer published;
    published.start();
    while (!m_quit) {
        monitor.feed(port.read(100));
        if (port.failed()) {
            const std::lock_guard lock(m_mutex);
            m_failure = QStringLiteral("the port went away: %1").arg(port.errorString());
            break;
        }
        if (published.elapsed() >= 1000) {
            published.restart();
            {
                const std::lock_guard lock(m_mutex);
                m_wrongSpeed = monitor.speed().looksWrong();
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
