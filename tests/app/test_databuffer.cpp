// The working buffer: handheld and recognition layouts, storing patches, rebuilding a page without deleted
// measure points, loads and copies.

#include "app/constants.h"
#include "app/databuffer.h"
#include "app/recordhelpers.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

class StubHost : public CDataBufferHost
{
public:
    Setting::UserEnvironment environment;
    int readResult = 0;
    QList<int> reads;

    float GetColorDefaultValue(int format) const override { return ColorFormatRow(format).paperWhite; }
    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    QString GetInstrumentSerialNumber(int kind) override { return kind == 0 ? "ORS0000123" : QString(); }
    int ReadRecognitionMeasure(int id, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement) override
    {
        reads << 0 << id;
        // A failing read may leave half a record behind.
        chart->Sheets = NewChartSheets(1);
        chart->SheetCount = 1;
        measurement->Sheets = NewMeasurementPages(1);
        measurement->SheetCount = 1;
        return readResult;
    }
    int ReadDesignationChart(int id, ChartDefinitionDataSheets *) override { return reads << 1 << id, readResult; }
    int ReadDensityChart(int id, ChartDefinitionDataSheets *) override { return reads << 3 << id, readResult; }
    int ReadDesignationMeasure(int id, int chartId, MeasurementDataSheets *) override
    {
        return reads << 2 << id << chartId, readResult;
    }
    int ReadDensityMeasure(int id, int chartId, MeasurementDataSheets *) override
    {
        return reads << 4 << id << chartId, readResult;
    }
};

struct AreaSpec {
    int rows, columns, patches;
};

// A one-page chart: areas side by side, patches in walk order with IDs 1.., RGB colours, 10 mm patches on a 12 mm
// pitch.
void MakeChart(ChartDefinitionDataSheets *chart, const QVector<AreaSpec> &areas, int sheets = 1)
{
    ClearChartDefinitionData(chart);
    chart->SheetCount = sheets;
    chart->Sheets = NewChartSheets(size_t(sheets));
    for (int s = 0; s < sheets; ++s) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[s];
        sheet.Width = 20000;
        sheet.Height = 15000;
        sheet.AreaCount = areas.size();
        int total = 0;
        for (int a = 0; a < areas.size(); ++a) {
            sheet.Areas[a] = {areas[a].rows, areas[a].columns, areas[a].patches};
            sheet.Placements[a] = {1000 + a * 8000, 2000, 1000, 1000, 1200, 1200};
            total += areas[a].patches;
        }
        sheet.PatchCount = total;
        sheet.Patches = NewChartPatches(size_t(total));
        int k = 0;
        for (int a = 0; a < areas.size(); ++a)
            for (int i = 0; i < areas[a].patches; ++i, ++k)
                sheet.Patches[k] = {k + 1, a, i / areas[a].columns, i % areas[a].columns, 1, {float(k), 0, 0}};
        chart->ChartPatchCount += total;
    }
}

std::vector<OrloMeasurePoint> GridPoints(int area, int rows, int columns)
{
    std::vector<OrloMeasurePoint> points;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            points.push_back({100 + c, 200 + r, area, r, c});
    return points;
}

OrloLayoutRecord Layout(const QVector<AreaSpec> &areas)
{
    OrloLayoutRecord layout;
    std::memset(&layout, 0, sizeof layout);
    layout.width = 21000;
    layout.height = 29700;
    layout.areaCount = areas.size();
    for (int a = 0; a < areas.size() && a < ORLO_MAX_AREAS; ++a) {
        layout.areaCounts[a][0] = areas[a].rows;
        layout.areaCounts[a][1] = areas[a].columns;
        layout.areaCounts[a][2] = areas[a].patches;
        layout.areaGeometry[a][0] = 500 * a;
        layout.patchCount += areas[a].patches;
    }
    return layout;
}

struct Image {
    std::vector<unsigned char> bytes;
    OrloImage record;
    Image(int w, int h) : bytes(size_t(w) * size_t(h), 7), record{w, h, 8, bytes.data()} {}
};

float Block0(const MeasurementData::PatchData &r)
{
    return r.Values[0];
}

} // namespace

class TestDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    void handheldLayout();
    void recognitionWithLayout();
    void recognitionLayoutEdges_data();
    void recognitionLayoutEdges();
    void recognitionPageBeyondSheetCount();
    void recognitionAgainstRegisteredChart();
    void rebuildAreas_data();
    void rebuildAreas();
    void rebuildLimits();
    void rebuildKeepsMeasuredValues();
    void rebuildWithDoubtfulRemovals();
    void rebuildColumnMajorPatches();
    void storePatch_data();
    void storePatch();
    void storePatchColourModes();
    void storeHandheldTwice();
    void loadAndCopy();
    void copyChartForMeasurement_data();
    void copyChartForMeasurement();
    void replaceSheets();
};

void TestDataBuffer::handheldLayout()
{
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{3, 4, 10}, {2, 2, 3}});
    QCOMPARE(buffer.PrepareHandyMeasurement(2), 0);
    MeasurementDataSheets *m = buffer.GetMeasurement();
    QCOMPARE(m->Mode, 2);
    QCOMPARE(m->SheetCount, 1);
    const MeasurementData &page = m->Sheets[0];
    QCOMPARE(page.RecordCount, 13);
    QCOMPARE(buffer.GetExpectedRecordCount(), 13u);
    const int expected[13][3] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 1, 0}, {0, 1, 1}, {0, 1, 2},
                                 {0, 1, 3}, {0, 2, 0}, {0, 2, 1}, {1, 0, 0}, {1, 0, 1}, {1, 1, 0}};
    for (int i = 0; i < 13; ++i) {
        const MeasurementData::PatchData &r = page.Records[i];
        QCOMPARE(QVector<int>({r.Area, r.Row, r.Column}),
                 QVector<int>({expected[i][0], expected[i][1], expected[i][2]}));
        QVERIFY(!AnyMeasuredValue(r));
    }
}

void TestDataBuffer::recognitionWithLayout()
{
    StubHost host;
    host.environment.ColorFormat = ChartDefinitionData::FormatCMYK;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{1, 1, 1}});
    // Points of a 2 x 3 area, listed backwards, plus one that lies on no grid position.
    std::vector<OrloMeasurePoint> points = GridPoints(0, 2, 3);
    std::reverse(points.begin(), points.end());
    points.push_back({5, 5, 3, 0, 0});
    const OrloLayoutRecord layout = Layout({{2, 3, 6}});
    Image image(2400, 10);
    QCOMPARE(buffer.SetRecognitionResult(&layout, &image.record, points.data(), 7, 3), 0);

    const ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    QCOMPARE(chart->SheetCount, 1);
    QCOMPARE(chart->ChartPatchCount, 7);
    QCOMPARE(chart->Diameter, 3);
    const ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    QCOMPARE(sheet.PatchCount, 7);
    QCOMPARE(sheet.AreaCount, 1);
    QCOMPARE(sheet.Width, 21000);
    for (int k = 0; k < 6; ++k) {
        // Patch k sits at point k; IDs count in walk order (point 5 is the first grid position).
        const ChartDefinitionData::PatchColor &p = sheet.Patches[k];
        QCOMPARE(QVector<int>({p.Area, p.Row, p.Column}), QVector<int>({0, points[k].row, points[k].column}));
        QCOMPARE(p.ID, 6 - k);
        QCOMPARE(p.ColorFormat, 2);
        QCOMPARE(p.ColorValue[3], ColorFormatRow(2).paperWhite);
    }
    QCOMPARE(sheet.Patches[6].ID, 0);
    QCOMPARE(sheet.Patches[6].ColorFormat, 0);

    MeasurementDataSheets *m = buffer.GetMeasurement();
    QCOMPARE(m->SheetCount, 1);
    QCOMPARE(m->SerialNumber, QString("ORS00001"));
    const MeasurementData &page = m->Sheets[0];
    QCOMPARE(page.RecordCount, 7);
    QCOMPARE(page.ImageDPI, 300);
    QCOMPARE(page.Width, 2400);
    QCOMPARE(page.Records[0].Column, 0);
    QCOMPARE(page.Records[0].X, 100);
    QCOMPARE(page.Records[5].Row, 1);
    QCOMPARE(page.Records[5].Column, 2);
    QCOMPARE(page.Records[5].X, 102);
    QCOMPARE(page.Records[5].Y, 201);
    QCOMPARE(page.Records[6].X, 0); // the unmatched point leaves its record empty
}

