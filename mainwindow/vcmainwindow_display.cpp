// The chart canvas: pages and zoom of both tabs, the selection handlers that draw the chosen document, the model's
// display signals during a run, the values and spectra of the selected patch, and the patch-area editor.

#include "mainwindow/vcmainwindow.h"
#include "ui_mainwindow.h"

#include "app/constants.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "chart/vcmodifypatcharea.h"
#include "mainwindow/measureprogress.h"

#include <QMenu>
#include <QPaintEvent>
#include <QtCharts/QChart>
#include <QtCharts/QValueAxis>

#include <cstring>

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
constexpr int kNoChartResult = 116;
constexpr int kPaperWhiteMissingResult = 124;
constexpr int kPaperWhiteMissingMessage = 33;
constexpr int kMainWindowBlock = 0;
constexpr int kDensityShown = 1;
constexpr int kPaperWhiteReference = 1;
// Results of the patch-area editor.
constexpr int kEditorRegisteredChart = 1;
constexpr int kEditorMeasurement = 2;
constexpr int kChartLayoutTab = 0;
constexpr int kPreScanningState = 5;

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
    connect(chartView, &CVCGraphicsView::SelectPatch, this, &CVCMainWindow::SelectPatch);
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
    connect(ui->pushMeasuredPointModifyPatch, &QPushButton::clicked, this,
            &CVCMainWindow::pushMeasuredPointModifyPatchClicked);
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
    // A page chosen on either tab is shown on both.
    if (QMenu *menu = ui->pushChartLayoutPage->menu()) {
        connect(menu, &QMenu::triggered, this, &CVCMainWindow::menuMeasuredPointPageTriggered);
        connect(menu, &QMenu::triggered, this, &CVCMainWindow::menuChartLayoutPageTriggered);
    }
}

void CVCMainWindow::BuildMeasuredPointPageMenu(const QList<unsigned> &pages, int pageCount)
{
    const unsigned first = RebuildPageMenu(this, ui->pushMeasuredPointPage, pages, pageCount);
    if (first > 0)
        m_currentMeasuredPage = int(first) - 1;
    if (QMenu *menu = ui->pushMeasuredPointPage->menu()) {
        connect(menu, &QMenu::triggered, this, &CVCMainWindow::menuMeasuredPointPageTriggered);
        connect(menu, &QMenu::triggered, this, &CVCMainWindow::menuChartLayoutPageTriggered);
    }
}

void CVCMainWindow::CheckPageEntry(QPushButton *button, int page)
{
    if (!button->menu())
        return;
    const QString text = QString::number(page);
    for (QAction *action : button->menu()->actions())
        action->setChecked(action->text() == text);
}

int CVCMainWindow::MeasuredEntryIndex(int page)
{
    MeasurementDataSheets *measurement = nullptr;
    if (m_model->GetMeasurementData(&measurement) != 0 || !measurement || !measurement->Sheets)
        return -1;
    for (int i = 0; i < measurement->SheetCount; ++i) {
        if (measurement->Sheets[i].PageNumber == page)
            return i;
    }
    return -1;
}

void CVCMainWindow::DrawMeasuredPointPage(int page)
{
    const int entry = MeasuredEntryIndex(page);
    MeasurementDataSheets *measurement = nullptr;
    if (entry < 0 || m_model->GetMeasurementData(&measurement) != 0 || !measurement) {
        ui->graphicsViewMeasuredPoint->Reset();
        return;
    }
    ui->graphicsViewMeasuredPoint->DrawMeasurement(&measurement->Sheets[entry]);
}

