// The customary lock file of a serial device (LCK..<name> in the system's lock folder), read before Qt's
// serial port meets it: Qt takes over a live lock of another program whose name it cannot match, and names no
// file when it refuses one it cannot read.
#pragma once

#include <QString>

#include <optional>

namespace serial {

// The lock file's name for a device node: "/dev/ttyUSB0" gives "LCK..ttyUSB0", "/dev/pts/3" "LCK..pts_3".
QString lockFileName(const QString &node);

// The lock file Qt's serial port takes for a device node: in the first of its folders that can be read and
// either holds the file already or can be written. Empty when there is none.
QString systemLockFile(const QString &node);

// What a lock file says about its device.
struct LockState {
    enum Kind {
        None,       // no lock file
        Own,        // it names this very process
        Live,       // it names a running process
        Stale,      // it names a process that has ended
        Unreadable, // it cannot be read, or names no process
    };
    Kind kind = None;
    long long pid = 0;
    QString process; // the running process's name, where the system tells it
    QString why;     // why an unreadable lock file could not be read
};

// Reads a lock file as the customary formats write it: the process number in ASCII (padded to ten columns
// with a newline, or as Qt writes it with more lines after it) or as 4 binary bytes. Never follows a link
// nor blocks on a FIFO.
LockState readLockFile(const QString &path);

// Checks the lock file of the device node in lockDirectory (empty: the one Qt uses) before the device is
// opened. Nothing when the device may be opened: no lock file, one of this process (the device's own lock
// decides), or one of an ended process, which is removed. Otherwise why not, the device named as shown.
std::optional<QString> checkLockFile(const QString &node, const QString &shown,
                                     const QString &lockDirectory = {});

} // namespace serial
