#include "app/widgets/conditiontree.h"

#include "app/constants.h"
#include "app/widgets/widgethelpers.h"

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QCoreApplication>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

using namespace QtCharts;

namespace {

constexpr int kStandardConditionCount = 15;
constexpr int kFirstUserIlluminant = 15;
constexpr int kLastUserIlluminant = 19;
constexpr int kD50Index = 2;
constexpr int kColorSpaceCount = 3;
constexpr int kDensityChannelCount = 4;
const QChar kAverageSign(0x2300);

QString Tr(const char *text)
{
    return QCoreApplication::translate("QObject", text);
}

QString DegreeSuffix()
{
    return Tr(" degree");
}

Qt::CheckState CheckStateOf(int field)
{
    return field != 0 ? Qt::Checked : Qt::Unchecked;
}

// Reading back, a partial check counts as set.
int IsSet(const QTreeWidgetItem *item)
{
    return item && item->checkState(1) != Qt::Unchecked ? 1 : 0;
}

QTreeWidgetItem *TopItem(const QTreeWidget *tree, int row)
{
    return tree ? tree->topLevelItem(row) : nullptr;
}

QTreeWidgetItem *ChildItem(const QTreeWidget *tree, int row, int child)
{
    QTreeWidgetItem *top = TopItem(tree, row);
    return top ? top->child(child) : nullptr;
}

QTreeWidgetItem *PatchColorItem(const QTreeWidget *tree) { return ChildItem(tree, kConditionRowId, 0); }
QTreeWidgetItem *WhiteRefItem(const QTreeWidget *tree) { return ChildItem(tree, kConditionRowDensity, 0); }
QTreeWidgetItem *DensityStatusItem(const QTreeWidget *tree) { return ChildItem(tree, kConditionRowDensity, 1); }
QTreeWidgetItem *ObserverItem(const QTreeWidget *tree) { return ChildItem(tree, kConditionRowColorSpace, 3); }
QTreeWidgetItem *IlluminantItem(const QTreeWidget *tree) { return ChildItem(tree, kConditionRowColorSpace, 4); }

QComboBox *OpenCombo(const QTreeWidget *tree, QTreeWidgetItem *item)
{
    return tree && item ? qobject_cast<QComboBox *>(tree->itemWidget(item, 1)) : nullptr;
}

void SetCheck(QTreeWidgetItem *item, int field)
{
    if (item)
        item->setCheckState(1, CheckStateOf(field));
}

QTreeWidgetItem *AddChild(QTreeWidgetItem *parent, const QString &label, bool checkable, int editorKind = -1)
{
    auto *item = new QTreeWidgetItem(parent, QStringList(label));
    if (checkable)
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    if (editorKind >= 0)
        item->setData(0, Qt::UserRole, editorKind);
    return item;
}

void SetText(QTreeWidgetItem *item, int column, const QString &text)
{
    if (item)
        item->setText(column, text);
}

QStringList RegisteredNames(const UserIlluminantSlots &illuminants)
{
    QStringList names;
    for (const UserIlluminantSlot &slot : illuminants) {
        if (slot.Number != -1)
            names.append(slot.Name);
    }
    return names;
}

bool IsUserIlluminantId(int id)
{
    return id >= kFirstUserIlluminant && id <= kLastUserIlluminant;
}

QComboBox *ComboWithTexts(const QStringList &texts, const QString &selectedText)
{
    auto *combo = new QComboBox;
    combo->addItems(texts);
    combo->setCurrentIndex(texts.indexOf(selectedText));
    return combo;
}

QString Joined(const QStringList &texts)
{
    return texts.join(QStringLiteral(", "));
}

} // namespace

// ---- Measurement-condition tree ----------------------------------------------------------------------------

