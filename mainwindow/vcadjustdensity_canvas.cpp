// The density window's canvas: the scanner, handheld and measured-point tabs with their page menus and zoom,
// the chart the model shows during a run, and the patch the user selected on a view.

#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

#include "app/constants.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "chart/vcdensitychartgraphicsview.h"
#include "chart/vchandychartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"

#include <QMenu>
#include <QPushButton>
#include <QSlider>

namespace {

// Chart-layout and measured-point zoom tables.
constexpr int kChartLayoutZoomTable = 0;
constexpr int kMeasuredPointZoomTable = 1;
// The model's barcode inset is given in pixels of a 300 dpi page.
constexpr int kBarcodeInsetDpi = 300;
// Patch display of a page the scanner is about to measure: each patch awaits its measured colour.
constexpr int kChartDisplayAwaiting = 1;

// The 0-based page an action of a page menu names; false when its data is no integer.
bool PageOfAction(const QAction *action, int *page)
{
    if (!action)
        return false;
    bool ok = false;
    *page = action->data().toInt(&ok);
    return ok;
}

// Checks the entry of `page` and no other. A refused choice puts the check back on the page shown: choosing an entry
// has already toggled it.
void CheckOnlyPage(const QMenu *menu, int page)
{
    if (!menu)
        return;
    for (QAction *action : menu->actions()) {
        bool ok = false;
        const int entry = action->data().toInt(&ok);
        action->setChecked(ok && entry == page);
    }
}

// Replaces the button's page menu: one checkable entry per page from two pages on, none below.
QMenu *RebuildPageMenu(QWidget *owner, QPushButton *button, int pageCount)
{
    if (QMenu *previous = button->menu()) {
        button->setMenu(nullptr);
        delete previous;
    }
    QMenu *menu = nullptr;
    if (pageCount >= 2) {
        menu = new QMenu(owner);
        for (int i = 0; i < pageCount; ++i) {
            QAction *action = menu->addAction(QString::number(i + 1));
            action->setCheckable(true);
            action->setData(i);
            action->setChecked(i == 0);
        }
        button->setMenu(menu);
    }
    button->setText(QStringLiteral("1 / %1").arg(pageCount));
    return menu;
}

// Draws page `page` of the chart, with the measured colours of that page when a density measurement is selected.
void DrawChartPage(CModel *model, CVCGraphicsView *view, int page)
{
    const ChartDefinitionDataSheets *chart = model->GetChartDefinition();
    if (!chart || !chart->Sheets || page < 0 || page >= chart->SheetCount)
        return;
    view->DrawSheet(&chart->Sheets[page], 0, 0, 0, nullptr);
    int kind = -1;
    model->GetSelectedFileID(nullptr, &kind);
    MeasurementDataSheets *measurement = nullptr;
    if (kind == CModel::KindDensityMeasure && model->GetMeasurementData(&measurement) == 0 && measurement &&
        measurement->Sheets && page < measurement->SheetCount)
        view->ShowPatchColors(&measurement->Sheets[page]);
}

// One zoom step within the slider's range; the view and the button follow even at a limit.
void StepZoom(QSlider *slider, CVCGraphicsView *view, QPushButton *button, int steps)
{
    StepZoomSlider(slider, steps);
    view->SetZoom(slider->value());
    SetZoomButtonText(slider->value(), button);
}

// While "Fit in the window" (the menu's last entry) is chosen the page follows the view's size; moving the slider
// unchecks the entry, so it is checked again.
void KeepFitZoom(const QMenu *zoomMenu, QSlider *slider, const CVCGraphicsView *view)
{
    if (!zoomMenu || zoomMenu->actions().isEmpty())
        return;
    QAction *fit = zoomMenu->actions().last();
    if (!fit->isChecked())
        return;
    slider->setValue(qBound(slider->minimum(), view->GetFitZoom(), slider->maximum()));
    fit->setChecked(true);
}

} // namespace

