// The diagnosis store: its file layout, capacities, clamped counts, damaged files and failing saves.

#include "allocationprobe.h"
#include "app/diagnosedata.h"
#include "docfixtures.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace fixture;

namespace {

TileResultRecord Tile(int id)
{
    TileResultRecord t = {};
    t.TileId = id;
    for (int k = 0; k < 3; ++k) {
        t.MeasuredLab[k] = float(id) + 0.5f * float(k);
        t.StandardLab[k] = float(id) - 0.25f * float(k);
    }
    for (int k = 0; k < kColourDifferenceKindCount; ++k) {
        t.Differences[k] = 0.125f * float(k + id);
        t.Tolerances[k] = 1.5f;
        t.Judgements[k] = (id + k) % 2;
        t.CheckStates[k] = k == 4 ? 0 : 2;
    }
    for (int k = 0; k < kReflectanceCount; ++k) {
        t.MeasuredReflectance[k] = 0.01f * float(k + id);
        t.StandardReflectance[k] = 0.02f * float(k + id);
    }
    return t;
}

std::unique_ptr<DiagnoseHistoryRecord[]> History(int count)
{
    auto records = std::make_unique<DiagnoseHistoryRecord[]>(size_t(count));
    for (int i = 0; i < count; ++i) {
        records[i].SerialNumber = QStringLiteral("SN%1").arg(i);
        records[i].DateTime = QStringLiteral("2024/01/0%1 10:00:00").arg(i + 1);
        records[i].Judgement = i % 2;
        records[i].TileCount = kTileCount;
        for (int t = 0; t < kTileCount; ++t)
            records[i].Tiles[t] = Tile(t + i);
    }
    return records;
}

void FillStandards(StandardValueRecord *records, int count)
{
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < kReflectanceCount; ++k)
            records[i].Reflectance[k] = float(i) + 0.01f * float(k);
        records[i].Lab[0] = 90.0f - float(i);
        records[i].Lab[1] = float(i);
        records[i].Lab[2] = -float(i);
    }
}

void FillTolerances(ToleranceRecord *records)
{
    for (int r = 0; r < 5; ++r) {
        records[r] = {};
        records[r].Kind = 2;
        records[r].RowIndex = r;
        records[r].PairCount = kTolerancePairCount;
        for (int k = 0; k < kTolerancePairCount; ++k)
            records[r].Pairs[k] = {k, 0.5f * float(k + r)};
    }
}

// The file's start: version bytes and one history record holding `entries` entries of the given list lengths.
QByteArray HistoryFile(qint32 entries, int listLength = -1)
{
    static const int lengths[8] = {3, 3, 5, 5, 5, 5, 36, 36};
    Writer w;
    w.version(1).i(1).i(0).t("SN").t("2024/01/01 00:00:00").i(1).i(1).i(entries);
    for (int e = 0; e < entries; ++e) {
        w.i(e);
        for (int g = 0; g < 8; ++g)
            w.list(Sequence(listLength < 0 ? lengths[g] : listLength, e, 1));
    }
    return w.bytes;
}

} // namespace

