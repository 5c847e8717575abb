// The density-balance window's frame: members, menus, docks, status bar, the rules for what is shown or enabled,
// the settings of the save locations, the condition block of the window and the window events.

#include "mainwindow/vcadjustdensity.h"

#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "app/widgets/widgethelpers.h"
#include "mainwindow/vcmeasuredatasave.h"
#include "mainwindow/vcprogressmessage.h"
#include "ui_adjustdensity.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

namespace {

// The density window keeps its own condition block and window-state slot beside the main window's.
constexpr int kDensityBlock = 1;
constexpr int kDensityWindowIndex = 1;

} // namespace

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

CVCAdjustDensity::~CVCAdjustDensity()
{
    // The base class hides the docks once this part of the window is gone.
    for (QWidget *widget : std::initializer_list<QWidget *>{ui->dockChartList, ui->dockMeasurementCondition,
                                                            ui->dockMeasurementData, ui->tabChartCanvas})
        disconnect(widget, nullptr, this, nullptr);
}

void CVCAdjustDensity::InitWindow()
{
    InitMenuActions();
    InitChartListTree();
    // The chart list's own set-up may have made this binding already.
    connect(ui->dockChartList, &QDockWidget::visibilityChanged, this,
            &CVCAdjustDensity::dockChartListVisibilityChanged, Qt::UniqueConnection);
    InitCanvasTabs();
    InitProgressDisplay();
    connect(ui->tabChartCanvas, &QTabWidget::currentChanged, this, &CVCAdjustDensity::tabChartCanvasCurrentChanged);
    InitStatusBar();
    InitConditionDock();
    InitMeasureDataDock();

    // Says what is going on while the window connects or sends; it has nothing to press and cannot be closed.
    m_noticeBox.setParent(this);
    m_noticeBox.setStandardButtons(QMessageBox::NoButton);
    m_noticeBox.setModal(false);
    m_noticeBox.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                               Qt::CustomizeWindowHint);
}

void CVCAdjustDensity::InitMenuActions()
{
    for (QAction *action : ui->menuBar->actions())
        action->setMenuRole(QAction::NoRole);
    for (QMenu *menu : {ui->menuFile, ui->menuView, ui->menuSetting, ui->menuOrlo}) {
        for (QAction *action : menu->actions())
            action->setMenuRole(QAction::NoRole);
    }
    connect(ui->actionFileClose, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionViewStatusBar, &QAction::toggled, ui->statusBar, &QWidget::setVisible);
    connect(ui->actionViewChartList, &QAction::toggled, ui->dockChartList, &QWidget::setVisible);
    connect(ui->actionViewMeasurementCondition, &QAction::toggled, ui->dockMeasurementCondition,
            &QWidget::setVisible);
    connect(ui->actionViewMeasurementData, &QAction::toggled, ui->dockMeasurementData, &QWidget::setVisible);
    connect(ui->actionSettingConnect, &QAction::triggered, this, &CVCAdjustDensity::actionSettingConnectTriggered);
    connect(ui->actionMeasureDataSave, &QAction::triggered, this,
            &CVCAdjustDensity::actionMeasureDataSaveMenuTriggered);
}

void CVCAdjustDensity::InitProgressDisplay()
{
    for (QLabel *label : {ui->labelMeasuredPatchCount, ui->labelMeasuredPointPatchCount})
        connect(this, &CVCAdjustDensity::setMeasuredPatchCount, label, &QLabel::setText);
    for (QProgressBar *bar : {ui->progressMeasurement, ui->progressMeasurementPoint})
        connect(this, &CVCAdjustDensity::setProgressMeasurement, bar, &QProgressBar::setValue);
    for (QLabel *label : {ui->labelProgressMeasurement, ui->labelProgressMeasurementPoint})
        connect(this, &CVCAdjustDensity::setProgressMeasurement, label, qOverload<int>(&QLabel::setNum));
    for (QPushButton *button : {ui->pushMeasurementCancel, ui->pushMeasurementPointCancel}) {
        connect(button, &QPushButton::clicked, m_model, qOverload<>(&CModel::StopMeasurementOrlo));
        connect(this, &CVCAdjustDensity::setMeasurementStopEnable, button, &QWidget::setEnabled);
    }
    connect(this, &CVCAdjustDensity::setMeasurementStopEnable, ui->actionOrloCancel, &QAction::setEnabled);
    emit setMeasurementStopEnable(false);
}

