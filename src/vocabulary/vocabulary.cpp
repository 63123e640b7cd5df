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

template <typename Table, typename Text> QStringList shownTexts(const Table &table, Text text)
{
    QStringList list;
    for (const auto &row : table)
        list << QString::fromLatin1(text(row));
    return list;
}

QString identifierCode(const char *shown)
{
    for (const CodedEntry &exception : IdentifierExceptions) {
        if (std::string_view(exception.shown) == shown)
            return QString::fromLatin1(exception.code);
    }
    return QString::fromLatin1(shown);
}

// Fills a code table the way the lists are filled: the code of entry k goes to slot k, slot 0 stays empty.
template <std::size_t N> std::array<QString, N> codeTable(const QStringList &codes)
{
    std::array<QString, N> table;
    for (int k = 0; k < codes.size(); ++k)
        table[std::size_t(k + 1)] = codes[k];
    return table;
}

template <std::size_t N> std::optional<QString> lookup(const std::array<QString, N> &table, int position)
{
    const int slot = position + 1;
    if (slot < 1 || slot > int(N) - 1 || table[std::size_t(slot)].isEmpty())
        return std::nullopt;
    return table[std::size_t(slot)];
}

} // namespace

const QStringList &entries(List list)
{
    static const QStringList talkers = shownTexts(TalkerTable, [](const char *t) { return t; });
    static const QStringList identifiers = shownTexts(IdentifierTable, [](const char *t) { return t; });
    static const QStringList commas = numbered(CommaCount);
    static const QStringList locations = numbered(MemoryLocationCount);
    static const QStringList transducers =
        shownTexts(TransducerTable, [](const CodedEntry &e) { return e.shown; });
    static const QStringList instruments =
        shownTexts(InstrumentTable, [](const InstrumentEntry &e) { return e.shown; });
    switch (list) {
    case List::Talker:
        return talkers;
    case List::Identifier:
        return identifiers;
    case List::Commas:
        return commas;
    case List::MemoryLocation1:
    case List::MemoryLocation2:
        return locations;
    case List::Xdr:
        return transducers;
    case List::Instrument:
        return instruments;
    }
    return locations;
}

int shownNumber(List list, int position)
{
    return entries(list).value(position).toInt();
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
    static const auto table = codeTable<TalkerLastSlot + 1>(entries(List::Talker));
    return table;
}

const std::array<QString, SentenceIDLastSlot + 1> &SentenceIDCodes()
{
    static const auto table = [] {
        QStringList codes;
        for (const char *shown : IdentifierTable)
            codes << identifierCode(shown);
        return codeTable<SentenceIDLastSlot + 1>(codes);
    }();
    return table;
}

const std::array<QString, XdrLastSlot + 1> &XDRCodes()
{
    static const auto table = codeTable<XdrLastSlot + 1>(transducerLetters());
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

QStringList transducerLetters()
{
    return shownTexts(TransducerTable, [](const CodedEntry &e) { return e.code; });
}

int findTransducerLetter(const QString &letter)
{
    const QStringList letters = transducerLetters();
    for (int p = 0; p < letters.size(); ++p) {
        if (letters[p].compare(letter, Qt::CaseInsensitive) == 0)
            return p;
    }
    return -1;
}

std::optional<Instrument> instrument(int position)
{
    if (position < 0 || position >= InstrumentCount)
        return std::nullopt;
    return InstrumentTable[std::size_t(position)].values;
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
