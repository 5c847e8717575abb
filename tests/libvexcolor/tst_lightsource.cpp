// Light-source colour values against the CIE 15 and CIE 13.3 reference values.
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <vector>

#include "fixtures/illuminants_1nm.h"
#include "vexcolor.h"

namespace {

using Spectrum = std::vector<float>;

Spectrum fromTable(const double* table)
{
    return Spectrum(table, table + 421);
}

Spectrum planckian(double kelvin)
{
    Spectrum s(421);
    for (int k = 0; k < 421; ++k) {
        const double m = (360 + k) * 1e-9;
        s[k] = float(1e-15 * std::pow(m, -5) / std::expm1(1.4388e-2 / (m * kelvin)));
    }
    return s;
}

struct Result {
    int code;
    CalColorRecord record;
};

Result light(const Spectrum& s, int type, int observer = 0, int id = VEXCOLOR_LIGHT_SOURCE)
{
    Result r{};
    r.record.type = type;
    r.record.observer = observer;
    r.record.illuminant = id;
    for (float& v : r.record.values)
        v = 12345.0f;
    r.code = SpectrumToColor(s.data(), int(s.size()), &r.record);
    return r;
}

// XYZ of a chromaticity in the CIE 1960 UCS, Y = 100.
CalColorRecord xyzFromUv(double u, double v)
{
    const double den = 2 * u - 8 * v + 4;
    const double x = 3 * u / den, y = 2 * v / den;
    CalColorRecord in{};
    in.type = 2;
    in.illuminant = VEXCOLOR_LIGHT_SOURCE;
    in.values[0] = float(100 * x / y);
    in.values[1] = 100.0f;
    in.values[2] = float(100 * (1 - x - y) / y);
    return in;
}

// A chromaticity on which the 2 degree polynomial gives `kelvin` with duv 0.
CalColorRecord chromaticityForPolynomial(double kelvin)
{
    const double raw = kelvin < 2650 ? (kelvin + 265) / 1.1 : kelvin;
    auto poly = [](double s) { return 129 * s * s * s * s + 613 * s * s * s + 1975 * s * s - 1376 * s + 2312; };
    double lo = -4.0, hi = 0.0;  // decreasing in s on this interval
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (poly(mid) > raw ? lo : hi) = mid;
    }
    const double s = (lo + hi) / 2;
    const double rho = 0.1091 - 0.2227 * kelvin / 1e6;
    const double dv = rho / std::sqrt(1 + s * s);
    return xyzFromUv(0.286 + s * dv, 0.245 + dv);
}

}  // namespace

class TestLightSource : public QObject {
    Q_OBJECT

private slots:
    void cieIlluminants_data();
    void cieIlluminants();
    void planckianIsotemperature_data();
    void planckianIsotemperature();
    void planckianPolynomial_data();
    void planckianPolynomial();
    void polynomialLimits_data();
    void polynomialLimits();
    void isotemperatureLimits_data();
    void isotemperatureLimits();
    void renderingOfPlanckian_data();
    void renderingOfPlanckian();
    void renderingReferenceSwitchesAt5000K();
    void renderingOfFluorescent_data();
    void renderingOfFluorescent();
    void zeroSpectrum();
    void dominantWavelength();
    void equalEnergyWhiteHasNoDominantWavelength();
    void otherObserverUsesTenDegreeButPhotopicEv();
    void tristimulusAndUv();
    void scotopicRatio();
    void argumentsRefused_data();
    void argumentsRefused();
    void illuminantTableAndVersion();
};

void TestLightSource::cieIlluminants_data()
{
    QTest::addColumn<Spectrum>("spectrum");
    QTest::addColumn<int>("observer");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("tcp");  // 0: not checked
    QTest::addColumn<double>("tcpTolerance");
    QTest::newRow("A 2deg") << fromTable(fixtures::kA) << 0 << 0.44757 << 0.40745 << 2856.0 << 2.0;
    QTest::newRow("A 10deg") << fromTable(fixtures::kA) << 1 << 0.45117 << 0.40594 << 2856.0 << 2.0;
    QTest::newRow("D65 2deg") << fromTable(fixtures::kD65) << 0 << 0.31272 << 0.32903 << 6504.0 << 3.0;
    QTest::newRow("D65 10deg") << fromTable(fixtures::kD65) << 1 << 0.31382 << 0.33100 << 0.0 << 0.0;
    QTest::newRow("D50 2deg") << fromTable(fixtures::kD50) << 0 << 0.34567 << 0.35850 << 5003.0 << 3.0;
    QTest::newRow("D50 10deg") << fromTable(fixtures::kD50) << 1 << 0.34773 << 0.35952 << 0.0 << 0.0;
    QTest::newRow("C 2deg") << fromTable(fixtures::kC) << 0 << 0.31006 << 0.31616 << 6774.0 << 5.0;
}

