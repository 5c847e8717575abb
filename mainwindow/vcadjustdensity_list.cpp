// The Chart List dock: the density charts of the window's template and instrument with their measurements, kept
// in step with the model; checks as scanner jobs, measurement renames in place, context menus, adding a chart from
// a file, deleting, and saving a chart as XML or as TIFF pages.

#include "mainwindow/vcadjustdensity.h"
#include "ui_adjustdensity.h"

#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/texthelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "mainwindow/chartimagepath.h"
#include "mainwindow/fileactionnames.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int kReadFailedMessage = 5;
// A selection the model has not taken after this many short sleeps drops the change.
constexpr int kSelectionSleeps = 10;
constexpr int kSelectionSleepMs = 5;

int ItemId(const QTreeWidgetItem *item, bool *ok)
{
    return item->data(0, Qt::UserRole).toInt(ok);
}

bool ItemHasId(const QTreeWidgetItem *item, int id)
{
    bool ok = false;
    const int itemId = ItemId(item, &ok);
    return ok && itemId == id;
}

// Complete before it reaches the tree, so that building it reports no change.
QTreeWidgetItem *NewItem(int id, const QString &name, const QString &time, int count)
{
    auto *item = new QTreeWidgetItem(QStringList{name, time, QString::number(count)});
    item->setData(0, Qt::UserRole, id);
    return item;
}

QTreeWidgetItem *NewChartItem(const DensityBalanceData &record)
{
    QTreeWidgetItem *item = NewItem(record.ID, record.ChartName, record.CreateTime, record.ChartPatchCount);
    item->setCheckState(0, record.JobNumber > 0 ? Qt::Checked : Qt::Unchecked);
    return item;
}

QTreeWidgetItem *NewMeasureItem(const ChartDesigMeasureData &record)
{
    return NewItem(record.ID, record.ChartName, record.CreateTime, record.RecordCount);
}

QStringList ImportFilters()
{
    return {QStringLiteral("xml File (*.xml)"), QStringLiteral("csv File (*.csv)")};
}

QString FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

} // namespace

// ---- Construction and item plumbing ----------------------------------------------------------------------------

void CVCAdjustDensity::InitChartListTree()
{
    QTreeWidget *tree = ui->treeChartList;
    connect(ui->dockChartList, &QDockWidget::visibilityChanged, this,
            &CVCAdjustDensity::dockChartListVisibilityChanged, Qt::UniqueConnection);
    connect(ui->pushAddChart, &QPushButton::clicked, this, &CVCAdjustDensity::pushAddChartClicked,
            Qt::UniqueConnection);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QTreeWidget::itemCollapsed, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemExpanded, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
    ConnectItemChanged();
    connect(tree, &QTreeWidget::currentItemChanged, this, &CVCAdjustDensity::treeChartListCurrentItemChanged,
            Qt::DirectConnection);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &CVCAdjustDensity::treeChartListDoubleClicked);
    connect(tree, &QWidget::customContextMenuRequested, this,
            &CVCAdjustDensity::treeChartListCustomContextMenuRequested);
    BuildChartListMenus();
}

void CVCAdjustDensity::BuildChartListMenus()
{
    connect(m_menuChart->addAction(tr("Save")), &QAction::triggered, this,
            &CVCAdjustDensity::actionSaveFileAdjustDensityTriggered);
    connect(m_menuChart->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCAdjustDensity::actionDeleteAdjustDensityTriggered);

    connect(m_menuMeasure->addAction(tr("Edit Name")), &QAction::triggered, this,
            &CVCAdjustDensity::actionRenameAdjustDensityTriggered);
    connect(m_menuMeasure->addAction(tr("Save")), &QAction::triggered, this,
            [this] { actionMeasureDataSaveTriggered(); });
    connect(m_menuMeasure->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCAdjustDensity::actionDeleteAdjustDensityTriggered);

    connect(m_menuMulti->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCAdjustDensity::actionDeleteAdjustDensityTriggered);
}

QTreeWidgetItem *CVCAdjustDensity::AddChartItem(const DensityBalanceData &record)
{
    QTreeWidgetItem *item = NewChartItem(record);
    ui->treeChartList->addTopLevelItem(item);
    return item;
}

QTreeWidgetItem *CVCAdjustDensity::AddMeasureItem(QTreeWidgetItem *chartItem, const ChartDesigMeasureData &record)
{
    QTreeWidgetItem *item = NewMeasureItem(record);
    chartItem->addChild(item);
    return item;
}

