// The patch-area editor's data operations without widgets: adding an area, merging a clipping result, the
// deleted-point list, the finish-button rule and the recolouring at load.
#include "app/colourhelpers.h"
#include "app/recordhelpers.h"
#include "chart/patchareacore.h"

#include <QtTest>

using namespace PatchAreaCore;
using ChartDefinitionData::Sheet;

namespace {

constexpr float kPaper = 255.0f;

// A one-sheet chart whose page has areas of the given rows x columns side by side, patches numbered from
// firstId, and the measured entry with one point per patch carrying the same ID (or no records at all).
struct Page {
    ChartDefinitionDataSheets chart;
    MeasurementData entry;

    Page(const QVector<QSize> &areas, int firstId = 1, bool withRecords = true)
    {
        chart.SheetCount = 1;
        chart.Sheets = NewChartSheets(1);
        Sheet &sheet = chart.Sheets[0];
        sheet.Width = 20000;
        sheet.Height = 15000;
        sheet.AreaCount = areas.size();
        for (int a = 0; a < areas.size(); ++a) {
            const int rows = areas.at(a).height();
            const int columns = areas.at(a).width();
            sheet.Areas[a] = {rows, columns, rows * columns};
            sheet.Placements[a] = {1000 + a * 4000, 1000, 800, 800, 1000, 1000};
            sheet.PatchCount += rows * columns;
        }
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        entry.PageNumber = 1;
        entry.RecordCount = withRecords ? sheet.PatchCount : 0;
        entry.Records = NewMeasurementRecords(size_t(entry.RecordCount));
        int k = 0;
        for (int a = 0; a < areas.size(); ++a) {
            for (int r = 0; r < areas.at(a).height(); ++r) {
                for (int c = 0; c < areas.at(a).width(); ++c, ++k) {
                    sheet.Patches[k] = {firstId + k, a, r, c, ChartDefinitionData::FormatCMYK, {10, 20, 30, 40}};
                    if (withRecords) {
                        MeasurementData::PatchData &record = entry.Records[k];
                        record.ID = firstId + k;
                        record.Area = a;
                        record.Row = r;
                        record.Column = c;
                    }
                }
            }
        }
        chart.ChartPatchCount = sheet.PatchCount;
    }
    Sheet &sheet() { return chart.Sheets[0]; }
};

// A sheet as the layout dialog hands it: one area, patches only counted.
Sheet OneArea(int rows, int columns, ChartDefinitionData::AreaPlacement placement)
{
    Sheet sheet;
    sheet.AreaCount = 1;
    sheet.PatchCount = rows * columns;
    sheet.Areas[0] = {rows, columns, rows * columns};
    sheet.Placements[0] = placement;
    sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
    return sheet;
}

// A clipping result of one area per given grid, with a 4 x 2 image and one clip area.
Sheet ClipResult(const QVector<QSize> &areas)
{
    Sheet result;
    result.AreaCount = areas.size();
    for (int a = 0; a < areas.size(); ++a) {
        const int n = areas.at(a).width() * areas.at(a).height();
        result.Areas[a] = {areas.at(a).height(), areas.at(a).width(), n};
        result.Placements[a] = {9000 + 3000 * a, 5000, 700, 700, 900, 900};
        result.PatchCount += n;
    }
    result.HasImage = 1;
    result.ImageWidth = 4;
    result.ImageHeight = 2;
    result.BitPerPixel = 8;
    result.ImageDPI = 300;
    result.ImageBytes = NewImageBytes(8);
    for (int i = 0; i < 8; ++i)
        result.ImageBytes[i] = static_cast<unsigned char>(10 * i);
    result.ClipAreaCount = 1;
    result.ClipAreas[0] = {1, 2, 3, 4, 5, 6, 7, 8};
    return result;
}

// One located point per patch of the result, in area, row, column order.
QVector<OrloLocatedPoint> LocatedAll(const Sheet &result)
{
    QVector<OrloLocatedPoint> located;
    for (int a = 0; a < result.AreaCount; ++a) {
        for (int r = 0; r < result.Areas[a].RowCount; ++r) {
            for (int c = 0; c < result.Areas[a].ColumnCount; ++c)
                located.append({100 * a + c, 1000 + r, a, r, c});
        }
    }
    return located;
}

} // namespace

