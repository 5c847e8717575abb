#include "chart/createchartcore.h"

#include "app/constants.h"
#include "app/texthelpers.h"

#include <QHash>
#include <QRegularExpression>
#include <QtMath>

#include <algorithm>
#include <utility>

namespace {

constexpr int kColorValueCount = int(sizeof(CreateChartPatch::ColorValue) / sizeof(float));

bool isUsed(const CreateChartArea &area)
{
    return area.PatchCount > 0;
}

// An area whose patches can be moved around: a full R x C grid of patches.
bool holdsGrid(const CreateChartArea &area)
{
    return isUsed(area) && area.RowCount > 0 && area.ColumnCount > 0 &&
           area.Patches.size() >= area.RowCount * area.ColumnCount;
}

// Bytes of one pixel of the page image, 0 when the image cannot be rearranged (no image, sub-byte pixels or fewer
// bytes than the sizes promise).
int imageBytesPerPixel(const CreateChartPage &page)
{
    if (page.ImageWidth <= 0 || page.ImageHeight <= 0)
        return 0;
    const int bytesPerPixel = page.BitPerPixel / 8;
    if (bytesPerPixel < 1)
        return 0;
    const qint64 size = qint64(page.ImageWidth) * page.ImageHeight * bytesPerPixel;
    return size <= page.ImageBytes.size() ? bytesPerPixel : 0;
}

} // namespace

CreateChartPatch ParsePastedRow(const QStringList &fields, int columnCount, float minValue, float maxValue)
{
    const CreateChartPatch refused;
    if (columnCount < 1 || fields.size() != columnCount || columnCount - 1 > kColorValueCount)
        return refused;
    bool ok = false;
    const int id = fields.at(0).toInt(&ok);
    if (!ok || id < 1 || id > CreateChartCore::kMaxId)
        return refused;
    CreateChartPatch patch;
    for (int k = 1; k < columnCount; ++k) {
        const double value = fields.at(k).toDouble(&ok);
        if (!ok || !qIsFinite(value) || value < minValue || value > maxValue)
            return refused;
        patch.ColorValue[k - 1] = float(value);
    }
    patch.ID = id;
    return patch;
}

CreateChartCore::CreateChartCore(PaperSizeLookup paperSizeIndex) : m_paperSizeIndex(std::move(paperSizeIndex))
{
    Header.Diameter = 1;
    Header.Recog = 4;
}

int CreateChartCore::ValueCount() const
{
    return qBound(0, ColorFormat + 2, kColorValueCount);
}

CreateChartPage *CreateChartCore::CurrentPagePointer()
{
    CreateChartPageList &list = CurrentList();
    const int page = CurrentPages[CurrentTab];
    return page >= 0 && page < list.size() ? &list[page] : nullptr;
}

const CreateChartPage *CreateChartCore::OriginalPage() const
{
    const CreateChartPageList &list = PageLists[OriginalList];
    const int page = CurrentPages[OriginalList];
    return page >= 0 && page < list.size() ? &list.at(page) : nullptr;
}

const CreateChartArea *CreateChartCore::SelectedAreaPointer() const
{
    const CreateChartPage *page = OriginalPage();
    if (!page || SelectedArea < 0 || SelectedArea >= kMaxAreaCount)
        return nullptr;
    const CreateChartArea &area = page->Areas[size_t(SelectedArea)];
    return isUsed(area) ? &area : nullptr;
}

const CreateChartPatch *CreateChartCore::PatchAt(int listIndex, int pageNo, int areaNo, int rowNo) const
{
    if (listIndex < 0 || listIndex > LoadedList)
        return nullptr;
    const CreateChartPageList &list = PageLists[listIndex];
    if (pageNo < 0 || pageNo >= list.size() || areaNo < 0 || areaNo >= kMaxAreaCount)
        return nullptr;
    const CreateChartArea &area = list.at(pageNo).Areas[size_t(areaNo)];
    return rowNo >= 0 && rowNo < area.Patches.size() ? &area.Patches.at(rowNo) : nullptr;
}

CreateChartPatch *CreateChartCore::PatchAt(int listIndex, int pageNo, int areaNo, int rowNo)
{
    if (!std::as_const(*this).PatchAt(listIndex, pageNo, areaNo, rowNo))
        return nullptr;
    return &PageLists[listIndex][pageNo].Areas[size_t(areaNo)].Patches[rowNo];
}

