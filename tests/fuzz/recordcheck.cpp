#include "recordcheck.h"

#include "fuzzsupport.h"

#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "app/texthelpers.h"

#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

namespace fuzz {

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

QString Show(int v)
{
    return QString::number(v);
}
QString Show(const QString &v)
{
    return QLatin1Char('"') + v + QLatin1Char('"');
}
QString Show(float v)
{
    quint32 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return QStringLiteral("%1 (0x%2)").arg(double(v), 0, 'g', 9).arg(bits, 8, 16, QLatin1Char('0'));
}

// Keeps the first difference found; later comparisons are skipped once there is one.
class Diff
{
public:
    template <typename T>
    void Field(const QString &where, const T &expected, const T &actual)
    {
        if (text.isEmpty() && !(expected == actual))
            text = QStringLiteral("%1: expected %2, got %3").arg(where, Show(expected), Show(actual));
    }
    void Float(const QString &where, float expected, float actual)
    {
        if (text.isEmpty() && !SameFloat(expected, actual))
            text = QStringLiteral("%1: expected %2, got %3").arg(where, Show(expected), Show(actual));
    }
    void Bytes(const QString &where, const unsigned char *expected, const unsigned char *actual, qint64 n)
    {
        if (!text.isEmpty() || n <= 0)
            return;
        if (!expected || !actual) {
            if (expected != actual)
                text = where + QStringLiteral(": image bytes missing on one side");
            return;
        }
        if (std::memcmp(expected, actual, size_t(n)) != 0)
            text = where + QStringLiteral(": image bytes differ");
    }
    bool Found() const { return !text.isEmpty(); }

    QString text;
};

int ValueCount(int format)
{
    return std::clamp(format + 2, 0, kMaxColorValueCount);
}

QString At(int sheet)
{
    return QStringLiteral("sheet %1").arg(sheet);
}
QString At(int sheet, const char *field)
{
    return QStringLiteral("sheet %1 %2").arg(sheet).arg(QLatin1String(field));
}

void CompareAreas(Diff &d, int s, const Sheet &e, const Sheet &a)
{
    const int areas = std::clamp(e.AreaCount, 0, kMaxAreaCount);
    for (int k = 0; k < areas && !d.Found(); ++k) {
        const QString at = QStringLiteral("sheet %1 area %2 ").arg(s).arg(k);
        d.Field(at + QLatin1String("RowCount"), e.Areas[k].RowCount, a.Areas[k].RowCount);
        d.Field(at + QLatin1String("ColumnCount"), e.Areas[k].ColumnCount, a.Areas[k].ColumnCount);
        d.Field(at + QLatin1String("PatchCount"), e.Areas[k].PatchCount, a.Areas[k].PatchCount);
        d.Field(at + QLatin1String("LeftTopX"), e.Placements[k].LeftTopX, a.Placements[k].LeftTopX);
        d.Field(at + QLatin1String("LeftTopY"), e.Placements[k].LeftTopY, a.Placements[k].LeftTopY);
        d.Field(at + QLatin1String("PatchWidth"), e.Placements[k].PatchWidth, a.Placements[k].PatchWidth);
        d.Field(at + QLatin1String("PatchHeight"), e.Placements[k].PatchHeight, a.Placements[k].PatchHeight);
        d.Field(at + QLatin1String("PatchWidthGap"), e.Placements[k].PatchWidthGap, a.Placements[k].PatchWidthGap);
        d.Field(at + QLatin1String("PatchHeightGap"), e.Placements[k].PatchHeightGap, a.Placements[k].PatchHeightGap);
    }
}

void ComparePatch(Diff &d, int s, int i, const PatchColor &e, const PatchColor &a, bool twoDecimals)
{
    const QString at = QStringLiteral("sheet %1 patch %2 ").arg(s).arg(i);
    d.Field(at + QLatin1String("ID"), e.ID, a.ID);
    d.Field(at + QLatin1String("Area"), e.Area, a.Area);
    d.Field(at + QLatin1String("Row"), e.Row, a.Row);
    d.Field(at + QLatin1String("Column"), e.Column, a.Column);
    d.Field(at + QLatin1String("ColorFormat"), e.ColorFormat, a.ColorFormat);
    for (int k = 0; k < ValueCount(e.ColorFormat) && !d.Found(); ++k) {
        float expected = e.ColorValue[k];
        // The XML keeps hundredths: times 100, rounded half up.
        if (twoDecimals)
            expected = float(std::floor(double(expected) * 100.0 + 0.5) / 100.0);
        d.Float(at + QStringLiteral("ColorValue%1").arg(k + 1), expected, a.ColorValue[k]);
    }
}

void CompareChartHeader(Diff &d, const ChartDefinitionDataSheets &e, const ChartDefinitionDataSheets &a)
{
    d.Field(QStringLiteral("SheetCount"), e.SheetCount, a.SheetCount);
    d.Field(QStringLiteral("ChartPatchCount"), e.ChartPatchCount, a.ChartPatchCount);
    d.Field(QStringLiteral("ChartName"), e.ChartName, a.ChartName);
    d.Field(QStringLiteral("CreateTime"), e.CreateTime, a.CreateTime);
    d.Field(QStringLiteral("UUID"), e.UUID, a.UUID);
    d.Field(QStringLiteral("UNIT"), e.UNIT, a.UNIT);
    d.Field(QStringLiteral("Barcode"), e.Barcode, a.Barcode);
    d.Field(QStringLiteral("Recog"), e.Recog, a.Recog);
}

void CompareSheetHeader(Diff &d, int s, const Sheet &e, const Sheet &a)
{
    d.Field(At(s, "Width"), e.Width, a.Width);
    d.Field(At(s, "Height"), e.Height, a.Height);
    d.Field(At(s, "PatchCount"), e.PatchCount, a.PatchCount);
    d.Field(At(s, "AreaCount"), e.AreaCount, a.AreaCount);
    d.Field(At(s, "BarcodeLeftTopX"), e.BarcodeLeftTopX, a.BarcodeLeftTopX);
    d.Field(At(s, "BarcodeLeftTopY"), e.BarcodeLeftTopY, a.BarcodeLeftTopY);
    d.Field(At(s, "BarcodeWidth"), e.BarcodeWidth, a.BarcodeWidth);
    d.Field(At(s, "BarcodeHeight"), e.BarcodeHeight, a.BarcodeHeight);
}

} // namespace

