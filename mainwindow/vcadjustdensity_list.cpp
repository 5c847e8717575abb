#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

void CVCAdjustDensity::InitChartListTree() {}
void CVCAdjustDensity::BuildChartListMenus() {}
QTreeWidgetItem *CVCAdjustDensity::AddChartItem(const DensityBalanceData &) { return nullptr; }
QTreeWidgetItem *CVCAdjustDensity::AddMeasureItem(QTreeWidgetItem *, const ChartDesigMeasureData &) { return nullptr; }
QTreeWidgetItem *CVCAdjustDensity::FindChartItem(int) const { return nullptr; }
void CVCAdjustDensity::WithoutItemChanged(const std::function<void()> &change) { change(); }
void CVCAdjustDensity::ConnectItemChanged() {}
void CVCAdjustDensity::UncheckAllCharts() {}
void CVCAdjustDensity::ReloadChartList() {}
void CVCAdjustDensity::pushAddChartClicked() {}
void CVCAdjustDensity::actionDeleteAdjustDensityTriggered() {}
void CVCAdjustDensity::actionRenameAdjustDensityTriggered() {}
void CVCAdjustDensity::actionSaveFileAdjustDensityTriggered() {}
void CVCAdjustDensity::actionSaveImageAdjustDensityTriggered() {}
void CVCAdjustDensity::actionMeasureDataSaveTriggered(const QString &) {}
void CVCAdjustDensity::CreateDensityChartFinished(DensityBalanceData *) {}
void CVCAdjustDensity::CreateDensityMeasureFinished(ChartDesigMeasureData *) {}
void CVCAdjustDensity::MeasurementFinished(int, int) {}
// Stand-in until the list lands: selects the chart in the model.
void CVCAdjustDensity::SelectDensityChartFromFileID(int fileId)
{
    m_model->SelectFileID(CModel::KindDensityChart, fileId, fileId);
}
void CVCAdjustDensity::CheckOffDensityBalanceFromFileID(int) {}
void CVCAdjustDensity::treeChartListCurrentItemChanged(QTreeWidgetItem *) {}
void CVCAdjustDensity::treeChartListCustomContextMenuRequested(const QPoint &) {}
void CVCAdjustDensity::treeChartListDoubleClicked(QTreeWidgetItem *, int) {}
void CVCAdjustDensity::treeChartListItemChanged(QTreeWidgetItem *, int) {}
