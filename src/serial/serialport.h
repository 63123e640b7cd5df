// The serial port as the program uses it: transmit only, 4800 baud, 8 data bits, no parity, 1 stop bit.
// Nothing else in the program touches the host's serial API, so tests can put a recording port in its place.
#pragma once

#include <QString>

#include <cstdint>

namespace serial {

// The display's line in programming mode, for sending, listening and the simulated display; the other line
// settings (8 data bits, no parity, 1 stop bit, no flow control) go with it wherever a port is opened.
inline constexpr int LineBaud = 4800;

class SerialPort {
public:
    virtual ~SerialPort();

    // Opens the device at 4800 8N1 with RTS inactive; false with errorString() set when it will not open.
    virtual bool open(const QString &device) = 0;
    virtual bool isOpen() const = 0;
    // Queues one byte and returns at once; false when the port is closed or has failed since it opened.
    virtual bool writeByte(std::uint8_t byte) = 0;
    virtual void close() = 0;
    // Why the last open or write failed, in the system's words.
    virtual QString errorString() const = 0;
};

} // namespace serial