void CVCAdjustDensity::InitCanvasTabs()
{
    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();

    CVCDensityChartGraphicsView *chartView = ui->graphicsViewOrloChartLayout;
    if (environment)
        chartView->SetInkColorList(environment->Inks);
    chartView->SetBarcodeInset(PixelsToUnitFixed(kUnitMm, m_model->GetBarcodeInsetPixels(), kBarcodeInsetDpi));
    m_menuChartLayoutZoom = CreateZoomMenu(kChartLayoutZoomTable, this, {ui->hSliderOrloChartLayoutZoom});
    ui->pushOrloChartLayoutZoomSetting->setMenu(m_menuChartLayoutZoom);
    connect(this, &CVCAdjustDensity::chartLayoutSetDisplay, chartView, &CVCGraphicsView::SetDisplay);
    connect(chartView, &CVCGraphicsView::SelectPatch, this, &CVCAdjustDensity::SelectPatch);
    connect(chartView, &CVCGraphicsView::ClearPatch, this, &CVCAdjustDensity::ClearSelectPatchData);
    connect(chartView, &CVCGraphicsView::PaintFinished, this, &CVCAdjustDensity::chartLayoutPaintFinished);
    connect(m_menuChartLayoutZoom, &QMenu::triggered, this, &CVCAdjustDensity::menuChartLayoutZoomTriggered);
    connect(this, &CVCAdjustDensity::menuChartLayoutZoomTrigger, m_menuChartLayoutZoom, &QMenu::triggered);
    connect(ui->hSliderOrloChartLayoutZoom, &QSlider::valueChanged, this,
            &CVCAdjustDensity::sliderChartLayoutZoomValueChanged);
    connect(ui->pushChartLayoutZoomIn, &QPushButton::clicked, this, &CVCAdjustDensity::actionChartLayoutZoomIn);
    connect(ui->pushChartLayoutZoomOut, &QPushButton::clicked, this, &CVCAdjustDensity::actionChartLayoutZoomOut);

    CVCHandyChartGraphicsView *handyView = ui->graphicsViewHandyChartLayout;
    if (environment)
        handyView->SetInkColorList(environment->Inks);
    m_menuHandyChartLayoutZoom =
        CreateZoomMenu(kChartLayoutZoomTable, this, {ui->hSliderHandyDensitometerChartLayoutZoom});
    ui->pushHandyDensitometerChartLayoutZoomSetting->setMenu(m_menuHandyChartLayoutZoom);
    connect(this, &CVCAdjustDensity::HandyMeasurementFinished, handyView,
            &CVCHandyChartGraphicsView::HandyMeasurementFinished);
    connect(this, &CVCAdjustDensity::handyChartLayoutSetDisplay, handyView, &CVCGraphicsView::SetDisplay);
    connect(handyView, &CVCGraphicsView::SelectPatch, this, &CVCAdjustDensity::SelectPatch);
    connect(handyView, &CVCGraphicsView::ClearPatch, this, &CVCAdjustDensity::ClearSelectPatchData);
    connect(handyView, &CVCGraphicsView::PaintFinished, this, &CVCAdjustDensity::handyChartLayoutPaintFinished);
    connect(handyView, &CVCHandyChartGraphicsView::SetPatchPosition, this, &CVCAdjustDensity::SetHandyPatchPosition);
    connect(handyView, &CVCHandyChartGraphicsView::SetScanMode, this, &CVCAdjustDensity::SetHandyScanMode);
    connect(handyView, &CVCHandyChartGraphicsView::AllMeasurementFinished, this,
            &CVCAdjustDensity::handyChartLayoutAllMeasurementFinished);
    connect(m_menuHandyChartLayoutZoom, &QMenu::triggered, this,
            &CVCAdjustDensity::menuHandyChartLayoutZoomTriggered);
    connect(this, &CVCAdjustDensity::menuHandyChartLayoutZoomTrigger, m_menuHandyChartLayoutZoom,
            &QMenu::triggered);
    connect(ui->hSliderHandyDensitometerChartLayoutZoom, &QSlider::valueChanged, this,
            &CVCAdjustDensity::sliderHandyChartLayoutZoomValueChanged);
    connect(ui->pushHandyChartLayoutZoomIn, &QPushButton::clicked, this,
            &CVCAdjustDensity::actionHandyChartLayoutZoomIn);
    connect(ui->pushHandyChartLayoutZoomOut, &QPushButton::clicked, this,
            &CVCAdjustDensity::actionHandyChartLayoutZoomOut);
    connect(ui->pushHandyDensitometerChartLayoutCancel, &QPushButton::clicked, this,
            &CVCAdjustDensity::pushHandyDensitometerChartLayoutCancelClicked);
    connect(ui->pushHandyDensitometerChartLayoutMeasurement, &QPushButton::clicked, this,
            &CVCAdjustDensity::pushHandyDensitometerChartLayoutMeasurementClicked);

    // The measured-point view selects no patch.
    CVCMeasuredPointGraphicsView *pointView = ui->graphicsViewMeasuredPoint;
    m_menuMeasurePointZoom = CreateZoomMenu(kMeasuredPointZoomTable, this, {ui->hSliderMeasurementPointZoom});
    ui->pushMeasurementPointZoomSetting->setMenu(m_menuMeasurePointZoom);
    connect(pointView, &CVCGraphicsView::PaintFinished, this, &CVCAdjustDensity::measurePointPaintFinished);
    connect(m_menuMeasurePointZoom, &QMenu::triggered, this, &CVCAdjustDensity::menuMeasurePointZoomTriggered);
    connect(this, &CVCAdjustDensity::menuMeasurePointZoomTrigger, m_menuMeasurePointZoom, &QMenu::triggered);
    connect(ui->hSliderMeasurementPointZoom, &QSlider::valueChanged, this,
            &CVCAdjustDensity::sliderMeasurePointZoomValueChanged);
    connect(ui->pushMeasurePointZoomIn, &QPushButton::clicked, this, &CVCAdjustDensity::actionMeasurePointZoomIn);
    connect(ui->pushMeasurePointZoomOut, &QPushButton::clicked, this, &CVCAdjustDensity::actionMeasurePointZoomOut);
}

