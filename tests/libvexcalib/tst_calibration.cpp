// Dark calibration and wavelength shift on synthetic readings.
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "synthetic/synthetic.h"
#include "vexcalib.h"

using namespace vexcalib::synthetic;

namespace {

using Readings = std::array<float, 264>;

// Dark readings of the model offset + rate x setting, first block at setting1, second at setting2.
Readings darkReadings(const std::array<float, 128>& offset, const std::array<float, 128>& rate, double setting1,
                      double setting2)
{
    Readings r{};
    for (int i = 0; i < 128; ++i) {
        r[i] = float(offset[i] + rate[i] * setting1);
        r[132 + i] = float(offset[i] + rate[i] * setting2);
    }
    r[128] = 24.5f;
    r[260] = 26.0f;
    return r;
}

double gauss(double x, double centre, double sigma)
{
    return std::exp(-0.5 * (x - centre) * (x - centre) / (sigma * sigma));
}

// Lamp off and on: a first-order line near pixel 12 and a long-wavelength line near pixel 108.
Readings lampReadings(double height)
{
    Readings r{};
    for (int i = 0; i < 128; ++i) {
        r[i] = 50.0f;
        r[132 + i] = float(50.0 + height * (gauss(i, 12.0, 1.5) + 0.6 * gauss(i, 108.0, 2.5)));
    }
    r[128] = r[260] = 25.0f;
    return r;
}

}  // namespace

class TestCalibration : public QObject {
    Q_OBJECT

private slots:
    void darkModel_data();
    void darkModel();
    void darkSmoothing();
    void darkSaturated();
    void darkRefusals();
    void shiftWithoutSecondOrderLight();
    void weakLamp();
    void lampWithoutLongLine();
    void shiftRefusals();
    void unsupportedAndVersion();
};

void TestCalibration::darkModel_data()
{
    QTest::addColumn<bool>("jigu");
    QTest::addColumn<unsigned>("setting1");
    QTest::addColumn<unsigned>("setting2");
    QTest::newRow("default 50000 / 1600") << false << 50000u << 1600u;
    QTest::newRow("variant, first longer") << true << 30000u << 2000u;
    QTest::newRow("variant, first shorter") << true << 2000u << 30000u;
}

void TestCalibration::darkModel()
{
    QFETCH(bool, jigu);
    QFETCH(unsigned, setting1);
    QFETCH(unsigned, setting2);
    FactoryData factory = identityFactory(40000, 25.0f);
    factory.pixelTempSlope = 0.001f;
    factory.pixelTempIntercept = -0.5f;
    const auto dev = deviceRecord(factory);
    CalibrationData calibration = identityCalibration(factory);
    calibration.status = 0x1;
    auto cal = calibrationBlock(calibration);

    std::array<float, 128> offset, rate;
    for (int i = 0; i < 128; ++i) {
        offset[i] = 200.0f + 0.5f * i;  // linear, so the smoothing keeps it
        rate[i] = 0.001f + 0.00001f * i;
    }
    const Readings r = darkReadings(offset, rate, setting1, setting2);
    const int code = jigu ? CalcCalibRadiance_JIGU(r.data(), 2, dev.data(), cal.data(), setting1, setting2)
                          : CalcCalibRadiance(r.data(), 2, dev.data(), cal.data(), 0);
    QCOMPARE(code, 0);
    const CalibrationData got = readCalibration(cal.data());
    QCOMPARE(got.status, 0x3);
    QCOMPARE(got.darkTemperature1, 24.5f);
    QCOMPARE(got.darkTemperature2, 26.0f);
    for (int i = 0; i < 128; ++i) {
        QVERIFY2(std::fabs(got.darkOffset[i] - offset[i]) < 2e-3f, qPrintable(QString("%1: %2").arg(i).arg(got.darkOffset[i])));
        // Scaled to the reference integration time.
        QVERIFY2(std::fabs(got.darkRate[i] / (rate[i] * 40000.0f) - 1) < 1e-4f, qPrintable(QString::number(i)));
        const float coeff = std::max(0.0f, -0.5f + 0.001f * nominalWavelength(i));
        QVERIFY(std::fabs(got.tempCoeff[i] - coeff) < 1e-6f);
    }
    // The irradiance variant is the same calculation.
    auto again = calibrationBlock(calibration);
    if (!jigu) {
        QCOMPARE(CalcCalibIrradiance(r.data(), 2, dev.data(), again.data(), 0), 0);
        QVERIFY(again == cal);
    }
}

