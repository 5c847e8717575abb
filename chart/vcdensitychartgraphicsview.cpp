#include "chart/vcdensitychartgraphicsview.h"

#include <QGraphicsScene>
#include <QPolygonF>

#include <algorithm>

CVCDensityChartGraphicsView::CVCDensityChartGraphicsView(QWidget *parent)
    : CVCChartGraphicsView(new QGraphicsScene, parent)
{
    scene()->setParent(this);
}

CVCDensityChartGraphicsView::~CVCDensityChartGraphicsView()
{
    DeleteOwnScene();
}

void CVCDensityChartGraphicsView::DrawMarks(const ChartDefinitionData::Sheet *sheet)
{
    if (!sheet || !scene())
        return;
    const QPen pen(Qt::black);
    const QBrush brush(Qt::black, Qt::SolidPattern);

    // Arrow tips at the truncated quarters of the width, pointing up.
    const int quarter = sheet->Width / 4;
    for (int k = 1; k <= 3; ++k) {
        const int x = k * quarter;
        const QPolygonF arrow({QPointF(PixelsX(x), PixelsY(100)), QPointF(PixelsX(x - 500), PixelsY(400)),
                               QPointF(PixelsX(x - 200), PixelsY(400)), QPointF(PixelsX(x - 200), PixelsY(700)),
                               QPointF(PixelsX(x + 200), PixelsY(700)), QPointF(PixelsX(x + 200), PixelsY(400)),
                               QPointF(PixelsX(x + 500), PixelsY(400))});
        scene()->addPolygon(arrow, pen, brush);
    }

    // The bar spans from the leftmost area's left edge to the rightmost one's right edge; without areas there is
    // nothing to span.
    const int areas = WalkedAreaCount(sheet->AreaCount);
    if (areas == 0)
        return;
    int left = sheet->Width;
    int right = 0;
    for (int a = 0; a < areas; ++a) {
        const ChartDefinitionData::AreaPlacement &p = sheet->Placements[a];
        left = std::min(left, p.LeftTopX);
        right = std::max(right, p.LeftTopX + (sheet->Areas[a].ColumnCount - 1) * p.PatchWidthGap + p.PatchWidth);
    }
    scene()->addRect(PixelsX(left), PixelsY(sheet->Height - 2600), PixelsX(right - left), PixelsY(600), pen,
                     brush);
}
