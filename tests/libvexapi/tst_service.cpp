// Service functions through the exports: the DevIOCtrl rows, DevRead, the block and raw-data copies, the
// wavelength-shift pass-through and the dark calibration.
#include "simbus.h"
#include "vexapi.h"
#include "vexcalib.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<int> History(VEX_HANDLE h)
{
    VexErrorHistory e{};
    VexGetPrevError(h, &e);
    return std::vector<int>(e.codes, e.codes + e.count);
}

std::vector<unsigned char> LastPayload(int command)
{
    std::vector<unsigned char> out;
    for (const simbus::Entry& e : simbus::Log(VEXSIM_LOG_REQUEST)) {
        if (e.entry.command == command)
            out = e.payload;
    }
    return out;
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

float HostFloat(const unsigned char* block, int offset)
{
    float f;
    std::memcpy(&f, block + offset, 4);
    return f;
}

std::vector<float> Script(float base)
{
    std::vector<float> v(132);
    for (int i = 0; i < 132; ++i)
        v[static_cast<std::size_t>(i)] = base + static_cast<float>(i);
    return v;
}

}  // namespace

class TestService : public QObject {
    Q_OBJECT

private:
    VEX_HANDLE h = nullptr;
    int ins = 0;

    // A raw reading of the scripted values in the given mode (16-bit for 0 and 1, 32-bit from 2).
    void RawReading(int mode, const std::vector<float>& values)
    {
        VexSim_ScriptDataSet(ins, 4000, values.data());
        int start[3] = {0, mode, 0};
        QCOMPARE(DevIOCtrl(h, 0xAD, start), 0);
    }

