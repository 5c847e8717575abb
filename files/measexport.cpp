#include "files/iodatafile.h"
#include "files/measexport.h"

#include "app/recordhelpers.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstring>
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

void AddValues(MeasureExport::RowCells *cells, const float *values, int count, int decimals)
{
    for (int i = 0; i < count; ++i)
        cells->AddFixed(values[i], decimals);
}

QString ColumnLetters(int column)
{
    if (column < 26)
        return QString(QChar(QLatin1Char('A').unicode() + column));
    return QString(QChar(QLatin1Char('A').unicode() + column / 26 - 1)) +
           QChar(QLatin1Char('A').unicode() + column % 26);
}

constexpr quint64 kPowersOfTen[] = {1,         10,         100,         1000,         10000,
                                    100000,    1000000,    10000000,    100000000,    1000000000};

// Digits of value, most significant first; returns the length.
int FormatUnsigned(char *out, quint64 value)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
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

int FormatFixed(char *out, float value, int decimals)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponentBits = int((bits >> 23) & 0xffu);
    // A float is mantissa * 2^exponent with a 24-bit mantissa; times 10^9 it fits 64 bits up to 2^9, so the
    // digits come from integer arithmetic, rounding half away from zero on the exact binary value. Larger
    // values and inf / nan take Qt's own formatting.
    const int exponent = exponentBits == 0 ? -149 : exponentBits - 150;
    if (exponentBits == 0xff || exponent > 9 || decimals < 0 || decimals > 9) {
        const QByteArray text = QString::number(double(value), 'f', decimals).toLatin1();
        const int size = qMin(text.size(), kMaxFixedText);
        std::memcpy(out, text.constData(), size_t(size));
        return size;
    }
    const quint64 mantissa = exponentBits == 0 ? (bits & 0x7fffffu) : ((bits & 0x7fffffu) | 0x800000u);
    const quint64 scaled = mantissa * kPowersOfTen[decimals];
    quint64 rounded;
    if (exponent >= 0) {
        rounded = scaled << exponent;
    } else if (-exponent >= 64) {
        rounded = 0; // below 2^-40, far under half the last digit
    } else {
        const int shift = -exponent;
        rounded = scaled >> shift;
        if (((scaled >> (shift - 1)) & 1u) != 0)
            ++rounded;
    }
    int n = 0;
    // Qt writes the sign of any value below zero, even one that rounds to zero, but not of -0.
    if ((bits >> 31) != 0 && (bits & 0x7fffffffu) != 0)
        out[n++] = '-';
    n += FormatUnsigned(out + n, rounded / kPowersOfTen[decimals]);
    if (decimals > 0) {
        out[n++] = '.';
        quint64 fraction = rounded % kPowersOfTen[decimals];
        for (int i = decimals - 1; i >= 0; --i) {
            out[n + i] = char('0' + fraction % 10);
            fraction /= 10;
        }
        n += decimals;
    }
    return n;
}

int FormatInt(char *out, int value)
{
    if (value >= 0)
        return FormatUnsigned(out, quint64(value));
    out[0] = '-';
    return 1 + FormatUnsigned(out + 1, quint64(-qint64(value)));
}

void ExportBuffer::AppendInt(int value)
{
    char text[16];
    m_bytes.append(text, size_t(FormatInt(text, value)));
}

void ExportBuffer::AppendFixed(float value, int decimals)
{
    char text[kMaxFixedText];
    m_bytes.append(text, size_t(FormatFixed(text, value, decimals)));
}

void ExportBuffer::AppendText(const QString &text)
{
    AppendLines(text.toUtf8());
}

void ExportBuffer::AppendLines(const char *text, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '\n')
            LineEnd();
        else
            m_bytes.push_back(text[i]);
    }
}

void ExportBuffer::LineEnd()
{
    if (m_bytes.empty() || m_bytes.back() != '\r')
        m_bytes.push_back('\r');
    m_bytes.push_back('\n');
}

void RowCells::AddFixed(float value, int decimals)
{
    char text[kMaxFixedText];
    m_text.append(text, size_t(FormatFixed(text, value, decimals)));
    EndCell();
}