void BuildMeasureConditionTree(QTreeWidget *tree)
{
    if (!tree)
        return;
    tree->clear();
    auto addTop = [tree](const QString &label, bool checkable) {
        auto *item = new QTreeWidgetItem(tree, QStringList(label));
        if (checkable)
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        return item;
    };

    QTreeWidgetItem *id = addTop(Tr("ID"), false);
    AddChild(id, Tr("Patch Color"), true, kEditorPatchColor);

    QTreeWidgetItem *density = addTop(Tr("Density"), true);
    AddChild(density, Tr("Den. White Ref."), false, kEditorWhiteReference);
    AddChild(density, Tr("Density Status"), false, kEditorDensityStatus);

    QTreeWidgetItem *colorSpace = addTop(Tr("Color space"), true);
    for (int i = 0; i < kColorSpaceCount; ++i)
        AddChild(colorSpace, ColorSpaceName(i), true);
    AddChild(colorSpace, Tr("Observer"), false, kEditorObserver);
    AddChild(colorSpace, Tr("Illuminant"), false, kEditorIlluminant);

    addTop(Tr("Spectral data"), true);

    QTreeWidgetItem *conditions = addTop(Tr("Measurement Condition"), false);
    const UserIlluminantSlots none{};
    for (int i = 0; i < kStandardConditionCount; ++i)
        AddChild(conditions, MeasurementConditionName(i, none), true);

    tree->expandAll();
}

void ApplyMeasureConditionSetting(QTreeWidget *tree, const Setting::MeasureConditionSetting &record,
                                  const UserIlluminantSlots &illuminants, bool disabled)
{
    if (!tree)
        return;
    SetCheck(PatchColorItem(tree), record.PatchColorShown);
    SetCheck(TopItem(tree, kConditionRowDensity), record.DensityShown);
    SetCheck(TopItem(tree, kConditionRowColorSpace), record.ColorSpaceShown);
    SetCheck(ChildItem(tree, kConditionRowColorSpace, 0), record.LabShown);
    SetCheck(ChildItem(tree, kConditionRowColorSpace, 1), record.LchShown);
    SetCheck(ChildItem(tree, kConditionRowColorSpace, 2), record.XyzShown);
    SetCheck(TopItem(tree, kConditionRowSpectral), record.SpectralShown);

    if (QTreeWidgetItem *conditions = TopItem(tree, kConditionRowConditions)) {
        for (int i = 0; i < kStandardConditionCount && i < conditions->childCount(); ++i) {
            QTreeWidgetItem *child = conditions->child(i);
            SetCheck(child, record.ConditionMask & (MeasurementConditionBit(0) << i));
            child->setDisabled(disabled);
        }
    }

    SetText(WhiteRefItem(tree), 1, WhiteReferenceNames().value(record.WhiteReference));
    SetText(DensityStatusItem(tree), 1, DensityStatusNames().value(record.DensityStatus));
    SetText(ObserverItem(tree), 1, ObserverNames().value(record.Observer) + DegreeSuffix());
    RefreshUserIlluminantItems(tree, record, illuminants, disabled);
}

void ReadMeasureConditionSetting(Setting::MeasureConditionSetting *record, const QTreeWidget *tree)
{
    if (!record || !tree)
        return;
    record->PatchColorShown = IsSet(PatchColorItem(tree));
    record->DensityShown = IsSet(TopItem(tree, kConditionRowDensity));
    if (QComboBox *combo = OpenCombo(tree, WhiteRefItem(tree)))
        record->WhiteReference = combo->currentIndex();
    if (QComboBox *combo = OpenCombo(tree, DensityStatusItem(tree)))
        record->DensityStatus = combo->currentIndex();

    record->ColorSpaceShown = IsSet(TopItem(tree, kConditionRowColorSpace));
    record->LabShown = IsSet(ChildItem(tree, kConditionRowColorSpace, 0));
    record->LchShown = IsSet(ChildItem(tree, kConditionRowColorSpace, 1));
    record->XyzShown = IsSet(ChildItem(tree, kConditionRowColorSpace, 2));
    if (QComboBox *combo = OpenCombo(tree, ObserverItem(tree)))
        record->Observer = combo->currentIndex();
    if (QComboBox *combo = OpenCombo(tree, IlluminantItem(tree)))
        record->Illuminant = ComboDataAt(combo, combo->currentIndex());

    record->SpectralShown = IsSet(TopItem(tree, kConditionRowSpectral));

    if (const QTreeWidgetItem *conditions = TopItem(tree, kConditionRowConditions)) {
        // Bits beyond the last child keep their value.
        for (int i = 0; i < conditions->childCount() && i < kMeasurementConditionCount; ++i) {
            const int bit = MeasurementConditionBit(0) << i;
            if (IsSet(conditions->child(i)))
                record->ConditionMask |= bit;
            else
                record->ConditionMask &= ~bit;
        }
    }
}

