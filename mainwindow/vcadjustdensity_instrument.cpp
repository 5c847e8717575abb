// The density window's instrument: Connect and Disconnect bound to the chart scanner or the handheld instrument,
// the connection texts of the status bar, the connection settings, and the start, cancel and end of a handheld
// measurement.

#include "mainwindow/vcadjustdensity.h"

#include "app/texthelpers.h"
#include "app/widgets/uipresenter.h"
#include "chart/vchandychartgraphicsview.h"
#include "mainwindow/statustexts.h"
#include "settings/vcconnectsetting.h"
#include "ui_adjustdensity.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>


namespace {

constexpr int kMeasurementStoreFullResult = 301;
constexpr int kMeasurementStoreFullMessage = 52;
constexpr int kHandyBrisa = 1;
constexpr int kHandyCalen = 2;

} // namespace

void CVCAdjustDensity::ConnectInstrumentActions()
{
    // Runs at every opening: both modes' bindings come off first, so none ever stands twice.
    disconnect(ui->actionOrloConnect, &QAction::triggered, this, nullptr);
    disconnect(ui->actionOrloDisconnect, &QAction::triggered, this, nullptr);
    disconnect(this, &CVCAdjustDensity::setOrloConnected, this, &CVCAdjustDensity::SetOrloConnectMenuVisible);
    disconnect(this, &CVCAdjustDensity::setHandyConnected, this, &CVCAdjustDensity::SetOrloConnectMenuVisible);

    if (m_instrumentNumber == 0) {
        connect(ui->actionOrloConnect, &QAction::triggered, this, [this] { actionOrloConnectTriggered(true); });
        connect(this, &CVCAdjustDensity::setOrloConnected, this, &CVCAdjustDensity::SetOrloConnectMenuVisible);
        connect(ui->actionOrloDisconnect, &QAction::triggered, this,
                &CVCAdjustDensity::actionOrloDisconnectTriggered);
        // Hidden in handheld mode, so it is never taken off.
        connect(ui->actionOrloCancel, &QAction::triggered, m_model, qOverload<>(&CModel::StopMeasurementOrlo),
                Qt::UniqueConnection);
    } else {
        connect(ui->actionOrloConnect, &QAction::triggered, this, &CVCAdjustDensity::actionHandyConnectTriggered);
        connect(this, &CVCAdjustDensity::setHandyConnected, this, &CVCAdjustDensity::SetOrloConnectMenuVisible);
        connect(ui->actionOrloDisconnect, &QAction::triggered, this,
                &CVCAdjustDensity::actionHandyDisconnectTriggered);
    }
}

// ---- Chart scanner -------------------------------------------------------------------------------------------

void CVCAdjustDensity::actionOrloConnectTriggered(bool findDevice)
{
    m_noticeBox.setText(ConnectingOrloText());
    m_noticeBox.show();
    // The connect blocks: let the notice be drawn first.
    QCoreApplication::processEvents();
    const int result = m_model->ConnectOrlo(findDevice);
    m_noticeBox.hide();
    emit setOrloConnected(result == 0);
    if (result != 0)
        actionSettingConnectTriggered();
}

void CVCAdjustDensity::actionOrloDisconnectTriggered()
{
    m_model->StopMeasurementOrlo(false);
    // The jobs go while the scanner can still take the deletions.
    UncheckAllCharts();
    if (m_model->DisconnectOrlo() == 0)
        emit setOrloConnected(false);
}

void CVCAdjustDensity::actionOrloConnectDisconnectToggled(bool toggle)
{
    const bool connected = m_model->IsOrloConnected() != 0;
    if (toggle && !connected)
        actionOrloConnectTriggered(true);
    else if (!toggle && connected)
        actionOrloDisconnectTriggered();
}

void CVCAdjustDensity::SetOrloConnectMenuVisible(bool connected)
{
    ui->actionOrloConnect->setVisible(!connected);
    ui->actionOrloDisconnect->setVisible(connected);
}

void CVCAdjustDensity::setOrloConnect(bool status)
{
    emit setOrloConnect(status ? OrloConnectionText(m_model) : QString());
}

