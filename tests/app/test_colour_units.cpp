// Expected colour values were computed from the published sRGB (IEC 61966-2-1) and CIE 1976 L*a*b* formulas with
// the program's constants (sRGB/D65 matrices, D50 white 0.96422 / 1.0 / 0.82521) by an independent implementation;
// tools/colourcheck/expected_values.py reprints them.

#include "app/colourhelpers.h"
#include "app/unithelpers.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <limits>

using Triple = QVector<double>;

namespace {

bool near(double actual, double expected, double tolerance)
{
    return std::fabs(actual - expected) <= tolerance;
}

QString describe(const float *values, int n)
{
    QStringList parts;
    for (int i = 0; i < n; ++i)
        parts.append(QString::number(values[i], 'f', 4));
    return parts.join(QStringLiteral(", "));
}

#define COMPARE_VALUES(actual, expected, tolerance)                                                                  \
    do {                                                                                                               \
        for (int i_ = 0; i_ < (expected).size(); ++i_)                                                                 \
            QVERIFY2(near((actual)[i_], (expected)[i_], tolerance),                                                    \
                     qPrintable(QStringLiteral("value %1: got %2").arg(i_).arg(describe(actual, (expected).size()))));  \
    } while (0)

void toFloats(const Triple &in, float *out)
{
    for (int i = 0; i < in.size(); ++i)
        out[i] = float(in[i]);
}

const InkChannel kCyan = {QStringLiteral("Cyan"), 6800, -4600, -5100};

ChartDefinitionData::PatchColor makePatch(int format, std::initializer_list<float> values)
{
    ChartDefinitionData::PatchColor p;
    p.ColorFormat = format;
    int i = 0;
    for (float v : values)
        p.ColorValue[i++] = v;
    return p;
}

} // namespace

class TestColourUnits : public QObject
{
    Q_OBJECT

private slots:
    void rgbXyzLabRoundTrip_data();
    void rgbXyzLabRoundTrip();
    void labToRgb_data();
    void labToRgb();
    void labXyzLabGrid();
    void inkTint_data();
    void inkTint();
    void rgbToCmyk_data();
    void rgbToCmyk();
    void cmykToRgb_data();
    void cmykToRgb();
    void nullArraysDoNothing();
    void xyzToPatchColorValues_data();
    void xyzToPatchColorValues();
    void patchColorToQColor_data();
    void patchColorToQColor();
    void mixInkColors();
    void paperWhite();

    void roundToFixed_data();
    void roundToFixed();
    void pixelsAndUnits();
    void unitFixedToMmFixed_data();
    void unitFixedToMmFixed();
    void unitValueToMmFixed_data();
    void unitValueToMmFixed();
};

void TestColourUnits::rgbXyzLabRoundTrip_data()
{
    QTest::addColumn<Triple>("rgb");
    QTest::addColumn<Triple>("xyz");
    QTest::addColumn<Triple>("lab");

    QTest::newRow("white") << Triple{255, 255, 255} << Triple{95.0470, 100.0000, 108.8830}
                           << Triple{100.0000, -2.3881, -19.3622};
    QTest::newRow("red") << Triple{255, 0, 0} << Triple{41.2456, 21.2673, 1.9334} << Triple{53.2408, 78.2845, 62.1518};
    QTest::newRow("blue") << Triple{0, 0, 255} << Triple{18.0437, 7.2175, 95.0304}
                          << Triple{32.2970, 77.8150, -126.3638};
    QTest::newRow("grey") << Triple{128, 128, 128} << Triple{20.5169, 21.5861, 23.5035}
                          << Triple{53.5850, -1.4326, -11.6148};
    QTest::newRow("orange") << Triple{200, 100, 50} << Triple{28.9551, 21.6275, 5.6667}
                            << Triple{53.6295, 34.6989, 38.1505};
    // Below the sRGB and L*a*b* linear thresholds.
    QTest::newRow("near black") << Triple{10, 10, 10} << Triple{0.2885, 0.3035, 0.3305}
                                << Triple{2.7417, -0.1685, -1.5101};
}

