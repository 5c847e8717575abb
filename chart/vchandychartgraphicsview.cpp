#include "chart/vchandychartgraphicsview.h"

#include "chart/vchandychartgraphicscolumn.h"
#include "chart/vchandychartgraphicspatch.h"

#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QMetaMethod>

#include <algorithm>

CVCHandyChartGraphicsView::CVCHandyChartGraphicsView(QWidget *parent)
    : CVCSingleGraphicsView(new QGraphicsScene, parent)
{
    scene()->setParent(this);
}

CVCHandyChartGraphicsView::~CVCHandyChartGraphicsView()
{
    DeleteOwnScene();
}

void CVCHandyChartGraphicsView::DrawPatches(const ChartDefinitionData::Sheet *sheet, bool)
{
    if (!sheet || !scene())
        return;
    const QHash<PatchPosition, int> first = FirstRecordIndex(sheet);
    CVCHandyChartGraphicsPatch *firstPatch = nullptr;
    CVCHandyChartGraphicsPatch *lastPatch = nullptr;
    CVCHandyChartGraphicsColumn *firstColumn = nullptr;
    CVCHandyChartGraphicsColumn *lastColumn = nullptr;
    int letter = 0;

    const int areaCount = WalkedAreaCount(sheet->AreaCount);
    for (int a = 0; a < areaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &place = sheet->Placements[a];
        const int rows = std::max(0, sheet->Areas[a].RowCount);
        const int columns = std::max(0, sheet->Areas[a].ColumnCount);
        const double areaLeft = PixelsX(place.LeftTopX);
        const double areaTop = PixelsY(place.LeftTopY);

        for (int r = 0; r < rows; ++r) {
            QGraphicsTextItem *number = scene()->addText(QStringLiteral("%1").arg(r + 1), QFont());
            number->adjustSize();
            number->setPos(areaLeft - number->boundingRect().width() - 5,
                           PixelsY(place.LeftTopY + r * place.PatchHeightGap) + 5);
        }

        // Right to left: the instrument is swept along the columns in this order.
        for (int c = columns - 1; c >= 0; --c) {
            const double x = PixelsX(place.LeftTopX + c * place.PatchWidthGap);
            QList<QGraphicsItem *> columnItems;
            for (int r = 0; r < rows; ++r) {
                const auto found = first.constFind(PatchPosition{a, r, c});
                if (found == first.constEnd())
                    continue;
                const QRectF rect(x, PixelsY(place.LeftTopY + r * place.PatchHeightGap), PixelsX(place.PatchWidth),
                                  PixelsY(place.PatchHeight));
                auto *item = new CVCHandyChartGraphicsPatch(rect, sheet->Patches[found.value()], InkColorList());
                scene()->addItem(item);
                ConnectPatchItem(item);
                connect(this, &CVCHandyChartGraphicsView::SelectNextItem, item,
                        &CVCHandyChartGraphicsPatch::SelectNextItem);
                connect(item, &CVCHandyChartGraphicsPatch::SetPatchPosition, this,
                        &CVCHandyChartGraphicsView::relayPatchPosition);
                connect(item, &CVCHandyChartGraphicsPatch::SetScanMode, this, &CVCHandyChartGraphicsView::SetScanMode);
                if (lastPatch)
                    lastPatch->SetNextItem(item);
                else
                    firstPatch = item;
                lastPatch = item;
                columnItems << item;
            }

            auto *column = new CVCHandyChartGraphicsColumn(QRectF(x, areaTop - 20, PixelsX(place.PatchWidth), 15),
                                                           columnItems, letter++);
            scene()->addItem(column);
            connect(this, &CVCHandyChartGraphicsView::SelectNextItem, column,
                    &CVCHandyChartGraphicsColumn::SelectNextItem);
            connect(column, &CVCHandyChartGraphicsColumn::SetPatchPosition, this,
                    &CVCHandyChartGraphicsView::relayPatchPosition);
            connect(column, &CVCHandyChartGraphicsColumn::SetScanMode, this, &CVCHandyChartGraphicsView::SetScanMode);
            if (lastColumn)
                lastColumn->SetNextItem(column);
            else
                firstColumn = column;
            lastColumn = column;
        }
    }

    if (lastPatch)
        lastPatch->SetNextItem(firstPatch);
    if (lastColumn)
        lastColumn->SetNextItem(firstColumn);
    if (firstColumn)
        firstColumn->setSelected(true);
}

void CVCHandyChartGraphicsView::HandyMeasurementFinished()
{
    if (!scene())
        return;
    emit SelectNextItem(scene()->selectedItems());
    const QList<QGraphicsItem *> items = scene()->items();
    const bool allMeasured = std::all_of(items.cbegin(), items.cend(), [](QGraphicsItem *item) {
        auto *patch = dynamic_cast<CVCHandyChartGraphicsPatch *>(item);
        return !patch || patch->GetDisplay() == 2;
    });
    if (allMeasured)
        emit AllMeasurementFinished();
}

void CVCHandyChartGraphicsView::relayPatchPosition(QList<TanoSDK_PatchPosition *> &positions)
{
    emit SetPatchPosition(positions);
    // Nobody took the entries: a view shown without the density-balance window must not leak them.
    if (!isSignalConnected(QMetaMethod::fromSignal(&CVCHandyChartGraphicsView::SetPatchPosition))) {
        qDeleteAll(positions);
        positions.clear();
    }
}
