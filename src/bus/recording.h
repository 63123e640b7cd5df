// Recordings of a bus: the bytes exactly as they came, a line at a time, after a header of comment lines that
// says when, from which device and at which line settings; optionally each line with the seconds since the
// start in front. A recording plays back as it was heard; a capture without a header plays as it is.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>

namespace bus {

// The size a recording stops at unless the user gives another.
inline constexpr qint64 DefaultRecordingLimit = 64LL * 1024 * 1024;

// The largest size a recording may be given: far beyond any disk a boat carries, and no overflow.
inline constexpr qint64 LargestRecordingLimit = 1024LL * 1024 * 1024 * 1024;

// "10M", "512k", "2G" or a number of bytes; nothing when the text is none of these or is below 1 KiB or
// above LargestRecordingLimit.
std::optional<qint64> parseSize(const QString &text);

struct RecordingHeader {
    QDateTime started; // UTC
    QString device;    // as messages name it
    int baud = 4800;
    bool timestamps = false;
};

class Recorder {
public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Creates the file and writes the header. Only a new regular file is made: a name that exists (a file,
    // a link, a device) is refused, so nothing is ever written through a link or over a former recording.
    // Nothing on success, otherwise why not.
    std::optional<QString> open(const QString &path, const RecordingHeader &header, qint64 limit);
    // Takes bytes as they came, msSinceStart on the caller's clock. The recording starts on a whole line
    // (what comes before the first line's start is left out) and is timed from that line's first byte;
    // whole lines are written, the start of a line waits for its end. Returns false once the file is full or
    // a write failed (then error() says why); a line cut short by a failed write is taken back, so the file
    // holds whole lines and written() counts them.
    bool write(QByteArrayView bytes, qint64 msSinceStart);
    // Closes the file; a line not yet ended is left out, so the recording ends on a whole line.
    void close();

    bool isOpen() const { return m_fd >= 0; }
    bool full() const { return m_full; }
    qint64 written() const { return m_written; }
    QString error() const { return m_error; }
    QString path() const { return m_path; }

private:
    bool put(const QByteArray &line);

    int m_fd = -1;
    QString m_path;
    qint64 m_limit = DefaultRecordingLimit;
    qint64 m_written = 0;
    bool m_timestamps = false;
    bool m_full = false;
    QString m_error;
    QByteArray m_pending;
    qint64 m_lineStartMs = -1;
    qint64 m_originMs = -1; // the caller's time of the recording's first byte
    qint64 m_skipped = 0;   // bytes left out before the first line's start
    bool m_atLineStart = false;
};

// A recording read for playing: each line as it goes on the wire (line ending included), and when it came.
struct Recording {
    struct Line {
        qint64 atMs = -1; // from the start, or -1 when the recording has no timestamps
        QByteArray bytes;
    };
    int baud = 4800;
    bool timestamps = false;
    QList<Line> lines;
    qint64 bytes() const;
};

// The latest timestamp a recording may carry, in seconds (about 115 days): a later one, or one that is no
// plain number of seconds ("nan", "inf", "1e300", "-1"), is no time to wait for.
inline constexpr int LatestTimestamp = 9'999'999;

// Reads a recording a line at a time, so a file of any size takes the memory of one line: the header's
// comment lines at the top set the baud and whether lines carry timestamps (a file without a header is
// taken as plain bytes at 4800 baud); every other byte is the bus's.
class RecordingReader {
public:
    // Reads the header from the device, which stays the caller's. Nothing on success, otherwise why not.
    std::optional<QString> start(QIODevice *device);
    int baud() const { return m_baud; }
    bool timestamps() const { return m_timestamps; }
    // The next line (a line longer than LongestLine comes in pieces); nothing at the end, or when a line has
    // no readable timestamp, and then error() says which line and why.
    std::optional<Recording::Line> next();
    // Back to the first line after the header, for a second pass; false when the device cannot seek.
    bool rewind();
    QString error() const { return m_error; }
    static constexpr int LongestLine = 8192;

private:
    QIODevice *m_device = nullptr;
    qint64 m_dataStart = 0;
    int m_baud = 4800;
    bool m_timestamps = false;
    int m_lineNumber = 0;
    QString m_error;
};

// Reads a whole recording held in memory, through the reader. Nothing, with why, when a timestamped line
// has no readable timestamp.
std::optional<Recording> parseRecording(const QByteArray &file, QString *why);

// When each line is due, in milliseconds from the start of playing: by its timestamp, or at the wire rate of
// the baud (ten bits a character for 8N1), divided by speed. Fed the lines in order, one at a time.
class Schedule {
public:
    Schedule(int baud, bool timestamps, double speed);
    qint64 due(const Recording::Line &line);

private:
    int m_baud;
    bool m_timestamps;
    double m_factor;
    qint64 m_sent = 0;
};

// The same for a whole recording.
QList<qint64> schedule(const Recording &r, double speed);

} // namespace bus
