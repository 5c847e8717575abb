#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/model.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "mainwindow/statustexts.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/vcprogressmessage.h"
#include "mainwindow/vcversion.h"
#include "settings/vcconnectsetting.h"
#include "settings/vcilluminantsetting.h"
#include "settings/vcinstrumenttest.h"
#include "settings/vcperiodiccalibrationdialog.h"

#include <QByteArray>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>


using namespace QtCharts;

namespace {

constexpr int kReadDocumentsFailedMessage = 3;
constexpr int kConnectionLostResult = 125;
constexpr int kConnectionLostMessage = 31;
constexpr int kStartupConnectionDelayMs = 500;

} // namespace

CVCMainWindow::CVCMainWindow(CModel *model, QWidget *parent, const QString &programFolder)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      m_menuDesignationChart(new QMenu(this)),
      m_menuDesignationMeasure(new QMenu(this)),
      m_menuDesignationMulti(new QMenu(this)),
      m_menuRecognition(new QMenu(this)),
      m_menuRecognitionMulti(new QMenu(this)),
      m_model(model),
      m_illuminantSetting(new CVCIlluminantSetting(model, this)),
      m_adjustDensity(new CVCAdjustDensity(model)),
      m_instrumentTest(new CVCInstrumentTest(model, this)),
      m_version(new CVCVersion(this)),
      m_progressMessage(new CVCProgressMessage(this)),
      m_spectrumChart(new QChart),
      m_spectrumChartView(new QChartView(m_spectrumChart)),
      m_axisX(new QValueAxis),
      m_axisY(new QValueAxis),
      m_startupConnectionTimer(new QTimer(this)),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder)
{
    ui->setupUi(this);
    m_startupConnectionTimer->setSingleShot(true);
    m_startupConnectionTimer->setInterval(kStartupConnectionDelayMs);
    connect(m_startupConnectionTimer, &QTimer::timeout, this, &CVCMainWindow::StartupConnection);
    for (QMenu *menu : {ui->menuFile, ui->menuView, ui->menuSetting, ui->menuOrlo, ui->menuTool, ui->menuHelp})
        menu->menuAction()->setMenuRole(QAction::NoRole);
    ConnectSignals();

    // Says what is going on while the window waits on the scanner; it has no buttons to press.
    m_busyMessage.setParent(this);
    m_busyMessage.setStandardButtons(QMessageBox::NoButton);
    m_busyMessage.setModal(false);
    m_busyMessage.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowStaysOnTopHint);

    ConnectModelSignals();
}

CVCMainWindow::~CVCMainWindow()
{
    // The base class hides the docks once this part of the window is gone.
    for (QDockWidget *dock : {ui->dockDataList, ui->dockMeasureSetting, ui->dockMeasureData, ui->dockSpectrumGraph})
        disconnect(dock, nullptr, this, nullptr);
    delete m_adjustDensity;
}

QList<QPair<QAction *, QWidget *>> CVCMainWindow::ViewPanels() const
{
    return {
        {ui->actionViewToolBar, ui->toolBar},
        {ui->actionViewStatusBar, ui->statusBar},
        {ui->actionViewDataList, ui->dockDataList},
        {ui->actionViewMeasureSetting, ui->dockMeasureSetting},
        {ui->actionViewMeasureData, ui->dockMeasureData},
        {ui->actionViewSpectrumGraph, ui->dockSpectrumGraph},
    };
}

