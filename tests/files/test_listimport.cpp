// Chart import from a comma-separated list: header rules, value checks and the page layout.

#include "testhost.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using ChartDefinitionData::Sheet;

QByteArray Generated(int n)
{
    QByteArray text = "SAMPLE_ID,RGB_R,RGB_G,RGB_B\n";
    for (int i = 1; i <= n; ++i)
        text += QByteArray::number(i) + "," + QByteArray::number(i % 256) + ",0,255\n";
    return text;
}

} // namespace

class TestListImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Varemo")); }

    void import_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("a4"); // first paper size A4 instead of the table's
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("format");

        const QByteArray rgb = "SAMPLE_ID,RGB_R,RGB_G,RGB_B\n";
        const QByteArray cmyk = "SAMPLE_ID,CMYK_C,CMYK_M,CMYK_Y,CMYK_K\n";
        QTest::newRow("two RGB patches") << rgb + "1,255,0,0\n2,0,128,255\n" << false << 0 << "1x2" << 1;
        QTest::newRow("CR LF line ends") << rgb + "1,255,0,0\r\n2,0,128,255\r\n" << false << 0 << "1x2" << 1;
        QTest::newRow("CR line ends") << QByteArray(rgb).replace('\n', '\r') + "1,255,0,0\r2,0,128,255" << false << 0
                                      << "1x2" << 1;
        QTest::newRow("no final line end") << rgb + "1,255,0,0\n2,0,128,255" << false << 0 << "1x2" << 1;
        QTest::newRow("empty line at the end") << rgb + "1,255,0,0\n2,0,128,255\n\n" << false << 70011 << "" << 0;
        QTest::newRow("empty line between") << rgb + "1,255,0,0\n\n2,0,128,255\n" << false << 70011 << "" << 0;
        QTest::newRow("header only") << rgb << false << 70008 << "" << 0;
        QTest::newRow("empty file") << QByteArray() << false << 70008 << "" << 0;
        QTest::newRow("R, G, B names") << QByteArray("SAMPLE_ID,R,G,B\n1,2,3,4\n") << false << 70008 << "" << 0;
        QTest::newRow("SAMPLE_ID not first") << QByteArray("RGB_R,SAMPLE_ID,RGB_G,RGB_B\n1,2,3,4\n") << false << 70008
                                             << "" << 0;
        QTest::newRow("RGB incomplete") << QByteArray("SAMPLE_ID,RGB_R,RGB_G,NAME\n1,2,3,x\n") << false << 70008 << ""
                                        << 0;
        QTest::newRow("RGB in any order, other fields") << QByteArray("SAMPLE_ID,NAME,RGB_B,RGB_R,RGB_G,X\n7,a,3,1,2,y\n")
                                                        << false << 0 << "1x1" << 1;
        QTest::newRow("RGB then CMYK reads CMYK")
            << QByteArray("SAMPLE_ID,RGB_R,RGB_G,RGB_B,CMYK_C,CMYK_M,CMYK_Y,CMYK_K\n1,255,255,255,10,20,30,40\n") << false
            << 0 << "1x1" << 2;
        QTest::newRow("further RGB name after a complete set")
            << QByteArray("SAMPLE_ID,RGB_R,RGB_G,RGB_B,RGB_X,RGB_R\n1,1,2,3,x,9\n") << false << 0 << "1x1" << 1;
        QTest::newRow("CMYK incomplete") << QByteArray("SAMPLE_ID,CMYK_C,CMYK_M,CMYK_Y\n1,2,3,4\n") << false << 70008
                                         << "" << 0;
        QTest::newRow("RGB 255.5") << rgb + "1,255.5,0,0\n" << false << 70008 << "" << 0;
        QTest::newRow("CMYK 100.1") << cmyk + "1,100.1,0,0,0\n" << false << 70008 << "" << 0;
        QTest::newRow("CMYK -0.5") << cmyk + "1,0,-0.5,0,0\n" << false << 70008 << "" << 0;
        QTest::newRow("value abc") << rgb + "1,abc,0,0\n" << false << 70011 << "" << 0;
        QTest::newRow("value nan") << rgb + "1,nan,0,0\n" << false << 70011 << "" << 0;
        QTest::newRow("value inf") << rgb + "1,0,inf,0\n" << false << 70011 << "" << 0;
        QTest::newRow("ID 0") << rgb + "0,1,2,3\n" << false << 70008 << "" << 0;
        QTest::newRow("ID 10000") << rgb + "10000,1,2,3\n" << false << 70008 << "" << 0;
        QTest::newRow("ID 9999") << rgb + "9999,1,2,3\n" << false << 0 << "1x1" << 1;
        QTest::newRow("ID abc") << rgb + "abc,1,2,3\n" << false << 70011 << "" << 0;
        QTest::newRow("ID 1.5") << rgb + "1.5,1,2,3\n" << false << 70011 << "" << 0;
        QTest::newRow("field missing") << rgb + "1,1,2\n" << false << 70008 << "" << 0;
        QTest::newRow("comma is always a separator") << rgb + "1,12,5,0\n" << false << 0 << "1x1" << 1;
        QTest::newRow("40 patches on A4") << Generated(40) << true << 0 << "1x33,1x7" << 1;
        QTest::newRow("1452 patches on A4") << Generated(1452) << true << 0 << "44x33" << 1;
        QTest::newRow("1453 patches on A4") << Generated(1453) << true << 0 << "44x33|1x1" << 1;
        QTest::newRow("40 patches, first paper size") << Generated(40) << false << 0 << "1x34,1x6" << 1;
    }
    void import()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, a4);
        QFETCH(int, expected);
        QFETCH(QString, layout);
        QFETCH(int, format);
        TestHost host;
        if (a4) {
            host.firstPageWidth = 21000;
            host.firstPageHeight = 29700;
        }
        CIODataFile file(&host);
        QTemporaryDir dir;
        const QString path = WriteFixture(dir, QStringLiteral("list.csv"), text);
        ChartGuard chart;
        QCOMPARE(file.ImportListChart(&chart.chart, path), expected);
        if (expected != 0)
            return;
        QCOMPARE(AreaGrid(chart.chart), layout);
        QCOMPARE(chart.chart.Recog, 4);
        QCOMPARE(chart.chart.Diameter, 1);
        QCOMPARE(chart.chart.UNIT, 0);
        int total = 0;
        for (int s = 0; s < chart.chart.SheetCount; ++s) {
            const Sheet &sheet = chart.chart.Sheets[s];
            QCOMPARE(sheet.Width, host.GetPageSizeWidth(0));
            QCOMPARE(sheet.Height, host.GetPageSizeHeight(0));
            QCOMPARE(sheet.Placements[0].LeftTopX, 400);
            QCOMPARE(sheet.Placements[0].LeftTopY, 0);
            QCOMPARE(sheet.Placements[0].PatchWidthGap, 600);
            if (sheet.AreaCount == 2) {
                QCOMPARE(sheet.Placements[1].LeftTopX, 400);
                QCOMPARE(sheet.Placements[1].LeftTopY, 600 * sheet.Areas[0].RowCount);
            }
            for (int p = 0; p < sheet.PatchCount; ++p) {
                QCOMPARE(sheet.Patches[p].ColorFormat, format);
                // Row by row, left to right, in file order.
                QCOMPARE(sheet.Patches[p].Column, p < sheet.Areas[0].PatchCount ? p % sheet.Areas[0].ColumnCount
                                                                                 : p - sheet.Areas[0].PatchCount);
            }
            total += sheet.PatchCount;
        }
        QCOMPARE(chart.chart.ChartPatchCount, total);
    }

    void values()
    {
        TestHost host;
        CIODataFile file(&host);
        QTemporaryDir dir;
        ChartGuard chart;
        QCOMPARE(file.ImportListChart(&chart.chart, WriteFixture(dir, QStringLiteral("v.csv"),
                                                                 "SAMPLE_ID,X,CMYK_K,CMYK_Y,CMYK_M,CMYK_C\n"
                                                                 "12,x,4.25,3,2,1\n9999,y,0,0,0,100\n")),
                 0);
        const ChartDefinitionData::PatchColor &first = chart.chart.Sheets[0].Patches[0];
        QCOMPARE(first.ID, 12);
        QCOMPARE(first.ColorValue[0], 1.0f);
        QCOMPARE(first.ColorValue[1], 2.0f);
        QCOMPARE(first.ColorValue[2], 3.0f);
        QCOMPARE(first.ColorValue[3], 4.25f);
        QCOMPARE(chart.chart.Sheets[0].Patches[1].ID, 9999);
        QCOMPARE(chart.chart.Sheets[0].Patches[1].ColorValue[0], 100.0f);
    }

    void missingFile()
    {
        TestHost host;
        CIODataFile file(&host);
        ChartGuard chart;
        QCOMPARE(file.ImportListChart(&chart.chart, QStringLiteral("/nonexistent/list.csv")), 70001);
    }
};

QTEST_GUILESS_MAIN(TestListImport)
#include "test_listimport.moc"
