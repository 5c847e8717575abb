// The Measurement Settings dock: the condition tree and block 0 of the measurement conditions behind it.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/constants.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/widgethelpers.h"

#include <QComboBox>

#include <cstring>

namespace {

constexpr int kMainWindowBlock = 0;

bool SameRecord(const Setting::MeasureConditionSetting &a, const Setting::MeasureConditionSetting &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The word of the record that a check of the tree shows; nullptr for items without one.
int *CheckedWord(Setting::MeasureConditionSetting *record, int topRow, int child)
{
    if (child < 0) {
        switch (topRow) {
        case kConditionRowDensity:
            return &record->DensityShown;
        case kConditionRowColorSpace:
            return &record->ColorSpaceShown;
        case kConditionRowSpectral:
            return &record->SpectralShown;
        default:
            return nullptr;
        }
    }
    if (topRow == kConditionRowId && child == 0)
        return &record->PatchColorShown;
    if (topRow == kConditionRowColorSpace) {
        switch (child) {
        case 0:
            return &record->LabShown;
        case 1:
            return &record->LchShown;
        case 2:
            return &record->XyzShown;
        default:
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace

void CVCMainWindow::ConnectMeasureSettingSignals()
{
    QTreeWidget *tree = ui->treeMeasureSetting;
    BuildMeasureConditionTree(tree);
    connect(tree, &QTreeWidget::itemCollapsed, this, &CVCMainWindow::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemExpanded, this, &CVCMainWindow::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeConditionItemChanged, Qt::DirectConnection);
    connect(tree, &QTreeWidget::currentItemChanged, this, &CVCMainWindow::treeConditionCurrentItemChanged,
            Qt::DirectConnection);
}

// Runs before the first-show flag is raised, so the checks it sets store nothing back.
void CVCMainWindow::WriteMeasureConditionToTree()
{
    const Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(kMainWindowBlock);
    ApplyMeasureConditionSetting(ui->treeMeasureSetting, record, m_model->GetUserIlluminants(), false);
}

void CVCMainWindow::treeConditionItemChanged(QTreeWidgetItem *item, int column)
{
    // Checks live in column 1; the other changes are texts the window writes itself.
    if (!m_shown || !item || column != 1)
        return;
    QTreeWidget *tree = ui->treeMeasureSetting;
    QTreeWidgetItem *parent = item->parent();
    const int topRow = tree->indexOfTopLevelItem(parent ? parent : item);
    const int child = parent ? parent->indexOfChild(item) : -1;
    const bool checked = item->checkState(column) == Qt::Checked;

    Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(kMainWindowBlock);
    const bool conditionChild = topRow == kConditionRowConditions && child >= 0 && child < kMeasurementConditionCount;
    if (conditionChild) {
        const int bit = MeasurementConditionBit(0) << child;
        if (checked)
            record.ConditionMask |= bit;
        else
            record.ConditionMask &= ~bit;
    } else if (int *word = CheckedWord(&record, topRow, child)) {
        *word = checked ? 1 : 0;
    } else {
        return;
    }
    m_model->SetMeasureCondition(record, kMainWindowBlock);

    if (conditionChild) {
        // The refresh sets the checks of the rows it rebuilds, which must not come back here.
        disconnect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeConditionItemChanged);
        // A user row is still inside its own check change: rebuilding the user rows would delete it under Qt's
        // feet, and the rebuilt row would be this one as it is now.
        if (child < kFirstUserConditionId)
            RefreshUserIlluminantItems(tree, record, m_model->GetUserIlluminants(), false);
        else
            UpdateMeasureConditionSummary(tree);
        connect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeConditionItemChanged,
                Qt::DirectConnection);
    }
    if (conditionChild)
        ReshowSelectedPatch();
    if (m_patchSelected)
        SyncPatchValueTreeVisibility(ui->treeMeasureData, tree);
}

void CVCMainWindow::treeConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    const Setting::MeasureConditionSetting stored = *m_model->GetMeasurementCondition(kMainWindowBlock);
    Setting::MeasureConditionSetting record = stored;
    QComboBox *combo = SwitchMeasureConditionEditor(ui->treeMeasureSetting, current, previous, &record,
                                                    m_model->GetUserIlluminants());
    // The condition slots store every choice as it is made; this only catches a choice they did not see.
    if (m_shown && !SameRecord(record, stored))
        m_model->SetMeasureCondition(record, kMainWindowBlock);
    if (!combo || !current)
        return;

    void (CVCMainWindow::*slot)(int) = nullptr;
    switch (current->data(0, Qt::UserRole).toInt()) {
    case kEditorWhiteReference:
        slot = &CVCMainWindow::conditionWhiteRefChanged;
        break;
    case kEditorDensityStatus:
        slot = &CVCMainWindow::conditionStatusChanged;
        break;
    case kEditorObserver:
        slot = &CVCMainWindow::conditionObserverChanged;
        break;
    case kEditorIlluminant:
        slot = &CVCMainWindow::conditionIlluminantChanged;
        break;
    default:
        return;
    }
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, slot);
}

void CVCMainWindow::StoreMeasureConditionWord(int Setting::MeasureConditionSetting::*word, int value)
{
    if (!m_shown || value < 0)
        return;
    Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(kMainWindowBlock);
    record.*word = value;
    m_model->SetMeasureCondition(record, kMainWindowBlock);
}

void CVCMainWindow::conditionWhiteRefChanged(int index)
{
    StoreMeasureConditionWord(&Setting::MeasureConditionSetting::WhiteReference, index);
    ReshowSelectedPatch();
}

void CVCMainWindow::conditionStatusChanged(int index)
{
    StoreMeasureConditionWord(&Setting::MeasureConditionSetting::DensityStatus, index);
    ReshowSelectedPatch();
}

void CVCMainWindow::conditionObserverChanged(int index)
{
    StoreMeasureConditionWord(&Setting::MeasureConditionSetting::Observer, index);
    ReshowSelectedPatch();
}

void CVCMainWindow::conditionIlluminantChanged(int index)
{
    // The combo is open on the current item; its entries carry the illuminant ids.
    QTreeWidget *tree = ui->treeMeasureSetting;
    const auto *combo = qobject_cast<QComboBox *>(tree->itemWidget(tree->currentItem(), 1));
    StoreMeasureConditionWord(&Setting::MeasureConditionSetting::Illuminant, ComboDataAt(combo, index));
    ReshowSelectedPatch();
}

void CVCMainWindow::setMeasureSettingWhiteRefCurrentIndex(int index)
{
    Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(kMainWindowBlock);
    record.WhiteReference = index;
    m_model->SetMeasureCondition(record, kMainWindowBlock);
    SetWhiteRefSelection(ui->treeMeasureSetting, index);
}
