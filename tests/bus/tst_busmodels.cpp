// The bus as the monitor window and listen show it: the real captures through the models with Qt's model
// tester attached, variants of sentences whose meaning alternates, the reasons a row is not offered, the
// bound on rows, the live table's fit to 80x24, and recordings read back as they were written.
#include "bus/models.h"
#include "bus/recording.h"
#include "bus/report.h"
#include "support/files.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// The capture fed as a 4800-baud line hands it over: 48 bytes each tenth of a second.
void feedPaced(bus::Monitor &m, const QByteArray &bytes, qint64 startMs = 0)
{
    for (qsizetype i = 0; i < bytes.size(); i += 48)
        m.feed(QByteArrayView(bytes).sliced(i, std::min<qsizetype>(48, bytes.size() - i)),
               startMs + i / 48 * 100);
}

QStringList variantsOf(const bus::Monitor &m, const QString &key)
{
    QStringList labels;
    if (const bus::SentenceRow *r = m.row(key)) {
        for (const bus::VariantRow &v : r->variants)
            labels << v.label;
    }
    return labels;
}

} // namespace

class tst_BusModels : public QObject {
    Q_OBJECT
private slots:
    void capturesThroughTheModels_data();
    void capturesThroughTheModels();
    void variants_data();
    void variants();
    void offers_data();
    void offers();
    void manyNamesStayBounded();
    void liveTableFits_data();
    void liveTableFits();
    void fieldsOfOneSentence();
    void recordingRoundTrip_data();
    void recordingRoundTrip();
    void recordingRefusesWhatExists();
    void recordingStopsAtItsLimit();
    void recordingStartsAndEndsOnWholeLines_data();
    void recordingStartsAndEndsOnWholeLines();
    void recordingKeepsWholeLinesWhenWritesFail_data();
    void recordingKeepsWholeLinesWhenWritesFail();
    void sizes_data();
    void sizes();
    void timestampsThatAreNoTime_data();
    void timestampsThatAreNoTime();
};

void tst_BusModels::capturesThroughTheModels_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rows"); // rows of the table: one per talker, sentence and variant
    // chartplotter: 22 sentences; MWV R and T, GSV messages 1 to 3: 22 + 1 + 2.
    QTest::newRow("chartplotter") << "captures/chartplotter-bus.nmea" << 25;
    QTest::newRow("depth sounder") << "captures/depth-sounder.nmea" << 2;
    QTest::newRow("fish finder") << "captures/fishfinder.nmea" << 7;
    QTest::newRow("mixed bus with noise") << "listen/mixed-bus.nmea" << 12;
}