void CVCMainWindow::menuChartLayoutPageTriggered(QAction *action)
{
    // The entry names the page; it is shown and becomes the page SelectPatch computes for.
    const int page = action ? action->text().toInt() : 0;
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!DrawChartLayoutPage(chart, page))
        return;
    CheckPageEntry(ui->pushChartLayoutPage, page);
    int kind = -1;
    m_model->GetSelectedFileID(nullptr, &kind);
    if (kind == kSelectRecognition || kind == kSelectDesignationMeasure) {
        const int entry = MeasuredEntryIndex(page);
        MeasurementDataSheets *measurement = nullptr;
        if (entry >= 0 && m_model->GetMeasurementData(&measurement) == 0 && measurement)
            ui->graphicsViewChartLayout->ShowPatchColors(&measurement->Sheets[entry]);
    }
    ui->pushChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(page).arg(chart->SheetCount));
    m_chartLayoutPaintPending = true;
}

void CVCMainWindow::menuMeasuredPointPageTriggered(QAction *action)
{
    const int page = action ? action->text().toInt() : 0;
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!chart || page < 1 || page > chart->SheetCount)
        return;
    m_currentMeasuredPage = page - 1;
    CheckPageEntry(ui->pushMeasuredPointPage, page);
    DrawMeasuredPointPage(page);
    ui->pushMeasuredPointPage->setText(QStringLiteral("%1 / %2").arg(page).arg(chart->SheetCount));
    m_measuredPointPaintPending = true;
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
    ClearSpectrumGraph(false);
}

void CVCMainWindow::ClearSpectrumGraph(bool tall)
{
    m_spectrumChart->removeAllSeries();
    m_axisY->setRange(0, tall ? 1.5 : 1.0);
    m_axisY->setTickCount(tall ? 16 : 11);
}

void CVCMainWindow::ClearMeasuredPatchCount()
{
    ResetProgress();
}

int CVCMainWindow::SetChartDisplay(ChartDefinitionDataSheets *pData, uint currentSheet, uint unit,
                                   uint allPatchNumber, uint meausreMethod)
{
    Q_UNUSED(unit)
    Q_UNUSED(allPatchNumber)
    if (!pData)
        return kNoChartResult;
    const int page = int(currentSheet);
    if (!DrawChartLayoutPage(pData, page))
        return 0;
    if (meausreMethod == 1)
        emit SetDisplay(1);
    QList<unsigned> pages = m_model->GetMeasuredPageNumbers();
    if (!pages.contains(currentSheet))
        pages.append(currentSheet);
    BuildChartLayoutPageMenu(pages, pData->SheetCount);
    // The builder makes the first listed page current; the recognised one is on screen.
    m_currentPage = page - 1;
    CheckPageEntry(ui->pushChartLayoutPage, page);
    ui->pushChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(page).arg(pData->SheetCount));
    m_chartLayoutPaintPending = true;
    ClearSelectPatchData();
    return 0;
}

void CVCMainWindow::SetMeasuredPointDisplay(MeasurementData *pData, uint currentSheet, uint chartSheets)
{
    if (pData)
        ui->graphicsViewMeasuredPoint->DrawMeasurement(pData);
    else
        ui->graphicsViewMeasuredPoint->Reset();
    QList<unsigned> pages = m_model->GetMeasuredPageNumbers();
    if (!pages.contains(currentSheet))
        pages.append(currentSheet);
    BuildMeasuredPointPageMenu(pages, int(chartSheets));
    m_currentMeasuredPage = int(currentSheet) - 1;
    CheckPageEntry(ui->pushMeasuredPointPage, int(currentSheet));
    ui->pushMeasuredPointPage->setText(QStringLiteral("%1 / %2").arg(currentSheet).arg(chartSheets));
    m_measuredPointPaintPending = true;
}

void CVCMainWindow::SetPatchColorDisplay(uint measuredIndex, uint allPatchNumber, int area, int row, int column,
                                         uint colorSpace, float color1, float color2, float color3, float color4,
                                         float color5, float color6, float color7, float color8)
{
    const MeasureProgress progress = MeasuredPatchProgress(measuredIndex, allPatchNumber);
    emit setProgressMeasurement(progress.percent);
    emit setMeasuredPatchCount(progress.count);

    ChartDefinitionData::PatchColor patch{};
    patch.ID = 0;
    patch.Area = area;
    patch.Row = row;
    patch.Column = column;
    patch.ColorFormat = int(colorSpace);
    const float values[8] = {color1, color2, color3, color4, color5, color6, color7, color8};
    std::memcpy(patch.ColorValue, values, sizeof values);
    emit ui->graphicsViewChartLayout->SetPatchColor(patch);
}

