#include "serial/pseudoterminal.h"

#include <QtGlobal>

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

void PseudoTerminal::releaseFarEnd()
{
    if (m_far >= 0)
        ::close(m_far);
    m_far = -1;
}

bool PseudoTerminal::farEndHeld() const
{
    if (m_near < 0)
        return false;
    // With no program holding the far end, this side reports a hang-up.
    pollfd p{m_near, POLLOUT, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

qsizetype PseudoTerminal::write(QByteArrayView bytes, int waitMs)
{
    if (m_near < 0 || m_failed)
        return -1;
    pollfd p{m_near, POLLOUT, 0};
    if (::poll(&p, 1, waitMs) <= 0 || !(p.revents & POLLOUT))
        return 0;
    const ssize_t n = ::write(m_near, bytes.data(), size_t(bytes.size()));
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    m_failed = true;
    m_error = QStringLiteral("%1: %2.").arg(m_farEnd, QString::fromLocal8Bit(strerror(errno)));
    return -1;
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
void PseudoTerminal::releaseFarEnd() {}
bool PseudoTerminal::farEndHeld() const
{
    return false;
}
qsizetype PseudoTerminal::write(QByteArrayView, int)
{
    return -1;
}

#endif

} // namespace serial
