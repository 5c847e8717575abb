// The measuring half of the density-balance window: the model's density signals, the chart scanner's states,
// the QR-code and layout questions, error boxes, per-patch progress and colours, measured points, refreshed list
// entries, the values of the selected patch and the condition tree of block 1.

#include "mainwindow/vcadjustdensity.h"
#include "ui_adjustdensity.h"

#include "app/constants.h"
#include "app/patchdisplayvalues.h"
#include "app/texthelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "mainwindow/measureprogress.h"
#include "mainwindow/reportboxes.h"
#include "mainwindow/vcprogressmessage.h"

#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>

#include <cstring>

namespace {

constexpr int kDensityBlock = 1;
constexpr int kPreScanningState = 5;
constexpr int kConnectionLostState = 1;
constexpr int kConnectionLostResult = 303;
constexpr int kConnectTimeoutMessage = 31;
constexpr int kPaperWhiteMissingResult = 302;
constexpr int kPaperWhiteMissingMessage = 33;
constexpr int kPaperWhiteReference = 1;
// The handheld instrument that measures no spectral data.
constexpr int kNoSpectralInstrument = 1;

bool IsIdleState(int state)
{
    return state == 0 || state == 2 || state == 4 || state == 8 || state == 12;
}

bool IsAlarmState(int state)
{
    return state == 10 || state == 11;
}

Setting::MeasureConditionSetting ConditionBlock(const CModel *model)
{
    const Setting::MeasureConditionSetting *stored = model->GetMeasurementCondition(kDensityBlock);
    return stored ? *stored : DefaultDensityDisplayColumns();
}

ChartDefinitionData::PatchColor PatchColorOf(int first, int second, int third, uint colorFormat,
                                             const float (&values)[8])
{
    ChartDefinitionData::PatchColor patch{};
    patch.ID = 0;
    patch.Area = first;
    patch.Row = second;
    patch.Column = third;
    patch.ColorFormat = int(colorFormat);
    std::memcpy(patch.ColorValue, values, sizeof values);
    return patch;
}

// The chart item of the current list item: itself, or the parent of a measurement item.
QTreeWidgetItem *CurrentChartItem(const QTreeWidget *tree)
{
    QTreeWidgetItem *item = tree->currentItem();
    return item && item->parent() ? item->parent() : item;
}

void SetTextIfDifferent(QTreeWidgetItem *item, int column, const QString &text)
{
    if (item->text(column) != text)
        item->setText(column, text);
}

} // namespace

void CVCAdjustDensity::ConnectModelSignals()
{
    CModel *model = m_model;
    connect(model, &CModel::UpdateOrloStatusDensity, this, &CVCAdjustDensity::UpdateOrloStatus);
    connect(model, &CModel::SetChartDisplayDensity, this, &CVCAdjustDensity::SetChartDisplay);
    connect(model, &CModel::SetMeasurePointDisplayDensity, this, &CVCAdjustDensity::SetMeasurePointDisplay);
    connect(model, &CModel::SetPatchColorDisplayDensity, this, &CVCAdjustDensity::SetPatchColorDisplay);
    connect(model, &CModel::SetHandyPatchColorDisplay, this, &CVCAdjustDensity::SetHandyPatchColorDisplay);
    connect(model, &CModel::SelectDensityChartFromFileID, this, &CVCAdjustDensity::SelectDensityChartFromFileID);
    connect(model, &CModel::ErrorMessageDensity, this, &CVCAdjustDensity::ErrorMessage);
    connect(model, &CModel::MatchingMessageBoxDensity, this, &CVCAdjustDensity::MatchingMessageBox);
    connect(model, &CModel::HandyMeasurementFinished, this, &CVCAdjustDensity::HandyMeasurementFinished);
    connect(this, &CVCAdjustDensity::SetHandyPatchPosition, model, &CModel::SetHandyPatchPosition);
    connect(this, &CVCAdjustDensity::SetHandyScanMode, model, &CModel::SetHandyScanMode);
    connect(model, &CModel::CheckOffDensityBalanceFromFileID, this,
            &CVCAdjustDensity::CheckOffDensityBalanceFromFileID);
    connect(model, &CModel::MeasurementFinished, this, &CVCAdjustDensity::MeasurementFinished);
    connect(model, &CModel::CreateDensityChartFinished, this, &CVCAdjustDensity::CreateDensityChartFinished);
    connect(model, &CModel::UpdateDensityChartFinished, this, &CVCAdjustDensity::UpdateDensityChartFinished);
    connect(model, &CModel::FindDensityChartFound, this, &CVCAdjustDensity::FindDensityChartFound);
    connect(model, &CModel::CreateDensityMeasureFinished, this, &CVCAdjustDensity::CreateDensityMeasureFinished);
    connect(model, &CModel::UpdateDensityMeasureFinished, this, &CVCAdjustDensity::UpdateDensityMeasureFinished);
    connect(model, &CModel::MeasureDataPrinterSave, this, &CVCAdjustDensity::MeasureDataPrinterSave);
    connect(model, &CModel::MeasureDataSave, this, [this] { DisplayMeasureDataSave(false); });
    connect(model, &CModel::DisplayDensityMeasureContinue, this, &CVCAdjustDensity::DisplayDensityMeasureContinue);
}