void TestColourUnits::rgbXyzLabRoundTrip()
{
    QFETCH(Triple, rgb);
    QFETCH(Triple, xyz);
    QFETCH(Triple, lab);

    float in[3], outXyz[3], outLab[3], viaLab[3], back[3];
    toFloats(rgb, in);
    RgbToXyz(outXyz, in);
    COMPARE_VALUES(outXyz, xyz, 1e-3);
    XyzToLab(outLab, outXyz);
    COMPARE_VALUES(outLab, lab, 1e-3);
    RgbToLab(viaLab, in);
    COMPARE_VALUES(viaLab, lab, 1e-3);
    LabToRgb(back, outLab);
    COMPARE_VALUES(back, rgb, 0.01);
}

void TestColourUnits::labToRgb_data()
{
    QTest::addColumn<Triple>("lab");
    QTest::addColumn<Triple>("rgb");

    // The first two lie outside sRGB and are clamped.
    QTest::newRow("cyan ink") << Triple{68, -46, -51} << Triple{0, 188.93, 225.28};
    QTest::newRow("magenta ink") << Triple{57, 87, -6} << Triple{255, 0, 131.01};
    QTest::newRow("black ink") << Triple{15, 2, 1} << Triple{44.39, 36.15, 29.90};
    QTest::newRow("neutral L 50") << Triple{50, 0, 0} << Triple{128.20, 117.56, 102.05};
}

void TestColourUnits::labToRgb()
{
    QFETCH(Triple, lab);
    QFETCH(Triple, rgb);
    float in[3], out[3];
    toFloats(lab, in);
    LabToRgb(out, in);
    COMPARE_VALUES(out, rgb, 0.01);
}

// The two directions use 0.008856 / 7.787 and 6/29, so they agree only to about 1e-5.
void TestColourUnits::labXyzLabGrid()
{
    for (int L = 0; L <= 100; L += 5) {
        for (int a = -120; a <= 120; a += 20) {
            for (int b = -120; b <= 120; b += 20) {
                const float lab[3] = {float(L), float(a), float(b)};
                float xyz[3], back[3];
                LabToXyz(xyz, lab);
                XyzToLab(back, xyz);
                for (int i = 0; i < 3; ++i)
                    QVERIFY2(near(back[i], lab[i], 1e-3),
                             qPrintable(QStringLiteral("L %1 a %2 b %3 -> %4").arg(L).arg(a).arg(b).arg(
                                 describe(back, 3))));
            }
        }
    }
}

void TestColourUnits::inkTint_data()
{
    QTest::addColumn<float>("tint");
    QTest::addColumn<Triple>("rgb");

    QTest::newRow("50 %") << 50.0f << Triple{134.00, 222.84, 240.30};
    QTest::newRow("100 %") << 100.0f << Triple{0, 188.93, 225.28};
    QTest::newRow("0 % is paper white") << 0.0f << Triple{255, 255, 255};
}

void TestColourUnits::inkTint()
{
    QFETCH(float, tint);
    QFETCH(Triple, rgb);
    float out[3];
    InkTintToRgb(out, tint, kCyan);
    COMPARE_VALUES(out, rgb, 0.01);
}

void TestColourUnits::rgbToCmyk_data()
{
    QTest::addColumn<Triple>("rgb");
    QTest::addColumn<Triple>("cmyk");

    QTest::newRow("black") << Triple{0, 0, 0} << Triple{0, 0, 0, 100};
    QTest::newRow("white") << Triple{255, 255, 255} << Triple{0, 0, 0, 0};
    QTest::newRow("orange") << Triple{200, 100, 50} << Triple{0, 50, 75, 21.57};
    QTest::newRow("dark blue") << Triple{30, 60, 90} << Triple{66.67, 33.33, 0, 64.71};
}

void TestColourUnits::rgbToCmyk()
{
    QFETCH(Triple, rgb);
    QFETCH(Triple, cmyk);
    float in[3], out[4];
    toFloats(rgb, in);
    RgbToCmyk(out, in);
    COMPARE_VALUES(out, cmyk, 1e-4);
}

