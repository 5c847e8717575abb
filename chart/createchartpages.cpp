// The chart editor's pages, areas and QR code, and the conversions between its pages and stored charts.
#include "chart/createchartcore.h"

#include "app/constants.h"
#include "app/recordhelpers.h"
#include "app/texthelpers.h"
#include "app/unithelpers.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int kMaxPageCount = 100;
constexpr int kNewAreaPatchSize = 600;
constexpr int kMinPatchSize = 600;
constexpr int kMaxPatchSize = 3000;
constexpr int kMaxPatchPitch = 3200;
// Distance the QR code must keep from the page's right and bottom edges to be printed.
constexpr int kPrintMarginRight = 400;
constexpr int kPrintMarginBottom = 3300;
constexpr int kBarcodeDpi = 300;
constexpr int kMillimetreUnit = 0;
// Well inside what one QByteArray holds; a captured page is a few hundred megabytes at most.
constexpr qint64 kMaxImageBytes = INT_MAX / 2;

bool isUsed(const CreateChartArea &area)
{
    return area.PatchCount > 0;
}

// Below the minimum gives the minimum, else above the maximum gives the maximum (a damaged table with the two
// crossed ends at the minimum).
int clampMove(int value, int delta, int minimum, int maximum)
{
    const qint64 moved = qint64(value) + delta;
    if (moved < minimum)
        return minimum;
    if (moved > maximum)
        return maximum;
    return int(moved);
}

int callOr(const std::function<int(int)> &function, int argument)
{
    return function ? function(argument) : 0;
}

// Inclusive rectangle in 0.01 mm, 64-bit so that loaded extremes cannot overflow.
struct Extent {
    qint64 left = 0;
    qint64 top = 0;
    qint64 right = -1;
    qint64 bottom = -1;

    bool isEmpty() const { return right < left || bottom < top; }
    bool intersects(const Extent &other) const
    {
        return !isEmpty() && !other.isEmpty() && left <= other.right && other.left <= right &&
               top <= other.bottom && other.top <= bottom;
    }
};

Extent areaExtent(const CreateChartArea &area)
{
    Extent extent;
    if (!isUsed(area))
        return extent;
    extent.left = area.LeftTopX;
    extent.top = area.LeftTopY;
    extent.right = area.LeftTopX + qint64(area.ColumnCount - 1) * area.PatchWidthGap + area.PatchWidth - 1;
    extent.bottom = area.LeftTopY + qint64(area.RowCount - 1) * area.PatchHeightGap + area.PatchHeight - 1;
    return extent;
}

// The QR code with the quiet zone around it that no patch may enter.
Extent clearZone(const CreateChartPage &page, int inset)
{
    const qint64 margin = 1000 - inset;
    Extent zone;
    zone.left = page.BarcodeLeftTopX;
    zone.top = page.BarcodeLeftTopY;
    zone.right = page.BarcodeLeftTopX + qint64(page.BarcodeWidth) + 2 * margin - 1;
    zone.bottom = page.BarcodeLeftTopY + qint64(page.BarcodeHeight) + 2 * margin - 1;
    return zone;
}

// One side of a resize: the patch grows by delta and the space to the next patch stays, within the limits.
void resizeSide(qint32 *size, qint32 *pitch, int delta)
{
    const int space = *pitch - *size;
    *size += delta;
    *pitch += delta;
    if (*size < kMinPatchSize) {
        *size = kMinPatchSize;
        *pitch = space + kMinPatchSize;
    } else if (*size > kMaxPatchSize) {
        *size = kMaxPatchSize;
        *pitch = space + kMaxPatchSize;
    }
    if (*pitch > kMaxPatchPitch) {
        *pitch = kMaxPatchPitch;
        *size = kMaxPatchPitch - space;
    }
}

bool sameLayout(const CreateChartPage &a, const CreateChartPage &b)
{
    if (a.PaperSize != b.PaperSize || a.Width != b.Width || a.Height != b.Height || a.AreaCount != b.AreaCount)
        return false;
    const int slotCount = qBound(0, a.AreaCount, kMaxAreaCount);
    for (int slot = 0; slot < slotCount; ++slot) {
        const CreateChartArea &x = a.Areas[size_t(slot)];
        const CreateChartArea &y = b.Areas[size_t(slot)];
        if (x.LeftTopX != y.LeftTopX || x.LeftTopY != y.LeftTopY || x.RowCount != y.RowCount ||
            x.ColumnCount != y.ColumnCount || x.PatchWidth != y.PatchWidth || x.PatchHeight != y.PatchHeight ||
            x.PatchWidthGap != y.PatchWidthGap || x.PatchHeightGap != y.PatchHeightGap)
            return false;
    }
    return true;
}

} // namespace

