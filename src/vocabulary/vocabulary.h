// The seven lists the user chooses from and the code tables behind three of them. Each list and its codes are
// one constant table below; every count, code table and special position is derived from those tables, so
// adding an entry is one edit in one table.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vocabulary {

// An entry as the list shows it and the letters a frame carries for it.
struct CodedEntry {
    const char *shown;
    const char *code;
};

// Talker IDs: each is sent as shown.
inline constexpr std::array TalkerTable{
    "AG", "AP", "CC", "CD", "CM", "CR", "CS", "CT", "CV", "CX", "DE", "DF", "EC", "EP", "ER", "GP", "HC",
    "HE", "HN", "II", "IN", "LA", "LC", "MP", "OM", "OS", "RA", "SD", "SN", "SS", "TI", "TR", "VD", "VM",
    "VW", "WI", "YC", "YD", "YF", "YL", "YP", "YR", "YT", "YV", "YX", "ZA", "ZC", "ZQ", "ZV"};

// Sentence identifiers, in the order the display's maker lists them ("ROO" before "RMA" included).
inline constexpr std::array IdentifierTable{
    "AAM", "ALM", "APA", "APB", "ASD", "BEC", "BOD", "BWC", "BWR", "BWW", "DBK", "DBS", "DBT", "DCN", "DPT",
    "DRU", "DSC", "DSE", "DSI", "DSR", "DTM", "FSI", "GBS", "GDA", "GGA", "GLA", "GLC", "GLL", "GNS", "GOA",
    "GRS", "GSA", "GST", "GSV", "GTD", "GXA", "HCC", "HCD", "HDG", "HDM", "HDT", "HSC", "HVD", "HVM", "IMA",
    "LCD", "MDA", "MHU", "MMB", "MSK", "MSS", "MTW", "MWD", "MWV", "OLN", "OSD", "ROO", "RMA", "RMB", "RMC",
    "ROT", "RPM", "RSA", "RSD", "RTE", "SFI", "SNU", "STC", "STN", "STR", "SYS", "TEC", "TEP", "TGA", "TIF",
    "TLL", "TRF", "TRP", "TRS", "TTM", "VBW", "VDC", "VDR", "VHW", "VLW", "VPE", "VPW", "VTA", "VTG", "VTI",
    "VWE", "VWR", "VWT", "WCV", "WDC", "WDR", "WFM", "WNC", "WNR", "WPL", "XDR", "XTE", "XTR", "YWP", "YWS",
    "ZAA", "ZCD", "ZDA", "ZDL", "ZEV", "ZFI", "ZFO", "ZLZ", "ZPI", "ZTA", "ZTE", "ZTG", "ZTI", "ZWP", "ZZU"};

// The identifiers a display knows by another first letter than the one shown; every other is sent as shown.
inline constexpr std::array IdentifierExceptions{CodedEntry{"GGA", "CGA"}, CodedEntry{"GNS", "HNS"},
                                                 CodedEntry{"MSK", "HSK"}};

// Transducer types of "XDR" and the letter each is sent as.
inline constexpr std::array TransducerTable{CodedEntry{"A - Angular Displacement, Degrees", "A"},
                                            CodedEntry{"C - Temperature, Degrees C", "C"},
                                            CodedEntry{"D - Displacement, Meters", "D"},
                                            CodedEntry{"F - Frequency, Hertz", "F"},
                                            CodedEntry{"G - Generic, No Units", "G"},
                                            CodedEntry{"H - Humidity, Percent", "H"},
                                            CodedEntry{"I - Current, Amps", "I"},
                                            CodedEntry{"N - Force, Newtons", "N"},
                                            CodedEntry{"P - Pressure, Bars or Pascals", "P"},
                                            CodedEntry{"R - Flow Rate, Liters/Sec", "R"},
                                            CodedEntry{"S - Switch or Valve, No Units", "S"},
                                            CodedEntry{"T - Tachometer, RPM", "T"},
                                            CodedEntry{"U - Volts", "U"},
                                            CodedEntry{"V - Volume, Cubic Meters", "V"}};