void TestLightSource::cieIlluminants()
{
    QFETCH(Spectrum, spectrum);
    QFETCH(int, observer);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, tcp);
    QFETCH(double, tcpTolerance);
    const Result xy = light(spectrum, 7, observer);
    QCOMPARE(xy.code, 0);
    QVERIFY2(std::fabs(xy.record.values[0] - x) < 1e-4, qPrintable(QString::number(xy.record.values[0], 'f', 6)));
    QVERIFY2(std::fabs(xy.record.values[1] - y) < 1e-4, qPrintable(QString::number(xy.record.values[1], 'f', 6)));
    if (tcp > 0) {
        const Result t = light(spectrum, 9, observer);
        QCOMPARE(t.code, 0);
        QVERIFY2(std::fabs(t.record.values[1] - tcp) <= tcpTolerance, qPrintable(QString::number(t.record.values[1])));
        QCOMPARE(t.record.values[0], xy.record.values[2]);
    }
}

void TestLightSource::planckianIsotemperature_data()
{
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<int>("observer");
    for (double k : {1600.0, 2000.0, 2856.0, 4000.0, 5000.0, 6500.0, 9000.0, 12000.0, 20000.0})
        for (int obs : {0, 1})
            QTest::addRow("%g K obs %d", k, obs) << k << obs;
}

void TestLightSource::planckianIsotemperature()
{
    QFETCH(double, kelvin);
    QFETCH(int, observer);
    const Result r = light(planckian(kelvin), 9, observer);
    QCOMPARE(r.code, 0);
    QVERIFY2(std::fabs(r.record.values[1] / kelvin - 1) < 0.0005, qPrintable(QString::number(r.record.values[1])));
    QVERIFY(std::fabs(r.record.values[2]) < 1e-4);
}

void TestLightSource::planckianPolynomial_data()
{
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<int>("observer");
    // A 20000 K Planckian comes out at 20165 K under the 2 degree polynomial, beyond its range.
    for (double k : {2300.0, 2600.0, 3000.0, 4000.0, 5000.0, 6500.0, 10000.0, 15000.0, 19000.0})
        for (int obs : {0, 1})
            QTest::addRow("%g K obs %d", k, obs) << k << obs;
    QTest::newRow("20000 K obs 1") << 20000.0 << 1;
}

void TestLightSource::planckianPolynomial()
{
    QFETCH(double, kelvin);
    QFETCH(int, observer);
    const Result r = light(planckian(kelvin), 6, observer);
    QCOMPARE(r.code, 0);
    QVERIFY2(std::fabs(r.record.values[1] / kelvin - 1) < 0.01, qPrintable(QString::number(r.record.values[1])));
    QVERIFY(std::fabs(r.record.values[2]) < 0.003);
}

void TestLightSource::polynomialLimits_data()
{
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<int>("code");
    QTest::newRow("2301 K") << 2301.0 << 0;
    QTest::newRow("2299 K") << 2299.0 << 2;
    QTest::newRow("19999 K") << 19999.0 << 0;
    QTest::newRow("20001 K") << 20001.0 << 2;
}

void TestLightSource::polynomialLimits()
{
    QFETCH(double, kelvin);
    QFETCH(int, code);
    const CalColorRecord in = chromaticityForPolynomial(kelvin);
    CalColorRecord out{};
    out.type = 6;
    out.illuminant = VEXCOLOR_LIGHT_SOURCE;
    QCOMPARE(ConvertColor(&in, &out), code);
    if (code == 0) {
        QVERIFY2(std::fabs(out.values[1] - kelvin) < 0.5, qPrintable(QString::number(out.values[1])));
        QVERIFY(std::fabs(out.values[2]) < 1e-4);
    } else {
        QCOMPARE(out.values[1], VEXCOLOR_INVALID_VALUE);
        QCOMPARE(out.values[2], VEXCOLOR_INVALID_VALUE);
    }
    QCOMPARE(out.values[0], 100.0f);
}

