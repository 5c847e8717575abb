// The program's own chart XML: vocabularies, writing and reading back, every reader code, hostile files and
// the writer's refusals.

#include "testhost.h"
#include "tests/app/chartcompare.h"
#include "tests/app/docfixtures.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <clocale>
#include <tuple>
#include <sys/resource.h>

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

// A chart whose patches are stored area by area, row by row, column by column, values with two decimals.
void BuildChart(ChartDefinitionDataSheets *chart, int format, int pages, bool image, int clipAreas)
{
    const float maximum = format == ChartDefinitionData::FormatRGB ? 255.0f : 100.0f;
    chart->Kind = ChartDefinitionData::KindUneven;
    chart->Diameter = 1;
    chart->UUID = QStringLiteral("{6b1c9a52-0d3e-4c1a-9f35-2b7d1f0e8a11}");
    chart->ChartName = QStringLiteral("Chart \"A\" <1> & ü");
    chart->CreateTime = QStringLiteral("2024/03/05 06:07:08");
    chart->Barcode = 1;
    chart->Recog = ChartDefinitionData::RecogMatrix;
    chart->SheetCount = pages;
    chart->Sheets = NewChartSheets(size_t(pages));
    int id = 1;
    for (int s = 0; s < pages; ++s) {
        Sheet &sheet = chart->Sheets[s];
        sheet.Width = 21000;
        sheet.Height = 29700;
        sheet.BarcodeLeftTopX = 1200 + s;
        sheet.BarcodeLeftTopY = 800;
        sheet.BarcodeWidth = 2500;
        sheet.BarcodeHeight = 2500;
        sheet.AreaCount = 2;
        sheet.Areas[0] = {2, 3, 6};
        sheet.Areas[1] = {1, 2, 2};
        sheet.Placements[0] = {500, 4000, 600, 600, 650, 700};
        sheet.Placements[1] = {2600, 4000, 800, 800, 800, 800};
        sheet.PatchCount = 8;
        sheet.Patches = NewChartPatches(8);
        int p = 0;
        for (int a = 0; a < 2; ++a) {
            for (int r = 0; r < sheet.Areas[a].RowCount; ++r) {
                for (int c = 0; c < sheet.Areas[a].ColumnCount; ++c) {
                    PatchColor &patch = sheet.Patches[p++];
                    patch.ID = id;
                    patch.Area = a;
                    patch.Row = r;
                    patch.Column = c;
                    patch.ColorFormat = format;
                    for (int k = 0; k < format + 2; ++k)
                        patch.ColorValue[k] = float((id * 3737 + k * 1301) % int(maximum * 100 + 1) / 100.0);
                    ++id;
                }
            }
        }
        sheet.Patches[0].ColorValue[0] = maximum;
        sheet.Patches[1].ColorValue[0] = 37.5f;
        if (image) {
            sheet.HasImage = 1;
            sheet.ImageWidth = 10;
            sheet.ImageHeight = 10;
            sheet.BitPerPixel = 8;
            sheet.ImageDPI = 150;
            sheet.ImageBytes = NewImageBytes(100);
            for (int b = 0; b < 100; ++b)
                sheet.ImageBytes[b] = static_cast<unsigned char>(b * 7 + s);
            sheet.ClipAreaCount = clipAreas;
            for (int k = 0; k < clipAreas; ++k)
                sheet.ClipAreas[k] = {k, k + 1, k + 2, k + 3, k + 4, k + 5, k + 6, -k - 7};
        }
    }
    chart->ChartPatchCount = 8 * pages;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first line in which two files differ, for a readable failure.
QString FirstDifference(const QByteArray &ours, const QByteArray &expected)
{
    const QList<QByteArray> a = ours.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
        const QByteArray x = a.value(i);
        const QByteArray y = b.value(i);
        if (x != y)
            return QStringLiteral("line %1\n  written:  %2\n  expected: %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(x.trimmed()), QString::fromUtf8(y.trimmed()));
    }
    return QString();
}

// xmllint output, or a failure naming the package.
bool RunXmllint(const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.start(QStringLiteral("xmllint"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return false;
    *output = process.readAllStandardOutput();
    return process.exitCode() == 0;
}

// A valid one-page RGB chart; the reader rows replace one piece of it.
const char *const kBaseChart = R"(<?xml version="1.0" encoding="UTF-8"?>
<Data Application="Varemo" Identifier="ChartDefinition" Version="05.00">
  <Chart Kind="Normal" SheetCount="1" ChartPatchCount="2" ChartName="n" CreateTime="t" UUID="u" UNIT="0" Barcode="1" Recog="Auto">
    <Sheet Page="1" AreaCount="1" PatchCount="2" Width="21000" Height="29700" BarcodeLeftTopX="400" BarcodeLeftTopY="0" BarcodeWidth="2000" BarcodeHeight="2000">
      <Area Number="1" PatchCount="2" RowCount="1" ColumnCount="2" LeftTopX="500" LeftTopY="600" PatchWidth="600" PatchHeight="600" PatchWidthGap="600" PatchHeightGap="600">
        <Patch ID="1" Column="1" Row="1" ColorFormat="RGB" ColorValue1="25500" ColorValue2="0" ColorValue3="1250"/>
        <Patch ID="2" Column="2" Row="1" ColorFormat="RGB" ColorValue1="0" ColorValue2="12800" ColorValue3="0"/>
      </Area>
    </Sheet>
  </Chart>
</Data>
)";

QByteArray ImageElement(int width, int height, int bits, int bytes, const char *clips = "")
{
    const QByteArray data(bytes, '\x5a');
    return QByteArray("<Image Width=\"") + QByteArray::number(width) + "\" Height=\"" + QByteArray::number(height) +
           "\" BitPerPixel=\"" + QByteArray::number(bits) + "\" ImageDPI=\"300\" " + clips + ">" + data.toBase64() +
           "</Image>";
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestChartXml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Varemo"));
        QVERIFY(m_dir.isValid());
    }

    void textToValue_data()
    {
        QTest::addColumn<int>("vocabulary"); // 0 kind, 1 recognition, 2 colour, 3 colour with the extra-ink form
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("Normal") << 0 << "Normal" << 0;
        QTest::newRow("Density") << 0 << "Density" << 1;
        QTest::newRow("Uneven") << 0 << "Uneven" << 2;
        QTest::newRow("normal") << 0 << "normal" << -1;
        QTest::newRow("kind empty") << 0 << "" << -1;
        QTest::newRow("Auto") << 1 << "Auto" << 0;
        QTest::newRow("Definition") << 1 << "Definition" << 1;
        QTest::newRow("Coordinate") << 1 << "Coordinate" << 2;
        QTest::newRow("Matrix") << 1 << "Matrix" << 3;
        QTest::newRow("Combine") << 1 << "Combine" << 4;
        QTest::newRow("auto") << 1 << "auto" << 4;
        QTest::newRow("RGB") << 2 << "RGB" << 1;
        QTest::newRow("rgb") << 2 << "rgb" << 1;
        QTest::newRow("CMY") << 2 << "CMY" << 1;
        QTest::newRow("CMYK") << 2 << "CMYK" << 2;
        QTest::newRow("cmyk") << 2 << "cmyk" << 2;
        QTest::newRow("5COLOR") << 2 << "5COLOR" << 3;
        QTest::newRow("6color") << 2 << "6color" << 4;
        QTest::newRow("7COLOR") << 2 << "7COLOR" << 5;
        QTest::newRow("8color") << 2 << "8color" << 6;
        QTest::newRow("4COLOR") << 2 << "4COLOR" << 0;
        QTest::newRow("8Color") << 2 << "8Color" << 0;
        QTest::newRow("Rgb") << 2 << "Rgb" << 0;
        QTest::newRow("CMYK+3 plain") << 2 << "CMYK+3" << 0;
        QTest::newRow("CMYK+3") << 3 << "CMYK+3" << 5;
        QTest::newRow("CMYK+4") << 3 << "CMYK+4" << 6;
        QTest::newRow("plus RGB") << 3 << "RGB" << 1;
        QTest::newRow("plus cmyk") << 3 << "cmyk" << 2;
        QTest::newRow("plus non-digit") << 3 << "CMYKOG" << 2;
        QTest::newRow("plus 8COLOR") << 3 << "8COLOR" << 2;
        QTest::newRow("plus empty") << 3 << "" << 0;
    }
    void textToValue()
    {
        QFETCH(int, vocabulary);
        QFETCH(QString, text);
        QFETCH(int, expected);
        int value = 0;
        switch (vocabulary) {
        case 0:
            value = CIODataFile::ChartKindFromText(text);
            break;
        case 1:
            value = CIODataFile::RecogModeFromText(text);
            break;
        default:
            value = CIODataFile::ColorFormatFromText(text, vocabulary == 3);
            break;
        }
        QCOMPARE(value, expected);
    }

    void valueToText_data()
    {
        QTest::addColumn<int>("vocabulary");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("expected");
        const char *kinds[] = {"Normal", "Density", "Uneven"};
        for (int v = 0; v < 3; ++v)
            QTest::addRow("kind %d", v) << 0 << v << kinds[v];
        QTest::newRow("kind 3") << 0 << 3 << "";
        QTest::newRow("kind -1") << 0 << -1 << "";
        const char *modes[] = {"Auto", "Definition", "Coordinate", "Matrix", "Combine", "Combine"};
        for (int v = 0; v < 6; ++v)
            QTest::addRow("recog %d", v) << 1 << v << modes[v];
        const char *formats[] = {"", "RGB", "CMYK", "5COLOR", "6COLOR", "7COLOR", "8COLOR", ""};
        for (int v = 0; v < 8; ++v)
            QTest::addRow("format %d", v) << 2 << v << formats[v];
    }
    void valueToText()
    {
        QFETCH(int, vocabulary);
        QFETCH(int, value);
        QFETCH(QString, expected);
        const QString text = vocabulary == 0   ? CIODataFile::ChartKindToText(value)
                             : vocabulary == 1 ? CIODataFile::RecogModeToText(value)
                                               : CIODataFile::ColorFormatToText(value);
        QCOMPARE(text, expected);
        // Every keyword written reads back as its value.
        if (!expected.isEmpty() && !(vocabulary == 1 && value > 4)) {
            const int back = vocabulary == 0   ? CIODataFile::ChartKindFromText(text)
                             : vocabulary == 1 ? CIODataFile::RecogModeFromText(text)
                                               : CIODataFile::ColorFormatFromText(text, false);
            QCOMPARE(back, value);
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("image");
        QTest::addColumn<int>("clipAreas");
        QTest::newRow("RGB") << 1 << 1 << false << 0;
        QTest::newRow("CMYK, image, clip areas") << 2 << 2 << true << 3;
        QTest::newRow("8COLOR, image without clip areas") << 6 << 1 << true << 0;
        QTest::newRow("5COLOR, three pages") << 3 << 3 << false << 0;
    }
    void roundTrip()
    {
        QFETCH(int, format);
        QFETCH(int, pages);
        QFETCH(bool, image);
        QFETCH(int, clipAreas);
        ChartGuard written;
        BuildChart(&written.chart, format, pages, image, clipAreas);
        const QString path = m_dir.filePath(QStringLiteral("roundtrip.xml"));
        QCOMPARE(m_file.WriteChartDefinition(path, &written.chart), 0);

        const QByteArray bytes = ReadAll(path);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Data "));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(bytes.contains("\r\n  <Chart "));
        QVERIFY(bytes.contains("\r\n    <Sheet "));
        QVERIFY(bytes.contains("\r\n      <Area "));
        QVERIFY(bytes.contains("\r\n        <Patch "));
        QByteArray ignored;
        QVERIFY2(RunXmllint({QStringLiteral("--noout"), path}, &ignored),
                 "xmllint refused the file (or is missing: install libxml2-utils)");

        ChartGuard read;
        int kind = 0;
        int patchCount = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&read.chart, &kind, &patchCount, path), 0);
        QCOMPARE(kind, 6);
        QCOMPARE(patchCount, 0);
        fixture::CompareCharts(read.chart, written.chart);
    }

    // The format itself, byte for byte, pinned by a file checked in with the tests: attributes in the order the
    // format lists them, so one chart gives the same file in every run (whatever QT_HASH_SEED says).
    void goldenFile()
    {
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatCMYK, 1, true, 2);
        const QString path = m_dir.filePath(QStringLiteral("golden.xml"));
        QCOMPARE(m_file.WriteChartDefinition(path, &chart.chart), 0);
        const QByteArray golden = ReadAll(QStringLiteral(VAREMO_FILES_TEST_DATA "/chart_golden.xml"));
        QVERIFY(!golden.isEmpty());
        const QByteArray ours = ReadAll(path);
        QVERIFY2(ours == golden, qPrintable(FirstDifference(ours, golden)));
        QByteArray ignored;
        QVERIFY2(RunXmllint({QStringLiteral("--noout"), path}, &ignored), "install libxml2-utils");
    }

    // The same record written under a German locale gives the same file.
    void germanLocale()
    {
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatCMYK, 1, true, 1);
        const QString plainPath = m_dir.filePath(QStringLiteral("plain.xml"));
        QCOMPARE(m_file.WriteChartDefinition(plainPath, &chart.chart), 0);

        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German));
        const bool numeric = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        const QString germanPath = m_dir.filePath(QStringLiteral("german.xml"));
        const int written = m_file.WriteChartDefinition(germanPath, &chart.chart);
        ChartGuard read;
        int kind = 0;
        int count = 0;
        const int readBack = m_file.ImportXmlChartDefinition(&read.chart, &kind, &count, germanPath);
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(before);
        QVERIFY2(numeric, "locale de_DE.UTF-8 missing: install locales and run locale-gen");
        QCOMPARE(written, 0);
        QCOMPARE(readBack, 0);
        QByteArray a;
        QByteArray b;
        QVERIFY(RunXmllint({QStringLiteral("--c14n"), plainPath}, &a));
        QVERIFY(RunXmllint({QStringLiteral("--c14n"), germanPath}, &b));
        QCOMPARE(a, b);
        fixture::CompareCharts(read.chart, chart.chart);
    }

    void readerCodes_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("expectedKind");
        QTest::newRow("valid") << QByteArray() << QByteArray() << 0 << 6;
        QTest::newRow("version 5.0") << QByteArray("\"05.00\"") << QByteArray("\"5.0\"") << 0 << 6;
        QTest::newRow("version 5") << QByteArray("\"05.00\"") << QByteArray("\"5\"") << 70005 << 6;
        QTest::newRow("version 5.0.1") << QByteArray("\"05.00\"") << QByteArray("\"5.0.1\"") << 70005 << 6;
        QTest::newRow("version 5.x") << QByteArray("\"05.00\"") << QByteArray("\"5.x\"") << 70011 << 6;
        QTest::newRow("version 1.0 ignores barcode attributes")
            << QByteArray("Version=\"05.00\">\n  <Chart Kind=\"Normal\" SheetCount=\"1\" ChartPatchCount=\"2\" ChartName=\"n\" "
                          "CreateTime=\"t\" UUID=\"u\" UNIT=\"0\" Barcode=\"1\"")
            << QByteArray("Version=\"1.0\">\n  <Chart Kind=\"Normal\" SheetCount=\"1\" ChartPatchCount=\"2\" ChartName=\"n\" "
                          "CreateTime=\"t\" UUID=\"u\" UNIT=\"0\" Barcode=\"x\"")
            << 0 << 6;
        QTest::newRow("version 1.0 barcode rectangle")
            << QByteArray("\"05.00\"") << QByteArray("\"1.0\"") << 0 << 6;
        QTest::newRow("other application") << QByteArray("Application=\"Varemo\"")
                                           << QByteArray("Application=\"Other\"") << 70004 << -1;
        QTest::newRow("other identifier") << QByteArray("Identifier=\"ChartDefinition\"")
                                          << QByteArray("Identifier=\"Measurement\"") << 70004 << -1;
        QTest::newRow("unknown kind") << QByteArray("Kind=\"Normal\"") << QByteArray("Kind=\"normal\"") << 70005 << 6;
        QTest::newRow("SheetCount 0") << QByteArray("SheetCount=\"1\"") << QByteArray("SheetCount=\"0\"") << 70005 << 6;
        QTest::newRow("SheetCount text") << QByteArray("SheetCount=\"1\"") << QByteArray("SheetCount=\"one\"") << 70011
                                         << 6;
        QTest::newRow("ChartPatchCount off") << QByteArray("ChartPatchCount=\"2\"") << QByteArray("ChartPatchCount=\"3\"")
                                             << 70005 << 6;
        QTest::newRow("UNIT missing") << QByteArray("UNIT=\"0\"") << QByteArray("UNITS=\"0\"") << 70011 << 6;
        QTest::newRow("Barcode text") << QByteArray("Barcode=\"1\"") << QByteArray("Barcode=\"yes\"") << 70011 << 6;
        // The document store reads 0 or 1 only; a chart it could not read back is no chart to import.
        QTest::newRow("Barcode 2") << QByteArray("Barcode=\"1\"") << QByteArray("Barcode=\"2\"") << 70005 << 6;
        QTest::newRow("Barcode -1") << QByteArray("Barcode=\"1\"") << QByteArray("Barcode=\"-1\"") << 70005 << 6;
        QTest::newRow("Page text") << QByteArray("Page=\"1\"") << QByteArray("Page=\"first\"") << 70011 << 6;
        QTest::newRow("Page 0") << QByteArray("Page=\"1\"") << QByteArray("Page=\"0\"") << 70005 << 6;
        QTest::newRow("Width not an integer") << QByteArray("Width=\"21000\"") << QByteArray("Width=\"210.5\"") << 70005
                                              << 6;
        QTest::newRow("Height not an integer") << QByteArray("Height=\"29700\"") << QByteArray("Height=\"297.5\"")
                                               << 70011 << 6;
        QTest::newRow("barcode attribute text") << QByteArray("BarcodeWidth=\"2000\"") << QByteArray("BarcodeWidth=\"\"")
                                                << 70011 << 6;
        QTest::newRow("Column = ColumnCount + 1") << QByteArray("Column=\"2\"") << QByteArray("Column=\"3\"") << 70005
                                                  << 6;
        QTest::newRow("Row beyond") << QByteArray("Row=\"1\" ColorFormat=\"RGB\" ColorValue1=\"0\"")
                                    << QByteArray("Row=\"2\" ColorFormat=\"RGB\" ColorValue1=\"0\"") << 70005 << 6;
        QTest::newRow("RGB 25501") << QByteArray("25500") << QByteArray("25501") << 70005 << 6;
        QTest::newRow("negative value") << QByteArray("ColorValue3=\"1250\"") << QByteArray("ColorValue3=\"-1\"")
                                        << 70005 << 6;
        QTest::newRow("value text") << QByteArray("ColorValue3=\"1250\"") << QByteArray("ColorValue3=\"12.5\"") << 70011
                                    << 6;
        QTest::newRow("value missing") << QByteArray(" ColorValue3=\"1250\"") << QByteArray() << 70011 << 6;
        QTest::newRow("RGB then CMYK")
            << QByteArray("ColorFormat=\"RGB\" ColorValue1=\"0\" ColorValue2=\"12800\" ColorValue3=\"0\"")
            << QByteArray("ColorFormat=\"CMYK\" ColorValue1=\"0\" ColorValue2=\"100\" ColorValue3=\"0\" ColorValue4=\"0\"")
            << 70005 << 6;
        QTest::newRow("format 4COLOR") << QByteArray("ColorFormat=\"RGB\" ColorValue1=\"0\"")
                                       << QByteArray("ColorFormat=\"4COLOR\" ColorValue1=\"0\"") << 70005 << 6;
        QTest::newRow("area tally off") << QByteArray("<Area Number=\"1\" PatchCount=\"2\"")
                                        << QByteArray("<Area Number=\"1\" PatchCount=\"1\"") << 70005 << 6;
        QTest::newRow("AreaCount off") << QByteArray("AreaCount=\"1\"") << QByteArray("AreaCount=\"2\"") << 70005 << 6;
        QTest::newRow("ID text") << QByteArray("ID=\"2\"") << QByteArray("ID=\"B\"") << 70011 << 6;
        // Hostile values: refused before anything is sized from them.
        QTest::newRow("AreaCount 51") << QByteArray("AreaCount=\"1\"") << QByteArray("AreaCount=\"51\"") << 70005 << 6;
        QTest::newRow("Column 0") << QByteArray("Column=\"1\"") << QByteArray("Column=\"0\"") << 70005 << 6;
        QTest::newRow("Row 0") << QByteArray("Row=\"1\" ColorFormat=\"RGB\" ColorValue1=\"25500\"")
                               << QByteArray("Row=\"0\" ColorFormat=\"RGB\" ColorValue1=\"25500\"") << 70005 << 6;
        QTest::newRow("Column -2147483648") << QByteArray("Column=\"1\"") << QByteArray("Column=\"-2147483648\"")
                                            << 70005 << 6;
        QTest::newRow("UNIT 2") << QByteArray("UNIT=\"0\"") << QByteArray("UNIT=\"2\"") << 70005 << 6;
        QTest::newRow("SheetCount INT_MAX") << QByteArray("SheetCount=\"1\"") << QByteArray("SheetCount=\"2147483647\"")
                                            << 70005 << 6;
        QTest::newRow("page PatchCount INT_MAX")
            << QByteArray("AreaCount=\"1\" PatchCount=\"2\"") << QByteArray("AreaCount=\"1\" PatchCount=\"2147483647\"")
            << 70005 << 6;
        QTest::newRow("page PatchCount beyond int32")
            << QByteArray("AreaCount=\"1\" PatchCount=\"2\"") << QByteArray("AreaCount=\"1\" PatchCount=\"4000000000\"")
            << 70005 << 6;
        QTest::newRow("page PatchCount negative")
            << QByteArray("AreaCount=\"1\" PatchCount=\"2\"") << QByteArray("AreaCount=\"1\" PatchCount=\"-2\"") << 70011
            << 6;
        QTest::newRow("cells above bound") << QByteArray("RowCount=\"1\" ColumnCount=\"2\"")
                                           << QByteArray("RowCount=\"1001\" ColumnCount=\"1000\"") << 70005 << 6;
        QTest::newRow("cells overflow") << QByteArray("RowCount=\"1\" ColumnCount=\"2\"")
                                        << QByteArray("RowCount=\"2147483647\" ColumnCount=\"2147483647\"") << 70005 << 6;
        QTest::newRow("RowCount negative") << QByteArray("RowCount=\"1\" ColumnCount=\"2\"")
                                           << QByteArray("RowCount=\"-1\" ColumnCount=\"2\"") << 70005 << 6;
    }
    void readerCodes()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, expected);
        QFETCH(int, expectedKind);
        QByteArray xml(kBaseChart);
        if (!from.isEmpty()) {
            QVERIFY2(xml.contains(from), from.constData());
            xml.replace(from, to);
        }
        const QString path = WriteFixture(m_dir, QStringLiteral("codes.xml"), xml);
        ChartGuard chart;
        int kind = -1;
        int patchCount = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&chart.chart, &kind, &patchCount, path), expected);
        QCOMPARE(kind, expectedKind);
        if (expected == 0) {
            QCOMPARE(chart.chart.Diameter, 1);
            QCOMPARE(chart.chart.Sheets[0].Patches[0].ColorValue[0], 255.0f);
            QCOMPARE(chart.chart.Sheets[0].Patches[0].ColorValue[2], 12.5f);
            QCOMPARE(chart.chart.Sheets[0].Patches[1].Column, 1);
            const bool withBarcode = !xml.contains("Version=\"1.0\"");
            QCOMPARE(chart.chart.Barcode, withBarcode ? 1 : 0);
            QCOMPARE(chart.chart.Sheets[0].BarcodeWidth, withBarcode ? 2000 : 0);
        }
    }

    // Whole documents that a one-piece replacement cannot express.
    void readerDocuments_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("expectedKind");
        QByteArray base(kBaseChart);

        QByteArray repeated = base;
        repeated.replace("  </Chart>", "    <Sheet Page=\"1\" AreaCount=\"x\"/>\n    <Sheet Page=\"7\"/>\n  </Chart>");
        QTest::newRow("repeated page ends the loop") << repeated << 0 << 6;
        QByteArray zero = base;
        zero.replace("  </Chart>", "    <Sheet Page=\"0\" AreaCount=\"x\"/>\n  </Chart>");
        QTest::newRow("page 0 ends the loop") << zero << 0 << 6;

        QByteArray noChart = base;
        noChart.replace("<Chart ", "<Graph ").replace("</Chart>", "</Graph>");
        QTest::newRow("no Chart") << noChart << 70005 << 6;

        QByteArray image = base;
        image.replace("    </Sheet>", "      " + ImageElement(10, 10, 8, 100, "ClipAreaCount=\"0\"") + "\n    </Sheet>");
        QTest::newRow("image 10x10x8 with 100 bytes") << image << 0 << 6;
        QByteArray shortImage = base;
        shortImage.replace("    </Sheet>", ImageElement(10, 10, 8, 99, "ClipAreaCount=\"0\"") + "</Sheet>");
        QTest::newRow("image bytes off by one") << shortImage << 70005 << 6;
        QByteArray hugeImage = base;
        hugeImage.replace("    </Sheet>", ImageElement(65535, 65535, 64, 12, "ClipAreaCount=\"0\"") + "</Sheet>");
        QTest::newRow("image 65535x65535x64, short text") << hugeImage << 70005 << 6;
        QByteArray overflowImage = base;
        overflowImage.replace("    </Sheet>",
                              ImageElement(2147483647, 2147483647, 2147483647, 12, "ClipAreaCount=\"0\"") + "</Sheet>");
        QTest::newRow("image factors overflow 64 bits") << overflowImage << 70005 << 6;
        QByteArray zeroImage = base;
        zeroImage.replace("    </Sheet>", ImageElement(0, 10, 8, 0, "ClipAreaCount=\"0\"") + "</Sheet>");
        QTest::newRow("image width 0") << zeroImage << 70005 << 6;
        QByteArray clips51 = base;
        clips51.replace("    </Sheet>", ImageElement(10, 10, 8, 100, "ClipAreaCount=\"51\"") + "</Sheet>");
        QTest::newRow("ClipAreaCount 51") << clips51 << 70005 << 6;
        QByteArray clipText = base;
        clipText.replace("    </Sheet>", ImageElement(10, 10, 8, 100, "ClipAreaCount=\"one\"") + "</Sheet>");
        QTest::newRow("ClipAreaCount text") << clipText << 70005 << 6;
        QByteArray clipMissing = base;
        clipMissing.replace("    </Sheet>", ImageElement(10, 10, 8, 100, "ClipAreaCount=\"1\"") + "</Sheet>");
        QTest::newRow("clip area missing") << clipMissing << 70005 << 6;

        // An empty area after the full one still counts.
        QByteArray emptyArea = base;
        emptyArea.replace("AreaCount=\"1\"", "AreaCount=\"2\"");
        emptyArea.replace("    </Sheet>",
                          "      <Area Number=\"2\" PatchCount=\"0\" RowCount=\"0\" ColumnCount=\"0\" LeftTopX=\"0\" "
                          "LeftTopY=\"0\" PatchWidth=\"0\" PatchHeight=\"0\" PatchWidthGap=\"0\" PatchHeightGap=\"0\"/>\n"
                          "    </Sheet>");
        QTest::newRow("trailing empty area") << emptyArea << 0 << 6;

        QByteArray inch = base;
        inch.replace("UNIT=\"0\"", "UNIT=\"1\"");
        inch.replace("Width=\"21000\" Height=\"29700\"", "Width=\"8268\" Height=\"11693\"");
        inch.replace("PatchWidth=\"600\"", "PatchWidth=\"236\"");
        QTest::newRow("inch lengths") << inch << 0 << 6;
        QByteArray inchOverflow = inch;
        inchOverflow.replace("PatchWidth=\"236\"", "PatchWidth=\"2000000000\"");
        QTest::newRow("inch length overflows") << inchOverflow << 70005 << 6;

        QTest::newRow("root") << QByteArray("<?xml version=\"1.0\"?><root colorSpace=\"RGB\"/>") << 70006 << 7;
        QTest::newRow("targetdescription") << QByteArray("<targetdescription><rows>1</rows></targetdescription>")
                                           << 70007 << 8;
        QTest::newRow("cc:CxF") << QByteArray("<cc:CxF xmlns:cc=\"http://colorexchangeformat.com/CxF3-core\"/>")
                                << 70013 << 9;
        QTest::newRow("cc:CxF without declaration") << QByteArray("<cc:CxF/>") << 70013 << 9;
        QTest::newRow("other root") << QByteArray("<Chart/>") << 70004 << -1;
    }
    void readerDocuments()
    {
        QFETCH(QByteArray, xml);
        QFETCH(int, expected);
        QFETCH(int, expectedKind);
        const QString path = WriteFixture(m_dir, QStringLiteral("document.xml"), xml);
        ChartGuard chart;
        int kind = -1;
        int patchCount = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&chart.chart, &kind, &patchCount, path), expected);
        QCOMPARE(kind, expectedKind);
        if (QByteArray(QTest::currentDataTag()) == "inch lengths") {
            const Sheet &sheet = chart.chart.Sheets[0];
            QCOMPARE(chart.chart.UNIT, 0);
            QCOMPARE(sheet.Width, 21000);
            QCOMPARE(sheet.Height, 29700);
            QCOMPARE(sheet.Placements[0].PatchWidth, 600);
            QCOMPARE(sheet.Placements[0].PatchHeight, 1524); // 0.6 inch, no candidate
            QCOMPARE(sheet.Placements[0].LeftTopX, 1270);
            QCOMPARE(sheet.BarcodeWidth, 5080);
        }
        if (QByteArray(QTest::currentDataTag()) == "image 10x10x8 with 100 bytes") {
            const Sheet &sheet = chart.chart.Sheets[0];
            QCOMPARE(sheet.HasImage, 1);
            QCOMPARE(sheet.ImageBytes[99], static_cast<unsigned char>(0x5a));
            QCOMPARE(sheet.ImageDPI, 300);
        }
    }

    // Malformed and hostile files: a code, no crash, and no allocation sized by the file.
    void hostileFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty file") << QByteArray() << 70002;
        QByteArray base(kBaseChart);
        QTest::newRow("truncated mid-element") << base.left(base.indexOf("<Patch ID=\"2\"") + 20) << 70002;
        QByteArray deep = "<?xml version=\"1.0\"?>";
        for (int i = 0; i < 300; ++i)
            deep += "<a>";
        for (int i = 0; i < 300; ++i)
            deep += "</a>";
        QTest::newRow("nesting 300") << deep << 70002;
        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lollollollollollollollollollol\">\n";
        for (int i = 1; i <= 9; ++i) {
            bomb += "<!ENTITY lol" + QByteArray::number(i) + " \"";
            for (int k = 0; k < 10; ++k)
                bomb += "&lol" + (i == 1 ? QByteArray() : QByteArray::number(i - 1)) + ";";
            bomb += "\">\n";
        }
        bomb += "]>\n<Data Application=\"&lol9;\"/>";
        QTest::newRow("entity bomb") << bomb << 70002;
        QByteArray invalid = base;
        invalid.replace("ChartName=\"n\"", "ChartName=\"\xc3\x28\xff\"");
        QTest::newRow("invalid UTF-8") << invalid << 70002;
        QTest::newRow("not XML") << QByteArray("CGATS.17\nBEGIN_DATA\n") << 70002;
    }
    void hostileFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        const long before = PeakKilobytes();
        const QString path = WriteFixture(m_dir, QStringLiteral("hostile.xml"), bytes);
        ChartGuard chart;
        int kind = -1;
        int patchCount = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&chart.chart, &kind, &patchCount, path), expected);
        QCOMPARE(kind, -1);
        QVERIFY2(PeakKilobytes() - before < 128 * 1024, "a hostile file made the reader allocate a lot");
    }

    void missingFile()
    {
        ChartGuard chart;
        int kind = -1;
        int patchCount = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&chart.chart, &kind, &patchCount, m_dir.filePath("none.xml")), 70001);
        QDomDocument document;
        QCOMPARE(CIODataFile::LoadXmlDocument(m_dir.filePath("none.xml"), document), 70001);
    }

    // The writer refuses what the reader would refuse; an existing file stays as it was.
    void writerRefusal_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("patch outside its grid") << 0;
        QTest::newRow("colour format 0") << 1;
        QTest::newRow("CMYK 101") << 2;
        QTest::newRow("mixed formats") << 3;
        QTest::newRow("kind 3") << 4;
        QTest::newRow("AreaCount 51") << 5;
        QTest::newRow("counts do not add up") << 6;
        QTest::newRow("CMYK 100.006 rounds above range") << 7;
        QTest::newRow("NaN value") << 8;
        QTest::newRow("image without bytes") << 9;
        QTest::newRow("Barcode 2") << 10;
        QTest::newRow("name with a control character") << 11;
    }
    void writerRefusal()
    {
        QFETCH(int, fault);
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatCMYK, 1, true, 1);
        Sheet &sheet = chart.chart.Sheets[0];
        switch (fault) {
        case 0:
            sheet.Patches[3].Column = 3;
            break;
        case 1:
            sheet.Patches[0].ColorFormat = 0;
            break;
        case 2:
            sheet.Patches[5].ColorValue[1] = 101.0f;
            break;
        case 3:
            sheet.Patches[7].ColorFormat = ChartDefinitionData::FormatRGB;
            break;
        case 4:
            chart.chart.Kind = 3;
            break;
        case 5:
            sheet.AreaCount = 51;
            break;
        case 6:
            chart.chart.ChartPatchCount = 9;
            break;
        case 7:
            sheet.Patches[2].ColorValue[3] = 100.006f;
            break;
        case 8:
            sheet.Patches[2].ColorValue[0] = std::numeric_limits<float>::quiet_NaN();
            break;
        case 9:
            sheet.ImageBytes.reset();
            break;
        case 10:
            chart.chart.Barcode = 2;
            break;
        default:
            chart.chart.ChartName = QStringLiteral("Chart\x01");
            break;
        }
        const QString path = WriteFixture(m_dir, QStringLiteral("existing.xml"), QByteArray("keep me\r\n"));
        QCOMPARE(m_file.WriteChartDefinition(path, &chart.chart), 70005);
        QCOMPARE(ReadAll(path), QByteArray("keep me\r\n"));
    }

    // Charts laid out by the import builders (an empty first area, a short column) are written and read back.
    void builtChartsReadBack_data()
    {
        QTest::addColumn<bool>("pageByPage");
        QTest::addColumn<int>("patches");
        QTest::newRow("page by page, empty first area on the last page") << true << 14;
        QTest::newRow("by columns, short column") << false << 10;
    }
    void builtChartsReadBack()
    {
        QFETCH(bool, pageByPage);
        QFETCH(int, patches);
        PatchList list;
        for (int i = 0; i < patches; ++i) {
            PatchColor p;
            p.ID = i + 1;
            p.ColorFormat = ChartDefinitionData::FormatCMYK;
            p.ColorValue[3] = float(i);
            list.append(p);
        }
        Sheet page;
        page.Width = 2800;
        page.Height = 3400;
        const ChartDefinitionData::AreaPlacement geometry{500, 500, 600, 600, 600, 600};
        ChartGuard written;
        written.chart.Diameter = 1;
        written.chart.Recog = ChartDefinitionData::RecogCombine;
        const int built = pageByPage ? m_file.BuildSheetsPageByPage(&written.chart, list, 2, {4, 3}, geometry, page)
                                     : m_file.BuildSheetsByColumns(&written.chart, list, 1, {4, 3}, geometry, page, false);
        QCOMPARE(built, 0);
        const QString path = m_dir.filePath(QStringLiteral("built.xml"));
        QCOMPARE(m_file.WriteChartDefinition(path, &written.chart), 0);
        ChartGuard read;
        int kind = 0;
        int count = 0;
        QCOMPARE(m_file.ImportXmlChartDefinition(&read.chart, &kind, &count, path), 0);
        // The builders store column by column; the file holds each area row by row.
        for (int s = 0; s < written.chart.SheetCount; ++s) {
            Sheet &sheet = written.chart.Sheets[s];
            std::stable_sort(sheet.Patches.get(), sheet.Patches.get() + sheet.PatchCount,
                             [](const PatchColor &a, const PatchColor &b) {
                                 return std::make_tuple(a.Area, a.Row, a.Column) <
                                        std::make_tuple(b.Area, b.Row, b.Column);
                             });
        }
        fixture::CompareCharts(read.chart, written.chart);
    }

    void writerAcceptsDuplicatePositions()
    {
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatRGB, 1, false, 0);
        Sheet &sheet = chart.chart.Sheets[0];
        // Patch 4 moves onto patch 1's place; the first area's grid keeps 6 patches.
        sheet.Patches[4].Row = 0;
        sheet.Patches[4].Column = 1;
        const QString path = m_dir.filePath(QStringLiteral("duplicates.xml"));
        QCOMPARE(m_file.WriteChartDefinition(path, &chart.chart), 0);
        QCOMPARE(ReadAll(path).count("<Patch "), 8);
        QVERIFY(ReadAll(path).indexOf("ID=\"5\"") < ReadAll(path).indexOf("ID=\"3\""));
    }

    // A save whose final flush fails (at a file-size limit here, on a full disk in the field) answers the writer's
    // code and leaves the old file as it was, with no temporary file beside it.
    void failingFlushKeepsOldFile_data()
    {
        QTest::addColumn<bool>("dom");
        QTest::newRow("chart definition") << false;
        QTest::newRow("DOM document") << true;
    }
    void failingFlushKeepsOldFile()
    {
        QFETCH(bool, dom);
        QTemporaryDir folder;
        const QString path = WriteFixture(folder, QStringLiteral("chart.xml"), QByteArray("keep me\r\n"));
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatRGB, 1, false, 0);
        QDomDocument document;
        CreateXmlRoot(document, QStringLiteral("Data"), QString()).setAttribute(QStringLiteral("Identifier"), 1);
        int result = -1;
        {
            fixture::NoFileGrowth limit;
            result = dom ? SaveXmlDocument(path, document) : m_file.WriteChartDefinition(path, &chart.chart);
        }
        QCOMPARE(result, 70001);
        QCOMPARE(ReadAll(path), QByteArray("keep me\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chart.xml")});
    }

    void unwritableTarget()
    {
        ChartGuard chart;
        BuildChart(&chart.chart, ChartDefinitionData::FormatRGB, 1, false, 0);
        QCOMPARE(m_file.WriteChartDefinition(m_dir.filePath(QStringLiteral("missing/folder/chart.xml")), &chart.chart),
                 70001);
    }

    void pageAreaKeys()
    {
        MeasurementDataSheets m;
        m.SheetCount = 2;
        m.Sheets = NewMeasurementPages(2);
        m.Sheets[0].RecordCount = 3;
        m.Sheets[0].Records = NewMeasurementRecords(3);
        m.Sheets[0].Records[0].Area = 1;
        m.Sheets[0].Records[1].Area = 0;
        m.Sheets[0].Records[2].Area = 1;
        m.Sheets[1].RecordCount = 1;
        m.Sheets[1].Records = NewMeasurementRecords(1);
        m.Sheets[1].Records[0].Area = 0;
        const QStringList keys = CIODataFile::ListPageAreaKeys(m);
        ClearMeasureFileData(&m);
        QCOMPARE(keys, (QStringList{"0-0", "0-1", "1-0"}));

        m.SheetCount = 1;
        m.Sheets = NewMeasurementPages(1);
        m.Sheets[0].RecordCount = 3;
        m.Sheets[0].Records = NewMeasurementRecords(3);
        m.Sheets[0].Records[0].Area = 2;
        m.Sheets[0].Records[1].Area = 10;
        m.Sheets[0].Records[2].Area = 1;
        const QStringList sorted = CIODataFile::ListPageAreaKeys(m);
        ClearMeasureFileData(&m);
        QCOMPARE(sorted, (QStringList{"0-1", "0-10", "0-2"}));
    }

    void sortPredicates()
    {
        PatchColor a;
        PatchColor b;
        a.ID = 2;
        b.ID = 1;
        a.Area = 1;
        b.Area = 2;
        a.Row = 5;
        b.Row = 4;
        a.Column = 0;
        b.Column = 9;
        QVERIFY(!LessByFirstField(a, b) && LessByFirstField(b, a));
        QVERIFY(LessBySecondField(a, b));
        QVERIFY(LessByThirdField(b, a));
        QVERIFY(LessByFourthField(a, b));
        QVERIFY(IsAnyZero(1, 2, 0, 4) && !IsAnyZero(1, 2, 3, 4));
    }

private:
    QTemporaryDir m_dir;
    TestHost m_host;
    CIODataFile m_file{&m_host};
};

QTEST_GUILESS_MAIN(TestChartXml)
#include "test_chartxml.moc"
