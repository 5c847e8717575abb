#pragma once
// A captured page at its true size with a red dot at every measured point.

#include "chart/vcgraphicsview.h"

class CVCMeasuredPointGraphicsView : public CVCGraphicsView
{
    Q_OBJECT
public:
    // Makes its own scene.
    explicit CVCMeasuredPointGraphicsView(QWidget *parent = nullptr);
    ~CVCMeasuredPointGraphicsView() override;

    bool HasItems() const;

    // A null measurement leaves an empty scene. The page image is drawn only for 8 bits per pixel with a
    // positive size.
    virtual void DrawMeasurement(const MeasurementData *m);
    virtual void DrawMeasuredPoints(const MeasurementData *m);
};
