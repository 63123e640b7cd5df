// send: composes a send and writes it to a serial port, paced as the window does.
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/sentence.h"
#include "cli/verbs.h"
#include "frame/transmitter.h"
#include "serial/devicepath.h"
#include "serial/qtserialport.h"

namespace cli {
namespace {

QString progressLine(int done)
{
    return QLatin1Char('\r') + bar(done, frame::Repetitions, 10) + QLatin1Char(' ') +
           QString::number(done).rightJustified(2) + QStringLiteral("/10");
}

} // namespace

int send(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("send")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << usageText();
        return Ok;
    }
    frame::SentenceBytes s = composeFromOptions(o, io.err);
    const Target target = targetOf(o);
    QString failure;
    const QString device = deviceOf(target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n';
        return Failed;
    }

    serial::QtSerialPort port;
    if (!port.open(device)) {
        io.err << "mdconfig-cli: cannot open " << port.errorString() << '\n';
        return Failed;
    }
    const bool json = o.has(QStringLiteral("--json"));
    const bool bar = io.outIsTerminal && !json;
    frame::Transmitter transmitter(port);
    transmitter.setStopRequested(interruptRequested);
    int done = 0;
    if (bar)
        io.out << progressLine(0) << Qt::flush;
    const std::optional<QString> stopped = transmitter.TransmitSentence(s, [&](int) {
        ++done;
        if (bar)
            io.out << progressLine(done) << Qt::flush;
        else if (json)
            io.out << jsonLine({{"repetition", done}, {"of", frame::Repetitions}}) << '\n' << Qt::flush;
        else
            io.out << "repetition " << done << " of 10 sent\n" << Qt::flush;
    });
    if (bar)
        io.out << '\n' << Qt::flush; // the bar's line ends before any message on the other stream
    if (stopped && interruptRequested()) {
        io.err << "mdconfig-cli: " << *stopped << "; the display may hold a part frame, send it again\n";
        return Failed;
    }
    if (stopped) {
        io.err << "mdconfig-cli: the sentence was not sent: "
               << frame::failedAfter(*stopped, transmitter.repetitionsSent()) << '\n';
        return Failed;
    }
    port.close();
    if (json) {
        io.out << jsonLine({{"sent", true},
                            {"bytes", transmitter.bytesSent()},
                            {"repetitions", transmitter.repetitionsSent()},
                            {"device", serial::printable(device)}})
               << '\n';
        return Ok;
    }
    io.out << "sent " << transmitter.bytesSent() << " bytes to " << serial::shownDevice(device) << '\n';
    return Ok;
}

} // namespace cli