void CVCAdjustDensity::KeepFittedViews()
{
    KeepFitZoom(m_menuChartLayoutZoom, ui->hSliderOrloChartLayoutZoom, ui->graphicsViewOrloChartLayout);
    KeepFitZoom(m_menuMeasurePointZoom, ui->hSliderMeasurementPointZoom, ui->graphicsViewMeasuredPoint);
    KeepFitZoom(m_menuHandyChartLayoutZoom, ui->hSliderHandyDensitometerChartLayoutZoom,
                ui->graphicsViewHandyChartLayout);
}

// ---- Chart shown by the model -------------------------------------------------------------------------------

void CVCAdjustDensity::SetChartDisplay(ChartDefinitionDataSheets *pData, uint currentSheet, uint unit)
{
    Q_UNUSED(unit)
    // currentSheet counts from 1; a page the chart does not hold is not drawn.
    if (!pData || !pData->Sheets || currentSheet < 1 || currentSheet > uint(pData->SheetCount))
        return;
    ui->graphicsViewOrloChartLayout->DrawSheet(&pData->Sheets[currentSheet - 1], 0, 0, 0, nullptr);
    BuildChartLayoutPageMenu(pData->SheetCount);
    // The builder made the first page current; the page on screen is the one the scanner reports.
    const QMenu *menu = ui->pushOrloChartLayoutPage->menu();
    if (QAction *action = currentSheet > 1 && menu ? menu->actions().value(int(currentSheet) - 1) : nullptr) {
        menuChartLayoutPageTriggered(action);
        action->setChecked(true);
    }
    // After the hand-over, which draws the page again: every page of a run awaits its measurement alike.
    emit chartLayoutSetDisplay(kChartDisplayAwaiting);
    ui->pushOrloChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(currentSheet).arg(pData->SheetCount));
    m_newChartDisplay = true;
    ClearSelectPatchData();
}

// ---- Page menus ---------------------------------------------------------------------------------------------

void CVCAdjustDensity::BuildChartLayoutPageMenu(int pageCount)
{
    // A page chosen on either scanner-mode tab is shown on both.
    if (QMenu *menu = RebuildPageMenu(this, ui->pushOrloChartLayoutPage, pageCount)) {
        connect(menu, &QMenu::triggered, this, &CVCAdjustDensity::menuChartLayoutPageTriggered);
        connect(menu, &QMenu::triggered, this, &CVCAdjustDensity::menuMeasurePointPageTriggered);
    }
    m_chartLayoutPage = 0;
}

