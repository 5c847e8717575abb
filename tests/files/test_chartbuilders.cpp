// The import entry by file type, the two page builders and the grouping of a patch grid into areas.

#include "testhost.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

using ChartDefinitionData::AreaPlacement;
using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

const AreaPlacement kGeometry{500, 500, 600, 600, 650, 700};

PatchList Patches(int n)
{
    PatchList list;
    for (int i = 0; i < n; ++i) {
        PatchColor p;
        p.ID = i + 1;
        p.ColorFormat = ChartDefinitionData::FormatRGB;
        p.ColorValue[0] = float(i);
        list.append(p);
    }
    return list;
}

// "4x2,2x1|4x3": areas of each page as rows x columns.
// "page.area.row.column" of every input patch, in input order.
QString Positions(const ChartDefinitionDataSheets &chart, int n)
{
    QVector<QString> where(n, QStringLiteral("-"));
    for (int s = 0; s < chart.SheetCount; ++s) {
        for (int p = 0; p < chart.Sheets[s].PatchCount; ++p) {
            const PatchColor &patch = chart.Sheets[s].Patches[p];
            where[patch.ID - 1] = QStringLiteral("%1.%2.%3.%4").arg(s).arg(patch.Area).arg(patch.Row).arg(patch.Column);
        }
    }
    return QStringList(where.toList()).join(QLatin1Char(' '));
}