// The three values an instrument of the maker sends in place of the identifier's third letter and the field.
struct Instrument {
    std::uint8_t first;
    std::uint8_t second;
    std::uint8_t third; // one lower-case letter per instrument model
};
struct InstrumentEntry {
    const char *shown;
    Instrument values;
};
inline constexpr std::array InstrumentTable{
    InstrumentEntry{"WX20/40 WINDLASS BATTERY VOLTAGE", {1, 4, 'q'}},
    InstrumentEntry{"WX20/40 RODE OUT", {19, 4, 'q'}},
    InstrumentEntry{"KX20/40 TIME 24 HOURS", {35, 6, 's'}},
    InstrumentEntry{"GX20/40 FUEL REMAINING LTRS OR GALS", {9, 4, 'v'}},
    InstrumentEntry{"GX20/40 FUEL USED LITRES OR GALLONS", {5, 4, 'v'}},
    InstrumentEntry{"GX20/40 CONSUMPTION LTRS OR GAL./HR", {1, 4, 'v'}},
    InstrumentEntry{"LX20/40 PRESSURE P.S.I.", {27, 4, 't'}},
    InstrumentEntry{"NX20/40 ELAPSED TIME HOURS", {49, 2, 'r'}},
    InstrumentEntry{"NX20/40 ELAPSED TIME MIN. AND SEC.", {45, 2, 'r'}},
    InstrumentEntry{"NX20/40 ENGINE HOURS AND MINUTES", {27, 2, 'r'}},
    InstrumentEntry{"NX20/40 ENGINE RPM", {41, 4, 'r'}},
    InstrumentEntry{"MX20/40 TEMPERATURE DEG. FAHRENHEIT", {27, 4, 'u'}},
};

// Counts, all derived from the tables above.
inline constexpr int TalkerCount = int(TalkerTable.size());
inline constexpr int IdentifierCount = int(IdentifierTable.size());
inline constexpr int TransducerCount = int(TransducerTable.size());
inline constexpr int InstrumentCount = int(InstrumentTable.size());
inline constexpr int CommaCount = 25;          // field positions "1" to "25"
inline constexpr int MemoryLocationCount = 10; // memory locations "1" to "10"

namespace detail {
constexpr int positionOf(std::string_view shown)
{
    for (int p = 0; p < IdentifierCount; ++p) {
        if (std::string_view(IdentifierTable[std::size_t(p)]) == shown)
            return p;
    }
    return -1;
}
constexpr bool lettersFit()
{
    // A frame carries exactly two talker letters, three identifier letters and one transducer letter.
    for (const char *t : TalkerTable)
        if (std::string_view(t).size() != 2)
            return false;
    for (const char *id : IdentifierTable)
        if (std::string_view(id).size() != 3)
            return false;
    for (const CodedEntry &e : IdentifierExceptions)
        if (std::string_view(e.code).size() != 3 || positionOf(e.shown) < 0)
            return false;
    for (const CodedEntry &e : TransducerTable)
        if (std::string_view(e.code).size() != 1)
            return false;
    return true;
}
} // namespace detail

// "XDR" in the identifier list: the encoder and the transducer list's visibility key on this position.
inline constexpr int XdrPosition = detail::positionOf("XDR");
static_assert(XdrPosition >= 0, "the identifier list must hold XDR");
static_assert(detail::lettersFit(), "a code does not fit the letters a frame carries for it");
// The frame's field byte and the character after it count up from "1" and must stay within one byte each.
static_assert(CommaCount >= 1 && 48 + CommaCount <= 0xFF);
static_assert(MemoryLocationCount >= 1 && MemoryLocationCount <= 10, "one digit character per location");

// The lists of the main window, named after their controls.
enum class List { Talker, Identifier, Commas, MemoryLocation1, Xdr, Instrument, MemoryLocation2 };

inline constexpr int ListCount = 7;

// Entries as shown, in the order they are added; position p is entry p (0-based).
const QStringList &entries(List list);

// The number the entry at a position of a numbered list (Commas, the two Memory Location lists) shows, as
// users count; 0 when the position names no entry.
int shownNumber(List list, int position);

// How a message names a list to the user: the caption the window shows beside it.
QString listCaption(List list);

// Code tables: slot 0 is empty, the code of list position p sits in slot p + 1. The talker table keeps one
// more empty slot after its last code, as the display's maker laid it out; no position reaches it.
inline constexpr int TalkerLastSlot = TalkerCount + 1;
inline constexpr int SentenceIDLastSlot = IdentifierCount;
inline constexpr int XdrLastSlot = TransducerCount;
const std::array<QString, TalkerLastSlot + 1> &TalkerCodes();
const std::array<QString, SentenceIDLastSlot + 1> &SentenceIDCodes();
const std::array<QString, XdrLastSlot + 1> &XDRCodes();

// The code for a list position, or nothing when the position names no entry (-1, or past the list).
std::optional<QString> talkerCode(int position);
std::optional<QString> sentenceIDCode(int position);
std::optional<QString> xdrCode(int position);

// Position of the transducer type sent as the given letter (ignoring case); -1 when none is.
int findTransducerLetter(const QString &letter);
// The transducer letters in list order: "A", "C", ...
QStringList transducerLetters();

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