// ---- Scanner states -------------------------------------------------------------------------------------------

void CVCAdjustDensity::UpdateOrloStatus(int state)
{
    // The upload's end applies the state that arrived meanwhile.
    if (!m_sentFilePath.isEmpty()) {
        m_lastOrloStatus = state;
        return;
    }
    if (m_instrumentNumber != 0)
        return;

    const bool alarm = IsAlarmState(state);
    emit setOrloStatusStyleSheet(alarm ? QStringLiteral("background-color : red;") : QString());
    emit setOrloStatus(CModel::GetOrloStatusText(state));

    if (state == kPreScanningState) {
        m_progressMessage->SetMessage(PrescanningText());
        m_progressMessage->show();
    } else {
        m_progressMessage->hide();
    }

    if (IsIdleState(state)) {
        SetControlsEnabled(true);
        m_busy = false;
    } else if (state == kPreScanningState) {
        ui->graphicsViewOrloChartLayout->Reset();
        ui->graphicsViewMeasuredPoint->Reset();
        ClearSelectPatchData();
        SetControlsEnabled(false);
        m_busy = true;
    }

    if (state == 6 || state == 7 || state == 9)
        emit setMeasurementStopEnable(true);
    else if (!alarm)
        emit setMeasurementStopEnable(false);

    if (IsIdleState(state)) {
        emit setMeasuredPatchCount(QStringLiteral("0 / 0"));
        emit setProgressMeasurement(0);
    }

    if (state == kConnectionLostState) {
        actionOrloDisconnectTriggered();
        m_model->ReportError(kConnectionLostResult, kConnectTimeoutMessage, false);
        // A run cut off by the lost connection never reaches an idle state: the window must not stay locked.
        SetControlsEnabled(true);
        m_busy = false;
        emit setMeasuredPatchCount(QStringLiteral("0 / 0"));
        emit setProgressMeasurement(0);
    }
}

// ---- Questions and messages -----------------------------------------------------------------------------------

void CVCAdjustDensity::DisplayDensityMeasureContinue(int chartId)
{
    m_progressMessage->Stop();
    QMessageBox box(this);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    if (chartId < 0) {
        box.setIcon(QMessageBox::Warning);
        box.setText(tr("Failed to decode QR code normally. Measurement will be canceled. Please try again or try "
                       "without QR code."));
        box.setStandardButtons(QMessageBox::Cancel);
        CUiPresenter::Current().Exec(&box);
        m_model->StopMeasurementOrlo(false);
        return;
    }
    box.setIcon(QMessageBox::Question);
    box.setText(tr("There is no chart definition data matching QR code. Measurement will be performed using chart "
                   "definition data with closest size."));
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    const int answer = CUiPresenter::Current().Exec(&box);
    if (answer == QMessageBox::Ok) {
        m_progressMessage->Start();
        emit m_model->FindDensityChartFound(chartId);
    } else if (answer == QMessageBox::Cancel) {
        m_model->StopMeasurementOrlo(false);
    }
}

