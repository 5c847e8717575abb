#include "mainwindow/vcadjustdensity.h"

#include "mainwindow/vcmeasuredatasave.h"
#include "mainwindow/vcprogressmessage.h"
#include "ui_adjustdensity.h"

CVCAdjustDensity::CVCAdjustDensity(CModel *model, QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::AdjustDensity>()), m_model(model)
{
    m_menuChart = new QMenu(this);
    m_menuMeasure = new QMenu(this);
    m_menuMulti = new QMenu(this);
    m_measureDataSave = new CVCMeasureDataSave(model, this);
    m_progressMessage = new CVCProgressMessage(this);
    ui->setupUi(this);
    InitWindow();
    ConnectModelSignals();
}

CVCAdjustDensity::~CVCAdjustDensity() = default;

void CVCAdjustDensity::InitWindow()
{
    InitMenuActions();
    InitChartListTree();
    InitCanvasTabs();
    InitProgressDisplay();
    InitStatusBar();
    InitConditionDock();
    InitMeasureDataDock();
}

void CVCAdjustDensity::InitMenuActions() {}
void CVCAdjustDensity::InitProgressDisplay() {}
void CVCAdjustDensity::InitStatusBar() {}
void CVCAdjustDensity::InitConditionDock() {}
void CVCAdjustDensity::InitMeasureDataDock() {}
void CVCAdjustDensity::SetControlsEnabled(bool) {}
void CVCAdjustDensity::DockVisibilityChanged(QDockWidget *, QAction *, bool) {}
void CVCAdjustDensity::StoreConditionWord(const std::function<void(Setting::MeasureConditionSetting &)> &) {}
void CVCAdjustDensity::SetListAppStatus() {}
void CVCAdjustDensity::itemColllapsedAndExpanded() {}
void CVCAdjustDensity::actionMeasureDataSaveMenuTriggered() {}
void CVCAdjustDensity::dockChartListVisibilityChanged(bool) {}
void CVCAdjustDensity::dockMeasureSettingVisibilityChanged(bool) {}
void CVCAdjustDensity::dockMeasureDataVisibilityChanged(bool) {}
void CVCAdjustDensity::conditionWhiteRefChanged(int) {}
void CVCAdjustDensity::conditionStatusChanged(int) {}
void CVCAdjustDensity::conditionObserverChanged(int) {}
void CVCAdjustDensity::conditionIlluminantChanged(int) {}
void CVCAdjustDensity::restoreItemState(const QByteArray &) {}
QByteArray CVCAdjustDensity::saveItemState() const { return QByteArray(); }
void CVCAdjustDensity::paintEvent(QPaintEvent *event) { QMainWindow::paintEvent(event); }
void CVCAdjustDensity::closeEvent(QCloseEvent *event) { QMainWindow::closeEvent(event); }
void CVCAdjustDensity::showEvent(QShowEvent *event) { QMainWindow::showEvent(event); }
