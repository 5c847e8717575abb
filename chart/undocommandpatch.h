#pragma once
// Undo steps of the chart editor's patch edits. Each step only emits the patch to write; the editor writes it.

#include "chart/createchartcore.h"

#include <QList>
#include <QObject>
#include <QUndoCommand>

// What a group of patch edits needs from the editor around each step.
class PatchCommandEditor
{
public:
    virtual ~PatchCommandEditor() = default;
    virtual void SetWaitCursor(bool on) = 0;
    // Runs the duplicate-ID check and shows its result (message, save buttons).
    virtual void CheckDuplicates() = 0;
    virtual void UpdateLabelSize() = 0;
};

// One patch edit: redo writes the patch after, undo the patch before.
class UndoCommandPatch : public QObject, public QUndoCommand
{
    Q_OBJECT

public:
    UndoCommandPatch(int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &before,
                     const CreateChartPatch &after);
    explicit UndoCommandPatch(const CreateChartPatchEdit &edit);
    ~UndoCommandPatch() override;

    void undo() override;
    void redo() override;

signals:
    void SetPatch(int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &patch);

private:
    CreateChartPatchEdit m_edit;
};

// Several patch edits as one step (a paste of rows); the editor checks duplicates once per step.
class UndoCommandPatchs : public QObject, public QUndoCommand
{
    Q_OBJECT

public:
    explicit UndoCommandPatchs(PatchCommandEditor *editor);
    ~UndoCommandPatchs() override;

    // Takes ownership of command.
    void Add(UndoCommandPatch *command);
    int Count() const { return m_commands.size(); }

    void undo() override;
    void redo() override;

private:
    QList<UndoCommandPatch *> m_commands;
    PatchCommandEditor *m_editor;
};
