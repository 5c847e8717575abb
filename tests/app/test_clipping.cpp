// The model's clipping: the simulated scanner recognises the patches inside requested regions of the page it
// captured, and the model hands back the layout, the page image and the located points.

#include "modelfixture.h"

#include "app/orlosdkcontroller.h"

#include <QtTest>

#include <cstdlib>

Q_DECLARE_METATYPE(QVector<ChartDefinitionData::ClipArea>)

namespace {

// Two areas on the 200 x 150 mm page: 2 x 3 patches of 10 mm at the top left, 3 x 2 patches of 8 mm further
// down on the right.
const OrloSimArea kFirstArea = {2, 3, 1500, 1500, 1000, 1000, 1200, 1200};
const OrloSimArea kSecondArea = {3, 2, 10000, 6000, 800, 800, 1100, 1100};

ChartDefinitionData::ClipArea Region(int left, int top, int right, int bottom)
{
    return {left, top, right, top, left, bottom, right, bottom};
}

// Around each area with a few millimetres of paper, and a region of bare paper.
const ChartDefinitionData::ClipArea kAroundFirst = Region(1000, 1000, 5500, 4500);
const ChartDefinitionData::ClipArea kAroundSecond = Region(9500, 5500, 12500, 9500);
const ChartDefinitionData::ClipArea kBlank = Region(14000, 10000, 19000, 14000);

// A recognition run held at "Pre-scanning completed" on the two-area page, as the patch-area editor finds it.
bool RecogniseTwoAreas(CModel *model)
{
    OrloSim_ForceStatus(0, -1, -1, -1);
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.ConfirmChart = true;
    if (model->SetUserEnvironment(environment) != 0 || model->SelectFileID(CModel::KindDesignationChart, 0, 0) != 0)
        return false;
    ChartDefinitionDataSheets chart;
    MakePrintableChart(&chart, QStringLiteral("CLIP"), {{kFirstArea, kSecondArea}}, 0);
    const int inserted = InsertPrintedPage(chart, 0, false);
    ClearChartDefinitionData(&chart);
    if (inserted != 0)
        return false;
    while (OrloSim_DeliverPending() > 0) {
    }
    return model->GetOrloDeviceState() == 6;
}

// The library calls of the call log but the status reads that come with a report.
QStringList ClippingCalls()
{
    QStringList calls = QString::fromLatin1(OrloSim_CallLog()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    calls.removeAll(QStringLiteral("Orlo_GetStatus()"));
    return calls;
}

bool Near(int value, int expected) { return std::abs(value - expected) <= 9; }

// The area's geometry, as recognised, within 9 hundredths of what was printed.
bool SameArea(const ChartDefinitionData::Sheet &sheet, int a, const OrloSimArea &printed)
{
    const ChartDefinitionData::AreaCounts &counts = sheet.Areas[a];
    const ChartDefinitionData::AreaPlacement &g = sheet.Placements[a];
    return counts.RowCount == printed.rows && counts.ColumnCount == printed.columns &&
           counts.PatchCount == printed.rows * printed.columns && Near(g.LeftTopX, printed.left) &&
           Near(g.LeftTopY, printed.top) && Near(g.PatchWidth, printed.patchWidth) &&
           Near(g.PatchHeight, printed.patchHeight) && Near(g.PatchWidthGap, printed.pitchX) &&
           Near(g.PatchHeightGap, printed.pitchY);
}

} // namespace

class TestClipping : public QObject
{
    Q_OBJECT

private:
    ModelFixture fixture;

