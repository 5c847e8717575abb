#include "chart/vccreatechart.h"

#include "app/constants.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/uipresenter.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vceditchartgraphicsview.h"

#include "ui_createchartdialog.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int kMaxPageCount = 100;
constexpr int kPatchSizeMin = 600;
constexpr int kPatchSizeMax = 3000;
constexpr int kPatchGapMax = 3200;
// The value an editor opened with: a handler commits only what the user changed, so visiting an item never
// rewrites a loaded value that lies outside the editor's range.
const char kOpenValue[] = "openValue";

// Tree groups below an area item and their children.
enum AreaGroup { GroupLeftTop = 0, GroupCount = 1, GroupSize = 2, GroupGap = 3 };
enum PaperChild { PaperBarcode = 0, PaperPageSize = 1, PaperPageCount = 2 };

int tagOf(const QTreeWidgetItem *item)
{
    const QVariant value = item ? item->data(0, Qt::UserRole) : QVariant();
    return value.userType() == QMetaType::Int ? value.toInt() : -1;
}

QTreeWidgetItem *taggedItem(QTreeWidgetItem *parent, const QString &text, int tag)
{
    auto *item = new QTreeWidgetItem(parent, QStringList(text));
    item->setData(0, Qt::UserRole, tag);
    return item;
}

} // namespace

CVCCreateChart::CVCCreateChart(CModel *model, int mode, QWidget *parent)
    : CVCDialog(parent, Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      ui(new Ui::CreateChartDialog), m_model(model), m_mode(mode),
      m_core([model](int width, int height) { return model->FindPaperSizeIndex(width, height); })
{
    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
    m_unit = environment->LengthUnit;
    m_core.ColorFormat = environment->ColorFormat;
    InitChartDefinitionData(&m_core.Header);
    m_core.Header.Diameter = 1;
    m_core.Header.Recog = 4;
    FillTables();

    ui->setupUi(this);
    // The page canvas takes most of the height; the patch table scrolls.
    ui->splitterLayoutPatchColor->setStretchFactor(0, 3);
    ui->splitterLayoutPatchColor->setStretchFactor(1, 1);
    ui->splitterLayoutPatchColor->setSizes({600, 200});
    m_views = {ui->graphicsViewOriginal, ui->graphicsViewScramble};
    m_pageButtons = {ui->pushOriginalPage, ui->pushScramblePage};
    m_colorButtons = {ui->pushOriginalColor, ui->pushScrambleColor};
    m_zoomButtons = {ui->pushOriginalZoomSetting, ui->pushScrambleZoomSetting};
    m_zoomSliders = {ui->hSliderOriginalZoom, ui->hSliderScrambleZoom};
    ConnectWidgets();
    BuildLayoutTree();
    BuildButtonBox();
    ui->labelMessage->hide();
}

CVCCreateChart::~CVCCreateChart()
{
    // The widgets go after the members; nothing they signal on the way may reach this dialog.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
    m_core.PatchStored = nullptr;
    m_core.UndoInvalidated = nullptr;
    ClearChartDefinitionData(&m_core.Header);
}

void CVCCreateChart::FillTables()
{
    CModel *model = m_model;
    CreateChartTables &tables = m_core.Tables;
    tables.PageSizeWidth = [model](int row) { return model->GetPageSizeWidth(row); };
    tables.PageSizeHeight = [model](int row) { return model->GetPageSizeHeight(row); };
    tables.ColorDefaultValue = [model](int format) { return model->GetColorDefaultValue(format); };
    tables.BarcodeSizePixels = [model](const SheetInfoRecord &record) { return model->GetBarcodeSize(record); };
    tables.AreaLeftMin = model->GetAreaLeftMin();
    tables.AreaLeftMax = model->GetAreaLeftMax();
    tables.AreaTopMin = model->GetAreaTopMin();
    tables.AreaTopMax = model->GetAreaTopMax();
    tables.MaxRowCount = model->GetMaxRowCount();
    tables.MaxColumnCount = model->GetMaxColumnCount();
    tables.BarcodeInset = PixelsToUnitFixed(0, model->GetBarcodeInsetPixels(), 300);
    tables.NewChartName = model->GetNewDesignationChartName();
}

void CVCCreateChart::ConnectWidgets()
{
    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
    for (CVCChartGraphicsView *view : qAsConst(m_views)) {
        view->SetInkColorList(environment->Inks);
        view->SetBarcodeInset(m_core.Tables.BarcodeInset);
        connect(view, &CVCGraphicsView::PaintFinished, this, &CVCCreateChart::PaintFinished);
        connect(view, &CVCGraphicsView::SelectPatch, this, &CVCCreateChart::SelectPatch);
        connect(view, &CVCGraphicsView::ClearPatch, this, &CVCCreateChart::ClearPatch);
    }
    CVCEditChartGraphicsView *edit = ui->graphicsViewOriginal;
    connect(edit, &CVCEditChartGraphicsView::AreaMoved, this, &CVCCreateChart::AreaMoved);
    connect(edit, &CVCEditChartGraphicsView::AreaResized, this, &CVCCreateChart::AreaResized);
    connect(edit, &CVCEditChartGraphicsView::BarcodeMoved, this, &CVCCreateChart::BarcodeMoved);

    connect(ui->pushOriginalID, &QToolButton::clicked, this, &CVCCreateChart::pushIDClicked);
    connect(ui->pushOriginalLengthID, &QToolButton::clicked, this, &CVCCreateChart::pushLengthIDClicked);
    connect(ui->pushOriginalRotate, &QToolButton::clicked, this, &CVCCreateChart::pushRotateClicked);
    connect(ui->pushOriginalCopy, &QToolButton::clicked, this, &CVCCreateChart::pushCopyClicked);
    connect(ui->pushOriginalPaste, &QToolButton::clicked, this, &CVCCreateChart::pushPasteClicked);
    connect(this, &CVCCreateChart::pushCopied, ui->pushOriginalPaste, &QToolButton::setEnabled);
    connect(ui->pushOriginalFlipHorizontal, &QToolButton::clicked, this, &CVCCreateChart::pushFlipHorizontalClicked);
    connect(ui->pushOriginalFlipVertical, &QToolButton::clicked, this, &CVCCreateChart::pushFlipVerticalClicked);
    connect(ui->pushOriginalExchangeRowColumn, &QToolButton::clicked, this,
            &CVCCreateChart::pushExchangeRowColumnClicked);
    connect(ui->pushOriginalUndo, &QToolButton::clicked, &m_undoStack, &QUndoStack::undo);
    connect(ui->pushOriginalRedo, &QToolButton::clicked, &m_undoStack, &QUndoStack::redo);
    connect(&m_undoStack, &QUndoStack::canUndoChanged, ui->pushOriginalUndo, &QToolButton::setEnabled);
    connect(&m_undoStack, &QUndoStack::canRedoChanged, ui->pushOriginalRedo, &QToolButton::setEnabled);

    for (int tab = 0; tab < 2; ++tab) {
        m_pageButtons.at(tab)->setPopupMode(QToolButton::InstantPopup);
        QToolButton *zoomButton = m_zoomButtons.at(tab);
        QMenu *zoomMenu = CreateZoomMenu(0, this, m_zoomSliders);
        m_zoomMenus << zoomMenu;
        zoomButton->setMenu(zoomMenu);
        zoomButton->setPopupMode(QToolButton::InstantPopup);
        SetZoomButtonText(m_zoomSliders.at(tab)->value(), zoomButton);
        connect(this, &CVCCreateChart::menuZoomTrigger, zoomMenu, &QMenu::triggered);
        connect(zoomMenu, &QMenu::triggered, this, &CVCCreateChart::menuZoomTriggered);
        connect(m_colorButtons.at(tab), &QToolButton::clicked, this, &CVCCreateChart::pushColorClicked);
        connect(m_zoomSliders.at(tab), &QSlider::valueChanged, this, &CVCCreateChart::sliderZoomValueChanged);
    }
    connect(ui->pushOriginalZoomOut, &QToolButton::clicked, this, &CVCCreateChart::pushZoomOutClicked);
    connect(ui->pushScrambleZoomOut, &QToolButton::clicked, this, &CVCCreateChart::pushZoomOutClicked);
    connect(ui->pushOriginalZoomIn, &QToolButton::clicked, this, &CVCCreateChart::pushZoomInClicked);
    connect(ui->pushScrambleZoomIn, &QToolButton::clicked, this, &CVCCreateChart::pushZoomInClicked);

    connect(ui->pushAddLayoutPage, &QToolButton::clicked, this, &CVCCreateChart::AddChartData);
    connect(ui->pushAddLayoutPage, &QToolButton::clicked, this, &CVCCreateChart::pageCountChanged);
    connect(ui->pushDeleteLayoutPage, &QToolButton::clicked, this, &CVCCreateChart::DeleteChartData);
    connect(ui->pushDeleteLayoutPage, &QToolButton::clicked, this, &CVCCreateChart::pageCountChanged);
    connect(ui->pushAddLayoutPatchArea, &QToolButton::clicked, this, &CVCCreateChart::AddChartDataPatchArea);
    connect(ui->pushAddLayoutPatchArea, &QToolButton::clicked, this, &CVCCreateChart::patchAreaCountChanged);
    connect(ui->pushDeleteLayoutPatchArea, &QToolButton::clicked, this, &CVCCreateChart::DeleteChartDataPatchArea);
    connect(ui->pushDeleteLayoutPatchArea, &QToolButton::clicked, this, &CVCCreateChart::patchAreaCountChanged);
    connect(ui->treeLayout, &QTreeWidget::currentItemChanged, this, &CVCCreateChart::treeLayoutCurrentItemChanged);
    connect(ui->tabChartCanvas, &QTabWidget::currentChanged, this, &CVCCreateChart::tabChartCanvasCurrentChanged);

    m_core.PatchStored = [this](int listIndex, int pageNo, int areaNo, int rowNo, int columnNo) {
        PatchStored(listIndex, pageNo, areaNo, rowNo, columnNo);
    };
    m_core.UndoInvalidated = [this] { m_undoStack.clear(); };
}

void CVCCreateChart::BuildLayoutTree()
{
    QTreeWidget *tree = ui->treeLayout;
    auto *paper = new QTreeWidgetItem(tree, QStringList(tr("Paper Layout")));
    paper->setData(0, Qt::UserRole, -1);
    taggedItem(paper, tr("QR Code"), TagBarcode);
    QTreeWidgetItem *size = taggedItem(paper, tr("Page Size"), TagPageSize);
    taggedItem(size, tr("Width"), TagPageWidth);
    taggedItem(size, tr("Height"), TagPageHeight);
    taggedItem(paper, tr("Page Count"), -1);

    m_firstAreaItem = tree->topLevelItemCount();
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        auto *area = new QTreeWidgetItem(tree, QStringList(tr("Patch Area") + QLatin1Char(' ') +
                                                           QString::number(slot + 1)));
        area->setData(0, Qt::UserRole, slot);
        QTreeWidgetItem *leftTop = taggedItem(area, tr("Left Top"), -1);
        taggedItem(leftTop, QStringLiteral("X"), TagLeftTopX);
        taggedItem(leftTop, QStringLiteral("Y"), TagLeftTopY);
        QTreeWidgetItem *count = taggedItem(area, tr("Patch Count"), -1);
        taggedItem(count, tr("Row"), TagRow);
        taggedItem(count, tr("Column"), TagColumn);
        taggedItem(count, tr("Number"), -1);
        QTreeWidgetItem *patchSize = taggedItem(area, tr("Patch Size"), -1);
        patchSize->setText(1, RangeText(kPatchSizeMin, kPatchSizeMax));
        taggedItem(patchSize, tr("Width"), TagPatchWidth);
        taggedItem(patchSize, tr("Height"), TagPatchHeight);
        QTreeWidgetItem *patchGap = taggedItem(area, tr("Patch Gap"), -1);
        patchGap->setText(1, RangeText(kPatchSizeMin, kPatchGapMax));
        taggedItem(patchGap, tr("Width"), TagGapWidth);
        taggedItem(patchGap, tr("Height"), TagGapHeight);
        area->setHidden(true);
    }
}

