#pragma once
// The lettered header of a patch column in the handheld measurement view: selecting it makes the whole
// column the next strip-scan target and outlines it.

#include "app/tanosdk_patchposition.h"

#include <QGraphicsObject>
#include <QList>

class QGraphicsRectItem;

class CVCHandyChartGraphicsColumn : public QGraphicsObject
{
    Q_OBJECT
public:
    // letterIndex 0 shows "A"; the patch items are the column's, top row first.
    CVCHandyChartGraphicsColumn(QRectF rect, const QList<QGraphicsItem *> &patchItems, int letterIndex);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

    int LetterIndex() const { return m_letterIndex; }
    const QList<QGraphicsItem *> &PatchItems() const { return m_patchItems; }
    QGraphicsItem *NextItem() const { return m_nextItem; }
    // The outline of the selected column; null while deselected.
    QGraphicsRectItem *Highlight() const { return m_highlight; }

signals:
    // The entries belong to the receiver; without one they are freed after the emission.
    void SetPatchPosition(QList<TanoSDK_PatchPosition *> &positions);
    void SetScanMode(bool scan);

public slots:
    void SetNextItem(QGraphicsItem *column);
    // Hands the selection on to the next column when this one is among the items.
    void SelectNextItem(QList<QGraphicsItem *> listItem);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    QRectF m_rect;
    int m_letterIndex = 0;
    QList<QGraphicsItem *> m_patchItems;
    QGraphicsRectItem *m_highlight = nullptr;
    QGraphicsItem *m_nextItem = nullptr;
};
