// The Data List dock: the chart and recognition trees, their checks, renames, context menus and rebuilds.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/widgets/uipresenter.h"

#include <QBrush>
#include <QColor>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int kColumnCount = 4;
// The scanner takes jobs of at most this many pages.
constexpr int kMaxJobPages = 100;
// At most this many recognised charts combine into one chart definition.
constexpr int kMaxRegisterItems = 100;
constexpr int kSelectionNotTaken = 126;
constexpr int kRenameDeclined = 128;
constexpr int kSelectionTries = 10;
constexpr int kSelectionSleepMs = 5;

const QColor kErrorColor(239, 182, 197);

QString DiameterName(int mode)
{
    static const char *const names[] = {"Auto", "1x1", "2x2", "3x3", "4x4"};
    return mode >= 0 && mode < int(sizeof names / sizeof names[0]) ? QString::fromLatin1(names[mode]) : QString();
}

QStringList ItemTexts(const QString &name, const QString &time, int count, int diameter)
{
    return {name, time, QString::number(count), DiameterName(diameter)};
}

QStringList ChartTexts(const ChartDesigData &record)
{
    return ItemTexts(record.ChartName, record.CreateTime, record.ChartPatchCount, record.Diameter);
}

template <typename Record>
QStringList MeasureTexts(const Record &record)
{
    return ItemTexts(record.ChartName, record.CreateTime, record.RecordCount, record.Diameter);
}

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

void MarkIncomplete(QTreeWidgetItem *item)
{
    const QBrush brush(kErrorColor);
    for (int column = 0; column < kColumnCount; ++column)
        item->setBackground(column, brush);
}

// Complete before it reaches a tree, so that building it reports no change.
QTreeWidgetItem *NewItem(int id, const QStringList &texts, bool incomplete)
{
    auto *item = new QTreeWidgetItem(texts);
    item->setData(0, Qt::UserRole, id);
    if (incomplete)
        MarkIncomplete(item);
    return item;
}

