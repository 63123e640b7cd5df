#include "serial/portmap.h"

#include "serial/devicepath.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <tuple>

namespace serial {
namespace {

int groupOf(const QString &name)
{
    if (name.startsWith(QLatin1String("ttyS")))
        return 0;
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 1;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 2;
    return 3;
}

QString overrideFor(int number)
{
    return qEnvironmentVariable(QStringLiteral("MDCONFIG_COM%1").arg(number).toLatin1().constData());
}

PortLister &lister()
{
    static PortLister l;
    return l;
}

PortKind kindOf(const SystemPort &p)
{
    if (p.usb || p.portName.startsWith(QLatin1String("ttyUSB")) ||
        p.portName.startsWith(QLatin1String("ttyACM")) || p.portName.startsWith(QLatin1String("cu.usb")))
        return PortKind::UsbAdapter;
    if (p.portName.startsWith(QLatin1String("ttyS")) || p.portName.startsWith(QLatin1String("COM")))
        return PortKind::BuiltIn;
    return PortKind::Other;
}

PortDevice fromSystem(int number, const SystemPort &p)
{
    PortDevice d;
    d.number = number;
    d.device = p.systemLocation;
    d.description = p.description;
    d.kind = kindOf(p);
    d.manufacturer = p.manufacturer;
    d.product = p.description;
    d.serialNumber = p.serialNumber;
    d.byId = p.byId;
    d.byPath = p.byPath;
    return d;
}

} // namespace

QList<SystemPort> systemPorts()
{
    if (lister())
        return lister()();
    // The stable names udev gives USB adapters (who they are, and which socket they are in), keyed by the
    // device node each points to.
    const auto links = [](const QString &folder) {
        QHash<QString, QString> names;
        for (const QFileInfo &link :
             QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            names.insert(link.canonicalFilePath(), link.absoluteFilePath());
        return names;
    };
    const QHash<QString, QString> byId = links(QStringLiteral("/dev/serial/by-id"));
    const QHash<QString, QString> byPath = links(QStringLiteral("/dev/serial/by-path"));
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SystemPort p{info.portName(),
                     info.systemLocation(),
                     info.description(),
                     info.manufacturer(),
                     info.serialNumber(),
                     info.hasVendorIdentifier() && info.hasProductIdentifier(),
                     {},
                     {}};
        const QString node = QFileInfo(p.systemLocation).canonicalFilePath();
        p.byId = byId.value(node);
        p.byPath = byPath.value(node);
        ports << p;
    }
    return ports;
}

void setSystemPorts(PortLister l)
{
    lister() = std::move(l);
}

QString kindText(const PortDevice &port)
{
    QString text;
    switch (port.kind) {
    case PortKind::BuiltIn:
        text = QStringLiteral("built-in port");
        break;
    case PortKind::UsbAdapter: {
        QStringList parts;
        QString name = port.manufacturer;
        if (!port.product.isEmpty() && !name.contains(port.product))
            name = (name.isEmpty() ? QString() : name + QLatin1Char(' ')) + port.product;
        if (!name.isEmpty())
            parts << printable(name);
        if (!port.serialNumber.isEmpty())
            parts << QStringLiteral("serial ") + printable(port.serialNumber);
        if (!port.byId.isEmpty())
            parts << printable(port.byId);
        else if (!port.byPath.isEmpty())
            parts << printable(port.byPath);
        text = QStringLiteral("USB adapter") +
               (parts.isEmpty() ? QString() : QLatin1Char(' ') + parts.join(QStringLiteral(", ")));
        break;
    }
    case PortKind::Other:
        text = QStringLiteral("serial device");
        break;
    }
    if (port.overridden)
        text += QStringLiteral(", set by MDCONFIG_COM%1").arg(port.number);
    return text;
}

QString portLine(const PortDevice &port)
{
    return shownDevice(port.device) + QStringLiteral(": ") + kindText(port);
}

PortDevice describeDevice(const QString &device)
{
    PortDevice d;
    d.device = device;
    const QString node = deviceNode(device);
    for (const SystemPort &p : systemPorts()) {
        if (p.systemLocation == device || (!node.isEmpty() && deviceNode(p.systemLocation) == node)) {
            d = fromSystem(0, p);
            d.device = device;
            return d;
        }
    }
    // Not in the system's list (a pseudo-terminal, a name the system does not report): judged by its name.
    SystemPort guess;
    guess.portName = QFileInfo(node.isEmpty() ? device : node).fileName();
    d.kind = kindOf(guess);
    return d;
}

std::optional<QString> builtInWhileUsbNote(const QString &device)
{
    const PortDevice d = describeDevice(device);
    if (d.kind != PortKind::BuiltIn)
        return std::nullopt;
    for (const SystemPort &p : systemPorts()) {
        const PortDevice other = fromSystem(0, p);
        if (other.kind == PortKind::UsbAdapter) {
            return QStringLiteral(
                       "note: %1 is a built-in port, not the USB adapter %2 (%3); if the display is "
                       "wired to the adapter, send to that")
                .arg(shownDevice(device), printable(other.device), kindText(other));
        }
    }
    return std::nullopt;
}

QStringList numberDevices(const QStringList &names, bool macOS)
{
    QStringList kept;
    for (const QString &name : names) {
        if (!macOS || name.startsWith(QLatin1String("cu.")))
            kept << name;
    }
    // Within a group by the name without its number, then by the number: ttyS2 before ttyS10.
    auto key = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        const QString number = name.mid(digits);
        return std::make_tuple(groupOf(name), name.left(digits), number.size(), number, name);
    };
    std::stable_sort(kept.begin(), kept.end(),
                     [&](const QString &a, const QString &b) { return key(a) < key(b); });
    return kept;
}

