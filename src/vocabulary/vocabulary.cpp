#include "vocabulary/vocabulary.h"

namespace vocabulary {
namespace {

QStringList numbered(int count)
{
    QStringList list;
    for (int n = 1; n <= count; ++n)
        list << QString::number(n);
    return list;
}

const QStringList &talkers()
{
    static const QStringList list = {
        "AG", "AP", "CC", "CD", "CM", "CR", "CS", "CT", "CV", "CX", "DE", "DF", "EC", "EP", "ER", "GP", "HC",
        "HE", "HN", "II", "IN", "LA", "LC", "MP", "OM", "OS", "RA", "SD", "SN", "SS", "TI", "TR", "VD", "VM",
        "VW", "WI", "YC", "YD", "YF", "YL", "YP", "YR", "YT", "YV", "YX", "ZA", "ZC", "ZQ", "ZV"};
    return list;
}

const QStringList &identifiers()
{
    static const QStringList list = {
        "AAM", "ALM", "APA", "APB", "ASD", "BEC", "BOD", "BWC", "BWR", "BWW", "DBK", "DBS", "DBT", "DCN",
        "DPT", "DRU", "DSC", "DSE", "DSI", "DSR", "DTM", "FSI", "GBS", "GDA", "GGA", "GLA", "GLC", "GLL",
        "GNS", "GOA", "GRS", "GSA", "GST", "GSV", "GTD", "GXA", "HCC", "HCD", "HDG", "HDM", "HDT", "HSC",
        "HVD", "HVM", "IMA", "LCD", "MDA", "MHU", "MMB", "MSK", "MSS", "MTW", "MWD", "MWV", "OLN", "OSD",
        "ROO", "RMA", "RMB", "RMC", "ROT", "RPM", "RSA", "RSD", "RTE", "SFI", "SNU", "STC", "STN", "STR",
        "SYS", "TEC", "TEP", "TGA", "TIF", "TLL", "TRF", "TRP", "TRS", "TTM", "VBW", "VDC", "VDR", "VHW",
        "VLW", "VPE", "VPW", "VTA", "VTG", "VTI", "VWE", "VWR", "VWT", "WCV", "WDC", "WDR", "WFM", "WNC",
        "WNR", "WPL", "XDR", "XTE", "XTR", "YWP", "YWS", "ZAA", "ZCD", "ZDA", "ZDL", "ZEV", "ZFI", "ZFO",
        "ZLZ", "ZPI", "ZTA", "ZTE", "ZTG", "ZTI", "ZWP", "ZZU"};
    return list;
}

const QStringList &transducers()
{
    static const QStringList list = {"A - Angular Displacement, Degrees",
                                     "C - Temperature, Degrees C",
                                     "D - Displacement, Meters",
                                     "F - Frequency, Hertz",
                                     "G - Generic, No Units",
                                     "H - Humidity, Percent",
                                     "I - Current, Amps",
                                     "N - Force, Newtons",
                                     "P - Pressure, Bars or Pascals",
                                     "R - Flow Rate, Liters/Sec",
                                     "S - Switch or Valve, No Units",
                                     "T - Tachometer, RPM",
                                     "U - Volts",
                                     "V - Volume, Cubic Meters"};
    return list;
}

struct InstrumentRow {
    const char *shown;
    Instrument values;
};

constexpr InstrumentRow InstrumentTable[] = {
    {"WX20/40 WINDLASS BATTERY VOLTAGE", {1, 4, 'q'}},
    {"WX20/40 RODE OUT", {19, 4, 'q'}},
    {"KX20/40 TIME 24 HOURS", {35, 6, 's'}},
    {"GX20/40 FUEL REMAINING LTRS OR GALS", {9, 4, 'v'}},
    {"GX20/40 FUEL USED LITRES OR GALLONS", {5, 4, 'v'}},
    {"GX20/40 CONSUMPTION LTRS OR GAL./HR", {1, 4, 'v'}},
    {"LX20/40 PRESSURE P.S.I.", {27, 4, 't'}},
    {"NX20/40 ELAPSED TIME HOURS", {49, 2, 'r'}},
    {"NX20/40 ELAPSED TIME MIN. AND SEC.", {45, 2, 'r'}},
    {"NX20/40 ENGINE HOURS AND MINUTES", {27, 2, 'r'}},
    {"NX20/40 ENGINE RPM", {41, 4, 'r'}},
    {"MX20/40 TEMPERATURE DEG. FAHRENHEIT", {27, 4, 'u'}},
};
constexpr int InstrumentCount = int(std::size(InstrumentTable));

const QStringList &instruments()
{
    static const QStringList list = [] {
        QStringList shown;
        for (const InstrumentRow &row : InstrumentTable)
            shown << QString::fromLatin1(row.shown);
        return shown;
    }();
    return list;
}

// Fills a code table the way the lists are filled: the code of entry k goes to slot k, slot 0 stays empty.
template <std::size_t N> std::array<QString, N> codeTable(const QStringList &codes)
{
    std::array<QString, N> table;
    for (int k = 0; k < codes.size() && std::size_t(k + 1) < N; ++k)
        table[k + 1] = codes[k];
    return table;
}

template <std::size_t N> std::optional<QString> lookup(const std::array<QString, N> &table, int position)
{
    const int slot = position + 1;
    if (slot < 1 || slot > int(N) - 1 || table[slot].isEmpty())
        return std::nullopt;
    return table[slot];
}

} // namespace

const QStringList &entries(List list)
{
    static const QStringList commas = numbered(25);
    static const QStringList locations = numbered(10);
    switch (list) {
    case List::Talker:
        return talkers();
    case List::Identifier:
        return identifiers();
    case List::Commas:
        return commas;
    case List::MemoryLocation1:
    case List::MemoryLocation2:
        return locations;
    case List::Xdr:
        return transducers();
    case List::Instrument:
        return instruments();
    }
    return locations;
}

QString listCaption(List list)
{
    switch (list) {
    case List::Talker:
        return QStringLiteral("Talker ID");
    case List::Identifier:
        return QStringLiteral("Indentifier");
    case List::Commas:
        return QStringLiteral("Commas");
    case List::MemoryLocation1:
        return QStringLiteral("Memory Location (Standard NMEA 0183 Sentences)");
    case List::Xdr:
        return QStringLiteral("transducer type (XDR)");
    case List::Instrument:
        return QStringLiteral("Velmora Instrument");
    case List::MemoryLocation2:
        return QStringLiteral("Memory Location (Velmora $PVLM Proprietary NMEA 0183 Sentences)");
    }
    return {};
}

const std::array<QString, TalkerLastSlot + 1> &TalkerCodes()
{
    static const auto table = codeTable<TalkerLastSlot + 1>(talkers());
    return table;
}

const std::array<QString, SentenceIDLastSlot + 1> &SentenceIDCodes()
{
    static const auto table = [] {
        QStringList codes = identifiers();
        // Three identifiers are sent with another first letter than the one shown.
        codes[24] = QStringLiteral("CGA");
        codes[28] = QStringLiteral("HNS");
        codes[49] = QStringLiteral("HSK");
        return codeTable<SentenceIDLastSlot + 1>(codes);
    }();
    return table;
}

const std::array<QString, XdrLastSlot + 1> &XDRCodes()
{
    static const auto table = [] {
        QStringList letters;
        for (const QString &type : transducers())
            letters << type.left(1);
        return codeTable<XdrLastSlot + 1>(letters);
    }();
    return table;
}

std::optional<QString> talkerCode(int position)
{
    return lookup(TalkerCodes(), position);
}

std::optional<QString> sentenceIDCode(int position)
{
    return lookup(SentenceIDCodes(), position);
}

std::optional<QString> xdrCode(int position)
{
    return lookup(XDRCodes(), position);
}

std::optional<Instrument> instrument(int position)
{
    if (position < 0 || position >= InstrumentCount)
        return std::nullopt;
    return InstrumentTable[position].values;
}

int findEntry(List list, const QString &text)
{
    const QStringList &shown = entries(list);
    for (int p = 0; p < shown.size(); ++p) {
        if (shown[p].compare(text, Qt::CaseInsensitive) == 0)
            return p;
    }
    return -1;
}

namespace {

template <std::size_t N> int findCode(const std::array<QString, N> &table, const QString &code)
{
    for (std::size_t slot = 1; slot < N; ++slot) {
        if (!table[slot].isEmpty() && table[slot] == code)
            return int(slot) - 1;
    }
    return -1;
}

} // namespace

int findTalkerCode(const QString &code)
{
    return findCode(TalkerCodes(), code);
}

int findSentenceIDCode(const QString &code)
{
    return findCode(SentenceIDCodes(), code);
}

int findXdrCode(const QString &code)
{
    return findCode(XDRCodes(), code);
}

int findInstrument(const Instrument &values)
{
    for (int p = 0; p < InstrumentCount; ++p) {
        const Instrument &row = InstrumentTable[p].values;
        if (row.first == values.first && row.second == values.second && row.third == values.third)
            return p;
    }
    return -1;
}

} // namespace vocabulary
