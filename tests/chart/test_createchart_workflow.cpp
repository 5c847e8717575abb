// Creating a chart in the editor and editing it again, over the real model: the chart is filed, the model announces
// it, and what the store reads back is what the editor showed.
#include "chart/vccreatechart.h"
#include "docfixtures.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

const QString kOutOfRange =
    QStringLiteral("QR Code exists out of a print range.\nDo want to save chart definition data?");
const QString kOverlap =
    QStringLiteral("QR code is overlapped with patch area.\nDo want to save chart definition data?");

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

// group: 1 Patch Count (child 0 Row, 1 Column).
QTreeWidgetItem *areaChild(QObject *d, int slot, int group, int child)
{
    return tree(d)->topLevelItem(1 + slot)->child(group)->child(child);
}

bool typeCount(QObject *d, QTreeWidgetItem *item, int value)
{
    tree(d)->setCurrentItem(item);
    auto *spin = qobject_cast<QSpinBox *>(tree(d)->itemWidget(item, 1));
    if (!spin)
        return false;
    spin->setValue(value);
    emit spin->editingFinished();
    return true;
}

bool typeCell(QObject *d, int row, int column, double value)
{
    QTableWidget *t = table(d);
    t->setCurrentCell(row, column);
    emit t->cellClicked(row, column);
    QWidget *editor = t->cellWidget(row, column);
    if (auto *id = qobject_cast<QSpinBox *>(editor))
        id->setValue(int(value));
    else if (auto *colour = qobject_cast<QDoubleSpinBox *>(editor))
        colour->setValue(value);
    else
        return false;
    emit t->cellClicked(row, column);
    return true;
}

int run(CVCCreateChart *dialog, const std::function<void()> &body)
{
    return ModalRunner::Run(dialog, [&](QDialog *d) {
        body();
        if (d->isVisible())
            d->QDialog::done(0);
    });
}

// The QR question a save with a QR code asks, if any.
void expectQrQuestion(ScriptedPresenter *script, const CreateChartCore &core)
{
    if (core.Header.Barcode != 1)
        return;
    if (!core.BarcodeInPrintRange())
        script->ExpectAsk(kOutOfRange, QMessageBox::Yes);
    else if (core.BarcodeOverlapsArea())
        script->ExpectAsk(kOverlap, QMessageBox::Yes);
}

// The stored chart holds the editor's pages: sizes, areas in slot order, IDs and colours at their cells, QR code.
void compareWithPages(const ChartDefinitionDataSheets &chart, const CreateChartPageList &pages, int format)
{
    QCOMPARE(chart.SheetCount, pages.size());
    QCOMPARE(chart.UNIT, 0);
    QCOMPARE(chart.Barcode, 1);
    for (int p = 0; p < pages.size(); ++p) {
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[p];
        const CreateChartPage &page = pages.at(p);
        QCOMPARE(sheet.Width, page.Width);
        QCOMPARE(sheet.Height, page.Height);
        QCOMPARE(sheet.AreaCount, page.AreaCount);
        QCOMPARE(sheet.BarcodeLeftTopX, page.BarcodeLeftTopX);
        QCOMPARE(sheet.BarcodeLeftTopY, page.BarcodeLeftTopY);
        QCOMPARE(sheet.BarcodeWidth, page.BarcodeWidth);
        QCOMPARE(sheet.BarcodeHeight, page.BarcodeHeight);
        QVERIFY(page.BarcodeWidth > 0);
        int n = 0;
        for (const CreateChartArea &area : page.Areas) {
            if (area.PatchCount <= 0)
                continue;
            QCOMPARE(sheet.Areas[n].RowCount, area.RowCount);
            QCOMPARE(sheet.Areas[n].ColumnCount, area.ColumnCount);
            const ChartDefinitionData::AreaPlacement &place = sheet.Placements[n];
            QCOMPARE(place.LeftTopX, area.LeftTopX);
            QCOMPARE(place.LeftTopY, area.LeftTopY);
            QCOMPARE(place.PatchWidth, area.PatchWidth);
            QCOMPARE(place.PatchHeightGap, area.PatchHeightGap);
            int found = 0;
            for (int k = 0; k < sheet.PatchCount; ++k) {
                const ChartDefinitionData::PatchColor &record = sheet.Patches[k];
                if (record.Area != n)
                    continue;
                const CreateChartPatch &patch = area.Patches.at(record.Row * area.ColumnCount + record.Column);
                QCOMPARE(record.ID, patch.ID);
                QCOMPARE(record.ColorFormat, format);
                for (int v = 0; v < format + 2; ++v)
                    QCOMPARE(record.ColorValue[v], patch.ColorValue[v]);
                ++found;
            }
            QCOMPARE(found, area.PatchCount);
            ++n;
        }
    }
}

} // namespace

class TestCreateChartWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(Resource); }

    void createAndEditAgain()
    {
        ModelFixture f;
        QVERIFY(f.Make());
        CModel *model = f.model.get();
        const int chartsBefore = model->GetDesignationCharts()->size();

        // A new chart: one area of 4 x 5 with two IDs and a colour typed in, a second page, a QR code.
        ScriptedPresenter script;
        script.ExpectAsk(kOutOfRange, QMessageBox::No);
        QSignalSpy created(model, &CModel::CreateDesignationChartFinished);
        CVCCreateChart editor(model, 2);
        bool savedFirstTry = true;
        const int r = run(&editor, [&] {
            find<QToolButton>(&editor, "pushAddLayoutPatchArea")->click();
            QVERIFY(typeCount(&editor, areaChild(&editor, 0, 1, 0), 4));
            QVERIFY(typeCount(&editor, areaChild(&editor, 0, 1, 1), 5));
            editor.AreaMoved(0, QSize(1500, 4000));
            tree(&editor)->setCurrentItem(tree(&editor)->topLevelItem(1));
            QCOMPARE(table(&editor)->rowCount(), 20);
            QVERIFY(typeCell(&editor, 0, 0, 501));
            QVERIFY(typeCell(&editor, 7, 0, 502));
            QVERIFY(typeCell(&editor, 3, 2, 33.0));
            find<QToolButton>(&editor, "pushAddLayoutPage")->click();
            find<QToolButton>(&editor, "pushAddLayoutPatchArea")->click();
            editor.AreaMoved(0, QSize(2000, 5000));
            QTreeWidgetItem *qr = tree(&editor)->topLevelItem(0)->child(0);
            tree(&editor)->setCurrentItem(qr);
            auto *combo = qobject_cast<QComboBox *>(tree(&editor)->itemWidget(qr, 1));
            QVERIFY(combo);
            combo->setCurrentIndex(1);
            QCOMPARE(qr->text(1), QStringLiteral("Exist"));

            // Out of the print range: asked, and No keeps the editor; back in place the overlap is asked.
            editor.BarcodeMoved(QSize(40000, 0));
            find<QPushButton>(&editor, "okButton")->click();
            QVERIFY(editor.isVisible());
            editor.BarcodeMoved(QSize(-40000, 0));
            editor.AreaMoved(0, QSize(0, -5000));
            QVERIFY(editor.Core().BarcodeOverlapsArea());
            script.ExpectAsk(kOverlap, QMessageBox::Yes);
            find<QPushButton>(&editor, "okButton")->click();
            savedFirstTry = !editor.isVisible();
        });
        QVERIFY(savedFirstTry);
        QCOMPARE(r, 1);
        QCOMPARE(created.size(), 1);
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(model->GetDesignationCharts()->size(), chartsBefore + 1);
        const int id = model->GetDesignationCharts()->last().ID;
        const QString path = CModelAccess::DocumentData(*model)->DesignationChartPath(id);
        qInfo("new chart id %d, read back from %s", id, qPrintable(path));
        QVERIFY(QFile::exists(path));

        ChartDefinitionDataSheets stored;
        fixture::ChartGuard storedGuard{&stored};
        QCOMPARE(model->ReadDesignationChart(id, &stored), 0);
        compareWithPages(stored, editor.Core().PageLists[CreateChartCore::OriginalList], editor.Core().ColorFormat);
        QVERIFY(QTest::currentTestFailed() == false);

        // Edit it again over a measurement with a captured page image: one colour, page 1 turned, Save.
        QCOMPARE(model->SelectFileID(CModel::KindDesignationChart, id, id), 0);
        MeasurementDataSheets measurement = fixture::MakeMeasurement(1, 4);
        fixture::MeasurementGuard measurementGuard{&measurement};
        MeasurementData &image = measurement.Sheets[0];
        image.Width = 24;
        image.Height = 16;
        image.BitPerPixel = 8;
        image.ImageBytes = NewImageBytes(24 * 16);
        for (int i = 0; i < 24 * 16; ++i)
            image.ImageBytes[i] = static_cast<unsigned char>(i);
        int measureId = 0;
        QCOMPARE(CModelAccess::DocumentData(*model)->CreateDesignationMeasure(&measureId, id, &measurement), 0);
        MeasurementDataSheets captured;
        fixture::MeasurementGuard capturedGuard{&captured};
        QCOMPARE(model->ReadDesignationMeasure(measureId, id, &captured), 0);
        QCOMPARE(captured.Sheets[0].BitPerPixel, 8);

        ChartDefinitionDataSheets loaded;
        fixture::ChartGuard loadedGuard{&loaded};
        QCOMPARE(model->ReadDesignationChart(id, &loaded), 0);
        QSignalSpy updated(model, &CModel::UpdateDesignationChartFinished);
        CVCCreateChart again(model, model->IsDesignationChartLimitReached() ? 1 : 0);
        QVERIFY(again.SetChartDefinition(&loaded));
        again.SetPageImages(&captured);
        QCOMPARE(again.Core().PageLists[0].at(0).ImageWidth, 24);
        ScriptedPresenter script2;
        bool closed = false;
        run(&again, [&] {
            tree(&again)->setCurrentItem(tree(&again)->topLevelItem(1));
            QVERIFY(typeCell(&again, 5, 1, 200.0));
            find<QToolButton>(&again, "pushOriginalRotate")->click();
            expectQrQuestion(&script2, again.Core());
            find<QPushButton>(&again, "pushSave")->click();
            closed = !again.isVisible();
        });
        QVERIFY(closed);
        QCOMPARE(updated.size(), 1);
        QVERIFY2(script2.Done(), qPrintable(script2.Problems()));
        QCOMPARE(model->GetDesignationCharts()->size(), chartsBefore + 1);
        QVERIFY(f.window->errors.isEmpty());

        const CreateChartPage &turned = again.Core().PageLists[0].at(0);
        QCOMPARE(turned.Width, stored.Sheets[0].Height);
        QCOMPARE(turned.Height, stored.Sheets[0].Width);
        QCOMPARE(turned.ImageWidth, 16);
        ChartDefinitionDataSheets rewritten;
        fixture::ChartGuard rewrittenGuard{&rewritten};
        QCOMPARE(model->ReadDesignationChart(id, &rewritten), 0);
        compareWithPages(rewritten, again.Core().PageLists[CreateChartCore::OriginalList], again.Core().ColorFormat);
        // Patch 5 of the 4 x 5 area (row 1, column 0) carries the new colour; turned it sits at row 0, column 2.
        QCOMPARE(rewritten.Sheets[0].Areas[0].RowCount, 5);
        bool found = false;
        for (int k = 0; k < rewritten.Sheets[0].PatchCount; ++k) {
            const ChartDefinitionData::PatchColor &record = rewritten.Sheets[0].Patches[k];
            if (record.Area == 0 && record.Row == 0 && record.Column == 2) {
                QCOMPARE(record.ColorValue[0], 200.0f);
                found = true;
            }
        }
        QVERIFY(found);
    }
};

QTEST_MAIN(TestCreateChartWorkflow)
#include "test_createchart_workflow.moc"
