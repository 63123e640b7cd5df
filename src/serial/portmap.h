// Which host device each COM port number 1 to 16 opens. One rule, in one place:
//   Windows: COMn.
//   Linux and macOS: the serial ports the system reports (on macOS the call-out devices cu.*), built-in
//   ports ttyS* first, then USB adapters ttyUSB* and ttyACM*, then any others, each group in number order,
//   take the numbers 1, 2, 3 and so on.
//   Everywhere: MDCONFIG_COM<n>=<device path> in the environment overrides the rule for number n.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace serial {

inline constexpr int MaxPortNumber = 16;

struct PortDevice {
    int number = 0;
    QString device; // path or name to open; empty when this number names nothing here
    QString description;
};

// The numbering rule for Unix-like systems, from the device names the system reports.
QStringList numberDevices(const QStringList &names, bool macOS);

// Numbers 1 to 16 with what each opens on this computer now.
QList<PortDevice> portTable();
// The device number n opens, or empty when none (0, out of range, or nothing present).
QString deviceForPort(int number);
PortDevice portDevice(int number);

} // namespace serial
