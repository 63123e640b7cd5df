// The paced transmitter: ten repetitions of the frame, 0.1 s of silence before each, one byte per 0.05 s
// slot. It needs no window; it reports progress to whoever drives it (the progress window, the command line).
#pragma once

#include "frame/pacing.h"
#include "frame/sentencebytes.h"
#include "serial/serialport.h"

#include <functional>
#include <optional>

namespace frame {

struct Pacing {
    std::chrono::microseconds pause{100'000}; // before each repetition
    std::chrono::microseconds slot{50'000};   // per byte, from the start of its write
};

class Transmitter {
public:
    // Called with the progress bar's value after each repetition: 1 to 9, then 0 after the tenth.
    using Progress = std::function<void(int value)>;

    explicit Transmitter(serial::SerialPort &port, Pacing pacing = {});

    // Computes the check bytes into the record and writes the ten repetitions. Returns nothing when every
    // byte was written, or why the send stopped; on a failed write it stops at once and closes the port.
    std::optional<QString> TransmitSentence(SentenceBytes &s, const Progress &progress = {});

private:
    bool SendByte(const std::uint8_t &CharOne);

    serial::SerialPort &m_port;
    Pacing m_pacing;
};

} // namespace frame
