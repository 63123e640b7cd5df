#include "cli/sentence.h"

#include "frame/composer.h"
#include "vocabulary/products.h"

namespace cli {
namespace {

using vocabulary::List;

QCommandLineOption option(const char *name, const QString &valid, const char *valueName)
{
    return QCommandLineOption(QString::fromLatin1(name), valid, QString::fromLatin1(valueName));
}

const QStringList StandardOnly = {"--talker", "--sentence", "--field", "--type"};
const QStringList ProprietaryOnly = {"--instrument"};

QString productValues()
{
    QStringList valid;
    for (int i = 0; i < vocabulary::ProductCount; ++i)
        valid << QStringLiteral("%1 (%2)").arg(i).arg(vocabulary::productName(i));
    return valid.join(QStringLiteral(", "));
}

int productOf(const Options &o)
{
    if (!o.has(QStringLiteral("--product")))
        o.missing(QStringLiteral("--product"), productValues());
    bool isNumber = false;
    const int index = o.value(QStringLiteral("--product")).toInt(&isNumber);
    if (!isNumber || index < 0 || index >= vocabulary::ProductCount)
        o.unknownValue(QStringLiteral("--product"), productValues());
    return index;
}

std::int16_t iconOf(const Options &o)
{
    if (!o.has(QStringLiteral("--icon")))
        return 0;
    const int icon = frame::findIcon(o.value(QStringLiteral("--icon")));
    if (icon < 0)
        o.unknownValue(QStringLiteral("--icon"), frame::iconCaptions().join(QStringLiteral(", ")));
    return std::int16_t(icon);
}

QString transducerValues()
{
    return vocabulary::transducerLetters().join(QStringLiteral(", ")) +
           QStringLiteral(", or the whole entry text");
}

int transducerOf(const Options &o)
{
    if (!o.has(QStringLiteral("--type")))
        return 0;
    const QString text = o.value(QStringLiteral("--type"));
    int p = vocabulary::findTransducerLetter(text);
    if (p < 0)
        p = vocabulary::findEntry(List::Xdr, text);
    if (p < 0) {
        o.unknownValue(QStringLiteral("--type"), transducerValues());
    }
    return p;
}

QString instrumentValues()
{
    return QStringLiteral("1 to %1, or one of: %2")
        .arg(vocabulary::InstrumentCount)
        .arg(validValues(List::Instrument));
}

int instrumentOf(const Options &o)
{
    const QString valid = instrumentValues();
    if (!o.has(QStringLiteral("--instrument")))
        o.missing(QStringLiteral("--instrument"), valid);
    const QString text = o.value(QStringLiteral("--instrument"));
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber && number >= 1 && number <= vocabulary::InstrumentCount)
        return number - 1;
    const int p = vocabulary::findEntry(List::Instrument, text);
    if (p < 0)
        o.unknownValue(QStringLiteral("--instrument"), valid);
    return p;
}

} // namespace

QList<QCommandLineOption> sentenceOptions()
{
    return {option("talker", validValues(List::Talker), "ID"),
            option("sentence", validValues(List::Identifier), "ID"),
            option("field", validValues(List::Commas), "N"),
            option("type", transducerValues(), "T"),
            option("memory", validValues(List::MemoryLocation1), "N"),
            option("product", productValues(), "P"),
            option("icon", frame::iconCaptions().join(QStringLiteral(", ")), "NAME"),
            option("instrument", instrumentValues(), "NAME|N")};
}

frame::SentenceBytes composeFromOptions(const Options &o)
{
    const QString kind = o.positional().value(0);
    frame::SentenceBytes s;
    frame::ComposeError error;
    if (kind == QLatin1String("standard")) {
        o.refuse(ProprietaryOnly, QStringLiteral("to a standard sentence"));
        frame::StandardChoices c;
        c.talker = o.listPosition(QStringLiteral("--talker"), List::Talker);
        c.identifier = o.listPosition(QStringLiteral("--sentence"), List::Identifier);
        c.commas = o.listPosition(QStringLiteral("--field"), List::Commas);
        c.xdr = transducerOf(o);
        c.memory = o.listPosition(QStringLiteral("--memory"), List::MemoryLocation1);
        std::int16_t icon = iconOf(o);
        error = frame::composeStandard(c, vocabulary::product(productOf(o)), icon, s);
    } else if (kind == QLatin1String("proprietary")) {
        o.refuse(StandardOnly, QStringLiteral("to a proprietary sentence"));
        frame::ProprietaryChoices c;
        c.instrument = instrumentOf(o);
        c.memory = o.listPosition(QStringLiteral("--memory"), List::MemoryLocation2);
        std::int16_t icon = iconOf(o);
        error = frame::composeProprietary(c, vocabulary::product(productOf(o)), icon, s);
    } else {
        throw UsageError{QStringLiteral("the kind of sentence is missing or unknown (\"%1\"); valid values: "
                                        "standard, proprietary")
                             .arg(kind)};
    }
    if (error)
        throw UsageError{
            QStringLiteral("no entry chosen in the %1 list").arg(vocabulary::listCaption(*error))};
    return s;
}

QString sentenceOptionsHelp()
{
    QString products;
    for (int i = 0; i < vocabulary::ProductCount; ++i)
        products += QStringLiteral("%1%2 %3")
                        .arg(i ? QStringLiteral(", ") : QString())
                        .arg(i)
                        .arg(vocabulary::productName(i));
    return QStringLiteral(
               "--talker, --sentence  the talker ID and sentence identifier as the lists show them (GP, RMC, "
               "...)\n"
               "--field               the field position (Commas), 1 to %1\n"
               "--type                the transducer type for XDR: its letter or the whole entry (default: "
               "the "
               "first)\n"
               "--memory              the display's memory location, 1 to %2\n"
               "--product             %3\n"
               "--icon                the MD90 1.3 icon (None, AH, AMPS, ..., VOLTS; default None)\n"
               "--instrument          the Velmora instrument: its name or its number in the list, 1 to %4\n")
        .arg(vocabulary::CommaCount)
        .arg(vocabulary::MemoryLocationCount)
        .arg(products)
        .arg(vocabulary::InstrumentCount);
}

} // namespace cli