void CVCMainWindow::SetDesignationErrorDisplay(int measureCurrentPageNo)
{
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    MeasurementDataSheets *measurement = nullptr;
    if (!chart || m_model->GetMeasurementData(&measurement) != 0 || !measurement || !measurement->Sheets ||
        measureCurrentPageNo < 0 || measureCurrentPageNo >= measurement->SheetCount)
        return;
    const MeasurementData &entry = measurement->Sheets[measureCurrentPageNo];
    if (!DrawChartLayoutPage(chart, entry.PageNumber))
        return;
    ui->graphicsViewChartLayout->ShowPatchColors(&entry);
    ui->graphicsViewMeasuredPoint->DrawMeasurement(&entry);

    const QList<unsigned> pages = m_model->GetMeasuredPageNumbers();
    BuildChartLayoutPageMenu(pages, chart->SheetCount);
    BuildMeasuredPointPageMenu(pages, chart->SheetCount);
    // Entries are stored in the order they were measured: the buttons name the page on screen.
    const QString text = QStringLiteral("%1 / %2").arg(entry.PageNumber).arg(chart->SheetCount);
    for (QPushButton *button : {ui->pushChartLayoutPage, ui->pushMeasuredPointPage}) {
        CheckPageEntry(button, entry.PageNumber);
        button->setText(text);
    }
    m_currentPage = entry.PageNumber - 1;
    m_currentMeasuredPage = entry.PageNumber - 1;
    m_chartLayoutPaintPending = true;
    m_measuredPointPaintPending = true;
    ClearSelectPatchData();
}

void CVCMainWindow::UpdatedBarcodeData()
{
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (!chart || chart->Barcode != 1 || !chart->Sheets || m_currentPage < 0 || m_currentPage >= chart->SheetCount)
        return;
    const ChartDefinitionData::Sheet &sheet = chart->Sheets[m_currentPage];
    const int rect[4] = {sheet.BarcodeLeftTopX, sheet.BarcodeLeftTopY, sheet.BarcodeWidth, sheet.BarcodeHeight};
    ui->graphicsViewChartLayout->DrawBarcode(rect);
}

// ---- Selected patch -----------------------------------------------------------------------------------------

