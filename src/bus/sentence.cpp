#include "bus/sentence.h"

namespace bus {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isAddressCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

std::optional<QString> Sentence::field(int n) const
{
    if (n < 1 || n > fields.size())
        return std::nullopt;
    return fields[n - 1];
}

quint8 checksumOf(QByteArrayView body)
{
    quint8 sum = 0;
    for (char c : body)
        sum ^= quint8(c);
    return sum;
}

std::optional<Sentence> parseSentence(QByteArrayView line)
{
    if (line.size() < 2 || (line[0] != '$' && line[0] != '!'))
        return std::nullopt;
    Sentence s;
    s.text = line.toByteArray();

    QByteArrayView body = line.sliced(1);
    const qsizetype star = body.lastIndexOf('*');
    if (star >= 0) {
        const QByteArrayView given = body.sliced(star + 1);
        body = body.first(star);
        const int high = given.size() == 2 ? hexValue(given[0]) : -1;
        const int low = given.size() == 2 ? hexValue(given[1]) : -1;
        s.checksum = (high >= 0 && low >= 0 && checksumOf(body) == quint8(high * 16 + low)) ? Checksum::Ok
                                                                                            : Checksum::Bad;
    }

    const QList<QByteArray> parts = body.toByteArray().split(',');
    const QByteArray &address = parts.first();
    if (address.size() < 2)
        return std::nullopt;
    for (char c : address) {
        if (!isAddressCharacter(c))
            return std::nullopt;
    }
    // A proprietary address is "P" and the maker's three letters, often followed by the maker's own type.
    s.proprietary = address.startsWith('P') && line[0] == '$';
    const int talkerLength = s.proprietary ? 1 : 2;
    s.talker = QString::fromLatin1(address.left(talkerLength));
    s.identifier = QString::fromLatin1(address.mid(talkerLength));
    for (qsizetype i = 1; i < parts.size(); ++i)
        s.fields << QString::fromLatin1(parts[i]);
    return s;
}

} // namespace bus
