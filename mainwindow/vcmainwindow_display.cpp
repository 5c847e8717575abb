// The chart canvas's controls: pages and zoom of both tabs, the selection handlers that draw the chosen document,
// and the empty measurement-data tree.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/constants.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"

#include <QMenu>
#include <QPaintEvent>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

namespace {

// Chart Layout and Measured Point zoom tables.
constexpr int kChartLayoutZoomTable = 0;
constexpr int kMeasuredPointZoomTable = 1;
// The barcode inset is given in pixels of a 300 dpi page.
constexpr int kBarcodeInsetDpi = 300;
constexpr int kDefaultZoom = 100;
// Data-list tree modes of the model: which tree the selection came from.
constexpr int kRecognitionTreeMode = 0;
constexpr int kDesignationTreeMode = 1;
// Selection kinds of CModel::SelectFileID.
constexpr int kSelectRecognition = 0;
constexpr int kSelectDesignationChart = 1;
constexpr int kSelectDesignationMeasure = 2;

int ItemId(const QTreeWidgetItem *item)
{
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

// While "Fit in the window" (the menu's last entry) is chosen the page follows the view's size. Moving the
// slider unchecks the entry, so it is checked again.
void KeepFitZoom(QMenu *zoomMenu, QSlider *slider, const CVCGraphicsView *view)
{
    if (!zoomMenu || zoomMenu->actions().isEmpty())
        return;
    QAction *fit = zoomMenu->actions().last();
    if (!fit->isChecked())
        return;
    slider->setValue(view->GetFitZoom());
    fit->setChecked(true);
}

// Replaces the button's page menu; returns the first page number, 0 without pages.
unsigned RebuildPageMenu(QWidget *owner, QPushButton *button, const QList<unsigned> &pages, int pageCount)
{
    if (QMenu *previous = button->menu()) {
        button->setMenu(nullptr);
        delete previous;
    }
    if (pages.size() >= 2) {
        auto *menu = new QMenu(owner);
        for (int i = 0; i < pages.size(); ++i) {
            QAction *action = menu->addAction(QStringLiteral("%1").arg(pages.at(i)));
            action->setCheckable(true);
            action->setData(i);
            action->setChecked(i == 0);
        }
        button->setMenu(menu);
    }
    if (pages.isEmpty()) {
        button->setText(QStringLiteral("1 / 1"));
        return 0;
    }
    button->setText(QStringLiteral("%1 / %2").arg(pages.first()).arg(pageCount));
    return pages.first();
}

} // namespace

void CVCMainWindow::ConnectChartCanvasSignals()
{
    CVCChartGraphicsView *chartView = ui->graphicsViewChartLayout;
    CVCMeasuredPointGraphicsView *pointView = ui->graphicsViewMeasuredPoint;
    if (const Setting::UserEnvironment *environment = m_model->GetUserEnvironment())
        chartView->SetInkColorList(environment->Inks);
    chartView->SetBarcodeInset(PixelsToUnitFixed(kUnitMm, m_model->GetBarcodeInsetPixels(), kBarcodeInsetDpi));

    m_menuChartLayoutZoom = CreateZoomMenu(kChartLayoutZoomTable, this, {ui->sliderChartLayoutZoom});
    ui->pushChartLayoutZoom->setMenu(m_menuChartLayoutZoom);
    connect(chartView, &CVCGraphicsView::ClearPatch, this, &CVCMainWindow::ClearSelectPatchData);
    connect(chartView, &CVCGraphicsView::PaintFinished, this, &CVCMainWindow::chartLayoutPaintFinished);
    connect(m_menuChartLayoutZoom, &QMenu::triggered, this, &CVCMainWindow::menuChartLayoutZoomTriggered);
    connect(this, &CVCMainWindow::menuChartLayoutZoomTrigger, m_menuChartLayoutZoom, &QMenu::triggered);
    connect(ui->sliderChartLayoutZoom, &QSlider::valueChanged, this,
            &CVCMainWindow::sliderChartLayoutZoomValueChanged);
    connect(ui->pushChartLayoutZoomIn, &QPushButton::clicked, this, &CVCMainWindow::actionChartLayoutZoomIn);
    connect(ui->pushChartLayoutZoomOut, &QPushButton::clicked, this, &CVCMainWindow::actionChartLayoutZoomOut);

    m_menuMeasuredPointZoom = CreateZoomMenu(kMeasuredPointZoomTable, this, {ui->sliderMeasuredPointZoom});
    ui->pushMeasuredPointZoom->setMenu(m_menuMeasuredPointZoom);
    connect(pointView, &CVCGraphicsView::ClearPatch, this, &CVCMainWindow::ClearSelectPatchData);
    connect(pointView, &CVCGraphicsView::PaintFinished, this, &CVCMainWindow::measurePointPaintFinished);
    connect(m_menuMeasuredPointZoom, &QMenu::triggered, this, &CVCMainWindow::menuMeasuredPointZoomTriggered);
    connect(this, &CVCMainWindow::menuMeasuredPointZoomTrigger, m_menuMeasuredPointZoom, &QMenu::triggered);
    connect(ui->sliderMeasuredPointZoom, &QSlider::valueChanged, this,
            &CVCMainWindow::sliderMeasuredPointZoomValueChanged);
    connect(ui->pushMeasuredPointZoomIn, &QPushButton::clicked, this, &CVCMainWindow::actionMeasuredPointZoomIn);
    connect(ui->pushMeasuredPointZoomOut, &QPushButton::clicked, this, &CVCMainWindow::actionMeasuredPointZoomOut);
}

void CVCMainWindow::ConnectMeasureDataSignals()
{
    BuildPatchValueTree(ui->treeMeasureData, ui->treeMeasureSetting);
}

void CVCMainWindow::paintEvent(QPaintEvent *event)
{
    KeepFitZoom(m_menuChartLayoutZoom, ui->sliderChartLayoutZoom, ui->graphicsViewChartLayout);
    KeepFitZoom(m_menuMeasuredPointZoom, ui->sliderMeasuredPointZoom, ui->graphicsViewMeasuredPoint);
    QMainWindow::paintEvent(event);
}

// ---- Zoom ---------------------------------------------------------------------------------------------------

void CVCMainWindow::menuChartLayoutZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->sliderChartLayoutZoom, ui->pushChartLayoutZoom,
                        ui->graphicsViewChartLayout->GetFitZoom());
}