void CVCCreateChart::BuildButtonBox()
{
    m_buttonBox = new QDialogButtonBox(this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    m_pushSave = new QPushButton(tr("Save"), this);
    m_pushSave->setObjectName(QStringLiteral("pushSave"));
    m_okButton = new QPushButton(tr("Save As"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    // Return confirms typed values here; it never presses a button.
    for (QPushButton *button : {m_pushSave, m_okButton, m_cancelButton})
        button->setAutoDefault(false);
    if (m_mode == 1) {
        m_okButton->hide();
    } else {
        m_buttonBox->addButton(m_okButton, QDialogButtonBox::AcceptRole);
    }
    if (m_mode == 2) {
        m_pushSave->hide();
    } else {
        m_buttonBox->addButton(m_pushSave, QDialogButtonBox::AcceptRole);
        connect(m_pushSave, &QPushButton::clicked, this, &CVCCreateChart::pushSaveClicked);
    }
    m_buttonBox->addButton(m_cancelButton, QDialogButtonBox::RejectRole);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ui->hLayoutFooter->addWidget(m_buttonBox);
}

bool CVCCreateChart::SetChartDefinition(ChartDefinitionDataSheets *definition)
{
    return definition && m_core.SetChartDefinition(*definition);
}

void CVCCreateChart::SetPageImages(MeasurementDataSheets *measurement)
{
    if (measurement)
        m_core.SetPageImages(*measurement);
}

void CVCCreateChart::ScrambleChart()
{
    ScramblePageList(m_core.PageLists[CreateChartCore::ScrambleList], m_core.ColorFormat,
                     m_model->GetUserEnvironment()->Inks);
}

float CVCCreateChart::ScrambleArea(std::vector<ScrambleEntry> &positions, int columns, int rows, quint32 seed)
{
    return ::ScrambleArea(positions, columns, rows, seed);
}

// ---- Helpers ----------------------------------------------------------------------------------------------------

CreateChartArea *CVCCreateChart::SelectedArea()
{
    CreateChartPage *page = CurrentPage();
    const int slot = m_core.SelectedArea;
    if (!page || slot < 0 || slot >= kMaxAreaCount || page->Areas[size_t(slot)].PatchCount <= 0)
        return nullptr;
    return &page->Areas[size_t(slot)];
}

CVCChartGraphicsView *CVCCreateChart::CurrentView() const
{
    return m_views.at(m_core.CurrentTab);
}

QTreeWidgetItem *CVCCreateChart::PaperItem(int child) const
{
    return ui->treeLayout->topLevelItem(0)->child(child);
}

QTreeWidgetItem *CVCCreateChart::AreaItem(int slot) const
{
    return ui->treeLayout->topLevelItem(m_firstAreaItem + slot);
}

QTreeWidgetItem *CVCCreateChart::AreaChild(int slot, int group, int child) const
{
    return AreaItem(slot)->child(group)->child(child);
}

QString CVCCreateChart::LengthText(int value) const
{
    return QString::number(MmFixedToUnit(m_unit, value), 'f', UnitDecimals(m_unit)) + QLatin1Char(' ') +
           UnitName(m_unit);
}

QString CVCCreateChart::RangeText(int minimum, int maximum) const
{
    const auto number = [this](int v) { return QString::number(MmFixedToUnit(m_unit, v), 'f', UnitDecimals(m_unit)); };
    return QStringLiteral("(") + number(minimum) + QStringLiteral(" - ") + number(maximum) + QLatin1Char(' ') +
           UnitName(m_unit) + QLatin1Char(')');
}

void CVCCreateChart::WritePaperItems()
{
    const CreateChartPage *page = CurrentPage();
    if (!page)
        return;
    PaperItem(PaperBarcode)->setText(1, m_model->GetNoneExistNames().value(m_core.Header.Barcode == 1 ? 1 : 0));
    QTreeWidgetItem *size = PaperItem(PaperPageSize);
    size->setText(1, m_model->GetPageSizeName(page->PaperSize));
    size->child(0)->setText(1, LengthText(page->Width));
    size->child(1)->setText(1, LengthText(page->Height));
    PaperItem(PaperPageCount)->setText(1, QString::number(m_core.CurrentList().size()));
}

void CVCCreateChart::WriteAreaItems(int slot)
{
    const CreateChartPage *page = CurrentPage();
    QTreeWidgetItem *item = AreaItem(slot);
    if (!page || !item)
        return;
    const CreateChartArea &area = page->Areas[size_t(slot)];
    item->setHidden(area.PatchCount <= 0);
    if (area.PatchCount <= 0)
        return;
    AreaChild(slot, GroupLeftTop, 0)->setText(1, LengthText(area.LeftTopX));
    AreaChild(slot, GroupLeftTop, 1)->setText(1, LengthText(area.LeftTopY));
    AreaChild(slot, GroupCount, 0)->setText(1, QString::number(area.RowCount));
    AreaChild(slot, GroupCount, 1)->setText(1, QString::number(area.ColumnCount));
    AreaChild(slot, GroupCount, 2)->setText(1, QString::number(area.PatchCount));
    AreaChild(slot, GroupSize, 0)->setText(1, LengthText(area.PatchWidth));
    AreaChild(slot, GroupSize, 1)->setText(1, LengthText(area.PatchHeight));
    AreaChild(slot, GroupGap, 0)->setText(1, LengthText(area.PatchWidthGap));
    AreaChild(slot, GroupGap, 1)->setText(1, LengthText(area.PatchHeightGap));
    // An open editor on a rewritten item shows the new value and counts it as the one it opened with.
    if (m_treeEditor && m_treeEditorItem && m_treeEditorItem->parent() &&
        m_treeEditorItem->parent()->parent() == item) {
        const QString number = m_treeEditorItem->text(1).section(QLatin1Char(' '), 0, 0);
        const QSignalBlocker blocker(m_treeEditor);
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(m_treeEditor.data())) {
            spin->setValue(number.toDouble());
            spin->setProperty(kOpenValue, spin->value());
        } else if (auto *count = qobject_cast<QSpinBox *>(m_treeEditor.data())) {
            count->setValue(number.toInt());
            count->setProperty(kOpenValue, count->value());
        }
    }
}

void CVCCreateChart::WriteAllAreaItems()
{
    for (int slot = 0; slot < kMaxAreaCount; ++slot)
        WriteAreaItems(slot);
}

// ---- Tree editors -----------------------------------------------------------------------------------------------

void CVCCreateChart::OpenEditor(QTreeWidgetItem *item, int tag)
{
    const CreateChartPage *page = CurrentPage();
    if (!item || !page || tag < TagBarcode || tag > TagGapHeight)
        return;
    if (tag == TagBarcode || tag == TagPageSize) {
        auto *combo = new QComboBox;
        combo->addItems(tag == TagBarcode ? m_model->GetNoneExistNames() : m_model->GetPageSizeNames());
        combo->setCurrentIndex(combo->findText(item->text(1), Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (tag == TagBarcode)
            connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                    &CVCCreateChart::comboBarcodeCurrentIndexChanged);
        else
            connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                    &CVCCreateChart::comboPageSizeCurrentIndexChanged);
        m_treeEditor = combo;
        m_treeEditorItem = item;
        ui->treeLayout->setItemWidget(item, 1, combo);
        return;
    }
    if (tag == TagRow || tag == TagColumn) {
        auto *spin = new QSpinBox;
        spin->setRange(m_model->GetMinRowColumnCount(),
                       tag == TagRow ? m_model->GetMaxRowCount() : m_model->GetMaxColumnCount());
        spin->setValue(item->text(1).toInt());
        spin->setProperty(kOpenValue, spin->value());
        spin->setFixedWidth(50);
        connect(spin, &QSpinBox::editingFinished, this,
                tag == TagRow ? &CVCCreateChart::spinPatchCountRowEditingFinished
                              : &CVCCreateChart::spinPatchCountColumnEditingFinished);
        m_treeEditor = spin;
        m_treeEditorItem = item;
        ui->treeLayout->setItemWidget(item, 1, spin);
        spin->selectAll();
        return;
    }
    int minimum = 0;
    int maximum = 0;
    void (CVCCreateChart::*handler)() = nullptr;
    switch (tag) {
    case TagPageWidth:
    case TagPageHeight: {
        const bool width = tag == TagPageWidth;
        maximum = width ? m_model->GetPageSizeMaxWidth(page->PaperSize)
                        : m_model->GetPageSizeMaxHeight(page->PaperSize);
        if (maximum <= 0)
            return; // a fixed paper size
        minimum = width ? m_model->GetPageSizeWidth(page->PaperSize) : m_model->GetPageSizeHeight(page->PaperSize);
        handler = width ? &CVCCreateChart::spinPageSizeWidthEditingFinished
                        : &CVCCreateChart::spinPageSizeHeightEditingFinished;
        break;
    }
    case TagLeftTopX:
        minimum = m_core.Tables.AreaLeftMin;
        maximum = m_core.Tables.AreaLeftMax;
        handler = &CVCCreateChart::spinLeftTopXEditingFinished;
        break;
    case TagLeftTopY:
        minimum = m_core.Tables.AreaTopMin;
        maximum = m_core.Tables.AreaTopMax;
        handler = &CVCCreateChart::spinLeftTopYEditingFinished;
        break;
    case TagPatchWidth:
    case TagPatchHeight:
        minimum = kPatchSizeMin;
        maximum = kPatchSizeMax;
        handler = tag == TagPatchWidth ? &CVCCreateChart::spinPatchSizeWidthEditingFinished
                                       : &CVCCreateChart::spinPatchSizeHeightEditingFinished;
        break;
    default:
        minimum = kPatchSizeMin;
        maximum = kPatchGapMax;
        handler = tag == TagGapWidth ? &CVCCreateChart::spinPatchGapWidthEditingFinished
                                     : &CVCCreateChart::spinPatchGapHeightEditingFinished;
        break;
    }
    auto *spin = new QDoubleSpinBox;
    spin->setDecimals(UnitDecimals(m_unit));
    spin->setSingleStep(UnitStep(m_unit));
    spin->setRange(MmFixedToUnit(m_unit, minimum), MmFixedToUnit(m_unit, maximum));
    spin->setSuffix(QLatin1Char(' ') + UnitName(m_unit));
    spin->setValue(item->text(1).section(QLatin1Char(' '), 0, 0).toDouble());
    spin->setProperty(kOpenValue, spin->value());
    spin->setFixedWidth(150);
    connect(spin, &QDoubleSpinBox::editingFinished, this, handler);
    m_treeEditor = spin;
    m_treeEditorItem = item;
    ui->treeLayout->setItemWidget(item, 1, spin);
    spin->selectAll();
}

void CVCCreateChart::RemoveEditor()
{
    QTreeWidgetItem *item = m_treeEditorItem;
    if (m_treeEditor) {
        // Its focus loss on the way out must not reach a handler that already looks at another item or page.
        m_treeEditor->disconnect(this);
        m_treeEditor->blockSignals(true);
    }
    m_treeEditor = nullptr;
    m_treeEditorItem = nullptr;
    if (item)
        ui->treeLayout->removeItemWidget(item, 1);
}

bool CVCCreateChart::TakeLength(int minimum, int maximum, int *value)
{
    auto *spin = qobject_cast<QDoubleSpinBox *>(m_treeEditor.data());
    if (!spin || !m_treeEditorItem || spin->value() == spin->property(kOpenValue).toDouble())
        return false;
    const QString typed = QString::number(spin->value(), 'f', UnitDecimals(m_unit));
    if (typed == m_treeEditorItem->text(1).section(QLatin1Char(' '), 0, 0))
        return false;
    *value = UnitValueToMmFixed(m_unit, spin->value(), minimum, maximum);
    m_treeEditorItem->setText(1, LengthText(*value));
    spin->setProperty(kOpenValue, spin->value());
    return true;
}

bool CVCCreateChart::TakeCount(int *value)
{
    auto *spin = qobject_cast<QSpinBox *>(m_treeEditor.data());
    if (!spin || !m_treeEditorItem || spin->value() == spin->property(kOpenValue).toInt() ||
        spin->value() == m_treeEditorItem->text(1).toInt())
        return false;
    *value = spin->value();
    m_treeEditorItem->setText(1, QString::number(*value));
    spin->setProperty(kOpenValue, spin->value());
    return true;
}

void CVCCreateChart::AfterLengthEdit(bool fit)
{
    Refresh(fit);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

void CVCCreateChart::spinPageSizeWidthEditingFinished()
{
    CreateChartPage *page = CurrentPage();
    int value = 0;
    if (page && TakeLength(m_model->GetPageSizeWidth(page->PaperSize), m_model->GetPageSizeMaxWidth(page->PaperSize),
                           &value)) {
        page->Width = value;
        AfterLengthEdit(true);
    }
}

void CVCCreateChart::spinPageSizeHeightEditingFinished()
{
    CreateChartPage *page = CurrentPage();
    int value = 0;
    if (page && TakeLength(m_model->GetPageSizeHeight(page->PaperSize),
                           m_model->GetPageSizeMaxHeight(page->PaperSize), &value)) {
        page->Height = value;
        AfterLengthEdit(true);
    }
}

void CVCCreateChart::spinLeftTopXEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (area && TakeLength(m_core.Tables.AreaLeftMin, m_core.Tables.AreaLeftMax, &value)) {
        area->LeftTopX = value;
        AfterLengthEdit(false);
    }
}

void CVCCreateChart::spinLeftTopYEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (area && TakeLength(m_core.Tables.AreaTopMin, m_core.Tables.AreaTopMax, &value)) {
        area->LeftTopY = value;
        AfterLengthEdit(false);
    }
}

void CVCCreateChart::spinPatchSizeWidthEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (!area || !TakeLength(kPatchSizeMin, kPatchSizeMax, &value))
        return;
    area->PatchWidth = value;
    if (area->PatchWidth > area->PatchWidthGap) {
        area->PatchWidthGap = area->PatchWidth;
        AreaChild(m_core.SelectedArea, GroupGap, 0)->setText(1, LengthText(area->PatchWidthGap));
    }
    AfterLengthEdit(false);
}

