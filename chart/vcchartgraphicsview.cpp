#include "chart/vcchartgraphicsview.h"

#include "app/helpers.h"
#include "chart/vcchartgraphicsbarcode.h"
#include "chart/vcchartgraphicspatch.h"

#include <QFontMetrics>
#include <QGraphicsScene>
#include <QHash>
#include <QPair>

#include <algorithm>

namespace {

constexpr int kBarcodeTag = -1;
constexpr int kBarcodeMargin = 1000; // 0.01 mm, before the inset
constexpr int kNoRecordsFontSize = 99;

} // namespace

CVCChartGraphicsView::CVCChartGraphicsView(QWidget *parent) : CVCSingleGraphicsView(new QGraphicsScene, parent)
{
    scene()->setParent(this);
    connect(this, &CVCChartGraphicsView::SetDuplicated, this, &CVCChartGraphicsView::dispatchDuplicated);
    connect(this, &CVCChartGraphicsView::SetSelected, this, &CVCChartGraphicsView::dispatchSelected);
}

CVCChartGraphicsView::CVCChartGraphicsView(QGraphicsScene *scene, QWidget *parent)
    : CVCSingleGraphicsView(scene, parent)
{
    connect(this, &CVCChartGraphicsView::SetDuplicated, this, &CVCChartGraphicsView::dispatchDuplicated);
    connect(this, &CVCChartGraphicsView::SetSelected, this, &CVCChartGraphicsView::dispatchSelected);
}

CVCChartGraphicsView::~CVCChartGraphicsView()
{
    DeleteOwnScene();
}

void CVCChartGraphicsView::DrawSheet(const ChartDefinitionData::Sheet *sheet, int imageWidth, int imageHeight,
                                     int bitsPerPixel, const uchar *imageBytes)
{
    CVCSingleGraphicsView::DrawSheet(sheet, imageWidth, imageHeight, bitsPerPixel, imageBytes);
}

void CVCChartGraphicsView::DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage)
{
    if (!sheet || !scene())
        return;
    AddPatchItems(sheet, showsPageImage);
    // A view standing alone shows every patch filled; one inside a window keeps what its window set.
    if (!parent())
        emit SetDisplay(4);
}

CVCChartGraphicsPatch *CVCChartGraphicsView::MakePatchItem(const QRectF &rect, int rowCount, int columnCount,
                                                           const ChartDefinitionData::PatchColor &record,
                                                           int fontPointSize, bool showsPageImage)
{
    Q_UNUSED(rowCount);
    Q_UNUSED(columnCount);
    return new CVCChartGraphicsPatch(rect, record, InkColorList(), fontPointSize, showsPageImage);
}

void CVCChartGraphicsView::AddPatchItems(const ChartDefinitionData::Sheet *sheet, bool showsPageImage)
{
    const int size = FitFontPointSize(sheet);
    const QHash<PatchPosition, int> first = FirstRecordIndex(sheet);
    const int areas = WalkedAreaCount(sheet->AreaCount);
    for (int a = 0; a < areas; ++a) {
        const ChartDefinitionData::AreaPlacement &place = sheet->Placements[a];
        const int rows = sheet->Areas[a].RowCount;
        const int columns = sheet->Areas[a].ColumnCount;
        const double width = PixelsX(place.PatchWidth);
        const double height = PixelsY(place.PatchHeight);
        for (int r = 0; r < rows; ++r) {
            const double y = PixelsY(place.LeftTopY + r * place.PatchHeightGap);
            for (int c = 0; c < columns; ++c) {
                const auto found = first.constFind(PatchPosition{a, r, c});
                if (found == first.constEnd())
                    continue;
                const double x = PixelsX(place.LeftTopX + c * place.PatchWidthGap);
                CVCChartGraphicsPatch *item = MakePatchItem(QRectF(x, y, width, height), rows, columns,
                                                            sheet->Patches[found.value()], size, showsPageImage);
                scene()->addItem(item);
                ConnectPatchItem(item);
                connect(this, &CVCChartGraphicsView::SetFontPointSize, item,
                        &CVCChartGraphicsPatch::SetFontPointSize);
                connect(this, &CVCChartGraphicsView::ClearSelected, item, &CVCChartGraphicsPatch::ClearSelected);
            }
        }
    }
}