void CVCAdjustDensity::InitStatusBar()
{
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
    connect(this, &CVCAdjustDensity::setOrloStatus, m_labelOrloStatus, &QLabel::setText);
    connect(this, &CVCAdjustDensity::setOrloStatusStyleSheet, m_labelOrloStatus, &QWidget::setStyleSheet);
    connect(this, &CVCAdjustDensity::setOrloConnected, this, qOverload<bool>(&CVCAdjustDensity::setOrloConnect));
    connect(this, qOverload<const QString &>(&CVCAdjustDensity::setOrloConnect), m_labelOrloConnect,
            &QLabel::setText);
    connect(this, &CVCAdjustDensity::setHandyConnected, this, qOverload<bool>(&CVCAdjustDensity::setHandyConnect));
    connect(this, qOverload<const QString &>(&CVCAdjustDensity::setHandyConnect), m_labelHandyConnect,
            &QLabel::setText);
}

void CVCAdjustDensity::InitConditionDock()
{
    QTreeWidget *tree = ui->treeMeasurementCondition;
    BuildMeasureConditionTree(tree);
    connect(ui->dockMeasurementCondition, &QDockWidget::visibilityChanged, this,
            &CVCAdjustDensity::dockMeasureSettingVisibilityChanged);
    connect(tree, &QTreeWidget::itemCollapsed, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemExpanded, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemChanged, this, &CVCAdjustDensity::treeConditionItemChanged);
    connect(tree, &QTreeWidget::currentItemChanged, this, &CVCAdjustDensity::treeConditionCurrentItemChanged);
}

void CVCAdjustDensity::InitMeasureDataDock()
{
    // The value tree mirrors the rows of the condition tree, so it is built after it.
    QTreeWidget *tree = ui->treeMeasurementData;
    BuildPatchValueTree(tree, ui->treeMeasurementCondition);
    connect(ui->dockMeasurementData, &QDockWidget::visibilityChanged, this,
            &CVCAdjustDensity::dockMeasureDataVisibilityChanged);
    connect(tree, &QTreeWidget::itemCollapsed, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
    connect(tree, &QTreeWidget::itemExpanded, this, &CVCAdjustDensity::itemColllapsedAndExpanded);
}

void CVCAdjustDensity::SetControlsEnabled(bool enabled)
{
    ui->dockChartList->setEnabled(enabled);
    ui->menuFile->setEnabled(enabled);
    ui->menuSetting->setEnabled(enabled);
    for (QPushButton *page : {ui->pushOrloChartLayoutPage, ui->pushHandyDensitometerChartLayoutPage,
                              ui->pushMeasurementPointPage})
        page->setEnabled(enabled);
    ui->actionOrloDisconnect->setEnabled(enabled);
}

void CVCAdjustDensity::SetListAppStatus()
{
    m_model->SetAppStatus(ui->treeChartList->currentItem() ? CModel::StatusDensityWithChart
                                                           : CModel::StatusDensityWithoutChart);
}

QByteArray CVCAdjustDensity::saveItemState() const
{
    return QByteArray(1, ui->statusBar->isVisible() ? 1 : 0);
}

void CVCAdjustDensity::restoreItemState(const QByteArray &state)
{
    if (!state.isEmpty())
        ui->statusBar->setVisible(state.at(0) != 0);
}

void CVCAdjustDensity::itemColllapsedAndExpanded()
{
    if (!m_opened)
        return;
    if (auto *tree = qobject_cast<QTreeWidget *>(sender()))
        ResizeTreeColumns(tree);
}

// ---- View menu and docks -------------------------------------------------------------------------------------

void CVCAdjustDensity::dockChartListVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockChartList, ui->actionViewChartList, visible);
}

void CVCAdjustDensity::dockMeasureSettingVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockMeasurementCondition, ui->actionViewMeasurementCondition, visible);
}

void CVCAdjustDensity::dockMeasureDataVisibilityChanged(bool visible)
{
    SyncDockViewAction(this, ui->dockMeasurementData, ui->actionViewMeasurementData, visible);
}

// ---- Settings > Measurement Data Save --------------------------------------------------------------------------

