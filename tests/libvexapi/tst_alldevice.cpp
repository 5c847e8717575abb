// Measurements on every open device at once, over two simulated instruments.
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

#include <vector>

namespace {

// Requests of `command` with operation byte `operation` sent to one instrument.
int RequestsTo(int instrument, int command, int operation)
{
    int n = 0;
    for (const simbus::Entry& e : simbus::Log(VEXSIM_LOG_REQUEST)) {
        if (e.entry.instrument == instrument && e.entry.command == command && !e.payload.empty() &&
            e.payload[0] == operation)
            ++n;
    }
    return n;
}

}  // namespace

class TestAllDevice : public QObject {
    Q_OBJECT

private:
    std::vector<VEX_HANDLE> h;

    void OpenAll(int count, bool remote = true)
    {
        VexSim_Reset();
        for (int i = 0; i < count; ++i) {
            VexSimInstrument config;
            VexSim_DefaultInstrument(&config);
            const QByteArray serial = QByteArray("LUMET-") + QByteArray::number(10000000 + i);
            config.usbSerial = serial.constData();
            VexSim_AddInstrument(&config);
        }
        for (int i = 0; i < count; ++i) {
            VEX_HANDLE handle = nullptr;
            QCOMPARE(VexOpenDevice(&handle), 0);
            h.push_back(handle);
            if (remote)
                QCOMPARE(VexSetRemoteMode(handle, 1), 0);
        }
        VexSim_ClearLog();
    }

    // Polls the run until it ends; the final result.
    int PollToEnd()
    {
        int state = 1;
        int code = 0;
        for (int i = 0; i < 100 && state == 1; ++i)
            code = VexPollingMeasureAll(&state);
        return state == 2 ? code : -1;
    }

private slots:
    void cleanup()
    {
        VexStopMeasurementAll();
        for (VEX_HANDLE handle : h)
            VexCloseDevice(handle);
        h.clear();
    }

    void startRefusals()
    {
        VexSim_Reset();
        int value = 0;
        QCOMPARE(VexDoMeasurementAll(&value), 10801);
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10821);
        QCOMPARE(VexDoMeasurementAll(nullptr), 10809);

