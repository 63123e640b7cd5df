// The lists and codes against an independent transcription of the maker's lists (data/lists.txt), typed by
// hand: a wrong letter, a swapped entry or a wrong instrument value in the program's tables fails here.
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QFile>
#include <QSet>
#include <QTest>

using vocabulary::List;

namespace {

struct Transcribed {
    QString list;
    int position;
    QString shown;
    QString code; // for an instrument its three values, "41 4 114"
};

QList<Transcribed> transcribed()
{
    QFile file(QStringLiteral(VOCABULARY_TRANSCRIPTION));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", VOCABULARY_TRANSCRIPTION);
    QList<Transcribed> rows;
    QHash<QString, int> next;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        const QString code = fields.size() > 2 ? fields[2] : fields[1];
        rows << Transcribed{fields[0], next[fields[0]]++, fields[1], code};
    }
    return rows;
}

List listNamed(const QString &name)
{
    if (name == QLatin1String("talker"))
        return List::Talker;
    if (name == QLatin1String("identifier"))
        return List::Identifier;
    if (name == QLatin1String("transducer"))
        return List::Xdr;
    return List::Instrument;
}

} // namespace

class tst_Vocabulary : public QObject {
    Q_OBJECT
private slots:
    void transcription_data();
    void transcription();
    void listSizes_data();
    void listSizes();
    void codeTableSlots();
    void transducerByLetter();
    void products();
    void noDuplicates_data();
    void noDuplicates();
    void positionsOutsideAList_data();
    void positionsOutsideAList();
    void findEntryIgnoresCase();
};

void tst_Vocabulary::transcription_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("code");
    for (const Transcribed &row : transcribed()) {
        QTest::addRow("%s %d, %s", qPrintable(row.list), row.position, qPrintable(row.shown))
            << row.list << row.position << row.shown << row.code;
    }
}

void tst_Vocabulary::transcription()
{
    QFETCH(QString, list);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(QString, code);
    QCOMPARE(vocabulary::entries(listNamed(list)).value(position), shown);
    if (list == QLatin1String("talker")) {
        QCOMPARE(vocabulary::talkerCode(position), std::optional<QString>(code));
    } else if (list == QLatin1String("identifier")) {
        QCOMPARE(vocabulary::sentenceIDCode(position), std::optional<QString>(code));
    } else if (list == QLatin1String("transducer")) {
        QCOMPARE(vocabulary::xdrCode(position), std::optional<QString>(code));
    } else {
        const auto values = vocabulary::instrument(position);
        QVERIFY(values);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(values->first).arg(values->second).arg(values->third), code);
    }
}

void tst_Vocabulary::listSizes_data()
{
    QTest::addColumn<List>("list");
    QTest::addColumn<int>("size");
    QHash<QString, int> counts;
    for (const Transcribed &row : transcribed())
        ++counts[row.list];
    QTest::newRow("talker IDs") << List::Talker << counts.value("talker");
    QTest::newRow("sentence identifiers") << List::Identifier << counts.value("identifier");
    QTest::newRow("transducer types") << List::Xdr << counts.value("transducer");
    QTest::newRow("instruments") << List::Instrument << counts.value("instrument");
    QTest::newRow("commas 1 to 25") << List::Commas << 25;
    QTest::newRow("memory locations 1 to 10, standard") << List::MemoryLocation1 << 10;
    QTest::newRow("memory locations 1 to 10, proprietary") << List::MemoryLocation2 << 10;
}

void tst_Vocabulary::listSizes()
{
    QFETCH(List, list);
    QFETCH(int, size);
    const QStringList &shown = vocabulary::entries(list);
    QCOMPARE(shown.size(), size);
    if (list == List::Commas || list == List::MemoryLocation1 || list == List::MemoryLocation2) {
        for (int p = 0; p < size; ++p)
            QCOMPARE(shown[p], QString::number(p + 1));
    }
}

void tst_Vocabulary::codeTableSlots()
{
    // Slot 0 of each table is empty, and the talker table has one more empty slot, 50, after its 49 codes.
    QCOMPARE(int(vocabulary::TalkerCodes().size()), 51);
    QCOMPARE(int(vocabulary::SentenceIDCodes().size()), 121);
    QCOMPARE(int(vocabulary::XDRCodes().size()), 15);
    QVERIFY(vocabulary::TalkerCodes()[0].isEmpty());
    QVERIFY(vocabulary::TalkerCodes()[50].isEmpty());
    QCOMPARE(vocabulary::TalkerCodes()[49], QStringLiteral("ZV"));
    QVERIFY(vocabulary::SentenceIDCodes()[0].isEmpty());
    QCOMPARE(vocabulary::SentenceIDCodes()[25], QStringLiteral("CGA"));
    QVERIFY(vocabulary::XDRCodes()[0].isEmpty());
    QCOMPARE(vocabulary::XDRCodes()[14], QStringLiteral("V"));
    // "XDR" is the 101st identifier; the transducer list keys on its position.
    QCOMPARE(vocabulary::XdrPosition, 100);
}

void tst_Vocabulary::transducerByLetter()
{
    QCOMPARE(vocabulary::findTransducerLetter("A"), 0);
    QCOMPARE(vocabulary::findTransducerLetter("n"), 7);
    QCOMPARE(vocabulary::findTransducerLetter("V"), 13);
    QCOMPARE(vocabulary::findTransducerLetter("B"), -1);
    QCOMPARE(vocabulary::findTransducerLetter("AB"), -1);
    QCOMPARE(vocabulary::findTransducerLetter(""), -1);
}

// The captions and the icon byte are checked where they show: the window's product options and the frames.
void tst_Vocabulary::products()
{
    for (int value : {0, 1, 2})
        QCOMPARE(vocabulary::productForSettingsValue(value), value);
    QCOMPARE(vocabulary::productForSettingsValue(3), -1);
    QCOMPARE(vocabulary::productForSettingsValue(-1), -1);
    QCOMPARE(vocabulary::DefaultProductIndex, 2);
    QCOMPARE(vocabulary::productName(1), QStringLiteral("MD90 Ver 1.0, 1.1, 1.2"));
    QCOMPARE(vocabulary::productCaption(3), QString());
    QVERIFY(!vocabulary::showsIcons(-1));
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
