#include "chart/vcmodifychart.h"

#include "ui_modifychartdialog.h"

#include "app/constants.h"
#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "app/widgets/conditiontree.h"
#include "app/widgets/widgethelpers.h"

#include <QAction>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QSpinBox>

#include <algorithm>

namespace {

// Tags of the layout tree's items (column 0, user role): the editable values are 13 to 20.
enum LayoutTag {
    kTagNone = -1,
    kTagPatchArea = 0,
    kTagPageSize = 10,
    kTagPageWidth = 11,
    kTagPageHeight = 12,
    kTagLeftTopX = 13,
    kTagLeftTopY = 14,
    kTagRowCount = 15,
    kTagColumnCount = 16,
    kTagPatchWidth = 17,
    kTagPatchHeight = 18,
    kTagPatchWidthGap = 19,
    kTagPatchHeightGap = 20,
};

constexpr int kPatchSizeMin = 600;
constexpr int kPatchSizeMax = 3000;
constexpr int kPatchGapMin = 600;
constexpr int kPatchGapMax = 3200;
constexpr int kLengthEditorWidth = 100;
constexpr int kCountEditorWidth = 50;
constexpr int kImageDpi = 300;

// The number a value item shows: its text before the unit.
QString itemNumber(const QTreeWidgetItem *item)
{
    return item->text(1).section(QLatin1Char(' '), 0, 0);
}

} // namespace

CVCModifyChart::CVCModifyChart(CModel *model, const QRect &region, int pageIndex, int rowCount, int columnCount,
                               QWidget *parent)
    : CVCDialog(parent, Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
      ui(new Ui::ModifyChartDialog),
      m_model(model),
      m_pageIndex(pageIndex)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    ui->splitter->setStretchFactor(1, 1);
    ui->splitter->setSizes({300, 700});

    QMenu *zoomMenu = CreateZoomMenu(1, this, {ui->sliderZoom});
    ui->pushZoomSetting->setMenu(zoomMenu);
    connect(zoomMenu, &QMenu::triggered, this, &CVCModifyChart::menuZoomTriggered);
    connect(ui->sliderZoom, &QSlider::valueChanged, this, &CVCModifyChart::sliderZoomValueChanged);
    connect(ui->pushZoomIn, &QToolButton::clicked, this, &CVCModifyChart::PushZoomIn);
    connect(ui->pushZoomOut, &QToolButton::clicked, this, &CVCModifyChart::PushZoomOut);

    const Setting::UserEnvironment *environment = m_model->GetUserEnvironment();
    m_unit = environment->LengthUnit;
    ui->graphicsView->SetInkColorList(environment->Inks);
    ui->graphicsView->SetBarcodeInset(PixelsToUnitFixed(kUnitMm, m_model->GetBarcodeInsetPixels(), kImageDpi));
    connect(ui->graphicsView, &CVCEditChartGraphicsView::AreaMoved, this, &CVCModifyChart::AreaMoved);
    connect(ui->graphicsView, &CVCEditChartGraphicsView::AreaResized, this, &CVCModifyChart::AreaResized);

    buildTree();
    connect(ui->treeLayout, &QTreeWidget::currentItemChanged, this, &CVCModifyChart::treeLayoutCurrentItemChanged);

    // The page and its captured image; an index without a sheet or an entry leaves them empty.
    const ChartDefinitionDataSheets *chart = m_model->GetChartDefinition();
    if (chart && chart->Sheets && pageIndex >= 0 && pageIndex < chart->SheetCount) {
        m_pageWidth = chart->Sheets[pageIndex].Width;
        m_pageHeight = chart->Sheets[pageIndex].Height;
    }
    MeasurementDataSheets *measurement = nullptr;
    if (m_model->GetMeasurementData(&measurement) == 0 && measurement && measurement->Sheets && pageIndex >= 0
        && pageIndex < measurement->SheetCount) {
        const MeasurementData &entry = measurement->Sheets[pageIndex];
        m_imageWidth = entry.Width;
        m_imageHeight = entry.Height;
        m_bitsPerPixel = entry.BitPerPixel;
        m_imageBytes = entry.ImageBytes.get();
    }
    m_paperSizeIndex = m_model->FindPaperSizeIndex(m_pageWidth, m_pageHeight);

    // The counts are bounded as the tree's editors bound them, so the area shown is one that can be made.
    m_leftTopX = region.left();
    m_leftTopY = region.top();
    m_rowCount = std::clamp(rowCount, m_model->GetMinRowColumnCount(), m_model->GetMaxRowCount());
    m_columnCount = std::clamp(columnCount, m_model->GetMinRowColumnCount(), m_model->GetMaxColumnCount());
    m_patchCount = m_rowCount * m_columnCount;
    m_patchWidth = std::clamp((region.right() - region.left() + 1) / m_columnCount, kPatchSizeMin, kPatchSizeMax);
    m_patchHeight = std::clamp((region.bottom() - region.top() + 1) / m_rowCount, kPatchSizeMin, kPatchSizeMax);
    m_patchWidthGap = m_patchWidth;
    m_patchHeightGap = m_patchHeight;

    ui->treeLayout->expandAll();
    fillPaperLayout();
    fillPatchArea();
    ResizeTreeColumns(ui->treeLayout);
    redraw();
}

