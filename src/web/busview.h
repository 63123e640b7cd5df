// The page's bus view: the one bus listener driven on a thread of its own while no send needs the device.
// The table it answers with is the listener's snapshot in the one JSON shape `listen --json` gives too, so
// the page can warn before a field that would show two things in turn is chosen. Bounded however long it
// runs.
#pragma once

#include "bus/listener.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace web {

class BusListener {
public:
    BusListener(QString device, std::function<void()> changed, bus::PortOpener opener = bus::serialOpener());
    ~BusListener();

    // Starts reading at the baud (one of bus::LineSpeeds, or 0 to find it first), with the table empty;
    // false with why when the device will not open.
    bool start(int baud, QString *failure);
    void stop();
    bool running() const { return m_listener.listening() && !m_listener.paused(); }
    int baud() const { return m_listener.baud(); }
    // Steps aside for a send and comes back after it, keeping the table.
    void pause();
    void resume();

    QJsonObject toJson() const;

private:
    enum class Ending { Stop, Pause };
    void run();
    // Opens the port on the listener's own thread, which then reads it until told to end, and closes it
    // there: a socket is used only on the thread that made it. False with why when it will not open.
    bool startThread(const std::function<bool(QString *why)> &open, QString *why);
    void stopThread(Ending ending);

    QString m_device;
    std::function<void()> m_changed;
    bus::PortOpener m_opener; // also the speed search's, for "Auto"
    bus::Listener m_listener;
    mutable std::mutex m_speedMutex;
    QString m_speedFound; // which speed "Auto" chose and why
    std::atomic<bool> m_quit{false};
    std::atomic<Ending> m_ending{Ending::Stop};
    // Start, stop, pause and resume come from the threads that answer requests and from the send's own.
    std::recursive_mutex m_control;
    std::unique_ptr<QThread> m_thread;
};

} // namespace web
