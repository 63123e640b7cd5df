// frames: prints the ten frames of a send, one a line, as hexadecimal bytes.
#include "cli/cli.h"
#include "cli/sentence.h"
#include "cli/verbs.h"

namespace cli {

int frames(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("frames")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << usageText();
        return Ok;
    }
    const frame::SentenceBytes s = composeFromOptions(o, io.err);
    for (const QByteArray &f : frame::sendFrames(s))
        io.out << frame::toHex(f) << '\n';
    return Ok;
}

} // namespace cli