void TestColourUnits::cmykToRgb_data()
{
    QTest::addColumn<Triple>("cmyk");
    QTest::addColumn<Triple>("rgb");

    QTest::newRow("paper") << Triple{0, 0, 0, 0} << Triple{255, 255, 255};
    QTest::newRow("cyan") << Triple{100, 0, 0, 0} << Triple{0, 255, 255};
    QTest::newRow("half cyan") << Triple{50, 0, 0, 0} << Triple{127.5, 255, 255};
    QTest::newRow("with black") << Triple{20, 40, 60, 10} << Triple{183.6, 137.7, 91.8};
    QTest::newRow("over 100 is limited") << Triple{100, 100, 100, 100} << Triple{0, 0, 0};
}

void TestColourUnits::cmykToRgb()
{
    QFETCH(Triple, cmyk);
    QFETCH(Triple, rgb);
    float in[4], out[3];
    toFloats(cmyk, in);
    CmykToRgb(out, in);
    COMPARE_VALUES(out, rgb, 1e-4);
}

void TestColourUnits::nullArraysDoNothing()
{
    const float in[4] = {10, 20, 30, 40};
    float out[4] = {-7, -7, -7, -7};
    const Triple untouched{-7, -7, -7, -7};

    RgbToXyz(nullptr, in);
    XyzToRgb(nullptr, in);
    XyzToLab(nullptr, in);
    LabToXyz(nullptr, in);
    RgbToLab(nullptr, in);
    LabToRgb(nullptr, in);
    RgbToCmyk(nullptr, in);
    CmykToRgb(nullptr, in);
    InkTintToRgb(nullptr, 50, kCyan);
    MixInkColorsToRgb(nullptr, 2, in, ReferenceInkChannels());
    XyzToPatchColorValues(nullptr, 1, in, 0);

    RgbToXyz(out, nullptr);
    XyzToRgb(out, nullptr);
    XyzToLab(out, nullptr);
    LabToXyz(out, nullptr);
    RgbToLab(out, nullptr);
    LabToRgb(out, nullptr);
    RgbToCmyk(out, nullptr);
    CmykToRgb(out, nullptr);
    XyzToPatchColorValues(out, 1, nullptr, 0);
    COMPARE_VALUES(out, untouched, 0.0);
}

void TestColourUnits::xyzToPatchColorValues_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<Triple>("values");

    // XYZ of RGB 200/100/50; slots the format does not use keep the marker -7.
    QTest::newRow("RGB") << 1 << Triple{200, 100, 50, -7, -7, -7, -7, -7};
    QTest::newRow("CMYK") << 2 << Triple{0, 50, 75, 21.57, -7, -7, -7, -7};
    QTest::newRow("5 colours") << 3 << Triple{9, 9, 9, 9, 9, -7, -7, -7};
    QTest::newRow("6 colours") << 4 << Triple{9, 9, 9, 9, 9, 9, -7, -7};
    QTest::newRow("7 colours") << 5 << Triple{9, 9, 9, 9, 9, 9, 9, -7};
    QTest::newRow("8 colours") << 6 << Triple{9, 9, 9, 9, 9, 9, 9, 9};
    QTest::newRow("format 0 untouched") << 0 << Triple{-7, -7, -7, -7, -7, -7, -7, -7};
    QTest::newRow("format 7 untouched") << 7 << Triple{-7, -7, -7, -7, -7, -7, -7, -7};
}

void TestColourUnits::xyzToPatchColorValues()
{
    QFETCH(int, format);
    QFETCH(Triple, values);
    const float rgb[3] = {200, 100, 50};
    float xyz[3];
    RgbToXyz(xyz, rgb);
    float out[8] = {-7, -7, -7, -7, -7, -7, -7, -7};
    XyzToPatchColorValues(out, format, xyz, 9.0f);
    COMPARE_VALUES(out, values, 0.01);
}