CVCModifyChart::~CVCModifyChart()
{
    // The tree goes with the dialog's children, after this object's own members.
    disconnect(ui->treeLayout, nullptr, this, nullptr);
}

void CVCModifyChart::GetSheet(ChartDefinitionData::Sheet *sheet) const
{
    sheet->Width = m_pageWidth;
    sheet->Height = m_pageHeight;
    sheet->AreaCount = 1;
    sheet->PatchCount = m_patchCount;
    sheet->Areas[0] = {m_rowCount, m_columnCount, m_patchCount};
    sheet->Placements[0] = {m_leftTopX, m_leftTopY, m_patchWidth, m_patchHeight, m_patchWidthGap, m_patchHeightGap};
    sheet->Patches = NewChartPatches(size_t(std::max(0, m_patchCount)));
    for (int r = 0; r < m_rowCount; ++r) {
        for (int c = 0; c < m_columnCount; ++c) {
            ChartDefinitionData::PatchColor &patch = sheet->Patches[r * m_columnCount + c];
            patch.Row = r;
            patch.Column = c;
        }
    }
}

// ---- Tree -------------------------------------------------------------------------------------------------------

void CVCModifyChart::buildTree()
{
    // Each row's parent is an earlier row of the table (-1: top level).
    struct TreeRow {
        int parent;
        const char *text;
        int tag;
    };
    static const TreeRow kRows[] = {
        {-1, QT_TRANSLATE_NOOP("ModifyChartDialog", "Paper Layout"), kTagNone}, // 0
        {0, QT_TRANSLATE_NOOP("ModifyChartDialog", "Page Size"), kTagPageSize}, // 1
        {1, QT_TRANSLATE_NOOP("ModifyChartDialog", "Width"), kTagPageWidth},
        {1, QT_TRANSLATE_NOOP("ModifyChartDialog", "Height"), kTagPageHeight},
        {0, QT_TRANSLATE_NOOP("ModifyChartDialog", "Page Count"), kTagNone}, // 4
        {-1, QT_TRANSLATE_NOOP("ModifyChartDialog", "Patch Area"), kTagPatchArea}, // 5
        {5, QT_TRANSLATE_NOOP("ModifyChartDialog", "Left Top"), kTagNone}, // 6
        {6, "X", kTagLeftTopX},
        {6, "Y", kTagLeftTopY},
        {5, QT_TRANSLATE_NOOP("ModifyChartDialog", "Patch Count"), kTagNone}, // 9
        {9, QT_TRANSLATE_NOOP("ModifyChartDialog", "Row"), kTagRowCount},
        {9, QT_TRANSLATE_NOOP("ModifyChartDialog", "Column"), kTagColumnCount},
        {9, QT_TRANSLATE_NOOP("ModifyChartDialog", "Number"), kTagNone}, // 12
        {5, QT_TRANSLATE_NOOP("ModifyChartDialog", "Patch Size"), kTagNone}, // 13
        {13, QT_TRANSLATE_NOOP("ModifyChartDialog", "Width"), kTagPatchWidth},
        {13, QT_TRANSLATE_NOOP("ModifyChartDialog", "Height"), kTagPatchHeight},
        {5, QT_TRANSLATE_NOOP("ModifyChartDialog", "Patch Gap"), kTagNone}, // 16
        {16, QT_TRANSLATE_NOOP("ModifyChartDialog", "Width"), kTagPatchWidthGap},
        {16, QT_TRANSLATE_NOOP("ModifyChartDialog", "Height"), kTagPatchHeightGap},
    };
    QList<QTreeWidgetItem *> items;
    for (const TreeRow &row : kRows) {
        // "X" and "Y" read the same in every language.
        const QString text = row.tag == kTagLeftTopX || row.tag == kTagLeftTopY
                                 ? QString::fromLatin1(row.text)
                                 : QCoreApplication::translate("ModifyChartDialog", row.text);
        QTreeWidgetItem *item = row.parent < 0 ? new QTreeWidgetItem(ui->treeLayout, QStringList(text))
                                               : new QTreeWidgetItem(items.at(row.parent), QStringList(text));
        item->setData(0, Qt::UserRole, row.tag);
        if (row.tag >= kTagPageSize)
            m_valueItems.insert(row.tag, item);
        items.append(item);
    }
    items.at(4)->setText(1, QString::number(m_pageIndex + 1));
    m_patchAreaItemIndex = ui->treeLayout->indexOfTopLevelItem(items.at(5));
    m_numberItem = items.at(12);
    items.at(13)->setText(1, rangeText(kPatchSizeMin, kPatchSizeMax));
    items.at(16)->setText(1, rangeText(kPatchGapMin, kPatchGapMax));
}