void tst_BusModels::capturesThroughTheModels()
{
    QFETCH(QString, file);
    QFETCH(int, rows);
    bus::Monitor m;
    bus::RowModel model(m);
    bus::FieldModel fields(m);
    bus::QuadrupletModel transducers(m);
    QAbstractItemModelTester t1(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester t2(&fields, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester t3(&transducers, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    // Refreshed every quarter second of bus time, as the window's timer does, following the first row.
    const QByteArray bytes = readData(file);
    const qsizetype step = 48 * 2;
    qint64 refreshes = 0;
    for (qsizetype i = 0; i < bytes.size(); i += step) {
        m.feed(QByteArrayView(bytes).sliced(i, std::min<qsizetype>(step, bytes.size() - i)), i / 48 * 100);
        model.refresh(m.nowMs());
        ++refreshes;
        if (!fields.shown() && model.rowCount() > 0) {
            fields.show(model.refAt(0));
            transducers.show(model.refAt(0));
        }
        fields.refresh();
        transducers.refresh();
        // Every row tells its change on its own: one signal covers one row.
        for (const QList<QVariant> &signal : std::as_const(changes))
            QCOMPARE(signal.at(0).toModelIndex().row(), signal.at(1).toModelIndex().row());
        changes.clear();
    }
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(resets.size(), 0);
    // Rows stay ordered by talker and sentence, and each names what the monitor counted.
    qint64 counted = 0;
    for (int r = 0; r < model.rowCount(); ++r) {
        const std::optional<bus::RowRef> ref = model.refAt(r);
        QVERIFY(ref);
        const bus::VariantRow *v = bus::variantAt(m, *ref);
        QVERIFY(v);
        QCOMPARE(model.index(r, bus::RowModel::Count).data().toLongLong(), v->count);
        counted += v->count;
    }
    QCOMPARE(counted, m.totals().sentences);
    QVERIFY(fields.rowCount() > 0);
}

void tst_BusModels::variants_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("yacht: MWV relative and true") << "captures/chartplotter-bus.nmea"
                                                  << "WIMWV" << QStringList{"R", "T"};
    QTest::newRow("yacht: GSV messages 1 to 3") << "captures/chartplotter-bus.nmea"
                                                << "GPGSV" << QStringList{"1", "2", "3"};
    QTest::newRow("yacht: XDR, five transducers in one layout")
        << "captures/chartplotter-bus.nmea"
        << "IIXDR" << QStringList{"C AIRTEMP, A HEEL, A TRIM, P BARO, A RUDDER"};
    QTest::newRow("yacht: RMC has one meaning") << "captures/chartplotter-bus.nmea"
                                                << "GPRMC" << QStringList{""};
}

void tst_BusModels::variants()
{
    QFETCH(QString, file);
    QFETCH(QString, key);
    QFETCH(QStringList, labels);
    bus::Monitor m;
    feedPaced(m, readData(file));
    QCOMPARE(variantsOf(m, key), labels);
    const bus::SentenceRow *row = m.row(key);
    QCOMPARE(row->alternates(), labels.size() > 1);

    bus::RowModel model(m);
    model.refresh(m.nowMs());
    int warned = 0;
    for (int r = 0; r < model.rowCount(); ++r) {
        if (model.refAt(r)->key != key)
            continue;
        QCOMPARE(model.index(r, 0).data(bus::SnapshotModel::AlternatesRole).toBool(), labels.size() > 1);
        if (labels.size() > 1) {
            QVERIFY(model.index(r, 0)
                        .data(Qt::ToolTipRole)
                        .toString()
                        .contains(QLatin1String(bus::AlternatesText)));
            ++warned;
        }
    }
    QCOMPARE(warned, labels.size() > 1 ? labels.size() : 0);
}

void tst_BusModels::offers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("reason");
    QTest::newRow("GP RMC") << QByteArray("$GPRMC,1") << true << "offered";
    QTest::newRow("GN: set the receiver to send GP") << QByteArray("$GNRMC,1") << false
                                                     << "GN: a multi-GNSS talker the display's list does not "
                                                        "have; set the receiver or multiplexer to send GP";
    QTest::newRow("a sentence the list lacks")
        << QByteArray("$GPTXT,1") << false << "TXT: a sentence the display's list does not have";
    QTest::newRow("another maker's")
        << QByteArray("$PGRME,1") << false
        << "PGRME: another maker's own sentence; the display takes only Velmora's $PVLM";
}

void tst_BusModels::offers()
{
    QFETCH(QByteArray, line);
    bus::Monitor m;
    m.feed(line + "\r\n");
    QCOMPARE(m.rows().size(), 1);
    const bus::SentenceRow row = m.rows().first();
    QTEST(bus::offered(row), "offered");
    QTEST(bus::offerText(row), "reason");
}

void tst_BusModels::manyNamesStayBounded()
{
    bus::Monitor m;
    bus::RowModel model(m);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // 100,000 made-up names: two letters and four, with a valid checksum each.
    const int names = 100'000;
    QByteArray chunk;
    for (int i = 0; i < names; ++i) {
        QByteArray address = "Z";
        int n = i;
        for (int k = 0; k < 5; ++k) {
            address += char('A' + n % 26);
            n /= 26;
        }
        const QByteArray body = address + ",1,2";
        chunk += '$' + body + '*' +
                 QByteArray::number(bus::checksumOf(body), 16).rightJustified(2, '0').toUpper() + "\r\n";
        if (chunk.size() > 4096) {
            m.feed(chunk, i);
            chunk.clear();
        }
        if (i % 20'000 == 0)
            model.refresh(m.nowMs());
    }
    m.feed(chunk, names);
    model.refresh(m.nowMs());
    QCOMPARE(m.rows().size(), bus::Monitor::MaxRows);
    QCOMPARE(m.others().count, names - bus::Monitor::MaxRows);
    QCOMPARE(m.totals().sentences, names);
    QCOMPARE(m.totals().badChecksum, 0);
    QCOMPARE(model.rowCount(), bus::Monitor::MaxRows + 1);
    QCOMPARE(model.index(model.rowCount() - 1, bus::RowModel::Count).data().toLongLong(),
             names - bus::Monitor::MaxRows);
}

void tst_BusModels::liveTableFits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("yacht on 80x24") << "captures/chartplotter-bus.nmea" << 80 << 24;
    QTest::newRow("yacht on 100x50") << "captures/chartplotter-bus.nmea" << 100 << 50;
    QTest::newRow("fish finder on 80x24") << "captures/fishfinder.nmea" << 80 << 24;
    QTest::newRow("mixed bus on 80x24") << "listen/mixed-bus.nmea" << 80 << 24;
    QTest::newRow("mixed bus on 40x10") << "listen/mixed-bus.nmea" << 40 << 10;
}

void tst_BusModels::liveTableFits()
{
    QFETCH(QString, file);
    QFETCH(int, width);
    QFETCH(int, height);
    bus::Monitor m;
    feedPaced(m, readData(file));
    const QString table =
        bus::formatLive(bus::snapshotOf(m), 60, 4800, m.nowMs(), bus::Screen{width, height});
    qDebug().noquote() << table;
    const QStringList lines = table.split(QLatin1Char('\n'));
    QVERIFY2(lines.size() <= height, qPrintable(table));
    for (const QString &line : lines)
        QVERIFY2(line.size() <= width, qPrintable(line));
    QVERIFY(lines.at(0).startsWith(QLatin1String("tk sent")));
    if (width >= 80)
        QVERIFY2(lines.at(0).contains(QStringLiteral("| 4800 baud, 60 s")), qPrintable(lines.at(0)));
    // Every row is on screen, or named on the line that says how many more there are.
    for (const bus::SentenceRow &r : m.rows()) {
        const QString key = r.talker + r.identifier;
        const bool named = std::any_of(lines.begin(), lines.end(), [&](const QString &l) {
            return l.startsWith(QStringLiteral("%1 %2").arg(r.talker, -2).arg(r.identifier)) ||
                   (l.startsWith(QLatin1Char('+')) && l.contains(key));
        });
        QVERIFY2(named || lines.last().endsWith(QLatin1Char('>')), qPrintable(key + "\n" + table));
    }
    // The yacht's bus fits whole on 80x24, one line per sentence, the wind's variants on one line.
    if (file.contains(QLatin1String("chartplotter")))
        QVERIFY2(!table.contains(QLatin1String("more:")) && table.contains(QLatin1String("WI MWV   R|T  ")),
                 qPrintable(table));
    if (m.row(QStringLiteral("WIMWV")) && m.row(QStringLiteral("WIMWV"))->alternates())
        QVERIFY2(table.contains(QLatin1String("WIMWV")) &&
                     table.contains(QLatin1String("shows these in turn")),
                 qPrintable(table));
}

void tst_BusModels::fieldsOfOneSentence()
{
    bus::Monitor m;
    feedPaced(m, readData(QStringLiteral("captures/chartplotter-bus.nmea")));
    const QString rmc = bus::formatFields(bus::snapshotOf(m), QStringLiteral("gprmc"), m.nowMs(), 80);
    // Field 7 of RMC is the speed over ground, numbered as "Commas" counts it.
    const QString sog = m.row(QStringLiteral("GPRMC"))->last.field(7).value();
    QVERIFY2(rmc.contains(QRegularExpression(
                 QStringLiteral("\n7 +%1 +speed over ground, knots\n").arg(QRegularExpression::escape(sog)))),
             qPrintable(rmc));
    const QString mwv = bus::formatFields(bus::snapshotOf(m), QStringLiteral("WIMWV"), m.nowMs(), 80);
    QVERIFY2(mwv.contains(QLatin1String(bus::AlternatesText)), qPrintable(mwv));
    QVERIFY2(mwv.contains(QRegularExpression(QStringLiteral("\n2 +R +T +reference, R relative or T true\n"))),
             qPrintable(mwv));
    const QString xdr = bus::formatFields(bus::snapshotOf(m), QStringLiteral("IIXDR"), m.nowMs(), 80);
    QVERIFY2(xdr.contains(QLatin1String("fields 5-8: type A, value ")) &&
                 xdr.contains(QLatin1String("(field 6), units D, name HEEL")),
             qPrintable(xdr));
    QCOMPARE(bus::formatFields(bus::snapshotOf(m), QStringLiteral("GNRMC"), m.nowMs(), 80),
             QStringLiteral("GNRMC: not heard yet\n"));
    // The monitor's field table says what each field holds.
    bus::FieldModel table(m);
    table.show(bus::RowRef{QStringLiteral("GPRMC"), 0});
    QCOMPARE(table.index(7 - 1, bus::FieldModel::Note).data().toString(),
             QStringLiteral("speed over ground, knots"));
}

void tst_BusModels::recordingRoundTrip_data()
{
    QTest::addColumn<bool>("timestamps");
    QTest::addColumn<int>("baud");
    QTest::newRow("plain, 4800") << false << 4800;
    QTest::newRow("timestamps, 38400") << true << 38400;
}

void tst_BusModels::recordingRoundTrip()
{
    QFETCH(bool, timestamps);
    QFETCH(int, baud);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    // Noise and binary come back byte for byte; a line still without its end when recording stops is left
    // out, so the recording ends on a whole line.
    const QByteArray whole = readData(QStringLiteral("listen/mixed-bus.nmea"));
    const QByteArray bytes = whole + QByteArray("\x00\xff$GPR", 6);
    bus::Recorder rec;
    QCOMPARE(rec.open(path,
                      {QDateTime::currentDateTimeUtc(), QStringLiteral("/dev/ttyUSB0"), baud, timestamps},
                      bus::DefaultRecordingLimit),
             std::nullopt);
    for (qsizetype i = 0; i < bytes.size(); i += 33)
        QVERIFY(rec.write(bytes.mid(i, 33), i * 2));
    rec.close();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray file = f.readAll();
    QVERIFY(file.startsWith("# mdconfig-cli recording"));
    QVERIFY(file.contains("# device /dev/ttyUSB0\n"));
    QString why;
    const std::optional<bus::Recording> r = bus::parseRecording(file, &why);
    QVERIFY2(r, qPrintable(why));
    QCOMPARE(r->baud, baud);
    QCOMPARE(r->timestamps, timestamps);
    QByteArray played;
    for (const bus::Recording::Line &l : r->lines)
        played += l.bytes;
    QCOMPARE(played, whole);
    const QList<qint64> due = bus::schedule(*r, 2.0);
    QVERIFY(std::is_sorted(due.begin(), due.end()));
    if (!timestamps) // at the wire rate: ten bits a character, twice as fast
        QCOMPARE(due.last(), qint64((whole.size() - r->lines.last().bytes.size()) * 10'000.0 / baud / 2));
}

void tst_BusModels::recordingRefusesWhatExists()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    QFile::link(target, dir.filePath(QStringLiteral("link")));
    QFile existing(dir.filePath(QStringLiteral("old.nmea")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();
    for (const char *name : {"link", "old.nmea"}) {
        bus::Recorder rec;
        const std::optional<QString> refused =
            rec.open(dir.filePath(QLatin1String(name)), {}, bus::DefaultRecordingLimit);
        QVERIFY2(refused && refused->contains(QLatin1String("exists")),
                 qPrintable(refused.value_or("opened")));
    }
    QVERIFY(!QFile::exists(target));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("kept"));
}

void tst_BusModels::recordingStopsAtItsLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    bus::Recorder rec;
    QCOMPARE(rec.open(path, {}, 4096), std::nullopt);
    const QByteArray bytes = readData(QStringLiteral("captures/depth-sounder.nmea"));
    QVERIFY(!rec.write(bytes, 0));
    QVERIFY(rec.full());
    QVERIFY(rec.error().contains(QLatin1String("4096")));
    rec.close();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray file = f.readAll();
    QVERIFY(file.size() <= 4096);
    QVERIFY(file.endsWith("\r\n")); // whole lines only
}

void tst_BusModels::recordingStartsAndEndsOnWholeLines_data()
{
    QTest::addColumn<QList<qint64>>("at"); // when each piece came, on the monitor's clock
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("recorded"); // the data lines, timestamps in front
    const QByteArray a = "$SDDBT,7.7,f,2.3,M,1.3,F*05\r\n",
                     b = "$ECGLL,5119.881,N,00125.169,E,164326,A,D*52\r\n";
    QTest::newRow("started mid-line, long after the monitor's Start")
        << QList<qint64>{142'506, 143'006, 143'506} << QByteArrayList{"169,E*1F\r\n" + a, b, "$GPR"}
        << "0.000 " + a + "0.500 " + b;
    QTest::newRow("started on a sentence's start")
        << QList<qint64>{9'000, 9'250} << QByteArrayList{a, b} << "0.000 " + a + "0.250 " + b;
    QTest::newRow("started just after a line's end, on noise")
        << QList<qint64>{60'000, 61'000} << QByteArrayList{"\r\n\x01\x02\r\n", a}
        << "0.000 \x01\x02\r\n1.000 " + a;
}

void tst_BusModels::recordingStartsAndEndsOnWholeLines()
{
    QFETCH(QList<qint64>, at);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, recorded);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    bus::Recorder rec;
    QCOMPARE(rec.open(path, {QDateTime::currentDateTimeUtc(), QStringLiteral("x"), 4800, true},
                      bus::DefaultRecordingLimit),
             std::nullopt);
    for (qsizetype i = 0; i < pieces.size(); ++i)
        QVERIFY(rec.write(pieces[i], at[i]));
    rec.close();
    const QByteArray file = readAll(path);
    qsizetype data = 0;
    while (file.mid(data).startsWith('#'))
        data = file.indexOf('\n', data) + 1;
    QCOMPARE(file.mid(data), recorded);
    QCOMPARE(rec.written(), file.size());
}

void tst_BusModels::recordingKeepsWholeLinesWhenWritesFail_data()
{
    QTest::addColumn<int>("fileLimit"); // the session's largest file, as ulimit -f sets it
    QTest::newRow("in the header's first line") << 40;
    QTest::newRow("in the middle of a line") << 1000;
    QTest::newRow("further on") << 3001;
}

void tst_BusModels::recordingKeepsWholeLinesWhenWritesFail()
{
    QFETCH(int, fileLimit);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    const QByteArray bytes = readData(QStringLiteral("captures/depth-sounder.nmea")).left(8000);
    // A write past the limit fails with EFBIG, as it does on a full disk with ENOSPC.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const rlimit tight{rlim_t(fileLimit), saved.rlim_max};
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &tight) == 0);
    bus::Recorder rec;
    const std::optional<QString> refused =
        rec.open(path, {QDateTime::currentDateTimeUtc(), QStringLiteral("x"), 4800, false}, 1 << 20);
    const bool wrote = !refused && rec.write(bytes, 0);
    rec.close();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY(!wrote);
    const QString why = refused.value_or(rec.error());
    QVERIFY2(why.contains(QLatin1String("(ulimit -f)")), qPrintable(why));
    if (refused) { // nothing is left of a recording that could not even write its header
        QVERIFY(!QFile::exists(path));
        return;
    }
    const QByteArray file = readAll(path);
    QCOMPARE(rec.written(), file.size());
    QVERIFY(file.size() <= fileLimit && file.endsWith('\n'));
    QVERIFY2(why.contains(QStringLiteral("with %1 bytes written").arg(file.size())), qPrintable(why));
}

