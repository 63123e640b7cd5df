// The configuration frame a display learns one memory location from: the record encode() fills,
// the icon byte the MD90 from version 1.3 takes, the two check bytes and the ten repetitions of a send.
#pragma once

#include "vocabulary/products.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>

namespace frame {

struct SentenceBytes {
    std::uint8_t MemoryChar = 0;
    std::uint8_t MemoryKey = 0; // never sent; folded into RepeatCheck
    std::uint8_t Body1 = 0;
    std::uint8_t Body2 = 0;
    std::uint8_t Body3 = 0;
    std::uint8_t Body4 = 0;
    std::uint8_t Body5 = 0;
    std::uint8_t Body6 = 0;
    std::uint8_t Body7 = 0;
    std::uint8_t IconCode = 0; // 0: the frame has no icon byte
    std::uint8_t FirstCheck = 0;
    std::uint8_t RepeatCheck = 0;

    bool operator==(const SentenceBytes &) const = default;
};

inline constexpr int Repetitions = 10;
inline constexpr std::uint8_t FrameStart = 0x24; // "$"
inline constexpr int FrameLength = 10;           // without an icon byte
inline constexpr int IconFrameLength = 11;       // with one

// The key memory location m (0 to 9) folds into the repeat check byte.
constexpr std::uint8_t memoryKey(int m)
{
    return std::uint8_t(24 + 4 * m);
}

// The icons of the MD90 from version 1.3 on, by the index of their button in the icon dialog, each with the
// byte that activates it. "None" is 0xFF, never 0, so such a frame always carries an icon byte.
struct Icon {
    const char *caption;
    std::uint8_t code;
};
inline constexpr std::array Icons{
    Icon{"None", 0xFF}, Icon{"AH", 0x72},    Icon{"AMPS", 0x64}, Icon{"DEG", 0x71}, Icon{"DegC", 0x77},
    Icon{"DegF", 0x63}, Icon{"FT", 0x44},    Icon{"HZ", 0x32},   Icon{"KM", 0x16},  Icon{"KT", 0x04},
    Icon{"KW", 0x31},   Icon{"MILES", 0x24}, Icon{"MPH", 0x48},  Icon{"MT", 0x08},  Icon{"VOLTS", 0x56}};
inline constexpr int IconCount = int(Icons.size());
constexpr bool iconCodesNonZero()
{
    for (const Icon &icon : Icons)
        if (icon.code == 0)
            return false;
    return true;
}
static_assert(iconCodesNonZero(), "an icon byte of 0 would mean no icon byte");
const QStringList &iconCaptions();
// The byte that activates the icon; "None" is 0xFF, never 0, so such a frame always carries an icon byte.
std::uint8_t iconCode(int iconIndex);
// Index of the icon whose caption equals the text, ignoring case; -1 when none does.
int findIcon(const QString &caption);

struct CheckBytes {
    std::uint8_t first;
    std::uint8_t repeat;
};
CheckBytes checkBytes(const SentenceBytes &s);
void fillCheckBytes(SentenceBytes &s);

// Repetition r (1 to 10) as it goes on the wire, with the check bytes the record holds.
QByteArray repetition(const SentenceBytes &s, int r);
// All ten repetitions of a send, check bytes computed from the body.
QList<QByteArray> sendFrames(SentenceBytes s);
// Bytes as installers read them: "24 32 47 ..."
QString toHex(const QByteArray &bytes);
// One byte the same way: "7B".
QString hexByte(std::uint8_t b);

} // namespace frame