bool CreateChartCore::StorePatch(int listIndex, int pageNo, int areaNo, int rowNo, int columnNo,
                                 const CreateChartPatch &patch)
{
    CreateChartPatch *stored = PatchAt(listIndex, pageNo, areaNo, rowNo);
    if (!stored || columnNo < -2 || columnNo > kColorValueCount)
        return false;
    if (columnNo == 0 || columnNo == -2) {
        stored->ID = patch.ID;
        BumpIdCounter(&IdCounter, patch.ID, kMaxId);
    }
    if (columnNo < 0) {
        for (int k = 0; k < ValueCount(); ++k)
            stored->ColorValue[k] = patch.ColorValue[k];
    } else if (columnNo > 0) {
        stored->ColorValue[columnNo - 1] = patch.ColorValue[columnNo - 1];
    }
    if (PatchStored)
        PatchStored(listIndex, pageNo, areaNo, rowNo, columnNo);
    return true;
}

bool CreateChartCore::CheckDuplicates(int listIndex)
{
    if (listIndex < 0 || listIndex > LoadedList)
        return false;
    CreateChartPageList &list = PageLists[listIndex];
    // A count per ID keeps the check linear; pages with thousands of patches each are common.
    QHash<qint32, int> counts;
    for (const CreateChartPage &page : std::as_const(list))
        for (const CreateChartArea &area : page.Areas)
            if (isUsed(area))
                for (const CreateChartPatch &patch : area.Patches)
                    ++counts[patch.ID];
    bool any = false;
    for (CreateChartPage &page : list)
        for (CreateChartArea &area : page.Areas)
            if (isUsed(area))
                for (CreateChartPatch &patch : area.Patches) {
                    patch.Duplicated = counts.value(patch.ID) > 1 ? 1 : 0;
                    any = any || patch.Duplicated;
                }
    return any;
}

void CreateChartCore::AssignIds(bool columnByColumn)
{
    IdCounter = 1;
    for (CreateChartPage &page : CurrentList()) {
        QVector<int> usedSlots;
        for (int slot = 0; slot < kMaxAreaCount; ++slot)
            if (isUsed(page.Areas[size_t(slot)]))
                usedSlots.append(slot);
        std::stable_sort(usedSlots.begin(), usedSlots.end(), [&page](int a, int b) {
            const CreateChartArea &first = page.Areas[size_t(a)];
            const CreateChartArea &second = page.Areas[size_t(b)];
            return std::make_pair(first.LeftTopY, first.LeftTopX) < std::make_pair(second.LeftTopY, second.LeftTopX);
        });
        for (int slot : std::as_const(usedSlots)) {
            CreateChartArea &area = page.Areas[size_t(slot)];
            const int rows = area.RowCount;
            const int columns = area.ColumnCount;
            const int outer = columnByColumn ? columns : rows;
            const int inner = columnByColumn ? rows : columns;
            for (int i = 0; i < outer; ++i)
                for (int j = 0; j < inner; ++j) {
                    const int index = columnByColumn ? j * columns + i : i * columns + j;
                    if (index >= area.Patches.size())
                        continue;
                    CreateChartPatch &patch = area.Patches[index];
                    patch.ID = NextId(&IdCounter, kMaxId);
                    patch.Duplicated = 0;
                }
        }
    }
    if (UndoInvalidated)
        UndoInvalidated();
}

void CreateChartCore::RebuildDrawnAreas()
{
    DrawnAreas.clear();
    const CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return;
    for (int slot = 0; slot < kMaxAreaCount; ++slot)
        if (isUsed(page->Areas[size_t(slot)]))
            DrawnAreas.append(slot);
}

int CreateChartCore::SlotOfAreaNumber(int areaNumber) const
{
    return areaNumber >= 0 && areaNumber < DrawnAreas.size() ? DrawnAreas.at(areaNumber) : -1;
}

const CreateChartPatch *CreateChartCore::ViewPatch(int areaNumber, int row, int column, int *slot,
                                                  int *index) const
{
    const CreateChartPage *page = OriginalPage();
    *slot = SlotOfAreaNumber(areaNumber);
    if (!page || *slot < 0)
        return nullptr;
    const CreateChartArea &area = page->Areas[size_t(*slot)];
    *index = row * area.ColumnCount + column;
    if (row < 0 || row >= area.RowCount || column < 0 || column >= area.ColumnCount || *index >= area.Patches.size())
        return nullptr;
    return &area.Patches.at(*index);
}