FuzzHost::FuzzHost()
{
    m_resources.Initialize();
}
int FuzzHost::FindPaperSizeIndexInUnit(int unit, int width, int height) const
{
    return m_resources.FindPaperSizeIndexInUnit(unit, width, height);
}
int FuzzHost::GetPageSizeWidth(int index) const
{
    return m_resources.GetPageSizeWidth(index);
}
int FuzzHost::GetPageSizeHeight(int index) const
{
    return m_resources.GetPageSizeHeight(index);
}
int FuzzHost::GetPageSizeMaxWidth(int index) const
{
    return m_resources.GetPageSizeMaxWidth(index);
}
int FuzzHost::GetPageSizeMaxHeight(int index) const
{
    return m_resources.GetPageSizeMaxHeight(index);
}
int FuzzHost::GetAreaLeftMin() const
{
    return m_resources.GetAreaLeftMin();
}
int FuzzHost::GetAreaLeftMax() const
{
    return m_resources.GetAreaLeftMax();
}
// As the model answers: the top margin starts at the page edge.
int FuzzHost::GetAreaTopMin() const
{
    return 0;
}
int FuzzHost::GetAreaTopMax() const
{
    return m_resources.GetAreaTopMax();
}
float FuzzHost::GetColorMinValue(int format) const
{
    return m_resources.GetColorMinValue(format);
}
float FuzzHost::GetColorMaxValue(int format) const
{
    return m_resources.GetColorMaxValue(format);
}
QPair<int, int> FuzzHost::GetIso12642DefaultPosition(int id, int patchOrder) const
{
    return m_resources.GetIso12642DefaultPosition(id, patchOrder);
}
int FuzzHost::GetIso12642LayoutLongSide() const
{
    return m_resources.GetIso12642LayoutLongSide();
}
int FuzzHost::GetIso12642LayoutShortSide() const
{
    return m_resources.GetIso12642LayoutShortSide();
}

