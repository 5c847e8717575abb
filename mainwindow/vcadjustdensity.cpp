#include "mainwindow/vcadjustdensity.h"

#include "app/model.h"
#include "mainwindow/errormessage.h"

CVCAdjustDensity::CVCAdjustDensity(CModel *model, QWidget *parent) : QWidget(parent, Qt::Window), m_model(model)
{
    hide();
    if (m_model) {
        connect(m_model, &CModel::ErrorMessageDensity, this, &CVCAdjustDensity::ErrorMessage);
        connect(m_model, &CModel::MatchingMessageBoxDensity, this, &CVCAdjustDensity::MatchingMessageBox);
        connect(m_model, &CModel::SelectDensityChartFromFileID, this, &CVCAdjustDensity::SelectDensityChartFromFileID);
        connect(m_model, &CModel::FindDensityChartFound, this, &CVCAdjustDensity::FindDensityChartFound);
    }
}

void CVCAdjustDensity::ErrorMessage(int message)
{
    ShowReportedError(this, m_model, message);
}

void CVCAdjustDensity::MatchingMessageBox(int code)
{
    ShowMatchingWarning(this, code);
}

void CVCAdjustDensity::SelectDensityChartFromFileID(int fileId)
{
    m_model->SelectFileID(CModel::KindDensityChart, fileId, fileId);
}

void CVCAdjustDensity::FindDensityChartFound(int fileId)
{
    m_model->SelectFileID(CModel::KindDensityChart, fileId, fileId);
}