void TestCalibration::darkSmoothing()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    auto cal = calibrationBlock(identityCalibration(factory));
    std::array<float, 128> offset, rate{};
    for (int i = 0; i < 128; ++i)
        offset[i] = float((i * 37) % 11) * 10.0f;  // rough on purpose
    const Readings r = darkReadings(offset, rate, 50000, 1600);
    QCOMPARE(CalcCalibRadiance(r.data(), 2, dev.data(), cal.data(), 0), 0);
    const CalibrationData got = readCalibration(cal.data());
    auto mean = [&](int from, int to) {
        float s = 0;
        for (int k = from; k <= to; ++k)
            s += offset[k];
        return s / float(to - from + 1);
    };
    for (int i : {0, 1, 126, 127})
        QCOMPARE(got.darkOffset[i], offset[i]);
    QVERIFY(std::fabs(got.darkOffset[2] - mean(1, 3)) < 1e-3f);
    QVERIFY(std::fabs(got.darkOffset[3] - mean(1, 5)) < 1e-3f);
    QVERIFY(std::fabs(got.darkOffset[6] - mean(1, 11)) < 1e-3f);
    QVERIFY(std::fabs(got.darkOffset[60] - mean(55, 65)) < 1e-3f);
    QVERIFY(std::fabs(got.darkOffset[125] - mean(124, 126)) < 1e-3f);
}

void TestCalibration::darkSaturated()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    CalibrationData calibration = identityCalibration(factory, 20.0f);
    calibration.darkOffset.fill(7.0f);
    auto cal = calibrationBlock(calibration);
    std::array<float, 128> offset, rate{};
    offset.fill(100.0f);
    Readings r = darkReadings(offset, rate, 50000, 1600);
    r[132 + 77] = 6000.0f;
    QCOMPARE(CalcCalibRadiance(r.data(), 2, dev.data(), cal.data(), 0), 28);
    const CalibrationData got = readCalibration(cal.data());
    QCOMPARE(got.status, 0x1);
    QCOMPARE(got.darkTemperature1, 24.5f);
    QCOMPARE(got.darkTemperature2, 26.0f);
    QCOMPARE(got.darkOffset, calibration.darkOffset);
    QCOMPARE(got.darkRate, calibration.darkRate);
    r[132 + 77] = 5999.0f;
    QCOMPARE(CalcCalibRadiance(r.data(), 2, dev.data(), cal.data(), 0), 0);
}

void TestCalibration::darkRefusals()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    const auto before = calibrationBlock(identityCalibration(factory));
    auto cal = before;
    Readings r{};
    QCOMPARE(CalcCalibRadiance_JIGU(r.data(), 2, dev.data(), cal.data(), 5000, 5000), 4);
    QCOMPARE(CalcCalibRadiance_JIGU(r.data(), 1, dev.data(), cal.data(), 5000, 1000), 4);
    QCOMPARE(CalcCalibRadiance(r.data(), 3, dev.data(), cal.data(), 0), 4);
    QCOMPARE(CalcCalibRadiance(nullptr, 2, dev.data(), cal.data(), 0), 4);
    QCOMPARE(CalcCalibIrradiance(r.data(), 2, nullptr, cal.data(), 0), 4);
    QCOMPARE(CalcCalibRadiance(r.data(), 2, dev.data(), nullptr, 0), 4);
    QVERIFY(cal == before);
}