QTreeWidgetItem *CVCAdjustDensity::FindChartItem(int chartId) const
{
    QTreeWidget *tree = ui->treeChartList;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (ItemHasId(tree->topLevelItem(i), chartId))
            return tree->topLevelItem(i);
    }
    return nullptr;
}

void CVCAdjustDensity::ConnectItemChanged()
{
    connect(ui->treeChartList, &QTreeWidget::itemChanged, this, &CVCAdjustDensity::treeChartListItemChanged,
            Qt::DirectConnection);
}

void CVCAdjustDensity::WithoutItemChanged(const std::function<void()> &change)
{
    // Only the outermost caller reconnects, so nested changes never connect the handler twice.
    const bool wasConnected =
        disconnect(ui->treeChartList, &QTreeWidget::itemChanged, this, &CVCAdjustDensity::treeChartListItemChanged);
    change();
    if (wasConnected)
        ConnectItemChanged();
}

void CVCAdjustDensity::StartMeasureRename(QTreeWidgetItem *item)
{
    // Editable only while the editor opens, so that a later click starts no edit of its own.
    WithoutItemChanged([item] { item->setFlags(item->flags() | Qt::ItemIsEditable); });
    ui->treeChartList->editItem(item, 0);
    WithoutItemChanged([item] { item->setFlags(item->flags() & ~Qt::ItemIsEditable); });
}

bool CVCAdjustDensity::WaitForSelectedFile(int id) const
{
    if (m_model->IsSelectedFileID(id))
        return true;
    for (int sleep = 1; sleep <= kSelectionSleeps; ++sleep) {
        QThread::msleep(kSelectionSleepMs);
        if (sleep < kSelectionSleeps && m_model->IsSelectedFileID(id))
            return true;
    }
    return false;
}

// ---- Filling and keeping in step ----------------------------------------------------------------------------------

void CVCAdjustDensity::ReloadChartList()
{
    QTreeWidget *tree = ui->treeChartList;
    tree->clear();

    // Built apart from the tree and inserted at once: nothing reports a change.
    QList<QTreeWidgetItem *> items;
    QHash<int, QTreeWidgetItem *> byId;
    if (const QList<DensityBalanceData> *charts = m_model->GetDensityCharts()) {
        for (const DensityBalanceData &chart : *charts) {
            if (chart.Template != m_templateRow || chart.SecondNumber != m_instrumentNumber)
                continue;
            QTreeWidgetItem *item = NewChartItem(chart);
            items << item;
            byId.insert(chart.ID, item);
        }
    }
    if (const QList<ChartDesigMeasureData> *measures = m_model->GetDensityMeasurements()) {
        for (const ChartDesigMeasureData &measure : *measures) {
            if (QTreeWidgetItem *chart = byId.value(measure.ChartID))
                chart->addChild(NewMeasureItem(measure));
        }
    }
    tree->addTopLevelItems(items);
    tree->expandAll();
    ResizeTreeColumns(tree);
}

void CVCAdjustDensity::UncheckAllCharts()
{
    m_model->DeleteAllDensityChartJobs();
    QTreeWidget *tree = ui->treeChartList;
    WithoutItemChanged([tree] {
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            tree->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    });
}

void CVCAdjustDensity::CreateDensityChartFinished(DensityBalanceData *record)
{
    if (!record)
        return;
    QTreeWidgetItem *item = AddChartItem(*record);
    ResizeTreeColumns(ui->treeChartList);
    ui->treeChartList->setCurrentItem(item);
}

void CVCAdjustDensity::CreateDensityMeasureFinished(ChartDesigMeasureData *record)
{
    if (!record)
        return;
    // Under its own chart, whichever item is current.
    QTreeWidgetItem *chart = FindChartItem(record->ChartID);
    if (!chart)
        return;
    QTreeWidgetItem *item = AddMeasureItem(chart, *record);
    ResizeTreeColumns(ui->treeChartList);
    chart->setExpanded(true);
    ui->treeChartList->clearSelection();
    item->setSelected(true);
    emit setMeasuredPatchCount(QStringLiteral("0 / 0"));
    emit setProgressMeasurement(0);
}

