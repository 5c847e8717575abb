// Irradiance pipeline on synthetic device records with closed-form answers.
#include <QtTest>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "synthetic/synthetic.h"
#include "vexcalib.h"

using namespace vexcalib::synthetic;

namespace {

struct Instrument {
    FactoryData factory = identityFactory(50000, 25.0f);
    CalibrationData calibration = identityCalibration(factory, 25.0f);

    // Runs the pipeline on a reading whose pixel i is value(nominal wavelength of i).
    int run(const std::function<double(double)>& value, float temperature, int integrationTime,
            std::array<float, 421>& out) const
    {
        std::array<float, 132> raw{};
        for (int i = 0; i < 128; ++i)
            raw[i] = float(value(nominalWavelength(i)));
        raw[128] = temperature;
        return runRaw(raw.data(), integrationTime, out);
    }
    int runRaw(const float* raw, int integrationTime, std::array<float, 421>& out) const
    {
        const std::vector<unsigned char> dev = deviceRecord(factory);
        const std::vector<unsigned char> cal = calibrationBlock(calibration);
        return CalcIrradiance(raw, integrationTime, 0, dev.data(), cal.data(), out.data(), 0);
    }
};

double planck3000(double nm)
{
    const double m = nm * 1e-9;
    return 1e-12 * std::pow(m, -5) / std::expm1(1.4388e-2 / (m * 3000.0));
}

}  // namespace

class TestIrradiance : public QObject {
    Q_OBJECT

private slots:
    void identityReproducesPlanckian();
    void darkSignalAndIntegrationTime();
    void drift();
    void strayLightSameParity();
    void sensitivityTemperatureDivisor();
    void integrationTimeRefused_data();
    void integrationTimeRefused();
    void zeroDivisor();
    void nullArguments();
    void correctByTempAndDark();
};

void TestIrradiance::identityReproducesPlanckian()
{
    Instrument in;
    std::array<float, 421> out{};
    QCOMPARE(in.run(planck3000, 25.0f, 50000, out), 0);
    for (int k = 0; k < 421; ++k) {
        const double e = planck3000(360 + k);
        QVERIFY2(std::fabs(out[k] / e - 1) < 0.005, qPrintable(QString("%1 nm: %2 / %3").arg(360 + k).arg(out[k]).arg(e)));
        QVERIFY(out[k] >= 0.0f);
    }
    // Same pipeline, written straight into the output.
    std::array<float, 421> direct{};
    std::array<float, 132> raw{};
    for (int i = 0; i < 128; ++i)
        raw[i] = float(planck3000(nominalWavelength(i)));
    raw[128] = 25.0f;
    const auto dev = deviceRecord(in.factory);
    const auto cal = calibrationBlock(in.calibration);
    QCOMPARE(CalcRadiance(raw.data(), 50000, 0, dev.data(), cal.data(), direct.data(), 0), 0);
    QCOMPARE(direct, out);

    // The blocks are read byte-wise: an odd address gives the same result.
    std::vector<unsigned char> shifted(dev.size() + cal.size() + 1);
    std::memcpy(shifted.data() + 1, dev.data(), dev.size());
    std::memcpy(shifted.data() + 1 + dev.size(), cal.data(), cal.size());
    std::array<float, 421> odd{};
    QCOMPARE(CalcIrradiance(raw.data(), 50000, 0, shifted.data() + 1, shifted.data() + 1 + dev.size(), odd.data(), 0), 0);
    QCOMPARE(odd, out);
}

void TestIrradiance::darkSignalAndIntegrationTime()
{
    // Half the reference integration time: half the signal and half the dark rate on top of the offset.
    Instrument in;
    for (int i = 0; i < 128; ++i) {
        in.calibration.darkOffset[i] = 100.0f + i;
        in.calibration.darkRate[i] = 40.0f - 0.1f * i;
    }
    std::array<float, 132> raw{};
    for (int i = 0; i < 128; ++i)
        raw[i] = float(0.5 * (500.0 + nominalWavelength(i))) + in.calibration.darkOffset[i]
                 + 0.5f * in.calibration.darkRate[i];
    raw[128] = 25.0f;
    std::array<float, 421> out{};
    QCOMPARE(in.runRaw(raw.data(), 25000, out), 0);
    for (int k = 0; k < 421; ++k)
        QVERIFY2(std::fabs(out[k] - (500.0 + 360 + k)) < 0.01, qPrintable(QString::number(out[k])));
}

void TestIrradiance::drift()
{
    // 10 K above the dark reference: pixel wavelengths move by 10 x 0.005429468 nm, which a linear ramp shows
    // exactly (the four-point interpolation is exact for cubics).
    Instrument in;
    const double slope = 10.0;
    std::array<float, 421> out{};
    QCOMPARE(in.run([slope](double nm) { return 100.0 + slope * (nm - 360.0); }, 35.0f, 50000, out), 0);
    // Above the second-to-last pixel the last value is held, so the ramp ends there.
    for (int k = 0; 360 + k < nominalWavelength(125); ++k) {
        const double shift = (out[k] - (100.0 + slope * k)) / slope;
        QVERIFY2(std::fabs(shift - 0.05429468) < 2e-4, qPrintable(QString("%1 nm: %2").arg(360 + k).arg(shift)));
    }
}

