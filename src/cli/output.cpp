#include "cli/output.h"

#include <QFile>
#include <QJsonDocument>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

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

bool outputClosed(QTextStream &out)
{
    if (out.status() == QTextStream::WriteFailed)
        return true;
#ifdef Q_OS_UNIX
    // A pipe whose reader has gone reports an error to poll, with nothing asked for and nothing written.
    if (const auto *file = qobject_cast<const QFile *>(out.device()); file && file->handle() >= 0) {
        pollfd p{file->handle(), 0, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0;
    }
#endif
    return false;
}

QString endText(int seconds)
{
    return seconds > 0 ? QStringLiteral("for %1 s").arg(seconds) : QStringLiteral("Ctrl-C ends");
}

} // namespace cli
