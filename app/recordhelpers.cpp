#include "app/recordhelpers.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

unsigned char *CopyImageBytes(const unsigned char *source, qint64 count)
{
    if (!source || count <= 0)
        return nullptr;
    auto *bytes = new unsigned char[size_t(count)];
    std::memcpy(bytes, source, size_t(count));
    return bytes;
}

template <typename T>
T *CopyArray(const T *source, int count)
{
    if (!source || count <= 0)
        return nullptr;
    T *copy = new T[size_t(count)];
    std::copy(source, source + count, copy);
    return copy;
}

} // namespace

void InitChartDefinitionData(ChartDefinitionDataSheets *chart)
{
    *chart = ChartDefinitionDataSheets();
}

void ClearSheetData(ChartDefinitionData::Sheet *sheet)
{
    delete[] sheet->ImageBytes;
    delete[] sheet->Patches;
    *sheet = ChartDefinitionData::Sheet();
}

void ClearChartDefinitionData(ChartDefinitionDataSheets *chart)
{
    if (chart->Sheets) {
        for (int i = 0; i < chart->SheetCount; ++i) {
            delete[] chart->Sheets[i].ImageBytes;
            delete[] chart->Sheets[i].Patches;
        }
        delete[] chart->Sheets;
    }
    InitChartDefinitionData(chart);
}

void InitMeasureFileData(MeasurementDataSheets *measurement)
{
    *measurement = MeasurementDataSheets();
}

void ClearMeasurementPage(MeasurementData *page)
{
    delete[] page->Records;
    delete[] page->ImageBytes;
    *page = MeasurementData();
}

void ClearMeasureFileData(MeasurementDataSheets *measurement)
{
    if (measurement->Sheets) {
        for (int i = 0; i < measurement->SheetCount; ++i) {
            delete[] measurement->Sheets[i].Records;
            delete[] measurement->Sheets[i].ImageBytes;
        }
        delete[] measurement->Sheets;
    }
    InitMeasureFileData(measurement);
}

void CopySheetData(ChartDefinitionData::Sheet *destination, const ChartDefinitionData::Sheet &source)
{
    if (destination == &source)
        return;
    ClearSheetData(destination);
    *destination = source;
    destination->ImageBytes = nullptr;
    destination->Patches = nullptr;
    try {
        destination->ImageBytes = CopyImageBytes(
            source.ImageBytes, ImageByteCount(source.ImageWidth, source.ImageHeight, source.BitPerPixel));
        destination->Patches = CopyArray(source.Patches, source.PatchCount);
    } catch (...) {
        ClearSheetData(destination);
        throw;
    }
}

void CopyMeasurementPage(MeasurementData *destination, const MeasurementData &source)
{
    if (destination == &source)
        return;
    ClearMeasurementPage(destination);
    *destination = source;
    destination->Records = nullptr;
    destination->ImageBytes = nullptr;
    try {
        destination->Records = CopyArray(source.Records, source.RecordCount);
        destination->ImageBytes =
            CopyImageBytes(source.ImageBytes, ImageByteCount(source.Width, source.Height, source.BitPerPixel));
    } catch (...) {
        ClearMeasurementPage(destination);
        throw;
    }
}

void CopyChartDefinitionData(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &source)
{
    if (destination == &source)
        return;
    ClearChartDefinitionData(destination);
    *destination = source;
    destination->Sheets = nullptr;
    if (!source.Sheets || source.SheetCount <= 0)
        return;
    try {
        // Fresh pages hold null arrays, so a failure halfway leaves a record that Clear can free.
        destination->Sheets = new ChartDefinitionData::Sheet[size_t(source.SheetCount)];
        for (int i = 0; i < source.SheetCount; ++i)
            CopySheetData(&destination->Sheets[i], source.Sheets[i]);
    } catch (...) {
        ClearChartDefinitionData(destination);
        throw;
    }
}

void CopyMeasureFileData(MeasurementDataSheets *destination, const MeasurementDataSheets &source)
{
    if (destination == &source)
        return;
    ClearMeasureFileData(destination);
    *destination = source;
    destination->Sheets = nullptr;
    if (!source.Sheets || source.SheetCount <= 0)
        return;
    try {
        destination->Sheets = new MeasurementData[size_t(source.SheetCount)];
        for (int i = 0; i < source.SheetCount; ++i)
            CopyMeasurementPage(&destination->Sheets[i], source.Sheets[i]);
    } catch (...) {
        ClearMeasureFileData(destination);
        throw;
    }
}

