// Patch values from a stored 152-value block through the chart scanner's library (simulated), checked against
// the colour library the instrument's own calculation rests on.

#include "orlostubmodel.h"

#include "app/orlocolourcalculator.h"

#include "vexcolor.h"

#include <QtTest>

#include <memory>

namespace {

QStringList LogLines()
{
    return QString::fromLatin1(OrloSim_CallLog()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

using Report = QPair<int, int>;

} // namespace

class TestOrloColourCalculator : public QObject
{
    Q_OBJECT

    std::unique_ptr<OrloStubModel> model;
    std::unique_ptr<COrloColourCalculator> calculator;

private slots:
    void init()
    {
        OrloSim_Reset();
        model = std::make_unique<OrloStubModel>();
        calculator = std::make_unique<COrloColourCalculator>(model.get());
    }
    void cleanup()
    {
        calculator.reset();
        model.reset();
        OrloSim_Reset();
    }

    void patchValues_data()
    {
        QTest::addColumn<int>("condition");
        QTest::addColumn<int>("whiteReference");
        QTest::addColumn<int>("densityShown");
        QTest::newRow("M1 absolute") << 1 << 0 << 1;
        QTest::newRow("M1 paper") << 1 << 1 << 1;
        QTest::newRow("D65 absolute") << 4 << 0 << 1;
        // The paper is measured for the densities: with none shown it is not kept, nothing is subtracted.
        QTest::newRow("M1 paper, densities hidden") << 1 << 1 << 0;
    }

    void patchValues()
    {
        QFETCH(int, condition);
        QFETCH(int, whiteReference);
        QFETCH(int, densityShown);
        float block[kInstrumentValueCount];
        float paper[kInstrumentValueCount];
        for (int i = 0; i < kInstrumentValueCount; ++i) {
            block[i] = i < 72 ? 0.2f + 0.6f * float((i % 36) * (i % 36)) / 1225.0f : 1.0f;
            paper[i] = i < 72 ? 0.9f : 1.0f;
        }
        Setting::MeasureConditionSetting record = DefaultDisplayColumns();
        record.WhiteReference = whiteReference;
        record.DensityShown = densityShown;
        record.Illuminant = kAutoIlluminantId;
        if (whiteReference == 1)
            QCOMPARE(calculator->StorePaperDensities(paper, record, {condition}), 0);
        float out[COrloColourCalculator::kPatchValueCount];
        QCOMPARE(calculator->CalculatePatchValues(out, block, record, condition), 0);

        const int illuminant = AutoIlluminantFor(condition);
        const bool relative = whiteReference == 1 && densityShown == 1;
        float density[4], paperDensity[4];
        QCOMPARE(SpectrumToDensity(block, 36, density, unsigned(DensityStatusCode(record.DensityStatus) - 3)), 0);
        QCOMPARE(SpectrumToDensity(paper, 36, paperDensity, unsigned(DensityStatusCode(record.DensityStatus) - 3)), 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(out[i], relative ? density[i] - paperDensity[i] : density[i]);
        for (int kind = 0; kind < 3; ++kind) {
            CalColorRecord rec{};
            rec.type = kind;
            rec.observer = 0;
            rec.illuminant = IlluminantCode(illuminant);
            QCOMPARE(SpectrumToColor(block, 36, &rec), 0);
            for (int c = 0; c < 3; ++c)
                QCOMPARE(out[4 + 3 * kind + c], rec.values[c]);
        }
        for (int i = 0; i < 36; ++i)
            QCOMPARE(out[13 + i], block[i]);
    }

    // Paper densities are kept per known condition only; other ids neither store nor subtract.
    void paperDensitiesOfUnknownConditions()
    {
        float paper[kInstrumentValueCount];
        std::fill(paper, paper + kInstrumentValueCount, 0.5f);
        Setting::MeasureConditionSetting record = DefaultDisplayColumns();
        record.WhiteReference = 1;
        QCOMPARE(calculator->StorePaperDensities(paper, record, {-1, kMeasurementConditionCount}), 0);
        float relative[4], absolute[4];
        QCOMPARE(calculator->CalculateDensity(relative, paper, record, kMeasurementConditionCount), 0);
        record.WhiteReference = 0;
        QCOMPARE(calculator->CalculateDensity(absolute, paper, record, kMeasurementConditionCount), 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(relative[i], absolute[i]);
    }

    void userIlluminantPath()
    {
        float block[kInstrumentValueCount];
        for (int i = 0; i < kInstrumentValueCount; ++i)
            block[i] = 0.5f;
        Setting::MeasureConditionSetting record = DefaultDisplayColumns();
        record.Illuminant = 16;
        float out[COrloColourCalculator::kPatchValueCount];
        OrloSim_ClearCallLog();
        QCOMPARE(calculator->CalculatePatchValues(out, block, record, 15), 0);
        // Per colour kind: the condition's light for the reflectance, then the record's for the colour.
        QCOMPARE(LogLines().filter("Orlo_RegisterUserIlluminant").size(), 6);
        QVERIFY(model->calls.contains("GetUserIlluminantForCondition(15,15)"));
        QVERIFY(model->calls.contains("GetUserIlluminantForCondition(15,16)"));
        QVERIFY(LogLines().contains("Orlo_CalculateData(3,36)"));

        // A user illuminant under a built-in condition registers once per colour kind.
        OrloSim_ClearCallLog();
        QCOMPARE(calculator->CalculatePatchValues(out, block, record, 1), 0);
        QCOMPARE(LogLines().filter("Orlo_RegisterUserIlluminant").size(), 3);
        QVERIFY(!LogLines().contains("Orlo_CalculateData(3,36)"));
    }

    // "Auto" is the condition's own illuminant; a refused option is reported at once and ends the sequence.
    void options()
    {
        Setting::MeasureConditionSetting record = DefaultDisplayColumns();
        record.Observer = 1;
        record.Illuminant = kAutoIlluminantId;
        OrloSim_ClearCallLog();
        QCOMPARE(calculator->SetOption(record, 4), 0);
        const QStringList autoLines = LogLines();
        record.Illuminant = AutoIlluminantFor(4);
        OrloSim_ClearCallLog();
        QCOMPARE(calculator->SetOption(record, 4), 0);
        QCOMPARE(autoLines, LogLines());
        QCOMPARE(autoLines.size(), 3);
        QVERIFY(autoLines.last().startsWith("Orlo_SetOption(2,"));
        QVERIFY(model->reports.isEmpty());

        OrloSim_ClearCallLog();
        OrloSim_FailNext("Orlo_SetOption", 1);
        QCOMPARE(calculator->SetOption(record, 4), int(COrloColourCalculator::kOptionsFailed));
        QCOMPARE(LogLines().filter("Orlo_SetOption").size(), 1);
        QCOMPARE(model->reports, QList<Report>({{20015, 9}}));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("failing"); // library function made to fail once, or empty
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("colour kind out of range") << "colour" << "" << 3 << 20056;
        QTest::newRow("colour kind below range") << "colour" << "" << -1 << 20056;
        QTest::newRow("colour, calculation") << "colour" << "Orlo_CalculateData" << 0 << 20057;
        QTest::newRow("colour, options") << "colour" << "Orlo_SetOption" << 0 << 20015;
        QTest::newRow("user colour kind out of range") << "user colour" << "" << 3 << 20054;
        QTest::newRow("user colour kind below range") << "user colour" << "" << -1 << 20054;
        QTest::newRow("user colour, reflectance") << "user colour" << "Orlo_CalculateData" << 0 << 20014;
        QTest::newRow("user colour, light refused") << "user colour" << "model" << 0 << 20024;
        QTest::newRow("patch values, density") << "patch values" << "Orlo_CalculateData" << 0 << 20006;
        QTest::newRow("spectrum, option") << "spectrum" << "Orlo_SetOption" << 0 << 20013;
        QTest::newRow("spectrum, calculation") << "spectrum" << "Orlo_CalculateData" << 0 << 20014;
        QTest::newRow("L*a*b* with options, option") << "lab" << "Orlo_SetOption" << 0 << 20015;
        QTest::newRow("L*a*b* with options, calculation") << "lab" << "Orlo_CalculateData" << 0 << 20057;
    }

    void failures()
    {
        QFETCH(QString, operation);
        QFETCH(QString, failing);
        QFETCH(int, kind);
        QFETCH(int, result);
        float block[kInstrumentValueCount];
        std::fill(block, block + kInstrumentValueCount, 0.5f);
        float out[COrloColourCalculator::kPatchValueCount];
        Setting::MeasureConditionSetting record = DefaultDisplayColumns();
        record.Illuminant = 16;
        if (failing == "model")
            model->userIlluminantResult = 1;
        else if (!failing.isEmpty())
            OrloSim_FailNext(failing.toLatin1().constData(), 1);
        int r = -1;
        if (operation == "colour")
            r = calculator->CalculateColor(out, block, record, 1, kind);
        else if (operation == "user colour")
            r = calculator->CalculateColorUserIlluminant(out, block, record, 15, kind);
        else if (operation == "patch values")
            r = calculator->CalculatePatchValues(out, block, record, 15);
        else if (operation == "spectrum")
            r = calculator->CalculateSpectrum(out, block, 1);
        else if (operation == "lab")
            r = calculator->CalculateLabWithOptions(out, block, 1, 2, 0);
        QCOMPARE(r, result);
    }
};

QTEST_GUILESS_MAIN(TestOrloColourCalculator)
#include "test_orlo_colourcalculator.moc"
