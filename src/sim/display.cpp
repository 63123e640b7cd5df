#include "sim/display.h"

#include "file/regularfile.h"
#include "frame/sentencebytes.h"
#include "plan/plan.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QFileInfo>
#include <QJsonArray>

namespace sim {
namespace {

using frame::hexByte;

QString frameLengthText(bool iconByte)
{
    return iconByte ? QStringLiteral("11-byte frames (with an icon byte)")
                    : QStringLiteral("10-byte frames (no icon byte)");
}

// "10-byte frames": the frames of a product, as long as those of the products sent alike.
QString alikeFrames(int product)
{
    const bool iconByte = vocabulary::showsIcons(product);
    return QStringLiteral("%1-byte frames").arg(iconByte ? frame::IconFrameLength : frame::FrameLength);
}

// "0 and 1": the products whose frames are those of this product.
QString alikeProducts(int product, const char *conjunction)
{
    return vocabulary::productNumbers(vocabulary::productsSentAlike(vocabulary::showsIcons(product)),
                                      QString::fromLatin1(conjunction));
}

QString findingText(const Verdict &v, const Finding &f)
{
    return f.repetition > 0
               ? QStringLiteral("send %1, repetition %2: %3").arg(v.send).arg(f.repetition).arg(f.text)
               : QStringLiteral("send %1: %2").arg(v.send).arg(f.text);
}

// Each repetition's findings, added to the verdict; the decoded frames of those that count: sound frames
// that came with the display's pacing.
QList<frame::DecodedFrame> judgeRepetitions(const Send &send, Verdict &v)
{
    QList<frame::DecodedFrame> counted;
    for (const Repetition &r : send.repetitions) {
        v.frames << r.bytes;
        QStringList problems = r.problems(); // length, header and pacing, as the receiver heard them
        bool counts = problems.isEmpty();
        if (!r.wrongLength() && !r.wrongHeader()) {
            const frame::DecodedFrame d = frame::decodeFrame(r.bytes);
            problems << d.problems;
            counts = counts && d.valid();
            const std::uint8_t check = std::uint8_t(r.bytes.back());
            // The check byte fits, but not its place: a warning, the frame itself is sound.
            if (d.configuration.location == 0) {
                // No location, no repeat check byte to compare with: the decoder has said what is wrong.
            } else if (d.check == frame::CheckMatch::First && r.number != 1) {
                problems << QStringLiteral("ends with the first frame's check byte %1 where repetitions 2 to "
                                           "10 end with %2")
                                .arg(hexByte(check), hexByte(d.expectedRepeat));
            } else if (d.check == frame::CheckMatch::Repeat && r.number == 1) {
                QString text = QStringLiteral("ends with the repeat check byte %1 where the first repetition "
                                              "of a send ends with %2")
                                   .arg(hexByte(check), hexByte(d.expectedFirst));
                if (send.fewerThanTen())
                    text += QStringLiteral(": the first repetition was lost");
                problems << text;
            }
            if (counts)
                counted << d;
        }
        for (const QString &p : problems)
            v.findings << Finding{r.number, p};
    }
    return counted;
}

} // namespace

Display::Display(int product, Report report)
    : m_receiver({{}, [this](const Send &s) { take(s); }}), m_report(std::move(report)), m_product(product),
      m_productGiven(product >= 0)
{
}

void Display::receive(const QByteArray &bytes, Micros at)
{
    m_receiver.receive(bytes, at);
}

void Display::advanceTo(Micros now)
{
    m_receiver.advanceTo(now);
}

void Display::finish()
{
    m_receiver.finish();
}

Verdict Display::take(const Send &send)
{
    Verdict v;
    v.send = ++m_sends;
    if (send.flood) {
        // Nothing of it was kept to judge: one rejection says what it was, whatever its length.
        v.start = send.flood->start;
        v.frames << send.flood->first;
        v.rejection = send.flood->text();
        ++m_rejected;
        if (m_report)
            m_report(v);
        return v;
    }
    v.repetitions = int(send.repetitions.size());
    if (!send.repetitions.isEmpty())
        v.start = send.repetitions.first().start;
    for (const QString &p : send.problems())
        v.findings << Finding{0, p};

    const QList<frame::DecodedFrame> counted = judgeRepetitions(send, v);

    if (counted.isEmpty()) {
        v.rejection = QStringLiteral("no repetition was a sound frame with the display's pacing");
    } else {
        v.configuration = counted.first();
        for (const frame::DecodedFrame &d : counted) {
            if (d.bytes.chopped(1) != v.configuration.bytes.chopped(1)) {
                v.rejection = QStringLiteral("the repetitions carry different configurations (%1 and %2)")
                                  .arg(v.configuration.shows(), d.shows());
                break;
            }
        }
    }

    const bool iconByte = v.configuration.hasIconByte;
    if (v.rejection.isEmpty() && m_product >= 0 && vocabulary::showsIcons(m_product) != iconByte) {
        if (m_productGiven) {
            v.rejection = QStringLiteral("%1 are not for product %2 (%3), which this display is")
                              .arg(frameLengthText(iconByte))
                              .arg(m_product)
                              .arg(vocabulary::productCaption(m_product));
        } else {
            v.rejection = QStringLiteral("%1 after sends of %2: one display is one product (give --product "
                                         "to say which)")
                              .arg(frameLengthText(iconByte), frameLengthText(!iconByte));
        }
    }

    if (v.rejection.isEmpty()) {
        v.accepted = true;
        ++m_accepted;
        if (m_product < 0) {
            m_product = v.configuration.products.value(0, -1); // the first the frame's length fits
            // Frames of this length may be sent alike to more than one product.
            m_productAssumed = vocabulary::productsSentAlike(iconByte).size() > 1;
        }
        std::optional<LocationState> &state =
            m_locations[std::size_t(v.configuration.configuration.location - 1)];
        const int sends = state ? state->sends : 0;
        state = LocationState{v.configuration, sends + 1};
    } else {
        ++m_rejected;
    }
    if (m_report)
        m_report(v);
    return v;
}

QString Display::table() const
{
    // 3 + 2 + 66 + 1 + 5 columns: the longest configuration ("II XDR field 25 type A - Angular Displacement,
    // Degrees, icon MILES") fits whole.
    constexpr int ShowsWidth = 66;
    QString product;
    if (m_product < 0)
        product = QStringLiteral("product not known until a send is taken");
    else if (m_productAssumed)
        product =
            QStringLiteral("%1: product %2").arg(alikeFrames(m_product), alikeProducts(m_product, "or"));
    else
        product = QStringLiteral("product %1 (%2)").arg(m_product).arg(vocabulary::productCaption(m_product));
    QString t = QStringLiteral("Simulated display, %1\n").arg(product);
    t += QStringLiteral("loc  ") + QStringLiteral("shows").leftJustified(ShowsWidth) +
         QStringLiteral(" sends\n");
    for (int i = 0; i < MemoryLocations; ++i) {
        const std::optional<LocationState> &state = m_locations[std::size_t(i)];
        if (!state) {
            t += QStringLiteral("%1  -\n").arg(i + 1, 3);
            continue;
        }
        t += QStringLiteral("%1  %2 %3\n")
                 .arg(i + 1, 3)
                 .arg(state->configuration.shows().leftJustified(ShowsWidth, QLatin1Char(' '), true))
                 .arg(state->sends, 5);
    }
    return t;
}

QStringList Display::lines(const Verdict &v)
{
    QStringList l;
    for (const Finding &f : v.findings)
        l << QStringLiteral("warning: ") + findingText(v, f);
    if (v.accepted)
        l << QStringLiteral("location %1: %2")
                 .arg(v.configuration.configuration.location)
                 .arg(v.configuration.shows());
    else
        l << QStringLiteral("send %1 rejected: %2").arg(v.send).arg(v.rejection);
    return l;
}

QJsonObject Display::toJson(const Verdict &v)
{
    QJsonObject o;
    o.insert(QStringLiteral("accepted"), v.accepted);
    if (!v.accepted)
        o.insert(QStringLiteral("rejected"), true);
    o.insert(QStringLiteral("send"), v.send);
    o.insert(QStringLiteral("repetitions"), v.repetitions);
    const frame::DecodedFrame &d = v.configuration;
    const int location = d.configuration.location;
    o.insert(QStringLiteral("location"), location > 0 ? QJsonValue(location) : QJsonValue());
    QStringList findings;
    for (const Finding &f : v.findings)
        findings << (f.repetition > 0 ? QStringLiteral("repetition %1: %2").arg(f.repetition).arg(f.text)
                                      : f.text);
    if (v.accepted) {
        const QJsonObject configuration = d.configurationJson();
        for (auto i = configuration.begin(); i != configuration.end(); ++i)
            o.insert(i.key(), i.value());
        // What the ten repetitions share: every byte but the check byte, which differs after the first.
        o.insert(QStringLiteral("body"), frame::toHex(d.bytes.chopped(1)));
        o.insert(QStringLiteral("warnings"), QJsonArray::fromStringList(findings));
    } else {
        o.insert(QStringLiteral("reason"), v.rejection);
        o.insert(QStringLiteral("problems"), QJsonArray::fromStringList(findings));
        QJsonArray frames;
        for (const QByteArray &f : v.frames)
            frames.append(frame::toHex(f));
        o.insert(QStringLiteral("frames"), frames);
    }
    return o;
}

QJsonObject Display::summaryJson() const
{
    QJsonObject s;
    s.insert(QStringLiteral("sends"), m_sends);
    s.insert(QStringLiteral("accepted"), m_accepted);
    s.insert(QStringLiteral("rejected"), m_rejected);
    s.insert(QStringLiteral("product"), m_product >= 0 ? QJsonValue(m_product) : QJsonValue());
    s.insert(QStringLiteral("productAssumed"), m_productAssumed);
    QJsonArray locations;
    for (int i = 0; i < MemoryLocations; ++i) {
        const std::optional<LocationState> &state = m_locations[std::size_t(i)];
        QJsonObject l;
        l.insert(QStringLiteral("location"), i + 1);
        l.insert(QStringLiteral("shows"), state ? QJsonValue(state->configuration.shows()) : QJsonValue());
        l.insert(QStringLiteral("sends"), state ? state->sends : 0);
        locations.append(l);
    }
    s.insert(QStringLiteral("locations"), locations);
    return QJsonObject{{QStringLiteral("summary"), s}};
}

QString Display::planHeader() const
{
    QString t = QStringLiteral("# What a simulated display took (mdconfig-cli simulate).\n");
    if (m_productAssumed) {
        QStringList others;
        for (int p : vocabulary::productsSentAlike(vocabulary::showsIcons(m_product))) {
            if (p != m_product)
                others << QStringLiteral("write %1 for an %2")
                              .arg(QString::number(p), vocabulary::productName(p));
        }
        t += QStringLiteral("# %1 are sent alike to products %2: product %3 is assumed; %4.\n")
                 .arg(alikeFrames(m_product), alikeProducts(m_product, "and"), QString::number(m_product),
                      others.join(QStringLiteral(", or ")));
    }
    return t;
}

QList<plan::Location> Display::takenLocations() const
{
    QList<plan::Location> taken;
    for (const std::optional<LocationState> &state : m_locations) {
        if (state) {
            plan::Location l;
            static_cast<frame::Configuration &>(l) = state->configuration.configuration;
            taken << l;
        }
    }
    return taken;
}

QString Display::planText() const
{
    if (m_accepted == 0 || m_product < 0)
        return {};
    QString t = planHeader() + plan::productText(m_product);
    for (const plan::Location &l : takenLocations())
        t += QLatin1Char('\n') + plan::locationText(l, m_product);
    return t;
}

std::optional<QString> Display::refusePlanPath(const QString &path)
{
    if (const std::optional<QString> refused = file::notARegularFile(path))
        return QStringLiteral("%1 %2; give a plan file").arg(path, *refused);
    const QFileInfo info(path);
    // The file is replaced through a new file beside it: its folder must be there and writable.
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("cannot write %1: the folder %2 does not exist").arg(path, folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("cannot write %1: the folder %2 cannot be written")
            .arg(path, folder.filePath());
    return std::nullopt;
}

std::optional<QString> Display::writePlan(const QString &path) const
{
    if (const std::optional<QString> refused = refusePlanPath(path))
        return refused;
    if (m_accepted == 0 || m_product < 0)
        return QStringLiteral("no send was taken, so there is no plan to write");
    // Into what the file holds: a location taken replaces that location, the others stay.
    return plan::mergeLocations(path, takenLocations(), m_product, planHeader());
}

} // namespace sim
