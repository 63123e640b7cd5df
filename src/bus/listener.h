// The one bus listener every front end drives: it owns the receive port (opened through an opener, so a
// test, a network source or a speed search can stand in for a serial device), the clock, the monitor and
// the recorder, and steps aside while a send holds the line. No widget and no thread: the command line
// calls poll() in its loop, the page on a thread of its own, the monitor window on a timer.
#pragma once

#include "bus/linespeeds.h"
#include "bus/monitor.h"
#include "bus/recording.h"
#include "bus/snapshot.h"
#include "serial/receiveport.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace bus {

// Opens a source ("/dev/ttyUSB0", later also other kinds) at a speed; null with why set when it cannot.
using PortOpener =
    std::function<std::unique_ptr<serial::ReceivePort>(const QString &source, int baud, QString *why)>;
// Milliseconds on a steady clock; rates, ages and recording times are read on it.
using ListenerClock = std::function<qint64()>;

// Serial devices through Qt SerialPort, "cannot open" wording left to the caller.
PortOpener serialOpener();

class Listener {
public:
    // What one poll did, for the front end to say.
    struct Step {
        QByteArray bytes;             // as they came
        bool failed = false;          // the port went away: the listener has stopped, failure() says why
        bool recordingFailed = false; // the recording stopped on this step: recorder().error() says why
    };
    using SentenceSeen = Monitor::SentenceSeen;

    explicit Listener(PortOpener opener, ListenerClock clock = {}, SentenceSeen seen = {});
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Opens source at baud and starts counting (the table is kept: clear() empties it). False with why.
    bool start(const QString &source, int baud, QString *why);
    void stop();
    // Reads what came, waiting at most waitMs, and feeds it to the monitor and the recorder.
    Step poll(int waitMs);
    // A send takes the line: the port is closed and the line under way dropped; nothing is read until
    // resume() opens it again at the same speed. False with why when it will not open again.
    void pause();
    bool resume(QString *why);
    // Reopens at another speed while listening; only remembered while not.
    bool setSpeed(int baud, QString *why);
    // Forgets what was counted.
    void clear();

    // Records into a new file from now on; why not, when it cannot. shownDevice names the source in it.
    std::optional<QString> record(const QString &path, const QString &shownDevice, qint64 limit,
                                  bool timestamps);
    // Stops recording; the count of bytes written stays readable in recorder().
    void stopRecording();
    const Recorder &recorder() const { return m_recorder; }

    bool listening() const;
    bool paused() const;
    int baud() const;
    QString source() const;
    QString failure() const;
    qint64 nowMs() const { return m_clock(); }
    // The table now; safe to call from another thread than the one that polls.
    Snapshot snapshot() const;
    // The monitor itself, for the thread that polls.
    const Monitor &monitor() const { return m_monitor; }

private:
    bool open(QString *why);

    PortOpener m_opener;
    ListenerClock m_clock;
    std::unique_ptr<serial::ReceivePort> m_port;
    Monitor m_monitor;
    Recorder m_recorder;
    QString m_source;
    int m_baud = DefaultSpeed;
    bool m_listening = false;
    bool m_paused = false;
    bool m_toldRecording = false;
    QString m_failure;
    bool m_wentAway = false;
    mutable std::mutex m_mutex; // guards the monitor and the state above against snapshot()
};

} // namespace bus
