// The decoder against the golden frames, and against frames damaged the ways a capture goes wrong.
#include "frame/decoder.h"
#include "support/goldenframes.h"
#include "vocabulary/vocabulary.h"

#include <QTest>

using frame::CheckMatch;
using frame::DecodedFrame;
using frame::FrameKind;

Q_DECLARE_METATYPE(FrameKind)
Q_DECLARE_METATYPE(CheckMatch)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class tst_Decoder : public QObject {
    Q_OBJECT
private slots:
    void workedExamples_data();
    void workedExamples();
    void damaged_data();
    void damaged();
    void sentCodesMapBack_data();
    void sentCodesMapBack();
    void stream();
    void streamWithADollarInside();
    void streamWithStrayBytes();
    void hexText_data();
    void hexText();
};

void tst_Decoder::workedExamples_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("location");
    QTest::addColumn<FrameKind>("kind");
    QTest::addColumn<QString>("shows");
    QTest::addColumn<bool>("iconByte");
    QTest::addColumn<CheckMatch>("check");

    // The golden frames, a first frame and a repeat frame of each.
    for (const GoldenFrame &g : GoldenFrames) {
        const FrameKind kind = g.instrument                      ? FrameKind::Proprietary
                               : QByteArray(g.sentence) == "XDR" ? FrameKind::Xdr
                                                                 : FrameKind::Standard;
        const bool iconByte = g.first().size() == 11;
        QTest::addRow("%s, first", g.name) << g.first() << g.location << kind << QString::fromLatin1(g.shows)
                                           << iconByte << CheckMatch::First;
        QTest::addRow("%s, repeat", g.name) << g.repeat() << g.location << kind
                                            << QString::fromLatin1(g.shows) << iconByte << CheckMatch::Repeat;
    }
}

void tst_Decoder::workedExamples()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, location);
    QFETCH(FrameKind, kind);
    QFETCH(QString, shows);
    QFETCH(bool, iconByte);
    QFETCH(CheckMatch, check);
    const DecodedFrame d = frame::decodeFrame(bytes);
    QVERIFY2(d.valid(), qPrintable(d.problems.join("; ")));
    QCOMPARE(d.configuration.location, location);
    QCOMPARE(d.kind, kind);
    QCOMPARE(d.shows(), shows);
    QCOMPARE(d.hasIconByte, iconByte);
    const QList<int> products = iconByte ? QList<int>{2} : QList<int>{0, 1};
    QCOMPARE(d.products, products);
    QCOMPARE(d.check, check);
}

void tst_Decoder::damaged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    QTest::newRow("check byte neither first nor repeat")
        << hex("24 32 47 50 52 4D 43 05 35 7C")
        << "check byte 7C is wrong: a first frame ends with 7B, a repeat "
           "frame with 5B";
    QTest::newRow("check byte of another location's repeat")
        << hex("24 32 47 50 52 4D 43 05 35 67") << "check byte 67 is wrong";
    QTest::newRow("nine bytes") << hex("24 32 47 50 52 4D 43 05 35") << "this one is 9";
    QTest::newRow("twelve bytes") << hex("24 32 47 50 52 4D 43 05 35 04 7F 00") << "this one is 12";
    QTest::newRow("does not start with $") << hex("23 32 47 50 52 4D 43 05 35 7B") << "starts with 24";
    QTest::newRow("memory character past 9") << hex("24 3A 47 50 52 4D 43 05 35 7B") << "memory byte 3A";
    QTest::newRow("talker not in the list") << hex("24 32 58 58 52 4D 43 05 35 7B") << "talker \"XX\"";
    QTest::newRow("sentence code outside the list")
        << hex("24 32 47 50 51 51 51 05 35 7B") << "sentence code \"QQQ\" is not sent";
    QTest::newRow("control bytes for a talker, named by their value")
        << hex("24 32 01 02 52 4D 43 05 35 7B") << "talker bytes 01 02 is not";
    QTest::newRow("GGA letters where CGA is sent")
        << hex("24 30 47 50 47 47 41 01 31 66") << "sent as \"CGA\"";
    QTest::newRow("field byte past 25") << hex("24 32 47 50 52 4D 43 1A 4A 7B") << "field byte 4A";
    QTest::newRow("comma count and field disagree")
        << hex("24 32 47 50 52 4D 43 06 35 7B") << "does not match";
    QTest::newRow("XDR with a type letter not in the list")
        << hex("24 30 49 49 58 44 52 5A 33 3E") << "transducer type byte 5A";
    QTest::newRow("instrument values of no instrument")
        << hex("24 31 50 56 4C 4D 2A 04 72 58") << "no Velmora";
    QTest::newRow("icon byte of no icon") << hex("24 32 47 50 52 4D 43 05 35 05 7F") << "icon byte 05";
}

