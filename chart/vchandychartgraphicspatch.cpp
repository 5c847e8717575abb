#include "chart/vchandychartgraphicspatch.h"

#include <QMetaMethod>

CVCHandyChartGraphicsPatch::CVCHandyChartGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch,
                                                       const InkChannelList &inks)
    : CVCGraphicsPatch(rect, patch, inks)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
}

void CVCHandyChartGraphicsPatch::SetNextItem(QGraphicsItem *item)
{
    m_nextItem = item;
}

void CVCHandyChartGraphicsPatch::SelectNextItem(QList<QGraphicsItem *> items)
{
    if (!m_nextItem || !items.contains(this))
        return;
    setSelected(false);
    m_nextItem->setSelected(true);
}

QVariant CVCHandyChartGraphicsPatch::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        QList<TanoSDK_PatchPosition *> positions;
        const bool selected = value.toBool();
        if (selected)
            positions << new TanoSDK_PatchPosition{m_area, m_row, m_column};
        emit SetPatchPosition(positions);
        if (!isSignalConnected(QMetaMethod::fromSignal(&CVCHandyChartGraphicsPatch::SetPatchPosition))) {
            qDeleteAll(positions);
            positions.clear();
        }
        if (selected)
            emit SetScanMode(false);
    }
    return CVCGraphicsPatch::itemChange(change, value);
}
