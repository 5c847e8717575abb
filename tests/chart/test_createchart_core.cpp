// The chart editor's data operations without a window: patch writes, duplicate marks, automatic IDs, the page
// transforms, the pasted-row parser and what copy and paste would change.
#include "app/resourcedata.h"
#include "chart/createchartcore.h"

#include <QDir>
#include <QtTest>

#include <memory>

namespace {

using IdList = QVector<int>;

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

IdList idsOf(const CreateChartArea &area)
{
    IdList ids;
    for (const CreateChartPatch &patch : area.Patches)
        ids.append(patch.ID);
    return ids;
}

IdList duplicatedOf(const CreateChartArea &area)
{
    IdList marks;
    for (const CreateChartPatch &patch : area.Patches)
        marks.append(patch.Duplicated);
    return marks;
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
};

QTEST_GUILESS_MAIN(TestCreateChartCore)
#include "test_createchart_core.moc"
