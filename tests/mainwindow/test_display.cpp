// The main window's chart canvas: zoom and page menus of both tabs, what choosing a chart, a measurement or a
// recognition entry in the data list draws, the model's display signals during a run, the values and spectra of a
// clicked patch, and "Edit measurement points". The trees are filled here by hand over a seeded store.
#include "tests/app/modelfixture.h"

#include "app/constants.h"
#include "app/documentdata.h"
#include "app/documentfiles.h"
#include "app/messagetables.h"
#include "app/model.h"
#include "app/patchdisplayvalues.h"
#include "chart/vcchartgraphicsview.h"
#include "chart/vcmeasuredpointgraphicsview.h"
#include "mainwindow/vcmainwindow.h"
#include "platform/orlosdk/OrloSim.h"
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

#include <algorithm>
#include <functional>
#include <memory>

using namespace QtCharts;

class CVCMainWindowAccess
{
public:
    static int RestartMode(const CVCMainWindow &window) { return window.m_restartMode; }
};

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

// A measurement with one fully measured entry per page number, in the order given; each entry is made from the
// sheet of its page (the first sheet for a page outside the chart) and its values differ from page to page.
// peak > 0 gives the first record of every entry that value throughout.
int AddMeasurement(CDocumentData *store, int chartId, const QList<int> &pageNumbers, float peak = 0)
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
        const int page = pageNumbers.at(i);
        const ChartDefinitionData::Sheet &sheet = chart.Sheets[page >= 1 && page <= chart.SheetCount ? page - 1 : 0];
        MeasurementData &entry = measurement.Sheets[i];
        entry = MakeSmallMeasurement(sheet, sheet.PatchCount);
        entry.PageNumber = page;
        for (int k = 0; k < entry.RecordCount; ++k) {
            const float value = k == 0 && peak > 0 ? peak : 0.05f * float(page + 1) + 0.01f * float(k);
            std::fill(entry.Records[k].Values, entry.Records[k].Values + kInstrumentValueCount, value);
            // The captured points lie a little lower from page to page, so the drawn entry can be told apart.
            entry.Records[k].Y += 100 * std::max(page - 1, 0);
        }
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

// Three pages of 2 x 2 patches, numbered on from page to page (page p holds 4p - 3 to 4p); a patch has the same
// colour at the same place of every page.
int AddThreePageChart(CDocumentData *store)
{
    ChartDefinitionDataSheets chart;
    MakeChart(&chart, 3, 2, 2);
    chart.ChartName = QStringLiteral("ThreePages");
    const bool created = store->CreateDesignationChart(&chart) == kDocumentOk;
    ClearChartDefinitionData(&chart);
    return created ? store->GetDesignationCharts()->last().ID : 0;
}

