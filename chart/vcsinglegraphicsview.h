#pragma once
// A view that keeps one item selected while the user drags; selection by code may still select several.

#include "chart/vcgraphicsview.h"

class CVCSingleGraphicsView : public CVCGraphicsView
{
    Q_OBJECT
public:
    CVCSingleGraphicsView(QGraphicsScene *scene, QWidget *parent = nullptr);

public slots:
    void onSelectionChanged();
};
