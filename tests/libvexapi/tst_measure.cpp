// Measurement edge cases on the device object, with a fake clock for the bounded loops.
#include "alldevice.h"
#include "simbus.h"
#include "tarsel_factory.h"
#include "vexapi_codes.h"

#include <QtTest>

#include <vector>

using namespace vexapi;

namespace {

std::uint64_t g_now = 0;
int g_pauses = 0;
std::uint64_t FakeClock() { return g_now; }
void FakePause(int ms)
{
    g_now += static_cast<std::uint64_t>(ms);
    ++g_pauses;
}

std::vector<int> History(cTarselDevice& d)
{
    VexErrorHistory h{};
    d.GetPrevError(&h);
    return std::vector<int>(h.codes, h.codes + h.count);
}

bool Contains(const std::vector<int>& v, int code) { return std::find(v.begin(), v.end(), code) != v.end(); }

}  // namespace

class TestMeasure : public QObject {
    Q_OBJECT

private:
    cTarselDevice* d = nullptr;
    int ins = 0;

    void Open()
    {
        QVERIFY(cTarselFactory::Instance().ProductHandle(&d));
        int on = 1;
        QCOMPARE(d->RemoteMode(0, &on), 0);
        d->ClearErrors();
    }
    void Measure()
    {
        int ready = 0;
        QCOMPARE(d->DoMeasurement(&ready), 0);
        int state = 0;
        QCOMPARE(d->PollingMeasure(&state), 0);
        QCOMPARE(state, 2);
    }
    // A data set with every pixel at `pixel` over the instrument's own reading.
    void ScriptPixel(int index, float pixel, int header = 4000)
    {
        std::vector<float> v(132);
        VexSim_ReadingFor(ins, header, v.data());
        v[static_cast<std::size_t>(index)] = pixel;
        VexSim_ScriptDataSet(ins, header, v.data());
    }

private slots:
    void init()
    {
        ins = simbus::OneInstrument();
        SetPauseFunction(FakePause);
        SetClockFunction(FakeClock);
        g_now = 0;
        g_pauses = 0;
        Open();
    }
    void cleanup()
    {
        cTarselFactory::Instance().ReleaseAll();
        SetPauseFunction(nullptr);
        SetClockFunction(nullptr);
    }

    void pixelLimit()
    {
        ScriptPixel(5, 20000.0f);
        int ready = 0;
        QCOMPARE(d->DoMeasurement(&ready), 0);
        int state = 0;
        QCOMPARE(d->PollingMeasure(&state), 1206);
        QVERIFY(History(*d).empty());
        ScriptPixel(5, 19999.0f);
        QCOMPARE(d->DoMeasurement(&ready), 0);
        QCOMPARE(d->PollingMeasure(&state), 0);
    }

    void noMeasurementYet()
    {
        std::vector<float> v(421, 1.0f);
        QCOMPARE(d->GetMeasData(0, v.data()), 3703);
        QVERIFY(std::all_of(v.begin(), v.end(), [](float x) { return x == -50000.0f; }));
    }

