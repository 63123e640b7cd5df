#include "cli/output.h"

#include <QJsonDocument>

namespace cli {

QString jsonLine(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString bar(int done, int total, int width)
{
    const int filled = total > 0 ? done * width / total : width;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char(' ')) +
           QLatin1Char(']');
}

QString endText(int seconds)
{
    return seconds > 0 ? QStringLiteral("for %1 s").arg(seconds) : QStringLiteral("Ctrl-C ends");
}

} // namespace cli
