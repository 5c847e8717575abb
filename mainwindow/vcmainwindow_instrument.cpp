// The instrument actions (Measurement, Cancel), the Settings, Tool and Help entries, and the boxes that relay the
// model's errors, chart-matching warnings and recognition warnings.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/constants.h"
#include "app/messagetables.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "mainwindow/vcadjustdensity.h"
#include "mainwindow/reportboxes.h"
#include "mainwindow/vcprogressmessage.h"
#include "settings/vcconnectsetting.h"
#include "settings/vcilluminantsetting.h"
#include "settings/vcinstrumentstandardvaluesetting.h"
#include "settings/vcinstrumenttest.h"
#include "settings/vcnetworksetting.h"
#include "settings/vcsetting.h"

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int kColourUnmatchRecognitionError = 1;
constexpr int kManualMissingResult = 120;
constexpr int kManualMissingMessage = 46;
constexpr int kMeasuredPointTab = 1;
constexpr int kOptionsPage = 0;
constexpr int kEnvironmentPage = 1;

} // namespace

void CVCMainWindow::ConnectInstrumentSignals()
{
    // The menu's Cancel goes through the restart flag as the buttons do: straight to the model it would leave the
    // flag set after a colour mismatch, and the next Measurement would continue a stopped run.
    for (QPushButton *button : {ui->pushChartLayoutCancel, ui->pushMeasuredPointCancel})
        connect(button, &QPushButton::clicked, this, &CVCMainWindow::actionOrloCancelTriggered);
    connect(ui->actionOrloCancel, &QAction::triggered, this, &CVCMainWindow::actionOrloCancelTriggered);
    for (QPushButton *button : {ui->pushChartLayoutRestart, ui->pushMeasuredPointRestart})
        connect(button, &QPushButton::clicked, this, &CVCMainWindow::actionOrloRestartTriggered);
    connect(ui->actionOrloRestart, &QAction::triggered, this, &CVCMainWindow::actionOrloRestartTriggered);

    connect(ui->actionMeasureOptionSetting, &QAction::triggered, this,
            &CVCMainWindow::actionMeasureOptionSettingTriggered);
    connect(ui->actionEnvironSetting, &QAction::triggered, this, &CVCMainWindow::actionEnvironSettingTriggered);
    connect(ui->actionSettingConnect, &QAction::triggered, this, &CVCMainWindow::actionSettingConnectTriggered);
    connect(ui->actionSettingNetwork, &QAction::triggered, this, &CVCMainWindow::actionSettingNetworkTriggered);
    connect(ui->actionSettingUserIlluminant, &QAction::triggered, this,
            &CVCMainWindow::actionSettingUserIlluminantTriggered);
    connect(ui->actionToolInstrumentTest, &QAction::triggered, this,
            &CVCMainWindow::actionCvcInstrumentTestTriggered);
    connect(ui->actionToolAdjustDensity, &QAction::triggered, this, &CVCMainWindow::actionCvcAdjustDensityTriggered);
    connect(ui->actionHelp, &QAction::triggered, this, &CVCMainWindow::actionHelpTriggered);
}

void CVCMainWindow::actionOrloRestartTriggered()
{
    if (!m_model->IsOrloPrescanCompleted())
        return;
    if (m_restartFlag) {
        m_restartFlag = false;
        m_model->RestartOrloMeasurement();
        return;
    }
    if (m_restartMode == 0) {
        const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
        m_model->StartOrloMeasurement(environment ? environment->Aperture : 0,
                                      environment && environment->PositionGap);
        return;
    }
    const int result = m_model->RestartOrloPatchRecognition(true);
    m_restartMode = 0;
    if (result == 0)
        m_model->SetOrloStatus(5);
}

void CVCMainWindow::actionOrloCancelTriggered()
{
    if (m_restartFlag) {
        m_restartFlag = false;
        m_model->StopMeasurementOrlo(false);
        return;
    }
    m_model->StopMeasurementOrlo(false);
    m_model->ResetSelectFileID();
}