ChartHolder::~ChartHolder()
{
    ClearChartDefinitionData(&chart);
}

MeasurementHolder::~MeasurementHolder()
{
    ClearMeasureFileData(&measurement);
}

bool SameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

QString DiffStoredChart(const ChartDefinitionDataSheets &expected, const ChartDefinitionDataSheets &actual)
{
    Diff d;
    CompareChartHeader(d, expected, actual);
    d.Field(QStringLiteral("Diameter"), expected.Diameter, actual.Diameter);
    if (d.Found() || !expected.Sheets || !actual.Sheets)
        return d.text;
    for (int s = 0; s < expected.SheetCount && !d.Found(); ++s) {
        const Sheet &e = expected.Sheets[s];
        const Sheet &a = actual.Sheets[s];
        CompareSheetHeader(d, s, e, a);
        d.Field(At(s, "ImageDPI"), e.ImageDPI, a.ImageDPI);
        CompareAreas(d, s, e, a);
        for (int i = 0; e.Patches && a.Patches && i < e.PatchCount && !d.Found(); ++i)
            ComparePatch(d, s, i, e.Patches[i], a.Patches[i], false);
    }
    return d.text;
}

QString DiffXmlChart(const ChartDefinitionDataSheets &expected, const ChartDefinitionDataSheets &actual)
{
    Diff d;
    d.Field(QStringLiteral("Kind"), expected.Kind, actual.Kind);
    CompareChartHeader(d, expected, actual);
    if (d.Found() || !expected.Sheets || !actual.Sheets)
        return d.text;
    for (int s = 0; s < expected.SheetCount && !d.Found(); ++s) {
        const Sheet &e = expected.Sheets[s];
        const Sheet &a = actual.Sheets[s];
        CompareSheetHeader(d, s, e, a);
        CompareAreas(d, s, e, a);
        if (d.Found())
            break;
        // The file lists patches by area, row and column; patches at one position keep their order.
        QVector<PatchColor> sorted;
        if (e.Patches)
            sorted = QVector<PatchColor>(e.Patches.get(), e.Patches.get() + e.PatchCount);
        std::stable_sort(sorted.begin(), sorted.end(), [](const PatchColor &p, const PatchColor &q) {
            return std::make_tuple(p.Area, p.Row, p.Column) < std::make_tuple(q.Area, q.Row, q.Column);
        });
        for (int i = 0; a.Patches && i < sorted.size() && !d.Found(); ++i)
            ComparePatch(d, s, i, sorted[i], a.Patches[i], true);
        d.Field(At(s, "HasImage"), e.HasImage ? 1 : 0, a.HasImage);
        if (d.Found() || !e.HasImage)
            continue;
        d.Field(At(s, "ImageWidth"), e.ImageWidth, a.ImageWidth);
        d.Field(At(s, "ImageHeight"), e.ImageHeight, a.ImageHeight);
        d.Field(At(s, "BitPerPixel"), e.BitPerPixel, a.BitPerPixel);
        d.Field(At(s, "ImageDPI"), e.ImageDPI, a.ImageDPI);
        if (!d.Found())
            d.Bytes(At(s), e.ImageBytes.get(), a.ImageBytes.get(),
                    ImageByteCount(e.ImageWidth, e.ImageHeight, e.BitPerPixel));
        d.Field(At(s, "ClipAreaCount"), e.ClipAreaCount, a.ClipAreaCount);
        for (int k = 0; k < std::clamp(e.ClipAreaCount, 0, kMaxClipAreaCount) && !d.Found(); ++k) {
            const auto &c = e.ClipAreas[k];
            const auto &b = a.ClipAreas[k];
            const QString at = QStringLiteral("sheet %1 clip area %2").arg(s).arg(k);
            const bool same = std::tie(c.LeftTopX, c.LeftTopY, c.RightTopX, c.RightTopY, c.LeftBottomX, c.LeftBottomY,
                                       c.RightBottomX, c.RightBottomY) ==
                              std::tie(b.LeftTopX, b.LeftTopY, b.RightTopX, b.RightTopY, b.LeftBottomX, b.LeftBottomY,
                                       b.RightBottomX, b.RightBottomY);
            d.Field(at, 1, same ? 1 : 0);
        }
    }
    return d.text;
}

