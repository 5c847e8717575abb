#pragma once
// Repairs the measured points of a captured page before the chart is measured or registered: delete wrongly
// found points (with undo), add a rectangular area of new points, or have the scanner re-recognise marked
// regions. Works on private copies of the model's chart and measurement and hands them back only through
// "Register Chart" (exec gives 1) or "Measurement" (2); anything else gives 0 and changes nothing.

#include "chart/patchareacore.h"
#include "chart/vcdialog.h"

#include "app/records.h"

#include <QList>
#include <QUndoCommand>

#include <memory>

class CModel;
class CVCMeasuredPointGraphicsPatch;
class QAction;
class QDialogButtonBox;
class QGraphicsScene;
class QPushButton;
class QUndoStack;

namespace Ui {
class ModifyPatchAreaDialog;
}

// Takes the selected markers out of the scene. Markers it holds while out of every scene are its own and go
// with it; those back in a scene are the scene's.
class DeleteCommand : public QUndoCommand
{
public:
    explicit DeleteCommand(QGraphicsScene *scene, QUndoCommand *parent = nullptr);
    ~DeleteCommand() override;

    void undo() override;
    void redo() override;

    const QList<CVCMeasuredPointGraphicsPatch *> &Items() const { return m_items; }

private:
    QList<CVCMeasuredPointGraphicsPatch *> m_items;
    QGraphicsScene *m_scene;
};

class CVCModifyPatchArea : public CVCDialog
{
    Q_OBJECT
public:
    // pageIndex: the measured page shown first (an entry index); prescanCompleted gates clipping and measuring.
    CVCModifyPatchArea(QWidget *parent, CModel *model, int pageIndex, bool prescanCompleted);
    ~CVCModifyPatchArea() override;

    // 0 at once, without showing, when the model's data could not be taken over (reported at construction).
    int exec() override;

signals:
    void pushClippingEnable(bool enable);
    void pushAddMeasurePointEnable(bool enable);
    void pushStartMeasurementEnable(bool enable);
    void pushRegisterChartEnable(bool enable);

public slots:
    void pushRegisterChart();
    void pushStartMeasurement();
    void pushCancel();
    void pushClippingChart();
    void pushAddMeasurePoint();
    void pushDelete();
    void pushUndo();
    void pushRedo();
    void DeleteItem();
    void pushMeasurePointZoomIn();
    void pushMeasurePointZoomOut();
    void menuPageTriggered(QAction *action);
    void menuZoomTriggered(QAction *action);
    void sliderZoomValueChanged(int value);
    void rectSelectedSingle();
    void rectSelectedMulti();
    void rectSelectedClear();
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // 0, or the result the constructor reports when the model's data cannot be edited.
    int checkModelData();
    void loadCopies();
    void setUpButtons();
    void setUpPageMenu();

    MeasurementData &currentEntry() const;
    int currentSheetIndex() const;
    ChartDefinitionData::Sheet &currentSheet() const;
    QList<ChartDefinitionData::PatchColor> deletedPoints() const;
    // Folds the deletions in effect into the current page; false (reported) when the regrouping failed.
    bool foldDeletions(const QList<ChartDefinitionData::PatchColor> &points);
    // After a fold: a fresh history, no regions, the page redrawn from its data, and the finish buttons.
    void resetEditing();
    void applyFinishButtonRule();
    void updateUndoRedoAfterUndo();
    void updateUndoRedoAfterRedo();
    // Files the edited chart as a new chart definition; 0 or the model's result.
    int registerEditedChart();

    std::unique_ptr<Ui::ModifyPatchAreaDialog> ui;
    CModel *m_model;
    QAction *m_deleteAction = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    std::unique_ptr<QUndoStack> m_undoStack;
    bool m_prescanCompleted;
    int m_currentPage;
    ChartDefinitionDataSheets m_chart;
    MeasurementDataSheets m_measurement;
    int m_newColorFormat = ChartDefinitionData::FormatRGB;
    bool m_usable = false;

    QDialogButtonBox *m_buttonBox = nullptr;
    QPushButton *m_pushStartMeasurement = nullptr;
    QPushButton *m_pushRegisterChart = nullptr;
    QPushButton *m_pushCancel = nullptr;
    QPushButton *m_pushAddMeasurePoint = nullptr;
    QPushButton *m_pushClipping = nullptr;
};