bool CreateChartCore::CopyPatch(int areaNumber, int row, int column)
{
    int slot = -1;
    int index = -1;
    const CreateChartPatch *patch = ViewPatch(areaNumber, row, column, &slot, &index);
    if (patch)
        CopiedPatch = *patch;
    return patch;
}

bool CreateChartCore::PlanPatchPaste(int areaNumber, int row, int column, CreateChartPatchEdit *edit) const
{
    int slot = -1;
    int index = -1;
    const CreateChartPatch *target = ViewPatch(areaNumber, row, column, &slot, &index);
    if (!target || std::equal(target->ColorValue, target->ColorValue + ValueCount(), CopiedPatch.ColorValue))
        return false;
    edit->PageNo = CurrentPages[OriginalList];
    edit->AreaNo = slot;
    edit->RowNo = index;
    edit->ColumnNo = -1;
    edit->Before = *target;
    edit->After = CreateChartPatch();
    std::copy(std::begin(CopiedPatch.ColorValue), std::end(CopiedPatch.ColorValue), edit->After.ColorValue);
    return true;
}

CreateChartClipboardPaste CreateChartCore::PlanClipboardPaste(const QString &text, float minValue,
                                                              float maxValue) const
{
    CreateChartClipboardPaste paste;
    const int startRow = qMax(SelectedRow, 0);
    paste.LastRow = startRow;
    const CreateChartArea *area = SelectedAreaPointer();
    if (!area)
        return paste;
    const int rowCount = qMin(area->PatchCount, area->Patches.size());
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\n|\r")), Qt::SkipEmptyParts);
    int row = startRow;
    for (const QString &line : lines) {
        if (row >= rowCount)
            break;
        const CreateChartPatch patch = ParsePastedRow(line.split(QLatin1Char('\t')), TableColumnCount(), minValue,
                                                      maxValue);
        if (patch.ID == 0) {
            paste.BadLine = true;
            break;
        }
        CreateChartPatchEdit edit;
        edit.PageNo = CurrentPages[OriginalList];
        edit.AreaNo = SelectedArea;
        edit.RowNo = row;
        edit.ColumnNo = -2;
        edit.Before = area->Patches.at(row);
        edit.After = patch;
        paste.Edits.append(edit);
        paste.LastRow = row;
        ++row;
    }
    return paste;
}

void CreateChartCore::WriteAreaOrder(int slot, const QVector<int> &order)
{
    const int pageNo = CurrentPages[CurrentTab];
    CreateChartArea &area = CurrentList()[pageNo].Areas[size_t(slot)];
    const QVector<CreateChartPatch> old = area.Patches;
    for (int i = 0; i < order.size(); ++i) {
        if (order.at(i) == i)
            continue;
        const CreateChartPatch &moved = old.at(order.at(i));
        StorePatch(CurrentTab, pageNo, slot, i, -2, moved);
        // The set of IDs is unchanged, so each patch keeps its own duplicate mark.
        area.Patches[i].Duplicated = moved.Duplicated;
    }
}

void CreateChartCore::ReorderAreaCells(const std::function<int(const CreateChartArea &, int, int)> &sourceIndex)
{
    const CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return;
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        const CreateChartArea &area = page->Areas[size_t(slot)];
        if (!holdsGrid(area))
            continue;
        QVector<int> order(area.RowCount * area.ColumnCount);
        for (int r = 0; r < area.RowCount; ++r)
            for (int c = 0; c < area.ColumnCount; ++c)
                order[r * area.ColumnCount + c] = sourceIndex(area, r, c);
        WriteAreaOrder(slot, order);
    }
}

void CreateChartCore::FlipAreaRows()
{
    ReorderAreaCells([](const CreateChartArea &area, int r, int c) {
        return (area.RowCount - 1 - r) * area.ColumnCount + c;
    });
}

void CreateChartCore::FlipAreaColumns()
{
    ReorderAreaCells([](const CreateChartArea &area, int r, int c) {
        return r * area.ColumnCount + area.ColumnCount - 1 - c;
    });
}

