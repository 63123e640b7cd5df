#include "vocabulary/fields.h"

namespace vocabulary {
namespace {

int namedCount(const SentenceFields &s)
{
    int n = 0;
    while (n < MaxNamedFields && s.fields[std::size_t(n)])
        ++n;
    return n;
}

constexpr bool tableFits()
{
    // Identifiers are three letters, each once; a repeating group lies within the names.
    for (std::size_t i = 0; i < FieldTable.size(); ++i) {
        if (std::string_view(FieldTable[i].identifier).size() != 3 || !FieldTable[i].fields[0])
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (std::string_view(FieldTable[i].identifier) == FieldTable[j].identifier)
                return false;
        int named = 0;
        while (named < MaxNamedFields && FieldTable[i].fields[std::size_t(named)])
            ++named;
        if (FieldTable[i].repeat < 0 || FieldTable[i].repeat > named)
            return false;
    }
    return true;
}
static_assert(tableFits(),
              "a sentence of the field table is named twice, misnamed or repeats past its names");

} // namespace

const SentenceFields *sentenceFields(std::string_view identifier)
{
    for (const SentenceFields &s : FieldTable)
        if (identifier == s.identifier)
            return &s;
    return nullptr;
}

const SentenceFields *sentenceFields(const QString &identifier)
{
    const QByteArray latin = identifier.toLatin1();
    return sentenceFields(std::string_view(latin.constData(), std::size_t(latin.size())));
}

QString fieldName(const QString &identifier, int field)
{
    const SentenceFields *s = sentenceFields(identifier);
    if (!s || field < 1)
        return {};
    const int named = namedCount(*s);
    if (field <= named)
        return QString::fromLatin1(s->fields[std::size_t(field - 1)]);
    if (s->repeat == 0)
        return {};
    const int first = named - s->repeat; // 0-based index of the group's first name
    const int offset = field - 1 - first;
    return QStringLiteral("%1 (set %2)")
        .arg(QString::fromLatin1(s->fields[std::size_t(first + offset % s->repeat)]))
        .arg(offset / s->repeat + 1);
}

int fieldCount(const QString &identifier)
{
    const SentenceFields *s = sentenceFields(identifier);
    return s && s->repeat == 0 ? namedCount(*s) : 0;
}

QString fieldCaption(const QString &identifier, int field)
{
    const QString name = fieldName(identifier, field);
    return name.isEmpty() ? QString::number(field) : QStringLiteral("%1: %2").arg(field).arg(name);
}

} // namespace vocabulary