void TestColourUnits::patchColorToQColor_data()
{
    QTest::addColumn<ChartDefinitionData::PatchColor>("patch");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("RGB") << makePatch(1, {255, 0, 51}) << QColor::fromRgbF(1.0, 0.0, 0.2);
    QTest::newRow("RGB out of range") << makePatch(1, {300, -5, 51}) << QColor::fromRgbF(1.0, 0.0, 0.2);
    QTest::newRow("CMYK") << makePatch(2, {100, 0, 50, 10}) << QColor::fromCmykF(1.0, 0.0, 0.5, 0.1);
    QTest::newRow("CMYK out of range") << makePatch(2, {150, -1, 50, 10}) << QColor::fromCmykF(1.0, 0.0, 0.5, 0.1);
    QTest::newRow("format 0") << makePatch(0, {1, 2, 3}) << QColor(Qt::white);
    QTest::newRow("format 7") << makePatch(7, {1, 2, 3}) << QColor(Qt::white);
    QTest::newRow("format -1") << makePatch(-1, {1, 2, 3}) << QColor(Qt::white);

    const InkChannelList inks = ReferenceInkChannels();
    for (int format = 3; format <= 6; ++format) {
        // Full cyan plus paper: the mixed RGB of the ink list.
        const ChartDefinitionData::PatchColor p = makePatch(format, {100, 0, 0, 0, 0, 0, 0, 0});
        float rgb[3];
        MixInkColorsToRgb(rgb, format, p.ColorValue, inks);
        QTest::addRow("%d colours", format + 2) << p << QColor::fromRgbF(rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0);
    }
}

void TestColourUnits::patchColorToQColor()
{
    QFETCH(ChartDefinitionData::PatchColor, patch);
    QFETCH(QColor, expected);
    const QColor color = PatchColorToQColor(patch, ReferenceInkChannels());
    QVERIFY(color.isValid());
    QCOMPARE(color, expected); // equal colours also share their colour model
    QCOMPARE(color.alphaF(), 1.0);
}

void TestColourUnits::mixInkColors()
{
    const InkChannelList inks = ReferenceInkChannels();
    float cyan[3];
    InkTintToRgb(cyan, 100, inks[0]);

    // Inks at 0 % leave the channels as they are, so full cyan alone is the cyan tint.
    const float cmyk[4] = {100, 0, 0, 0};
    float mixed[3];
    MixInkColorsToRgb(mixed, 2, cmyk, inks);
    COMPARE_VALUES(mixed, Triple(cyan, cyan + 3), 1e-3);

    // A short ink list: the inks it lacks are skipped.
    const float heavy[4] = {100, 0, 100, 100};
    MixInkColorsToRgb(mixed, 2, heavy, InkChannelList{inks[0]});
    COMPARE_VALUES(mixed, Triple(cyan, cyan + 3), 1e-3);
    MixInkColorsToRgb(mixed, 2, heavy, InkChannelList());
    COMPARE_VALUES(mixed, (Triple{255, 255, 255}), 0.0);

    // Formats outside 1..6 and missing values give white.
    for (int format : {0, 7, -3}) {
        MixInkColorsToRgb(mixed, format, heavy, inks);
        COMPARE_VALUES(mixed, (Triple{255, 255, 255}), 0.0);
    }
    MixInkColorsToRgb(mixed, 2, nullptr, inks);
    COMPARE_VALUES(mixed, (Triple{255, 255, 255}), 0.0);

    // Cyan and yellow multiply towards green.
    const float green[4] = {100, 0, 100, 0};
    MixInkColorsToRgb(mixed, 2, green, inks);
    QVERIFY(mixed[1] > mixed[0] && mixed[1] > mixed[2]);
}

void TestColourUnits::paperWhite()
{
    const PaperWhite &white = PaperWhiteColor();
    COMPARE_VALUES(white.lab, (Triple{100.0, -2.3881, -19.3622}), 1e-3);
    COMPARE_VALUES(white.rgb, (Triple{255, 255, 255}), 0.01);
}