void CVCAdjustDensity::FindDensityChartFound(int chartId)
{
    // The controller starts the recognition itself once the capture result has been handled: starting it here
    // too would measure the sheet twice.
    QTreeWidget *tree = ui->treeChartList;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        bool isNumber = false;
        const int id = item->data(0, Qt::UserRole).toInt(&isNumber);
        if (isNumber && id == chartId) {
            tree->setCurrentItem(item);
            return;
        }
    }
    m_model->StopMeasurementOrlo(true);
}

void CVCAdjustDensity::MatchingMessageBox(int code)
{
    // Whatever the start returns, the run reports it itself; the model waits for no acknowledgement here.
    RunMatchingWarning(this, m_model, code);
}

void CVCAdjustDensity::ErrorMessage(int messageNumber)
{
    m_progressMessage->hide();
    m_noticeBox.hide();
    CUiPresenter::Current().ShowRecord(this, ReportedErrorBox(m_model, messageNumber));
    // The model's report waits for this on every path.
    m_model->AcknowledgeError();
}

// ---- Progress, colours and measured points --------------------------------------------------------------------

void CVCAdjustDensity::SetPatchColorDisplay(uint index, uint count, int first, int second, int third,
                                            uint colorFormat, float v1, float v2, float v3, float v4, float v5,
                                            float v6, float v7, float v8)
{
    const MeasureProgress progress = MeasuredPatchProgressSingle(index, count);
    emit setProgressMeasurement(progress.percent);
    emit setMeasuredPatchCount(progress.count);
    const float values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
    emit ui->graphicsViewOrloChartLayout->SetPatchColor(PatchColorOf(first, second, third, colorFormat, values));
}

void CVCAdjustDensity::SetHandyPatchColorDisplay(uint, uint, int first, int second, int third, uint colorFormat,
                                                 float v1, float v2, float v3, float v4, float v5, float v6,
                                                 float v7, float v8, uint)
{
    const float values[8] = {v1, v2, v3, v4, v5, v6, v7, v8};
    emit ui->graphicsViewHandyChartLayout->SetPatchColor(PatchColorOf(first, second, third, colorFormat, values));
}

void CVCAdjustDensity::SetMeasurePointDisplay(MeasurementData *data, uint page, uint pageCount)
{
    if (data)
        ui->graphicsViewMeasuredPoint->DrawMeasurement(data);
    BuildMeasurePointPageMenu(int(pageCount));
    // Pages are 1-based: page n is the menu's entry n - 1, and a page beyond the menu selects nothing.
    if (page > 1) {
        QMenu *menu = ui->pushMeasurementPointPage->menu();
        const QList<QAction *> actions = menu ? menu->actions() : QList<QAction *>();
        if (page - 1 < uint(actions.size())) {
            QAction *action = actions.at(int(page - 1));
            menuMeasurePointPageTriggered(action);
            action->setChecked(true);
        }
    }
    ui->pushMeasurementPointPage->setText(QStringLiteral("%1 / %2").arg(page).arg(pageCount));
    m_newMeasurePointDisplay = true;
}

// ---- Stored records -------------------------------------------------------------------------------------------

void CVCAdjustDensity::UpdateDensityChartFinished(DensityBalanceData *record)
{
    QTreeWidget *tree = ui->treeChartList;
    QTreeWidgetItem *item = CurrentChartItem(tree);
    if (!record || !item)
        return;
    WithoutItemChanged([&] {
        SetTextIfDifferent(item, 0, record->ChartName);
        SetTextIfDifferent(item, 1, record->CreateTime);
        SetTextIfDifferent(item, 2, QString::number(record->ChartPatchCount));
    });
    ResizeTreeColumns(tree);
    tree->setCurrentItem(item);
}