void RowCells::AddInt(int value)
{
    char text[16];
    m_text.append(text, size_t(FormatInt(text, value)));
    EndCell();
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

CIODataFile::AreaNumbers CIODataFile::BuildAreaNumbers(const QStringList &areaKeys)
{
    AreaNumbers numbers;
    for (int i = 0; i < areaKeys.size(); ++i) {
        // "sheet-area"; the sheet may be negative, so the separator is looked for after the first character.
        const QString &key = areaKeys.at(i);
        const int dash = key.indexOf(QLatin1Char('-'), 1);
        if (dash < 0)
            continue;
        bool sheetOk = false;
        bool areaOk = false;
        const int sheet = key.leftRef(dash).toInt(&sheetOk);
        const int area = key.midRef(dash + 1).toInt(&areaOk);
        // Only a key written exactly as a row's would be can match one.
        if (!sheetOk || !areaOk || key != QStringLiteral("%1-%2").arg(sheet).arg(area))
            continue;
        const QPair<int, int> place(sheet, area);
        if (!numbers.contains(place))
            numbers.insert(place, i + 1);
    }
    return numbers;
}

int CIODataFile::BuildExportRow(MeasureExport::RowCells *cells, const Setting::MeasureConditionSetting &setting,
                                int conditionId, int sheetIndex, const MeasurementData::PatchData &record,
                                const ChartDefinitionData::PatchColor &patch, int chartColorFormat,
                                const AreaNumbers &areaNumbers)
{
    cells->Clear();
    cells->AddInt(patch.ID);
    if (areaNumbers.isEmpty()) {
        cells->AddInt(sheetIndex + 1);
        cells->AddInt(record.Area + 1);
        cells->AddInt(record.Column + 1);
        cells->AddInt(record.Row + 1);
    } else {
        std::string &text = cells->Text();
        char digits[16];
        text.append(digits, size_t(MeasureExport::FormatInt(
                                digits, areaNumbers.value(qMakePair(sheetIndex, record.Area), 0))));
        const int column = qMax(record.Column, 0);
        if (column < 26) {
            text.push_back(char('A' + column));
        } else if (column / 26 - 1 < 62) {
            text.push_back(char('A' + column / 26 - 1));
            text.push_back(char('A' + column % 26));
        } else {
            text += ColumnLetters(column).toUtf8().toStdString();
        }
        text.append(digits, size_t(MeasureExport::FormatInt(digits, record.Row + 1)));
        cells->EndCell();
    }
    // The chart's format decides the cells, so every row matches the field list.
    if (setting.PatchColorShown == 1 && chartColorFormat >= ChartDefinitionData::FormatRGB &&
        chartColorFormat <= ChartDefinitionData::Format8Color)
        AddValues(cells, patch.ColorValue, chartColorFormat + 2, 2);

    float result[kPatchValueCount] = {};
    const int code = m_host ? m_host->CalculatePatchValues(result, record.Values, setting, conditionId)
                            : CIODataFileHost::kNoPatchCalculation;
    if (code != 0)
        return code;

    if (setting.DensityShown == 1)
        AddValues(cells, result + kDensities, 4, 3);
    if (setting.ColorSpaceShown == 1) {
        if (setting.LabShown == 1)
            AddValues(cells, result + kLab, 3, 2);
        if (setting.LchShown == 1)
            AddValues(cells, result + kLch, 3, 2);
        if (setting.XyzShown == 1)
            AddValues(cells, result + kXyz, 3, 2);
    }
    if (setting.SpectralShown == 1)
        AddValues(cells, result + kSpectrum, kSpectralCount, 7);
    return Success;
}

void CIODataFile::CollectRows(QVector<ExportRow> *rows, int order, const MeasurementDataSheets &measurement,
                              const ChartDefinitionDataSheets &chart)
{
    if (order == 1)
        CollectRowsInIdOrder(rows, measurement, chart);
    else
        CollectRowsInLayoutOrder(rows, measurement, chart);
}

void CIODataFile::CollectRowsInLayoutOrder(QVector<ExportRow> *rows, const MeasurementDataSheets &measurement,
                                           const ChartDefinitionDataSheets &chart)
{
    rows->clear();
    if (!measurement.Sheets || !chart.Sheets)
        return;
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
            rows->append(ExportRow{sheetIndex, &page.Records[r], &sheet.Patches[firstPatch.value(cell)]});
        }
    }
}

void CIODataFile::CollectRowsInIdOrder(QVector<ExportRow> *rows, const MeasurementDataSheets &measurement,
                                       const ChartDefinitionDataSheets &chart)
{
    rows->clear();
    if (!measurement.Sheets || !chart.Sheets)
        return;
    // Only a page standing at the position of its sheet takes part.
    QHash<int, QHash<Cell, int>> pageIndex;
    for (int p = 0; p < measurement.SheetCount; ++p) {
        if (measurement.Sheets[p].PageNumber - 1 == p)
            pageIndex.insert(p, IndexRecords(measurement.Sheets[p]));
    }
    const QVector<QPair<int, const ChartDefinitionData::PatchColor *>> entries = ListChartPatchesById(chart);
    for (const auto &entry : entries) {
        const int sheetIndex = entry.first;
        const auto page = pageIndex.constFind(sheetIndex);
        if (page == pageIndex.constEnd())
            continue;
        const ChartDefinitionData::PatchColor &patch = *entry.second;
        const int r = page->value(Cell{patch.Area, patch.Row, patch.Column}, -1);
        const MeasurementData::PatchData *records = measurement.Sheets[sheetIndex].Records.get();
        if (r < 0 || !AnyMeasuredValue(records[r]))
            continue;
        rows->append(ExportRow{sheetIndex, &records[r], &patch});
    }
}

QStringList CIODataFile::BuildAreaKeyList(const MeasurementDataSheets &measurement)
{
    return ListPageAreaKeys(measurement);
}

QVector<QPair<int, const ChartDefinitionData::PatchColor *>> CIODataFile::ListChartPatchesById(
    const ChartDefinitionDataSheets &chart)
{
    QVector<QPair<int, const ChartDefinitionData::PatchColor *>> entries;
    if (!chart.Sheets)
        return entries;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[s];
        if (!sheet.Patches)
            continue;
        for (int i = 0; i < sheet.PatchCount; ++i)
            entries.append(qMakePair(s, &sheet.Patches[i]));
    }
    // Stable, so patches sharing an ID keep their stored order and the output is reproducible.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const QPair<int, const ChartDefinitionData::PatchColor *> &a,
                        const QPair<int, const ChartDefinitionData::PatchColor *> &b) {
                         return a.second->ID < b.second->ID;
                     });
    return entries;
}