void RefreshUserIlluminantItems(QTreeWidget *tree, const Setting::MeasureConditionSetting &record,
                                const UserIlluminantSlots &illuminants, bool disabled)
{
    if (!tree)
        return;
    const QStringList names = RegisteredNames(illuminants);

    QTreeWidgetItem *illuminantItem = IlluminantItem(tree);
    if (QComboBox *combo = OpenCombo(tree, illuminantItem)) {
        for (int i = combo->count() - 1; i >= kFirstUserIlluminant; --i) {
            if (IsUserIlluminantId(ComboDataAt(combo, i)))
                combo->removeItem(i);
        }
        for (int k = 0; k < names.size(); ++k)
            combo->addItem(names[k], kFirstUserIlluminant + k);
        const int index = FindComboIndexByData(combo, record.Illuminant);
        combo->setCurrentIndex(index >= 0 ? index : kD50Index);
    } else if (illuminantItem) {
        const int id = record.Illuminant;
        QString text;
        if (!IsUserIlluminantId(id))
            text = IlluminantNames().value(id);
        else if (illuminants[static_cast<std::size_t>(id - kFirstUserIlluminant)].Number == -1)
            text = IlluminantNames().value(kD50Index);
        else
            text = illuminants[static_cast<std::size_t>(id - kFirstUserIlluminant)].Name;
        illuminantItem->setText(1, text);
    }

    if (QTreeWidgetItem *conditions = TopItem(tree, kConditionRowConditions)) {
        while (conditions->childCount() > kStandardConditionCount)
            delete conditions->takeChild(kStandardConditionCount);
        for (int k = 0; k < names.size(); ++k) {
            QTreeWidgetItem *child = AddChild(conditions, names[k], true);
            SetCheck(child, record.ConditionMask & (MeasurementConditionBit(0) << (kStandardConditionCount + k)));
            child->setDisabled(disabled);
        }
    }
    UpdateMeasureConditionSummary(tree);
}

void UpdateMeasureConditionSummary(QTreeWidget *tree)
{
    QTreeWidgetItem *conditions = TopItem(tree, kConditionRowConditions);
    if (!conditions)
        return;
    QStringList labels;
    for (int i = 0; i < conditions->childCount(); ++i) {
        if (conditions->child(i)->checkState(1) == Qt::Checked)
            labels.append(conditions->child(i)->text(0));
    }
    conditions->setText(1, Joined(labels));
    ResizeTreeColumns(tree);
}

