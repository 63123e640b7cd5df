#include "bus/recording.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
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

// Why a write to the recording failed, in the words of someone who must make room.
QString writeFailure(int error)
{
    if (error == ENOSPC)
        return QStringLiteral("the disk is full");
    if (error == EFBIG)
        return QStringLiteral("the largest file this session may write is reached (ulimit -f)");
    return systemError(error);
}

// Bytes that start a line of the bus: a sentence's start character.
bool startsALine(char c)
{
    return c == '$' || c == '!';
}

const QRegularExpression &baudPattern()
{
    static const QRegularExpression p(QStringLiteral("^# line (\\d+) baud"));
    return p;
}

} // namespace

std::optional<qint64> parseSize(const QString &text)
{
    static const QRegularExpression p(QStringLiteral("^(\\d{1,13})([kKmMgG]?)$"));
    const QRegularExpressionMatch m = p.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const qint64 n = m.captured(1).toLongLong();
    const QString unit = m.captured(2).toLower();
    const qint64 multiplier = unit == QLatin1String("k")   ? 1024
                              : unit == QLatin1String("m") ? 1024 * 1024
                              : unit == QLatin1String("g") ? 1024LL * 1024 * 1024
                                                           : 1;
    // Compared before multiplying, so no size wraps round to a small one.
    if (n > LargestRecordingLimit / multiplier || n * multiplier < 1024)
        return std::nullopt;
    return n * multiplier;
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
    m_originMs = -1;
    m_skipped = 0;
    m_atLineStart = false;
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
            const int error = n < 0 ? errno : ENOSPC;
            // A line cut short is taken back: the file ends on the last whole line, as written() says.
            if (done > 0 && ::ftruncate(m_fd, m_written) != 0)
                m_written += done;
            m_error = QStringLiteral("%1: %2; recording stopped with %3 bytes written")
                          .arg(m_path, writeFailure(error))
                          .arg(m_written);
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
        if (m_originMs < 0) {
            // Before the first line's start: a line's end, or a start character, or noise too long to wait
            // through for either.
            if (!m_atLineStart && !startsALine(c) && m_skipped < LongestPending) {
                ++m_skipped;
                m_atLineStart = c == '\n';
                continue;
            }
            m_originMs = msSinceStart;
        }
        if (m_pending.isEmpty())
            m_lineStartMs = msSinceStart - m_originMs;
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

std::optional<QString> RecordingReader::start(QIODevice *device)
{
    m_device = device;
    m_baud = 4800;
    m_timestamps = false;
    m_lineNumber = 0;
    m_error.clear();
    if (!device || !device->isReadable())
        return QStringLiteral("cannot be read");
    // The header: comment lines at the very top only; after it every byte is the bus's.
    char first = 0;
    while (device->peek(&first, 1) == 1 && first == '#') {
        const QString comment = QString::fromUtf8(device->readLine(LongestLine)).trimmed();
        const QRegularExpressionMatch m = baudPattern().match(comment);
        if (m.hasMatch() && m.captured(1).toInt() > 0)
            m_baud = m.captured(1).toInt();
        if (comment.startsWith(QLatin1String("# timestamps:")))
            m_timestamps = true;
    }
    m_dataStart = device->pos();
    return std::nullopt;
}

bool RecordingReader::rewind()
{
    m_lineNumber = 0;
    m_error.clear();
    return m_device && m_device->seek(m_dataStart);
}

std::optional<Recording::Line> RecordingReader::next()
{
    if (!m_device || !m_error.isEmpty())
        return std::nullopt;
    QByteArray line = m_device->readLine(LongestLine);
    if (line.isEmpty())
        return std::nullopt;
    ++m_lineNumber;
    Recording::Line l;
    if (m_timestamps) {
        // Seconds as the recorder writes them ("12.345"): no sign, exponent, nan or inf, and not absurdly
        // far ahead, so every due time is a number of milliseconds a clock can wait for.
        static const QRegularExpression seconds(QStringLiteral("^\\d{1,7}(\\.\\d{0,9})?$"));
        const qsizetype blank = line.indexOf(' ');
        const QByteArray token = blank > 0 ? line.left(blank) : QByteArray();
        if (blank <= 0) {
            m_error = QStringLiteral("data line %1 has no timestamp in front").arg(m_lineNumber);
            return std::nullopt;
        }
        if (!seconds.match(QString::fromLatin1(token)).hasMatch()) {
            m_error = QStringLiteral("data line %1: \"%2\" is not a timestamp; a timestamp is the seconds "
                                     "since the start, from 0 to %3")
                          .arg(m_lineNumber)
                          .arg(QString::fromLatin1(token.left(24)))
                          .arg(LatestTimestamp);
            return std::nullopt;
        }
        l.atMs = std::llround(token.toDouble() * 1000.0);
        line.remove(0, blank + 1);
    }
    l.bytes = line;
    return l;
}

std::optional<Recording> parseRecording(const QByteArray &file, QString *why)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    RecordingReader reader;
    if (const std::optional<QString> refused = reader.start(&buffer)) {
        if (why)
            *why = *refused;
        return std::nullopt;
    }
    Recording r;
    r.baud = reader.baud();
    r.timestamps = reader.timestamps();
    while (const std::optional<Recording::Line> l = reader.next())
        r.lines << *l;
    if (!reader.error().isEmpty()) {
        if (why)
            *why = reader.error();
        return std::nullopt;
    }
    return r;
}

Schedule::Schedule(int baud, bool timestamps, double speed)
    : m_baud(baud > 0 ? baud : 4800), m_timestamps(timestamps),
      m_factor(std::isfinite(speed) && speed > 0 ? 1.0 / speed : 1.0)
{
}

qint64 Schedule::due(const Recording::Line &line)
{
    const qint64 due = m_timestamps ? qint64(double(line.atMs) * m_factor)
                                    : qint64(double(m_sent) * 10'000.0 / double(m_baud) * m_factor);
    m_sent += line.bytes.size();
    return due;
}

QList<qint64> schedule(const Recording &r, double speed)
{
    QList<qint64> due;
    due.reserve(r.lines.size());
    Schedule s(r.baud, r.timestamps, speed);
    for (const Recording::Line &l : r.lines)
        due << s.due(l);
    return due;
}

} // namespace bus
