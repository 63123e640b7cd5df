// The program's side of the page's cross-implementation check: the golden frames of the one golden table as
// JSON, and the frames the program's encoder gives for configurations read as JSON lines, one process for
// thousands of them.
// Usage: exporter golden | exporter frames < CONFIGURATIONS
#include "support/goldenframes.h"

#include "frame/configuration.h"
#include "frame/sentencebytes.h"
#include "vocabulary/products.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {

QJsonValue text(const char *s)
{
    return s ? QJsonValue(QString::fromLatin1(s)) : QJsonValue();
}

QString hex(const QByteArray &bytes)
{
    return frame::toHex(bytes);
}

int golden()
{
    QJsonArray rows;
    for (const GoldenFrame &g : GoldenFrames)
        rows.append(QJsonObject{{"name", g.name},
                                {"location", g.location},
                                {"talker", text(g.talker)},
                                {"sentence", text(g.sentence)},
                                {"field", g.field},
                                {"type", text(g.type)},
                                {"instrument", text(g.instrument)},
                                {"product", g.product},
                                {"icon", text(g.icon)},
                                {"shows", g.shows},
                                {"first", hex(g.first())},
                                {"repeat", hex(g.repeat())}});
    std::fputs(QJsonDocument(rows).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

int frames()
{
    QTextStream in(stdin);
    QTextStream out(stdout);
    QString line;
    while (in.readLineInto(&line)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        QString error;
        const std::optional<frame::Configuration> c = frame::fromJson(o, &error);
        QJsonObject answer;
        frame::SentenceBytes s;
        const vocabulary::Product &product = vocabulary::product(o.value("product").toInt());
        if (!c) {
            answer.insert("error", error);
        } else if (const frame::EncodeError missing = frame::encode(*c, product, s)) {
            answer.insert("error", QStringLiteral("no entry in list %1").arg(int(*missing)));
        } else {
            QJsonArray hexes;
            for (const QByteArray &f : frame::sendFrames(s))
                hexes.append(hex(f));
            answer.insert("frames", hexes);
            answer.insert("shows", frame::shows(*c, product));
        }
        out << QJsonDocument(answer).toJson(QJsonDocument::Compact) << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString mode = argc == 2 ? QString::fromLatin1(argv[1]) : QString();
    if (mode == QLatin1String("golden"))
        return golden();
    if (mode == QLatin1String("frames"))
        return frames();
    std::fputs("usage: exporter golden | exporter frames < CONFIGURATIONS\n", stderr);
    return 2;
}