QTreeWidgetItem *NewChartItem(const ChartDesigData &record)
{
    QTreeWidgetItem *item = NewItem(record.ID, ChartTexts(record), false);
    item->setCheckState(0, record.JobNumber != 0 ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace

void CVCMainWindow::ConnectDataListSignals()
{
    for (QTreeWidget *tree : {ui->treeDesignation, ui->treeRecognition}) {
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        ConnectItemChanged(tree);
        connect(tree, &QTreeWidget::itemCollapsed, this, &CVCMainWindow::itemColllapsedAndExpanded);
        connect(tree, &QTreeWidget::itemExpanded, this, &CVCMainWindow::itemColllapsedAndExpanded);
    }
    connect(ui->treeDesignation, &QTreeWidget::itemDoubleClicked, this, &CVCMainWindow::treeDesignationDoubleClicked);
    connect(ui->treeDesignation, &QWidget::customContextMenuRequested, this,
            &CVCMainWindow::treeDesignationCustomContextMenuRequested);
    connect(ui->treeRecognition, &QTreeWidget::itemDoubleClicked, this, &CVCMainWindow::treeRecognitionDoubleClicked);
    connect(ui->treeRecognition, &QWidget::customContextMenuRequested, this,
            &CVCMainWindow::treeRecognitionCustomContextMenuRequested);
    BuildDataListMenus();
}

void CVCMainWindow::BuildDataListMenus()
{
    QMenu *chart = m_menuDesignationChart;
    connect(chart->addAction(tr("Edit Name")), &QAction::triggered, this,
            &CVCMainWindow::actionRenameDesignationTriggered);
    connect(chart->addAction(tr("Save")), &QAction::triggered, this,
            &CVCMainWindow::actionSaveFileDesignationTriggered);
    connect(chart->addAction(tr("Edit Chart")), &QAction::triggered, this,
            &CVCMainWindow::actionModifyDesignationTriggered);
    connect(chart->addAction(tr("Save Tiff image data")), &QAction::triggered, this,
            &CVCMainWindow::actionSaveImageDesignationTriggered);
    connect(chart->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCMainWindow::actionDeleteDesignationTriggered);
    QMenu *area = chart->addMenu(tr("Measurement Area"));
    for (int mode = 0; mode < 5; ++mode) {
        QAction *action = area->addAction(DiameterName(mode));
        action->setCheckable(true);
        action->setData(mode);
        m_diameterActions << action;
    }
    connect(area, &QMenu::triggered, this, &CVCMainWindow::menuDiameterDesignationTriggered);
    connect(this, &CVCMainWindow::setDiameterAuto, m_diameterActions[0], &QAction::setChecked);
    connect(this, &CVCMainWindow::setDiameterNormal, m_diameterActions[1], &QAction::setChecked);
    connect(this, &CVCMainWindow::setDiameterSmall, m_diameterActions[2], &QAction::setChecked);
    connect(this, &CVCMainWindow::setDiameterMiddle, m_diameterActions[3], &QAction::setChecked);
    connect(this, &CVCMainWindow::setDiameterBig, m_diameterActions[4], &QAction::setChecked);

    QMenu *measure = m_menuDesignationMeasure;
    connect(measure->addAction(tr("Edit Name")), &QAction::triggered, this,
            &CVCMainWindow::actionRenameDesignationTriggered);
    connect(measure->addAction(tr("Save")), &QAction::triggered, this,
            &CVCMainWindow::actionFileSaveMeasureDataTriggered);
    connect(measure->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCMainWindow::actionDeleteDesignationTriggered);

    connect(m_menuDesignationMulti->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCMainWindow::actionDeleteDesignationTriggered);

    QMenu *recognition = m_menuRecognition;
    connect(recognition->addAction(tr("Edit Name")), &QAction::triggered, this,
            &CVCMainWindow::actionRenameRecognitionTriggered);
    connect(recognition->addAction(tr("Save")), &QAction::triggered, this,
            &CVCMainWindow::actionFileSaveMeasureDataTriggered);
    connect(recognition->addAction(tr("Register Chart")), &QAction::triggered, this,
            &CVCMainWindow::actionRegisterChartRecognitionTriggered);
    connect(recognition->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCMainWindow::actionDeleteRecognitionTriggered);

    m_registerRecognitionMulti = m_menuRecognitionMulti->addAction(tr("Register Chart"));
    connect(m_registerRecognitionMulti, &QAction::triggered, this,
            &CVCMainWindow::actionRegisterChartRecognitionTriggered);
    connect(m_menuRecognitionMulti->addAction(tr("Delete")), &QAction::triggered, this,
            &CVCMainWindow::actionDeleteRecognitionTriggered);
}

void CVCMainWindow::ConnectItemChanged(QTreeWidget *tree)
{
    if (tree == ui->treeDesignation)
        connect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeDesignationItemChanged,
                Qt::DirectConnection);
    else
        connect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeRecognitionItemChanged,
                Qt::DirectConnection);
}

void CVCMainWindow::WithoutItemChanged(QTreeWidget *tree, const std::function<void()> &change)
{
    // Only the outermost caller reconnects, so nested changes never connect the handler twice.
    const bool wasConnected =
        tree == ui->treeDesignation
            ? disconnect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeDesignationItemChanged)
            : disconnect(tree, &QTreeWidget::itemChanged, this, &CVCMainWindow::treeRecognitionItemChanged);
    change();
    if (wasConnected)
        ConnectItemChanged(tree);
}

QTreeWidgetItem *CVCMainWindow::FindChartItem(int chartId) const
{
    for (int i = 0; i < ui->treeDesignation->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ui->treeDesignation->topLevelItem(i);
        if (ItemHasId(item, chartId))
            return item;
    }
    return nullptr;
}

bool CVCMainWindow::MakeChartItemCurrent(int chartId)
{
    QTreeWidgetItem *item = FindChartItem(chartId);
    if (!item)
        return false;
    ui->treeDesignation->setCurrentItem(item);
    // An item that already was current reports no change; the model must still hold its chart.
    int selectedId = 0;
    int selectedKind = 0;
    m_model->GetSelectedFileID(&selectedId, &selectedKind);
    if (selectedKind != CModel::KindDesignationChart || selectedId != chartId)
        m_model->SelectFileID(CModel::KindDesignationChart, chartId, 0);
    return true;
}

