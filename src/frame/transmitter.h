// The paced transmitter: ten repetitions of the frame, 0.1 s of silence before each, one byte per 0.05 s
// slot. It needs no window; the send step drives it for every front end and hears its progress.
#pragma once

#include "frame/pacing.h"
#include "frame/sentencebytes.h"
#include "serial/serialport.h"

#include <functional>
#include <optional>

namespace frame {

struct Pacing {
    std::chrono::microseconds pause = RepetitionPause; // before each repetition
    std::chrono::microseconds slot = ByteSlot;         // per byte, from the start of its write
    // The clock the waits are measured on, and the wait itself: the steady clock and the event loop, or a
    // test's own clock, on which the schedule can be checked to the microsecond.
    std::function<Clock::time_point()> now = &Clock::now;
    std::function<void(Clock::time_point)> wait = &waitUntil;
};

class Transmitter {
public:
    // Called with the progress bar's value after each repetition: 1 to 9, then 0 after the tenth.
    using Progress = std::function<void(int value)>;

    // Asked before each byte; true ends the send there (the byte before it has had its whole slot).
    using StopRequested = std::function<bool()>;

    explicit Transmitter(serial::SerialPort &port, Pacing pacing = {});

    void setStopRequested(StopRequested stop) { m_stop = std::move(stop); }

    // Computes the check bytes into the record and writes the ten repetitions. Returns nothing when every
    // byte was written, or why the send stopped; on a failed write it stops at once and closes the port.
    // A stop request also closes the port and gives "interrupted after N of M bytes".
    std::optional<QString> TransmitSentence(SentenceBytes &s, const Progress &progress = {});

    // How many bytes the last send wrote, and how many it had to write.
    int bytesSent() const { return m_sent; }
    int bytesTotal() const { return m_total; }
    // How many repetitions of the last send went out whole.
    int repetitionsSent() const { return m_repetitions; }
    // Whether the last send ended because a stop was asked for, rather than by a failed write.
    bool stopped() const { return m_stopped; }

private:
    bool SendByte(const std::uint8_t &CharOne);

    serial::SerialPort &m_port;
    Pacing m_pacing;
    StopRequested m_stop;
    int m_sent = 0;
    int m_total = 0;
    int m_repetitions = 0;
    bool m_stopped = false;
};

// Why a send failed, and how far it got: "<why> after 4 of 10 repetitions; the display may have taken the
// location", since one whole repetition can be enough. Only the reason while no repetition went out.
QString failedAfter(const QString &why, int repetitions);

} // namespace frame
