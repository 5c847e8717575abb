// Records through the exports: stored measurements, targets, user calibrations, ranks, differences.
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

VexStoredMeasurement Stored(float level, int day)
{
    VexStoredMeasurement r{};
    for (int i = 0; i < 421; ++i)
        r.values[i] = level + 0.001f * static_cast<float>(i);
    r.date = {2024, 3, day, 9, 5, 2};
    r.observer = 1;
    r.value1 = 65535;
    r.value2 = day;
    r.value3 = 255;
    return r;
}

std::vector<int> History(VEX_HANDLE h)
{
    VexErrorHistory e{};
    VexGetPrevError(h, &e);
    return std::vector<int>(e.codes, e.codes + e.count);
}

VexTargetData Named(const char* name)
{
    VexTargetData t{};
    for (float& f : t.values)
        f = 1.0f;
    t.date = {2020, 5, 6, 7, 8, 9};
    std::memcpy(t.name, name, std::min<std::size_t>(std::strlen(name), 16));
    return t;
}

}  // namespace

class TestRecords : public QObject {
    Q_OBJECT

private:
    VEX_HANDLE h = nullptr;
    int ins = 0;

private slots:
    void init()
    {
        ins = simbus::OneInstrument();
        QCOMPARE(VexOpenDevice(&h), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
    }
    void cleanup() { VexCloseDevice(h); }

    void storedRoundTripAndStaleCache()
    {
        std::vector<VexStoredMeasurement> first = {Stored(1, 1), Stored(2, 2), Stored(3, 3)};
        QCOMPARE(VexSetDeviceStoredData(h, first.data(), 3), 0);
        std::vector<VexStoredMeasurement> got(3);
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 8, 3), 0);
        QCOMPARE(std::memcmp(got.data(), first.data(), 3 * sizeof(VexStoredMeasurement)), 0);
        // Same count, new records: the next download must not serve the old ones.
        std::vector<VexStoredMeasurement> second = {Stored(7, 7), Stored(8, 8), Stored(9, 9)};
        QCOMPARE(VexSetDeviceStoredData(h, second.data(), 3), 0);
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 8, 3), 0);
        QCOMPARE(std::memcmp(got.data(), second.data(), 3 * sizeof(VexStoredMeasurement)), 0);
        // Other kinds keep the record's own date and ints.
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 0, 3), 0);
        QCOMPARE(got[1].date.day, 8);
        QCOMPARE(got[1].value2, 8);
        QVERIFY(got[1].values[1] > 0.0f && got[1].values[1] < 1.0f);

        QCOMPARE(VexSetDeviceStoredData(h, second.data(), 0), 8803);
        QCOMPARE(VexSetDeviceStoredData(h, second.data(), 101), 8803);
        simbus::AddFault(ins, lumet::kCmdStoredRecord, VEXSIM_FAULT_STATUS, 4, 1);
        QCOMPARE(VexSetDeviceStoredData(h, first.data(), 3), 8804);
        VexSim_ClearLog();
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 8, 3), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdStoredRecord, lumet::kRecordRead), 3);
        QCOMPARE(got[0].date.day, 1);  // record 1 was written before the failure
    }

    void deleteStored()
    {
        std::vector<VexStoredMeasurement> five;
        for (int i = 1; i <= 5; ++i)
            five.push_back(Stored(static_cast<float>(i), i));
        QCOMPARE(VexSetDeviceStoredData(h, five.data(), 5), 0);
        std::vector<VexStoredMeasurement> got(5);
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 8, 5), 0);
        QCOMPARE(VexDeleteDeviceStoredData(h, 6), 8906);
        QCOMPARE(VexDeleteDeviceStoredData(h, 3), 0);
        VexSim_ClearLog();
        QCOMPARE(VexGetDeviceStoredData(h, got.data(), 8, 4), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdStoredRecord, lumet::kRecordRead), 0);  // cache followed
        QCOMPARE(got[2].date.day, 4);
        QCOMPARE(got[3].date.day, 5);
        QCOMPARE(VexDeleteDeviceStoredData(h, -1), 0);
        int count = -1;
        QCOMPARE(VexGetDeviceStoredDataNum(h, &count), 0);
        QCOMPARE(count, 0);
    }

    void targets()
    {
        VexTargetData t = Named("lamp");
        t.date = {2024, 1, 2, 3, 4, 5};
        t.reserved = 77;
        QCOMPARE(VexSetTargetData(h, 4, &t), 0);
        VexTargetData back{};
        back.reserved = 5;
        QCOMPARE(VexGetTargetData(h, 4, &back), 0);
        QCOMPARE(std::memcmp(back.values, t.values, sizeof t.values), 0);
        QCOMPARE(QString(back.name), QString("lamp"));
        QCOMPARE(back.date.second, 5);
        QCOMPARE(back.reserved, 0);
        QCOMPARE(VexGetTargetData(h, 5, &back), 5506);
        QCOMPARE(VexGetTargetData(h, 21, &back), 5502);
    }

    void dates_data()
    {
        QTest::addColumn<QList<int>>("date");
        QTest::addColumn<int>("code");
        QTest::newRow("2100-02-29") << QList<int>{2100, 2, 29, 0, 0, 0} << 6104;
        QTest::newRow("2012-02-29") << QList<int>{2012, 2, 29, 0, 0, 0} << 0;
        QTest::newRow("2011-01-01") << QList<int>{2011, 1, 1, 0, 0, 0} << 0;
        QTest::newRow("2010-12-31") << QList<int>{2010, 12, 31, 0, 0, 0} << 6102;
        QTest::newRow("April 31") << QList<int>{2020, 4, 31, 0, 0, 0} << 6104;
        QTest::newRow("month 13") << QList<int>{2020, 13, 1, 0, 0, 0} << 6103;
        QTest::newRow("hour 24") << QList<int>{2020, 1, 1, 24, 0, 0} << 6105;
        QTest::newRow("minute 60") << QList<int>{2020, 1, 1, 0, 60, 0} << 6106;
        QTest::newRow("second 60") << QList<int>{2020, 1, 1, 0, 0, 60} << 6107;
        QTest::newRow("year -1") << QList<int>{-1, 1, 1, 0, 0, 0} << 6102;
    }
    void dates()
    {
        QFETCH(QList<int>, date);
        QFETCH(int, code);
        VexTargetData t = Named("x");
        t.date = {date[0], date[1], date[2], date[3], date[4], date[5]};
        QCOMPARE(VexSetTargetData(h, 1, &t), code ? 5405 : 0);
        if (code)
            QCOMPARE(History(h), std::vector<int>{code});
    }

    void names_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("12") << QByteArray("abcdefghijkl") << 0;
        QTest::newRow("13") << QByteArray("abcdefghijklm") << 6501;
        QTest::newRow("125") << QByteArray("a}") << 0;
        QTest::newRow("126") << QByteArray("a~") << 6502;
        QTest::newRow("31") << QByteArray("a\x1f") << 6502;
        QTest::newRow("200") << QByteArray("a\xc8") << 6502;
    }
    void names()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, code);
        VexTargetData t = Named(name.constData());
        QCOMPARE(VexSetTargetData(h, 1, &t), code ? 5406 : 0);
    }

    void userCalibrationFactors()
    {
        VexUserCalibrationData u = Named("uc");
        u.values[10] = 0.0009f;
        VexSim_ClearLog();
        QCOMPARE(VexSetUserCalibrationData(h, 3, &u), 2102);
        QCOMPARE(simbus::CountRequests(lumet::kCmdUserCalibrationRecord), 0);
        u.values[10] = std::nanf("");
        QCOMPARE(VexSetUserCalibrationData(h, 3, &u), 2102);
        u.values[10] = 1000.0f;
        QCOMPARE(VexSetUserCalibrationData(h, 3, &u), 0);

        std::vector<float> a(421, 1.0f), b(421, 1.0f), out(421, -1.0f);
        b[0] = 0.0f;
        a[1] = 5000.0f;
        QCOMPARE(VexCalcUserCalibrationData(h, out.data(), a.data(), b.data()), 0);
        QCOMPARE(out[0], 0.001f);
        QCOMPARE(out[1], 1000.0f);
        a[2] = std::nanf("");
        QCOMPARE(VexCalcUserCalibrationData(h, out.data(), a.data(), b.data()), 2401);
        QVERIFY(std::all_of(out.begin(), out.end(), [](float f) { return f == 0.0f; }));
    }

    void deletingTheHeldCalibration_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("all") << -1;
        QTest::newRow("the held one") << 3;
    }
    void deletingTheHeldCalibration()
    {
        QFETCH(int, number);
        VexUserCalibrationData u = Named("uc");
        for (float& f : u.values)
            f = 2.0f;
        QCOMPARE(VexSetUserCalibrationData(h, 3, &u), 0);
        VexMeasSetting s{};
        s.userCalibration = 3;
        QCOMPARE(VexSetMeasSetting(h, 5, &s), 0);
        int ready = 0, state = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        QCOMPARE(VexPollingMeasure(h, &state), 0);
        float held[421], plain[421];
        QCOMPARE(VexGetMeasData(h, 8, held), 0);
        QCOMPARE(VexDeleteUserCalibrationData(h, number), 0);
        QCOMPARE(VexGetMeasData(h, 8, plain), 0);
        QCOMPARE(held[100], 2.0f * plain[100]);
    }

    void failedReloadHoldsNone()
    {
        VexUserCalibrationData u = Named("uc");
        QCOMPARE(VexSetUserCalibrationData(h, 3, &u), 0);
        VexMeasSetting s{};
        s.userCalibration = 3;
        QCOMPARE(VexSetMeasSetting(h, 5, &s), 0);
        simbus::AddFault(ins, lumet::kCmdSelectedUserCalibration, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexDeleteUserCalibrationData(h, 3), 2304);
    }

    void ranks()
    {
        VexRankData xy{};
        std::strcpy(xy.name, "xy");
        const float v[] = {0.3f, 0.3f, 0.5f, 0.3f, 0.4f, 0.5f};
        std::copy(std::begin(v), std::end(v), xy.xy);
        xy.vertexCount = 3;
        xy.flag = 1;
        QCOMPARE(VexSetRankData(h, 3, &xy), 0);
        VexRankData td{};
        td.type = 1;
        std::strcpy(td.name, "tduv");
        const float t[] = {2500.0f, -0.01f, 3500.0f, -0.01f, 3500.0f, 0.01f, 2500.0f, 0.01f};
        std::copy(std::begin(t), std::end(t), td.tduv);
        td.vertexCount = 4;
        td.flag = 1;
        QCOMPARE(VexSetRankData(h, 4, &td), 0);
        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
        VexRankData back{};
        QCOMPARE(VexGetRankData(h, 3, &back), 0);
        QCOMPARE(std::memcmp(&back, &xy, sizeof xy), 0);
        QCOMPARE(VexGetRankData(h, 4, &back), 0);
        QVERIFY(back.xy[0] > 0.4f && back.xy[0] < 0.5f);

        // A failed write keeps the entry the instrument still holds.
        VexRankData other = xy;
        std::strcpy(other.name, "other");
        simbus::AddFault(ins, lumet::kCmdRankRecord, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetRankData(h, 3, &other), 6604);
        QCOMPARE(VexGetRankData(h, 3, &back), 0);
        QCOMPARE(QString(back.name), QString("xy"));

        // The default 3000 K source lies in both entries: the first wins.
        int ready = 0, state = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        QCOMPARE(VexPollingMeasure(h, &state), 0);
        VexRankResult r{};
        QCOMPARE(VexSortOutRank(h, &r), 0);
        QCOMPARE(r.index, 3);
        QCOMPARE(VexDeleteRankData(h, 3), 0);
        QCOMPARE(VexSortOutRank(h, &r), 0);
        QCOMPARE(r.index, 4);
        QCOMPARE(QString(r.name), QString("tduv"));
        QCOMPARE(VexDeleteRankData(h, 4), 0);
        VexRankData far = xy;
        const float f[] = {0.1f, 0.1f, 0.2f, 0.1f, 0.15f, 0.2f};
        std::copy(std::begin(f), std::end(f), far.xy);
        QCOMPARE(VexSetRankData(h, 7, &far), 0);
        QCOMPARE(VexSortOutRank(h, &r), 1);
        int warning = 0;
        QCOMPARE(VexGetWarning(h, &warning), 0);
        QCOMPARE(warning, 4);
        QCOMPARE(VexDeleteRankData(h, -1), 0);
        QCOMPARE(VexSortOutRank(h, &r), 8105);
        VexRankData untouched{};
        untouched.flag = 9;
        QCOMPARE(VexGetRankData(h, 3, &untouched), 8204);
        QCOMPARE(History(h), std::vector<int>{20104});
        QCOMPARE(untouched.flag, 9);
        QCOMPARE(VexGetRankData(h, 21, &untouched), 8205);
    }

    void colourDifference()
    {
        int ready = 0, state = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        QCOMPARE(VexPollingMeasure(h, &state), 0);
        float measured[421];
        QCOMPARE(VexGetMeasData(h, 8, measured), 0);
        VexSimSpectralSeed seed{};
        for (int i = 0; i < 421; ++i)
            seed.values[i] = measured[i] / 1.1f;
        VexSim_SetSpectralRecord(ins, lumet::kCmdTargetRecord, 2, &seed);
        VexSim_SetSetting(ins, lumet::kCmdSelectedTarget, 2);
        float ev[421];
        QCOMPARE(VexGetMeasData(h, 0, ev), 0);
        float d[421];
        QCOMPARE(VexGetColorDifference(h, 0, d), 0);
        QVERIFY(std::fabs(d[1] - 110.0f) < 1e-3f);
        QVERIFY(std::fabs(d[0] - (ev[0] - ev[0] / 1.1f)) < 1e-3f * ev[0]);
        QVERIFY(std::fabs(d[2]) < 1e-6f);
        QVERIFY(std::fabs(d[3]) < 1e-6f);
        QCOMPARE(VexGetColorDifference(h, 8, d), 4705);
        QCOMPARE(History(h), std::vector<int>{50130});
        VexSim_SetSetting(ins, lumet::kCmdSelectedTarget, 0);
        QCOMPARE(VexGetColorDifference(h, 0, d), 4701);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
