#include "source/speedsearch.h"

#include "bus/monitor.h"
#include "bus/sentence.h"

namespace source {
namespace {

// What is kept of a trial's bytes to be handed on: enough for the first screen of sentences.
constexpr int MaxHeard = 16 * 1024;

QString secondsText(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'g', 2);
}

// Listens at one speed until enough good sentences came, the time is up or the port failed.
SpeedTrial listen(serial::ReceivePort &port, int baud, const Clock &now,
                  const std::function<bool()> &stopRequested, const SpeedSearchTiming &timing,
                  QByteArray &heard)
{
    SpeedTrial trial;
    trial.baud = baud;
    bus::LineAssembler lines([&](bus::LineAssembler::Kind kind, const QByteArray &line) {
        const std::optional<bus::Sentence> s =
            kind == bus::LineAssembler::Kind::Line ? bus::parseSentence(line) : std::nullopt;
        if (!s)
            ++trial.noise;
        else if (s->checksum == bus::Checksum::Ok)
            ++trial.good;
        else if (s->checksum == bus::Checksum::Bad)
            ++trial.bad;
        else
            ++trial.unchecked;
    });
    const qint64 start = now();
    while (now() - start < timing.trialMs && trial.good < timing.enoughSentences && !port.failed() &&
           !(stopRequested && stopRequested())) {
        const QByteArray bytes = port.read(timing.readMs);
        trial.bytes += bytes.size();
        lines.feed(bytes);
        if (heard.size() + bytes.size() <= MaxHeard)
            heard += bytes;
    }
    trial.ms = now() - start;
    return trial;
}

} // namespace

QString trialText(const SpeedTrial &t)
{
    const QString in = secondsText(t.ms);
    if (t.good > 0)
        return QStringLiteral("%1 %2 with good checksums in %3 s")
            .arg(t.good)
            .arg(t.good == 1 ? QStringLiteral("sentence") : QStringLiteral("sentences"), in);
    if (t.bytes == 0)
        return QStringLiteral("nothing heard in %1 s").arg(in);
    QString what = QStringLiteral("%1 bytes").arg(t.bytes);
    if (t.bad > 0)
        what += QStringLiteral(", %1 with bad checksums").arg(t.bad);
    else if (t.unchecked > 0)
        what += QStringLiteral(", %1 without checksums").arg(t.unchecked);
    else
        what += QStringLiteral(", mostly noise");
    return QStringLiteral("no sentence with a good checksum in %1 s (%2)").arg(in, what);
}

SpeedFound findSpeed(const SpeedOpener &open, const Clock &now, const std::function<bool()> &stopRequested,
                     const SpeedSearchTiming &timing)
{
    SpeedFound found;
    QByteArray bestHeard;
    int best = -1;
    for (const int baud : SearchedSpeeds) {
        if (stopRequested && stopRequested())
            break;
        QString why;
        std::unique_ptr<serial::ReceivePort> port = open(baud, &why);
        if (!port) {
            found.reason = why;
            return found;
        }
        QByteArray heard;
        found.trials.append(listen(*port, baud, now, stopRequested, timing, heard));
        const SpeedTrial &trial = found.trials.last();
        if (port->failed()) {
            found.reason = port->errorString();
            return found;
        }
        if (trial.good >= timing.enoughSentences) {
            found.baud = baud;
            found.port = std::move(port);
            found.heard = heard;
            best = int(found.trials.size()) - 1;
            break;
        }
        // Closed before the next speed is tried: the device has one holder, and that may be someone else
        // by the time it is opened again.
        port->close();
        if (trial.good > 0 && (best < 0 || trial.good > found.trials.at(best).good)) {
            best = int(found.trials.size()) - 1;
            bestHeard = heard;
        }
    }
    if (!found.port) {
        if (stopRequested && stopRequested()) {
            found.reason = QStringLiteral("stopped before a speed was found");
            return found;
        }
        const bool none = best < 0;
        const int baud = none ? SearchedSpeeds.front() : found.trials.at(best).baud;
        QString why;
        found.port = open(baud, &why);
        if (!found.port) {
            found.reason = why;
            return found;
        }
        found.baud = baud;
        found.heard = bestHeard;
        if (none) {
            QStringList tried;
            for (const SpeedTrial &t : found.trials)
                tried << QStringLiteral("at %1, %2").arg(t.baud).arg(trialText(t));
            found.reason = QStringLiteral("%1 baud, the instruments' speed: no speed gave a sentence with a "
                                          "good checksum (%2)")
                               .arg(baud)
                               .arg(tried.join(QStringLiteral("; ")));
            return found;
        }
    }
    QStringList others;
    for (qsizetype i = 0; i < found.trials.size(); ++i) {
        if (i != best)
            others << QStringLiteral("at %1, %2")
                          .arg(found.trials.at(i).baud)
                          .arg(trialText(found.trials.at(i)));
    }
    found.reason = QStringLiteral("%1 baud: %2").arg(found.baud).arg(trialText(found.trials.at(best)));
    if (!others.isEmpty())
        found.reason += QStringLiteral("; ") + others.join(QStringLiteral("; "));
    return found;
}

} // namespace source