void CVCMainWindow::ConnectSignals()
{
    for (const auto &panel : ViewPanels())
        connect(panel.first, &QAction::toggled, panel.second, &QWidget::setVisible);
    connect(ui->actionFileClose, &QAction::triggered, this, &QWidget::close);
    // The menu entry searches for the device as the tool-bar toggle does.
    connect(ui->actionOrloConnect, &QAction::triggered, this, [this] { actionOrloConnectTriggered(true); });
    connect(ui->actionOrloDisconnect, &QAction::triggered, this, &CVCMainWindow::actionOrloDisconnectTriggered);
    connect(ui->actionHelpVersion, &QAction::triggered, this, &CVCMainWindow::actionHelpVersionTriggered);

    connect(this, &CVCMainWindow::setNetworkSettingsEnable, ui->actionSettingNetwork, &QAction::setEnabled);
    connect(m_instrumentTest, &CVCInstrumentTest::closeInstrumentTest, this, &CVCMainWindow::UpdateAppStatusMain);
    connect(m_adjustDensity, &CVCAdjustDensity::closeAdjustDensity, this, &CVCMainWindow::UpdateAppStatusMain);
    connect(m_adjustDensity, &CVCAdjustDensity::closeAdjustDensity, this, &CVCMainWindow::CloseAdjustDensity);

    connect(ui->actionOrloConnectDisconnect, &QAction::toggled, this,
            &CVCMainWindow::actionOrloConnectDisconnectToggled);
    connect(this, &CVCMainWindow::setOrloConnected, ui->actionOrloConnectDisconnect, &QAction::setChecked);
    connect(this, &CVCMainWindow::setOrloConnected, this, &CVCMainWindow::SetOrloConnectMenuVisible);
    connect(this, &CVCMainWindow::setOrloConnected, this, qOverload<bool>(&CVCMainWindow::setOrloConnect));

    connect(ui->dockDataList, &QDockWidget::visibilityChanged, this, &CVCMainWindow::dockDataListVisibilityChanged);
    connect(ui->dockMeasureSetting, &QDockWidget::visibilityChanged, this,
            &CVCMainWindow::dockMeasureSettingVisibilityChanged);
    connect(ui->dockMeasureData, &QDockWidget::visibilityChanged, this,
            &CVCMainWindow::dockMeasureDataVisibilityChanged);
    connect(ui->dockSpectrumGraph, &QDockWidget::visibilityChanged, this,
            &CVCMainWindow::dockSpectrumGraphVisibilityChanged);

    ConnectDataListSignals();
    // Direct, so a selection has reached the model before a check or rename of the same item is handled.
    connect(ui->treeDesignation, &QTreeWidget::currentItemChanged, this,
            &CVCMainWindow::treeDesignationCurrentItemChanged, Qt::DirectConnection);
    connect(ui->treeRecognition, &QTreeWidget::currentItemChanged, this,
            &CVCMainWindow::treeRecognitionCurrentItemChanged, Qt::DirectConnection);
    connect(this, &CVCMainWindow::SetDisplay, ui->graphicsViewChartLayout, &CVCGraphicsView::SetDisplay);
    ConnectChartCanvasSignals();

    // Measurement controls of both tabs.
    for (QLabel *label : {ui->labelChartLayoutMeasuredPatchCount, ui->labelMeasuredPointMeasuredPatchCount})
        connect(this, &CVCMainWindow::setMeasuredPatchCount, label, &QLabel::setText);
    for (QProgressBar *bar : {ui->progressChartLayout, ui->progressMeasuredPoint})
        connect(this, &CVCMainWindow::setProgressMeasurement, bar, &QProgressBar::setValue);
    for (QLabel *label : {ui->labelChartLayoutProgress, ui->labelMeasuredPointProgress})
        connect(this, &CVCMainWindow::setProgressMeasurement, label, qOverload<int>(&QLabel::setNum));
    for (QPushButton *button : {ui->pushChartLayoutCancel, ui->pushMeasuredPointCancel})
        connect(this, &CVCMainWindow::setMeasurementStopEnable, button, &QWidget::setEnabled);
    connect(this, &CVCMainWindow::setMeasurementStopEnable, ui->actionOrloCancel, &QAction::setEnabled);
    for (QPushButton *button : {ui->pushChartLayoutRestart, ui->pushMeasuredPointRestart})
        connect(this, &CVCMainWindow::setMeasurementRestartEnable, button, &QWidget::setEnabled);
    connect(this, &CVCMainWindow::setMeasurementRestartEnable, ui->actionOrloRestart, &QAction::setEnabled);
    connect(m_model, &CModel::DetectPeriodCalibration, this, &CVCMainWindow::DetectPeriodCalibration);
    connect(m_model, &CModel::setMeasurementRestartEnable, this, &CVCMainWindow::setMeasurementRestartEnable);
    emit setMeasurementRestartEnable(false);
    emit setMeasurementStopEnable(false);

    // The value tree mirrors the rows of the condition tree, so it is built after it.
    ConnectMeasureSettingSignals();
    ConnectMeasureDataSignals();
    ConnectInstrumentSignals();
    ConnectFileSignals();

    // Spectral graph.
    m_spectrumChart->setMargins(QMargins(0, 0, 0, 0));
    m_spectrumChartView->setRenderHint(QPainter::Antialiasing, true);
    ui->gLayoutSpectrumGraph->addWidget(m_spectrumChartView);
    QFont titleFont = m_axisX->titleFont();
    titleFont.setBold(false);
    m_axisX->setTitleText(tr("Wavelength") + tr(" (nm)"));
    m_axisX->setRange(380, 740);
    m_axisX->setTickCount(19);
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisX->setTitleFont(titleFont);
    m_axisY->setTitleText(tr("Reflectance"));
    m_axisY->setRange(0, 1.0);
    m_axisY->setTickCount(11);
    m_axisY->setLabelFormat(QStringLiteral("%.1f"));
    m_axisY->setTitleFont(titleFont);
    // The chart draws a tick label that does not fit its equal share of the axis as "...", and keeps a few
    // pixels clear around every label: small labels, the wavelengths upright, and a view never lower than the 11
    // reflectance labels need besides the wavelength axis, the titles and the legend. It stays low enough for
    // the window to be shrunk to 600 pixels.
    const QFont labelFont(m_axisX->labelsFont().family(), 6);
    m_axisX->setLabelsAngle(-90);
    m_axisX->setLabelsFont(labelFont);
    m_axisY->setLabelsFont(labelFont);
    const int labelHeight = QFontMetrics(labelFont).height();
    m_spectrumChartView->setMinimumHeight(11 * (labelHeight + 8) + 8 * labelHeight);
    m_spectrumChart->addAxis(m_axisX, Qt::AlignBottom);
    m_spectrumChart->addAxis(m_axisY, Qt::AlignLeft);

    // Status bar.
    m_labelOrloStatus = new QLabel(this);
    m_labelOrloConnect = new QLabel(this);
    m_labelHandyConnect = new QLabel(this);
    const QList<QPair<QLabel *, int>> labels = {
        {m_labelOrloStatus, 200}, {m_labelOrloConnect, 130}, {m_labelHandyConnect, 130}};
    for (const auto &label : labels) {
        label.first->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label.first->setMinimumWidth(label.second);
        ui->statusBar->addPermanentWidget(label.first);
    }
    connect(this, &CVCMainWindow::setOrloStatus, m_labelOrloStatus, &QLabel::setText);
    connect(this, &CVCMainWindow::setOrloStatusStyleSheet, m_labelOrloStatus, &QWidget::setStyleSheet);
    connect(this, qOverload<const QString &>(&CVCMainWindow::setOrloConnect), m_labelOrloConnect, &QLabel::setText);
    connect(this, &CVCMainWindow::setHandyConnect, m_labelHandyConnect, &QLabel::setText);
}