void CVCModifyChart::fillPaperLayout()
{
    for (int tag : {kTagPageSize, kTagPageWidth, kTagPageHeight})
        ui->treeLayout->removeItemWidget(m_valueItems.value(tag), 1);
    m_valueItems.value(kTagPageSize)->setText(1, m_model->GetPageSizeName(m_paperSizeIndex));
    m_valueItems.value(kTagPageWidth)->setText(1, lengthText(m_pageWidth));
    m_valueItems.value(kTagPageHeight)->setText(1, lengthText(m_pageHeight));
}

void CVCModifyChart::fillPatchArea()
{
    QTreeWidgetItem *area = ui->treeLayout->topLevelItem(m_patchAreaItemIndex);
    if (m_patchCount <= 0) {
        area->setHidden(true);
        return;
    }
    area->setHidden(false);
    const QList<QPair<int, QString>> values = {
        {kTagLeftTopX, lengthText(m_leftTopX)},
        {kTagLeftTopY, lengthText(m_leftTopY)},
        {kTagRowCount, QString::number(m_rowCount)},
        {kTagColumnCount, QString::number(m_columnCount)},
        {kTagPatchWidth, lengthText(m_patchWidth)},
        {kTagPatchHeight, lengthText(m_patchHeight)},
        {kTagPatchWidthGap, lengthText(m_patchWidthGap)},
        {kTagPatchHeightGap, lengthText(m_patchHeightGap)},
    };
    for (const auto &value : values) {
        QTreeWidgetItem *item = m_valueItems.value(value.first);
        ui->treeLayout->removeItemWidget(item, 1);
        item->setText(1, value.second);
    }
    m_numberItem->setText(1, QString::number(m_patchCount));
}

QString CVCModifyChart::unitNumber(double value) const
{
    return QString::number(value, 'f', UnitDecimals(m_unit));
}

