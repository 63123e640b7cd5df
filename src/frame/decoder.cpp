#include "frame/decoder.h"

#include "frame/sentencebytes.h"
#include "serial/devicepath.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <cctype>

namespace frame {
namespace {

using vocabulary::List;

QString text(const QByteArray &bytes, int from, int count)
{
    return QString::fromLatin1(bytes.mid(from, count));
}

// Letters as letters; anything else (a control byte, a damaged capture) as its hexadecimal bytes.
QString quotedText(const QByteArray &bytes, int from, int count)
{
    const QByteArray part = bytes.mid(from, count);
    for (char c : part) {
        if (c < 0x20 || c > 0x7E)
            return QStringLiteral("bytes ") + toHex(part);
    }
    return QLatin1Char('"') + QString::fromLatin1(part) + QLatin1Char('"');
}

int findIconCode(std::uint8_t code)
{
    for (int i = 0; i < IconCount; ++i) {
        if (iconCode(i) == code)
            return i;
    }
    return -1;
}

void decodeStandard(DecodedFrame &d, const QByteArray &b)
{
    const QString talker = text(b, 2, 2);
    const QString code = text(b, 4, 3);
    Standard st;
    st.talker = vocabulary::findTalkerCode(talker);
    if (st.talker < 0)
        d.problems << QStringLiteral("the talker %1 is not in the Talker ID list").arg(quotedText(b, 2, 2));
    st.sentence = vocabulary::findSentenceIDCode(code);
    if (st.sentence < 0) {
        QString problem =
            QStringLiteral("the sentence code %1 is not sent for any entry of the Indentifier list")
                .arg(quotedText(b, 4, 3));
        // The three identifiers sent under another first letter: say what the frame should carry.
        const int shown = vocabulary::findEntry(List::Identifier, code);
        if (shown >= 0)
            problem +=
                QStringLiteral(" (\"%1\" is sent as \"%2\")").arg(code, *vocabulary::sentenceIDCode(shown));
        d.problems << problem;
    }
    const std::uint8_t six = std::uint8_t(b[7]);
    const std::uint8_t seven = std::uint8_t(b[8]);
    const int n = int(seven) - '0';
    d.kind = st.sentence == vocabulary::XdrPosition ? FrameKind::Xdr : FrameKind::Standard;
    if (n >= 1 && n <= vocabulary::CommaCount)
        st.field = n;
    else
        d.problems << QStringLiteral(
                          "the field byte %1 names no field position (31 to 49 for fields 1 to 25)")
                          .arg(hexByte(seven));
    if (d.kind == FrameKind::Xdr) {
        st.type = vocabulary::findXdrCode(QString(QChar::fromLatin1(char(six))));
        if (st.type < 0)
            d.problems << QStringLiteral("the transducer type byte %1 is not one of the type letters")
                              .arg(hexByte(six));
    } else if (st.field != 0 && six != st.field) {
        d.problems << QStringLiteral(
                          "the comma count byte %1 does not match the field byte %2 (field %3 sends %4)")
                          .arg(hexByte(six), hexByte(seven))
                          .arg(st.field)
                          .arg(hexByte(std::uint8_t(st.field)));
    }
    d.configuration.what = st;
}

void decodeProprietary(DecodedFrame &d, const QByteArray &b)
{
    d.kind = FrameKind::Proprietary;
    const vocabulary::Instrument values{std::uint8_t(b[6]), std::uint8_t(b[7]), std::uint8_t(b[8])};
    const int instrument = vocabulary::findInstrument(values);
    d.configuration.what = Instrument{instrument};
    if (instrument < 0)
        d.problems << QStringLiteral("the values %1 %2 %3 belong to no Velmora instrument")
                          .arg(hexByte(values.first), hexByte(values.second), hexByte(values.third));
}

} // namespace

QString DecodedFrame::shows() const
{
    if (kind == FrameKind::Unknown)
        return QStringLiteral("nothing recognisable");
    return frame::shows(configuration, hasIconByte);
}

QJsonObject DecodedFrame::configurationJson() const
{
    if (kind != FrameKind::Unknown)
        return toJson(configuration, hasIconByte);
    // Only the location can be known; a blank standard sentence gives null for every other entry.
    QJsonObject o = toJson(Configuration{configuration.location, Standard{}, 0}, false);
    o.insert(QStringLiteral("kind"), kindName(kind));
    o.insert(QStringLiteral("shows"), shows());
    return o;
}

DecodedFrame decodeFrame(const QByteArray &b)
{
    DecodedFrame d;
    d.bytes = b;
    if (b.isEmpty()) {
        d.problems << QStringLiteral("no bytes");
        return d;
    }
    if (std::uint8_t(b[0]) != FrameStart)
        d.problems << QStringLiteral("a frame starts with 24 (\"$\"), this one with %1").arg(hexByte(b[0]));
    if (b.size() != FrameLength && b.size() != IconFrameLength) {
        d.problems
            << QStringLiteral("a frame is 10 bytes, or 11 with an icon byte; this one is %1").arg(b.size());
        return d;
    }
    const std::uint8_t memory = std::uint8_t(b[1]);
    if (memory >= '0' && memory < '0' + vocabulary::MemoryLocationCount)
        d.configuration.location = memory - '0' + 1;
    else
        d.problems << QStringLiteral("the memory byte %1 names no location (30 to 39 for locations 1 to 10)")
                          .arg(hexByte(memory));

    if (text(b, 2, 4) == QLatin1String("PVLM"))
        decodeProprietary(d, b);
    else
        decodeStandard(d, b);

    d.hasIconByte = b.size() == IconFrameLength;
    for (int p = 0; p < vocabulary::ProductCount; ++p) {
        if (vocabulary::product(p).sendsIconByte == d.hasIconByte)
            d.products << p;
    }
    if (d.hasIconByte) {
        d.configuration.icon = findIconCode(std::uint8_t(b[9]));
        if (d.configuration.icon < 0)
            d.problems << QStringLiteral("the icon byte %1 activates no icon").arg(hexByte(b[9]));
    }

    // The check bytes the sender computes for this body, by the sender's own rule.
    SentenceBytes sent;
    sent.MemoryChar = std::uint8_t(b[1]);
    const int location = d.configuration.location;
    sent.MemoryKey = location != 0 ? memoryKey(location - 1) : 0;
    sent.Body1 = std::uint8_t(b[2]);
    sent.Body2 = std::uint8_t(b[3]);
    sent.Body3 = std::uint8_t(b[4]);
    sent.Body4 = std::uint8_t(b[5]);
    sent.Body5 = std::uint8_t(b[6]);
    sent.Body6 = std::uint8_t(b[7]);
    sent.Body7 = std::uint8_t(b[8]);
    sent.IconCode = d.hasIconByte ? std::uint8_t(b[9]) : 0;
    const CheckBytes expected = checkBytes(sent);
    d.expectedFirst = expected.first;
    const std::uint8_t check = std::uint8_t(b[b.size() - 1]);
    if (location != 0) {
        d.expectedRepeat = expected.repeat;
        if (check == d.expectedFirst)
            d.check = CheckMatch::First;
        else if (check == d.expectedRepeat)
            d.check = CheckMatch::Repeat;
        else
            d.problems << QStringLiteral(
                              "the check byte %1 is wrong: a first frame ends with %2, a repeat frame "
                              "with %3")
                              .arg(hexByte(check), hexByte(d.expectedFirst), hexByte(d.expectedRepeat));
    } else if (check == d.expectedFirst) {
        d.check = CheckMatch::First;
    } else {
        d.problems << QStringLiteral("the check byte %1 is wrong: a first frame ends with %2")
                          .arg(hexByte(check), hexByte(d.expectedFirst));
    }
    return d;
}

QList<DecodedFrame> decodeStream(const QByteArray &bytes)
{
    QList<DecodedFrame> frames;
    const auto boundary = [&](int at, int length) {
        return at + length == bytes.size() ||
               (at + length < bytes.size() && std::uint8_t(bytes[at + length]) == FrameStart);
    };
    const auto fits = [&](int at, int length) {
        return boundary(at, length) && decodeFrame(bytes.mid(at, length)).check != CheckMatch::None;
    };
    int at = 0;
    while (at < bytes.size()) {
        if (std::uint8_t(bytes[at]) != FrameStart) {
            // Stray bytes up to the next "$" are shown as what they are, not silently skipped.
            int next = bytes.indexOf(char(FrameStart), at);
            if (next < 0)
                next = bytes.size();
            frames << decodeFrame(bytes.mid(at, next - at));
            at = next;
            continue;
        }
        int length = 0;
        if (fits(at, FrameLength))
            length = FrameLength;
        else if (fits(at, IconFrameLength))
            length = IconFrameLength;
        else if (boundary(at, FrameLength))
            length = FrameLength;
        else if (boundary(at, IconFrameLength))
            length = IconFrameLength;
        else {
            // No length fits: take everything up to the next "$" that could start a frame.
            int next = bytes.indexOf(char(FrameStart), at + 1);
            length = (next < 0 ? int(bytes.size()) : next) - at;
        }
        frames << decodeFrame(bytes.mid(at, length));
        at += length;
    }
    return frames;
}

QByteArray parseHex(const QString &text, QString *error)
{
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())) || c.unicode() > 0x7F) {
            if (error)
                *error =
                    QStringLiteral("\"%1\" is not a hexadecimal digit; give bytes as 0-9 and A-F, such as "
                                   "\"24 32 47 50\"")
                        .arg(serial::printable(QString(c)));
            return {};
        }
        digits.append(c.toLatin1());
    }
    if (digits.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("no bytes given; give a frame as hexadecimal bytes, such as \"24 32 47 50\"");
        return {};
    }
    if (digits.size() % 2 != 0) {
        if (error)
            *error = QStringLiteral("an odd number of hexadecimal digits (%1); each byte takes two")
                         .arg(digits.size());
        return {};
    }
    return QByteArray::fromHex(digits);
}

} // namespace frame