void CVCCreateChart::spinPatchSizeHeightEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (!area || !TakeLength(kPatchSizeMin, kPatchSizeMax, &value))
        return;
    area->PatchHeight = value;
    if (area->PatchHeight > area->PatchHeightGap) {
        area->PatchHeightGap = area->PatchHeight;
        AreaChild(m_core.SelectedArea, GroupGap, 1)->setText(1, LengthText(area->PatchHeightGap));
    }
    AfterLengthEdit(false);
}

void CVCCreateChart::spinPatchGapWidthEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (!area || !TakeLength(kPatchSizeMin, kPatchGapMax, &value))
        return;
    area->PatchWidthGap = value;
    if (area->PatchWidthGap < area->PatchWidth) {
        area->PatchWidth = area->PatchWidthGap;
        AreaChild(m_core.SelectedArea, GroupSize, 0)->setText(1, LengthText(area->PatchWidth));
    }
    AfterLengthEdit(false);
}

void CVCCreateChart::spinPatchGapHeightEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (!area || !TakeLength(kPatchSizeMin, kPatchGapMax, &value))
        return;
    area->PatchHeightGap = value;
    if (area->PatchHeightGap < area->PatchHeight) {
        area->PatchHeight = area->PatchHeightGap;
        AreaChild(m_core.SelectedArea, GroupSize, 1)->setText(1, LengthText(area->PatchHeight));
    }
    AfterLengthEdit(false);
}

