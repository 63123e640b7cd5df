// The serial line of the window program: which COM number is chosen, what device it opens on this computer,
// why not when it opens none, and who holds the line now. Every window asks it and observes its signals
// instead of keeping its own copy of the number or its own "busy".
#pragma once

#include "app/program.h"
#include "frame/sendstep.h"
#include "serial/portmap.h"
#include "serial/serialport.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace app {

// Who holds the line. Every holder but the monitor writes; the monitor only reads, and gives way to a writer
// until that one is done.
enum class Holder { None, Send, PlanSend, TestPattern, Monitor, PageJob };

// How a refusal names the holder: "a send", "the plan's send", "the test pattern", ...
QString holderText(Holder holder);
bool writes(Holder holder);

class SerialLine : public QObject {
    Q_OBJECT
public:
    // The number stays the program's ComPortNumber; the line is the one that changes it while the program
    // runs.
    SerialLine(Program &program, serial::SerialPort &port, QObject *parent = nullptr);

    std::int16_t number() const { return m_program.ComPortNumber; }
    // Keeps the number and tells every window, also when it is the same (a window may show it anew).
    void setNumber(std::int16_t number);
    // What the number opens on this computer now: adapters come and go, so it is asked each time.
    serial::PortDevice device() const;
    QString devicePath() const;
    // Nothing when the number opens a device; otherwise the one text that says why not.
    std::optional<QString> whyNot() const;
    // "/dev/ttyUSB0: USB adapter ..." or why not.
    QString describe() const;
    serial::SerialPort &port() { return m_port; }
    Program &program() { return m_program; }

    Holder holder() const { return m_holder; }
    // A writer holds the line: no other send, and the windows take no command that would start one.
    bool busy() const { return writes(m_holder); }

    // The one place a holder takes the line: nothing when it has it, otherwise why not. A writer takes it
    // from the monitor, which waits and has it back on release; no one takes it from a writer; the monitor
    // takes it only when it is free. Before a writer takes it the check, when one is set, may refuse.
    std::optional<QString> claim(Holder who);
    void release(Holder who);
    using Check = std::function<std::optional<QString>(Holder who, const SerialLine &line)>;
    void setCheckBeforeWriting(Check check) { m_check = std::move(check); }

    // The main window's send of the program's record on the chosen number, through the opener's prompt; a
    // number answered there becomes the line's number (and every window hears of it).
    frame::SendReport transmitSentence(frame::SendEvents events);
    // What the main window says after a send that failed: the send's account and the port it used.
    QString notSentMessage(const frame::SendReport &report) const;

signals:
    void numberChanged(int number);
    void holderChanged(app::Holder holder);

private:
    void setHolder(Holder holder);

    Program &m_program;
    serial::SerialPort &m_port;
    Holder m_holder = Holder::None;
    bool m_monitorWaits = false;
    Check m_check;
};

} // namespace app