    void Recognised()
    {
        QVERIFY(fixture.Make());
        QCOMPARE(fixture.ConnectUsb(), 0);
        QVERIFY(RecogniseTwoAreas(fixture.model.get()));
        fixture.window->errors.clear();
        OrloSim_ClearCallLog();
    }

private slots:
    void oneRegion()
    {
        Recognised();
        ChartDefinitionData::Sheet result;
        QVector<OrloLocatedPoint> located;
        QCOMPARE(fixture.model->GetClippingChartResult({kAroundSecond}, &result, &located), 0);
        QCOMPARE(fixture.window->errors, QList<int>{});

        QCOMPARE(result.AreaCount, 1);
        QCOMPARE(result.PatchCount, 6);
        QVERIFY(SameArea(result, 0, kSecondArea));
        QVERIFY(!result.Patches);
        QCOMPARE(located.size(), 6);
        for (int k = 0; k < located.size(); ++k) {
            const OrloLocatedPoint &p = located.at(k);
            const int row = k / 2, column = k % 2;
            QCOMPARE(p.Area, 0);
            QCOMPARE(p.Row, row);
            QCOMPARE(p.Column, column);
            QVERIFY(Near(p.X, kSecondArea.left + column * kSecondArea.pitchX + kSecondArea.patchWidth / 2));
            QVERIFY(Near(p.Y, kSecondArea.top + row * kSecondArea.pitchY + kSecondArea.patchHeight / 2));
        }

        // The whole page at 300 dpi, and the clipped area's rectangle in its pixels.
        QCOMPARE(result.HasImage, 1);
        QCOMPARE(result.BitPerPixel, 8);
        QCOMPARE(result.ImageDPI, 300);
        QCOMPARE(result.ImageWidth, 2362);
        QCOMPARE(result.ImageHeight, 1772);
        QVERIFY(result.ImageBytes);
        QCOMPARE(int(result.ImageBytes[0]), 255);
        const int centre = (6400 * 300 / 2540) * result.ImageWidth + 10400 * 300 / 2540;
        QVERIFY(int(result.ImageBytes[size_t(centre)]) < 255);
        QCOMPARE(result.ClipAreaCount, 1);
        const ChartDefinitionData::ClipArea &clip = result.ClipAreas[0];
        QVERIFY(std::abs(clip.LeftTopX - 10000 * 300 / 2540) <= 2);
        QVERIFY(std::abs(clip.LeftTopY - 6000 * 300 / 2540) <= 2);
        QVERIFY(std::abs(clip.RightBottomX - 11900 * 300 / 2540) <= 2);
        QVERIFY(std::abs(clip.RightBottomY - 9000 * 300 / 2540) <= 2);
        QCOMPARE(clip.RightTopX, clip.RightBottomX);
        QCOMPARE(clip.LeftBottomY, clip.RightBottomY);

        const QString log = QString::fromLatin1(OrloSim_CallLog());
        const QString expected = QStringLiteral("Orlo_ClippingChart(1)\nOrlo_GetPatchRecogResult()\n"
                                                "Orlo_GetMeasurePoint(6)\nOrlo_GetChartImage(%1)\n")
                                     .arg(3638 * 19000);
        QCOMPARE(log, expected);
    }

    void twoRegionsInRegionOrder()
    {
        Recognised();
        ChartDefinitionData::Sheet result;
        QVector<OrloLocatedPoint> located;
        QCOMPARE(fixture.model->GetClippingChartResult({kAroundSecond, kAroundFirst}, &result, &located), 0);
        QCOMPARE(result.AreaCount, 2);
        QCOMPARE(result.PatchCount, 12);
        QVERIFY(SameArea(result, 0, kSecondArea));
        QVERIFY(SameArea(result, 1, kFirstArea));
        QCOMPARE(result.ClipAreaCount, 2);
        QCOMPARE(located.size(), 12);
        QCOMPARE(located.first().Area, 0);
        QVERIFY(Near(located.first().X, kSecondArea.left + kSecondArea.patchWidth / 2));
        QCOMPARE(located.last().Area, 1);
        QCOMPARE(located.last().Row, 1);
        QCOMPARE(located.last().Column, 2);
    }

    void failures_data()
    {
        const QStringList kToRecognition{QStringLiteral("Orlo_ClippingChart(1)"),
                                         QStringLiteral("Orlo_GetPatchRecogResult()")};
        QTest::addColumn<QVector<ChartDefinitionData::ClipArea>>("regions");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("bare paper") << QVector<ChartDefinitionData::ClipArea>{kBlank} << true << QString()
                                    << int(CModel::kNothingClipped) << kToRecognition;
        QTest::newRow("no region") << QVector<ChartDefinitionData::ClipArea>{} << true << QString()
                                   << int(COrloSDKController::kClippingFailed) << QStringList();
        QTest::newRow("51 regions") << QVector<ChartDefinitionData::ClipArea>(51, kAroundFirst) << true << QString()
                                    << int(COrloSDKController::kClippingFailed) << QStringList();
        QTest::newRow("not connected") << QVector<ChartDefinitionData::ClipArea>{kAroundFirst} << false << QString()
                                       << int(COrloSDKController::kClippingFailed)
                                       << QStringList{QStringLiteral("Orlo_ClippingChart(1)")};
        QTest::newRow("recognition fails")
            << QVector<ChartDefinitionData::ClipArea>{kAroundFirst} << true
            << QStringLiteral("Orlo_GetPatchRecogResult") << int(COrloSDKController::kRecogResultFailed)
            << kToRecognition;
    }

    void failures()
    {
        QFETCH(QVector<ChartDefinitionData::ClipArea>, regions);
        QFETCH(bool, connected);
        QFETCH(QString, failing);
        QFETCH(int, code);
        QFETCH(QStringList, calls);
        if (connected) {
            Recognised();
            QVERIFY(!CModelAccess::OrloController(*fixture.model)->IsMeasurementStopped());
        } else {
            QVERIFY(fixture.Make());
            OrloSim_ClearCallLog();
        }
        if (!failing.isEmpty())
            OrloSim_FailNext(failing.toLatin1().constData(), 1003);
        ChartDefinitionData::Sheet result;
        QVector<OrloLocatedPoint> located;
        QCOMPARE(fixture.model->GetClippingChartResult(regions, &result, &located), code);
        // Reported at once, even while the recognition run is held.
        QCOMPARE(fixture.window->errors, QList<int>{29});
        QCOMPARE(ClippingCalls(), calls);
        QVERIFY(located.isEmpty());
        QVERIFY(!result.ImageBytes);
    }
};

QTEST_GUILESS_MAIN(TestClipping)
#include "test_clipping.moc"