void CVCCreateChart::AfterCountEdit()
{
    CreateChartArea *area = SelectedArea();
    area->PatchCount = area->RowCount * area->ColumnCount;
    AreaChild(m_core.SelectedArea, GroupCount, 2)->setText(1, QString::number(area->PatchCount));
    m_core.ResizePatchList(area);
    RebuildPatchTable();
    FillPatchTable(true);
    if (m_core.Header.Barcode == 1)
        m_core.PlaceBarcode(m_core.CurrentPages[m_core.CurrentTab]);
    Refresh(false);
    UpdateLayoutButtons();
    UpdateSaveButtons();
    m_undoStack.clear();
}

void CVCCreateChart::spinPatchCountRowEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (area && TakeCount(&value)) {
        area->RowCount = value;
        AfterCountEdit();
    }
}

void CVCCreateChart::spinPatchCountColumnEditingFinished()
{
    CreateChartArea *area = SelectedArea();
    int value = 0;
    if (area && TakeCount(&value)) {
        area->ColumnCount = value;
        AfterCountEdit();
    }
}

void CVCCreateChart::comboPageSizeCurrentIndexChanged(int index)
{
    auto *combo = qobject_cast<QComboBox *>(m_treeEditor.data());
    CreateChartPage *page = CurrentPage();
    if (!combo || !page || !m_treeEditorItem || combo->currentText() == m_treeEditorItem->text(1))
        return;
    page->PaperSize = index;
    if (m_model->GetPageSizeMaxWidth(index) == 0)
        page->Width = m_model->GetPageSizeWidth(index);
    if (m_model->GetPageSizeMaxHeight(index) == 0)
        page->Height = m_model->GetPageSizeHeight(index);
    m_treeEditorItem->setText(1, combo->currentText());
    m_treeEditorItem->child(0)->setText(1, LengthText(page->Width));
    m_treeEditorItem->child(1)->setText(1, LengthText(page->Height));
    Refresh(true);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

void CVCCreateChart::comboBarcodeCurrentIndexChanged(int index)
{
    auto *combo = qobject_cast<QComboBox *>(m_treeEditor.data());
    QTreeWidgetItem *item = m_treeEditorItem;
    if (!combo || !item)
        return;
    ChartDefinitionDataSheets &header = m_core.Header;
    if (!header.ChartName.contains(QLatin1Char('_'))) {
        if (combo->currentText() == item->text(1))
            return;
        header.Barcode = index;
        item->setText(1, combo->currentText());
    } else if (header.Barcode != 0) {
        // A chart whose name holds "_" carries no QR code: any choice leaves it without one.
        header.Barcode = 0;
        const QString none = m_model->GetNoneExistNames().value(0);
        item->setText(1, none);
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(0);
    } else {
        m_model->ReportError(201, 60, false);
        header.Barcode = -1;
        combo->setCurrentIndex(0);
        return;
    }
    m_core.ApplyBarcodeToAllPages();
    if (header.Barcode != 1)
        CurrentView()->RemoveBarcodeItem();
    Refresh(false);
    UpdateSaveButtons();
}

void CVCCreateChart::treeLayoutCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    if (current == previous)
        return;
    RemoveEditor();
    const int before = m_core.SelectedArea;
    QTreeWidgetItem *top = current;
    while (top && top->parent())
        top = top->parent();
    const QVariant value = top ? top->data(0, Qt::UserRole) : QVariant();
    if (current && value.userType() == QMetaType::Int) {
        m_core.SelectedArea = value.toInt();
        OpenEditor(current, tagOf(current));
    } else {
        m_core.SelectedArea = -1;
    }
    UpdateLayoutButtons();
    if (before != m_core.SelectedArea) {
        RebuildPatchTable();
        FillPatchTable(true);
        ui->tablePatch->setCurrentCell(-1, -1);
        if (ui->tablePatch->rowCount() > 0)
            ui->tablePatch->selectRow(0);
        ui->tablePatch->scrollToTop();
    }
}