void TestColourUnits::roundToFixed_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("d");
    QTest::addColumn<int>("expected");

    // floor(x * 10^d + 0.5) for both signs: halves go up.
    QTest::newRow("-1.26, 1") << -1.26 << 1 << -13;
    QTest::newRow("1.25, 1") << 1.25 << 1 << 13;
    QTest::newRow("-1.25, 1") << -1.25 << 1 << -12;
    QTest::newRow("12345.6, -2") << 12345.6 << -2 << 123;
    QTest::newRow("210.004, 2") << 210.004 << 2 << 21000;
    QTest::newRow("0, 3") << 0.0 << 3 << 0;
    QTest::newRow("too large saturates") << 1e300 << 2 << INT_MAX;
    QTest::newRow("too small saturates") << -1e300 << 2 << INT_MIN;
    QTest::newRow("NaN gives 0") << std::numeric_limits<double>::quiet_NaN() << 2 << 0;
}

void TestColourUnits::roundToFixed()
{
    QFETCH(double, x);
    QFETCH(int, d);
    QFETCH(int, expected);
    QCOMPARE(RoundToFixed(x, d), expected);
}

void TestColourUnits::pixelsAndUnits()
{
    QCOMPARE(PixelsToUnitFixed(kUnitMm, 300, 300), 2540);
    QCOMPARE(PixelsToUnitFixed(kUnitInch, 300, 300), 1000);
    QCOMPARE(PixelsToUnitFixed(kUnitMm, -150, 300), -1270);
    QCOMPARE(PixelsToUnitFixed(kUnitMm, 300, 0), 0);
    QCOMPARE(UnitFixedToPixels(kUnitMm, 2540, 300), 300.0);
    QCOMPARE(UnitFixedToPixels(kUnitInch, 1000, 150), 150.0);
    QCOMPARE(MmFixedToUnit(kUnitInch, 21590), 8.5);
    QCOMPARE(MmFixedToUnit(kUnitMm, 21590), 215.9);
    QCOMPARE(UnitFixedToMm(kUnitInch, 8500), 215.9);
    QCOMPARE(ToUnitFixed(kUnitInch, 8.5), 8500);
    QCOMPARE(FixedToDouble(21590, 2), 215.9);
    QCOMPARE(UnitDecimals(kUnitMm), 2);
    QCOMPARE(UnitDecimals(kUnitInch), 3);
    QCOMPARE(UnitStep(kUnitInch), 0.001);
    QCOMPARE(UnitNames(), (QStringList{QStringLiteral("mm"), QStringLiteral("inch")}));
}

void TestColourUnits::unitFixedToMmFixed_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("expected");

    // A4 shown in inches: 8.268 x 11.693 come back as the exact 210.00 x 297.00 mm.
    QTest::newRow("inch width unchanged") << int(kUnitInch) << 8268 << 21000;
    QTest::newRow("inch height unchanged") << int(kUnitInch) << 11693 << 29700;
    QTest::newRow("inch edited") << int(kUnitInch) << 8269 << 21003;
    QTest::newRow("mm passes through") << int(kUnitMm) << 12345 << 12345;
}

void TestColourUnits::unitFixedToMmFixed()
{
    QFETCH(int, unit);
    QFETCH(int, v);
    QFETCH(int, expected);
    QCOMPARE(UnitFixedToMmFixed(unit, v, 21000, 29700), expected);
}

void TestColourUnits::unitValueToMmFixed_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("expected");

    QTest::newRow("inch matches candidate a") << int(kUnitInch) << 8.268 << 21000 << 29700 << 21000;
    QTest::newRow("inch matches candidate b") << int(kUnitInch) << 11.693 << 21000 << 29700 << 29700;
    QTest::newRow("mm rounds to hundredths") << int(kUnitMm) << 210.004 << 0 << 0 << 21000;
    QTest::newRow("inch converted") << int(kUnitInch) << 1.0 << 0 << 0 << 2540;
}

void TestColourUnits::unitValueToMmFixed()
{
    QFETCH(int, unit);
    QFETCH(double, x);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, expected);
    QCOMPARE(UnitValueToMmFixed(unit, x, a, b), expected);
}

QTEST_GUILESS_MAIN(TestColourUnits)
#include "test_colour_units.moc"