void CVCMainWindow::ConnectModelSignals()
{
    connect(m_model, &CModel::UpdateOrloStatus, this, &CVCMainWindow::UpdateOrloStatus);
    connect(m_model, &CModel::SelectDesigChartFromFileID, this, &CVCMainWindow::SelectDesigChartFromFileID);
    connect(m_model, &CModel::ErrorMessage, this, &CVCMainWindow::ErrorMessage);
    connect(m_model, &CModel::MatchingMessageBox, this, &CVCMainWindow::MatchingMessageBox);
    connect(m_model, &CModel::FindDesignationChartFound, this, &CVCMainWindow::FindDesignationChartFound);
    connect(m_model, &CModel::SetMainWindowChartCanvas, ui->tabChartCanvas, &QTabWidget::setCurrentIndex);
    connect(m_model, &CModel::CheckOffDesigChartFromFileID, this, &CVCMainWindow::CheckOffDesigChartFromFileID);
    connect(m_model, &CModel::MeasurementFinished, this, &CVCMainWindow::MeasurementFinished);
    connect(m_model, &CModel::UpdateDatalistColumn, this, &CVCMainWindow::UpdateDatalistColumn);
    connect(m_model, &CModel::CreateDesignationChartFinished, this, &CVCMainWindow::CreateDesignationChartFinished);
    connect(m_model, &CModel::UpdateDesignationChartFinished, this, &CVCMainWindow::UpdateDesignationChartFinished);
    connect(m_model, &CModel::CreateDesignationMeasureFinished, this,
            &CVCMainWindow::CreateDesignationMeasureFinished);
    connect(m_model, &CModel::UpdateDesignationMeasureFinished, this,
            &CVCMainWindow::UpdateDesignationMeasureFinished);
    connect(m_model, &CModel::CreateRecognitionMeasureFinished, this,
            &CVCMainWindow::CreateRecognitionMeasureFinished);
    connect(m_model, &CModel::UpdateRecognitionMeasureFinished, this,
            &CVCMainWindow::UpdateRecognitionMeasureFinished);
    connect(m_model, &CModel::ReadRecognitionMeasureFinished, this, &CVCMainWindow::ReadRecognitionMeasureFinished);
    connect(m_model, &CModel::ReadDesignationChartFinished, this, &CVCMainWindow::ReadDesignationChartFinished);
    connect(m_model, &CModel::SetDesignationMeasureItemBackColor, this,
            &CVCMainWindow::SetDesignationMeasureItemBackColor);
    connect(m_model, &CModel::DisplayMainWindowReliableLowMessage, this, &CVCMainWindow::DisplayReliableLowMessage);
    connect(m_model, &CModel::DisplayMainWindowPatchColorUnmatchMessage, this,
            &CVCMainWindow::DisplayMainWindowPatchColorUnmatchMessage);
    connect(m_model, &CModel::SetChartDisplay, this, &CVCMainWindow::SetChartDisplay);
    connect(m_model, &CModel::SetMeasuredPointDisplay, this, &CVCMainWindow::SetMeasuredPointDisplay);
    connect(m_model, &CModel::SetPatchColorDisplay, this, &CVCMainWindow::SetPatchColorDisplay);
    connect(m_model, &CModel::SetDesignationErrorDisplay, this, &CVCMainWindow::SetDesignationErrorDisplay);
    connect(m_model, &CModel::UpdatedBarcodeData, this, &CVCMainWindow::UpdatedBarcodeData);
}

