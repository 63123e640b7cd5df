#include "serial/portmap.h"

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

} // namespace

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
    for (int n = 1; n <= MaxPortNumber; ++n)
        table << PortDevice{n, {}, {}};

#if defined(Q_OS_WIN)
    const auto available = QSerialPortInfo::availablePorts();
    for (PortDevice &port : table) {
        port.device = QStringLiteral("COM%1").arg(port.number);
        for (const QSerialPortInfo &info : available) {
            if (info.portName().compare(port.device, Qt::CaseInsensitive) == 0)
                port.description = info.description();
        }
    }
#else
    const auto available = QSerialPortInfo::availablePorts();
    QStringList names;
    for (const QSerialPortInfo &info : available)
        names << info.portName();
#if defined(Q_OS_MACOS)
    const QStringList ordered = numberDevices(names, true);
#else
    const QStringList ordered = numberDevices(names, false);
#endif
    for (int i = 0; i < ordered.size() && i < MaxPortNumber; ++i) {
        for (const QSerialPortInfo &info : available) {
            if (info.portName() == ordered[i]) {
                table[i].device = info.systemLocation();
                table[i].description = info.description();
            }
        }
    }
#endif

    for (PortDevice &port : table) {
        const QString path = overrideFor(port.number);
        if (!path.isEmpty()) {
            port.device = path;
            port.description = QStringLiteral("set by MDCONFIG_COM%1").arg(port.number);
        }
    }
    return table;
}

PortDevice portDevice(int number)
{
    if (number < 1 || number > MaxPortNumber)
        return PortDevice{number, {}, {}};
    // An override needs no look at the system's port list.
    const QString path = overrideFor(number);
    if (!path.isEmpty())
        return PortDevice{number, path, QStringLiteral("set by MDCONFIG_COM%1").arg(number)};
    return portTable().at(number - 1);
}

QString deviceForPort(int number)
{
    return portDevice(number).device;
}

} // namespace serial
