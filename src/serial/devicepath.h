// Which device a name given by the user (an option, MDCONFIG_COM<n>) really opens, how it is shown in
// messages, and whether another sender holds it. One physical device has one lock, whatever name reaches it.
#pragma once

#include <QString>

namespace serial {

// A name as the user gave it, made absolute the way the serial layer opens it: an absolute path as it is,
// "./x" and "../x" from the current folder, any other name under /dev/ ("ttyUSB0" is "/dev/ttyUSB0").
QString resolveDevice(const QString &name);

// The device node behind a name, every link followed; empty when nothing is there.
QString deviceNode(const QString &name);

// A name for a message: the resolved path, and the device node behind it when that differs
// ("/dev/serial/by-id/usb-X (/dev/ttyUSB0)"); control characters are escaped.
QString shownDevice(const QString &name);

// Text from outside the program (the environment, arguments) fit for a terminal or a message box: control
// characters become \n, \t, \e or \xNN, characters that cannot be seen or are not what they look like
// (zero-width and bidi controls, spaces other than the plain one) \uXXXX, and a backslash is doubled so the
// result reads back unambiguously.
QString printable(const QString &text);
// The same for text that is meant to be ASCII, such as a plan's keys and values: every other character
// becomes \uXXXX, so a look-alike letter ("\u0420" for a Cyrillic P) shows what it is.
QString printableAscii(const QString &text);

// What a second opening of a device would meet.
enum class DeviceUse { Free, Busy, Denied, Missing, Other };
// Tries the device without keeping it: Busy when another holds it exclusively or holds its lock.
DeviceUse probeDevice(const QString &node);

// Takes the lock that makes a holder of the descriptor the only sender to its device (root included);
// false when another holds it.
bool lockDevice(int fd);

} // namespace serial
