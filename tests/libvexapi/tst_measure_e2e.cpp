// A measurement on the simulated instrument gives back the light source it was shown.
#include "simbus.h"
#include "vexapi.h"
#include "vexcolor.h"

#include <QtTest>

#include <cmath>
#include <vector>

namespace {

std::vector<float> LightSource()
{
    std::vector<float> e(421);
    VexSim_DefaultLightSource(e.data());
    return e;
}

// libvexcolor's own values for a spectrum: kind 0 is type 7 (x, y, Ev), kind 2 type 9 (Ev, Tcp, duv).
CalColorRecord Colour(const std::vector<float>& s, int type)
{
    CalColorRecord r{};
    r.type = type;
    r.illuminant = VEXCOLOR_LIGHT_SOURCE_ALT;
    SpectrumToColor(s.data(), 421, &r);
    return r;
}

void ExpectSpectrum(const float* got, const std::vector<float>& want)
{
    for (int i = 0; i < 421; ++i) {
        if (std::fabs(got[i] - want[static_cast<std::size_t>(i)]) > 1e-3 * want[static_cast<std::size_t>(i)])
            QFAIL(qPrintable(QString("value %1 nm: %2 against %3").arg(360 + i).arg(got[i]).arg(want[i])));
    }
}

void ExpectColour(VEX_HANDLE h, const std::vector<float>& e)
{
    const CalColorRecord xy = Colour(e, 7);
    float v[421];
    QCOMPARE(VexSetProperty(h, 1, 0), 0);
    QCOMPARE(VexGetMeasData(h, 0, v), 0);
    QVERIFY(std::fabs(v[0] - xy.values[2]) < 1e-3 * xy.values[2]);
    QVERIFY(std::fabs(v[1] - xy.values[0]) < 1e-4);
    QVERIFY(std::fabs(v[2] - xy.values[1]) < 1e-4);
    QCOMPARE(VexSetProperty(h, 1, 1), 0);
    float fc[421];
    QCOMPARE(VexGetMeasData(h, 0, fc), 0);
    QVERIFY(std::fabs(fc[0] - v[0] / 10.764f) < 1e-4f * fc[0]);
    QCOMPARE(VexSetProperty(h, 1, 0), 0);
    QCOMPARE(VexGetMeasData(h, 2, v), 0);
    QVERIFY2(std::fabs(v[1] - 3000.0f) <= 3.0f, qPrintable(QString::number(v[1])));
    QVERIFY2(std::fabs(v[2]) < 2e-4f, qPrintable(QString::number(v[2])));
}

}  // namespace

class TestMeasureE2e : public QObject {
    Q_OBJECT

private:
    VEX_HANDLE h = nullptr;
    int ins = 0;
    std::vector<float> e;

private slots:
    void init()
    {
        ins = simbus::OneInstrument();
        VexSim_SetPolls(ins, 2, 3, 2, 2);
        e = LightSource();
        QCOMPARE(VexOpenDevice(&h), 0);
        QCOMPARE(VexSetRemoteMode(h, 1), 0);
    }
    void cleanup()
    {
        VexSetRemoteMode(h, 0);
        VexCloseDevice(h);
    }

    void measurementRecoversTheLightSource()
    {
        int status = 0;
        QCOMPARE(VexGetCalibrateStatus(h, &status), 0);
        QCOMPARE(status, 1);
        int ready = 0;
        QCOMPARE(VexDoMeasurement(h, &ready), 0);
        QCOMPARE(ready, 4000);
        int state = -1;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(VexPollingMeasure(h, &state), 0);
            QCOMPARE(state, 1);
        }
        QCOMPARE(VexPollingMeasure(h, &state), 0);
        QCOMPARE(state, 2);
        float v[421];
        QCOMPARE(VexGetMeasData(h, 8, v), 0);
        ExpectSpectrum(v, e);
        ExpectColour(h, e);
    }

    void manualMeasurementsRecoverTheLightSource()
    {
        QCOMPARE(VexDoManualMeasurement(h, 4000, 1), 0);
        int state = 0;
        int polls = 0;
        do {
            QCOMPARE(VexPollingMeasure(h, &state), 0);
        } while (state != 2 && ++polls < 10);
        QCOMPARE(state, 2);
        float v[421];
        QCOMPARE(VexGetMeasData(h, 8, v), 0);
        ExpectSpectrum(v, e);
        ExpectColour(h, e);

        QCOMPARE(VexManualMeasurement(h, 0, 4000, 200), 0);
        QCOMPARE(VexGetMeasData(h, 8, v), 0);
        ExpectSpectrum(v, e);
        ExpectColour(h, e);

        std::vector<float> raw(4 * 132, -1.0f);
        int value = 0, count = 0;
        QCOMPARE(VexGetRawDataSDK(h, raw.data(), &value, 4, &count), 0);
        QCOMPARE(count, 1);
        QCOMPARE(value, 4000);
        float expected[132];
        QCOMPARE(VexSim_ReadingFor(ins, 4000, expected), 0);
        for (int i = 0; i < 132; ++i)
            QCOMPARE(raw[static_cast<std::size_t>(i)], expected[i]);
    }

    void calibrationRenewsTheBlock()
    {
        unsigned char before[3092];
        QCOMPARE(VexGetCalibDataSDK(h, before), 0);
        float oldTemperature;
        std::memcpy(&oldTemperature, before + 8, 4);
        QCOMPARE(VexDoCalibration(h), 0);
        VexSim_ClearLog();
        int state = -1;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(VexPollingCalibration(h, &state), 0);
            QCOMPARE(state, 1);
        }
        QCOMPARE(VexPollingCalibration(h, &state), 0);
        QCOMPARE(state, 2);
        std::vector<float> raw(4 * 132);
        int value = 0, count = 0;
        QCOMPARE(VexGetRawDataSDK(h, raw.data(), &value, 4, &count), 0);
        QCOMPARE(count, 4);
        bool reread = false;
        for (const simbus::Entry& x : simbus::Log(VEXSIM_LOG_REQUEST))
            reread = reread || (x.entry.command == lumet::kCmdMemoryBlock && x.payload[0] == 0 && x.payload[1] == 3);
        QVERIFY(reread);
        unsigned char after[3092];
        QCOMPARE(VexGetCalibDataSDK(h, after), 0);
        float newTemperature;
        std::memcpy(&newTemperature, after + 8, 4);
        QCOMPARE(newTemperature, oldTemperature + 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestMeasureE2e)
#include "tst_measure_e2e.moc"
