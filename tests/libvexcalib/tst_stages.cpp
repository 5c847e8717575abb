// Single stages of the calibration library: interpolation, long-wavelength correction, line window, shift fit.
#include <QtTest>

#include <array>
#include <cmath>

#include "calibcore.h"
#include "synthetic/synthetic.h"

using namespace vexcalib;

namespace {

std::array<float, 128> nominal()
{
    std::array<float, 128> t;
    for (int i = 0; i < 128; ++i)
        t[i] = synthetic::nominalWavelength(i);
    return t;
}

double gauss(double x, double centre, double sigma)
{
    return std::exp(-0.5 * (x - centre) * (x - centre) / (sigma * sigma));
}

double cubic(double w)
{
    const double x = (w - 500.0) / 100.0;
    return 3.0 + 2.0 * x - 1.5 * x * x + 0.75 * x * x * x;
}

}  // namespace

class TestStages : public QObject {
    Q_OBJECT

private slots:
    void interpolation_data();
    void interpolation();
    void longWaveCorrection_data();
    void longWaveCorrection();
    void lineWindow();
    void fitRecoversShift_data();
    void fitRecoversShift();
};

void TestStages::interpolation_data()
{
    QTest::addColumn<float>("w");
    QTest::addColumn<bool>("held");
    QTest::newRow("below the first pixel") << 357.5f << false;
    QTest::newRow("first interval") << 361.0f << false;
    QTest::newRow("inside") << 555.5f << false;
    QTest::newRow("last interval") << 779.0f << false;
    QTest::newRow("at the last pixel") << 780.0f << true;
    QTest::newRow("above the last pixel") << 783.0f << true;
}

void TestStages::interpolation()
{
    QFETCH(float, w);
    QFETCH(bool, held);
    const auto t = nominal();
    std::array<float, 128> v;
    for (int i = 0; i < 128; ++i)
        v[i] = float(cubic(t[i]));
    const float got = interpolate4(t.data(), v.data(), w);
    const double want = held ? v[127] : cubic(w);
    QVERIFY2(std::fabs(got - want) < 2e-5, qPrintable(QString("%1 / %2").arg(got).arg(want)));
}

void TestStages::longWaveCorrection_data()
{
    QTest::addColumn<QVector<float>>("c");
    QTest::newRow("narrow, growing gain") << QVector<float>{0.5f, 3.0f, 0.01f, 0.002f, 2.5f};
    QTest::newRow("wide, falling gain") << QVector<float>{0.3f, -4.0f, 0.2f, -0.003f, 6.0f};
}

void TestStages::longWaveCorrection()
{
    // With v = A u (A the 2-pixel Gaussian blur) the correction is K u.
    QFETCH(QVector<float>, c);
    double u[31], v[31];
    for (int j = 0; j < 31; ++j)
        u[j] = 100.0 * gauss(j, 11.0, 1.2) + 40.0 * gauss(j, 23.0, 2.0);
    const double w1 = 2.0 / (2.0 * std::sqrt(std::log(2.0)));
    for (int i = 0; i < 31; ++i) {
        v[i] = 0;
        for (int j = 0; j < 31; ++j)
            v[i] += std::exp(-std::pow((i - j) / w1, 2)) * u[j];
    }
    float vf[31];
    for (int i = 0; i < 31; ++i)
        vf[i] = float(v[i]);
    float correction[48];
    vexcalib::longWaveCorrection(c.constData(), vf, correction);
    const double w2 = c[4] / (2.0 * std::sqrt(std::log(2.0)));
    for (int r = 0; r < 48; ++r) {
        double want = 0;
        for (int j = 0; j < 31; ++j)
            want += (c[2] + c[3] * r) * std::exp(-std::pow((j - c[0] * r + c[1]) / w2, 2)) * u[j];
        QVERIFY2(std::fabs(correction[r] - want) < 1e-3 * (1.0 + std::fabs(want)),
                 qPrintable(QString("%1: %2 / %3").arg(r).arg(correction[r]).arg(want)));
    }
}

void TestStages::lineWindow()
{
    std::array<float, 128> p{};
    for (int i = 0; i < 128; ++i)
        p[i] = float(1000.0 * gauss(i, 12.0, 1.5) + 500.0 * gauss(i, 108.0, 2.0));
    int first = 0, last = 0;
    vexcalib::lineWindow(p.data(), first, last);
    // 2 % of the peak: exp(-d^2 / 8) >= 0.02 for |d| <= 5.59.
    QCOMPARE(first, 103);
    QCOMPARE(last, 113);
    // A first peak at pixel 0 falls back to the default window.
    p[0] = 5000.0f;
    vexcalib::lineWindow(p.data(), first, last);
    QCOMPARE(first, 90);
    QCOMPARE(last, 127);
}

void TestStages::fitRecoversShift_data()
{
    QTest::addColumn<float>("offset");  // trial offset that moves the difference onto the target
    QTest::addColumn<int>("code");
    QTest::newRow("none") << 0.0f << 0;
    QTest::newRow("1.235 nm") << 1.235f << 0;
    QTest::newRow("-0.73 nm") << -0.73f << 0;
    QTest::newRow("-3.105 nm") << -3.105f << 0;
    QTest::newRow("shift 5.000 accepted") << -5.0f << 0;
    QTest::newRow("shift -5.000 accepted") << 5.0f << 0;
    QTest::newRow("shift 5.005 refused") << -5.005f << 7;
    QTest::newRow("beyond the search") << -7.0f << 7;
}

void TestStages::fitRecoversShift()
{
    QFETCH(float, offset);
    QFETCH(int, code);
    const auto t = nominal();
    std::array<float, 128> difference, target;
    for (int i = 0; i < 128; ++i)
        difference[i] = float(800.0 * gauss(i, 108.0, 2.5));
    for (int i = 0; i < 128; ++i)
        target[i] = interpolate4(t.data(), difference.data(), t[i] + offset);
    try {
        const float shift = fitShift(target.data(), difference.data(), t.data(), 90, 127);
        QCOMPARE(code, 0);
        QVERIFY2(std::fabs(shift + offset) < 1e-4f, qPrintable(QString::number(shift, 'f', 4)));
    } catch (eCALIB_ERROR_TYPES e) {
        QCOMPARE(int(e), code);
    }
}

QTEST_GUILESS_MAIN(TestStages)
#include "tst_stages.moc"