void CVCMainWindow::ApplyDatalistColumns(QTreeWidget *tree, const Setting::DisplayDatalistColumn &columns)
{
    tree->setColumnHidden(1, !columns.Column1);
    tree->setColumnHidden(2, !columns.Column2);
    tree->setColumnHidden(3, !columns.Column3);
}

void CVCMainWindow::ApplyUserDatalistColumns(QTreeWidget *tree)
{
    if (const Setting::UserEnvironment *environment = m_model->GetUserEnvironment())
        ApplyDatalistColumns(tree, environment->DatalistColumns);
}

void CVCMainWindow::ResizeDatalistColumns(QTreeWidget *tree)
{
    for (int column = 0; column < tree->columnCount(); ++column)
        tree->resizeColumnToContents(column);
}

void CVCMainWindow::SetItemTextsQuietly(QTreeWidget *tree, QTreeWidgetItem *item, const QStringList &texts)
{
    WithoutItemChanged(tree, [&] {
        for (int column = 0; column < texts.size(); ++column) {
            if (item->text(column) != texts.at(column))
                item->setText(column, texts.at(column));
        }
    });
}

void CVCMainWindow::StartItemRename(QTreeWidget *tree, QTreeWidgetItem *item)
{
    // Editable only while the editor opens, so that a later click starts no edit of its own.
    WithoutItemChanged(tree, [item] { item->setFlags(item->flags() | Qt::ItemIsEditable); });
    tree->editItem(item, 0);
    WithoutItemChanged(tree, [item] { item->setFlags(item->flags() & ~Qt::ItemIsEditable); });
}

void CVCMainWindow::PopupDatalistMenu(QTreeWidget *tree, QMenu *menu, const QPoint &pos)
{
    const QPoint global = tree->mapToGlobal(pos) + QPoint(0, tree->header()->height());
    CUiPresenter::Current().ExecMenu(menu, global);
}

bool CVCMainWindow::ConfirmDelete()
{
    return CUiPresenter::Current().Ask(this, tr("Do you want to delete selected data?"),
                                       QMessageBox::Yes | QMessageBox::No,
                                       QMessageBox::NoButton) == QMessageBox::Yes;
}

bool CVCMainWindow::IsDesignationMeasureIncomplete(int chartId, int measureId) const
{
    const QList<ChartDesigData> *charts = m_model->GetDesignationCharts();
    const QList<ChartDesigMeasureData> *measures = m_model->GetDesignationMeasurements();
    if (!charts || !measures)
        return false;
    for (const ChartDesigData &chart : *charts) {
        if (chart.ID != chartId)
            continue;
        for (const ChartDesigMeasureData &measure : *measures) {
            if (measure.ID == measureId) {
                if (chart.ChartPatchCount != measure.RecordCount)
                    return true;
                break;
            }
        }
    }
    return false;
}

void CVCMainWindow::SelectDesigChartFromFileID(int fileId)
{
    MakeChartItemCurrent(fileId);
}

// The chart-found signal arrives while the scanner's capture result is handled; the controller starts the
// recognition once the QR record is accepted, so starting it here too would recognise and measure the sheet twice.
void CVCMainWindow::FindDesignationChartFound(int fileId, int pageNo)
{
    if (!MakeChartItemCurrent(fileId)) {
        m_model->StopMeasurementOrlo(true);
        return;
    }
    m_model->SetCurrentSheetIndex(pageNo);
}

void CVCMainWindow::CreateDesignationChartFinished(ChartDesigData *record)
{
    if (!record)
        return;
    QTreeWidgetItem *item = NewChartItem(*record);
    ui->treeDesignation->addTopLevelItem(item);
    ResizeDatalistColumns(ui->treeDesignation);
    m_model->SelectFileID(CModel::KindDesignationChart, record->ID, 0);
    ui->treeDesignation->setCurrentItem(item);
}

