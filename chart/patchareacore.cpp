#include "chart/patchareacore.h"

#include "app/colourhelpers.h"
#include "app/recordhelpers.h"
#include "app/texthelpers.h"

#include <algorithm>

namespace PatchAreaCore {

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;
using PatchData = MeasurementData::PatchData;

int ValidCount(int count, int capacity)
{
    return std::clamp(count, 0, capacity);
}

int SheetPatchCount(const Sheet &sheet)
{
    return sheet.Patches ? std::max(0, sheet.PatchCount) : 0;
}

int EntryRecordCount(const MeasurementData &entry)
{
    return entry.Records ? std::max(0, entry.RecordCount) : 0;
}

void FillPaper(float *values, int colorFormat, float paperValue)
{
    const int channels = ValidCount(colorFormat + 2, kMaxColorValueCount);
    std::fill(values, values + channels, paperValue);
}

// The patches of an area: its first PatchCount grid places, rows outer and columns inner.
int AreaPatchCount(const ChartDefinitionData::AreaCounts &area)
{
    const int grid = std::max(0, area.RowCount) * std::max(0, area.ColumnCount);
    return std::clamp(area.PatchCount, 0, grid);
}

// Calls place(row, column) for each patch of the area in order.
template <typename Place>
void ForEachAreaPatch(const ChartDefinitionData::AreaCounts &area, Place place)
{
    const int count = AreaPatchCount(area);
    for (int k = 0; k < count; ++k)
        place(k / area.ColumnCount, k % area.ColumnCount);
}

int AreasPatchCount(const Sheet &sheet, int firstArea, int areaCount)
{
    int count = 0;
    for (int a = firstArea; a < firstArea + areaCount; ++a)
        count += AreaPatchCount(sheet.Areas[a]);
    return count;
}

// The page's patches followed by those of the added areas, numbered on from the largest ID in use. Areas
// first..first + count - 1 of `page` must already hold the added grids.
void AppendAreaPatches(Sheet *page, int oldPatchCount, int firstArea, int areaCount, int colorFormat,
                       float paperValue)
{
    const int added = AreasPatchCount(*page, firstArea, areaCount);
    std::unique_ptr<PatchColor[]> patches = NewChartPatches(size_t(oldPatchCount + added));
    int idCounter = 1;
    for (int k = 0; k < oldPatchCount; ++k) {
        patches[k] = page->Patches[k];
        BumpIdCounter(&idCounter, patches[k].ID, kMaxPatchId);
    }
    int k = oldPatchCount;
    for (int a = firstArea; a < firstArea + areaCount; ++a) {
        ForEachAreaPatch(page->Areas[a], [&](int r, int c) {
            PatchColor &patch = patches[k++];
            patch.ID = NextId(&idCounter, kMaxPatchId);
            patch.Area = a;
            patch.Row = r;
            patch.Column = c;
            patch.ColorFormat = colorFormat;
            FillPaper(patch.ColorValue, colorFormat, paperValue);
        });
    }
    page->Patches = std::move(patches);
    page->PatchCount = k;
}

// The entry's records with room for `added` more; *idCounter is past every ID already in use.
std::unique_ptr<PatchData[]> GrownRecords(const MeasurementData &entry, int added, int *idCounter)
{
    const int old = EntryRecordCount(entry);
    std::unique_ptr<PatchData[]> records = NewMeasurementRecords(size_t(old + added));
    *idCounter = 0;
    for (int k = 0; k < old; ++k) {
        records[k] = entry.Records[k];
        BumpIdCounter(idCounter, records[k].ID, kMaxPatchId);
    }
    return records;
}

} // namespace

int SheetIndexOfPage(int pageNumber)
{
    return pageNumber >= 1 ? pageNumber - 1 : 0;
}

QList<PatchColor> DeletedPointList(const QVector<QVector<GridPoint>> &commands, int index)
{
    QList<PatchColor> points;
    for (int i = 0; i < std::min(index, int(commands.size())); ++i) {
        for (const GridPoint &point : commands.at(i)) {
            PatchColor record;
            record.Area = point.area;
            record.Row = point.row;
            record.Column = point.column;
            points.append(record);
        }
    }
    return points;
}

bool NothingLeft(const ChartDefinitionDataSheets &chart, int currentSheet, int deletedCount)
{
    const int sheets = chart.Sheets ? std::max(0, chart.SheetCount) : 0;
    for (int s = 0; s < sheets; ++s) {
        if (chart.Sheets[s].PatchCount == 0)
            return true;
    }
    return currentSheet >= 0 && currentSheet < sheets && deletedCount == chart.Sheets[currentSheet].PatchCount;
}

void RecolourFromMeasurement(ChartDefinitionDataSheets *chart, const MeasurementDataSheets &measurement,
                             const std::function<float(int)> &fillValue)
{
    const int sheets = chart->Sheets ? std::max(0, chart->SheetCount) : 0;
    const int entries = measurement.Sheets ? std::max(0, measurement.SheetCount) : 0;
    for (int s = 0; s < sheets; ++s) {
        const MeasurementData *entry = nullptr;
        for (int e = 0; e < entries && !entry; ++e) {
            if (SheetIndexOfPage(measurement.Sheets[e].PageNumber) == s)
                entry = &measurement.Sheets[e];
        }
        Sheet &sheet = chart->Sheets[s];
        for (int k = 0; k < SheetPatchCount(sheet); ++k) {
            PatchColor &patch = sheet.Patches[k];
            float rgb[3] = {255.0f, 255.0f, 255.0f};
            PatchData found;
            if (entry && FindPatchMeasurement(entry->Records.get(), EntryRecordCount(*entry), patch.Area, patch.Row,
                                              patch.Column, &found))
                std::copy(found.ColorValue, found.ColorValue + 3, rgb);
            float xyz[3];
            RgbToXyz(xyz, rgb);
            XyzToPatchColorValues(patch.ColorValue, patch.ColorFormat, xyz, fillValue(patch.ColorFormat));
        }
    }
}