class TestPatchAreaCore : public QObject
{
    Q_OBJECT

private slots:
    // Two areas with patch and point IDs 1-20 and a 3 x 4 area added: IDs 21-32 in area 2, points at the centres.
    void addAreaContinuesIds()
    {
        Page page({QSize(5, 2), QSize(2, 5)});
        const Sheet added = OneArea(3, 4, {5000, 6000, 750, 666, 800, 700});
        QCOMPARE(AddAreaToPage(&page.chart, 0, &page.entry, added, ChartDefinitionData::FormatCMYK, 0.0f), 0);

        const Sheet &sheet = page.sheet();
        QCOMPARE(sheet.AreaCount, 3);
        QCOMPARE(sheet.PatchCount, 32);
        QCOMPARE(page.chart.ChartPatchCount, 32);
        QCOMPARE(sheet.Areas[2].PatchCount, 12);
        QCOMPARE(sheet.Placements[2].LeftTopX, 5000);
        QCOMPARE(page.entry.RecordCount, 32);
        for (int k = 0; k < 20; ++k) {
            QCOMPARE(sheet.Patches[k].ID, k + 1);
            QCOMPARE(page.entry.Records[k].ID, k + 1);
        }
        for (int k = 20; k < 32; ++k) {
            const int r = (k - 20) / 4;
            const int c = (k - 20) % 4;
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
            const MeasurementData::PatchData &point = page.entry.Records[k];
            QCOMPARE(QVector<int>({patch.ID, patch.Area, patch.Row, patch.Column}), QVector<int>({k + 1, 2, r, c}));
            QCOMPARE(QVector<int>({point.ID, point.Area, point.Row, point.Column}), QVector<int>({k + 1, 2, r, c}));
            QCOMPARE(point.X, 5000 + 375 + c * 800);
            QCOMPARE(point.Y, 6000 + 333 + r * 700);
            // CMYK paper: four channels of 0, and the colour format on both records.
            QCOMPARE(patch.ColorFormat, int(ChartDefinitionData::FormatCMYK));
            QCOMPARE(point.ColorFormat, int(ChartDefinitionData::FormatCMYK));
            QCOMPARE(patch.ColorValue[0], 0.0f);
        }
    }

    // RGB paper values go into exactly format + 2 channels.
    void addAreaPaperValues()
    {
        Page page({QSize(1, 1)});
        QCOMPARE(AddAreaToPage(&page.chart, 0, &page.entry, OneArea(1, 1, {0, 0, 600, 600, 600, 600}),
                               ChartDefinitionData::FormatRGB, kPaper),
                 0);
        const float *values = page.sheet().Patches[1].ColorValue;
        QCOMPARE(QVector<float>(values, values + 4), QVector<float>({kPaper, kPaper, kPaper, 0.0f}));
        const float *point = page.entry.Records[1].ColorValue;
        QCOMPARE(QVector<float>(point, point + 4), QVector<float>({kPaper, kPaper, kPaper, 0.0f}));
    }

    // A page without measured records: the new points are numbered from 0, the page's patch IDs still count.
    void addAreaToPageWithoutRecords()
    {
        Page page({QSize(2, 1)}, 7, false);
        QCOMPARE(AddAreaToPage(&page.chart, 0, &page.entry, OneArea(1, 3, {0, 0, 600, 600, 600, 600}), 1, kPaper), 0);
        QCOMPARE(page.entry.RecordCount, 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(page.entry.Records[k].ID, k);
            QCOMPARE(page.sheet().Patches[2 + k].ID, 9 + k);
        }
    }

    // 51 areas: 404 and the page, its entry and the chart's count as they were.
    void addAreaBeyondFifty()
    {
        QVector<QSize> fifty(50, QSize(1, 1));
        Page page(fifty);
        QCOMPARE(AddAreaToPage(&page.chart, 0, &page.entry, OneArea(1, 1, {0, 0, 600, 600, 600, 600}), 1, kPaper),
                 int(TooManyAreasAdded));
        QCOMPARE(page.sheet().AreaCount, 50);
        QCOMPARE(page.sheet().PatchCount, 50);
        QCOMPARE(page.chart.ChartPatchCount, 50);
        QCOMPARE(page.entry.RecordCount, 50);
    }

