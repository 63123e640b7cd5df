// Writes the bash completion script of mdconfig-cli from its template, filling in the list entries from the
// program's own tables at build time, so the completion offers exactly what the command line accepts.
#include "cli/cli.h"
#include "frame/sentencebytes.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

using vocabulary::List;

// One bash word per entry, single-quoted so blanks and slashes in an entry stay part of it.
QString bashWords(const QStringList &words)
{
    QStringList quoted;
    for (QString w : words)
        quoted << QLatin1Char('\'') + w.replace(QLatin1Char('\''), QLatin1String("'\\''")) +
                      QLatin1Char('\'');
    return quoted.join(QLatin1Char(' '));
}

QStringList productNumbers()
{
    QStringList numbers;
    for (int p = 0; p < vocabulary::ProductCount; ++p)
        numbers << QString::number(p);
    return numbers;
}

QStringList verbNames()
{
    QStringList names;
    for (const cli::Verb &verb : cli::verbs())
        names << QString::fromLatin1(verb.name);
    return names;
}

QStringList instrumentNumbers()
{
    QStringList numbers;
    for (int n = 1; n <= vocabulary::entries(List::Instrument).size(); ++n)
        numbers << QString::number(n);
    return numbers;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT\n", qPrintable(args.value(0)));
        return 2;
    }
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(args[1]), qPrintable(in.errorString()));
        return 1;
    }
    QString text = QString::fromUtf8(in.readAll());

    const QList<std::pair<QString, QStringList>> fills = {
        {"@TALKERS@", vocabulary::entries(List::Talker)},
        {"@SENTENCES@", vocabulary::entries(List::Identifier)},
        {"@FIELDS@", vocabulary::entries(List::Commas)},
        {"@TYPES@", vocabulary::transducerLetters()},
        {"@MEMORIES@", vocabulary::entries(List::MemoryLocation1)},
        {"@INSTRUMENTS@", vocabulary::entries(List::Instrument)},
        {"@INSTRUMENT_NUMBERS@", instrumentNumbers()},
        {"@ICONS@", frame::iconCaptions()},
        {"@PRODUCTS@", productNumbers()},
        {"@VERBS@", verbNames()},
    };
    for (const auto &[placeholder, words] : fills) {
        if (!text.contains(placeholder)) {
            std::fprintf(stderr, "%s: the template lacks %s\n", qPrintable(args[1]), qPrintable(placeholder));
            return 1;
        }
        text.replace(placeholder, bashWords(words));
    }

    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args[2]), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