void FillSheetInfoRecord(SheetInfoRecord *record, const ChartDefinitionDataSheets &chart, int sheetIndex)
{
    std::memset(record, 0, sizeof *record);
    if (!chart.Sheets || sheetIndex < 0 || sheetIndex >= chart.SheetCount)
        return;
    const ChartDefinitionData::Sheet &sheet = chart.Sheets[sheetIndex];
    const QByteArray name = chart.ChartName.toUpper().toLocal8Bit();
    std::memcpy(record->ChartCode, name.constData(), size_t(std::min<int>(name.size(), sizeof record->ChartCode)));
    record->SheetCount = chart.SheetCount;
    record->SheetNumber = sheetIndex + 1;
    record->PatchCount = sheet.PatchCount;
    record->AreaCount = std::clamp(sheet.AreaCount, 0, kMaxAreaCount);
    for (int i = 0; i < record->AreaCount; ++i) {
        record->Areas[i].RowCount = sheet.Areas[i].RowCount;
        record->Areas[i].ColumnCount = sheet.Areas[i].ColumnCount;
        record->Areas[i].PatchCount = sheet.Areas[i].PatchCount;
    }
}

bool IsSamePatchPosition(const ChartDefinitionData::PatchColor &a, const ChartDefinitionData::PatchColor &b)
{
    return a.Column == b.Column && a.Row == b.Row && a.Area == b.Area;
}

bool IsSamePatchPosition(const MeasurementData::PatchData &a, const MeasurementData::PatchData &b)
{
    return a.Column == b.Column && a.Row == b.Row && a.Area == b.Area;
}

bool IsSameMeasurementKey(const MeasurementData::PatchData &a, const MeasurementData::PatchData &b)
{
    return a.ID == b.ID && a.Row == b.Row && a.X == b.X && a.Column == b.Column;
}

namespace {
template <typename Record>
bool FindByPosition(const Record *records, int n, int area, int row, int column, Record *found)
{
    if (!records)
        return false;
    for (int i = 0; i < n; ++i) {
        const Record &r = records[i];
        if (r.Area == area && r.Row == row && r.Column == column) {
            if (found)
                *found = r;
            return true;
        }
    }
    return false;
}
} // namespace

bool FindChartPatch(const ChartDefinitionData::PatchColor *patches, int n, int area, int row, int column,
                    ChartDefinitionData::PatchColor *found)
{
    return FindByPosition(patches, n, area, row, column, found);
}

bool FindPatchMeasurement(const MeasurementData::PatchData *records, int n, int area, int row, int column,
                          MeasurementData::PatchData *found)
{
    return FindByPosition(records, n, area, row, column, found);
}

bool AnyMeasuredValue(const MeasurementData::PatchData &record)
{
    // != keeps NaN as a value.
    return std::any_of(std::begin(record.Values), std::end(record.Values), [](float v) { return v != 0.0f; });
}

bool ChartFitsSheetMargins(const ChartDefinitionDataSheets &chart)
{
    if (!chart.Sheets)
        return true;
    for (int s = 0; s < chart.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[s];
        const qint64 right = qint64(sheet.Width) - 400;
        const qint64 bottom = qint64(sheet.Height) - 3300;
        for (int a = 0; a < kMaxAreaCount; ++a) {
            const ChartDefinitionData::AreaCounts &counts = sheet.Areas[a];
            if (counts.PatchCount <= 0)
                continue;
            const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
            const qint64 endX = qint64(p.LeftTopX) + (qint64(counts.ColumnCount) - 1) * p.PatchWidthGap + p.PatchWidth;
            const qint64 endY = qint64(p.LeftTopY) + (qint64(counts.RowCount) - 1) * p.PatchHeightGap + p.PatchHeight;
            if (endX > right || endY > bottom)
                return false;
        }
    }
    return true;
}

bool NoMeasurementConditionSelected(const Setting::MeasureConditionSetting &setting)
{
    return setting.ConditionMask == 0;
}

int ImageDpiOrDefault(int dpi)
{
    return dpi == 0 ? 150 : dpi;
}

int FillWords(qint32 *words, int n, qint32 value)
{
    if (words && n > 0)
        std::fill(words, words + n, value);
    return n;
}

int CopyWords(qint32 *destination, const qint32 *source, int n)
{
    if (destination && source && n > 0)
        std::memmove(destination, source, size_t(n) * sizeof(qint32));
    return n;
}