QComboBox *SwitchMeasureConditionEditor(QTreeWidget *tree, QTreeWidgetItem *current, QTreeWidgetItem *previous,
                                        Setting::MeasureConditionSetting *record,
                                        const UserIlluminantSlots &illuminants)
{
    if (!tree || !record || current == previous)
        return nullptr;

    bool ok = false;
    const int previousKind = previous ? previous->data(0, Qt::UserRole).toInt(&ok) : -1;
    if (previous && ok) {
        if (QComboBox *combo = OpenCombo(tree, previous)) {
            switch (previousKind) {
            case kEditorWhiteReference:
                SetText(WhiteRefItem(tree), 1, combo->currentText());
                record->WhiteReference = combo->currentIndex();
                break;
            case kEditorDensityStatus:
                SetText(DensityStatusItem(tree), 1, combo->currentText());
                record->DensityStatus = combo->currentIndex();
                break;
            case kEditorObserver:
                SetText(ObserverItem(tree), 1, combo->currentText());
                record->Observer = combo->currentIndex();
                break;
            case kEditorIlluminant:
                SetText(IlluminantItem(tree), 1, combo->currentText());
                record->Illuminant = ComboDataAt(combo, combo->currentIndex());
                break;
            default:
                break;
            }
        }
        tree->removeItemWidget(previous, 1);
    }

    if (!current)
        return nullptr;
    current->data(0, Qt::UserRole).toInt(&ok);
    if (!ok)
        return nullptr;
    QComboBox *combo = CreateConditionEditor(current, *record, illuminants);
    if (combo)
        tree->setItemWidget(current, 1, combo);
    return combo;
}

QComboBox *CreateConditionEditor(const QTreeWidgetItem *item, const Setting::MeasureConditionSetting &record,
                                 const UserIlluminantSlots &illuminants)
{
    if (!item)
        return nullptr;
    bool ok = false;
    const int kind = item->data(0, Qt::UserRole).toInt(&ok);
    if (!ok)
        return nullptr;
    switch (kind) {
    case kEditorWhiteReference:
        return CreateWhiteRefCombo(item->text(1));
    case kEditorDensityStatus:
        return CreateDensityStatusCombo(item->text(1));
    case kEditorObserver:
        return CreateObserverCombo(item->text(1));
    case kEditorIlluminant:
        return CreateIlluminantCombo(record, illuminants);
    default:
        return nullptr;
    }
}

QComboBox *CreateWhiteRefCombo(const QString &selectedText)
{
    return ComboWithTexts(WhiteReferenceNames(), selectedText);
}

QComboBox *CreateDensityStatusCombo(const QString &selectedText)
{
    return ComboWithTexts(DensityStatusNames(), selectedText);
}

QComboBox *CreateObserverCombo(const QString &selectedText)
{
    QStringList texts;
    for (const QString &name : ObserverNames())
        texts.append(name + DegreeSuffix());
    return ComboWithTexts(texts, selectedText);
}

QComboBox *CreateIlluminantCombo(const Setting::MeasureConditionSetting &record,
                                 const UserIlluminantSlots &illuminants)
{
    auto *combo = new QComboBox;
    const QStringList names = IlluminantNames();
    for (int id = 0; id < kFirstUserIlluminant; ++id)
        combo->addItem(names.value(id), id);
    combo->addItem(names.value(kAutoIlluminantId), kAutoIlluminantId);
    for (std::size_t slot = 0; slot < illuminants.size(); ++slot) {
        if (illuminants[slot].Number != -1)
            combo->addItem(illuminants[slot].Name, kFirstUserIlluminant + static_cast<int>(slot));
    }
    const int index = FindComboIndexByData(combo, record.Illuminant);
    combo->setCurrentIndex(index >= 0 ? index : kD50Index);
    return combo;
}

void SetWhiteRefSelection(QTreeWidget *tree, int index)
{
    QTreeWidgetItem *item = WhiteRefItem(tree);
    if (QComboBox *combo = OpenCombo(tree, item))
        combo->setCurrentIndex(index);
    else
        SetText(item, 1, WhiteReferenceNames().value(index));
}

// ---- Patch value tree --------------------------------------------------------------------------------------

namespace {

QString ConditionLabel(const QTreeWidget *tree, int row, int child = -1)
{
    QTreeWidgetItem *item = child < 0 ? TopItem(tree, row) : ChildItem(tree, row, child);
    return item ? item->text(0) : QString();
}

QTreeWidgetItem *ValueRow(const QTreeWidget *valueTree, int row)
{
    return TopItem(valueTree, row);
}

} // namespace