    void Measure()
    {
        int ready = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        int state = 1;
        for (int i = 0; i < 100 && state != 2; ++i)
            QCOMPARE(VexPollingMeasure(h, &state), 0);
        QCOMPARE(state, 2);
    }

private slots:
    void init()
    {
        ins = simbus::OneInstrument();
        QCOMPARE(VexOpenDevice(&h), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
        VexSim_ClearLog();
    }
    void cleanup() { VexCloseDevice(h); }

    void exchangeFailures_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("command");
        QTest::addColumn<QList<int>>("data");
        QTest::addColumn<int>("result");
        QTest::newRow("A2") << 0xA2 << 0xA4 << QList<int>{} << 4307;
        QTest::newRow("A3") << 0xA3 << 0xA4 << QList<int>{0, 1, 2} << 4306;
        QTest::newRow("A4") << 0xA4 << 0xD3 << QList<int>{3} << 4102;
        QTest::newRow("A6") << 0xA6 << 0xD8 << QList<int>{5} << 2502;
        QTest::newRow("A7") << 0xA7 << 0xD8 << QList<int>{5, 1} << 2502;
        QTest::newRow("AA") << 0xAA << 0xA0 << QList<int>{} << 3102;
        QTest::newRow("AB") << 0xAB << 0xA0 << QList<int>{} << 3103;
        QTest::newRow("AC") << 0xAC << 0xA2 << QList<int>{} << 3204;
        QTest::newRow("AD") << 0xAD << 0xA2 << QList<int>{0, 2, 0} << 3204;
        QTest::newRow("AE") << 0xAE << 0xA3 << QList<int>{} << 9701;
        QTest::newRow("AF") << 0xAF << 0xA3 << QList<int>{} << 9801;
        QTest::newRow("B2") << 0xB2 << 0xB4 << QList<int>{} << 10001;
        QTest::newRow("B3") << 0xB3 << 0xB6 << QList<int>{} << 10301;
        QTest::newRow("B4") << 0xB4 << 0xB6 << QList<int>{} << 10201;
        QTest::newRow("B5") << 0xB5 << 0xC0 << QList<int>{} << 2702;
        QTest::newRow("B6") << 0xB6 << 0xC0 << QList<int>{} << 2703;
        QTest::newRow("BB") << 0xBB << 0xC0 << QList<int>{} << 2902;
        QTest::newRow("BC") << 0xBC << 0xC0 << QList<int>{} << 2903;
        QTest::newRow("BD") << 0xBD << 0xC1 << QList<int>{} << 3002;
        QTest::newRow("BF") << 0xBF << 0xD0 << QList<int>{} << 803;
        QTest::newRow("C4") << 0xC4 << 0xD5 << QList<int>{} << 9601;
        QTest::newRow("C5") << 0xC5 << 0xD5 << QList<int>{2020, 1, 1, 0, 0, 0} << 9603;
        QTest::newRow("CB") << 0xCB << 0xF1 << QList<int>{} << 4202;
        QTest::newRow("F1") << 0xF1 << 0xB5 << QList<int>{} << 10101;
        QTest::newRow("F2") << 0xF2 << 0x90 << QList<int>{} << 2602;
    }
    void exchangeFailures()
    {
        QFETCH(int, code);
        QFETCH(int, command);
        QFETCH(QList<int>, data);
        QFETCH(int, result);
        std::vector<unsigned char> buffer(9000, 0);
        for (int i = 0; i < data.size(); ++i)
            std::memcpy(buffer.data() + 4 * i, &data[i], 4);
        std::vector<float> values(200);
        VexRawRequest raw{0, 132, values.data()};
        void* arg = code == 0xAE || code == 0xAF ? static_cast<void*>(&raw) : buffer.data();
        simbus::AddFault(ins, command, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(DevIOCtrl(h, code, arg), result);
        const std::vector<int> pushed = History(h);
        QVERIFY(!pushed.empty());
        QCOMPARE(pushed.front(), 2903);
    }

    void triValues()
    {
        int v[3] = {2, 0, 1};
        QCOMPARE(DevIOCtrl(h, 0xA3, v), 0);
        QVERIFY(Starts(LastPayload(0xA4), {1, 2, 0, 1}));
        int back[3] = {-1, -1, -1};
        QCOMPARE(DevIOCtrl(h, 0xA2, back), 0);
        QCOMPARE(std::vector<int>(back, back + 3), (std::vector<int>{2, 0, 1}));
        VexSim_SetServiceValue(ins, 0xA4, 2, 3);
        QCOMPARE(DevIOCtrl(h, 0xA2, back), 4302);
        VexSim_ClearLog();
        for (int bad : {-1, 3}) {
            int w[3] = {0, 0, 0};
            w[2] = bad;
            QCOMPARE(DevIOCtrl(h, 0xA3, w), 4304);
        }
        int mode = 4;
        QCOMPARE(DevIOCtrl(h, 0xA4, &mode), 4101);
        mode = -1;
        QCOMPARE(DevIOCtrl(h, 0xA4, &mode), 4101);
        QCOMPARE(VexSim_LogCount(), 0);
        mode = 3;
        QCOMPARE(DevIOCtrl(h, 0xA4, &mode), 0);
        QVERIFY(Starts(LastPayload(0xD3), {3}));
    }

    void flagTable()
    {
        int w[2] = {240, 5};
        QCOMPARE(DevIOCtrl(h, 0xA7, w), 0);
        QVERIFY(Starts(LastPayload(0xD8), {1, 240, 1}));
        QCOMPARE(VexSim_GetServiceValue(ins, 0xD8, 240), 1);
        int r[2] = {240, -1};
        QCOMPARE(DevIOCtrl(h, 0xA6, r), 0);
        QCOMPARE(r[1], 1);
        r[0] = 1;
        QCOMPARE(DevIOCtrl(h, 0xA6, r), 0);
        QCOMPARE(r[1], 0);
        VexSim_ClearLog();
        for (int index : {0, 241}) {
            int x[2] = {index, 1};
            QCOMPARE(DevIOCtrl(h, 0xA6, x), 2501);
            QCOMPARE(DevIOCtrl(h, 0xA7, x), 2501);
        }
        QCOMPARE(VexSim_LogCount(), 0);
    }

    void manualParameters()
    {
        VexManualParam p{{1208, 50000, 200, 1, 2, 3, 123456, 100, 4, 5, 6, 7}};
        QCOMPARE(DevIOCtrl(h, 0xAB, &p), 0);
        VexManualParam back{};
        QCOMPARE(DevIOCtrl(h, 0xAA, &back), 0);
        QCOMPARE(std::memcmp(&back, &p, sizeof p), 0);
    }

    void rawMeasurementControl()
    {
        int start[3] = {0, 2, 0};
        QCOMPARE(DevIOCtrl(h, 0xAD, start), 0);
        QVERIFY(Starts(LastPayload(0xA2), {0, 2, 0}));
        VexSim_ClearLog();
        for (const std::vector<int>& bad : {std::vector<int>{2, 0, 0}, std::vector<int>{0, 5, 0},
                                            std::vector<int>{0, -1, 0}, std::vector<int>{0, 0, 2}}) {
            int b[3] = {bad[0], bad[1], bad[2]};
            const int expect = bad[0] != 0 ? 3201 : bad[2] != 0 ? 3202 : 3203;
            QCOMPARE(DevIOCtrl(h, 0xAD, b), expect);
        }
        QCOMPARE(VexSim_LogCount(), 0);

        int ready[3] = {-1, -1, -1};
        VexSim_ScriptRawReady(ins, 1);
        QCOMPARE(DevIOCtrl(h, 0xAC, ready), 0);
        QCOMPARE(ready[0], 1);
        QVERIFY(Starts(LastPayload(0xA2), {2, 0, 0}));
        VexSim_ScriptRawReady(ins, 2);
        QCOMPARE(DevIOCtrl(h, 0xAC, ready), 0);
        QCOMPARE(ready[0], 0);
        VexSim_ScriptRawReady(ins, 7);
        QCOMPARE(DevIOCtrl(h, 0xAC, ready), 3205);
    }

    void rawValues()
    {
        // 16-bit counts: the first two slots of the reply are its header; values come back as counts.
        const std::vector<float> counts = Script(1000.0f);
        RawReading(0, counts);
        std::vector<unsigned short> narrow(140, 0xEEEE);
        VexRawRequest request{0, 132, narrow.data()};
        QCOMPARE(DevIOCtrl(h, 0xAE, &request), 0);
        for (int i = 0; i < 132; ++i)
            QCOMPARE(narrow[static_cast<std::size_t>(i)], static_cast<unsigned short>(1000 + i));
        QCOMPARE(narrow[132], 0xEEEE);
        QVERIFY(Starts(LastPayload(0xA3), {0, 0, 0, 0}));
        // Never more than asked for, never more than arrived.
        std::fill(narrow.begin(), narrow.end(), 0xEEEE);
        request = {130, 10, narrow.data()};
        QCOMPARE(DevIOCtrl(h, 0xAE, &request), 0);
        QCOMPARE(narrow[0], 1130);
        QCOMPARE(narrow[1], 1131);
        QCOMPARE(narrow[2], 0xEEEE);
        QVERIFY(Starts(LastPayload(0xA3), {0, 0, 0, 130}));
        request = {0, 3, narrow.data()};
        QCOMPARE(DevIOCtrl(h, 0xAE, &request), 0);
        QCOMPARE(narrow[2], 1002);
        QCOMPARE(narrow[3], 0xEEEE);

        // 32-bit values: one header slot, values unchanged.
        const std::vector<float> wide = Script(0.25f);
        RawReading(2, wide);
        std::vector<float> floats(140, -7.0f);
        VexRawRequest request32{0, 200, floats.data()};
        QCOMPARE(DevIOCtrl(h, 0xAF, &request32), 0);
        for (int i = 0; i < 132; ++i)
            QCOMPARE(floats[static_cast<std::size_t>(i)], wide[static_cast<std::size_t>(i)]);
        QCOMPARE(floats[132], -7.0f);

        // A reply whose header counts more values than its reports carry is no reading, in either width.
        VexSim_SetServiceValue(ins, 0xA3, 0, 200);
        request32 = {0, 200, floats.data()};
        QCOMPARE(DevIOCtrl(h, 0xAF, &request32), 9801);
        RawReading(0, counts);
        request = {0, 200, narrow.data()};
        QCOMPARE(DevIOCtrl(h, 0xAE, &request), 9701);

        // A null buffer or a negative count is refused like null data, before any I/O.
        VexSim_ClearLog();
        for (int code : {0xAE, 0xAF}) {
            VexRawRequest noBuffer{0, 10, nullptr};
            QCOMPARE(DevIOCtrl(h, code, &noBuffer), 14);
            VexRawRequest negative{0, -1, floats.data()};
            QCOMPARE(DevIOCtrl(h, code, &negative), 14);
        }
        QCOMPARE(VexSim_LogCount(), 0);
    }

    void statusOnlyAndDates()
    {
        int unused = 0;
        QCOMPARE(DevIOCtrl(h, 0xB2, &unused), 0);
        QCOMPARE(simbus::CountRequests(0xB4), 1);
        QCOMPARE(DevIOCtrl(h, 0xF1, &unused), 0);
        QCOMPARE(simbus::CountRequests(0xB5), 1);

        // The service date goes out unchecked.
        VexDateTime d{2005, 2, 30, 23, 59, 59};
        QCOMPARE(DevIOCtrl(h, 0xB4, &d), 0);
        QVERIFY(Starts(LastPayload(0xB6), {1, 0, 0, 0, 0x07, 0xD5, 2, 30, 23, 59, 59}));
        VexDateTime back{};
        QCOMPARE(DevIOCtrl(h, 0xB3, &back), 0);
        QCOMPARE(std::memcmp(&back, &d, sizeof d), 0);
        QVERIFY(Starts(LastPayload(0xB6), {0}));

        // The instrument clock is checked.
        QCOMPARE(DevIOCtrl(h, 0xC5, &d), 9602);
        QCOMPARE(History(h), std::vector<int>{6102});
        d = {2024, 2, 29, 12, 0, 1};
        QCOMPARE(DevIOCtrl(h, 0xC5, &d), 0);
        back = {};
        QCOMPARE(DevIOCtrl(h, 0xC4, &back), 0);
        QCOMPARE(std::memcmp(&back, &d, sizeof d), 0);
    }

    void flagsAndWords()
    {
        int flags[3] = {1, 2, 1};  // only a 1 sets its bit
        QCOMPARE(DevIOCtrl(h, 0xB6, flags), 0);
        QVERIFY(Starts(LastPayload(0xC0), {1, 4, 0, 5}));
        int back[3] = {-1, -1, -1};
        QCOMPARE(DevIOCtrl(h, 0xB5, back), 0);
        QCOMPARE(std::vector<int>(back, back + 3), (std::vector<int>{1, 0, 1}));

        int word = 0x12345;
        QCOMPARE(DevIOCtrl(h, 0xBC, &word), 0);
        QVERIFY(Starts(LastPayload(0xC0), {1, 2, 0, 0, 0, 0, 0, 0, 0x23, 0x45}));
        word = -1;
        QCOMPARE(DevIOCtrl(h, 0xBB, &word), 0);
        QCOMPARE(word, 0x2345);

        int mode[2] = {-1, -1};
        VexSim_SetServiceValue(ins, 0xC1, 0, 3);
        VexSim_SetServiceValue(ins, 0xC1, 1, 0xBEEF);
        QCOMPARE(DevIOCtrl(h, 0xBD, mode), 0);
        QCOMPARE(mode[0], 2);
        QCOMPARE(mode[1], 0xBEEF);
        VexSim_SetServiceValue(ins, 0xC1, 0, 9);
        QCOMPARE(DevIOCtrl(h, 0xBD, mode), 0);
        QCOMPARE(mode[0], 4);
    }

    void firmwareAndButtons()
    {
        const unsigned char firmware[12] = {0x01, 0x12, 0x00, 0x05, 0x02, 0x03, 0x01, 0x10, 0x00, 0x00, 0x00, 0x00};
        VexSim_SetFirmware(ins, firmware);
        VexFirmwareVersion v{};
        QCOMPARE(DevIOCtrl(h, 0xCB, &v), 0);
        QCOMPARE(std::vector<int>(v.versions[0], v.versions[0] + 3), (std::vector<int>{1, 12, 5}));
        QCOMPARE(std::vector<int>(v.versions[1], v.versions[1] + 3), (std::vector<int>{2, 3, 110}));

        const unsigned char buttons[8] = {0, 0, 1, 0, 1, 0, 1, 2};
        VexSim_SetButtons(ins, buttons);
        VexButtonStatus b{};
        QCOMPARE(DevIOCtrl(h, 0xBF, &b), 0);
        QCOMPARE(b.buttons[0], 1);
        // Only the button row asks for remote mode.
        QCOMPARE(VexSetRemoteMode(h, 0), 0);
        QCOMPARE(DevIOCtrl(h, 0xBF, &b), 802);
        int mode = 1;
        QCOMPARE(DevIOCtrl(h, 0xA4, &mode), 0);
    }

    void bulkRecord()
    {
        auto out = std::make_unique<VexBulkRecord>();
        out->value = 0x0123456789ABCDEFull;
        for (int i = 0; i < 4000; ++i)
            out->values[i] = static_cast<unsigned short>(i * 17 + 3);
        QCOMPARE(DevIOCtrl(h, 0xF3, out.get()), 0);
        auto in = std::make_unique<VexBulkRecord>();
        QCOMPARE(DevIOCtrl(h, 0xF2, in.get()), 0);
        QCOMPARE(std::memcmp(in.get(), out.get(), sizeof(VexBulkRecord)), 0);
        const std::vector<unsigned char> wire = LastPayload(0x90);
        QVERIFY(Starts(wire, {0}));

        // 8000 bytes in all instead of 8012; a short reply whose header claims the full record.
        VexSim_SetServiceValue(ins, 0x90, 0, 7996);
        QCOMPARE(DevIOCtrl(h, 0xF2, in.get()), 2603);
        VexSim_SetServiceValue(ins, 0x90, 0, 100);
        VexSim_SetServiceValue(ins, 0x90, 1, 8008);
        QCOMPARE(DevIOCtrl(h, 0xF2, in.get()), 2603);
        // One report more than the record, though the header states the right length.
        VexSim_SetServiceValue(ins, 0x90, 0, 8068);
        QCOMPARE(DevIOCtrl(h, 0xF2, in.get()), 2603);
    }

    void bulkWriteReply_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("result");
        QTest::newRow("kind 1") << int(VEXSIM_FAULT_FIRST_KIND) << 1 << 2607;
        QTest::newRow("status 2") << int(VEXSIM_FAULT_STATUS) << 2 << 2606;
        QTest::newRow("status 0x11") << int(VEXSIM_FAULT_STATUS) << 0x11 << 0;
        QTest::newRow("write fails") << int(VEXSIM_FAULT_WRITE) << 0 << 2604;
        QTest::newRow("no reply") << int(VEXSIM_FAULT_NO_REPLY) << 0 << 2605;
    }
    void bulkWriteReply()
    {
        QFETCH(int, fault);
        QFETCH(int, value);
        QFETCH(int, result);
        auto record = std::make_unique<VexBulkRecord>();
        simbus::AddFault(ins, 0x90, fault, value);
        QCOMPARE(DevIOCtrl(h, 0xF3, record.get()), result);
    }