QString ColumnOrder(int n, int rows, int page = 0, int area = 0, int firstColumn = 0)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QStringLiteral("%1.%2.%3.%4").arg(page).arg(area).arg(i % rows).arg(firstColumn + i / rows);
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestChartBuilders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Varemo")); }

    void builders_data()
    {
        QTest::addColumn<int>("builder"); // 0 by columns, 1 by columns spread over pages, 2 page by page
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("positions"); // empty: not checked

        const QString tenPatches = ColumnOrder(8, 4) + " 0.1.0.0 0.1.1.0";
        QTest::newRow("columns 10 on 4x3") << 0 << 10 << 1 << 4 << 3 << 0 << "4x2,2x1" << tenPatches;
        QTest::newRow("columns 12 on 4x3") << 0 << 12 << 1 << 4 << 3 << 0 << "4x3" << ColumnOrder(12, 4);
        QTest::newRow("pages 10 on 4x3") << 2 << 10 << 1 << 4 << 3 << 0 << "4x2,2x1" << tenPatches;
        QTest::newRow("pages 14 on two pages")
            << 2 << 14 << 2 << 4 << 3 << 0 << "4x3|4x0,2x1" << ColumnOrder(12, 4) + " 1.1.0.0 1.1.1.0";
        QTest::newRow("pages, last page of whole columns")
            << 2 << 16 << 2 << 4 << 3 << 0 << "4x3|4x1" << ColumnOrder(12, 4) + " " + ColumnOrder(4, 4, 1);
        QTest::newRow("pages, last page of two whole columns") << 2 << 20 << 2 << 4 << 3 << 0 << "4x3|4x2" << QString();
        QTest::newRow("spread over 2 pages")
            << 1 << 10 << 2 << 2 << 3 << 0 << "2x3|2x2"
            << "0.0.0.0 0.0.1.0 1.0.0.0 1.0.1.0 0.0.0.1 0.0.1.1 1.0.0.1 1.0.1.1 0.0.0.2 0.0.1.2";
        QTest::newRow("spread over 2 pages, short column")
            << 1 << 11 << 2 << 2 << 3 << 0 << "2x3|2x2,1x1"
            << "0.0.0.0 0.0.1.0 1.0.0.0 1.0.1.0 0.0.0.1 0.0.1.1 1.0.0.1 1.0.1.1 0.0.0.2 0.0.1.2 1.1.0.0";
        QTest::newRow("spread over 3 pages")
            << 1 << 20 << 3 << 3 << 3 << 0 << "3x3|3x3|1x2"
            << "0.0.0.0 0.0.1.0 0.0.2.0 1.0.0.0 1.0.1.0 1.0.2.0 2.0.0.0 "
               "0.0.0.1 0.0.1.1 0.0.2.1 1.0.0.1 1.0.1.1 1.0.2.1 2.0.0.1 "
               "0.0.0.2 0.0.1.2 0.0.2.2 1.0.0.2 1.0.1.2 1.0.2.2";
        QTest::newRow("columns, 2 pages of one column height")
            << 0 << 16 << 2 << 4 << 2 << 0 << "4x2|4x2"
            << "0.0.0.0 0.0.1.0 0.0.2.0 0.0.3.0 1.0.0.0 1.0.1.0 1.0.2.0 1.0.3.0 "
               "0.0.0.1 0.0.1.1 0.0.2.1 0.0.3.1 1.0.0.1 1.0.1.1 1.0.2.1 1.0.3.1";

        for (int b = 0; b < 3; ++b) {
            const int code = b == 2 ? 70016 : 70017;
            const char *name = b == 0 ? "columns" : b == 1 ? "spread" : "pages";
            QTest::addRow("%s: no patches", name) << b << 0 << 1 << 4 << 3 << code << "" << QString();
            QTest::addRow("%s: 0 rows", name) << b << 10 << 1 << 0 << 3 << code << "" << QString();
            QTest::addRow("%s: 0 columns", name) << b << 10 << 1 << 4 << 0 << code << "" << QString();
            QTest::addRow("%s: 0 pages", name) << b << 10 << 0 << 4 << 3 << code << "" << QString();
            QTest::addRow("%s: more pages than patches", name) << b << 2 << 3 << 1 << 1 << code << "" << QString();
            if (b < 2)
                QTest::addRow("%s: rows x columns overflow", name)
                    << b << 3 << 1 << 2147483647 << 2147483647 << code << "" << QString();
        }
        QTest::newRow("columns: 13 do not fit 4x3") << 0 << 13 << 1 << 4 << 3 << 70017 << "" << QString();
        QTest::newRow("pages: 13 do not fit 4x3") << 2 << 13 << 1 << 4 << 3 << 70016 << "" << QString();
        QTest::newRow("pages: huge page, three patches in a short column")
            << 2 << 3 << 1 << 2147483647 << 2147483647 << 0 << "2147483647x0,3x1" << "0.1.0.0 0.1.1.0 0.1.2.0";
        QTest::newRow("pages: a page left empty") << 2 << 12 << 2 << 4 << 3 << 70016 << "" << QString();
    }
    void builders()
    {
        QFETCH(int, builder);
        QFETCH(int, n);
        QFETCH(int, pages);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, expected);
        QFETCH(QString, layout);
        QFETCH(QString, positions);
        TestHost host;
        CIODataFile file(&host);
        ChartGuard chart;
        Sheet page;
        page.Width = 30400;
        page.Height = 20800;
        const PatchList patches = Patches(n);
        const SheetLayout size{rows, columns};
        const int result = builder == 2 ? file.BuildSheetsPageByPage(&chart.chart, patches, unsigned(pages), size,
                                                                      kGeometry, page)
                                        : file.BuildSheetsByColumns(&chart.chart, patches, unsigned(pages), size,
                                                                     kGeometry, page, builder == 1);
        QCOMPARE(result, expected);
        if (expected != 0) {
            QVERIFY(!chart.chart.Sheets); // refused before any page was made
            return;
        }
        QCOMPARE(chart.chart.SheetCount, pages);
        QCOMPARE(chart.chart.ChartPatchCount, n);
        QCOMPARE(AreaGrid(chart.chart), layout);
        if (!positions.isEmpty())
            QCOMPARE(Positions(chart.chart, n), positions);
        for (int s = 0; s < pages; ++s) {
            const Sheet &sheet = chart.chart.Sheets[s];
            QCOMPARE(sheet.Width, 30400);
            QCOMPARE(sheet.Height, 20800);
            QCOMPARE(sheet.Placements[0].LeftTopX, kGeometry.LeftTopX);
            if (sheet.AreaCount == 2) {
                // The short column stands right beside the main block.
                QCOMPARE(sheet.Placements[1].LeftTopX, kGeometry.LeftTopX + kGeometry.PatchWidthGap * sheet.Areas[0].ColumnCount);
                QCOMPARE(sheet.Placements[1].LeftTopY, kGeometry.LeftTopY);
            }
            int sum = 0;
            for (int a = 0; a < sheet.AreaCount; ++a) {
                QCOMPARE(sheet.Areas[a].PatchCount, sheet.Areas[a].RowCount * sheet.Areas[a].ColumnCount);
                sum += sheet.Areas[a].PatchCount;
            }
            QCOMPARE(sheet.PatchCount, sum);
        }
    }

    void grouping_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("shortRow");
        QTest::addColumn<QString>("holes"); // "row.column" positions without a patch
        QTest::addColumn<QString>("areas"); // rows x columns @ first row.first column
        QTest::addColumn<int>("expected");
        QTest::newRow("full grid") << 3 << 4 << -1 << "" << "3x4@0.0" << 0;
        QTest::newRow("gap splits a row") << 3 << 4 << -1 << "1.2" << "1x4@0.0,1x2@1.0,1x1@1.3,1x4@2.0" << 0;
        QTest::newRow("gap in the first column") << 3 << 4 << -1 << "1.0" << "1x4@0.0,1x3@1.1,1x4@2.0" << 0;
        QTest::newRow("short rows") << 4 << 3 << 2 << "" << "2x3@0.0,2x2@2.0" << 0;
        QTest::newRow("block after a gap in the short rows") << 5 << 3 << 1 << "2.0" << "1x3@0.0,1x2@1.0,1x1@2.1,2x2@3.0"
                                                             << 0;
        QTest::newRow("empty grid") << 2 << 2 << -1 << "0.0 0.1 1.0 1.1" << "" << 0;
    }
    void grouping()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, shortRow);
        QFETCH(QString, holes);
        QFETCH(QString, areas);
        QFETCH(int, expected);
        const QStringList holeList = holes.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        PatchList grid;
        int id = 0;
        for (int r = 0; r < rows; ++r) {
            const int width = shortRow >= 0 && r >= shortRow ? columns - 1 : columns;
            for (int c = 0; c < width; ++c) {
                PatchColor p;
                p.Row = r;
                p.Column = c;
                // A hole is a placeholder entry, or no entry at all on odd rows.
                if (holeList.contains(QStringLiteral("%1.%2").arg(r).arg(c))) {
                    if (r % 2 == 1)
                        continue;
                    p.Area = -1;
                } else {
                    p.ID = ++id;
                }
                grid.append(p);
            }
        }
        Sheet page;
        int placed = -1;
        QCOMPARE(CIODataFile::GroupPatchesIntoAreas(&page, grid, SheetLayout{rows, columns}, kGeometry, shortRow, &placed),
                 expected);
        QCOMPARE(placed, id);
        QCOMPARE(page.PatchCount, id);
        QStringList got;
        int p = 0;
        for (int a = 0; a < page.AreaCount; ++a) {
            const ChartDefinitionData::AreaCounts &counts = page.Areas[a];
            const AreaPlacement &place = page.Placements[a];
            const int firstColumn = (place.LeftTopX - kGeometry.LeftTopX) / kGeometry.PatchWidthGap;
            const int firstRow = (place.LeftTopY - kGeometry.LeftTopY) / kGeometry.PatchHeightGap;
            got << QStringLiteral("%1x%2@%3.%4").arg(counts.RowCount).arg(counts.ColumnCount).arg(firstRow).arg(firstColumn);
            QCOMPARE(counts.PatchCount, counts.RowCount * counts.ColumnCount);
            // Each patch keeps its place on the page: area origin plus its row and column.
            for (int i = 0; i < counts.PatchCount; ++i, ++p) {
                const PatchColor &patch = page.Patches[p];
                QCOMPARE(patch.Area, a);
                const PatchColor *source = std::find_if(grid.cbegin(), grid.cend(),
                                                        [&patch](const PatchColor &g) { return g.ID == patch.ID; });
                QCOMPARE(source->Row, firstRow + patch.Row);
                QCOMPARE(source->Column, firstColumn + patch.Column);
            }
        }
        QCOMPARE(got.join(QLatin1Char(',')), areas);
    }

    // One row of single patches between gaps: every patch is a run of its own.
    void groupingAreaLimit_data()
    {
        QTest::addColumn<int>("patches");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("placed");
        QTest::newRow("50 runs") << 50 << 0 << 50;
        QTest::newRow("51 runs") << 51 << int(CIODataFile::kTooManyAreas) << 50;
    }
    void groupingAreaLimit()
    {
        QFETCH(int, patches);
        QFETCH(int, expected);
        QFETCH(int, placed);
        PatchList grid;
        for (int i = 0; i < patches; ++i) {
            PatchColor p;
            p.ID = i + 1;
            p.Column = 2 * i;
            grid.append(p);
        }
        Sheet page;
        int got = -1;
        QCOMPARE(CIODataFile::GroupPatchesIntoAreas(&page, grid, SheetLayout{1, 2 * patches - 1}, kGeometry, -1, &got),
                 expected);
        QCOMPARE(got, placed);
        QCOMPARE(page.AreaCount, 50);
    }

    // The builders copy the page template into every page; a template the document store could not read back
    // (its image sizes without bytes, too many clip areas) gives no chart.
    void unstorableTemplate_data()
    {
        QTest::addColumn<bool>("pageByPage");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("expected");
        for (bool pageByPage : {false, true}) {
            const int failure = pageByPage ? CIODataFile::PageBuildFailed : CIODataFile::ColumnBuildFailed;
            const char *builder = pageByPage ? "page by page" : "by columns";
            QTest::addRow("%s, zero template", builder) << pageByPage << 0 << 0;
            QTest::addRow("%s, image sizes without bytes", builder) << pageByPage << 1 << failure;
            QTest::addRow("%s, 51 clip areas", builder) << pageByPage << 2 << failure;
        }
    }
    void unstorableTemplate()
    {
        QFETCH(bool, pageByPage);
        QFETCH(int, fault);
        QFETCH(int, expected);
        TestHost host;
        CIODataFile file(&host);
        Sheet page;
        page.Width = 2800;
        page.Height = 3400;
        if (fault == 1) {
            page.ImageWidth = 10;
            page.ImageHeight = 10;
            page.BitPerPixel = 8;
        } else if (fault == 2) {
            page.ClipAreaCount = 51;
        }
        ChartGuard chart;
        const PatchList patches = Patches(12);
        const int built = pageByPage
                              ? file.BuildSheetsPageByPage(&chart.chart, patches, 1, {4, 3}, kGeometry, page)
                              : file.BuildSheetsByColumns(&chart.chart, patches, 1, {4, 3}, kGeometry, page, false);
        QCOMPARE(built, expected);
    }

    void dispatch_data()
    {
        QTest::addColumn<int>("fileType");
        QTest::addColumn<int>("expected");
        QTest::newRow("xml") << 0 << 70001;
        QTest::newRow("list") << 1 << 70001;
        QTest::newRow("cxf") << 2 << 70001;
        QTest::newRow("cgats") << 3 << 70018;
        QTest::newRow("unknown") << 4 << 0;
        QTest::newRow("negative") << -1 << 0;
    }
    void dispatch()
    {
        QFETCH(int, fileType);
        QFETCH(int, expected);
        TestHost host;
        CIODataFile file(&host);
        ChartGuard chart;
        chart.chart.Recog = 3;
        chart.chart.ChartName = QStringLiteral("kept");
        int request = 0;
        int count = 0;
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing.file"));

        // The trace line goes to standard output; catch it in a file.
        const QString capture = dir.filePath(QStringLiteral("stdout.txt"));
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        FILE *target = std::fopen(capture.toLocal8Bit().constData(), "w");
        QVERIFY(target);
        dup2(fileno(target), STDOUT_FILENO);
        const int result = file.ImportChartDefinition(&chart.chart, &request, &count, missing, fileType);
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        std::fclose(target);

        QCOMPARE(result, expected);
        QCOMPARE(request, 0);
        QCOMPARE(count, 0);
        QFile out(capture);
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QByteArray line = out.readAll();
        if (expected == 0) {
            QCOMPARE(line, QByteArray("Recog Mode: 3\n"));
            QCOMPARE(chart.chart.ChartName, QStringLiteral("kept"));
        } else {
            QVERIFY(line.startsWith("Recog Mode: "));
        }
    }
};

QTEST_GUILESS_MAIN(TestChartBuilders)
#include "test_chartbuilders.moc"