void CVCMainWindow::UpdateDesignationChartFinished(ChartDesigData *record)
{
    QTreeWidget *tree = ui->treeDesignation;
    if (!record || !tree->currentItem())
        return;
    QTreeWidgetItem *item = FindChartItem(record->ID);
    if (!item)
        return;
    tree->setCurrentItem(nullptr);
    SetItemTextsQuietly(tree, item, ChartTexts(*record));
    ResizeDatalistColumns(tree);
    tree->setCurrentItem(item);
}

void CVCMainWindow::CreateDesignationMeasureFinished(ChartDesigMeasureData *record)
{
    if (!record)
        return;
    // Under its own chart, whichever item is current.
    QTreeWidgetItem *chart = FindChartItem(record->ChartID);
    if (!chart)
        return;
    QTreeWidgetItem *item = NewItem(record->ID, MeasureTexts(*record), false);
    chart->addChild(item);
    ResizeDatalistColumns(ui->treeDesignation);
    chart->setExpanded(true);
    ui->treeDesignation->clearSelection();
    item->setSelected(true);
    ResetProgress();
}

void CVCMainWindow::UpdateDesignationMeasureFinished(ChartDesigMeasureData *record)
{
    QTreeWidget *tree = ui->treeDesignation;
    if (!record || !tree->currentItem())
        return;
    QTreeWidgetItem *chart = FindChartItem(record->ChartID);
    if (!chart)
        return;
    for (int i = 0; i < chart->childCount(); ++i) {
        QTreeWidgetItem *item = chart->child(i);
        if (ItemHasId(item, record->ID)) {
            SetItemTextsQuietly(tree, item, MeasureTexts(*record));
            ResizeDatalistColumns(tree);
            item->setSelected(true);
            return;
        }
    }
}

void CVCMainWindow::CreateRecognitionMeasureFinished(ChartRecogData *record)
{
    if (!record)
        return;
    const bool incomplete = record->RecordCount == 0 || m_model->IsRecognitionMeasureIncomplete(record->ID);
    QTreeWidgetItem *item = NewItem(record->ID, MeasureTexts(*record), incomplete);
    QTreeWidget *tree = ui->treeRecognition;
    tree->addTopLevelItem(item);
    ResizeDatalistColumns(tree);
    tree->clearSelection();
    item->setSelected(true);
    tree->setCurrentItem(item);
    ResetProgress();
    UpdateModifyPatchButton();
}

void CVCMainWindow::UpdateRecognitionMeasureFinished(ChartRecogData *record)
{
    QTreeWidget *tree = ui->treeRecognition;
    QTreeWidgetItem *item = tree->currentItem();
    // Only the item of that document: "<Freeform Chart>" never takes a record's texts.
    if (!record || !item || !ItemHasId(item, record->ID))
        return;
    SetItemTextsQuietly(tree, item, MeasureTexts(*record));
    ResizeDatalistColumns(tree);
    tree->setCurrentItem(item);
}

void CVCMainWindow::SetDesignationMeasureItemBackColor(int fileId)
{
    QTreeWidget *tree = ui->treeDesignation;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *chart = tree->topLevelItem(i);
        bool ok = false;
        const int chartId = ItemId(chart, &ok);
        for (int j = 0; j < chart->childCount(); ++j) {
            QTreeWidgetItem *item = chart->child(j);
            if (ItemHasId(item, fileId) && IsDesignationMeasureIncomplete(chartId, fileId))
                WithoutItemChanged(tree, [item] { MarkIncomplete(item); });
        }
    }
}

void CVCMainWindow::CheckOffDesigChartFromFileID(int fileId)
{
    // The model has deleted the job at the scanner and forgotten it in the chart's record.
    if (QTreeWidgetItem *item = FindChartItem(fileId))
        WithoutItemChanged(ui->treeDesignation, [item] { item->setCheckState(0, Qt::Unchecked); });
}

void CVCMainWindow::UpdateDatalistColumn(const Setting::DisplayDatalistColumn &columns)
{
    for (QTreeWidget *tree : {ui->treeDesignation, ui->treeRecognition}) {
        ApplyDatalistColumns(tree, columns);
        ResizeDatalistColumns(tree);
    }
}

