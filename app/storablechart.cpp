#include "app/storablechart.h"

bool IsStorableUnit(int unit)
{
    return unit == 0 || unit == 1;
}

bool IsStorableBarcodeFlag(int barcode)
{
    return barcode == 0 || barcode == 1;
}

bool IsStorableAreaCount(int count)
{
    return count >= 0 && count <= kMaxAreaCount;
}

bool IsStorableClipAreaCount(int count)
{
    return count >= 0 && count <= kMaxClipAreaCount;
}

bool IsStorableColorFormat(int format)
{
    return format >= ChartDefinitionData::FormatNone && format <= ChartDefinitionData::Format8Color;
}

bool IsStorableImageSize(qint64 width, qint64 height, qint64 bitsPerPixel)
{
    return width >= 0 && height >= 0 && bitsPerPixel >= 0;
}

bool IsPatchInGrid(const ChartDefinitionData::Sheet &sheet, const ChartDefinitionData::PatchColor &patch)
{
    if (!IsStorableAreaCount(sheet.AreaCount) || patch.Area < 0 || patch.Area >= sheet.AreaCount)
        return false;
    const ChartDefinitionData::AreaCounts &area = sheet.Areas[patch.Area];
    return patch.Row >= 0 && patch.Row < area.RowCount && patch.Column >= 0 && patch.Column < area.ColumnCount;
}

bool IsStorableSheet(const ChartDefinitionData::Sheet &sheet)
{
    if (sheet.PatchCount < 0 || (sheet.PatchCount > 0 && !sheet.Patches) || !IsStorableAreaCount(sheet.AreaCount) ||
        !IsStorableClipAreaCount(sheet.ClipAreaCount))
        return false;
    if (!IsStorableImageSize(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel))
        return false;
    const qint64 bytes = ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel);
    if (bytes > 0 && (bytes > kMaxStorableImageBytes || !sheet.ImageBytes))
        return false;
    for (int i = 0; i < sheet.PatchCount; ++i) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[i];
        if (!IsPatchInGrid(sheet, patch) || !IsStorableColorFormat(patch.ColorFormat))
            return false;
    }
    return true;
}

bool IsStorableChartFields(const ChartDefinitionDataSheets &chart)
{
    return chart.SheetCount >= 0 && (chart.SheetCount == 0 || chart.Sheets) && IsStorableUnit(chart.UNIT) &&
           IsStorableBarcodeFlag(chart.Barcode);
}

bool IsStorableChart(const ChartDefinitionDataSheets &chart)
{
    if (!IsStorableChartFields(chart))
        return false;
    for (int s = 0; s < chart.SheetCount; ++s) {
        if (!IsStorableSheet(chart.Sheets[s]))
            return false;
    }
    return true;
}

bool IsStorableMeasurementMode(int mode)
{
    return mode >= 0 && mode <= 3;
}

bool IsStorableImage(qint64 width, qint64 height, qint64 bitsPerPixel, const unsigned char *bytes)
{
    if (!IsStorableImageSize(width, height, bitsPerPixel))
        return false;
    const qint64 size = ImageByteCount(width, height, bitsPerPixel);
    return size <= 0 || (bytes && size <= kMaxStorableImageBytes);
}

bool IsStorableMeasuredPage(const MeasurementData &page)
{
    if (!IsStorableImage(page.Width, page.Height, page.BitPerPixel, page.ImageBytes.get()))
        return false;
    if (page.RecordCount < 0 || (page.RecordCount > 0 && !page.Records))
        return false;
    for (int i = 0; i < page.RecordCount; ++i) {
        if (!IsStorableColorFormat(page.Records[i].ColorFormat))
            return false;
    }
    return true;
}

bool IsStorableMeasurementFields(const MeasurementDataSheets &measurement)
{
    return measurement.SheetCount >= 0 && (measurement.SheetCount == 0 || measurement.Sheets) &&
           IsStorableMeasurementMode(measurement.Mode);
}

bool IsStorableMeasurement(const MeasurementDataSheets &measurement)
{
    if (!IsStorableMeasurementFields(measurement))
        return false;
    for (int s = 0; s < measurement.SheetCount; ++s) {
        if (!IsStorableMeasuredPage(measurement.Sheets[s]))
            return false;
    }
    return true;
}