        OpenAll(2, false);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(VexSetRemoteMode(h[0], 1), 0);
        QCOMPARE(VexDoMeasurementAll(&value), 10807);
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10827);
    }

    void calibrationStatus_data()
    {
        QTest::addColumn<int>("command");  // the failing exchange of the second device
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("status");   // calibration status of the second device
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("manualCode");
        // The second remote query after the count's is the calibration status's own.
        QTest::newRow("not remote") << int(lumet::kCmdRemoteMode) << 1 << 1 << 10803 << 10823;
        QTest::newRow("exchange") << 0x10 << 0 << 1 << 10804 << 10824;
        QTest::newRow("status 0") << 0 << 0 << 0 << 10802 << 10822;
    }
    void calibrationStatus()
    {
        QFETCH(int, command);
        QFETCH(int, skip);
        QFETCH(int, status);
        QFETCH(int, code);
        QFETCH(int, manualCode);
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        VexSim_SetCalibrationStatus(1, status);
        int value = 0;
        for (bool manual : {false, true}) {
            if (command)
                simbus::AddFault(1, command, VEXSIM_FAULT_STATUS, 4, skip);
            VexSim_ClearLog();
            QCOMPARE(manual ? VexDoManualMeasurementAll(4000, 1) : VexDoMeasurementAll(&value),
                     manual ? manualCode : code);
            // Nothing was started.
            QCOMPARE(RequestsTo(0, 0x11, manual ? 4 : 0), 0);
            int state = -1;
            QCOMPARE(VexPollingMeasureAll(&state), 0);
            QCOMPARE(state, 0);
        }
    }

    void startFailureStopsEveryDevice()
    {
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        simbus::AddFault(1, 0x11, VEXSIM_FAULT_STATUS, 4);
        int value = 0;
        QCOMPARE(VexDoMeasurementAll(&value), 10805);
        QCOMPARE(RequestsTo(0, 0x11, 2), 1);
        QCOMPARE(RequestsTo(1, 0x11, 2), 1);

        VexSim_ClearLog();
        simbus::AddFault(0, 0xA0, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10831);
        QCOMPARE(RequestsTo(0, 0x11, 2), 1);
        QCOMPARE(RequestsTo(1, 0x11, 2), 1);

        VexSim_ClearLog();
        simbus::AddFault(1, 0x11, VEXSIM_FAULT_STATUS, 4);
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10825);
        QCOMPARE(RequestsTo(0, 0x11, 2), 1);
        QCOMPARE(RequestsTo(1, 0x11, 2), 1);
    }

    void pollingARun()
    {
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        int state = -1;
        QCOMPARE(VexPollingMeasureAll(&state), 0);
        QCOMPARE(state, 0);
        QCOMPARE(VexPollingMeasureAll(nullptr), 10901);

        VexSim_SetPolls(0, 0, 2, 0, 0);
        int value = 0;
        QCOMPARE(VexDoMeasurementAll(&value), 0);
        QVERIFY(value > 0);
        // The per-device poll belongs to the run now, whatever the handle.
        QCOMPARE(VexPollingMeasure(h[0], &state), 16);
        QCOMPARE(VexPollingMeasure(nullptr, &state), 16);

        // The first device is busy: the second is not asked.
        VexSim_ClearLog();
        QCOMPARE(VexPollingMeasureAll(&state), 0);
        QCOMPARE(state, 1);
        QCOMPARE(RequestsTo(0, 0x11, 1), 1);
        QCOMPARE(RequestsTo(1, 0x11, 1), 0);
        QCOMPARE(PollToEnd(), 0);

        // Both measured: each has its data, and the per-device exports are free again.
        float v[421];
        QCOMPARE(VexGetMeasData(h[0], 8, v), 0);
        QCOMPARE(VexGetMeasData(h[1], 8, v), 0);
        QCOMPARE(VexPollingMeasure(h[0], &state), 0);
        QCOMPARE(state, 0);
    }

    void secondDeviceFails_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("code");
        QTest::newRow("too bright (1204)") << 0 << 10903;
        QTest::newRow("not remote (1202)") << 1 << 10902;
        QTest::newRow("unknown status (1205)") << 2 << 10904;
        QTest::newRow("pixel at the limit (1206)") << 3 << 10903;
    }
    void secondDeviceFails()
    {
        QFETCH(int, failure);
        QFETCH(int, code);
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        int value = 0;
        std::vector<float> v(132);
        QCOMPARE(VexDoMeasurementAll(&value), 0);
        switch (failure) {
        case 0:
            // The integration value a 400th of the real one: far beyond the instrument's range.
            VexSim_ReadingFor(1, value, v.data());
            VexSim_ScriptDataSet(1, value / 400, v.data());
            break;
        case 1: QCOMPARE(VexSetRemoteMode(h[1], 0), 0); break;
        case 2: VexSim_ScriptMeasureStatus(1, 7, value); break;
        case 3:
            VexSim_ReadingFor(1, value, v.data());
            v[5] = 20000.0f;
            VexSim_ScriptDataSet(1, value, v.data());
            break;
        }
        QCOMPARE(PollToEnd(), code);
        // The run is over.
        int state = -1;
        QCOMPARE(VexPollingMeasureAll(&state), 0);
        QCOMPARE(state, 0);
        float spectrum[421];
        QCOMPARE(VexGetMeasData(h[0], 8, spectrum), 0);
    }

    void manualRun()
    {
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        VexSim_ClearLog();
        QCOMPARE(VexDoManualMeasurementAll(41, 1), 10828);
        QCOMPARE(VexDoManualMeasurementAll(4000, 3), 10829);
        QCOMPARE(VexDoManualMeasurementAll(4000, 10), 10830);
        QCOMPARE(VexSim_LogCount(), 0);

        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 0);
        QCOMPARE(RequestsTo(0, 0x11, 4), 1);
        QCOMPARE(RequestsTo(1, 0x11, 4), 1);
        QCOMPARE(PollToEnd(), 0);
        float v[421];
        QCOMPARE(VexGetMeasData(h[1], 8, v), 0);

        const unsigned char old[12] = {0x01, 0x11, 0x00, 0x09};
        VexSim_SetFirmware(1, old);
        VexSim_ClearLog();
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10826);
        QCOMPARE(simbus::CountRequests(0xA0), 0);
    }

    void closedDuringARun_data()
    {
        QTest::addColumn<int>("closed");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
    }
    void closedDuringARun()
    {
        QFETCH(int, closed);
        OpenAll(2);
        if (QTest::currentTestFailed())
            return;
        int value = 0;
        QCOMPARE(VexDoMeasurementAll(&value), 0);
        QCOMPARE(VexCloseDevice(h[static_cast<std::size_t>(closed)]), 0);
        h.erase(h.begin() + closed);
        QCOMPARE(PollToEnd(), 10904);
        float v[421];
        QCOMPARE(VexGetMeasData(h[0], 8, v), 0);
    }

    void moreDevicesThanTheTable()
    {
        OpenAll(128, false);
        if (QTest::currentTestFailed())
            return;
        int value = 0;
        QCOMPARE(VexDoMeasurementAll(&value), 10808);
        QCOMPARE(VexDoManualMeasurementAll(4000, 1), 10832);
        QCOMPARE(VexSim_LogCount(), 0);
        // One fewer fits the table.
        QCOMPARE(VexCloseDevice(h.back()), 0);
        h.pop_back();
        QCOMPARE(VexDoMeasurementAll(&value), 10807);
    }
};

QTEST_GUILESS_MAIN(TestAllDevice)
#include "tst_alldevice.moc"