void CVCAdjustDensity::MeasurementFinished(int dataType, int fileId)
{
    if (dataType != CModel::KindDensityMeasure)
        return;
    QTreeWidget *tree = ui->treeChartList;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *chart = tree->topLevelItem(i);
        for (int j = 0; j < chart->childCount(); ++j) {
            if (ItemHasId(chart->child(j), fileId))
                tree->setCurrentItem(chart->child(j));
        }
    }
}

void CVCAdjustDensity::SelectDensityChartFromFileID(int fileId)
{
    QTreeWidgetItem *item = FindChartItem(fileId);
    if (!item)
        return;
    if (ui->treeChartList->currentItem() != item) {
        ui->treeChartList->setCurrentItem(item);
        return;
    }
    // An item that already was current reports no change; the model must still hold its chart.
    int selectedId = 0;
    int selectedKind = 0;
    m_model->GetSelectedFileID(&selectedId, &selectedKind);
    if (selectedKind != CModel::KindDensityChart || selectedId != fileId)
        treeChartListCurrentItemChanged(item);
}

void CVCAdjustDensity::CheckOffDensityBalanceFromFileID(int fileId)
{
    // The model has deleted the job at the scanner and forgotten it in the chart's record.
    if (QTreeWidgetItem *item = FindChartItem(fileId))
        WithoutItemChanged([item] { item->setCheckState(0, Qt::Unchecked); });
}

// ---- Tree signals -----------------------------------------------------------------------------------------------

void CVCAdjustDensity::treeChartListCurrentItemChanged(QTreeWidgetItem *current)
{
    ui->graphicsViewOrloChartLayout->Reset();
    ui->graphicsViewHandyChartLayout->Reset();
    ui->graphicsViewMeasuredPoint->Reset();
    m_patchSelected = false;
    m_selectedArea = 0;
    m_selectedRow = 0;
    m_selectedColumn = 0;
    ClearPatchValueTree(ui->treeMeasurementData);

    if (current && !current->parent())
        ShowChartItem(current);
    else if (current)
        ShowMeasureItem(current);

    ui->pushHandyDensitometerChartLayoutCancel->hide();
    ui->pushHandyDensitometerChartLayoutMeasurement->setEnabled(true);
    ui->pushHandyDensitometerChartLayoutMeasurement->show();
    SetListAppStatus();
}

void CVCAdjustDensity::ShowChartItem(QTreeWidgetItem *item)
{
    m_model->SetDataTreeMode(1);
    bool ok = false;
    const int id = ItemId(item, &ok);
    ui->tabChartCanvas->setCurrentIndex(0);
    if (ui->treeChartList->selectedItems().isEmpty())
        item->setSelected(true);
    if (ok && m_model->SelectFileID(CModel::KindDensityChart, id, 0) == 0) {
        const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
        if (chart && chart->Sheets && chart->SheetCount > 0) {
            ui->graphicsViewOrloChartLayout->DrawSheet(&chart->Sheets[0], 0, 0, 0, nullptr);
            BuildChartLayoutPageMenu(chart->SheetCount);
            m_newChartDisplay = true;
            BuildMeasurePointPageMenu(chart->SheetCount);
            m_newMeasurePointDisplay = true;
            ui->graphicsViewHandyChartLayout->DrawSheet(&chart->Sheets[0], 0, 0, 0, nullptr);
            BuildHandyChartLayoutPageMenu(chart->SheetCount);
            m_newHandyDisplay = true;
        }
    }
    // A chart has no measured points to show.
    ui->graphicsViewMeasuredPoint->Reset();
}

