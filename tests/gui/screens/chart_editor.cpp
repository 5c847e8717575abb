// The chart editor as the main window runs it, over the program's own model: a new chart as it opens, page 2 of
// a loaded two-page chart with its QR code and a patch cell being edited, the Scramble tab, an ID that another
// page already has, and the lengths in inches with the patch-width editor open. Each editor runs its own modal
// loop; a zero-time timer drives it from inside and closes it without the save question.
#include "screenshooter.h"

#include "app/model.h"
#include "app/recordhelpers.h"
#include "app/settingrecords.h"
#include "chart/vccreatechart.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vceditchartgraphicsview.h"

#include <QAbstractSpinBox>
#include <QColor>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <functional>

namespace {

// An A4 page in 0.01 mm with three areas below the corner the QR code takes.
struct AreaShape {
    int rows, columns, left, top, size, pitch;
};
constexpr AreaShape kAreas[] = {
    {5, 10, 4000, 4500, 1200, 1400},
    {4, 8, 4000, 13000, 1200, 1400},
    {3, 12, 4000, 20500, 1000, 1100},
};
constexpr int kAreaCount = int(sizeof(kAreas) / sizeof(kAreas[0]));

// Two RGB pages numbered from 1; the hue steps across the columns and darkens down the rows, the second page
// shifted so the pages tell apart.
void MakeChart(ChartDefinitionDataSheets *chart)
{
    InitChartDefinitionData(chart);
    chart->SheetCount = 2;
    chart->ChartName = QStringLiteral("Press check");
    chart->Recog = 4;
    chart->Diameter = 1;
    chart->Sheets = NewChartSheets(2);
    int id = 1;
    for (int p = 0; p < chart->SheetCount; ++p) {
        ChartDefinitionData::Sheet &sheet = chart->Sheets[p];
        sheet.Width = 21000;
        sheet.Height = 29700;
        sheet.AreaCount = kAreaCount;
        for (const AreaShape &a : kAreas)
            sheet.PatchCount += a.rows * a.columns;
        sheet.Patches = NewChartPatches(size_t(sheet.PatchCount));
        int k = 0;
        for (int n = 0; n < kAreaCount; ++n) {
            const AreaShape &a = kAreas[n];
            sheet.Areas[n] = {a.rows, a.columns, a.rows * a.columns};
            sheet.Placements[n] = {a.left, a.top, a.size, a.size, a.pitch, a.pitch};
            for (int r = 0; r < a.rows; ++r) {
                for (int c = 0; c < a.columns; ++c, ++k) {
                    const int hue = (330 * c / std::max(1, a.columns - 1) + 120 * p + 40 * n) % 360;
                    const QColor colour = QColor::fromHsv(hue, 90 + 150 * r / a.rows, 250 - 25 * r);
                    ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
                    patch.ID = id++;
                    patch.Area = n;
                    patch.Row = r;
                    patch.Column = c;
                    patch.ColorFormat = ChartDefinitionData::FormatRGB;
                    patch.ColorValue[0] = float(colour.red());
                    patch.ColorValue[1] = float(colour.green());
                    patch.ColorValue[2] = float(colour.blue());
                }
            }
        }
        chart->ChartPatchCount += sheet.PatchCount;
    }
}

template <typename T>
T *Find(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}

QTreeWidget *Tree(QObject *d)
{
    return Find<QTreeWidget>(d, "treeLayout");
}

QTableWidget *Table(QObject *d)
{
    return Find<QTableWidget>(d, "tablePatch");
}

QList<CVCGraphicsView *> OriginalView(QObject *d)
{
    return {Find<CVCEditChartGraphicsView>(d, "graphicsViewOriginal")};
}

// The length unit and colour format the editor reads from the user's settings; false when the model refused them.
bool SetEnvironment(CModel *model, int unit, int format)
{
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.LengthUnit = unit;
    environment.ColorFormat = format;
    return model->SetUserEnvironment(environment) == 0;
}

// Runs the editor's own loop with the script inside it, over the whole screen.
bool RunEditor(ScreenShooter &shooter, CVCCreateChart &dialog, const std::function<bool()> &script)
{
    bool ok = false;
    QTimer::singleShot(0, &dialog, [&] {
        ok = shooter.Show(&dialog) && script();
        dialog.QDialog::done(0);
    });
    dialog.exec();
    return ok;
}

// Mode 0 over the two-page chart, page 2 shown.
bool LoadChart(CVCCreateChart &dialog)
{
    ChartDefinitionDataSheets chart;
    MakeChart(&chart);
    const bool loaded = dialog.SetChartDefinition(&chart);
    ClearChartDefinitionData(&chart);
    return loaded || ScreenFailed(QStringLiteral("the editor refused the chart"));
}

bool ShowPage2(QObject *d)
{
    QMenu *menu = Find<QToolButton>(d, "pushOriginalPage")->menu();
    if (!menu || menu->actions().size() != 2)
        return ScreenFailed(QStringLiteral("no page menu"));
    menu->actions().at(1)->trigger();
    return Find<QToolButton>(d, "pushOriginalPage")->text() == QStringLiteral("2 / 2") ||
           ScreenFailed(QStringLiteral("page 2 not shown"));
}

// Chooses an area in the tree, which fills the table with its patches.
void SelectArea(QObject *d, int slot)
{
    Tree(d)->setCurrentItem(Tree(d)->topLevelItem(1 + slot));
}

// Clicks a table cell, which opens its editor.
QAbstractSpinBox *OpenCell(QObject *d, int row, int column)
{
    QTableWidget *table = Table(d);
    table->setCurrentCell(row, column);
    emit table->cellClicked(row, column);
    return qobject_cast<QAbstractSpinBox *>(table->cellWidget(row, column));
}

bool NewChart(ScreenShooter &shooter)
{
    CVCCreateChart dialog(shooter.Model(), 2, shooter.MainWindow());
    return RunEditor(shooter, dialog, [&] {
        return shooter.Capture(QStringLiteral("editor_new_chart"), OriginalView(&dialog));
    });
}

// Page 2 with the QR code chosen, area 2's patches in the table and a colour cell being edited; then the same
// pages scrambled.
bool TwoPagesAndScramble(ScreenShooter &shooter)
{
    CVCCreateChart dialog(shooter.Model(), 0, shooter.MainWindow());
    if (!LoadChart(dialog))
        return false;
    return RunEditor(shooter, dialog, [&] {
        if (!ShowPage2(&dialog))
            return false;
        QTreeWidgetItem *qr = Tree(&dialog)->topLevelItem(0)->child(0);
        Tree(&dialog)->setCurrentItem(qr);
        auto *combo = qobject_cast<QComboBox *>(Tree(&dialog)->itemWidget(qr, 1));
        if (!combo)
            return ScreenFailed(QStringLiteral("no QR code choice"));
        combo->setCurrentIndex(1);
        if (dialog.Core().Header.Barcode != 1 || dialog.Core().PageLists[0].at(1).BarcodeWidth <= 0)
            return ScreenFailed(QStringLiteral("no QR code placed"));
        SelectArea(&dialog, 1);
        if (Table(&dialog)->rowCount() != kAreas[1].rows * kAreas[1].columns)
            return ScreenFailed(QStringLiteral("the table does not hold area 2"));
        if (!OpenCell(&dialog, 10, 2))
            return ScreenFailed(QStringLiteral("no cell editor"));
        if (!shooter.Capture(QStringLiteral("editor_two_pages_qr"), OriginalView(&dialog)))
            return false;

        Find<QTabWidget>(&dialog, "tabChartCanvas")->setCurrentIndex(1);
        if (dialog.Core().CurrentTab != CreateChartCore::ScrambleList)
            return ScreenFailed(QStringLiteral("the Scramble tab not shown"));
        return shooter.Capture(QStringLiteral("editor_scramble_tab"),
                               {Find<CVCChartGraphicsView>(&dialog, "graphicsViewScramble")});
    });
}

// Patch 1 of page 2 takes ID 1, which page 1's first patch has.
bool DuplicateId(ScreenShooter &shooter)
{
    CVCCreateChart dialog(shooter.Model(), 0, shooter.MainWindow());
    if (!LoadChart(dialog))
        return false;
    return RunEditor(shooter, dialog, [&] {
        if (!ShowPage2(&dialog))
            return false;
        SelectArea(&dialog, 0);
        auto *id = qobject_cast<QSpinBox *>(OpenCell(&dialog, 0, 0));
        if (!id)
            return ScreenFailed(QStringLiteral("no ID editor"));
        id->setValue(1);
        emit id->editingFinished();
        if (!Find<QLabel>(&dialog, "labelMessage")->isVisible() ||
            Find<QPushButton>(&dialog, "pushSave")->isEnabled() || Find<QPushButton>(&dialog, "okButton")->isEnabled())
            return ScreenFailed(QStringLiteral("the duplicate ID not shown"));
        return shooter.Capture(QStringLiteral("editor_duplicate_id"), OriginalView(&dialog));
    });
}

// Lengths in inches: area 1's patch width being edited below the range its group shows.
bool InchUnits(ScreenShooter &shooter)
{
    if (!SetEnvironment(shooter.Model(), 1, ChartDefinitionData::FormatRGB))
        return ScreenFailed(QStringLiteral("inch units refused"));
    CVCCreateChart dialog(shooter.Model(), 0, shooter.MainWindow());
    if (!LoadChart(dialog))
        return false;
    return RunEditor(shooter, dialog, [&] {
        QTreeWidgetItem *width = Tree(&dialog)->topLevelItem(1)->child(2)->child(0);
        Tree(&dialog)->setCurrentItem(width);
        auto *spin = qobject_cast<QDoubleSpinBox *>(Tree(&dialog)->itemWidget(width, 1));
        if (!spin || spin->suffix() != QStringLiteral(" inch"))
            return ScreenFailed(QStringLiteral("no patch-width editor in inches"));
        return shooter.Capture(QStringLiteral("editor_inch_units"), OriginalView(&dialog));
    });
}

const ScreenEntry kEntry("chart_editor", [](ScreenShooter &shooter) {
    const Setting::UserEnvironment before = *shooter.Model()->GetUserEnvironment();
    bool ok = SetEnvironment(shooter.Model(), 0, ChartDefinitionData::FormatRGB) ||
              ScreenFailed(QStringLiteral("mm and RGB refused"));
    ok = ok && NewChart(shooter) && TwoPagesAndScramble(shooter) && DuplicateId(shooter) && InchUnits(shooter);
    shooter.Model()->SetUserEnvironment(before);
    return ok;
});

} // namespace