void CreateChartCore::AddPage()
{
    CreateChartPageList &list = CurrentList();
    CreateChartPage page;
    if (list.isEmpty()) {
        page.PaperSize = 0;
        page.Width = callOr(Tables.PageSizeWidth, 0);
        page.Height = callOr(Tables.PageSizeHeight, 0);
    } else {
        page.PaperSize = list.first().PaperSize;
        page.Width = list.first().Width;
        page.Height = list.first().Height;
    }
    list.append(page);
    const int index = list.size() - 1;
    CurrentPages[CurrentTab] = index;
    if (index > 0 && Header.Barcode == 1)
        PlaceBarcode(index);
}

void CreateChartCore::DeletePage()
{
    CreateChartPageList &list = CurrentList();
    int &shown = CurrentPages[CurrentTab];
    if (shown < 0 || shown >= list.size())
        return;
    list.remove(shown);
    if (shown > 0)
        --shown;
}

bool CreateChartCore::AddArea()
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return false;
    int slot = 0;
    while (slot < kMaxAreaCount && isUsed(page->Areas[size_t(slot)]))
        ++slot;
    if (slot == kMaxAreaCount)
        return false;
    CreateChartArea area;
    area.LeftTopX = Tables.AreaLeftMin;
    area.LeftTopY = Tables.AreaTopMin;
    area.RowCount = 1;
    area.ColumnCount = 1;
    area.PatchCount = 1;
    area.PatchWidth = kNewAreaPatchSize;
    area.PatchHeight = kNewAreaPatchSize;
    area.PatchWidthGap = kNewAreaPatchSize;
    area.PatchHeightGap = kNewAreaPatchSize;
    area.Patches.append(NewPatch());
    page->Areas[size_t(slot)] = area;
    ++page->AreaCount;
    SelectedArea = slot;
    if (Header.Barcode == 1) {
        PlaceBarcode(CurrentPages[CurrentTab]);
        // Only the first patch is checked: the new area is a single patch at the top-left limit.
        CreateChartArea &added = page->Areas[size_t(slot)];
        const Extent zone = clearZone(*page, Tables.BarcodeInset);
        const Extent firstPatch{added.LeftTopX, added.LeftTopY, qint64(added.LeftTopX) + added.PatchWidth - 1,
                                qint64(added.LeftTopY) + added.PatchHeight - 1};
        if (zone.intersects(firstPatch))
            added.LeftTopY = int(qBound<qint64>(INT_MIN, zone.bottom + 10, INT_MAX));
    }
    return true;
}

void CreateChartCore::DeleteSelectedArea()
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page || SelectedArea < 0 || SelectedArea >= kMaxAreaCount || !isUsed(page->Areas[size_t(SelectedArea)]))
        return;
    const int deleted = SelectedArea;
    page->Areas[size_t(deleted)] = CreateChartArea();
    --page->AreaCount;
    SelectedArea = -1;
    for (int slot = deleted - 1; slot >= 0 && SelectedArea < 0; --slot)
        if (isUsed(page->Areas[size_t(slot)]))
            SelectedArea = slot;
    for (int slot = deleted + 1; slot < kMaxAreaCount && SelectedArea < 0; ++slot)
        if (isUsed(page->Areas[size_t(slot)]))
            SelectedArea = slot;
    if (Header.Barcode == 1)
        PlaceBarcode(CurrentPages[CurrentTab]);
}

void CreateChartCore::MoveArea(int slot, int dx, int dy)
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page || slot < 0 || slot >= kMaxAreaCount)
        return;
    CreateChartArea &area = page->Areas[size_t(slot)];
    area.LeftTopX = clampMove(area.LeftTopX, dx, Tables.AreaLeftMin, Tables.AreaLeftMax);
    area.LeftTopY = clampMove(area.LeftTopY, dy, Tables.AreaTopMin, Tables.AreaTopMax);
}

void CreateChartCore::ResizeArea(int slot, int dx, int dy)
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page || slot < 0 || slot >= kMaxAreaCount)
        return;
    CreateChartArea &area = page->Areas[size_t(slot)];
    if (!isUsed(area) || area.RowCount < 1 || area.ColumnCount < 1)
        return;
    resizeSide(&area.PatchWidth, &area.PatchWidthGap, dx / area.ColumnCount);
    resizeSide(&area.PatchHeight, &area.PatchHeightGap, dy / area.RowCount);
}

