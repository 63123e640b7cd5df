// The verbs' declarations against what users read and type: each declared option is parsed, refused with
// the declared names, named by its verb's help and described by the manual page; the page's synopsis names no
// option the verb does not take.
#include "cli/cli.h"
#include "cli/declaration.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace cli;

namespace {

struct Result {
    int exitCode;
    QString out;
    QString err;
};

Result run(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    Io io{outStream, errStream};
    const int code = cli::run(args, io);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

QSet<QString> declaredOptions(const QString &verb)
{
    QSet<QString> names;
    for (const OptionSpec &o : declaration(verb).options)
        names << QStringLiteral("--") + o.name;
    return names;
}

QString manPage()
{
    QFile page(QStringLiteral(MDCONFIG_MAN_PAGE));
    if (!page.open(QIODevice::ReadOnly))
        qFatal("cannot read the manual page %s", MDCONFIG_MAN_PAGE);
    return QString::fromUtf8(page.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
}

// The options each verb's synopsis lines name, keyed by the verb ("plan send"); "options" in a line stands
// for the options that describe one send, as frames takes them.
QMap<QString, QSet<QString>> synopsisOptions()
{
    const QString page = manPage();
    const qsizetype from = page.indexOf(QLatin1String(".SH SYNOPSIS"));
    const qsizetype to = page.indexOf(QLatin1String(".SH DESCRIPTION"));
    const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
    QMap<QString, QSet<QString>> verbs;
    for (const QString &chunk : page.mid(from, to - from).split(QLatin1String(".br\n"))) {
        const QRegularExpressionMatch head =
            QRegularExpression(QStringLiteral("^\\.B mdconfig-cli ((plan )?[a-z]+)"),
                               QRegularExpression::MultilineOption)
                .match(chunk);
        if (!head.hasMatch())
            continue;
        QSet<QString> &names = verbs[head.captured(1)];
        for (const QRegularExpressionMatch &m : option.globalMatch(chunk))
            names << QStringLiteral("--") + m.captured(1);
        if (chunk.contains(QLatin1String("\n.I options\n")))
            names += declaredOptions(QStringLiteral("frames"));
    }
    return verbs;
}

// One row per verb that parses its own options.
void eachVerb()
{
    QTest::addColumn<QString>("verb");
    for (const VerbSpec &v : declarations()) {
        if (v.name != QLatin1String("plan")) // its verbs are declared each on their own
            QTest::newRow(qPrintable(v.name)) << v.name;
    }
}

} // namespace

class tst_Declarations : public QObject {
    Q_OBJECT
private slots:
    void refusesWhatItDoesNotDeclare_data() { eachVerb(); }
    void refusesWhatItDoesNotDeclare();
    void eachOptionGivenTwiceNamesItsValidValues_data() { eachVerb(); }
    void eachOptionGivenTwiceNamesItsValidValues();
    void helpNamesEachOption_data() { eachVerb(); }
    void helpNamesEachOption();
    void manPageSynopsisMatches_data() { eachVerb(); }
    void manPageSynopsisMatches();
    void manPageDescribesEachOption_data() { eachVerb(); }
    void manPageDescribesEachOption();
    void eachVerbIsDispatched_data() { eachVerb(); }
    void eachVerbIsDispatched();
    void helpIsItsOwnAndFits_data();
    void helpIsItsOwnAndFits();
};

void tst_Declarations::refusesWhatItDoesNotDeclare()
{
    QFETCH(QString, verb);
    QStringList valid;
    for (const OptionSpec &o : declaration(verb).options)
        valid << QStringLiteral("--") + o.name;
    valid << QStringLiteral("--help");
    const Result r = run(verb.split(QLatin1Char(' ')) + QStringList{QStringLiteral("--undeclared")});
    QCOMPARE(r.exitCode, int(Usage));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err, QStringLiteral("mdconfig-cli: %1: Unknown option 'undeclared'; valid options: %2\n")
                        .arg(verb, valid.join(QStringLiteral(", "))));
}

void tst_Declarations::eachOptionGivenTwiceNamesItsValidValues()
{
    QFETCH(QString, verb);
    for (const OptionSpec &o : declaration(verb).options) {
        if (o.repeats)
            continue;
        const QString name = QStringLiteral("--") + o.name;
        const QStringList twice = o.valueName.isEmpty()
                                      ? QStringList{name, name}
                                      : QStringList{name, QStringLiteral("a"), name, QStringLiteral("b")};
        const Result r = run(verb.split(QLatin1Char(' ')) + twice);
        QCOMPARE(r.exitCode, int(Usage));
        const QString expected =
            o.valueName.isEmpty()
                ? QStringLiteral("%1 is given 2 times; give it once; it takes no value: %2")
                : QStringLiteral("%1 is given 2 times (a, b); give it once; valid values: %2");
        QCOMPARE(r.err, QStringLiteral("mdconfig-cli: ") + expected.arg(name, o.valid) + QLatin1Char('\n'));
    }
}

void tst_Declarations::helpNamesEachOption()
{
    QFETCH(QString, verb);
    const Result r = run(verb.split(QLatin1Char(' ')) + QStringList{QStringLiteral("--help")});
    QCOMPARE(r.exitCode, int(Ok));
    for (const QString &name : declaredOptions(verb))
        QVERIFY2(r.out.contains(name + QLatin1Char(' ')), qPrintable(verb + QLatin1String(": ") + name));
}

void tst_Declarations::manPageSynopsisMatches()
{
    QFETCH(QString, verb);
    const QMap<QString, QSet<QString>> synopsis = synopsisOptions();
    QVERIFY2(synopsis.contains(verb), qPrintable(verb + QLatin1String(" has no synopsis line")));
    QCOMPARE(synopsis.value(verb), declaredOptions(verb));
}

void tst_Declarations::manPageDescribesEachOption()
{
    QFETCH(QString, verb);
    const QString page = manPage();
    for (const QString &name : declaredOptions(verb)) {
        // An option is a .TP heading of its own: in its command's part of the page or under OPTIONS.
        const QRegularExpression heading(
            QStringLiteral("^\\.TP\\n\\.B[IR]? %1( |\\n)").arg(QRegularExpression::escape(name)),
            QRegularExpression::MultilineOption);
        QVERIFY2(heading.match(page).hasMatch(), qPrintable(verb + QLatin1String(": ") + name));
    }
}

void tst_Declarations::eachVerbIsDispatched()
{
    QFETCH(QString, verb);
    // A declared verb that the dispatcher does not know is an unknown command.
    const Result r = run(verb.split(QLatin1Char(' ')) + QStringList{QStringLiteral("--help")});
    QVERIFY2(!r.err.contains(QLatin1String("unknown")), qPrintable(r.err));
}

void tst_Declarations::helpIsItsOwnAndFits_data()
{
    QTest::addColumn<QString>("verb");
    QTest::newRow("the program") << QString();
    for (const VerbSpec &v : declarations())
        QTest::newRow(qPrintable(v.name)) << v.name;
}

// Every help, however the declarations grow: exits 0, fits a terminal of 80 columns, and its usage lines
// (those before the first blank line) name the verb itself and exactly the options it declares.
void tst_Declarations::helpIsItsOwnAndFits()
{
    QFETCH(QString, verb);
    const QStringList words = verb.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &ask : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const Result r = run(words + QStringList{ask});
        QCOMPARE(r.exitCode, int(Ok));
        QVERIFY(r.err.isEmpty());
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        for (const QString &line : lines)
            QVERIFY2(line.size() <= 80,
                     qPrintable(QString::number(line.size()) + QLatin1String(": ") + line));
        if (verb.isEmpty() || declaration(verb).options.isEmpty())
            continue;
        const QString usage = r.out.left(r.out.indexOf(QLatin1String("\n\n")));
        QVERIFY2(usage.startsWith(QLatin1String("Usage: mdconfig-cli ") + verb + QLatin1Char(' ')),
                 qPrintable(usage));
        QSet<QString> named;
        for (const QRegularExpressionMatch &m :
             QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(usage))
            named << m.captured();
        QCOMPARE(named, declaredOptions(verb));
    }
}

QTEST_GUILESS_MAIN(tst_Declarations)
#include "tst_declarations.moc"
