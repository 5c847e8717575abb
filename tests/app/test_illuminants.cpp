// The user illuminant store: its file, the five slots, generated and unique names and damaged files.

#include "allocationprobe.h"
#include "app/illuminantdata.h"
#include "docfixtures.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

namespace {

std::unique_ptr<EnvironLightData[]> Records(const QStringList &names)
{
    auto records = std::make_unique<EnvironLightData[]>(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i) {
        records[i].Name = names[i];
        records[i].Date = QStringLiteral("2024013123595%1").arg(i);
        records[i].Source = i % 4;
        for (int v = 0; v < kEnvironLightValueCount; ++v)
            records[i].Values[v] = 0.125f * float(v + i);
    }
    return records;
}

// A store in a fresh folder whose file holds these records.
struct LightStore {
    QTemporaryDir dir;
    CIlluminantData data{dir.path()};
    explicit LightStore(const QStringList &names = {})
    {
        if (!names.isEmpty())
            data.SetEnvironLightData(names.size(), Records(names));
        data.RebuildSlots();
    }
};

QByteArray UserLightHeader(qint32 count)
{
    return Writer().version(1).i(count).bytes;
}

} // namespace

class TestIlluminants : public QObject {
    Q_OBJECT

private slots:
    void roundTrip()
    {
        LightStore s({"A", "B", "C"});
        s.data.GetRecord(1)->End = 400;
        QCOMPARE(s.data.SaveUserIlluminant(), 0);
        const QByteArray bytes = ReadAll(s.data.FilePath());
        QCOMPARE(bytes.left(2), QByteArray("\x01\x00", 2));

        // The second record writes (400 - 300) / 5 + 1 = 21 values.
        Writer expected;
        expected.version(1).i(3);
        for (int i = 0; i < 3; ++i) {
            const EnvironLightData &r = *s.data.GetRecord(i);
            expected.t(r.Name).t(r.Date).ints({r.Source, r.Start, r.Step, r.End});
            QVector<double> values;
            for (int v = 0; v < (i == 1 ? 21 : 97); ++v)
                values << r.Values[v];
            expected.list(values);
        }
        QCOMPARE(bytes, expected.bytes);

        CIlluminantData loaded(s.dir.path());
        QCOMPARE(loaded.Initialize(), 0);
        QCOMPARE(loaded.GetRecordCount(), 3);
        QCOMPARE(loaded.GetRecord(2)->Name, QStringLiteral("C"));
        QCOMPARE(loaded.GetRecord(2)->Values[96], s.data.GetRecord(2)->Values[96]);
        QCOMPARE(loaded.GetRecord(1)->Values[20], s.data.GetRecord(1)->Values[20]);
        QCOMPARE(loaded.GetRecord(1)->Values[21], 0.0f);
        QCOMPARE(loaded.GetSlots()[2].Number, 2);
        QVERIFY(!loaded.GetRecord(3));
        QVERIFY(!loaded.GetRecord(-1));
    }

    void slotsShowFirstFive()
    {
        LightStore s({"1", "2", "3", "4", "5", "6"});
        CIlluminantData loaded(s.dir.path());
        loaded.Initialize();
        QCOMPARE(loaded.GetRecordCount(), 6);
        QCOMPARE(loaded.GetSlots()[4].Name, QStringLiteral("5"));
        QCOMPARE(loaded.GetSlots()[0].DisplayDate, QStringLiteral("2024/01/31 23:59:50"));
        LightStore one;
        auto record = std::make_unique<EnvironLightData[]>(1);
        record[0].Date = QStringLiteral("20240131235959");
        one.data.SetEnvironLightData(1, std::move(record));
        one.data.RebuildSlots();
        QCOMPARE(one.data.GetSlots()[0].DisplayDate, QStringLiteral("2024/01/31 23:59:59"));
        QCOMPARE(one.data.GetSlots()[1].Number, -1);
    }

    // The store keeps what it is handed: the caller's array may end right after the hand-over.
    void handOverMovesRecords()
    {
        LightStore s;
        {
            auto records = Records({"Lamp", "Window"});
            QCOMPARE(s.data.SetEnvironLightData(2, std::move(records)), 0);
        }
        s.data.RebuildSlots();
        QCOMPARE(s.data.GetSlots()[1].Name, QStringLiteral("Window"));
        QCOMPARE(s.data.GetRecord(1)->Values[96], 0.125f * 97);
        CIlluminantData loaded(s.dir.path());
        QVERIFY(loaded.LoadUserIlluminant());
        QCOMPARE(loaded.GetRecord(1)->Name, QStringLiteral("Window"));
    }

    void names()
    {
        LightStore s({"UserIlluminant1", "UserIlluminant3"});
        QCOMPARE(s.data.GetNewIlluminantNumber(), 1);
        LightStore full({"UserIlluminant1", "UserIlluminant2", "UserIlluminant3", "UserIlluminant4", "UserIlluminant5"});
        QCOMPARE(full.data.GetNewIlluminantNumber(), -1);

        LightStore other({"Lamp", "x"});
        QCOMPARE(other.data.MakeUniqueName(QStringLiteral("LAMP"), 1), QStringLiteral("LAMP-1"));
        QCOMPARE(other.data.MakeUniqueName(QStringLiteral("LAMP"), 0), QStringLiteral("LAMP"));
        QCOMPARE(other.data.RenameSlot(QStringLiteral("lamp"), 1), 0);
        QCOMPARE(other.data.GetSlots()[1].Name, QStringLiteral("lamp-1"));
        // Renaming to its own name again does not collide with itself.
        QCOMPARE(other.data.RenameSlot(QStringLiteral("lamp-1"), 1), 0);
        QCOMPARE(other.data.GetSlots()[1].Name, QStringLiteral("lamp-1"));
        QCOMPARE(other.data.RenameSlot(QStringLiteral("z"), 2), kIlluminantSlotUnused);
        QCOMPARE(other.data.RenameSlot(QStringLiteral("z"), 7), kIlluminantSlotUnused);

        LightStore taken({"n", "n-1", "N-2", "n-3", "n-4"});
        QCOMPARE(taken.data.MakeUniqueName(QStringLiteral("n"), 4), QStringLiteral("n-4"));
        QCOMPARE(taken.data.MakeUniqueName(QStringLiteral("N"), 5), QStringLiteral("N"));

        EnvironLightData record;
        QString out;
        s.data.SetIlluminantName(&record, &out, QString(), 2);
        QCOMPARE(out, QStringLiteral("UserIlluminant3"));
        s.data.SetIlluminantName(&record, &out, QStringLiteral("Mine"), 2);
        QCOMPARE(record.Name, QStringLiteral("Mine"));
    }

