#include "chart/vceditchartgraphicsview.h"

#include "chart/vceditchartgraphicsbarcode.h"
#include "chart/vceditchartgraphicspatch.h"
#include "chart/vceditchartgraphicsscene.h"

#include <QEvent>
#include <QGraphicsRectItem>

namespace {

constexpr int kBarcodeTag = -1;

} // namespace

CVCEditChartGraphicsView::CVCEditChartGraphicsView(QWidget *parent)
    : CVCChartGraphicsView(new CVCEditChartGraphicsScene, parent)
{
    auto *edit = static_cast<CVCEditChartGraphicsScene *>(scene());
    edit->setParent(this);
    // The resize square needs hover moves even while no item asks for them.
    viewport()->setMouseTracking(true);
    connect(edit, &CVCEditChartGraphicsScene::AreaDragMoved, this, &CVCEditChartGraphicsView::AreaDragMoved);
    connect(edit, &CVCEditChartGraphicsScene::AreaMoved, this, &CVCEditChartGraphicsView::AreaMoved);
    connect(edit, &CVCEditChartGraphicsScene::AreaDragResized, this, &CVCEditChartGraphicsView::AreaDragResized);
    connect(edit, &CVCEditChartGraphicsScene::AreaResized, this, &CVCEditChartGraphicsView::AreaResized);
    connect(edit, &CVCEditChartGraphicsScene::BarcodeDragMoved, this, &CVCEditChartGraphicsView::BarcodeDragMoved);
    connect(edit, &CVCEditChartGraphicsScene::BarcodeMoved, this, &CVCEditChartGraphicsView::BarcodeMoved);
}

CVCEditChartGraphicsView::~CVCEditChartGraphicsView()
{
    releaseCursor();
    DeleteOwnScene();
}

CVCEditChartGraphicsScene *CVCEditChartGraphicsView::EditScene() const
{
    return qobject_cast<CVCEditChartGraphicsScene *>(scene());
}

void CVCEditChartGraphicsView::releaseCursor()
{
    if (CVCEditChartGraphicsScene *edit = EditScene())
        edit->ReleaseOverrideCursor();
}

bool CVCEditChartGraphicsView::GetSelectedPatch(int *area, int *row, int *column) const
{
    for (QGraphicsItem *item : scene()->items(Qt::DescendingOrder)) {
        if (!item->isSelected())
            continue;
        if (auto *patch = qobject_cast<CVCEditChartGraphicsPatch *>(item->toGraphicsObject())) {
            patch->GetIndices(area, row, column);
            return true;
        }
    }
    return false;
}

void CVCEditChartGraphicsView::DrawMarginFrame(qreal x, qreal y, qreal width, qreal height)
{
    AddMarginFrame(x, y, width, height);
    CVCChartGraphicsView::DrawMarginFrame(x, y, width, height);
}

void CVCEditChartGraphicsView::DrawAreas(const ChartDefinitionData::Sheet *sheet)
{
    if (!sheet)
        return;
    const int areas = WalkedAreaCount(sheet->AreaCount);
    for (int a = 0; a < areas; ++a) {
        const ChartDefinitionData::AreaPlacement &place = sheet->Placements[a];
        const ChartDefinitionData::AreaCounts &counts = sheet->Areas[a];
        const int width = (counts.ColumnCount - 1) * place.PatchWidthGap + place.PatchWidth;
        const int height = (counts.RowCount - 1) * place.PatchHeightGap + place.PatchHeight;
        QGraphicsRectItem *rect = scene()->addRect(PixelsX(place.LeftTopX), PixelsY(place.LeftTopY),
                                                   PixelsX(width), PixelsY(height), QPen(Qt::transparent));
        rect->setData(Qt::UserRole, a);
    }
}

void CVCEditChartGraphicsView::DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage)
{
    // Editing patches keep the display state they are made with.
    if (sheet)
        AddPatchItems(sheet, showsPageImage);
}

CVCChartGraphicsPatch *CVCEditChartGraphicsView::MakePatchItem(const QRectF &rect, int rowCount, int columnCount,
                                                               const ChartDefinitionData::PatchColor &record,
                                                               int fontPointSize, bool showsPageImage)
{
    auto *item = new CVCEditChartGraphicsPatch(rect, rowCount, columnCount, record, InkColorList(), fontPointSize,
                                               showsPageImage);
    connect(this, &CVCEditChartGraphicsView::AreaDragMoved, item, &CVCEditChartGraphicsPatch::AreaDragMoved);
    connect(this, &CVCEditChartGraphicsView::AreaDragResized, item, &CVCEditChartGraphicsPatch::AreaDragResized);
    return item;
}

void CVCEditChartGraphicsView::DrawBarcode(const int *barcodeRect)
{
    RemoveBarcodeItem();
    if (!barcodeRect)
        return;
    const QPointF origin = BarcodeOriginPixels(barcodeRect);
    const QSizeF size = BarcodeSizePixels(barcodeRect);
    const QSizeF margin = BarcodeMarginPixels();
    auto *barcode = new CVCEditChartGraphicsBarcode(origin.x(), origin.y(), size.width(), size.height(),
                                                    margin.width(), margin.height());
    scene()->addItem(barcode);
    barcode->setData(Qt::UserRole, kBarcodeTag);
    connect(this, &CVCEditChartGraphicsView::BarcodeDragMoved, barcode,
            &CVCEditChartGraphicsBarcode::BarcodeDragMoved);
}

void CVCEditChartGraphicsView::leaveEvent(QEvent *event)
{
    releaseCursor();
    CVCChartGraphicsView::leaveEvent(event);
}

void CVCEditChartGraphicsView::hideEvent(QHideEvent *event)
{
    releaseCursor();
    CVCChartGraphicsView::hideEvent(event);
}

bool CVCEditChartGraphicsView::viewportEvent(QEvent *event)
{
    // Leaving the viewport for a scroll bar leaves the view's drawing too.
    if (event->type() == QEvent::Leave)
        releaseCursor();
    return CVCChartGraphicsView::viewportEvent(event);
}
