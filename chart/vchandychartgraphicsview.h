#pragma once
// The sheet of a density chart measured with the handheld instrument: every patch, a lettered header over
// each column and row numbers beside each area. A selected column is the next strip scan, a selected patch
// the next single measurement; each finished measurement moves the selection on in the measuring order.

#include "app/tanosdk_patchposition.h"
#include "chart/vcsinglegraphicsview.h"

#include <QList>

class CVCHandyChartGraphicsView : public CVCSingleGraphicsView
{
    Q_OBJECT
public:
    explicit CVCHandyChartGraphicsView(QWidget *parent = nullptr);
    ~CVCHandyChartGraphicsView() override;

    void DrawPatches(const ChartDefinitionData::Sheet *sheet, bool showsPageImage) override;

signals:
    // The entries belong to the receiver; without one they are freed after the emission.
    void SetPatchPosition(QList<TanoSDK_PatchPosition *> &positions);
    void SetScanMode(bool scan);
    void SelectNextItem(QList<QGraphicsItem *> items);
    void AllMeasurementFinished();

public slots:
    void HandyMeasurementFinished();

private slots:
    void relayPatchPosition(QList<TanoSDK_PatchPosition *> &positions);
};
