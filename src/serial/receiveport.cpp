#include "serial/receiveport.h"

#include "serial/qtserialport.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace serial {

ReceivePort::~ReceivePort() = default;

struct QtReceivePort::Private {
    QSerialPort port;
};

QtReceivePort::QtReceivePort() : d(new Private) {}

QtReceivePort::~QtReceivePort()
{
    close();
    delete d;
}

bool QtReceivePort::open(const QString &device, int baud)
{
    close();
    m_device = device;
    m_error.clear();
    m_failed = false;
    d->port.setPortName(device);
    if (!d->port.open(QIODevice::ReadOnly)) {
        m_error = describeOpenError(d->port.error(), device, d->port.errorString());
        return false;
    }
    const bool configured = d->port.setBaudRate(baud) && d->port.setDataBits(QSerialPort::Data8) &&
                            d->port.setParity(QSerialPort::NoParity) &&
                            d->port.setStopBits(QSerialPort::OneStop) &&
                            d->port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_error = QStringLiteral("%1: the line settings %2,n,8,1 were refused (%3).")
                      .arg(device)
                      .arg(baud)
                      .arg(d->port.errorString());
        d->port.close();
        return false;
    }
    d->port.clearError();
    return true;
}

QByteArray QtReceivePort::read(int waitMs)
{
    if (m_failed || !d->port.isOpen())
        return {};
    if (d->port.bytesAvailable() == 0)
        d->port.waitForReadyRead(waitMs);
    QByteArray bytes = d->port.readAll();
    switch (d->port.error()) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
        d->port.clearError();
        break;
    default:
        m_failed = true;
        m_error = QStringLiteral("%1: %2.").arg(m_device, d->port.errorString());
        d->port.close();
        break;
    }
    return bytes;
}

void QtReceivePort::close()
{
    if (d->port.isOpen())
        d->port.close();
}

#ifdef Q_OS_UNIX

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open()
{
    close();
    m_failed = false;
    m_error.clear();
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_near, &m_far, name, &raw, nullptr) != 0) {
        m_error = QStringLiteral("no pseudo-terminal could be made (%1).")
                      .arg(QString::fromLocal8Bit(strerror(errno)));
        m_near = m_far = -1;
        return false;
    }
    ::fcntl(m_near, F_SETFL, ::fcntl(m_near, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_near, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_far, F_SETFD, FD_CLOEXEC);
    m_farEnd = QString::fromLocal8Bit(name);
    return true;
}

QByteArray PseudoTerminal::read(int waitMs)
{
    if (m_near < 0 || m_failed)
        return {};
    pollfd p{m_near, POLLIN, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready <= 0)
        return {}; // nothing came, or a signal: the caller looks at its flags and asks again
    char buffer[512];
    const ssize_t n = ::read(m_near, buffer, sizeof buffer);
    if (n > 0)
        return QByteArray(buffer, n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return {};
    m_failed = true;
    m_error = QStringLiteral("%1: %2.").arg(m_farEnd, n == 0 ? QStringLiteral("closed")
                                                             : QString::fromLocal8Bit(strerror(errno)));
    return {};
}

void PseudoTerminal::close()
{
    if (m_near >= 0)
        ::close(m_near);
    if (m_far >= 0)
        ::close(m_far);
    m_near = m_far = -1;
}

#else

PseudoTerminal::~PseudoTerminal() = default;
bool PseudoTerminal::open()
{
    m_error = QStringLiteral("pseudo-terminals are not available on this system.");
    return false;
}
QByteArray PseudoTerminal::read(int)
{
    return {};
}
void PseudoTerminal::close() {}

#endif

} // namespace serial