QString CVCModifyChart::lengthText(int mmFixed) const
{
    return unitNumber(MmFixedToUnit(m_unit, mmFixed)) + QLatin1Char(' ') + UnitName(m_unit);
}

QString CVCModifyChart::rangeText(int minimum, int maximum) const
{
    return QStringLiteral("(%1 - %2 %3)")
        .arg(unitNumber(MmFixedToUnit(m_unit, minimum)), unitNumber(MmFixedToUnit(m_unit, maximum)),
             UnitName(m_unit));
}

void CVCModifyChart::redraw()
{
    ChartDefinitionData::Sheet sheet;
    GetSheet(&sheet);
    ui->graphicsView->DrawSheet(&sheet, m_imageWidth, m_imageHeight, m_bitsPerPixel, m_imageBytes);
    emit ui->graphicsView->SetDisplay(5);
}

// ---- Editors ----------------------------------------------------------------------------------------------------

void CVCModifyChart::treeLayoutCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    if (current == previous)
        return;
    if (previous)
        ui->treeLayout->removeItemWidget(previous, 1);
    if (!current)
        return;
    const int tag = current->data(0, Qt::UserRole).toInt();
    if (tag < kTagLeftTopX || tag > kTagPatchHeightGap)
        return;
    QWidget *editor = createEditor(tag, current);
    ui->treeLayout->setItemWidget(current, 1, editor);
    editor->setFocus();
}

QWidget *CVCModifyChart::createEditor(int tag, QTreeWidgetItem *item)
{
    if (tag == kTagRowCount || tag == kTagColumnCount) {
        auto *spin = new QSpinBox;
        spin->setRange(m_model->GetMinRowColumnCount(),
                       tag == kTagRowCount ? m_model->GetMaxRowCount() : m_model->GetMaxColumnCount());
        spin->setValue(itemNumber(item).toInt());
        spin->setFixedWidth(kCountEditorWidth);
        spin->selectAll();
        connect(spin, &QSpinBox::editingFinished, this,
                tag == kTagRowCount ? &CVCModifyChart::spinPatchCountRowEditingFinished
                                    : &CVCModifyChart::spinPatchCountColumnEditingFinished);
        return spin;
    }

    int minimum = kPatchSizeMin;
    int maximum = kPatchSizeMax;
    void (CVCModifyChart::*slot)() = &CVCModifyChart::spinPatchSizeWidthEditingFinished;
    switch (tag) {
    case kTagLeftTopX:
        minimum = m_model->GetAreaLeftMin();
        maximum = m_model->GetAreaLeftMax();
        slot = &CVCModifyChart::spinLeftTopXEditingFinished;
        break;
    case kTagLeftTopY:
        minimum = m_model->GetAreaTopMin();
        maximum = m_model->GetAreaTopMax();
        slot = &CVCModifyChart::spinLeftTopYEditingFinished;
        break;
    case kTagPatchHeight:
        slot = &CVCModifyChart::spinPatchSizeHeightEditingFinished;
        break;
    case kTagPatchWidthGap:
        minimum = kPatchGapMin;
        maximum = kPatchGapMax;
        slot = &CVCModifyChart::spinPatchGapWidthEditingFinished;
        break;
    case kTagPatchHeightGap:
        minimum = kPatchGapMin;
        maximum = kPatchGapMax;
        slot = &CVCModifyChart::spinPatchGapHeightEditingFinished;
        break;
    default:
        break;
    }
    auto *spin = new QDoubleSpinBox;
    // Decimals first: the range and the value are rounded to them.
    spin->setDecimals(UnitDecimals(m_unit));
    spin->setSingleStep(UnitStep(m_unit));
    spin->setRange(MmFixedToUnit(m_unit, minimum), MmFixedToUnit(m_unit, maximum));
    spin->setSuffix(QLatin1Char(' ') + UnitName(m_unit));
    spin->setValue(itemNumber(item).toDouble());
    spin->setFixedWidth(kLengthEditorWidth);
    spin->selectAll();
    connect(spin, &QDoubleSpinBox::editingFinished, this, slot);
    return spin;
}

