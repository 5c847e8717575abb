#include "chart/vcmodifypatcharea.h"

#include "ui_modifypatchareadialog.h"

#include "app/colourhelpers.h"
#include "app/constants.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "chart/vcaddmeasurepoint.h"
#include "chart/vcmeasuredpointgraphicspatch.h"
#include "chart/vcmodifychart.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QUndoStack>

#include <algorithm>

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

namespace {

// Messages of the table the model shows.
constexpr int kMessageDataUnusable = 3;
constexpr int kMessageTooManyAreas = 18;
constexpr int kMessageReplaceFailed = 24;
constexpr int kMessageRecognitionResult = 26;
constexpr int kMessageRegisterFailed = 58;

// The working buffer's results the editor tells apart.
constexpr int kBufferIndexOutOfRange = 50009;
constexpr int kBufferTooManyAreas = 50012;

} // namespace

// ---- DeleteCommand ----------------------------------------------------------------------------------------------

DeleteCommand::DeleteCommand(QGraphicsScene *scene, QUndoCommand *parent) : QUndoCommand(parent), m_scene(scene)
{
    for (QGraphicsItem *item : scene->selectedItems()) {
        auto *marker = dynamic_cast<CVCMeasuredPointGraphicsPatch *>(item);
        if (!marker)
            continue;
        marker->setSelected(false);
        m_items.append(marker);
    }
    setText(QCoreApplication::translate("ModifyPatchAreaDialog", "Delete"));
}

DeleteCommand::~DeleteCommand()
{
    for (CVCMeasuredPointGraphicsPatch *item : qAsConst(m_items)) {
        if (!item->scene())
            delete item;
    }
}

void DeleteCommand::redo()
{
    for (CVCMeasuredPointGraphicsPatch *item : qAsConst(m_items))
        m_scene->removeItem(item);
}

void DeleteCommand::undo()
{
    for (CVCMeasuredPointGraphicsPatch *item : qAsConst(m_items))
        m_scene->addItem(item);
    m_scene->update();
}

// ---- Construction -----------------------------------------------------------------------------------------------

CVCModifyPatchArea::CVCModifyPatchArea(QWidget *parent, CModel *model, int pageIndex, bool prescanCompleted)
    : CVCDialog(parent),
      ui(new Ui::ModifyPatchAreaDialog),
      m_model(model),
      m_prescanCompleted(prescanCompleted),
      m_currentPage(pageIndex)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    // Designer reaches only the view widget, not the viewport the mouse is over.
    ui->graphicsView->viewport()->setCursor(Qt::CrossCursor);

    const int checked = checkModelData();
    if (checked != 0)
        m_model->ReportError(checked, kMessageDataUnusable, false);
    else
        loadCopies();

    setUpButtons();
    if (m_usable)
        setUpPageMenu();
    QMenu *zoomMenu = CreateZoomMenu(1, this, {ui->sliderZoom});
    ui->pushZoomSetting->setMenu(zoomMenu);
    connect(zoomMenu, &QMenu::triggered, this, &CVCModifyPatchArea::menuZoomTriggered);
    connect(ui->sliderZoom, &QSlider::valueChanged, this, &CVCModifyPatchArea::sliderZoomValueChanged);
    connect(ui->pushZoomIn, &QToolButton::clicked, this, &CVCModifyPatchArea::pushMeasurePointZoomIn);
    connect(ui->pushZoomOut, &QToolButton::clicked, this, &CVCModifyPatchArea::pushMeasurePointZoomOut);

    connect(ui->graphicsView, &CVCEditMeasuredPointGraphicsView::rectSelectedSingle, this,
            &CVCModifyPatchArea::rectSelectedSingle);
    connect(ui->graphicsView, &CVCEditMeasuredPointGraphicsView::rectSelectedMulti, this,
            &CVCModifyPatchArea::rectSelectedMulti);
    connect(ui->graphicsView, &CVCEditMeasuredPointGraphicsView::rectSelectedClear, this,
            &CVCModifyPatchArea::rectSelectedClear);
    if (m_usable)
        ui->graphicsView->DrawMeasurement(&currentEntry());
}

