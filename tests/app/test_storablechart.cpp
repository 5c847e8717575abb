// A chart the document store cannot read back never gets in: the chart XML import, the store's create and update
// paths and the document writers refuse it; a chart with valid edge values goes import -> create -> re-read
// unchanged and is still listed after the store reads its folder again, as at the next start.

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/resourcedata.h"
#include "chartcompare.h"
#include "docfixtures.h"
#include "resourcehost.h"
#include "files/iodatafile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstring>

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

namespace {

// The owner both the store and the data-file object ask.
class Host : public ResourceHost<CIODataFileHost> {
public:
    float GetColorMinValue(int format) const override { return resources.GetColorMinValue(format); }
    float GetColorMaxValue(int format) const override { return resources.GetColorMaxValue(format); }
    QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const override
    {
        return resources.GetIso12642DefaultPosition(id, patchOrder);
    }
    int GetIso12642LayoutLongSide() const override { return resources.GetIso12642LayoutLongSide(); }
    int GetIso12642LayoutShortSide() const override { return resources.GetIso12642LayoutShortSide(); }
};

struct Fixture {
    QTemporaryDir dir;
    Host host;
    CDocumentData store{&host, nullptr, dir.path()};
    CIODataFile files{&host};
    Fixture() { store.ReadDataGroups(); }

    int Import(const QByteArray &xml, ChartDefinitionDataSheets *chart)
    {
        const QString path = dir.filePath(QStringLiteral("import.xml"));
        if (!fixture::WriteFile(path, xml))
            return -1;
        int kind = 0;
        int patchCount = 0;
        return files.ImportXmlChartDefinition(chart, &kind, &patchCount, path);
    }
    QStringList ChartFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("Chart"))).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

QByteArray ImageText(int bytes)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = char(i * 7);
    return data.toBase64();
}

// One page, one area of two RGB patches, a 10 x 10 image at 8 bits with one clip area.
QByteArray BaseChart()
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<Data Application="Varemo" Identifier="ChartDefinition" Version="05.00">
  <Chart Kind="Normal" SheetCount="1" ChartPatchCount="2" ChartName="Rules" CreateTime="2024/01/02 03:04:05" UUID="u" UNIT="0" Barcode="1" Recog="Auto">
    <Sheet Page="1" AreaCount="1" PatchCount="2" Width="21000" Height="29700" BarcodeLeftTopX="400" BarcodeLeftTopY="0" BarcodeWidth="2000" BarcodeHeight="2000">
      <Area Number="1" PatchCount="2" RowCount="1" ColumnCount="2" LeftTopX="500" LeftTopY="600" PatchWidth="600" PatchHeight="600" PatchWidthGap="600" PatchHeightGap="600">
        <Patch ID="1" Column="1" Row="1" ColorFormat="RGB" ColorValue1="25500" ColorValue2="0" ColorValue3="1250"/>
        <Patch ID="2" Column="2" Row="1" ColorFormat="RGB" ColorValue1="0" ColorValue2="12800" ColorValue3="0"/>
      </Area>
      <Image Width="10" Height="10" BitPerPixel="8" ImageDPI="300" ClipAreaCount="1">)") +
           ImageText(100) + R"(<ClipArea Number="1" LeftTopX="1" LeftTopY="2" RightTopX="3" RightTopY="4" LeftBottomX="5" LeftBottomY="6" RightBottomX="7" RightBottomY="8"/>
      </Image>
    </Sheet>
  </Chart>
</Data>
)";
}

QByteArray Replaced(QByteArray xml, const QByteArray &from, const QByteArray &to)
{
    if (xml.count(from) != 1)
        qFatal("fixture text %s is not unique", from.constData());
    return xml.replace(from, to);
}

// The rules of the chart document readers, each broken once in a chart record.
enum Fault {
    NegativePageCount, NoPageArray, Unit2, Barcode2, BarcodeNegative, AreaCount51, NegativePatchCount,
    NoPatchArray, ClipAreaCount51, NegativeClipAreaCount, NegativeImageWidth, NegativeBitsPerPixel, NoImageBytes,
    PatchInNoArea, NegativePatchArea, RowBeyondArea, NegativeRow, ColumnBeyondArea, NegativeColumn, ColorFormat7,
    NegativeColorFormat,
};

