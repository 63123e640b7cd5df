#include "frame/sentencebytes.h"

#include <QStringList>

namespace frame {
const QStringList &iconCaptions()
{
    static const QStringList captions = [] {
        QStringList list;
        for (const Icon &icon : Icons)
            list << QString::fromLatin1(icon.caption);
        return list;
    }();
    return captions;
}

std::uint8_t iconCode(int iconIndex)
{
    // The dialog only hands out 0..14; anything else is taken as "None" rather than read past the table.
    if (iconIndex < 0 || iconIndex >= IconCount)
        return Icons[0].code;
    return Icons[std::size_t(iconIndex)].code;
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

QString hexByte(std::uint8_t b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace frame
