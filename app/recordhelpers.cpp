#include "app/recordhelpers.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

// The field copies below list every field; these sizes make a field added to a record fail here first.
static_assert(sizeof(void *) != 8 || sizeof(ChartDefinitionData::Sheet) == 3480, "see CopySheetFields");
static_assert(sizeof(void *) != 8 || sizeof(MeasurementData) == 48, "see CopyPageFields");
static_assert(sizeof(void *) != 8 || sizeof(ChartDefinitionDataSheets) == 64, "see CopyChartFields");
static_assert(sizeof(void *) != 8 || sizeof(MeasurementDataSheets) == 56, "see CopyMeasurementFields");

namespace {

// A null source or a count of 0 gives no array; the count is 64-bit for image byte counts.
template <typename T>
std::unique_ptr<T[]> CopyArray(const T *source, qint64 count, std::unique_ptr<T[]> (*newArray)(size_t))
{
    if (!source || count <= 0)
        return nullptr;
    std::unique_ptr<T[]> copy = newArray(size_t(count));
    std::copy(source, source + count, copy.get());
    return copy;
}

void CopyPageFields(MeasurementData *destination, const MeasurementData &source)
{
    destination->Width = source.Width;
    destination->Height = source.Height;
    destination->BitPerPixel = source.BitPerPixel;
    destination->PageNumber = source.PageNumber;
    destination->RecordCount = source.RecordCount;
    destination->MeasuredCount = source.MeasuredCount;
    destination->ImageDPI = source.ImageDPI;
}

void CopyChartFields(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &source)
{
    destination->Kind = source.Kind;
    destination->SheetCount = source.SheetCount;
    destination->ChartPatchCount = source.ChartPatchCount;
    destination->Diameter = source.Diameter;
    destination->UUID = source.UUID;
    destination->ChartName = source.ChartName;
    destination->CreateTime = source.CreateTime;
    destination->UNIT = source.UNIT;
    destination->Barcode = source.Barcode;
    destination->Recog = source.Recog;
}

void CopyMeasurementFields(MeasurementDataSheets *destination, const MeasurementDataSheets &source)
{
    destination->Mode = source.Mode;
    destination->SerialNumber = source.SerialNumber;
    destination->SheetCount = source.SheetCount;
    destination->RecordCount = source.RecordCount;
    destination->Diameter = source.Diameter;
    destination->BarcodeText1 = source.BarcodeText1;
    destination->BarcodeText2 = source.BarcodeText2;
}

} // namespace

std::unique_ptr<ChartDefinitionData::Sheet[]> NewChartSheets(size_t count)
{
    return std::unique_ptr<ChartDefinitionData::Sheet[]>(new ChartDefinitionData::Sheet[count]);
}

std::unique_ptr<ChartDefinitionData::PatchColor[]> NewChartPatches(size_t count)
{
    return std::unique_ptr<ChartDefinitionData::PatchColor[]>(new ChartDefinitionData::PatchColor[count]);
}

std::unique_ptr<MeasurementData[]> NewMeasurementPages(size_t count)
{
    return std::unique_ptr<MeasurementData[]>(new MeasurementData[count]);
}

std::unique_ptr<MeasurementData::PatchData[]> NewMeasurementRecords(size_t count)
{
    return std::unique_ptr<MeasurementData::PatchData[]>(new MeasurementData::PatchData[count]);
}

std::unique_ptr<unsigned char[]> NewImageBytes(size_t count)
{
    // Default-initialised: page images run to megabytes and are written whole right after.
    return std::unique_ptr<unsigned char[]>(new unsigned char[count]);
}

void InitChartDefinitionData(ChartDefinitionDataSheets *chart)
{
    *chart = ChartDefinitionDataSheets();
}

void ClearSheetData(ChartDefinitionData::Sheet *sheet)
{
    *sheet = ChartDefinitionData::Sheet();
}

void ClearChartDefinitionData(ChartDefinitionDataSheets *chart)
{
    InitChartDefinitionData(chart);
}

void InitMeasureFileData(MeasurementDataSheets *measurement)
{
    *measurement = MeasurementDataSheets();
}

