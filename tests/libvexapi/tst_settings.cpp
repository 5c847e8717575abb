// Measurement and system settings, the periodic-calibration date and the list items through the exports.
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

std::vector<int> History(VEX_HANDLE h)
{
    VexErrorHistory e{};
    VexGetPrevError(h, &e);
    return std::vector<int>(e.codes, e.codes + e.count);
}

// Payload of the last request of `command` (with operation byte `operation` unless -1), or empty.
std::vector<unsigned char> LastPayload(int command, int operation = -1)
{
    std::vector<unsigned char> out;
    for (const simbus::Entry& e : simbus::Log(VEXSIM_LOG_REQUEST)) {
        if (e.entry.command == command && (operation < 0 || (!e.payload.empty() && e.payload[0] == operation)))
            out = e.payload;
    }
    return out;
}

// Every byte a stranger to the type may hold.
template <typename Record>
Record Filled()
{
    Record r;
    std::memset(&r, 0x5A, sizeof r);
    return r;
}

// Puts v into the checked field(s) of a measurement type; type 9 carries two unchecked companions.
void PutMeas(VexMeasSetting* r, int type, int v)
{
    switch (type) {
    case 0: r->type0 = v; break;
    case 1: r->type1 = v; break;
    case 2: r->type2 = v; break;
    case 3: r->type3 = v; break;
    case 4: r->range = v; break;
    case 5: r->userCalibration = v; break;
    case 6: r->target = v; break;
    case 7:
        for (int& x : r->type7)
            x = v;
        break;
    case 8: r->type8 = v; break;
    case 9:
        r->type9[0] = static_cast<unsigned short>(v);
        r->type9[1] = 0xFFFF;
        r->type9[2] = 7;
        break;
    case 10:
        for (unsigned short& x : r->wavelengths)
            x = static_cast<unsigned short>(v);
        break;
    }
}

// The request payload a write of v must carry: operation 1, the value at its place, nothing else.
std::vector<unsigned char> MeasWire(int type, int v)
{
    std::vector<unsigned char> p(12, 0);
    p[0] = 1;
    const auto hi = static_cast<unsigned char>(v >> 8);
    const auto lo = static_cast<unsigned char>(v);
    switch (type) {
    case 5:
    case 6: p[3] = lo; break;
    case 7: p[1] = p[2] = p[3] = p[4] = lo; break;
    case 9:
        p[2] = hi;
        p[3] = lo;
        p[4] = p[5] = 0xFF;
        p[7] = 7;
        break;
    case 10:
        for (int i = 0; i < 4; ++i) {
            p[static_cast<std::size_t>(2 + 2 * i)] = hi;
            p[static_cast<std::size_t>(3 + 2 * i)] = lo;
        }
        break;
    default: p[1] = lo;
    }
    return p;
}

int* SystemField(VexSystemSetting* r, int type)
{
    int* fields[8] = {nullptr, &r->type1, &r->type2, &r->type3, &r->type4, &r->type5, &r->type6, &r->type7};
    return fields[type];
}

bool Starts(const std::vector<unsigned char>& payload, const std::vector<unsigned char>& head)
{
    if (payload.size() < head.size())
        return false;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] != (i < head.size() ? head[i] : 0))
            return false;
    }
    return true;
}

constexpr int kNone = -100000;

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    VEX_HANDLE h = nullptr;
    int ins = 0;

    void MeasureAndExpectLowLevel(bool low)
    {
        int ready = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        int state = 1;
        for (int i = 0; i < 100 && state != 2; ++i)
            QCOMPARE(VexPollingMeasure(h, &state), 0);
        QCOMPARE(state, 2);
        float v[421];
        QCOMPARE(VexGetMeasData(h, 0, v), low ? 1 : 0);
        int warning = -1;
        QCOMPARE(VexGetWarning(h, &warning), 0);
        QCOMPARE(warning, low ? 2 : 0);
    }