void CVCAdjustDensity::ShowMeasureItem(QTreeWidgetItem *item)
{
    m_model->SetDataTreeMode(1);
    bool ok = false;
    bool chartOk = false;
    const int id = ItemId(item, &ok);
    const int chartId = ItemId(item->parent(), &chartOk);
    if (!ok || !chartOk || m_model->SelectFileID(CModel::KindDensityChart, chartId, 0) != 0 ||
        m_model->SelectFileID(CModel::KindDensityMeasure, id, chartId) != 0)
        return;
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    MeasurementDataSheets *measurement = nullptr;
    if (!chart || !chart->Sheets || chart->SheetCount < 1 || m_model->GetMeasurementData(&measurement) != 0 ||
        !measurement || !measurement->Sheets || measurement->SheetCount < 1)
        return;
    const MeasurementData *entries = &measurement->Sheets[0];
    ui->tabChartCanvas->setCurrentIndex(0);
    if (measurement->Mode == 0) {
        ui->graphicsViewOrloChartLayout->DrawSheet(&chart->Sheets[0], 0, 0, 0, nullptr);
        ui->graphicsViewOrloChartLayout->ShowPatchColors(entries);
        BuildChartLayoutPageMenu(chart->SheetCount);
        m_newChartDisplay = true;
        ui->graphicsViewMeasuredPoint->DrawMeasurement(entries);
        BuildMeasurePointPageMenu(measurement->SheetCount);
        m_newMeasurePointDisplay = true;
    } else {
        ui->graphicsViewHandyChartLayout->DrawSheet(&chart->Sheets[0], 0, 0, 0, nullptr);
        ui->graphicsViewHandyChartLayout->ShowPatchColors(entries);
        BuildHandyChartLayoutPageMenu(chart->SheetCount);
        m_newHandyDisplay = true;
    }
}

void CVCAdjustDensity::treeChartListCustomContextMenuRequested(const QPoint &pos)
{
    QTreeWidget *tree = ui->treeChartList;
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    QMenu *menu = nullptr;
    if (selected.size() == 1)
        menu = selected.first()->parent() ? m_menuMeasure : m_menuChart;
    else if (selected.size() > 1)
        menu = m_menuMulti;
    if (!menu)
        return;
    const QPoint global = tree->mapToGlobal(pos) + QPoint(0, tree->header()->height());
    CUiPresenter::Current().ExecMenu(menu, global);
}

void CVCAdjustDensity::treeChartListDoubleClicked(QTreeWidgetItem *item, int column)
{
    // Only measurements are renamed here; a chart's name is fixed in this window.
    if (item && item->parent() && column == 0)
        StartMeasureRename(item);
}

void CVCAdjustDensity::treeChartListItemChanged(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0)
        return;
    bool ok = false;
    const int id = ItemId(item, &ok);
    if (!ok)
        return;

    int selectedId = 0;
    int selectedKind = 0;
    m_model->GetSelectedFileID(&selectedId, &selectedKind);
    const bool wasSelected = item->isSelected();
    QTreeWidget *tree = ui->treeChartList;
    tree->clearSelection();
    const bool alreadySelected =
        !item->parent() && selectedKind == CModel::KindDensityChart && selectedId == id && wasSelected;
    if (!alreadySelected) {
        tree->setCurrentItem(item);
        item->setSelected(true);
        // A selection not taken in time drops the change without a message.
        if (!WaitForSelectedFile(id))
            return;
    }

    if (!item->parent()) {
        const DensityBalanceData *chart = m_model->GetSelectedDensityChart();
        if (!chart)
            return;
        if (item->checkState(0) == Qt::Checked) {
            if (chart->JobNumber == 0 && m_model->RegisterDensityChartJob() != 0)
                WithoutItemChanged([item] { item->setCheckState(0, Qt::Unchecked); });
        } else if (chart->JobNumber != 0) {
            m_model->DeleteSelectedDensityChartJob();
        }
        return;
    }

    const ChartDesigMeasureData *measure = m_model->GetSelectedDensityMeasurement();
    // An edit that leaves the name as it is stores nothing.
    if (!measure || measure->ChartName == item->text(0))
        return;
    if (m_model->RenameDensityMeasure(item->text(0)) == 0)
        return;
    if ((measure = m_model->GetSelectedDensityMeasurement())) {
        const QString stored = measure->ChartName;
        WithoutItemChanged([item, stored] { item->setText(0, stored); });
    }
}

// ---- Actions ----------------------------------------------------------------------------------------------------

void CVCAdjustDensity::pushAddChartClicked()
{
    if (m_model->CheckDensityChartLimit())
        return;
    ImportDensityChartFile();
    // Reports at once when this import filled the last free place.
    m_model->CheckDensityChartLimit();
}