class TestDiagnose : public QObject {
    Q_OBJECT

private slots:
    void roundTrip()
    {
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        QCOMPARE(store.Initialize(), 0);
        QCOMPARE(store.SetDiagnoseHistory(2, History(2)), 0);
        StandardValueRecord standards[kTileCount];
        FillStandards(standards, kTileCount);
        QCOMPARE(store.SetStandardValues(kTileCount, standards), 0);
        QCOMPARE(store.SetStandardValueInfo(0, QStringLiteral("12345678"), QStringLiteral("2024/02/03 04:05:06")), 0);
        ToleranceRecord tolerances[5];
        FillTolerances(tolerances);
        QCOMPARE(store.SetToleranceValues(5, tolerances), 0);

        CDiagnoseData loaded(dir.path());
        QVERIFY(loaded.LoadDiagnose());
        unsigned int count = 0;
        const DiagnoseHistoryRecord *history = nullptr;
        loaded.GetDiagnoseHistory(&count, &history);
        QCOMPARE(count, 2u);
        QCOMPARE(history[1].SerialNumber, QStringLiteral("SN1"));
        QCOMPARE(history[1].TileCount, quint32(kTileCount));
        for (int t = 0; t < kTileCount; ++t) {
            const TileResultRecord expected = Tile(t + 1);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(&history[1].Tiles[t]), sizeof expected),
                     QByteArray(reinterpret_cast<const char *>(&expected), sizeof expected));
        }
        const StandardValueRecord *readStandards = nullptr;
        loaded.GetStandardValues(&count, &readStandards);
        QCOMPARE(count, unsigned(kTileCount));
        QCOMPARE(readStandards[13].Reflectance[35], standards[13].Reflectance[35]);
        QCOMPARE(readStandards[13].Lab[2], -13.0f);
        QCOMPARE(loaded.GetTileSetRecord().SerialNumber, QStringLiteral("12345678"));
        QCOMPARE(loaded.GetTileSetRecord().CreateTime, QStringLiteral("2024/02/03 04:05:06"));
        const ToleranceRecord *readTolerances = nullptr;
        loaded.GetToleranceValues(&count, &readTolerances);
        QCOMPARE(count, 5u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(readTolerances), sizeof tolerances),
                 QByteArray(reinterpret_cast<const char *>(tolerances), sizeof tolerances));
    }

    // One entry on the stream: tile id, then lists of 3, 3, 5, 5, 5, 5, 36 and 36 values, ints as doubles.
    void entryLayout()
    {
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        auto history = History(1);
        history[0].TileCount = 1;
        const TileResultRecord t = Tile(0);
        QCOMPARE(store.SetDiagnoseHistory(1, std::move(history)), 0);

        Writer w;
        w.version(1).i(1).i(0).t("SN0").t("2024/01/01 10:00:00").i(0).i(1).i(1).i(0);
        w.list({t.MeasuredLab[0], t.MeasuredLab[1], t.MeasuredLab[2]});
        w.list({t.StandardLab[0], t.StandardLab[1], t.StandardLab[2]});
        QVector<double> differences, tolerances;
        for (int k = 0; k < 5; ++k) {
            differences << t.Differences[k];
            tolerances << t.Tolerances[k];
        }
        w.list(differences).list(tolerances).list({0.0, 1.0, 0.0, 1.0, 0.0}).list({2.0, 2.0, 2.0, 2.0, 0.0});
        QVector<double> measured, standard;
        for (int k = 0; k < 36; ++k) {
            measured << t.MeasuredReflectance[k];
            standard << t.StandardReflectance[k];
        }
        w.list(measured).list(standard);
        // No standard values: count 0 and nothing else; then the information and no tolerances.
        w.i(0).i(0).t(QString()).t(QString()).i(0);
        QCOMPARE(ReadAll(store.FilePath()), w.bytes);
    }

    void capacityKept()
    {
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        StandardValueRecord standards[kTileCount];
        FillStandards(standards, kTileCount);
        store.SetStandardValues(kTileCount, standards);
        const StandardValueRecord *before = nullptr;
        unsigned int count = 0;
        store.GetStandardValues(&count, &before);
        QCOMPARE(store.SetStandardValues(0, nullptr), 0);
        const StandardValueRecord *after = nullptr;
        store.GetStandardValues(&count, &after);
        QCOMPARE(count, 0u);
        QCOMPARE(after, before);
        QCOMPARE(store.SetStandardValues(3, standards), 0);
        store.GetStandardValues(&count, &after);
        QCOMPARE(after, before);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("pairs");

        // Longer lists keep their first values and the following fields still read right.
        Writer longer;
        longer.raw(HistoryFile(1, 40));
        longer.i(0).i(0).t("x").t("y").i(1).ints({2, 3, 1}).i(5).d(0.25);
        QTest::newRow("longer lists") << longer.bytes << true << 1 << 1;

        // Twenty entries and twenty pairs: fourteen kept, the rest read and dropped.
        Writer many;
        many.raw(HistoryFile(20));
        many.i(0).i(0).t("x").t("y").i(1).ints({2, 3, 20});
        for (int k = 0; k < 20; ++k)
            many.i(k).d(0.25);
        QTest::newRow("20 entries, 20 pairs") << many.bytes << true << 14 << 14;

        Writer negative;
        negative.version(1).i(-1);
        QTest::newRow("history count -1") << negative.bytes << false << 0 << 0;
        Writer huge;
        huge.version(1).i(0).i(1000000000);
        QTest::newRow("standard count 10^9") << huge.bytes << false << 0 << 0;
        QByteArray bytes = HistoryFile(0);
        bytes.chop(4);
        bytes += Writer().i(-5).bytes;
        QTest::newRow("entry count -5") << bytes << false << 0 << 0;
        const QByteArray cut = HistoryFile(2);
        QTest::newRow("cut short") << cut.left(cut.size() - 3) << false << 0 << 0;
    }

    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, loads);
        QFETCH(int, entries);
        QFETCH(int, pairs);
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        QVERIFY(WriteFile(store.FilePath(), bytes));
        QCOMPARE(store.LoadDiagnose(), loads);
        QCOMPARE(store.Initialize(), 0);
        unsigned int count = 0;
        const DiagnoseHistoryRecord *history = nullptr;
        store.GetDiagnoseHistory(&count, &history);
        const ToleranceRecord *tolerances = nullptr;
        unsigned int toleranceCount = 0;
        store.GetToleranceValues(&toleranceCount, &tolerances);
        if (!loads) {
            QCOMPARE(count, 0u);
            QCOMPARE(toleranceCount, 0u);
            return;
        }
        QCOMPARE(count, 1u);
        QCOMPARE(history[0].TileCount, quint32(entries));
        QCOMPARE(history[0].Tiles[entries - 1].TileId, entries - 1);
        // The first values of each longer list are kept: judgements are read back as ints.
        QCOMPARE(history[0].Tiles[0].MeasuredLab[2], 2.0f);
        QCOMPARE(history[0].Tiles[0].Judgements[4], 4);
        QCOMPARE(history[0].Tiles[0].StandardReflectance[35], 35.0f);
        QCOMPARE(store.GetTileSetRecord().SerialNumber, QStringLiteral("x"));
        QCOMPARE(toleranceCount, 1u);
        QCOMPARE(tolerances[0].PairCount, quint32(pairs));
        QCOMPARE(tolerances[0].Pairs[pairs - 1].Tolerance, 0.25f);
    }

    // A count the file does not back costs no memory ahead of the records: 20,000 histories or tolerance rows
    // with bytes enough for the smallest of them on file, but a damaged second record.
    void countDoesNotAllocateAhead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        constexpr int kCount = 20000;
        const QByteArray filler(kCount * 24, '\xff'); // the second record reads a negative count
        Writer history;
        history.version(1).i(kCount).i(0).t("SN").t("2024/01/01 00:00:00").i(1).i(1).i(0).raw(filler);
        QTest::newRow("history") << history.bytes;
        Writer tolerances;
        tolerances.version(1).i(0).i(0).i(0).t("x").t("y").i(kCount).ints({2, 0, 0}).raw(filler);
        QTest::newRow("tolerances") << tolerances.bytes;
    }

    void countDoesNotAllocateAhead()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        QVERIFY(WriteFile(store.FilePath(), bytes));
        AllocationProbe probe;
        if (!probe.Available())
            QSKIP("needs AddressSanitizer's allocation hook");
        QVERIFY(!store.LoadDiagnose());
        QVERIFY2(probe.LargestAllocation() < (1u << 20), qPrintable(QString::number(probe.LargestAllocation())));
    }

    // A file that did not load is moved aside before the first save; the file written then loads whole.
    void damagedFileKeptOnSave()
    {
        QTemporaryDir dir;
        const QByteArray damaged = HistoryFile(2).left(300);
        {
            CDiagnoseData store(dir.path());
            QVERIFY(WriteFile(store.FilePath(), damaged));
            QCOMPARE(store.Initialize(), 0);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                                   "/Diagnose\\.bin could not be read; it is kept as .*\\.damaged-")));
            QCOMPARE(store.SetStandardValueInfo(0, QStringLiteral("12345678"), QString()), 0);
            QCOMPARE(store.SetStandardValueInfo(1, QStringLiteral("12345678"), QString()), 0);
        }
        const QStringList kept = QDir(dir.path()).entryList({QStringLiteral("Diagnose.bin.damaged-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(ReadAll(dir.filePath(kept.first())), damaged);
        CDiagnoseData again(dir.path());
        QVERIFY(again.LoadDiagnose());
        QCOMPARE(again.GetTileSetRecord().ModelIndex, 1);
        QCOMPARE(again.SaveDiagnose(), 0);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("Diagnose.bin.damaged-*")}, QDir::Files), kept);
    }

    void failedSave()
    {
        QTemporaryDir dir;
        CDiagnoseData store(dir.path());
        QVERIFY(QDir().mkpath(store.FilePath()));
        StandardValueRecord standards[kTileCount];
        FillStandards(standards, kTileCount);
        ToleranceRecord tolerances[5];
        FillTolerances(tolerances);
        QCOMPARE(store.SetStandardValues(kTileCount, standards), kDiagnoseFileError);
        QCOMPARE(store.SetToleranceValues(5, tolerances), kDiagnoseFileError);
        QCOMPARE(store.SetStandardValueInfo(0, QString(), QString()), kDiagnoseFileError);
        QCOMPARE(store.SetDiagnoseHistory(1, History(1)), kDiagnoseFileError);
        QCOMPARE(store.SaveDiagnose(), kDiagnoseFileError);
    }
};

QTEST_GUILESS_MAIN(TestDiagnose)
#include "test_diagnose.moc"