void BuildPatchValueTree(QTreeWidget *valueTree, const QTreeWidget *conditionTree)
{
    if (!valueTree)
        return;
    valueTree->clear();
    auto addTop = [valueTree](const QString &label) { return new QTreeWidgetItem(valueTree, QStringList(label)); };
    auto addChild = [](QTreeWidgetItem *parent, const QString &label) {
        return new QTreeWidgetItem(parent, QStringList(label));
    };

    QTreeWidgetItem *id = addTop(ConditionLabel(conditionTree, kConditionRowId));
    addChild(id, ConditionLabel(conditionTree, kConditionRowId, 0));

    QTreeWidgetItem *density = addTop(ConditionLabel(conditionTree, kConditionRowDensity));
    for (const char *channel : {"C", "M", "Y", "K"})
        addChild(density, QString::fromLatin1(channel));

    QTreeWidgetItem *colorSpace = addTop(ConditionLabel(conditionTree, kConditionRowColorSpace));
    const char *const components[kColorSpaceCount][3] = {{"L*", "a*", "b*"}, {"L*", "C*", "h"}, {"X", "Y", "Z"}};
    for (int j = 0; j < kColorSpaceCount; ++j) {
        QTreeWidgetItem *space = addChild(colorSpace, ConditionLabel(conditionTree, kConditionRowColorSpace, j));
        for (const char *component : components[j])
            addChild(space, QString::fromLatin1(component));
    }

    QTreeWidgetItem *spectral = addTop(ConditionLabel(conditionTree, kConditionRowSpectral));
    for (int i = 0; i < kPatchValueSpectralCount; ++i)
        addChild(spectral, QString::number(380 + 10 * i) + QStringLiteral("nm"));

    valueTree->expandAll();
}

void ShowPatchValues(QTreeWidget *valueTree, const QTreeWidget *conditionTree, const PatchDisplayValues &values,
                     bool measured)
{
    if (!valueTree || valueTree->topLevelItemCount() <= kConditionRowSpectral)
        return;
    valueTree->setColumnCount(1);
    if (const QTreeWidgetItem *conditions = TopItem(conditionTree, kConditionRowConditions)) {
        QTreeWidgetItem *header = valueTree->headerItem();
        for (int i = 0; i < conditions->childCount(); ++i) {
            const QTreeWidgetItem *child = conditions->child(i);
            if (child->checkState(1) != Qt::Checked)
                continue;
            const int column = valueTree->columnCount();
            valueTree->setColumnCount(column + 1);
            header->setText(column, Tr("Value") + QLatin1Char('(') + child->text(0) + QLatin1Char(')'));
        }
    }

    QTreeWidgetItem *idRow = ValueRow(valueTree, kConditionRowId);
    idRow->setText(1, QString::number(values.ID));
    if (values.ColorFormat != 0 && idRow->childCount() > 0) {
        const int shown = qBound(0, values.ColorFormat + 2, 8);
        QStringList texts;
        for (int i = 0; i < shown; ++i)
            texts.append(QString::number(double(values.ColorValue[i]), 'f', 2));
        idRow->child(0)->setText(1, Joined(texts));
    }

    QTreeWidgetItem *densityRow = ValueRow(valueTree, kConditionRowDensity);
    QTreeWidgetItem *colorSpaceRow = ValueRow(valueTree, kConditionRowColorSpace);
    QTreeWidgetItem *spectralRow = ValueRow(valueTree, kConditionRowSpectral);
    const QString unmeasured = QStringLiteral("---");
    const int columns = qMin(valueTree->columnCount() - 1, kDisplayConditionCount);
    for (int column = 1; column <= columns; ++column) {
        const int k = column - 1;
        const float *set = values.Values[k];

        QStringList plain;
        for (int i = 0; i < kDensityChannelCount && i < densityRow->childCount(); ++i) {
            QString text = measured ? QString::number(double(set[i]), 'f', 3) : unmeasured;
            plain.append(text);
            if (values.Averaged)
                text += QStringLiteral(" (") + kAverageSign + QLatin1Char(' ') +
                        QString::number(double(values.Averages[k][i]), 'f', 3) + QLatin1Char(')');
            densityRow->child(i)->setText(column, text);
        }
        densityRow->setText(column, Joined(plain));

        for (int j = 0; j < kColorSpaceCount && j < colorSpaceRow->childCount(); ++j) {
            QTreeWidgetItem *space = colorSpaceRow->child(j);
            QStringList texts;
            for (int i = 0; i < 3 && i < space->childCount(); ++i) {
                const QString text = measured ? QString::number(double(set[4 + 3 * j + i]), 'f', 2) : unmeasured;
                texts.append(text);
                space->child(i)->setText(column, text);
            }
            space->setText(column, Joined(texts));
        }

        for (int i = 0; i < kPatchValueSpectralCount && i < spectralRow->childCount(); ++i) {
            const QString number =
                measured ? QString::number(double(set[kPatchValueSpectralFirst + i]) * 100.0, 'f', 2) : unmeasured;
            spectralRow->child(i)->setText(column, number + QLatin1Char('%'));
        }
    }
    SyncPatchValueTreeVisibility(valueTree, conditionTree);
}

