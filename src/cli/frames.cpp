// frames: prints the ten frames of a send, one a line, as hexadecimal bytes.
#include "cli/cli.h"
#include "cli/output.h"
#include "cli/sentence.h"
#include "cli/verbs.h"
#include "vocabulary/products.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

int frames(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("frames")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << o.help();
        return Ok;
    }
    const frame::SentenceBytes s = composeFromOptions(o, io.err);
    if (o.has(QStringLiteral("--json"))) {
        // The keys plan frames --json gives for a location, and the product.
        const Described d = describedByOptions(o, o.positional().value(0));
        QJsonObject line = frame::toJson(d.location, vocabulary::product(d.product).sendsIconByte);
        line.insert(QStringLiteral("product"), d.product);
        QJsonArray hex;
        for (const QByteArray &f : frame::sendFrames(s))
            hex.append(frame::toHex(f));
        line.insert(QStringLiteral("frames"), hex);
        io.out << jsonLine(line) << '\n';
        return Ok;
    }
    for (const QByteArray &f : frame::sendFrames(s))
        io.out << frame::toHex(f) << '\n';
    return Ok;
}

} // namespace cli
