#include "mainwindow/vcmainwindow.h"

#include "app/model.h"
#include "app/widgets/uipresenter.h"
#include "mainwindow/errormessage.h"
#include "mainwindow/vcadjustdensity.h"
#include "settings/vcperiodiccalibrationdialog.h"

#include <QAction>
#include <QByteArray>

namespace {

constexpr int kReadDocumentsFailedMessage = 3;

} // namespace

CVCMainWindow::CVCMainWindow(CModel *model, QWidget *parent)
    : QMainWindow(parent), m_model(model), m_adjustDensity(new CVCAdjustDensity(model, this)),
      m_actionToolBar(new QAction(tr("Tool Bar"), this))
{
    setWindowTitle(QStringLiteral("Varemo"));
    m_actionToolBar->setCheckable(true);
    m_actionToolBar->setChecked(true);
    if (!m_model)
        return;
    connect(m_model, &CModel::ErrorMessage, this, &CVCMainWindow::ErrorMessage);
    connect(m_model, &CModel::MatchingMessageBox, this, &CVCMainWindow::MatchingMessageBox);
    connect(m_model, &CModel::SelectDesigChartFromFileID, this, &CVCMainWindow::SelectDesigChartFromFileID);
    connect(m_model, &CModel::SelectDensityChartFromFileID, this, &CVCMainWindow::SelectDensityChartFromFileID);
    connect(m_model, &CModel::FindDesignationChartFound, this, &CVCMainWindow::FindDesignationChartFound);
    connect(m_model, &CModel::FindDensityChartFound, this, &CVCMainWindow::FindDensityChartFound);
    connect(m_model, &CModel::DetectPeriodCalibration, this, &CVCMainWindow::DetectPeriodCalibration);
}

CVCMainWindow::~CVCMainWindow() = default;

int CVCMainWindow::RestoreWindowState()
{
    restoreGeometry(m_model->GetWindowGeometry(0));
    restoreState(m_model->GetWindowState(0));
    const QByteArray checks = m_model->GetWindowCheckState(0);
    if (!checks.isEmpty())
        m_actionToolBar->setChecked(checks.at(0) != 0);
    return m_model->ReadAllDocuments() != 0 ? kReadDocumentsFailedMessage : 0;
}

void CVCMainWindow::ErrorMessage(int message)
{
    ShowReportedError(this, m_model, message);
}

void CVCMainWindow::MatchingMessageBox(int code)
{
    ShowMatchingWarning(this, code);
}

void CVCMainWindow::SelectDesigChartFromFileID(int fileId)
{
    m_model->SelectFileID(CModel::KindDesignationChart, fileId, fileId);
}

void CVCMainWindow::SelectDensityChartFromFileID(int fileId)
{
    m_model->SelectFileID(CModel::KindDensityChart, fileId, fileId);
}

// Both chart-found signals arrive while the scanner's capture result is handled; the controller starts the
// recognition once the QR record is accepted, so starting it here too would recognise and measure the sheet twice.
void CVCMainWindow::FindDesignationChartFound(int fileId, int pageNo)
{
    m_model->SelectFileID(CModel::KindDesignationChart, fileId, fileId);
    m_model->SetCurrentSheetIndex(pageNo);
}

void CVCMainWindow::FindDensityChartFound(int fileId)
{
    m_model->SelectFileID(CModel::KindDensityChart, fileId, fileId);
}

void CVCMainWindow::DetectPeriodCalibration()
{
    CVCPeriodicCalibrationDialog reminder(m_model, this);
    CUiPresenter::Current().Exec(&reminder);
}
