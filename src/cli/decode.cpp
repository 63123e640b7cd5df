#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "frame/decoder.h"
#include "frame/sentencebytes.h"
#include "plan/plan.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {
namespace {

using vocabulary::List;

QString checkName(frame::CheckMatch m)
{
    switch (m) {
    case frame::CheckMatch::First:
        return QStringLiteral("first");
    case frame::CheckMatch::Repeat:
        return QStringLiteral("repeat");
    case frame::CheckMatch::None:
        break;
    }
    return QStringLiteral("wrong");
}

QString productsText(const QList<int> &products)
{
    QStringList names;
    for (int p : products)
        names << QStringLiteral("%1 (%2)").arg(p).arg(vocabulary::productCaption(p));
    return names.join(QStringLiteral(" or "));
}

QJsonObject toJson(const frame::DecodedFrame &d, int number)
{
    QJsonObject o = d.configurationJson();
    o.insert(QStringLiteral("frame"), number);
    o.insert(QStringLiteral("bytes"), frame::toHex(d.bytes));
    const bool standard = d.kind == frame::FrameKind::Standard || d.kind == frame::FrameKind::Xdr;
    o.insert(QStringLiteral("sentCode"),
             standard ? QJsonValue(QString::fromLatin1(d.bytes.mid(4, 3))) : QJsonValue());
    QJsonArray products;
    for (int p : d.products)
        products.append(p);
    o.insert(QStringLiteral("products"), products);
    o.insert(QStringLiteral("check"), checkName(d.check));
    o.insert(QStringLiteral("valid"), d.valid());
    o.insert(QStringLiteral("problems"), QJsonArray::fromStringList(d.problems));
    return o;
}

void printText(QTextStream &out, const frame::DecodedFrame &d, int number)
{
    out << "frame " << number << ": " << frame::toHex(d.bytes) << '\n';
    if (d.configuration.location > 0)
        out << "  memory location: " << d.configuration.location << '\n';
    if (d.kind != frame::FrameKind::Unknown) {
        out << "  shows: " << d.shows();
        const QString sent = QString::fromLatin1(d.bytes.mid(4, 3));
        const frame::Standard *st = d.configuration.standard();
        if (st && st->sentence >= 0 && vocabulary::entries(List::Identifier).at(st->sentence) != sent)
            out << " (sent as " << sent << ")";
        out << '\n';
    }
    if (!d.products.isEmpty()) {
        out << "  product: " << productsText(d.products)
            << (d.hasIconByte ? " (11 bytes: it has an icon byte)" : " (10 bytes: no icon byte)") << '\n';
    }
    if (d.check == frame::CheckMatch::First)
        out << "  check byte: right for the first frame of a send\n";
    else if (d.check == frame::CheckMatch::Repeat)
        out << "  check byte: right for a repeat frame (frames 2 to 10 of a send)\n";
    for (const QString &problem : d.problems)
        out << "  problem: " << problem << '\n';
}

} // namespace

int decode(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("decode")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << o.help();
        return Ok;
    }
    QString error;
    const QByteArray bytes = frame::parseHex(o.positional().join(QLatin1Char(' ')), &error);
    if (bytes.isEmpty())
        throw UsageError{QStringLiteral("decode: ") + error};

    const QList<frame::DecodedFrame> frames = frame::decodeStream(bytes);
    bool allValid = true;
    for (int i = 0; i < frames.size(); ++i) {
        allValid = allValid && frames[i].valid();
        if (o.has(QStringLiteral("--json")))
            io.out << jsonLine(toJson(frames[i], i + 1)) << '\n';
        else
            printText(io.out, frames[i], i + 1);
    }
    io.out.flush();
    return allValid ? Ok : Failed;
}

} // namespace cli