void TestLightSource::isotemperatureLimits_data()
{
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<int>("code");
    QTest::newRow("1565 K") << 1565.0 << 0;
    QTest::newRow("1562 K") << 1562.0 << 2;
    QTest::newRow("99000 K") << 99000.0 << 0;
    QTest::newRow("150000 K") << 150000.0 << 2;
}

void TestLightSource::isotemperatureLimits()
{
    QFETCH(double, kelvin);
    QFETCH(int, code);
    const Result r = light(planckian(kelvin), 9, 0);
    QCOMPARE(r.code, code);
    if (code != 0) {
        QCOMPARE(r.record.values[1], VEXCOLOR_INVALID_VALUE);
        QCOMPARE(r.record.values[2], VEXCOLOR_INVALID_VALUE);
        QVERIFY(r.record.values[0] > 0);
    }
}

void TestLightSource::renderingOfPlanckian_data()
{
    QTest::addColumn<double>("kelvin");
    QTest::addColumn<int>("observer");
    for (double k : {2000.0, 3000.0, 4999.0})
        for (int obs : {0, 1})
            QTest::addRow("%g K obs %d", k, obs) << k << obs;
}

void TestLightSource::renderingOfPlanckian()
{
    QFETCH(double, kelvin);
    QFETCH(int, observer);
    const Result r = light(planckian(kelvin), 11, observer);
    QCOMPARE(r.code, 0);
    for (int i = 0; i < 16; ++i)
        QVERIFY2(std::fabs(r.record.values[i] - 100.0f) < 0.01f, qPrintable(QString::number(i)));
}

void TestLightSource::renderingReferenceSwitchesAt5000K()
{
    // Below 5000 K the reference is the Planckian itself; from 5000 K on it is CIE daylight.
    const Result below = light(planckian(4999.0), 11);
    const Result above = light(planckian(5100.0), 11);
    QCOMPARE(below.code, 0);
    QCOMPARE(above.code, 0);
    QVERIFY(std::fabs(below.record.values[0] - 100.0f) < 0.01f);
    QVERIFY(above.record.values[0] < 99.5f);
    const Result d65 = light(fromTable(fixtures::kD65), 11);
    QCOMPARE(d65.code, 0);
    QVERIFY(d65.record.values[0] >= 99.9f);
}

void TestLightSource::renderingOfFluorescent_data()
{
    QTest::addColumn<Spectrum>("spectrum");
    QTest::addColumn<double>("ra");
    QTest::addColumn<double>("tcp");
    // CIE 15:2004 Table T.8.
    const double* f[12] = {fixtures::kF1, fixtures::kF2, fixtures::kF3, fixtures::kF4, fixtures::kF5, fixtures::kF6,
                           fixtures::kF7, fixtures::kF8, fixtures::kF9, fixtures::kF10, fixtures::kF11, fixtures::kF12};
    const double ra[12] = {76, 64, 57, 51, 72, 59, 90, 95, 90, 81, 83, 83};
    const double tcp[12] = {6430, 4230, 3450, 2940, 6350, 4150, 6500, 5000, 4150, 5000, 4000, 3000};
    for (int i = 0; i < 12; ++i)
        QTest::addRow("F%d", i + 1) << fromTable(f[i]) << ra[i] << tcp[i];
}

void TestLightSource::renderingOfFluorescent()
{
    QFETCH(Spectrum, spectrum);
    QFETCH(double, ra);
    QFETCH(double, tcp);
    const Result r = light(spectrum, 11);
    QCOMPARE(r.code, 0);
    QVERIFY2(std::fabs(r.record.values[0] - ra) <= 1.0, qPrintable(QString::number(r.record.values[0])));
    for (int i = 1; i < 16; ++i)
        QVERIFY(r.record.values[i] > -200.0f && r.record.values[i] <= 100.0f);
    const Result t = light(spectrum, 9);
    QCOMPARE(t.code, 0);
    QVERIFY2(std::fabs(t.record.values[1] / tcp - 1) < 0.005, qPrintable(QString::number(t.record.values[1])));
}