// ---- Drawing, buttons -------------------------------------------------------------------------------------------

void CVCCreateChart::Refresh(bool fit)
{
    m_fitAfterPaint = fit;
    CVCChartGraphicsView *view = CurrentView();
    const CreateChartPage *page = CurrentPage();
    if (!page) {
        view->DrawSheet(nullptr, 0, 0, 0, nullptr);
        return;
    }
    ChartDefinitionData::Sheet sheet;
    m_core.PageToSheet(*page, &sheet, true);
    const uchar *image = page->ImageBytes.isEmpty() ? nullptr
                                                    : reinterpret_cast<const uchar *>(page->ImageBytes.constData());
    view->DrawSheet(&sheet, page->ImageWidth, page->ImageHeight, page->BitPerPixel, image);
    if (m_core.Header.Barcode == 1) {
        const int rect[4] = {sheet.BarcodeLeftTopX, sheet.BarcodeLeftTopY, sheet.BarcodeWidth, sheet.BarcodeHeight};
        view->DrawBarcode(rect);
    }
    emit m_colorButtons.at(m_core.CurrentTab)->clicked(false);
    const CreateChartArea *area = SelectedArea();
    if (area && area->ColumnCount > 0 && m_core.SelectedRow >= 0 && m_core.SelectedColumn >= 0) {
        m_selectionEcho = false;
        emit view->SetSelected(m_core.AreaNumberOfSlot(m_core.SelectedArea), m_core.SelectedRow / area->ColumnCount,
                               m_core.SelectedRow % area->ColumnCount);
        m_selectionEcho = true;
    }
}

void CVCCreateChart::UpdateLayoutButtons()
{
    const bool original = m_core.CurrentTab == CreateChartCore::OriginalList;
    const int pages = m_core.PageLists[CreateChartCore::OriginalList].size();
    const CreateChartPage *page = CurrentPage();
    ui->pushAddLayoutPage->setEnabled(original && pages < kMaxPageCount);
    ui->pushDeleteLayoutPage->setEnabled(original && pages >= 2);
    ui->pushAddLayoutPatchArea->setEnabled(original && page && page->AreaCount < kMaxAreaCount);
    ui->pushDeleteLayoutPatchArea->setEnabled(original && SelectedArea());
}

void CVCCreateChart::TellViewDuplicates(bool clearToo)
{
    const CreateChartPage *page = CurrentPage();
    if (!page)
        return;
    CVCChartGraphicsView *view = CurrentView();
    for (int slot = 0; slot < kMaxAreaCount; ++slot) {
        const CreateChartArea &area = page->Areas[size_t(slot)];
        const int number = m_core.AreaNumberOfSlot(slot);
        if (area.PatchCount <= 0 || area.ColumnCount <= 0 || number < 0)
            continue;
        for (int i = 0; i < area.Patches.size(); ++i) {
            const bool duplicated = area.Patches.at(i).Duplicated == 1;
            if (duplicated || clearToo)
                emit view->SetDuplicated(number, i / area.ColumnCount, i % area.ColumnCount, duplicated);
        }
    }
}

void CVCCreateChart::UpdateSaveButtons()
{
    const bool duplicated = m_core.CheckDuplicates(m_core.CurrentTab);
    TellViewDuplicates(true);
    ui->labelMessage->setVisible(duplicated);
    const bool hasAreas = m_core.HasAreas();
    m_okButton->setEnabled(!duplicated && hasAreas);
    m_pushSave->setEnabled(!duplicated && hasAreas && m_core.MayOverwrite(m_uniformLayout));
}

void CVCCreateChart::CheckDuplicates()
{
    UpdateSaveButtons();
}

void CVCCreateChart::SetWaitCursor(bool on)
{
    setCursor(on ? Qt::WaitCursor : Qt::ArrowCursor);
}

void CVCCreateChart::UpdateLabelSize()
{
    const CreateChartPage *page = CurrentPage();
    if (!page)
        return;
    ChartDefinitionData::Sheet sheet;
    m_core.PageToSheet(*page, &sheet, false);
    CVCChartGraphicsView *view = CurrentView();
    emit view->SetFontPointSize(view->FitFontPointSize(&sheet));
}

void CVCCreateChart::pushColorClicked()
{
    UpdateLayoutButtons();
    UpdateSaveButtons();
    emit CurrentView()->SetDisplay(m_colorButtons.at(m_core.CurrentTab)->isChecked() ? 0 : 3);
}

// ---- Pages and areas --------------------------------------------------------------------------------------------

void CVCCreateChart::AddChartData()
{
    m_core.AddPage();
}

void CVCCreateChart::DeleteChartData()
{
    m_core.DeletePage();
}

void CVCCreateChart::AddChartDataPatchArea()
{
    m_core.AddArea();
}

void CVCCreateChart::DeleteChartDataPatchArea()
{
    m_core.DeleteSelectedArea();
}

void CVCCreateChart::patchAreaCountChanged()
{
    WriteAllAreaItems();
    Refresh(false);
    const int slot = m_core.SelectedArea;
    m_core.SelectedArea = -1;
    if (slot >= 0 && AreaItem(slot)) {
        ui->treeLayout->setCurrentItem(AreaItem(slot));
    } else {
        ui->treeLayout->setCurrentItem(nullptr);
        RebuildPatchTable();
        FillPatchTable(true);
    }
    UpdateLayoutButtons();
    UpdateSaveButtons();
    m_undoStack.clear();
}

void CVCCreateChart::pageCountChanged()
{
    const int tab = m_core.CurrentTab;
    QToolButton *button = m_pageButtons.at(tab);
    QMenu *old = button->menu();
    button->setMenu(nullptr);
    delete old;
    const int count = m_core.CurrentList().size();
    int &current = m_core.CurrentPages[tab];
    current = qBound(0, current, qMax(0, count - 1));
    if (count < 2) {
        QAction action;
        action.setData(current);
        current = -1;
        menuPageTriggered(&action);
        return;
    }
    auto *menu = new QMenu(this);
    QAction *shown = nullptr;
    for (int i = 0; i < count; ++i) {
        QAction *action = menu->addAction(QString::number(i + 1));
        action->setCheckable(true);
        action->setData(i);
        if (i == current) {
            action->setChecked(true);
            shown = action;
        }
    }
    current = -1;
    menuPageTriggered(shown);
    button->setMenu(menu);
    connect(menu, &QMenu::triggered, this, &CVCCreateChart::menuPageTriggered);
}

