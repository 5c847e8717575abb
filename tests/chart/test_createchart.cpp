// The chart editor dialog over the real model: its form, the layout tree and its editors, pages, tabs, the patch
// table with its cell editors and keys, copy and paste, the transforms, IDs, the QR code and every way to close.
#include "chart/vccreatechart.h"
#include "chart/vceditchartgraphicsview.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

const QString kSaveQuestion = QStringLiteral("Do want to save chart definition data?");
const QString kOutOfRange =
    QStringLiteral("QR Code exists out of a print range.\nDo want to save chart definition data?");
const QString kOverlap =
    QStringLiteral("QR code is overlapped with patch area.\nDo want to save chart definition data?");
const QString kAssign = QStringLiteral("Do you want to assign ID automatically?");

template <typename T>
T *find(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}

QTreeWidget *tree(QObject *d)
{
    return find<QTreeWidget>(d, "treeLayout");
}

QTableWidget *table(QObject *d)
{
    return find<QTableWidget>(d, "tablePatch");
}

QPushButton *button(QObject *d, const char *name)
{
    return find<QPushButton>(d, name);
}

void click(QObject *d, const char *name)
{
    find<QToolButton>(d, name)->click();
}

QTreeWidgetItem *paperItem(QObject *d, int child)
{
    return tree(d)->topLevelItem(0)->child(child);
}

QTreeWidgetItem *areaItem(QObject *d, int slot)
{
    return tree(d)->topLevelItem(1 + slot);
}

// group: 0 Left Top, 1 Patch Count, 2 Patch Size, 3 Patch Gap.
QTreeWidgetItem *areaChild(QObject *d, int slot, int group, int child)
{
    return areaItem(d, slot)->child(group)->child(child);
}

template <typename Editor>
Editor *open(QObject *d, QTreeWidgetItem *item)
{
    tree(d)->setCurrentItem(item);
    return qobject_cast<Editor *>(tree(d)->itemWidget(item, 1));
}

// Types a value into an item's editor and leaves it; false when the item opens no such editor.
bool typeLength(QObject *d, QTreeWidgetItem *item, double value)
{
    auto *spin = open<QDoubleSpinBox>(d, item);
    if (!spin)
        return false;
    spin->setValue(value);
    emit spin->editingFinished();
    return true;
}

bool typeCount(QObject *d, QTreeWidgetItem *item, int value)
{
    auto *spin = open<QSpinBox>(d, item);
    if (!spin)
        return false;
    spin->setValue(value);
    emit spin->editingFinished();
    return true;
}

bool choose(QObject *d, QTreeWidgetItem *item, int index)
{
    auto *combo = open<QComboBox>(d, item);
    if (!combo)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

const CreateChartPage &page(const CVCCreateChart &dialog, int index = 0)
{
    return dialog.Core().PageLists[CreateChartCore::OriginalList].at(index);
}

const CreateChartArea &area(const CVCCreateChart &dialog, int slot, int pageIndex = 0)
{
    return page(dialog, pageIndex).Areas[size_t(slot)];
}

// Runs the editor's own loop; whatever the body leaves open is closed without the save question.
int run(CVCCreateChart *dialog, const std::function<void()> &body)
{
    return ModalRunner::Run(dialog, [&](QDialog *d) {
        body();
        if (d->isVisible())
            d->QDialog::done(0);
    });
}

// Types into a table cell through its editor, as a click and Return would.
bool typeCell(QObject *d, int row, int column, double value)
{
    QTableWidget *t = table(d);
    t->setCurrentCell(row, column);
    emit t->cellClicked(row, column);
    auto *editor = qobject_cast<QAbstractSpinBox *>(t->cellWidget(row, column));
    if (!editor)
        return false;
    if (auto *id = qobject_cast<QSpinBox *>(editor))
        id->setValue(int(value));
    else
        qobject_cast<QDoubleSpinBox *>(editor)->setValue(value);
    emit t->cellClicked(row, column); // a second click on the cell: the value goes in and a fresh editor opens
    return true;
}

void setEnvironment(CModel *model, int unit, int format)
{
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    environment.LengthUnit = unit;
    environment.ColorFormat = format;
    QCOMPARE(model->SetUserEnvironment(environment), 0);
}

} // namespace