void CVCAdjustDensity::actionSettingConnectTriggered()
{
    m_model->SetAppStatus(CModel::StatusDensityConnectSettings);
    CVCConnectSetting dialog(m_model, this, true);
    const int result = CUiPresenter::Current().Exec(&dialog);
    // A new failure opens the settings again from inside the retry, until a connect succeeds or they are left.
    if (result == 1)
        actionOrloConnectTriggered(false);
    SetListAppStatus();
}

// ---- Handheld instrument -------------------------------------------------------------------------------------

void CVCAdjustDensity::actionHandyConnectTriggered()
{
    // An instrument already open keeps the kind and serial number read when it was opened.
    int kind = m_handyKind;
    int serial = m_handySerial;
    m_handyResult = m_model->OpenTanoDevice(&kind, &serial);
    m_handyKind = m_handyResult == 0 ? kind : 0;
    m_handySerial = m_handyResult == 0 ? serial : 0;
    emit setHandyConnected(m_handyResult == 0);
}

void CVCAdjustDensity::actionHandyDisconnectTriggered()
{
    m_handyResult = m_model->CloseTanoDevice();
    m_handyKind = 0;
    m_handySerial = 0;
    emit setHandyConnected(false);
}

void CVCAdjustDensity::setHandyConnect(bool status)
{
    QString text;
    if (!status) {
        ui->actionOrloConnect->setVisible(true);
        ui->actionOrloDisconnect->setVisible(false);
    } else if (m_handyKind == kHandyBrisa || m_handyKind == kHandyCalen) {
        text = QStringLiteral("%1 %2")
                   .arg(m_handyKind == kHandyBrisa ? QStringLiteral("Brisa") : QStringLiteral("Calen"))
                   .arg(m_handySerial);
        ui->actionOrloConnect->setVisible(false);
        ui->actionOrloDisconnect->setVisible(true);
    }
    emit setHandyConnect(text);
}

void CVCAdjustDensity::pushHandyDensitometerChartLayoutMeasurementClicked()
{
    if (m_model->IsMeasureDataLimitReached()) {
        m_model->ReportError(kMeasurementStoreFullResult, kMeasurementStoreFullMessage, false);
        return;
    }
    if (!m_model->IsHandyConnected()) {
        actionHandyConnectTriggered();
        if (m_handyResult != 0)
            return;
    }
    // The model reports its own failure; the window stays as it was.
    if (m_model->PrepareHandyMeasurement() != 0)
        return;

    ui->actionOrloDisconnect->setEnabled(false);
    m_model->StartTanoPolling();
    // A measurement on show keeps its colours on the view: draw the bare first page again.
    QTreeWidgetItem *current = ui->treeChartList->currentItem();
    ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (current && current->parent() && chart && chart->SheetCount > 0 && chart->Sheets)
        ui->graphicsViewHandyChartLayout->DrawSheet(&chart->Sheets[0], 0, 0, 0, nullptr);
    emit handyChartLayoutSetDisplay(1);
    ui->dockChartList->setEnabled(false);
    ui->menuFile->setEnabled(false);
    ui->menuSetting->setEnabled(false);
    ui->pushHandyDensitometerChartLayoutCancel->setVisible(true);
    ui->pushHandyDensitometerChartLayoutMeasurement->setVisible(false);
    ClearSelectPatchData();
    m_busy = true;
}

void CVCAdjustDensity::pushHandyDensitometerChartLayoutCancelClicked()
{
    // Shows the chart or measurement that was current before the run.
    treeChartListCurrentItemChanged(ui->treeChartList->currentItem());
    EndHandyMeasurement();
}

void CVCAdjustDensity::handyChartLayoutAllMeasurementFinished()
{
    m_model->FinishHandyDensitySheet();
    EndHandyMeasurement();
}

void CVCAdjustDensity::EndHandyMeasurement()
{
    emit handyChartLayoutSetDisplay(0);
    ui->dockChartList->setEnabled(true);
    ui->menuFile->setEnabled(true);
    ui->menuSetting->setEnabled(true);
    ui->pushHandyDensitometerChartLayoutCancel->setVisible(false);
    ui->pushHandyDensitometerChartLayoutMeasurement->setEnabled(true);
    ui->pushHandyDensitometerChartLayoutMeasurement->setVisible(true);
    m_model->StopHandyPolling();
    ui->actionOrloDisconnect->setEnabled(true);
    m_busy = false;
}
