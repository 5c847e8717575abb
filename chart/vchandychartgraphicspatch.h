#pragma once
// A patch of the handheld measurement view: selecting it makes it the next single-patch target.

#include "app/tanosdk_patchposition.h"
#include "chart/vcgraphicspatch.h"

#include <QList>

class CVCHandyChartGraphicsPatch : public CVCGraphicsPatch
{
    Q_OBJECT
public:
    CVCHandyChartGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch,
                               const InkChannelList &inks);

    QGraphicsItem *NextItem() const { return m_nextItem; }

signals:
    // The entries belong to the receiver; without one they are freed after the emission.
    void SetPatchPosition(QList<TanoSDK_PatchPosition *> &positions);
    void SetScanMode(bool scan);

public slots:
    void SetNextItem(QGraphicsItem *item);
    // Hands the selection on to the next patch when this one is among the items.
    void SelectNextItem(QList<QGraphicsItem *> items);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    QGraphicsItem *m_nextItem = nullptr;
};
