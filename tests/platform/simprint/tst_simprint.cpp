// The shared print model: the block format both simulated instruments deliver.

#include "simprint.h"

#include <QtTest>

#include <algorithm>

class TestSimPrint : public QObject
{
    Q_OBJECT

private slots:
    void blockFormat_data()
    {
        QTest::addColumn<float>("c");
        QTest::addColumn<float>("m");
        QTest::addColumn<float>("y");
        QTest::addColumn<float>("k");
        QTest::newRow("paper") << 0.f << 0.f << 0.f << 0.f;
        QTest::newRow("all solids") << 1.f << 1.f << 1.f << 1.f;
        QTest::newRow("tint") << 0.3f << 0.1f << 0.6f << 0.f;
        QTest::newRow("out of range") << -1.f << 2.f << 0.f << 0.f;
    }

    void blockFormat()
    {
        QFETCH(float, c);
        QFETCH(float, m);
        QFETCH(float, y);
        QFETCH(float, k);
        float a[simprint::kBlockSize], b[simprint::kBlockSize];
        simprint::MakeBlock({c, m, y, k}, a);
        simprint::MakeBlock({c, m, y, k}, b);
        QVERIFY(std::equal(a, a + simprint::kBlockSize, b));
        QVERIFY(std::all_of(a, a + simprint::kBlockSize, [](float v) { return v > 0 && v <= 1.0f; }));
        // The UV-excluded half loses only the brightener rise (400-460 nm).
        for (int i = 0; i < simprint::kBandCount; ++i) {
            const float full = a[i], cut = a[simprint::kUvExcludedOffset + i];
            if (i >= 2 && i <= 8)
                QVERIFY(cut < full);
            else if (i < 2 || i > 9)
                QCOMPARE(cut, full);
        }
    }

    void inksFromRgb()
    {
        const simprint::Inks inks = simprint::InksFromRgb(0, 255, 51);
        QCOMPARE(inks.c, 1.0f);
        QCOMPARE(inks.m, 0.0f);
        QCOMPARE(inks.y, 0.8f);
        QCOMPARE(inks.k, 0.0f);
        uint8_t rgb[3];
        simprint::InksToRgb(inks, rgb);
        QCOMPARE(int(rgb[0]), 0);
        QCOMPARE(int(rgb[1]), 255);
        QCOMPARE(int(rgb[2]), 51);
    }

    void solidsAbsorbTheirBand()
    {
        float paper[simprint::kBandCount], cyan[simprint::kBandCount], magenta[simprint::kBandCount],
            yellow[simprint::kBandCount];
        simprint::Reflectance({}, false, paper);
        simprint::Reflectance({1, 0, 0, 0}, false, cyan);
        simprint::Reflectance({0, 1, 0, 0}, false, magenta);
        simprint::Reflectance({0, 0, 1, 0}, false, yellow);
        QVERIFY(cyan[27] < 0.1f * paper[27]);     // 650 nm
        QVERIFY(magenta[16] < 0.1f * paper[16]);  // 540 nm
        QVERIFY(yellow[6] < 0.1f * paper[6]);     // 440 nm
        QVERIFY(cyan[8] > 0.7f * paper[8]);       // 460 nm passes
    }
};

QTEST_GUILESS_MAIN(TestSimPrint)
#include "tst_simprint.moc"
