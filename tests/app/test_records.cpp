// Ownership of the chart and measurement records: deep copies, clearing, image sizes, meta-type.
// Run under ASan, so a double free or a leaked array fails the test.

#include "chartcompare.h"

#include "app/recordhelpers.h"

#include <QVariant>
#include <QtTest>

#include <cstring>

namespace {

constexpr int kImageW = 7;
constexpr int kImageH = 5;
constexpr int kBpp = 24;
constexpr int kImageBytes = kImageW * kImageH * kBpp / 8;

void FillChart(ChartDefinitionDataSheets *chart)
{
    chart->Kind = 0;
    chart->SheetCount = 2;
    chart->ChartPatchCount = 5;
    chart->Diameter = 3;
    chart->UUID = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    chart->ChartName = QStringLiteral("Chart A");
    chart->CreateTime = QStringLiteral("2024/01/02 03:04:05");
    chart->UNIT = 1;
    chart->Barcode = 1;
    chart->Recog = 4;
    chart->Sheets = NewChartSheets(2);
    for (int s = 0; s < 2; ++s) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[s];
        sheet.Width = 21000 + s;
        sheet.Height = 29700;
        sheet.PatchCount = 2 + s;
        sheet.AreaCount = 1;
        sheet.Areas[0] = {1, sheet.PatchCount, sheet.PatchCount};
        sheet.HasImage = 1;
        sheet.ImageWidth = kImageW;
        sheet.ImageHeight = kImageH;
        sheet.BitPerPixel = kBpp;
        sheet.ImageBytes = NewImageBytes(kImageBytes);
        std::memset(sheet.ImageBytes.get(), 0x10 + s, kImageBytes);
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        for (int p = 0; p < sheet.PatchCount; ++p) {
            sheet.Patches[p].ID = 100 * s + p + 1;
            sheet.Patches[p].Column = p;
            sheet.Patches[p].ColorFormat = 1;
            sheet.Patches[p].ColorValue[0] = 10.0f * p;
        }
        sheet.ImageDPI = 300;
    }
}

void FillMeasurement(MeasurementDataSheets *m)
{
    m->Mode = 1;
    m->SerialNumber = QStringLiteral("SN1");
    m->SheetCount = 2;
    m->RecordCount = 6;
    m->Diameter = 2;
    m->BarcodeText1 = QStringLiteral("print");
    m->BarcodeText2 = QStringLiteral("10.0.0.1");
    m->Sheets = NewMeasurementPages(2);
    for (int s = 0; s < 2; ++s) {
        MeasurementData &page = m->Sheets[s];
        page.Width = kImageW;
        page.Height = kImageH;
        page.BitPerPixel = kBpp;
        page.PageNumber = s + 1;
        page.RecordCount = 3;
        page.MeasuredCount = 3;
        page.Records = NewMeasurementRecords(3);
        for (int r = 0; r < 3; ++r) {
            page.Records[r].Column = r;
            page.Records[r].Values[151] = float(s * 10 + r + 1);
        }
        page.ImageBytes = NewImageBytes(kImageBytes);
        std::memset(page.ImageBytes.get(), 0x20 + s, kImageBytes);
        page.ImageDPI = 150;
    }
}

// Distinct values in every slot and field of every page, so a field a copy leaves out shows.
void FillEveryPageField(ChartDefinitionDataSheets *chart)
{
    chart->Kind = ChartDefinitionData::KindUneven;
    int v = 1;
    for (int s = 0; s < chart->SheetCount; ++s) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[s];
        sheet.AreaCount = kMaxAreaCount;
        sheet.ClipAreaCount = kMaxClipAreaCount;
        for (int a = 0; a < kMaxAreaCount; ++a, v += 20) {
            sheet.Areas[a] = {v, v + 1, v + 2};
            sheet.Placements[a] = {v + 3, v + 4, v + 5, v + 6, v + 7, v + 8};
            sheet.ClipAreas[a] = {v + 9, v + 10, v + 11, v + 12, v + 13, v + 14, v + 15, v + 16};
        }
        sheet.BarcodeLeftTopX = v++;
        sheet.BarcodeLeftTopY = v++;
        sheet.BarcodeWidth = v++;
        sheet.BarcodeHeight = v++;
        sheet.ImageDPI = v++;
    }
}