void ClearMeasurementPage(MeasurementData *page)
{
    *page = MeasurementData();
}

void ClearMeasureFileData(MeasurementDataSheets *measurement)
{
    InitMeasureFileData(measurement);
}

void CopySheetFields(ChartDefinitionData::Sheet *destination, const ChartDefinitionData::Sheet &source)
{
    if (destination == &source)
        return;
    destination->Width = source.Width;
    destination->Height = source.Height;
    destination->PatchCount = source.PatchCount;
    destination->AreaCount = source.AreaCount;
    std::copy(std::begin(source.Areas), std::end(source.Areas), destination->Areas);
    std::copy(std::begin(source.Placements), std::end(source.Placements), destination->Placements);
    destination->HasImage = source.HasImage;
    destination->ClipAreaCount = source.ClipAreaCount;
    std::copy(std::begin(source.ClipAreas), std::end(source.ClipAreas), destination->ClipAreas);
    destination->ImageWidth = source.ImageWidth;
    destination->ImageHeight = source.ImageHeight;
    destination->BitPerPixel = source.BitPerPixel;
    destination->BarcodeLeftTopX = source.BarcodeLeftTopX;
    destination->BarcodeLeftTopY = source.BarcodeLeftTopY;
    destination->BarcodeWidth = source.BarcodeWidth;
    destination->BarcodeHeight = source.BarcodeHeight;
    destination->ImageDPI = source.ImageDPI;
}

void CopyChartHeader(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &source)
{
    if (destination == &source)
        return;
    ClearChartDefinitionData(destination);
    CopyChartFields(destination, source);
    destination->SheetCount = 0;
    destination->ChartPatchCount = 0;
}

void CopySheetData(ChartDefinitionData::Sheet *destination, const ChartDefinitionData::Sheet &source)
{
    if (destination == &source)
        return;
    ClearSheetData(destination);
    CopySheetFields(destination, source);
    try {
        destination->ImageBytes = CopyArray(source.ImageBytes.get(),
                                             ImageByteCount(source.ImageWidth, source.ImageHeight, source.BitPerPixel),
                                             NewImageBytes);
        destination->Patches = CopyArray(source.Patches.get(), source.PatchCount, NewChartPatches);
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
    CopyPageFields(destination, source);
    try {
        destination->Records = CopyArray(source.Records.get(), source.RecordCount, NewMeasurementRecords);
        destination->ImageBytes = CopyArray(source.ImageBytes.get(),
                                             ImageByteCount(source.Width, source.Height, source.BitPerPixel),
                                             NewImageBytes);
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
    CopyChartFields(destination, source);
    if (!source.Sheets || source.SheetCount <= 0)
        return;
    try {
        destination->Sheets = NewChartSheets(size_t(source.SheetCount));
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
    CopyMeasurementFields(destination, source);
    if (!source.Sheets || source.SheetCount <= 0)
        return;
    try {
        destination->Sheets = NewMeasurementPages(size_t(source.SheetCount));
        for (int i = 0; i < source.SheetCount; ++i)
            CopyMeasurementPage(&destination->Sheets[i], source.Sheets[i]);
    } catch (...) {
        ClearMeasureFileData(destination);
        throw;
    }
}

void CopyChartForMeasurement(ChartDefinitionDataSheets *destination, const ChartDefinitionDataSheets &chart,
                             const MeasurementDataSheets &measurement)
{
    CopyChartHeader(destination, chart);
    const int pages = measurement.Sheets ? std::max(0, measurement.SheetCount) : 0;
    if (pages == 0)
        return;
    try {
        destination->Sheets = NewChartSheets(size_t(pages));
        destination->SheetCount = pages;
        for (int i = 0; i < pages; ++i) {
            const int number = measurement.Sheets[i].PageNumber;
            const int index = number >= 1 && number <= chart.SheetCount ? number - 1 : 0;
            if (chart.Sheets && index < chart.SheetCount)
                CopySheetData(&destination->Sheets[i], chart.Sheets[index]);
            destination->ChartPatchCount += destination->Sheets[i].PatchCount;
        }
    } catch (...) {
        ClearChartDefinitionData(destination);
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
