#pragma once
// The chart editor's own records and the operations on them, free of widgets. Lengths in 0.01 mm.

#include "app/records.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <functional>

// One cell of the editor: identifier and colour values (the colour format uses format + 2 of them).
struct CreateChartPatch {
    qint32 Duplicated = 0; // 1 while another patch of the page list has the same ID
    qint32 ID = 0;         // 1..9999, 0 none
    float ColorValue[8] = {};
};

// One area slot; used when PatchCount is above 0. The gaps are the pitch from one patch's origin to the next.
struct CreateChartArea {
    qint32 LeftTopX = 0;
    qint32 LeftTopY = 0;
    qint32 RowCount = 0;
    qint32 ColumnCount = 0;
    qint32 PatchCount = 0;
    qint32 PatchWidth = 0;
    qint32 PatchHeight = 0;
    qint32 PatchWidthGap = 0;
    qint32 PatchHeightGap = 0;
    QVector<CreateChartPatch> Patches; // row-major: row x ColumnCount + column
};

// One page of the editor. Copying a page copies its patch lists and image.
struct CreateChartPage {
    qint32 PaperSize = 0; // row of the paper-size table, 8 custom
    qint32 Width = 0;
    qint32 Height = 0;
    qint32 AreaCount = 0; // used slots; they need not be contiguous
    std::array<CreateChartArea, kMaxAreaCount> Areas;
    qint32 ImageWidth = 0;
    qint32 ImageHeight = 0;
    qint32 BitPerPixel = 0;
    QByteArray ImageBytes; // ImageWidth x ImageHeight x BitPerPixel / 8
    qint32 BarcodeLeftTopX = 0;
    qint32 BarcodeLeftTopY = 0;
    qint32 BarcodeWidth = 0;
    qint32 BarcodeHeight = 0;
};

using CreateChartPageList = QVector<CreateChartPage>;

// What the core needs of the model's tables (page sizes, limits, paper colour, QR size). The dialog fills it
// from CModel; tests from a CResourceData.
struct CreateChartTables {
    std::function<int(int row)> PageSizeWidth;
    std::function<int(int row)> PageSizeHeight;
    std::function<float(int format)> ColorDefaultValue;
    std::function<int(const SheetInfoRecord &record)> BarcodeSizePixels; // QR side at 300 dpi
    int AreaLeftMin = 400;
    int AreaLeftMax = 0;
    int AreaTopMin = 0;
    int AreaTopMax = 0;
    int MaxRowCount = 244;
    int MaxColumnCount = 53;
    int BarcodeInset = 237;     // 0.01 mm: the inset pixels at 300 dpi
    QString NewChartName;       // the name the QR record carries while the chart has none
};

// One change of one patch as the editor records it: the patch before and after and the table column that changes
// (0 the ID, -2 ID and colours, -1 colours only, k >= 1 colour value k only).
struct CreateChartPatchEdit {
    int PageNo = 0;
    int AreaNo = 0; // area slot
    int RowNo = 0;  // index in the slot's patch list, the patch table's row
    int ColumnNo = 0;
    CreateChartPatch Before;
    CreateChartPatch After;
};

// What a paste of clipboard rows would change; the dialog wraps the edits into one undo step.
struct CreateChartClipboardPaste {
    QVector<CreateChartPatchEdit> Edits;
    bool BadLine = false; // a line did not parse: the paste stopped there and the user is told
    int LastRow = 0;      // the table row to select afterwards
};

// A pasted table row: ID then the colour values, numbers in the C locale (nan and inf are none). ID 0 in the result
// means the row is refused.
CreateChartPatch ParsePastedRow(const QStringList &fields, int columnCount, float minValue, float maxValue);

// The chart editor's data and every operation on it that needs no window. The dialog owns one, shows what it holds
// and turns user actions into these calls.
class CreateChartCore
{
public:
    enum PageListIndex { OriginalList = 0, ScrambleList = 1, LoadedList = 2 };
    static constexpr int kMaxId = 9999;

    using PaperSizeLookup = std::function<int(int width, int height)>;

    // paperSizeIndex gives the paper-size row of a page size (8 when none matches).
    explicit CreateChartCore(PaperSizeLookup paperSizeIndex = PaperSizeLookup());

    // Colour values a patch of the current format uses, and the patch table's columns (ID first).
    int ValueCount() const;
    int TableColumnCount() const { return ValueCount() + 1; }

    // The page list of the current tab, and its shown page (null when the list is empty).
    CreateChartPageList &CurrentList() { return PageLists[CurrentTab]; }
    CreateChartPage *CurrentPagePointer();
    const CreateChartPage *OriginalPage() const;
    // The selected area slot of the shown Original page, null when none is selected or it is empty.
    const CreateChartArea *SelectedAreaPointer() const;

    // Writes a patch into list listIndex as the table column columnNo says; whenever the ID is taken the ID
    // counter moves past it. False (nothing written) when the indices name no patch.
    bool StorePatch(int listIndex, int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &patch);

    // The editor's patch slot: undo steps and pastes always address the Original list, whichever tab is shown.
    bool SetPatch(int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &patch)
    {
        return StorePatch(OriginalList, pageNo, areaNo, rowNo, columnNo, patch);
    }

    // Marks every patch of the list whose ID another patch of any page of the list has; true when there is one.
    bool CheckDuplicates(int listIndex);

    // Numbers every patch of the current list from 1: areas top to bottom, then left to right, patches row by row
    // or column by column. The counter continues after the last ID.
    void AssignIds(bool columnByColumn);

