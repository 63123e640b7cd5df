#include "serial/lockfile.h"

#include "serial/devicepath.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace serial {
namespace {

// The kernel never gives out a process number above this.
constexpr long long HighestPid = 4194304;
// A lock file says one number and at most a few short lines; anything longer is not a lock file.
constexpr qint64 LongestLockFile = 4096;

// The process number in the file's bytes, or nothing when they hold none.
std::optional<long long> pidIn(const QByteArray &bytes)
{
    int i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t'))
        ++i;
    const int digits = i;
    long long pid = 0;
    while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && pid <= HighestPid)
        pid = pid * 10 + (bytes[i++] - '0');
    if (i > digits) {
        while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r'))
            ++i;
        // The number ends the file or its first line; Qt's lock files go on with more lines.
        if ((i == bytes.size() || bytes[i] == '\n') && pid > 0 && pid <= HighestPid)
            return pid;
    }
    // The older binary form: the number as the writer's int, 4 bytes.
    if (bytes.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, bytes.constData(), sizeof binary);
        if (binary > 0 && binary <= HighestPid)
            return binary;
    }
    return std::nullopt;
}

QString processName(long long pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return printable(QString::fromLocal8Bit(comm.read(64)).trimmed());
}

#ifdef Q_OS_UNIX
// The file's contents and identity through a descriptor opened without following a link or blocking.
struct Opened {
    int error = 0; // errno of the opening, 0 when it opened
    QString why;
    QByteArray bytes;
    dev_t device = 0;
    ino_t inode = 0;
};

Opened openLock(const QString &path)
{
    Opened o;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        o.error = errno;
        o.why =
            o.error == ELOOP
                ? QStringLiteral("is a link")
                : QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(o.error)));
        return o;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        o.why = QStringLiteral("is not a regular file");
        ::close(fd);
        return o;
    }
    o.device = st.st_dev;
    o.inode = st.st_ino;
    char buffer[LongestLockFile + 1];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer + total, sizeof buffer - std::size_t(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            o.why = QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            return o;
        }
        if (n == 0 || (total += n) == qint64(sizeof buffer))
            break;
    }
    ::close(fd);
    o.bytes = QByteArray(buffer, int(total));
    return o;
}

LockState stateOf(const Opened &o)
{
    LockState s;
    if (o.error == ENOENT)
        return s;
    s.kind = LockState::Unreadable;
    if (!o.why.isEmpty()) {
        s.why = o.why;
        return s;
    }
    const std::optional<long long> pid = o.bytes.size() > LongestLockFile ? std::nullopt : pidIn(o.bytes);
    if (!pid) {
        s.why = QStringLiteral("names no process");
        return s;
    }
    s.pid = *pid;
    if (s.pid == ::getpid()) {
        s.kind = LockState::Own;
    } else if (::kill(pid_t(s.pid), 0) == 0 || errno != ESRCH) {
        // A process of another user answers "not permitted": it is running all the same.
        s.kind = LockState::Live;
        s.process = processName(s.pid);
    } else {
        s.kind = LockState::Stale;
    }
    return s;
}
#endif

// Why a lock file keeps the device from being opened; nothing when it does not.
std::optional<QString> refusal(const LockState &state, const QString &path, const QString &shown)
{
    switch (state.kind) {
    case LockState::None:
    case LockState::Own: // the device's own lock decides between two ports of this process
    case LockState::Stale:
        return std::nullopt;
    case LockState::Live:
        if (state.process.isEmpty())
            return QStringLiteral("%1: busy: locked by process %2.").arg(shown, QString::number(state.pid));
        return QStringLiteral("%1: busy: locked by process %2 (%3).")
            .arg(shown, QString::number(state.pid), state.process);
    case LockState::Unreadable:
        break;
    }
    return QStringLiteral("%1: busy: the lock file %2 %3; remove %2 if no program is using the device.")
        .arg(shown, printable(path), state.why);
}

} // namespace

QString lockFileName(const QString &node)
{
    QString name = node.startsWith(QLatin1String("/dev/")) ? node.mid(5) : node;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QString systemLockFile(const QString &node)
{
    // Qt's serial port looks in these folders, in this order.
    static const char *const folders[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                          "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
    const QString name = lockFileName(node);
    for (const char *folder : folders) {
        const QFileInfo info(QString::fromLatin1(folder));
        const QString path = info.filePath() + QLatin1Char('/') + name;
        if (info.isReadable() && (QFile::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

LockState readLockFile(const QString &path)
{
#ifdef Q_OS_UNIX
    return stateOf(openLock(path));
#else
    Q_UNUSED(path);
    return {};
#endif
}

std::optional<QString> checkLockFile(const QString &node, const QString &shown, const QString &lockDirectory)
{
#ifdef Q_OS_UNIX
    const QString path = lockDirectory.isEmpty() ? systemLockFile(node)
                                                 : lockDirectory + QLatin1Char('/') + lockFileName(node);
    if (path.isEmpty())
        return std::nullopt; // Qt's serial port says why it cannot lock
    Opened judged = openLock(path);
    LockState state = stateOf(judged);
    if (state.kind != LockState::Stale)
        return refusal(state, path, shown);
    // Taken over as Qt takes over a stale lock: one remover at a time, and only the file that was judged.
    QLockFile remover(path + QStringLiteral(".rmlock"));
    if (!remover.tryLock(0)) {
        return QStringLiteral("%1: busy: another program is taking over the lock file %2.")
            .arg(shown, printable(path));
    }
    const Opened again = openLock(path);
    if (again.device != judged.device || again.inode != judged.inode || again.bytes != judged.bytes) {
        state = stateOf(again);
        if (state.kind != LockState::Stale)
            return refusal(state, path, shown);
    }
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        return QStringLiteral("%1: busy: the lock file %2 of process %3, which has ended, cannot be removed "
                              "(%4); remove it by hand.")
            .arg(shown, printable(path), QString::number(state.pid), why);
    }
    return std::nullopt;
#else
    Q_UNUSED(node);
    Q_UNUSED(shown);
    Q_UNUSED(lockDirectory);
    return std::nullopt;
#endif
}

} // namespace serial
