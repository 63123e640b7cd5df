// The seven lists the user chooses from and the code tables behind three of them. The windows fill their
// lists from here and the composers look the codes up here, so a list and its codes can never drift apart.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace vocabulary {

// The lists of the main window, named after their controls.
enum class List { Talker, Identifier, Commas, MemoryLocation1, Xdr, Instrument, MemoryLocation2 };

inline constexpr int ListCount = 7;

// Entries as shown, in the order they are added; position p is entry p (0-based).
const QStringList &entries(List list);

// How a message names a list to the user: the caption the window shows beside it.
QString listCaption(List list);

// Code tables: slot 0 is empty, the code of list position p sits in slot p + 1.
inline constexpr int TalkerLastSlot = 50;
inline constexpr int SentenceIDLastSlot = 120;
inline constexpr int XdrLastSlot = 14;
const std::array<QString, TalkerLastSlot + 1> &TalkerCodes();
const std::array<QString, SentenceIDLastSlot + 1> &SentenceIDCodes();
const std::array<QString, XdrLastSlot + 1> &XDRCodes();

// The code for a list position, or nothing when the position names no entry (-1, or past the list).
std::optional<QString> talkerCode(int position);
std::optional<QString> sentenceIDCode(int position);
std::optional<QString> xdrCode(int position);

// "XDR" in the identifier list: the composer and the transducer list's visibility key on the position.
inline constexpr int XdrPosition = 100;

// The three values an instrument of the maker sends in place of the identifier's third letter and the field.
struct Instrument {
    std::uint8_t first;
    std::uint8_t second;
    std::uint8_t third;
};
std::optional<Instrument> instrument(int position);

// Position of an entry whose text equals the given one, ignoring case; -1 when none does.
int findEntry(List list, const QString &text);

// Reading a frame back: the list position whose code is the one given (exact case), or -1 when no entry
// sends it. "CGA" gives the position of "GGA", as the code table decides what is sent.
int findTalkerCode(const QString &code);
int findSentenceIDCode(const QString &code);
int findXdrCode(const QString &code);
// The instrument that sends these three values, or -1.
int findInstrument(const Instrument &values);

} // namespace vocabulary
