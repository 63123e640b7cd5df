// One send as every front end runs it: open the port, write the ten paced repetitions, report what went out.
// It needs no window: a front end only decides how to ask for another port, how to show progress and when
// to ask for a stop.
#pragma once

#include "frame/configuration.h"
#include "frame/transmitter.h"
#include "serial/portopener.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <variant>

namespace frame {

// A COM port number, opened through the opener, which asks for another number when it will not open.
struct ComPort {
    std::int16_t number = 0;
};
// A device the caller has already found (the command line's --port and --device): tried once, no prompt.
struct Device {
    QString path;
};
using Destination = std::variant<ComPort, Device>;

struct SendProgress {
    int repetitions = 0; // gone out whole
    int repetitionsTotal = Repetitions;
    int bytes = 0; // written
    int bytesTotal = 0;

    // The progress window's bar: the repetitions gone out, back to 0 once the last has.
    int barValue() const { return repetitions >= repetitionsTotal ? 0 : repetitions; }
};

struct SendEvents {
    // Opening a COM port: asked for another number when it will not open (none: give up at once), and told
    // each number an answer chose, for the program to keep.
    serial::AskPort askPort;
    serial::PortChanged portChanged;
    // Asked about the number that opened, before anything is written; false: nothing is sent.
    serial::AdmitPort admitPort;
    // The port is open and nothing is written yet: where a front end shows that the send is under way.
    std::function<void(const SendProgress &)> started;
    // After each repetition that went out whole.
    std::function<void(const SendProgress &)> progress;
    // Asked before each byte: true ends the send there, after the byte on the wire has had its whole slot.
    std::function<bool()> stopRequested;
};

enum class SendOutcome {
    Sent,       // every byte went out
    Incomplete, // nothing was opened or written: a list of the configuration has no entry chosen
    NotOpened,  // nothing was written: the port did not open, or the user gave up at the prompt
    Failed,     // a write failed; the port is closed
    Stopped,    // a stop was asked for; the port is closed
};

struct SendReport {
    SendOutcome outcome = SendOutcome::Sent;
    // What the system or the opener said: why the port did not open, why a write failed, or how far a
    // stopped send got. Empty when sent.
    QString why;
    int repetitions = 0; // gone out whole
    int bytes = 0;       // written, whole repetitions or not
    int bytesTotal = 0;  // a whole send's bytes; 0 when the port did not open
    EncodeError missing; // the list without an entry, when Incomplete

    bool sent() const { return outcome == SendOutcome::Sent; }
    // One line for the user: "no entry is chosen in the "Talker ID" list", "cannot open ...", "interrupted
    // after 37 of 100 bytes", or the reason with "after 4 of 10 repetitions; the display may have taken the
    // location" once a repetition went out.
    QString failure() const;
};

// Opens the destination: nothing when it is open, otherwise the line that says why not.
std::optional<QString> open(serial::SerialPort &port, const Destination &to, const SendEvents &events = {});

// Computes the check bytes into the record and writes the ten repetitions on a port already open (a plan
// sends all its locations on one opening). A whole send leaves the port open; a failure or stop closes it.
SendReport transmit(serial::SerialPort &port, SentenceBytes &s, const SendEvents &events = {},
                    const Pacing &pacing = {});

// Both: opens the destination, then transmits. The port stays open after a whole send, until the next send
// reopens it or Quit closes it.
SendReport send(serial::SerialPort &port, const Destination &to, SentenceBytes &s,
                const SendEvents &events = {}, const Pacing &pacing = {});

// From what a memory location is to show: encoded for the product, then sent as above. A configuration with
// a list left without an entry opens nothing and reports the list.
SendReport send(serial::SerialPort &port, const Destination &to, const Configuration &c,
                const vocabulary::Product &product, const SendEvents &events = {}, const Pacing &pacing = {});

} // namespace frame