void TestCalibration::shiftWithoutSecondOrderLight()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    CalibrationData calibration = identityCalibration(factory);
    calibration.status = 0x2;
    calibration.shift = 1.5f;
    for (float& w : calibration.wavelength)
        w += 1.5f;
    auto cal = calibrationBlock(calibration);
    const Readings r = lampReadings(5000.0);
    QCOMPARE(CalcWavelengthShift(r.data(), 2, dev.data(), cal.data(), 0), 0);
    const CalibrationData got = readCalibration(cal.data());
    QCOMPARE(got.status, 0x3);
    QCOMPARE(got.shift, 0.0f);
    QCOMPARE(got.wavelength, factory.wavelength);

    std::array<float, 2> result = {9.0f, 9.0f};
    QCOMPARE(CalcWavelengthShift_JIGU(r.data(), dev.data(), result.data()), 0);
    QCOMPARE(result[1], 0.0f);
    QCOMPARE(result[0], 9.0f);
}

void TestCalibration::weakLamp()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    CalibrationData calibration = identityCalibration(factory);
    auto cal = calibrationBlock(calibration);
    const Readings r = lampReadings(2999.0);  // largest difference 2999 at the first line's peak
    QCOMPARE(CalcWavelengthShift(r.data(), 2, dev.data(), cal.data(), 0), 27);
    const CalibrationData got = readCalibration(cal.data());
    QCOMPARE(got.status, 0x2);
    QCOMPARE(got.wavelength, calibration.wavelength);
    std::array<float, 2> result = {9.0f, 9.0f};
    QCOMPARE(CalcWavelengthShift_JIGU(r.data(), dev.data(), result.data()), 0);
    QCOMPARE(result[1], 0.0f);
}

void TestCalibration::lampWithoutLongLine()
{
    // Nothing above pixel 90 to fit: 7, the status bit stays cleared and the JIGU result is 0.
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    auto cal = calibrationBlock(identityCalibration(factory));
    Readings r{};
    for (int i = 0; i < 128; ++i)
        r[132 + i] = float(5000.0 * gauss(i, 12.0, 1.5));
    QCOMPARE(CalcWavelengthShift(r.data(), 2, dev.data(), cal.data(), 0), 7);
    QCOMPARE(readCalibration(cal.data()).status, 0x2);
    std::array<float, 2> result = {9.0f, 9.0f};
    QCOMPARE(CalcWavelengthShift_JIGU(r.data(), dev.data(), result.data()), 7);
    QCOMPARE(result[1], 0.0f);
}

void TestCalibration::shiftRefusals()
{
    const FactoryData factory = identityFactory();
    const auto dev = deviceRecord(factory);
    auto cal = calibrationBlock(identityCalibration(factory));
    const Readings r = lampReadings(5000.0);
    float result[2] = {};
    QCOMPARE(CalcWavelengthShift(r.data(), 1, dev.data(), cal.data(), 0), 4);
    QCOMPARE(CalcWavelengthShift(nullptr, 2, dev.data(), cal.data(), 0), 4);
    QCOMPARE(CalcWavelengthShift(r.data(), 2, nullptr, cal.data(), 0), 4);
    QCOMPARE(CalcWavelengthShift(r.data(), 2, dev.data(), nullptr, 0), 4);
    QCOMPARE(readCalibration(cal.data()).status, 0x3);
    QCOMPARE(CalcWavelengthShift_JIGU(nullptr, dev.data(), result), 4);
    QCOMPARE(CalcWavelengthShift_JIGU(r.data(), dev.data(), nullptr), 4);
}

void TestCalibration::unsupportedAndVersion()
{
    QCOMPARE(CalcZero(nullptr, nullptr, nullptr, nullptr, nullptr), 31);
    QCOMPARE(CalcCalibRef(nullptr, nullptr, nullptr, nullptr, nullptr), 31);
    QCOMPARE(CalcPreRadianceFactor(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 31);
    QCOMPARE(CalcPatchSearch(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 31);
    int version[3] = {};
    QCOMPARE(GetCalibVerion(version), 0);
    QCOMPARE(version[0], 1);
    QCOMPARE(version[1], 20);
    QCOMPARE(version[2], 0);
    QCOMPARE(GetCalibVerion(nullptr), 4);
}

QTEST_GUILESS_MAIN(TestCalibration)
#include "tst_calibration.moc"
