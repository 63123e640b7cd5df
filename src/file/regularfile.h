// The program's own files (the settings, plans) are read only as regular files, within a size limit, and
// replaced whole, never through a link, never blocking on a FIFO, keeping the owner and mode of what they
// replace; a change that reads the file first holds it against every other change made here.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace file {

// What stands at a path, seen without following a link.
enum class Kind { Nothing, Regular, Link, Folder, Fifo, Device, Socket, Other };
Kind kindAt(const QString &path);
// "a symbolic link", "a folder", "a FIFO (named pipe)", "a device", "a socket", "something other than a
// file"; "a regular file" and "nothing" for the others.
QString kindName(Kind kind);

// "1 MB", "64 KB", "100 bytes": a size limit as messages give it.
QString sizeText(qint64 bytes);

// What kept a file from being read or replaced.
enum class Problem {
    None,
    Missing,    // nothing is there (to read)
    NotRegular, // a link, a folder, a FIFO, a device: never followed, opened or replaced
    TooLarge,   // beyond the caller's limit
    Busy,       // another change of it did not end in time
    Changed,    // replaced or changed by another program between the read and the replacement
    System,     // what the system said: no permission, a full disk
};

// What a read found: the bytes, or why there are none, said of the file ("does not exist", "is a FIFO
// (named pipe), not a regular file", "is larger than 1 MB", "cannot be read: Permission denied").
struct Contents {
    QByteArray bytes;
    Problem problem = Problem::None;
    QString failure; // empty when read
    bool ok() const { return problem == Problem::None; }
};

// Beyond the limit a file is refused, or only its first `limit` bytes are read.
enum class OverLimit { Refuse, ReadThePrefix };

// Reads the regular file at path: a link is not followed, a FIFO or device is never waited on, and the
// check is made on what was opened, so nothing swapped in after a look is read either.
Contents read(const QString &path, qint64 limit, OverLimit overLimit = OverLimit::Refuse);

// One change of one file: the file is opened (made empty when nothing is there) and locked, so that
// changes made through this unit, in this process or another, follow one another; then it is read, and
// commit replaces it whole. The lock goes with the object; a file it made and never committed is removed.
class Change {
public:
    // Waits at most waitMs for a change in progress elsewhere; a limit of 0 reads nothing (a replacement).
    Change(const QString &path, qint64 limit, int waitMs = 30000);
    ~Change();
    Change(const Change &) = delete;
    Change &operator=(const Change &) = delete;

    // Why the file cannot be changed, said of it as Contents says it; empty when it is held and read.
    Problem problem() const { return m_problem; }
    const QString &failure() const { return m_failure; }
    bool ok() const { return m_problem == Problem::None; }
    // What the file held when it was locked: empty for a file this change made.
    const QByteArray &bytes() const { return m_bytes; }
    bool created() const { return m_created; }

    // Puts bytes in the file's place in one step, with its owner, group and mode. Refuses (and leaves the
    // file as it is) when the file was replaced, changed or turned into anything but a regular file since
    // it was read, or when its owner cannot be kept. Returns why (and sets problem()), nothing when
    // replaced.
    std::optional<QString> commit(const QByteArray &bytes);

private:
    struct Held;
    std::optional<QString> fail(Problem problem, const QString &failure);

    QString m_path;
    Problem m_problem = Problem::None;
    QString m_failure;
    QByteArray m_bytes;
    bool m_created = false;
    std::unique_ptr<Held> m_held;
};

// Replaces the file at path whole with bytes, through a Change that reads nothing.
std::optional<QString> replace(const QString &path, const QByteArray &bytes, Problem *problem = nullptr);

// Why what is at path is not a regular file that may be replaced ("it is a FIFO (named pipe), not a
// regular file"); nothing when it is one, or when nothing is there.
std::optional<QString> notARegularFile(const QString &path);

} // namespace file
