#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

void CVCAdjustDensity::InitCanvasTabs() {}
void CVCAdjustDensity::KeepFittedViews() {}
void CVCAdjustDensity::BuildChartLayoutPageMenu(int) {}
void CVCAdjustDensity::BuildHandyChartLayoutPageMenu(int) {}
void CVCAdjustDensity::BuildMeasurePointPageMenu(int) {}
void CVCAdjustDensity::SetChartDisplay(ChartDefinitionDataSheets *, uint, uint) {}
void CVCAdjustDensity::menuChartLayoutPageTriggered(QAction *) {}
void CVCAdjustDensity::menuHandyChartLayoutPageTriggered(QAction *) {}
void CVCAdjustDensity::menuMeasurePointPageTriggered(QAction *) {}
void CVCAdjustDensity::menuChartLayoutZoomTriggered(QAction *) {}
void CVCAdjustDensity::menuHandyChartLayoutZoomTriggered(QAction *) {}
void CVCAdjustDensity::menuMeasurePointZoomTriggered(QAction *) {}
void CVCAdjustDensity::sliderChartLayoutZoomValueChanged(int) {}
void CVCAdjustDensity::sliderHandyChartLayoutZoomValueChanged(int) {}
void CVCAdjustDensity::sliderMeasurePointZoomValueChanged(int) {}
void CVCAdjustDensity::actionChartLayoutZoomIn() {}
void CVCAdjustDensity::actionChartLayoutZoomOut() {}
void CVCAdjustDensity::actionHandyChartLayoutZoomIn() {}
void CVCAdjustDensity::actionHandyChartLayoutZoomOut() {}
void CVCAdjustDensity::actionMeasurePointZoomIn() {}
void CVCAdjustDensity::actionMeasurePointZoomOut() {}
void CVCAdjustDensity::chartLayoutPaintFinished() {}
void CVCAdjustDensity::handyChartLayoutPaintFinished() {}
void CVCAdjustDensity::measurePointPaintFinished() {}
void CVCAdjustDensity::SelectPatch(int, int, int) {}
void CVCAdjustDensity::ClearSelectPatchData() {}
void CVCAdjustDensity::tabChartCanvasCurrentChanged(int) {}