void CVCAdjustDensity::UpdateDensityMeasureFinished(ChartDesigMeasureData *record)
{
    QTreeWidget *tree = ui->treeChartList;
    QTreeWidgetItem *chartItem = CurrentChartItem(tree);
    if (!record || !chartItem)
        return;
    for (int i = 0; i < chartItem->childCount(); ++i) {
        QTreeWidgetItem *item = chartItem->child(i);
        if (item->data(0, Qt::UserRole).toInt() != record->ID)
            continue;
        WithoutItemChanged([&] {
            SetTextIfDifferent(item, 0, record->ChartName);
            SetTextIfDifferent(item, 1, record->CreateTime);
            SetTextIfDifferent(item, 2, QString::number(record->RecordCount));
        });
        ResizeTreeColumns(tree);
        tree->setCurrentItem(item);
        return;
    }
}

// ---- Values of the selected patch -----------------------------------------------------------------------------

void CVCAdjustDensity::ShowSelectedPatchValues(int area, int row, int column)
{
    PatchDisplayValues values;
    std::memset(&values, 0, sizeof values);
    values.PageNumber = m_chartLayoutPage + 1;
    values.Area = area;
    values.Row = row;
    values.Column = column;
    Setting::MeasureConditionSetting conditions = ConditionBlock(m_model);
    if (m_fixedConditions)
        conditions.ConditionMask = DefaultDensityDisplayColumns().ConditionMask;

    m_model->GetDefinedPatchColor(values);

    if (conditions.DensityShown == 1 && conditions.WhiteReference == kPaperWhiteReference) {
        int kind = -1;
        if (m_model->GetSelectedFileID(nullptr, &kind) == 0 && kind == CModel::KindDensityMeasure &&
            !m_model->SetPaperWhiteFromMeasurement()) {
            m_model->ReportError(kPaperWhiteMissingResult, kPaperWhiteMissingMessage, false);
            SetMeasureConditionWhiteRefCurrentIndex(0);
            return;
        }
    }

    QVector<int> ids = MeasurementConditionIdsFromMask(conditions.ConditionMask);
    if (ids.size() > kDisplayConditionCount)
        ids.resize(kDisplayConditionCount);
    bool spectral = false;
    int result = 0;
    for (int k = 0; k < ids.size(); ++k)
        result = m_model->CalculatePatchColor(values.Values[k], &spectral, m_chartLayoutPage, area, row, column,
                                              ids.at(k), conditions);
    m_model->CalculateSamePatchAverage(values, ids, conditions);
    if (result == 0)
        ShowPatchValues(ui->treeMeasurementData, ui->treeMeasurementCondition, values, spectral);
}

// ---- Condition tree -------------------------------------------------------------------------------------------

void CVCAdjustDensity::SetMeasureConditionWhiteRefCurrentIndex(int index)
{
    Setting::MeasureConditionSetting record = ConditionBlock(m_model);
    record.WhiteReference = index;
    m_model->SetMeasureCondition(record, kDensityBlock);
    SetWhiteRefSelection(ui->treeMeasurementCondition, index);
}

void CVCAdjustDensity::ApplyMeasureCondition()
{
    QTreeWidget *tree = ui->treeMeasurementCondition;
    Setting::MeasureConditionSetting record = ConditionBlock(m_model);
    if (m_fixedConditions)
        record.ConditionMask = DefaultDensityDisplayColumns().ConditionMask;
    // The checks set here show the stored block; they are not the user's changes.
    const QSignalBlocker blocker(tree);
    ApplyMeasureConditionSetting(tree, record, m_model->GetUserIlluminants(), m_fixedConditions);
    if (QTreeWidgetItem *spectral = tree->topLevelItem(kConditionRowSpectral)) {
        if (m_instrumentNumber == kNoSpectralInstrument) {
            spectral->setCheckState(1, Qt::Unchecked);
            spectral->setDisabled(true);
        } else {
            spectral->setDisabled(false);
        }
    }
}