void TestLightSource::zeroSpectrum()
{
    const Spectrum zero(421, 0.0f);
    const Result xy = light(zero, 7);
    QCOMPARE(xy.code, 8);
    QCOMPARE(xy.record.values[0], VEXCOLOR_INVALID_VALUE);
    QCOMPARE(xy.record.values[1], VEXCOLOR_INVALID_VALUE);
    QCOMPARE(xy.record.values[2], 0.0f);

    const Result sp = light(zero, 13);
    QCOMPARE(sp.code, 6);
    QCOMPARE(sp.record.values[0], 0.0f);
    QCOMPARE(sp.record.values[1], 0.0f);
    QCOMPARE(sp.record.values[2], FLT_MAX);

    // No positive value: no peak to report.
    Spectrum negative(421, -1.0f);
    for (const Spectrum& s : {zero, negative}) {
        const Result peak = light(s, 12);
        QCOMPARE(peak.code, 2);
        QCOMPARE(peak.record.values[0], VEXCOLOR_INVALID_VALUE);
    }
    Spectrum twin(421, 0.0f);
    twin[100] = twin[200] = 3.0f;
    const Result peak = light(twin, 12);
    QCOMPARE(peak.code, 0);
    QCOMPARE(peak.record.values[0], 460.0f);  // the first maximum
    QCOMPARE(peak.record.values[1], 12345.0f);
}

void TestLightSource::dominantWavelength()
{
    Spectrum spike(421, 0.0f);
    spike[550 - 360] = 1.0f;
    const Result r = light(spike, 10);
    QCOMPARE(r.code, 0);
    QVERIFY2(std::fabs(r.record.values[1] - 550.0f) <= 0.05f, qPrintable(QString::number(r.record.values[1])));
    QVERIFY2(std::fabs(r.record.values[2] - 100.0f) <= 0.2f, qPrintable(QString::number(r.record.values[2])));
    QVERIFY(r.record.values[0] > 0);

    // A purple: complementary wavelength, purity measured to the 380-720 nm line.
    Spectrum mix(421, 0.0f);
    mix[450 - 360] = mix[650 - 360] = 1.0f;
    const Result m = light(mix, 10);
    QCOMPARE(m.code, 0);
    QVERIFY(m.record.values[1] < -490.0f && m.record.values[1] > -580.0f);
    const Result xy = light(mix, 7);
    const double xs = std::lround(xy.record.values[0] * 1e5) - 33333.0;
    const double ys = std::lround(xy.record.values[1] * 1e5) - 33333.0;
    // Where the line from white through the sample meets the 380 nm (17411, 496) to 720 nm (73469, 26531) line.
    const double dx = 17411.0 - 73469.0, dy = 496.0 - 26531.0;
    const double purity = 100.0 * (xs * dy - ys * dx) / ((73469.0 - 33333.0) * dy - (26531.0 - 33333.0) * dx);
    QVERIFY2(std::fabs(m.record.values[2] - purity) < 1e-3, qPrintable(QString::number(m.record.values[2])));
    QVERIFY(purity > 50 && purity < 100);
}

void TestLightSource::equalEnergyWhiteHasNoDominantWavelength()
{
    CalColorRecord in{};
    in.type = 2;
    in.illuminant = VEXCOLOR_LIGHT_SOURCE_ALT;
    in.values[0] = in.values[1] = in.values[2] = 1.0f;
    CalColorRecord out{};
    out.type = 10;
    out.illuminant = VEXCOLOR_LIGHT_SOURCE_ALT;
    QCOMPARE(ConvertColor(&in, &out), 6);
    QCOMPARE(out.values[1], VEXCOLOR_INVALID_VALUE);
}

void TestLightSource::otherObserverUsesTenDegreeButPhotopicEv()
{
    const Spectrum a = fromTable(fixtures::kA);
    const Result two = light(a, 7, 0), ten = light(a, 7, 1), seven = light(a, 7, 7);
    QCOMPARE(seven.code, 0);
    QCOMPARE(seven.record.values[0], ten.record.values[0]);
    QCOMPARE(seven.record.values[1], ten.record.values[1]);
    QCOMPARE(seven.record.values[2], two.record.values[2]);
    const Result xyz10 = light(a, 2, 7);
    QVERIFY(std::fabs(xyz10.record.values[1] - seven.record.values[2]) > 1.0f);
}

