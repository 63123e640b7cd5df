#include "settings/adapters.h"

#include "file/regularfile.h"
#include "serial/devicepath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace settings {
namespace {

// Sixteen entries take a few kilobytes; anything much larger is not ours.
constexpr qint64 ReadLimit = 64 * 1024;

const QString Name = QStringLiteral("name");
const QString Manufacturer = QStringLiteral("manufacturer");
const QString Product = QStringLiteral("product");
const QString SerialNumber = QStringLiteral("serialNumber");
const QString Device = QStringLiteral("device");

std::optional<Location> &overridden()
{
    static std::optional<Location> where;
    return where;
}

} // namespace

std::optional<Adapters> parseAdapters(const QByteArray &content)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    Adapters adapters;
    const QJsonObject all = doc.object();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (!it.key().startsWith(QLatin1String("COM")))
            continue;
        bool isNumber = false;
        const int number = it.key().mid(3).toInt(&isNumber);
        if (!isNumber || number < 1 || number > serial::MaxPortNumber)
            continue;
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject o = it.value().toObject();
        const serial::AdapterIdentity identity{o.value(Name).toString(), o.value(Manufacturer).toString(),
                                               o.value(Product).toString(), o.value(SerialNumber).toString(),
                                               o.value(Device).toString()};
        if (!identity.isEmpty())
            adapters.insert(number, identity);
    }
    return adapters;
}

QByteArray formatAdapters(const Adapters &adapters)
{
    QJsonObject all;
    for (auto it = adapters.begin(); it != adapters.end(); ++it) {
        const serial::AdapterIdentity &a = it.value();
        all.insert(QStringLiteral("COM%1").arg(it.key()), QJsonObject{{Name, a.name},
                                                                      {Manufacturer, a.manufacturer},
                                                                      {Product, a.product},
                                                                      {SerialNumber, a.serialNumber},
                                                                      {Device, a.device}});
    }
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

RememberedAdapters loadAdapters(const QString &path)
{
    if (path.isEmpty())
        return {};
    // Never through a link, never blocking on a FIFO: only a regular file of our own is read.
    const file::Contents c = file::read(path, ReadLimit);
    if (c.problem == file::Problem::Missing)
        return {};
    const QString shown = serial::printable(QDir::toNativeSeparators(path));
    if (!c.ok())
        return {{},
                QStringLiteral("the file of remembered adapters %1 %2").arg(shown, c.failure),
                c.problem == file::Problem::TooLarge};
    const std::optional<Adapters> adapters = parseAdapters(c.bytes);
    if (!adapters)
        return {
            {},
            QStringLiteral("the file of remembered adapters %1 is damaged (not the JSON object kept there)")
                .arg(shown),
            true};
    return {*adapters, {}, true};
}

Location adaptersLocation(const QString &programDir)
{
    return locate(programDir, AdaptersFile);
}

Location adaptersLocation()
{
    if (overridden())
        return *overridden();
    return adaptersLocation(QCoreApplication::applicationDirPath());
}

void setAdaptersLocation(std::optional<Location> where)
{
    overridden() = std::move(where);
}

bool admitAdapter(const Location &where, int number, const ConfirmAdapter &confirm, QStringList *notes)
{
    const RememberedAdapters remembered = loadAdapters(where.readPath);
    const serial::AdapterIdentity now = serial::adapterAt(number);
    const std::optional<serial::AdapterIdentity> known =
        remembered.adapters.contains(number) ? std::optional(remembered.adapters.value(number))
                                             : std::nullopt;
    if (const auto change = serial::adapterChange(number, now, known);
        change && (!confirm || !confirm(*change)))
        return false;

    Adapters kept = remembered.adapters;
    if (now.isEmpty())
        kept.remove(number);
    else
        kept.insert(number, now);
    // A damaged file is worth nothing to anyone, but it is not replaced without a word, nor for nothing.
    const bool damaged = !remembered.problem.isEmpty();
    const bool write = damaged ? remembered.replaceable && !now.isEmpty() : kept != remembered.adapters;
    if (damaged && notes)
        *notes << remembered.problem +
                      (write ? QStringLiteral("; it is replaced") : QStringLiteral("; it is left as it is"));
    if (!write)
        return true;

    const auto notKept = [&](const QString &why) {
        if (notes)
            *notes << QStringLiteral("the adapter COM%1 opens is not remembered: %2").arg(number).arg(why);
    };
    if (where.writePath.isEmpty()) {
        notKept(QStringLiteral("there is no folder to keep it in"));
        return true;
    }
    const QString shown = serial::printable(QDir::toNativeSeparators(where.writePath));
    if (!QDir().mkpath(QFileInfo(where.writePath).absolutePath()))
        notKept(QStringLiteral("the folder of %1 cannot be made").arg(shown));
    else if (const std::optional<QString> failed = file::replace(where.writePath, formatAdapters(kept)))
        notKept(QStringLiteral("%1: it %2").arg(shown, *failed));
    return true;
}

QList<int> rememberedFor(const Adapters &adapters, const serial::AdapterIdentity &identity)
{
    QList<int> numbers;
    for (auto it = adapters.begin(); it != adapters.end(); ++it) {
        if (serial::sameAdapter(it.value(), identity))
            numbers << it.key();
    }
    return numbers;
}

} // namespace settings
