#include "cli/sentence.h"

#include "serial/devicepath.h"
#include "vocabulary/products.h"

namespace cli {
namespace {

using plan::Value;

// The options that apply to one kind of sentence only, as declared.
QStringList onlyFor(const QString &kind)
{
    QStringList names;
    for (const OptionSpec &o : sentenceOptionSpecs()) {
        if (o.onlyFor == kind)
            names << QStringLiteral("--") + o.name;
    }
    return names;
}

} // namespace

Described describedByOptions(const Options &o, const QString &kind)
{
    Described d;
    plan::Location &l = d.location;
    if (kind == QLatin1String("standard")) {
        o.refuse(onlyFor(QStringLiteral("proprietary")), QStringLiteral("to a standard sentence"));
        frame::Standard st;
        st.talker = o.lookup(QStringLiteral("--talker"), Value::Talker);
        st.sentence = o.lookup(QStringLiteral("--sentence"), Value::Sentence);
        st.field = o.lookup(QStringLiteral("--field"), Value::Field);
        st.type = o.lookupIfGiven(QStringLiteral("--type"), Value::Type).value_or(0);
        l.what = st;
    } else if (kind == QLatin1String("proprietary")) {
        o.refuse(onlyFor(QStringLiteral("standard")), QStringLiteral("to a proprietary sentence"));
        l.what = frame::Instrument{o.lookup(QStringLiteral("--instrument"), Value::Instrument)};
    } else {
        throw UsageError{QStringLiteral("the kind of sentence is missing or unknown (\"%1\"); valid values: "
                                        "standard, proprietary")
                             .arg(serial::printable(kind))};
    }
    l.location = o.lookup(QStringLiteral("--memory"), Value::Location);
    l.icon = o.lookupIfGiven(QStringLiteral("--icon"), Value::Icon).value_or(0);
    d.product = o.lookup(QStringLiteral("--product"), Value::Product);
    return d;
}

bool typeLeftOut(const plan::Location &l)
{
    return l.standard() && !l.isXdr();
}

bool iconLeftOut(const Described &d)
{
    return d.location.icon != 0 && !vocabulary::showsIcons(d.product);
}

frame::SentenceBytes composeFromOptions(const Options &o, QTextStream &err)
{
    const Described d = describedByOptions(o, o.positional().value(0));
    // As in the window, these go unsent; the user who typed them is told so.
    if (iconLeftOut(d))
        err << "mdconfig-cli: note: --icon is not sent: product " << d.product << " ("
            << vocabulary::productCaption(d.product) << ") shows no icon; icons are for product "
            << vocabulary::iconProducts() << '\n';
    if (o.has(QStringLiteral("--type")) && typeLeftOut(d.location))
        err << "mdconfig-cli: note: --type is not sent: it applies to XDR sentences only\n";
    err.flush();
    frame::SentenceBytes s;
    if (const frame::EncodeError missing = plan::compose(d.product, d.location, s))
        throw UsageError{
            QStringLiteral("no entry is chosen in the \"%1\" list").arg(vocabulary::listCaption(*missing))};
    return s;
}

} // namespace cli
