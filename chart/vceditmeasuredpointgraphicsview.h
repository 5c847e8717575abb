#pragma once
// The measured-point view with rubber-band picking of rectangular regions of points: the first band starts a
// selection, further bands with Control held add to it, a press without Control discards it.

#include "chart/vcmeasuredpointgraphicsview.h"

#include <QList>
#include <QRectF>

class QPainterPath;

class CVCEditMeasuredPointGraphicsView : public CVCMeasuredPointGraphicsView
{
    Q_OBJECT
public:
    static constexpr int kMaxSelectionRects = 50;

    explicit CVCEditMeasuredPointGraphicsView(QWidget *parent = nullptr);

    // The accepted rectangles in scene coordinates, in order.
    const QList<QRectF> &SelectionRects() const { return m_selectionRects; }
    void ClearSelectionRects();
    bool IntersectsSelectionRects(const QPainterPath &path) const;

    void DrawMarginFrame(qreal x, qreal y, qreal width, qreal height) override;
    void DrawMeasuredPoints(const MeasurementData *m) override;

signals:
    void rectSelectedSingle();
    void rectSelectedMulti();
    void rectSelectedClear();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool m_controlHeld = false;
    bool m_rectTaken = false;
    int m_pressX = 0;
    int m_pressY = 0;
    QList<QRectF> m_selectionRects;
};