void ClearPatchValueTree(QTreeWidget *valueTree)
{
    if (!valueTree)
        return;
    valueTree->setColumnCount(1);
    for (int row = kConditionRowId; row <= kConditionRowSpectral; ++row) {
        if (QTreeWidgetItem *item = ValueRow(valueTree, row))
            item->setHidden(true);
    }
    if (QTreeWidgetItem *colorSpace = ValueRow(valueTree, kConditionRowColorSpace)) {
        for (int j = 0; j < kColorSpaceCount && j < colorSpace->childCount(); ++j)
            colorSpace->child(j)->setHidden(true);
    }
}

void SyncPatchValueTreeVisibility(QTreeWidget *valueTree, const QTreeWidget *conditionTree)
{
    if (!valueTree || !conditionTree || valueTree->topLevelItemCount() <= kConditionRowSpectral)
        return;
    auto unchecked = [](const QTreeWidgetItem *item) { return !item || item->checkState(1) == Qt::Unchecked; };

    QTreeWidgetItem *idRow = ValueRow(valueTree, kConditionRowId);
    idRow->setHidden(false);
    if (idRow->childCount() > 0)
        idRow->child(0)->setHidden(unchecked(PatchColorItem(conditionTree)));

    ValueRow(valueTree, kConditionRowDensity)->setHidden(unchecked(TopItem(conditionTree, kConditionRowDensity)));

    QTreeWidgetItem *colorSpaceRow = ValueRow(valueTree, kConditionRowColorSpace);
    colorSpaceRow->setHidden(unchecked(TopItem(conditionTree, kConditionRowColorSpace)));
    QStringList shown;
    for (int j = 0; j < kColorSpaceCount && j < colorSpaceRow->childCount(); ++j) {
        QTreeWidgetItem *space = colorSpaceRow->child(j);
        const bool hidden =
            colorSpaceRow->isHidden() || unchecked(ChildItem(conditionTree, kConditionRowColorSpace, j));
        space->setHidden(hidden);
        if (!hidden)
            shown.append(space->text(0));
    }
    colorSpaceRow->setHidden(shown.isEmpty());
    colorSpaceRow->setText(1, Joined(shown));

    ValueRow(valueTree, kConditionRowSpectral)->setHidden(unchecked(TopItem(conditionTree, kConditionRowSpectral)));
    ResizeTreeColumns(valueTree);
}

// ---- Spectral chart ----------------------------------------------------------------------------------------