void CVCCreateChart::menuPageTriggered(QAction *action)
{
    const int tab = m_core.CurrentTab;
    QToolButton *button = m_pageButtons.at(tab);
    QMenu *menu = button->menu();
    if (!action || (menu && !menu->actions().contains(action)) || action->data().userType() != QMetaType::Int)
        return;
    const int index = action->data().toInt();
    int &current = m_core.CurrentPages[tab];
    if (index == current) {
        action->setChecked(true);
        return;
    }
    const int count = m_core.CurrentList().size();
    if (index < 0 || index >= count)
        return;
    if (menu) {
        for (QAction *other : menu->actions())
            if (other != action)
                other->setChecked(false);
    }
    current = index;

    ui->treeLayout->setCurrentItem(nullptr);
    UpdateLayoutButtons();
    WritePaperItems();
    WriteAllAreaItems();
    // After the area items are shown: the tree does not expand hidden items.
    ui->treeLayout->expandAll();
    ui->treeLayout->resizeColumnToContents(0);
    ui->treeLayout->resizeColumnToContents(1);
    Refresh(true);
    UpdateSaveButtons();
    m_undoStack.clear();
    button->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(count));
}

void CVCCreateChart::AreaMoved(int areaNo, QSize size)
{
    const int slot = m_core.SlotOfAreaNumber(areaNo);
    if (slot < 0)
        return;
    m_core.MoveArea(slot, size.width(), size.height());
    WriteAreaItems(slot);
    Refresh(false);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

void CVCCreateChart::AreaResized(int areaNo, QSize size)
{
    const int slot = m_core.SlotOfAreaNumber(areaNo);
    if (slot < 0)
        return;
    m_core.ResizeArea(slot, size.width(), size.height());
    WriteAreaItems(slot);
    Refresh(false);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

void CVCCreateChart::BarcodeMoved(QSize size)
{
    m_core.MoveBarcode(size.width(), size.height());
    Refresh(false);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

// ---- Tabs and zoom ----------------------------------------------------------------------------------------------

void CVCCreateChart::tabChartCanvasCurrentChanged(int index)
{
    if (index == m_core.CurrentTab || index < 0 || index > 1)
        return;
    QTreeWidget *tree = ui->treeLayout;
    QTableWidget *table = ui->tablePatch;
    if (index == CreateChartCore::ScrambleList) {
        m_savedTreeItem = tree->currentItem();
        m_savedTreeScroll = tree->verticalScrollBar()->value();
        m_savedTableRow = table->currentRow();
        m_savedTableColumn = table->currentColumn();
        m_savedTableScroll = table->verticalScrollBar()->value();
        RemoveCellEditor(true);
        m_core.PageLists[CreateChartCore::ScrambleList] = m_core.PageLists[CreateChartCore::OriginalList];
        ScrambleChart();
        m_core.CurrentPages[CreateChartCore::ScrambleList] = m_core.CurrentPages[CreateChartCore::OriginalList];
        m_core.CurrentTab = CreateChartCore::ScrambleList;
        ui->pushScrambleColor->setChecked(ui->pushOriginalColor->isChecked());
        pageCountChanged();
        return;
    }
    m_core.CurrentPages[CreateChartCore::OriginalList] = m_core.CurrentPages[CreateChartCore::ScrambleList];
    m_core.CurrentTab = CreateChartCore::OriginalList;
    ui->pushOriginalColor->setChecked(ui->pushScrambleColor->isChecked());
    pageCountChanged();
    tree->setCurrentItem(m_savedTreeItem);
    tree->verticalScrollBar()->setValue(m_savedTreeScroll);
    table->setCurrentCell(m_savedTableRow, m_savedTableColumn);
    table->verticalScrollBar()->setValue(m_savedTableScroll);
}

void CVCCreateChart::PaintFinished()
{
    if (!m_fitAfterPaint)
        return;
    m_fitAfterPaint = false;
    const QList<QAction *> actions = m_zoomMenus.at(m_core.CurrentTab)->actions();
    if (!actions.isEmpty())
        emit menuZoomTrigger(actions.last());
}

void CVCCreateChart::menuZoomTriggered(QAction *action)
{
    const int tab = m_core.CurrentTab;
    if (!action || !m_zoomMenus.at(tab)->actions().contains(action))
        return;
    ApplyZoomMenuAction(action, m_zoomSliders.at(tab), m_zoomButtons.at(tab), CurrentView()->GetFitZoom());
}

void CVCCreateChart::sliderZoomValueChanged(int value)
{
    CurrentView()->SetZoom(value);
    SetZoomButtonText(value, m_zoomButtons.at(m_core.CurrentTab));
}

void CVCCreateChart::pushZoomInClicked()
{
    StepZoomSlider(m_zoomSliders.at(m_core.CurrentTab), 1);
}

void CVCCreateChart::pushZoomOutClicked()
{
    StepZoomSlider(m_zoomSliders.at(m_core.CurrentTab), -1);
}

void CVCCreateChart::paintEvent(QPaintEvent *event)
{
    // While "Fit in the window" is chosen the page follows the view's size.
    const int tab = m_core.CurrentTab;
    const QList<QAction *> actions = m_zoomMenus.at(tab)->actions();
    if (!actions.isEmpty() && actions.last()->isChecked()) {
        m_zoomSliders.at(tab)->setValue(CurrentView()->GetFitZoom());
        actions.last()->setChecked(true);
    }
    CVCDialog::paintEvent(event);
}

// ---- Patch table ------------------------------------------------------------------------------------------------

void CVCCreateChart::SetupPatchTable()
{
    QTableWidget *table = ui->tablePatch;
    table->installEventFilter(this);
    const int format = m_core.ColorFormat;
    QStringList names = m_model->GetColorChannelNames(format);
    if (names.isEmpty()) {
        const InkChannelList &inks = m_model->GetUserEnvironment()->Inks;
        for (int k = 0; k < format + 2 && k < inks.size(); ++k)
            names << inks.at(k).name;
    }
    table->setColumnCount(m_core.TableColumnCount());
    table->setHorizontalHeaderLabels(QStringList(QStringLiteral("ID")) + names);
    connect(table, &QTableWidget::currentCellChanged, this, &CVCCreateChart::tablePatchCurrentCellChanged,
            Qt::UniqueConnection);
    connect(table, &QTableWidget::cellClicked, this, &CVCCreateChart::tablePatchCellClicked, Qt::UniqueConnection);
}

void CVCCreateChart::RebuildPatchTable()
{
    QTableWidget *table = ui->tablePatch;
    RemoveCellEditor(false);
    const CreateChartArea *area = SelectedArea();
    const QString base = ui->dockPatch->windowTitle().section(QLatin1Char('/'), 0, 0);
    ui->dockPatch->setWindowTitle(area ? base + QStringLiteral("/ ") + tr("Patch Area") + QLatin1Char(' ') +
                                             QString::number(m_core.SelectedArea + 1)
                                       : base);
    const int rows = area ? qMin(area->PatchCount, area->Patches.size()) : 0;
    const int old = table->rowCount();
    table->setRowCount(rows);
    for (int r = old; r < rows; ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            auto *item = new QTableWidgetItem;
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            table->setItem(r, c, item);
        }
    }
}

void CVCCreateChart::FillPatchTable(bool removeEditors)
{
    if (removeEditors)
        RemoveCellEditor(false);
    for (int r = 0; r < ui->tablePatch->rowCount(); ++r)
        FillPatchRow(r);
}

void CVCCreateChart::FillPatchRow(int row)
{
    QTableWidget *table = ui->tablePatch;
    const CreateChartArea *area = SelectedArea();
    if (!area || row < 0 || row >= table->rowCount() || row >= area->Patches.size())
        return;
    const CreateChartPatch &patch = area->Patches.at(row);
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem *item = table->item(row, c);
        if (item)
            item->setText(c == 0 ? QString::number(patch.ID) : QString::number(patch.ColorValue[c - 1], 'f', 2));
    }
    if (m_cellEditor && m_cellEditorRow == row) {
        const QSignalBlocker blocker(m_cellEditor);
        if (auto *id = qobject_cast<QSpinBox *>(m_cellEditor.data()))
            id->setValue(patch.ID);
        else if (auto *value = qobject_cast<QDoubleSpinBox *>(m_cellEditor.data()))
            value->setValue(double(patch.ColorValue[m_cellEditorColumn - 1]));
    }
}

void CVCCreateChart::RemoveCellEditor(bool commit)
{
    if (!m_cellEditor)
        return;
    // The editor's value goes in as its focus loss would take it in, before it leaves its cell.
    if (commit) {
        if (m_cellEditorColumn == 0)
            spinIDEditingFinished();
        else
            spinColorEditingFinished();
    }
    QWidget *editor = m_cellEditor;
    editor->disconnect(this);
    editor->blockSignals(true);
    editor->removeEventFilter(this);
    m_cellEditor = nullptr;
    ui->tablePatch->removeCellWidget(m_cellEditorRow, m_cellEditorColumn);
    m_cellEditorRow = -1;
    m_cellEditorColumn = -1;
}

void CVCCreateChart::tablePatchCellClicked(int row, int column)
{
    if (row < 0 || column < 0 || m_core.CurrentTab != CreateChartCore::OriginalList)
        return;
    const CreateChartArea *area = SelectedArea();
    QTableWidgetItem *cell = ui->tablePatch->item(row, column);
    if (!area || !cell || row >= area->Patches.size())
        return;
    RemoveCellEditor(true);
    QAbstractSpinBox *editor = nullptr;
    if (column == 0) {
        auto *spin = new QSpinBox;
        spin->setRange(1, CreateChartCore::kMaxId);
        spin->setValue(cell->text().toInt());
        connect(spin, &QSpinBox::editingFinished, this, &CVCCreateChart::spinIDEditingFinished);
        editor = spin;
    } else {
        auto *spin = new QDoubleSpinBox;
        spin->setDecimals(2);
        spin->setSingleStep(0.01);
        spin->setRange(double(m_model->GetColorMinValue(m_core.ColorFormat)),
                       double(m_model->GetColorMaxValue(m_core.ColorFormat)));
        spin->setValue(cell->text().toDouble());
        connect(spin, &QDoubleSpinBox::editingFinished, this, &CVCCreateChart::spinColorEditingFinished);
        editor = spin;
    }
    editor->selectAll();
    m_cellEditor = editor;
    m_cellEditorRow = row;
    m_cellEditorColumn = column;
    ui->tablePatch->setCellWidget(row, column, editor);
    editor->setFocus();
    editor->installEventFilter(this);
}

void CVCCreateChart::PushPatchEdit(int column, const CreateChartPatch &after)
{
    const CreateChartArea *area = SelectedArea();
    const int row = m_cellEditorRow;
    if (!area || row < 0 || row >= area->Patches.size())
        return;
    auto *command = new UndoCommandPatch(m_core.CurrentPages[CreateChartCore::OriginalList], m_core.SelectedArea,
                                         row, column, area->Patches.at(row), after);
    connect(command, &UndoCommandPatch::SetPatch, this, &CVCCreateChart::SetPatch);
    m_transform = false;
    m_undoStack.push(command);
    m_transform = true;
}

void CVCCreateChart::spinIDEditingFinished()
{
    auto *spin = qobject_cast<QSpinBox *>(m_cellEditor.data());
    QTableWidgetItem *cell = ui->tablePatch->item(m_cellEditorRow, 0);
    if (!spin || !cell || QString::number(spin->value()) == cell->text())
        return;
    CreateChartPatch after;
    after.ID = spin->value();
    PushPatchEdit(0, after);
}

void CVCCreateChart::spinColorEditingFinished()
{
    auto *spin = qobject_cast<QDoubleSpinBox *>(m_cellEditor.data());
    const int column = m_cellEditorColumn;
    QTableWidgetItem *cell = ui->tablePatch->item(m_cellEditorRow, column);
    if (!spin || !cell || column < 1 || QString::number(spin->value(), 'f', 2) == cell->text())
        return;
    CreateChartPatch after;
    after.ColorValue[column - 1] = float(spin->value());
    PushPatchEdit(column, after);
}

void CVCCreateChart::tablePatchCurrentCellChanged(int currentRow, int currentColumn, int previousRow,
                                                  int previousColumn)
{
    Q_UNUSED(previousRow)
    Q_UNUSED(previousColumn)
    m_core.SelectedRow = currentRow;
    m_core.SelectedColumn = currentColumn;
    RemoveCellEditor(true);
    CVCChartGraphicsView *view = CurrentView();
    m_clearEcho = false;
    emit view->ClearSelected();
    m_clearEcho = true;
    if (m_keyboardMove)
        emit ui->tablePatch->cellClicked(currentRow, currentColumn);
    const CreateChartArea *area = SelectedArea();
    if (area && area->ColumnCount > 0 && currentRow >= 0) {
        m_selectionEcho = false;
        emit view->SetSelected(m_core.AreaNumberOfSlot(m_core.SelectedArea), currentRow / area->ColumnCount,
                               currentRow % area->ColumnCount);
        m_selectionEcho = true;
    }
    m_keyboardMove = false;
}

void CVCCreateChart::SelectPatch(int areaNo, int rowNo, int columnNo)
{
    if (!m_selectionEcho)
        return;
    const int slot = m_core.SlotOfAreaNumber(areaNo);
    if (slot < 0)
        return;
    QTreeWidget *tree = ui->treeLayout;
    if (slot != m_core.SelectedArea)
        tree->setCurrentItem(AreaItem(slot));
    tree->scrollToItem(tree->currentItem());
    const CreateChartArea *area = SelectedArea();
    if (!area)
        return;
    const int row = area->ColumnCount * rowNo + columnNo;
    QTableWidget *table = ui->tablePatch;
    if (row < 0 || row >= table->rowCount())
        return;
    table->selectRow(row);
    table->scrollToItem(table->item(row, 0));
    table->setFocus();
}

void CVCCreateChart::ClearPatch()
{
    if (m_clearEcho)
        ui->tablePatch->setCurrentCell(-1, -1);
}

void CVCCreateChart::SelectTableRow(int row)
{
    QTableWidget *table = ui->tablePatch;
    if (row >= 0 && row < table->rowCount())
        table->selectRow(row);
}

void CVCCreateChart::SetPatch(int pageNo, int areaNo, int rowNo, int columnNo, CVCCreateChart::Patch patch)
{
    if (!m_core.SetPatch(pageNo, areaNo, rowNo, columnNo, patch))
        return;
    if (columnNo == 0) {
        UpdateSaveButtons();
        UpdateLabelSize();
    }
}

void CVCCreateChart::PatchStored(int listIndex, int pageNo, int areaNo, int rowNo, int columnNo)
{
    Q_UNUSED(columnNo)
    if (listIndex != m_core.CurrentTab || pageNo != m_core.CurrentPages[listIndex])
        return;
    const CreateChartPage *page = CurrentPage();
    const CreateChartArea &area = page->Areas[size_t(areaNo)];
    if (areaNo == m_core.SelectedArea) {
        FillPatchRow(rowNo);
        if (m_transform)
            SelectTableRow(rowNo);
    }
    if (area.ColumnCount <= 0 || rowNo >= area.Patches.size())
        return;
    const CreateChartPatch &patch = area.Patches.at(rowNo);
    ChartDefinitionData::PatchColor color;
    color.ID = patch.ID;
    color.Area = m_core.AreaNumberOfSlot(areaNo);
    color.Row = rowNo / area.ColumnCount;
    color.Column = rowNo % area.ColumnCount;
    color.ColorFormat = m_core.ColorFormat;
    for (int k = 0; k < m_core.ValueCount(); ++k)
        color.ColorValue[k] = patch.ColorValue[k];
    emit CurrentView()->SetPatchColor(color);
}

// ---- Copy, paste, transforms, IDs -------------------------------------------------------------------------------

void CVCCreateChart::pushCopyClicked()
{
    int area = 0;
    int row = 0;
    int column = 0;
    if (!ui->graphicsViewOriginal->GetSelectedPatch(&area, &row, &column))
        return;
    if (m_core.CopyPatch(area, row, column))
        emit pushCopied(m_core.CopiedPatch.ID >= 1);
}

void CVCCreateChart::pushPasteClicked()
{
    int area = 0;
    int row = 0;
    int column = 0;
    CreateChartPatchEdit edit;
    if (!ui->graphicsViewOriginal->GetSelectedPatch(&area, &row, &column) ||
        !m_core.PlanPatchPaste(area, row, column, &edit))
        return;
    auto *command = new UndoCommandPatch(edit);
    connect(command, &UndoCommandPatch::SetPatch, this, &CVCCreateChart::SetPatch);
    m_undoStack.push(command);
}

void CVCCreateChart::PasteClipboard()
{
    if (m_core.CurrentTab != CreateChartCore::OriginalList || !m_core.SelectedAreaPointer())
        return;
    const int format = m_core.ColorFormat;
    const CreateChartClipboardPaste paste = m_core.PlanClipboardPaste(
        QGuiApplication::clipboard()->text(), m_model->GetColorMinValue(format), m_model->GetColorMaxValue(format));
    if (paste.BadLine)
        CUiPresenter::Current().Warn(this, tr("Pasted Data is the error."));
    if (!paste.Edits.isEmpty()) {
        auto *group = new UndoCommandPatchs(this);
        for (const CreateChartPatchEdit &edit : paste.Edits) {
            auto *command = new UndoCommandPatch(edit);
            connect(command, &UndoCommandPatch::SetPatch, this, &CVCCreateChart::SetPatch);
            group->Add(command);
        }
        m_undoStack.push(group);
    }
    SelectTableRow(paste.LastRow);
}

void CVCCreateChart::AfterTurn(int row)
{
    WritePaperItems();
    WriteAllAreaItems();
    ui->treeLayout->expandAll();
    ui->treeLayout->resizeColumnToContents(0);
    ui->treeLayout->resizeColumnToContents(1);
    RebuildPatchTable();
    FillPatchTable(true);
    Refresh(false);
    SelectTableRow(row);
    UpdateLayoutButtons();
    UpdateSaveButtons();
}

void CVCCreateChart::pushFlipHorizontalClicked()
{
    setCursor(Qt::WaitCursor);
    m_transform = false;
    m_core.FlipRows();
    m_transform = true;
    setCursor(Qt::ArrowCursor);
}

void CVCCreateChart::pushFlipVerticalClicked()
{
    setCursor(Qt::WaitCursor);
    m_transform = false;
    m_core.FlipColumns();
    m_transform = true;
    setCursor(Qt::ArrowCursor);
}

void CVCCreateChart::pushRotateClicked()
{
    setCursor(Qt::WaitCursor);
    m_transform = false;
    const int row = m_core.Rotate();
    m_transform = true;
    AfterTurn(row);
    setCursor(Qt::ArrowCursor);
}

void CVCCreateChart::pushExchangeRowColumnClicked()
{
    setCursor(Qt::WaitCursor);
    m_transform = false;
    const int row = m_core.ExchangeRowColumn();
    m_transform = true;
    AfterTurn(row);
    setCursor(Qt::ArrowCursor);
}

void CVCCreateChart::AssignIds(bool columnByColumn)
{
    if (CUiPresenter::Current().Ask(this, tr("Do you want to assign ID automatically?"),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    m_core.AssignIds(columnByColumn);
    FillPatchTable(false);
    WriteAllAreaItems();
    Refresh(false);
    UpdateSaveButtons();
    m_undoStack.clear();
}

void CVCCreateChart::pushIDClicked()
{
    AssignIds(false);
}

void CVCCreateChart::pushLengthIDClicked()
{
    AssignIds(true);
}

// ---- Keys, exec, done -------------------------------------------------------------------------------------------

bool CVCCreateChart::eventFilter(QObject *watched, QEvent *event)
{
    QTableWidget *table = ui->tablePatch;
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == table && table->currentRow() >= 0 && table->currentColumn() >= 0) {
            if (key->key() == Qt::Key_Tab) {
                emit table->cellClicked(table->currentRow(), table->currentColumn());
                return true;
            }
            if (key->key() == Qt::Key_Backtab)
                m_keyboardMove = true;
        } else if (m_cellEditor && watched == m_cellEditor) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, key->modifiers());
                QCoreApplication::sendEvent(watched, &tab);
                return true;
            }
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                m_keyboardMove = true;
        }
    }
    return CVCDialog::eventFilter(watched, event);
}