void CreateChartCore::MoveBarcode(int dx, int dy)
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return;
    page->BarcodeLeftTopX = clampMove(page->BarcodeLeftTopX, dx, Tables.AreaLeftMin, Tables.AreaLeftMax);
    page->BarcodeLeftTopY = clampMove(page->BarcodeLeftTopY, dy, Tables.AreaTopMin, Tables.AreaTopMax);
}

void CreateChartCore::PlaceBarcode(int pageIndex)
{
    CreateChartPageList &list = CurrentList();
    if (pageIndex < 0 || pageIndex >= list.size())
        return;
    const SheetInfoRecord record = BarcodeRecord(pageIndex);
    const int pixels = Tables.BarcodeSizePixels ? Tables.BarcodeSizePixels(record) : 0;
    const int side = PixelsToUnitFixed(kMillimetreUnit, pixels, kBarcodeDpi);
    CreateChartPage &page = list[pageIndex];
    page.BarcodeLeftTopX = Tables.AreaLeftMin;
    page.BarcodeLeftTopY = Tables.AreaTopMin;
    page.BarcodeWidth = side;
    page.BarcodeHeight = side;
}

void CreateChartCore::ApplyBarcodeToAllPages()
{
    CreateChartPageList &list = CurrentList();
    for (int i = 0; i < list.size(); ++i) {
        if (Header.Barcode == 1) {
            PlaceBarcode(i);
        } else {
            CreateChartPage &page = list[i];
            page.BarcodeLeftTopX = 0;
            page.BarcodeLeftTopY = 0;
            page.BarcodeWidth = 0;
            page.BarcodeHeight = 0;
        }
    }
}

SheetInfoRecord CreateChartCore::BarcodeRecord(int pageIndex) const
{
    SheetInfoRecord record;
    std::memset(&record, 0, sizeof record);
    const CreateChartPageList &list = PageLists[CurrentTab];
    if (pageIndex < 0 || pageIndex >= list.size())
        return record;
    const CreateChartPage &page = list.at(pageIndex);
    const QByteArray name = (Header.ChartName.isEmpty() ? Tables.NewChartName : Header.ChartName).toLocal8Bit();
    std::memcpy(record.ChartCode, name.constData(), size_t(qMin(name.size(), int(sizeof record.ChartCode))));
    record.SheetCount = list.size();
    record.SheetNumber = pageIndex + 1;
    record.AreaCount = page.AreaCount;
    int used = 0;
    for (const CreateChartArea &area : page.Areas) {
        if (!isUsed(area))
            continue;
        record.PatchCount += area.PatchCount;
        record.Areas[used].RowCount = area.RowCount;
        record.Areas[used].ColumnCount = area.ColumnCount;
        record.Areas[used].PatchCount = area.PatchCount;
        ++used;
    }
    return record;
}

bool CreateChartCore::BarcodeInPrintRange() const
{
    for (const CreateChartPage &page : PageLists[CurrentTab])
        if (qint64(page.BarcodeLeftTopX) + page.BarcodeWidth > qint64(page.Width) - kPrintMarginRight ||
            qint64(page.BarcodeLeftTopY) + page.BarcodeHeight > qint64(page.Height) - kPrintMarginBottom)
            return false;
    return true;
}

bool CreateChartCore::BarcodeOverlapsArea() const
{
    for (const CreateChartPage &page : PageLists[CurrentTab]) {
        const Extent zone = clearZone(page, Tables.BarcodeInset);
        for (const CreateChartArea &area : page.Areas)
            if (zone.intersects(areaExtent(area)))
                return true;
    }
    return false;
}

void CreateChartCore::ResizePatchList(CreateChartArea *area)
{
    if (!area)
        return;
    const int count = qMax(area->PatchCount, 0);
    if (area->Patches.size() > count)
        area->Patches.resize(count);
    area->Patches.reserve(count);
    while (area->Patches.size() < count)
        area->Patches.append(NewPatch());
}

CreateChartPatch CreateChartCore::NewPatch()
{
    CreateChartPatch patch;
    patch.ID = NextId(&IdCounter, kMaxId);
    const float paper = Tables.ColorDefaultValue ? Tables.ColorDefaultValue(ColorFormat) : 0.0f;
    std::fill_n(patch.ColorValue, ValueCount(), paper);
    return patch;
}

