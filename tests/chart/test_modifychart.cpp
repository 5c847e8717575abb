// The layout dialog for one new patch area on a captured page: the area it starts from, the layout tree and its
// editors, the drags from the view, the zoom, the sheet it hands back, and a model it never changes.
#include "chart/vceditchartgraphicsview.h"
#include "chart/vcgraphicspatch.h"
#include "chart/vcmodifychart.h"
#include "chartcompare.h"
#include "modelfixture.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QGraphicsPixmapItem>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <cstring>

namespace {

using Sheet = ChartDefinitionData::Sheet;

// A region of the given size in 0.01 mm at (1500, 2000): {left, top, right, bottom}, right and bottom inclusive.
QRect Region(int width, int height)
{
    return QRect(QPoint(1500, 2000), QPoint(1500 + width - 1, 2000 + height - 1));
}

struct Form {
    CVCModifyChart dialog;
    QTreeWidget *tree;
    CVCEditChartGraphicsView *view;
    QSlider *slider;
    QToolButton *zoomButton;

    Form(CModel *model, const QRect &region, int rows, int columns)
        : dialog(model, region, 0, rows, columns),
          tree(dialog.findChild<QTreeWidget *>(QStringLiteral("treeLayout"))),
          view(dialog.findChild<CVCEditChartGraphicsView *>(QStringLiteral("graphicsView"))),
          slider(dialog.findChild<QSlider *>(QStringLiteral("sliderZoom"))),
          zoomButton(dialog.findChild<QToolButton *>(QStringLiteral("pushZoomSetting")))
    {
    }

    QTreeWidgetItem *Item(int tag) const
    {
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            if ((*it)->data(0, Qt::UserRole).toInt() == tag)
                return *it;
        }
        return nullptr;
    }
    QString Text(int tag) const { return Item(tag)->text(1); }

    QWidget *Edit(int tag)
    {
        tree->setCurrentItem(Item(tag));
        return tree->itemWidget(Item(tag), 1);
    }
    // Types the value into the item's editor and confirms it with Return, as a user does.
    void Type(int tag, double value)
    {
        QWidget *editor = Edit(tag);
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor))
            spin->setValue(value);
        else if (auto *count = qobject_cast<QSpinBox *>(editor))
            count->setValue(int(value));
        QTest::keyClick(editor, Qt::Key_Return);
    }

    ChartDefinitionData::AreaPlacement Placement() const
    {
        Sheet sheet;
        dialog.GetSheet(&sheet);
        return sheet.Placements[0];
    }

    QList<CVCGraphicsPatch *> Patches() const
    {
        QList<CVCGraphicsPatch *> patches;
        for (QGraphicsItem *item : view->scene()->items()) {
            if (auto *patch = dynamic_cast<CVCGraphicsPatch *>(item))
                patches << patch;
        }
        return patches;
    }
};

QString Path(const QTreeWidgetItem *item)
{
    QStringList parts;
    for (; item; item = item->parent())
        parts.prepend(item->text(0));
    return parts.join(QLatin1Char('/'));
}

void CompareMeasurements(const MeasurementDataSheets &a, const MeasurementDataSheets &b)
{
    QCOMPARE(a.SheetCount, b.SheetCount);
    for (int s = 0; s < a.SheetCount; ++s) {
        const MeasurementData &x = a.Sheets[s];
        const MeasurementData &y = b.Sheets[s];
        QCOMPARE(x.PageNumber, y.PageNumber);
        QCOMPARE(x.RecordCount, y.RecordCount);
        QCOMPARE(x.MeasuredCount, y.MeasuredCount);
        QVERIFY(std::memcmp(x.Records.get(), y.Records.get(), sizeof(MeasurementData::PatchData) * x.RecordCount)
                == 0);
        QCOMPARE(QSize(x.Width, x.Height), QSize(y.Width, y.Height));
        QCOMPARE(x.BitPerPixel, y.BitPerPixel);
        QVERIFY(std::memcmp(x.ImageBytes.get(), y.ImageBytes.get(), size_t(x.Width * x.Height)) == 0);
    }
}

} // namespace

