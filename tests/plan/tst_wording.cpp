// Plain words for a plan's writer: TOML syntax errors said by their cause, and an unknown value answered
// with the entries nearest to it rather than with every entry.
#include "plan/plan.h"
#include "plan/wording.h"

#include <QTest>

class tst_Wording : public QObject {
    Q_OBJECT
private slots:
    void syntaxErrorsInPlainWords_data();
    void syntaxErrorsInPlainWords();
    void nearest_data();
    void nearest();
};

void tst_Wording::syntaxErrorsInPlainWords_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("says");
    QTest::newRow("a text without its closing quote")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\nsentence = \"RMC\"\n")
        << "a closing quote is missing";
    QTest::newRow("a single-quoted text without its closing quote")
        << QByteArray("product = 0\n[location.1]\nnote = 'abc\n") << "a closing quote is missing";
    QTest::newRow("a text running to the end of the file")
        << QByteArray("product = 0\n[location.1]\ninstrument = \"\"\"abc\n") << "a closing quote is missing";
    QTest::newRow("text without quotes")
        << QByteArray("product = 0\n[location.1]\ntalker = GP\n") << "put text in quotes";
    QTest::newRow("a header without its bracket")
        << QByteArray("product = 0\n[location.1\n") << "a closing bracket is missing";
    QTest::newRow("no equals sign") << QByteArray("product = 0\n[location.1]\ntalker \"GP\"\n")
                                    << "an equals sign is missing";
    QTest::newRow("the product given twice is no location's fault")
        << QByteArray("product = 0\nproduct = 1\n") << "product is given twice; give each key once";
    QTest::newRow("a location given twice")
        << QByteArray("product = 0\n[location.1]\n[location.1]\n") << "each location is given at most once";
    QTest::newRow("a leading zero") << QByteArray("product = 0\n[location.1]\nfield = 07\n")
                                    << "write 7, not 07";
    QTest::newRow("the file ends after a key")
        << QByteArray("product = 0\n[location.1]\ntalker") << "the file ends in the middle of a line";
    QTest::newRow("the file ends after the equals sign")
        << QByteArray("product = 0\n[location.1]\ntalker =") << "the file ends in the middle of a line";
    // Two backslashes, as the plan is to hold them; not doubled again on the way out.
    QTest::newRow("an unknown escape") << QByteArray("product = 0\n[location.1]\nnote = \"a\\q\"\n")
                                       << "an unknown escape: write \\\\ for a backslash";
    QTest::newRow("a number too long")
        << QByteArray("product = 0\n[location.1]\nfield = 99999999999999999999\n") << "a number is too long";
    QTest::newRow("a number with underscores")
        << QByteArray("product = 0\n[location.1]\nfield = 1__0\n") << "a number holds an underscore";
    QTest::newRow("a carriage return alone")
        << QByteArray("product = 0\n[location.1]\nfield = 7\r") << "a carriage return stands alone";
    QTest::newRow("a control character in a comment")
        << QByteArray("product = 0 # a\x01b\n") << "the line holds a control character";
    QTest::newRow("a lone surrogate")
        << QByteArray("product = 0\n[location.1]\nnote = \"\\uD800\"\n") << "a lone surrogate";
    QTest::newRow("a look-alike letter the parser quotes, escaped")
        << QByteArray("product = 0\n[\"\xd0\xa0\"]\n[\"\xd0\xa0\"]\n") << "\\u0420\"] is given twice";
    QTest::newRow("a header without a name")
        << QByteArray("product = 0\n[]\n") << "a table header has no name";
}

void tst_Wording::syntaxErrorsInPlainWords()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, says);
    const plan::ReadResult r = plan::parsePlan(text, QStringLiteral("p.mdplan.toml"));
    QCOMPARE(r.faults.size(), 1);
    const QString message = r.faults.first().message;
    QVERIFY2(message.startsWith(QStringLiteral("TOML syntax error: ")) && message.contains(says),
             qPrintable(message));
    // The parser's own words are not passed on, nor a backslash doubled.
    QVERIFY2(!message.contains(QStringLiteral("Error while parsing")), qPrintable(message));
    QVERIFY2(!message.contains(QStringLiteral("\\\\\\")), qPrintable(message));
}

void tst_Wording::nearest_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("answer");
    const int talker = int(vocabulary::List::Talker), sentence = int(vocabulary::List::Identifier),
              instrument = int(vocabulary::List::Instrument);
    QTest::newRow("talker and sentence run together") << sentence << "GPRMC"
                                                      << "did you mean RMC?";
    QTest::newRow("a sentence in lower case with a slip") << sentence << "rmx"
                                                          << "did you mean RMA, RMB or RMC?";
    QTest::newRow("two letters swapped") << sentence << "DTB"
                                         << "did you mean DBT or DTM?";
    QTest::newRow("a talker with a letter too many") << talker << "GPS"
                                                     << "did you mean GP?";
    QTest::newRow("part of an instrument's name") << instrument << "engine rpm"
                                                  << "did you mean NX20/40 ENGINE RPM?";
    QTest::newRow("nothing near") << sentence << "QQQQQQ"
                                  << "";
}

void tst_Wording::nearest()
{
    QFETCH(int, list);
    QFETCH(QString, text);
    QFETCH(QString, answer);
    QCOMPARE(plan::didYouMean(text, vocabulary::entries(vocabulary::List(list))), answer);
}

QTEST_GUILESS_MAIN(tst_Wording)
#include "tst_wording.moc"