int CVCChartGraphicsView::FitFontPointSize(const ChartDefinitionData::Sheet *sheet) const
{
    if (!sheet || !sheet->Patches || sheet->PatchCount < 1)
        return kNoRecordsFontSize;

    QFont font = DefaultUiFont();
    const int base = font.pointSize();
    QList<QFontMetrics> metrics;
    for (int s = base - 4; s <= base + 4; ++s) {
        font.setPointSize(std::max(1, s));
        metrics << QFontMetrics(font);
    }

    // Many patches share a number width and an area, so each pair is measured once.
    QHash<QPair<int, int>, int> measured;
    const int areas = WalkedAreaCount(sheet->AreaCount);
    int smallest = kNoRecordsFontSize;
    bool any = false;
    for (int i = 0; i < sheet->PatchCount; ++i) {
        const ChartDefinitionData::PatchColor &record = sheet->Patches[i];
        if (record.Area < 0 || record.Area >= areas)
            continue;
        const QPair<int, int> key(record.ID, record.Area);
        auto it = measured.constFind(key);
        if (it == measured.constEnd()) {
            const ChartDefinitionData::AreaPlacement &place = sheet->Placements[record.Area];
            const double width = PixelsX(place.PatchWidth) - 4.0;
            const double height = PixelsY(place.PatchHeight) - 4.0;
            const QString text = QString::number(record.ID);
            int fitted = base + 4;
            for (int k = 0; k < metrics.size(); ++k) {
                if (metrics[k].horizontalAdvance(text) >= width || metrics[k].height() >= height) {
                    fitted = base - 4 + k;
                    break;
                }
            }
            it = measured.insert(key, fitted);
        }
        smallest = any ? std::min(smallest, it.value()) : it.value();
        any = true;
    }
    return smallest;
}

void CVCChartGraphicsView::DrawBarcode(const int *barcodeRect)
{
    RemoveBarcodeItem();
    if (!barcodeRect || !scene())
        return;
    const QPointF origin = BarcodeOriginPixels(barcodeRect);
    const QSizeF size = BarcodeSizePixels(barcodeRect);
    const QSizeF margin = BarcodeMarginPixels();
    auto *barcode = new CVCChartGraphicsBarcode(origin.x(), origin.y(), size.width(), size.height(),
                                                margin.width(), margin.height());
    scene()->addItem(barcode);
    barcode->setData(Qt::UserRole, kBarcodeTag);
}

void CVCChartGraphicsView::RemoveBarcodeItem()
{
    if (!scene())
        return;
    for (QGraphicsItem *item : scene()->items()) {
        const QVariant tag = item->data(Qt::UserRole);
        bool isInt = false;
        if (tag.isValid() && tag.toInt(&isInt) == kBarcodeTag && isInt) {
            scene()->removeItem(item);
            delete item;
        }
    }
}

QPointF CVCChartGraphicsView::BarcodeOriginPixels(const int *barcodeRect) const
{
    return QPointF(PixelsX(barcodeRect[0]), PixelsY(barcodeRect[1]));
}

QSizeF CVCChartGraphicsView::BarcodeMarginPixels() const
{
    return QSizeF(PixelsX(kBarcodeMargin - m_barcodeInset), PixelsY(kBarcodeMargin - m_barcodeInset));
}

QSizeF CVCChartGraphicsView::BarcodeSizePixels(const int *barcodeRect) const
{
    return QSizeF(PixelsX(barcodeRect[2]), PixelsY(barcodeRect[3]));
}

void CVCChartGraphicsView::dispatchDuplicated(int areaNo, int rowNo, int columnNo, bool isDuplicated)
{
    for (CVCGraphicsPatch *item : PatchItemsAt(PatchPosition{areaNo, rowNo, columnNo})) {
        if (auto *patch = qobject_cast<CVCChartGraphicsPatch *>(item))
            patch->SetDuplicated(areaNo, rowNo, columnNo, isDuplicated);
    }
}

void CVCChartGraphicsView::dispatchSelected(int areaNo, int rowNo, int columnNo)
{
    for (CVCGraphicsPatch *item : PatchItemsAt(PatchPosition{areaNo, rowNo, columnNo})) {
        if (auto *patch = qobject_cast<CVCChartGraphicsPatch *>(item))
            patch->SetSelected(areaNo, rowNo, columnNo);
    }
}
