#include "bus/recording.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace bus {
namespace {

// A line that is never ended (binary noise with no line feed) is written once it reaches this length.
constexpr int LongestPending = 4096;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

const QRegularExpression &baudPattern()
{
    static const QRegularExpression p(QStringLiteral("^# line (\\d+) baud"));
    return p;
}

} // namespace

std::optional<qint64> parseSize(const QString &text)
{
    static const QRegularExpression p(QStringLiteral("^(\\d{1,12})([kKmMgG]?)$"));
    const QRegularExpressionMatch m = p.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    qint64 n = m.captured(1).toLongLong();
    const QString unit = m.captured(2).toLower();
    if (unit == QLatin1String("k"))
        n *= 1024;
    else if (unit == QLatin1String("m"))
        n *= 1024 * 1024;
    else if (unit == QLatin1String("g"))
        n *= 1024LL * 1024 * 1024;
    if (n < 1024)
        return std::nullopt;
    return n;
}

Recorder::~Recorder()
{
    close();
}

std::optional<QString> Recorder::open(const QString &path, const RecordingHeader &header, qint64 limit)
{
    close();
    m_path = path;
    m_limit = limit;
    m_written = 0;
    m_full = false;
    m_error.clear();
    m_pending.clear();
    m_lineStartMs = -1;
    m_timestamps = header.timestamps;
#ifdef Q_OS_UNIX
    // O_EXCL with O_CREAT refuses any name that exists, a link included, even one that points nowhere.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            return QStringLiteral("%1: exists; a recording is only written to a new file").arg(path);
        return QStringLiteral("%1: %2").arg(path, systemError(error));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("%1: not a regular file").arg(path);
    }
    m_fd = fd;
#else
    return QStringLiteral("recording is not available on this system");
#endif
    QByteArray text =
        "# mdconfig-cli recording of an NMEA 0183 bus: the bytes as received, a line at a time\n";
    text += "# started " + header.started.toUTC().toString(Qt::ISODateWithMs).toUtf8() + '\n';
    text += "# device " + header.device.toUtf8() + '\n';
    text += "# line " + QByteArray::number(header.baud) + " baud, 8 data bits, no parity, 1 stop bit\n";
    if (header.timestamps)
        text += "# timestamps: seconds since the start, then a blank, before each line\n";
    if (!put(text)) {
        const QString why = m_error;
        close();
        ::unlink(QFile::encodeName(path).constData());
        return why;
    }
    return std::nullopt;
}

bool Recorder::put(const QByteArray &line)
{
#ifdef Q_OS_UNIX
    if (m_fd < 0 || m_full)
        return false;
    if (m_written + line.size() > m_limit) {
        m_full = true;
        m_error = QStringLiteral("%1: the size limit of %2 bytes is reached; recording stopped")
                      .arg(m_path)
                      .arg(m_limit);
        return false;
    }
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = QStringLiteral("%1: %2; recording stopped").arg(m_path, systemError(errno));
            m_full = true;
            return false;
        }
        done += n;
    }
    m_written += line.size();
    return true;
#else
    Q_UNUSED(line);
    return false;
#endif
}

bool Recorder::write(QByteArrayView bytes, qint64 msSinceStart)
{
    if (m_fd < 0 || m_full)
        return false;
    for (const char c : bytes) {
        if (m_pending.isEmpty())
            m_lineStartMs = msSinceStart;
        m_pending.append(c);
        if (c == '\n' || m_pending.size() >= LongestPending) {
            QByteArray line;
            if (m_timestamps)
                line = QByteArray::number(double(m_lineStartMs) / 1000.0, 'f', 3) + ' ';
            line += m_pending;
            m_pending.clear();
            if (!put(line))
                return false;
        }
    }
    return true;
}

void Recorder::close()
{
#ifdef Q_OS_UNIX
    if (m_fd < 0)
        return;
    if (!m_pending.isEmpty() && !m_full) {
        QByteArray line;
        if (m_timestamps)
            line = QByteArray::number(double(m_lineStartMs) / 1000.0, 'f', 3) + ' ';
        put(line + m_pending);
    }
    m_pending.clear();
    ::close(m_fd);
    m_fd = -1;
#endif
}

qint64 Recording::bytes() const
{
    qint64 n = 0;
    for (const Line &l : lines)
        n += l.bytes.size();
    return n;
}

std::optional<Recording> parseRecording(const QByteArray &file, QString *why)
{
    Recording r;
    qsizetype at = 0;
    // The header: comment lines at the very top only; after it every byte is the bus's.
    while (at < file.size() && file[at] == '#') {
        qsizetype end = file.indexOf('\n', at);
        if (end < 0)
            end = file.size() - 1;
        const QString comment = QString::fromUtf8(file.mid(at, end - at)).trimmed();
        const QRegularExpressionMatch m = baudPattern().match(comment);
        if (m.hasMatch() && m.captured(1).toInt() > 0)
            r.baud = m.captured(1).toInt();
        if (comment.startsWith(QLatin1String("# timestamps:")))
            r.timestamps = true;
        at = end + 1;
    }
    int lineNumber = 0;
    while (at < file.size()) {
        qsizetype end = file.indexOf('\n', at);
        end = end < 0 ? file.size() : end + 1;
        QByteArray line = file.mid(at, end - at);
        at = end;
        ++lineNumber;
        Recording::Line l;
        if (r.timestamps) {
            const qsizetype blank = line.indexOf(' ');
            bool ok = false;
            const double seconds = blank > 0 ? line.left(blank).toDouble(&ok) : 0.0;
            if (!ok || seconds < 0) {
                if (why)
                    *why = QStringLiteral("data line %1 has no timestamp in front").arg(lineNumber);
                return std::nullopt;
            }
            l.atMs = qint64(seconds * 1000.0 + 0.5);
            line.remove(0, blank + 1);
        }
        l.bytes = line;
        r.lines << l;
    }
    return r;
}

QList<qint64> schedule(const Recording &r, double speed)
{
    QList<qint64> due;
    due.reserve(r.lines.size());
    const double factor = speed > 0 ? 1.0 / speed : 1.0;
    qint64 sent = 0;
    for (const Recording::Line &l : r.lines) {
        if (r.timestamps)
            due << qint64(double(l.atMs) * factor);
        else
            due << qint64(double(sent) * 10'000.0 / double(r.baud) * factor);
        sent += l.bytes.size();
    }
    return due;
}

} // namespace bus