QString DiffMeasurement(const MeasurementDataSheets &expected, const MeasurementDataSheets &actual, bool withTexts)
{
    Diff d;
    d.Field(QStringLiteral("Mode"), expected.Mode, actual.Mode);
    d.Field(QStringLiteral("SerialNumber"), expected.SerialNumber, actual.SerialNumber);
    d.Field(QStringLiteral("SheetCount"), expected.SheetCount, actual.SheetCount);
    d.Field(QStringLiteral("RecordCount"), expected.RecordCount, actual.RecordCount);
    d.Field(QStringLiteral("Diameter"), expected.Diameter, actual.Diameter);
    if (withTexts) {
        d.Field(QStringLiteral("BarcodeText1"), expected.BarcodeText1, actual.BarcodeText1);
        d.Field(QStringLiteral("BarcodeText2"), expected.BarcodeText2, actual.BarcodeText2);
    }
    if (d.Found() || !expected.Sheets || !actual.Sheets)
        return d.text;
    for (int s = 0; s < expected.SheetCount && !d.Found(); ++s) {
        const MeasurementData &e = expected.Sheets[s];
        const MeasurementData &a = actual.Sheets[s];
        const QString page = QStringLiteral("page %1 ").arg(s);
        d.Field(page + QLatin1String("Width"), e.Width, a.Width);
        d.Field(page + QLatin1String("Height"), e.Height, a.Height);
        d.Field(page + QLatin1String("BitPerPixel"), e.BitPerPixel, a.BitPerPixel);
        d.Field(page + QLatin1String("PageNumber"), e.PageNumber, a.PageNumber);
        d.Field(page + QLatin1String("RecordCount"), e.RecordCount, a.RecordCount);
        d.Field(page + QLatin1String("MeasuredCount"), e.MeasuredCount, a.MeasuredCount);
        d.Field(page + QLatin1String("ImageDPI"), e.ImageDPI, a.ImageDPI);
        if (!d.Found())
            d.Bytes(page, e.ImageBytes.get(), a.ImageBytes.get(), ImageByteCount(e.Width, e.Height, e.BitPerPixel));
        for (int i = 0; e.Records && a.Records && i < e.RecordCount && !d.Found(); ++i) {
            const MeasurementData::PatchData &r = e.Records[i];
            const MeasurementData::PatchData &q = a.Records[i];
            const QString at = page + QStringLiteral("record %1 ").arg(i);
            d.Field(at + QLatin1String("ID"), r.ID, q.ID);
            d.Field(at + QLatin1String("Area"), r.Area, q.Area);
            d.Field(at + QLatin1String("Row"), r.Row, q.Row);
            d.Field(at + QLatin1String("Column"), r.Column, q.Column);
            d.Field(at + QLatin1String("X"), r.X, q.X);
            d.Field(at + QLatin1String("Y"), r.Y, q.Y);
            for (int k = 0; k < kInstrumentValueCount && !d.Found(); ++k)
                d.Float(at + QStringLiteral("value %1").arg(k), r.Values[k], q.Values[k]);
            d.Field(at + QLatin1String("ColorFormat"), r.ColorFormat, q.ColorFormat);
            for (int k = 0; k < ValueCount(r.ColorFormat) && !d.Found(); ++k)
                d.Float(at + QStringLiteral("ColorValue%1").arg(k + 1), r.ColorValue[k], q.ColorValue[k]);
        }
    }
    return d.text;
}