void CVCMainWindow::menuMeasuredPointZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->sliderMeasuredPointZoom, ui->pushMeasuredPointZoom,
                        ui->graphicsViewMeasuredPoint->GetFitZoom());
}

void CVCMainWindow::sliderChartLayoutZoomValueChanged(int value)
{
    ui->graphicsViewChartLayout->SetZoom(value);
    SetZoomButtonText(value, ui->pushChartLayoutZoom);
}

void CVCMainWindow::sliderMeasuredPointZoomValueChanged(int value)
{
    ui->graphicsViewMeasuredPoint->SetZoom(value);
    SetZoomButtonText(value, ui->pushMeasuredPointZoom);
}

void CVCMainWindow::actionChartLayoutZoomIn()
{
    StepZoomSlider(ui->sliderChartLayoutZoom, 1);
}

void CVCMainWindow::actionChartLayoutZoomOut()
{
    StepZoomSlider(ui->sliderChartLayoutZoom, -1);
}

void CVCMainWindow::actionMeasuredPointZoomIn()
{
    StepZoomSlider(ui->sliderMeasuredPointZoom, 1);
}

void CVCMainWindow::actionMeasuredPointZoomOut()
{
    StepZoomSlider(ui->sliderMeasuredPointZoom, -1);
}

// A newly drawn page is fitted into the view once it has been laid out and painted.
void CVCMainWindow::chartLayoutPaintFinished()
{
    if (!m_chartLayoutPaintPending)
        return;
    m_chartLayoutPaintPending = false;
    emit menuChartLayoutZoomTrigger(m_menuChartLayoutZoom->actions().last());
}

void CVCMainWindow::measurePointPaintFinished()
{
    if (!m_measuredPointPaintPending)
        return;
    m_measuredPointPaintPending = false;
    emit menuMeasuredPointZoomTrigger(m_menuMeasuredPointZoom->actions().last());
}

// ---- Pages --------------------------------------------------------------------------------------------------

void CVCMainWindow::BuildChartLayoutPageMenu(const QList<unsigned> &pages, int pageCount)
{
    const unsigned first = RebuildPageMenu(this, ui->pushChartLayoutPage, pages, pageCount);
    if (first > 0)
        m_currentPage = int(first) - 1;
}

void CVCMainWindow::BuildMeasuredPointPageMenu(const QList<unsigned> &pages, int pageCount)
{
    const unsigned first = RebuildPageMenu(this, ui->pushMeasuredPointPage, pages, pageCount);
    if (first > 0)
        m_currentMeasuredPage = int(first) - 1;
}

bool CVCMainWindow::DrawChartLayoutPage(const ChartDefinitionDataSheets *chart, int page)
{
    // Page numbers come from documents on disk: one outside the chart draws nothing.
    if (!chart || !chart->Sheets || page < 1 || page > chart->SheetCount)
        return false;
    const ChartDefinitionData::Sheet &sheet = chart->Sheets[page - 1];
    ui->graphicsViewChartLayout->DrawSheet(&sheet, 0, 0, 0, nullptr);
    if (chart->Barcode == 1) {
        const int rect[4] = {sheet.BarcodeLeftTopX, sheet.BarcodeLeftTopY, sheet.BarcodeWidth, sheet.BarcodeHeight};
        ui->graphicsViewChartLayout->DrawBarcode(rect);
    }
    // SelectPatch works on the page the user sees.
    m_currentPage = page - 1;
    return true;
}

void CVCMainWindow::ResetChartCanvas()
{
    ui->graphicsViewChartLayout->Reset();
    ui->graphicsViewMeasuredPoint->Reset();
    // A document that cannot be shown keeps no page entries of the one shown before.
    BuildChartLayoutPageMenu({}, 0);
    BuildMeasuredPointPageMenu({}, 0);
    ui->pushMeasuredPointModifyPatch->setEnabled(false);
    ui->actionFileSaveMeasureData->setEnabled(false);
    ClearSelectPatchData();
}

