// The receive line of a port someone else holds open for sending, lent to a listener: reading takes what
// came since the last read, and closing hands it back open, as the sender left it.
#pragma once

#include "serial/receiveport.h"
#include "serial/serialport.h"

namespace bus {

class LentPort : public serial::ReceivePort {
public:
    explicit LentPort(serial::SerialPort &port) : m_port(port) {}
    QByteArray read(int) override { return m_port.readReceived(); }
    bool failed() const override { return !m_port.isOpen(); }
    QString errorString() const override { return m_port.errorString(); }
    void close() override {}

private:
    serial::SerialPort &m_port;
};

} // namespace bus
