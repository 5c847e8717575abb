// The generated constant tables against values published with the CIE and ISO tables they come from.
#include <QtTest>

#include <cmath>

#include "tables.h"

using namespace vexcolor;

class TestTables : public QObject {
    Q_OBJECT

private slots:
    void cmfKeepsFiveNanometreValues_data();
    void cmfKeepsFiveNanometreValues();
    void isotemperatureEnds_data();
    void isotemperatureEnds();
    void isotemperatureDoubleRowsMatch();
    void locusEnds_data();
    void locusEnds();
    void densityVectors_data();
    void densityVectors();
    void illuminantSlots();
};

void TestTables::cmfKeepsFiveNanometreValues_data()
{
    QTest::addColumn<int>("observer");
    QTest::addColumn<int>("nm");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("z");
    // CIE 1931 and 1964 tables, 5 nm rows.
    QTest::newRow("2deg 360") << 0 << 360 << 0.0001299 << 0.000003917 << 0.0006061;
    QTest::newRow("2deg 450") << 0 << 450 << 0.3362 << 0.038 << 1.77211;
    QTest::newRow("2deg 555") << 0 << 555 << 0.5120501 << 1.0 << 0.005749999;
    QTest::newRow("2deg 600") << 0 << 600 << 1.0622 << 0.631 << 0.0008;
    QTest::newRow("2deg 780") << 0 << 780 << 0.00004150994 << 0.00001499 << 0.0;
    QTest::newRow("10deg 360") << 1 << 360 << 0.0000001222 << 0.000000013398 << 0.000000535027;
    QTest::newRow("10deg 450") << 1 << 450 << 0.370702 << 0.089456 << 1.9948;
    QTest::newRow("10deg 555") << 1 << 555 << 0.616053 << 0.99911 << 0.001091;
    QTest::newRow("10deg 780") << 1 << 780 << 0.0000334117 << 0.000013249 << 0.0;
}

void TestTables::cmfKeepsFiveNanometreValues()
{
    QFETCH(int, observer);
    QFETCH(int, nm);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, z);
    const int k = nm - 360;
    QCOMPARE(kCmf[observer].f[0][k], x);
    QCOMPARE(kCmf[observer].f[1][k], y);
    QCOMPARE(kCmf[observer].f[2][k], z);
}

void TestTables::isotemperatureEnds_data()
{
    QTest::addColumn<int>("observer");
    QTest::addColumn<int>("row");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("v");
    QTest::addColumn<double>("t");
    QTest::newRow("2deg infinite") << 0 << 0 << 0.180046 << 0.263577 << -4.09562;
    QTest::newRow("2deg 640 mired") << 0 << 64 << 0.349746 << 0.360483 << 0.012722;
    QTest::newRow("10deg infinite") << 1 << 0 << 0.177107 << 0.265867 << -3.15533;
    QTest::newRow("10deg 640 mired") << 1 << 64 << 0.350279 << 0.360752 << 0.008108;
}

void TestTables::isotemperatureEnds()
{
    QFETCH(int, observer);
    QFETCH(int, row);
    QFETCH(double, u);
    QFETCH(double, v);
    QFETCH(double, t);
    const IsoTemperatureRow& r = kIsoTemperature[observer][row];
    QCOMPARE(r.n, row + 1);
    QCOMPARE(r.mired, row * 10);
    QVERIFY2(std::fabs(r.u - u) < 1e-4, qPrintable(QString::number(r.u, 'g', 8)));
    QVERIFY2(std::fabs(r.v - v) < 1e-4, qPrintable(QString::number(r.v, 'g', 8)));
    QVERIFY2(std::fabs(r.t / t - 1) < 0.01, qPrintable(QString::number(r.t, 'g', 8)));
    QCOMPARE(kIsoTemperature[observer][65].n, -1);
}

void TestTables::isotemperatureDoubleRowsMatch()
{
    for (int obs = 0; obs < 2; ++obs) {
        for (int i = 0; i < 66; ++i) {
            QCOMPARE(kIsoTemperatureD[obs][i].n, kIsoTemperature[obs][i].n);
            QCOMPARE(float(kIsoTemperatureD[obs][i].u), kIsoTemperature[obs][i].u);
            QCOMPARE(float(kIsoTemperatureD[obs][i].t), kIsoTemperature[obs][i].t);
        }
    }
}