void CVCMainWindow::SelectPatch(int area, int row, int column)
{
    m_patchSelected = true;
    m_selectedArea = area;
    m_selectedRow = row;
    m_selectedColumn = column;
    const Setting::MeasureConditionSetting *stored = m_model->GetMeasurementCondition(kMainWindowBlock);
    if (!stored)
        return;
    const Setting::MeasureConditionSetting conditions = *stored;

    PatchDisplayValues values;
    std::memset(&values, 0, sizeof values);
    values.PageNumber = m_currentPage + 1;
    values.Area = area;
    values.Row = row;
    values.Column = column;
    // The defined colour of the page on screen; the model's own page index follows the scanner's run.
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    ChartDefinitionData::PatchColor defined;
    if (chart && chart->Sheets && m_currentPage >= 0 && m_currentPage < chart->SheetCount &&
        FindChartPatch(chart->Sheets[m_currentPage].Patches.get(), chart->Sheets[m_currentPage].PatchCount, area,
                       row, column, &defined)) {
        values.ID = defined.ID;
        values.ColorFormat = defined.ColorFormat;
        std::memcpy(values.ColorValue, defined.ColorValue, sizeof values.ColorValue);
    }

    QVector<int> ids = MeasurementConditionIdsFromMask(conditions.ConditionMask);
    if (ids.size() > kDisplayConditionCount)
        ids.resize(kDisplayConditionCount);
    bool calculated = false;
    bool measured = false;
    int kind = -1;
    m_model->GetSelectedFileID(nullptr, &kind);
    const bool paperWhite =
        conditions.DensityShown == kDensityShown && conditions.WhiteReference == kPaperWhiteReference;
    if (paperWhite && (kind == kSelectRecognition ||
                       (kind == kSelectDesignationMeasure && !m_model->SetPaperWhiteFromMeasurement()))) {
        m_model->ReportError(kPaperWhiteMissingResult, kPaperWhiteMissingMessage, false);
        setMeasureSettingWhiteRefCurrentIndex(0);
    } else {
        // The values are those of the page on screen, wherever the run stored it among the entries.
        const int entry = MeasuredEntryIndex(m_currentPage + 1);
        for (int k = 0; entry >= 0 && k < ids.size(); ++k) {
            bool spectral = false;
            m_model->CalculatePatchColor(values.Values[k], &spectral, entry, area, row, column, ids.at(k),
                                         conditions);
            measured = measured || spectral;
        }
        m_model->CalculateSamePatchAverage(values, ids, conditions);
        calculated = true;
    }
    ShowPatchValues(ui->treeMeasureData, ui->treeMeasureSetting, values, measured);

    bool tall = false;
    for (int k = 0; k < ids.size() && !tall; ++k) {
        for (int i = 0; i < kPatchValueSpectralCount && !tall; ++i)
            tall = values.Values[k][kPatchValueSpectralFirst + i] > 1.0f;
    }
    ClearSpectrumGraph(tall);
    if (calculated && !ids.isEmpty())
        AddSpectralSeries(m_spectrumChart, m_axisX, m_axisY, ids, values, ui->treeMeasureSetting);
}

void CVCMainWindow::ReshowSelectedPatch()
{
    if (m_shown && m_patchSelected)
        SelectPatch(m_selectedArea, m_selectedRow, m_selectedColumn);
}

// ---- Edit measurement points --------------------------------------------------------------------------------

void CVCMainWindow::pushMeasuredPointModifyPatchClicked()
{
    if (m_model->CheckDesignationChartLimit())
        return;
    const int entry = qMax(MeasuredEntryIndex(m_currentMeasuredPage + 1), 0);
    m_model->SetAppStatus(CModel::StatusPatchAreaEdit);
    int result = 0;
    {
        CVCModifyPatchArea editor(this, m_model, entry, m_model->IsOrloPrescanCompleted());
        result = CUiPresenter::Current().Exec(&editor);
    }

    if (result == kEditorRegisteredChart) {
        ui->tabChartCanvas->setCurrentIndex(kChartLayoutTab);
        const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
        const int page = m_currentPage;
        BuildChartLayoutPageMenu(m_model->GetChartPageNumbers(), chart ? chart->SheetCount : 0);
        // The page on screen stays the current one.
        m_currentPage = page;
        CheckPageEntry(ui->pushChartLayoutPage, page + 1);
        if (chart)
            ui->pushChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(chart->SheetCount));
        m_chartLayoutPaintPending = true;
        const bool patches = chart && chart->Sheets && page >= 0 && page < chart->SheetCount &&
                             chart->Sheets[page].PatchCount > 0;
        emit setMeasurementRestartEnable(patches && m_model->IsOrloPrescanCompleted());
        // Measurement then re-runs patch recognition for the chart just registered.
        m_restartMode = 1;
    } else if (result == kEditorMeasurement) {
        MeasurementDataSheets *measurement = nullptr;
        if (m_model->GetMeasurementData(&measurement) == 0 && measurement) {
            ui->tabChartCanvas->setCurrentIndex(kChartLayoutTab);
            m_chartLayoutPaintPending = true;
            DrawMeasuredPointPage(m_currentMeasuredPage + 1);
            DrawChartLayoutPage(m_model->GetChartDefinition(), m_currentPage + 1);
            if (m_model->RestartOrloPatchRecognition(false) == 0)
                m_model->SetOrloStatus(kPreScanningState);
        }
    }
    m_model->SetAppStatus(CModel::StatusMainWindow);
}