CVCModifyPatchArea::~CVCModifyPatchArea()
{
    // Commands free the markers they hold outside the scene, so they go before the view and its scene.
    m_undoStack.reset();
}

int CVCModifyPatchArea::checkModelData()
{
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    MeasurementDataSheets *measurement = nullptr;
    const int result = m_model->GetMeasurementData(&measurement);
    if (result != 0)
        return result;
    if (!chart || !chart->Sheets || chart->SheetCount < 1 || !measurement || !measurement->Sheets
        || m_currentPage < 0 || m_currentPage >= measurement->SheetCount)
        return kBufferIndexOutOfRange;
    for (int e = 0; e < measurement->SheetCount; ++e) {
        const int number = measurement->Sheets[e].PageNumber;
        if (number < 0 || number > chart->SheetCount)
            return kBufferIndexOutOfRange;
    }
    return 0;
}

void CVCModifyPatchArea::loadCopies()
{
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    MeasurementDataSheets *measurement = nullptr;
    m_model->GetMeasurementData(&measurement);
    CopyChartDefinitionData(&m_chart, *chart);
    for (int s = 0; s < m_chart.SheetCount; ++s) {
        const Sheet &sheet = m_chart.Sheets[s];
        if (sheet.Patches && sheet.PatchCount > 0)
            m_newColorFormat = sheet.Patches[sheet.PatchCount - 1].ColorFormat;
    }
    CopyMeasureFileData(&m_measurement, *measurement);
    if (m_chart.ChartPatchCount != m_measurement.RecordCount) {
        PatchAreaCore::RecolourFromMeasurement(&m_chart, m_measurement,
                                               [this](int format) { return m_model->GetColorDefaultValue(format); });
    }
    m_usable = true;
}

