// Opening the window for a template and an instrument, the save dialog around a measurement's result, and the
// upload of the model's result file to the printer the chart's QR code named.

#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

#include "app/messagetables.h"
#include "app/widgets/uipresenter.h"
#include "files/measuredataprintersave.h"
#include "mainwindow/printeruploader.h"
#include "mainwindow/vcmeasuredatasave.h"
#include "mainwindow/vcselectadjustdensity.h"
#include "settings/vcprinteradd.h"

#include <QFile>
#include <QMenuBar>
#include <QStatusBar>

namespace {

constexpr int kWindowIndex = 1;
constexpr int kStateVersion = 0;
constexpr int kScannerInstrument = 0;
constexpr int kDefaultZoom = 100;
constexpr int kSaveKindFolder = 0;
constexpr int kSaveKindPrinter = 1;
constexpr int kUploadNotStartedMessage = 17;
const char kNoPage[] = "0 / 0";

// The dialog's record as stored: filled folders and named printers move to the front and are counted, the
// other slots are emptied, everything else stays as the dialog left it.
Setting::MeasureDataSave PackedMeasureDataSave(const Setting::MeasureDataSave &dialog)
{
    Setting::MeasureDataSave packed;
    for (const QString &folder : dialog.Folders) {
        if (!folder.isEmpty())
            packed.Folders[packed.FolderCount++] = folder;
    }
    for (const Setting::PrinterInfo &printer : dialog.Printers) {
        if (!printer.Name.isEmpty())
            packed.Printers[packed.PrinterCount++] = printer;
    }
    packed.PrintID = dialog.PrintID;
    packed.AddFileName = dialog.AddFileName;
    packed.AutoTransmission = dialog.AutoTransmission;
    packed.SaveKind = dialog.SaveKind;
    packed.SelectedIndex = dialog.SelectedIndex;
    return packed;
}

} // namespace

bool CVCAdjustDensity::OpenAdjustDensity()
{
    m_opened = false;
    restoreGeometry(m_model->GetWindowGeometry(kWindowIndex));
    restoreState(m_model->GetWindowState(kWindowIndex), kStateVersion);
    const QByteArray checks = m_model->GetWindowCheckState(kWindowIndex);
    if (!checks.isEmpty())
        ui->statusBar->setVisible(checks.at(0) != 0);
    else
        ui->dockMeasurementCondition->hide();

    CVCSelectAdjustDensity dialog(m_model, this);
    if (CUiPresenter::Current().Exec(&dialog) != QDialog::Accepted)
        return false;
    m_templateRow = dialog.GetTemplateRow();
    m_instrumentNumber = dialog.GetInstrumentNumber();
    m_templateSecondNumber = m_templateRow < 0 ? -1 : m_model->GetTemplateSecondNumber(m_templateRow);
    m_templateFirstNumber = m_templateRow < 0 ? -1 : m_model->GetTemplateTextOutput(m_templateRow);
    if (m_templateRow == -1 || m_instrumentNumber == -1 || m_templateSecondNumber == -1 ||
        m_templateFirstNumber == -1)
        return false;

    m_model->SetDensityTemplateIndex(m_templateRow);
    ConnectInstrumentActions();
    setWindowTitle(dialog.GetSelectionTitle());
    ReloadChartList();
    emit setOrloStatus(QString());
    emit setOrloStatusStyleSheet(QString());
    emit setOrloConnect(QString());
    emit setHandyConnect(QString());

    ui->tabChartCanvas->clear();
    if (m_instrumentNumber != kScannerInstrument) {
        ui->tabChartCanvas->addTab(ui->tabHandyDensitometerChartLayout, tr("Chart Layout"));
        ui->graphicsViewHandyChartLayout->Reset();
        ui->hSliderHandyDensitometerChartLayoutZoom->setValue(kDefaultZoom);
        ui->pushHandyDensitometerChartLayoutPage->setText(QString::fromLatin1(kNoPage));
        ui->pushHandyDensitometerChartLayoutCancel->hide();
        ui->pushHandyDensitometerChartLayoutMeasurement->setEnabled(false);
        ui->actionSettingConnect->setEnabled(false);
        ui->actionOrloMeasureRestart->setEnabled(false);
        ui->actionOrloCancel->setVisible(false);
        menuBar()->removeAction(ui->menuSetting->menuAction());
        actionHandyConnectTriggered();
    } else {
        ui->tabChartCanvas->addTab(ui->tabOrloChartLayout, tr("Chart Layout"));
        ui->tabChartCanvas->addTab(ui->tabMeasurementPoint, tr("Measured Point"));
        ui->graphicsViewOrloChartLayout->Reset();
        ui->graphicsViewMeasuredPoint->Reset();
        ui->hSliderOrloChartLayoutZoom->setValue(kDefaultZoom);
        ui->hSliderMeasurementPointZoom->setValue(kDefaultZoom);
        ui->pushOrloChartLayoutPage->setText(QString::fromLatin1(kNoPage));
        ui->pushMeasurementPointPage->setText(QString::fromLatin1(kNoPage));
        ui->actionSettingConnect->setEnabled(true);
        ui->actionOrloCancel->setVisible(true);
        // Appending an action that is there already moves it to the end, so the order is always the same.
        menuBar()->addAction(ui->menuSetting->menuAction());
        menuBar()->addAction(ui->menuOrlo->menuAction());
        actionOrloConnectTriggered(true);
    }

    ui->tabChartCanvas->setCurrentIndex(0);
    ApplyMeasureCondition();
    SetListAppStatus();
    UpdateOrloStatus(m_model->GetOrloDeviceState());
    m_opened = true;
    return true;
}

