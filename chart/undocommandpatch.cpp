#include "chart/undocommandpatch.h"

#include <utility>

UndoCommandPatch::UndoCommandPatch(int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &before,
                                   const CreateChartPatch &after)
{
    m_edit.PageNo = pageNo;
    m_edit.AreaNo = areaNo;
    m_edit.RowNo = rowNo;
    m_edit.ColumnNo = columnNo;
    m_edit.Before = before;
    m_edit.After = after;
}

UndoCommandPatch::UndoCommandPatch(const CreateChartPatchEdit &edit) : m_edit(edit) {}

UndoCommandPatch::~UndoCommandPatch() = default;

void UndoCommandPatch::undo()
{
    emit SetPatch(m_edit.PageNo, m_edit.AreaNo, m_edit.RowNo, m_edit.ColumnNo, m_edit.Before);
}

void UndoCommandPatch::redo()
{
    emit SetPatch(m_edit.PageNo, m_edit.AreaNo, m_edit.RowNo, m_edit.ColumnNo, m_edit.After);
}

UndoCommandPatchs::UndoCommandPatchs(PatchCommandEditor *editor) : m_editor(editor) {}

UndoCommandPatchs::~UndoCommandPatchs()
{
    qDeleteAll(m_commands);
}

void UndoCommandPatchs::Add(UndoCommandPatch *command)
{
    m_commands.append(command);
}

void UndoCommandPatchs::undo()
{
    m_editor->SetWaitCursor(true);
    for (auto it = m_commands.crbegin(); it != m_commands.crend(); ++it)
        (*it)->undo();
    m_editor->CheckDuplicates();
    m_editor->UpdateLabelSize();
    m_editor->SetWaitCursor(false);
}

void UndoCommandPatchs::redo()
{
    m_editor->SetWaitCursor(true);
    for (UndoCommandPatch *command : std::as_const(m_commands))
        command->redo();
    m_editor->CheckDuplicates();
    m_editor->UpdateLabelSize();
    m_editor->SetWaitCursor(false);
}
