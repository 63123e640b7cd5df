// The read side of a serial line, for listening to a bus or to a sender: bytes as they come, with a bounded
// wait so the caller can redraw, watch the clock and notice a signal. The transmit-only SerialPort stays as
// the senders know it.
#pragma once

#include <QByteArray>
#include <QString>

namespace serial {

class ReceivePort {
public:
    virtual ~ReceivePort();
    // Waits at most waitMs for bytes and returns those that came; empty when none did or the port failed.
    virtual QByteArray read(int waitMs) = 0;
    // The device went away or reported an error since it opened; errorString() says which.
    virtual bool failed() const = 0;
    virtual QString errorString() const = 0;
    virtual void close() = 0;
};

// A serial device through Qt SerialPort, 8 data bits, no parity, 1 stop bit, no flow control.
class QtReceivePort : public ReceivePort {
public:
    QtReceivePort();
    ~QtReceivePort() override;
    // false with errorString() set when the device will not open or refuses the speed.
    bool open(const QString &device, int baud);
    QByteArray read(int waitMs) override;
    bool failed() const override { return m_failed; }
    QString errorString() const override { return m_error; }
    void close() override;

private:
    struct Private;
    Private *d;
    QString m_device;
    QString m_error;
    bool m_failed = false;
};

// A pseudo-terminal pair in raw mode: this side reads, the far end is a path another program opens as its
// serial port (the window's port dialog, or mdconfig-cli send --device). The far end is kept open here too,
// so that a sender closing it does not end the pair.
class PseudoTerminal : public ReceivePort {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() override;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(); // false with errorString() set when the system has no pseudo-terminal to give
    QString farEnd() const { return m_farEnd; }
    QByteArray read(int waitMs) override;
    bool failed() const override { return m_failed; }
    QString errorString() const override { return m_error; }
    void close() override;

private:
    int m_near = -1;
    int m_far = -1;
    QString m_farEnd;
    QString m_error;
    bool m_failed = false;
};

} // namespace serial
