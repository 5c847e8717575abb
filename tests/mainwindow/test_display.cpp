// The main window's chart canvas controls: zoom of both tabs, the page menus, and what choosing a chart, a
// measurement or a recognition entry in the data list selects in the model and draws. The trees are filled here
// by hand over a seeded store.
#include "tests/app/modelfixture.h"

#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "programfixture.h"
#include "scriptedpresenter.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <functional>
#include <memory>

using namespace QtCharts;

namespace {

// One tab of the canvas by its widgets' names.
struct Tab {
    const char *view;
    const char *page;
    const char *zoom;
    const char *slider;
    const char *zoomIn;
    const char *zoomOut;
};
const Tab kChartLayout{"graphicsViewChartLayout", "pushChartLayoutPage", "pushChartLayoutZoom",
                       "sliderChartLayoutZoom", "pushChartLayoutZoomIn", "pushChartLayoutZoomOut"};
const Tab kMeasuredPoint{"graphicsViewMeasuredPoint", "pushMeasuredPointPage", "pushMeasuredPointZoom",
                         "sliderMeasuredPointZoom", "pushMeasuredPointZoomIn", "pushMeasuredPointZoomOut"};

QTreeWidgetItem *MakeItem(int id)
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, QString::number(id));
    item->setData(0, Qt::UserRole, id);
    return item;
}

QStringList ActionTexts(const QMenu *menu)
{
    QStringList texts;
    if (menu) {
        for (const QAction *action : menu->actions())
            texts << action->text();
    }
    return texts;
}

bool HasBarcodeItem(const QGraphicsView *view)
{
    for (const QGraphicsItem *item : view->scene()->items()) {
        if (item->data(Qt::UserRole).toInt() == -1)
            return true;
    }
    return false;
}

// A measurement of the chart's first sheet, one fully measured entry per page number.
int AddMeasurement(CDocumentData *store, int chartId, const QList<int> &pageNumbers)
{
    ChartDefinitionDataSheets chart;
    if (store->ReadDesignationChart(chartId, &chart) != kDocumentOk || chart.SheetCount < 1)
        return 0;
    MeasurementDataSheets measurement;
    InitMeasureFileData(&measurement);
    measurement.SerialNumber = QStringLiteral("ORS00001");
    measurement.SheetCount = pageNumbers.size();
    measurement.Sheets = NewMeasurementPages(size_t(pageNumbers.size()));
    for (int i = 0; i < pageNumbers.size(); ++i) {
        measurement.Sheets[i] = MakeSmallMeasurement(chart.Sheets[0], chart.Sheets[0].PatchCount);
        measurement.Sheets[i].PageNumber = pageNumbers.at(i);
    }
    // A new measurement file holds its first page; the others are appended as a run appends them.
    int id = 0;
    int result = store->CreateDesignationMeasure(&id, chartId, &measurement);
    for (int i = 1; result == kDocumentOk && i < pageNumbers.size(); ++i)
        result = store->UpdateDesignationMeasure(id, measurement.Sheets[i]);
    store->ForgetWrittenPages();
    ClearMeasureFileData(&measurement);
    ClearChartDefinitionData(&chart);
    return result == kDocumentOk ? id : 0;
}

} // namespace

Q_DECLARE_METATYPE(Tab)

