#include "source/lentsearch.h"

#include <QElapsedTimer>

namespace source {

// The search's view of the lent port: what the port's thread handed over.
class LentSpeedSearch::FedPort : public serial::ReceivePort {
public:
    explicit FedPort(LentSpeedSearch &search) : m_search(search) {}
    QByteArray read(int waitMs) override { return m_search.take(waitMs); }
    bool failed() const override { return false; }
    QString errorString() const override { return {}; }
    void close() override {}

private:
    LentSpeedSearch &m_search;
};

LentSpeedSearch::LentSpeedSearch(SpeedSearchTiming timing)
{
    m_thread = std::thread([this, timing] {
        QElapsedTimer clock;
        clock.start();
        SpeedFound found = findSpeed([this](int baud, QString *why) { return open(baud, why); },
                                     [&clock] { return clock.elapsed(); },
                                     [this] {
                                         const std::lock_guard lock(m_mutex);
                                         return m_stop;
                                     },
                                     timing);
        found.port.reset();
        const std::lock_guard lock(m_mutex);
        m_found = std::move(found);
    });
}

LentSpeedSearch::~LentSpeedSearch()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

std::unique_ptr<serial::ReceivePort> LentSpeedSearch::open(int baud, QString *why)
{
    std::unique_lock lock(m_mutex);
    m_asked = baud;
    m_answered = false;
    m_changed.wait(lock, [this] { return m_answered || m_stop; });
    if (m_stop) {
        *why = QStringLiteral("stopped before a speed was found");
        return nullptr;
    }
    if (!m_opened) {
        *why = m_why;
        return nullptr;
    }
    return std::make_unique<FedPort>(*this);
}

QByteArray LentSpeedSearch::take(int waitMs)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                       [this] { return !m_bytes.isEmpty() || m_stop; });
    QByteArray bytes;
    bytes.swap(m_bytes);
    return bytes;
}

std::optional<SpeedFound> LentSpeedSearch::serve(const SetSpeed &setSpeed, const Read &read)
{
    std::unique_lock lock(m_mutex);
    if (m_found) {
        std::optional<SpeedFound> found = std::move(m_found);
        m_found.reset();
        return found;
    }
    if (m_asked != 0 && !m_answered) {
        QString why;
        // What came before the speed is set belongs to the speed before.
        m_opened = setSpeed(m_asked, &why);
        read();
        m_why = why;
        m_answered = true;
        m_bytes.clear();
    } else if (m_answered) {
        m_bytes += read();
    } else {
        // Before the first speed is set, what comes belongs to none tried.
        read();
    }
    lock.unlock();
    m_changed.notify_all();
    return std::nullopt;
}

} // namespace source