void TestIrradiance::strayLightSameParity()
{
    // Row j also takes a quarter of pixel j - 2 (same parity); a ramp stays a ramp: 12.5 i - 5 for ramp 10 i.
    Instrument in;
    for (int j = 2; j < 128; ++j)
        in.factory.strayLight[j][j / 2 - 1] = 0.25f;
    std::array<float, 421> out{};
    auto index = [](double nm) { return (nm - 360.0) * 127.0 / 420.0; };
    QCOMPARE(in.run([&](double nm) { return 10.0 * index(nm); }, 25.0f, 50000, out), 0);
    for (int k = 15; k < 421; ++k) {
        const double want = 12.5 * index(360 + k) - 5.0;
        QVERIFY2(std::fabs(out[k] - want) < 2e-3 * want, qPrintable(QString("%1 nm: %2 / %3").arg(360 + k).arg(out[k]).arg(want)));
    }
}

void TestIrradiance::sensitivityTemperatureDivisor()
{
    // (25 - 20) K x 0.01 x per-pixel coefficient 2 + 1 = 1.1; the sensitivity factor 3 multiplies after.
    Instrument in;
    in.factory.referenceTemperature = 20.0f;
    in.factory.sensitivityTempCoeff = 0.01f;
    for (int i = 0; i < 128; ++i) {
        in.calibration.tempCoeff[i] = 2.0f;
        in.factory.sensitivity[i] = 3.0f;
    }
    std::array<float, 421> out{};
    QCOMPARE(in.run([](double) { return 1100.0; }, 25.0f, 50000, out), 0);
    for (float v : out)
        QVERIFY2(std::fabs(v - 3000.0f) < 0.05f, qPrintable(QString::number(v)));
}

void TestIrradiance::integrationTimeRefused_data()
{
    QTest::addColumn<int>("time");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
}

void TestIrradiance::integrationTimeRefused()
{
    QFETCH(int, time);
    Instrument in;
    std::array<float, 421> out;
    out.fill(-7.0f);
    QCOMPARE(in.run(planck3000, 25.0f, time, out), 16);
    QCOMPARE(out[0], -7.0f);
}

void TestIrradiance::zeroDivisor()
{
    Instrument in;
    in.factory.referenceTemperature = 23.0f;
    in.factory.sensitivityTempCoeff = 0.5f;
    in.calibration.tempCoeff[40] = -1.0f;  // (25 - 23) x 0.5 x -1 + 1 = 0
    std::array<float, 421> out{};
    QCOMPARE(in.run(planck3000, 25.0f, 50000, out), 16);
}

void TestIrradiance::nullArguments()
{
    Instrument in;
    const auto dev = deviceRecord(in.factory);
    const auto cal = calibrationBlock(in.calibration);
    std::array<float, 132> raw{};
    std::array<float, 421> out{};
    for (auto f : {&CalcIrradiance, &CalcRadiance}) {
        QCOMPARE(f(nullptr, 50000, 0, dev.data(), cal.data(), out.data(), 0), 4);
        QCOMPARE(f(raw.data(), 50000, 0, nullptr, cal.data(), out.data(), 0), 4);
        QCOMPARE(f(raw.data(), 50000, 0, dev.data(), nullptr, out.data(), 0), 4);
        QCOMPARE(f(raw.data(), 50000, 0, dev.data(), cal.data(), nullptr, 0), 4);
    }
}

void TestIrradiance::correctByTempAndDark()
{
    // dT = 5 K: B = 25000 x exp(0.02 x 5) / 50000, A = 0.5 x 5.
    std::array<float, 128> raw, rate, offset;
    for (int i = 0; i < 128; ++i) {
        raw[i] = 1000.0f + i;
        rate[i] = 2.0f + 0.01f * i;
        offset[i] = 100.0f + i;
    }
    std::array<float, 128> corrected = raw;
    QCOMPARE(CorrectByTempAndDark(corrected.data(), 25000, 50000, 30.0f, 25.0f, 0.02f, 0.5f, rate.data(),
                                  offset.data()),
             0);
    const double b = 0.5 * std::exp(0.1);
    for (int i = 0; i < 128; ++i)
        QVERIFY(std::fabs(corrected[i] - (raw[i] - (offset[i] + 2.5 + rate[i] * b))) < 1e-3);
    QCOMPARE(CorrectByTempAndDark(nullptr, 1, 1, 0, 0, 0, 0, rate.data(), offset.data()), 1);
    QCOMPARE(CorrectByTempAndDark(raw.data(), 1, 1, 0, 0, 0, 0, nullptr, offset.data()), 1);
    QCOMPARE(CorrectByTempAndDark(raw.data(), 1, 1, 0, 0, 0, 0, rate.data(), nullptr), 1);
}

QTEST_GUILESS_MAIN(TestIrradiance)
#include "tst_irradiance.moc"