QWidget *CVCModifyChart::currentEditor(int tag, QTreeWidgetItem **item) const
{
    QTreeWidgetItem *current = ui->treeLayout->currentItem();
    if (!current || current->data(0, Qt::UserRole).toInt() != tag)
        return nullptr;
    *item = current;
    return ui->treeLayout->itemWidget(current, 1);
}

void CVCModifyChart::finishLengthEdit(int tag)
{
    QTreeWidgetItem *item = nullptr;
    auto *spin = qobject_cast<QDoubleSpinBox *>(currentEditor(tag, &item));
    if (!spin)
        return;
    const double value = spin->value();
    const QString typed = unitNumber(value);
    if (typed == itemNumber(item))
        return;
    const QString text = typed + QLatin1Char(' ') + UnitName(m_unit);
    item->setText(1, text);
    switch (tag) {
    case kTagLeftTopX:
        m_leftTopX = UnitValueToMmFixed(m_unit, value, m_model->GetAreaLeftMin(), m_model->GetAreaLeftMax());
        break;
    case kTagLeftTopY:
        m_leftTopY = UnitValueToMmFixed(m_unit, value, m_model->GetAreaTopMin(), m_model->GetAreaTopMax());
        break;
    case kTagPatchWidth:
        m_patchWidth = UnitValueToMmFixed(m_unit, value, kPatchSizeMin, kPatchSizeMax);
        if (m_patchWidth > m_patchWidthGap) {
            m_patchWidthGap = m_patchWidth;
            m_valueItems.value(kTagPatchWidthGap)->setText(1, text);
        }
        break;
    case kTagPatchHeight:
        m_patchHeight = UnitValueToMmFixed(m_unit, value, kPatchSizeMin, kPatchSizeMax);
        if (m_patchHeight > m_patchHeightGap) {
            m_patchHeightGap = m_patchHeight;
            m_valueItems.value(kTagPatchHeightGap)->setText(1, text);
        }
        break;
    case kTagPatchWidthGap:
        m_patchWidthGap = UnitValueToMmFixed(m_unit, value, kPatchGapMin, kPatchGapMax);
        if (m_patchWidthGap < m_patchWidth) {
            m_patchWidth = m_patchWidthGap;
            m_valueItems.value(kTagPatchWidth)->setText(1, text);
        }
        break;
    case kTagPatchHeightGap:
        m_patchHeightGap = UnitValueToMmFixed(m_unit, value, kPatchGapMin, kPatchGapMax);
        if (m_patchHeightGap < m_patchHeight) {
            m_patchHeight = m_patchHeightGap;
            m_valueItems.value(kTagPatchHeight)->setText(1, text);
        }
        break;
    default:
        return;
    }
    redraw();
}

void CVCModifyChart::finishCountEdit(int tag)
{
    QTreeWidgetItem *item = nullptr;
    auto *spin = qobject_cast<QSpinBox *>(currentEditor(tag, &item));
    if (!spin)
        return;
    const QString typed = QString::number(spin->value());
    if (typed == itemNumber(item))
        return;
    item->setText(1, typed);
    if (tag == kTagRowCount)
        m_rowCount = spin->value();
    else
        m_columnCount = spin->value();
    m_patchCount = m_rowCount * m_columnCount;
    m_numberItem->setText(1, QString::number(m_patchCount));
    redraw();
}

void CVCModifyChart::spinLeftTopXEditingFinished()
{
    finishLengthEdit(kTagLeftTopX);
}

void CVCModifyChart::spinLeftTopYEditingFinished()
{
    finishLengthEdit(kTagLeftTopY);
}

void CVCModifyChart::spinPatchCountRowEditingFinished()
{
    finishCountEdit(kTagRowCount);
}

void CVCModifyChart::spinPatchCountColumnEditingFinished()
{
    finishCountEdit(kTagColumnCount);
}

