#include "mainwindow/vcadjustdensity.h"

#include "mainwindow/errormessage.h"
#include "ui_adjustdensity.h"

// Stand-in wiring until the measurement half lands: errors, matching warnings and found charts.
void CVCAdjustDensity::ConnectModelSignals()
{
    if (!m_model)
        return;
    connect(m_model, &CModel::ErrorMessageDensity, this, &CVCAdjustDensity::ErrorMessage);
    connect(m_model, &CModel::MatchingMessageBoxDensity, this, &CVCAdjustDensity::MatchingMessageBox);
    connect(m_model, &CModel::SelectDensityChartFromFileID, this, &CVCAdjustDensity::SelectDensityChartFromFileID);
    connect(m_model, &CModel::FindDensityChartFound, this, &CVCAdjustDensity::FindDensityChartFound);
}

void CVCAdjustDensity::UpdateOrloStatus(int) {}
void CVCAdjustDensity::DisplayDensityMeasureContinue(int) {}
void CVCAdjustDensity::FindDensityChartFound(int chartId)
{
    m_model->SelectFileID(CModel::KindDensityChart, chartId, chartId);
}
void CVCAdjustDensity::MatchingMessageBox(int code) { ShowMatchingWarning(this, code); }
void CVCAdjustDensity::ErrorMessage(int messageNumber) { ShowReportedError(this, m_model, messageNumber); }
void CVCAdjustDensity::SetPatchColorDisplay(uint, uint, int, int, int, uint, float, float, float, float, float, float,
                                            float, float)
{
}
void CVCAdjustDensity::SetHandyPatchColorDisplay(uint, uint, int, int, int, uint, float, float, float, float, float,
                                                 float, float, float, uint)
{
}
void CVCAdjustDensity::SetMeasurePointDisplay(MeasurementData *, uint, uint) {}
void CVCAdjustDensity::UpdateDensityChartFinished(DensityBalanceData *) {}
void CVCAdjustDensity::UpdateDensityMeasureFinished(ChartDesigMeasureData *) {}
void CVCAdjustDensity::SetMeasureConditionWhiteRefCurrentIndex(int) {}
void CVCAdjustDensity::treeConditionCurrentItemChanged(QTreeWidgetItem *, QTreeWidgetItem *) {}
void CVCAdjustDensity::treeConditionItemChanged(QTreeWidgetItem *, int) {}
void CVCAdjustDensity::ApplyMeasureCondition() {}
void CVCAdjustDensity::ShowSelectedPatchValues(int, int, int) {}