void AddSpectralSeries(QChart *chart, QAbstractAxis *xAxis, QAbstractAxis *yAxis, const QVector<int> &conditionIds,
                       const PatchDisplayValues &values, const QTreeWidget *conditionTree)
{
    if (!chart)
        return;
    const QTreeWidgetItem *conditions = TopItem(conditionTree, kConditionRowConditions);
    for (int k = 0; k < conditionIds.size() && k < kDisplayConditionCount; ++k) {
        auto *series = new QLineSeries;
        for (int i = 0; i < kPatchValueSpectralCount; ++i) {
            // Half up: 0.125 gives 0.13 and -0.125 gives -0.12.
            const double value = std::floor(double(values.Values[k][kPatchValueSpectralFirst + i]) * 100.0 + 0.5) / 100.0;
            series->append(380 + 10 * i, value);
        }
        const QTreeWidgetItem *child = conditions ? conditions->child(conditionIds[k]) : nullptr;
        series->setName(child ? child->text(0) : QString());
        chart->addSeries(series);
        if (xAxis)
            series->attachAxis(xAxis);
        if (yAxis)
            series->attachAxis(yAxis);
    }
    chart->legend()->setMinimumHeight(5.0);
    chart->legend()->setAlignment(Qt::AlignBottom);
}

// ---- Zoom controls -----------------------------------------------------------------------------------------

QMenu *CreateZoomMenu(int table, QWidget *parent, const QList<QSlider *> &sliders)
{
    auto *menu = new QMenu(parent);
    const QVector<ZoomStep> steps = ZoomTable(table);
    int maximum = 0;
    for (const ZoomStep &step : steps) {
        if (step.label.isEmpty())
            continue;
        QAction *action = menu->addAction(step.label);
        action->setCheckable(true);
        action->setData(step.percent);
        maximum = qMax(maximum, step.percent);
    }
    const int minimum = steps.isEmpty() ? 0 : steps.first().percent;
    for (QSlider *slider : sliders) {
        if (!slider)
            continue;
        slider->setMinimum(minimum);
        slider->setMaximum(maximum);
        slider->setSingleStep(1);
        slider->setPageStep(10);
        slider->setValue(100);
        slider->setSliderPosition(100);
    }
    return menu;
}

namespace {

// Tool buttons and push buttons each keep their own menu; the zoom helpers take it alongside the button.
void ApplyZoomMenuActionToMenu(QAction *action, QSlider *slider, QMenu *menu, int fitPercent)
{
    if (!action)
        return;
    int percent = action->data().toInt();
    if (slider) {
        if (percent == 0)
            percent = qBound(slider->minimum(), fitPercent, slider->maximum());
        slider->setValue(percent);
    }
    if (menu) {
        for (QAction *item : menu->actions())
            item->setChecked(item == action);
    }
}

void SetZoomButtonTextWithMenu(int percent, QAbstractButton *button, QMenu *menu)
{
    if (!button)
        return;
    if (menu) {
        for (QAction *item : menu->actions())
            item->setChecked(false);
    }
    button->setText(QStringLiteral("%1%").arg(percent, 0, 10));
}

} // namespace

void ApplyZoomMenuAction(QAction *action, QSlider *slider, QToolButton *button, int fitPercent)
{
    ApplyZoomMenuActionToMenu(action, slider, button ? button->menu() : nullptr, fitPercent);
}

void ApplyZoomMenuAction(QAction *action, QSlider *slider, QPushButton *button, int fitPercent)
{
    ApplyZoomMenuActionToMenu(action, slider, button ? button->menu() : nullptr, fitPercent);
}

void SetZoomButtonText(int percent, QToolButton *button)
{
    SetZoomButtonTextWithMenu(percent, button, button ? button->menu() : nullptr);
}

void SetZoomButtonText(int percent, QPushButton *button)
{
    SetZoomButtonTextWithMenu(percent, button, button ? button->menu() : nullptr);
}

void StepZoomSlider(QSlider *slider, int steps)
{
    if (slider)
        slider->setValue(qBound(slider->minimum(), slider->value() + steps * slider->singleStep(), slider->maximum()));
}