void CVCAdjustDensity::ImportDensityChartFile()
{
    const QStringList filters = ImportFilters();
    QString selectedFilter = filters.first();
    const QString fileName = CUiPresenter::Current().OpenFileName(
        this, tr("Open"), FileDialogFolder(m_model->GetLastFolder()), filters.join(QStringLiteral(";;")),
        &selectedFilter);
    if (fileName.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(fileName));
    const int fileType = std::max(0, int(filters.indexOf(selectedFilter)));

    ChartDefinitionDataSheets chart;
    InitChartDefinitionData(&chart);
    int kind = 0;
    int count = 0;
    const int result = m_model->ImportChartDefinition(&chart, &kind, &count, fileName, fileType);
    m_model->ReportError(result, kReadFailedMessage, false);
    // Taken before the store names the new chart in the definition.
    const QString name = DefaultChartName(chart.ChartName, fileName);
    if (result == 0 && m_model->CreateDensityChart(m_templateRow, m_instrumentNumber, &chart) == 0 &&
        !name.isEmpty()) {
        // The new chart's item selects it in the model; the rename must reach that chart and no other.
        const int id = m_model->GetDensityCharts()->last().ID;
        int selectedId = 0;
        int selectedKind = 0;
        m_model->GetSelectedFileID(&selectedId, &selectedKind);
        if (selectedKind != CModel::KindDensityChart || selectedId != id)
            m_model->SelectFileID(CModel::KindDensityChart, id, 0);
        m_model->RenameDensityChart(name);
    }
    ClearChartDefinitionData(&chart);
}

void CVCAdjustDensity::actionDeleteAdjustDensityTriggered()
{
    CUiPresenter &presenter = CUiPresenter::Current();
    if (presenter.Ask(this, tr("Do you want to delete selected data?"), QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    QTreeWidget *tree = ui->treeChartList;
    QList<QTreeWidgetItem *> selected = tree->selectedItems();
    for (const QTreeWidgetItem *item : selected) {
        bool ok = false;
        const int id = ItemId(item, &ok);
        if (!item->parent() && ok && m_model->DensityChartHasMeasurements(id)) {
            presenter.Warn(this, tr("Cannot delete, because measurement data exist."));
            return;
        }
    }
    // A selected chart takes its selected measurements with it.
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [](const QTreeWidgetItem *item) {
                                      return item->parent() && item->parent()->isSelected();
                                  }),
                   selected.end());

    for (QTreeWidgetItem *item : selected) {
        bool ok = false;
        const int id = ItemId(item, &ok);
        int result = ok ? 0 : CModel::kDeleteFailed;
        if (item->parent()) {
            if (result == 0)
                result = m_model->DeleteDensityMeasurement(id);
        } else {
            while (result == 0 && item->childCount() > 0) {
                QTreeWidgetItem *child = item->child(0);
                bool childOk = false;
                const int childId = ItemId(child, &childOk);
                result = childOk ? m_model->DeleteDensityMeasurement(childId) : CModel::kDeleteFailed;
                if (result == 0)
                    delete child;
            }
            if (result == 0)
                result = m_model->DeleteDensityChart(id);
        }
        if (result != 0)
            break;
        delete item;
    }
    ResizeTreeColumns(tree);
}

void CVCAdjustDensity::actionRenameAdjustDensityTriggered()
{
    QTreeWidgetItem *item = ui->treeChartList->currentItem();
    if (item && item->parent())
        StartMeasureRename(item);
}

void CVCAdjustDensity::actionSaveFileAdjustDensityTriggered()
{
    ChartDefinitionDataSheets *chart = nullptr;
    if (m_model->QueryChartDefinition(&chart) != 0 || !chart)
        return;
    chart->Kind = ChartDefinitionData::KindDensity;
    const QString proposal =
        FileDialogFolder(m_model->GetLastFolder()) + QLatin1Char('/') + chart->ChartName + QStringLiteral(".xml");
    const QString fileName =
        CUiPresenter::Current().SaveFileName(this, tr("Save"), proposal, QStringLiteral("xml File (*.xml)"));
    if (fileName.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(fileName));
    m_model->ExportChartDefinition(fileName, chart);
}

void CVCAdjustDensity::actionSaveImageAdjustDensityTriggered()
{
    const QTreeWidgetItem *item = ui->treeChartList->currentItem();
    if (!item)
        return;
    ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!chart)
        return;
    const QString fileName = ChooseChartImagePath(
        this, FileDialogFolder(m_model->GetLastFolder()) + QLatin1Char('/') + item->text(0), chart->SheetCount);
    if (fileName.isEmpty())
        return;
    m_model->SetLastFolder(FolderOf(fileName));
    m_model->ExportChartImage(fileName, chart);
}

void CVCAdjustDensity::actionMeasureDataSaveTriggered(const QString &)
{
    DisplayMeasureDataSave(false);
}
