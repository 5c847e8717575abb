#include "files/iodatafile.h"
#include "files/measexport.h"

#include "app/recordhelpers.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <tuple>

namespace {

constexpr int kSpectralCount = 36;
constexpr int kFirstWavelength = 380;
constexpr int kWavelengthStep = 10;
constexpr int kPatchValueCount = 49;

enum ValueIndex { kDensities = 0, kLab = 4, kLch = 7, kXyz = 10, kSpectrum = 13 };

// One patch position within a page.
struct Cell {
    int area;
    int row;
    int column;
    bool operator==(const Cell &other) const
    {
        return area == other.area && row == other.row && column == other.column;
    }
    bool operator<(const Cell &other) const
    {
        return std::tie(area, row, column) < std::tie(other.area, other.row, other.column);
    }
};

uint qHash(const Cell &cell, uint seed)
{
    return ::qHash(qMakePair(qMakePair(cell.area, cell.row), cell.column), seed);
}

// First record of each position, so one look-up per patch instead of a scan of the page.
QHash<Cell, int> IndexRecords(const MeasurementData &page)
{
    QHash<Cell, int> index;
    if (!page.Records)
        return index;
    index.reserve(page.RecordCount);
    for (int i = 0; i < page.RecordCount; ++i) {
        const MeasurementData::PatchData &record = page.Records[i];
        const Cell cell{record.Area, record.Row, record.Column};
        if (!index.contains(cell))
            index.insert(cell, i);
    }
    return index;
}

QString Fixed(float value, int decimals)
{
    return QString::number(double(value), 'f', decimals);
}

void AppendValues(QStringList *row, const float *values, int count, int decimals)
{
    for (int i = 0; i < count; ++i)
        row->append(Fixed(values[i], decimals));
}

QString ColumnLetters(int column)
{
    if (column < 26)
        return QString(QChar(QLatin1Char('A').unicode() + column));
    return QString(QChar(QLatin1Char('A').unicode() + column / 26 - 1)) +
           QChar(QLatin1Char('A').unicode() + column % 26);
}

} // namespace

// ---- Shared helpers ---------------------------------------------------------------------------------------

