// Object colours: weighting tables, colour spaces, colour differences, densities and indices.
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <vector>

#include "vexcolor.h"

namespace {

using Reflectance = std::vector<float>;

Reflectance flat(float r)
{
    return Reflectance(36, r);
}

CalColorRecord object(int type, int observer, int id)
{
    CalColorRecord r{};
    r.type = type;
    r.observer = observer;
    r.illuminant = id;
    return r;
}

bool near(double a, double b, double tol)
{
    return std::fabs(a - b) <= tol;
}

}  // namespace

class TestObjectColor : public QObject {
    Q_OBJECT

private slots:
    void perfectWhite_data();
    void perfectWhite();
    void publishedWhitePoints_data();
    void publishedWhitePoints();
    void refusedRequests_data();
    void refusedRequests();
    void ciede2000_data();
    void ciede2000();
    void cmcAndCie94_data();
    void cmcAndCie94();
    void deltaERefusalsKeepDifferences();
    void conversionRoundTrip_data();
    void conversionRoundTrip();
    void conversionRefusals();
    void density_data();
    void density();
    void densityWithoutLight();
    void whitenessAndBrightness();
    void dotArea_data();
    void dotArea();
    void hueErrorGrayness_data();
    void hueErrorGrayness();
    void metamerismIndex();
};

void TestObjectColor::perfectWhite_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("observer");
    for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 160})
        for (int obs : {0, 1})
            QTest::addRow("id %d obs %d", id, obs) << id << obs;
}

void TestObjectColor::perfectWhite()
{
    QFETCH(int, id);
    QFETCH(int, observer);
    const Reflectance white = flat(1.0f);
    CalColorRecord lab = object(0, observer, id);
    QCOMPARE(SpectrumToColor(white.data(), 36, &lab), 0);
    QVERIFY(near(lab.values[0], 100.0, 1e-4));
    QVERIFY(near(lab.values[1], 0.0, 1e-4));
    QVERIFY(near(lab.values[2], 0.0, 1e-4));
    CalColorRecord xyz = object(2, observer, id);
    QCOMPARE(SpectrumToColor(white.data(), 36, &xyz), 0);
    QVERIFY(near(xyz.values[1], 100.0, 1e-4));
}

void TestObjectColor::publishedWhitePoints_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("observer");
    QTest::addColumn<double>("X");
    QTest::addColumn<double>("Z");
    QTest::addColumn<double>("tolerance");
    // ASTM E308 white points; C, F2, F7, F11 as python3-colormath lists them; ids 4 and 5 as quoted for them.
    QTest::newRow("D65 2deg") << 3 << 0 << 95.047 << 108.883 << 0.01;
    QTest::newRow("D65 10deg") << 3 << 1 << 94.811 << 107.304 << 0.01;
    QTest::newRow("D50 2deg") << 2 << 0 << 96.422 << 82.521 << 0.01;
    QTest::newRow("A 2deg") << 0 << 0 << 109.850 << 35.585 << 0.01;
    QTest::newRow("C 2deg") << 1 << 0 << 98.074 << 118.232 << 0.02;
    QTest::newRow("F2 2deg") << 6 << 0 << 99.187 << 67.395 << 0.02;
    QTest::newRow("F7 2deg") << 8 << 0 << 95.044 << 108.755 << 0.02;
    QTest::newRow("F11 2deg") << 12 << 0 << 100.966 << 64.370 << 0.02;
    QTest::newRow("id 4 2deg") << 4 << 0 << 95.282 << 82.337 << 0.1;
    QTest::newRow("id 5 2deg") << 5 << 0 << 93.950 << 108.474 << 0.1;
    QTest::newRow("id 4 10deg") << 4 << 1 << 95.679 << 81.154 << 0.1;
    QTest::newRow("id 5 10deg") << 5 << 1 << 93.811 << 106.796 << 0.1;
}

void TestObjectColor::publishedWhitePoints()
{
    QFETCH(int, id);
    QFETCH(int, observer);
    QFETCH(double, X);
    QFETCH(double, Z);
    QFETCH(double, tolerance);
    const Reflectance white = flat(1.0f);
    CalColorRecord xyz = object(2, observer, id);
    QCOMPARE(SpectrumToColor(white.data(), 36, &xyz), 0);
    QVERIFY2(near(xyz.values[0], X, tolerance), qPrintable(QString::number(xyz.values[0], 'f', 4)));
    QVERIFY(near(xyz.values[1], 100.0, 1e-4));
    QVERIFY2(near(xyz.values[2], Z, tolerance), qPrintable(QString::number(xyz.values[2], 'f', 4)));
}