void CVCAdjustDensity::DisplayMeasureDataSave(bool addFileName)
{
    MeasurementDataSheets *container = nullptr;
    if (m_model->GetMeasurementData(&container) != 0 || !container)
        return;
    const ChartDesigMeasureData *measurement = m_model->GetSelectedDensityMeasurement();
    m_measureDataSave->Prepare(measurement ? measurement->CreateTime : QString(), container->Mode,
                               m_templateSecondNumber, m_templateFirstNumber, m_instrumentNumber);
    if (!container->BarcodeText1.isEmpty())
        m_measureDataSave->SetPrintID(container->BarcodeText1);
    const Setting::MeasureDataSave *stored = m_model->GetMeasureDataSaveSetting();
    if (stored && stored->SaveKind == kSaveKindFolder)
        container->BarcodeText2.clear();
    if (!container->BarcodeText2.isEmpty())
        m_measureDataSave->SelectPrinterByAddress(container->BarcodeText2);
    if (addFileName && m_instrumentNumber == kScannerInstrument && m_templateSecondNumber == 1) {
        QString name;
        if (const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition())
            m_model->GetAddFileName(name, chart->ChartName);
        if (!name.isEmpty())
            m_measureDataSave->SetAddFileName(name);
    }

    m_model->SetAppStatus(CModel::StatusDensitySave);
    const int result = CUiPresenter::Current().Exec(m_measureDataSave);
    m_measureDataSave->SelectPrinterByAddress(QString());
    SetListAppStatus();
    if (result == QDialog::Accepted)
        m_model->SetMeasureDataSaveSetting(PackedMeasureDataSave(m_measureDataSave->GetMeasureDataSave()));

    ReleaseScannedSheet();
}

void CVCAdjustDensity::ReleaseScannedSheet()
{
    // The scanner holds the sheet until told what to do with it.
    if (m_model->IsOrloDensityMeasurementActive() == 1) {
        m_model->ExitOrloMeasurement();
        m_model->SetOrloChartHeld(false);
        m_model->SetOrloEjectAfterMeasurement(false);
    } else {
        m_model->SetOrloEjectAfterMeasurement(true);
    }
}

void CVCAdjustDensity::MeasureDataPrinterSave(const QString &printerAddress, const QString &filePath)
{
    // One upload at a time: the rest wait in arrival order, each with its own file.
    m_pendingUploads.append({printerAddress, filePath});
    if (m_sentFilePath.isEmpty() && !m_drainingUploads)
        DrainUploads();
}

