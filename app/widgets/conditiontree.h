#pragma once
// Builders of the measurement-condition tree, the patch value tree that mirrors it, the spectral series of a
// patch and the zoom controls. The main window, the density-balance window and the settings dialog share them,
// so every window behaves alike. They work on the widgets handed in and keep no state.

#include "app/patchdisplayvalues.h"
#include "app/records.h"

#include <QList>
#include <QVector>

class QAction;
class QComboBox;
class QAbstractButton;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace QtCharts {
class QAbstractAxis;
class QChart;
} // namespace QtCharts

// Top-level rows of the condition tree.
enum ConditionTreeRow {
    kConditionRowId = 0,
    kConditionRowDensity = 1,
    kConditionRowColorSpace = 2,
    kConditionRowSpectral = 3,
    kConditionRowConditions = 4,
};

// Editor kinds carried by the editable children (column 0, Qt::UserRole).
enum ConditionEditorKind {
    kEditorPatchColor = 0,
    kEditorWhiteReference = 1,
    kEditorDensityStatus = 2,
    kEditorObserver = 3,
    kEditorIlluminant = 4,
};

void BuildMeasureConditionTree(QTreeWidget *tree);
void ApplyMeasureConditionSetting(QTreeWidget *tree, const Setting::MeasureConditionSetting &record,
                                  const UserIlluminantSlots &illuminants, bool disabled);
void ReadMeasureConditionSetting(Setting::MeasureConditionSetting *record, const QTreeWidget *tree);
void RefreshUserIlluminantItems(QTreeWidget *tree, const Setting::MeasureConditionSetting &record,
                                const UserIlluminantSlots &illuminants, bool disabled);
void UpdateMeasureConditionSummary(QTreeWidget *tree);
// Closes the combo of the previous item (taking its choice into the record) and opens one on the current item.
QComboBox *SwitchMeasureConditionEditor(QTreeWidget *tree, QTreeWidgetItem *current, QTreeWidgetItem *previous,
                                        Setting::MeasureConditionSetting *record,
                                        const UserIlluminantSlots &illuminants);
QComboBox *CreateConditionEditor(const QTreeWidgetItem *item, const Setting::MeasureConditionSetting &record,
                                 const UserIlluminantSlots &illuminants);
QComboBox *CreateWhiteRefCombo(const QString &selectedText);
QComboBox *CreateDensityStatusCombo(const QString &selectedText);
QComboBox *CreateObserverCombo(const QString &selectedText);
QComboBox *CreateIlluminantCombo(const Setting::MeasureConditionSetting &record,
                                 const UserIlluminantSlots &illuminants);
void SetWhiteRefSelection(QTreeWidget *tree, int index);

void BuildPatchValueTree(QTreeWidget *valueTree, const QTreeWidget *conditionTree);
void ShowPatchValues(QTreeWidget *valueTree, const QTreeWidget *conditionTree, const PatchDisplayValues &values,
                     bool measured);
void ClearPatchValueTree(QTreeWidget *valueTree);
void SyncPatchValueTreeVisibility(QTreeWidget *valueTree, const QTreeWidget *conditionTree);

void AddSpectralSeries(QtCharts::QChart *chart, QtCharts::QAbstractAxis *xAxis, QtCharts::QAbstractAxis *yAxis,
                       const QVector<int> &conditionIds, const PatchDisplayValues &values,
                       const QTreeWidget *conditionTree);

// table: 0 or 1, the two zoom tables.
QMenu *CreateZoomMenu(int table, QWidget *parent, const QList<QSlider *> &sliders);
// The zoom button is a tool button in the dialogs and a push button in the main window; both carry the menu.
void ApplyZoomMenuAction(QAction *action, QSlider *slider, QToolButton *button, int fitPercent);
void ApplyZoomMenuAction(QAction *action, QSlider *slider, QPushButton *button, int fitPercent);
void SetZoomButtonText(int percent, QToolButton *button);
void SetZoomButtonText(int percent, QPushButton *button);
// Moves a zoom slider by steps single steps within its range; its valueChanged does the zooming.
void StepZoomSlider(QSlider *slider, int steps);
