#pragma once
// The chart definition editor: pages, patch areas, patch IDs and colours and the QR code of one chart. The page
// data and every operation on it live in CreateChartCore; this dialog shows them (layout tree, patch table, the
// Original and Scramble views) and turns the user's actions into core calls.

#include "chart/createchartcore.h"
#include "chart/createchartscramble.h"
#include "chart/undocommandpatch.h"
#include "chart/vcdialog.h"

#include <QList>
#include <QPointer>
#include <QSize>
#include <QUndoStack>

#include <memory>
#include <vector>

class CModel;
class CVCChartGraphicsView;
class QAction;
class QDialogButtonBox;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;
class QTreeWidgetItem;

namespace Ui {
class CreateChartDialog;
}

class CVCCreateChart : public CVCDialog, public PatchCommandEditor
{
    Q_OBJECT

public:
    using Patch = CreateChartPatch;
    using Area = CreateChartArea;
    using Page = CreateChartPage;

    // mode: 0 edit (Save, Save As), 1 edit at the chart limit (Save only), 2 new chart (Save As only).
    CVCCreateChart(CModel *model, int mode, QWidget *parent = nullptr);
    ~CVCCreateChart() override;

    // False, nothing loaded, when the editor cannot hold the chart.
    bool SetChartDefinition(ChartDefinitionDataSheets *definition);
    void SetPageImages(MeasurementDataSheets *measurement);
    // Save over the loaded chart only while every page keeps its loaded layout (the chart has measurements).
    void SetUniformLayoutCheck(bool check) { m_uniformLayout = check; }

    void ScrambleChart();
    static float ScrambleArea(std::vector<ScrambleEntry> &positions, int columns, int rows, quint32 seed);

    const CreateChartCore &Core() const { return m_core; }

    // PatchCommandEditor
    void SetWaitCursor(bool on) override;
    void CheckDuplicates() override;
    void UpdateLabelSize() override;

signals:
    void pushCopied(bool copied);
    void menuZoomTrigger(QAction *action);

public slots:
    void done(int r) override;
    int exec() override;
    void pushSaveClicked();
    void AddChartData();
    void AddChartDataPatchArea();
    void DeleteChartData();
    void DeleteChartDataPatchArea();
    void pageCountChanged();
    void patchAreaCountChanged();
    void treeLayoutCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void comboBarcodeCurrentIndexChanged(int index);
    void comboPageSizeCurrentIndexChanged(int index);
    void spinPageSizeWidthEditingFinished();
    void spinPageSizeHeightEditingFinished();
    void spinLeftTopXEditingFinished();
    void spinLeftTopYEditingFinished();
    void spinPatchCountRowEditingFinished();
    void spinPatchCountColumnEditingFinished();
    void spinPatchSizeWidthEditingFinished();
    void spinPatchSizeHeightEditingFinished();
    void spinPatchGapWidthEditingFinished();
    void spinPatchGapHeightEditingFinished();
    void tablePatchCurrentCellChanged(int currentRow, int currentColumn, int previousRow, int previousColumn);
    void tablePatchCellClicked(int row, int column);
    void spinIDEditingFinished();
    void spinColorEditingFinished();
    void SetPatch(int pageNo, int areaNo, int rowNo, int columnNo, CVCCreateChart::Patch patch);
    void tabChartCanvasCurrentChanged(int index);
    void PaintFinished();
    void SelectPatch(int areaNo, int rowNo, int columnNo);
    void ClearPatch();
    void AreaMoved(int areaNo, QSize size);
    void AreaResized(int areaNo, QSize size);
    void BarcodeMoved(QSize size);
    void menuPageTriggered(QAction *action);
    void pushColorClicked();
    void pushIDClicked();
    void pushCopyClicked();
    void pushPasteClicked();
    void menuZoomTriggered(QAction *action);
    void pushZoomOutClicked();
    void sliderZoomValueChanged(int value);
    void pushZoomInClicked();
    void pushFlipVerticalClicked();
    void pushFlipHorizontalClicked();
    void pushExchangeRowColumnClicked();
    void pushRotateClicked();
    void pushLengthIDClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    enum Tag {
        TagBarcode = 51,
        TagPageSize,
        TagPageWidth,
        TagPageHeight,
        TagLeftTopX,
        TagLeftTopY,
        TagRow,
        TagColumn,
        TagPatchWidth,
        TagPatchHeight,
        TagGapWidth,
        TagGapHeight
    };

    void BuildLayoutTree();
    void BuildButtonBox();
    void ConnectWidgets();
    void FillTables();

    CreateChartPage *CurrentPage() { return m_core.CurrentPagePointer(); }
    CreateChartArea *SelectedArea();
    CVCChartGraphicsView *CurrentView() const;

    // Tree items of the paper and of an area slot.
    QTreeWidgetItem *PaperItem(int child) const;
    QTreeWidgetItem *AreaItem(int slot) const;
    QTreeWidgetItem *AreaChild(int slot, int group, int child) const;
    QString LengthText(int value) const;
    QString RangeText(int minimum, int maximum) const;
    void WritePaperItems();
    void WriteAreaItems(int slot);
    void WriteAllAreaItems();

    void OpenEditor(QTreeWidgetItem *item, int tag);
    void RemoveEditor();
    // The length editor of the tree when its value was changed since it opened and differs from the item's text;
    // stores the value between the two ends in *value.
    bool TakeLength(int minimum, int maximum, int *value);
    bool TakeCount(int *value);
    void AfterLengthEdit(bool fit);
    void AfterCountEdit();

    void Refresh(bool fit);
    void UpdateLayoutButtons();
    void UpdateSaveButtons();
    void TellViewDuplicates(bool clearToo);

    void SetupPatchTable();
    void RebuildPatchTable();
    void FillPatchTable(bool removeEditors);
    void FillPatchRow(int row);
    void RemoveCellEditor(bool commit);
    void PushPatchEdit(int column, const CreateChartPatch &after);
    void PatchStored(int listIndex, int pageNo, int areaNo, int rowNo, int columnNo);
    void PasteClipboard();
    void AssignIds(bool columnByColumn);
    void AfterTurn(int row);
    void SelectTableRow(int row);

    std::unique_ptr<Ui::CreateChartDialog> ui;
    CModel *m_model;
    int m_mode;
    bool m_uniformLayout = false;
    int m_unit = 0;
    CreateChartCore m_core;
    QUndoStack m_undoStack;

    QList<CVCChartGraphicsView *> m_views;
    QList<QToolButton *> m_pageButtons;
    QList<QToolButton *> m_colorButtons;
    QList<QToolButton *> m_zoomButtons;
    QList<QSlider *> m_zoomSliders;
    QList<QMenu *> m_zoomMenus;
    QDialogButtonBox *m_buttonBox = nullptr;
    QPushButton *m_pushSave = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

    int m_firstAreaItem = -1;
    QPointer<QWidget> m_treeEditor;
    QTreeWidgetItem *m_treeEditorItem = nullptr;
    QPointer<QWidget> m_cellEditor;
    int m_cellEditorRow = -1;
    int m_cellEditorColumn = -1;

    QTreeWidgetItem *m_savedTreeItem = nullptr;
    int m_savedTreeScroll = 0;
    int m_savedTableRow = -1;
    int m_savedTableColumn = -1;
    int m_savedTableScroll = 0;

    bool m_keyboardMove = false;
    bool m_fitAfterPaint = false;
    bool m_selectionEcho = true;
    bool m_clearEcho = true;
    bool m_transform = true;
};