void TestDataBuffer::recognitionLayoutEdges_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<unsigned>("diameter");
    QTest::addColumn<int>("areaCount");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<int>("expectedDiameter");
    QTest::addColumn<int>("expectedAreas");
    QTest::newRow("width from image") << 0 << 0u << 1 << 1 << 20320 << 0 << 1;
    QTest::newRow("diameter 4 kept") << 1 << 4u << 1 << 1 << 1 << 4 << 1;
    QTest::newRow("diameter 5 is 1") << 1 << 5u << 1 << 1 << 1 << 1 << 1;
    QTest::newRow("no points") << 1 << 0u << 1 << 0 << 1 << 0 << 1;
    QTest::newRow("60 areas walk 50") << 1 << 0u << 60 << 60 << 1 << 0 << 50;
    QTest::newRow("negative area count") << 1 << 0u << -3 << 1 << 1 << 0 << 0;
}

void TestDataBuffer::recognitionLayoutEdges()
{
    QFETCH(int, width);
    QFETCH(unsigned, diameter);
    QFETCH(int, areaCount);
    QFETCH(int, points);
    StubHost host;
    CDataBuffer buffer(&host);
    OrloLayoutRecord layout = Layout({});
    layout.width = width;
    layout.areaCount = areaCount;
    for (int a = 0; a < ORLO_MAX_AREAS; ++a)
        layout.areaCounts[a][0] = layout.areaCounts[a][1] = layout.areaCounts[a][2] = 1;
    std::vector<OrloMeasurePoint> list;
    for (int k = 0; k < points; ++k)
        list.push_back({k, k, k, 0, 0});
    Image image(2400, 3);
    QCOMPARE(buffer.SetRecognitionResult(&layout, &image.record, list.empty() ? nullptr : list.data(),
                                         unsigned(points), diameter),
             0);
    const ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    QTEST(chart->Sheets[0].Width, "expectedWidth");
    QTEST(chart->Diameter, "expectedDiameter");
    QTEST(chart->Sheets[0].AreaCount, "expectedAreas");
    const MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    QCOMPARE(page.RecordCount, points);
    QCOMPARE(page.Records == nullptr, points == 0);
    if (areaCount == 60) // points on areas 50-59 lie outside the walk
        QCOMPARE(page.Records[49].Area, 49);
}

void TestDataBuffer::recognitionPageBeyondSheetCount()
{
    StubHost host;
    CDataBuffer buffer(&host);
    const OrloLayoutRecord layout = Layout({{1, 2, 2}});
    const std::vector<OrloMeasurePoint> points = GridPoints(0, 1, 2);
    Image image(20, 20);
    // A page is already stored, and the recognised chart has one page only.
    QCOMPARE(buffer.SetRecognitionResult(&layout, &image.record, points.data(), 2, 1), 0);
    buffer.SetPlannedSheetCount(2);
    buffer.MarkPageStored();
    QCOMPARE(buffer.SetRecognitionResult(&layout, &image.record, points.data(), 2, 1), int(CDataBuffer::PageOutOfRange));
    QCOMPARE(buffer.GetChartDefinition()->SheetCount, 0);
    QVERIFY(buffer.GetChartDefinition()->Sheets == nullptr);

    // Without a layout and without a chart the page list the call made is released.
    CDataBuffer empty(&host);
    QCOMPARE(empty.SetRecognitionResult(nullptr, &image.record, points.data(), 2, 1), int(CDataBuffer::PageOutOfRange));
    QCOMPARE(empty.GetMeasurement()->SheetCount, 0);
    QVERIFY(empty.GetMeasurement()->Sheets == nullptr);
}

