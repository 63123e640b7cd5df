// The page and its API on the core: the lists, plan check, load and save through the plan reader, sends of
// one location or all through the plan send, the bus view, and the push stream of their progress.
#pragma once

#include "web/busview.h"
#include "web/jobs.h"
#include "web/server.h"

#include <condition_variable>
#include <mutex>

namespace web {

class PageSite : public Site {
public:
    // The device every send and the bus view use.
    // The bus view reads busSource (a network source) when given, else the device the page sends to.
    explicit PageSite(const QString &device, plan::SendOptions options = {}, const QString &busSource = {});
    ~PageSite() override;

    QList<Route> routes() const override;
    Reply answer(const QByteArray &method, const QByteArray &path, const QByteArray &body) override;
    std::optional<QByteArray> nextEvents(quint64 &cursor, std::chrono::milliseconds wait) override;

    // Ends waits in push streams, for a server that stops.
    void close();
    // Stops a send that runs and waits for its end: its report, or nothing when none ran.
    std::optional<plan::SendReport> endSend();

private:
    void changed(int what);
    bool adapterPresent();
    Reply send(const QJsonObject &request);
    Reply busStart(const QJsonObject &request);
    Reply busStop();
    struct Handled;
    static const QList<Handled> &handled();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    quint64 m_version = 0;
    quint64 m_jobVersion = 0;
    quint64 m_busVersion = 0;
    bool m_closed = false;
    QString m_device;
    std::optional<bool> m_adapterPresent; // as the streams last said it
    quint64 m_adapterVersion = 0;
    BusListener m_bus;
    Jobs m_jobs;
};

} // namespace web
