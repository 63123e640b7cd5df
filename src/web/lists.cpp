#include "web/lists.h"

#include "bus/fieldadvice.h"
#include "bus/linespeeds.h"
#include "frame/pacing.h"
#include "frame/sentencebytes.h"
#include "plan/plan.h"
#include "plan/plansend.h"
#include "vocabulary/fields.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QJsonArray>

namespace web {

namespace {

using vocabulary::List;

QJsonArray entriesOf(List list)
{
    QJsonArray a;
    for (const QString &e : vocabulary::entries(list))
        a.append(e);
    return a;
}

template <typename Code> QJsonArray codesOf(int count, Code code)
{
    QJsonArray a;
    for (int p = 0; p < count; ++p)
        a.append(code(p).value_or(QString()));
    return a;
}

// What the page shows beside a chosen field, per sentence that has anything to say: the field list's
// captions ("7: speed over ground, knots"), how many fields it has (0: not counted), and the warnings the
// plan check gives for it, so a row warns as `plan check` does.
QJsonObject sentenceFieldsJson()
{
    QJsonObject all;
    for (const QString &identifier : vocabulary::entries(vocabulary::List::Identifier)) {
        const QString alternates = bus::alternationWarning(identifier);
        if (!vocabulary::sentenceFields(identifier) && alternates.isEmpty())
            continue;
        QJsonArray captions;
        for (int f = 1; f <= vocabulary::CommaCount; ++f)
            captions.append(vocabulary::fieldCaption(identifier, f));
        all.insert(identifier, QJsonObject{{QStringLiteral("captions"), captions},
                                           {QStringLiteral("count"), vocabulary::fieldCount(identifier)},
                                           {QStringLiteral("alternates"), alternates},
                                           {QStringLiteral("pastLast"), bus::pastLastWarning(identifier)}});
    }
    return all;
}

int milliseconds(std::chrono::microseconds d)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

} // namespace

QJsonObject listsJson()
{
    QJsonArray products;
    for (int p = 0; p < plan::ProductCount; ++p)
        products.append(QJsonObject{{QStringLiteral("index"), p},
                                    {QStringLiteral("caption"), vocabulary::productCaption(p)},
                                    {QStringLiteral("icons"), vocabulary::showsIcons(p)}});
    QJsonArray icons;
    for (const QString &icon : frame::iconCaptions())
        icons.append(icon);
    return {
        {QStringLiteral("products"), products},
        {QStringLiteral("talkers"), entriesOf(List::Talker)},
        {QStringLiteral("sentences"), entriesOf(List::Identifier)},
        {QStringLiteral("types"), entriesOf(List::Xdr)},
        {QStringLiteral("typeLetters"), codesOf(vocabulary::TransducerCount, vocabulary::xdrCode)},
        {QStringLiteral("instruments"), entriesOf(List::Instrument)},
        {QStringLiteral("icons"), icons},
        {QStringLiteral("fields"), vocabulary::CommaCount},
        {QStringLiteral("sentenceFields"), sentenceFieldsJson()},
        {QStringLiteral("xdrSentence"), vocabulary::entries(List::Identifier).at(vocabulary::XdrPosition)},
        {QStringLiteral("locations"), plan::LastLocation},
        {QStringLiteral("noteLength"), plan::MaxNoteLength},
        {QStringLiteral("speeds"), QJsonArray::fromStringList(bus::speedWords())}};
}

QJsonObject tablesJson()
{
    QJsonObject t = listsJson();
    // The keys of the lists answer, so the page on its own gives its modules the same answer the board does.
    t.insert(QStringLiteral("listKeys"), QJsonArray::fromStringList(t.keys()));
    t.insert(QStringLiteral("talkerCodes"), codesOf(vocabulary::TalkerCount, vocabulary::talkerCode));
    t.insert(QStringLiteral("sentenceCodes"),
             codesOf(vocabulary::IdentifierCount, vocabulary::sentenceIDCode));
    QJsonArray instruments;
    for (int p = 0; p < vocabulary::InstrumentCount; ++p) {
        const vocabulary::Instrument v = *vocabulary::instrument(p);
        instruments.append(QJsonArray{v.first, v.second, v.third});
    }
    t.insert(QStringLiteral("instrumentValues"), instruments);
    QJsonArray iconCodes;
    for (int i = 0; i < frame::IconCount; ++i)
        iconCodes.append(frame::iconCode(i));
    t.insert(QStringLiteral("iconCodes"), iconCodes);
    QJsonArray memoryKeys;
    for (int m = 0; m < vocabulary::MemoryLocationCount; ++m)
        memoryKeys.append(frame::memoryKey(m));
    t.insert(QStringLiteral("memoryKeys"), memoryKeys);
    t.insert(QStringLiteral("frameStart"), frame::FrameStart);
    t.insert(QStringLiteral("repetitions"), frame::Repetitions);
    t.insert(QStringLiteral("byteSlotMs"), milliseconds(frame::ByteSlot));
    t.insert(QStringLiteral("repetitionPauseMs"), milliseconds(frame::RepetitionPause));
    t.insert(QStringLiteral("locationGapMs"), int(plan::SendOptions{}.gap.count()));
    t.insert(QStringLiteral("maxPlanBytes"), int(plan::MaxPlanBytes));
    // What a fault says is valid for each key, as the plan reader says it.
    QJsonObject valid;
    QJsonObject brief;
    const QList<std::pair<const char *, plan::Value>> keys = {
        {"product", plan::Value::Product},   {"talker", plan::Value::Talker},
        {"sentence", plan::Value::Sentence}, {"field", plan::Value::Field},
        {"type", plan::Value::Type},         {"instrument", plan::Value::Instrument},
        {"icon", plan::Value::Icon},         {"location", plan::Value::Location}};
    for (const auto &[name, kind] : keys) {
        valid.insert(QLatin1String(name), plan::validValues(kind));
        brief.insert(QLatin1String(name), plan::briefValues(kind));
    }
    t.insert(QStringLiteral("validValues"), valid);
    t.insert(QStringLiteral("briefValues"), brief);
    t.insert(QStringLiteral("iconProducts"), vocabulary::iconProducts());
    QJsonArray names;
    for (int p = 0; p < plan::ProductCount; ++p)
        names.append(vocabulary::productName(p));
    t.insert(QStringLiteral("productNames"), names);
    return t;
}

} // namespace web