void TestDataBuffer::recognitionAgainstRegisteredChart()
{
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{3, 6, 18}});
    // The chart lies turned: a point's row is the grid column and its column the grid row.
    std::vector<OrloMeasurePoint> points;
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 3; ++c)
            points.push_back({r * 10 + c, 0, 0, r, c});
    points.push_back({999, 999, 0, 5, 2}); // a duplicate: the first one wins
    buffer.SetRowsColumnsSwapped(true);
    Image image(10, 10);
    QCOMPARE(buffer.SetRecognitionResult(nullptr, &image.record, points.data(), unsigned(points.size()), 1), 0);
    const MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    QCOMPARE(page.RecordCount, 18);
    const MeasurementData::PatchData &r = page.Records[2 * 6 + 5]; // grid (0, 2, 5)
    QCOMPARE(QVector<int>({r.Area, r.Row, r.Column, r.X}), QVector<int>({0, 2, 5, 52}));

    // Only matched positions get records.
    buffer.SetRowsColumnsSwapped(false);
    QCOMPARE(buffer.SetRecognitionResult(nullptr, &image.record, points.data(), unsigned(points.size()), 1), 0);
    QCOMPARE(buffer.GetMeasurement()->Sheets[0].RecordCount, 9); // rows 0-2 and columns 0-2 only
}

void TestDataBuffer::rebuildAreas_data()
{
    QTest::addColumn<int>("patches");
    QTest::addColumn<QVector<int>>("removedIndexes"); // walk positions of the 3 x 4 area
    QTest::addColumn<QVector<int>>("areas");          // rows, columns, left, top per area
    QTest::newRow("first of 10") << 10 << QVector<int>{0}
                                 << QVector<int>{1, 3, 2200, 2000, 1, 4, 1000, 3200, 1, 2, 1000, 4400};
    QTest::newRow("first column of 12") << 12 << QVector<int>{0, 4, 8} << QVector<int>{3, 3, 2200, 2000};
    QTest::newRow("middle of a row") << 12 << QVector<int>{5}
                                     << QVector<int>{1, 4, 1000, 2000, 1, 1, 1000, 3200, 1, 2, 3400, 3200,
                                                     1, 4, 1000, 4400};
    QTest::newRow("everything") << 10 << QVector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << QVector<int>{};
}

void TestDataBuffer::rebuildAreas()
{
    QFETCH(int, patches);
    QFETCH(QVector<int>, removedIndexes);
    QFETCH(QVector<int>, areas);
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{3, 4, patches}});
    buffer.PrepareHandyMeasurement(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    QList<ChartDefinitionData::PatchColor> removed;
    for (int i : removedIndexes)
        removed << sheet.Patches[i];

    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, removed), 0);
    const int n = patches - removedIndexes.size();
    QCOMPARE(sheet.AreaCount, areas.size() / 4);
    QCOMPARE(sheet.PatchCount, n);
    QCOMPARE(page.RecordCount, n);
    for (int a = 0; a < kMaxAreaCount; ++a) {
        if (a < areas.size() / 4) {
            QCOMPARE(sheet.Areas[a].RowCount, areas[a * 4]);
            QCOMPARE(sheet.Areas[a].ColumnCount, areas[a * 4 + 1]);
            QCOMPARE(sheet.Areas[a].PatchCount, areas[a * 4] * areas[a * 4 + 1]);
            QCOMPARE(sheet.Placements[a].LeftTopX, areas[a * 4 + 2]);
            QCOMPARE(sheet.Placements[a].LeftTopY, areas[a * 4 + 3]);
            QCOMPARE(sheet.Placements[a].PatchWidthGap, 1200);
        } else {
            QCOMPARE(sheet.Areas[a].RowCount, 0);
            QCOMPARE(sheet.Placements[a].LeftTopX, 0);
        }
    }
    for (int o = 0; o < n; ++o) {
        QCOMPARE(sheet.Patches[o].ID, o + 1);
        QVERIFY(!removedIndexes.contains(int(sheet.Patches[o].ColorValue[0]))); // the defined colour came along
        QCOMPARE(page.Records[o].Area, sheet.Patches[o].Area);
        QCOMPARE(page.Records[o].Row, sheet.Patches[o].Row);
        QCOMPARE(page.Records[o].Column, sheet.Patches[o].Column);
    }
}