    // The result's areas follow the page's, its image and clip areas replace the page's, and every located patch
    // gets a point at its located centre; a patch the list lacks gets none.
    void mergeAppendsAreasAndPoints()
    {
        Page page({QSize(3, 1)});
        page.sheet().HasImage = 1;
        page.sheet().ImageWidth = page.sheet().ImageHeight = 1;
        page.sheet().BitPerPixel = 8;
        page.sheet().ImageBytes = NewImageBytes(1);
        page.sheet().ImageBytes[0] = 99;
        const Sheet result = ClipResult({QSize(2, 1), QSize(1, 2)});
        QVector<OrloLocatedPoint> located = LocatedAll(result);
        // The list keeps its length but names area 0, row 0, column 1 twice, so area 1's second patch is missing.
        located[3] = located[1];

        QCOMPARE(MergeClippingResult(&page.sheet(), &page.entry, result, located, 1, kPaper), 0);
        const Sheet &sheet = page.sheet();
        QCOMPARE(sheet.AreaCount, 3);
        QCOMPARE(sheet.PatchCount, 7);
        QCOMPARE(sheet.Placements[1].LeftTopX, 9000);
        QCOMPARE(sheet.Placements[2].LeftTopX, 12000);
        QCOMPARE(sheet.Patches[6].ID, 7);
        QCOMPARE(sheet.Patches[6].Area, 2);
        QCOMPARE(sheet.Patches[6].Row, 1);
        QCOMPARE(QSize(sheet.ImageWidth, sheet.ImageHeight), QSize(4, 2));
        QCOMPARE(sheet.ImageBytes[7], static_cast<unsigned char>(70));
        QCOMPARE(sheet.ImageDPI, 300);
        QCOMPARE(sheet.ClipAreaCount, 1);
        QCOMPARE(sheet.ClipAreas[0].RightBottomY, 8);

        QCOMPARE(page.entry.RecordCount, 6);
        const MeasurementData::PatchData *records = page.entry.Records.get();
        QCOMPARE(QVector<int>({records[3].ID, records[3].Area, records[3].Column, records[3].X, records[3].Y}),
                 QVector<int>({4, 1, 0, 0, 1000}));
        QCOMPARE(QVector<int>({records[5].ID, records[5].Area, records[5].Row, records[5].X, records[5].Y}),
                 QVector<int>({6, 2, 0, 100, 1000}));
        QCOMPARE(records[5].ColorFormat, 0);
    }

    void mergeFailures_data()
    {
        QTest::addColumn<int>("pageAreas");
        QTest::addColumn<int>("located");
        QTest::addColumn<int>("expected");
        QTest::newRow("more than 50 areas") << 49 << 4 << int(TooManyAreasMerged);
        QTest::newRow("located list short") << 1 << 3 << int(LocatedCountMismatch);
        QTest::newRow("both: the count wins") << 49 << 3 << int(LocatedCountMismatch);
    }
    void mergeFailures()
    {
        QFETCH(int, pageAreas);
        QFETCH(int, located);
        QFETCH(int, expected);
        Page page(QVector<QSize>(pageAreas, QSize(1, 1)));
        const Sheet result = ClipResult({QSize(2, 1), QSize(2, 1)});
        QCOMPARE(MergeClippingResult(&page.sheet(), &page.entry, result, LocatedAll(result).mid(0, located), 1,
                                     kPaper),
                 expected);
        QCOMPARE(page.sheet().AreaCount, pageAreas);
        QCOMPARE(page.sheet().PatchCount, pageAreas);
        QCOMPARE(page.sheet().HasImage, 0);
        QCOMPARE(page.entry.RecordCount, pageAreas);
    }