// The new menu starts at its first page on every tab: a page index kept from the chart shown before would make the
// same page of the new chart unselectable.
void CVCAdjustDensity::BuildHandyChartLayoutPageMenu(int pageCount)
{
    if (QMenu *menu = RebuildPageMenu(this, ui->pushHandyDensitometerChartLayoutPage, pageCount))
        connect(menu, &QMenu::triggered, this, &CVCAdjustDensity::menuHandyChartLayoutPageTriggered);
    m_handyPage = 0;
}

void CVCAdjustDensity::BuildMeasurePointPageMenu(int pageCount)
{
    if (QMenu *menu = RebuildPageMenu(this, ui->pushMeasurementPointPage, pageCount)) {
        connect(menu, &QMenu::triggered, this, &CVCAdjustDensity::menuMeasurePointPageTriggered);
        connect(menu, &QMenu::triggered, this, &CVCAdjustDensity::menuChartLayoutPageTriggered);
    }
    m_measurePointPage = 0;
}

// ---- Page choice --------------------------------------------------------------------------------------------

void CVCAdjustDensity::menuChartLayoutPageTriggered(QAction *action)
{
    QMenu *menu = ui->pushOrloChartLayoutPage->menu();
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    int page = 0;
    if (!PageOfAction(action, &page) || page == m_chartLayoutPage || !chart || page < 0 ||
        page >= chart->SheetCount) {
        CheckOnlyPage(menu, m_chartLayoutPage);
        return;
    }
    m_chartLayoutPage = page;
    DrawChartPage(m_model, ui->graphicsViewOrloChartLayout, page);
    ui->pushOrloChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(action->text()).arg(chart->SheetCount));
    CheckOnlyPage(menu, page);
}

void CVCAdjustDensity::menuHandyChartLayoutPageTriggered(QAction *action)
{
    QMenu *menu = ui->pushHandyDensitometerChartLayoutPage->menu();
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    int page = 0;
    if (!PageOfAction(action, &page) || page == m_handyPage || !chart || page < 0 || page >= chart->SheetCount) {
        CheckOnlyPage(menu, m_handyPage);
        return;
    }
    m_handyPage = page;
    DrawChartPage(m_model, ui->graphicsViewHandyChartLayout, page);
    const int actionCount = menu ? menu->actions().size() : 0;
    ui->pushHandyDensitometerChartLayoutPage->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(actionCount));
    CheckOnlyPage(menu, page);
}

void CVCAdjustDensity::menuMeasurePointPageTriggered(QAction *action)
{
    QMenu *menu = ui->pushMeasurementPointPage->menu();
    // Only a page the measurement holds an entry for is shown; otherwise the tab stays as it is.
    MeasurementDataSheets *measurement = nullptr;
    int page = 0;
    if (!PageOfAction(action, &page) || page == m_measurePointPage || m_model->GetMeasurementData(&measurement) != 0 ||
        !measurement || !measurement->Sheets || page < 0 || page >= measurement->SheetCount) {
        CheckOnlyPage(menu, m_measurePointPage);
        return;
    }
    m_measurePointPage = page;
    ui->graphicsViewMeasuredPoint->DrawMeasurement(&measurement->Sheets[page]);
    ui->pushMeasurementPointPage->setText(
        QStringLiteral("%1 / %2").arg(action->text()).arg(measurement->SheetCount));
    CheckOnlyPage(menu, page);
}

// ---- Zoom ---------------------------------------------------------------------------------------------------

void CVCAdjustDensity::menuChartLayoutZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->hSliderOrloChartLayoutZoom, ui->pushOrloChartLayoutZoomSetting,
                        ui->graphicsViewOrloChartLayout->GetFitZoom());
}

void CVCAdjustDensity::menuHandyChartLayoutZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->hSliderHandyDensitometerChartLayoutZoom,
                        ui->pushHandyDensitometerChartLayoutZoomSetting,
                        ui->graphicsViewHandyChartLayout->GetFitZoom());
}