void TestLightSource::tristimulusAndUv()
{
    const Spectrum d65 = fromTable(fixtures::kD65);
    const Result xyz = light(d65, 2);
    QCOMPARE(xyz.code, 0);
    QCOMPARE(xyz.record.values[3], 12345.0f);  // type 2 writes only X, Y, Z
    const double X = xyz.record.values[0], Y = xyz.record.values[1], Z = xyz.record.values[2];
    QVERIFY(std::fabs(X / Y - 0.95047) < 1e-4 && std::fabs(Z / Y - 1.08883) < 1e-4);
    const Result uv = light(d65, 8);
    QCOMPARE(uv.code, 0);
    QCOMPARE(uv.record.values[0], xyz.record.values[1]);
    const double den = X + 15 * Y + 3 * Z;
    QVERIFY(std::fabs(uv.record.values[1] - 4 * X / den) < 1e-6);
    QVERIFY(std::fabs(uv.record.values[2] - 9 * Y / den) < 1e-6);
    QVERIFY(std::fabs(uv.record.values[1] - 0.1978) < 1e-4 && std::fabs(uv.record.values[2] - 0.4683) < 1e-4);
}

void TestLightSource::scotopicRatio()
{
    const Result a = light(fromTable(fixtures::kA), 13);
    QCOMPARE(a.code, 0);
    QVERIFY(std::fabs(a.record.values[2] - 1.41f) <= 0.01f);
    QVERIFY(std::fabs(a.record.values[1] / a.record.values[0] - a.record.values[2]) < 1e-5f);
    const Result d65 = light(fromTable(fixtures::kD65), 13);
    QVERIFY(std::fabs(d65.record.values[2] - 2.46f) <= 0.02f);
}

void TestLightSource::argumentsRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("nullSpectrum");
    QTest::addColumn<bool>("nullRecord");
    QTest::newRow("count 36, id 241") << 7 << 36 << 241 << false << false;
    QTest::newRow("count 420") << 7 << 420 << 240 << false << false;
    QTest::newRow("null spectrum") << 7 << 421 << 240 << true << false;
    QTest::newRow("null record") << 7 << 421 << 240 << false << true;
    for (int type : {-1, 0, 1, 3, 4, 5, 14})
        QTest::addRow("type %d", type) << type << 421 << 240 << false << false;
}

void TestLightSource::argumentsRefused()
{
    QFETCH(int, type);
    QFETCH(int, count);
    QFETCH(int, id);
    QFETCH(bool, nullSpectrum);
    QFETCH(bool, nullRecord);
    const Spectrum s = fromTable(fixtures::kD65);
    CalColorRecord r{};
    r.type = type;
    r.illuminant = id;
    r.values[0] = 7.0f;
    QCOMPARE(SpectrumToColor(nullSpectrum ? nullptr : s.data(), count, nullRecord ? nullptr : &r), 4);
    QCOMPARE(r.values[0], 7.0f);
}

void TestLightSource::illuminantTableAndVersion()
{
    const CalIlluminantSlot* table = nullptr;
    int count = 0;
    QCOMPARE(GetIlluminantTable(&table, &count), 0);
    QCOMPARE(count, 26);
    QCOMPARE(table[count - 1].id, 255);
    QCOMPARE(table[3].id, 3);
    QCOMPARE(GetIlluminantTable(nullptr, &count), 4);

    CalUserIlluminant user{};
    user.id = 14;
    user.spd[5] = 9.0f;
    QCOMPARE(GetUserIlluminant(&user), 0);
    for (float v : user.spd)
        QCOMPARE(v, 0.0f);
    user.id = 3;
    user.spd[5] = 9.0f;
    QCOMPARE(GetUserIlluminant(&user), 12);
    QCOMPARE(user.spd[5], 9.0f);
    QCOMPARE(GetUserIlluminant(nullptr), 4);

    int version[3] = {};
    QCOMPARE(GetCalColorVersion(version), 0);
    QCOMPARE(version[0], 1);
    QCOMPARE(version[1], 21);
    QCOMPARE(version[2], 1);
    QCOMPARE(GetCalColorVersion(nullptr), 4);
}

QTEST_GUILESS_MAIN(TestLightSource)
#include "tst_lightsource.moc"
