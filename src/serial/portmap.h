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

#include <functional>
#include <optional>

namespace serial {

inline constexpr int MaxPortNumber = 16;

// What a serial device is, as far as the system knows.
enum class PortKind { BuiltIn, UsbAdapter, Other };

// A serial port as the system reports it. The system's list can be replaced (setSystemPorts) so tests run on
// a made-up computer.
struct SystemPort {
    QString portName;       // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
    QString description;    // the system's own words: "FT232R USB UART"
    QString manufacturer;   // "FTDI"
    QString serialNumber;   // "A1B2C3"
    bool usb = false;       // the system knows a USB vendor and product for it
    QString byId;           // its /dev/serial/by-id/ name, empty when it has none
    QString byPath;         // its /dev/serial/by-path/ name (the USB socket it is in), empty when none
};
using PortLister = std::function<QList<SystemPort>()>;
// The ports of this computer, from Qt SerialPort and /dev/serial/by-id and by-path.
QList<SystemPort> systemPorts();
// Replaces the system's list (a test's made-up ports); an empty function goes back to the system's.
void setSystemPorts(PortLister lister);

struct PortDevice {
    int number = 0;
    QString device; // path or name to open; empty when this number names nothing here
    QString description;
    PortKind kind = PortKind::Other;
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString byId;
    QString byPath;
    bool overridden = false; // named by MDCONFIG_COM<n>
};

// "built-in port", "USB adapter FTDI FT232R USB UART, serial A1B2C3, /dev/serial/by-id/usb-FTDI_..." (the
// by-path name for an adapter without a by-id one) or "serial device"; a device named by MDCONFIG_COM<n> also
// says so.
QString kindText(const PortDevice &port);

// One line for a port: the device as messages name it, then what it is ("/dev/ttyS0: built-in port").
QString portLine(const PortDevice &port);

// What a device path is on this computer: the port the system lists for the same device node, if any.
PortDevice describeDevice(const QString &device);

// The note a send to a built-in port gets while a USB adapter is present (the cable is most likely on the
// adapter); nothing otherwise.
std::optional<QString> builtInWhileUsbNote(const QString &device);

// The numbering rule for Unix-like systems, from the device names the system reports.
QStringList numberDevices(const QStringList &names, bool macOS);

// Numbers 1 to 16 with what each opens on this computer now.
QList<PortDevice> portTable();
// The device number n opens, or empty when none (0, out of range, or nothing present).
QString deviceForPort(int number);
PortDevice portDevice(int number);

} // namespace serial