void CVCCreateChart::keyPressEvent(QKeyEvent *event)
{
    const bool original = m_core.CurrentTab == CreateChartCore::OriginalList;
    if (event->matches(QKeySequence::Undo)) {
        if (original && m_undoStack.canUndo())
            emit ui->pushOriginalUndo->clicked();
    } else if (event->matches(QKeySequence::Redo)) {
        if (original && m_undoStack.canRedo())
            emit ui->pushOriginalRedo->clicked();
    } else if (event->matches(QKeySequence::Paste)) {
        if (original)
            PasteClipboard();
    }
    CVCDialog::keyPressEvent(event);
}

int CVCCreateChart::exec()
{
    if (m_core.PageLists[CreateChartCore::OriginalList].isEmpty())
        AddChartData();
    UpdateLayoutButtons();
    UpdateSaveButtons();
    SetupPatchTable();
    pageCountChanged();
    return CVCDialog::exec();
}

void CVCCreateChart::pushSaveClicked()
{
    done(2);
}

void CVCCreateChart::done(int r)
{
    CUiPresenter &presenter = CUiPresenter::Current();
    if (r == 0 && !m_okButton->isHidden() && m_okButton->isEnabled()) {
        const QMessageBox::StandardButton answer =
            presenter.Ask(this, tr("Do want to save chart definition data?"),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoButton);
        if (answer == QMessageBox::Yes)
            r = 1;
        else if (answer != QMessageBox::No)
            return;
    }
    if (r != 0 && m_core.Header.Barcode == 1) {
        QString question;
        if (!m_core.BarcodeInPrintRange())
            question = tr("QR Code exists out of a print range.\nDo want to save chart definition data?");
        else if (m_core.BarcodeOverlapsArea())
            question = tr("QR code is overlapped with patch area.\nDo want to save chart definition data?");
        if (!question.isEmpty() && presenter.Ask(this, question) != QMessageBox::Yes)
            return;
    }
    int result = 0;
    if (r == 1 || r == 2) {
        ChartDefinitionDataSheets definition;
        InitChartDefinitionData(&definition);
        m_core.PagesToDefinition(r == 2, &definition);
        if (r == 1) {
            result = m_model->CreateDesignationChart(&definition);
            if (result == 0)
                m_model->CheckDesignationChartLimit();
        } else {
            result = m_model->UpdateDesignationChart(&definition);
        }
        ClearChartDefinitionData(&definition);
    }
    m_model->ReportError(result, 2, false);
    // A failed save keeps the dialog and its pages, so the user can retry, use the other save or cancel.
    if (result != 0)
        return;
    CVCDialog::done(r);
}
