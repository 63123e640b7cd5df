// page: writes the page on its own (mdconfig-page.html), one self-contained file that a laptop's Chrome or
// Edge opens from disk and that reaches the display through a USB serial adapter (Web Serial).
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "file/regularfile.h"
#include "serial/devicepath.h"

#include <QFile>
#include <QJsonObject>

namespace cli {
namespace {

} // namespace

int page(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("page")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << o.help();
        return Ok;
    }
    if (!o.has(QStringLiteral("--output")))
        o.missing(QStringLiteral("--output"),
                  QStringLiteral("the file to write, such as mdconfig-page.html"));
    const QString path = o.value(QStringLiteral("--output"));
    QFile page(QStringLiteral(":/web/mdconfig-page.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        io.err << "mdconfig-cli: this build holds no page on its own: " << page.errorString() << '\n';
        return Failed;
    }
    const QByteArray bytes = page.readAll();
    if (const std::optional<QString> failed = file::replace(path, bytes)) {
        io.err << "mdconfig-cli: " << serial::printable(path) << ' ' << *failed << "; nothing was written\n";
        return Failed;
    }
    if (o.has(QStringLiteral("--json"))) {
        io.out << jsonLine(QJsonObject{{QStringLiteral("file"), serial::printable(path)},
                                       {QStringLiteral("bytes"), bytes.size()}})
               << '\n';
        return Ok;
    }
    io.out << "wrote " << serial::printable(path)
           << ": open it in Chrome or Edge and press \"Connect adapter\"\n";
    return Ok;
}

} // namespace cli