void tst_Decoder::damaged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    const DecodedFrame d = frame::decodeFrame(bytes);
    QVERIFY(!d.valid());
    QVERIFY2(d.problems.join("; ").contains(problem), qPrintable(d.problems.join("; ")));
}

void tst_Decoder::sentCodesMapBack_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CGA is GGA") << QByteArray("CGA") << "GGA";
    QTest::newRow("HNS is GNS") << QByteArray("HNS") << "GNS";
    QTest::newRow("HSK is MSK") << QByteArray("HSK") << "MSK";
    QTest::newRow("ROO stands before RMA") << QByteArray("ROO") << "ROO";
    QTest::newRow("last identifier") << QByteArray("ZZU") << "ZZU";
}

void tst_Decoder::sentCodesMapBack()
{
    QFETCH(QByteArray, code);
    QFETCH(QString, shown);
    // "$", location 1, talker GP, the code, field 1; the check byte computed here by hand's rule.
    QByteArray f = QByteArray("$0GP") + code + QByteArray("\x01\x31", 2);
    std::uint8_t check = 0;
    for (int i = 2; i < f.size(); ++i)
        check ^= std::uint8_t(f[i]);
    f.append(char(check));
    const DecodedFrame d = frame::decodeFrame(f);
    QVERIFY2(d.valid(), qPrintable(d.problems.join("; ")));
    QCOMPARE(vocabulary::entries(vocabulary::List::Identifier).at(d.configuration.standard()->sentence),
             shown);
}

void tst_Decoder::stream()
{
    QByteArray all = hex("24 31 50 56 4C 4D 29 04 72 58");
    for (int i = 0; i < 9; ++i)
        all += hex("24 31 50 56 4C 4D 29 04 72 44");
    const QList<DecodedFrame> frames = frame::decodeStream(all);
    QCOMPARE(frames.size(), 10);
    QCOMPARE(frames[0].check, CheckMatch::First);
    for (int i = 1; i < 10; ++i) {
        QVERIFY(frames[i].valid());
        QCOMPARE(frames[i].check, CheckMatch::Repeat);
        QCOMPARE(frames[i].configuration.location, 2);
    }
}

void tst_Decoder::streamWithADollarInside()
{
    // The icon "MILES" is 0x24, the frame start: a split at every "$" would cut these frames in two.
    // GP RMC field 5 at 3 with MILES: body 47 50 52 4D 43 05 35 24 -> first 5F, repeat 7F.
    const QByteArray first = hex("24 32 47 50 52 4D 43 05 35 24 5F");
    const QByteArray repeat = hex("24 32 47 50 52 4D 43 05 35 24 7F");
    const QList<DecodedFrame> frames = frame::decodeStream(first + repeat + repeat + first);
    QCOMPARE(frames.size(), 4);
    for (const DecodedFrame &d : frames) {
        QVERIFY2(d.valid(), qPrintable(d.problems.join("; ")));
        QCOMPARE(d.shows(), QString("GP RMC field 5, icon MILES"));
    }
    QCOMPARE(frames[1].check, CheckMatch::Repeat);
}

void tst_Decoder::streamWithStrayBytes()
{
    const QList<DecodedFrame> frames =
        frame::decodeStream(hex("00 FF") + hex("24 32 47 50 52 4D 43 05 35 7B") + hex("24 32 47"));
    QCOMPARE(frames.size(), 3);
    QVERIFY(!frames[0].valid());
    QVERIFY(frames[1].valid());
    QVERIFY(!frames[2].valid());
    QVERIFY(frames[2].problems.join(' ').contains("this one is 3"));
}

void tst_Decoder::hexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("as frames prints it") << "24 32 47" << hex("243247");
    QTest::newRow("without spaces, lower case") << "24324a" << hex("24324A");
    QTest::newRow("tabs and line breaks") << "24\t32\n47" << hex("243247");
    QTest::newRow("odd number of digits") << "24 3" << QByteArray();
    QTest::newRow("not hexadecimal") << "24 3G" << QByteArray();
    QTest::newRow("a non-ASCII digit") << QString::fromUtf8("24 ３2") << QByteArray();
    QTest::newRow("nothing") << "  " << QByteArray();
}

void tst_Decoder::hexText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QString error;
    QCOMPARE(frame::parseHex(text, &error), bytes);
    QCOMPARE(error.isEmpty(), !bytes.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Decoder)
#include "tst_decoder.moc"