QAction *PageEntry(const QPushButton *button, const QString &text)
{
    if (!button->menu())
        return nullptr;
    for (QAction *action : button->menu()->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
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
        // No scanner is plugged in: an automatic connection half a second after the show would report its failure.
        Setting::UserEnvironment environment = *m_model->GetUserEnvironment();
        environment.AutoConnect = false;
        QCOMPARE(m_model->SetUserEnvironment(environment), 0);
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

    void ShowWindow()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    // Block 0 with density shown and the first `count` measurement conditions on. The condition tree takes it
    // at the window's first show.
    void SetConditions(int count, int whiteReference = 0)
    {
        Setting::MeasureConditionSetting record = *m_model->GetMeasurementCondition(0);
        record.ConditionMask = 0;
        for (int id = 0; id < count; ++id)
            record.ConditionMask |= MeasurementConditionBit(id);
        record.DensityShown = 1;
        record.WhiteReference = whiteReference;
        QCOMPARE(m_model->SetMeasureCondition(record, 0), 0);
    }

    // The value tree: "ID" row, first density child, the 380 nm child.
    QTreeWidget *Values() const { return Child<QTreeWidget>("treeMeasureData"); }
    QString IdText() const { return Values()->topLevelItem(0)->text(1); }
    QString DensityText(int column) const { return Values()->topLevelItem(1)->child(0)->text(column); }
    QString SpectralText(int column) const { return Values()->topLevelItem(3)->child(0)->text(column); }

    QChart *Graph() const { return Child<QWidget>("dockSpectrumGraph")->findChild<QChartView *>()->chart(); }
    QValueAxis *AxisY() const { return qobject_cast<QValueAxis *>(Graph()->axes(Qt::Vertical).value(0)); }

    // The 380 nm text the value tree shows for measurement entry `entry` under condition 0.
    QString ExpectedSpectral(int entry, int area, int row, int column)
    {
        float values[kPatchValueSetSize] = {};
        bool spectral = false;
        m_model->CalculatePatchColor(values, &spectral, entry, area, row, column, 0,
                                     *m_model->GetMeasurementCondition(0));
        return spectral ? QString::number(values[kPatchValueSpectralFirst] * 100.0, 'f', 2) + QLatin1Char('%')
                        : QString();
    }

    // Both tabs' page buttons read text, with only the entry of page checked.
    void VerifyPageButtons(const QString &text, const QString &page)
    {
        for (const Tab &tab : {kChartLayout, kMeasuredPoint}) {
            auto *button = Child<QPushButton>(tab.page);
            QCOMPARE(button->text(), text);
            for (const QAction *action : button->menu()->actions())
                QCOMPARE(action->isChecked(), action->text() == page);
        }
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

    void choosingAPageShowsItOnBothTabs_data()
    {
        QTest::addColumn<Tab>("tab");
        QTest::newRow("Chart Layout menu") << kChartLayout;
        QTest::newRow("Measured Point menu") << kMeasuredPoint;
    }

    void choosingAPageShowsItOnBothTabs()
    {
        QFETCH(Tab, tab);
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1, 3});
        });
        QVERIFY(measureId > 0);
        SetConditions(1);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));
        const QRectF firstPoints = PointView()->scene()->itemsBoundingRect();
        const QString page1 = ExpectedSpectral(0, 0, 1, 1);
        const QString page3 = ExpectedSpectral(1, 0, 1, 1);
        QVERIFY(!page3.isEmpty() && page3 != page1);

        PageEntry(Child<QPushButton>(tab.page), QStringLiteral("3"))->trigger();
        VerifyPageButtons(QStringLiteral("3 / 3"), QStringLiteral("3"));
        QVERIFY(PointView()->scene()->itemsBoundingRect() != firstPoints);
        // A click computes for page 3: its patch number and its own record's values.
        emit ChartView()->SelectPatch(0, 1, 1);
        QCOMPARE(IdText(), QStringLiteral("12"));
        QCOMPARE(SpectralText(1), page3);

        PageEntry(Child<QPushButton>(tab.page), QStringLiteral("1"))->trigger();
        VerifyPageButtons(QStringLiteral("1 / 3"), QStringLiteral("1"));
        QCOMPARE(PointView()->scene()->itemsBoundingRect(), firstPoints);
        emit ChartView()->SelectPatch(0, 1, 1);
        QCOMPARE(IdText(), QStringLiteral("4"));
        QCOMPARE(SpectralText(1), page1);
    }

    void recognisedPageIsShown()
    {
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1});
        });
        QVERIFY(measureId > 0);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));
        ChartView()->viewport()->repaint();
        Child<QSlider>(kChartLayout.slider)->setValue(40);
        QSignalSpy display(m_window.get(), &CVCMainWindow::SetDisplay);

        // A null chart draws nothing.
        const int itemsBefore = ChartView()->scene()->items().size();
        QCOMPARE(m_window->SetChartDisplay(nullptr, 2, 0, 4, 1), 116);
        QCOMPARE(ChartView()->scene()->items().size(), itemsBefore);
        QCOMPARE(display.count(), 0);

        QCOMPARE(m_window->SetChartDisplay(m_model->GetChartDefinition(), 2, 0, 4, 1), 0);
        QCOMPARE(display.count(), 1);
        QCOMPARE(display.at(0).at(0).toInt(), 1);
        auto *button = Child<QPushButton>(kChartLayout.page);
        QCOMPARE(button->text(), QStringLiteral("2 / 3"));
        QCOMPARE(ActionTexts(button->menu()), (QStringList{"1", "2"}));
        QVERIFY(PageEntry(button, QStringLiteral("2"))->isChecked());
        QVERIFY(!PageEntry(button, QStringLiteral("1"))->isChecked());
        // The recognised page is the one a click computes for, and it is fitted at its first paint.
        emit ChartView()->SelectPatch(0, 0, 0);
        QCOMPARE(IdText(), QStringLiteral("5"));
        QVERIFY(!FitAction(kChartLayout)->isChecked());
        ChartView()->viewport()->repaint();
        QVERIFY(FitAction(kChartLayout)->isChecked());

        // The captured page of that run, with its number on the Measured Point button.
        MeasurementDataSheets *measurement = nullptr;
        QCOMPARE(m_model->GetMeasurementData(&measurement), 0);
        PointView()->Reset();
        m_window->SetMeasuredPointDisplay(&measurement->Sheets[0], 2, 3);
        QVERIFY(PointView()->HasItems());
        auto *pointButton = Child<QPushButton>(kMeasuredPoint.page);
        QCOMPARE(pointButton->text(), QStringLiteral("2 / 3"));
        QCOMPARE(ActionTexts(pointButton->menu()), (QStringList{"1", "2"}));
        QVERIFY(PageEntry(pointButton, QStringLiteral("2"))->isChecked());
    }

    void measuredPatchesDriveProgress()
    {
        MakeWindow();
        AddChart(m_ids.qrChart);
        Designation()->setCurrentItem(Designation()->topLevelItem(0));
        QSignalSpy colours(ChartView(), &CVCGraphicsView::SetPatchColor);
        const QList<QPair<QString, int>> expected = {{"1 / 3", 33}, {"2 / 3", 66}, {"3 / 3", 100}};
        for (int i = 0; i < expected.size(); ++i) {
            m_window->SetPatchColorDisplay(uint(i), 3, 0, 2, i + 1, 1, 10.0f * float(i), 200, 30, 0, 0, 0, 0, 0);
            for (const char *label : {"labelChartLayoutMeasuredPatchCount", "labelMeasuredPointMeasuredPatchCount"})
                QCOMPARE(Child<QLabel>(label)->text(), expected.at(i).first);
            for (const char *bar : {"progressChartLayout", "progressMeasuredPoint"})
                QCOMPARE(Child<QProgressBar>(bar)->value(), expected.at(i).second);
        }
        QCOMPARE(colours.count(), 3);
        const auto patch = colours.at(1).at(0).value<ChartDefinitionData::PatchColor>();
        QCOMPARE(patch.Area, 0);
        QCOMPARE(patch.Row, 2);
        QCOMPARE(patch.Column, 2);
        QCOMPARE(patch.ColorFormat, 1);
        QCOMPARE(patch.ColorValue[0], 10.0f);
        QCOMPARE(patch.ColorValue[1], 200.0f);
    }

    void valuesPerCondition_data()
    {
        QTest::addColumn<int>("conditions");
        QTest::newRow("one condition") << 1;
        QTest::newRow("two conditions") << 2;
        QTest::newRow("three conditions") << 3;
    }

    void valuesPerCondition()
    {
        QFETCH(int, conditions);
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1});
        });
        SetConditions(conditions);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));

        emit ChartView()->SelectPatch(0, 0, 1);
        QCOMPARE(Values()->columnCount(), 1 + conditions);
        QCOMPARE(Graph()->series().size(), conditions);
        QCOMPARE(IdText(), QStringLiteral("2"));
        QCOMPARE(SpectralText(1), ExpectedSpectral(0, 0, 0, 1));
        // No other patch of that colour is measured: no average.
        QVERIFY(!DensityText(1).contains(QChar(0x2300)));
        QCOMPARE(AxisY()->max(), 1.0);
        QCOMPARE(AxisY()->tickCount(), 11);

        // Another condition checked in the settings tree shows the patch again with one column more.
        QTreeWidgetItem *conditionRow = Child<QTreeWidget>("treeMeasureSetting")->topLevelItem(4);
        conditionRow->child(conditions)->setCheckState(1, Qt::Checked);
        QCOMPARE(Values()->columnCount(), 2 + conditions);
        QCOMPARE(Graph()->series().size(), conditions + 1);
    }

    void reflectanceAboveOneWidensTheScale()
    {
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1}, 1.02f);
        });
        SetConditions(2);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));
        QCOMPARE(ExpectedSpectral(0, 0, 0, 0), QStringLiteral("102.00%"));

        emit ChartView()->SelectPatch(0, 0, 0);
        QCOMPARE(AxisY()->min(), 0.0);
        QCOMPARE(AxisY()->max(), 1.5);
        QCOMPARE(AxisY()->tickCount(), 16);
        emit ChartView()->SelectPatch(0, 0, 1);
        QCOMPARE(AxisY()->max(), 1.0);
        QCOMPARE(AxisY()->tickCount(), 11);
    }

    void samePatchColourIsAveraged()
    {
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1, 3});
        });
        SetConditions(1);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));

        // Pages 1 and 3 hold the same colour at the same place.
        emit ChartView()->SelectPatch(0, 0, 0);
        QVERIFY(DensityText(1).contains(QChar(0x2300)));
    }

    void paperWhiteMissing_data()
    {
        QTest::addColumn<bool>("recognition");
        QTest::newRow("recognition measurement") << true;
        QTest::newRow("measurement without a white patch") << false;
    }

    void paperWhiteMissing()
    {
        QFETCH(bool, recognition);
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {1});
        });
        SetConditions(1, 1);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        QTreeWidgetItem *recognised = AddRecognition(m_ids.recognition);
        ShowWindow();
        if (recognition)
            Recognition()->setCurrentItem(recognised);
        else
            Designation()->setCurrentItem(chart->child(0));
        QSignalSpy reports(m_model, &CModel::ErrorMessage);
        m_script->ExpectRecord(QString());

        emit ChartView()->SelectPatch(0, 0, 0);
        QCOMPARE(reports.count(), 1);
        QCOMPARE(reports.at(0).at(0).toInt(), 33);
        QCOMPARE(m_model->GetMeasurementCondition(0)->WhiteReference, 0);
        QCOMPARE(SpectralText(1), QStringLiteral("---%"));
        QVERIFY(Graph()->series().isEmpty());
    }

    void measuredPageOutOfOrder()
    {
        int chartId = 0;
        int measureId = 0;
        MakeWindow([&](CDocumentData *store) {
            chartId = AddThreePageChart(store);
            measureId = AddMeasurement(store, chartId, {2, 1});
        });
        SetConditions(1);
        QTreeWidgetItem *chart = AddChart(chartId, {measureId});
        ShowWindow();
        Designation()->setCurrentItem(chart->child(0));
        const QRectF page2Points = PointView()->scene()->itemsBoundingRect();

        m_window->SetDesignationErrorDisplay(1);
        VerifyPageButtons(QStringLiteral("1 / 3"), QStringLiteral("1"));
        QVERIFY(PointView()->scene()->itemsBoundingRect() != page2Points);
        emit ChartView()->SelectPatch(0, 1, 0);
        QCOMPARE(IdText(), QStringLiteral("3"));
        QCOMPARE(SpectralText(1), ExpectedSpectral(1, 0, 1, 0));

        // Entry 0 is page 2: both tabs show it and a click computes for it.
        m_window->SetDesignationErrorDisplay(0);
        VerifyPageButtons(QStringLiteral("2 / 3"), QStringLiteral("2"));
        QCOMPARE(ActionTexts(Child<QPushButton>(kChartLayout.page)->menu()), (QStringList{"2", "1"}));
        QCOMPARE(PointView()->scene()->itemsBoundingRect(), page2Points);
        emit ChartView()->SelectPatch(0, 1, 0);
        QCOMPARE(IdText(), QStringLiteral("7"));
        QCOMPARE(SpectralText(1), ExpectedSpectral(0, 0, 1, 0));
        QVERIFY(SpectralText(1) != ExpectedSpectral(1, 0, 1, 0));
    }

    void editMeasurementPointsAtTheChartLimit()
    {
        MakeWindow([&](CDocumentData *store) {
            ChartDefinitionDataSheets chart;
            MakeChart(&chart, 1, 1, 1);
            while (!store->IsDesignationChartStoreFull()) {
                chart.ChartName = QStringLiteral("C%1").arg(store->GetDesignationCharts()->size());
                QCOMPARE(store->CreateDesignationChart(&chart), int(kDocumentOk));
            }
            ClearChartDefinitionData(&chart);
        });
        Recognition()->setCurrentItem(AddRecognition(m_ids.recognition));
        QSignalSpy reports(m_model, &CModel::ErrorMessage);
        ModifyButton()->click();
        QCOMPARE(reports.count(), 1);
        QCOMPARE(reports.at(0).at(0).toInt(), 53);
        QCOMPARE(m_model->GetOperationState(), 0);
        // No editor was opened: the presenter expected none.
    }

    void editMeasurementPoints_data()
    {
        QTest::addColumn<bool>("prescanned");
        QTest::addColumn<int>("result");
        QTest::newRow("cancelled") << true << 0;
        QTest::newRow("chart registered after pre-scanning") << true << 1;
        QTest::newRow("chart registered from a stored measurement") << false << 1;
        QTest::newRow("measurement") << true << 2;
    }

    void editMeasurementPoints()
    {
        QFETCH(bool, prescanned);
        QFETCH(int, result);
        MakeWindow();
        if (prescanned) {
            QCOMPARE(f->ConnectUsb(), 0);
            QVERIFY(RunRecognitionToConfirmation(m_model));
        } else {
            Recognition()->setCurrentItem(AddRecognition(m_ids.recognition));
        }
        QVERIFY(ModifyButton()->isEnabled());
        auto *tabs = Child<QTabWidget>("tabChartCanvas");
        tabs->setCurrentIndex(1);
        QSignalSpy restart(m_window.get(), &CVCMainWindow::setMeasurementRestartEnable);
        OrloSim_ClearCallLog();
        int statusWhileOpen = -1;
        m_script->ExpectDialog(QStringLiteral("CVCModifyPatchArea"), [&](QDialog *editor) {
            statusWhileOpen = m_model->GetOperationState();
            editor->done(result);
        });

        ModifyButton()->click();
        QCOMPARE(statusWhileOpen, 6);
        QCOMPARE(m_model->GetOperationState(), 0);
        QCOMPARE(tabs->currentIndex(), result == 0 ? 1 : 0);
        QCOMPARE(CVCMainWindowAccess::RestartMode(*m_window), result == 1 ? 1 : 0);
        if (result == 1) {
            QCOMPARE(restart.count(), 1);
            QCOMPARE(restart.at(0).at(0).toBool(), prescanned);
        } else if (result == 0) {
            QCOMPARE(restart.count(), 0);
        }
        const bool recognitionStarted = QString::fromLatin1(OrloSim_CallLog()).contains("Orlo_StartPatchRecognition");
        QCOMPARE(recognitionStarted, result == 2);
        if (result == 2)
            QCOMPARE(m_model->GetOrloDeviceState(), 5);
        OrloSim_ForceStatus(-1, -1, -1, -1);
    }
};

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