void CVCMainWindow::MeasurementFinished(int dataType, int fileId)
{
    if (dataType != CModel::KindDesignationMeasure)
        return;
    QTreeWidget *tree = ui->treeDesignation;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *chart = tree->topLevelItem(i);
        bool ok = false;
        const int chartId = ItemId(chart, &ok);
        for (int j = 0; j < chart->childCount(); ++j) {
            QTreeWidgetItem *item = chart->child(j);
            if (!ItemHasId(item, fileId))
                continue;
            tree->setCurrentItem(item);
            if (IsDesignationMeasureIncomplete(chartId, fileId))
                WithoutItemChanged(tree, [item] { MarkIncomplete(item); });
        }
    }
}

void CVCMainWindow::ReadDesignationChartFinished(QList<ChartDesigData> charts, QList<ChartDesigMeasureData> measures)
{
    QTreeWidget *tree = ui->treeDesignation;
    ApplyUserDatalistColumns(tree);
    tree->clear();

    // The whole list is built apart from the tree and inserted at once: nothing reports a change, and one
    // insertion is far cheaper than thousands.
    QList<QTreeWidgetItem *> items;
    items.reserve(charts.size());
    QHash<int, QPair<QTreeWidgetItem *, int>> byId; // chart id -> item, patch count
    byId.reserve(charts.size());
    for (const ChartDesigData &chart : charts) {
        QTreeWidgetItem *item = NewChartItem(chart);
        items << item;
        byId.insert(chart.ID, qMakePair(item, chart.ChartPatchCount));
    }
    for (const ChartDesigMeasureData &measure : measures) {
        const auto chart = byId.constFind(measure.ChartID);
        // A measurement of an unlisted chart stays in the store, unlisted.
        if (chart == byId.constEnd())
            continue;
        const bool incomplete = chart->second != measure.RecordCount;
        chart->first->addChild(NewItem(measure.ID, MeasureTexts(measure), incomplete));
    }
    tree->addTopLevelItems(items);

    const bool shown = m_shown;
    m_shown = false;
    tree->collapseAll();
    m_shown = shown;
    ResizeDatalistColumns(tree);
}

void CVCMainWindow::ReadRecognitionMeasureFinished(QList<ChartRecogData> measures)
{
    QTreeWidget *tree = ui->treeRecognition;
    ApplyUserDatalistColumns(tree);
    // The first item is the form's "<Freeform Chart>" and stays.
    for (int i = tree->topLevelItemCount() - 1; i >= 1; --i)
        delete tree->takeTopLevelItem(i);

    QList<QTreeWidgetItem *> items;
    items.reserve(measures.size());
    for (const ChartRecogData &measure : measures) {
        const bool incomplete = measure.RecordCount == 0 || m_model->IsRecognitionMeasureIncomplete(measure.ID);
        items << NewItem(measure.ID, MeasureTexts(measure), incomplete);
    }
    tree->addTopLevelItems(items);
    ResizeDatalistColumns(tree);
    if (tree->topLevelItemCount() > 0)
        tree->setCurrentItem(tree->topLevelItem(0));
}

bool CVCMainWindow::SelectItemForChange(QTreeWidgetItem *item, int id)
{
    const int kind = item->parent() ? CModel::KindDesignationMeasure : CModel::KindDesignationChart;
    int selectedId = 0;
    int selectedKind = 0;
    m_model->GetSelectedFileID(&selectedId, &selectedKind);
    if (selectedKind == kind && selectedId == id && item->isSelected())
        return true;
    ui->treeDesignation->setCurrentItem(item);
    item->setSelected(true);
    // The current-item handler selects in the model; a selection not yet taken gets a short grace.
    for (int attempt = 0; attempt < kSelectionTries; ++attempt) {
        if (m_model->IsSelectedFileID(id))
            return true;
        QThread::msleep(kSelectionSleepMs);
    }
    return m_model->IsSelectedFileID(id);
}

