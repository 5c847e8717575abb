// The density window's canvas: the chart the model shows during a run, the three page menus and how a page
// chosen on one scanner-mode tab reaches the other, zoom limits and "Fit in the window", the view relays and the
// selected patch. The charts and measurements are put straight into the model's working buffer.
#include "tests/app/modelfixture.h"

#include "app/tanosdk_patchposition.h"
#include "chart/vcdensitychartgraphicsview.h"
#include "chart/vcgraphicspatch.h"
#include "chart/vchandychartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "densityaccess.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <memory>

using A = CVCAdjustDensityAccess;

namespace {

// Patch items of a view's scene: page p of the test chart holds 2 (p + 1) of them, so the count names the page.
int PatchItems(const QGraphicsView *view)
{
    int n = 0;
    for (QGraphicsItem *item : view->scene()->items())
        n += dynamic_cast<CVCGraphicsPatch *>(item) ? 1 : 0;
    return n;
}

QList<int> CheckedPages(const QPushButton *button)
{
    QList<int> pages;
    if (button->menu()) {
        for (const QAction *action : button->menu()->actions()) {
            if (action->isChecked())
                pages << action->data().toInt();
        }
    }
    return pages;
}

QAction *PageAction(const QPushButton *button, int page)
{
    return button->menu() ? button->menu()->actions().value(page) : nullptr;
}

} // namespace

class TestDensityCanvas : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<CVCAdjustDensity> w;
    Ui::AdjustDensity *ui = nullptr;

    // Page p (0-based) of `pages` holds one area of p + 1 rows by 2 columns. With entries > 0 the buffer also holds
    // a density measurement of that many pages, every patch measured, and the model's selection is that kind.
    void LoadChart(int pages, int entries = 0)
    {
        CDataBuffer *buffer = CModelAccess::DataBuffer(*f->model);
        QVector<QVector<OrloSimArea>> layout;
        for (int p = 0; p < pages; ++p)
            layout.append({{p + 1, 2, 1500, 1500, 1000, 1000, 1200, 1200}});
        ChartDefinitionDataSheets *chart = buffer->GetChartDefinition();
        MakePrintableChart(chart, QStringLiteral("DENSITY"), layout, 0);

        MeasurementDataSheets *measurement = buffer->GetMeasurement();
        InitMeasureFileData(measurement);
        measurement->SheetCount = entries;
        measurement->Sheets = entries > 0 ? NewMeasurementPages(size_t(entries)) : nullptr;
        for (int i = 0; i < entries; ++i) {
            measurement->Sheets[i] = MakeSmallMeasurement(chart->Sheets[i], chart->Sheets[i].PatchCount);
            measurement->Sheets[i].PageNumber = i + 1;
        }
        // No file id: the kind is set without loading anything over the buffer.
        QCOMPARE(f->model->SelectFileID(entries > 0 ? CModel::KindDensityMeasure : CModel::KindDensityChart, 0, 0),
                 0);
    }