    void lowLevel_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<float>("ev");
        QTest::addColumn<int>("result");
        // The recovered illuminance is within 0.1 % of the source: stay that far from each threshold.
        QTest::newRow("range 0 below 50") << 0 << 49.9f << 1;
        QTest::newRow("range 0 above 50") << 0 << 50.1f << 0;
        QTest::newRow("range 3 below 100") << 3 << 99.8f << 1;
        QTest::newRow("range 3 above 50") << 3 << 60.0f << 1;
        QTest::newRow("range 1 below 10") << 1 << 9.98f << 1;
        QTest::newRow("range 1 above 10") << 1 << 10.02f << 0;
        QTest::newRow("range 2 at 0.1") << 2 << 0.1f << 0;
    }
    void lowLevel()
    {
        QFETCH(int, range);
        QFETCH(float, ev);
        QFETCH(int, result);
        VexMeasSetting s{};
        s.range = range;
        QCOMPARE(d->MeasSetting(1, 4, &s), 0);
        std::vector<float> light(421);
        VexSim_DefaultLightSource(light.data());
        for (float& x : light)
            x *= ev / 500.0f;
        VexSim_SetLightSource(ins, light.data());
        Measure();
        d->ClearErrors();
        float v[421];
        QCOMPARE(d->GetMeasData(0, v), result);
        QCOMPARE(d->ResultFlag(), result ? 2 : 0);
        // A failed calculation wins over the low-level warning.
        if (result) {
            d->ClearErrors();
            QCOMPARE(d->GetMeasData(10, v), 3702);
            QCOMPARE(History(*d), std::vector<int>{30103});
            QCOMPARE(d->ResultFlag(), 2);
        }
    }

    void manualRange_data()
    {
        QTest::addColumn<float>("highest");
        QTest::addColumn<int>("flag");
        QTest::newRow("819") << 819.0f << 7;
        QTest::newRow("820") << 820.0f << 0;
        QTest::newRow("6560") << 6560.0f << 0;
        QTest::newRow("6561") << 6561.0f << 6;
    }
    void manualRange()
    {
        QFETCH(float, highest);
        QFETCH(int, flag);
        // Corrected pixel = raw - (offset + rate): script the raw values so the highest lands exactly.
        std::vector<float> dark(132);
        std::vector<float> zero(421, 0.0f);
        VexSim_SetLightSource(ins, zero.data());
        VexSim_ReadingFor(ins, 4000, dark.data());
        std::vector<float> raw = dark;
        for (int i = 0; i < 128; ++i)
            raw[static_cast<std::size_t>(i)] += i == 60 ? highest : 100.0f;
        VexSim_ScriptDataSet(ins, 4000, raw.data());
        QCOMPARE(d->DoManualMeasurement(4000, 1), 0);
        int state = 0;
        QCOMPARE(d->PollingMeasure(&state), 0);
        QCOMPARE(state, 2);
        float v[421];
        QCOMPARE(d->GetMeasData(8, v), flag ? 1 : 0);
        QCOMPARE(d->ResultFlag(), flag);
    }

    void manualStartChecks()
    {
        VexSim_ClearLog();
        QCOMPARE(d->DoManualMeasurement(40, 10), 1330);
        QCOMPARE(d->DoManualMeasurement(41, 100), 1328);
        QCOMPARE(d->DoManualMeasurement(40, 3), 1329);
        QCOMPARE(VexSim_LogCount(), 0);
        const unsigned char old[12] = {0x01, 0x11, 0x00, 0x09};
        VexSim_SetFirmware(ins, old);
        QCOMPARE(d->DoManualMeasurement(4000, 1), 1326);
    }

    void calibrationStatus()
    {
        int ready = 0;
        VexSim_SetCalibrationStatus(ins, 2);
        QCOMPARE(d->DoMeasurement(&ready), 1);
        QCOMPARE(d->ResultFlag(), 1);
        VexSim_SetCalibrationStatus(ins, 0);
        QCOMPARE(d->DoMeasurement(&ready), 1306);
        VexSim_SetCalibrationStatus(ins, 1);
        VexSim_ScriptMeasureStatus(ins, 3, 0);
        QCOMPARE(d->DoMeasurement(&ready), 1307);
    }

    void pollingStates()
    {
        int state = -1;
        QCOMPARE(d->PollingMeasure(&state), 0);
        QCOMPARE(state, 0);
        // Too bright for the instrument's range: the reading is scaled down 400 times.
        std::vector<float> v(132);
        VexSim_ReadingFor(ins, 4000, v.data());
        VexSim_ScriptDataSet(ins, 10, v.data());
        int ready = 0;
        QCOMPARE(d->DoMeasurement(&ready), 0);
        QCOMPARE(d->PollingMeasure(&state), 1204);
        float values[421];
        QCOMPARE(d->GetMeasData(0, values), 3703);
        // An unknown status byte is a failed poll; the measurement keeps running.
        QCOMPARE(d->DoMeasurement(&ready), 0);
        d->ClearErrors();
        VexSim_ScriptMeasureStatus(ins, 7, 4000);
        QCOMPARE(d->PollingMeasure(&state), 1205);
        QCOMPARE(History(*d), std::vector<int>{40103});
        QVERIFY(d->Irrad().IsRunning());
        VexSim_ClearLog();
        QCOMPARE(d->StopMeasurement(), 0);
        QCOMPARE(simbus::CountRequests(0x11, 2), 1);
        QCOMPARE(d->PollingMeasure(&state), 0);
        QCOMPARE(state, 0);
    }

    // A repeated or missing report of the spectral data set fails the poll; the values are never taken
    // shifted. The next measurement, with whole reports, is measured again.
    void brokenDataSet_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("report");
        QTest::newRow("report 3 repeated") << int(VEXSIM_FAULT_REPEAT) << 3;
        QTest::newRow("first report repeated") << int(VEXSIM_FAULT_REPEAT) << 0;
        QTest::newRow("report 3 dropped") << int(VEXSIM_FAULT_DROP) << 3;
        QTest::newRow("last report dropped") << int(VEXSIM_FAULT_DROP) << 8;
    }
    void brokenDataSet()
    {
        QFETCH(int, fault);
        QFETCH(int, report);
        int ready = 0;
        QCOMPARE(d->DoMeasurement(&ready), 0);
        // The status poll passes; the data request's set breaks.
        simbus::AddFault(ins, 0x11, fault, 1, 1, report);
        int state = 0;
        QCOMPARE(d->PollingMeasure(&state), 1205);
        QCOMPARE(History(*d), std::vector<int>{40104});
        float values[421];
        QCOMPARE(d->GetMeasData(0, values), 3703);
        Measure();
        QCOMPARE(d->GetMeasData(0, values), 0);
    }

    void boundedLoops()
    {
        for (int i = 0; i < 200000; ++i)
            VexSim_ScriptMeasureStatus(ins, 4, 0);
        int ready = 0;
        QCOMPARE(d->DoMeasurement(&ready), 1305);
        QVERIFY(Contains(History(*d), 40102));
        QVERIFY(g_now >= 130000 && g_now < 130010);
        QCOMPARE(g_pauses, static_cast<int>(g_now));

        g_now = 0;
        g_pauses = 0;
        for (int i = 0; i < 200000; ++i)
            VexSim_ScriptRawReady(ins, 2);
        QCOMPARE(d->ManualMeasurement(0, 4000, 200), 11004);
        QVERIFY(g_now >= 130000 && g_now < 130010);

        // The all-device ready wait is bounded the same way, and the failure stops the device.
        g_now = 0;
        g_pauses = 0;
        d->ClearErrors();
        for (int i = 0; i < 200000; ++i)
            VexSim_ScriptMeasureStatus(ins, 4, 0);
        VexSim_ClearLog();
        QCOMPARE(DoMeasurementAll(&ready), 10806);
        QVERIFY(Contains(History(*d), 40108));
        QVERIFY(g_now >= 130000 && g_now < 130010);
        QCOMPARE(g_pauses, static_cast<int>(g_now));
        QCOMPARE(simbus::CountRequests(0x11, 2), 1);
    }

    void rawChecks()
    {
        std::vector<float> v(132);
        VexSim_ReadingFor(ins, 4000, v.data());
        v[3] = 20000.0f;
        VexSim_ScriptDataSet(ins, 4000, v.data());
        QCOMPARE(d->ManualMeasurement(0, 4000, 200), 11006);
        VexSim_ReadingFor(ins, 4000, v.data());
        v[130] = 20000.0f;
        VexSim_ScriptDataSet(ins, 4000, v.data());
        QCOMPARE(d->ManualMeasurement(0, 4000, 200), 11007);
        VexSim_ScriptRawReady(ins, 7);
        QCOMPARE(d->ManualMeasurement(0, 4000, 200), 11004);
    }

    void calibrationDataSets_data()
    {
        QTest::addColumn<int>("header");
        QTest::addColumn<float>("pixel");
        QTest::addColumn<int>("result");
        QTest::newRow("-20") << -20 << 100.0f << 11203;
        QTest::newRow("0") << 0 << 100.0f << 11202;
        QTest::newRow("pixel 20000") << 4000 << 20000.0f << 11202;
    }
    void calibrationDataSets()
    {
        QFETCH(int, header);
        QFETCH(float, pixel);
        QFETCH(int, result);
        ScriptPixel(0, pixel, header);
        QCOMPARE(d->DoCalibration(), 0);
        int state = 0;
        QCOMPARE(d->PollingCalibration(&state), result);
    }

    void properties()
    {
        QCOMPARE(d->SetProperty(2, 0), 504);
        QCOMPARE(d->SetProperty(0, 2), 501);
        QCOMPARE(d->SetProperty(1, 2), 502);
    }

    void userCalibrationApplied()
    {
        VexSimSpectralSeed seed{};
        for (float& f : seed.values)
            f = 2.0f;
        VexSim_SetSpectralRecord(ins, 0x15, 3, &seed);
        VexMeasSetting s{};
        s.userCalibration = 3;
        QCOMPARE(d->MeasSetting(1, 5, &s), 0);
        QCOMPARE(d->UserCalibrationNumber(), 3);
        Measure();
        std::vector<float> plain(421);
        d->RawData().GetProcessed(plain.data());
        float a[421], b[421];
        QCOMPARE(d->GetMeasData(8, a), 0);
        QCOMPARE(d->GetMeasData(8, b), 0);
        for (int i = 0; i < 421; ++i) {
            QCOMPARE(a[i], 2.0f * plain[static_cast<std::size_t>(i)]);
            QCOMPARE(b[i], a[i]);
        }
    }

    void buttons()
    {
        const unsigned char bytes[8] = {0, 0, 1, 0, 1, 0, 1, 2};
        VexSim_SetButtons(ins, bytes);
        VexButtonStatus b{};
        QCOMPARE(d->GetButtonStatus(&b), 0);
        QCOMPARE(std::vector<int>(b.buttons, b.buttons + 5), (std::vector<int>{1, 0, 1, 0, 1}));
    }
};

QTEST_GUILESS_MAIN(TestMeasure)
#include "tst_measure.moc"