void CreateChartCore::PageToSheet(const CreateChartPage &page, ChartDefinitionData::Sheet *sheet,
                                  bool rebuildDrawnAreas)
{
    ClearSheetData(sheet);
    sheet->Width = page.Width;
    sheet->Height = page.Height;
    sheet->AreaCount = page.AreaCount;
    sheet->BarcodeLeftTopX = page.BarcodeLeftTopX;
    sheet->BarcodeLeftTopY = page.BarcodeLeftTopY;
    sheet->BarcodeWidth = page.BarcodeWidth;
    sheet->BarcodeHeight = page.BarcodeHeight;
    if (rebuildDrawnAreas)
        DrawnAreas.clear();
    qint64 patchCount = 0;
    for (const CreateChartArea &area : page.Areas)
        if (isUsed(area))
            patchCount += area.PatchCount;
    sheet->PatchCount = int(qMin<qint64>(patchCount, INT_MAX));
    sheet->Patches = NewChartPatches(size_t(sheet->PatchCount));
    const int valueCount = ValueCount();
    int written = 0;
    int number = 0;
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        const CreateChartArea &area = page.Areas[size_t(slot)];
        if (!isUsed(area))
            continue;
        if (rebuildDrawnAreas)
            DrawnAreas.append(slot);
        sheet->Areas[number] = {area.RowCount, area.ColumnCount, area.PatchCount};
        sheet->Placements[number] = {area.LeftTopX,   area.LeftTopY,      area.PatchWidth,
                                     area.PatchHeight, area.PatchWidthGap, area.PatchHeightGap};
        int index = 0;
        for (int r = 0; r < area.RowCount; ++r)
            for (int c = 0; c < area.ColumnCount && written < sheet->PatchCount; ++c, ++index) {
                ChartDefinitionData::PatchColor &record = sheet->Patches[size_t(written++)];
                const CreateChartPatch patch =
                    index < area.Patches.size() ? area.Patches.at(index) : CreateChartPatch();
                record.ID = patch.ID;
                record.Area = number;
                record.Row = r;
                record.Column = c;
                record.ColorFormat = ColorFormat;
                std::copy_n(patch.ColorValue, valueCount, record.ColorValue);
            }
        ++number;
    }
}

void CreateChartCore::PagesToDefinition(bool keepLoadedHeader, ChartDefinitionDataSheets *definition)
{
    if (keepLoadedHeader)
        CopyChartHeader(definition, Header);
    else
        InitChartDefinitionData(definition);
    definition->Diameter = Header.Diameter;
    definition->Barcode = Header.Barcode;
    definition->Recog = Header.Recog;
    definition->UNIT = 0;
    const CreateChartPageList &list = CurrentList();
    definition->SheetCount = list.size();
    definition->Sheets = NewChartSheets(size_t(list.size()));
    qint64 total = 0;
    for (int i = 0; i < list.size(); ++i) {
        PageToSheet(list.at(i), &definition->Sheets[size_t(i)], false);
        total += definition->Sheets[size_t(i)].PatchCount;
    }
    definition->ChartPatchCount = int(qMin<qint64>(total, INT_MAX));
}