void CheckMeasureDocument(const char *target, const QString &path, bool density)
{
    using Save = int (*)(const QString &, ChartDesigMeasureData *, const MeasurementDataSheets &,
                         const MeasurementData *, int);
    const auto read = density ? ReadDensityMeasureFile : ReadMeasureFile;
    const Save save = density ? Save(SaveDensityMeasureFile) : Save(SaveMeasureFile);
    ChartDesigMeasureData record;
    MeasurementHolder first;
    if (read(&record, &first.measurement, path) != kDocumentOk)
        return;
    const QString rewritten = path + QStringLiteral(".rewritten");
    const int saved = save(rewritten, &record, first.measurement, nullptr, -1);
    if (saved != kDocumentOk)
        Fail(target, QStringLiteral("the writer refused a measurement its reader accepted (%1)").arg(saved));
    ChartDesigMeasureData again;
    MeasurementHolder back;
    const int reread = read(&again, &back.measurement, rewritten);
    if (reread != kDocumentOk)
        Fail(target, QStringLiteral("the rewritten measurement does not read (%1)").arg(reread));
    QString diff = DiffMeasurement(first.measurement, back.measurement, density);
    if (diff.isEmpty() && (again.ChartName != record.ChartName || again.CreateTime != record.CreateTime))
        diff = QStringLiteral("record name or creation time changed");
    if (!diff.isEmpty())
        Fail(target, diff);
}

SheetLayout ProposedLayout(int patchCount)
{
    const qint64 n = std::max(patchCount, 1);
    const qint64 rows = std::max<qint64>(1, qint64(std::ceil(std::sqrt(double(n)))));
    return SheetLayout{int(std::min<qint64>(rows, 250)), int(std::min<qint64>((n + rows - 1) / rows, 60))};
}

void CheckImportedChart(const char *target, CIODataFile &io, ChartDefinitionDataSheets *imported,
                        const QString &importedPath, const QString &folder)
{
    // The main window keeps the printable start of the name, then only the characters a chart name may have.
    bool dropped = false;
    const QString name = KeepMatchingChars(&dropped, DefaultChartName(imported->ChartName, importedPath),
                                           QStringLiteral("[A-Za-z0-9 \\$%\\+\\-\\_]+"));
    if (!name.isEmpty())
        imported->ChartName = name;
    const ChartDefinitionDataSheets &chart = *imported;

    // The store: as a new designation chart is written, with the chart's own header fields.
    ChartDesigData record;
    record.ID = 1;
    record.ChartName = chart.ChartName;
    record.CreateTime = chart.CreateTime;
    record.UUID = chart.UUID;
    record.SheetCount = chart.SheetCount;
    record.ChartPatchCount = chart.ChartPatchCount;
    record.Diameter = chart.Diameter;
    record.Recog = chart.Recog;
    const QString storePath = folder + QStringLiteral("/00001.vrchart");
    int result = SaveChartFile(storePath, &record, chart);
    if (result != kDocumentOk)
        Fail(target, QStringLiteral("the document store refused an imported chart (%1)").arg(result));
    ChartDesigData storedRecord;
    ChartHolder stored;
    result = ReadChartFile(&storedRecord, &stored.chart, storePath);
    if (result != kDocumentOk)
        Fail(target, QStringLiteral("the chart file of an imported chart does not read back (%1)").arg(result));
    QString diff = DiffStoredChart(chart, stored.chart);
    if (!diff.isEmpty())
        Fail(target, QStringLiteral("chart file: ") + diff);

    // The own chart XML.
    const QString xmlPath = folder + QStringLiteral("/export.xml");
    result = io.WriteChartDefinition(xmlPath, &chart);
    if (result != CIODataFile::Success)
        Fail(target, QStringLiteral("the chart XML writer refused an imported chart (%1)").arg(result));
    ChartHolder back;
    int kind = 0;
    int patchCount = 0;
    result = io.ImportXmlChartDefinition(&back.chart, &kind, &patchCount, xmlPath);
    if (result != CIODataFile::Success || kind != CIODataFile::XmlOwnChart)
        Fail(target, QStringLiteral("the exported chart XML does not import (%1, kind %2)").arg(result).arg(kind));
    diff = DiffXmlChart(chart, back.chart);
    if (!diff.isEmpty())
        Fail(target, QStringLiteral("chart XML: ") + diff);
}

} // namespace fuzz
