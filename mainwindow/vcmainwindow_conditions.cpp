// The Measurement Settings dock: the condition tree and block 0 of the measurement conditions behind it.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/widgets/conditiontree.h"

void CVCMainWindow::ConnectMeasureSettingSignals()
{
    BuildMeasureConditionTree(ui->treeMeasureSetting);
}
void CVCMainWindow::WriteMeasureConditionToTree() {}
void CVCMainWindow::treeConditionItemChanged(QTreeWidgetItem *, int) {}
void CVCMainWindow::treeConditionCurrentItemChanged(QTreeWidgetItem *, QTreeWidgetItem *) {}
void CVCMainWindow::conditionWhiteRefChanged(int) {}
void CVCMainWindow::conditionStatusChanged(int) {}
void CVCMainWindow::conditionObserverChanged(int) {}
void CVCMainWindow::conditionIlluminantChanged(int) {}
void CVCMainWindow::setMeasureSettingWhiteRefCurrentIndex(int) {}