void TestTables::locusEnds_data()
{
    QTest::addColumn<int>("observer");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    // Chromaticities of the CIE functions themselves (the 10 degree ones differ from older printed rows).
    QTest::newRow("2deg 380") << 0 << 0 << 17411 << 496;
    QTest::newRow("2deg 720") << 0 << 68 << 73469 << 26531;
    QTest::newRow("10deg 380") << 1 << 0 << 18133 << 1969;
    QTest::newRow("10deg 720") << 1 << 68 << 71991 << 28009;
}

void TestTables::locusEnds()
{
    QFETCH(int, observer);
    QFETCH(int, row);
    QFETCH(int, x);
    QFETCH(int, y);
    QCOMPARE(kLocus[observer][row].x, x);
    QCOMPARE(kLocus[observer][row].y, y);
}

void TestTables::densityVectors_data()
{
    QTest::addColumn<int>("vector");
    QTest::addColumn<int>("peak");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    const int extents[5][3][3] = {
        {{600, 560, 720}, {530, 480, 620}, {460, 380, 550}},
        {{600, 560, 720}, {530, 480, 620}, {440, 380, 520}},
        {{620, 610, 730}, {530, 510, 590}, {440, 420, 480}},
        {{620, 620, 630}, {530, 530, 540}, {430, 420, 440}},
        {{600, 560, 710}, {530, 470, 620}, {440, 380, 510}},
    };
    const char* channels[3] = {"cyan", "magenta", "yellow"};
    for (int s = 0; s < 5; ++s)
        for (int c = 0; c < 3; ++c)
            QTest::addRow("status %d %s", s, channels[c])
                << s * 3 + c << extents[s][c][0] << extents[s][c][1] << extents[s][c][2];
    QTest::newRow("visual") << kVisualVector << 570 << 380 << 730;
}

void TestTables::densityVectors()
{
    QFETCH(int, vector);
    QFETCH(int, peak);
    QFETCH(int, from);
    QFETCH(int, to);
    const float* w = kDensityWeights[vector];
    double sum = 0;
    int best = 0;
    for (int k = 0; k < kReflectancePoints; ++k) {
        const int nm = 380 + 10 * k;
        sum += w[k];
        if (w[k] > w[best])
            best = k;
        if (nm < from || nm > to)
            QCOMPARE(w[k], 0.0f);
    }
    QVERIFY(std::fabs(sum - 100.0) < 1e-4);
    QCOMPARE(380 + 10 * best, peak);
}

void TestTables::illuminantSlots()
{
    const int ids[kIlluminantSlots] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                       23, 23, 23, 23, 23, 23, 23, 23, 23, 160, 255};
    for (int i = 0; i < kIlluminantSlots; ++i)
        QCOMPARE(kIlluminantTable[i].id, ids[i]);
    // CIE normalisation: 100 at 560 nm (index 52) for A, D50, D65 (C is published as it is, 105.3 there).
    for (int i : {0, 2, 3})
        QCOMPARE(kIlluminantTable[i].spd[52], 100.0f);
    QCOMPARE(kIlluminantTable[1].spd[52], 105.3f);
    // Ultraviolet cut of id 160: 0.001 of A below 390 nm, 0.5 at 410 nm, A itself from 440 nm.
    QVERIFY(std::fabs(kIlluminantTable[24].spd[10] / kIlluminantTable[0].spd[10] - 0.001f) < 1e-6f);
    QVERIFY(std::fabs(kIlluminantTable[24].spd[22] / kIlluminantTable[0].spd[22] - 0.5f) < 1e-6f);
    QCOMPARE(kIlluminantTable[24].spd[60], kIlluminantTable[0].spd[60]);
    // Transmittance of ids 4 and 5: 0 at 300 nm, D50/D65 unchanged at 480-560 nm.
    QCOMPARE(kIlluminantTable[4].spd[0], 0.0f);
    QCOMPARE(kIlluminantTable[5].spd[40], kIlluminantTable[3].spd[40]);
    for (int k = 0; k < 97; ++k) {
        QCOMPARE(kIlluminantTable[14].spd[k], 0.0f);
        QCOMPARE(kIlluminantTable[25].spd[k], 0.0f);
    }
}

QTEST_GUILESS_MAIN(TestTables)
#include "tst_tables.moc"