    // Only the commands below the stack's index count, in stack and item order.
    void deletedPointsIgnoreUndone()
    {
        const QVector<QVector<GridPoint>> commands = {{{0, 1, 2}, {0, 1, 3}}, {{1, 0, 0}}, {{2, 2, 2}}};
        const QList<ChartDefinitionData::PatchColor> twoDone = DeletedPointList(commands, 2);
        QCOMPARE(twoDone.size(), 3);
        QCOMPARE(QVector<int>({twoDone[1].Area, twoDone[1].Row, twoDone[1].Column}), QVector<int>({0, 1, 3}));
        QCOMPARE(QVector<int>({twoDone[2].Area, twoDone[2].Row, twoDone[2].Column}), QVector<int>({1, 0, 0}));
        QVERIFY(DeletedPointList(commands, 0).isEmpty());
    }

    // Three sheets (4, 6 and 0 or 5 patches) under entries of pages 2 and 3: each entry tests its own sheet.
    void finishButtonRule_data()
    {
        QTest::addColumn<int>("thirdSheetPatches");
        QTest::addColumn<int>("pageNumber");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<bool>("nothingLeft");
        QTest::newRow("page 2, some deleted") << 5 << 2 << 4 << false;
        QTest::newRow("page 2, all of its sheet deleted") << 5 << 2 << 6 << true;
        QTest::newRow("page 3, all of its sheet deleted") << 5 << 3 << 5 << true;
        QTest::newRow("page 3, as many as the first sheet") << 5 << 3 << 4 << false;
        QTest::newRow("page 0 takes the first sheet") << 5 << 0 << 4 << true;
        QTest::newRow("a sheet without patches") << 0 << 2 << 0 << true;
    }
    void finishButtonRule()
    {
        QFETCH(int, thirdSheetPatches);
        QFETCH(int, pageNumber);
        QFETCH(int, deleted);
        QFETCH(bool, nothingLeft);
        ChartDefinitionDataSheets chart;
        chart.SheetCount = 3;
        chart.Sheets = NewChartSheets(3);
        chart.Sheets[0].PatchCount = 4;
        chart.Sheets[1].PatchCount = 6;
        chart.Sheets[2].PatchCount = thirdSheetPatches;
        QCOMPARE(NothingLeft(chart, SheetIndexOfPage(pageNumber), deleted), nothingLeft);
    }

    // Each sheet takes the colours of the entry of its own page; a patch without a record and a sheet without an
    // entry become white.
    void recolourByPageNumber()
    {
        ChartDefinitionDataSheets chart;
        chart.SheetCount = 2;
        chart.Sheets = NewChartSheets(2);
        for (int s = 0; s < 2; ++s) {
            chart.Sheets[s].PatchCount = 2;
            chart.Sheets[s].Patches = NewChartPatches(2);
            chart.Sheets[s].Patches[0] = {1, 0, 0, 0, ChartDefinitionData::FormatRGB, {1, 2, 3}};
            chart.Sheets[s].Patches[1] = {2, 0, 0, 1, ChartDefinitionData::Format5Color, {1, 2, 3, 4, 5}};
        }
        MeasurementDataSheets measurement;
        measurement.SheetCount = 1;
        measurement.Sheets = NewMeasurementPages(1);
        measurement.Sheets[0].PageNumber = 2;
        measurement.Sheets[0].RecordCount = 1;
        measurement.Sheets[0].Records = NewMeasurementRecords(1);
        measurement.Sheets[0].Records[0].ColorFormat = ChartDefinitionData::FormatRGB;
        std::copy_n(std::begin({200.0f, 100.0f, 50.0f}), 3, measurement.Sheets[0].Records[0].ColorValue);

        RecolourFromMeasurement(&chart, measurement, [](int format) { return format == 1 ? 255.0f : 7.0f; });
        const float *measured = chart.Sheets[1].Patches[0].ColorValue;
        QVERIFY(qAbs(measured[0] - 200.0f) < 0.02f && qAbs(measured[1] - 100.0f) < 0.02f
                && qAbs(measured[2] - 50.0f) < 0.02f);
        const float *white = chart.Sheets[0].Patches[0].ColorValue;
        QVERIFY(qAbs(white[0] - 255.0f) < 0.02f && qAbs(white[2] - 255.0f) < 0.02f);
        // Formats beyond CMYK take the fill value in every channel.
        QCOMPARE(chart.Sheets[1].Patches[1].ColorValue[4], 7.0f);
    }
};

QTEST_GUILESS_MAIN(TestPatchAreaCore)
#include "test_patcharea_core.moc"