    void unwritable()
    {
        LightStore s({"A"});
        const QByteArray before = ReadAll(s.data.FilePath());
        QVERIFY(!before.isEmpty());
        {
            NoFileGrowth limit;
            QCOMPARE(s.data.SetEnvironLightData(2, Records({"B", "C"})), kIlluminantFileError);
        }
        QCOMPARE(ReadAll(s.data.FilePath()), before);
        // A folder where the file goes.
        QTemporaryDir blocked;
        QVERIFY(QDir().mkpath(blocked.filePath(QStringLiteral("UserLight.bin"))));
        CIlluminantData data(blocked.path());
        QCOMPARE(data.SetEnvironLightData(1, Records({"B"})), kIlluminantFileError);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("loads");
        Writer cut;
        cut.version(1).i(1).t("A").t("20240101000000").ints({0, 300, 5});
        QTest::newRow("count -1") << UserLightHeader(-1) << false;
        QTest::newRow("count 10^9") << UserLightHeader(1000000000) << false;
        QTest::newRow("record cut short") << cut.bytes << false;
        Writer longList;
        longList.version(1).i(1).t("A").t("").ints({0, 300, 5, 780}).list(Sequence(200, 1)).i(12345);
        QTest::newRow("list of 200 values") << longList.bytes << true;
        Writer stepZero;
        stepZero.version(1).i(1).t("Z").t("").ints({0, 300, 0, 780}).list(Sequence(97, 1));
        QTest::newRow("step 0") << stepZero.bytes << true;
    }

    // A count the file does not back costs no memory ahead of the records: 20,000 with bytes enough for the
    // smallest record on file, but a damaged second record.
    void countDoesNotAllocateAhead()
    {
        constexpr int kCount = 20000;
        Writer w;
        w.version(1).i(kCount).t("A").t("20240101000000").ints({0, 300, 5, 300}).list({1.0});
        w.raw(QByteArray(kCount * 36, '\xff')); // the second record reads a negative list count
        LightStore s;
        QVERIFY(WriteFile(s.data.FilePath(), w.bytes));
        AllocationProbe probe;
        if (!probe.Available())
            QSKIP("needs AddressSanitizer's allocation hook");
        QVERIFY(!s.data.LoadUserIlluminant());
        QVERIFY2(probe.LargestAllocation() < (1u << 20), qPrintable(QString::number(probe.LargestAllocation())));
    }

    // A file that did not load is moved aside before the first save; the file written then loads whole.
    void damagedFileKeptOnSave()
    {
        LightStore s;
        const QByteArray damaged = UserLightHeader(2) + Writer().t("A").t("").ints({0, 300}).bytes;
        QVERIFY(WriteFile(s.data.FilePath(), damaged));
        QCOMPARE(s.data.Initialize(), 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "/UserLight\\.bin could not be read; it is kept as .*\\.damaged-")));
        QCOMPARE(s.data.SetEnvironLightData(1, Records({"New"})), 0);
        QCOMPARE(s.data.SetEnvironLightData(2, Records({"New", "Other"})), 0);
        const QStringList kept = QDir(s.dir.path()).entryList({QStringLiteral("UserLight.bin.damaged-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(ReadAll(s.dir.filePath(kept.first())), damaged);
        CIlluminantData again(s.dir.path());
        QVERIFY(again.LoadUserIlluminant());
        QCOMPARE(again.GetRecordCount(), 2);
        QCOMPARE(again.SaveUserIlluminant(), 0);
        QCOMPARE(QDir(s.dir.path()).entryList({QStringLiteral("UserLight.bin.damaged-*")}, QDir::Files), kept);
    }

    // Damaged files never crash and leave the store as it was; records that load save without dividing by 0.
    void damaged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, loads);
        LightStore s({"Keep"});
        QVERIFY(WriteFile(s.data.FilePath(), bytes));
        QCOMPARE(s.data.LoadUserIlluminant(), loads);
        QCOMPARE(s.data.Initialize(), 0);
        QCOMPARE(s.data.GetRecordCount(), 1);
        if (!loads) {
            QCOMPARE(s.data.GetRecord(0)->Name, QStringLiteral("Keep"));
            return;
        }
        QCOMPARE(s.data.GetRecord(0)->Values[96], 97.0f);
        QCOMPARE(s.data.SaveUserIlluminant(), 0);
        CIlluminantData again(s.dir.path());
        QVERIFY(again.LoadUserIlluminant());
        QCOMPARE(again.GetRecord(0)->Values[96], 97.0f);
    }
};

QTEST_GUILESS_MAIN(TestIlluminants)
#include "test_illuminants.moc"
