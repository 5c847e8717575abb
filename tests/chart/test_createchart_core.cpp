// The chart editor's data operations without a window: patch writes, duplicate marks, automatic IDs, the page
// transforms, the pasted-row parser, what copy and paste would change, pages, areas, the QR code, and loading and
// saving charts.
#include "app/recordhelpers.h"
#include "app/resourcedata.h"
#include "app/unithelpers.h"
#include "chart/createchartcore.h"
#include "createchartprobe.h"

#include <QDir>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

using createchartprobe::duplicatedOf;
using createchartprobe::IdList;
using createchartprobe::idsOf;

CreateChartPatch patchOf(int id, float first = 0, float second = 0, float third = 0)
{
    CreateChartPatch patch;
    patch.ID = id;
    patch.ColorValue[0] = first;
    patch.ColorValue[1] = second;
    patch.ColorValue[2] = third;
    return patch;
}

// rows x columns patches with IDs firstId, firstId + 1, ... row by row; colours follow the ID.
CreateChartArea gridArea(int rows, int columns, int firstId = 1, int x = 400, int y = 0)
{
    CreateChartArea area;
    area.LeftTopX = x;
    area.LeftTopY = y;
    area.RowCount = rows;
    area.ColumnCount = columns;
    area.PatchCount = rows * columns;
    area.PatchWidth = 700;
    area.PatchHeight = 800;
    area.PatchWidthGap = 900;
    area.PatchHeightGap = 1000;
    for (int i = 0; i < rows * columns; ++i)
        area.Patches.append(patchOf(firstId + i, float(firstId + i), 2.0f * (firstId + i), 3.0f));
    return area;
}

CreateChartPage pageOf(int width = 21000, int height = 29700)
{
    CreateChartPage page;
    page.PaperSize = 4;
    page.Width = width;
    page.Height = height;
    return page;
}

void putArea(CreateChartPage &page, int slot, const CreateChartArea &area)
{
    page.Areas[size_t(slot)] = area;
    ++page.AreaCount;
}

bool samePatch(const CreateChartPatch &a, const CreateChartPatch &b)
{
    return a.ID == b.ID && a.Duplicated == b.Duplicated &&
           std::equal(std::begin(a.ColorValue), std::end(a.ColorValue), b.ColorValue);
}

void comparePages(const CreateChartPage &actual, const CreateChartPage &expected)
{
    QCOMPARE(actual.Width, expected.Width);
    QCOMPARE(actual.Height, expected.Height);
    QCOMPARE(actual.PaperSize, expected.PaperSize);
    QCOMPARE(actual.ImageBytes, expected.ImageBytes);
    QCOMPARE(actual.ImageWidth, expected.ImageWidth);
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        const CreateChartArea &a = actual.Areas[size_t(slot)];
        const CreateChartArea &e = expected.Areas[size_t(slot)];
        QCOMPARE(a.LeftTopX, e.LeftTopX);
        QCOMPARE(a.LeftTopY, e.LeftTopY);
        QCOMPARE(a.RowCount, e.RowCount);
        QCOMPARE(a.ColumnCount, e.ColumnCount);
        QCOMPARE(a.PatchWidth, e.PatchWidth);
        QCOMPARE(a.PatchHeight, e.PatchHeight);
        QCOMPARE(a.PatchWidthGap, e.PatchWidthGap);
        QCOMPARE(a.PatchHeightGap, e.PatchHeightGap);
        QCOMPARE(a.Patches.size(), e.Patches.size());
        for (int i = 0; i < a.Patches.size(); ++i)
            QVERIFY2(samePatch(a.Patches.at(i), e.Patches.at(i)), qPrintable(QString::number(i)));
    }
}

// The model's QR settings: error-correction level M, 7 pixels per module.
constexpr int kBarcodeLevel = 1;
constexpr int kModulePixels = 7;

// What the dialog takes from the model, here straight from the shipped tables.
CreateChartTables tablesFrom(const CResourceData *resources)
{
    CreateChartTables tables;
    tables.PageSizeWidth = [resources](int row) { return resources->GetPageSizeWidth(row); };
    tables.PageSizeHeight = [resources](int row) { return resources->GetPageSizeHeight(row); };
    tables.ColorDefaultValue = [resources](int format) { return resources->GetColorDefaultValue(format); };
    tables.BarcodeSizePixels = [resources](const SheetInfoRecord &record) {
        return resources->GetBarcodeSize(record, kBarcodeLevel, kModulePixels);
    };
    tables.AreaLeftMin = resources->GetAreaLeftMin();
    tables.AreaLeftMax = resources->GetAreaLeftMax();
    tables.AreaTopMin = 0;
    tables.AreaTopMax = resources->GetAreaTopMax();
    tables.MaxRowCount = resources->GetMaxRowCount();
    tables.MaxColumnCount = resources->GetMaxColumnCount();
    tables.BarcodeInset = PixelsToUnitFixed(0, resources->GetBarcodeInsetPixels(kModulePixels), 300);
    tables.NewChartName = QStringLiteral("Chart 7");
    return tables;
}

// A stored chart, one sheet per entry: areas as (rows, columns), records as {ID, area, row, column}.
struct StoredPage {
    int width = 21000;
    int height = 29700;
    QVector<QPair<int, int>> areas;
    QVector<QVector<int>> records;
};

ChartDefinitionDataSheets storedChart(const QVector<StoredPage> &pages, int format = 2)
{
    ChartDefinitionDataSheets chart;
    chart.SheetCount = pages.size();
    chart.ChartName = QStringLiteral("loaded");
    chart.UUID = QStringLiteral("uuid-1");
    chart.Barcode = 1;
    chart.Diameter = 3;
    chart.Recog = 2;
    chart.Sheets = NewChartSheets(size_t(pages.size()));
    for (int i = 0; i < pages.size(); ++i) {
        ChartDefinitionData::Sheet &sheet = chart.Sheets[size_t(i)];
        const StoredPage &page = pages.at(i);
        sheet.Width = page.width;
        sheet.Height = page.height;
        sheet.AreaCount = page.areas.size();
        for (int k = 0; k < page.areas.size(); ++k) {
            sheet.Areas[k] = {page.areas.at(k).first, page.areas.at(k).second,
                              page.areas.at(k).first * page.areas.at(k).second};
            sheet.Placements[k] = {400 + 5000 * k, 1000, 700, 800, 900, 1000};
        }
        sheet.PatchCount = page.records.size();
        sheet.Patches = NewChartPatches(size_t(page.records.size()));
        for (int n = 0; n < page.records.size(); ++n) {
            const QVector<int> &r = page.records.at(n);
            ChartDefinitionData::PatchColor &record = sheet.Patches[size_t(n)];
            record = {r.at(0), r.at(1), r.at(2), r.at(3), format, {}};
            for (int v = 0; v < format + 2; ++v)
                record.ColorValue[v] = float(r.at(0) + v);
        }
        sheet.BarcodeLeftTopX = 400;
        sheet.BarcodeLeftTopY = 0;
        sheet.BarcodeWidth = 2000 + i;
        sheet.BarcodeHeight = 2000 + i;
    }
    return chart;
}

} // namespace

class TestCreateChartCore : public QObject
{
    Q_OBJECT

    std::unique_ptr<CResourceData> m_resources;

    // A core on one Original page holding area slot 0; the paper sizes come from the shipped tables.
    std::unique_ptr<CreateChartCore> coreWith(const CreateChartPage &page)
    {
        const CResourceData *resources = m_resources.get();
        auto core = std::make_unique<CreateChartCore>(
            [resources](int width, int height) { return resources->FindPaperSizeIndex(width, height); });
        core->Tables = tablesFrom(resources);
        core->PageLists[CreateChartCore::OriginalList].append(page);
        core->RebuildDrawnAreas();
        return core;
    }

