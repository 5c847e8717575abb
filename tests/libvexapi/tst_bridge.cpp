// The colour bridge over libvexcolor.
#include "color_bridge.h"
#include "vexcolor.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <vector>

using namespace vexapi;

namespace {

std::vector<float> Planckian(double t, double scale = 1.0)
{
    std::vector<float> e(421);
    for (int i = 0; i < 421; ++i) {
        const double m = (360.0 + i) * 1e-9;
        e[static_cast<std::size_t>(i)] = static_cast<float>(scale * 1e-15 / std::pow(m, 5) / (std::exp(1.4388e-2 / (m * t)) - 1.0));
    }
    return e;
}

CalColorRecord Reference(const std::vector<float>& s, int type)
{
    CalColorRecord r{};
    r.type = type;
    r.illuminant = VEXCOLOR_LIGHT_SOURCE_ALT;
    SpectrumToColor(s.data(), 421, &r);
    return r;
}

}  // namespace

class TestBridge : public QObject {
    Q_OBJECT
private slots:
    void kindEightCopiesAndHasNoDifference()
    {
        const std::vector<float> s = Planckian(4000);
        cColorFunction f;
        QCOMPARE(f.SetSpectrum(s.data()), 0);
        std::vector<float> out(421);
        QCOMPARE(f.Calculate(out.data(), 8, 0, 0), 0);
        QCOMPARE(std::memcmp(out.data(), s.data(), 421 * 4), 0);
        cColorDiffFunction d;
        d.SetReference(s.data());
        d.SetSample(s.data());
        QCOMPARE(d.Calculate(out.data(), 8, 0, 0), 130);
    }

    void kindZeroIsEvXy()
    {
        const std::vector<float> s = Planckian(4000);
        const CalColorRecord r = Reference(s, 7);
        cColorFunction f;
        f.SetSpectrum(s.data());
        float out[421];
        QCOMPARE(f.Calculate(out, 0, 0, 0), 0);
        QCOMPARE(out[0], r.values[2]);
        QCOMPARE(out[1], r.values[0]);
        QCOMPARE(out[2], r.values[1]);
    }

    void unitConversion_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("converted");  // how many leading values are illuminances
        for (int k : {0, 1, 2, 3, 4})
            QTest::addRow("kind %d", k) << k << 1;
        QTest::newRow("kind 9") << 9 << 2;
        QTest::newRow("kind 5") << 5 << 0;
        QTest::newRow("kind 6") << 6 << 0;
    }
    void unitConversion()
    {
        QFETCH(int, kind);
        QFETCH(int, converted);
        const std::vector<float> s = Planckian(5000);
        cColorFunction f;
        f.SetSpectrum(s.data());
        float lux[421], fc[421];
        QCOMPARE(f.Calculate(lux, kind, 0, 0), 0);
        QCOMPARE(f.Calculate(fc, kind, 0, 1), 0);
        for (int i = 0; i < 3; ++i) {
            if (i < converted)
                QCOMPARE(fc[i], lux[i] / 10.764f);
            else
                QCOMPARE(fc[i], lux[i]);
        }
        QCOMPARE(f.Calculate(fc, kind, 0, 2), 105);
        cColorDiffFunction d;
        d.SetReference(s.data());
        d.SetSample(s.data());
        QCOMPARE(d.Calculate(fc, kind, 0, 2), 106);
    }

    void lowTemperatureWarns()
    {
        const std::vector<float> s = Planckian(1400, 1e3);
        cColorFunction f;
        f.SetSpectrum(s.data());
        float lux[421], fc[421];
        QCOMPARE(f.Calculate(lux, 2, 0, 0), 2);
        QCOMPARE(lux[1], kInvalidColour);
        QCOMPARE(lux[2], kInvalidColour);
        QCOMPARE(lux[0], Reference(s, 9).values[0]);
        QCOMPARE(f.Calculate(fc, 2, 0, 1), 2);
        QCOMPARE(fc[0], lux[0] / 10.764f);
    }

    void darkSpectra()
    {
        const std::vector<float> zero(421, 0.0f);
        cColorFunction f;
        f.SetSpectrum(zero.data());
        float out[421];
        QCOMPARE(f.Calculate(out, 7, 0, 0), 2);
        QCOMPARE(out[0], kInvalidColour);
        QCOMPARE(f.Calculate(out, 9, 0, 0), 2);
        QCOMPARE(out[2], kInvalidColour);
    }

    void ratiosAndInvalidSides()
    {
        const std::vector<float> zero(421, 0.0f);
        const std::vector<float> s = Planckian(5000);
        cColorDiffFunction d;
        d.SetReference(zero.data());
        d.SetSample(s.data());
        float out[421];
        QCOMPARE(d.Calculate(out, 9, 0, 0), 1);  // the black reference warns
        const CalColorRecord sample = Reference(s, 13);
        QCOMPARE(out[0], sample.values[0]);  // difference still formed
        QCOMPARE(out[1], kInvalidColour);     // ratio to a reference below 1e-37
        QCOMPARE(out[4], kInvalidColour);     // S/P of the reference is invalid
    }

    void checkOrder()
    {
        cColorFunction f;
        float out[421];
        QCOMPARE(f.Calculate(nullptr, 99, 9, 9), 101);
        QCOMPARE(f.Calculate(out, 99, 9, 9), 102);
        QCOMPARE(f.SetSpectrum(nullptr), 110);
        const std::vector<float> s = Planckian(5000);
        f.SetSpectrum(s.data());
        QCOMPARE(f.Calculate(out, 10, 9, 9), 103);
        QCOMPARE(f.Calculate(out, 0, 2, 9), 104);
        QCOMPARE(f.Calculate(out, 0, 0, 9), 105);

        cColorDiffFunction d;
        QCOMPARE(d.Calculate(nullptr, 99, 9, 9), 105);
        QCOMPARE(d.Calculate(out, 99, 9, 9), 101);
        QCOMPARE(d.Calculate(out, 0, 9, 9), 102);
        QCOMPARE(d.Calculate(out, 0, 0, 9), 103);
        QCOMPARE(d.SetReference(nullptr), 120);
        d.SetReference(s.data());
        QCOMPARE(d.Calculate(out, 0, 0, 9), 104);
        QCOMPARE(d.SetSample(nullptr), 110);
        d.SetSample(s.data());
        QCOMPARE(d.Calculate(out, 0, 0, 9), 106);
    }
};

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