class TestDisplay : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<ScriptedPresenter> m_script;
    CModel *m_model = nullptr;
    std::unique_ptr<CVCMainWindow> m_window;
    SeededStore m_ids;

    template <typename T>
    T *Child(const char *name) const
    {
        T *child = m_window->findChild<T *>(QLatin1String(name));
        if (!child)
            qWarning("no %s", name);
        return child;
    }
    QTreeWidget *Designation() const { return Child<QTreeWidget>("treeDesignation"); }
    QTreeWidget *Recognition() const { return Child<QTreeWidget>("treeRecognition"); }
    CVCChartGraphicsView *ChartView() const { return Child<CVCChartGraphicsView>(kChartLayout.view); }
    CVCMeasuredPointGraphicsView *PointView() const
    {
        return Child<CVCMeasuredPointGraphicsView>(kMeasuredPoint.view);
    }
    QPushButton *ModifyButton() const { return Child<QPushButton>("pushMeasuredPointModifyPatch"); }
    QAction *ExportAction() const { return Child<QAction>("actionFileSaveMeasureData"); }
    QAction *FitAction(const Tab &tab) const { return Child<QPushButton>(tab.zoom)->menu()->actions().last(); }

    // A window over the seeded store; extra documents are added before the window exists.
    void MakeWindow(const std::function<void(CDocumentData *)> &extra = {})
    {
        f = std::make_unique<ModelFixture>();
        QVERIFY(f->Make());
        f->window.reset();
        m_model = f->model.get();
        CDocumentData *store = CModelAccess::DocumentData(*m_model);
        QVERIFY(SeedStore(store, &m_ids));
        if (extra)
            extra(store);
        m_window = std::make_unique<CVCMainWindow>(m_model);
        // Only the form's "<Freeform Chart>" stays; the tests list what they need.
        Designation()->clear();
        while (Recognition()->topLevelItemCount() > 1)
            delete Recognition()->takeTopLevelItem(1);
    }

    // A chart item with its measurement children, built whole before it enters the tree.
    QTreeWidgetItem *AddChart(int chartId, const QList<int> &measureIds = {})
    {
        QTreeWidgetItem *chart = MakeItem(chartId);
        for (int id : measureIds)
            chart->addChild(MakeItem(id));
        Designation()->addTopLevelItem(chart);
        return chart;
    }
    QTreeWidgetItem *AddRecognition(int id)
    {
        QTreeWidgetItem *item = MakeItem(id);
        Recognition()->addTopLevelItem(item);
        return item;
    }

    int SelectedKind() const
    {
        int id = 0;
        int kind = -1;
        m_model->GetSelectedFileID(&id, &kind);
        return kind;
    }
    int SelectedId() const
    {
        int id = 0;
        m_model->GetSelectedFileID(&id, nullptr);
        return id;
    }