private slots:
    void init()
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        w = std::make_unique<CVCAdjustDensity>(f->model.get());
        ui = A::Form(w.get());
    }

    void cleanup()
    {
        w.reset();
        f.reset();
    }

    void chartDisplay_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QString>("text");
        QTest::newRow("sheet 1 of 4") << 4 << 1 << QList<int>{0} << "1 / 4";
        QTest::newRow("sheet 3 of 4") << 4 << 3 << QList<int>{2} << "3 / 4";
        QTest::newRow("one page, no menu") << 1 << 1 << QList<int>{} << "1 / 1";
    }

    void chartDisplay()
    {
        QFETCH(int, pages);
        QFETCH(int, sheet);
        QFETCH(QList<int>, checked);
        QFETCH(QString, text);
        LoadChart(pages);
        A::PatchSelected(w.get()) = true;
        A::SelectedRow(w.get()) = 2;

        w->SetChartDisplay(f->model->GetChartDefinition(), uint(sheet), 0);

        QCOMPARE(ui->pushOrloChartLayoutPage->text(), text);
        QCOMPARE(ui->pushOrloChartLayoutPage->menu() != nullptr, pages > 1);
        if (pages > 1)
            QCOMPARE(ui->pushOrloChartLayoutPage->menu()->actions().size(), pages);
        QCOMPARE(CheckedPages(ui->pushOrloChartLayoutPage), checked);
        QCOMPARE(A::ChartLayoutPage(w.get()), sheet - 1);
        // The reported page is drawn, its patches awaiting their measurement.
        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 2 * sheet);
        for (QGraphicsItem *item : ui->graphicsViewOrloChartLayout->scene()->items()) {
            if (auto *patch = dynamic_cast<CVCGraphicsPatch *>(item))
                QCOMPARE(patch->GetDisplay(), 1);
        }
        QVERIFY(A::NewChartDisplay(w.get()));
        QVERIFY(!A::PatchSelected(w.get()));
        QCOMPARE(A::SelectedRow(w.get()), 0);
    }

    void chartDisplayIgnoresMissingChart()
    {
        LoadChart(2);
        w->SetChartDisplay(nullptr, 1, 0);
        w->SetChartDisplay(f->model->GetChartDefinition(), 3, 0);
        QCOMPARE(ui->pushOrloChartLayoutPage->text(), QStringLiteral("0 / 0"));
        QVERIFY(!ui->pushOrloChartLayoutPage->menu());
        QVERIFY(!A::NewChartDisplay(w.get()));
    }

    // A page chosen on either scanner-mode tab is drawn on both, with the measured colours of that page.
    void pageOnBothScannerTabs_data()
    {
        QTest::addColumn<bool>("fromMeasuredPoint");
        QTest::newRow("scanner menu") << false;
        QTest::newRow("measured-point menu") << true;
    }

    void pageOnBothScannerTabs()
    {
        QFETCH(bool, fromMeasuredPoint);
        LoadChart(4, 4);
        w->SetChartDisplay(f->model->GetChartDefinition(), 1, 0);
        w->BuildMeasurePointPageMenu(4);
        QCOMPARE(ui->pushMeasurementPointPage->text(), QStringLiteral("1 / 4"));
        QSignalSpy colours(ui->graphicsViewOrloChartLayout, &CVCGraphicsView::SetPatchColor);

        PageAction(fromMeasuredPoint ? ui->pushMeasurementPointPage : ui->pushOrloChartLayoutPage, 2)->trigger();

        QCOMPARE(A::ChartLayoutPage(w.get()), 2);
        QCOMPARE(A::MeasurePointPage(w.get()), 2);
        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 6);
        QCOMPARE(colours.count(), 6);
        QCOMPARE(PatchItems(ui->graphicsViewMeasuredPoint), 6);
        QCOMPARE(ui->pushOrloChartLayoutPage->text(), QStringLiteral("3 / 4"));
        QCOMPARE(ui->pushMeasurementPointPage->text(), QStringLiteral("3 / 4"));
        QCOMPARE(CheckedPages(ui->pushOrloChartLayoutPage), QList<int>{2});
        QCOMPARE(CheckedPages(ui->pushMeasurementPointPage), QList<int>{2});
    }

    void chartPageWithoutMeasurementHasNoColours()
    {
        LoadChart(4);
        w->SetChartDisplay(f->model->GetChartDefinition(), 1, 0);
        QSignalSpy colours(ui->graphicsViewOrloChartLayout, &CVCGraphicsView::SetPatchColor);
        PageAction(ui->pushOrloChartLayoutPage, 1)->trigger();
        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 4);
        QCOMPARE(colours.count(), 0);
        // No measurement: the measured-point tab keeps its page.
        QCOMPARE(A::MeasurePointPage(w.get()), 0);
        QVERIFY(!ui->graphicsViewMeasuredPoint->HasItems());
    }

    void currentPageAgainDrawsNothing()
    {
        LoadChart(4, 4);
        w->SetChartDisplay(f->model->GetChartDefinition(), 2, 0);
        w->BuildMeasurePointPageMenu(4);
        w->BuildHandyChartLayoutPageMenu(4);
        ui->graphicsViewOrloChartLayout->Reset();
        QSignalSpy colours(ui->graphicsViewOrloChartLayout, &CVCGraphicsView::SetPatchColor);

        w->menuChartLayoutPageTriggered(PageAction(ui->pushOrloChartLayoutPage, 1));
        w->menuMeasurePointPageTriggered(PageAction(ui->pushMeasurementPointPage, 0));
        // Chosen in the menu, the entry has toggled itself off: the page shown stays checked.
        PageAction(ui->pushHandyDensitometerChartLayoutPage, 0)->trigger();
        QCOMPARE(CheckedPages(ui->pushHandyDensitometerChartLayoutPage), QList<int>{0});

        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 0);
        QCOMPARE(colours.count(), 0);
        QVERIFY(!ui->graphicsViewMeasuredPoint->HasItems());
        QCOMPARE(PatchItems(ui->graphicsViewHandyChartLayout), 0);
        QCOMPARE(ui->pushMeasurementPointPage->text(), QStringLiteral("1 / 4"));
        QCOMPARE(ui->pushHandyDensitometerChartLayoutPage->text(), QStringLiteral("1 / 4"));
    }

    void actionWithoutPageNumberIsIgnored()
    {
        LoadChart(4, 4);
        QAction stray(QStringLiteral("x"));
        stray.setData(QStringLiteral("x"));
        w->menuChartLayoutPageTriggered(&stray);
        w->menuMeasurePointPageTriggered(&stray);
        w->menuHandyChartLayoutPageTriggered(&stray);
        w->menuChartLayoutPageTriggered(nullptr);
        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 0);
        QVERIFY(!ui->graphicsViewMeasuredPoint->HasItems());
        QCOMPARE(PatchItems(ui->graphicsViewHandyChartLayout), 0);
    }

    // A page the measurement holds no entry for leaves the measured-point tab as it was.
    void measuredPointPageBeyondEntries()
    {
        LoadChart(4, 2);
        w->SetChartDisplay(f->model->GetChartDefinition(), 1, 0);
        w->BuildMeasurePointPageMenu(4);
        PageAction(ui->pushMeasurementPointPage, 1)->trigger();
        QCOMPARE(ui->pushMeasurementPointPage->text(), QStringLiteral("2 / 2"));
        QCOMPARE(PatchItems(ui->graphicsViewMeasuredPoint), 4);

        PageAction(ui->pushMeasurementPointPage, 3)->trigger();

        QCOMPARE(A::MeasurePointPage(w.get()), 1);
        QCOMPARE(PatchItems(ui->graphicsViewMeasuredPoint), 4);
        QCOMPARE(ui->pushMeasurementPointPage->text(), QStringLiteral("2 / 2"));
        QCOMPARE(CheckedPages(ui->pushMeasurementPointPage), QList<int>{1});
        // The chart has the page: the scanner tab shows it, without colours.
        QCOMPARE(A::ChartLayoutPage(w.get()), 3);
        QCOMPARE(PatchItems(ui->graphicsViewOrloChartLayout), 8);
        QCOMPARE(ui->pushOrloChartLayoutPage->text(), QStringLiteral("4 / 4"));
    }

    void handheldPages()
    {
        LoadChart(3, 3);
        w->SetChartDisplay(f->model->GetChartDefinition(), 1, 0);
        w->BuildHandyChartLayoutPageMenu(3);
        QCOMPARE(ui->pushHandyDensitometerChartLayoutPage->text(), QStringLiteral("1 / 3"));
        QSignalSpy colours(ui->graphicsViewHandyChartLayout, &CVCGraphicsView::SetPatchColor);

        PageAction(ui->pushHandyDensitometerChartLayoutPage, 2)->trigger();

        QCOMPARE(A::HandyPage(w.get()), 2);
        QCOMPARE(PatchItems(ui->graphicsViewHandyChartLayout), 6);
        QCOMPARE(colours.count(), 6);
        QCOMPARE(ui->pushHandyDensitometerChartLayoutPage->text(), QStringLiteral("3 / 3"));
        QCOMPARE(CheckedPages(ui->pushHandyDensitometerChartLayoutPage), QList<int>{2});
        // The handheld menu reaches neither scanner-mode tab.
        QCOMPARE(A::ChartLayoutPage(w.get()), 0);
        QCOMPARE(A::MeasurePointPage(w.get()), 0);

        // A rebuilt menu replaces the old one; one page leaves none.
        QPointer<QMenu> old = ui->pushHandyDensitometerChartLayoutPage->menu();
        w->BuildHandyChartLayoutPageMenu(1);
        QVERIFY(old.isNull());
        QVERIFY(!ui->pushHandyDensitometerChartLayoutPage->menu());
        QCOMPARE(ui->pushHandyDensitometerChartLayoutPage->text(), QStringLiteral("1 / 1"));
    }

    // A rebuilt menu starts at its first page: the page that was current before can be chosen on the new chart.
    void rebuiltMenuStartsAtFirstPage_data()
    {
        QTest::addColumn<bool>("handheld");
        QTest::newRow("handheld") << true;
        QTest::newRow("measured point") << false;
    }

    void rebuiltMenuStartsAtFirstPage()
    {
        QFETCH(bool, handheld);
        LoadChart(3, 3);
        QPushButton *button = handheld ? ui->pushHandyDensitometerChartLayoutPage : ui->pushMeasurementPointPage;
        CVCGraphicsView *view = handheld ? static_cast<CVCGraphicsView *>(ui->graphicsViewHandyChartLayout)
                                         : ui->graphicsViewMeasuredPoint;
        const auto build = [&] {
            handheld ? w->BuildHandyChartLayoutPageMenu(3) : w->BuildMeasurePointPageMenu(3);
        };
        const auto choose = [&](int page) {
            handheld ? w->menuHandyChartLayoutPageTriggered(PageAction(button, page))
                     : w->menuMeasurePointPageTriggered(PageAction(button, page));
        };
        build();
        choose(2);
        QCOMPARE(PatchItems(view), 6);

        build();
        QCOMPARE(handheld ? A::HandyPage(w.get()) : A::MeasurePointPage(w.get()), 0);
        view->Reset();
        choose(2);
        QCOMPARE(PatchItems(view), 6);
        QCOMPARE(button->text(), QStringLiteral("3 / 3"));
    }

    void zoomLimits_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("minimum");
        QTest::newRow("chart layout") << 0 << 30;
        QTest::newRow("handheld") << 1 << 30;
        QTest::newRow("measured point") << 2 << 5;
    }

    void zoomLimits()
    {
        QFETCH(int, tab);
        QFETCH(int, minimum);
        QSlider *sliders[] = {ui->hSliderOrloChartLayoutZoom, ui->hSliderHandyDensitometerChartLayoutZoom,
                              ui->hSliderMeasurementPointZoom};
        QPushButton *ins[] = {ui->pushChartLayoutZoomIn, ui->pushHandyChartLayoutZoomIn, ui->pushMeasurePointZoomIn};
        QPushButton *outs[] = {ui->pushChartLayoutZoomOut, ui->pushHandyChartLayoutZoomOut,
                               ui->pushMeasurePointZoomOut};
        QPushButton *buttons[] = {ui->pushOrloChartLayoutZoomSetting, ui->pushHandyDensitometerChartLayoutZoomSetting,
                                  ui->pushMeasurementPointZoomSetting};
        QSlider *slider = sliders[tab];
        QPushButton *button = buttons[tab];
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), 200);
        QCOMPARE(slider->value(), 100);
        QCOMPARE(button->menu()->actions().last()->text(), QStringLiteral("Fit in the window"));

        ins[tab]->click();
        QCOMPARE(slider->value(), 101);
        QCOMPARE(button->text(), QStringLiteral("101%"));
        slider->setValue(200);
        ins[tab]->click();
        QCOMPARE(slider->value(), 200);
        QCOMPARE(button->text(), QStringLiteral("200%"));
        slider->setValue(minimum);
        outs[tab]->click();
        QCOMPARE(slider->value(), minimum);
        QCOMPARE(button->text(), QStringLiteral("%1%").arg(minimum));

        // A menu entry moves the slider and stays the only checked one.
        QAction *fifty = nullptr;
        for (QAction *action : button->menu()->actions()) {
            if (action->text() == QStringLiteral("50%"))
                fifty = action;
        }
        QVERIFY(fifty);
        fifty->trigger();
        QCOMPARE(slider->value(), 50);
        QCOMPARE(button->text(), QStringLiteral("50%"));
        for (QAction *action : button->menu()->actions())
            QCOMPARE(action->isChecked(), action == fifty);
    }

    // The first paint of a new chart fits it; a slider move drops the fit and later paints keep the percent.
    void fitOnFirstPaint()
    {
        LoadChart(2);
        CVCGraphicsView *view = ui->graphicsViewOrloChartLayout;
        view->resize(400, 300);
        w->SetChartDisplay(f->model->GetChartDefinition(), 1, 0);
        QAction *fit = A::ChartLayoutZoomMenu(w.get())->actions().last();
        const int fitted = qBound(30, view->GetFitZoom(), 200);
        QVERIFY(fitted != 100);

        w->chartLayoutPaintFinished();
        QVERIFY(fit->isChecked());
        QCOMPARE(ui->hSliderOrloChartLayoutZoom->value(), fitted);
        QVERIFY(!A::NewChartDisplay(w.get()));

        // While fitted the page follows the view's size.
        view->resize(800, 600);
        const int refitted = qBound(30, view->GetFitZoom(), 200);
        QVERIFY(refitted != fitted);
        A::KeepFittedViews(w.get());
        QCOMPARE(ui->hSliderOrloChartLayoutZoom->value(), refitted);
        QVERIFY(fit->isChecked());

        ui->hSliderOrloChartLayoutZoom->setValue(150);
        QVERIFY(!fit->isChecked());
        QCOMPARE(ui->pushOrloChartLayoutZoomSetting->text(), QStringLiteral("150%"));
        view->resize(400, 300);
        A::KeepFittedViews(w.get());
        w->chartLayoutPaintFinished();
        QCOMPARE(ui->hSliderOrloChartLayoutZoom->value(), 150);
        QVERIFY(!fit->isChecked());
    }

    void fitFlagsOfTheOtherTabs()
    {
        QAction *handyFit = A::HandyZoomMenu(w.get())->actions().last();
        QAction *pointFit = A::MeasurePointZoomMenu(w.get())->actions().last();
        w->handyChartLayoutPaintFinished();
        w->measurePointPaintFinished();
        QVERIFY(!handyFit->isChecked());
        QVERIFY(!pointFit->isChecked());
        A::NewHandyDisplay(w.get()) = true;
        A::NewMeasurePointDisplay(w.get()) = true;
        w->handyChartLayoutPaintFinished();
        w->measurePointPaintFinished();
        QVERIFY(handyFit->isChecked());
        QVERIFY(pointFit->isChecked());
        QVERIFY(!A::NewHandyDisplay(w.get()));
        QVERIFY(!A::NewMeasurePointDisplay(w.get()));
    }

    void tabChangeClearsSelectedPatch()
    {
        w->SelectPatch(1, 2, 3);
        QVERIFY(A::PatchSelected(w.get()));
        QCOMPARE(A::SelectedColumn(w.get()), 3);
        w->tabChartCanvasCurrentChanged(0);
        QVERIFY(A::PatchSelected(w.get()));
        QCOMPARE(A::SelectedArea(w.get()), 1);

        w->tabChartCanvasCurrentChanged(1);
        QCOMPARE(A::CurrentTab(w.get()), 1);
        QVERIFY(!A::PatchSelected(w.get()));
        QCOMPARE(A::SelectedArea(w.get()) + A::SelectedRow(w.get()) + A::SelectedColumn(w.get()), 0);

        w->SelectPatch(0, 1, 1);
        w->tabChartCanvasCurrentChanged(1);
        QVERIFY(A::PatchSelected(w.get()));
    }

    void viewRelays()
    {
        // Both chart views select and clear the patch.
        emit ui->graphicsViewOrloChartLayout->SelectPatch(0, 1, 1);
        QVERIFY(A::PatchSelected(w.get()));
        emit ui->graphicsViewOrloChartLayout->ClearPatch();
        QVERIFY(!A::PatchSelected(w.get()));
        emit ui->graphicsViewHandyChartLayout->SelectPatch(2, 0, 1);
        QCOMPARE(A::SelectedArea(w.get()), 2);
        emit ui->graphicsViewHandyChartLayout->ClearPatch();
        QVERIFY(!A::PatchSelected(w.get()));

        // The handheld view's patch order and scan mode leave through the window's signals.
        QSignalSpy scanMode(w.get(), &CVCAdjustDensity::SetHandyScanMode);
        emit ui->graphicsViewHandyChartLayout->SetScanMode(true);
        QCOMPARE(scanMode.count(), 1);
        QCOMPARE(scanMode.first().first().toBool(), true);
        QList<TanoSDK_PatchPosition *> positions{new TanoSDK_PatchPosition{0, 1, 2}};
        emit ui->graphicsViewHandyChartLayout->SetPatchPosition(positions);
        QList<TanoSDK_PatchPosition *> taken;
        f->model->GetHandyPatchPositions(taken);
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first()->column, 2);
    }
};

QTEST_MAIN(TestDensityCanvas)
#include "test_density_canvas.moc"
