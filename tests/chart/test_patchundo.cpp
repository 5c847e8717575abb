// The patch undo steps on a real undo stack: what each step writes, in which order, what the editor is asked
// around a group, and that transforms drop the history.
#include "chart/createchartcore.h"
#include "createchartprobe.h"
#include "chart/undocommandpatch.h"

#include <QPointer>
#include <QUndoStack>
#include <QtTest>

#include <functional>

namespace {

using createchartprobe::duplicatedOf;
using createchartprobe::IdList;
using createchartprobe::idsOf;

// Records what a group asks of the editor, and whether the wait cursor was set meanwhile.
class RecordingEditor : public PatchCommandEditor
{
public:
    void SetWaitCursor(bool on) override
    {
        wait = on;
        events << (on ? "wait" : "arrow");
    }
    void CheckDuplicates() override
    {
        events << (wait ? "check" : "check without wait");
        if (core)
            duplicated = core->CheckDuplicates(CreateChartCore::OriginalList);
    }
    void UpdateLabelSize() override { events << (wait ? "label" : "label without wait"); }

    QStringList events;
    bool wait = false;
    bool duplicated = false;
    CreateChartCore *core = nullptr;
};

CreateChartPatch patchOf(int id, float value = 0)
{
    CreateChartPatch patch;
    patch.ID = id;
    patch.ColorValue[0] = patch.ColorValue[1] = patch.ColorValue[2] = value;
    return patch;
}

CreateChartArea columnArea(int rows, int firstId, int y = 0)
{
    CreateChartArea area;
    area.LeftTopX = 400;
    area.LeftTopY = y;
    area.RowCount = rows;
    area.ColumnCount = 1;
    area.PatchCount = rows;
    area.PatchWidth = area.PatchHeight = area.PatchWidthGap = area.PatchHeightGap = 600;
    for (int i = 0; i < rows; ++i)
        area.Patches.append(patchOf(firstId + i, float(firstId + i)));
    return area;
}

// One page: slot 0 a column of 4 patches (IDs 1-4), slot 1 one patch with ID 11.
void fillCore(CreateChartCore &core)
{
    CreateChartPage page;
    page.Width = 21000;
    page.Height = 29700;
    page.AreaCount = 2;
    page.Areas[0] = columnArea(4, 1);
    page.Areas[1] = columnArea(1, 11, 5000);
    core.PageLists[CreateChartCore::OriginalList].append(page);
    core.RebuildDrawnAreas();
}

bool samePatches(const CreateChartArea &a, const CreateChartArea &b)
{
    if (a.Patches.size() != b.Patches.size())
        return false;
    for (int i = 0; i < a.Patches.size(); ++i) {
        const CreateChartPatch &x = a.Patches.at(i);
        const CreateChartPatch &y = b.Patches.at(i);
        if (x.ID != y.ID || x.Duplicated != y.Duplicated ||
            !std::equal(std::begin(x.ColorValue), std::end(x.ColorValue), y.ColorValue))
            return false;
    }
    return true;
}

CreateChartArea &originalArea(CreateChartCore &core, int slot = 0)
{
    return core.PageLists[CreateChartCore::OriginalList][0].Areas[size_t(slot)];
}

} // namespace

class TestPatchUndo : public QObject
{
    Q_OBJECT