void TestDataBuffer::rebuildLimits()
{
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    // One row of 101 patches: removing every second one leaves 51 single-patch runs in one row.
    MakeChart(chart, {{1, 101, 101}});
    buffer.PrepareHandyMeasurement(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    QList<ChartDefinitionData::PatchColor> removed;
    for (int i = 1; i < 101; i += 2)
        removed << sheet.Patches[i];
    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, removed), int(CDataBuffer::TooManyAreas));
    QCOMPARE(sheet.AreaCount, 1);
    QCOMPARE(sheet.PatchCount, 101);
    QCOMPARE(page.RecordCount, 101);

    removed << sheet.Patches[100]; // now 50 runs
    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, removed), 0);
    QCOMPARE(sheet.AreaCount, 50);
    QCOMPARE(sheet.Placements[49].LeftTopX, 1000 + 98 * 1200);

    // An empty target learns the areas only.
    ChartDefinitionData::Sheet target;
    MeasurementData targetPage;
    MakeChart(chart, {{3, 4, 10}});
    buffer.PrepareHandyMeasurement(1);
    QCOMPARE(buffer.BuildPageMeasurePoints(&target, &targetPage, &chart->Sheets[0], &buffer.GetMeasurement()->Sheets[0],
                                           {chart->Sheets[0].Patches[0]}),
             int(CDataBuffer::NoTargetArrays));
    QCOMPARE(target.AreaCount, 3);
    QCOMPARE(target.Areas[2].ColumnCount, 2);
    QVERIFY(target.Patches == nullptr);
}

void TestDataBuffer::rebuildKeepsMeasuredValues()
{
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{3, 4, 12}});
    buffer.PrepareHandyMeasurement(1);
    MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    for (int i = 0; i < 12; ++i) {
        page.Records[i].ID = 77;
        page.Records[i].X = 10 * i;
        page.Records[i].Y = 20 * i;
        page.Records[i].Values[0] = float(i + 1);
        page.Records[i].Values[151] = float(i + 100);
        page.Records[i].ColorFormat = 1;
    }
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, {sheet.Patches[1]}), 0);
    // Areas: row 0 columns 0 | columns 2-3 | rows 1-2 full.
    const int sources[11] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int o = 0; o < 11; ++o) {
        const MeasurementData::PatchData &r = page.Records[o];
        QCOMPARE(Block0(r), float(sources[o] + 1));
        QCOMPARE(r.Values[151], float(sources[o] + 100));
        QCOMPARE(r.X, 10 * sources[o]);
        QCOMPARE(r.Y, 20 * sources[o]);
        QCOMPARE(r.ID, 0);
        QCOMPARE(r.ColorFormat, 0);
    }
}

void TestDataBuffer::rebuildWithDoubtfulRemovals()
{
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{2, 2, 4}});
    buffer.PrepareHandyMeasurement(1);
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    ChartDefinitionData::PatchColor offPage = sheet.Patches[0];
    offPage.Area = 7;
    // Named twice, plus one that is not on the page: three kept positions, not 4 - 3.
    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, {sheet.Patches[3], sheet.Patches[3], offPage}),
             0);
    QCOMPARE(sheet.PatchCount, 3);
    QCOMPARE(page.RecordCount, 3);
    QCOMPARE(sheet.Patches[2].ID, 3);
}

void TestDataBuffer::rebuildColumnMajorPatches()
{
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{3, 3, 9}});
    ChartDefinitionData::Sheet &sheet = chart->Sheets[0];
    // An imported list in column order; the records follow the walk.
    for (int k = 0; k < 9; ++k) {
        sheet.Patches[k].Row = k % 3;
        sheet.Patches[k].Column = k / 3;
        sheet.Patches[k].ColorValue[0] = float(10 * sheet.Patches[k].Row + sheet.Patches[k].Column);
    }
    buffer.PrepareHandyMeasurement(1);
    MeasurementData &page = buffer.GetMeasurement()->Sheets[0];
    for (int i = 0; i < 9; ++i)
        page.Records[i].Values[0] = float(1000 + 10 * page.Records[i].Row + page.Records[i].Column);

    QCOMPARE(buffer.BuildPageMeasurePoints(&sheet, &page, &sheet, &page, {sheet.Patches[4]}), 0); // (1, 1)
    QCOMPARE(sheet.PatchCount, 8);
    for (int o = 0; o < 8; ++o) {
        // Every kept patch still carries the values measured at its own position.
        QCOMPARE(page.Records[o].Values[0], 1000 + sheet.Patches[o].ColorValue[0]);
        QCOMPARE(page.Records[o].Area, sheet.Patches[o].Area);
    }
}

