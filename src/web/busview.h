// The page's bus view: the device's receive line read on a thread of its own while no send needs the
// device, the sentences counted per talker and sentence, and each sentence kept per variant where its
// meaning alternates (MWV relative and true, XDR per transducer, RPM per shaft or engine), so the page can
// warn before a field that would show two things in turn is chosen. Bounded however long it runs.
#pragma once

#include "bus/monitor.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace web {

// The page's table of what the bus monitor has seen: {"rows": [{"talker", "sentence", "listed", "reason",
// "count", "badChecksum", "missingChecksum", "variants": [{"variant", "text", "fields": [...]}], "warning"}],
// "others": N}. The rows, their variants, bounds and reasons are the bus monitor's own, as the window shows
// them.
QJsonObject busJson(const bus::Monitor &monitor);

class BusListener {
public:
    BusListener(QString device, std::function<void()> changed);
    ~BusListener();

    // Starts reading at the baud (4800 or 38400, or 0 to find it); false with why when it cannot.
    bool start(int baud, QString *failure);
    void stop();
    bool running() const { return m_running; }
    int baud() const { return m_baud; }
    // Steps aside for a send and comes back after it.
    void pause();
    void resume();

    QJsonObject toJson() const;

private:
    void run();

    QString m_device;
    std::function<void()> m_changed;
    int m_baud = 4800;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_paused{false};
    QString m_failure;
    QString m_notice; // the speed found, or the network source's last notice
    bool m_wrongSpeed = false;
    mutable std::mutex m_mutex; // guards the monitor and the state above
    // Start, stop, pause and resume come from the threads that answer requests and from the send's own.
    std::recursive_mutex m_control;
    bus::Monitor m_monitor;
    std::unique_ptr<QThread> m_thread;
};

} // namespace web
