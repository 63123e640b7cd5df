#include "frame/composer.h"

namespace frame {
namespace {

using vocabulary::List;

std::uint8_t letter(const QString &code, int i)
{
    return std::uint8_t(code.at(i).toLatin1());
}

void setMemory(SentenceBytes &s, int m)
{
    s.MemoryChar = std::uint8_t(48 + m);
    s.MemoryKey = memoryKey(m);
}

} // namespace

ComposeError composeStandard(const StandardChoices &c, const vocabulary::Product &product,
                             std::int16_t &iconIndex, SentenceBytes &out)
{
    const std::optional<QString> talker = vocabulary::talkerCode(c.talker);
    if (!talker)
        return List::Talker;
    const std::optional<QString> identifier = vocabulary::sentenceIDCode(c.identifier);
    if (!identifier)
        return List::Identifier;
    if (c.commas < 0 || c.commas >= vocabulary::CommaCount)
        return List::Commas;
    const bool xdr = c.identifier == vocabulary::XdrPosition;
    const std::optional<QString> type = xdr ? vocabulary::xdrCode(c.xdr) : std::optional<QString>(QString());
    if (!type)
        return List::Xdr;
    if (c.memory < 0 || c.memory >= vocabulary::MemoryLocationCount)
        return List::MemoryLocation1;

    SentenceBytes s = out;
    s.Body1 = letter(*talker, 0);
    s.Body2 = letter(*talker, 1);
    s.Body3 = letter(*identifier, 0);
    s.Body4 = letter(*identifier, 1);
    s.Body5 = letter(*identifier, 2);
    applyIconRule(s, product, iconIndex);
    const int n = c.commas + 1;
    s.Body6 = xdr ? letter(*type, 0) : std::uint8_t(n);
    s.Body7 = std::uint8_t(48 + n);
    setMemory(s, c.memory);
    out = s;
    return std::nullopt;
}

ComposeError composeProprietary(const ProprietaryChoices &c, const vocabulary::Product &product,
                                std::int16_t &iconIndex, SentenceBytes &out)
{
    const std::optional<vocabulary::Instrument> row = vocabulary::instrument(c.instrument);
    if (!row)
        return List::Instrument;
    if (c.memory < 0 || c.memory >= vocabulary::MemoryLocationCount)
        return List::MemoryLocation2;

    SentenceBytes s = out;
    applyIconRule(s, product, iconIndex);
    s.Body1 = 'P';
    s.Body2 = 'V';
    s.Body3 = 'L';
    s.Body4 = 'M';
    s.Body5 = row->first;
    s.Body6 = row->second;
    s.Body7 = row->third;
    setMemory(s, c.memory);
    out = s;
    return std::nullopt;
}

} // namespace frame