void TestObjectColor::refusedRequests_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("observer");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::newRow("user illuminant has no weights") << 0 << 0 << 14 << 36 << 1;
    QTest::newRow("unknown id") << 0 << 0 << 15 << 36 << 1;
    QTest::newRow("negative id") << 0 << 0 << -1 << 36 << 1;
    QTest::newRow("observer 2 with a table id") << 0 << 2 << 3 << 36 << 1;
    QTest::newRow("count 421") << 0 << 0 << 3 << 421 << 4;
    QTest::newRow("type 5 reserved") << 5 << 0 << 3 << 36 << 12;
    QTest::newRow("type 6") << 6 << 0 << 3 << 36 << 4;
    QTest::newRow("type -1") << -1 << 0 << 3 << 36 << 4;
}

void TestObjectColor::refusedRequests()
{
    QFETCH(int, type);
    QFETCH(int, observer);
    QFETCH(int, id);
    QFETCH(int, count);
    QFETCH(int, code);
    const std::vector<float> r(421, 0.5f);
    CalColorRecord rec = object(type, observer, id);
    rec.values[0] = 3.0f;
    QCOMPARE(SpectrumToColor(r.data(), count, &rec), code);
    QCOMPARE(rec.values[0], 3.0f);
    QVERIFY(!std::isnan(rec.values[1]));
}

void TestObjectColor::ciede2000_data()
{
    QTest::addColumn<QVector<float>>("lab1");
    QTest::addColumn<QVector<float>>("lab2");
    QTest::addColumn<double>("expected");
    // Sharma, Wu and Dalal, "The CIEDE2000 color-difference formula: implementation notes, supplementary test
    // data, and mathematical observations", Color Res. Appl. 30(1):21-30 (2005), Table 1.
    QTest::newRow("pair 1") << QVector<float>{50.0f, 2.6772f, -79.7751f} << QVector<float>{50.0f, 0.0f, -82.7485f} << 2.0425;
    QTest::newRow("pair 7") << QVector<float>{50.0f, 0.0f, 0.0f} << QVector<float>{50.0f, -1.0f, 2.0f} << 2.3669;
    QTest::newRow("pair 10") << QVector<float>{50.0f, 2.49f, -0.001f} << QVector<float>{50.0f, -2.49f, 0.001f} << 7.1792;
    QTest::newRow("pair 11") << QVector<float>{50.0f, 2.49f, -0.001f} << QVector<float>{50.0f, -2.49f, 0.0011f} << 7.2195;
    QTest::newRow("pair 15") << QVector<float>{50.0f, -0.001f, 2.49f} << QVector<float>{50.0f, 0.0011f, -2.49f} << 4.7461;
    QTest::newRow("pair 17") << QVector<float>{50.0f, 2.5f, 0.0f} << QVector<float>{73.0f, 25.0f, -18.0f} << 27.1492;
    QTest::newRow("pair 25") << QVector<float>{60.2574f, -34.0099f, 36.2677f} << QVector<float>{60.4626f, -34.1751f, 39.4387f} << 1.2644;
    QTest::newRow("pair 34") << QVector<float>{2.0776f, 0.0795f, -1.135f} << QVector<float>{0.9033f, -0.0636f, -0.5514f} << 0.9082;
}

void TestObjectColor::ciede2000()
{
    QFETCH(QVector<float>, lab1);
    QFETCH(QVector<float>, lab2);
    QFETCH(double, expected);
    const float k[3] = {1.0f, 1.0f, 1.0f};
    CalDeltaRecord d{};
    QCOMPARE(CalcDeltaE(&d, lab1.constData(), lab2.constData(), 3, k), 0);
    QVERIFY2(near(d.dE, expected, 1e-4), qPrintable(QString::number(d.dE, 'f', 6)));
    // Symmetric in its two colours.
    CalDeltaRecord back{};
    QCOMPARE(CalcDeltaE(&back, lab2.constData(), lab1.constData(), 3, k), 0);
    QVERIFY(near(back.dE, d.dE, 1e-5));
}

