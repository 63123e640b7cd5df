// The read side of a serial line, for listening to a bus or to a sender: bytes as they come, with a bounded
// wait so the caller can redraw, watch the clock and notice a signal. The transmit-only SerialPort stays as
// the senders know it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSerialPort>
#include <QString>
#include <QStringList>

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
    // What the user should hear of without the port failing (a network source dropped and came back, no
    // data for a while), each once; a serial device has none.
    virtual QStringList takeNotices() { return {}; }
};

// A serial device through Qt SerialPort, 8 data bits, no parity, 1 stop bit, no flow control.
class QtReceivePort : public ReceivePort {
public:
    QtReceivePort() = default;
    ~QtReceivePort() override;
    // false with errorString() set when the device will not open or refuses the speed.
    bool open(const QString &device, int baud);
    QByteArray read(int waitMs) override;
    bool failed() const override { return m_failed; }
    QString errorString() const override { return m_error; }
    void close() override;

private:
    QSerialPort m_port;
    QString m_device;
    QString m_error;
    bool m_failed = false;
};

// A serial device written at a chosen speed, 8N1: for playing a recording onto a bus. It takes the device's
// lock as a sender does.
class QtPlayPort {
public:
    ~QtPlayPort();
    bool open(const QString &device, int baud); // false with errorString() set
    // Writes all of bytes, waiting at most waitMs for the driver to take them; false when the port failed.
    bool write(QByteArrayView bytes, int waitMs);
    QString errorString() const { return m_error; }
    void close();

private:
    QSerialPort m_port;
    QString m_device;
    QString m_error;
};

} // namespace serial
