#include "web/token.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace web {

namespace {

constexpr qint64 MaxPrivateFile = 4096;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QString stateFolder()
{
    const QByteArray service = qgetenv("STATE_DIRECTORY");
    if (!service.isEmpty())
        return QString::fromLocal8Bit(service.split(':').first()); // systemd may list several
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("mdconfig"));
}

QString tokenPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("web-token"));
}

std::optional<QByteArray> newToken()
{
    unsigned char bits[16];
    size_t got = 0;
    while (got < sizeof bits) {
        const ssize_t n = ::getrandom(bits + got, sizeof bits - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        got += size_t(n);
    }
    return QByteArray(reinterpret_cast<const char *>(bits), sizeof bits).toHex();
}

std::optional<QByteArray> readPrivateFile(const QString &path, QString *failure)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *failure = errno == ELOOP ? QStringLiteral("%1 is a link; it is not followed").arg(path)
                                  : QStringLiteral("%1: %2").arg(path, errnoText());
        return std::nullopt;
    }
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) != 0) {
        *failure = QStringLiteral("%1: %2").arg(path, errnoText());
    } else if (!S_ISREG(st.st_mode)) {
        *failure = QStringLiteral("%1 is not a regular file").arg(path);
    } else if (st.st_uid != ::geteuid() && ::geteuid() != 0) { // root may read a service's token
        *failure = QStringLiteral("%1 belongs to another user").arg(path);
    } else if ((st.st_mode & 077) != 0) {
        *failure = QStringLiteral("%1 can be read by others (mode %2); remove it or make it 600")
                       .arg(path)
                       .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
    } else if (st.st_size > MaxPrivateFile) {
        *failure = QStringLiteral("%1 is too large to be ours").arg(path);
    } else {
        bytes.resize(st.st_size);
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        bytes.truncate(done);
        ::close(fd);
        return bytes;
    }
    ::close(fd);
    return std::nullopt;
}

std::optional<QString> writePrivateFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot make the folder %1").arg(info.absolutePath());
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return QStringLiteral("%1 is not a regular file; it is left as it is").arg(path);
    // A new file of mode 600 beside it, then one rename: the old file stays whole until the new one is.
    const QByteArray temporary = name + ".new-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("cannot write %1: %2").arg(path, errnoText());
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.constData(), name.constData()) != 0) {
        const QString why = errnoText();
        ::unlink(temporary.constData());
        return QStringLiteral("cannot write %1: %2").arg(path, why);
    }
    return std::nullopt;
}

TokenResult loadOrMakeToken(const QString &folder, bool renew)
{
    TokenResult result;
    const QString path = tokenPath(folder);
    struct stat st {};
    const bool exists = ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && !renew) {
        QString failure;
        const std::optional<QByteArray> text = readPrivateFile(path, &failure);
        if (!text) {
            result.failure = failure;
            return result;
        }
        const QByteArray token = text->trimmed();
        if (token.size() == 32 && QByteArray::fromHex(token).toHex() == token.toLower()) {
            result.token = token.toLower();
            return result;
        }
        result.failure = QStringLiteral("%1 holds no token; use --new-token to make one").arg(path);
        return result;
    }
    const std::optional<QByteArray> token = newToken();
    if (!token) {
        result.failure = QStringLiteral("the system's random generator failed: %1").arg(errnoText());
        return result;
    }
    if (const std::optional<QString> failure = writePrivateFile(path, *token + '\n')) {
        result.failure = *failure;
        return result;
    }
    result.token = *token;
    result.made = true;
    return result;
}

} // namespace web