private slots:
    void init()
    {
        ins = simbus::OneInstrument();
        VexSimSpectralSeed seed{};
        for (float& f : seed.values)
            f = 1.0f;
        const int date[6] = {2020, 1, 2, 3, 4, 5};
        std::copy(date, date + 6, seed.date);
        for (int n : {3, 4, 10})
            VexSim_SetSpectralRecord(ins, lumet::kCmdUserCalibrationRecord, n, &seed);
        QCOMPARE(VexOpenDevice(&h), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
        VexSim_ClearLog();
    }
    void cleanup() { VexCloseDevice(h); }

    void measurementTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("below");  // kNone: the field cannot hold one
        QTest::addColumn<int>("rangeCode");
        QTest::addColumn<int>("readCode");
        QTest::addColumn<int>("writeCode");
        QTest::newRow("0") << 0 << 0x22 << 0 << 2 << -1 << 7201 << 7202 << 7203;
        QTest::newRow("1") << 1 << 0x20 << 0 << 1 << -1 << 7301 << 7302 << 7303;
        QTest::newRow("2") << 2 << 0x21 << 0 << 7 << -1 << 7401 << 7402 << 7403;
        QTest::newRow("3") << 3 << 0x24 << 0 << 1 << -1 << 7501 << 7502 << 7503;
        QTest::newRow("4") << 4 << 0x23 << 0 << 3 << -1 << 7601 << 7602 << 7603;
        QTest::newRow("5") << 5 << 0x1B << 0 << 10 << -1 << 7701 << 7702 << 7704;
        QTest::newRow("6") << 6 << 0x1A << 1 << 20 << 0 << 7801 << 7802 << 7803;
        QTest::newRow("7") << 7 << 0x25 << 0 << 40 << -1 << 7901 << 7902 << 7903;
        QTest::newRow("8") << 8 << 0x1C << 0 << 2 << -1 << 15001 << 15002 << 15003;
        QTest::newRow("9") << 9 << 0x26 << 0 << 999 << kNone << 15201 << 15102 << 15103;
        QTest::newRow("10") << 10 << 0x27 << 360 << 780 << 359 << 15501 << 15502 << 15503;
    }
    void measurementTypes()
    {
        QFETCH(int, type);
        QFETCH(int, command);
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, below);
        QFETCH(int, rangeCode);
        QFETCH(int, readCode);
        QFETCH(int, writeCode);

        for (int bad : {below, high + 1}) {
            if (bad == kNone)
                continue;
            VexMeasSetting s = Filled<VexMeasSetting>();
            PutMeas(&s, type, bad);
            VexSim_ClearLog();
            QCOMPARE(VexSetMeasSetting(h, type, &s), rangeCode);
            QCOMPARE(simbus::CountRequests(command), 0);
            QCOMPARE(simbus::CountRequests(lumet::kCmdFirmwareVersion), 0);
            QVERIFY(History(h).empty());
        }
        for (int good : {high, low}) {
            VexMeasSetting s = Filled<VexMeasSetting>();
            PutMeas(&s, type, good);
            VexSim_ClearLog();
            QCOMPARE(VexSetMeasSetting(h, type, &s), 0);
            QVERIFY(Starts(LastPayload(command, 1), MeasWire(type, good)));
            // The read fills the type's field and leaves every other byte alone.
            VexMeasSetting back = Filled<VexMeasSetting>();
            QCOMPARE(VexGetMeasSetting(h, type, &back), 0);
            QCOMPARE(std::memcmp(&back, &s, sizeof s), 0);
        }

        VexMeasSetting s = Filled<VexMeasSetting>();
        PutMeas(&s, type, low);
        simbus::AddFault(ins, command, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexGetMeasSetting(h, type, &s), readCode);
        QCOMPARE(History(h), std::vector<int>{2903});
        simbus::AddFault(ins, command, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetMeasSetting(h, type, &s), writeCode);
        QCOMPARE(History(h), std::vector<int>{2903});
    }

    void everyValueOfAGroupIsChecked()
    {
        VexMeasSetting s{};
        PutMeas(&s, 7, 40);
        s.type7[3] = 41;
        PutMeas(&s, 10, 500);
        s.wavelengths[2] = 781;
        QCOMPARE(VexSetMeasSetting(h, 7, &s), 7901);
        QCOMPARE(VexSetMeasSetting(h, 10, &s), 15501);
        QCOMPARE(simbus::CountRequests(0x25) + simbus::CountRequests(0x27), 0);
    }

    void systemTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("rangeCode");
        QTest::addColumn<int>("readCode");
        QTest::addColumn<int>("writeCode");
        QTest::newRow("1") << 1 << 0xD2 << 1 << 5001 << 5002 << 5003;
        QTest::newRow("2") << 2 << 0xD9 << 1 << 1601 << 1602 << 1603;
        QTest::newRow("3") << 3 << 0xD7 << 2 << 2001 << 2002 << 2003;
        QTest::newRow("4") << 4 << 0x31 << 2 << 4901 << 4902 << 4903;
        QTest::newRow("5") << 5 << 0x32 << 4 << 8001 << 8002 << 8003;
        QTest::newRow("6") << 6 << 0x33 << 1 << 10502 << 10501 << 10503;
        QTest::newRow("7") << 7 << 0x34 << 1 << 10402 << 10401 << 10403;
    }
    void systemTypes()
    {
        QFETCH(int, type);
        QFETCH(int, command);
        QFETCH(int, high);
        QFETCH(int, rangeCode);
        QFETCH(int, readCode);
        QFETCH(int, writeCode);

        for (int bad : {-1, high + 1}) {
            VexSystemSetting s = Filled<VexSystemSetting>();
            *SystemField(&s, type) = bad;
            VexSim_ClearLog();
            QCOMPARE(VexSetSystemSetting(h, type, &s), rangeCode);
            QCOMPARE(simbus::CountRequests(command), 0);
        }
        for (int good : {high, 0}) {
            VexSystemSetting s = Filled<VexSystemSetting>();
            *SystemField(&s, type) = good;
            VexSim_ClearLog();
            QCOMPARE(VexSetSystemSetting(h, type, &s), 0);
            QVERIFY(Starts(LastPayload(command), {1, static_cast<unsigned char>(good)}));
            QCOMPARE(VexSim_GetSetting(ins, command), good);
            VexSystemSetting back = Filled<VexSystemSetting>();
            QCOMPARE(VexGetSystemSetting(h, type, &back), 0);
            QCOMPARE(std::memcmp(&back, &s, sizeof s), 0);
        }

        VexSystemSetting s{};
        simbus::AddFault(ins, command, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexGetSystemSetting(h, type, &s), readCode);
        QCOMPARE(History(h), std::vector<int>{2903});
        simbus::AddFault(ins, command, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetSystemSetting(h, type, &s), writeCode);
        QCOMPARE(History(h), std::vector<int>{2903});
    }

    void instrumentClock()
    {
        VexSystemSetting s = Filled<VexSystemSetting>();
        s.clock = {2010, 12, 31, 23, 59, 59};
        VexSim_ClearLog();
        QCOMPARE(VexSetSystemSetting(h, 0, &s), 9602);
        QCOMPARE(History(h), std::vector<int>{6102});
        QCOMPARE(simbus::CountRequests(0xD5), 0);

        for (VexDateTime date : {VexDateTime{2011, 1, 1, 0, 0, 0}, VexDateTime{2100, 12, 31, 23, 59, 59}}) {
            s.clock = date;
            QCOMPARE(VexSetSystemSetting(h, 0, &s), 0);
            const std::vector<unsigned char> wire = LastPayload(0xD5);
            QVERIFY(Starts(wire, {1, 0, 0, 0, static_cast<unsigned char>(date.year >> 8),
                                  static_cast<unsigned char>(date.year), static_cast<unsigned char>(date.month),
                                  static_cast<unsigned char>(date.day), static_cast<unsigned char>(date.hour),
                                  static_cast<unsigned char>(date.minute), static_cast<unsigned char>(date.second)}));
            VexSystemSetting back = Filled<VexSystemSetting>();
            QCOMPARE(VexGetSystemSetting(h, 0, &back), 0);
            QCOMPARE(std::memcmp(&back, &s, sizeof s), 0);
        }
        simbus::AddFault(ins, 0xD5, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexGetSystemSetting(h, 0, &s), 9601);
        QCOMPARE(History(h), std::vector<int>{2903});
        simbus::AddFault(ins, 0xD5, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetSystemSetting(h, 0, &s), 9603);
        QCOMPARE(History(h), std::vector<int>{2903});
    }

    void frameChecks()
    {
        VexMeasSetting m{};
        VexSystemSetting s{};
        QCOMPARE(VexSetMeasSetting(h, 0, nullptr), 14);
        QCOMPARE(VexSetSystemSetting(h, 1, nullptr), 14);
        QCOMPARE(VexGetMeasSetting(h, 0, nullptr), 1001);
        QCOMPARE(VexGetSystemSetting(h, 1, nullptr), 601);
        QCOMPARE(VexGetMeasSetting(h, 11, &m), 1003);
        QCOMPARE(VexGetMeasSetting(h, -1, &m), 1003);
        QCOMPARE(VexSetSystemSetting(h, 8, &s), 602);
        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexGetMeasSetting(h, 0, &m), 1002);
        QCOMPARE(VexSetSystemSetting(h, 1, &s), 603);
    }

    void typesEightToTenNeedFirmware()
    {
        const unsigned char old[12] = {0x01, 0x11, 0x00, 0x09, 0x01, 0x11, 0x00, 0x09, 0x01, 0x11, 0x00, 0x09};
        VexSim_SetFirmware(ins, old);
        VexMeasSetting m{};
        PutMeas(&m, 10, 500);
        m.type9[0] = 10;
        for (int op = 0; op < 2; ++op) {
            QCOMPARE(op ? VexSetMeasSetting(h, 8, &m) : VexGetMeasSetting(h, 8, &m), 15004);
            QCOMPARE(op ? VexSetMeasSetting(h, 9, &m) : VexGetMeasSetting(h, 9, &m), 15104);
            QCOMPARE(op ? VexSetMeasSetting(h, 10, &m) : VexGetMeasSetting(h, 10, &m), 15504);
        }
        QCOMPARE(simbus::CountRequests(0x1C) + simbus::CountRequests(0x26) + simbus::CountRequests(0x27), 0);
        for (int type = 0; type <= 7; ++type)
            QCOMPARE(VexGetMeasSetting(h, type, &m), 0);
        VexSystemSetting s{};
        for (int type = 0; type <= 7; ++type)
            QCOMPARE(VexGetSystemSetting(h, type, &s), 0);
    }

    void selectedUserCalibration()
    {
        VexMeasSetting m{};
        m.userCalibration = 3;
        QCOMPARE(VexSetMeasSetting(h, 5, &m), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdUserCalibrationRecord, lumet::kRecordRead), 1);
        // The selected number again: sent, nothing re-read.
        VexSim_ClearLog();
        QCOMPARE(VexSetMeasSetting(h, 5, &m), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdSelectedUserCalibration, 1), 1);
        QCOMPARE(simbus::CountRequests(lumet::kCmdUserCalibrationRecord), 0);
        m.userCalibration = 4;
        QCOMPARE(VexSetMeasSetting(h, 5, &m), 0);
        QCOMPARE(simbus::CountRequests(lumet::kCmdUserCalibrationRecord, lumet::kRecordRead), 1);
        QCOMPARE(VexSim_GetSetting(ins, lumet::kCmdSelectedUserCalibration), 4);
        // Number 7 holds no record: the instrument answers status 6.
        m.userCalibration = 7;
        QCOMPARE(VexSetMeasSetting(h, 5, &m), 7703);
        QCOMPARE(History(h), std::vector<int>{2904});
        QCOMPARE(VexSim_GetSetting(ins, lumet::kCmdSelectedUserCalibration), 4);
    }

    void rangeFollowsWritesOnly()
    {
        // About 75 lx: low for range 3 (100 lx), not for range 0 (50 lx).
        std::vector<float> light(421);
        VexSim_DefaultLightSource(light.data());
        for (float& x : light)
            x *= 0.15f;
        VexSim_SetLightSource(ins, light.data());
        VexMeasSetting m{};
        m.range = 3;
        QCOMPARE(VexSetMeasSetting(h, 4, &m), 0);
        MeasureAndExpectLowLevel(true);
        m.range = 0;
        QCOMPARE(VexSetMeasSetting(h, 4, &m), 0);
        MeasureAndExpectLowLevel(false);
        // A read reports the instrument's value but leaves the library's threshold as it was.
        VexSim_SetSetting(ins, lumet::kCmdRange, 3);
        QCOMPARE(VexGetMeasSetting(h, 4, &m), 0);
        QCOMPARE(m.range, 3);
        MeasureAndExpectLowLevel(false);
    }

    void signedSystemType3()
    {
        VexSim_SetSetting(ins, 0xD7, 0xFF);
        VexSystemSetting s{};
        QCOMPARE(VexGetSystemSetting(h, 3, &s), 0);
        QCOMPARE(s.type3, -1);
    }

    void periodicDate()
    {
        VexDateTime d{2011, 1, 1, 0, 0, 0};
        QCOMPARE(VexSetPeriodicCalDate(h, &d), 0);
        QVERIFY(Starts(LastPayload(0x36), {1, 0, 0, 0, 0x07, 0xDB, 1, 1, 0, 0, 0}));
        VexDateTime back{};
        QCOMPARE(VexGetPeriodicCalDate(h, 0, &back), 0);
        QCOMPARE(std::memcmp(&back, &d, sizeof d), 0);
        QVERIFY(Starts(LastPayload(0x36), {0, 0}));
        QCOMPARE(VexGetPeriodicCalDate(h, 1, &back), 0);
        QVERIFY(Starts(LastPayload(0x36), {0, 1}));

        d = {2010, 12, 31, 0, 0, 0};
        VexSim_ClearLog();
        QCOMPARE(VexSetPeriodicCalDate(h, &d), 9404);
        QCOMPARE(History(h), std::vector<int>{6102});
        QCOMPARE(simbus::CountRequests(0x36), 0);
        QCOMPARE(VexGetPeriodicCalDate(h, 2, &back), 9304);
        QCOMPARE(VexGetPeriodicCalDate(h, 0, nullptr), 9303);
        QCOMPARE(VexSetPeriodicCalDate(h, nullptr), 9403);
        simbus::AddFault(ins, 0x36, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexGetPeriodicCalDate(h, 0, &back), 9301);
        QCOMPARE(History(h), std::vector<int>{2903});
        d = {2011, 1, 1, 0, 0, 0};
        simbus::AddFault(ins, 0x36, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetPeriodicCalDate(h, &d), 9401);
        QCOMPARE(History(h), std::vector<int>{2903});
        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexGetPeriodicCalDate(h, 0, &back), 9302);
        QCOMPARE(VexSetPeriodicCalDate(h, &d), 9402);
    }

    void listItems()
    {
        int value = -1;
        QCOMPARE(VexSetListItem(h, 1, 1), 0);
        QCOMPARE(VexGetListItem(h, 1, &value), 0);
        QCOMPARE(value, 1);
        QCOMPARE(VexGetListItem(h, 0, &value), 0);
        QCOMPARE(value, 0);

        VexSim_ClearLog();
        QCOMPARE(VexGetListItem(h, 2, &value), 12004);
        QCOMPARE(VexSetListItem(h, -1, 0), 12004);
        QCOMPARE(VexSetListItem(h, 0, 2), 12007);
        QCOMPARE(VexGetListItem(h, 0, nullptr), 12003);
        QCOMPARE(simbus::CountRequests(0x35), 0);

        VexSim_SetServiceValue(ins, 0x35, 0, 2);
        value = -1;
        QCOMPARE(VexGetListItem(h, 0, &value), 12006);
        QCOMPARE(value, -1);

        // A code left by an earlier call survives every list-item call.
        simbus::AddFault(ins, 0x22, VEXSIM_FAULT_STATUS, 4);
        VexMeasSetting m{};
        QCOMPARE(VexGetMeasSetting(h, 0, &m), 7202);
        QCOMPARE(VexGetListItem(h, 1, &value), 0);
        QCOMPARE(VexSetListItem(h, 1, 0), 0);
        QCOMPARE(History(h), std::vector<int>{2903});
        // The read's exchange failure pushes nothing; the write's does.
        simbus::AddFault(ins, 0x35, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexGetListItem(h, 1, &value), 12005);
        QCOMPARE(History(h), std::vector<int>{2903});
        simbus::AddFault(ins, 0x35, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexSetListItem(h, 1, 0), 12008);
        QCOMPARE(History(h), (std::vector<int>{2903, 2903}));

        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(VexGetListItem(h, 0, &value), 12001);
        QCOMPARE(VexSetListItem(h, 0, 0), 12001);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