void CVCAdjustDensity::menuMeasurePointZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->hSliderMeasurementPointZoom, ui->pushMeasurementPointZoomSetting,
                        ui->graphicsViewMeasuredPoint->GetFitZoom());
}

void CVCAdjustDensity::sliderChartLayoutZoomValueChanged(int value)
{
    ui->graphicsViewOrloChartLayout->SetZoom(value);
    SetZoomButtonText(value, ui->pushOrloChartLayoutZoomSetting);
}

void CVCAdjustDensity::sliderHandyChartLayoutZoomValueChanged(int value)
{
    ui->graphicsViewHandyChartLayout->SetZoom(value);
    SetZoomButtonText(value, ui->pushHandyDensitometerChartLayoutZoomSetting);
}

void CVCAdjustDensity::sliderMeasurePointZoomValueChanged(int value)
{
    ui->graphicsViewMeasuredPoint->SetZoom(value);
    SetZoomButtonText(value, ui->pushMeasurementPointZoomSetting);
}

void CVCAdjustDensity::actionChartLayoutZoomIn()
{
    StepZoom(ui->hSliderOrloChartLayoutZoom, ui->graphicsViewOrloChartLayout, ui->pushOrloChartLayoutZoomSetting, 1);
}

void CVCAdjustDensity::actionChartLayoutZoomOut()
{
    StepZoom(ui->hSliderOrloChartLayoutZoom, ui->graphicsViewOrloChartLayout, ui->pushOrloChartLayoutZoomSetting,
             -1);
}

void CVCAdjustDensity::actionHandyChartLayoutZoomIn()
{
    StepZoom(ui->hSliderHandyDensitometerChartLayoutZoom, ui->graphicsViewHandyChartLayout,
             ui->pushHandyDensitometerChartLayoutZoomSetting, 1);
}

void CVCAdjustDensity::actionHandyChartLayoutZoomOut()
{
    StepZoom(ui->hSliderHandyDensitometerChartLayoutZoom, ui->graphicsViewHandyChartLayout,
             ui->pushHandyDensitometerChartLayoutZoomSetting, -1);
}

void CVCAdjustDensity::actionMeasurePointZoomIn()
{
    StepZoom(ui->hSliderMeasurementPointZoom, ui->graphicsViewMeasuredPoint, ui->pushMeasurementPointZoomSetting, 1);
}

void CVCAdjustDensity::actionMeasurePointZoomOut()
{
    StepZoom(ui->hSliderMeasurementPointZoom, ui->graphicsViewMeasuredPoint, ui->pushMeasurementPointZoomSetting,
             -1);
}

// A newly shown chart is fitted into the view once it has been laid out and painted.
void CVCAdjustDensity::chartLayoutPaintFinished()
{
    if (!m_newChartDisplay)
        return;
    m_newChartDisplay = false;
    emit menuChartLayoutZoomTrigger(m_menuChartLayoutZoom->actions().last());
}

void CVCAdjustDensity::handyChartLayoutPaintFinished()
{
    if (!m_newHandyDisplay)
        return;
    m_newHandyDisplay = false;
    emit menuHandyChartLayoutZoomTrigger(m_menuHandyChartLayoutZoom->actions().last());
}

void CVCAdjustDensity::measurePointPaintFinished()
{
    if (!m_newMeasurePointDisplay)
        return;
    m_newMeasurePointDisplay = false;
    emit menuMeasurePointZoomTrigger(m_menuMeasurePointZoom->actions().last());
}

// ---- Selected patch -----------------------------------------------------------------------------------------

void CVCAdjustDensity::SelectPatch(int area, int row, int column)
{
    m_patchSelected = true;
    m_selectedArea = area;
    m_selectedRow = row;
    m_selectedColumn = column;
    ShowSelectedPatchValues(area, row, column);
}

void CVCAdjustDensity::ClearSelectPatchData()
{
    m_patchSelected = false;
    m_selectedArea = 0;
    m_selectedRow = 0;
    m_selectedColumn = 0;
    ClearPatchValueTree(ui->treeMeasurementData);
}

void CVCAdjustDensity::tabChartCanvasCurrentChanged(int index)
{
    if (index == m_currentTab)
        return;
    m_currentTab = index;
    ClearSelectPatchData();
}