void TestDataBuffer::storePatch_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("result");
    QTest::newRow("stored") << 1 << 0 << 2 << 0 << 1 << 0;
    QTest::newRow("no pages") << 0 << 0 << 0 << 0 << 1 << 50009;
    QTest::newRow("index past expected") << 1 << 0 << 6 << 0 << 1 << 50009;
    QTest::newRow("negative index") << 1 << 0 << -1 << 0 << 1 << 50009;
    QTest::newRow("all pages stored") << 1 << 1 << 0 << 0 << 1 << 50009;
    QTest::newRow("index past chart patches") << 1 << 0 << 4 << 0 << 0 << 50009;
    QTest::newRow("mode 2 past chart patches") << 1 << 0 << 5 << 0 << 2 << 50009;
    QTest::newRow("unknown location") << 1 << 0 << 0 << 9 << 1 << 50008;
}

void TestDataBuffer::storePatch()
{
    QFETCH(int, pages);
    QFETCH(int, stored);
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(int, mode);
    QFETCH(int, result);
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{2, 3, 6}});
    if (pages > 0) {
        buffer.PrepareHandyMeasurement(0);
        buffer.GetChartDefinition()->Sheets[0].PatchCount = 4; // fewer chart patches than records
    }
    for (int i = 0; i < stored; ++i)
        buffer.MarkPageStored();
    buffer.SetCurrentChartPageIndex(0);
    const int location[3] = {0, row, 2};
    float block[kInstrumentValueCount] = {};
    block[10] = 1.5f;
    PatchColorResult colours;
    QCOMPARE(buffer.SetPatchMeasurement(index, location, block, colours, mode), result);
    const MeasurementDataSheets *m = buffer.GetMeasurement();
    if (result == 0) {
        QCOMPARE(m->Sheets[0].MeasuredCount, 1);
        QCOMPARE(m->Sheets[0].PageNumber, 1);
        QCOMPARE(m->RecordCount, 1);
        QCOMPARE(m->Sheets[0].Records[2].Values[10], 1.5f);
    } else if (pages > 0) {
        QCOMPARE(m->Sheets[0].MeasuredCount, 0);
        QCOMPARE(m->RecordCount, 0);
        for (int i = 0; i < m->Sheets[0].RecordCount; ++i)
            QVERIFY(!AnyMeasuredValue(m->Sheets[0].Records[i]));
    }
}

void TestDataBuffer::storePatchColourModes()
{
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{1, 3, 3}});
    buffer.PrepareHandyMeasurement(0);
    PatchColorResult colours;
    colours.ColorFormat = 1;
    colours.ColorValue[0] = 11;
    colours.ChartColorFormat = 2;
    colours.ChartColorValue[0] = 22;
    float block[kInstrumentValueCount] = {1};
    const ChartDefinitionData::PatchColor *patches = buffer.GetChartDefinition()->Sheets[0].Patches.get();
    const MeasurementData::PatchData *records = buffer.GetMeasurement()->Sheets[0].Records.get();
    for (int mode = 0; mode < 3; ++mode) {
        const int location[3] = {0, 0, mode};
        QCOMPARE(buffer.SetPatchMeasurement(mode, location, block, colours, mode), 0);
    }
    QCOMPARE(patches[0].ColorValue[0], 11.0f); // mode 0: chart patch only
    QCOMPARE(records[0].ColorFormat, 0);
    QCOMPARE(patches[1].ColorValue[0], 1.0f); // mode 1: record only
    QCOMPARE(records[1].ColorValue[0], 11.0f);
    QCOMPARE(patches[2].ColorFormat, 2); // mode 2: second set to the chart, first to the record
    QCOMPARE(patches[2].ColorValue[0], 22.0f);
    QCOMPARE(records[2].ColorValue[0], 11.0f);
}