namespace MeasureExport {

const QString kMaker = QStringLiteral("VELMAR OSTRAND, INC.");

QDateTime ParseCreateTime(const QString &createTime)
{
    QDateTime time = QDateTime::fromString(createTime, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    time.setTimeSpec(Qt::LocalTime);
    return time;
}

QString IsoDateWithOffset(const QString &createTime)
{
    const QDateTime time = ParseCreateTime(createTime);
    if (!time.isValid())
        return QString();
    // Qt 5 prints no offset for a local time; a fixed offset prints "+hh:mm", and offset 0 prints "Z".
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

Setting::MeasureConditionSetting ApplyPaperWhiteFallback(CIODataFileHost *host,
                                                         const Setting::MeasureConditionSetting &setting)
{
    Setting::MeasureConditionSetting copy = setting;
    if (copy.DensityShown == 1 && copy.WhiteReference == 1 && !(host && host->SetPaperWhiteFromMeasurement()))
        copy.WhiteReference = 0;
    return copy;
}

WriterInputs GatherWriterInputs(CIODataFileHost *host, const Setting::MeasureConditionSetting &setting)
{
    WriterInputs inputs;
    inputs.conditions = ApplyPaperWhiteFallback(host, setting);
    if (host) {
        inputs.illuminants = host->GetUserIlluminants();
        if (const Setting::UserEnvironment *environment = host->GetUserEnvironment())
            inputs.inks = environment->Inks;
    }
    return inputs;
}

int MeasuredPatchTotal(const MeasurementDataSheets &measurement)
{
    qint64 total = 0;
    if (measurement.Sheets) {
        for (int p = 0; p < measurement.SheetCount; ++p)
            total += measurement.Sheets[p].MeasuredCount;
    }
    return int(qBound<qint64>(0, total, std::numeric_limits<int>::max()));
}

bool AnyColorSpace(const Setting::MeasureConditionSetting &setting)
{
    return setting.ColorSpaceShown == 1 &&
           (setting.LabShown == 1 || setting.LchShown == 1 || setting.XyzShown == 1);
}

QByteArray Utf8WithCrLf(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.replace("\n", "\r\n");
    return bytes;
}

} // namespace MeasureExport

// ---- Dispatch ---------------------------------------------------------------------------------------------

int CIODataFile::SaveMeasurementData(const QString &path, int formatId, const QString &createTime,
                                     const Setting::MeasureConditionSetting &setting,
                                     const QList<int> &conditionIds, const MeasurementDataSheets &measurement,
                                     const ChartDefinitionDataSheets &chart)
{
    const QString tab = QStringLiteral("\t");
    const QString comma = QStringLiteral(",");
    const int order = formatId >= 5 ? 1 : 0;
    switch (formatId) {
    case 0:
    case 5:
        return WriteMeasurementText(path, comma, createTime, setting, conditionIds, measurement, chart, order);
    case 1:
    case 6:
        return WriteMeasurementText(path, tab, createTime, setting, conditionIds, measurement, chart, order);
    case 2:
    case 7:
        return WriteMeasurementCgatsXml(path, createTime, setting, conditionIds, measurement, chart, order);
    case 3:
    case 8:
        return WriteMeasurementCgatsText(path, tab, createTime, setting, conditionIds, measurement, chart, order);
    case 4:
    case 9:
        return WriteMeasurementCxf(path, createTime, setting, conditionIds, measurement, chart, order);
    default:
        return Success;
    }
}

// ---- Fields and rows --------------------------------------------------------------------------------------

int CIODataFile::ChartColorFormat(const ChartDefinitionDataSheets &chart)
{
    if (!chart.Sheets)
        return ChartDefinitionData::FormatNone;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[s];
        if (sheet.Patches && sheet.PatchCount > 0)
            return sheet.Patches[0].ColorFormat;
    }
    return ChartDefinitionData::FormatNone;
}

QStringList CIODataFile::BuildExportFieldList(int style, const Setting::MeasureConditionSetting &setting,
                                              int colorFormat)
{
    QStringList fields;
    if (style == 0)
        fields << QStringLiteral("ID") << QStringLiteral("sheet") << QStringLiteral("area")
               << QStringLiteral("colomn") << QStringLiteral("row");
    else
        fields << QStringLiteral("SAMPLE_ID") << QStringLiteral("SAMPLE_LOC");

    if (setting.PatchColorShown == 1) {
        if (colorFormat == ChartDefinitionData::FormatRGB) {
            fields << QStringLiteral("RGB_R") << QStringLiteral("RGB_G") << QStringLiteral("RGB_B");
        } else if (colorFormat == ChartDefinitionData::FormatCMYK) {
            fields << QStringLiteral("CMYK_C") << QStringLiteral("CMYK_M") << QStringLiteral("CMYK_Y")
                   << QStringLiteral("CMYK_K");
        } else if (colorFormat >= ChartDefinitionData::Format5Color &&
                   colorFormat <= ChartDefinitionData::Format8Color) {
            const int inks = colorFormat + 2;
            for (int k = 1; k <= inks; ++k)
                fields << QStringLiteral("PC%1_%2").arg(inks).arg(k);
        }
    }
    if (setting.DensityShown == 1)
        fields << QStringLiteral("D_RED") << QStringLiteral("D_GREEN") << QStringLiteral("D_BLUE")
               << QStringLiteral("D_VIS");
    if (setting.ColorSpaceShown == 1) {
        if (setting.LabShown == 1)
            fields << QStringLiteral("LAB_L") << QStringLiteral("LAB_A") << QStringLiteral("LAB_B");
        if (setting.LchShown == 1)
            fields << QStringLiteral("LAB_L") << QStringLiteral("LAB_C") << QStringLiteral("LAB_H");
        if (setting.XyzShown == 1)
            fields << QStringLiteral("XYZ_X") << QStringLiteral("XYZ_Y") << QStringLiteral("XYZ_Z");
    }
    if (setting.SpectralShown == 1) {
        const QString prefix = style == 2 ? QStringLiteral("nm") : QStringLiteral("SPECTRAL_NM");
        for (int i = 0; i < kSpectralCount; ++i)
            fields << prefix + QString::number(kFirstWavelength + i * kWavelengthStep);
    }
    return fields;
}

int CIODataFile::BuildExportRow(ExportRow *row, const Setting::MeasureConditionSetting &setting, int conditionId,
                                int sheetIndex, const MeasurementData::PatchData &record,
                                const ChartDefinitionData::PatchColor &patch, int chartColorFormat,
                                const QStringList &areaKeys)
{
    ExportRow values;
    values << QString::number(patch.ID);
    if (areaKeys.isEmpty()) {
        values << QString::number(sheetIndex + 1) << QString::number(record.Area + 1)
               << QString::number(record.Column + 1) << QString::number(record.Row + 1);
    } else {
        const int areaNumber = 1 + areaKeys.indexOf(QStringLiteral("%1-%2").arg(sheetIndex).arg(record.Area));
        values << QString::number(areaNumber) + ColumnLetters(qMax(record.Column, 0)) +
                      QString::number(record.Row + 1);
    }
    // The chart's format decides the cells, so every row matches the field list.
    if (setting.PatchColorShown == 1 && chartColorFormat >= ChartDefinitionData::FormatRGB &&
        chartColorFormat <= ChartDefinitionData::Format8Color)
        AppendValues(&values, patch.ColorValue, chartColorFormat + 2, 2);

    float result[kPatchValueCount] = {};
    const int code = m_host ? m_host->CalculatePatchValues(result, record.Values, setting, conditionId)
                            : CIODataFileHost::kNoPatchCalculation;
    if (code != 0)
        return code;

    if (setting.DensityShown == 1)
        AppendValues(&values, result + kDensities, 4, 3);
    if (setting.ColorSpaceShown == 1) {
        if (setting.LabShown == 1)
            AppendValues(&values, result + kLab, 3, 2);
        if (setting.LchShown == 1)
            AppendValues(&values, result + kLch, 3, 2);
        if (setting.XyzShown == 1)
            AppendValues(&values, result + kXyz, 3, 2);
    }
    if (setting.SpectralShown == 1)
        AppendValues(&values, result + kSpectrum, kSpectralCount, 7);
    *row = values;
    return Success;
}

int CIODataFile::AppendExportRow(QList<ExportRow> *rows, const Setting::MeasureConditionSetting &setting,
                                 int conditionId, int sheetIndex, const MeasurementData::PatchData &record,
                                 const ChartDefinitionData::PatchColor &patch, int chartColorFormat,
                                 const QStringList &areaKeys)
{
    ExportRow row;
    const int code =
        BuildExportRow(&row, setting, conditionId, sheetIndex, record, patch, chartColorFormat, areaKeys);
    if (code != Success) {
        rows->clear();
        return code;
    }
    rows->append(row);
    return Success;
}

int CIODataFile::CollectRows(QList<ExportRow> *rows, int order, const Setting::MeasureConditionSetting &setting,
                             int conditionId, const MeasurementDataSheets &measurement,
                             const ChartDefinitionDataSheets &chart, const QStringList &areaKeys)
{
    return order == 1 ? CollectRowsInIdOrder(rows, setting, conditionId, measurement, chart, areaKeys)
                      : CollectRowsInLayoutOrder(rows, setting, conditionId, measurement, chart, areaKeys);
}

int CIODataFile::CollectRowsInLayoutOrder(QList<ExportRow> *rows, const Setting::MeasureConditionSetting &setting,
                                          int conditionId, const MeasurementDataSheets &measurement,
                                          const ChartDefinitionDataSheets &chart, const QStringList &areaKeys)
{
    rows->clear();
    if (!measurement.Sheets || !chart.Sheets)
        return Success;
    const int chartFormat = ChartColorFormat(chart);
    for (int p = 0; p < measurement.SheetCount; ++p) {
        const MeasurementData &page = measurement.Sheets[p];
        const int sheetIndex = page.PageNumber - 1;
        if (sheetIndex < 0 || sheetIndex >= chart.SheetCount)
            continue;
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[sheetIndex];
        if (!sheet.Patches)
            continue;

        // Walking the grid cell by cell visits exactly the first patch of each cell inside the areas, in
        // (area, row, column) order; sorting those patches gives the same walk without empty cells.
        QHash<Cell, int> firstPatch;
        QVector<Cell> cells;
        const int areaCount = qBound(0, sheet.AreaCount, kMaxAreaCount);
        for (int i = 0; i < sheet.PatchCount; ++i) {
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
            if (patch.Area < 0 || patch.Area >= areaCount || patch.Row < 0 ||
                patch.Row >= sheet.Areas[patch.Area].RowCount || patch.Column < 0 ||
                patch.Column >= sheet.Areas[patch.Area].ColumnCount)
                continue;
            const Cell cell{patch.Area, patch.Row, patch.Column};
            if (firstPatch.contains(cell))
                continue;
            firstPatch.insert(cell, i);
            cells.append(cell);
        }
        std::sort(cells.begin(), cells.end());

        const QHash<Cell, int> records = IndexRecords(page);
        for (const Cell &cell : cells) {
            const int r = records.value(cell, -1);
            if (r < 0 || !AnyMeasuredValue(page.Records[r]))
                continue;
            const int code = AppendExportRow(rows, setting, conditionId, sheetIndex, page.Records[r],
                                             sheet.Patches[firstPatch.value(cell)], chartFormat, areaKeys);
            if (code != Success)
                return code;
        }
    }
    return Success;
}

int CIODataFile::CollectRowsInIdOrder(QList<ExportRow> *rows, const Setting::MeasureConditionSetting &setting,
                                      int conditionId, const MeasurementDataSheets &measurement,
                                      const ChartDefinitionDataSheets &chart, const QStringList &areaKeys)
{
    rows->clear();
    if (!measurement.Sheets || !chart.Sheets)
        return Success;
    const int chartFormat = ChartColorFormat(chart);
    // Only a page standing at the position of its sheet takes part.
    QHash<int, QHash<Cell, int>> pageIndex;
    for (int p = 0; p < measurement.SheetCount; ++p) {
        if (measurement.Sheets[p].PageNumber - 1 == p)
            pageIndex.insert(p, IndexRecords(measurement.Sheets[p]));
    }
    const QList<QPair<int, ChartDefinitionData::PatchColor>> entries = ListChartPatchesById(chart);
    for (const auto &entry : entries) {
        const int sheetIndex = entry.first;
        const auto page = pageIndex.constFind(sheetIndex);
        if (page == pageIndex.constEnd())
            continue;
        const ChartDefinitionData::PatchColor &patch = entry.second;
        const int r = page->value(Cell{patch.Area, patch.Row, patch.Column}, -1);
        const MeasurementData::PatchData *records = measurement.Sheets[sheetIndex].Records.get();
        if (r < 0 || !AnyMeasuredValue(records[r]))
            continue;
        const int code =
            AppendExportRow(rows, setting, conditionId, sheetIndex, records[r], patch, chartFormat, areaKeys);
        if (code != Success)
            return code;
    }
    return Success;
}

QStringList CIODataFile::BuildAreaKeyList(const MeasurementDataSheets &measurement)
{
    return ListPageAreaKeys(measurement);
}

QList<QPair<int, ChartDefinitionData::PatchColor>> CIODataFile::ListChartPatchesById(
    const ChartDefinitionDataSheets &chart)
{
    QList<QPair<int, ChartDefinitionData::PatchColor>> entries;
    if (!chart.Sheets)
        return entries;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[s];
        if (!sheet.Patches)
            continue;
        for (int i = 0; i < sheet.PatchCount; ++i)
            entries.append(qMakePair(s, sheet.Patches[i]));
    }
    // Stable, so patches sharing an ID keep their stored order and the output is reproducible.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const QPair<int, ChartDefinitionData::PatchColor> &a,
                        const QPair<int, ChartDefinitionData::PatchColor> &b) { return a.second.ID < b.second.ID; });
    return entries;
}
