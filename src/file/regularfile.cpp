#include "file/regularfile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace file {
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// "is a FIFO (named pipe), not a regular file": why something is refused for what it is.
QString notRegular(Kind kind)
{
    if (kind == Kind::Other)
        return QStringLiteral("is not a regular file");
    return QStringLiteral("is %1, not a regular file").arg(kindName(kind));
}

QString tooLarge(qint64 limit)
{
    return QStringLiteral("is larger than %1").arg(sizeText(limit));
}

#ifdef Q_OS_UNIX
QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::Regular;
    if (S_ISLNK(mode))
        return Kind::Link;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISFIFO(mode))
        return Kind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Kind::Device;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    return Kind::Other;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads from the start of an open file, at most max bytes, whatever the file's size says.
std::optional<QByteArray> readAt(int fd, qint64 max, int *error)
{
    QByteArray bytes;
    bytes.resize(qsizetype(std::min<qint64>(max, 64 * 1024)));
    qint64 got = 0;
    while (got < max) {
        if (got == bytes.size())
            bytes.resize(qsizetype(std::min<qint64>(max, 2 * got)));
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(bytes.size() - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = errno;
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(qsizetype(got));
    return bytes;
}
#endif

} // namespace

Kind kindAt(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0)
        return Kind::Nothing;
    return kindOf(st.st_mode);
#else
    const QFileInfo info(path);
    if (info.isSymLink() || info.isShortcut())
        return Kind::Link;
    if (!info.exists())
        return Kind::Nothing;
    if (info.isDir())
        return Kind::Folder;
    return info.isFile() ? Kind::Regular : Kind::Other;
#endif
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Nothing:
        return QStringLiteral("nothing");
    case Kind::Regular:
        return QStringLiteral("a regular file");
    case Kind::Link:
        return QStringLiteral("a symbolic link");
    case Kind::Folder:
        return QStringLiteral("a folder");
    case Kind::Fifo:
        return QStringLiteral("a FIFO (named pipe)");
    case Kind::Device:
        return QStringLiteral("a device");
    case Kind::Socket:
        return QStringLiteral("a socket");
    case Kind::Other:
        break;
    }
    return QStringLiteral("something other than a file");
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

std::optional<QString> notARegularFile(const QString &path)
{
    const Kind kind = kindAt(path);
    if (kind == Kind::Nothing || kind == Kind::Regular)
        return std::nullopt;
    return notRegular(kind);
}

Contents read(const QString &path, qint64 limit, OverLimit overLimit)
{
    Contents c;
    const auto fail = [&c](Problem problem, const QString &failure) {
        c.problem = problem;
        c.failure = failure;
        c.bytes.clear();
        return c;
    };
    // What is no regular file is not even opened: opening a serial device can already change its lines.
    // Nothing seen there is left to the open, which tells a missing file from a folder that cannot be read.
    const Kind kind = kindAt(path);
    if (kind != Kind::Regular && kind != Kind::Nothing)
        return fail(Problem::NotRegular, notRegular(kind));
#ifdef Q_OS_UNIX
    // Whatever was swapped in since the look above is caught on the descriptor itself.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return fail(Problem::NotRegular, notRegular(Kind::Link));
        if (error == ENOENT)
            return fail(Problem::Missing, QStringLiteral("does not exist"));
        return fail(Problem::System, QStringLiteral("cannot be read: ") + systemError(error));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(Problem::NotRegular, notRegular(kindOf(st.st_mode)));
    }
    if (overLimit == OverLimit::Refuse && st.st_size > limit) {
        ::close(fd);
        return fail(Problem::TooLarge, tooLarge(limit));
    }
    int error = 0;
    // One byte more than the limit tells a file that grew past it since fstat.
    std::optional<QByteArray> bytes = readAt(fd, limit + 1, &error);
    ::close(fd);
    if (!bytes)
        return fail(Problem::System, QStringLiteral("cannot be read: ") + systemError(error));
    if (bytes->size() > limit) {
        if (overLimit == OverLimit::Refuse)
            return fail(Problem::TooLarge, tooLarge(limit));
        bytes->truncate(qsizetype(limit));
    }
    c.bytes = *bytes;
#else
    if (kind == Kind::Nothing)
        return fail(Problem::Missing, QStringLiteral("does not exist"));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(Problem::System, QStringLiteral("cannot be read: ") + in.errorString());
    c.bytes = in.read(limit + 1);
    if (c.bytes.size() > limit) {
        if (overLimit == OverLimit::Refuse)
            return fail(Problem::TooLarge, tooLarge(limit));
        c.bytes.truncate(qsizetype(limit));
    }
#endif
    return c;
}

std::optional<QString> Change::fail(Problem problem, const QString &failure)
{
    m_problem = problem;
    m_failure = failure;
    return failure;
}