void TestDataBuffer::storeHandheldTwice()
{
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{1, 2, 2}});
    buffer.PrepareHandyMeasurement(2);
    const int location[3] = {0, 0, 1};
    float block[kInstrumentValueCount] = {};
    block[0] = 0.5f;
    PatchColorResult colours;
    colours.ColorFormat = 1;
    colours.ColorValue[1] = 9;
    QCOMPARE(buffer.SetHandyPatchMeasurement(1, location, block, colours, 1), 0);
    block[0] = 0.7f;
    QCOMPARE(buffer.SetHandyPatchMeasurement(1, location, block, colours, 1), 0);
    const MeasurementDataSheets *m = buffer.GetMeasurement();
    QCOMPARE(m->Sheets[0].MeasuredCount, 1);
    QCOMPARE(m->RecordCount, 1);
    QCOMPARE(m->Sheets[0].Records[1].Values[0], 0.7f);
    QCOMPARE(m->Sheets[0].Records[1].ColorValue[1], 9.0f);
    QVERIFY(!buffer.IsCurrentPageComplete());
}

void TestDataBuffer::loadAndCopy()
{
    StubHost host;
    CDataBuffer buffer(&host);
    MakeChart(buffer.GetChartDefinition(), {{1, 2, 2}});
    buffer.PrepareHandyMeasurement(1);
    QCOMPARE(buffer.Load(5, 3, 1), 0);
    QCOMPARE(buffer.GetMeasurement()->SheetCount, 0);
    QCOMPARE(buffer.GetChartDefinition()->SheetCount, 1);
    QVERIFY(host.reads.isEmpty());

    host.readResult = 80003;
    QCOMPARE(buffer.Load(0, 4, 0), 80003);
    QCOMPARE(buffer.GetChartDefinition()->SheetCount, 0);
    QVERIFY(buffer.GetChartDefinition()->Sheets == nullptr);
    QVERIFY(buffer.GetMeasurement()->Sheets == nullptr);

    host.readResult = 0;
    buffer.SetSelectionPending();
    QCOMPARE(buffer.Load(1, 6, 0), 0);
    QVERIFY(!buffer.IsSelectionPending());
    QCOMPARE(buffer.Load(4, 8, 6), 0);
    QCOMPARE(host.reads, QList<int>({0, 4, 1, 6, 4, 8, 6}));

    // Two measured pages of a two-page chart: page 2 and an unmeasured page.
    MakeChart(buffer.GetChartDefinition(), {{1, 3, 3}}, 2);
    buffer.GetChartDefinition()->Sheets[1].PatchCount = 2;
    MeasurementDataSheets *m = buffer.GetMeasurement();
    ClearMeasureFileData(m);
    m->SheetCount = 2;
    m->Sheets = NewMeasurementPages(2);
    m->Sheets[0].PageNumber = 2;
    buffer.GetChartDefinition()->Sheets[1].Patches[0].ID = 21;
    ChartDefinitionDataSheets copy;
    buffer.CopyChartDefinition(&copy);
    QCOMPARE(copy.SheetCount, 2);
    QCOMPARE(copy.ChartPatchCount, 5);
    QCOMPARE(copy.Sheets[0].Patches[0].ID, 21);
    QCOMPARE(copy.Sheets[1].Patches[0].ID, 1);
    QCOMPARE(buffer.GetMeasuredPageNumbers(), QList<unsigned>({2u}));
    QCOMPARE(buffer.GetChartPageNumbers(), QList<unsigned>({1u, 2u}));

    // The copy owns its pages: they outlive the buffer's chart, and clearing the copy leaves the buffer whole.
    ClearChartDefinitionData(buffer.GetChartDefinition());
    QCOMPARE(copy.Sheets[0].Patches[1].ID, 2);
    QCOMPARE(copy.Sheets[1].Patches[2].ID, 3);
    MakeChart(buffer.GetChartDefinition(), {{1, 3, 3}});
    buffer.CopyChartDefinition(&copy);
    ClearChartDefinitionData(&copy);
    QCOMPARE(buffer.GetChartDefinition()->Sheets[0].Patches[2].ID, 3);
}

void TestDataBuffer::copyChartForMeasurement_data()
{
    QTest::addColumn<QVector<int>>("pageNumbers");
    QTest::addColumn<QVector<int>>("sheets");
    QTest::newRow("page order") << QVector<int>{1, 2, 3} << QVector<int>{0, 1, 2};
    QTest::newRow("repeated, reversed") << QVector<int>{3, 3, 1} << QVector<int>{2, 2, 0};
    QTest::newRow("unmeasured and unknown pages") << QVector<int>{0, 4, 2} << QVector<int>{0, 0, 1};
    QTest::newRow("no entries") << QVector<int>{} << QVector<int>{};
}

