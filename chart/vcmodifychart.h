#pragma once
// Lays out one new rectangular patch area on a captured page: the page with its image and the proposed area in
// the editing view, where the area is dragged and resized, and a layout tree in which each value is typed. The
// caller takes the result as a sheet with exactly one area; the model is only read.

#include "chart/vcdialog.h"

#include "app/records.h"

#include <QHash>
#include <QRect>
#include <QSize>

#include <memory>

class CModel;
class QAction;
class QTreeWidgetItem;

namespace Ui {
class ModifyChartDialog;
}

class CVCModifyChart : public CVCDialog
{
    Q_OBJECT
public:
    // region: the marked rectangle {left, top, right, bottom} in 0.01 mm; pageIndex indexes both the model's
    // chart sheets and its measurement entries.
    CVCModifyChart(CModel *model, const QRect &region, int pageIndex, int rowCount, int columnCount,
                   QWidget *parent = nullptr);
    ~CVCModifyChart() override;

    // Fills a zeroed sheet with the page size and the one area; the patch array is new and the caller's.
    void GetSheet(ChartDefinitionData::Sheet *sheet) const;

public slots:
    void AreaMoved(int areaNo, QSize size);
    void AreaResized(int areaNo, QSize size);
    void PushZoomIn();
    void PushZoomOut();
    void menuZoomTriggered(QAction *action);
    void sliderZoomValueChanged(int value);
    void treeLayoutCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void spinLeftTopXEditingFinished();
    void spinLeftTopYEditingFinished();
    void spinPatchCountRowEditingFinished();
    void spinPatchCountColumnEditingFinished();
    void spinPatchSizeWidthEditingFinished();
    void spinPatchSizeHeightEditingFinished();
    void spinPatchGapWidthEditingFinished();
    void spinPatchGapHeightEditingFinished();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildTree();
    void fillPaperLayout();
    void fillPatchArea();
    void redraw();
    QString lengthText(int mmFixed) const;
    QString unitNumber(double value) const;
    QString rangeText(int minimum, int maximum) const;
    QWidget *createEditor(int tag, QTreeWidgetItem *item);
    // The current item's editor when the current item carries the tag; editing-finished signals of an editor
    // that has just been replaced find another tag and are ignored.
    QWidget *currentEditor(int tag, QTreeWidgetItem **item) const;
    void finishLengthEdit(int tag);
    void finishCountEdit(int tag);
    // Puts the value on the item and, where an editor sits on it, into the editor.
    void showLength(int tag, int mmFixed);

    std::unique_ptr<Ui::ModifyChartDialog> ui;
    CModel *m_model;
    int m_pageIndex;
    int m_unit = 0;
    int m_paperSizeIndex = 0;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    int m_leftTopX = 0;
    int m_leftTopY = 0;
    int m_rowCount = 0;
    int m_columnCount = 0;
    int m_patchCount = 0;
    int m_patchWidth = 0;
    int m_patchHeight = 0;
    int m_patchWidthGap = 0;
    int m_patchHeightGap = 0;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_bitsPerPixel = 0;
    const unsigned char *m_imageBytes = nullptr;
    int m_patchAreaItemIndex = 1;
    QHash<int, QTreeWidgetItem *> m_valueItems; // by tag
    QTreeWidgetItem *m_numberItem = nullptr;
};
