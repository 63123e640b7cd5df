#include "vocabulary/vocabulary.h"

#include <QSet>
#include <QTest>

using vocabulary::List;

class tst_Vocabulary : public QObject {
    Q_OBJECT
private slots:
    void listSizes_data();
    void listSizes();
    void identifierCodes_data();
    void identifierCodes();
    void codeTableSlots();
    void noDuplicates_data();
    void noDuplicates();
    void positionsOutsideAList_data();
    void positionsOutsideAList();
    void instruments_data();
    void instruments();
    void findEntryIgnoresCase();
};

void tst_Vocabulary::listSizes_data()
{
    QTest::addColumn<List>("list");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("talker IDs") << List::Talker << 49 << "AG"
                                << "ZV";
    QTest::newRow("sentence identifiers") << List::Identifier << 120 << "AAM"
                                          << "ZZU";
    QTest::newRow("commas") << List::Commas << 25 << "1"
                            << "25";
    QTest::newRow("memory locations, standard") << List::MemoryLocation1 << 10 << "1"
                                                << "10";
    QTest::newRow("transducer types") << List::Xdr << 14 << "A - Angular Displacement, Degrees"
                                      << "V - Volume, Cubic Meters";
    QTest::newRow("instruments") << List::Instrument << 12 << "WX20/40 WINDLASS BATTERY VOLTAGE"
                                 << "MX20/40 TEMPERATURE DEG. FAHRENHEIT";
    QTest::newRow("memory locations, proprietary") << List::MemoryLocation2 << 10 << "1"
                                                   << "10";
}

void tst_Vocabulary::listSizes()
{
    QFETCH(List, list);
    QFETCH(int, size);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QStringList &shown = vocabulary::entries(list);
    QCOMPARE(shown.size(), size);
    QCOMPARE(shown.first(), first);
    QCOMPARE(shown.last(), last);
}

void tst_Vocabulary::identifierCodes_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("code");
    QTest::newRow("GGA is sent as CGA") << 24 << "GGA"
                                        << "CGA";
    QTest::newRow("GNS is sent as HNS") << 28 << "GNS"
                                        << "HNS";
    QTest::newRow("MSK is sent as HSK") << 49 << "MSK"
                                        << "HSK";
    QTest::newRow("XDR at its fixed position") << 100 << "XDR"
                                               << "XDR";
    QTest::newRow("ROO stands before RMA") << 56 << "ROO"
                                           << "ROO";
    QTest::newRow("RMA after ROO") << 57 << "RMA"
                                   << "RMA";
    QTest::newRow("RMC") << 59 << "RMC"
                         << "RMC";
    QTest::newRow("first") << 0 << "AAM"
                           << "AAM";
    QTest::newRow("last") << 119 << "ZZU"
                          << "ZZU";
}

void tst_Vocabulary::identifierCodes()
{
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(QString, code);
    QCOMPARE(vocabulary::entries(List::Identifier).at(position), shown);
    QCOMPARE(vocabulary::SentenceIDCodes()[position + 1], code);
    QCOMPARE(vocabulary::sentenceIDCode(position), std::optional<QString>(code));
}

void tst_Vocabulary::codeTableSlots()
{
    QVERIFY(vocabulary::TalkerCodes()[0].isEmpty());
    QVERIFY(vocabulary::TalkerCodes()[50].isEmpty());
    QCOMPARE(vocabulary::TalkerCodes()[49], QStringLiteral("ZV"));
    QVERIFY(vocabulary::SentenceIDCodes()[0].isEmpty());
    QVERIFY(vocabulary::XDRCodes()[0].isEmpty());
    // Every identifier but the three exceptions is sent as shown.
    int differing = 0;
    for (int p = 0; p < 120; ++p)
        differing += vocabulary::entries(List::Identifier)[p] != vocabulary::SentenceIDCodes()[p + 1];
    QCOMPARE(differing, 3);
    // The transducer code is the letter its entry starts with.
    for (int p = 0; p < 14; ++p)
        QCOMPARE(vocabulary::XDRCodes()[p + 1], vocabulary::entries(List::Xdr)[p].left(1));
    QCOMPARE(vocabulary::xdrCode(13), std::optional<QString>("V"));
}

void tst_Vocabulary::noDuplicates_data()
{
    QTest::addColumn<List>("list");
    for (List l :
         {List::Talker, List::Identifier, List::Commas, List::MemoryLocation1, List::Xdr, List::Instrument})
        QTest::newRow(qPrintable(vocabulary::listCaption(l))) << l;
}

void tst_Vocabulary::noDuplicates()
{
    QFETCH(List, list);
    const QStringList &shown = vocabulary::entries(list);
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
    const auto &ids = vocabulary::SentenceIDCodes();
    QCOMPARE(QSet<QString>(ids.begin() + 1, ids.end()).size(), 120);
}

void tst_Vocabulary::positionsOutsideAList_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("nothing chosen") << -1;
    QTest::newRow("far negative") << -1000;
    QTest::newRow("one past the talker list, the empty slot 50") << 49;
    QTest::newRow("one past the identifier list") << 120;
    QTest::newRow("huge") << 1'000'000;
}

void tst_Vocabulary::positionsOutsideAList()
{
    QFETCH(int, position);
    QCOMPARE(vocabulary::talkerCode(position), std::nullopt);
    if (position != 49)
        QCOMPARE(vocabulary::sentenceIDCode(position), std::nullopt);
    if (position < 0 || position >= 14)
        QCOMPARE(vocabulary::xdrCode(position), std::nullopt);
    if (position < 0 || position >= 12)
        QVERIFY(!vocabulary::instrument(position));
}

void tst_Vocabulary::instruments_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<char>("third");
    QTest::newRow("windlass battery voltage") << 0 << 1 << 4 << 'q';
    QTest::newRow("rode out") << 1 << 19 << 4 << 'q';
    QTest::newRow("time 24 hours") << 2 << 35 << 6 << 's';
    QTest::newRow("consumption shares 1 with position 0") << 5 << 1 << 4 << 'v';
    QTest::newRow("pressure, first value a control character") << 6 << 27 << 4 << 't';
    QTest::newRow("elapsed hours") << 7 << 49 << 2 << 'r';
    QTest::newRow("engine hours and minutes") << 9 << 27 << 2 << 'r';
    QTest::newRow("engine RPM") << 10 << 41 << 4 << 'r';
    QTest::newRow("temperature") << 11 << 27 << 4 << 'u';
}

void tst_Vocabulary::instruments()
{
    QFETCH(int, position);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(char, third);
    const auto row = vocabulary::instrument(position);
    QVERIFY(row);
    QCOMPARE(int(row->first), first);
    QCOMPARE(int(row->second), second);
    QCOMPARE(char(row->third), third);
}

void tst_Vocabulary::findEntryIgnoresCase()
{
    QCOMPARE(vocabulary::findEntry(List::Identifier, "gga"), 24);
    QCOMPARE(vocabulary::findEntry(List::Talker, "Gp"), 15);
    QCOMPARE(vocabulary::findEntry(List::Instrument, "nx20/40 engine rpm"), 10);
    QCOMPARE(vocabulary::findEntry(List::Commas, "26"), -1);
    QCOMPARE(vocabulary::findEntry(List::Identifier, "GG"), -1);
    QCOMPARE(vocabulary::findEntry(List::Identifier, ""), -1);
}

QTEST_APPLESS_MAIN(tst_Vocabulary)
#include "tst_vocabulary.moc"