    void devReadAndWrite()
    {
        unsigned char report[65] = {0, 2, 4, 0x01, 0x02, 0x11, 0x22, 0x33, 0x44};
        VexSim_QueueDataReport(ins, report);
        unsigned char buffer[64] = {};
        QCOMPARE(DevRead(h, buffer, 64), 0);
        QCOMPARE(buffer[0], 2);
        QCOMPARE(buffer[1], 4);
        unsigned short sequence = 0;
        std::memcpy(&sequence, buffer + 2, 2);
        QCOMPARE(sequence, 0x0102);
        unsigned value = 0;
        std::memcpy(&value, buffer + 4, 4);
        QCOMPARE(value, 0x11223344u);

        VexSim_QueueDataReport(ins, report);
        VexSim_ClearLog();
        QCOMPARE(DevRead(h, buffer, 65), 7102);
        QCOMPARE(DevRead(h, nullptr, 64), 7101);
        QCOMPARE(VexSim_LogCount(), 0);
        QCOMPARE(DevRead(h, buffer, 64), 0);  // the queued report is still there
        VexSim_FailNextRead(ins, 1);
        QCOMPARE(DevRead(h, buffer, 64), 7103);
        QCOMPARE(DevRead(nullptr, buffer, 64), 10);
        QCOMPARE(DevWrite(h, buffer, 64), 15);
        QCOMPARE(DevWrite(nullptr, nullptr, 0), 15);
    }