void CVCAdjustDensity::actionMeasureDataSaveMenuTriggered()
{
    m_model->SetAppStatus(CModel::StatusDensitySave);
    m_measureDataSave->PrepareSetting();
    const int result = CUiPresenter::Current().Exec(m_measureDataSave);
    SetListAppStatus();
    if (result != 1)
        return;

    // The dialog may leave gaps between its entries; the stored lists are packed from the front.
    const Setting::MeasureDataSave &chosen = m_measureDataSave->GetMeasureDataSave();
    Setting::MeasureDataSave record = *m_model->GetMeasureDataSaveSetting();
    record.FolderCount = 0;
    record.PrinterCount = 0;
    for (QString &folder : record.Folders)
        folder.clear();
    for (Setting::PrinterInfo &printer : record.Printers)
        printer = Setting::PrinterInfo();
    for (const QString &folder : chosen.Folders) {
        if (!folder.isEmpty())
            record.Folders[record.FolderCount++] = folder;
    }
    for (const Setting::PrinterInfo &printer : chosen.Printers) {
        if (!printer.Name.isEmpty())
            record.Printers[record.PrinterCount++] = printer;
    }
    record.AutoTransmission = chosen.AutoTransmission;
    record.SaveKind = chosen.SaveKind;
    record.SelectedIndex = chosen.SelectedIndex;
    m_model->SetMeasureDataSaveSetting(record);
}

// ---- Condition block of the window ---------------------------------------------------------------------------

void CVCAdjustDensity::StoreConditionWord(const std::function<void(Setting::MeasureConditionSetting &)> &change)
{
    Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(kDensityBlock);
    change(record);
    m_model->SetMeasureCondition(record, kDensityBlock);
    if (m_patchSelected)
        ShowSelectedPatchValues(m_selectedArea, m_selectedRow, m_selectedColumn);
}

// A cleared combo reports index -1; it is no choice and stores nothing.
void CVCAdjustDensity::conditionWhiteRefChanged(int index)
{
    if (index >= 0)
        StoreConditionWord([index](Setting::MeasureConditionSetting &r) { r.WhiteReference = index; });
}

void CVCAdjustDensity::conditionStatusChanged(int index)
{
    if (index >= 0)
        StoreConditionWord([index](Setting::MeasureConditionSetting &r) { r.DensityStatus = index; });
}

void CVCAdjustDensity::conditionObserverChanged(int index)
{
    if (index >= 0)
        StoreConditionWord([index](Setting::MeasureConditionSetting &r) { r.Observer = index; });
}

void CVCAdjustDensity::conditionIlluminantChanged(int index)
{
    // The combo stands on the Illuminant row of the colour spaces; its entries carry the illuminant ids.
    QTreeWidget *tree = ui->treeMeasurementCondition;
    const QComboBox *combo = nullptr;
    if (QTreeWidgetItem *colorSpace = tree->topLevelItem(kConditionRowColorSpace)) {
        for (int i = 0; i < colorSpace->childCount() && !combo; ++i) {
            QTreeWidgetItem *item = colorSpace->child(i);
            if (item->data(0, Qt::UserRole) == QVariant(int(kEditorIlluminant)))
                combo = qobject_cast<QComboBox *>(tree->itemWidget(item, 1));
        }
    }
    const int illuminant = ComboDataAt(combo, index);
    if (illuminant >= 0)
        StoreConditionWord([illuminant](Setting::MeasureConditionSetting &r) { r.Illuminant = illuminant; });
}

// ---- Window events -------------------------------------------------------------------------------------------

void CVCAdjustDensity::showEvent(QShowEvent *event)
{
    ui->actionViewStatusBar->setChecked(ui->statusBar->isVisible());
    SyncDockViewAction(this, ui->dockChartList, ui->actionViewChartList, ui->dockChartList->isVisible());
    SyncDockViewAction(this, ui->dockMeasurementCondition, ui->actionViewMeasurementCondition,
                       ui->dockMeasurementCondition->isVisible());
    SyncDockViewAction(this, ui->dockMeasurementData, ui->actionViewMeasurementData,
                       ui->dockMeasurementData->isVisible());
    QMainWindow::showEvent(event);
}

void CVCAdjustDensity::paintEvent(QPaintEvent *event)
{
    KeepFittedViews();
    QMainWindow::paintEvent(event);
}

void CVCAdjustDensity::closeEvent(QCloseEvent *event)
{
    // Closing now would delete the jobs in the middle of a run.
    if (m_busy) {
        event->ignore();
        return;
    }
    if (m_instrumentNumber > 0) {
        m_handyResult = m_model->CloseTanoDevice();
        m_handyKind = 0;
        m_handySerial = 0;
    }
    UncheckAllCharts();
    m_model->SetWindowGeometry(saveGeometry(), kDensityWindowIndex);
    m_model->SetWindowState(saveState(), kDensityWindowIndex);
    m_model->SetPanelState(saveItemState(), kDensityWindowIndex);
    for (QDockWidget *dock : {ui->dockChartList, ui->dockMeasurementCondition, ui->dockMeasurementData})
        dock->close();
    emit closeAdjustDensity();
    QMainWindow::closeEvent(event);
}
