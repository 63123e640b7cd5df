// The serial port on the host's serial driver, through Qt SerialPort.
#pragma once

#include "serial/serialport.h"

#include <QSerialPort>

#include <optional>

namespace serial {

class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    bool open(const QString &device) override;
    bool isOpen() const override;
    bool writeByte(std::uint8_t byte) override;
    void close() override;
    QString errorString() const override;

    // The folder of the device's lock file; empty, as by default, for the one the system's serial port uses.
    void setLockDirectory(const QString &directory) { m_lockDirectory = directory; }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_shown; // the device as messages name it
    QString m_error;
    QString m_lockDirectory;
    bool m_opening = false;
    bool m_failed = false;
};

// The system's reason for a failure to open, with what a user can do about it; the device is named as
// shown.
QString describeOpenError(QSerialPort::SerialPortError error, const QString &device,
                          const QString &systemText, const QString &shown);

// Opens the device node behind a name, whatever the name (a link, a by-id name), and takes its lock, so one
// device has one holder, root included; a lock file of another running program is respected, a stale one
// taken over. lockDirectory as for checkLockFile. Nothing when it opened, otherwise why not.
std::optional<QString> openExclusive(QSerialPort &port, const QString &device, QIODevice::OpenMode mode,
                                     const QString &lockDirectory = {});

// Sets the line to baud, 8 data bits, no parity, 1 stop bit, no flow control. Nothing when the driver took
// it; otherwise the port is closed again and why is said, the device named as shown.
std::optional<QString> setLine(QSerialPort &port, qint32 baud, const QString &shown);

} // namespace serial