void tst_BusModels::sizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes"); // -1: refused
    QTest::newRow("megabytes") << "10M" << qint64(10) * 1024 * 1024;
    QTest::newRow("the smallest") << "1k" << qint64(1024);
    QTest::newRow("the largest") << "1024G" << (qint64(1) << 40);
    QTest::newRow("below 1k") << "12" << qint64(-1);
    QTest::newRow("no unit") << "1x" << qint64(-1);
    QTest::newRow("2^64 + 1 GiB, which wraps to 1 GiB") << "17179869185G" << qint64(-1);
    QTest::newRow("a byte count too large") << "9999999999999" << qint64(-1);
    QTest::newRow("just past the largest") << "1025G" << qint64(-1);
}

void tst_BusModels::sizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    QCOMPARE(bus::parseSize(text), bytes < 0 ? std::nullopt : std::optional<qint64>(bytes));
}

void tst_BusModels::timestampsThatAreNoTime_data()
{
    QTest::addColumn<QByteArray>("stamp");
    for (const char *stamp : {"nan", "inf", "1e300", "-1", "10000000", "0x10", "+1", "1,5"})
        QTest::newRow(stamp) << QByteArray(stamp);
}

void tst_BusModels::timestampsThatAreNoTime()
{
    QFETCH(QByteArray, stamp);
    const QByteArray file = "# timestamps: seconds since the start\n0.000 $A\r\n" + stamp + " $B\r\n";
    QString why;
    QVERIFY(!bus::parseRecording(file, &why));
    QVERIFY2(why.startsWith(QStringLiteral("data line 2: \"%1\" is not a timestamp").arg(stamp)),
             qPrintable(why));
    // The latest a recording may carry still plays.
    QVERIFY(bus::parseRecording("# timestamps: seconds\n9999999.999 $A\r\n", &why));
}

QTEST_GUILESS_MAIN(tst_BusModels)
#include "tst_busmodels.moc"