QList<PortDevice> portTable()
{
    QList<PortDevice> table;
    for (int n = 1; n <= MaxPortNumber; ++n) {
        PortDevice d;
        d.number = n;
        table << d;
    }

    const QList<SystemPort> available = systemPorts();
#if defined(Q_OS_WIN)
    for (PortDevice &port : table) {
        port.device = QStringLiteral("COM%1").arg(port.number);
        for (const SystemPort &info : available) {
            if (info.portName.compare(port.device, Qt::CaseInsensitive) == 0)
                port = fromSystem(port.number, info);
        }
        port.device = QStringLiteral("COM%1").arg(port.number);
    }
#else
    QStringList names;
    for (const SystemPort &info : available)
        names << info.portName;
#if defined(Q_OS_MACOS)
    const QStringList ordered = numberDevices(names, true);
#else
    const QStringList ordered = numberDevices(names, false);
#endif
    for (int i = 0; i < ordered.size() && i < MaxPortNumber; ++i) {
        for (const SystemPort &info : available) {
            if (info.portName == ordered[i])
                table[i] = fromSystem(i + 1, info);
        }
    }
#endif

    for (PortDevice &port : table) {
        const QString path = overrideFor(port.number);
        if (!path.isEmpty()) {
            port = describeDevice(path);
            port.number = int(&port - table.data()) + 1;
            port.description = QStringLiteral("set by MDCONFIG_COM%1").arg(port.number);
            port.overridden = true;
        }
    }
    return table;
}

PortDevice portDevice(int number)
{
    if (number < 1 || number > MaxPortNumber) {
        PortDevice d;
        d.number = number;
        return d;
    }
    // An override needs no look at the system's port list.
    const QString path = overrideFor(number);
    if (!path.isEmpty()) {
        PortDevice d;
        d.number = number;
        d.device = path;
        d.description = QStringLiteral("set by MDCONFIG_COM%1").arg(number);
        d.overridden = true;
        return d;
    }
    return portTable().at(number - 1);
}

QString deviceForPort(int number)
{
    return portDevice(number).device;
}

} // namespace serial
