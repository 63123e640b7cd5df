#include "serial/devicepath.h"

#include "serial/networkaddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace serial {

QString resolveDevice(const QString &name)
{
#ifdef Q_OS_UNIX
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return name;
    if (name.startsWith(QLatin1String("./")) || name.startsWith(QLatin1String("../")))
        return QDir::cleanPath(QDir::current().absoluteFilePath(name));
    return QStringLiteral("/dev/") + name;
#else
    return name;
#endif
}

QString deviceNode(const QString &name)
{
#ifdef Q_OS_UNIX
    return QFileInfo(resolveDevice(name)).canonicalFilePath();
#else
    return name;
#endif
}

QString shownDevice(const QString &name)
{
    // A network source is no path under /dev: it is named as given.
    if (isNetworkAddress(name))
        return printable(name);
    const QString resolved = resolveDevice(name);
    const QString node = deviceNode(name);
    if (node.isEmpty() || node == resolved)
        return printable(resolved);
    return QStringLiteral("%1 (%2)").arg(printable(resolved), printable(node));
}

namespace {

// Characters a reader cannot see or tell from others: format characters (zero-width, bidi controls),
// separators other than the plain space, and code points with no character behind them.
bool invisible(char32_t u)
{
    switch (QChar::category(u)) {
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return u != ' ';
    default:
        return false;
    }
}

QString escaped(const QString &text, bool asciiOnly)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            u = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (u == '\\')
            shown += QLatin1String("\\\\");
        else if (u == '\n')
            shown += QLatin1String("\\n");
        else if (u == '\t')
            shown += QLatin1String("\\t");
        else if (u == 0x1b)
            shown += QLatin1String("\\e");
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            shown += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else if (u > 0xffff && (asciiOnly || invisible(u)))
            shown += QStringLiteral("\\U%1").arg(unsigned(u), 8, 16, QLatin1Char('0'));
        else if ((asciiOnly && u > 0x7f) || invisible(u))
            shown += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
        else
            shown += QString::fromUcs4(&u, 1);
    }
    return shown;
}

} // namespace

QString printable(const QString &text)
{
    return escaped(text, false);
}

QString printableAscii(const QString &text)
{
    return escaped(text, true);
}

DeviceUse probeDevice(const QString &node)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EBUSY:
            return DeviceUse::Busy;
        case EACCES:
        case EPERM:
            return DeviceUse::Denied;
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return DeviceUse::Missing;
        default:
            return DeviceUse::Other;
        }
    }
    const bool locked = lockDevice(fd);
    ::close(fd);
    return locked ? DeviceUse::Free : DeviceUse::Busy;
#else
    Q_UNUSED(node);
    return DeviceUse::Other;
#endif
}

bool lockDevice(int fd)
{
#ifdef Q_OS_UNIX
    // An advisory lock on the device node itself: the exclusive-open flag does not hold root back, and a
    // lock file named after the path text does not see a second name for the same device.
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
#else
    Q_UNUSED(fd);
    return true;
#endif
}

} // namespace serial