class TestCreateChart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Resource);
        qRegisterMetaType<QAction *>();
    }

    void form()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 0);
        const QList<QPair<const char *, const char *>> widgets = {
            {"gridLayout", "QGridLayout"}, {"splitterLayoutCreateChart", "QSplitter"},
            {"lineFooter", "QFrame"}, {"hLayoutFooter", "QHBoxLayout"}, {"labelMessage", "QLabel"},
            {"dockLayout", "QDockWidget"}, {"dockLayoutContents", "QWidget"}, {"vLayoutLayout", "QVBoxLayout"},
            {"treeLayout", "QTreeWidget"}, {"hLayoutLayout", "QHBoxLayout"}, {"hLayoutLayoutPage", "QHBoxLayout"},
            {"labelLayoutPage", "QLabel"}, {"pushAddLayoutPage", "QToolButton"},
            {"pushDeleteLayoutPage", "QToolButton"}, {"hLayoutLayoutPatchArea", "QHBoxLayout"},
            {"labelLayoutPatchArea", "QLabel"}, {"pushAddLayoutPatchArea", "QToolButton"},
            {"pushDeleteLayoutPatchArea", "QToolButton"}, {"splitterLayoutPatchColor", "QSplitter"},
            {"dockPatch", "QDockWidget"}, {"dockPatchContents", "QWidget"}, {"vLayoutPatchColor", "QVBoxLayout"},
            {"tablePatch", "QTableWidget"}, {"tabChartCanvas", "QTabWidget"}, {"tabOriginal", "QWidget"},
            {"graphicsViewOriginal", "CVCEditChartGraphicsView"}, {"horizontalLayout", "QHBoxLayout"},
            {"tabScramble", "QWidget"}, {"graphicsViewScramble", "CVCChartGraphicsView"},
            {"hLayoutScramble", "QHBoxLayout"}, {"pushOriginalID", "QToolButton"},
            {"pushOriginalLengthID", "QToolButton"}, {"pushOriginalRotate", "QToolButton"},
            {"pushOriginalCopy", "QToolButton"}, {"pushOriginalPaste", "QToolButton"},
            {"pushOriginalFlipHorizontal", "QToolButton"}, {"pushOriginalFlipVertical", "QToolButton"},
            {"pushOriginalExchangeRowColumn", "QToolButton"}, {"pushOriginalUndo", "QToolButton"},
            {"pushOriginalRedo", "QToolButton"}, {"pushOriginalPage", "QToolButton"},
            {"pushScramblePage", "QToolButton"}, {"pushOriginalColor", "QToolButton"},
            {"pushScrambleColor", "QToolButton"}, {"pushOriginalZoomSetting", "QToolButton"},
            {"pushScrambleZoomSetting", "QToolButton"}, {"pushOriginalZoomOut", "QToolButton"},
            {"pushScrambleZoomOut", "QToolButton"}, {"hSliderOriginalZoom", "QSlider"},
            {"hSliderScrambleZoom", "QSlider"}, {"pushOriginalZoomIn", "QToolButton"},
            {"pushScrambleZoomIn", "QToolButton"}, {"pushSave", "QPushButton"}, {"okButton", "QPushButton"},
            {"cancelButton", "QPushButton"}};
        for (const auto &w : widgets) {
            QObject *object = dialog.findChild<QObject *>(QLatin1String(w.first));
            QVERIFY2(object, w.first);
            QVERIFY2(object->inherits(w.second), w.first);
        }
        QCOMPARE(dialog.objectName(), QStringLiteral("CreateChartDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Create Chart"));
        QCOMPARE(dialog.size(), QSize(1024, 768));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(find<QDockWidget>(&dialog, "dockPatch")->windowTitle(), QStringLiteral("Patch Color "));
        QCOMPARE(find<QDockWidget>(&dialog, "dockLayout")->features(), QDockWidget::NoDockWidgetFeatures);
        QCOMPARE(tree(&dialog)->headerItem()->text(0), QStringLiteral("Item"));
        QCOMPARE(tree(&dialog)->headerItem()->text(1), QStringLiteral("Value"));
        QCOMPARE(tree(&dialog)->header()->defaultSectionSize(), 140);
        QCOMPARE(table(&dialog)->horizontalHeader()->defaultSectionSize(), 64);
        QCOMPARE(table(&dialog)->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(table(&dialog)->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(find<QTabWidget>(&dialog, "tabChartCanvas")->currentIndex(), 0);
        for (const char *name : {"pushOriginalUndo", "pushOriginalRedo", "pushOriginalPaste"})
            QVERIFY2(!find<QToolButton>(&dialog, name)->isEnabled(), name);
        for (const char *name : {"pushOriginalColor", "pushScrambleColor"})
            QVERIFY2(find<QToolButton>(&dialog, name)->isChecked(), name);
        for (QToolButton *tool : dialog.findChildren<QToolButton *>()) {
            if (!tool->objectName().startsWith(QLatin1String("push")))
                continue;
            // The page and zoom buttons show text ("1 / 2", "100%") and take the width it needs.
            const bool showsText = QStringList({"pushOriginalPage", "pushScramblePage", "pushOriginalZoomSetting",
                                                "pushScrambleZoomSetting"})
                                       .contains(tool->objectName());
            QVERIFY2((showsText || tool->maximumWidth() <= 28) && tool->maximumHeight() <= 24,
                     qPrintable(tool->objectName()));
            if (showsText)
                QVERIFY2(tool->minimumWidth() >= 50, qPrintable(tool->objectName()));
        }
        QCOMPARE(find<QToolButton>(&dialog, "pushAddLayoutPage")->maximumSize(), QSize(23, 23));
        QCOMPARE(find<QToolButton>(&dialog, "pushOriginalRotate")->toolTip(), QStringLiteral("Rotate"));
        QVERIFY(!find<QToolButton>(&dialog, "pushOriginalRotate")->icon().isNull());
        QSlider *slider = find<QSlider>(&dialog, "hSliderOriginalZoom");
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->tickPosition(), QSlider::TicksAbove);
        QVERIFY(slider->minimumWidth() >= 120);
        QCOMPARE(std::make_pair(slider->minimum(), slider->maximum()), std::make_pair(30, 200));
        auto *view = find<CVCChartGraphicsView>(&dialog, "graphicsViewScramble");
        QCOMPARE(view->BarcodeInset(), 237);
        QCOMPARE(view->InkColorList().size(), f.model->GetUserEnvironment()->Inks.size());
    }

    void buttonSets_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("edit") << 0 << true << true;
        QTest::newRow("edit at the limit") << 1 << true << false;
        QTest::newRow("new chart") << 2 << false << true;
    }

    void buttonSets()
    {
        QFETCH(int, mode);
        QFETCH(bool, save);
        QFETCH(bool, saveAs);
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), mode);
        QCOMPARE(!button(&dialog, "pushSave")->isHidden(), save);
        QCOMPARE(!button(&dialog, "okButton")->isHidden(), saveAs);
        QVERIFY(!button(&dialog, "cancelButton")->isHidden());
        QCOMPARE(button(&dialog, "pushSave")->text(), QStringLiteral("Save"));
        QCOMPARE(button(&dialog, "okButton")->text(), QStringLiteral("Save As"));
        QCOMPARE(button(&dialog, "cancelButton")->text(), QStringLiteral("Cancel"));
        auto *box = dialog.findChild<QDialogButtonBox *>();
        QVERIFY(box);
        QCOMPARE(box->buttons().size(), save && saveAs ? 3 : 2);
        QCOMPARE(box->buttonRole(button(&dialog, "cancelButton")), QDialogButtonBox::RejectRole);
    }

    void newChart()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ScriptedPresenter script;
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            QCOMPARE(dialog.Core().PageLists[0].size(), 1);
            QCOMPARE(page(dialog).PaperSize, 0);
            QCOMPARE(page(dialog).Width, f.model->GetPageSizeWidth(0));
            QCOMPARE(page(dialog).Height, f.model->GetPageSizeHeight(0));
            QCOMPARE(page(dialog).AreaCount, 0);
            QCOMPARE(find<QToolButton>(&dialog, "pushOriginalPage")->text(), QStringLiteral("1 / 1"));
            QVERIFY(button(&dialog, "pushSave")->isHidden());
            QVERIFY(!button(&dialog, "okButton")->isEnabled());
            QVERIFY(areaItem(&dialog, 0)->isHidden());
            QCOMPARE(paperItem(&dialog, 2)->text(1), QStringLiteral("1"));
            QCOMPARE(paperItem(&dialog, 1)->text(1), f.model->GetPageSizeName(0));

            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(button(&dialog, "okButton")->isEnabled());
            QVERIFY(!areaItem(&dialog, 0)->isHidden());
            QCOMPARE(tree(&dialog)->currentItem(), areaItem(&dialog, 0));
            QCOMPARE(table(&dialog)->rowCount(), 1);
            QCOMPARE(find<QDockWidget>(&dialog, "dockPatch")->windowTitle(),
                     QStringLiteral("Patch Color / Patch Area 1"));
            QCOMPARE(areaChild(&dialog, 0, 0, 0)->text(1), QStringLiteral("4.00 mm"));
            QCOMPARE(areaItem(&dialog, 0)->child(2)->text(1), QStringLiteral("(6.00 - 30.00 mm)"));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void lengthEditors_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("range");
        QTest::newRow("mm") << 0 << 2 << 0.01 << QStringLiteral(" mm") << QStringLiteral("(6.00 - 30.00 mm)");
        QTest::newRow("inch") << 1 << 3 << 0.001 << QStringLiteral(" inch")
                              << QStringLiteral("(0.236 - 1.181 inch)");
    }

    void lengthEditors()
    {
        QFETCH(int, unit);
        QFETCH(int, decimals);
        QFETCH(double, step);
        QFETCH(QString, suffix);
        QFETCH(QString, range);
        ModelFixture f;
        QVERIFY(f.Make());
        setEnvironment(f.model.get(), unit, 1);
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QCOMPARE(areaItem(&dialog, 0)->child(2)->text(1), range);
            auto *spin = open<QDoubleSpinBox>(&dialog, areaChild(&dialog, 0, 2, 0));
            QVERIFY(spin);
            QCOMPARE(spin->decimals(), decimals);
            QCOMPARE(spin->singleStep(), step);
            QCOMPARE(spin->suffix(), suffix);
            // The displayed maximum stores the limit exactly; 30.5 mm cannot be typed.
            spin->setValue(spin->maximum() + 0.5);
            emit spin->editingFinished();
            QCOMPARE(area(dialog, 0).PatchWidth, 3000);
            QCOMPARE(area(dialog, 0).PatchWidthGap, 3000);
        });
    }

    void couplingsAndUnchangedText()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeLength(&dialog, areaChild(&dialog, 0, 3, 0), 20.0));
            QVERIFY(typeLength(&dialog, areaChild(&dialog, 0, 2, 0), 25.0));
            QCOMPARE(area(dialog, 0).PatchWidth, 2500);
            QCOMPARE(area(dialog, 0).PatchWidthGap, 2500);
            QCOMPARE(areaChild(&dialog, 0, 3, 0)->text(1), QStringLiteral("25.00 mm"));
            QVERIFY(typeLength(&dialog, areaChild(&dialog, 0, 2, 1), 12.0));
            QVERIFY(typeLength(&dialog, areaChild(&dialog, 0, 3, 1), 10.0));
            QCOMPARE(area(dialog, 0).PatchHeight, 1000);
            QCOMPARE(areaChild(&dialog, 0, 2, 1)->text(1), QStringLiteral("10.00 mm"));

            // An edit that leaves the text as it was draws nothing and keeps the undo history.
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            QVERIFY(find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            const QList<QGraphicsItem *> items = find<QGraphicsView>(&dialog, "graphicsViewOriginal")->scene()->items();
            QVERIFY(typeLength(&dialog, areaChild(&dialog, 0, 0, 0), 4.0));
            QCOMPARE(find<QGraphicsView>(&dialog, "graphicsViewOriginal")->scene()->items(), items);
            QVERIFY(find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
        });
    }

    void rowChangeResizesAndPlacesQr()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            QVERIFY(choose(&dialog, paperItem(&dialog, 0), 1));
            QCOMPARE(dialog.Core().Header.Barcode, 1);
            click(&dialog, "pushAddLayoutPatchArea");
            const int width = page(dialog).BarcodeWidth;
            QVERIFY(width > 0);
            dialog.BarcodeMoved(QSize(1000, 500));
            QCOMPARE(page(dialog).BarcodeLeftTopX, 1400);
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            QVERIFY(find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            const int firstId = area(dialog, 0).Patches.at(0).ID;
            QVERIFY(typeCount(&dialog, areaChild(&dialog, 0, 1, 0), 3));
            QCOMPARE(area(dialog, 0).PatchCount, 3);
            QCOMPARE(area(dialog, 0).Patches.size(), 3);
            QCOMPARE(area(dialog, 0).Patches.at(0).ID, firstId);
            QCOMPARE(areaChild(&dialog, 0, 1, 2)->text(1), QStringLiteral("3"));
            QCOMPARE(table(&dialog)->rowCount(), 3);
            QVERIFY(!find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            QCOMPARE(page(dialog).BarcodeLeftTopX, 400);
            QCOMPARE(page(dialog).BarcodeLeftTopY, 0);
        });
    }

    void pageSizes()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPage");
            QCOMPARE(find<QToolButton>(&dialog, "pushOriginalPage")->text(), QStringLiteral("2 / 2"));
            QVERIFY(choose(&dialog, paperItem(&dialog, 1), 1));
            QCOMPARE(page(dialog, 1).PaperSize, 1);
            QCOMPARE(page(dialog, 1).Width, f.model->GetPageSizeWidth(1));
            QCOMPARE(page(dialog, 0).PaperSize, 0);
            QCOMPARE(page(dialog, 0).Width, f.model->GetPageSizeWidth(0));
            // Fixed sizes open no editor; Custom keeps the size and edits it within its limits.
            QVERIFY(!open<QDoubleSpinBox>(&dialog, paperItem(&dialog, 1)->child(0)));
            QVERIFY(choose(&dialog, paperItem(&dialog, 1), kCustomPaperSizeRow));
            QCOMPARE(page(dialog, 1).Width, f.model->GetPageSizeWidth(1));
            auto *width = open<QDoubleSpinBox>(&dialog, paperItem(&dialog, 1)->child(0));
            QVERIFY(width);
            QCOMPARE(std::make_pair(width->minimum(), width->maximum()), std::make_pair(10.0, 329.0));
            auto *height = open<QDoubleSpinBox>(&dialog, paperItem(&dialog, 1)->child(1));
            QVERIFY(height);
            QCOMPARE(std::make_pair(height->minimum(), height->maximum()), std::make_pair(10.0, 1500.0));
            QVERIFY(typeLength(&dialog, paperItem(&dialog, 1)->child(1), 500.0));
            QCOMPARE(page(dialog, 1).Height, 50000);
        });
    }

    void visitingOutOfRangeValuesStoresNothing()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 1, 2);
        chart.Sheets[0].Width = 40000;
        chart.Sheets[0].Placements[0].LeftTopX = 200;
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            QCOMPARE(page(dialog).PaperSize, kCustomPaperSizeRow);
            auto *width = open<QDoubleSpinBox>(&dialog, paperItem(&dialog, 1)->child(0));
            QVERIFY(width);
            QCOMPARE(width->value(), 329.0);
            emit width->editingFinished();
            auto *x = open<QDoubleSpinBox>(&dialog, areaChild(&dialog, 0, 0, 0));
            QVERIFY(x);
            emit x->editingFinished();
            tree(&dialog)->setCurrentItem(nullptr);
            QCOMPARE(page(dialog).Width, 40000);
            QCOMPARE(area(dialog, 0).LeftTopX, 200);
            QCOMPARE(paperItem(&dialog, 1)->child(0)->text(1), QStringLiteral("400.00 mm"));
        });
    }

    void pageMenu()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            click(&dialog, "pushAddLayoutPage");
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            QMenu *menu = find<QToolButton>(&dialog, "pushOriginalPage")->menu();
            QVERIFY(menu);
            QCOMPARE(menu->actions().size(), 2);
            menu->actions().at(1)->trigger(); // the page shown: nothing happens
            QVERIFY(find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            QSignalSpy fitted(&dialog, &CVCCreateChart::menuZoomTrigger);
            menu->actions().at(0)->trigger();
            QCOMPARE(dialog.Core().CurrentPages[0], 0);
            QVERIFY(!find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            QCOMPARE(find<QToolButton>(&dialog, "pushOriginalPage")->text(), QStringLiteral("1 / 2"));
            QVERIFY(menu->actions().at(0)->isChecked() && !menu->actions().at(1)->isChecked());
            QVERIFY(!fitted.isEmpty() || fitted.wait(5000));
            QCOMPARE(fitted.last().at(0).value<QAction *>()->data().toInt(), 0);
        });
    }

    void enabledRules()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            QVERIFY(!find<QToolButton>(&dialog, "pushDeleteLayoutPage")->isEnabled());
            QVERIFY(!find<QToolButton>(&dialog, "pushDeleteLayoutPatchArea")->isEnabled());
            for (int i = 0; i < 50; ++i)
                click(&dialog, "pushAddLayoutPatchArea");
            QCOMPARE(page(dialog).AreaCount, 50);
            QVERIFY(!find<QToolButton>(&dialog, "pushAddLayoutPatchArea")->isEnabled());
            QVERIFY(find<QToolButton>(&dialog, "pushDeleteLayoutPatchArea")->isEnabled());
            for (int i = 1; i < 100; ++i)
                click(&dialog, "pushAddLayoutPage");
            QCOMPARE(dialog.Core().PageLists[0].size(), 100);
            QVERIFY(!find<QToolButton>(&dialog, "pushAddLayoutPage")->isEnabled());
            QVERIFY(find<QToolButton>(&dialog, "pushDeleteLayoutPage")->isEnabled());
            click(&dialog, "pushDeleteLayoutPage");
            QCOMPARE(dialog.Core().PageLists[0].size(), 99);
            find<QTabWidget>(&dialog, "tabChartCanvas")->setCurrentIndex(1);
            for (const char *name : {"pushAddLayoutPage", "pushDeleteLayoutPage", "pushAddLayoutPatchArea",
                                     "pushDeleteLayoutPatchArea"})
                QVERIFY2(!find<QToolButton>(&dialog, name)->isEnabled(), name);
        });
    }

    void uniformLayout()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 2, 2);
        CVCCreateChart dialog(f.model.get(), 0);
        dialog.SetUniformLayoutCheck(true);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            QVERIFY(button(&dialog, "pushSave")->isEnabled());
            dialog.AreaMoved(0, QSize(500, 0));
            QVERIFY(!button(&dialog, "pushSave")->isEnabled());
            QVERIFY(button(&dialog, "okButton")->isEnabled());
            dialog.AreaMoved(0, QSize(-500, 0));
            QVERIFY(button(&dialog, "pushSave")->isEnabled());
            // Colours and IDs may change.
            tree(&dialog)->setCurrentItem(areaItem(&dialog, 0));
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            QVERIFY(button(&dialog, "pushSave")->isEnabled());
        });
    }

    void scrambleTabRestores()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 12, 10);
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            QTreeWidgetItem *item = areaChild(&dialog, 0, 1, 0);
            tree(&dialog)->setCurrentItem(item);
            table(&dialog)->setCurrentCell(57, 2);
            table(&dialog)->verticalScrollBar()->setValue(30);
            const int tableScroll = table(&dialog)->verticalScrollBar()->value();
            auto *tabs = find<QTabWidget>(&dialog, "tabChartCanvas");
            find<QToolButton>(&dialog, "pushOriginalColor")->setChecked(false);
            tabs->setCurrentIndex(1);
            QCOMPARE(dialog.Core().CurrentTab, 1);
            QVERIFY(!find<QToolButton>(&dialog, "pushScrambleColor")->isChecked());
            QCOMPARE(dialog.Core().PageLists[1].size(), 1);
            tabs->setCurrentIndex(0);
            QCOMPARE(tree(&dialog)->currentItem(), item);
            QCOMPARE(table(&dialog)->currentRow(), 57);
            QCOMPARE(table(&dialog)->currentColumn(), 2);
            QCOMPARE(table(&dialog)->verticalScrollBar()->value(), tableScroll);
        });
    }

    void colourButtonSetsDisplay()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            QSignalSpy display(find<CVCGraphicsView>(&dialog, "graphicsViewOriginal"), &CVCGraphicsView::SetDisplay);
            click(&dialog, "pushOriginalColor");
            QCOMPARE(display.last().at(0).toInt(), 3);
            click(&dialog, "pushOriginalColor");
            QCOMPARE(display.last().at(0).toInt(), 0);
        });
    }

    void tableHeaders_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("headers");
        QTest::newRow("RGB") << 1 << QStringList{"ID", "Red", "Green", "Blue"};
        QTest::newRow("CMYK") << 2 << QStringList{"ID", "Cyan", "Magenta", "Yellow", "Black"};
        QTest::newRow("six inks") << 4
                                  << QStringList{"ID", "Cyan", "Magenta", "Yellow", "Black", "Orange", "Green"};
    }

    void tableHeaders()
    {
        QFETCH(int, format);
        QFETCH(QStringList, headers);
        ModelFixture f;
        QVERIFY(f.Make());
        setEnvironment(f.model.get(), 0, format);
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            QTableWidget *t = table(&dialog);
            QCOMPARE(t->columnCount(), headers.size());
            for (int c = 0; c < headers.size(); ++c)
                QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
        });
    }

    void cellEditorsAndUndo()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        setEnvironment(f.model.get(), 0, 2);
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeCount(&dialog, areaChild(&dialog, 0, 1, 1), 3));
            QTableWidget *t = table(&dialog);
            t->setCurrentCell(0, 0);
            emit t->cellClicked(0, 0);
            auto *id = qobject_cast<QSpinBox *>(t->cellWidget(0, 0));
            QVERIFY(id);
            QCOMPARE(std::make_pair(id->minimum(), id->maximum()), std::make_pair(1, 9999));
            t->setCurrentCell(0, 2);
            emit t->cellClicked(0, 2);
            QVERIFY(!t->cellWidget(0, 0));
            auto *value = qobject_cast<QDoubleSpinBox *>(t->cellWidget(0, 2));
            QVERIFY(value);
            QCOMPARE(value->decimals(), 2);
            QCOMPARE(value->singleStep(), 0.01);
            QCOMPARE(std::make_pair(value->minimum(), value->maximum()), std::make_pair(0.0, 100.0));

            // Return inside the editor moves on as Tab does, the value goes in as one undo step.
            value->setValue(42.5);
            QTest::keyClick(value, Qt::Key_Return);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[1], 42.5f);
            QCOMPARE(t->item(0, 2)->text(), QStringLiteral("42.50"));
            QCOMPARE(std::make_pair(t->currentRow(), t->currentColumn()), std::make_pair(0, 3));
            auto *next = qobject_cast<QDoubleSpinBox *>(t->cellWidget(0, 3));
            QVERIFY(next);
            next->setValue(7.0);
            QTest::keyClick(next, Qt::Key_Tab);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[2], 7.0f);
            QCOMPARE(std::make_pair(t->currentRow(), t->currentColumn()), std::make_pair(0, 4));
            QVERIFY(t->cellWidget(0, 4));

            QTest::keySequence(&dialog, QKeySequence::Undo);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[2], 0.0f);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[1], 42.5f);
            QTest::keySequence(&dialog, QKeySequence::Undo);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[1], 0.0f);
            QVERIFY(!find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
            QTest::keySequence(&dialog, QKeySequence::Undo); // nothing left: nothing happens
            QTest::keySequence(&dialog, QKeySequence::Redo);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[1], 42.5f);
            QCOMPARE(t->item(0, 2)->text(), QStringLiteral("42.50"));

            // Return in the dialog presses no button.
            QTest::keyClick(&dialog, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
        });
    }

    void duplicateIdAcrossPages()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 0);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            const int firstId = area(dialog, 0).Patches.at(0).ID;
            click(&dialog, "pushAddLayoutPage");
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(find<QLabel>(&dialog, "labelMessage")->isHidden());
            QVERIFY(typeCell(&dialog, 0, 0, firstId));
            QCOMPARE(area(dialog, 0, 1).Patches.at(0).ID, firstId);
            QVERIFY(!find<QLabel>(&dialog, "labelMessage")->isHidden());
            QCOMPARE(find<QLabel>(&dialog, "labelMessage")->text(),
                     QStringLiteral("The ID is already in use. Specify another one."));
            QCOMPARE(area(dialog, 0, 0).Patches.at(0).Duplicated, 1);
            QCOMPARE(area(dialog, 0, 1).Patches.at(0).Duplicated, 1);
            QVERIFY(!button(&dialog, "okButton")->isEnabled());
            QVERIFY(!button(&dialog, "pushSave")->isEnabled());
            QVERIFY(typeCell(&dialog, 0, 0, 77));
            QVERIFY(find<QLabel>(&dialog, "labelMessage")->isHidden());
            QVERIFY(button(&dialog, "okButton")->isEnabled());
        });
    }

    void clipboardPaste_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("three rows") << QStringLiteral("11\t1\t2\t3\n12\t4\t5\t6\r\n13\t7\t8\t9\n") << false
                                    << QList<int>{11, 12, 13};
        QTest::newRow("bad second row") << QStringLiteral("11\t1\t2\t3\n0\t4\t5\t6\n13\t7\t8\t9") << true
                                        << QList<int>{11, 0, 0};
    }

    void clipboardPaste()
    {
        QFETCH(QString, text);
        QFETCH(bool, warned);
        QFETCH(QList<int>, ids);
        ModelFixture f;
        QVERIFY(f.Make());
        ScriptedPresenter script;
        if (warned)
            script.ExpectWarn(QStringLiteral("Pasted Data is the error."));
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeCount(&dialog, areaChild(&dialog, 0, 1, 0), 3));
            QList<int> before;
            for (const CreateChartPatch &patch : area(dialog, 0).Patches)
                before << patch.ID;
            table(&dialog)->setCurrentCell(0, 0);
            QApplication::clipboard()->setText(text);
            QTest::keySequence(&dialog, QKeySequence::Paste);
            for (int row = 0; row < 3; ++row)
                QCOMPARE(area(dialog, 0).Patches.at(row).ID, ids.at(row) ? ids.at(row) : before.at(row));
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[2], 3.0f);
            QTest::keySequence(&dialog, QKeySequence::Undo);
            for (int row = 0; row < 3; ++row)
                QCOMPARE(area(dialog, 0).Patches.at(row).ID, before.at(row));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void copyAndPasteButtons()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeCount(&dialog, areaChild(&dialog, 0, 1, 1), 2));
            QVERIFY(typeCell(&dialog, 0, 1, 200.0));
            auto *view = find<CVCEditChartGraphicsView>(&dialog, "graphicsViewOriginal");
            emit view->SetSelected(0, 0, 0);
            click(&dialog, "pushOriginalCopy");
            QVERIFY(find<QToolButton>(&dialog, "pushOriginalPaste")->isEnabled());
            emit view->ClearSelected();
            emit view->SetSelected(0, 0, 1);
            const int id = area(dialog, 0).Patches.at(1).ID;
            click(&dialog, "pushOriginalPaste");
            QCOMPARE(area(dialog, 0).Patches.at(1).ColorValue[0], 200.0f);
            QCOMPARE(area(dialog, 0).Patches.at(1).ID, id);
            QTest::keySequence(&dialog, QKeySequence::Undo);
            QCOMPARE(area(dialog, 0).Patches.at(1).ColorValue[0], f.model->GetColorDefaultValue(1));
        });
    }

    void assignIds_data()
    {
        QTest::addColumn<bool>("columnByColumn");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("rows, yes") << false << int(QMessageBox::Yes) << QList<int>{1, 2, 3, 4};
        QTest::newRow("columns, yes") << true << int(QMessageBox::Yes) << QList<int>{1, 3, 2, 4};
        QTest::newRow("no") << false << int(QMessageBox::No) << QList<int>{11, 12, 13, 14};
    }

    void assignIds()
    {
        QFETCH(bool, columnByColumn);
        QFETCH(int, answer);
        QFETCH(QList<int>, ids);
        ModelFixture f;
        QVERIFY(f.Make());
        ScriptedPresenter script;
        script.ExpectAsk(kAssign, QMessageBox::StandardButton(answer));
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 2, 2);
        for (int k = 0; k < 4; ++k)
            chart.Sheets[0].Patches[k].ID = 11 + k;
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            tree(&dialog)->setCurrentItem(areaItem(&dialog, 0));
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            click(&dialog, columnByColumn ? "pushOriginalLengthID" : "pushOriginalID");
            for (int k = 0; k < 4; ++k)
                QCOMPARE(area(dialog, 0).Patches.at(k).ID, ids.at(k));
            QCOMPARE(table(&dialog)->item(1, 0)->text(), QString::number(ids.at(1)));
            QCOMPARE(find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled(), answer != QMessageBox::Yes);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void rotateWithQrCode()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 1, 2, 3, 1);
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            dialog.BarcodeMoved(QSize(3000, 3000));
            tree(&dialog)->setCurrentItem(areaItem(&dialog, 0));
            table(&dialog)->setCurrentCell(1, 0); // row 0, column 1
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            table(&dialog)->setCurrentCell(1, 0);
            click(&dialog, "pushOriginalRotate");
            QCOMPARE(page(dialog).Width, 15000);
            QCOMPARE(page(dialog).Height, 20000);
            QCOMPARE(area(dialog, 0).RowCount, 3);
            QCOMPARE(area(dialog, 0).ColumnCount, 2);
            QCOMPARE(areaChild(&dialog, 0, 1, 0)->text(1), QStringLiteral("3"));
            QCOMPARE(page(dialog).BarcodeLeftTopX, 400);
            QCOMPARE(page(dialog).BarcodeLeftTopY, 0);
            QVERIFY(page(dialog).BarcodeWidth > 0);
            // Patch (0, 1) of the 2 x 3 area moves to row 1, column 1 of the 3 x 2 one.
            QCOMPARE(table(&dialog)->currentRow(), 3);
            QVERIFY(!find<QToolButton>(&dialog, "pushOriginalUndo")->isEnabled());
        });
    }

    void keysIgnoredOnScrambleTab()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        ScriptedPresenter script;
        CVCCreateChart dialog(f.model.get(), 2);
        run(&dialog, [&] {
            click(&dialog, "pushAddLayoutPatchArea");
            QVERIFY(typeCell(&dialog, 0, 1, 12.0));
            find<QTabWidget>(&dialog, "tabChartCanvas")->setCurrentIndex(1);
            tree(&dialog)->setCurrentItem(areaItem(&dialog, 0));
            table(&dialog)->setCurrentCell(0, 0);
            QTest::keySequence(&dialog, QKeySequence::Undo);
            QCOMPARE(area(dialog, 0).Patches.at(0).ColorValue[0], 12.0f);
            QApplication::clipboard()->setText(QStringLiteral("99\t1\t2\t3"));
            QTest::keySequence(&dialog, QKeySequence::Paste);
            QVERIFY(area(dialog, 0).Patches.at(0).ID != 99);
            find<QTabWidget>(&dialog, "tabChartCanvas")->setCurrentIndex(0);
            tree(&dialog)->setCurrentItem(areaItem(&dialog, 0));
            table(&dialog)->setCurrentCell(0, 0);
            QTest::keySequence(&dialog, QKeySequence::Paste);
            QCOMPARE(area(dialog, 0).Patches.at(0).ID, 99);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void underscoreNameRefusesQr_data()
    {
        QTest::addColumn<int>("barcode");
        QTest::addColumn<QList<int>>("messages");
        QTest::newRow("chosen") << 0 << QList<int>{60};
        QTest::newRow("loaded with one") << 1 << QList<int>{};
    }

    void underscoreNameRefusesQr()
    {
        QFETCH(int, barcode);
        QFETCH(QList<int>, messages);
        ModelFixture f;
        QVERIFY(f.Make());
        ChartDefinitionDataSheets chart;
        MakeChart(&chart, 2, 1, 2, barcode);
        chart.ChartName = QStringLiteral("A_B");
        for (int p = 0; p < 2 && barcode; ++p)
            chart.Sheets[p].BarcodeWidth = chart.Sheets[p].BarcodeHeight = 1000;
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        run(&dialog, [&] {
            auto *combo = open<QComboBox>(&dialog, paperItem(&dialog, 0));
            QVERIFY(combo);
            combo->setCurrentIndex(barcode ? 0 : 1);
            QCOMPARE(f.window->errors, messages);
            QCOMPARE(dialog.Core().Header.Barcode, 0);
            QCOMPARE(combo->currentIndex(), 0);
            QCOMPARE(paperItem(&dialog, 0)->text(1), QStringLiteral("None"));
            QCOMPARE(page(dialog, 1).BarcodeWidth, 0);
        });
    }

    void closing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("how"); // cancel, saveAs, save
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result"); // -1: still open
        QTest::addColumn<int>("created");
        QTest::addColumn<int>("updated");
        const int none = QMessageBox::NoButton;
        QTest::newRow("cancel, kept open") << 2 << "cancel" << int(QMessageBox::Cancel) << -1 << 0 << 0;
        QTest::newRow("cancel, no") << 2 << "cancel" << int(QMessageBox::No) << 0 << 0 << 0;
        QTest::newRow("cancel, yes saves as new") << 0 << "cancel" << int(QMessageBox::Yes) << 1 << 1 << 0;
        QTest::newRow("cancel without areas") << 2 << "cancel" << none << 0 << 0 << 0;
        QTest::newRow("edit at the limit") << 1 << "cancel" << none << 0 << 0 << 0;
        QTest::newRow("save as") << 2 << "saveAs" << none << 1 << 1 << 0;
        QTest::newRow("save") << 0 << "save" << none << 2 << 0 << 1;
    }

    void closing()
    {
        QFETCH(int, mode);
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(int, created);
        QFETCH(int, updated);
        ModelFixture f;
        QVERIFY(f.Make());
        const int id = CreateChart(f.model.get(), 1, 1, 1);
        QVERIFY(id > 0);
        QCOMPARE(f.model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        ScriptedPresenter script;
        if (answer != QMessageBox::NoButton)
            script.ExpectAsk(kSaveQuestion, QMessageBox::StandardButton(answer));
        QSignalSpy createdSpy(f.model.get(), &CModel::CreateDesignationChartFinished);
        QSignalSpy updatedSpy(f.model.get(), &CModel::UpdateDesignationChartFinished);
        const int before = f.model->GetDesignationCharts()->size();
        CVCCreateChart dialog(f.model.get(), mode);
        if (mode != 2) {
            ChartDefinitionDataSheets chart;
            QCOMPARE(f.model->ReadDesignationChart(id, &chart), 0);
            QVERIFY(dialog.SetChartDefinition(&chart));
            ClearChartDefinitionData(&chart);
        }
        const bool withArea = QString::fromLatin1(QTest::currentDataTag()) != QLatin1String("cancel without areas");
        bool stayedOpen = false;
        const int r = run(&dialog, [&] {
            if (mode == 2 && withArea)
                click(&dialog, "pushAddLayoutPatchArea");
            if (how == QLatin1String("cancel"))
                button(&dialog, "cancelButton")->click();
            else if (how == QLatin1String("saveAs"))
                button(&dialog, "okButton")->click();
            else
                button(&dialog, "pushSave")->click();
            stayedOpen = dialog.isVisible();
        });
        QCOMPARE(stayedOpen, result < 0);
        if (result >= 0)
            QCOMPARE(r, result);
        QCOMPARE(createdSpy.size(), created);
        QCOMPARE(updatedSpy.size(), updated);
        QCOMPARE(f.model->GetDesignationCharts()->size(), before + created);
        QVERIFY(f.window->errors.isEmpty());
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void qrQuestions_data()
    {
        QTest::addColumn<QSize>("move");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("answer");
        QTest::newRow("out of range, no") << QSize(40000, 0) << kOutOfRange << int(QMessageBox::No);
        QTest::newRow("overlap, no") << QSize(0, 0) << kOverlap << int(QMessageBox::No);
        QTest::newRow("overlap, yes") << QSize(0, 0) << kOverlap << int(QMessageBox::Yes);
    }

    void qrQuestions()
    {
        QFETCH(QSize, move);
        QFETCH(QString, question);
        QFETCH(int, answer);
        ModelFixture f;
        QVERIFY(f.Make());
        ScriptedPresenter script;
        script.ExpectAsk(question, QMessageBox::StandardButton(answer));
        QSignalSpy createdSpy(f.model.get(), &CModel::CreateDesignationChartFinished);
        CVCCreateChart dialog(f.model.get(), 2);
        bool stayedOpen = false;
        run(&dialog, [&] {
            QVERIFY(choose(&dialog, paperItem(&dialog, 0), 1));
            click(&dialog, "pushAddLayoutPatchArea");
            dialog.BarcodeMoved(move);
            if (move.isNull())
                dialog.AreaMoved(0, QSize(0, -100000)); // back onto the QR code's clear zone
            button(&dialog, "okButton")->click();
            stayedOpen = dialog.isVisible();
        });
        QCOMPARE(stayedOpen, answer != QMessageBox::Yes);
        QCOMPARE(createdSpy.size(), answer == QMessageBox::Yes ? 1 : 0);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void failedSaveKeepsTheDialog_data()
    {
        QTest::addColumn<bool>("update");
        QTest::newRow("create") << false;
        QTest::newRow("update") << true;
    }

    void failedSaveKeepsTheDialog()
    {
        QFETCH(bool, update);
        ModelFixture f;
        QVERIFY(f.Make());
        const int id = CreateChart(f.model.get(), 1, 1, 2);
        QVERIFY(id > 0);
        QCOMPARE(f.model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        ChartDefinitionDataSheets chart;
        QCOMPARE(f.model->ReadDesignationChart(id, &chart), 0);
        CDocumentData *documents = CModelAccess::DocumentData(*f.model);
        // A folder where the chart file goes makes writing it fail.
        if (update) {
            QVERIFY(QFile::remove(documents->DesignationChartPath(id)));
            QVERIFY(QDir().mkpath(documents->DesignationChartPath(id)));
        } else {
            for (int n = id + 1; n <= id + 5; ++n)
                QVERIFY(QDir().mkpath(documents->DesignationChartPath(n)));
        }
        CVCCreateChart dialog(f.model.get(), 0);
        QVERIFY(dialog.SetChartDefinition(&chart));
        ClearChartDefinitionData(&chart);
        QSignalSpy createdSpy(f.model.get(), &CModel::CreateDesignationChartFinished);
        QSignalSpy updatedSpy(f.model.get(), &CModel::UpdateDesignationChartFinished);
        bool stayedOpen = false;
        run(&dialog, [&] {
            button(&dialog, update ? "pushSave" : "okButton")->click();
            stayedOpen = dialog.isVisible();
            QCOMPARE(dialog.Core().PageLists[0].size(), 1);
            QCOMPARE(page(dialog).AreaCount, 1);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(f.window->errors, QList<int>{2});
        QCOMPARE(createdSpy.size() + updatedSpy.size(), 0);
    }
};

QTEST_MAIN(TestCreateChart)
#include "test_createchart.moc"
