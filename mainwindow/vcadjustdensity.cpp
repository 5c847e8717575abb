#include "mainwindow/vcadjustdensity.h"

#include "app/model.h"
#include "mainwindow/errormessage.h"

CVCAdjustDensity::CVCAdjustDensity(CModel *model, QWidget *parent) : QWidget(parent, Qt::Window), m_model(model)
{
    hide();
    if (m_model) {
        connect(m_model, &CModel::ErrorMessageDensity, this, &CVCAdjustDensity::ErrorMessage);
        connect(m_model, &CModel::MatchingMessageBoxDensity, this, &CVCAdjustDensity::MatchingMessageBox);
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