void TestObjectColor::cmcAndCie94_data()
{
    QTest::addColumn<QVector<float>>("sample");
    QTest::addColumn<QVector<float>>("standard");
    QTest::addColumn<double>("cmc21");
    QTest::addColumn<double>("cmc11");
    QTest::addColumn<double>("cie94");
    // Worked by hand from the formulas: SL, SC, F and T taken from the standard.
    QTest::newRow("pure lightness") << QVector<float>{52, 20, 0} << QVector<float>{50, 20, 0}
                                    << 0.918853 << 1.837706 << 2.0;
    QTest::newRow("lightness below 16") << QVector<float>{12, 20, 0} << QVector<float>{10, 20, 0}
                                        << 1.956947 << 3.913894 << 2.0;
    QTest::newRow("pure chroma") << QVector<float>{50, 25, 0} << QVector<float>{50, 20, 0}
                                 << 3.031969 << 3.031969 << 2.631579;
    QTest::newRow("hue across 0/360 (h 350, T outside 164-345)")
        << QVector<float>{50, 19.696155f, 3.472964f} << QVector<float>{50, 19.696155f, -3.472964f}
        << 5.816380 << 5.816380 << 5.343021;
    QTest::newRow("hue inside 164-345 (h 200)")
        << QVector<float>{50, -17.320508f, -10.0f} << QVector<float>{50, -18.793852f, -6.840403f}
        << 2.783529 << 2.783529 << 2.681715;
}

void TestObjectColor::cmcAndCie94()
{
    QFETCH(QVector<float>, sample);
    QFETCH(QVector<float>, standard);
    QFETCH(double, cmc21);
    QFETCH(double, cmc11);
    QFETCH(double, cie94);
    CalDeltaRecord d{};
    const float p21[3] = {2, 1, 0}, p11[3] = {1, 1, 0}, p94[3] = {1, 1, 1};
    QCOMPARE(CalcDeltaE(&d, sample.constData(), standard.constData(), 1, p21), 0);
    QVERIFY2(near(d.dE, cmc21, 2e-5), qPrintable(QString::number(d.dE, 'f', 6)));
    QCOMPARE(CalcDeltaE(&d, sample.constData(), standard.constData(), 1, p11), 0);
    QVERIFY2(near(d.dE, cmc11, 2e-5), qPrintable(QString::number(d.dE, 'f', 6)));
    QCOMPARE(CalcDeltaE(&d, sample.constData(), standard.constData(), 2, p94), 0);
    QVERIFY2(near(d.dE, cie94, 2e-5), qPrintable(QString::number(d.dE, 'f', 6)));
    QCOMPARE(CalcDeltaE(&d, sample.constData(), standard.constData(), 0, nullptr), 0);
    QVERIFY(near(d.dE, std::sqrt(d.dL * d.dL + d.da * d.da + d.db * d.db), 1e-5));
}

void TestObjectColor::deltaERefusalsKeepDifferences()
{
    const float a[3] = {50, 10, -5}, b[3] = {48, 12, -4};
    const float k[3] = {1, 1, 1};
    CalDeltaRecord d{};
    d.dE = 99.0f;
    QCOMPARE(CalcDeltaE(&d, a, b, 5, k), 4);
    QCOMPARE(d.dL, 2.0f);
    QCOMPARE(d.da, -2.0f);
    QCOMPARE(d.db, -1.0f);
    QCOMPARE(d.dE, 99.0f);
    for (unsigned formula : {1u, 2u, 3u}) {
        CalDeltaRecord e{};
        QCOMPARE(CalcDeltaE(&e, a, b, formula, nullptr), 4);
        QCOMPARE(e.dL, 2.0f);
    }
    QCOMPARE(CalcDeltaE(&d, a, b, 4, nullptr), 0);
    QVERIFY(near(d.dE, 3.0, 1e-6));
    QCOMPARE(CalcDeltaE(nullptr, a, b, 0, nullptr), 4);
}

void TestObjectColor::conversionRoundTrip_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("observer");
    QTest::newRow("D65 2deg") << 3 << 0;
    QTest::newRow("D50 10deg") << 2 << 1;
    QTest::newRow("A 2deg") << 0 << 0;
    QTest::newRow("UV-cut A 10deg") << 160 << 1;
}