int CVCMainWindow::RestoreWindowState()
{
    restoreGeometry(m_model->GetWindowGeometry(0));
    restoreState(m_model->GetWindowState(0));
    const QByteArray checks = m_model->GetWindowCheckState(0);
    if (!checks.isEmpty())
        ui->statusBar->setVisible(checks.at(0) != 0);
    return m_model->ReadAllDocuments() != 0 ? kReadDocumentsFailedMessage : 0;
}

void CVCMainWindow::UncheckAllDesignationCharts()
{
    m_model->DeleteAllDesignationChartJobs();
    WithoutItemChanged(ui->treeDesignation, [this] {
        for (int i = 0; i < ui->treeDesignation->topLevelItemCount(); ++i)
            ui->treeDesignation->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    });
}

void CVCMainWindow::SetMainControlsEnabled(bool enabled)
{
    ui->treeDesignation->setEnabled(enabled);
    ui->treeRecognition->setEnabled(enabled);
    ui->pushNewChart->setEnabled(enabled);
    ui->pushEditChart->setEnabled(enabled && ui->treeDesignation->currentItem());
    ui->toolBar->setEnabled(enabled);
    for (QMenu *menu : {ui->menuFile, ui->menuSetting, ui->menuTool})
        menu->setEnabled(enabled);
    ui->pushChartLayoutPage->setEnabled(enabled);
    ui->pushMeasuredPointPage->setEnabled(enabled);
    ui->actionOrloDisconnect->setEnabled(enabled);
}

void CVCMainWindow::ResetProgress()
{
    emit setMeasuredPatchCount(QStringLiteral("0 / 0"));
    emit setProgressMeasurement(0);
    emit setMeasurementRestartEnable(false);
}

void CVCMainWindow::UpdateModifyPatchButton()
{
    if (ui->graphicsViewMeasuredPoint->HasItems())
        ui->pushMeasuredPointModifyPatch->setEnabled(true);
}

void CVCMainWindow::DisconnectOrlo()
{
    if (m_model->DisconnectOrlo() == 0)
        emit setOrloConnected(false);
    else
        ui->actionOrloConnectDisconnect->setChecked(true);
}

void CVCMainWindow::UpdateOrloStatus(int status)
{
    const bool alarm = status == 10 || status == 11;
    emit setOrloStatusStyleSheet(alarm ? QStringLiteral("background-color : red;") : QString());
    emit setOrloStatus(CModel::GetOrloStatusText(status));
    if (status == 5) {
        m_progressMessage->SetMessage(tr("Pre-scanning\n   Detecting coordinate of patches..."));
        m_progressMessage->show();
    } else {
        m_progressMessage->hide();
    }
    if (alarm)
        return;

    switch (status) {
    case 5:
        ui->graphicsViewChartLayout->Reset();
        ui->graphicsViewMeasuredPoint->Reset();
        ClearSelectPatchData();
        SetMainControlsEnabled(false);
        m_busy = true;
        ui->pushMeasuredPointModifyPatch->setEnabled(false);
        emit setMeasurementStopEnable(false);
        emit setMeasurementRestartEnable(false);
        break;
    case 6:
        UpdateModifyPatchButton();
        emit setMeasurementStopEnable(true);
        emit setMeasurementRestartEnable(true);
        break;
    case 7:
    case 9:
        ui->pushMeasuredPointModifyPatch->setEnabled(false);
        emit setMeasurementStopEnable(true);
        emit setMeasurementRestartEnable(false);
        break;
    default:
        UpdateModifyPatchButton();
        emit setMeasurementStopEnable(false);
        emit setMeasurementRestartEnable(false);
        break;
    }

    if (status == 1) {
        UncheckAllDesignationCharts();
        DisconnectOrlo();
        m_model->ReportError(kConnectionLostResult, kConnectionLostMessage, false);
    }
    // A lost connection unlocks the window as well: no later state is promised to do it.
    if (status == 0 || status == 1 || status == 2 || status == 4 || status == 8 || status == 12) {
        SetMainControlsEnabled(true);
        m_busy = false;
        ResetProgress();
    }
}