void Break(ChartDefinitionDataSheets *chart, Fault fault)
{
    Sheet &sheet = chart->Sheets[0];
    PatchColor &patch = sheet.Patches[1];
    switch (fault) {
    case NegativePageCount: chart->SheetCount = -1; break;
    case NoPageArray: chart->Sheets = nullptr; break;
    case Unit2: chart->UNIT = 2; break;
    case Barcode2: chart->Barcode = 2; break;
    case BarcodeNegative: chart->Barcode = -1; break;
    case AreaCount51: sheet.AreaCount = 51; break;
    case NegativePatchCount: sheet.PatchCount = -2; break;
    case NoPatchArray: sheet.Patches = nullptr; break;
    case ClipAreaCount51: sheet.ClipAreaCount = 51; break;
    case NegativeClipAreaCount: sheet.ClipAreaCount = -1; break;
    case NegativeImageWidth: sheet.ImageWidth = -10; break;
    case NegativeBitsPerPixel: sheet.BitPerPixel = -8; break;
    case NoImageBytes: sheet.ImageBytes = nullptr; break;
    case PatchInNoArea: patch.Area = 1; break;
    case NegativePatchArea: patch.Area = -1; break;
    case RowBeyondArea: patch.Row = 1; break;
    case NegativeRow: patch.Row = -1; break;
    case ColumnBeyondArea: patch.Column = 2; break;
    case NegativeColumn: patch.Column = -1; break;
    case ColorFormat7: patch.ColorFormat = 7; break;
    case NegativeColorFormat: patch.ColorFormat = -1; break;
    }
}

// Puts back the chart as it was before Break.
struct Mend {
    ChartDefinitionDataSheets *chart;
    ChartDefinitionDataSheets saved;
    explicit Mend(ChartDefinitionDataSheets *broken) : chart(broken) { CopyChartDefinitionData(&saved, *broken); }
    ~Mend() { CopyChartDefinitionData(chart, saved); }
};

bool BreaksChartFields(Fault fault)
{
    return fault == NegativePageCount || fault == NoPageArray || fault == Unit2 || fault == Barcode2 ||
           fault == BarcodeNegative;
}

// What the store keeps of an imported chart: no page image and no clip areas, and the kind of its folder.
void AsStored(ChartDefinitionDataSheets *chart)
{
    chart->Kind = ChartDefinitionData::KindNormal;
    for (int s = 0; s < chart->SheetCount; ++s) {
        Sheet &sheet = chart->Sheets[s];
        sheet.ImageBytes.reset();
        sheet.HasImage = 0;
        sheet.ImageWidth = sheet.ImageHeight = sheet.BitPerPixel = 0;
        sheet.ClipAreaCount = 0;
        std::fill(std::begin(sheet.ClipAreas), std::end(sheet.ClipAreas), ChartDefinitionData::ClipArea());
    }
}


QByteArray PatchElement(int id, int column, int row, const char *format, const QList<int> &values)
{
    QByteArray patch = "<Patch ID=\"" + QByteArray::number(id) + "\" Column=\"" + QByteArray::number(column) +
                       "\" Row=\"" + QByteArray::number(row) + "\" ColorFormat=\"" + format + "\"";
    for (int k = 0; k < values.size(); ++k)
        patch += " ColorValue" + QByteArray::number(k + 1) + "=\"" + QByteArray::number(values[k]) + "\"";
    return patch + "/>";
}

QByteArray AreaElement(int number, int rows, int columns, const QByteArray &patches, int patchCount)
{
    return "<Area Number=\"" + QByteArray::number(number) + "\" PatchCount=\"" + QByteArray::number(patchCount) +
           "\" RowCount=\"" + QByteArray::number(rows) + "\" ColumnCount=\"" + QByteArray::number(columns) +
           "\" LeftTopX=\"" + QByteArray::number(400 + number) + "\" LeftTopY=\"" + QByteArray::number(number * 10) +
           "\" PatchWidth=\"600\" PatchHeight=\"700\" PatchWidthGap=\"650\" PatchHeightGap=\"750\">" + patches +
           "</Area>";
}