int CVCMainWindow::HandleChartItemChange(QTreeWidgetItem *item)
{
    ChartDesigData *chart = m_model->GetSelectedDesignationChart();
    if (!chart)
        return kSelectionNotTaken;
    int result = 0;
    if (item->checkState(0) == Qt::Checked) {
        if (chart->SheetCount > kMaxJobPages) {
            CUiPresenter::Current().Warn(
                this, tr("The chart is too many pages. If you want register job, please be less than %1 pages.")
                          .arg(kMaxJobPages));
            result = kSelectionNotTaken;
        } else if (chart->JobNumber == 0) {
            result = m_model->RegisterDesignationChartJob();
        }
        if (result != 0)
            WithoutItemChanged(ui->treeDesignation, [item] { item->setCheckState(0, Qt::Unchecked); });
    } else if (chart->JobNumber != 0) {
        result = m_model->DeleteSelectedDesignationChartJob();
    }
    if (result != 0)
        return result;

    const QString name = item->text(0);
    if (!m_model->IsChartNameChanged(name))
        return 0;
    const ChartDefinitionDataSheets *definition = m_model->GetChartDefinition();
    if (definition && definition->Barcode == 1 &&
        CUiPresenter::Current().Ask(this,
                                    tr("If the job name is changed, the chart has to be printed again because QR "
                                       "code is also changed.\nIs the job name changed?"),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) != QMessageBox::Yes)
        return kRenameDeclined;
    result = m_model->RenameDesignationChart(name);
    if (result == 0)
        m_model->UpdateBarcodeSize();
    return result;
}

void CVCMainWindow::treeDesignationItemChanged(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0)
        return;
    bool ok = false;
    const int id = ItemId(item, &ok);
    if (!ok || !SelectItemForChange(item, id))
        return;

    int result = 0;
    if (!item->parent()) {
        result = HandleChartItemChange(item);
    } else if (const ChartDesigMeasureData *measure = m_model->GetSelectedDesignationMeasurement()) {
        // An edit that leaves the name as it is stores nothing.
        if (measure->ChartName != item->text(0))
            result = m_model->RenameDesignationMeasure(item->text(0));
    }
    if (result == 0)
        return;

    // The stored name comes back; that change reaches this handler once more and finds nothing to do.
    QString stored;
    if (!item->parent()) {
        if (const ChartDesigData *chart = m_model->GetSelectedDesignationChart())
            stored = chart->ChartName;
    } else if (const ChartDesigMeasureData *measure = m_model->GetSelectedDesignationMeasurement()) {
        stored = measure->ChartName;
    }
    if (!stored.isEmpty())
        item->setText(0, stored);
}

void CVCMainWindow::treeDesignationDoubleClicked(QTreeWidgetItem *item, int column)
{
    if (item && column == 0)
        StartItemRename(ui->treeDesignation, item);
}

void CVCMainWindow::treeDesignationCustomContextMenuRequested(const QPoint &pos)
{
    QTreeWidget *tree = ui->treeDesignation;
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    if (selected.isEmpty())
        return;
    if (selected.size() >= 2) {
        PopupDatalistMenu(tree, m_menuDesignationMulti, pos);
        return;
    }
    if (selected.first()->parent()) {
        PopupDatalistMenu(tree, m_menuDesignationMeasure, pos);
        return;
    }
    const ChartDesigData *chart = m_model->GetSelectedDesignationChart();
    if (!chart)
        return;
    emit setDiameterAuto(chart->Diameter == 0);
    emit setDiameterNormal(chart->Diameter == 1);
    emit setDiameterSmall(chart->Diameter == 2);
    emit setDiameterMiddle(chart->Diameter == 3);
    emit setDiameterBig(chart->Diameter == 4);
    PopupDatalistMenu(tree, m_menuDesignationChart, pos);
}

void CVCMainWindow::treeRecognitionItemChanged(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0)
        return;
    // Only the model's selected measurement can be renamed, and only to another name.
    ChartRecogData *measure = m_model->GetSelectedRecognitionMeasure();
    if (!measure || !ItemHasId(item, measure->ID) || measure->ChartName == item->text(0))
        return;
    if (m_model->RenameRecognitionMeasure(item->text(0)) == 0)
        return;
    if (const ChartRecogData *stored = m_model->GetSelectedRecognitionMeasure())
        item->setText(0, stored->ChartName);
}