    // Rebuilds the drawn-area list from the shown page of the current tab: area number n is the n-th used slot.
    void RebuildDrawnAreas();
    int SlotOfAreaNumber(int areaNumber) const;
    int AreaNumberOfSlot(int slot) const { return DrawnAreas.indexOf(slot); }

    // Copy and paste of one patch, addressed as the view selects it (area number, row, column). Copy: true when
    // a patch was copied. Paste: false when nothing is to be done (no patch there, or the same colours).
    bool CopyPatch(int areaNumber, int row, int column);
    bool PlanPatchPaste(int areaNumber, int row, int column, CreateChartPatchEdit *edit) const;
    // Rows of text (tab-separated fields) pasted into the selected area from the selected row on.
    CreateChartClipboardPaste PlanClipboardPaste(const QString &text, float minValue, float maxValue) const;

    // The whole-page transforms of the shown page of the current tab. Each writes the moved patches through
    // StorePatch and then calls UndoInvalidated: recorded edits address patches by position. Rotate and
    // ExchangeRowColumn return the table row the selected patch moves to (-1 when none); with Barcode 1 they
    // place the QR code again, as its record changed.
    void FlipRows();
    void FlipColumns();
    int Rotate();
    int ExchangeRowColumn();

    // The steps the transforms are made of.
    void FlipAreaRows();
    void FlipAreaColumns();
    void RotateAreas(bool transpose);
    void TurnPage();
    void MirrorImage();
    void RotateImage();
    int MapSelectedPatch(bool transpose) const;

    // Pages, areas and the QR code of the current list and its shown page.
    void AddPage();    // appended and shown; a later page takes the first page's size
    void DeletePage(); // the shown page; page 1 stays shown when it was
    // Into the first free slot (false when all 50 are used); becomes the selected area.
    bool AddArea();
    void DeleteSelectedArea(); // selects the nearest used slot below, else above, else none
    void MoveArea(int slot, int dx, int dy); // clamped to the area limits
    void ResizeArea(int slot, int dx, int dy); // patches 6..30 mm, pitch at most 32 mm, spaces kept
    void MoveBarcode(int dx, int dy);
    void PlaceBarcode(int pageIndex); // at the top-left limit, sized for what the page's code carries
    void ApplyBarcodeToAllPages(); // placed on every page with Barcode 1, removed from every page otherwise
    SheetInfoRecord BarcodeRecord(int pageIndex) const;
    bool BarcodeInPrintRange() const;
    bool BarcodeOverlapsArea() const;
    // Makes an area's patch list PatchCount long: cut at the end, or new patches with the next IDs appended.
    void ResizePatchList(CreateChartArea *area);
    CreateChartPatch NewPatch(); // the next ID and the paper colour of the format

    // A page as the views draw it and the store keeps it; fills the drawn-area list when asked.
    void PageToSheet(const CreateChartPage &page, ChartDefinitionData::Sheet *sheet, bool rebuildDrawnAreas);
    // The current list as a chart definition: on the loaded header (Save) or on a zeroed one (Save As).
    void PagesToDefinition(bool keepLoadedHeader, ChartDefinitionDataSheets *definition);
    // Loads a stored chart into the Original and the loaded lists; false (nothing loaded) when the editor cannot
    // hold it. Cells without a record get new patches after every loaded ID.
    bool SetChartDefinition(const ChartDefinitionDataSheets &definition);
    // Captured page images behind the Original pages: only 8-bit grey entries of a page that exists.
    void SetPageImages(const MeasurementDataSheets &measurement);
    // The pages may be saved over the loaded chart: with a uniform layout required, every page's areas as loaded.
    bool MayOverwrite(bool uniformLayout) const;
    bool HasAreas() const; // every page of the current list has at least one area

    // The header kept from the loaded definition (Kind, SheetCount, ChartPatchCount, Diameter, UUID, ChartName,
    // CreateTime, UNIT, Barcode, Recog); a new chart has Diameter 1 and Recog 4.
    ChartDefinitionDataSheets Header;
    CreateChartTables Tables;

    // State. The lists hold the Original pages (edited), the Scramble pages (rebuilt from them) and the pages as
    // loaded.
    CreateChartPageList PageLists[3];
    int CurrentPages[2] = {0, 0};
    int CurrentTab = OriginalList;
    int ColorFormat = 1;
    int IdCounter = 1;
    CreateChartPatch CopiedPatch;
    int SelectedArea = -1;
    int SelectedRow = -1;
    int SelectedColumn = -1;
    QVector<int> DrawnAreas;

    // Told of every stored patch (list, page, area slot, row, column code), so the table and the view follow.
    std::function<void(int, int, int, int, int)> PatchStored;
    // Called after a transform or an ID assignment: the undo history no longer fits the pages.
    std::function<void()> UndoInvalidated;

private:
    CreateChartPatch *PatchAt(int listIndex, int pageNo, int areaNo, int rowNo);
    const CreateChartPatch *PatchAt(int listIndex, int pageNo, int areaNo, int rowNo) const;
    // The Original patch a view selection names, with its slot and list index; null when there is none.
    const CreateChartPatch *ViewPatch(int areaNumber, int row, int column, int *slot, int *index) const;
    // Writes an area's patches in a new order (indices into the old list), each through StorePatch.
    void WriteAreaOrder(int slot, const QVector<int> &order);
    // Rewrites every used area of the shown page: cell (r, c) takes the patch at sourceIndex(area, r, c).
    void ReorderAreaCells(const std::function<int(const CreateChartArea &, int, int)> &sourceIndex);
    void TransformDone();
    void PlaceBarcodeAfterTurn(); // with Barcode 1, after Rotate and ExchangeRowColumn

    PaperSizeLookup m_paperSizeIndex;
};