void CVCAdjustDensity::treeConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    const Setting::MeasureConditionSetting stored = ConditionBlock(m_model);
    Setting::MeasureConditionSetting record = stored;
    QComboBox *combo = SwitchMeasureConditionEditor(ui->treeMeasurementCondition, current, previous, &record,
                                                    m_model->GetUserIlluminants());
    // The condition slots store every choice as it is made; this only catches one they did not see.
    if (std::memcmp(&record, &stored, sizeof record) != 0)
        m_model->SetMeasureCondition(record, kDensityBlock);
    if (!combo || !current)
        return;
    bool isNumber = false;
    const int kind = current->data(0, Qt::UserRole).toInt(&isNumber);
    if (!isNumber)
        return;
    void (CVCAdjustDensity::*slot)(int) = nullptr;
    switch (kind) {
    case kEditorWhiteReference:
        slot = &CVCAdjustDensity::conditionWhiteRefChanged;
        break;
    case kEditorDensityStatus:
        slot = &CVCAdjustDensity::conditionStatusChanged;
        break;
    case kEditorObserver:
        slot = &CVCAdjustDensity::conditionObserverChanged;
        break;
    case kEditorIlluminant:
        slot = &CVCAdjustDensity::conditionIlluminantChanged;
        break;
    default:
        return;
    }
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, slot);
}

void CVCAdjustDensity::treeConditionItemChanged(QTreeWidgetItem *item, int column)
{
    // Checks live in column 1; other changes are texts the window writes itself.
    if (!item || column != 1)
        return;
    QTreeWidget *tree = ui->treeMeasurementCondition;
    QTreeWidgetItem *parent = item->parent();
    const int topRow = tree->indexOfTopLevelItem(parent ? parent : item);
    const int child = parent ? parent->indexOfChild(item) : -1;
    const int checked = item->checkState(column) == Qt::Checked ? 1 : 0;

    Setting::MeasureConditionSetting record = ConditionBlock(m_model);
    bool recalculate = false;
    if (!parent) {
        switch (topRow) {
        case kConditionRowDensity:
            record.DensityShown = checked;
            break;
        case kConditionRowColorSpace:
            record.ColorSpaceShown = checked;
            break;
        case kConditionRowSpectral:
            record.SpectralShown = checked;
            break;
        default:
            return;
        }
    } else if (topRow == kConditionRowId) {
        // Stored as checked, so the next opening shows the user's choice.
        record.PatchColorShown = checked;
    } else if (topRow == kConditionRowColorSpace) {
        // Observer and Illuminant carry no check: the block is stored as it is.
        if (child == 0)
            record.LabShown = checked;
        else if (child == 1)
            record.LchShown = checked;
        else if (child == 2)
            record.XyzShown = checked;
    } else if (topRow == kConditionRowConditions) {
        if (!m_fixedConditions) {
            const int bit = MeasurementConditionBit(0) << child;
            if (checked)
                record.ConditionMask |= bit;
            else
                record.ConditionMask &= ~bit;
        }
        {
            // The summary is a text of the tree: it must not come back here as a change.
            const QSignalBlocker blocker(tree);
            UpdateMeasureConditionSummary(tree);
        }
        recalculate = true;
    } else {
        return;
    }
    m_model->SetMeasureCondition(record, kDensityBlock);

    if (!m_patchSelected)
        return;
    if (recalculate)
        ShowSelectedPatchValues(m_selectedArea, m_selectedRow, m_selectedColumn);
    else
        SyncPatchValueTreeVisibility(ui->treeMeasurementData, tree);
}