void CVCMainWindow::treeRecognitionDoubleClicked(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0)
        return;
    bool ok = false;
    if (ItemId(item, &ok) >= 1 && ok)
        StartItemRename(ui->treeRecognition, item);
}

void CVCMainWindow::treeRecognitionCustomContextMenuRequested(const QPoint &pos)
{
    QTreeWidget *tree = ui->treeRecognition;
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    if (selected.size() == 1) {
        bool ok = false;
        if (ItemId(selected.first(), &ok) >= 1 && ok)
            PopupDatalistMenu(tree, m_menuRecognition, pos);
    } else if (selected.size() >= 2) {
        m_registerRecognitionMulti->setEnabled(selected.size() <= kMaxRegisterItems);
        PopupDatalistMenu(tree, m_menuRecognitionMulti, pos);
    }
}

void CVCMainWindow::menuDiameterDesignationTriggered(QAction *action)
{
    bool ok = false;
    const uint mode = action ? action->data().toUInt(&ok) : 0;
    const ChartDesigData *chart = m_model->GetSelectedDesignationChart();
    if (!ok || !chart || chart->Diameter == int(mode))
        return;
    if (m_model->SetDesignationChartDiameter(int(mode)) == 0)
        UpdateDesignationChartFinished(m_model->GetSelectedDesignationChart());
}

void CVCMainWindow::itemColllapsedAndExpanded()
{
    if (!m_shown)
        return;
    if (auto *tree = qobject_cast<QTreeWidget *>(sender()))
        ResizeDatalistColumns(tree);
}

void CVCMainWindow::actionRenameDesignationTriggered()
{
    if (QTreeWidgetItem *item = ui->treeDesignation->currentItem())
        StartItemRename(ui->treeDesignation, item);
}

void CVCMainWindow::actionRenameRecognitionTriggered()
{
    if (QTreeWidgetItem *item = ui->treeRecognition->currentItem())
        StartItemRename(ui->treeRecognition, item);
}

void CVCMainWindow::actionDeleteDesignationTriggered()
{
    if (!ConfirmDelete())
        return;
    QTreeWidget *tree = ui->treeDesignation;
    QList<QTreeWidgetItem *> selected = tree->selectedItems();
    for (const QTreeWidgetItem *item : selected) {
        bool ok = false;
        const int id = ItemId(item, &ok);
        if (!item->parent() && ok && m_model->DesignationChartHasMeasurements(id)) {
            CUiPresenter::Current().Warn(this, tr("Cannot delete, because measurement data exist."));
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
        int result = 0;
        if (item->parent()) {
            if (ok)
                result = m_model->DeleteDesignationMeasurement(id);
        } else {
            for (int i = 0; i < item->childCount() && result == 0; ++i) {
                bool childOk = false;
                const int childId = ItemId(item->child(i), &childOk);
                if (childOk)
                    result = m_model->DeleteDesignationMeasurement(childId);
            }
            if (result == 0 && ok)
                result = m_model->DeleteDesignationChart(id);
        }
        if (result != 0)
            break;
        delete item;
    }

    if (tree->topLevelItemCount() == 0) {
        if (ui->treeRecognition->topLevelItemCount() > 0)
            ui->treeRecognition->setCurrentItem(ui->treeRecognition->topLevelItem(0));
        ui->pushEditChart->setEnabled(false);
        ui->actionFileSaveMeasureData->setEnabled(false);
    }
    ResizeDatalistColumns(tree);
}

void CVCMainWindow::actionDeleteRecognitionTriggered()
{
    if (!ConfirmDelete())
        return;
    QTreeWidget *tree = ui->treeRecognition;
    for (QTreeWidgetItem *item : tree->selectedItems()) {
        bool ok = false;
        const int id = ItemId(item, &ok);
        if (!ok || id < 1)
            continue;
        // A document that stays on disk keeps its item.
        if (m_model->DeleteRecognitionMeasurement(id) != 0)
            break;
        delete item;
    }
    ResizeDatalistColumns(tree);
    ClearSelectPatchData();
}