void CreateChartCore::RotateAreas(bool transpose)
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return;
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        CreateChartArea &area = page->Areas[size_t(slot)];
        // An area without a full grid of patches has no rotated order; it stays as it is.
        if (!holdsGrid(area))
            continue;
        const int rows = area.RowCount;
        const int columns = area.ColumnCount;
        QVector<int> order;
        order.reserve(rows * columns);
        for (int c = 0; c < columns; ++c)
            for (int r = 0; r < rows; ++r)
                order.append((rows - 1 - r) * columns + c);
        const int oldX = area.LeftTopX;
        const int oldY = area.LeftTopY;
        area.LeftTopX = transpose ? oldY
                                  : page->Height - (rows - 1) * area.PatchHeightGap - area.PatchHeight - oldY;
        area.LeftTopY = oldX;
        std::swap(area.RowCount, area.ColumnCount);
        std::swap(area.PatchWidth, area.PatchHeight);
        std::swap(area.PatchWidthGap, area.PatchHeightGap);
        WriteAreaOrder(slot, order);
    }
}

void CreateChartCore::TurnPage()
{
    CreateChartPage *page = CurrentPagePointer();
    if (!page)
        return;
    std::swap(page->Width, page->Height);
    page->PaperSize = m_paperSizeIndex ? m_paperSizeIndex(page->Width, page->Height) : kCustomPaperSizeRow;
}

void CreateChartCore::MirrorImage()
{
    CreateChartPage *page = CurrentPagePointer();
    const int bytesPerPixel = page ? imageBytesPerPixel(*page) : 0;
    if (bytesPerPixel == 0)
        return;
    char *bytes = page->ImageBytes.data();
    const qint64 rowBytes = qint64(page->ImageWidth) * bytesPerPixel;
    for (qint64 y = 0; y < page->ImageHeight; ++y) {
        char *row = bytes + y * rowBytes;
        for (qint64 left = 0, right = page->ImageWidth - 1; left < right; ++left, --right)
            std::swap_ranges(row + left * bytesPerPixel, row + (left + 1) * bytesPerPixel,
                             row + right * bytesPerPixel);
    }
}

void CreateChartCore::RotateImage()
{
    CreateChartPage *page = CurrentPagePointer();
    const int bytesPerPixel = page ? imageBytesPerPixel(*page) : 0;
    if (bytesPerPixel == 0)
        return;
    const qint64 width = page->ImageWidth;
    const qint64 height = page->ImageHeight;
    const char *from = page->ImageBytes.constData();
    // Deeper images move whole pixels, so colour pages stay intact.
    QByteArray turned(int(width * height * bytesPerPixel), '\0');
    char *to = turned.data();
    for (qint64 x = 0; x < width; ++x)
        for (qint64 y = 0; y < height; ++y, to += bytesPerPixel)
            std::copy_n(from + ((height - 1 - y) * width + x) * bytesPerPixel, bytesPerPixel, to);
    page->ImageBytes = turned;
    std::swap(page->ImageWidth, page->ImageHeight);
}

int CreateChartCore::MapSelectedPatch(bool transpose) const
{
    const CreateChartPageList &list = PageLists[CurrentTab];
    const int pageNo = CurrentPages[CurrentTab];
    if (SelectedRow < 0 || SelectedArea < 0 || SelectedArea >= kMaxAreaCount || pageNo < 0 || pageNo >= list.size())
        return -1;
    const CreateChartArea &area = list.at(pageNo).Areas[size_t(SelectedArea)];
    if (!isUsed(area) || area.ColumnCount < 1)
        return -1;
    const int row = SelectedRow / area.ColumnCount;
    const int column = SelectedRow % area.ColumnCount;
    return transpose ? row + area.RowCount * column : area.RowCount - row - 1 + area.RowCount * column;
}

void CreateChartCore::PlaceBarcodeAfterTurn()
{
    // The code carries every area's rows and columns, which a turn swaps, and the page size changed with it.
    if (Header.Barcode == 1)
        PlaceBarcode(CurrentPages[CurrentTab]);
}

void CreateChartCore::TransformDone()
{
    if (UndoInvalidated)
        UndoInvalidated();
}

void CreateChartCore::FlipRows()
{
    FlipAreaRows();
    TransformDone();
}

void CreateChartCore::FlipColumns()
{
    FlipAreaColumns();
    TransformDone();
}

int CreateChartCore::Rotate()
{
    const int row = MapSelectedPatch(false);
    RotateAreas(false);
    TurnPage();
    RotateImage();
    PlaceBarcodeAfterTurn();
    TransformDone();
    return row;
}

int CreateChartCore::ExchangeRowColumn()
{
    const int row = MapSelectedPatch(true);
    RotateAreas(true);
    TurnPage();
    RotateImage();
    FlipAreaColumns();
    MirrorImage();
    PlaceBarcodeAfterTurn();
    TransformDone();
    return row;
}