// ---- Selection ----------------------------------------------------------------------------------------------

void CVCMainWindow::treeDesignationCurrentItemChanged(QTreeWidgetItem *item)
{
    if (!item) {
        ui->pushEditChart->setEnabled(false);
        ui->actionFileSaveMeasureData->setEnabled(false);
        return;
    }
    m_model->SetDataTreeMode(kDesignationTreeMode);
    ResetChartCanvas();
    ui->treeRecognition->clearSelection();
    ui->treeRecognition->setCurrentItem(nullptr);
    ui->pushEditChart->setEnabled(true);

    if (QTreeWidgetItem *chartItem = item->parent()) {
        const int chartId = ItemId(chartItem);
        if (m_model->SelectFileID(kSelectDesignationChart, chartId, 0) != 0 ||
            m_model->SelectFileID(kSelectDesignationMeasure, ItemId(item), chartId) != 0)
            return;
        const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
        MeasurementDataSheets *measurement = nullptr;
        if (!chart || m_model->GetMeasurementData(&measurement) != 0 || !measurement || !measurement->Sheets ||
            measurement->SheetCount < 1)
            return;
        const MeasurementData &entry = measurement->Sheets[0];
        if (!DrawChartLayoutPage(chart, entry.PageNumber))
            return;
        ui->graphicsViewChartLayout->ShowPatchColors(&entry);
        ui->graphicsViewMeasuredPoint->DrawMeasurement(&entry);
        const QList<unsigned> pages = m_model->GetMeasuredPageNumbers();
        BuildChartLayoutPageMenu(pages, chart->SheetCount);
        BuildMeasuredPointPageMenu(pages, chart->SheetCount);
        m_currentPage = entry.PageNumber - 1;
        m_currentMeasuredPage = entry.PageNumber - 1;
        m_chartLayoutPaintPending = true;
        m_measuredPointPaintPending = true;
        ui->pushMeasuredPointModifyPatch->setEnabled(true);
        ui->actionFileSaveMeasureData->setEnabled(true);
        return;
    }

    if (m_model->SelectFileID(kSelectDesignationChart, ItemId(item), 0) != 0)
        return;
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!DrawChartLayoutPage(chart, 1))
        return;
    const QList<unsigned> pages = m_model->GetChartPageNumbers();
    BuildChartLayoutPageMenu(pages, chart->SheetCount);
    BuildMeasuredPointPageMenu(pages, chart->SheetCount);
    m_chartLayoutPaintPending = true;
    m_measuredPointPaintPending = true;
}

void CVCMainWindow::treeRecognitionCurrentItemChanged(QTreeWidgetItem *item)
{
    if (!item)
        return;
    m_model->SetDataTreeMode(kRecognitionTreeMode);
    ResetChartCanvas();
    ui->treeDesignation->clearSelection();
    ui->treeDesignation->setCurrentItem(nullptr);
    ui->pushEditChart->setEnabled(false);

    const int id = ItemId(item);
    if (id < 1 || m_model->SelectFileID(kSelectRecognition, id, 0) != 0) {
        // "<Freeform Chart>" or a document that cannot be read: an empty single page at the default zoom.
        BuildChartLayoutPageMenu({1}, 1);
        BuildMeasuredPointPageMenu({1}, 1);
        ui->sliderChartLayoutZoom->setValue(kDefaultZoom);
        ui->sliderMeasuredPointZoom->setValue(kDefaultZoom);
        return;
    }
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!DrawChartLayoutPage(chart, 1))
        return;
    BuildChartLayoutPageMenu(m_model->GetChartPageNumbers(), chart->SheetCount);
    MeasurementDataSheets *measurement = nullptr;
    if (m_model->GetMeasurementData(&measurement) != 0 || !measurement || !measurement->Sheets ||
        measurement->SheetCount < 1)
        return;
    const MeasurementData &entry = measurement->Sheets[0];
    ui->graphicsViewChartLayout->ShowPatchColors(&entry);
    ui->graphicsViewMeasuredPoint->DrawMeasurement(&entry);
    BuildMeasuredPointPageMenu(m_model->GetMeasuredPageNumbers(), chart->SheetCount);
    m_chartLayoutPaintPending = true;
    m_measuredPointPaintPending = true;
    ui->pushMeasuredPointModifyPatch->setEnabled(true);
    ui->actionFileSaveMeasureData->setEnabled(true);
}

// ---- Patch display ------------------------------------------------------------------------------------------

void CVCMainWindow::ClearSelectPatchData()
{
    m_patchSelected = false;
    m_selectedArea = 0;
    m_selectedRow = 0;
    m_selectedColumn = 0;
    ClearPatchValueTree(ui->treeMeasureData);
    m_spectrumChart->removeAllSeries();
    m_axisY->setRange(0, 1.0);
    m_axisY->setTickCount(11);
}

void CVCMainWindow::ClearMeasuredPatchCount()
{
    ResetProgress();
}
