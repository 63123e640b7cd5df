#include "serial/receiveport.h"

#include "serial/devicepath.h"
#include "serial/qtserialport.h"

namespace serial {
namespace {

// Opens the device under its lock and sets its line; why not, when it cannot.
std::optional<QString> openLine(QSerialPort &port, const QString &device, QIODevice::OpenMode mode, int baud,
                                const QString &shown)
{
    if (std::optional<QString> refused = openExclusive(port, device, mode))
        return refused;
    if (std::optional<QString> refused = setLine(port, baud, shown))
        return refused;
    port.clearError();
    return std::nullopt;
}

} // namespace

ReceivePort::~ReceivePort() = default;

QtReceivePort::~QtReceivePort()
{
    close();
}

bool QtReceivePort::open(const QString &device, int baud)
{
    close();
    m_device = shownDevice(device);
    m_error.clear();
    m_failed = false;
    if (const std::optional<QString> refused =
            openLine(m_port, device, QIODevice::ReadOnly, baud, m_device)) {
        m_error = *refused;
        return false;
    }
    return true;
}

QByteArray QtReceivePort::read(int waitMs)
{
    if (m_failed || !m_port.isOpen())
        return {};
    if (m_port.bytesAvailable() == 0)
        m_port.waitForReadyRead(waitMs);
    QByteArray bytes = m_port.readAll();
    switch (m_port.error()) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        m_port.clearError();
        break;
    default:
        m_failed = true;
        m_error = QStringLiteral("%1: %2.").arg(m_device, m_port.errorString());
        m_port.close();
        break;
    }
    return bytes;
}

void QtReceivePort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

QtPlayPort::~QtPlayPort()
{
    close();
}

bool QtPlayPort::open(const QString &device, int baud)
{
    close();
    m_device = shownDevice(device);
    m_error.clear();
    if (const std::optional<QString> refused =
            openLine(m_port, device, QIODevice::WriteOnly, baud, m_device)) {
        m_error = *refused;
        return false;
    }
    return true;
}

bool QtPlayPort::write(QByteArrayView bytes, int waitMs)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size()) {
        m_error = QStringLiteral("%1: %2.").arg(m_device, m_port.errorString());
        return false;
    }
    // A line that takes nothing for ten waits in a row is stuck: say so rather than hang.
    int idle = 0;
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(waitMs)) {
            if (m_port.error() == QSerialPort::TimeoutError && ++idle < 10) {
                m_port.clearError();
                continue;
            }
            m_error = QStringLiteral("%1: %2.").arg(m_device, m_port.errorString());
            return false;
        }
    }
    return true;
}

void QtPlayPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

} // namespace serial
