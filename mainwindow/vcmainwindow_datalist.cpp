// The Data List dock: the chart and recognition trees, their checks, renames, context menus and rebuilds.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

void CVCMainWindow::ConnectDataListSignals() {}

bool CVCMainWindow::IsDesignationMeasureIncomplete(int, int) const { return false; }

void CVCMainWindow::SelectDesigChartFromFileID(int fileId)
{
    m_model->SelectFileID(CModel::KindDesignationChart, fileId, fileId);
}

// The chart-found signal arrives while the scanner's capture result is handled; the controller starts the
// recognition once the QR record is accepted, so starting it here too would recognise and measure the sheet twice.
void CVCMainWindow::FindDesignationChartFound(int fileId, int pageNo)
{
    m_model->SelectFileID(CModel::KindDesignationChart, fileId, fileId);
    m_model->SetCurrentSheetIndex(pageNo);
}

void CVCMainWindow::CreateDesignationChartFinished(ChartDesigData *) {}
void CVCMainWindow::UpdateDesignationChartFinished(ChartDesigData *) {}
void CVCMainWindow::CreateDesignationMeasureFinished(ChartDesigMeasureData *) {}
void CVCMainWindow::UpdateDesignationMeasureFinished(ChartDesigMeasureData *) {}
void CVCMainWindow::CreateRecognitionMeasureFinished(ChartRecogData *) {}
void CVCMainWindow::UpdateRecognitionMeasureFinished(ChartRecogData *) {}
void CVCMainWindow::SetDesignationMeasureItemBackColor(int) {}
void CVCMainWindow::CheckOffDesigChartFromFileID(int) {}
void CVCMainWindow::UpdateDatalistColumn(const Setting::DisplayDatalistColumn &) {}
void CVCMainWindow::MeasurementFinished(int, int) {}
void CVCMainWindow::ReadDesignationChartFinished(QList<ChartDesigData>, QList<ChartDesigMeasureData>) {}
void CVCMainWindow::ReadRecognitionMeasureFinished(QList<ChartRecogData>) {}
void CVCMainWindow::treeDesignationItemChanged(QTreeWidgetItem *, int) {}
void CVCMainWindow::treeDesignationDoubleClicked(QTreeWidgetItem *, int) {}
void CVCMainWindow::treeDesignationCustomContextMenuRequested(const QPoint &) {}
void CVCMainWindow::treeRecognitionItemChanged(QTreeWidgetItem *, int) {}
void CVCMainWindow::treeRecognitionDoubleClicked(QTreeWidgetItem *, int) {}
void CVCMainWindow::treeRecognitionCustomContextMenuRequested(const QPoint &) {}
void CVCMainWindow::menuDiameterDesignationTriggered(QAction *) {}
void CVCMainWindow::itemColllapsedAndExpanded() {}
void CVCMainWindow::actionRenameDesignationTriggered() {}
void CVCMainWindow::actionRenameRecognitionTriggered() {}
void CVCMainWindow::actionDeleteDesignationTriggered() {}
void CVCMainWindow::actionDeleteRecognitionTriggered() {}