#ifdef Q_OS_UNIX

namespace {

// One look at the name of a change's file: what is there opened, or an empty file made to hold the lock
// (a new file to the caller); again when the name changed meanwhile; a problem when it cannot be opened.
struct Opening {
    int fd = -1;
    bool made = false;
    bool again = false;
    Problem problem = Problem::None;
    QString failure;
};

Opening openForChange(const QByteArray &name, qint64 limit)
{
    Opening o;
    struct stat there {};
    if (::lstat(name.constData(), &there) != 0) {
        if (errno != ENOENT)
            return {-1, false, false, Problem::System,
                    QStringLiteral("cannot be opened: ") + systemError(errno)};
        o.fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (o.fd < 0 && errno == EEXIST)
            o.again = true; // made by another change meanwhile: take that one
        else if (o.fd < 0)
            return {-1, false, false, Problem::System,
                    QStringLiteral("cannot be created: ") + systemError(errno)};
        o.made = o.fd >= 0;
        return o;
    }
    if (!S_ISREG(there.st_mode))
        return {-1, false, false, Problem::NotRegular, notRegular(kindOf(there.st_mode))};
    // A lock needs a descriptor, and a file that may be written but not read still takes one.
    o.fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (o.fd < 0 && errno == EACCES && limit <= 0)
        o.fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (o.fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            o.again = true; // replaced or removed meanwhile: look again
        else if (error == ELOOP)
            return {-1, false, false, Problem::NotRegular, notRegular(Kind::Link)};
        else
            return {-1, false, false, Problem::System,
                    QStringLiteral("cannot be opened: ") + systemError(error)};
    }
    return o;
}

} // namespace

// The open, locked file of a change and what it was when read.
struct Change::Held {
    int fd = -1;
    struct stat seen {};
    bool committed = false;
    ~Held()
    {
        if (fd >= 0)
            ::close(fd); // releases the lock
    }
};