    // A step wired to the core's patch slot, as the editor wires it to its own.
    UndoCommandPatch *commandFor(const CreateChartPatchEdit &edit, CreateChartCore &core)
    {
        auto *command = new UndoCommandPatch(edit);
        connect(command, &UndoCommandPatch::SetPatch, this,
                [&core](int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &patch) {
                    QVERIFY(core.SetPatch(pageNo, areaNo, rowNo, columnNo, patch));
                });
        return command;
    }

private slots:
    void singleStep()
    {
        struct Written {
            QVector<int> where;
            int id;
        };
        QVector<Written> written;
        auto *command = new UndoCommandPatch(2, 5, 7, -1, patchOf(3), patchOf(4));
        connect(command, &UndoCommandPatch::SetPatch, this,
                [&written](int pageNo, int areaNo, int rowNo, int columnNo, const CreateChartPatch &patch) {
                    written.append({{pageNo, areaNo, rowNo, columnNo}, patch.ID});
                });
        QUndoStack stack;
        stack.push(command); // pushing applies it
        stack.undo();
        stack.redo();
        QCOMPARE(written.size(), 3);
        const int ids[] = {4, 3, 4};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(written.at(i).where, QVector<int>({2, 5, 7, -1}));
            QCOMPARE(written.at(i).id, ids[i]);
        }
        QVERIFY(command->text().isEmpty());
    }

    void groupOrderAndEditor()
    {
        RecordingEditor editor;
        auto *group = new UndoCommandPatchs(&editor);
        QVector<QPointer<UndoCommandPatch>> children;
        for (int row = 0; row < 3; ++row) {
            auto *child = new UndoCommandPatch(0, 0, row, -2, patchOf(row + 1), patchOf(row + 20));
            connect(child, &UndoCommandPatch::SetPatch, this,
                    [&editor](int, int, int rowNo, int, const CreateChartPatch &patch) {
                        editor.events << QStringLiteral("%1 row %2 id %3")
                                             .arg(editor.wait ? "wait:" : "no wait:")
                                             .arg(rowNo)
                                             .arg(patch.ID);
                    });
            group->Add(child);
            children.append(child);
        }
        QCOMPARE(group->Count(), 3);
        {
            QUndoStack stack;
            stack.push(group);
            QCOMPARE(editor.events, QStringList({"wait", "wait: row 0 id 20", "wait: row 1 id 21", "wait: row 2 id 22",
                                                 "check", "label", "arrow"}));
            editor.events.clear();
            stack.undo();
            QCOMPARE(editor.events, QStringList({"wait", "wait: row 2 id 3", "wait: row 1 id 2", "wait: row 0 id 1",
                                                 "check", "label", "arrow"}));
        }
        for (const QPointer<UndoCommandPatch> &child : children)
            QVERIFY(child.isNull()); // the group owns its children and the stack the group
    }

    void pasteUndone()
    {
        CreateChartCore core;
        fillCore(core);
        core.SelectedArea = 0;
        core.SelectedRow = 0;
        const CreateChartArea before = originalArea(core);
        QVector<int> writtenRows;
        core.PatchStored = [&writtenRows](int, int, int, int rowNo, int) { writtenRows.append(rowNo); };
        RecordingEditor editor;
        editor.core = &core;

        const CreateChartClipboardPaste paste = core.PlanClipboardPaste(
            QStringLiteral("11\t1\t2\t3\n12\t4\t5\t6\n13\t7\t8\t9\n"), 0, 255);
        QCOMPARE(paste.Edits.size(), 3);
        auto *group = new UndoCommandPatchs(&editor);
        for (const CreateChartPatchEdit &edit : paste.Edits)
            group->Add(commandFor(edit, core));
        QUndoStack stack;
        stack.push(group);
        QCOMPARE(idsOf(originalArea(core)), IdList({11, 12, 13, 4}));
        QCOMPARE(originalArea(core).Patches.at(2).ColorValue[2], 9.0f);
        QCOMPARE(duplicatedOf(originalArea(core)), IdList({1, 0, 0, 0}));
        QCOMPARE(duplicatedOf(originalArea(core, 1)), IdList({1}));
        QVERIFY(editor.duplicated);
        QCOMPARE(writtenRows, IdList({0, 1, 2}));

        writtenRows.clear();
        stack.undo();
        QCOMPARE(writtenRows, IdList({2, 1, 0}));
        QVERIFY(samePatches(originalArea(core), before));
        QCOMPARE(duplicatedOf(originalArea(core, 1)), IdList({0}));
        QVERIFY(!editor.duplicated);

        stack.redo();
        QCOMPARE(idsOf(originalArea(core)), IdList({11, 12, 13, 4}));
        QVERIFY(editor.duplicated);
    }

    void transformDropsHistory_data()
    {
        QTest::addColumn<int>("transform");
        QTest::newRow("flip rows") << 0;
        QTest::newRow("flip columns") << 1;
        QTest::newRow("rotate") << 2;
        QTest::newRow("exchange rows and columns") << 3;
        QTest::newRow("assign IDs") << 4;
    }

    void transformDropsHistory()
    {
        QFETCH(int, transform);
        CreateChartCore core;
        fillCore(core);
        QUndoStack stack;
        core.UndoInvalidated = [&stack] { stack.clear(); };
        CreateChartPatchEdit edit;
        edit.RowNo = 1;
        edit.ColumnNo = -2;
        edit.Before = originalArea(core).Patches.at(1);
        edit.After = patchOf(40, 9);
        stack.push(commandFor(edit, core));
        QVERIFY(stack.canUndo());

        const std::function<void()> transforms[] = {
            [&core] { core.FlipRows(); },          [&core] { core.FlipColumns(); },
            [&core] { core.Rotate(); },            [&core] { core.ExchangeRowColumn(); },
            [&core] { core.AssignIds(false); },
        };
        transforms[transform]();
        QCOMPARE(stack.count(), 0);
        QVERIFY(!stack.canUndo());
        QVERIFY(!stack.canRedo());
        bool kept = false; // the edit itself stays, wherever the transform moved it
        for (const CreateChartPatch &patch : originalArea(core).Patches)
            kept = kept || patch.ColorValue[0] == 9.0f;
        QVERIFY(kept);
    }

    void scrambleListUntouched()
    {
        CreateChartCore core;
        fillCore(core);
        core.PageLists[CreateChartCore::ScrambleList] = core.PageLists[CreateChartCore::OriginalList];
        core.CurrentTab = CreateChartCore::ScrambleList;
        const CreateChartArea scrambled = core.PageLists[CreateChartCore::ScrambleList][0].Areas[0];
        core.CopiedPatch = patchOf(0, 77);
        CreateChartPatchEdit edit;
        QVERIFY(core.PlanPatchPaste(0, 2, 0, &edit));
        QUndoStack stack;
        stack.push(commandFor(edit, core));
        QCOMPARE(originalArea(core).Patches.at(2).ColorValue[0], 77.0f);
        stack.undo();
        QCOMPARE(originalArea(core).Patches.at(2).ColorValue[0], 3.0f);
        stack.redo();
        QCOMPARE(originalArea(core).Patches.at(2).ColorValue[0], 77.0f);
        QVERIFY(samePatches(core.PageLists[CreateChartCore::ScrambleList][0].Areas[0], scrambled));
    }
};

QTEST_MAIN(TestPatchUndo)
#include "test_patchundo.moc"