void CVCMainWindow::SetOrloConnectMenuVisible(bool connected)
{
    ui->actionOrloConnect->setVisible(!connected);
    ui->actionOrloDisconnect->setVisible(connected);
}

void CVCMainWindow::setOrloConnect(bool status)
{
    QString text;
    bool network = false;
    if (status) {
        text = OrloConnectionText(m_model);
        const Setting::ConnectSetting *record = m_model->GetConnectSetting(nullptr);
        network = record && record->ConnectionKind == 0;
    }
    emit setNetworkSettingsEnable(network);
    emit setOrloConnect(text);
}

void CVCMainWindow::UpdateAppStatus(CModel::APP_STATUS status)
{
    m_model->SetAppStatus(status);
}

void CVCMainWindow::UpdateAppStatusMain()
{
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::StartupConnection()
{
    actionOrloConnectTriggered(true);
}

void CVCMainWindow::dockDataListVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockDataList, ui->actionViewDataList, visible);
}

void CVCMainWindow::dockMeasureSettingVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockMeasureSetting, ui->actionViewMeasureSetting, visible);
}

void CVCMainWindow::dockMeasureDataVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockMeasureData, ui->actionViewMeasureData, visible);
}

void CVCMainWindow::dockSpectrumGraphVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockSpectrumGraph, ui->actionViewSpectrumGraph, visible);
}

void CVCMainWindow::actionOrloConnectTriggered(bool findDevice)
{
    m_busyMessage.setText(tr("Connecting to Orlo..."));
    m_busyMessage.show();
    QCoreApplication::processEvents();
    const int result = m_model->ConnectOrlo(findDevice);
    m_busyMessage.hide();
    emit setOrloConnected(result == 0);
    if (result == 0)
        return;
    m_model->SetAppStatus(CModel::StatusConnectSettings);
    CVCConnectSetting dialog(m_model, this, false);
    const int accepted = CUiPresenter::Current().Exec(&dialog);
    if (accepted == QDialog::Accepted)
        actionOrloConnectTriggered(false);
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::actionHelpVersionTriggered()
{
    m_model->SetAppStatus(CModel::StatusAbout);
    m_version->move(geometry().center() - m_version->rect().center());
    CUiPresenter::Current().Exec(m_version);
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::actionOrloDisconnectTriggered()
{
    UncheckAllDesignationCharts();
    DisconnectOrlo();
}

void CVCMainWindow::actionOrloConnectDisconnectToggled(bool toggle)
{
    const bool connected = m_model->IsOrloConnected() != 0;
    if (toggle && !connected)
        actionOrloConnectTriggered(true);
    else if (!toggle && connected)
        actionOrloDisconnectTriggered();
}

void CVCMainWindow::DetectPeriodCalibration()
{
    CVCPeriodicCalibrationDialog reminder(m_model, this);
    CUiPresenter::Current().Exec(&reminder);
}

void CVCMainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    if (ui->treeRecognition->topLevelItemCount() > 0)
        ui->treeRecognition->setCurrentItem(ui->treeRecognition->topLevelItem(0));
    for (const auto &panel : ViewPanels())
        panel.first->setChecked(panel.second->isVisible());
    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
    if (environment && environment->AutoConnect)
        m_startupConnectionTimer->start();
    WriteMeasureConditionToTree();
    m_shown = true;
}

void CVCMainWindow::closeEvent(QCloseEvent *event)
{
    // Closing now would delete the jobs and disconnect in the middle of a run.
    if (m_busy) {
        event->ignore();
        return;
    }
    UncheckAllDesignationCharts();
    DisconnectOrlo();
    m_model->SetWindowGeometry(saveGeometry(), 0);
    m_model->SetWindowState(saveState(), 0);
    m_model->SetPanelState(QByteArray(1, ui->statusBar->isVisible() ? 1 : 0), 0);
    QMainWindow::closeEvent(event);
}