void CompareMeasurements(const MeasurementDataSheets &a, const MeasurementDataSheets &b)
{
    QCOMPARE(a.Mode, b.Mode);
    QCOMPARE(a.SerialNumber, b.SerialNumber);
    QCOMPARE(a.SheetCount, b.SheetCount);
    QCOMPARE(a.RecordCount, b.RecordCount);
    QCOMPARE(a.Diameter, b.Diameter);
    QCOMPARE(a.BarcodeText1, b.BarcodeText1);
    QCOMPARE(a.BarcodeText2, b.BarcodeText2);
    for (int s = 0; s < a.SheetCount; ++s) {
        const MeasurementData &x = a.Sheets[s];
        const MeasurementData &y = b.Sheets[s];
        QCOMPARE(x.Width, y.Width);
        QCOMPARE(x.Height, y.Height);
        QCOMPARE(x.BitPerPixel, y.BitPerPixel);
        QCOMPARE(x.PageNumber, y.PageNumber);
        QCOMPARE(x.RecordCount, y.RecordCount);
        QCOMPARE(x.MeasuredCount, y.MeasuredCount);
        QCOMPARE(x.ImageDPI, y.ImageDPI);
        const size_t recordBytes = sizeof(MeasurementData::PatchData) * size_t(y.RecordCount);
        QCOMPARE(std::memcmp(x.Records.get(), y.Records.get(), recordBytes), 0);
        QCOMPARE(std::memcmp(x.ImageBytes.get(), y.ImageBytes.get(), kImageBytes), 0);
    }
}

void CheckChartUnchanged(const ChartDefinitionDataSheets &chart)
{
    QCOMPARE(chart.SheetCount, 2);
    QCOMPARE(chart.ChartName, QStringLiteral("Chart A"));
    for (int s = 0; s < 2; ++s) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[s];
        QCOMPARE(sheet.Width, 21000 + s);
        QCOMPARE(sheet.PatchCount, 2 + s);
        for (int i = 0; i < kImageBytes; ++i)
            QCOMPARE(int(sheet.ImageBytes[i]), 0x10 + s);
        for (int p = 0; p < sheet.PatchCount; ++p) {
            QCOMPARE(sheet.Patches[p].ID, 100 * s + p + 1);
            QCOMPARE(sheet.Patches[p].ColorValue[0], 10.0f * p);
        }
    }
}