bool CreateChartCore::SetChartDefinition(const ChartDefinitionDataSheets &definition)
{
    if (definition.SheetCount < 1 || definition.SheetCount > kMaxPageCount || !definition.Sheets)
        return false;
    for (int i = 0; i < definition.SheetCount; ++i) {
        const ChartDefinitionData::Sheet &sheet = definition.Sheets[size_t(i)];
        if (sheet.AreaCount < 0 || sheet.AreaCount > kMaxAreaCount)
            return false;
        for (int k = 0; k < sheet.AreaCount; ++k) {
            const ChartDefinitionData::AreaCounts &counts = sheet.Areas[k];
            if (counts.RowCount < 1 || counts.RowCount > Tables.MaxRowCount || counts.ColumnCount < 1 ||
                counts.ColumnCount > Tables.MaxColumnCount)
                return false;
        }
    }

    CopyChartHeader(&Header, definition);
    Header.SheetCount = definition.SheetCount;
    Header.ChartPatchCount = definition.ChartPatchCount;
    CreateChartPageList &pages = PageLists[OriginalList];
    pages.clear();
    PageLists[LoadedList].clear();
    CurrentPages[OriginalList] = 0;

    // Cells without a record are remembered and filled only once every loaded ID has moved the counter.
    struct Hole {
        int page;
        int slot;
        int index;
    };
    QVector<Hole> holes;
    for (int i = 0; i < definition.SheetCount; ++i) {
        const ChartDefinitionData::Sheet &sheet = definition.Sheets[size_t(i)];
        CreateChartPage page;
        page.Width = sheet.Width;
        page.Height = sheet.Height;
        page.PaperSize = m_paperSizeIndex ? m_paperSizeIndex(sheet.Width, sheet.Height) : kCustomPaperSizeRow;
        page.AreaCount = sheet.AreaCount;
        page.BarcodeLeftTopX = sheet.BarcodeLeftTopX;
        page.BarcodeLeftTopY = sheet.BarcodeLeftTopY;
        page.BarcodeWidth = sheet.BarcodeWidth;
        page.BarcodeHeight = sheet.BarcodeHeight;
        const int recordCount = sheet.Patches ? qMax(sheet.PatchCount, 0) : 0;
        for (int k = 0; k < sheet.AreaCount; ++k) {
            const ChartDefinitionData::AreaCounts &counts = sheet.Areas[k];
            const ChartDefinitionData::AreaPlacement &place = sheet.Placements[k];
            CreateChartArea &area = page.Areas[size_t(k)];
            area.RowCount = counts.RowCount;
            area.ColumnCount = counts.ColumnCount;
            area.PatchCount = counts.RowCount * counts.ColumnCount;
            area.LeftTopX = place.LeftTopX;
            area.LeftTopY = place.LeftTopY;
            area.PatchWidth = place.PatchWidth;
            area.PatchHeight = place.PatchHeight;
            area.PatchWidthGap = place.PatchWidthGap;
            area.PatchHeightGap = place.PatchHeightGap;

            // First record of each cell, found in one pass over the page's records.
            QVector<int> first(area.PatchCount, -1);
            for (int n = 0; n < recordCount; ++n) {
                const ChartDefinitionData::PatchColor &record = sheet.Patches[size_t(n)];
                if (record.Area != k || record.Row < 0 || record.Row >= area.RowCount || record.Column < 0 ||
                    record.Column >= area.ColumnCount)
                    continue;
                int &cell = first[record.Row * area.ColumnCount + record.Column];
                if (cell < 0)
                    cell = n;
            }
            area.Patches.resize(area.PatchCount);
            for (int index = 0; index < area.PatchCount; ++index) {
                if (first.at(index) < 0) {
                    holes.append({i, k, index});
                    continue;
                }
                const ChartDefinitionData::PatchColor &record = sheet.Patches[size_t(first.at(index))];
                ColorFormat = record.ColorFormat;
                CreateChartPatch &patch = area.Patches[index];
                patch.ID = record.ID;
                std::copy_n(record.ColorValue, ValueCount(), patch.ColorValue);
                BumpIdCounter(&IdCounter, record.ID, kMaxId);
            }
        }
        pages.append(page);
    }
    for (const Hole &hole : std::as_const(holes))
        pages[hole.page].Areas[size_t(hole.slot)].Patches[hole.index] = NewPatch();
    PageLists[LoadedList] = pages;
    return true;
}

void CreateChartCore::SetPageImages(const MeasurementDataSheets &measurement)
{
    if (!measurement.Sheets)
        return;
    CreateChartPageList &pages = PageLists[OriginalList];
    for (int i = 0; i < measurement.SheetCount; ++i) {
        const MeasurementData &entry = measurement.Sheets[size_t(i)];
        const qint64 byteCount = ImageByteCount(entry.Width, entry.Height, entry.BitPerPixel);
        // The image transforms treat every byte as one grey pixel.
        if (entry.PageNumber < 1 || entry.PageNumber > pages.size() || entry.BitPerPixel != 8 || entry.Width < 1 ||
            entry.Height < 1 || !entry.ImageBytes || byteCount <= 0 || byteCount > kMaxImageBytes)
            continue;
        CreateChartPage &page = pages[entry.PageNumber - 1];
        page.ImageWidth = entry.Width;
        page.ImageHeight = entry.Height;
        page.BitPerPixel = entry.BitPerPixel;
        page.ImageBytes = QByteArray(reinterpret_cast<const char *>(entry.ImageBytes.get()), int(byteCount));
    }
}

bool CreateChartCore::MayOverwrite(bool uniformLayout) const
{
    if (!HasAreas())
        return false;
    if (!uniformLayout)
        return true;
    const CreateChartPageList &pages = PageLists[CurrentTab];
    const CreateChartPageList &loaded = PageLists[LoadedList];
    if (pages.size() != loaded.size())
        return false;
    for (int i = 0; i < pages.size(); ++i)
        if (!sameLayout(pages.at(i), loaded.at(i)))
            return false;
    return true;
}

bool CreateChartCore::HasAreas() const
{
    const CreateChartPageList &pages = PageLists[CurrentTab];
    return !pages.isEmpty() &&
           std::all_of(pages.begin(), pages.end(), [](const CreateChartPage &page) { return page.AreaCount > 0; });
}
