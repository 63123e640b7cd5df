#include "serial/qtserialport.h"

#include "serial/devicepath.h"
#include "serial/lockfile.h"
#include "serial/networkaddress.h"

#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
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

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A write that fails this way means the device is no longer there: an adapter pulled out, a far end gone.
bool wentAway(int error)
{
#ifdef Q_OS_UNIX
    return error == EIO || error == ENXIO || error == ENODEV;
#else
    Q_UNUSED(error);
    return false;
#endif
}

QString writeFailure(const QString &shown, int error)
{
    if (wentAway(error))
        return QStringLiteral("%1: the device went away (unplugged?): %2.").arg(shown, systemError(error));
    return QStringLiteral("%1: %2.").arg(shown, systemError(error));
}

// The refusal of a device that another program holds.
QString busyMessage(const QString &shown)
{
    return QStringLiteral("%1: busy: another program, or another mdconfig, is using this device.").arg(shown);
}

} // namespace

std::optional<QString> openExclusive(QSerialPort &port, const QString &device, QIODevice::OpenMode mode,
                                     const QString &lockDirectory)
{
    // A network address never reaches a display: the refusal says why before anything is looked up.
    if (std::optional<QString> refused = refuseNetworkAddress(device, mode.testFlag(QIODevice::WriteOnly)))
        return refused;
    const QString shown = shownDevice(device);
    // Open the device node itself, so that every name for one device meets the same lock file.
    const QString node = deviceNode(device);
    if (node.isEmpty())
        return describeOpenError(QSerialPort::DeviceNotFoundError, device, systemError(ENOENT), shown);
    // Qt's serial port would take over a lock file of another running program and name no file it cannot
    // read, so the lock file is judged first.
    if (const std::optional<QString> locked = checkLockFile(node, shown, lockDirectory))
        return locked;
    port.setPortName(node);
    if (!port.open(mode)) {
        const QSerialPort::SerialPortError error = port.error();
        const DeviceUse use = probeDevice(node);
        // Qt refuses a device whose lock file another live holder has as a permission error; a device we
        // may open ourselves was refused for that lock, not for want of permission.
        if (use == DeviceUse::Busy || (error == QSerialPort::PermissionError && use == DeviceUse::Free))
            return busyMessage(shown);
        return describeOpenError(error, node, port.errorString(), shown);
    }
#ifdef Q_OS_UNIX
    if (!lockDevice(int(port.handle()))) {
        port.close();
        return busyMessage(shown);
    }
#endif
    return std::nullopt;
}

std::optional<QString> setLine(QSerialPort &port, qint32 baud, const QString &shown)
{
    const bool configured = port.setBaudRate(baud) && port.setDataBits(QSerialPort::Data8) &&
                            port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
                            port.setFlowControl(QSerialPort::NoFlowControl);
    if (configured)
        return std::nullopt;
    const QString why = QStringLiteral("%1: the line settings %2,n,8,1 were refused (%3).")
                            .arg(shown, QString::number(baud), port.errorString());
    port.close();
    return why;
}

QString describeOpenError(QSerialPort::SerialPortError error, const QString &device,
                          const QString &systemText, const QString &shown)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: no such device (%2).").arg(shown, systemText);
    case QSerialPort::PermissionError: {
        if (QFileInfo::exists(device)) {
            const QString group = owningGroup(device);
            if (!group.isEmpty() && group != QLatin1String("root")) {
                return QStringLiteral("%1: permission denied or in use (%2). If it is not in use, join the "
                                      "group \"%3\" (sudo adduser $USER %3) and log in again.")
                    .arg(shown, systemText, group);
            }
        }
        return QStringLiteral("%1: permission denied or in use by another program (%2).")
            .arg(shown, systemText);
    }
    case QSerialPort::OpenError:
        return QStringLiteral("%1: already open (%2).").arg(shown, systemText);
    default:
        return QStringLiteral("%1: %2.").arg(shown, systemText);
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
    m_shown = shownDevice(device);
    m_error.clear();
    m_failed = false;
    if (device.isEmpty()) {
        m_error = QStringLiteral("no device is assigned to this port number.");
        return false;
    }
    m_opening = true;
    m_port.setReadBufferSize(4096);
    if (const std::optional<QString> refused =
            openExclusive(m_port, device, QIODevice::ReadWrite, m_lockDirectory)) {
        m_error = *refused;
        m_opening = false;
        return false;
    }
    if (const std::optional<QString> refused = setLine(m_port, LineBaud, m_shown)) {
        m_error = *refused;
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
#ifdef Q_OS_UNIX
    // Straight to the driver, so the byte starts its slot now and a failure comes back with the system's
    // own reason rather than whatever a later call of Qt's left in errno.
    ssize_t written;
    do {
        written = ::write(int(m_port.handle()), &c, 1);
    } while (written < 0 && errno == EINTR);
    if (written == 1)
        return !m_failed;
    if (written < 0 && errno != EAGAIN) {
        const int error = errno;
        if (!m_failed) {
            m_failed = true;
            m_error = writeFailure(m_shown, error);
        }
        return false;
    }
#endif
    if (m_port.write(&c, 1) != 1) {
        if (!m_failed) {
            m_failed = true;
            m_error = QStringLiteral("%1: %2.").arg(m_shown, m_port.errorString());
        }
        return false;
    }
    m_port.flush();
    return !m_failed;
}

void QtSerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

QByteArray QtSerialPort::readReceived()
{
    return isOpen() ? m_port.readAll() : QByteArray();
}

bool QtSerialPort::setReceiveSpeed(int baud)
{
    return isOpen() && m_port.setBaudRate(baud);
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
    m_error = QStringLiteral("%1: %2.").arg(m_shown, m_port.errorString());
#ifdef Q_OS_UNIX
    // Qt's own text here is whatever its last call left in errno ("Inappropriate ioctl for device" after a
    // hang-up); an empty write asks the device itself why it fails.
    if (::write(int(m_port.handle()), "", 0) < 0)
        m_error = writeFailure(m_shown, errno);
    else if (error == QSerialPort::ResourceError)
        m_error = QStringLiteral("%1: the device went away (unplugged?).").arg(m_shown);
#endif
    QMetaObject::invokeMethod(
        &m_port,
        [this] {
            if (m_port.isOpen())
                m_port.close();
        },
        Qt::QueuedConnection);
}

} // namespace serial