QByteArray SheetElement(int page, int areaCount, int patchCount, const QByteArray &content,
                  const QByteArray &size = "Width=\"21000\" Height=\"29700\"")
{
    return "<Sheet Page=\"" + QByteArray::number(page) + "\" AreaCount=\"" + QByteArray::number(areaCount) +
           "\" PatchCount=\"" + QByteArray::number(patchCount) + "\" " + size +
           " BarcodeLeftTopX=\"400\" BarcodeLeftTopY=\"100\" BarcodeWidth=\"2000\" BarcodeHeight=\"2100\">" + content +
           "</Sheet>";
}

QByteArray Document(const QByteArray &chartAttributes, const QByteArray &sheets, const char *version = "05.00")
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Data Application=\"Varemo\" "
                      "Identifier=\"ChartDefinition\" Version=\"") +
           version + "\"><Chart " + chartAttributes + ">" + sheets + "</Chart></Data>";
}

} // namespace

class TestStorableChart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Varemo")); }

    // Every rule of the chart document readers, broken once: in a chart file the import refuses it with its
    // own code; in a record the store refuses it with 80005 before a number, a folder or a file is made, and
    // the writers refuse it leaving the old file as it was.
    void unstorableChartsAreRefused_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("from"); // empty: no file form, the record alone can break the rule
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("importResult");
        const QByteArray secondPatch = "ID=\"2\" Column=\"2\" Row=\"1\" ColorFormat=\"RGB\"";
        auto row = [](const char *name, Fault fault, const QByteArray &from, const QByteArray &to, int result) {
            QTest::newRow(name) << int(fault) << from << to << result;
        };
        row("page count below 0", NegativePageCount, "SheetCount=\"1\"", "SheetCount=\"-1\"", 70005);
        row("pages missing", NoPageArray, "SheetCount=\"1\"", "SheetCount=\"2\"", 70005);
        row("unit 2", Unit2, "UNIT=\"0\"", "UNIT=\"2\"", 70005);
        row("barcode flag 2", Barcode2, "Barcode=\"1\"", "Barcode=\"2\"", 70005);
        row("barcode flag -1", BarcodeNegative, "Barcode=\"1\"", "Barcode=\"-1\"", 70005);
        row("51 areas", AreaCount51, " AreaCount=\"1\"", " AreaCount=\"51\"", 70005);
        row("patch count below 0", NegativePatchCount, "AreaCount=\"1\" PatchCount=\"2\"",
            "AreaCount=\"1\" PatchCount=\"-2\"", 70011);
        row("patches missing", NoPatchArray, QByteArray(), QByteArray(), 0);
        row("51 clip areas", ClipAreaCount51, "ClipAreaCount=\"1\"", "ClipAreaCount=\"51\"", 70005);
        row("clip areas below 0", NegativeClipAreaCount, "ClipAreaCount=\"1\"", "ClipAreaCount=\"-1\"", 70005);
        row("image width below 0", NegativeImageWidth, "Width=\"10\"", "Width=\"-10\"", 70005);
        row("image depth below 0", NegativeBitsPerPixel, "BitPerPixel=\"8\"", "BitPerPixel=\"-8\"", 70005);
        row("image bytes missing", NoImageBytes, ImageText(100), ImageText(99), 70005);
        row("patch in no area", PatchInNoArea, "<Area Number=\"1\"", "<Area Number=\"2\"", 70005);
        row("patch area below 0", NegativePatchArea, "<Area Number=\"1\"", "<Area Number=\"0\"", 70005);
        row("row beyond its area", RowBeyondArea, secondPatch, "ID=\"2\" Column=\"2\" Row=\"2\" ColorFormat=\"RGB\"",
            70005);
        row("row below 0", NegativeRow, secondPatch, "ID=\"2\" Column=\"2\" Row=\"0\" ColorFormat=\"RGB\"", 70005);
        row("column beyond its area", ColumnBeyondArea, secondPatch,
            "ID=\"2\" Column=\"3\" Row=\"1\" ColorFormat=\"RGB\"", 70005);
        row("column below 0", NegativeColumn, secondPatch, "ID=\"2\" Column=\"0\" Row=\"1\" ColorFormat=\"RGB\"",
            70005);
        row("colour format 7", ColorFormat7, secondPatch, "ID=\"2\" Column=\"2\" Row=\"1\" ColorFormat=\"9COLOR\"",
            70005);
        row("colour format below 0", NegativeColorFormat, secondPatch,
            "ID=\"2\" Column=\"2\" Row=\"1\" ColorFormat=\"\"", 70005);
    }
    void unstorableChartsAreRefused()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, importResult);
        Fixture f;
        if (!from.isEmpty()) {
            ChartDefinitionDataSheets imported;
            fixture::ChartGuard g{&imported};
            QCOMPARE(f.Import(Replaced(BaseChart(), from, to), &imported), importResult);
        }

        ChartDefinitionDataSheets chart;
        fixture::ChartGuard g{&chart};
        QCOMPARE(f.Import(BaseChart(), &chart), 0);
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, chart);
        QCOMPARE(f.store.CreateDesignationChart(&copy), kDocumentOk);
        ClearChartDefinitionData(&copy);
        const QString existing = f.store.DesignationChartPath(1);
        const QByteArray before = fixture::ReadAll(existing);
        const QStringList filesBefore = f.ChartFiles();
        MeasurementDataSheets measurement = fixture::MakeMeasurement(1);
        fixture::MeasurementGuard mg{&measurement};

        // Broken in place and mended when the test leaves.
        Mend mend(&chart);
        Break(&chart, Fault(fault));

        QCOMPARE(f.store.CreateDesignationChart(&chart), kDocumentInvalid);
        QCOMPARE(f.store.CreateDensityChart(7, 0, &chart), kDocumentInvalid);
        int number = 0;
        QCOMPARE(f.store.CreateRecognitionMeasure(&number, chart, &measurement), kDocumentInvalid);
        QCOMPARE(f.store.UpdateDesignationChartDefinition(1, chart), kDocumentInvalid);
        if (!BreaksChartFields(Fault(fault)))
            QCOMPARE(f.store.UpdateDesignationChart(1, chart.Sheets[0], 0), kDocumentInvalid);
        QCOMPARE(f.store.GetDesignationCharts()->size(), 1);
        QCOMPARE(f.store.GetNewDesignationChartName(), QStringLiteral("Chart00002"));
        QVERIFY(f.store.GetDensityCharts()->isEmpty());
        QVERIFY(f.store.GetRecognitionMeasures()->isEmpty());
        QCOMPARE(f.ChartFiles(), filesBefore);
        QVERIFY(!QFileInfo::exists(f.store.DesignationChartFolder(2)));
        QVERIFY(!QFileInfo::exists(f.store.RecognitionMeasurePath(1)));

        ChartDesigData record;
        DensityBalanceData densityRecord;
        ChartRecogData recognitionRecord;
        QCOMPARE(SaveChartFile(existing, &record, chart), kDocumentInvalid);
        QCOMPARE(SaveDensityChartFile(existing, &densityRecord, chart), kDocumentInvalid);
        QCOMPARE(SaveRecognitionFile(existing, &recognitionRecord, chart, measurement), kDocumentInvalid);
        QCOMPARE(fixture::ReadAll(existing), before);
    }

    // Valid edge values of a chart file go import -> create -> re-read unchanged (less what the store never
    // keeps: page images, clip areas and a kind of its own), and the chart is listed again after the store reads
    // its folders as at the next start.
    void storableChartsSurvive_data()
    {
        QTest::addColumn<QByteArray>("xml");
        const QByteArray twoPatches = AreaElement(
            1, 1, 2, PatchElement(1, 1, 1, "RGB", {0, 0, 0}) + PatchElement(2, 2, 1, "RGB", {25500, 25500, 25500}), 2);
        const QByteArray chart = "Kind=\"Normal\" SheetCount=\"1\" ChartPatchCount=\"2\" ChartName=\"Edge\" "
                                 "CreateTime=\"2024/01/02 03:04:05\" UUID=\"u\" UNIT=\"0\" Barcode=\"%1\" Recog=\"%2\"";
        auto chartWith = [&chart](const char *barcode, const char *recog) {
            return QByteArray(chart).replace("%1", barcode).replace("%2", recog);
        };
        QTest::newRow("barcode flag 0, recognition Auto")
            << Document(chartWith("0", "Auto"), SheetElement(1, 1, 2, twoPatches));
        QTest::newRow("barcode flag 1, recognition Matrix")
            << Document(chartWith("1", "Matrix"), SheetElement(1, 1, 2, twoPatches));
        QTest::newRow("version 1 file without barcode attributes")
            << Document(chartWith("7", "Definition"), SheetElement(1, 1, 2, twoPatches), "1.0");
        QTest::newRow("inch lengths") << Document(
            QByteArray(chartWith("1", "Coordinate")).replace("UNIT=\"0\"", "UNIT=\"1\""),
            SheetElement(1, 1, 2, twoPatches, "Width=\"8268\" Height=\"11693\""));

        QByteArray areas;
        for (int a = 1; a <= 50; ++a)
            areas += AreaElement(a, 1, 1, PatchElement(a, 1, 1, "RGB", {a * 100, 0, 25500}), 1);
        QTest::newRow("50 areas") << Document(
            QByteArray(chartWith("1", "Auto")).replace("ChartPatchCount=\"2\"", "ChartPatchCount=\"50\""),
            SheetElement(1, 50, 50, areas));

        const QByteArray eightInks =
            AreaElement(1, 2, 3,
                        PatchElement(INT_MIN, 3, 2, "8COLOR", {0, 10000, 0, 10000, 0, 10000, 0, 10000}) +
                            PatchElement(INT_MAX, 1, 1, "8color", {10000, 0, 1, 9999, 5000, 2500, 1250, 625}),
                        2);
        QTest::newRow("eight inks, extreme ids, last row and column")
            << Document(chartWith("0", "Combine"),
                        SheetElement(1, 1, 2, eightInks, "Width=\"-1\" Height=\"2147483647\""));

        const QByteArray empty = SheetElement(1, 0, 0, QByteArray());
        QTest::newRow("empty page before a full one")
            << Document(QByteArray(chartWith("1", "Auto")).replace("SheetCount=\"1\"", "SheetCount=\"2\""),
                        empty + SheetElement(2, 1, 2, twoPatches));

        QByteArray clips;
        for (int k = 1; k <= 50; ++k)
            clips += "<ClipArea Number=\"" + QByteArray::number(k) +
                     "\" LeftTopX=\"1\" LeftTopY=\"2\" RightTopX=\"3\" RightTopY=\"4\" LeftBottomX=\"5\" "
                     "LeftBottomY=\"6\" RightBottomX=\"7\" RightBottomY=\"8\"/>";
        const QByteArray image = "<Image Width=\"3\" Height=\"2\" BitPerPixel=\"24\" ImageDPI=\"300\" "
                                 "ClipAreaCount=\"50\">" +
                                 ImageText(18) + clips + "</Image>";
        QTest::newRow("image with 50 clip areas, kind Uneven")
            << Document(QByteArray(chartWith("1", "Auto")).replace("Kind=\"Normal\"", "Kind=\"Uneven\""),
                        SheetElement(1, 1, 2, twoPatches + image));
    }
    void storableChartsSurvive()
    {
        QFETCH(QByteArray, xml);
        Fixture f;
        ChartDefinitionDataSheets chart;
        fixture::ChartGuard g{&chart};
        QCOMPARE(f.Import(xml, &chart), 0);
        QCOMPARE(f.store.CreateDesignationChart(&chart), kDocumentOk);
        const int number = f.store.GetDesignationCharts()->last().ID;
        AsStored(&chart);

        ChartDefinitionDataSheets read;
        fixture::ChartGuard r{&read};
        QCOMPARE(f.store.ReadDesignationChart(number, &read), kDocumentOk);
        fixture::CompareCharts(read, chart);

        QCOMPARE(f.store.ReadAllDocuments(), kDocumentOk);
        QCOMPARE(f.store.GetDesignationCharts()->size(), 1);
        QCOMPARE(f.store.GetDesignationCharts()->first().ID, number);
    }
};

QTEST_GUILESS_MAIN(TestStorableChart)
#include "test_storablechart.moc"