private slots:
    void initTestCase() { BuildMessageTables(); }

    void init() { m_script = std::make_unique<ScriptedPresenter>(); }

    void cleanup()
    {
        QVERIFY2(m_script->Done(), qPrintable(m_script->Problems()));
        m_window.reset();
        f.reset();
        m_model = nullptr;
        m_script.reset();
    }

    void chartViewTakesInksAndBarcodeInset()
    {
        MakeWindow([&](CDocumentData *) {
            Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
            environment.Inks[2].L = 1234;
            QCOMPARE(m_model->SetUserEnvironment(environment), 0);
        });
        QCOMPARE(ChartView()->BarcodeInset(), 237); // the 28-pixel inset at 300 dpi
        QCOMPARE(ChartView()->InkColorList().size(), 8);
        QCOMPARE(ChartView()->InkColorList().at(2).L, 1234);
    }

    void zoomControls_data()
    {
        QTest::addColumn<Tab>("tab");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("Chart Layout") << kChartLayout
                                      << QStringList{"30%", "50%", "100%", "150%", "200%", "Fit in the window"};
        QTest::newRow("Measured Point") << kMeasuredPoint
                                        << QStringList{"5%",   "10%",  "20%",  "30%", "50%",
                                                       "100%", "150%", "200%", "Fit in the window"};
    }

    void zoomControls()
    {
        QFETCH(Tab, tab);
        QFETCH(QStringList, entries);
        MakeWindow();
        auto *view = Child<CVCGraphicsView>(tab.view);
        auto *button = Child<QPushButton>(tab.zoom);
        auto *slider = Child<QSlider>(tab.slider);
        QMenu *menu = button->menu();
        QVERIFY(menu);
        QCOMPARE(ActionTexts(menu), entries);
        const int minimum = entries.first().chopped(1).toInt();
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), 200);
        QCOMPARE(slider->value(), 100);

        // A menu entry moves the slider, which zooms the view and names the percent on the button.
        QAction *half = menu->actions().at(entries.indexOf(QStringLiteral("50%")));
        half->trigger();
        QCOMPARE(slider->value(), 50);
        QCOMPARE(view->transform().m11(), 0.5);
        QCOMPARE(button->text(), QStringLiteral("50%"));
        QVERIFY(half->isChecked());

        // The steps stop at both ends of the slider.
        slider->setValue(199);
        Child<QPushButton>(tab.zoomIn)->click();
        Child<QPushButton>(tab.zoomIn)->click();
        QCOMPARE(slider->value(), 200);
        QCOMPARE(view->transform().m11(), 2.0);
        QCOMPARE(button->text(), QStringLiteral("200%"));
        QVERIFY(!half->isChecked());
        slider->setValue(minimum + 1);
        Child<QPushButton>(tab.zoomOut)->click();
        Child<QPushButton>(tab.zoomOut)->click();
        QCOMPARE(slider->value(), minimum);
        QCOMPARE(button->text(), QStringLiteral("%1%").arg(minimum));

        // Fitting an empty view shows it at 100 % with the fit entry chosen.
        FitAction(tab)->trigger();
        QCOMPARE(slider->value(), 100);
        QCOMPARE(button->text(), QStringLiteral("100%"));
        QVERIFY(FitAction(tab)->isChecked());
    }

    void fitAppliesOnFirstPaintOfANewPage()
    {
        MakeWindow();
        QTreeWidgetItem *chart = AddChart(m_ids.qrChart);
        m_window->resize(900, 700);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QSlider *slider = Child<QSlider>(kChartLayout.slider);
        slider->setValue(180);
        auto fitZoom = [&] { return qBound(slider->minimum(), ChartView()->GetFitZoom(), slider->maximum()); };

        Designation()->setCurrentItem(chart);
        QVERIFY(!FitAction(kChartLayout)->isChecked());
        ChartView()->viewport()->repaint();
        QVERIFY(FitAction(kChartLayout)->isChecked());
        QVERIFY(fitZoom() != 180);
        QCOMPARE(slider->value(), fitZoom());

        // While the fit is chosen the window keeps it as the view changes size.
        const int before = fitZoom();
        m_window->resize(1500, 1200);
        QCoreApplication::processEvents();
        QVERIFY(fitZoom() != before);
        m_window->repaint();
        QCOMPARE(slider->value(), fitZoom());
        QVERIFY(FitAction(kChartLayout)->isChecked());

        // Moving the slider leaves the fit, and later paints of the same page keep the chosen zoom.
        slider->setValue(fitZoom() == 60 ? 61 : 60);
        const int chosen = slider->value();
        QVERIFY(!FitAction(kChartLayout)->isChecked());
        QCOMPARE(Child<QPushButton>(kChartLayout.zoom)->text(), QStringLiteral("%1%").arg(chosen));
        ChartView()->viewport()->repaint();
        m_window->repaint();
        QCOMPARE(slider->value(), chosen);
    }

    void pageMenus_data()
    {
        QTest::addColumn<int>("kind"); // 0 one-page chart, 1 chart of 100 pages, 2 measurement of pages 1 and 3
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QStringList hundred;
        for (int page = 1; page <= 100; ++page)
            hundred << QString::number(page);
        QTest::newRow("one-page chart") << 0 << QStringList() << QStringLiteral("1 / 1");
        QTest::newRow("chart of 100 pages") << 1 << hundred << QStringLiteral("1 / 100");
        QTest::newRow("pages 1 and 3 measured") << 2 << QStringList{"1", "3"} << QStringLiteral("1 / 100");
    }

    void pageMenus()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) { measureId = AddMeasurement(store, m_ids.big100, {1, 3}); });
        QVERIFY(measureId > 0);
        QTreeWidgetItem *qr = AddChart(m_ids.qrChart);
        QTreeWidgetItem *big = AddChart(m_ids.big100, {measureId});
        QTreeWidgetItem *items[] = {qr, big, big->child(0)};
        // Start from another document's menus, so each case shows that they are replaced.
        Designation()->setCurrentItem(kind == 1 ? big->child(0) : big);
        QPointer<QMenu> previous = Child<QPushButton>(kChartLayout.page)->menu();
        QVERIFY(previous);

        Designation()->setCurrentItem(items[kind]);
        for (const Tab &tab : {kChartLayout, kMeasuredPoint}) {
            auto *button = Child<QPushButton>(tab.page);
            QCOMPARE(button->text(), text);
            QCOMPARE(ActionTexts(button->menu()), entries);
            if (button->menu()) {
                QVERIFY(button->menu()->actions().first()->isChecked());
                QVERIFY(!button->menu()->actions().last()->isChecked());
                QCOMPARE(button->menu()->actions().last()->data().toInt(), entries.size() - 1);
            }
        }
        QVERIFY(previous.isNull());
    }

    void selectChart()
    {
        MakeWindow();
        QTreeWidgetItem *chart = AddChart(m_ids.qrChart, {m_ids.completeMeasure});
        Recognition()->setCurrentItem(Recognition()->topLevelItem(0));

        Designation()->setCurrentItem(chart);
        QCOMPARE(SelectedKind(), 1);
        QCOMPARE(SelectedId(), m_ids.qrChart);
        int mode = -1;
        m_model->GetSelectionSource(&mode);
        QCOMPARE(mode, 1);
        QVERIFY(ChartView()->scene()->items().size() > 1);
        QVERIFY(HasBarcodeItem(ChartView()));
        QVERIFY(Child<QPushButton>("pushEditChart")->isEnabled());
        QVERIFY(!Recognition()->currentItem());

        // Back from one of its measurements, the captured page and the measurement's controls go.
        Designation()->setCurrentItem(chart->child(0));
        QVERIFY(PointView()->HasItems());
        Designation()->setCurrentItem(chart);
        QVERIFY(!PointView()->HasItems());
        QVERIFY(!ModifyButton()->isEnabled());
        QVERIFY(!ExportAction()->isEnabled());
    }

    void selectMeasurement()
    {
        MakeWindow();
        QTreeWidgetItem *chart = AddChart(m_ids.qrChart, {m_ids.completeMeasure});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QSignalSpy colours(ChartView(), &CVCGraphicsView::SetPatchColor);

        Designation()->setCurrentItem(chart->child(0));
        QCOMPARE(SelectedKind(), 2);
        QCOMPARE(SelectedId(), m_ids.completeMeasure);
        QCOMPARE(m_model->GetSelectedChartID(), m_ids.qrChart);
        QVERIFY(HasBarcodeItem(ChartView()));
        QCOMPARE(colours.count(), 20); // every patch of the 4 x 5 page has a measured record
        QVERIFY(PointView()->HasItems());
        QVERIFY(ModifyButton()->isEnabled());
        QVERIFY(ExportAction()->isEnabled());

        // Both tabs fit their new page at its first paint.
        Child<QTabWidget>("tabChartCanvas")->setCurrentIndex(1);
        PointView()->viewport()->repaint();
        QVERIFY(FitAction(kMeasuredPoint)->isChecked());
        Child<QTabWidget>("tabChartCanvas")->setCurrentIndex(0);
        ChartView()->viewport()->repaint();
        QVERIFY(FitAction(kChartLayout)->isChecked());
    }

    void selectFreeformChart()
    {
        MakeWindow();
        QTreeWidgetItem *chart = AddChart(m_ids.big100);
        Designation()->setCurrentItem(chart);
        Child<QSlider>(kChartLayout.slider)->setValue(50);
        Child<QSlider>(kMeasuredPoint.slider)->setValue(20);
        ExportAction()->setEnabled(true);

        Recognition()->setCurrentItem(Recognition()->topLevelItem(0));
        int mode = -1;
        m_model->GetSelectionSource(&mode);
        QCOMPARE(mode, 0);
        for (const Tab &tab : {kChartLayout, kMeasuredPoint}) {
            QCOMPARE(Child<QPushButton>(tab.page)->text(), QStringLiteral("1 / 1"));
            QVERIFY(!Child<QPushButton>(tab.page)->menu());
            QCOMPARE(Child<QSlider>(tab.slider)->value(), 100);
        }
        QVERIFY(ChartView()->scene()->items().isEmpty());
        QVERIFY(!ExportAction()->isEnabled());
        QVERIFY(!Child<QPushButton>("pushEditChart")->isEnabled());
        QVERIFY(!Designation()->currentItem());
    }

    void selectRecognitionMeasurement()
    {
        MakeWindow();
        QTreeWidgetItem *item = AddRecognition(m_ids.recognition);
        QSignalSpy colours(ChartView(), &CVCGraphicsView::SetPatchColor);

        Recognition()->setCurrentItem(item);
        QCOMPARE(SelectedKind(), 0);
        QCOMPARE(SelectedId(), m_ids.recognition);
        QVERIFY(!ChartView()->scene()->items().isEmpty());
        QVERIFY(colours.count() > 0);
        QVERIFY(PointView()->HasItems());
        QVERIFY(ModifyButton()->isEnabled());
        QVERIFY(ExportAction()->isEnabled());
        QCOMPARE(Child<QPushButton>(kChartLayout.page)->text(), QStringLiteral("1 / 1"));
    }

    void pageOutsideTheChartDrawsNothing_data()
    {
        QTest::addColumn<int>("page");
        QTest::newRow("page 0") << 0;
        QTest::newRow("past the last page") << 2;
    }

    void pageOutsideTheChartDrawsNothing()
    {
        QFETCH(int, page);
        int damaged = 0;
        int twoPages = 0;
        MakeWindow([&](CDocumentData *store) {
            damaged = AddMeasurement(store, m_ids.qrChart, {page});
            twoPages = AddMeasurement(store, m_ids.big100, {1, 3});
        });
        QVERIFY(damaged > 0 && twoPages > 0);
        QTreeWidgetItem *chart = AddChart(m_ids.qrChart, {damaged});
        QTreeWidgetItem *big = AddChart(m_ids.big100, {twoPages});
        // Shown before: a measurement with a page menu on both tabs.
        Designation()->setCurrentItem(big->child(0));
        QVERIFY(PointView()->HasItems());
        QVERIFY(Child<QPushButton>(kMeasuredPoint.page)->menu());

        Designation()->setCurrentItem(chart->child(0));
        QCOMPARE(SelectedId(), damaged);
        QVERIFY(ChartView()->scene()->items().isEmpty());
        QVERIFY(!PointView()->HasItems());
        QVERIFY(!ModifyButton()->isEnabled());
        QVERIFY(!ExportAction()->isEnabled());
        for (const Tab &tab : {kChartLayout, kMeasuredPoint}) {
            QVERIFY(!Child<QPushButton>(tab.page)->menu());
            QCOMPARE(Child<QPushButton>(tab.page)->text(), QStringLiteral("1 / 1"));
        }
    }

    void patchDisplayResets_data()
    {
        QTest::addColumn<bool>("byView");
        QTest::newRow("the view drops its patch") << true;
        QTest::newRow("another document is shown") << false;
    }

    void patchDisplayResets()
    {
        QFETCH(bool, byView);
        MakeWindow();
        QTreeWidgetItem *chart = AddChart(m_ids.qrChart);
        auto *chartView = Child<QWidget>("dockSpectrumGraph")->findChild<QChartView *>();
        QVERIFY(chartView);
        QChart *graph = chartView->chart();
        auto *axisY = qobject_cast<QValueAxis *>(graph->axes(Qt::Vertical).value(0));
        QVERIFY(axisY);
        graph->addSeries(new QLineSeries);
        axisY->setRange(0, 1.5);
        axisY->setTickCount(16);
        QTreeWidget *values = Child<QTreeWidget>("treeMeasureData");
        QVERIFY(values->topLevelItemCount() > 0);
        for (int i = 0; i < values->topLevelItemCount(); ++i)
            values->topLevelItem(i)->setHidden(false);

        if (byView)
            emit ChartView()->ClearPatch();
        else
            Designation()->setCurrentItem(chart);
        QVERIFY(graph->series().isEmpty());
        QCOMPARE(axisY->max(), 1.0);
        QCOMPARE(axisY->tickCount(), 11);
        QVERIFY(values->topLevelItem(0)->isHidden());
    }

    void measuredPatchCountResets()
    {
        MakeWindow();
        QSignalSpy restart(m_window.get(), &CVCMainWindow::setMeasurementRestartEnable);
        emit m_window->setMeasuredPatchCount(QStringLiteral("3 / 20"));
        emit m_window->setProgressMeasurement(15);
        m_window->ClearMeasuredPatchCount();
        QCOMPARE(Child<QLabel>("labelChartLayoutMeasuredPatchCount")->text(), QStringLiteral("0 / 0"));
        QCOMPARE(Child<QProgressBar>("progressMeasuredPoint")->value(), 0);
        QCOMPARE(restart.count(), 1);
        QCOMPARE(restart.at(0).at(0).toBool(), false);
    }
};

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