void CVCModifyChart::spinPatchSizeWidthEditingFinished()
{
    finishLengthEdit(kTagPatchWidth);
}

void CVCModifyChart::spinPatchSizeHeightEditingFinished()
{
    finishLengthEdit(kTagPatchHeight);
}

void CVCModifyChart::spinPatchGapWidthEditingFinished()
{
    finishLengthEdit(kTagPatchWidthGap);
}

void CVCModifyChart::spinPatchGapHeightEditingFinished()
{
    finishLengthEdit(kTagPatchHeightGap);
}

// ---- Drags from the view ----------------------------------------------------------------------------------------

void CVCModifyChart::showLength(int tag, int mmFixed)
{
    QTreeWidgetItem *item = m_valueItems.value(tag);
    item->setText(1, lengthText(mmFixed));
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(ui->treeLayout->itemWidget(item, 1)))
        spin->setValue(MmFixedToUnit(m_unit, mmFixed));
}

void CVCModifyChart::AreaMoved(int, QSize size)
{
    m_leftTopX = std::clamp(m_leftTopX + size.width(), m_model->GetAreaLeftMin(), m_model->GetAreaLeftMax());
    m_leftTopY = std::clamp(m_leftTopY + size.height(), m_model->GetAreaTopMin(), m_model->GetAreaTopMax());
    showLength(kTagLeftTopX, m_leftTopX);
    showLength(kTagLeftTopY, m_leftTopY);
    redraw();
}

namespace {

// One direction of a resize: every patch and every step grow alike, the spacing between patches is kept
// while the size stays within its limits, and the step never passes its own.
void resizeAxis(int growth, int *size, int *step)
{
    const int spacing = *step - *size;
    *size += growth;
    *step += growth;
    if (*size < kPatchSizeMin) {
        *size = kPatchSizeMin;
        *step = spacing + kPatchSizeMin;
    } else if (*size > kPatchSizeMax) {
        *size = kPatchSizeMax;
        *step = spacing + kPatchSizeMax;
    }
    if (*step > kPatchGapMax) {
        *step = kPatchGapMax;
        *size = kPatchGapMax - spacing;
    }
}

} // namespace

void CVCModifyChart::AreaResized(int, QSize size)
{
    resizeAxis(size.width() / m_columnCount, &m_patchWidth, &m_patchWidthGap);
    resizeAxis(size.height() / m_rowCount, &m_patchHeight, &m_patchHeightGap);
    showLength(kTagPatchWidth, m_patchWidth);
    showLength(kTagPatchHeight, m_patchHeight);
    showLength(kTagPatchWidthGap, m_patchWidthGap);
    showLength(kTagPatchHeightGap, m_patchHeightGap);
    redraw();
}

// ---- Zoom -------------------------------------------------------------------------------------------------------

void CVCModifyChart::PushZoomIn()
{
    StepZoomSlider(ui->sliderZoom, 1);
}

void CVCModifyChart::PushZoomOut()
{
    StepZoomSlider(ui->sliderZoom, -1);
}

void CVCModifyChart::sliderZoomValueChanged(int value)
{
    ui->graphicsView->SetZoom(value);
    SetZoomButtonText(value, ui->pushZoomSetting);
}

void CVCModifyChart::menuZoomTriggered(QAction *action)
{
    ApplyZoomMenuAction(action, ui->sliderZoom, ui->pushZoomSetting, ui->graphicsView->GetFitZoom());
}

void CVCModifyChart::showEvent(QShowEvent *event)
{
    // Fitted once as the dialog appears; later repaints keep whatever zoom the user chose.
    ui->sliderZoom->setValue(ui->graphicsView->GetFitZoom());
    const QList<QAction *> actions = ui->pushZoomSetting->menu()->actions();
    if (!actions.isEmpty())
        actions.last()->setChecked(true);
    ui->graphicsView->setFocus();
    CVCDialog::showEvent(event);
}
