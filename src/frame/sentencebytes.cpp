#include "frame/sentencebytes.h"

#include <QStringList>

namespace frame {
namespace {

constexpr std::uint8_t IconCodes[IconCount] = {0xFF, 0x72, 0x64, 0x71, 0x77, 0x63, 0x44, 0x32,
                                               0x16, 0x04, 0x31, 0x24, 0x48, 0x08, 0x56};

} // namespace

const QStringList &iconCaptions()
{
    static const QStringList captions = {"None", "AH", "AMPS", "DEG",   "DegC", "DegF", "FT",   "HZ",
                                         "KM",   "KT", "KW",   "MILES", "MPH",  "MT",   "VOLTS"};
    return captions;
}

std::uint8_t iconCode(int iconIndex)
{
    // The dialog only hands out 0..14; anything else is taken as "None" rather than read past the table.
    if (iconIndex < 0 || iconIndex >= IconCount)
        return IconCodes[0];
    return IconCodes[iconIndex];
}

int findIcon(const QString &caption)
{
    const QStringList &captions = iconCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        if (captions[i].compare(caption, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void applyIconRule(SentenceBytes &s, const vocabulary::Product &product, std::int16_t &iconIndex)
{
    if (product.sendsIconByte) {
        s.IconCode = iconCode(iconIndex);
    } else {
        iconIndex = 0;
        s.IconCode = 0;
    }
}

CheckBytes checkBytes(const SentenceBytes &s)
{
    std::uint8_t first = s.Body1 ^ s.Body2 ^ s.Body3 ^ s.Body4 ^ s.Body5 ^ s.Body6 ^ s.Body7;
    if (s.IconCode != 0)
        first ^= s.IconCode;
    return {first, std::uint8_t(first ^ s.MemoryKey)};
}

void fillCheckBytes(SentenceBytes &s)
{
    const CheckBytes checks = checkBytes(s);
    s.FirstCheck = checks.first;
    s.RepeatCheck = checks.repeat;
}

QByteArray repetition(const SentenceBytes &s, int r)
{
    QByteArray bytes;
    bytes.reserve(11);
    for (std::uint8_t b :
         {FrameStart, s.MemoryChar, s.Body1, s.Body2, s.Body3, s.Body4, s.Body5, s.Body6, s.Body7})
        bytes.append(char(b));
    if (s.IconCode != 0)
        bytes.append(char(s.IconCode));
    bytes.append(char(r == 1 ? s.FirstCheck : s.RepeatCheck));
    return bytes;
}

QList<QByteArray> sendFrames(SentenceBytes s)
{
    fillCheckBytes(s);
    QList<QByteArray> frames;
    for (int r = 1; r <= Repetitions; ++r)
        frames << repetition(s, r);
    return frames;
}

QString toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace frame