void TestDataBuffer::copyChartForMeasurement()
{
    QFETCH(QVector<int>, pageNumbers);
    QFETCH(QVector<int>, sheets);
    // Three sheets of 3, 2 and 1 patches, told apart by their first patch's ID.
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{1, 3, 3}}, 3);
    chart->ChartName = QStringLiteral("Three");
    for (int s = 0; s < 3; ++s) {
        chart->Sheets[s].PatchCount = 3 - s;
        chart->Sheets[s].Patches[0].ID = 100 * (s + 1);
    }
    MeasurementDataSheets *measurement = buffer.GetMeasurement();
    ClearMeasureFileData(measurement);
    measurement->SheetCount = pageNumbers.size();
    measurement->Sheets = NewMeasurementPages(size_t(pageNumbers.size()));
    for (int i = 0; i < pageNumbers.size(); ++i)
        measurement->Sheets[i].PageNumber = pageNumbers[i];

    ChartDefinitionDataSheets copy;
    MakeChart(&copy, {{2, 2, 4}}, 2); // replaced, not added to
    CopyChartForMeasurement(&copy, *chart, *measurement);
    QCOMPARE(copy.ChartName, QStringLiteral("Three"));
    QCOMPARE(copy.SheetCount, sheets.size());
    QCOMPARE(copy.Sheets == nullptr, sheets.isEmpty());
    int patches = 0;
    for (int i = 0; i < sheets.size(); ++i) {
        QCOMPARE(copy.Sheets[i].PatchCount, 3 - sheets[i]);
        QCOMPARE(copy.Sheets[i].Patches[0].ID, 100 * (sheets[i] + 1));
        QVERIFY(copy.Sheets[i].Patches.get() != chart->Sheets[sheets[i]].Patches.get());
        patches += 3 - sheets[i];
    }
    QCOMPARE(copy.ChartPatchCount, patches);

    // The buffer's copy is the same.
    ChartDefinitionDataSheets fromBuffer;
    buffer.CopyChartDefinition(&fromBuffer);
    QCOMPARE(fromBuffer.SheetCount, copy.SheetCount);
    QCOMPARE(fromBuffer.ChartPatchCount, copy.ChartPatchCount);
    for (int i = 0; i < sheets.size(); ++i)
        QCOMPARE(fromBuffer.Sheets[i].Patches[0].ID, copy.Sheets[i].Patches[0].ID);
    ClearChartDefinitionData(&copy);
    ClearChartDefinitionData(&fromBuffer);
}

void TestDataBuffer::replaceSheets()
{
    StubHost host;
    CDataBuffer buffer(&host);
    ChartDefinitionDataSheets *chart = buffer.GetChartDefinition();
    MakeChart(chart, {{1, 3, 3}}, 2);
    // A copy of the page it replaces, one patch shorter.
    ChartDefinitionData::Sheet shorter;
    CopySheetData(&shorter, chart->Sheets[1]);
    shorter.PatchCount = 2;
    QCOMPARE(buffer.ReplaceChartSheet(shorter, 1), 0);
    QCOMPARE(chart->ChartPatchCount, 5);
    QCOMPARE(chart->Sheets[1].Patches[1].ID, 2);
    QCOMPARE(buffer.ReplaceChartSheet(shorter, 2), int(CDataBuffer::IndexOutOfRange));
    // The page itself as its own replacement: copied before the old arrays go.
    QCOMPARE(buffer.ReplaceChartSheet(chart->Sheets[0], 0), 0);
    QCOMPARE(chart->Sheets[0].Patches[2].ID, 3);

    buffer.PrepareHandyMeasurement(1);
    MeasurementData page;
    page.RecordCount = 1;
    page.Records = NewMeasurementRecords(1);
    QCOMPARE(buffer.ReplaceMeasurementSheet(page, 1), 0);
    QCOMPARE(buffer.GetMeasurement()->RecordCount, 4);
    QCOMPARE(buffer.ReplaceMeasurementSheet(page, -1), int(CDataBuffer::IndexOutOfRange));
    ClearMeasurementPage(&page);
}

QTEST_GUILESS_MAIN(TestDataBuffer)
#include "test_databuffer.moc"
