// The Lumet controller over the real libvexapi and the simulated instrument: every library call it makes is
// seen on the wire.
#include "app/illuminantdata.h"
#include "app/vexsdkcontroller.h"

#include "libvexapi/lumet_protocol.h"
#include "vexhid_sim.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

struct Request {
    int command;
    std::vector<unsigned char> payload;
};

std::vector<Request> Requests()
{
    std::vector<Request> out;
    for (int i = 0; i < VexSim_LogCount(); ++i) {
        VexSimLogEntry e{};
        VexSim_LogEntry(i, &e);
        if (e.event != VEXSIM_LOG_REQUEST)
            continue;
        Request r{e.command, {}};
        r.payload.resize(static_cast<std::size_t>(VexSim_LogPayload(i, nullptr, 0)));
        VexSim_LogPayload(i, r.payload.data(), static_cast<int>(r.payload.size()));
        out.push_back(r);
    }
    return out;
}

int CountEvents(int event)
{
    int n = 0;
    for (int i = 0; i < VexSim_LogCount(); ++i) {
        VexSimLogEntry e{};
        VexSim_LogEntry(i, &e);
        n += e.event == event;
    }
    return n;
}

// Remote-mode writes switching the mode off.
int RemoteOffCount()
{
    int n = 0;
    for (const Request &r : Requests())
        n += r.command == lumet::kCmdRemoteMode && r.payload.size() >= 2 && r.payload[0] == 1 && r.payload[1] == 0;
    return n;
}

VexSimStoredSeed Seed(float base, std::initializer_list<int> date)
{
    VexSimStoredSeed seed{};
    for (int i = 0; i < 421; ++i)
        seed.spectrum[i] = base + 0.001f * static_cast<float>(i);
    std::copy(date.begin(), date.end(), seed.date);
    return seed;
}

void AddFault(int command, int kind, int value, int skip)
{
    VexSimFault fault{};
    fault.command = command;
    fault.kind = kind;
    fault.value = value;
    fault.skip = skip;
    VexSim_AddFault(0, &fault);
}

} // namespace