Change::Change(const QString &path, qint64 limit, int waitMs) : m_path(path)
{
    const QByteArray name = native(path);
    const QDeadlineTimer deadline(waitMs);
    const QString busy = QStringLiteral("is being changed by another run, which did not end within %1")
                             .arg(waitMs % 1000 == 0 ? QStringLiteral("%1 s").arg(waitMs / 1000)
                                                     : QStringLiteral("%1 ms").arg(waitMs));
    for (bool first = true;; first = false) {
        if (!first && deadline.hasExpired()) {
            fail(Problem::Busy, busy);
            return;
        }
        auto held = std::make_unique<Held>();
        Opening opening = openForChange(name, limit);
        if (opening.again)
            continue;
        if (opening.problem != Problem::None) {
            fail(opening.problem, opening.failure);
            return;
        }
        held->fd = opening.fd;
        const bool made = opening.made;
        if (::fstat(held->fd, &held->seen) != 0 || !S_ISREG(held->seen.st_mode)) {
            fail(Problem::NotRegular, notRegular(kindOf(held->seen.st_mode)));
            return;
        }
        while (::flock(held->fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            const bool waiting = error == EWOULDBLOCK || error == EINTR;
            if (!waiting || deadline.hasExpired()) {
                // A file made here is left: whoever holds it now takes it as theirs.
                if (waiting)
                    fail(Problem::Busy, busy);
                else
                    fail(Problem::System, QStringLiteral("cannot be locked: ") + systemError(error));
                return;
            }
            QThread::msleep(10);
        }
        // The lock holds only while the name still leads to the file locked: a change that ended meanwhile
        // put a new file in its place, and that one is to be read and locked instead.
        struct stat now {};
        if (::lstat(name.constData(), &now) != 0 || !sameFile(now, held->seen))
            continue;
        ::fstat(held->fd, &held->seen); // as it is now that no other change can touch it
        m_created = made;
        m_held = std::move(held);
        break;
    }
    if (limit <= 0)
        return;
    if (m_held->seen.st_size > limit) {
        fail(Problem::TooLarge, tooLarge(limit));
        return;
    }
    int error = 0;
    const std::optional<QByteArray> bytes = readAt(m_held->fd, limit + 1, &error);
    if (!bytes)
        fail(Problem::System, QStringLiteral("cannot be read: ") + systemError(error));
    else if (bytes->size() > limit)
        fail(Problem::TooLarge, tooLarge(limit));
    else
        m_bytes = *bytes;
}

Change::~Change()
{
    // The empty file this change made, and nothing has replaced or filled it, is taken away again.
    if (m_held && !m_held->committed && m_created) {
        struct stat now {};
        const QByteArray name = native(m_path);
        if (::lstat(name.constData(), &now) == 0 && sameFile(now, m_held->seen) && now.st_size == 0)
            ::unlink(name.constData());
    }
}

std::optional<QString> Change::commit(const QByteArray &bytes)
{
    if (!ok())
        return m_failure;
    if (m_held->committed)
        return fail(Problem::Changed, QStringLiteral("was already replaced by this change"));
    // Whatever another program did to the file since it was read is not written over.
    const auto changedMeanwhile = [this]() -> std::optional<QString> {
        struct stat now {};
        if (::lstat(native(m_path).constData(), &now) != 0)
            return fail(Problem::Changed, QStringLiteral("was removed by another program meanwhile"));
        if (!S_ISREG(now.st_mode)) {
            return fail(Problem::NotRegular,
                        QStringLiteral("was replaced by %1 meanwhile, not a regular file")
                            .arg(kindName(kindOf(now.st_mode))));
        }
        if (!sameFile(now, m_held->seen))
            return fail(Problem::Changed, QStringLiteral("was replaced by another program meanwhile"));
        struct stat locked {};
        if (::fstat(m_held->fd, &locked) != 0 || locked.st_size != m_held->seen.st_size ||
            locked.st_mtim.tv_sec != m_held->seen.st_mtim.tv_sec ||
            locked.st_mtim.tv_nsec != m_held->seen.st_mtim.tv_nsec)
            return fail(Problem::Changed, QStringLiteral("was changed by another program meanwhile"));
        return std::nullopt;
    };
    if (const std::optional<QString> changed = changedMeanwhile())
        return changed;

    QSaveFile out(m_path);
    out.setDirectWriteFallback(false);
    // Unbuffered: a buffered write that fails only when the buffer is flushed at commit goes unnoticed by
    // QSaveFile, which would then put a cut-off file in place of the former one.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(Problem::System, QStringLiteral("cannot be written: ") + out.errorString());
    // The new file is the old one's: a plan root writes for a user stays the user's, with its mode.
    const auto cancel = [&out, this](const QString &failure) {
        out.cancelWriting();
        return fail(Problem::System, failure);
    };
    struct stat fresh {};
    const int fd = out.handle();
    if (::fstat(fd, &fresh) != 0)
        return cancel(QStringLiteral("cannot be written: ") + systemError(errno));
    if ((fresh.st_uid != m_held->seen.st_uid || fresh.st_gid != m_held->seen.st_gid) &&
        ::fchown(fd, m_held->seen.st_uid, m_held->seen.st_gid) != 0) {
        return cancel(QStringLiteral("cannot be replaced keeping its owner (user %1, group %2): %3")
                          .arg(m_held->seen.st_uid)
                          .arg(m_held->seen.st_gid)
                          .arg(systemError(errno)));
    }
    if (::fchmod(fd, m_held->seen.st_mode & 07777) != 0) {
        return cancel(QStringLiteral("cannot be replaced keeping its mode (%1): %2")
                          .arg(m_held->seen.st_mode & 07777, 4, 8, QLatin1Char('0'))
                          .arg(systemError(errno)));
    }
    if (out.write(bytes) != bytes.size())
        return cancel(QStringLiteral("cannot be written: ") + out.errorString());
    if (const std::optional<QString> changed = changedMeanwhile()) {
        out.cancelWriting();
        return changed;
    }
    if (!out.commit())
        return fail(Problem::System, QStringLiteral("cannot be written: ") + out.errorString());
    m_held->committed = true;
    return std::nullopt;
}

#else

struct Change::Held {
    bool committed = false;
};

Change::Change(const QString &path, qint64 limit, int) : m_path(path), m_held(std::make_unique<Held>())
{
    if (const std::optional<QString> refused = notARegularFile(path)) {
        fail(Problem::NotRegular, *refused);
        return;
    }
    if (kindAt(path) == Kind::Nothing) {
        m_created = true;
        return;
    }
    if (limit > 0) {
        const Contents c = read(path, limit);
        if (!c.ok())
            fail(c.problem, c.failure);
        m_bytes = c.bytes;
    }
}

Change::~Change() = default;

std::optional<QString> Change::commit(const QByteArray &bytes)
{
    if (!ok())
        return m_failure;
    if (const std::optional<QString> refused = notARegularFile(m_path))
        return fail(Problem::NotRegular, *refused);
    QSaveFile out(m_path);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        return fail(Problem::System, QStringLiteral("cannot be written: ") + reason);
    }
    if (!out.commit())
        return fail(Problem::System, QStringLiteral("cannot be written: ") + out.errorString());
    m_held->committed = true;
    return std::nullopt;
}

#endif

std::optional<QString> replace(const QString &path, const QByteArray &bytes, Problem *problem)
{
    Change change(path, 0);
    const std::optional<QString> failure = change.commit(bytes);
    if (problem)
        *problem = change.problem();
    return failure;
}

} // namespace file