void CVCModifyPatchArea::setUpButtons()
{
    m_undoStack.reset(new QUndoStack);
    m_deleteAction = new QAction(this);
    m_deleteAction->setShortcut(QKeySequence(Qt::Key_Delete));
    m_undoAction = m_undoStack->createUndoAction(this, QString());
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_redoAction = m_undoStack->createRedoAction(this, QString());
    m_redoAction->setShortcuts(QKeySequence::Redo);
    ui->pushUndo->setEnabled(false);
    ui->pushRedo->setEnabled(false);
    connect(m_deleteAction, &QAction::triggered, this, &CVCModifyPatchArea::DeleteItem);
    connect(ui->pushDelete, &QToolButton::clicked, this, &CVCModifyPatchArea::pushDelete);
    connect(ui->pushUndo, &QToolButton::clicked, this, &CVCModifyPatchArea::pushUndo);
    connect(ui->pushRedo, &QToolButton::clicked, this, &CVCModifyPatchArea::pushRedo);

    m_buttonBox = new QDialogButtonBox(this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    struct BoxButton {
        QPushButton **button;
        const char *name;
        const char *text;
        QDialogButtonBox::ButtonRole role;
    };
    const BoxButton buttons[] = {
        {&m_pushStartMeasurement, "pushStartMeasurement", QT_TRANSLATE_NOOP("ModifyPatchAreaDialog", "Measurement"),
         QDialogButtonBox::AcceptRole},
        {&m_pushRegisterChart, "pushRegisterChart", QT_TRANSLATE_NOOP("ModifyPatchAreaDialog", "Register Chart"),
         QDialogButtonBox::AcceptRole},
        {&m_pushCancel, "pushCancel", QT_TRANSLATE_NOOP("ModifyPatchAreaDialog", "Cancel"),
         QDialogButtonBox::RejectRole},
        {&m_pushAddMeasurePoint, "pushAddMeasurePoint",
         QT_TRANSLATE_NOOP("ModifyPatchAreaDialog", "Add Measure Point"), QDialogButtonBox::ResetRole},
        {&m_pushClipping, "pushClipping", QT_TRANSLATE_NOOP("ModifyPatchAreaDialog", "Clipping Chart"),
         QDialogButtonBox::ResetRole},
    };
    for (const BoxButton &entry : buttons) {
        *entry.button = m_buttonBox->addButton(QCoreApplication::translate("ModifyPatchAreaDialog", entry.text),
                                               entry.role);
        (*entry.button)->setObjectName(QLatin1String(entry.name));
    }
    ui->horizontalLayoutButton->addWidget(m_buttonBox);
    connect(m_pushStartMeasurement, &QPushButton::clicked, this, &CVCModifyPatchArea::pushStartMeasurement);
    connect(m_pushRegisterChart, &QPushButton::clicked, this, &CVCModifyPatchArea::pushRegisterChart);
    connect(m_pushCancel, &QPushButton::clicked, this, &CVCModifyPatchArea::pushCancel);
    connect(m_pushAddMeasurePoint, &QPushButton::clicked, this, &CVCModifyPatchArea::pushAddMeasurePoint);
    connect(m_pushClipping, &QPushButton::clicked, this, &CVCModifyPatchArea::pushClippingChart);
    connect(this, &CVCModifyPatchArea::pushClippingEnable, m_pushClipping, &QPushButton::setEnabled);
    connect(this, &CVCModifyPatchArea::pushAddMeasurePointEnable, m_pushAddMeasurePoint, &QPushButton::setEnabled);
    connect(this, &CVCModifyPatchArea::pushStartMeasurementEnable, m_pushStartMeasurement, &QPushButton::setEnabled);
    connect(this, &CVCModifyPatchArea::pushRegisterChartEnable, m_pushRegisterChart, &QPushButton::setEnabled);
    emit pushClippingEnable(false);
    emit pushAddMeasurePointEnable(false);
    if (m_usable) {
        applyFinishButtonRule();
    } else {
        emit pushStartMeasurementEnable(false);
        emit pushRegisterChartEnable(false);
    }
}

void CVCModifyPatchArea::setUpPageMenu()
{
    if (m_measurement.SheetCount >= 2) {
        delete ui->pushPageButton->menu();
        auto *menu = new QMenu(this);
        for (int e = 0; e < m_measurement.SheetCount; ++e) {
            QAction *action = menu->addAction(QStringLiteral("%1").arg(m_measurement.Sheets[e].PageNumber));
            action->setCheckable(true);
            action->setData(e);
            action->setChecked(e == m_currentPage);
        }
        ui->pushPageButton->setMenu(menu);
        connect(menu, &QMenu::triggered, this, &CVCModifyPatchArea::menuPageTriggered);
    }
    const int number = currentEntry().PageNumber;
    ui->pushPageButton->setText(QStringLiteral("%1 / %2").arg(number == 0 ? 1 : number).arg(m_chart.SheetCount));
}

int CVCModifyPatchArea::exec()
{
    return m_usable ? CVCDialog::exec() : 0;
}

// ---- Page data --------------------------------------------------------------------------------------------------

MeasurementData &CVCModifyPatchArea::currentEntry() const
{
    return m_measurement.Sheets[m_currentPage];
}

int CVCModifyPatchArea::currentSheetIndex() const
{
    return PatchAreaCore::SheetIndexOfPage(currentEntry().PageNumber);
}

Sheet &CVCModifyPatchArea::currentSheet() const
{
    return m_chart.Sheets[currentSheetIndex()];
}

QList<PatchColor> CVCModifyPatchArea::deletedPoints() const
{
    QVector<QVector<PatchAreaCore::GridPoint>> commands;
    for (int i = 0; i < m_undoStack->index(); ++i) {
        QVector<PatchAreaCore::GridPoint> points;
        for (const CVCMeasuredPointGraphicsPatch *item :
             static_cast<const DeleteCommand *>(m_undoStack->command(i))->Items()) {
            PatchAreaCore::GridPoint point;
            item->GetIndices(&point.area, &point.row, &point.column);
            points.append(point);
        }
        commands.append(points);
    }
    return PatchAreaCore::DeletedPointList(commands, m_undoStack->index());
}

bool CVCModifyPatchArea::foldDeletions(const QList<PatchColor> &points)
{
    Sheet &sheet = currentSheet();
    MeasurementData &entry = currentEntry();
    const int result = m_model->BuildPageMeasurePoints(&sheet, &entry, &sheet, &entry, points);
    if (result != 0) {
        m_model->ReportError(result, kMessageTooManyAreas, false);
        return false;
    }
    return true;
}

void CVCModifyPatchArea::resetEditing()
{
    // The stack goes before the redraw: undone commands point at markers of the scene the redraw clears.
    m_undoStack->clear();
    ui->graphicsView->ClearSelectionRects();
    ui->pushUndo->setEnabled(false);
    ui->pushRedo->setEnabled(false);
    emit pushClippingEnable(false);
    emit pushAddMeasurePointEnable(false);
    ui->graphicsView->DrawMeasurement(&currentEntry());
    applyFinishButtonRule();
}

void CVCModifyPatchArea::applyFinishButtonRule()
{
    if (!m_usable)
        return;
    const bool nothingLeft = PatchAreaCore::NothingLeft(m_chart, currentSheetIndex(), deletedPoints().size());
    emit pushRegisterChartEnable(!nothingLeft);
    emit pushStartMeasurementEnable(!nothingLeft && m_prescanCompleted);
}

// ---- Regions ----------------------------------------------------------------------------------------------------

void CVCModifyPatchArea::rectSelectedSingle()
{
    if (!m_usable)
        return;
    int areaCount = currentSheet().AreaCount;
    const QList<PatchColor> points = deletedPoints();
    if (!points.isEmpty()) {
        // A scratch regrouping: on empty targets it lays out the areas and then ends with NoTargetArrays.
        Sheet scratchSheet;
        MeasurementData scratchEntry;
        const int result =
            m_model->BuildPageMeasurePoints(&scratchSheet, &scratchEntry, &currentSheet(), &currentEntry(), points);
        areaCount = result == kBufferTooManyAreas ? kMaxAreaCount + 1 : scratchSheet.AreaCount;
    }
    if (areaCount < kMaxAreaCount) {
        emit pushAddMeasurePointEnable(true);
        if (m_prescanCompleted)
            emit pushClippingEnable(true);
    }
}

void CVCModifyPatchArea::rectSelectedMulti()
{
    emit pushAddMeasurePointEnable(false);
}

void CVCModifyPatchArea::rectSelectedClear()
{
    emit pushClippingEnable(false);
    emit pushAddMeasurePointEnable(false);
}

// ---- Deleting, undo and redo ------------------------------------------------------------------------------------

void CVCModifyPatchArea::pushDelete()
{
    m_deleteAction->trigger();
}

void CVCModifyPatchArea::DeleteItem()
{
    ui->graphicsView->ClearSelectionRects();
    emit pushClippingEnable(false);
    emit pushAddMeasurePointEnable(false);
    QGraphicsScene *scene = ui->graphicsView->scene();
    if (!scene->selectedItems().isEmpty()) {
        m_undoStack->push(new DeleteCommand(scene));
        if (m_undoStack->index() > 0)
            ui->pushUndo->setEnabled(true);
        if (m_undoStack->count() == m_undoStack->index())
            ui->pushRedo->setEnabled(false);
    }
    applyFinishButtonRule();
}

void CVCModifyPatchArea::updateUndoRedoAfterUndo()
{
    if (m_undoStack->index() == 0)
        ui->pushUndo->setEnabled(false);
    if (m_undoStack->count() > 0 && m_undoStack->count() != m_undoStack->index())
        ui->pushRedo->setEnabled(true);
    applyFinishButtonRule();
}

void CVCModifyPatchArea::updateUndoRedoAfterRedo()
{
    if (m_undoStack->index() > 0)
        ui->pushUndo->setEnabled(true);
    if (m_undoStack->count() == m_undoStack->index())
        ui->pushRedo->setEnabled(false);
    applyFinishButtonRule();
}

void CVCModifyPatchArea::pushUndo()
{
    m_undoAction->trigger();
    updateUndoRedoAfterUndo();
}

void CVCModifyPatchArea::pushRedo()
{
    m_redoAction->trigger();
    updateUndoRedoAfterRedo();
}

void CVCModifyPatchArea::keyPressEvent(QKeyEvent *event)
{
    if (m_usable) {
        if (event->matches(QKeySequence::Delete))
            m_deleteAction->trigger();
        else if (event->matches(QKeySequence::Undo))
            pushUndo();
        else if (event->matches(QKeySequence::Redo))
            pushRedo();
    }
    // Past the base dialog: Return and Enter keep their standard meaning here.
    QDialog::keyPressEvent(event);
}

// ---- Adding an area ---------------------------------------------------------------------------------------------

void CVCModifyPatchArea::pushAddMeasurePoint()
{
    if (!m_usable)
        return;
    const QList<QRectF> rects = ui->graphicsView->SelectionRects();
    if (rects.size() != 1)
        return;
    const QRectF &band = rects.first();
    const int dpiX = ui->graphicsView->ResolutionX();
    const int dpiY = ui->graphicsView->ResolutionY();
    const int left = PixelsToUnitFixed(kUnitMm, band.x(), dpiX);
    const int top = PixelsToUnitFixed(kUnitMm, band.y(), dpiY);
    const int width = PixelsToUnitFixed(kUnitMm, band.width(), dpiX);
    const int height = PixelsToUnitFixed(kUnitMm, band.height(), dpiY);
    const QRect region(QPoint(left, top), QPoint(left + width - 1, top + height - 1));

    CVCAddMeasurePoint points(this, m_model, region);
    if (CUiPresenter::Current().Exec(&points) != QDialog::Accepted)
        return;
    CVCModifyChart layout(m_model, region, m_currentPage, points.GetRowCount(), points.GetColumnCount(), this);
    if (CUiPresenter::Current().Exec(&layout) != QDialog::Accepted)
        return;

    if (!foldDeletions(deletedPoints()))
        return;
    Sheet added;
    layout.GetSheet(&added);
    const int result = PatchAreaCore::AddAreaToPage(&m_chart, currentSheetIndex(), &currentEntry(), added,
                                                    m_newColorFormat, m_model->GetColorDefaultValue(m_newColorFormat));
    // Forced: the editor's own refusal must not stop the run the scanner holds for the user.
    if (result != 0)
        m_model->ReportError(result, kMessageTooManyAreas, true);
    resetEditing();
}

// ---- Clipping ---------------------------------------------------------------------------------------------------

void CVCModifyPatchArea::pushClippingChart()
{
    if (!m_usable)
        return;
    const QList<QRectF> rects = ui->graphicsView->SelectionRects();
    if (rects.isEmpty())
        return;
    const QList<PatchColor> points = deletedPoints();
    if (!points.isEmpty() && !foldDeletions(points))
        return;

    const int dpiX = ui->graphicsView->ResolutionX();
    const int dpiY = ui->graphicsView->ResolutionY();
    QVector<ChartDefinitionData::ClipArea> regions;
    regions.reserve(kMaxClipAreaCount);
    for (const QRectF &rect : rects) {
        const int left = PixelsToUnitFixed(kUnitMm, rect.x(), dpiX);
        const int right = PixelsToUnitFixed(kUnitMm, rect.x() + rect.width(), dpiX);
        const int top = PixelsToUnitFixed(kUnitMm, rect.y(), dpiY);
        const int bottom = PixelsToUnitFixed(kUnitMm, rect.y() + rect.height(), dpiY);
        regions.append({left, top, right, top, left, bottom, right, bottom});
    }

    setCursor(Qt::WaitCursor);
    Sheet result;
    QVector<OrloLocatedPoint> located;
    const int clipped = m_model->GetClippingChartResult(regions, &result, &located);
    setCursor(Qt::ArrowCursor);
    if (clipped == 0) {
        const int merged = PatchAreaCore::MergeClippingResult(&currentSheet(), &currentEntry(), result, located,
                                                              m_newColorFormat,
                                                              m_model->GetColorDefaultValue(m_newColorFormat));
        if (merged != 0) {
            m_model->ReportError(merged,
                                 merged == PatchAreaCore::LocatedCountMismatch ? kMessageRecognitionResult
                                                                               : kMessageTooManyAreas,
                                 true);
        }
    }
    resetEditing();
}

// ---- Finishing --------------------------------------------------------------------------------------------------

int CVCModifyPatchArea::registerEditedChart()
{
    ChartDefinitionDataSheets definition;
    CopyChartForMeasurement(&definition, m_chart, m_measurement);
    definition.Diameter = 1;
    definition.ChartName.clear();
    definition.Recog = ChartDefinitionData::RecogCombine;
    return m_model->CreateDesignationChart(&definition);
}

void CVCModifyPatchArea::pushRegisterChart()
{
    if (!m_usable)
        return;
    const QList<PatchColor> points = deletedPoints();
    if (!points.isEmpty()) {
        if (!foldDeletions(points))
            return;
        resetEditing();
    }
    const int result = registerEditedChart();
    if (result != 0) {
        m_model->ReportError(result, kMessageRegisterFailed, false);
        return;
    }
    for (int i = 0; i < m_chart.SheetCount; ++i)
        m_model->ReplaceChartSheet(m_chart.Sheets[i], i);
    done(1);
}

void CVCModifyPatchArea::pushStartMeasurement()
{
    if (!m_usable)
        return;
    const QList<PatchColor> points = deletedPoints();
    if (!points.isEmpty()) {
        if (!foldDeletions(points))
            return;
        resetEditing();
    }
    int result = m_model->ReplaceChartSheet(currentSheet(), currentSheetIndex());
    if (result == 0)
        result = m_model->ReplaceMeasurementSheet(currentEntry(), m_currentPage);
    if (result != 0) {
        m_model->ReportError(result, kMessageReplaceFailed, false);
        return;
    }
    done(2);
}

void CVCModifyPatchArea::pushCancel()
{
    done(0);
}

void CVCModifyPatchArea::reject()
{
    done(0);
    QDialog::reject();
}

// ---- Pages ------------------------------------------------------------------------------------------------------

void CVCModifyPatchArea::menuPageTriggered(QAction *action)
{
    const int page = action->data().toInt();
    if (page == m_currentPage || page < 0 || page >= m_measurement.SheetCount)
        return;
    const QList<QAction *> actions = ui->pushPageButton->menu()->actions();
    if (!foldDeletions(deletedPoints())) {
        // The old page stays, with its pending deletions.
        for (QAction *entry : actions)
            entry->setChecked(entry->data().toInt() == m_currentPage);
        return;
    }
    for (QAction *entry : actions) {
        if (entry->data().toInt() == m_currentPage)
            entry->setChecked(false);
    }
    m_currentPage = page;
    ui->pushPageButton->setText(QStringLiteral("%1 / %2").arg(action->text()).arg(m_chart.SheetCount));
    if (page < actions.size())
        actions.at(page)->setChecked(true);
    resetEditing();
}

// ---- Zoom -------------------------------------------------------------------------------------------------------

void CVCModifyPatchArea::pushMeasurePointZoomIn()
{
    StepZoomSlider(ui->sliderZoom, 1);
}

void CVCModifyPatchArea::pushMeasurePointZoomOut()
{
    StepZoomSlider(ui->sliderZoom, -1);
}

void CVCModifyPatchArea::sliderZoomValueChanged(int value)
{
    ui->graphicsView->SetZoom(value);
    SetZoomButtonText(value, ui->pushZoomSetting);
}

void CVCModifyPatchArea::menuZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->sliderZoom, ui->pushZoomSetting, ui->graphicsView->GetFitZoom());
}

void CVCModifyPatchArea::showEvent(QShowEvent *event)
{
    ui->sliderZoom->setValue(ui->graphicsView->GetFitZoom());
    const QList<QAction *> actions = ui->pushZoomSetting->menu()->actions();
    if (!actions.isEmpty())
        actions.last()->setChecked(true);
    ui->graphicsView->setFocus();
    CVCDialog::showEvent(event);
}

void CVCModifyPatchArea::paintEvent(QPaintEvent *event)
{
    // While "Fit in the window" is checked the fit follows every resize; setting the slider unchecks it.
    const QList<QAction *> actions = ui->pushZoomSetting->menu()->actions();
    if (!actions.isEmpty() && actions.last()->isChecked()) {
        ui->sliderZoom->setValue(ui->graphicsView->GetFitZoom());
        actions.last()->setChecked(true);
    }
    CVCDialog::paintEvent(event);
}