class TestVexController : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        VexSim_Reset();
        VexSim_AddInstrument(nullptr);
    }

    void cleanup() { QCOMPARE(VexSim_OpenHandleCount(), 0); }

    void downloadConvertsRecords()
    {
        const VexSimStoredSeed first = Seed(0.5f, {2024, 3, 7, 9, 5, 2});
        const VexSimStoredSeed second = Seed(1.25f, {1999, 12, 31, 23, 59, 58});
        VexSim_AddStoredMeasurement(0, &first);
        VexSim_AddStoredMeasurement(0, &second);

        CVexSDKController controller;
        int kind = -1;
        int serial = 0;
        QCOMPARE(controller.OpenDevice(&kind, &serial), 0);
        const EnvironLightData *records = nullptr;
        int count = 0;
        QCOMPARE(controller.ReadStoredData(&records, &count), 0);
        QCOMPARE(count, 2);
        QVERIFY(records);

        const EnvironLightData &r = records[0];
        for (int j = 0; j < 12; ++j)
            QCOMPARE(r.Values[j], 0.0f);
        QCOMPARE(r.Values[12], static_cast<float>(first.spectrum[0] * 1000.0));   // 360 nm
        QCOMPARE(r.Values[13], static_cast<float>(first.spectrum[5] * 1000.0));   // 365 nm
        QCOMPARE(r.Values[96], static_cast<float>(first.spectrum[420] * 1000.0)); // 780 nm
        QCOMPARE(r.Start, 300);
        QCOMPARE(r.Step, 5);
        QCOMPARE(r.End, 780);
        QCOMPARE(r.Source, 3);
        QVERIFY(r.Name.isEmpty());
        // Minutes stay before seconds.
        QCOMPARE(r.Date, QStringLiteral("20240307090502"));

        EnvironLightData copy;
        QCOMPARE(controller.GetStoredRecord(&copy, 1), 0);
        QCOMPARE(copy.Date, QStringLiteral("19991231235958"));
        QCOMPARE(copy.Values[96], static_cast<float>(second.spectrum[420] * 1000.0));
        QCOMPARE(controller.CloseDevice(), 0);
    }

    void nothingStored()
    {
        CVexSDKController controller;
        QCOMPARE(controller.OpenDevice(nullptr, nullptr), 0);
        const EnvironLightData *records = nullptr;
        int count = -1;
        QCOMPARE(controller.ReadStoredData(&records, &count), int(CVexSDKController::kNothingStored));
        QVERIFY(!records);
        EnvironLightData record;
        QCOMPARE(controller.GetStoredRecord(&record, 0), int(CVexSDKController::kNoRecords));
        controller.CloseDevice();
    }

    void openFailures_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("remoteOff");
        QTest::newRow("no instrument") << 0 << int(CVexSDKController::kNoInstrument) << 0;
        QTest::newRow("remote mode fails") << 1 << int(CVexSDKController::kRemoteModeFailed) << 0;
        QTest::newRow("device id fails") << 2 << int(CVexSDKController::kDeviceIdFailed) << 1;
    }

    void openFailures()
    {
        QFETCH(int, failure);
        QFETCH(int, expected);
        QFETCH(int, remoteOff);
        if (failure == 0) {
            VexSim_Reset();
        } else if (failure == 1) {
            AddFault(lumet::kCmdRemoteMode, VEXSIM_FAULT_STATUS, 2, 0);
        } else {
            // An information block without the maker's magic: remote mode comes on, the identity read fails.
            unsigned char info[lumet::kInfoBlockSize];
            QCOMPARE(VexSim_GetBlock(0, 0, info, sizeof info), int(sizeof info));
            info[lumet::kInfoMagicOffset] = 'X';
            VexSim_SetBlock(0, 0, info, sizeof info);
        }
        VexSim_ClearLog();

        CVexSDKController controller;
        int kind = -1;
        int serial = -1;
        QCOMPARE(controller.OpenDevice(&kind, &serial), expected);
        QVERIFY(!controller.IsOpen());
        QCOMPARE(kind, -1);
        QCOMPARE(serial, -1);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        QCOMPARE(RemoteOffCount(), remoteOff);
        if (failure == 2)
            QCOMPARE(VexSim_RemoteMode(0), 0);
        QVERIFY(controller.GetSerialNumber().isEmpty());

        // Nothing half-open is kept: the next attempt opens the instrument again.
        if (failure == 0)
            VexSim_AddInstrument(nullptr);
        VexSim_ClearLog();
        const int again = controller.OpenDevice(&kind, &serial);
        QVERIFY(CountEvents(VEXSIM_LOG_OPEN) > 0);
        QCOMPARE(again, failure == 2 ? expected : 0);
        controller.CloseDevice();
    }

    void deviceKind_data()
    {
        QTest::addColumn<int>("typeHigh");
        QTest::addColumn<int>("typeLow");
        QTest::addColumn<int>("kind");
        QTest::newRow("lumet") << 0x01 << 0x00 << 3;
        QTest::newRow("other") << 0x02 << 0x00 << 0;
        QTest::newRow("near miss") << 0x01 << 0x01 << 0;
    }

    void deviceKind()
    {
        QFETCH(int, typeHigh);
        QFETCH(int, typeLow);
        QFETCH(int, kind);
        unsigned char info[lumet::kInfoBlockSize];
        QCOMPARE(VexSim_GetBlock(0, 0, info, sizeof info), int(sizeof info));
        info[6] = static_cast<unsigned char>(typeHigh);
        info[7] = static_cast<unsigned char>(typeLow);
        VexSim_SetBlock(0, 0, info, sizeof info);

        CVexSDKController controller;
        int gotKind = -1;
        int serial = 0;
        QCOMPARE(controller.OpenDevice(&gotKind, &serial), 0);
        QVERIFY(controller.IsOpen());
        QCOMPARE(gotKind, kind);
        QCOMPARE(serial, 12345678);
        QCOMPARE(controller.GetSerialNumber(), QStringLiteral("12345678"));
        QCOMPARE(VexSim_RemoteMode(0), 1);

        VexSim_ClearLog();
        QCOMPARE(controller.OpenDevice(&gotKind, &serial), int(CVexSDKController::kAlreadyOpen));
        QCOMPARE(CountEvents(VEXSIM_LOG_OPEN), 0);
        controller.CloseDevice();
    }

    void close()
    {
        CVexSDKController controller;
        VexSim_ClearLog();
        QCOMPARE(controller.CloseDevice(), 0);
        QCOMPARE(VexSim_LogCount(), 0);

        QCOMPARE(controller.OpenDevice(nullptr, nullptr), 0);
        VexSim_ClearLog();
        QCOMPARE(controller.CloseDevice(), 0);
        QVERIFY(!controller.IsOpen());
        // Remote off comes from the controller alone, then both interfaces close.
        QCOMPARE(RemoteOffCount(), 1);
        QCOMPARE(CountEvents(VEXSIM_LOG_CLOSE), 2);
        QCOMPARE(VexSim_RemoteMode(0), 0);
        QVERIFY(controller.GetSerialNumber().isEmpty());
        QCOMPARE(controller.CloseDevice(), 0);
    }

    void recordIndex_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("last") << 2 << 0;
        QTest::newRow("negative") << -1 << int(CVexSDKController::kIndexOutOfRange);
        QTest::newRow("count") << 3 << int(CVexSDKController::kIndexOutOfRange);
    }

    void recordIndex()
    {
        QFETCH(int, index);
        QFETCH(int, expected);
        for (int i = 0; i < 3; ++i) {
            const VexSimStoredSeed seed = Seed(float(i), {2020, 1, 2, 3, 4, i});
            VexSim_AddStoredMeasurement(0, &seed);
        }
        CVexSDKController controller;
        QCOMPARE(controller.OpenDevice(nullptr, nullptr), 0);
        QCOMPARE(controller.ReadStoredData(nullptr, nullptr), 0);
        EnvironLightData record;
        record.Name = QStringLiteral("untouched");
        QCOMPARE(controller.GetStoredRecord(&record, index), expected);
        if (expected == 0)
            QCOMPARE(record.Date, QStringLiteral("202001020304%1").arg(index, 2, 10, QLatin1Char('0')));
        else
            QCOMPARE(record.Name, QStringLiteral("untouched"));
        controller.CloseDevice();
    }

    void repeatedDownloads()
    {
        const VexSimStoredSeed a = Seed(1.0f, {2021, 1, 1, 0, 0, 0});
        const VexSimStoredSeed b = Seed(2.0f, {2022, 1, 1, 0, 0, 0});
        VexSim_AddStoredMeasurement(0, &a);
        VexSim_AddStoredMeasurement(0, &b);
        CVexSDKController controller;
        QCOMPARE(controller.OpenDevice(nullptr, nullptr), 0);
        const EnvironLightData *records = nullptr;
        int count = 0;
        QCOMPARE(controller.ReadStoredData(&records, &count), 0);
        QCOMPARE(count, 2);

        // The second download replaces the first array (LeakSanitizer sees the old one freed).
        const VexSimStoredSeed c = Seed(3.0f, {2023, 1, 1, 0, 0, 0});
        VexSim_AddStoredMeasurement(0, &c);
        QCOMPARE(controller.ReadStoredData(&records, &count), 0);
        QCOMPARE(count, 3);
        QCOMPARE(records[2].Date, QStringLiteral("20230101000000"));

        // A failing download leaves nothing behind.
        VexSim_OverrideStoredCount(0, 101);
        QCOMPARE(controller.ReadStoredData(&records, &count), int(CVexSDKController::kNothingStored));
        EnvironLightData record;
        QCOMPARE(controller.GetStoredRecord(&record, 0), int(CVexSDKController::kNoRecords));
        controller.CloseDevice();
    }

    void recordReadFails()
    {
        for (int i = 0; i < 3; ++i) {
            const VexSimStoredSeed seed = Seed(float(i), {2020, 1, 1, 0, 0, 0});
            VexSim_AddStoredMeasurement(0, &seed);
        }
        CVexSDKController controller;
        QCOMPARE(controller.OpenDevice(nullptr, nullptr), 0);
        // The count passes, the second record read gets no reply.
        AddFault(lumet::kCmdStoredRecord, VEXSIM_FAULT_NO_REPLY, 0, 4);
        const EnvironLightData *records = nullptr;
        int count = -1;
        QCOMPARE(controller.ReadStoredData(&records, &count), int(CVexSDKController::kStoredReadFailed));
        QVERIFY(!records);
        EnvironLightData record;
        QCOMPARE(controller.GetStoredRecord(&record, 0), int(CVexSDKController::kNoRecords));
        controller.CloseDevice();
    }

    void withoutDevice()
    {
        CVexSDKController controller;
        VexSim_ClearLog();
        QCOMPARE(controller.ReadStoredData(nullptr, nullptr), int(CVexSDKController::kNothingStored));
        QVERIFY(controller.GetSerialNumber().isEmpty());
        QCOMPARE(VexSim_LogCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestVexController)
#include "test_vex_controller.moc"