int AddAreaToPage(ChartDefinitionDataSheets *chart, int sheetIndex, MeasurementData *entry, const Sheet &added,
                  int colorFormat, float paperValue)
{
    Sheet &page = chart->Sheets[sheetIndex];
    const int oldAreas = ValidCount(page.AreaCount, kMaxAreaCount);
    const int newAreas = ValidCount(added.AreaCount, kMaxAreaCount);
    if (page.AreaCount + added.AreaCount > kMaxAreaCount)
        return TooManyAreasAdded;

    const int oldPatches = SheetPatchCount(page);
    std::copy(added.Areas, added.Areas + newAreas, page.Areas + oldAreas);
    std::copy(added.Placements, added.Placements + newAreas, page.Placements + oldAreas);
    page.AreaCount = oldAreas + newAreas;
    AppendAreaPatches(&page, oldPatches, oldAreas, newAreas, colorFormat, paperValue);
    const int grown = page.PatchCount - oldPatches;
    chart->ChartPatchCount += grown;

    int idCounter = 0;
    std::unique_ptr<PatchData[]> records = GrownRecords(*entry, grown, &idCounter);
    int k = EntryRecordCount(*entry);
    for (int a = oldAreas; a < page.AreaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &place = page.Placements[a];
        ForEachAreaPatch(page.Areas[a], [&](int r, int c) {
            PatchData &record = records[k++];
            record.ID = NextId(&idCounter, kMaxPatchId);
            record.Area = a;
            record.Row = r;
            record.Column = c;
            record.X = place.LeftTopX + place.PatchWidth / 2 + c * place.PatchWidthGap;
            record.Y = place.LeftTopY + place.PatchHeight / 2 + r * place.PatchHeightGap;
            record.ColorFormat = colorFormat;
            FillPaper(record.ColorValue, colorFormat, paperValue);
        });
    }
    entry->Records = std::move(records);
    entry->RecordCount = k;
    return Success;
}

int MergeClippingResult(Sheet *page, MeasurementData *entry, const Sheet &result,
                        const QVector<OrloLocatedPoint> &located, int colorFormat, float paperValue)
{
    if (result.PatchCount != located.size())
        return LocatedCountMismatch;
    if (page->AreaCount + result.AreaCount > kMaxAreaCount)
        return TooManyAreasMerged;

    const int oldAreas = ValidCount(page->AreaCount, kMaxAreaCount);
    const int newAreas = ValidCount(result.AreaCount, kMaxAreaCount);
    const int oldPatches = SheetPatchCount(*page);
    std::copy(result.Areas, result.Areas + newAreas, page->Areas + oldAreas);
    std::copy(result.Placements, result.Placements + newAreas, page->Placements + oldAreas);
    page->AreaCount = oldAreas + newAreas;
    AppendAreaPatches(page, oldPatches, oldAreas, newAreas, colorFormat, paperValue);

    const qint64 imageBytes = ImageByteCount(result.ImageWidth, result.ImageHeight, result.BitPerPixel);
    if (result.HasImage == 1 && result.ImageBytes && imageBytes > 0) {
        page->HasImage = result.HasImage;
        page->ClipAreaCount = result.ClipAreaCount;
        std::copy(std::begin(result.ClipAreas), std::end(result.ClipAreas), page->ClipAreas);
        page->ImageWidth = result.ImageWidth;
        page->ImageHeight = result.ImageHeight;
        page->BitPerPixel = result.BitPerPixel;
        // The clipped image is the scanner's own, at its resolution; the page's earlier one may have had none.
        page->ImageDPI = result.ImageDPI;
        page->ImageBytes = NewImageBytes(size_t(imageBytes));
        std::copy(result.ImageBytes.get(), result.ImageBytes.get() + imageBytes, page->ImageBytes.get());
    }

    // Only patches the scanner located get a point; the result's areas are numbered from 0.
    int idCounter = 0;
    std::unique_ptr<PatchData[]> records = GrownRecords(*entry, AreasPatchCount(result, 0, newAreas), &idCounter);
    int k = EntryRecordCount(*entry);
    for (int a = 0; a < newAreas; ++a) {
        ForEachAreaPatch(result.Areas[a], [&](int r, int c) {
            const auto at = std::find_if(located.cbegin(), located.cend(), [&](const OrloLocatedPoint &p) {
                return p.Area == a && p.Row == r && p.Column == c;
            });
            if (at == located.cend())
                return;
            PatchData &record = records[k++];
            record.ID = NextId(&idCounter, kMaxPatchId);
            record.Area = oldAreas + a;
            record.Row = r;
            record.Column = c;
            record.X = at->X;
            record.Y = at->Y;
        });
    }
    entry->Records = std::move(records);
    entry->RecordCount = k;
    return Success;
}

} // namespace PatchAreaCore
