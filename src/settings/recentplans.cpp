#include "settings/recentplans.h"

#include "file/regularfile.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>

namespace settings {

namespace {
// A list of eight paths is a few kilobytes; more is not this file.
constexpr qint64 ReadLimit = 64 * 1024;
} // namespace

QString recentPlansPath()
{
    const QString folder = userConfigFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + RecentPlansFile;
}

QStringList parseRecentPlans(const QByteArray &content)
{
    QStringList paths;
    for (const QByteArray &raw : content.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || QDir::isRelativePath(line) || paths.contains(line))
            continue;
        paths << line;
        if (paths.size() == MaxRecentPlans)
            break;
    }
    return paths;
}

QByteArray formatRecentPlans(const QStringList &paths)
{
    QByteArray text;
    for (const QString &p : paths.mid(0, MaxRecentPlans))
        text += p.toUtf8() + '\n';
    return text;
}

QStringList remember(QStringList paths, const QString &path)
{
    paths.removeAll(path);
    paths.prepend(path);
    return paths.mid(0, MaxRecentPlans);
}

QStringList loadRecentPlans(const QString &file)
{
    if (file.isEmpty())
        return {};
    const file::Contents c = file::read(file, ReadLimit, file::OverLimit::ReadThePrefix);
    return c.ok() ? parseRecentPlans(c.bytes) : QStringList{};
}

std::optional<QString> saveRecentPlans(const QString &file, const QStringList &paths)
{
    if (file.isEmpty())
        return QStringLiteral("no configuration folder of your own is known (HOME or XDG_CONFIG_HOME)");
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 could not be created").arg(folder);
    return file::replace(file, formatRecentPlans(paths));
}

} // namespace settings
