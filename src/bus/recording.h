// Recordings of a bus: the bytes exactly as they came, a line at a time, after a header of comment lines that
// says when, from which device and at which line settings; optionally each line with the seconds since the
// start in front. A recording plays back as it was heard; a capture without a header plays as it is.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace bus {

// The size a recording stops at unless the user gives another.
inline constexpr qint64 DefaultRecordingLimit = 64LL * 1024 * 1024;

// "10M", "512k", "2G" or a number of bytes; nothing when the text is none of these or is below 1 KiB.
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
    // Takes bytes as they came, msSinceStart on the recording's clock; whole lines are written, the start of
    // a line waits for its end. Returns false once the file is full or a write failed (then error() says
    // why).
    bool write(QByteArrayView bytes, qint64 msSinceStart);
    // Writes a line still waiting and closes the file.
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

// Reads a recording: the header's comment lines at the top set the baud and whether lines carry timestamps
// (a file without a header is taken as plain bytes at 4800 baud). Nothing, with why, when a timestamped line
// has no readable timestamp.
std::optional<Recording> parseRecording(const QByteArray &file, QString *why);

// When each line is due, in milliseconds from the start of playing: by its timestamp, or at the wire rate of
// the baud (ten bits a character for 8N1), divided by speed.
QList<qint64> schedule(const Recording &r, double speed);

} // namespace bus