    void blockCopies()
    {
        std::vector<unsigned char> factory(VEX_FACTORY_DATA_SIZE);
        QCOMPARE(VexGetFactoryDataSDK(h, factory.data()), 0);
        std::vector<unsigned char> info(56), block(33872);
        VexMemoryRequest r0{0, 0, 56, info.data()};
        VexMemoryRequest r1{0, 1, 33872, block.data()};
        QCOMPARE(DevIOCtrl(h, 0xF0, &r0), 0);
        QCOMPARE(DevIOCtrl(h, 0xF0, &r1), 0);
        QCOMPARE(std::memcmp(factory.data(), info.data(), 56), 0);
        QCOMPARE(std::memcmp(factory.data() + 56, block.data(), 33872), 0);
        QCOMPARE(VexGetFactoryDataSDK(h, nullptr), 1901);

        std::vector<unsigned char> calibration(VEX_CALIBRATION_DATA_SIZE);
        QCOMPARE(VexGetCalibDataSDK(h, calibration.data()), 0);
        QCOMPARE(VexGetCalibDataSDK(h, nullptr), 1801);
        QCOMPARE(VexSetCalibDataSDK(h, nullptr), 14001);
        // Status bits cleared: the held block no longer passes the measurement start's check.
        std::memset(calibration.data(), 0, 4);
        calibration[100] ^= 0xFF;
        VexSim_ClearLog();
        QCOMPARE(VexSetCalibDataSDK(h, calibration.data()), 0);
        QCOMPARE(VexSim_LogCount(), 0);
        std::vector<unsigned char> held(VEX_CALIBRATION_DATA_SIZE);
        QCOMPARE(VexGetCalibDataSDK(h, held.data()), 0);
        QVERIFY(held == calibration);
        int ready = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 1301);
    }

    void rawData()
    {
        float spectra[4 * 132];
        int value = -1, count = -1;
        QCOMPARE(VexGetRawDataSDK(h, spectra, &value, 4, &count), 0);
        QCOMPARE(count, 0);

        Measure();
        std::vector<float> expect(132);
        std::fill(std::begin(spectra), std::end(spectra), -3.0f);
        value = count = -1;
        QCOMPARE(VexGetRawDataSDK(h, spectra, &value, 0, &count), 1702);
        QCOMPARE(count, 1);
        QCOMPARE(value, -1);
        QCOMPARE(spectra[0], -3.0f);
        QCOMPARE(VexGetRawDataSDK(h, spectra, &value, 1, &count), 0);
        VexSim_ReadingFor(ins, value, expect.data());
        for (int i = 0; i < 132; ++i)
            QCOMPARE(spectra[i], expect[static_cast<std::size_t>(i)]);
        QCOMPARE(spectra[132], -3.0f);

        // A missing pointer: nothing at all is written.
        std::fill(std::begin(spectra), std::end(spectra), -3.0f);
        value = count = -1;
        QCOMPARE(VexGetRawDataSDK(h, nullptr, &value, 4, &count), 1701);
        QCOMPARE(VexGetRawDataSDK(h, spectra, nullptr, 4, &count), 1701);
        QCOMPARE(VexGetRawDataSDK(h, spectra, &value, 4, nullptr), 1701);
        QCOMPARE(count, -1);
        QCOMPARE(value, -1);
        QCOMPARE(spectra[0], -3.0f);

        QCOMPARE(VexDoCalibration(h), 0);
        int state = 1;
        for (int i = 0; i < 100 && state != 2; ++i)
            QCOMPARE(VexPollingCalibration(h, &state), 0);
        QCOMPARE(VexGetRawDataSDK(h, spectra, &value, 4, &count), 0);
        QCOMPARE(count, 4);
    }

    void wavelengthShift()
    {
        std::vector<unsigned char> device(VEX_FACTORY_DATA_SIZE);
        QCOMPARE(VexGetFactoryDataSDK(h, device.data()), 0);
        // Lamp off, then on with a line in each of the windows the fit looks at.
        std::vector<float> readings(2 * 132, 800.0f);
        for (int i = 0; i < 128; ++i) {
            for (float line : {14.2f, 104.6f})
                readings[static_cast<std::size_t>(132 + i)] += 9000.0f * std::exp(-0.5f * std::pow((i - line) / 1.6f, 2.0f));
        }
        unsigned char viaApi[64] = {}, direct[64] = {};
        const int apiCode = VexCalWavelengthShift(readings.data(), device.data(), viaApi);
        QCOMPARE(apiCode, CalcWavelengthShift_JIGU(readings.data(), device.data(), direct));
        QCOMPARE(apiCode, 0);
        QCOMPARE(std::memcmp(viaApi, direct, sizeof direct), 0);
    }

    void darkCalibration()
    {
        VexSim_SetLightSource(ins, std::vector<float>(421, 0.0f).data());
        std::vector<unsigned char> result(VEX_CALIBRATION_DATA_SIZE, 0);
        QCOMPARE(VexDoDarkCalib(h, result.data(), 50000, 1600), 0);
        std::vector<int> p1, p2;
        for (const simbus::Entry& e : simbus::Log(VEXSIM_LOG_REQUEST)) {
            if (e.entry.command == 0xA0 && e.payload.size() >= 20 && e.payload[0] == 1) {
                p1.push_back(e.payload[16] << 24 | e.payload[17] << 16 | e.payload[18] << 8 | e.payload[19]);
                p2.push_back(e.payload[8]);
            }
        }
        QCOMPARE(p1, (std::vector<int>{50000, 1600}));
        QCOMPARE(p2, (std::vector<int>{200, 200}));

        std::vector<unsigned char> held(VEX_CALIBRATION_DATA_SIZE);
        QCOMPARE(VexGetCalibDataSDK(h, held.data()), 0);
        for (int i = 0; i < 128; ++i) {
            const float offset = HostFloat(held.data(), 1556 + 4 * i);
            const float rate = HostFloat(held.data(), 20 + 4 * i);
            QVERIFY2(std::fabs(HostFloat(result.data(), 1556 + 4 * i) - offset) <= 1e-3f * std::fabs(offset) + 1e-3f,
                     qPrintable(QString("offset %1").arg(i)));
            QVERIFY2(std::fabs(HostFloat(result.data(), 20 + 4 * i) - rate) <= 1e-3f * std::fabs(rate) + 1e-3f,
                     qPrintable(QString("rate %1").arg(i)));
        }
        QCOMPARE(VexDoDarkCalib(h, nullptr, 50000, 1600), 13001);
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
