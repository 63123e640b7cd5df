#include "source/busopener.h"

#include "serial/networkaddress.h"
#include "source/opener.h"

#include <QElapsedTimer>

namespace source {
namespace {

// A port that first hands on what was heard while its speed was judged, so the first sentences count,
// and passes its notices to the front end as they come.
class ToldPort : public serial::ReceivePort {
public:
    ToldPort(std::unique_ptr<serial::ReceivePort> port, QByteArray heard,
             std::function<void(const QString &)> notice)
        : m_port(std::move(port)), m_heard(std::move(heard)), m_notice(std::move(notice))
    {
        tell();
    }
    QByteArray read(int waitMs) override
    {
        QByteArray bytes;
        bytes.swap(m_heard);
        bytes += m_port->read(bytes.isEmpty() ? waitMs : 0);
        tell();
        return bytes;
    }
    bool failed() const override { return m_port->failed(); }
    QString errorString() const override { return m_port->errorString(); }
    void close() override { m_port->close(); }
    QStringList takeNotices() override { return m_notice ? QStringList() : m_port->takeNotices(); }

private:
    void tell()
    {
        if (m_notice) {
            for (const QString &n : m_port->takeNotices())
                m_notice(n);
        }
    }

    std::unique_ptr<serial::ReceivePort> m_port;
    QByteArray m_heard;
    std::function<void(const QString &)> m_notice;
};

} // namespace

bus::PortOpener busOpener(BusOpenerEvents events, NetworkTiming network, SpeedSearchTiming search)
{
    return [events, network, search](const QString &name, int baud,
                                     QString *why) -> std::unique_ptr<serial::ReceivePort> {
        if (baud != AutoSpeed || serial::isNetworkAddress(name)) {
            std::unique_ptr<serial::ReceivePort> port = openReceiver(name, baud, why, network);
            if (!port)
                return nullptr;
            return std::make_unique<ToldPort>(std::move(port), QByteArray(), events.notice);
        }
        QElapsedTimer clock;
        clock.start();
        SpeedFound found = findSpeed([&](int b, QString *w) { return openReceiver(name, b, w, network); },
                                     [&] { return clock.elapsed(); }, events.stopRequested, search);
        if (events.speedFound)
            events.speedFound(found.baud, found.reason);
        if (!found.port) {
            *why = found.reason;
            return nullptr;
        }
        return std::make_unique<ToldPort>(std::move(found.port), found.heard, events.notice);
    };
}

} // namespace source
