#include "web/token.h"

#include "file/regularfile.h"

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
    // The shared unit reads only a regular file, never through a link or blocking; what it read must also
    // be the user's own and closed to others, or anyone who could write it could hand out their own token.
    const file::Contents c = file::read(path, MaxPrivateFile);
    if (!c.ok()) {
        *failure = QStringLiteral("%1 %2").arg(path, c.failure);
        return std::nullopt;
    }
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *failure = QStringLiteral("%1 changed while it was read").arg(path);
        return std::nullopt;
    }
    if (st.st_uid != ::geteuid() && ::geteuid() != 0) { // root may read a service's token
        *failure = QStringLiteral("%1 belongs to another user").arg(path);
        return std::nullopt;
    }
    if ((st.st_mode & 077) != 0) {
        *failure = QStringLiteral("%1 can be read by others (mode %2); remove it or make it 600")
                       .arg(path)
                       .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
        return std::nullopt;
    }
    return c.bytes;
}

std::optional<QString> writePrivateFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot make the folder %1").arg(info.absolutePath());
    if (const std::optional<QString> why = file::notARegularFile(path))
        return QStringLiteral("%1: %2; it is left as it is").arg(path, *why);
    // The shared unit replaces a file keeping its mode: a file of mode 600 is made first when none is
    // there, and one open to others is removed and made again, so the token is never readable by others.
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && (st.st_mode & 077) != 0 && ::unlink(name.constData()) != 0)
        return QStringLiteral("cannot replace %1: %2").arg(path, errnoText());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    else if (errno != EEXIST)
        return QStringLiteral("cannot write %1: %2").arg(path, errnoText());
    if (const std::optional<QString> failure = file::replace(path, bytes))
        return QStringLiteral("%1 %2").arg(path, *failure);
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