void CheckMeasurementUnchanged(const MeasurementDataSheets &m)
{
    QCOMPARE(m.SheetCount, 2);
    QCOMPARE(m.SerialNumber, QStringLiteral("SN1"));
    for (int s = 0; s < 2; ++s) {
        const MeasurementData &page = m.Sheets[s];
        QCOMPARE(page.RecordCount, 3);
        for (int r = 0; r < 3; ++r)
            QCOMPARE(page.Records[r].Values[151], float(s * 10 + r + 1));
        for (int i = 0; i < kImageBytes; ++i)
            QCOMPARE(int(page.ImageBytes[i]), 0x20 + s);
    }
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void chartDeepCopyIsIndependent()
    {
        ChartDefinitionDataSheets original;
        FillChart(&original);
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, original);

        QCOMPARE(copy.SheetCount, 2);
        QCOMPARE(copy.UUID, original.UUID);
        QCOMPARE(copy.Recog, 4);
        for (int s = 0; s < 2; ++s) {
            QVERIFY(copy.Sheets[s].ImageBytes != original.Sheets[s].ImageBytes);
            QVERIFY(copy.Sheets[s].Patches != original.Sheets[s].Patches);
            QCOMPARE(std::memcmp(copy.Sheets[s].ImageBytes.get(), original.Sheets[s].ImageBytes.get(), kImageBytes), 0);
            QCOMPARE(copy.Sheets[s].Patches[1].ID, original.Sheets[s].Patches[1].ID);
            QCOMPARE(copy.Sheets[s].Areas[0].ColumnCount, original.Sheets[s].Areas[0].ColumnCount);
        }

        copy.ChartName = QStringLiteral("changed");
        copy.Sheets[1].Width = 1;
        copy.Sheets[1].Patches[2].ID = 9999;
        copy.Sheets[0].ImageBytes[0] = 0xFF;
        CheckChartUnchanged(original);

        // A second copy into a filled record replaces its arrays (a leak would fail under ASan).
        CopyChartDefinitionData(&copy, original);
        QCOMPARE(copy.Sheets[1].Patches[2].ID, 103);

        ClearChartDefinitionData(&copy);
        CheckChartUnchanged(original);
        ClearChartDefinitionData(&original);
    }

    void measurementDeepCopyIsIndependent()
    {
        MeasurementDataSheets original;
        FillMeasurement(&original);
        MeasurementDataSheets copy;
        CopyMeasureFileData(&copy, original);

        QCOMPARE(copy.BarcodeText2, QStringLiteral("10.0.0.1"));
        for (int s = 0; s < 2; ++s) {
            QVERIFY(copy.Sheets[s].Records != original.Sheets[s].Records);
            QVERIFY(copy.Sheets[s].ImageBytes != original.Sheets[s].ImageBytes);
            QCOMPARE(copy.Sheets[s].PageNumber, s + 1);
            QCOMPARE(copy.Sheets[s].Records[2].Values[151], original.Sheets[s].Records[2].Values[151]);
        }

        copy.Sheets[0].Records[0].Values[151] = -1.0f;
        copy.Sheets[1].ImageBytes[kImageBytes - 1] = 0;
        copy.SerialNumber.clear();
        CheckMeasurementUnchanged(original);

        ClearMeasureFileData(&copy);
        CheckMeasurementUnchanged(original);
        ClearMeasureFileData(&original);
    }

    // A deep copy carries every field of the records and of each page; a header copy the chart's own fields.
    void copiesKeepEveryField()
    {
        ChartDefinitionDataSheets chart;
        FillChart(&chart);
        FillEveryPageField(&chart);
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, chart);
        fixture::CompareCharts(copy, chart);

        CopyChartHeader(&copy, chart);
        QCOMPARE(copy.Kind, int(ChartDefinitionData::KindUneven));
        QCOMPARE(copy.Diameter, 3);
        QCOMPARE(copy.UUID, chart.UUID);
        QCOMPARE(copy.ChartName, chart.ChartName);
        QCOMPARE(copy.CreateTime, chart.CreateTime);
        QCOMPARE(copy.UNIT, 1);
        QCOMPARE(copy.Barcode, 1);
        QCOMPARE(copy.Recog, 4);
        QCOMPARE(copy.SheetCount, 0);
        QCOMPARE(copy.ChartPatchCount, 0);
        QVERIFY(copy.Sheets == nullptr);

        MeasurementDataSheets measurement;
        FillMeasurement(&measurement);
        MeasurementDataSheets measurementCopy;
        CopyMeasureFileData(&measurementCopy, measurement);
        CompareMeasurements(measurementCopy, measurement);
    }

    void copyWithoutArrays()
    {
        // An image flag with no bytes, and sizes below one byte, copy as no image.
        ChartDefinitionDataSheets chart;
        chart.SheetCount = 1;
        chart.Sheets = NewChartSheets(1);
        chart.Sheets[0].HasImage = 1;
        chart.Sheets[0].ImageWidth = 1;
        chart.Sheets[0].ImageHeight = 1;
        chart.Sheets[0].BitPerPixel = 7;
        ChartDefinitionDataSheets copy;
        CopyChartDefinitionData(&copy, chart);
        QCOMPARE(copy.SheetCount, 1);
        QVERIFY(copy.Sheets[0].ImageBytes == nullptr);
        QVERIFY(copy.Sheets[0].Patches == nullptr);

        ChartDefinitionDataSheets empty;
        CopyChartDefinitionData(&copy, empty); // frees the earlier copy
        QCOMPARE(copy.SheetCount, 0);
        QVERIFY(copy.Sheets == nullptr);

        ClearChartDefinitionData(&chart);
    }

    void clearEmptyAndFull()
    {
        ChartDefinitionDataSheets chart;
        ClearChartDefinitionData(&chart);
        ClearChartDefinitionData(&chart);
        QVERIFY(chart.Sheets == nullptr);

        FillChart(&chart);
        ClearChartDefinitionData(&chart);
        QCOMPARE(chart.SheetCount, 0);
        QCOMPARE(chart.ChartPatchCount, 0);
        QCOMPARE(chart.UNIT, 0);
        QCOMPARE(chart.Recog, 0);
        QVERIFY(chart.ChartName.isEmpty() && chart.UUID.isEmpty() && chart.CreateTime.isEmpty());
        QVERIFY(chart.Sheets == nullptr);
        ClearChartDefinitionData(&chart);

        MeasurementDataSheets m;
        ClearMeasureFileData(&m);
        FillMeasurement(&m);
        ClearMeasureFileData(&m);
        QCOMPARE(m.SheetCount, 0);
        QCOMPARE(m.Mode, 0);
        QVERIFY(m.SerialNumber.isEmpty() && m.BarcodeText1.isEmpty() && m.BarcodeText2.isEmpty());
        QVERIFY(m.Sheets == nullptr);
        ClearMeasureFileData(&m);
    }

    void imageByteCount_data()
    {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<qint64>("bpp");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("zero width") << qint64(0) << qint64(5) << qint64(24) << qint64(0);
        QTest::newRow("below one byte") << qint64(1) << qint64(1) << qint64(7) << qint64(0);
        QTest::newRow("three bytes") << qint64(3) << qint64(1) << qint64(8) << qint64(3);
        QTest::newRow("past 32 bits") << qint64(100000) << qint64(100000) << qint64(32) << qint64(40000000000);
        QTest::newRow("A3 150 dpi RGB") << qint64(1754) << qint64(2480) << qint64(24) << qint64(13049760);
        QTest::newRow("negative width") << qint64(-1) << qint64(5) << qint64(24) << qint64(0);
        QTest::newRow("negative height") << qint64(5) << qint64(-1) << qint64(24) << qint64(0);
        QTest::newRow("negative depth") << qint64(5) << qint64(5) << qint64(-8) << qint64(0);
        QTest::newRow("all negative") << qint64(-2) << qint64(-2) << qint64(-8) << qint64(0);
        QTest::newRow("int limits") << qint64(INT_MAX) << qint64(INT_MAX) << qint64(1)
                                    << qint64(INT_MAX) * INT_MAX / 8;
        // No buffer can be that large: the bit count does not fit 64 bits.
        QTest::newRow("overflow") << qint64(INT_MAX) << qint64(INT_MAX) << qint64(32) << qint64(0);
    }

    void imageByteCount()
    {
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(qint64, bpp);
        QFETCH(qint64, bytes);
        QCOMPARE(ImageByteCount(width, height, bpp), bytes);
    }

    void patchColorThroughVariant()
    {
        RegisterRecordMetaTypes();
        QVERIFY(QMetaType::type("ChartDefinitionData::PatchColor") != QMetaType::UnknownType);

        ChartDefinitionData::PatchColor patch;
        patch.ID = 42;
        patch.Area = 3;
        patch.Row = 4;
        patch.Column = 5;
        patch.ColorFormat = 6;
        for (int i = 0; i < kMaxColorValueCount; ++i)
            patch.ColorValue[i] = 0.5f * i;
        const QVariant v = QVariant::fromValue(patch);
        QVERIFY(v.canConvert<ChartDefinitionData::PatchColor>());
        const auto back = v.value<ChartDefinitionData::PatchColor>();
        QCOMPARE(std::memcmp(&back, &patch, sizeof patch), 0);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
