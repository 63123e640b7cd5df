#include "serial/qtserialport.h"

#include <QFileInfo>
#include <QMetaObject>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#endif

namespace serial {
namespace {

// The group that owns a device node: on Debian a refused serial adapter usually wants "dialout".
QString owningGroup(const QString &device)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) == 0) {
        if (const group *g = ::getgrgid(st.st_gid))
            return QString::fromLocal8Bit(g->gr_name);
    }
#else
    Q_UNUSED(device);
#endif
    return {};
}

} // namespace

QString describeOpenError(QSerialPort::SerialPortError error, const QString &device,
                          const QString &systemText)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: no such device (%2).").arg(device, systemText);
    case QSerialPort::PermissionError: {
        if (QFileInfo::exists(device)) {
            const QString group = owningGroup(device);
            if (!group.isEmpty() && group != QLatin1String("root")) {
                return QStringLiteral("%1: permission denied or in use (%2). If it is not in use, join the "
                                      "group \"%3\" (sudo adduser $USER %3) and log in again.")
                    .arg(device, systemText, group);
            }
        }
        return QStringLiteral("%1: permission denied or in use by another program (%2).")
            .arg(device, systemText);
    }
    case QSerialPort::OpenError:
        return QStringLiteral("%1: already open (%2).").arg(device, systemText);
    default:
        return QStringLiteral("%1: %2.").arg(device, systemText);
    }
}

QtSerialPort::QtSerialPort()
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort()
{
    close();
}

bool QtSerialPort::open(const QString &device)
{
    close();
    m_device = device;
    m_error.clear();
    m_failed = false;
    if (device.isEmpty()) {
        m_error = QStringLiteral("no device is assigned to this port number.");
        return false;
    }
    m_opening = true;
    m_port.setPortName(device);
    m_port.setReadBufferSize(4096);
    const bool opened = m_port.open(QIODevice::ReadWrite);
    if (!opened) {
        m_error = describeOpenError(m_port.error(), device, m_port.errorString());
        m_opening = false;
        return false;
    }
    const bool configured =
        m_port.setBaudRate(QSerialPort::Baud4800) && m_port.setDataBits(QSerialPort::Data8) &&
        m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = QStringLiteral("%1: the line settings 4800,n,8,1 were refused (%2).")
                      .arg(device, m_port.errorString());
        m_port.close();
        m_opening = false;
        return false;
    }
    // A device without modem-control lines (a pseudo-terminal) refuses RTS; only the transmit wire matters.
    m_port.setRequestToSend(false);
    m_port.clearError();
    m_opening = false;
    return true;
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen() && !m_failed;
}

bool QtSerialPort::writeByte(std::uint8_t byte)
{
    if (!isOpen())
        return false;
    const char c = char(byte);
    if (m_port.write(&c, 1) != 1) {
        if (!m_failed) {
            m_failed = true;
            m_error = QStringLiteral("%1: %2.").arg(m_device, m_port.errorString());
        }
        return false;
    }
    // Hand the byte to the driver now rather than at the next turn of the event loop, so it starts its slot.
    m_port.flush();
    return !m_failed;
}

void QtSerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

QString QtSerialPort::errorString() const
{
    return m_error;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    if (m_opening || m_failed)
        return;
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        return;
    default:
        break;
    }
    // A vanished adapter keeps raising errors for as long as the port stays open: note the first one and
    // close the port once, after this signal has returned.
    m_failed = true;
    m_error = QStringLiteral("%1: %2.").arg(m_device, m_port.errorString());
    QMetaObject::invokeMethod(
        &m_port,
        [this] {
            if (m_port.isOpen())
                m_port.close();
        },
        Qt::QueuedConnection);
}

} // namespace serial