void TestObjectColor::conversionRoundTrip()
{
    QFETCH(int, id);
    QFETCH(int, observer);
    // Lab -> Yxy -> LCh -> XYZ -> Hunter Lab -> Lab, and every space straight back to Lab.
    CalColorRecord lab = object(0, observer, id);
    lab.values[0] = 52.0f, lab.values[1] = 23.5f, lab.values[2] = -31.25f;
    CalColorRecord current = lab;
    for (int type : {3, 1, 2, 4, 0}) {
        CalColorRecord next = object(type, observer, id);
        QCOMPARE(ConvertColor(&current, &next), 0);
        CalColorRecord back = object(0, observer, id);
        QCOMPARE(ConvertColor(&next, &back), 0);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(near(back.values[i], lab.values[i], 1e-3), qPrintable(QString("type %1").arg(type)));
        current = next;
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(near(current.values[i], lab.values[i], 1e-3));
}

void TestObjectColor::conversionRefusals()
{
    CalColorRecord in = object(0, 0, 3);
    in.values[0] = 50.0f;
    CalColorRecord out = object(2, 1, 3);
    QCOMPARE(ConvertColor(&in, &out), 4);  // observer differs
    out = object(2, 0, 2);
    QCOMPARE(ConvertColor(&in, &out), 4);  // illuminant differs
    out = object(5, 0, 3);
    QCOMPARE(ConvertColor(&in, &out), 12);
    QCOMPARE(ConvertColor(nullptr, &out), 4);
    out = object(0, 0, 3);
    out.values[5] = 8.0f;
    QCOMPARE(ConvertColor(&in, &out), 0);  // same type: a copy
    QCOMPARE(out.values[5], 0.0f);

    CalColorRecord light{};
    light.type = 2;
    light.observer = 1;
    light.illuminant = 240;
    light.values[0] = light.values[1] = light.values[2] = 50.0f;
    CalColorRecord tcp = light;
    tcp.type = 9;
    QCOMPARE(ConvertColor(&light, &tcp), 9);
    light.observer = tcp.observer = 0;
    light.type = 6;
    QCOMPARE(ConvertColor(&light, &tcp), 9);
    light.type = 0;
    QCOMPARE(ConvertColor(&light, &tcp), 12);

    CalColorRecord user = object(0, 0, 14);
    user.values[0] = 50.0f;
    CalColorRecord userOut = object(2, 0, 14);
    QCOMPARE(ConvertColor(&user, &userOut), 1);
}

void TestObjectColor::density_data()
{
    QTest::addColumn<float>("reflectance");
    QTest::addColumn<float>("expected");
    QTest::newRow("R 0.1") << 0.1f << 1.0f;
    QTest::newRow("R 1") << 1.0f << 0.0f;
    QTest::newRow("R 0.01") << 0.01f << 2.0f;
}

void TestObjectColor::density()
{
    QFETCH(float, reflectance);
    QFETCH(float, expected);
    const Reflectance r = flat(reflectance);
    for (unsigned status = 0; status <= 4; ++status) {
        float out[4] = {};
        QCOMPARE(SpectrumToDensity(r.data(), 36, out, status), 0);
        for (float d : out)
            QVERIFY2(near(d, expected, 1e-5), qPrintable(QString("status %1: %2").arg(status).arg(d)));
    }
}

void TestObjectColor::densityWithoutLight()
{
    const Reflectance zero = flat(0.0f);
    float out[4] = {};
    QCOMPARE(SpectrumToDensity(zero.data(), 36, out, 2), 7);
    for (float d : out)
        QCOMPARE(d, FLT_MAX);
    // Light only in the red: the cyan channel is measured, the others report no light.
    Reflectance red = flat(0.0f);
    for (int k = 20; k < 36; ++k)
        red[k] = 0.1f;
    QCOMPARE(SpectrumToDensity(red.data(), 36, out, 2), 7);
    QVERIFY(near(out[0], 1.0, 1e-5));
    QCOMPARE(out[2], FLT_MAX);
    QCOMPARE(SpectrumToDensity(red.data(), 36, out, 5), 4);
    QCOMPARE(SpectrumToDensity(red.data(), 35, out, 0), 4);
}

void TestObjectColor::whitenessAndBrightness()
{
    const Reflectance white = flat(1.0f);
    CalIndexRecord idx{};
    idx.observer = 1;
    idx.illuminant = 3;
    QCOMPARE(SpectrumToIndex(white.data(), 36, &idx, 1), 0);
    QVERIFY2(near(idx.whiteness, 100.0, 0.05), qPrintable(QString::number(idx.whiteness)));
    QVERIFY(std::fabs(idx.tint) < 0.05);

    CalIndexRecord a{};
    a.observer = 0;
    a.illuminant = 0;
    a.whiteness = 7.0f;
    QCOMPARE(SpectrumToIndex(white.data(), 36, &a, 1), 9);
    QCOMPARE(a.whiteness, 7.0f);

    // A mid grey is no white: W falls outside 40 < W < 5Y - 280.
    const Reflectance grey = flat(0.5f);
    CalIndexRecord g{};
    g.observer = 0;
    g.illuminant = 2;
    g.whiteness = 7.0f;
    g.tint = 8.0f;
    QCOMPARE(SpectrumToIndex(grey.data(), 36, &g, 1), 9);
    QCOMPARE(g.whiteness, 7.0f);
    QCOMPARE(g.tint, 8.0f);

    CalIndexRecord b{};
    QCOMPARE(SpectrumToIndex(grey.data(), 36, &b, 2), 0);
    QVERIFY(near(b.brightness, 50.0, 1e-4));
    QCOMPARE(SpectrumToIndex(grey.data(), 36, &b, 3), 4);
}

void TestObjectColor::dotArea_data()
{
    QTest::addColumn<float>("tint");
    QTest::addColumn<float>("paper");
    QTest::addColumn<float>("solid");
    QTest::addColumn<float>("n");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("expected");  // < 0: not checked
    QTest::newRow("Murray-Davies") << 0.5f << 0.05f << 1.45f << 1.0f << 0 << 67.19;
    QTest::newRow("Yule-Nielsen n 2") << 0.5f << 0.05f << 1.45f << 2.0f << 0 << 50.51;
    QTest::newRow("all equal") << 0.3f << 0.3f << 0.3f << 1.0f << 0 << 100.0;
    QTest::newRow("paper equals solid") << 0.5f << 0.3f << 0.3f << 1.0f << 6 << -1.0;
    QTest::newRow("n zero") << 0.5f << 0.05f << 1.45f << 0.0f << 6 << 0.0;
}

void TestObjectColor::dotArea()
{
    QFETCH(float, tint);
    QFETCH(float, paper);
    QFETCH(float, solid);
    QFETCH(float, n);
    QFETCH(int, code);
    QFETCH(double, expected);
    const float t[4] = {0, 0, tint, 0}, p[4] = {0, 0, paper, 0}, s[4] = {0, 0, solid, 0};
    float out = -5.0f;
    QCOMPARE(CalcDotArea(&out, t, p, s, 2, n), code);
    if (expected >= 0)
        QVERIFY2(near(out, expected, 0.005), qPrintable(QString::number(out)));
    QCOMPARE(CalcDotArea(&out, t, p, s, 4, n), 4);
}

void TestObjectColor::hueErrorGrayness_data()
{
    QTest::addColumn<QVector<float>>("excess");  // sample minus paper
    QTest::addColumn<double>("hueError");
    QTest::addColumn<double>("grayness");
    QTest::addColumn<int>("filter");
    QTest::newRow("cyan high") << QVector<float>{1.0f, 0.5f, 0.2f} << 37.5 << 20.0 << 0;
    QTest::newRow("magenta high, cyan low") << QVector<float>{0.1f, 0.9f, 0.5f} << 50.0 << 100.0 / 9 << 1;
    QTest::newRow("yellow high, cyan middle") << QVector<float>{0.4f, 0.2f, 1.0f} << 25.0 << 20.0 << 2;
    QTest::newRow("neutral grey") << QVector<float>{0.6f, 0.6f, 0.6f} << 100.0 << 100.0 << 3;
    QTest::newRow("no ink") << QVector<float>{0.0005f, 0.0f, 0.0f} << 100.0 << 100.0 << 3;
}

void TestObjectColor::hueErrorGrayness()
{
    QFETCH(QVector<float>, excess);
    QFETCH(double, hueError);
    QFETCH(double, grayness);
    QFETCH(int, filter);
    const float paper[3] = {0.1f, 0.1f, 0.1f};
    const float sample[3] = {paper[0] + excess[0], paper[1] + excess[1], paper[2] + excess[2]};
    float h = 0, g = 0;
    QCOMPARE(CalcDenHG(&h, &g, sample, paper), 0);
    QVERIFY2(near(h, hueError, 1e-3), qPrintable(QString::number(h)));
    QVERIFY2(near(g, grayness, 1e-3), qPrintable(QString::number(g)));
    int f = -1;
    QCOMPARE(EvaluateDenFilter(&f, sample, paper), 0);
    QCOMPARE(f, filter);
    QCOMPARE(CalcDenHG(nullptr, &g, sample, paper), 4);
    QCOMPARE(EvaluateDenFilter(&f, nullptr, paper), 4);
}

void TestObjectColor::metamerismIndex()
{
    const float p1[3] = {50, 10, 10}, p2[3] = {52, 12, 9}, p3[3] = {60, 0, 0}, p4[3] = {61, 0, 2};
    float out = 0;
    QCOMPARE(CalcMetameriIndex(&out, p1, p2, p3, p4), 0);
    QVERIFY(near(out, std::sqrt(1.0 + 4.0 + 9.0), 1e-5));
    QCOMPARE(CalcMetameriIndex(&out, p1, nullptr, p3, p4), 4);
}

QTEST_GUILESS_MAIN(TestObjectColor)
#include "tst_objectcolor.moc"