void CVCAdjustDensity::measureDataPrinterSaveFinished(int networkError, int result, const QString &message)
{
    if (auto *uploader = qobject_cast<CMeasureDataPrinterSave *>(sender()))
        uploader->deleteLater();
    // Nothing of ours is being sent: a stray answer changes nothing.
    if (m_sentFilePath.isEmpty())
        return;
    EndUpload(networkError == 0 && result == 0, message);
}

void CVCAdjustDensity::StartUpload(const QString &address, const QString &port, const QString &password,
                                   const QString &path)
{
    m_noticeBox.setText(tr("Measurement Data File Sending..."));
    m_noticeBox.show();
    CMeasureDataPrinterSave *uploader = CreatePrinterUploader(this);
    connect(uploader, &CMeasureDataPrinterSave::Finished, this, &CVCAdjustDensity::measureDataPrinterSaveFinished);
    m_sentFilePath = path;
    if (uploader->Send(address, port, password, path))
        return;
    // No answer will come for an upload that never started: it fails here.
    uploader->deleteLater();
    EndUpload(false, FindMessageRecord(kUploadNotStartedMessage).text);
}

void CVCAdjustDensity::SaveToPrinter(const QString &printerAddress, const QString &filePath)
{
    Setting::PrinterInfo entry;
    if (m_model->FindPrinter(printerAddress, &entry)) {
        StartUpload(entry.IPAddress, entry.Port, entry.Password, filePath);
        return;
    }
    // The save dialog writes a file of its own; the model's would be left behind in the data folder.
    QFile::remove(filePath);
    const Setting::MeasureDataSave *stored = m_model->GetMeasureDataSaveSetting();
    if (stored && stored->SaveKind == kSaveKindPrinter) {
        if (m_model->IsPrinterListFull()) {
            CUiPresenter::Current().Inform(this, tr("New printer could not be registered, because maximum number "
                                                    "of printers have already been registered."));
        } else {
            CVCPrinterAdd dialog(m_model, this);
            dialog.SetIPAddress(printerAddress);
            if (CUiPresenter::Current().Exec(&dialog) == QDialog::Accepted) {
                Setting::PrinterInfo added;
                dialog.GetPrinter(&added.Name, &added.Password, &added.IPAddress, &added.Port);
                m_model->StorePrinterEntry(added);
            }
        }
    }
    DisplayMeasureDataSave(true);
}

void CVCAdjustDensity::DrainUploads()
{
    m_drainingUploads = true;
    while (m_sentFilePath.isEmpty() && !m_pendingUploads.isEmpty()) {
        const QPair<QString, QString> next = m_pendingUploads.takeFirst();
        SaveToPrinter(next.first, next.second);
    }
    m_drainingUploads = false;
    if (m_sentFilePath.isEmpty())
        ApplyDeferredOrloStatus();
}

void CVCAdjustDensity::EndUpload(bool succeeded, const QString &message)
{
    QFile::remove(m_sentFilePath);
    m_sentFilePath.clear();
    // Scanner states wait until the last queued upload has ended.
    if (m_pendingUploads.isEmpty())
        ApplyDeferredOrloStatus();
    m_noticeBox.hide();

    if (succeeded) {
        const int state = m_model->GetOperationState();
        if (state == CModel::StatusDensityWithChart || state == CModel::StatusDensityWithoutChart)
            ReleaseScannedSheet();
    } else {
        CUiPresenter::Current().Warn(this, message);
        MeasurementDataSheets *container = nullptr;
        const Setting::MeasureDataSave *stored = m_model->GetMeasureDataSaveSetting();
        if (m_model->GetMeasurementData(&container) == 0 && container && stored &&
            stored->SaveKind == kSaveKindFolder)
            container->BarcodeText2.clear();
        DisplayMeasureDataSave(true);
    }

    if (!m_drainingUploads)
        DrainUploads();
}

void CVCAdjustDensity::ApplyDeferredOrloStatus()
{
    if (m_lastOrloStatus < 0)
        return;
    const int state = m_lastOrloStatus;
    m_lastOrloStatus = -1;
    UpdateOrloStatus(state);
}