    std::unique_ptr<CreateChartCore> coreWithArea(const CreateChartArea &area)
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, area);
        return coreWith(page);
    }

    CreateChartArea &originalArea(CreateChartCore &core, int slot = 0, int page = 0)
    {
        return core.PageLists[CreateChartCore::OriginalList][page].Areas[size_t(slot)];
    }

private slots:
    void initTestCase()
    {
        m_resources = std::make_unique<CResourceData>();
        QCOMPARE(m_resources->Initialize(QDir::currentPath()), 0);
    }

    void setPatchColumns_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("id");
        QTest::addColumn<QVector<float>>("values");
        QTest::addColumn<int>("counter");
        QTest::newRow("ID") << 0 << 7 << QVector<float>{1, 2, 3} << 8;
        QTest::newRow("ID and colours") << -2 << 7 << QVector<float>{10, 20, 30} << 8;
        QTest::newRow("colours") << -1 << 5 << QVector<float>{10, 20, 30} << 1;
        QTest::newRow("channel 2 only") << 2 << 5 << QVector<float>{1, 20, 3} << 1;
    }

    void setPatchColumns()
    {
        QFETCH(int, column);
        CreateChartArea area = gridArea(1, 2);
        area.Patches[1] = patchOf(5, 1, 2, 3);
        area.Patches[1].ColorValue[3] = 4; // beyond the RGB values: never written
        auto core = coreWithArea(area);
        core->IdCounter = 1;
        CreateChartPatch incoming = patchOf(7, 10, 20, 30);
        incoming.ColorValue[3] = 40;
        incoming.Duplicated = 1;
        QVector<int> told;
        core->PatchStored = [&told](int list, int page, int slot, int row, int code) {
            told = {list, page, slot, row, code};
        };

        QVERIFY(core->SetPatch(0, 0, 1, column, incoming));
        const CreateChartPatch &stored = originalArea(*core).Patches.at(1);
        QTEST(stored.ID, "id");
        QTEST(QVector<float>({stored.ColorValue[0], stored.ColorValue[1], stored.ColorValue[2]}), "values");
        QCOMPARE(stored.ColorValue[3], 4.0f);
        QCOMPARE(stored.Duplicated, 0);
        QTEST(core->IdCounter, "counter");
        QCOMPARE(told, QVector<int>({0, 0, 0, 1, column}));
        QVERIFY(samePatch(originalArea(*core).Patches.at(0), gridArea(1, 2).Patches.at(0)));
    }

    void setPatchOutside()
    {
        auto core = coreWithArea(gridArea(1, 2));
        QVERIFY(!core->SetPatch(1, 0, 0, 0, patchOf(3)));
        QVERIFY(!core->SetPatch(0, 1, 0, 0, patchOf(3)));
        QVERIFY(!core->SetPatch(0, 0, 2, 0, patchOf(3)));
        QVERIFY(!core->SetPatch(0, 50, 0, 0, patchOf(3)));
        QVERIFY(!core->SetPatch(0, 0, 0, 9, patchOf(3)));
        QVERIFY(!core->SetPatch(0, 0, 0, -3, patchOf(3)));
    }

    void idCounter_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("after");
        QTest::newRow("raised past") << 1 << 7 << 8;
        QTest::newRow("equal") << 7 << 7 << 8;
        QTest::newRow("already above") << 20 << 7 << 20;
        QTest::newRow("wraps after 9999") << 5 << 9999 << 1;
    }

    void idCounter()
    {
        auto core = coreWithArea(gridArea(1, 1));
        QFETCH(int, before);
        core->IdCounter = before;
        QFETCH(int, taken);
        QVERIFY(core->SetPatch(0, 0, 0, -2, patchOf(taken)));
        QTEST(core->IdCounter, "after");
    }

    void duplicatesAcrossPages()
    {
        CreateChartPage first = pageOf();
        putArea(first, 0, gridArea(1, 2, 1));
        CreateChartPage second = pageOf();
        putArea(second, 3, gridArea(2, 1, 2));
        CreateChartArea stale = gridArea(1, 1, 1);
        stale.PatchCount = 0; // an unused slot's leftovers are no patches
        second.Areas[5] = stale;
        auto core = coreWith(first);
        core->PageLists[CreateChartCore::OriginalList].append(second);

        QVERIFY(core->CheckDuplicates(CreateChartCore::OriginalList));
        QCOMPARE(duplicatedOf(originalArea(*core, 0, 0)), IdList({0, 1}));
        QCOMPARE(duplicatedOf(originalArea(*core, 3, 1)), IdList({1, 0}));

        QVERIFY(core->SetPatch(1, 3, 0, 0, patchOf(9)));
        QVERIFY(!core->CheckDuplicates(CreateChartCore::OriginalList));
        QCOMPARE(duplicatedOf(originalArea(*core, 0, 0)), IdList({0, 0}));
        QCOMPARE(duplicatedOf(originalArea(*core, 3, 1)), IdList({0, 0}));
        QVERIFY(!core->CheckDuplicates(CreateChartCore::ScrambleList));
    }

    void assignIds_data()
    {
        QTest::addColumn<bool>("columnByColumn");
        QTest::addColumn<IdList>("top");    // 2 x 3 area at the top right
        QTest::addColumn<IdList>("left");   // 1 x 2 area at the same top edge, further left
        QTest::addColumn<IdList>("bottom"); // 1 x 1 area below both, in the first slot
        QTest::addColumn<IdList>("nextPage");
        QTest::newRow("row by row") << false << IdList{3, 4, 5, 6, 7, 8} << IdList{1, 2} << IdList{9}
                                    << IdList{10, 11};
        QTest::newRow("column by column") << true << IdList{3, 5, 7, 4, 6, 8} << IdList{1, 2} << IdList{9}
                                          << IdList{10, 11};
    }

    void assignIds()
    {
        CreateChartPage first = pageOf();
        putArea(first, 0, gridArea(1, 1, 50, 400, 9000));
        putArea(first, 1, gridArea(2, 3, 50, 6000, 1000));
        putArea(first, 4, gridArea(1, 2, 50, 400, 1000));
        first.Areas[1].Patches[0].Duplicated = 1;
        CreateChartPage second = pageOf();
        putArea(second, 2, gridArea(2, 1, 50));
        auto core = coreWith(first);
        core->PageLists[CreateChartCore::OriginalList].append(second);
        int cleared = 0;
        core->UndoInvalidated = [&cleared] { ++cleared; };
        core->IdCounter = 300;
        QFETCH(bool, columnByColumn);

        core->AssignIds(columnByColumn);
        QTEST(idsOf(originalArea(*core, 1)), "top");
        QTEST(idsOf(originalArea(*core, 4)), "left");
        QTEST(idsOf(originalArea(*core, 0)), "bottom");
        QTEST(idsOf(originalArea(*core, 2, 1)), "nextPage");
        QCOMPARE(duplicatedOf(originalArea(*core, 1)), IdList(6, 0));
        QCOMPARE(core->IdCounter, 12);
        QCOMPARE(cleared, 1);
    }

    void assignIdsWrap()
    {
        auto core = coreWithArea(gridArea(100, 101));
        core->AssignIds(false);
        const CreateChartArea &area = originalArea(*core);
        QCOMPARE(area.Patches.at(9998).ID, 9999);
        QCOMPARE(area.Patches.at(9999).ID, 1);
        QCOMPARE(area.Patches.last().ID, 101);
        QCOMPARE(core->IdCounter, 102);
    }

    void flips_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<int>("columnCount");
        QTest::addColumn<IdList>("expected");
        QTest::newRow("rows of 3: middle stays") << true << 3 << 2 << IdList{5, 6, 3, 4, 1, 2};
        QTest::newRow("rows of 4") << true << 4 << 1 << IdList{4, 3, 2, 1};
        QTest::newRow("columns of 3") << false << 2 << 3 << IdList{3, 2, 1, 6, 5, 4};
        QTest::newRow("columns of 2") << false << 1 << 2 << IdList{2, 1};
    }

    void flips()
    {
        QFETCH(bool, rows);
        QFETCH(int, rowCount);
        QFETCH(int, columnCount);
        CreateChartArea area = gridArea(rowCount, columnCount);
        area.Patches[0].Duplicated = 1;
        auto core = coreWithArea(area);
        core->IdCounter = 1;
        int cleared = 0;
        core->UndoInvalidated = [&cleared] { ++cleared; };

        rows ? core->FlipRows() : core->FlipColumns();
        const CreateChartArea &flipped = originalArea(*core);
        QTEST(idsOf(flipped), "expected");
        for (const CreateChartPatch &patch : flipped.Patches) {
            QCOMPARE(patch.ColorValue[0], float(patch.ID)); // colours move with their ID
            QCOMPARE(patch.Duplicated, patch.ID == 1 ? 1 : 0);
        }
        QCOMPARE(flipped.LeftTopX, area.LeftTopX);
        QCOMPARE(flipped.RowCount, rowCount);
        QCOMPARE(cleared, 1);
        QCOMPARE(core->IdCounter, rowCount * columnCount + 1);
    }

    void rotateFourTimes()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(2, 3, 1, 1000, 2000));
        auto core = coreWith(page);

        core->Rotate();
        const CreateChartPage &turned = core->PageLists[CreateChartCore::OriginalList].at(0);
        const CreateChartArea &area = turned.Areas[0];
        QCOMPARE(idsOf(area), IdList({4, 1, 5, 2, 6, 3}));
        QCOMPARE(area.RowCount, 3);
        QCOMPARE(area.ColumnCount, 2);
        QCOMPARE(area.PatchWidth, 800);
        QCOMPARE(area.PatchHeight, 700);
        QCOMPARE(area.PatchWidthGap, 1000);
        QCOMPARE(area.PatchHeightGap, 900);
        QCOMPARE(area.LeftTopX, 29700 - 1000 - 800 - 2000);
        QCOMPARE(area.LeftTopY, 1000);
        QCOMPARE(turned.Width, 29700);
        QCOMPARE(turned.Height, 21000);

        core->Rotate();
        core->Rotate();
        core->Rotate();
        comparePages(core->PageLists[CreateChartCore::OriginalList].at(0), page);
    }

    void exchangeTwice()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(2, 3, 1, 1000, 2000));
        auto core = coreWith(page);

        core->ExchangeRowColumn();
        const CreateChartArea &area = originalArea(*core);
        QCOMPARE(idsOf(area), IdList({1, 4, 2, 5, 3, 6}));
        QCOMPARE(area.RowCount, 3);
        QCOMPARE(area.LeftTopX, 2000);
        QCOMPARE(area.LeftTopY, 1000);
        QCOMPARE(area.PatchWidth, 800);

        core->ExchangeRowColumn();
        comparePages(core->PageLists[CreateChartCore::OriginalList].at(0), page);
    }

    // Slot 1 deleted between two used slots: both used slots turn.
    void rotateSkipsNoUsedSlot()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(1, 2, 1));
        putArea(page, 2, gridArea(2, 1, 3));
        auto core = coreWith(page);

        core->Rotate();
        QCOMPARE(idsOf(originalArea(*core, 0)), IdList({1, 2}));
        QCOMPARE(originalArea(*core, 0).RowCount, 2);
        QCOMPARE(idsOf(originalArea(*core, 2)), IdList({4, 3}));
        QCOMPARE(originalArea(*core, 2).RowCount, 1);
        QCOMPARE(originalArea(*core, 1).PatchCount, 0);
        QCOMPARE(originalArea(*core, 1).RowCount, 0);
    }

    void paperSizeAfterRotate_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("paperSize");
        QTest::newRow("A4 portrait to landscape") << 21000 << 29700 << 5;
        QTest::newRow("letter portrait to landscape") << 21590 << 27940 << 1;
        QTest::newRow("A3 landscape has no row") << 29700 << 42000 << 8;
        QTest::newRow("custom") << 15000 << 20000 << 8;
    }

    void paperSizeAfterRotate()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        auto core = coreWith(pageOf(width, height));
        core->Rotate();
        const CreateChartPage &page = core->PageLists[CreateChartCore::OriginalList].at(0);
        QCOMPARE(page.Width, height);
        QCOMPARE(page.Height, width);
        QTEST(page.PaperSize, "paperSize");
    }

    void imageTransforms_data()
    {
        QTest::addColumn<int>("bitsPerPixel");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("mirrored");
        QTest::addColumn<QByteArray>("rotated"); // a quarter turn clockwise, width and height exchanged
        QTest::addColumn<QByteArray>("exchanged");
        QTest::newRow("3 x 2, 8 bits") << 8 << 3 << QByteArray("abcdef") << QByteArray("cbafed")
                                       << QByteArray("daebfc") << QByteArray("adbecf");
        QTest::newRow("2 x 2, 24 bits") << 24 << 2 << QByteArray("abcdefghijkl") << QByteArray("defabcjklghi")
                                        << QByteArray("ghiabcjkldef") << QByteArray("abcghidefjkl");
        QTest::newRow("short buffer stays") << 8 << 3 << QByteArray("abcde") << QByteArray("abcde")
                                            << QByteArray("abcde") << QByteArray("abcde");
    }

    void imageTransforms()
    {
        QFETCH(int, bitsPerPixel);
        QFETCH(int, width);
        QFETCH(QByteArray, image);
        CreateChartPage page = pageOf();
        page.ImageWidth = width;
        page.ImageHeight = 2;
        page.BitPerPixel = bitsPerPixel;
        page.ImageBytes = image;
        auto core = coreWith(page);
        const CreateChartPage &shown = core->PageLists[CreateChartCore::OriginalList].at(0);

        core->MirrorImage();
        QTEST(shown.ImageBytes, "mirrored");
        core->MirrorImage();
        QCOMPARE(shown.ImageBytes, image);

        core->Rotate();
        QTEST(shown.ImageBytes, "rotated");
        const bool turned = shown.ImageBytes != image;
        QCOMPARE(shown.ImageWidth, turned ? 2 : width);
        QCOMPARE(shown.ImageHeight, turned ? width : 2);

        auto fresh = coreWith(page);
        fresh->ExchangeRowColumn();
        QTEST(fresh->PageLists[CreateChartCore::OriginalList].at(0).ImageBytes, "exchanged");
    }

    void mapSelectedPatch_data()
    {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<int>("rotated");
        QTest::addColumn<int>("exchanged");
        // 2 x 3 area: row r, column c is r x 3 + c.
        QTest::newRow("r1 c1") << 4 << 2 - 1 - 1 + 2 * 1 << 1 + 2 * 1;
        QTest::newRow("r0 c2") << 2 << 2 - 0 - 1 + 2 * 2 << 0 + 2 * 2;
        QTest::newRow("r1 c0") << 3 << 0 << 1;
        QTest::newRow("no current row") << -1 << -1 << -1;
    }

    void mapSelectedPatch()
    {
        QFETCH(int, selectedRow);
        QFETCH(int, rotated);
        QFETCH(int, exchanged);
        for (const bool exchange : {false, true}) {
            auto core = coreWithArea(gridArea(2, 3));
            core->SelectedArea = 0;
            core->SelectedRow = selectedRow;
            const int expected = exchange ? exchanged : rotated;
            QCOMPARE(core->MapSelectedPatch(exchange), expected);
            QCOMPARE(exchange ? core->ExchangeRowColumn() : core->Rotate(), expected);
            if (expected >= 0) // the selection follows its patch
                QCOMPARE(originalArea(*core).Patches.at(expected).ID, selectedRow + 1);
        }
        auto unselected = coreWithArea(gridArea(2, 3));
        unselected->SelectedRow = 4;
        QCOMPARE(unselected->Rotate(), -1);
    }

    void pastedRow_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("id");
        const int rgb = 1;
        const int cmyk = 2;
        QTest::newRow("RGB") << "12\t0\t128.5\t255" << rgb << 12;
        QTest::newRow("ID 1") << "1\t0\t0\t0" << rgb << 1;
        QTest::newRow("ID 9999") << "9999\t0\t0\t0" << rgb << 9999;
        QTest::newRow("ID 0") << "0\t0\t0\t0" << rgb << 0;
        QTest::newRow("ID 10000") << "10000\t0\t0\t0" << rgb << 0;
        QTest::newRow("ID with a point") << "12.0\t0\t0\t0" << rgb << 0;
        QTest::newRow("field missing") << "12\t0\t0" << rgb << 0;
        QTest::newRow("field too many") << "12\t0\t0\t0\t0" << rgb << 0;
        QTest::newRow("RGB 256") << "12\t0\t256\t0" << rgb << 0;
        QTest::newRow("negative") << "12\t-1\t0\t0" << rgb << 0;
        QTest::newRow("CMYK 100") << "12\t100\t0\t0\t0" << cmyk << 12;
        QTest::newRow("CMYK 100.5") << "12\t100.5\t0\t0\t0" << cmyk << 0;
        QTest::newRow("word") << "12\tabc\t0\t0" << rgb << 0;
        QTest::newRow("nan") << "12\tnan\t0\t0" << rgb << 0;
        QTest::newRow("inf") << "12\t0\tinf\t0" << rgb << 0;
        QTest::newRow("comma decimal") << "12\t12,5\t0\t0" << rgb << 0;
        QTest::newRow("empty value") << "12\t\t0\t0" << rgb << 0;
    }

    void pastedRow()
    {
        QFETCH(QString, line);
        QFETCH(int, format);
        const CreateChartPatch patch = ParsePastedRow(line.split(QLatin1Char('\t')), format + 3,
                                                      m_resources->GetColorMinValue(format),
                                                      m_resources->GetColorMaxValue(format));
        QTEST(patch.ID, "id");
        QCOMPARE(patch.Duplicated, 0);
        if (QTest::currentDataTag() == QByteArray("RGB"))
            QCOMPARE(patch.ColorValue[1], 128.5f);
    }

    void clipboardPaste_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selectedArea");
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<IdList>("rows"); // target rows of the edits; the pasted IDs are 11, 12, ...
        QTest::addColumn<bool>("badLine");
        QTest::addColumn<int>("lastRow");
        const QString a = QStringLiteral("11\t1\t2\t3");
        const QString b = QStringLiteral("12\t4\t5\t6");
        const QString c = QStringLiteral("13\t7\t8\t9");
        QTest::newRow("CR LF") << a + "\r\n" + b + "\r\n" << 0 << 0 << IdList{0, 1} << false << 1;
        QTest::newRow("CR and blank lines") << a + "\r\r\n\n" + b << 0 << 1 << IdList{1, 2} << false << 2;
        QTest::newRow("no current row") << a << 0 << -1 << IdList{0} << false << 0;
        QTest::newRow("bad second line") << a + "\n12\t4\t5\n" + c << 0 << 0 << IdList{0} << true << 0;
        QTest::newRow("bad first line") << "x\n" + a << 0 << 2 << IdList{} << true << 2;
        QTest::newRow("more lines than rows") << a + "\n" + b + "\n" + c << 0 << 2 << IdList{2, 3} << false << 3;
        QTest::newRow("no selected area") << a << -1 << 0 << IdList{} << false << 0;
        QTest::newRow("empty slot selected") << a << 7 << 0 << IdList{} << false << 0;
        QTest::newRow("start row at the count") << a << 0 << 4 << IdList{} << false << 4;
        QTest::newRow("nothing but line ends") << "\r\n\n" << 0 << 1 << IdList{} << false << 1;
    }

    void clipboardPaste()
    {
        QFETCH(QString, text);
        QFETCH(int, selectedArea);
        QFETCH(int, selectedRow);
        QFETCH(IdList, rows);
        CreateChartPage first = pageOf();
        auto core = coreWith(first);
        CreateChartPage second = pageOf();
        putArea(second, 0, gridArea(4, 1, 1));
        core->PageLists[CreateChartCore::OriginalList].append(second);
        core->CurrentPages[CreateChartCore::OriginalList] = 1;
        core->PageLists[CreateChartCore::ScrambleList] = core->PageLists[CreateChartCore::OriginalList];
        core->CurrentTab = CreateChartCore::ScrambleList; // the paste still addresses the Original pages
        core->CurrentPages[CreateChartCore::ScrambleList] = 0;
        core->SelectedArea = selectedArea;
        core->SelectedRow = selectedRow;

        const CreateChartClipboardPaste paste = core->PlanClipboardPaste(text, 0, 255);
        QTEST(paste.BadLine, "badLine");
        QTEST(paste.LastRow, "lastRow");
        QCOMPARE(paste.Edits.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const CreateChartPatchEdit &edit = paste.Edits.at(i);
            QCOMPARE(edit.PageNo, 1);
            QCOMPARE(edit.AreaNo, 0);
            QCOMPARE(edit.RowNo, rows.at(i));
            QCOMPARE(edit.ColumnNo, -2);
            QVERIFY(samePatch(edit.Before, originalArea(*core, 0, 1).Patches.at(rows.at(i))));
            QCOMPARE(edit.After.ID, 11 + i);
            QCOMPARE(edit.After.ColorValue[2], float(3 * i + 3));
        }
    }

    void copyAndPaste()
    {
        CreateChartPage page = pageOf();
        putArea(page, 3, gridArea(2, 2, 1));
        putArea(page, 6, gridArea(1, 2, 20));
        auto core = coreWith(page);
        QCOMPARE(core->DrawnAreas, IdList({3, 6}));
        CreateChartPatchEdit edit;

        // No selection, or one outside the area: nothing copied, nothing to paste.
        QVERIFY(!core->CopyPatch(-1, 0, 0));
        QVERIFY(!core->CopyPatch(0, 0, 2));
        QVERIFY(!core->CopyPatch(2, 0, 0));
        QVERIFY(samePatch(core->CopiedPatch, CreateChartPatch()));
        QVERIFY(!core->PlanPatchPaste(-1, 0, 0, &edit));

        QVERIFY(core->CopyPatch(1, 0, 1)); // area number 1 is slot 6
        QVERIFY(samePatch(core->CopiedPatch, originalArea(*core, 6).Patches.at(1)));
        QVERIFY(!core->PlanPatchPaste(1, 0, 1, &edit)); // the same colours: no step

        QVERIFY(core->PlanPatchPaste(0, 1, 0, &edit));
        QCOMPARE(edit.PageNo, 0);
        QCOMPARE(edit.AreaNo, 3);
        QCOMPARE(edit.RowNo, 2);
        QCOMPARE(edit.ColumnNo, -1);
        QVERIFY(samePatch(edit.Before, originalArea(*core, 3).Patches.at(2)));
        QCOMPARE(edit.After.ID, 0);
        QCOMPARE(edit.After.ColorValue[0], 21.0f);
        QVERIFY(core->SetPatch(edit.PageNo, edit.AreaNo, edit.RowNo, edit.ColumnNo, edit.After));
        QCOMPARE(originalArea(*core, 3).Patches.at(2).ID, 3); // colours only: the ID stays
        QCOMPARE(originalArea(*core, 3).Patches.at(2).ColorValue[1], 42.0f);
    }

    void addPages()
    {
        auto core = coreWith(pageOf());
        core->PageLists[CreateChartCore::OriginalList].clear();
        core->AddPage();
        const CreateChartPageList &pages = core->PageLists[CreateChartCore::OriginalList];
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.at(0).PaperSize, 0);
        QCOMPARE(pages.at(0).Width, m_resources->GetPageSizeWidth(0));
        QCOMPARE(pages.at(0).Height, m_resources->GetPageSizeHeight(0));
        QCOMPARE(pages.at(0).BarcodeWidth, 0); // the first page follows the QR choice later

        core->PageLists[CreateChartCore::OriginalList][0] = pageOf(20000, 30000);
        core->PageLists[CreateChartCore::OriginalList][0].PaperSize = 8;
        core->Header.Barcode = 1;
        core->AddPage();
        QCOMPARE(pages.size(), 2);
        QCOMPARE(core->CurrentPages[CreateChartCore::OriginalList], 1);
        QCOMPARE(pages.at(1).PaperSize, 8);
        QCOMPARE(pages.at(1).Width, 20000);
        QCOMPARE(pages.at(1).Height, 30000);
        QCOMPARE(pages.at(1).AreaCount, 0);
        QCOMPARE(pages.at(1).BarcodeLeftTopX, 400);
        QVERIFY(pages.at(1).BarcodeWidth > 0);
    }

    void deletePage_data()
    {
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("shownAfter");
        QTest::addColumn<IdList>("widthsAfter");
        QTest::newRow("page 1 shows the new page 1") << 0 << 0 << IdList{20001, 20002};
        QTest::newRow("page 2 shows page 1") << 1 << 0 << IdList{20000, 20002};
        QTest::newRow("last page shows the one before") << 2 << 1 << IdList{20000, 20001};
    }

    void deletePage()
    {
        auto core = coreWith(pageOf(20000));
        core->PageLists[CreateChartCore::OriginalList] << pageOf(20001) << pageOf(20002);
        QFETCH(int, shown);
        core->CurrentPages[CreateChartCore::OriginalList] = shown;
        core->DeletePage();
        QTEST(core->CurrentPages[CreateChartCore::OriginalList], "shownAfter");
        IdList widths;
        for (const CreateChartPage &page : core->PageLists[CreateChartCore::OriginalList])
            widths.append(page.Width);
        QTEST(widths, "widthsAfter");
    }

    void addArea_data()
    {
        QTest::addColumn<int>("barcode");
        QTest::addColumn<int>("format");
        QTest::newRow("no QR code, RGB") << 0 << 1;
        QTest::newRow("QR code, CMYK") << 1 << 2;
    }

    void addArea()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(1, 1, 1, 10000, 10000));
        putArea(page, 2, gridArea(1, 1, 2, 10000, 20000));
        auto core = coreWith(page);
        QFETCH(int, barcode);
        QFETCH(int, format);
        core->Header.Barcode = barcode;
        core->ColorFormat = format;
        core->IdCounter = 17;

        QVERIFY(core->AddArea());
        const CreateChartPage &shown = core->PageLists[CreateChartCore::OriginalList].at(0);
        const CreateChartArea &added = shown.Areas[1];
        QCOMPARE(core->SelectedArea, 1);
        QCOMPARE(shown.AreaCount, 3);
        QCOMPARE(added.LeftTopX, 400);
        QCOMPARE(QVector<int>({added.RowCount, added.ColumnCount, added.PatchCount}), QVector<int>({1, 1, 1}));
        QCOMPARE(QVector<int>({added.PatchWidth, added.PatchHeight, added.PatchWidthGap, added.PatchHeightGap}),
                 QVector<int>({600, 600, 600, 600}));
        QCOMPARE(added.Patches.size(), 1);
        QCOMPARE(added.Patches.at(0).ID, 17);
        QCOMPARE(core->IdCounter, 18);
        const float paper = m_resources->GetColorDefaultValue(format);
        for (int v = 0; v < 8; ++v)
            QCOMPARE(added.Patches.at(0).ColorValue[v], v < format + 2 ? paper : 0.0f);
        if (barcode == 0) {
            QCOMPARE(added.LeftTopY, 0);
            QCOMPARE(shown.BarcodeWidth, 0);
        } else {
            // Placed below the QR code's clear zone: 7.63 mm around the code on every side.
            QVERIFY(shown.BarcodeWidth > 0);
            QCOMPARE(shown.BarcodeLeftTopX, 400);
            QCOMPARE(shown.BarcodeLeftTopY, 0);
            QCOMPARE(added.LeftTopY, shown.BarcodeHeight + 2 * 763 - 1 + 10);
        }
    }

    void addAreaAllSlotsUsed()
    {
        CreateChartPage page = pageOf();
        for (int slot = 0; slot < kMaxAreaCount; ++slot)
            putArea(page, slot, gridArea(1, 1, slot + 1));
        auto core = coreWith(page);
        core->SelectedArea = 4;
        QVERIFY(!core->AddArea());
        QCOMPARE(core->SelectedArea, 4);
        QCOMPARE(core->PageLists[CreateChartCore::OriginalList].at(0).AreaCount, kMaxAreaCount);
    }

    void deleteArea_data()
    {
        QTest::addColumn<IdList>("used");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("selected");
        QTest::newRow("nearest below") << IdList{1, 3, 5} << 3 << 1;
        QTest::newRow("nearest above when none below") << IdList{3, 5, 9} << 3 << 5;
        QTest::newRow("only area: none") << IdList{3} << 3 << -1;
    }

    void deleteArea()
    {
        QFETCH(IdList, used);
        CreateChartPage page = pageOf();
        for (int slot : std::as_const(used))
            putArea(page, slot, gridArea(1, 1, slot + 1));
        auto core = coreWith(page);
        QFETCH(int, deleted);
        core->SelectedArea = deleted;
        core->DeleteSelectedArea();
        QTEST(core->SelectedArea, "selected");
        const CreateChartPage &shown = core->PageLists[CreateChartCore::OriginalList].at(0);
        QCOMPARE(shown.AreaCount, used.size() - 1);
        QCOMPARE(shown.Areas[size_t(deleted)].PatchCount, 0);
        QVERIFY(shown.Areas[size_t(deleted)].Patches.isEmpty());
    }

    void moves_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        const int leftMax = m_resources->GetAreaLeftMax();
        const int topMax = m_resources->GetAreaTopMax();
        QTest::newRow("within") << 150 << 250 << 1150 << 750;
        QTest::newRow("10 mm left of the limit") << -1600 << 0 << 400 << 500;
        QTest::newRow("above the top") << 0 << -501 << 1000 << 0;
        QTest::newRow("onto both maxima") << leftMax - 1000 << topMax - 500 << leftMax << topMax;
        QTest::newRow("past both maxima") << INT_MAX << INT_MAX << leftMax << topMax;
        QTest::newRow("far past both minima") << INT_MIN << INT_MIN << 400 << 0;
    }

    void moves()
    {
        CreateChartPage page = pageOf();
        putArea(page, 2, gridArea(2, 2, 1, 1000, 500));
        page.BarcodeLeftTopX = 1000;
        page.BarcodeLeftTopY = 500;
        auto core = coreWith(page);
        QFETCH(int, dx);
        QFETCH(int, dy);
        core->MoveArea(2, dx, dy);
        core->MoveBarcode(dx, dy);
        const CreateChartPage &shown = core->PageLists[CreateChartCore::OriginalList].at(0);
        QTEST(shown.Areas[2].LeftTopX, "x");
        QTEST(shown.Areas[2].LeftTopY, "y");
        QTEST(shown.BarcodeLeftTopX, "x");
        QTEST(shown.BarcodeLeftTopY, "y");
    }

    void resize_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("pitch");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("sizeAfter");
        QTest::addColumn<int>("pitchAfter");
        QTest::newRow("4 by +10.03 mm: +2.5 mm each, gap kept") << 700 << 900 << 4 << 1003 << 950 << 1150;
        QTest::newRow("truncated toward zero") << 700 << 900 << 4 << -3 << 700 << 900;
        QTest::newRow("shrink below 6 mm") << 700 << 900 << 4 << -1000 << 600 << 800;
        QTest::newRow("past 30 mm") << 2800 << 3000 << 2 << 600 << 3000 << 3200;
        QTest::newRow("pitch past 32 mm narrows the patch") << 2500 << 3000 << 1 << 400 << 2700 << 3200;
    }

    void resize()
    {
        QFETCH(int, size);
        QFETCH(int, pitch);
        QFETCH(int, count);
        CreateChartArea area = gridArea(count, count);
        area.PatchWidth = area.PatchHeight = size;
        area.PatchWidthGap = area.PatchHeightGap = pitch;
        auto core = coreWithArea(area);
        QFETCH(int, delta);
        core->ResizeArea(0, delta, delta);
        const CreateChartArea &resized = originalArea(*core);
        QTEST(resized.PatchWidth, "sizeAfter");
        QTEST(resized.PatchWidthGap, "pitchAfter");
        QTEST(resized.PatchHeight, "sizeAfter");
        QTEST(resized.PatchHeightGap, "pitchAfter");
        QCOMPARE(resized.LeftTopX, area.LeftTopX);
    }

    void barcodeRecordAndSize_data()
    {
        QTest::addColumn<QString>("chartName");
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("the chart's name, cut at 16 bytes")
            << QStringLiteral("Chart abcdefghijklmnop") << QByteArray("Chart abcdefghij");
        QTest::newRow("a new chart's name") << QString() << QByteArray("Chart 7");
    }

    void barcodeRecordAndSize()
    {
        CreateChartPage second = pageOf();
        putArea(second, 1, gridArea(2, 3));
        putArea(second, 4, gridArea(4, 5));
        auto core = coreWith(pageOf());
        core->PageLists[CreateChartCore::OriginalList].append(second);
        QFETCH(QString, chartName);
        core->Header.ChartName = chartName;

        SheetInfoRecord expected;
        std::memset(&expected, 0, sizeof expected);
        QFETCH(QByteArray, code);
        std::memcpy(expected.ChartCode, code.constData(), size_t(code.size()));
        expected.SheetCount = 2;
        expected.SheetNumber = 2;
        expected.PatchCount = 26;
        expected.AreaCount = 2;
        expected.Areas[0] = {2, 3, 6};
        expected.Areas[1] = {4, 5, 20};
        const SheetInfoRecord record = core->BarcodeRecord(1);
        QVERIFY(std::memcmp(&record, &expected, sizeof record) == 0);

        core->PlaceBarcode(1);
        const CreateChartPage &placed = core->PageLists[CreateChartCore::OriginalList].at(1);
        const int side = PixelsToUnitFixed(0, m_resources->GetBarcodeSize(expected, kBarcodeLevel, kModulePixels), 300);
        QVERIFY(side > 0);
        QCOMPARE(QVector<int>({placed.BarcodeLeftTopX, placed.BarcodeLeftTopY, placed.BarcodeWidth,
                               placed.BarcodeHeight}),
                 QVector<int>({400, 0, side, side}));
    }

    void applyBarcodeToAllPages()
    {
        auto core = coreWith(pageOf());
        core->AddPage();
        core->Header.Barcode = 1;
        core->ApplyBarcodeToAllPages();
        for (const CreateChartPage &page : core->PageLists[CreateChartCore::OriginalList])
            QVERIFY(page.BarcodeWidth > 0 && page.BarcodeHeight == page.BarcodeWidth);
        core->Header.Barcode = 0;
        core->ApplyBarcodeToAllPages();
        for (const CreateChartPage &page : core->PageLists[CreateChartCore::OriginalList])
            QCOMPARE(QVector<int>({page.BarcodeLeftTopX, page.BarcodeLeftTopY, page.BarcodeWidth,
                                   page.BarcodeHeight}),
                     QVector<int>({0, 0, 0, 0}));
    }

    void turnPlacesBarcodeAgain_data()
    {
        QTest::addColumn<bool>("exchange");
        QTest::newRow("rotate") << false;
        QTest::newRow("exchange rows and columns") << true;
    }

    void turnPlacesBarcodeAgain()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(2, 5));
        page.BarcodeLeftTopX = 9000;
        page.BarcodeLeftTopY = 9000;
        auto core = coreWith(page);
        core->Header.Barcode = 1;
        QFETCH(bool, exchange);
        if (exchange)
            core->ExchangeRowColumn();
        else
            core->Rotate();
        const CreateChartPage &turned = core->PageLists[CreateChartCore::OriginalList].at(0);
        const SheetInfoRecord record = core->BarcodeRecord(0);
        QCOMPARE(record.Areas[0].RowCount, 5);
        QCOMPARE(turned.BarcodeLeftTopX, 400);
        QCOMPARE(turned.BarcodeLeftTopY, 0);
        QCOMPARE(turned.BarcodeWidth,
                 PixelsToUnitFixed(0, m_resources->GetBarcodeSize(record, kBarcodeLevel, kModulePixels), 300));
    }

    void printRange_data()
    {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("at both limits") << 0 << 0 << true;
        QTest::newRow("one more to the right") << 1 << 0 << false;
        QTest::newRow("one more downwards") << 0 << 1 << false;
    }

    void printRange()
    {
        CreateChartPage page = pageOf(21000, 29700);
        page.BarcodeWidth = page.BarcodeHeight = 2000;
        page.BarcodeLeftTopX = 21000 - 400 - 2000;
        page.BarcodeLeftTopY = 29700 - 3300 - 2000;
        CreateChartPage second = page;
        QFETCH(int, dx);
        QFETCH(int, dy);
        second.BarcodeLeftTopX += dx;
        second.BarcodeLeftTopY += dy;
        auto core = coreWith(page);
        core->PageLists[CreateChartCore::OriginalList].append(second);
        QTEST(core->BarcodeInPrintRange(), "inRange");
    }

    void overlap_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("overlaps");
        // QR code 20 mm wide at (50 mm, 50 mm): the clear zone spans 5000 .. 5000 + 2000 + 2 x 763 - 1 = 8525.
        QTest::newRow("right edge inclusive") << 8525 << 6000 << true << true;
        QTest::newRow("one past the right edge") << 8526 << 6000 << true << false;
        QTest::newRow("bottom edge inclusive") << 6000 << 8525 << true << true;
        QTest::newRow("one below the bottom edge") << 6000 << 8526 << true << false;
        QTest::newRow("area ending on the left edge") << 5000 - 600 + 1 << 6000 << true << true;
        QTest::newRow("area ending just left") << 5000 - 600 << 6000 << true << false;
        QTest::newRow("an empty slot inside") << 6000 << 6000 << false << false;
    }

    void overlap()
    {
        CreateChartPage page = pageOf();
        page.BarcodeLeftTopX = page.BarcodeLeftTopY = 5000;
        page.BarcodeWidth = page.BarcodeHeight = 2000;
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, used);
        CreateChartArea area = gridArea(1, 1, 1, x, y);
        area.PatchWidth = area.PatchHeight = 600;
        if (!used) {
            area.PatchCount = 0;
            area.Patches.clear();
        }
        page.Areas[7] = area;
        auto core = coreWith(pageOf());
        core->PageLists[CreateChartCore::OriginalList].append(page); // any page counts
        QTEST(core->BarcodeOverlapsArea(), "overlaps");
    }

    void pageToSheet()
    {
        CreateChartPage page = pageOf();
        putArea(page, 0, gridArea(2, 3, 1, 400, 100));
        putArea(page, 2, gridArea(1, 2, 50, 9000, 200));
        page.BarcodeLeftTopX = 11;
        page.BarcodeLeftTopY = 12;
        page.BarcodeWidth = 13;
        page.BarcodeHeight = 14;
        page.ImageWidth = page.ImageHeight = 2;
        page.BitPerPixel = 8;
        page.ImageBytes = QByteArray(4, 'x');
        auto core = coreWith(pageOf());
        core->ColorFormat = 1;
        core->DrawnAreas = {9};
        ChartDefinitionData::Sheet sheet;
        core->PageToSheet(page, &sheet, true);

        QCOMPARE(core->DrawnAreas, IdList({0, 2}));
        QCOMPARE(QVector<int>({sheet.Width, sheet.Height, sheet.AreaCount, sheet.PatchCount}),
                 QVector<int>({21000, 29700, 2, 8}));
        QCOMPARE(QVector<int>({sheet.Areas[1].RowCount, sheet.Areas[1].ColumnCount, sheet.Areas[1].PatchCount}),
                 QVector<int>({1, 2, 2}));
        const ChartDefinitionData::AreaPlacement &place = sheet.Placements[1];
        QCOMPARE(QVector<int>({place.LeftTopX, place.LeftTopY, place.PatchWidth, place.PatchHeight, place.PatchWidthGap,
                               place.PatchHeightGap}),
                 QVector<int>({9000, 200, 700, 800, 900, 1000}));
        QCOMPARE(sheet.Areas[2].PatchCount, 0);
        QCOMPARE(QVector<int>({sheet.BarcodeLeftTopX, sheet.BarcodeLeftTopY, sheet.BarcodeWidth, sheet.BarcodeHeight}),
                 QVector<int>({11, 12, 13, 14}));
        QCOMPARE(QVector<int>({sheet.ImageWidth, sheet.BitPerPixel, sheet.HasImage}), QVector<int>({0, 0, 0}));
        QVERIFY(!sheet.ImageBytes);
        const QVector<QVector<int>> expected = {{1, 0, 0, 0}, {2, 0, 0, 1}, {3, 0, 0, 2}, {4, 0, 1, 0},
                                                {5, 0, 1, 1}, {6, 0, 1, 2}, {50, 1, 0, 0}, {51, 1, 0, 1}};
        for (int n = 0; n < 8; ++n) {
            const ChartDefinitionData::PatchColor &record = sheet.Patches[size_t(n)];
            QCOMPARE(QVector<int>({record.ID, record.Area, record.Row, record.Column}), expected.at(n));
            QCOMPARE(record.ColorFormat, 1);
            QCOMPARE(record.ColorValue[1], 2.0f * record.ID);
            QCOMPARE(record.ColorValue[3], 0.0f);
        }

        // Saving leaves the drawn-area list of the shown page alone.
        core->PageToSheet(pageOf(), &sheet, false);
        QCOMPARE(core->DrawnAreas, IdList({0, 2}));
        QCOMPARE(sheet.PatchCount, 0);
        QCOMPARE(sheet.Width, 21000);
    }

    void pagesToDefinition_data()
    {
        QTest::addColumn<bool>("keepHeader");
        QTest::addColumn<int>("tab");
        QTest::newRow("Save keeps the loaded header") << true << int(CreateChartCore::OriginalList);
        QTest::newRow("Save As on a zeroed header") << false << int(CreateChartCore::OriginalList);
        QTest::newRow("Save on the Scramble tab") << true << int(CreateChartCore::ScrambleList);
    }

    void pagesToDefinition()
    {
        auto core = coreWith(pageOf());
        QVERIFY(core->SetChartDefinition(storedChart({StoredPage{21000, 29700, {{1, 2}}, {{1, 0, 0, 0}, {2, 0, 0, 1}}},
                                                      StoredPage{21000, 29700, {{2, 2}}, {}}})));
        core->Header.UNIT = 1;
        core->Header.Kind = 2;
        core->Header.CreateTime = QStringLiteral("2026/01/02 03:04:05");
        core->Header.Barcode = 0; // changed in the editor after loading
        core->PageLists[CreateChartCore::ScrambleList] = core->PageLists[CreateChartCore::OriginalList];
        core->PageLists[CreateChartCore::ScrambleList][0].Areas[0].Patches[0].ID = 77;
        QFETCH(int, tab);
        core->CurrentTab = tab;
        QFETCH(bool, keepHeader);
        ChartDefinitionDataSheets definition = storedChart({StoredPage{}}); // overwritten whole
        core->PagesToDefinition(keepHeader, &definition);

        QCOMPARE(definition.UNIT, 0);
        QCOMPARE(definition.SheetCount, 2);
        QCOMPARE(definition.ChartPatchCount, 6);
        QCOMPARE(definition.Sheets[0].PatchCount, 2);
        QCOMPARE(definition.Sheets[1].PatchCount, 4);
        QCOMPARE(definition.Sheets[0].Patches[0].ID, tab == CreateChartCore::ScrambleList ? 77 : 1);
        QCOMPARE(QVector<int>({definition.Diameter, definition.Barcode, definition.Recog}), QVector<int>({3, 0, 2}));
        QCOMPARE(definition.Kind, keepHeader ? 2 : 0);
        QCOMPARE(definition.UUID, keepHeader ? QStringLiteral("uuid-1") : QString());
        QCOMPARE(definition.ChartName, keepHeader ? QStringLiteral("loaded") : QString());
        QCOMPARE(definition.CreateTime, keepHeader ? core->Header.CreateTime : QString());
    }

    void newChartHeader()
    {
        CreateChartCore core;
        QCOMPARE(QVector<int>({core.Header.Diameter, core.Header.Recog, core.Header.Barcode}),
                 QVector<int>({1, 4, 0}));
    }

    void loadPaperSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("paperSize");
        QTest::newRow("A4") << 21000 << 29700 << 4;
        QTest::newRow("an odd size") << 21000 << 29701 << 8;
    }

    void loadPaperSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        auto core = coreWith(pageOf());
        QVERIFY(core->SetChartDefinition(storedChart({StoredPage{width, height, {{1, 1}}, {{1, 0, 0, 0}}}})));
        const CreateChartPageList &pages = core->PageLists[CreateChartCore::OriginalList];
        QCOMPARE(pages.size(), 1);
        QTEST(pages.at(0).PaperSize, "paperSize");
        QCOMPARE(pages.at(0).Width, width);
    }

    void loadFillsMissingCells()
    {
        // Page 1: a 2 x 3 area with a hole at (0, 1), records out of order and a second record for (1, 2);
        // page 2: a 2 x 2 area whose last row is short.
        const StoredPage first{21000, 29700, {{2, 3}},
                               {{12, 0, 1, 2}, {10, 0, 0, 0}, {30, 0, 0, 2}, {11, 0, 1, 0}, {13, 0, 1, 1},
                                {99, 0, 1, 2}, {5, 9, 0, 1}, {6, 0, 5, 1}}};
        const StoredPage second{29700, 21000, {{2, 2}}, {{40, 0, 0, 0}, {41, 0, 0, 1}, {42, 0, 1, 0}}};
        const ChartDefinitionDataSheets chart = storedChart({first, second}, 2);
        auto core = coreWith(pageOf());
        core->IdCounter = 1;
        QVERIFY(core->SetChartDefinition(chart));

        const CreateChartPageList &pages = core->PageLists[CreateChartCore::OriginalList];
        QCOMPARE(pages.size(), 2);
        QCOMPARE(core->CurrentPages[CreateChartCore::OriginalList], 0);
        QCOMPARE(core->ColorFormat, 2);
        // The holes take IDs after the highest loaded one; records that fill no cell take none.
        QCOMPARE(idsOf(pages.at(0).Areas[0]), IdList({10, 43, 30, 11, 13, 12}));
        QCOMPARE(idsOf(pages.at(1).Areas[0]), IdList({40, 41, 42, 44}));
        QCOMPARE(pages.at(0).Areas[0].PatchCount, 6);
        QCOMPARE(core->IdCounter, 45);
        const CreateChartPatch &loaded = pages.at(0).Areas[0].Patches.at(2);
        QCOMPARE(QVector<float>({loaded.ColorValue[0], loaded.ColorValue[3], loaded.ColorValue[4]}),
                 QVector<float>({30, 33, 0}));
        const CreateChartPatch &filled = pages.at(1).Areas[0].Patches.at(3);
        const float paper = m_resources->GetColorDefaultValue(2);
        QCOMPARE(QVector<float>({filled.ColorValue[0], filled.ColorValue[3], filled.ColorValue[4]}),
                 QVector<float>({paper, paper, 0}));
        QCOMPARE(pages.at(1).BarcodeWidth, 2001);
        QCOMPARE(pages.at(0).Areas[0].LeftTopX, 400);
        QCOMPARE(pages.at(0).Areas[0].PatchHeightGap, 1000);
        QCOMPARE(core->Header.ChartName, QStringLiteral("loaded"));
        const ChartDefinitionDataSheets &header = core->Header;
        QCOMPARE(QVector<int>({header.Barcode, header.Diameter, header.Recog, header.SheetCount}),
                 QVector<int>({1, 3, 2, 2}));
        // The loaded list is what the layout rule compares against.
        QCOMPARE(core->PageLists[CreateChartCore::LoadedList].size(), 2);
        comparePages(core->PageLists[CreateChartCore::LoadedList].at(1), pages.at(1));
    }

    void loadRefused_data()
    {
        QTest::addColumn<int>("sheetCount");
        QTest::addColumn<int>("areaCount");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("no page") << 0 << 1 << 1 << 1 << false;
        QTest::newRow("101 pages") << 101 << 1 << 1 << 1 << false;
        QTest::newRow("100 pages") << 100 << 1 << 1 << 1 << true;
        QTest::newRow("51 areas") << 1 << 51 << 1 << 1 << false;
        QTest::newRow("no row") << 1 << 1 << 0 << 1 << false;
        QTest::newRow("245 rows") << 1 << 1 << 245 << 1 << false;
        QTest::newRow("54 columns") << 1 << 1 << 1 << 54 << false;
        QTest::newRow("244 x 53 and no area") << 1 << 0 << 244 << 53 << true;
        QTest::newRow("244 x 53") << 1 << 1 << 244 << 53 << true;
    }

    void loadRefused()
    {
        QFETCH(int, sheetCount);
        QFETCH(int, areaCount);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(bool, loaded);
        ChartDefinitionDataSheets chart = storedChart(QVector<StoredPage>(qMax(sheetCount, 1), StoredPage{}));
        chart.SheetCount = sheetCount;
        ChartDefinitionData::Sheet &sheet = chart.Sheets[0];
        sheet.AreaCount = areaCount;
        for (int k = 0; k < kMaxAreaCount; ++k)
            sheet.Areas[k] = {rows, columns, rows * columns};
        for (int i = 1; i < sheetCount; ++i)
            chart.Sheets[size_t(i)].AreaCount = 0;

        auto core = coreWith(pageOf(12345));
        QCOMPARE(core->SetChartDefinition(chart), loaded);
        const CreateChartPageList &pages = core->PageLists[CreateChartCore::OriginalList];
        if (loaded) {
            QCOMPARE(pages.size(), sheetCount);
            QCOMPARE(pages.at(0).Areas[0].Patches.size(), areaCount > 0 ? rows * columns : 0);
        } else {
            QCOMPARE(pages.size(), 1);
            QCOMPARE(pages.at(0).Width, 12345);
            QVERIFY(core->PageLists[CreateChartCore::LoadedList].isEmpty());
            QVERIFY(core->Header.ChartName.isEmpty());
        }
    }

    void pageImages_data()
    {
        QTest::addColumn<int>("pageNumber");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("bytes");
        QTest::addColumn<bool>("taken");
        QTest::newRow("page 2, 8 bits") << 2 << 3 << 8 << true << true;
        QTest::newRow("page number 0") << 0 << 3 << 8 << true << false;
        QTest::newRow("past the last page") << 3 << 3 << 8 << true << false;
        QTest::newRow("24 bits") << 2 << 3 << 24 << true << false;
        QTest::newRow("width 0") << 2 << 0 << 8 << true << false;
        QTest::newRow("null bytes") << 2 << 3 << 8 << false << false;
    }

    void pageImages()
    {
        QFETCH(int, pageNumber);
        QFETCH(int, width);
        QFETCH(int, bits);
        QFETCH(bool, bytes);
        MeasurementDataSheets measurement;
        measurement.SheetCount = 1;
        measurement.Sheets = NewMeasurementPages(1);
        MeasurementData &entry = measurement.Sheets[0];
        entry.PageNumber = pageNumber;
        entry.Width = width;
        entry.Height = 2;
        entry.BitPerPixel = bits;
        if (bytes) {
            const qint64 count = ImageByteCount(width, 2, bits);
            entry.ImageBytes = NewImageBytes(size_t(count));
            for (qint64 i = 0; i < count; ++i)
                entry.ImageBytes[size_t(i)] = static_cast<unsigned char>('a' + i);
        }
        auto core = coreWith(pageOf());
        core->PageLists[CreateChartCore::OriginalList].append(pageOf());
        core->SetPageImages(measurement);

        QFETCH(bool, taken);
        const CreateChartPage &second = core->PageLists[CreateChartCore::OriginalList].at(1);
        QCOMPARE(second.ImageBytes, taken ? QByteArray("abcdef") : QByteArray());
        QCOMPARE(QVector<int>({second.ImageWidth, second.ImageHeight, second.BitPerPixel}),
                 taken ? QVector<int>({3, 2, 8}) : QVector<int>({0, 0, 0}));
        QVERIFY(core->PageLists[CreateChartCore::OriginalList].at(0).ImageBytes.isEmpty());
    }

    void resizePatchList_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<IdList>("ids");
        QTest::newRow("3 to 4 columns appends the next IDs") << 4 << IdList{1, 2, 3, 4, 5, 6, 20, 21};
        QTest::newRow("3 to 2 columns drops the end") << 2 << IdList{1, 2, 3, 4};
    }

    void resizePatchList()
    {
        auto core = coreWithArea(gridArea(2, 3));
        core->IdCounter = 20;
        CreateChartArea &area = originalArea(*core);
        QFETCH(int, columns);
        area.ColumnCount = columns;
        area.PatchCount = area.RowCount * columns;
        core->ResizePatchList(&area);
        QTEST(idsOf(area), "ids");
        // List order is kept: with 4 columns the fourth patch (row 1, column 0 before) is now row 0, column 3.
        QCOMPARE(area.Patches.at(3).ID, 4);
        const float paper = m_resources->GetColorDefaultValue(core->ColorFormat);
        QCOMPARE(area.Patches.last().ColorValue[0], columns == 4 ? paper : 4.0f);
    }

    void mayOverwrite_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("uniform");
        QTest::addColumn<bool>("hasAreas");
        QTest::addColumn<bool>("mayOverwrite");
        // 0 nothing, 1 an area moved, 2 moved and back, 3 IDs and a patch count changed, 4 a page added,
        // 5 a page without area
        QTest::newRow("as loaded") << 0 << true << true << true;
        QTest::newRow("area moved") << 1 << true << true << false;
        QTest::newRow("area moved, no layout rule") << 1 << false << true << true;
        QTest::newRow("moved back") << 2 << true << true << true;
        QTest::newRow("IDs and counts may differ") << 3 << true << true << true;
        QTest::newRow("a page more") << 4 << true << true << false;
        QTest::newRow("a page more, no layout rule") << 4 << false << true << true;
        QTest::newRow("a page without area") << 5 << false << false << false;
    }

    void mayOverwrite()
    {
        auto core = coreWith(pageOf());
        QVERIFY(core->SetChartDefinition(
            storedChart({StoredPage{21000, 29700, {{1, 2}, {1, 1}}, {}}, StoredPage{21000, 29700, {{2, 2}}, {}}})));
        QFETCH(int, change);
        CreateChartPageList &pages = core->PageLists[CreateChartCore::OriginalList];
        if (change == 1 || change == 2)
            core->MoveArea(1, 100, 0);
        if (change == 2)
            core->MoveArea(1, -100, 0);
        if (change == 3) {
            pages[1].Areas[0].Patches[0].ID = 999;
            pages[1].Areas[0].PatchCount = 3;
        }
        if (change == 4) {
            core->AddPage();
            pages.last().AreaCount = 1;
        }
        if (change == 5)
            pages[1].AreaCount = 0;
        QTEST(core->HasAreas(), "hasAreas");
        QFETCH(bool, uniform);
        QTEST(core->MayOverwrite(uniform), "mayOverwrite");
    }
};

QTEST_GUILESS_MAIN(TestCreateChartCore)
#include "test_createchart_core.moc"