class TestModifyChart : public QObject
{
    Q_OBJECT

    ModelFixture fixture;
    CModel *model = nullptr;

    void setUnit(int unit)
    {
        Setting::UserEnvironment environment = *model->GetUserEnvironment();
        environment.LengthUnit = unit;
        QCOMPARE(model->SetUserEnvironment(environment), 0);
    }

private slots:
    // One 200 x 150 mm page and its measured entry with a 16 x 16 8-bit image in the working buffer.
    void initTestCase()
    {
        QVERIFY(fixture.Make());
        model = fixture.model.get();
        ChartDefinitionDataSheets *chart = model->GetChartDefinition();
        chart->SheetCount = 1;
        chart->Sheets = NewChartSheets(1);
        chart->Sheets[0] = MakeSmallSheet();
        chart->ChartPatchCount = chart->Sheets[0].PatchCount;
        MeasurementDataSheets *measurement = CModelAccess::DataBuffer(*model)->GetMeasurement();
        measurement->SheetCount = 1;
        measurement->Sheets = NewMeasurementPages(1);
        measurement->Sheets[0] = MakeSmallMeasurement(chart->Sheets[0], 2);
    }

    void init() { setUnit(kUnitMm); }

    void startingLayout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("keptRows");
        QTest::addColumn<int>("keptColumns");
        QTest::addColumn<int>("patchWidth");
        QTest::addColumn<int>("patchHeight");
        QTest::newRow("30 x 20 mm, 3 x 4") << 3000 << 2000 << 3 << 4 << 3 << 4 << 750 << 666;
        QTest::newRow("12 mm over 4 columns raised") << 1200 << 2000 << 2 << 4 << 2 << 4 << 600 << 1000;
        QTest::newRow("40 mm over 1 column lowered") << 4000 << 2000 << 2 << 1 << 2 << 1 << 3000 << 1000;
        QTest::newRow("counts bounded to 244 x 53") << 3000 << 2000 << 300 << 60 << 244 << 53 << 600 << 600;
    }
    void startingLayout()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, keptRows);
        QFETCH(int, keptColumns);
        QFETCH(int, patchWidth);
        QFETCH(int, patchHeight);
        Form form(model, Region(width, height), rows, columns);

        Sheet sheet;
        form.dialog.GetSheet(&sheet);
        QCOMPARE(QSize(sheet.Width, sheet.Height), QSize(20000, 15000));
        QCOMPARE(sheet.AreaCount, 1);
        QCOMPARE(sheet.PatchCount, keptRows * keptColumns);
        QCOMPARE(sheet.Areas[0].RowCount, keptRows);
        QCOMPARE(sheet.Areas[0].ColumnCount, keptColumns);
        QCOMPARE(sheet.Areas[0].PatchCount, keptRows * keptColumns);
        const ChartDefinitionData::AreaPlacement &p = sheet.Placements[0];
        QCOMPARE(QPoint(p.LeftTopX, p.LeftTopY), QPoint(1500, 2000));
        QCOMPARE(QSize(p.PatchWidth, p.PatchHeight), QSize(patchWidth, patchHeight));
        QCOMPARE(QSize(p.PatchWidthGap, p.PatchHeightGap), QSize(patchWidth, patchHeight));
        // Row-major records at their positions, nothing else set.
        for (int k = 0; k < sheet.PatchCount; ++k) {
            const ChartDefinitionData::PatchColor &patch = sheet.Patches[k];
            QCOMPARE(patch.Row, k / keptColumns);
            QCOMPARE(patch.Column, k % keptColumns);
            QCOMPARE(patch.ID, 0);
            QCOMPARE(patch.Area, 0);
            QCOMPARE(patch.ColorFormat, 0);
        }

        QCOMPARE(form.Text(15), QString::number(keptRows));
        QCOMPARE(form.Text(16), QString::number(keptColumns));
        QCOMPARE(form.Item(15)->parent()->child(2)->text(1), QString::number(keptRows * keptColumns));
        QCOMPARE(form.Text(17), QStringLiteral("%1 mm").arg(patchWidth / 100.0, 0, 'f', 2));
        QCOMPARE(form.Text(20), QStringLiteral("%1 mm").arg(patchHeight / 100.0, 0, 'f', 2));
        // The area over the page image, every patch outlined only.
        QCOMPARE(form.Patches().size(), keptRows * keptColumns);
        int images = 0;
        for (QGraphicsItem *item : form.view->scene()->items())
            images += qgraphicsitem_cast<QGraphicsPixmapItem *>(item) ? 1 : 0;
        QCOMPARE(images, 1);
    }

    void treeTagsAndEditors_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::newRow("10") << 10 << "Paper Layout/Page Size" << "" << 0.0 << 0.0;
        QTest::newRow("11") << 11 << "Paper Layout/Page Size/Width" << "" << 0.0 << 0.0;
        QTest::newRow("12") << 12 << "Paper Layout/Page Size/Height" << "" << 0.0 << 0.0;
        QTest::newRow("13") << 13 << "Patch Area/Left Top/X" << "QDoubleSpinBox" << 4.0 << 319.0;
        QTest::newRow("14") << 14 << "Patch Area/Left Top/Y" << "QDoubleSpinBox" << 0.0 << 1461.0;
        QTest::newRow("15") << 15 << "Patch Area/Patch Count/Row" << "QSpinBox" << 1.0 << 244.0;
        QTest::newRow("16") << 16 << "Patch Area/Patch Count/Column" << "QSpinBox" << 1.0 << 53.0;
        QTest::newRow("17") << 17 << "Patch Area/Patch Size/Width" << "QDoubleSpinBox" << 6.0 << 30.0;
        QTest::newRow("18") << 18 << "Patch Area/Patch Size/Height" << "QDoubleSpinBox" << 6.0 << 30.0;
        QTest::newRow("19") << 19 << "Patch Area/Patch Gap/Width" << "QDoubleSpinBox" << 6.0 << 32.0;
        QTest::newRow("20") << 20 << "Patch Area/Patch Gap/Height" << "QDoubleSpinBox" << 6.0 << 32.0;
    }
    void treeTagsAndEditors()
    {
        QFETCH(int, tag);
        QFETCH(QString, editor);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        Form form(model, Region(3000, 2000), 3, 4);
        QTreeWidgetItem *item = form.Item(tag);
        QVERIFY(item);
        QTEST(Path(item), "path");
        QWidget *widget = form.Edit(tag);
        if (editor.isEmpty()) {
            QVERIFY(!widget);
            return;
        }
        QVERIFY(widget);
        QCOMPARE(QByteArray(widget->metaObject()->className()), editor.toLatin1());
        const QString number = item->text(1).section(QLatin1Char(' '), 0, 0);
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget)) {
            QCOMPARE(spin->decimals(), 2);
            QCOMPARE(spin->suffix(), QStringLiteral(" mm"));
            QCOMPARE(spin->minimum(), minimum);
            QCOMPARE(spin->maximum(), maximum);
            QCOMPARE(QString::number(spin->value(), 'f', 2), number);
        } else {
            auto *count = qobject_cast<QSpinBox *>(widget);
            QCOMPARE(count->minimum(), int(minimum));
            QCOMPARE(count->maximum(), int(maximum));
            QCOMPARE(QString::number(count->value()), number);
        }
        // One editor at a time: moving on takes it away.
        form.tree->setCurrentItem(form.Item(10));
        QVERIFY(!form.tree->itemWidget(item, 1));
    }

    void paperLayoutShowsThePage()
    {
        Form form(model, Region(3000, 2000), 3, 4);
        QCOMPARE(form.Text(10), model->GetPageSizeName(model->FindPaperSizeIndex(20000, 15000)));
        QCOMPARE(form.Text(11), QStringLiteral("200.00 mm"));
        QCOMPARE(form.Text(12), QStringLiteral("150.00 mm"));
        QCOMPARE(form.Item(10)->parent()->child(1)->text(1), QStringLiteral("1"));
        QCOMPARE(form.Item(17)->parent()->text(1), QStringLiteral("(6.00 - 30.00 mm)"));
        QCOMPARE(form.Item(19)->parent()->text(1), QStringLiteral("(6.00 - 32.00 mm)"));
    }

    void inchDisplay()
    {
        setUnit(kUnitInch);
        Form form(model, Region(3000, 2000), 1, 3); // patches of 10.00 x 20.00 mm
        QCOMPARE(form.Item(17)->parent()->text(1), QStringLiteral("(0.236 - 1.181 inch)"));
        QCOMPARE(form.Item(19)->parent()->text(1), QStringLiteral("(0.236 - 1.260 inch)"));
        QCOMPARE(form.Text(13), QStringLiteral("0.591 inch"));
        auto *spin = qobject_cast<QDoubleSpinBox *>(form.Edit(17));
        QVERIFY(spin);
        QCOMPARE(spin->decimals(), 3);
        QCOMPARE(spin->suffix(), QStringLiteral(" inch"));
        QCOMPARE(spin->minimum(), 0.236);
        // The inch text of the smallest size gives the smallest size exactly, not 599.
        form.Type(17, 0.236);
        QCOMPARE(form.Placement().PatchWidth, 600);
        QCOMPARE(form.Text(17), QStringLiteral("0.236 inch"));
    }

    void typing_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("patchWidth");
        QTest::addColumn<int>("widthGap");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("columns");
        // Three 10.00 mm patches touching, from x = 15.00 mm.
        QTest::newRow("width above the gap raises it") << 17 << 12.0 << 1200 << 1200 << 1500 << 3;
        QTest::newRow("width below the gap keeps it") << 17 << 8.0 << 800 << 1000 << 1500 << 3;
        QTest::newRow("gap below the width lowers it") << 19 << 8.0 << 800 << 800 << 1500 << 3;
        QTest::newRow("gap above the width keeps it") << 19 << 12.5 << 1000 << 1250 << 1500 << 3;
        QTest::newRow("x") << 13 << 20.25 << 1000 << 1000 << 2025 << 3;
        QTest::newRow("columns") << 16 << 5.0 << 1000 << 1000 << 1500 << 5;
    }
    void typing()
    {
        QFETCH(int, tag);
        QFETCH(double, value);
        QFETCH(int, patchWidth);
        QFETCH(int, widthGap);
        QFETCH(int, left);
        QFETCH(int, columns);
        Form form(model, Region(3000, 2000), 1, 3);
        QSignalSpy display(form.view, &CVCGraphicsView::SetDisplay);
        form.Type(tag, value);
        const ChartDefinitionData::AreaPlacement p = form.Placement();
        QCOMPARE(p.PatchWidth, patchWidth);
        QCOMPARE(p.PatchWidthGap, widthGap);
        QCOMPARE(p.LeftTopX, left);
        QCOMPARE(QSize(p.PatchHeight, p.PatchHeightGap), QSize(2000, 2000));
        Sheet sheet;
        form.dialog.GetSheet(&sheet);
        QCOMPARE(sheet.Areas[0].ColumnCount, columns);
        QCOMPARE(sheet.PatchCount, columns);
        QCOMPARE(form.Text(17), QStringLiteral("%1 mm").arg(patchWidth / 100.0, 0, 'f', 2));
        QCOMPARE(form.Text(19), QStringLiteral("%1 mm").arg(widthGap / 100.0, 0, 'f', 2));
        QCOMPARE(form.Text(13), QStringLiteral("%1 mm").arg(left / 100.0, 0, 'f', 2));
        QCOMPARE(form.Item(16)->parent()->child(2)->text(1), QString::number(columns));
        // Redrawn once, the new area outlined.
        QCOMPARE(display.count(), 1);
        QCOMPARE(display.at(0).at(0).toInt(), 5);
        QCOMPARE(form.Patches().size(), columns);
        for (CVCGraphicsPatch *patch : form.Patches())
            QCOMPARE(patch->GetDisplay(), 5);
    }

    void unchangedTextDoesNothing_data()
    {
        QTest::addColumn<int>("tag");
        for (int tag = 13; tag <= 20; ++tag)
            QTest::addRow("%d", tag) << tag;
    }
    void unchangedTextDoesNothing()
    {
        QFETCH(int, tag);
        Form form(model, Region(3000, 2000), 1, 3);
        const QString before = form.Text(tag);
        QSignalSpy display(form.view, &CVCGraphicsView::SetDisplay);
        QTest::keyClick(form.Edit(tag), Qt::Key_Return);
        QCOMPARE(display.count(), 0);
        QCOMPARE(form.Text(tag), before);
    }

    void resize_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("regionWidth");
        QTest::addColumn<double>("typedGap"); // mm, 0 for none
        QTest::addColumn<int>("growth"); // of the whole area, 0.01 mm
        QTest::addColumn<int>("patchWidth");
        QTest::addColumn<int>("widthGap");
        QTest::newRow("+100 over 3 columns") << 3 << 3000 << 0.0 << 100 << 1033 << 1033;
        QTest::newRow("3000 / 3100 stays") << 1 << 3000 << 31.0 << 100 << 3000 << 3100;
        QTest::newRow("2900 / 3150, +200") << 1 << 2900 << 31.5 << 200 << 2950 << 3200;
        QTest::newRow("below the smallest size") << 1 << 700 << 8.0 << -300 << 600 << 700;
    }
    void resize()
    {
        QFETCH(int, columns);
        QFETCH(int, regionWidth);
        QFETCH(double, typedGap);
        QFETCH(int, growth);
        Form form(model, Region(regionWidth, 2000), 1, columns);
        if (typedGap > 0)
            form.Type(19, typedGap);
        // The gap's editor stays on its item and follows the drag.
        auto *gapEditor = qobject_cast<QDoubleSpinBox *>(form.tree->itemWidget(form.Item(19), 1));
        QSignalSpy display(form.view, &CVCGraphicsView::SetDisplay);
        emit form.view->AreaResized(0, QSize(growth, 0));
        const ChartDefinitionData::AreaPlacement p = form.Placement();
        QTEST(p.PatchWidth, "patchWidth");
        QTEST(p.PatchWidthGap, "widthGap");
        QCOMPARE(QSize(p.PatchHeight, p.PatchHeightGap), QSize(2000, 2000));
        QCOMPARE(form.Text(17), QStringLiteral("%1 mm").arg(p.PatchWidth / 100.0, 0, 'f', 2));
        QCOMPARE(form.Text(19), QStringLiteral("%1 mm").arg(p.PatchWidthGap / 100.0, 0, 'f', 2));
        if (gapEditor)
            QCOMPARE(gapEditor->value(), p.PatchWidthGap / 100.0);
        QCOMPARE(display.count(), 1);
    }

    void move_data()
    {
        QTest::addColumn<QSize>("offset");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("inside") << QSize(250, -500) << QPoint(1750, 1500);
        QTest::newRow("past the left and top limits") << QSize(-5000, -5000) << QPoint(400, 0);
        QTest::newRow("past the right and bottom limits") << QSize(100000, 200000) << QPoint(31900, 146100);
    }
    void move()
    {
        QFETCH(QSize, offset);
        QFETCH(QPoint, origin);
        Form form(model, Region(3000, 2000), 1, 3);
        auto *editor = qobject_cast<QDoubleSpinBox *>(form.Edit(13));
        QSignalSpy display(form.view, &CVCGraphicsView::SetDisplay);
        emit form.view->AreaMoved(0, offset);
        const ChartDefinitionData::AreaPlacement p = form.Placement();
        QCOMPARE(QPoint(p.LeftTopX, p.LeftTopY), origin);
        QCOMPARE(form.Text(13), QStringLiteral("%1 mm").arg(origin.x() / 100.0, 0, 'f', 2));
        QCOMPARE(form.Text(14), QStringLiteral("%1 mm").arg(origin.y() / 100.0, 0, 'f', 2));
        QCOMPARE(editor->value(), origin.x() / 100.0);
        QCOMPARE(display.count(), 1);
        QCOMPARE(display.at(0).at(0).toInt(), 5);
    }

    void zoom()
    {
        Form form(model, Region(3000, 2000), 1, 3);
        QCOMPARE(form.slider->minimum(), 5);
        QCOMPARE(form.slider->maximum(), 200);
        QCOMPARE(form.slider->value(), 100);
        form.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form.dialog));
        const int fit = qBound(5, form.view->GetFitZoom(), 200);
        QCOMPARE(form.slider->value(), fit);
        QCOMPARE(form.view->transform().m11(), fit / 100.0);
        const QList<QAction *> actions = form.zoomButton->menu()->actions();
        QVERIFY(actions.last()->isChecked());

        auto *zoomIn = form.dialog.findChild<QToolButton *>(QStringLiteral("pushZoomIn"));
        auto *zoomOut = form.dialog.findChild<QToolButton *>(QStringLiteral("pushZoomOut"));
        form.slider->setValue(199);
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QTest::mouseClick(zoomIn, Qt::LeftButton);
        QCOMPARE(form.slider->value(), 200);
        QCOMPARE(form.zoomButton->text(), QStringLiteral("200%"));
        form.slider->setValue(6);
        QTest::mouseClick(zoomOut, Qt::LeftButton);
        QTest::mouseClick(zoomOut, Qt::LeftButton);
        QCOMPARE(form.slider->value(), 5);
        QCOMPARE(form.view->transform().m11(), 0.05);
        QVERIFY(!actions.last()->isChecked());

        actions.at(4)->trigger(); // 50%
        QCOMPARE(form.slider->value(), 50);
        QCOMPARE(form.zoomButton->text(), QStringLiteral("50%"));
        QVERIFY(actions.at(4)->isChecked());
        // Fitted once at show: a later resize keeps the zoom the user chose.
        form.dialog.resize(form.dialog.size() + QSize(200, 200));
        QCoreApplication::processEvents();
        QCOMPARE(form.slider->value(), 50);
    }

    void modelUnchanged()
    {
        ChartDefinitionDataSheets chartBefore;
        CopyChartDefinitionData(&chartBefore, *model->GetChartDefinition());
        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(model->GetMeasurementData(&measurement), 0);
        MeasurementDataSheets measurementBefore;
        CopyMeasureFileData(&measurementBefore, *measurement);
        {
            Form form(model, Region(3000, 2000), 2, 3);
            form.Type(17, 7.0);
            form.Type(15, 4);
            emit form.view->AreaMoved(0, QSize(300, 300));
            emit form.view->AreaResized(0, QSize(300, 300));
            Sheet sheet;
            form.dialog.GetSheet(&sheet);
            QCOMPARE(sheet.PatchCount, 12);
        }
        fixture::CompareCharts(*model->GetChartDefinition(), chartBefore);
        CompareMeasurements(*measurement, measurementBefore);
        ClearChartDefinitionData(&chartBefore);
        ClearMeasureFileData(&measurementBefore);
    }
};

QTEST_MAIN(TestModifyChart)
#include "test_modifychart.moc"