void CVCMainWindow::RunSettingsDialog(int page)
{
    m_model->SetAppStatus(CModel::StatusSettings);
    CVCSetting dialog(m_model, page, this);
    CenterOnWidget(&dialog, this);
    CUiPresenter::Current().Exec(&dialog);
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::actionMeasureOptionSettingTriggered()
{
    RunSettingsDialog(kOptionsPage);
}

void CVCMainWindow::actionEnvironSettingTriggered()
{
    RunSettingsDialog(kEnvironmentPage);
    if (const Setting::UserEnvironment *environment = m_model->GetUserEnvironment())
        ui->graphicsViewChartLayout->SetInkColorList(environment->Inks);
    // Drawn again, so the chart shows the new inks and units at once.
    if (QTreeWidgetItem *item = ui->treeDesignation->currentItem())
        treeDesignationCurrentItemChanged(item);
}

void CVCMainWindow::actionSettingConnectTriggered(bool displayError)
{
    m_model->SetAppStatus(CModel::StatusConnectSettings);
    CVCConnectSetting dialog(m_model, this, displayError);
    if (CUiPresenter::Current().Exec(&dialog) == QDialog::Accepted)
        actionOrloConnectTriggered(false);
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::actionSettingNetworkTriggered()
{
    m_model->SetAppStatus(CModel::StatusNetworkSettings);
    CVCNetworkSetting dialog(m_model, this);
    CUiPresenter::Current().Exec(&dialog);
    m_model->SetAppStatus(CModel::StatusMainWindow);
}

void CVCMainWindow::actionSettingUserIlluminantTriggered()
{
    CenterOnWidget(m_illuminantSetting, this);
    CUiPresenter::Current().Exec(m_illuminantSetting);

    // The condition tree is rewritten below; its change handlers must not take that for the user's checks.
    const bool shown = m_shown;
    m_shown = false;
    const Setting::MeasureConditionSetting *stored = m_model->GetMeasurementCondition(0);
    if (stored) {
        Setting::MeasureConditionSetting block = *stored;
        const UserIlluminantSlots illuminants = m_model->GetUserIlluminants();
        // No condition may stay on for a user illuminant that was removed.
        for (int i = 0; i < kUserIlluminantSlotCount; ++i) {
            if (illuminants[size_t(i)].Number == -1)
                block.ConditionMask &= ~(1 << (kFirstUserIlluminantId + i));
        }
        m_model->SetMeasureCondition(block, 0);
        if (const Setting::MeasureConditionSetting *written = m_model->GetMeasurementCondition(0))
            block = *written;
        RefreshUserIlluminantItems(ui->treeMeasureSetting, block, illuminants, false);
    }
    m_shown = shown;
    ReshowSelectedPatch();
}

void CVCMainWindow::actionCvcInstrumentTestTriggered()
{
    m_model->SetAppStatus(CModel::StatusInstrumentTest);
    unsigned int count = 0;
    const StandardValueRecord *records = nullptr;
    m_model->GetStandardValues(&count, &records);
    if (count == 0 || !records) {
        CVCInstrumentStandardValueSetting standardValues(m_model, this);
        if (CUiPresenter::Current().Exec(&standardValues) != QDialog::Accepted) {
            // Left at the diagnosis status, the scanner would refuse every capture until another dialog reset it.
            m_model->SetAppStatus(CModel::StatusMainWindow);
            return;
        }
    }
    // The dialog's close signal sets the status back.
    CUiPresenter::Current().Exec(m_instrumentTest);
    emit setOrloConnected(m_model->IsOrloConnected() != 0);
}

void CVCMainWindow::actionCvcAdjustDensityTriggered()
{
    m_model->SetAppStatus(CModel::StatusDensityWithChart);
    if (!m_adjustDensity->OpenAdjustDensity()) {
        m_model->SetAppStatus(CModel::StatusMainWindow);
        return;
    }
    UncheckAllDesignationCharts();
    hide();
    m_adjustDensity->show();
    // With instrument 1 the scanner is let go while the density window works, and taken back when it closes.
    if (m_adjustDensity->GetInstrumentNumber() == 1 && m_model->IsOrloConnected() == 1) {
        m_reconnectAfterDensity = true;
        actionOrloDisconnectTriggered();
    }
}

void CVCMainWindow::CloseAdjustDensity()
{
    UpdateOrloStatus(m_model->GetOrloDeviceState());
    emit setOrloConnected(m_model->IsOrloConnected() != 0);
    show();
    if (m_reconnectAfterDensity) {
        m_reconnectAfterDensity = false;
        actionOrloConnectTriggered(false);
    }
    ui->treeRecognition->setCurrentItem(nullptr);
    if (ui->treeRecognition->topLevelItemCount() > 0)
        ui->treeRecognition->setCurrentItem(ui->treeRecognition->topLevelItem(0));
}

void CVCMainWindow::actionHelpTriggered()
{
    const QString parent = m_programFolder.left(m_programFolder.lastIndexOf(QLatin1Char('/')) + 1);
    const QString folder = QStringLiteral("%1%2").arg(parent, QStringLiteral("Document/Manual"));
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    for (const QString &code : {m_model->GetLanguageCode(), m_model->GetDefaultLanguageCode()}) {
        const QRegularExpression pattern(QStringLiteral("%1%2").arg(code, QStringLiteral(".")));
        for (const QString &name : files) {
            if (pattern.match(name).hasMatch()) {
                // Whether a viewer opened it is the desktop's business; nothing is reported.
                CUiPresenter::Current().OpenUrl(
                    QUrl::fromLocalFile(QStringLiteral("%1%2%3").arg(folder, QStringLiteral("/"), name)));
                return;
            }
        }
    }
    m_model->ReportError(kManualMissingResult, kManualMissingMessage, false);
}

void CVCMainWindow::ErrorMessage(int message)
{
    // After the first show, whether visible or not: while the density window has hidden this one, its save
    // dialogs still report here.
    if (m_shown && message >= 0 && message < kMessageCount) {
        if (m_progressMessage->isVisible())
            m_progressMessage->hide();
        if (m_busyMessage.isVisible())
            m_busyMessage.hide();
        CUiPresenter::Current().ShowRecord(this, ReportedErrorBox(m_model, message));
    }
    // The model's report waits for this on every path.
    m_model->AcknowledgeError();
}

bool CVCMainWindow::MatchingMessageBox(int code)
{
    ui->tabChartCanvas->setCurrentIndex(kMeasuredPointTab);
    return RunMatchingWarning(this, m_model, code);
}

void CVCMainWindow::DisplayReliableLowMessage()
{
    CUiPresenter::Current().Warn(
        this, tr("Measurement points might not be recognized correctly.\nCheck the measurement points."));
}

void CVCMainWindow::DisplayMainWindowPatchColorUnmatchMessage()
{
    m_restartFlag = true;
    ui->tabChartCanvas->setCurrentIndex(kMeasuredPointTab);
    ui->pushMeasuredPointModifyPatch->setEnabled(false);
    CUiPresenter::Current().ShowRecord(this, FindRecognitionErrorRecord(kColourUnmatchRecognitionError),
                                       MessageIconWarning, true);
}
