#pragma once
// The base patch item of the chart views: a rectangle that knows its patch's area, row and column and shows
// the patch colour in one of six display states:
//   0 defined colour; 1 defined colour, lower-right triangle white (measurement awaited); 2 defined colour,
//   lower-right triangle in the measured colour; 3 outline only (subclasses draw their content); 4 filled,
//   outline in the fill colour; 5 outline only, red, 2 wide.

#include "app/constants.h"
#include "app/records.h"

#include <QColor>
#include <QGraphicsObject>

class CVCGraphicsPatch : public QGraphicsObject
{
    Q_OBJECT
public:
    CVCGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch, const InkChannelList &inks);
    // For the measured-point markers, which have no colour, number or display state of their own.
    CVCGraphicsPatch(QRectF rect, int area, int row, int column);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

    int GetDisplay() const { return m_display; }
    void GetIndices(int *area, int *row, int *column) const;

signals:
    void SelectPatch(int area, int row, int column);
    void ClearPatch();

public slots:
    // Only for the item's own position: in state 1 or 2 the measured colour (state 2), else the number and fill.
    void SetPatchColor(ChartDefinitionData::PatchColor patchColor);
    void ClearPatchColor();
    void SetDisplay(int display);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

    QRectF m_rect;
    int m_area = 0;
    int m_row = 0;
    int m_column = 0;
    int m_patchNumber = 0;
    InkChannelList m_inks;
    QColor m_fillColor;
    QColor m_measuredColor;
    int m_display = 0;
};
